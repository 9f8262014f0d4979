#include "service/service_entry.h"
#include "service/service_runtime.h"

#include "ui/reporting.h"

bool service_run_ok = false;
volatile bool service_main_finished = false;

void WINAPI service_main(DWORD, LPSTR*)
{
    // The service runtime is not part of this build yet.
    report_error("Internal error RC0009008");
}

void wait_for_service_main()
{
    if (!service_run_ok)
        return;
    while (!service_main_finished)
        Sleep(100);
}
