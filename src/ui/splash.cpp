#include "ui/splash.h"

#include "ui/reporting.h"

HWND volatile splash_window = nullptr;

bool start_splash()
{
    // The splash window is not part of this build yet.
    report_error("Internal error RC0009009");
    return false;
}
