// Installing and removing the launcher as a Windows service.
#pragma once

// 1 when the service exists, 0 when it does not, -1 on any other failure.
// Reports nothing.
int query_service_installed(const char* service_name);
// 0 on success, -1 after a reported failure.
int install_service(const char* service_name, const char* description);
int uninstall_service(const char* service_name);
