#include "service/service_runtime.h"

#include "ui/reporting.h"

void WINAPI service_main(DWORD, LPSTR*)
{
    // The service runtime is not part of this build yet.
    report_error("Internal error RC0009008");
}
