// The application run as a Windows service.
#pragma once
#include <windows.h>

// The entry given to the service control dispatcher.
void WINAPI service_main(DWORD argument_count, LPSTR* arguments);
