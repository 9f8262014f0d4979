// The few operating-system services the JVM-driving code needs, behind plain
// declarations so that code stays free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

// The current directory into buffer; false when it cannot be read or does
// not fit.
bool current_directory(char* buffer, size_t size);

// The full path of the launcher executable; false when it cannot be read or
// does not fit.
bool executable_path(char* buffer, size_t size);

// Loads a library (null on failure), finds an exported symbol (null when
// missing).
void* load_library(const char* path);
void* find_symbol(void* library, const char* name);

// Loads a DLL of the system by its full path in the system directory, so
// that a DLL of the same name beside the executable or in the current
// directory is never the one taken. Null on failure.
void* load_system_library(const char* name);

// Where DLLs loaded by name are looked for, besides the executable's and the
// system's directories: directory, or with null none at all, which takes the
// current directory out of the search (the launcher's setting from its start
// on). False where the system cannot change it (before Windows XP SP1).
bool set_dll_search_directory(const char* directory);

// Converts zero-terminated ANSI text to UTF-16. Returns the number of units
// needed, the terminator included (0 on failure); writes them when units is
// not null and has room for that many.
size_t ansi_to_utf16(const char* text, uint16_t* units, size_t capacity);

// A special folder (CSIDL number) through SHGetSpecialFolderPathA, looked up
// at run time; false when the shell or the folder is not available.
bool special_folder_path(int folder, char* buffer, size_t size);

// The capture lock (a critical section): initialised when the JVM is created
// on the Windows NT family, taken around every append to the capture.
void initialize_capture_lock();
void lock_capture();
void unlock_capture();

// True when both paths name the same file: their full paths
// (GetFullPathNameA) are equal without regard to letter case.
bool paths_name_same_file(const char* first, const char* second);

// Ends the process with status through the C runtime's exit. Only the
// first caller ends it: a second caller (the JVM's exit hook racing the
// start-up thread's own end) waits until the process is gone.
[[noreturn]] void end_launcher_process(int status);

// Ends the process at once with abort_exit_code, without exit-time
// handlers and without the C runtime's abort box: after a fatal JVM error
// the launcher's own report is the only thing the user sees.
constexpr int abort_exit_code = 3;
[[noreturn]] void end_process_abnormally();
