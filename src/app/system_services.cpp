#include "app/system_services.h"

#include <windows.h>

#include <cstdlib>

#include "launcher/text_buffers.h"

// Checks the length a path call returned for a buffer of size bytes: a
// path that did not fit (or filled the buffer, and so may be cut) is
// refused, never used cut short.
static bool path_fits(DWORD length, char* buffer, size_t size)
{
    if (length == 0)
        return false;
    if (length >= size) {
        buffer[0] = '\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

bool current_directory(char* buffer, size_t size)
{
    return path_fits(GetCurrentDirectoryA(static_cast<DWORD>(size), buffer), buffer, size);
}

bool executable_path(char* buffer, size_t size)
{
    return path_fits(GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size)), buffer, size);
}

void* load_library(const char* path)
{
    return LoadLibraryA(path);
}

void* load_system_library(const char* name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    char full[MAX_PATH];
    if (length == 0 || length >= sizeof path || !join_path(full, sizeof full, path, name))
        return nullptr;
    return LoadLibraryA(full);
}

bool set_dll_search_directory(const char* directory)
{
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
    const auto set_dll_directory = reinterpret_cast<SetDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "SetDllDirectoryA")));
    // "" rather than null: null would put the current directory back.
    return set_dll_directory != nullptr && set_dll_directory(directory != nullptr ? directory : "") != FALSE;
}

void* find_symbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

size_t ansi_to_utf16(const char* text, uint16_t* units, size_t capacity)
{
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 wide characters");
    int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 0)
        return 0;
    if (units != nullptr) {
        if (capacity < static_cast<size_t>(needed))
            return 0;
        MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(units), needed);
    }
    return static_cast<size_t>(needed);
}

bool special_folder_path(int folder, char* buffer, size_t size)
{
    // SHELL32 is never freed; loading it again only counts a reference.
    using FolderFunction = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
    HMODULE shell = static_cast<HMODULE>(load_system_library("shell32.dll"));
    if (shell == nullptr || size < MAX_PATH)
        return false;
    auto get_folder = reinterpret_cast<FolderFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetSpecialFolderPathA")));
    return get_folder != nullptr && get_folder(nullptr, buffer, folder, FALSE) != FALSE;
}

static CRITICAL_SECTION capture_lock;
static bool capture_lock_ready = false;

void initialize_capture_lock()
{
    InitializeCriticalSection(&capture_lock);
    capture_lock_ready = true;
}

// Outside the NT family the lock is never initialised and the capture is
// not used; taking it is then skipped.
void lock_capture()
{
    if (capture_lock_ready)
        EnterCriticalSection(&capture_lock);
}

void unlock_capture()
{
    if (capture_lock_ready)
        LeaveCriticalSection(&capture_lock);
}

bool paths_name_same_file(const char* first, const char* second)
{
    char first_full[MAX_PATH];
    char second_full[MAX_PATH];
    DWORD first_length = GetFullPathNameA(first, sizeof first_full, first_full, nullptr);
    DWORD second_length = GetFullPathNameA(second, sizeof second_full, second_full, nullptr);
    // A path that has no full form is compared as written.
    if (first_length == 0 || first_length >= sizeof first_full || second_length == 0 ||
        second_length >= sizeof second_full)
        return lstrcmpiA(first, second) == 0;
    return lstrcmpiA(first_full, second_full) == 0;
}

static volatile LONG process_ending = 0;

void end_launcher_process(int status)
{
    if (InterlockedExchange(&process_ending, 1) != 0)
        for (;;)
            Sleep(INFINITE);
    exit(status);
}

void end_process_abnormally()
{
    InterlockedExchange(&process_ending, 1);
    TerminateProcess(GetCurrentProcess(), abort_exit_code);
    ExitProcess(abort_exit_code);
}
