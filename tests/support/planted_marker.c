/* A DLL planted under the name of a system DLL: when a process loads it, it
   leaves NAME.loaded beside itself, so a test sees that it was taken. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(self, path, MAX_PATH - 8);
        if (length > 0 && length < MAX_PATH - 8) {
            lstrcpynA(path + length, ".loaded", 8);
            CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        }
    }
    return TRUE;
}
