#include "app/shutdown.h"

#include "ui/reporting.h"

void shutdown_jvm()
{
    // JVM teardown is not part of this build yet.
    report_error("Internal error RC0009005");
}
