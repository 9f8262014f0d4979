#include "launcher/start_values.h"

#include <windows.h>

#include <cstring>

#include "app/system_services.h"
#include "launcher/configuration.h"
#include "launcher/startup.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

// Reports a path that does not fit its buffer, with the system's own words
// for it as the reason.
void* instance_mutex = nullptr;

void close_instance_mutex()
{
    // The exit hook and the start-up thread may both get here: the handle
    // is taken once, and closed by whoever took it.
    void* mutex = InterlockedExchangePointer(&instance_mutex, nullptr);
    if (mutex != nullptr)
        CloseHandle(mutex);
}

static void report_path_too_long(const char* path)
{
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    report_error_with_reason(message_text(message_file_access), path);
}

using TempPathFunction = DWORD(WINAPI*)(DWORD, LPSTR);

// The temporary directory. GetTempPath2A, where the system has it, gives
// SYSTEM a folder of its own instead of the machine's shared one.
static DWORD temporary_directory(DWORD size, char* buffer)
{
    auto temp_path_2 = reinterpret_cast<TempPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "GetTempPath2A")));
    return temp_path_2 != nullptr ? temp_path_2(size, buffer) : GetTempPathA(size, buffer);
}

// extract_dir from value 1007: ".", ".\" + the stored hex text, or the
// temporary directory followed directly by it. A directory that would not
// fit is reported and left empty; the start goes on.
void compose_extract_dir(int mode, const char* stored_main_class)
{
    extract_dir[0] = '\0';
    if (mode == 0) {
        copy_bounded(extract_dir, sizeof extract_dir, ".");
        return;
    }
    char prefix[path_size] = ".\\";
    if (mode != 1) {
        DWORD length = temporary_directory(sizeof prefix, prefix);
        if (length == 0) {
            report_error_with_reason(message_text(message_file_access), "TEMP_PATH");
            return;
        }
        if (length >= sizeof prefix) {
            report_path_too_long("TEMP_PATH");
            return;
        }
    }
    size_t prefix_length = strlen(prefix);
    if (prefix_length + strlen(stored_main_class) + 1 > sizeof extract_dir) {
        report_path_too_long(stored_main_class);
        return;
    }
    memcpy(extract_dir, prefix, prefix_length);
    copy_bounded(extract_dir + prefix_length, sizeof extract_dir - prefix_length, stored_main_class);
}

// Saves the launch directory and moves to the executable's directory. False
// after a reported failure.
bool enter_executable_directory()
{
    if (!current_directory(launch_directory, sizeof launch_directory)) {
        report_error_with_reason(message_text(message_file_access), "CURRENT_DIR");
        return false;
    }
    // A path that filled its buffer may have been cut: refused, not guessed.
    char exe_path[path_size];
    if (!executable_path(exe_path, sizeof exe_path)) {
        report_error_with_reason(message_text(message_file_access), "CURRENT_EXE");
        return false;
    }
    char* last_backslash = strrchr(exe_path, '\\');
    if (last_backslash != nullptr) {
        // A bare drive ("C:") would name that drive's current directory, not
        // its root, so the backslash of a root stays.
        if (last_backslash > exe_path && last_backslash[-1] == ':')
            last_backslash[1] = '\0';
        else
            *last_backslash = '\0';
    }
    if (!SetCurrentDirectoryA(exe_path)) {
        report_error_with_reason(message_text(message_file_access), exe_path);
        return false;
    }
    return true;
}

// The executable's file name without directory and extension. The last "."
// of the whole path is taken, so for a name without extension a dot in a
// directory name counts.
char* derive_app_name()
{
    char exe_path[current_directory_size];
    if (!executable_path(exe_path, sizeof exe_path))
        return copy_text("");
    char* dot = strrchr(exe_path, '.');
    if (dot != nullptr)
        *dot = '\0';
    char* last_backslash = strrchr(exe_path, '\\');
    return copy_text(last_backslash != nullptr ? last_backslash + 1 : exe_path);
}

bool apply_working_directory(bool force)
{
    LauncherConfig& c = launcher_config;
    if (!force && c.restore_launch_directory) {
        if (!SetCurrentDirectoryA(launch_directory)) {
            report_error_with_reason(message_text(message_file_access), launch_directory);
            return false;
        }
    } else if (c.working_directory[0] != '\0') {
        if (!SetCurrentDirectoryA(c.working_directory)) {
            report_error_with_reason(message_text(message_file_access), c.working_directory);
            return false;
        }
    }
    return true;
}

bool main_working_directory(char* directory, size_t size)
{
    const LauncherConfig& c = launcher_config;
    if (c.chdir_before_jvm)
        return false;
    const char* target = c.restore_launch_directory ? launch_directory : c.working_directory;
    if (target[0] == '\0')
        return false;
    // Relative to the current directory, which is the executable's directory
    // until main moves.
    DWORD length = GetFullPathNameA(target, static_cast<DWORD>(size), directory, nullptr);
    return length != 0 && length < size;
}
