#include "jvm/jvm_creation.h"

#include <windows.h>

#include <cstring>

#include "app/system_services.h"
#include "jvm/console.h"
#include "jvm/jvm_instance.h"
#include "jvm/runtime_discovery.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/text_buffers.h"
#include "launcher/trace.h"
#include "ui/reporting.h"

namespace {

// Sets non_nt_platform; false after a reported failure.
bool detect_platform()
{
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        // Systems before the extended structure know only the short one.
        version = OSVERSIONINFOEXA{};
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
            report_error_with_reason("Internal error RC0000040");
            return false;
        }
    }
    non_nt_platform = version.dwPlatformId != VER_PLATFORM_WIN32_NT;
    return true;
}

// The library's path made absolute against the saved directory, with "\"
// for "/". False when it would not fit a path.
bool absolute_library_path(const char* saved_directory, const char* library_path, char* absolute)
{
    bool is_absolute = library_path[0] == '\\' || strlen(library_path) <= 1 || library_path[1] == ':';
    bool fits = is_absolute ? copy_bounded(absolute, path_size, library_path)
                            : join_path(absolute, path_size, saved_directory, library_path);
    if (!fits)
        return false;
    for (char* p = absolute; *p != '\0'; ++p)
        if (*p == '/')
            *p = '\\';
    return true;
}

// Loads the library with the parent of its directory (jre\bin for a library
// in jre\bin\client) current and, where the system has it, as the DLL
// directory, so that the libraries it needs are found beside it. False after
// a reported failure.
bool load_jvm_library(const char* saved_directory)
{
    // The library is loaded by its absolute path: a relative one would be
    // taken against the runtime directory made current for the load, not
    // against the directory in which discovery found it.
    char library[path_size];
    char directory[path_size];
    bool have_directory = absolute_library_path(saved_directory, jvm_instance.library_path, library) &&
                          join_path(directory, sizeof directory, library, "..\\..\\");
    if (have_directory) {
        SetCurrentDirectoryA(directory);
        set_dll_search_directory(directory);
    }
    jvm_instance.module = LoadLibraryA(have_directory ? library : jvm_instance.library_path);
    if (jvm_instance.module == nullptr) {
        report_error(message_text(message_load_jvm), jvm_instance.library_path);
        return false;
    }
    SetCurrentDirectoryA(saved_directory);
    // Back to the launcher's own setting, without the current directory:
    // libraries the JVM loads later by name must not come from there.
    if (have_directory)
        set_dll_search_directory(nullptr);
    return true;
}

} // namespace

bool create_jvm(bool primary_main)
{
    if (!detect_platform())
        return false;
    if (!non_nt_platform)
        initialize_capture_lock();
    if (!setup_console())
        return false;
    if (launcher_config.chdir_before_jvm && !apply_working_directory(true))
        return false;

    char library[path_size];
    bool located = locate_jvm_library(library);
    trace_phase_end("discovery");
    if (!located)
        return false;
    jvm_instance.library_path = copy_text(library);
    launcher_config.jvm_path_list = jvm_instance.library_path;

    char saved_directory[current_directory_size];
    if (!current_directory(saved_directory, sizeof saved_directory)) {
        report_error_with_reason(message_text(message_file_access), "CURRENT_DIR");
        return false;
    }
    if (!load_jvm_library(saved_directory))
        return false;
    trace_line("loaded %s, runtime home \"%s\"", jvm_instance.library_path, found_java_home);
    trace_phase_end("library load");

    if (!resolve_jni_entry_points())
        return false;
    bool created = create_java_vm(primary_main);
    trace_phase_end("JVM creation");
    return created;
}
