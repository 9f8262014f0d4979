// The entry given to the service control dispatcher.
#pragma once
#include <windows.h>

void WINAPI service_main(DWORD argument_count, LPSTR* arguments);
