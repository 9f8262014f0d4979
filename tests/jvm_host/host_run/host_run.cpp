// orvane-host-run APP.toml [ARGUMENT...]: the launcher's start of a Java
// application, run on Linux against the build machine's libjvm, so that a
// real program can be compared with the JDK's own java command. The
// configuration comes from an application file of orvane-pack; its directory
// plays the executable's directory. Nothing of its own is printed on success:
// the launcher's reports go to standard error, one line each, marked.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "app/capture_pipe.h"
#include "app/main_invocation.h"
#include "app/output_capture.h"
#include "app/shutdown.h"
#include "app/system_services.h"
#include "app_file.h"
#include "host_platform.h"
#include "jvm/console.h"
#include "jvm/jvm_instance.h"
#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/startup.h"
#include "launcher/text_buffers.h"
#include "launcher/tokenizer.h"
#include "ui/reporting.h"

namespace {

// The shipped launcher's values, from the resource script: a key the
// application file leaves out keeps them, as a packed launcher does.
std::map<unsigned, std::string> shipped_values()
{
    std::map<unsigned, std::string> values;
    std::ifstream script(ORVANE_RESOURCE_SCRIPT);
    const std::regex entry(R"re(^\s*(10[0-4][0-9]),\s*"(.*)"\s*$)re");
    std::string line;
    std::smatch match;
    while (std::getline(script, line))
        if (std::regex_match(line, match, entry))
            values[static_cast<unsigned>(std::stoul(match[1]))] = match[2];
    return values;
}

// The fields of the configuration, filled as load_configuration fills them
// from the string table.
void load_values(const std::map<unsigned, std::string>& values)
{
    reset_launcher_config("", "");
    LauncherConfig& c = launcher_config;
    auto text = [&](unsigned id) {
        auto found = values.find(id);
        return copy_text(found == values.end() || found->second == "<null>" ? "" : found->second.c_str());
    };
    auto boolean = [&](unsigned id) { return config_boolean(text(id)); };
    auto integer = [&](unsigned id) { return config_integer(text(id)); };
    c.java_version_constraints = text(config_java_version_constraints);
    c.jvm_path_list = text(config_jvm_path_list);
    c.jvm_options = text(config_jvm_options);
    c.class_path = text(config_class_path);
    c.runtime_search_order = text(config_runtime_search_order);
    c.remove_extracted_jars_at_exit = boolean(config_remove_extracted_jars_at_exit);
    c.extract_dir_mode = integer(config_extract_dir_mode);
    c.install_switch = text(config_install_switch);
    c.uninstall_switch = text(config_uninstall_switch);
    c.service_switch = text(config_service_switch);
    c.working_directory = text(config_working_directory);
    c.scrambled_main_class = text(config_scrambled_main_class);
    c.app_options = text(config_app_options);
    c.ini_file_name = text(config_ini_file_name);
    c.chdir_before_jvm = boolean(config_chdir_before_jvm);
    c.restore_launch_directory = boolean(config_restore_launch_directory);
    c.service_name = text(config_service_name);
    c.service_description = text(config_service_description);
    c.service_app_options = text(config_service_app_options);
    c.service_stop_options = text(config_service_stop_options);
    c.stop_with_system_exit = boolean(config_stop_with_system_exit);
    c.service_manual_start = boolean(config_service_manual_start);
    c.service_interactive = boolean(config_service_interactive);
    c.service_dependencies = text(config_service_dependencies);
    c.stdout_mode = integer(config_stdout_mode);
    c.stderr_mode = integer(config_stderr_mode);
    c.stdout_file = text(config_stdout_file);
    c.stderr_file = text(config_stderr_file);
    c.allow_multiple_instances = boolean(config_allow_multiple_instances);
    c.splash_text = text(config_splash_text);
    c.splash_until_app_window = boolean(config_splash_until_app_window);
    c.splash_timeout_seconds = integer(config_splash_timeout_seconds);
    c.service_only = boolean(config_service_only);
    c.static_options = text(config_static_options);
    c.service_args_on_command_line = boolean(config_service_args_on_command_line);
    c.forward_second_instance = boolean(config_forward_second_instance);
    c.second_instance_options = text(config_second_instance_options);
    c.missing_runtime_document = text(config_missing_runtime_document);
    c.missing_runtime_command = text(config_missing_runtime_command);
    c.report_missing_runtime = boolean(config_report_missing_runtime);
    c.stdout_append = boolean(config_stdout_append);
    c.stderr_append = boolean(config_stderr_append);
    char descrambled[main_class_max_length + 1];
    descramble_main_class(c.scrambled_main_class, descrambled);
    for (char* p = descrambled; *p != '\0'; ++p)
        if (*p == '.')
            *p = '/';
    c.main_class = copy_text(descrambled);
}

CreateJavaVmFunction jni_create_java_vm;

// The class-path option is made in Windows syntax ("dir\a.jar;b.jar"); the
// host's JVM reads "dir/a.jar:b.jar". Every other option passes as it is.
jint JNICALL create_with_host_paths(JavaVM** vm, void** env, void* arguments)
{
    static const char prefix[] = "-Djava.class.path=";
    JavaVMInitArgs* init_args = static_cast<JavaVMInitArgs*>(arguments);
    for (jint i = 0; i < init_args->nOptions; ++i) {
        char* option = init_args->options[i].optionString;
        if (strncmp(option, prefix, sizeof prefix - 1) != 0)
            continue;
        for (char* p = option + sizeof prefix - 1; *p != '\0'; ++p)
            *p = *p == ';' ? ':' : *p == '\\' ? '/' : *p;
    }
    return jni_create_java_vm(vm, env, arguments);
}

// create_jvm without its Windows-only steps (platform, console window,
// runtime search): the library is the first of jvm_path_list, or the build
// machine's.
bool create_host_run_jvm()
{
    LauncherConfig& c = launcher_config;
    if (!setup_console())
        return false;
    if (c.chdir_before_jvm && !apply_working_directory(true))
        return false;
    char* list = copy_text(c.jvm_path_list);
    char* cursor = nullptr;
    char* first = next_token(list, ";", &cursor);
    jvm_instance.library_path = copy_text(first != nullptr ? first : ORVANE_LIBJVM_PATH);
    free(list);
    c.jvm_path_list = jvm_instance.library_path;
    jvm_instance.module = load_library(jvm_instance.library_path);
    if (jvm_instance.module == nullptr) {
        report_error(message_text(message_load_jvm), jvm_instance.library_path);
        return false;
    }
    if (!resolve_jni_entry_points())
        return false;
    jni_create_java_vm = jvm_instance.create_java_vm;
    jvm_instance.create_java_vm = create_with_host_paths;
    return create_java_vm(true);
}

// ORVANE_HOST_RUN_CAPTURE=FILE: the capture's text at the end of the process
// goes to FILE, for the comparison with what java printed.
const char* capture_file = nullptr;

void write_capture()
{
    stop_capture_pipe();
    static char text[captured_output_size];
    size_t length = take_captured_output(text);
    FILE* file = fopen(capture_file, "wb");
    if (file == nullptr || fwrite(text, 1, length, file) != length)
        perror(capture_file);
    if (file != nullptr)
        fclose(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: orvane-host-run APP.toml [ARGUMENT...]\n");
        return 2;
    }
    std::map<unsigned, std::string> values = shipped_values();
    std::map<unsigned, std::string> file_values;
    std::string errors;
    if (!read_application_values(argv[1], &file_values, &errors)) {
        fputs(errors.c_str(), stderr);
        return 2;
    }
    for (const auto& [id, text] : file_values)
        values[id] = text;
    mark_reports_on_stderr("orvane-report: ");
    capture_file = getenv("ORVANE_HOST_RUN_CAPTURE");
    if (capture_file != nullptr) {
        host_capture_pipe = true;
        atexit(write_capture);
    }

    // The application file's directory is the executable's.
    if (!current_directory(launch_directory, sizeof launch_directory))
        return 2;
    std::string app_file = argv[1];
    size_t slash = app_file.rfind('/');
    if (slash != std::string::npos && chdir(app_file.substr(0, slash + 1).c_str()) != 0) {
        report_error_with_reason(message_text(message_file_access), app_file.c_str());
        return 0;
    }
    std::string base = app_file.substr(slash == std::string::npos ? 0 : slash + 1);
    app_name = copy_text(base.substr(0, base.rfind('.')).c_str());
    load_values(values);

    if (!create_host_run_jvm())
        return -1;
    MainInvocation invocation{};
    invocation.args.count = argc - 2;
    invocation.args.items = argv + 2;
    invocation.secondary = false;
    bool main_returned = run_main_class(invocation);
    if (main_returned)
        shutdown_jvm();
    close_instance_mutex();
    if (!main_returned)
        exit(-1);
    return 0;
}
