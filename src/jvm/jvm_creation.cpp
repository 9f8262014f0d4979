#include "jvm/jvm_creation.h"

#include "ui/reporting.h"

bool create_jvm()
{
    // JVM creation is not part of this build yet.
    report_error("Internal error RC0009003");
    return false;
}
