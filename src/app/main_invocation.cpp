#include "app/main_invocation.h"

#include "ui/reporting.h"

bool run_main_class(MainInvocation*)
{
    // Main-class invocation is not part of this build yet.
    report_error("Internal error RC0009004");
    return false;
}
