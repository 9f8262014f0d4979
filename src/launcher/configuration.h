// The process-wide configuration: every value of the executable's string
// table (IDs 1001 to 1043), the message templates 1 to 21, the INI overrides,
// and the start-up values kept beside them.
#pragma once
#include <cstddef>

enum ConfigId : unsigned {
    config_java_version_constraints = 1001,
    config_jvm_path_list = 1002,
    config_jvm_options = 1003,
    config_class_path = 1004,
    config_runtime_search_order = 1005,
    config_remove_extracted_jars_at_exit = 1006,
    config_extract_dir_mode = 1007,
    config_install_switch = 1008,
    config_uninstall_switch = 1009,
    config_service_switch = 1010,
    config_working_directory = 1011,
    config_scrambled_main_class = 1012,
    config_app_options = 1013,
    config_ini_file_name = 1014,
    config_chdir_before_jvm = 1015,
    config_restore_launch_directory = 1016,
    config_service_name = 1017,
    config_service_description = 1018,
    config_service_app_options = 1019,
    config_service_stop_options = 1020,
    config_stop_with_system_exit = 1021,
    config_service_manual_start = 1022,
    config_service_interactive = 1023,
    config_service_dependencies = 1024,
    config_stdout_mode = 1025,
    config_stderr_mode = 1026,
    config_stdout_file = 1027,
    config_stderr_file = 1028,
    config_allow_multiple_instances = 1029,
    config_splash_text = 1030,
    config_splash_until_app_window = 1031,
    config_splash_timeout_seconds = 1032,
    config_priority_index = 1033,
    config_service_only = 1034,
    config_static_options = 1035,
    config_service_args_on_command_line = 1036,
    config_forward_second_instance = 1037,
    config_second_instance_options = 1038,
    config_report_missing_runtime = 1039,
    config_missing_runtime_document = 1040,
    config_missing_runtime_command = 1041,
    config_stdout_append = 1042,
    config_stderr_append = 1043,
};

enum MessageId : unsigned {
    message_already_running = 1,
    message_file_access = 2,
    message_file_write = 3,
    message_no_runtime = 4,
    message_load_jvm = 5,
    message_no_jni_interfaces = 6,
    message_create_jvm = 7,
    message_attach_thread = 8,
    message_locate_class = 9,
    message_locate_method = 10,
    message_instantiate = 11,
    message_string_argument = 12,
    message_invoke_method = 13,
    message_service_installed = 14,
    message_service_uninstalled = 15,
    message_service_exists = 16,
    message_service_started = 17,
    message_service_stopped = 18,
    message_service_start_failed = 19,
    message_service_stop_timeout = 20,
    message_service_only = 21,
    message_count = 21,
};

constexpr size_t path_size = 260;           // every path buffer
constexpr size_t current_directory_size = 261;

// Texts are heap copies owned by the record for the life of the process and
// never freed; a field replaced later gets a new heap text.
struct LauncherConfig {
    char* java_version_constraints;    // 1001
    char* jvm_path_list;               // 1002
    char* jvm_options;                 // 1003
    char* class_path;                  // 1004
    char* runtime_search_order;        // 1005
    bool remove_extracted_jars_at_exit;// 1006
    int extract_dir_mode;              // 1007
    char* install_switch;              // 1008
    char* uninstall_switch;            // 1009
    char* service_switch;              // 1010
    char* working_directory;           // 1011
    char* scrambled_main_class;        // 1012 as stored
    char* main_class;                  // 1012 descrambled, "." replaced by "/"
    char* app_options;                 // 1013
    char* ini_file_name;               // 1014 after expansion
    bool chdir_before_jvm;             // 1015
    bool restore_launch_directory;     // 1016
    char* service_name;                // 1017
    char* service_description;         // 1018
    char* service_app_options;         // 1019
    char* service_stop_options;        // 1020
    bool stop_with_system_exit;        // 1021
    bool service_manual_start;         // 1022
    bool service_interactive;          // 1023
    char* service_dependencies;        // 1024
    int stdout_mode;                   // 1025
    int stderr_mode;                   // 1026
    char* stdout_file;                 // 1027
    char* stderr_file;                 // 1028
    bool allow_multiple_instances;     // 1029
    char* splash_text;                 // 1030 display text
    bool splash_until_app_window;      // 1031
    int splash_timeout_seconds;        // 1032
    bool service_only;                 // 1034
    char* static_options;              // 1035
    bool service_args_on_command_line; // 1036
    bool forward_second_instance;      // 1037
    char* second_instance_options;     // 1038
    bool report_missing_runtime;       // 1039
    char* missing_runtime_document;    // 1040
    char* missing_runtime_command;     // 1041
    bool stdout_append;                // 1042
    bool stderr_append;                // 1043
    bool show_console;                 // INI key ShowConsole only
    char* message_table[message_count + 1]; // templates by MessageId; slot 0 unused
};

// The one configuration of the process; written by load_configuration and
// apply_ini_overrides on the start-up thread, read by every subsystem.
extern LauncherConfig launcher_config;

// Start-up values of the entry point, kept beside the record.
extern char extract_dir[path_size];
extern char launch_directory[current_directory_size];
extern char* app_name;
extern char* run_switch; // first command-line argument, or null

// A new heap text for a configuration value; empty for a missing value or
// one stored as "<null>". Reports nothing.
char* load_config_string(unsigned id);

// A message template in the ANSI code page with backslash-n unescaped. A
// missing or empty string gives a shared empty text that must not be freed.
char* load_message_string(unsigned id);

// The template of a message, as loaded (empty before loading).
const char* message_text(MessageId id);

// Fills launcher_config in the order the priority value relies on. Needs
// app_name and the executable's directory as the current directory.
void load_configuration();

// Applies the INI file named by ini_file_name when one exists beside the
// executable.
void apply_ini_overrides();

// Writes the configuration in effect to the trace, when there is one.
void trace_configuration();
