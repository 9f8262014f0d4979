#include "launcher/configuration.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "launcher/config_values.h"
#include "launcher/string_blocks.h"
#include "launcher/path_checks.h"
#include "launcher/text_buffers.h"
#include "launcher/trace.h"

LauncherConfig launcher_config;
char extract_dir[path_size];
char launch_directory[current_directory_size];
char* app_name;
char* run_switch;

// Returned for a message that converts to nothing; shared, never freed.
static char empty_message[] = "";

char* load_config_string(unsigned id)
{
    HMODULE module = GetModuleHandleA(nullptr);
    int capacity = 1024;
    char* buffer = static_cast<char*>(malloc(static_cast<size_t>(capacity)));
    for (;;) {
        int length = LoadStringA(module, id, buffer, capacity);
        if (length == 0 || strcmp(buffer, "<null>") == 0) {
            free(buffer);
            return copy_text("");
        }
        // LoadStringA cuts a value that does not fit; only a length short of
        // the buffer proves the whole value was read.
        if (length < capacity - 1)
            break;
        capacity += 1024;
        buffer = static_cast<char*>(realloc(buffer, static_cast<size_t>(capacity)));
    }
    char* text = copy_text(buffer);
    free(buffer);
    return text;
}

char* load_message_string(unsigned id)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(string_block_of(id)), 0);
    if (found == nullptr)
        return empty_message;
    HGLOBAL loaded = LoadResource(module, found);
    const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
    const unsigned char* units = nullptr;
    size_t length = 0;
    if (block == nullptr ||
        !string_block_entry(block, SizeofResource(module, found), string_index_of(id), &units, &length))
        return empty_message;

    wchar_t* wide = static_cast<wchar_t*>(calloc(length + 1, sizeof(wchar_t)));
    memcpy(wide, units, length * sizeof(wchar_t));
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        free(wide);
        return empty_message;
    }
    char* ansi = static_cast<char*>(calloc(static_cast<size_t>(size) + 1, 1));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, size, nullptr, nullptr);
    free(wide);
    char* text = unescape_message_text(ansi);
    free(ansi);
    return text;
}

const char* message_text(MessageId id)
{
    const char* text = launcher_config.message_table[id];
    return text != nullptr ? text : "";
}

static bool load_boolean(unsigned id)
{
    char* text = load_config_string(id);
    bool value = config_boolean(text);
    free(text);
    return value;
}

static int load_integer(unsigned id)
{
    char* text = load_config_string(id);
    int value = config_integer(text);
    free(text);
    return value;
}

// Priority classes indexed by value 1033; other values leave the priority.
static constexpr DWORD priority_classes[] = {
    REALTIME_PRIORITY_CLASS, HIGH_PRIORITY_CLASS, ABOVE_NORMAL_PRIORITY_CLASS,
    NORMAL_PRIORITY_CLASS,   BELOW_NORMAL_PRIORITY_CLASS, IDLE_PRIORITY_CLASS,
};

void load_configuration()
{
    LauncherConfig& c = launcher_config;
    c.scrambled_main_class = load_config_string(config_scrambled_main_class);
    char descrambled[main_class_max_length + 1];
    descramble_main_class(c.scrambled_main_class, descrambled);

    c.jvm_path_list = load_config_string(config_jvm_path_list);
    c.class_path = load_config_string(config_class_path);
    c.jvm_options = load_config_string(config_jvm_options);
    c.install_switch = load_config_string(config_install_switch);
    c.uninstall_switch = load_config_string(config_uninstall_switch);
    c.service_switch = load_config_string(config_service_switch);
    c.service_name = load_config_string(config_service_name);
    c.service_description = load_config_string(config_service_description);
    c.working_directory = load_config_string(config_working_directory);
    c.app_options = load_config_string(config_app_options);
    c.static_options = load_config_string(config_static_options);
    c.service_app_options = load_config_string(config_service_app_options);
    c.service_stop_options = load_config_string(config_service_stop_options);
    c.service_dependencies = load_config_string(config_service_dependencies);
    c.stdout_file = load_config_string(config_stdout_file);
    c.stderr_file = load_config_string(config_stderr_file);

    c.splash_text = load_message_string(config_splash_text);

    char* ini_template = load_config_string(config_ini_file_name);
    c.ini_file_name = expand_ini_file_name(ini_template, app_name != nullptr ? app_name : "");
    free(ini_template);

    c.runtime_search_order = load_config_string(config_runtime_search_order);
    c.second_instance_options = load_config_string(config_second_instance_options);
    c.missing_runtime_document = load_config_string(config_missing_runtime_document);
    c.missing_runtime_command = load_config_string(config_missing_runtime_command);

    c.stdout_append = load_boolean(config_stdout_append);
    c.stderr_append = load_boolean(config_stderr_append);
    c.chdir_before_jvm = load_boolean(config_chdir_before_jvm);
    c.allow_multiple_instances = load_boolean(config_allow_multiple_instances);
    c.splash_until_app_window = load_boolean(config_splash_until_app_window);
    c.service_manual_start = load_boolean(config_service_manual_start);
    c.stop_with_system_exit = load_boolean(config_stop_with_system_exit);
    c.restore_launch_directory = load_boolean(config_restore_launch_directory);
    c.service_interactive = load_boolean(config_service_interactive);
    c.remove_extracted_jars_at_exit = load_boolean(config_remove_extracted_jars_at_exit);
    c.service_args_on_command_line = load_boolean(config_service_args_on_command_line);
    c.forward_second_instance = load_boolean(config_forward_second_instance);

    c.splash_timeout_seconds = load_integer(config_splash_timeout_seconds);

    int priority = load_integer(config_priority_index);
    if (priority >= 0 && priority <= 5)
        SetPriorityClass(GetCurrentProcess(), priority_classes[priority]);

    c.stdout_mode = load_integer(config_stdout_mode);
    c.stderr_mode = load_integer(config_stderr_mode);
    c.service_only = load_boolean(config_service_only);

    c.java_version_constraints = load_config_string(config_java_version_constraints);

    for (char* p = descrambled; *p != '\0'; ++p)
        if (*p == '.')
            *p = '/';
    c.main_class = copy_text(descrambled);

    c.report_missing_runtime = load_boolean(config_report_missing_runtime);

    static constexpr MessageId message_order[] = {
        message_already_running, message_file_write, message_service_started,
        message_service_stopped, message_service_start_failed, message_service_stop_timeout,
        message_service_exists, message_service_installed, message_service_uninstalled,
        message_no_runtime, message_load_jvm, message_no_jni_interfaces, message_create_jvm,
        message_attach_thread, message_locate_class, message_locate_method,
        message_instantiate, message_string_argument, message_invoke_method,
        message_service_only,
    };
    for (MessageId id : message_order)
        c.message_table[id] = load_message_string(id);
}

namespace {

constexpr size_t ini_value_size = 4096;
constexpr char ini_section[] = "Application Configuration";

// Replaces a configuration text by a new heap copy; the old one is kept, as
// other parts may still hold it.
void replace_text(char** field, const char* value)
{
    *field = copy_text(value);
}

bool read_ini_value(const char* path, const char* key, char* value)
{
    return GetPrivateProfileStringA(ini_section, key, "", value, ini_value_size, path) != 0;
}

} // namespace

void apply_ini_overrides()
{
    LauncherConfig& c = launcher_config;
    if (c.ini_file_name == nullptr || c.ini_file_name[0] == '\0' || file_is_missing(c.ini_file_name))
        return;

    // GetPrivateProfileStringA looks for a bare name in the Windows directory,
    // so the name is made full against the executable's directory.
    char directory[current_directory_size];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory)
        return;
    char path[path_size];
    if (length + 1 + strlen(c.ini_file_name) + 1 > sizeof path)
        return; // no file of so long a name can be opened
    format_text(path, sizeof path, "%s\\%s", directory, c.ini_file_name);

    char value[ini_value_size];
    if (read_ini_value(path, "JvmOptions", value))
        replace_text(&c.jvm_options, value);
    if (read_ini_value(path, "JvmOptionsAppend", value)) {
        size_t size = strlen(c.jvm_options) + 1 + strlen(value) + 1;
        char* joined = static_cast<char*>(malloc(size));
        format_text(joined, size, "%s %s", c.jvm_options, value);
        c.jvm_options = joined;
    }
    if (read_ini_value(path, "AppOptions", value))
        replace_text(&c.app_options, value);
    if (read_ini_value(path, "StaticOptions", value))
        replace_text(&c.static_options, value);
    if (read_ini_value(path, "StdOutFile", value)) {
        replace_text(&c.stdout_file, value);
        c.stdout_mode = 1;
    }
    if (read_ini_value(path, "StdErrFile", value)) {
        replace_text(&c.stderr_file, value);
        c.stderr_mode = 1;
    }
    if (read_ini_value(path, "StdOutFileAppend", value))
        c.stdout_append = strcmp(value, "1") == 0;
    if (read_ini_value(path, "StdErrFileAppend", value))
        c.stderr_append = strcmp(value, "1") == 0;
    if (read_ini_value(path, "ShowConsole", value)) {
        if (strcmp(value, "0") == 0)
            c.show_console = false;
        else if (strcmp(value, "1") == 0)
            c.show_console = true;
        if (c.show_console) {
            c.stdout_mode = 0;
            c.stderr_mode = 0;
        }
    }
}

void trace_configuration()
{
    if (!trace_enabled())
        return;
    struct TextField {
        unsigned id;
        char* LauncherConfig::*field;
    };
    static constexpr TextField texts[] = {
        {1001, &LauncherConfig::java_version_constraints}, {1002, &LauncherConfig::jvm_path_list},
        {1003, &LauncherConfig::jvm_options},              {1004, &LauncherConfig::class_path},
        {1005, &LauncherConfig::runtime_search_order},     {1008, &LauncherConfig::install_switch},
        {1009, &LauncherConfig::uninstall_switch},         {1010, &LauncherConfig::service_switch},
        {1011, &LauncherConfig::working_directory},        {1012, &LauncherConfig::main_class},
        {1013, &LauncherConfig::app_options},              {1014, &LauncherConfig::ini_file_name},
        {1017, &LauncherConfig::service_name},             {1018, &LauncherConfig::service_description},
        {1019, &LauncherConfig::service_app_options},      {1020, &LauncherConfig::service_stop_options},
        {1024, &LauncherConfig::service_dependencies},     {1027, &LauncherConfig::stdout_file},
        {1028, &LauncherConfig::stderr_file},              {1030, &LauncherConfig::splash_text},
        {1035, &LauncherConfig::static_options},           {1038, &LauncherConfig::second_instance_options},
        {1040, &LauncherConfig::missing_runtime_document}, {1041, &LauncherConfig::missing_runtime_command},
    };
    struct FlagField {
        unsigned id;
        bool LauncherConfig::*field;
    };
    static constexpr FlagField flags[] = {
        {1006, &LauncherConfig::remove_extracted_jars_at_exit}, {1015, &LauncherConfig::chdir_before_jvm},
        {1016, &LauncherConfig::restore_launch_directory},      {1021, &LauncherConfig::stop_with_system_exit},
        {1022, &LauncherConfig::service_manual_start},          {1023, &LauncherConfig::service_interactive},
        {1029, &LauncherConfig::allow_multiple_instances},      {1031, &LauncherConfig::splash_until_app_window},
        {1034, &LauncherConfig::service_only},                  {1036, &LauncherConfig::service_args_on_command_line},
        {1037, &LauncherConfig::forward_second_instance},       {1039, &LauncherConfig::report_missing_runtime},
        {1042, &LauncherConfig::stdout_append},                 {1043, &LauncherConfig::stderr_append},
    };
    const LauncherConfig& c = launcher_config;
    trace_line("configuration of %s, after the INI file:", app_name != nullptr ? app_name : "");
    for (const TextField& text : texts) {
        const char* value = c.*text.field;
        trace_line("  %u = \"%s\"", text.id, value != nullptr ? value : "");
    }
    for (const FlagField& flag : flags)
        trace_line("  %u = %s", flag.id, c.*flag.field ? "on" : "off");
    trace_line("  1007 = %d, 1025 = %d, 1026 = %d, 1032 = %d, ShowConsole = %s", c.extract_dir_mode, c.stdout_mode,
               c.stderr_mode, c.splash_timeout_seconds, c.show_console ? "on" : "off");
}
