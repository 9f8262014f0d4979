#include "jvm/runtime_discovery.h"


#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "app/system_services.h"
#include "jvm/pe_machine.h"
#include "jvm/runtime_choice.h"
#include "jvm/version_constraints.h"
#include "launcher/path_checks.h"
#include "launcher/trace.h"
#include "launcher/text_buffers.h"
#include "launcher/tokenizer.h"
#include "ui/reporting.h"

const char* const runtime_key_table[runtime_key_count] = {
    "Software\\JavaSoft\\Java Runtime Environment",
    "Software\\IBM\\Java2 Runtime Environment",
    "Software\\JRockit\\Java Runtime Environment",
    "Software\\JavaSoft\\Java Development Kit",
    "Software\\IBM\\Java Development Kit",
    "Software\\JRockit\\Java Development Kit",
};

static const char client_jvm_subpath[] = "jre\\bin\\client\\jvm.dll";
static const char server_jvm_subpath[] = "jre\\bin\\server\\jvm.dll";
static const char jrockit_jvm_subpath[] = "jre\\bin\\jrockit\\jvm.dll";
static const char classic_jvm_subpath[] = "jre\\bin\\classic\\jvm.dll";

const char* preferred_jvm_subpath = nullptr;
char found_java_home[path_size];

// Owners of the handles opened here, so that every early return closes them.
struct RegistryKey {
    HKEY handle = nullptr;
    ~RegistryKey()
    {
        if (handle != nullptr)
            RegCloseKey(handle);
    }
};

struct FileListing {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~FileListing()
    {
        if (handle != INVALID_HANDLE_VALUE)
            FindClose(handle);
    }
};

static bool is_empty(const char* text)
{
    return text == nullptr || text[0] == '\0';
}

int read_registry_string(HKEY root, const char* subkey, const char* value_name, char* buffer,
                         DWORD size)
{
    buffer[0] = '\0';
    const char* root_name = root == HKEY_CURRENT_USER ? "HKCU" : "HKLM";
    RegistryKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key.handle) != ERROR_SUCCESS) {
        trace_line("registry %s\\%s: no such key", root_name, subkey);
        return -1;
    }
    DWORD type = 0;
    DWORD length = size;
    LONG status = RegQueryValueExA(key.handle, value_name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &length);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = '\0';
        trace_line("registry %s\\%s value %s: none", root_name, subkey, value_name);
        return 1;
    }
    // The registry keeps whatever bytes were stored; a value written without
    // its terminator is terminated here, or refused when no byte is left.
    if (length == 0 || buffer[length - 1] != '\0') {
        if (length >= size) {
            buffer[0] = '\0';
            return 1;
        }
        buffer[length] = '\0';
    }
    trace_line("registry %s\\%s value %s: \"%s\"", root_name, subkey, value_name, buffer);
    return 0;
}

// Whether the file at path exists and is a library this process can load. A
// library built for the other architecture could only fail to load, so it is
// passed over and the search goes on; a file that is no PE image at all is
// left for the load to report.
static bool library_is_usable(const char* path)
{
    if (file_is_missing(path))
        return false;
    int machine = read_pe_machine(path);
    if (machine >= 0 && machine != launcher_machine) {
        trace_line("candidate %s: %s library, this launcher is %s: skipped", path, pe_machine_name(machine),
                   pe_machine_name(launcher_machine));
        return false;
    }
    return true;
}

bool find_jvm_library_below(const char* directory, char* result)
{
    char path[path_size];
    if (!join_path(path, sizeof path, directory, "*.*"))
        return false;
    WIN32_FIND_DATAA entry;
    FileListing listing;
    listing.handle = FindFirstFileA(path, &entry);
    if (listing.handle == INVALID_HANDLE_VALUE)
        return false;
    do {
        const char* name = entry.cFileName;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        // File names ignore case, so a JVM.DLL is the same library; the result
        // keeps one spelling whatever the directory shows.
        if (lstrcmpiA(name, "jvm.dll") == 0) {
            if (join_path(result, path_size, directory, "jvm.dll") && library_is_usable(result))
                return true;
            continue;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            join_path(path, sizeof path, directory, name) && find_jvm_library_below(path, result))
            return true;
    } while (FindNextFileA(listing.handle, &entry));
    return false;
}

// Puts home joined with name into result when that names an existing file.
static bool take_existing_below(const char* home, const char* name, char* result,
                                size_t result_size)
{
    return join_path(result, result_size, home, name) && library_is_usable(result);
}

// Appends "\" and name to key_path (registry_text_size bytes); false when it
// would not fit, leaving key_path as it was.
static bool extend_key_path(char* key_path, const char* name)
{
    size_t length = strlen(key_path);
    size_t name_length = strlen(name);
    if (length + 1 + name_length + 1 > registry_text_size)
        return false;
    key_path[length] = '\\';
    memcpy(key_path + length + 1, name, name_length + 1);
    return true;
}

bool check_runtime_candidate(char* key_path, const char* version_name, char* result,
                             size_t result_size)
{
    if (!version_satisfies_all(version_name, launcher_config.java_version_constraints)) {
        trace_line("candidate version %s: rejected by the version constraints", version_name);
        return false;
    }
    if (!extend_key_path(key_path, version_name))
        return false;

    found_java_home[0] = '\0';
    read_registry_string(HKEY_LOCAL_MACHINE, key_path, "JavaHome", found_java_home,
                         sizeof found_java_home);
    memset(result, 0, result_size);
    read_registry_string(HKEY_LOCAL_MACHINE, key_path, "RuntimeLib", result,
                         static_cast<DWORD>(result_size));
    if (library_is_usable(result))
        return true;
    if (found_java_home[0] == '\0')
        return false;
    // After the explicit-list step this is the list's first entry only.
    if (!is_empty(launcher_config.jvm_path_list) &&
        take_existing_below(found_java_home, launcher_config.jvm_path_list, result, result_size))
        return true;
    if (preferred_jvm_subpath != nullptr)
        return take_existing_below(found_java_home, preferred_jvm_subpath, result, result_size);
    char found[path_size];
    return find_jvm_library_below(found_java_home, found) &&
           copy_bounded(result, result_size, found);
}

bool search_registered_runtimes(char* result, size_t result_size, int first, int count)
{
    for (int row = first < 0 ? 0 : first; row < first + count && row < runtime_key_count; ++row) {
        char key_path[registry_text_size];
        char version[registry_text_size];
        copy_bounded(key_path, sizeof key_path, runtime_key_table[row]);
        if (read_registry_string(HKEY_LOCAL_MACHINE, key_path, "CurrentVersion", version,
                                 sizeof version) == 0 &&
            check_runtime_candidate(key_path, version, result, result_size))
            return true;
        RegistryKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, runtime_key_table[row], 0, KEY_READ, &key.handle) !=
            ERROR_SUCCESS)
            continue;
        for (DWORD index = 0;; ++index) {
            DWORD name_size = sizeof version;
            if (RegEnumKeyExA(key.handle, index, version, &name_size, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            copy_bounded(key_path, sizeof key_path, runtime_key_table[row]);
            if (check_runtime_candidate(key_path, version, result, result_size))
                return true;
        }
    }
    return false;
}

// Runs the search of rows first .. first + count - 1 with subpath preferred.
static bool search_preferring(const char* subpath, char* result, int first, int count)
{
    preferred_jvm_subpath = subpath;
    return search_registered_runtimes(result, path_size, first, count);
}

// The first existing entry of the explicit list. The list is cut in place,
// so that from now on it reads as its first entry.
static bool search_explicit_list(char* result)
{
    preferred_jvm_subpath = nullptr;
    char* list = launcher_config.jvm_path_list;
    if (is_empty(list))
        return false;
    char* cursor = nullptr;
    for (char* entry = next_token(list, ";", &cursor); entry != nullptr;
         entry = next_token(list, ";", &cursor)) {
        if (strlen(entry) < path_size && library_is_usable(entry)) {
            // A listed library has no home the launcher knows of; a
            // registered runtime tried before must not lend it its own.
            found_java_home[0] = '\0';
            return copy_bounded(result, path_size, entry);
        }
        trace_line("explicit entry %s: not usable", entry);
    }
    return false;
}

// The JAVA_HOME variable into home (path_size bytes), with the quotes a user
// may have typed around it removed; false when it is not set or too long.
static bool read_java_home_variable(char* home)
{
    char value[path_size];
    DWORD length = GetEnvironmentVariableA("JAVA_HOME", value, sizeof value);
    if (length == 0 || length >= sizeof value) {
        trace_line("JAVA_HOME: not set");
        return false;
    }
    size_t at = 0;
    for (const char* c = value; *c != '\0'; ++c) {
        if (*c != '"')
            home[at++] = *c;
    }
    home[at] = '\0';
    return true;
}

static bool search_java_home(char* result)
{
    static const char suffix[] = "\\jre\\bin\\client\\jvm.dll";
    char path[path_size];
    if (!read_java_home_variable(path))
        return false;
    size_t at = strlen(path);
    if (at + sizeof suffix > sizeof path)
        return false;
    memcpy(path + at, suffix, sizeof suffix);
    if (!library_is_usable(path)) {
        trace_line("JAVA_HOME library %s: not usable", path);
        return false;
    }
    // The library's home is the directory the variable names.
    path[at] = '\0';
    copy_bounded(found_java_home, sizeof found_java_home, path);
    path[at] = suffix[0];
    return copy_bounded(result, path_size, path);
}

// ---- today's runtimes ------------------------------------------------------

// The keys under which Java runtimes register today, each with the value
// that holds a runtime's home. Below each key there is one subkey per
// version; the home value sits in it or up to two levels further down
// (Adoptium's <version>\hotspot\MSI, Microsoft's <version>\hotspot\EXE).
struct RuntimeLayout {
    const char* key;
    const char* home_value;
};
static constexpr RuntimeLayout runtime_layouts[] = {
    {"SOFTWARE\\JavaSoft\\JDK", "JavaHome"},
    {"SOFTWARE\\JavaSoft\\JRE", "JavaHome"},
    {"SOFTWARE\\JavaSoft\\Java Development Kit", "JavaHome"},
    {"SOFTWARE\\JavaSoft\\Java Runtime Environment", "JavaHome"},
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "Path"},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "Path"},
    {"SOFTWARE\\Eclipse Foundation\\JDK", "Path"},
    {"SOFTWARE\\Eclipse Foundation\\JRE", "Path"},
    {"SOFTWARE\\AdoptOpenJDK\\JDK", "Path"},
    {"SOFTWARE\\AdoptOpenJDK\\JRE", "Path"},
    {"SOFTWARE\\Microsoft\\JDK", "Path"},
    {"SOFTWARE\\Semeru\\JDK", "Path"},
    {"SOFTWARE\\Semeru\\JRE", "Path"},
    {"SOFTWARE\\Azul Systems\\Zulu", "InstallationPath"},
    {"SOFTWARE\\BellSoft\\Liberica", "InstallationPath"},
};
constexpr int home_value_depth = 2;

// The best runtime seen so far by the search of today's layouts.
struct ChosenRuntime {
    bool found = false;
    int32_t version = 0;
    char library[path_size];
    char home[path_size];
};

static bool usable_for_probe(const char* path, void*)
{
    return library_is_usable(path);
}

// A home path without its trailing "\", as installers sometimes store it.
static void trim_trailing_separator(char* path)
{
    size_t length = strlen(path);
    while (length > 3 && path[length - 1] == '\\')
        path[--length] = '\0';
}


// Finds value_name in the key or up to depth levels below it; home gets its
// text and library the RuntimeLib beside it, if any.
static bool read_home_below(HKEY root, const char* key_path, const char* value_name, int depth, char* home,
                            char* library)
{
    if (read_registry_string(root, key_path, value_name, home, path_size) == 0 && home[0] != '\0') {
        read_registry_string(root, key_path, "RuntimeLib", library, path_size);
        return true;
    }
    if (depth == 0)
        return false;
    RegistryKey key;
    if (RegOpenKeyExA(root, key_path, 0, KEY_READ, &key.handle) != ERROR_SUCCESS)
        return false;
    char name[registry_text_size];
    for (DWORD index = 0;; ++index) {
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(key.handle, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        char below[registry_text_size];
        copy_bounded(below, sizeof below, key_path);
        if (extend_key_path(below, name) && read_home_below(root, below, value_name, depth - 1, home, library))
            return true;
    }
}

// Weighs one registered version against the best so far.
static void weigh_registered_runtime(HKEY root, const RuntimeLayout& layout, const char* version,
                                     ChosenRuntime* chosen)
{
    const char* constraints = launcher_config.java_version_constraints;
    if (!runtime_outranks(version, constraints != nullptr ? constraints : "", chosen->found, chosen->version)) {
        trace_line("candidate %s %s: rejected by the version constraints, or not newer than %s", layout.key,
                   version, chosen->found ? chosen->home : "none");
        return;
    }
    char key_path[registry_text_size];
    copy_bounded(key_path, sizeof key_path, layout.key);
    char home[path_size] = {};
    char library[path_size] = {};
    if (!extend_key_path(key_path, version) ||
        !read_home_below(root, key_path, layout.home_value, home_value_depth, home, library)) {
        trace_line("candidate %s %s: no %s value", layout.key, version, layout.home_value);
        return;
    }
    trim_trailing_separator(home);
    if (!library_is_usable(library) && !probe_runtime_library(home, library, sizeof library, usable_for_probe, nullptr)) {
        trace_line("candidate %s %s: no usable library below %s", layout.key, version, home);
        return;
    }
    trace_line("candidate %s %s: %s, library %s (%s): best so far", layout.key, version, home, library,
               pe_machine_name(read_pe_machine(library)));
    chosen->found = true;
    chosen->version = runtime_version_value(version);
    copy_bounded(chosen->library, sizeof chosen->library, library);
    copy_bounded(chosen->home, sizeof chosen->home, home);
}

// Every layout of today's runtimes, the machine's (HKLM) before the user's
// (HKCU) installs: the highest version that meets the constraints and has a
// library this launcher can load.
static bool search_current_layouts(char* result)
{
    ChosenRuntime chosen;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const RuntimeLayout& layout : runtime_layouts) {
            RegistryKey key;
            if (RegOpenKeyExA(root, layout.key, 0, KEY_READ, &key.handle) != ERROR_SUCCESS)
                continue;
            char version[registry_text_size];
            for (DWORD index = 0;; ++index) {
                DWORD name_size = sizeof version;
                if (RegEnumKeyExA(key.handle, index, version, &name_size, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                weigh_registered_runtime(root, layout, version, &chosen);
            }
        }
    }
    if (!chosen.found)
        return false;
    copy_bounded(found_java_home, sizeof found_java_home, chosen.home);
    return copy_bounded(result, path_size, chosen.library);
}

// JAVA_HOME as today's runtimes lay it out: the version from the home's
// release file checked against the constraints, then the library probed.
static bool search_current_java_home(char* result)
{
    char home[path_size];
    if (!read_java_home_variable(home))
        return false;
    trim_trailing_separator(home);

    char release_path[path_size];
    char release[4096] = {};
    char version[registry_text_size] = {};
    if (join_path(release_path, sizeof release_path, home, "release")) {
        if (FILE* file = fopen(release_path, "rb")) {
            fread(release, 1, sizeof release - 1, file);
            fclose(file);
        }
    }
    const char* constraints = launcher_config.java_version_constraints;
    if (constraints == nullptr)
        constraints = "";
    if (!release_file_version(release, version, sizeof version)) {
        // Without a version nothing can be checked against the constraints.
        if (constraints[0] != '\0') {
            trace_line("JAVA_HOME %s: no JAVA_VERSION in its release file: rejected", home);
            return false;
        }
    } else if (!runtime_version_accepted(version, constraints)) {
        trace_line("JAVA_HOME %s: version %s rejected by the version constraints", home, version);
        return false;
    }
    if (!probe_runtime_library(home, result, path_size, usable_for_probe, nullptr)) {
        trace_line("JAVA_HOME %s: no usable library", home);
        return false;
    }
    trace_line("JAVA_HOME %s: version %s, library %s", home, version, result);
    copy_bounded(found_java_home, sizeof found_java_home, home);
    return true;
}

static bool run_search_step(char step, char* result)
{
    switch (step) {
    case '0':
        return search_explicit_list(result);
    case '1':
        return search_preferring(nullptr, result, 0, 3) ||
               search_preferring(client_jvm_subpath, result, 0, 1) ||
               search_preferring(server_jvm_subpath, result, 0, 1);
    case '2':
        return search_preferring(client_jvm_subpath, result, 3, 1) ||
               search_preferring(jrockit_jvm_subpath, result, 5, 1);
    case '3':
        return search_preferring(server_jvm_subpath, result, 3, 1);
    case '4':
        return search_preferring(classic_jvm_subpath, result, 3, 2);
    case '5':
        return search_java_home(result);
    case '6':
        return search_current_layouts(result);
    case '7':
        return search_current_java_home(result);
    default:
        return false;
    }
}

// Opens a document or address with the shell. SHELL32 is loaded only here,
// on the way out of a failed start, so that every other start is spared it.
static void open_document(const char* document)
{
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    HMODULE shell = static_cast<HMODULE>(load_system_library("shell32.dll"));
    auto shell_execute = shell != nullptr ? reinterpret_cast<ShellExecuteFunction>(reinterpret_cast<void*>(
                                                GetProcAddress(shell, "ShellExecuteA")))
                                          : nullptr;
    if (shell_execute != nullptr)
        shell_execute(nullptr, "open", document, nullptr, nullptr, SW_SHOW);
}

bool locate_jvm_library(char* result)
{
    const char* order = launcher_config.runtime_search_order;
    for (const char* step = order; step != nullptr && *step != '\0'; ++step) {
        trace_line("search step '%c'", *step);
        if (run_search_step(*step, result)) {
            trace_line("search step '%c' found %s", *step, result);
            return true;
        }
    }
    result[0] = '\0';
    trace_line("no runtime found");
    found_java_home[0] = '\0';
    const char* constraints = launcher_config.java_version_constraints;
    if (launcher_config.report_missing_runtime)
        report_error(message_text(message_no_runtime), constraints != nullptr ? constraints : "");
    if (!is_empty(launcher_config.missing_runtime_document))
        open_document(launcher_config.missing_runtime_document);
    if (!is_empty(launcher_config.missing_runtime_command))
        WinExec(launcher_config.missing_runtime_command, SW_SHOW);
    return false;
}
