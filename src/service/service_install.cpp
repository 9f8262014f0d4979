#include "service/service_install.h"

#include <windows.h>

#include "ui/reporting.h"

// Service installation is not part of this build yet: every operation fails.
int query_service_installed(const char*)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}

int install_service(const char*, const char*)
{
    report_error("Internal error RC0009006");
    return -1;
}

int uninstall_service(const char*)
{
    report_error("Internal error RC0009007");
    return -1;
}
