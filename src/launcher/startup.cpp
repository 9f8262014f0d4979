// WinMain: prepares the process, loads the configuration and chooses the run
// mode (cleanup, install, uninstall, service, second instance, normal start).
#include "launcher/startup.h"
#include "launcher/start_values.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/main_invocation.h"
#include "app/shutdown.h"
#include "app/system_services.h"
#include "jvm/jvm_creation.h"
#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/text_buffers.h"
#include "launcher/tokenizer.h"
#include "launcher/trace.h"
#include "service/service_install.h"
#include "service/service_entry.h"
#include "service/service_runtime.h"
#include "ui/reporting.h"
#include "ui/splash.h"

namespace {

constexpr char cleanup_switch[] = "-ovremovetemporaryjarfiles";
constexpr size_t forward_line_size = 4096;

// The launcher's command line; slot 0 is reserved and empty.
ArgVector command_args;

void allow_foreground_switch()
{
    HMODULE user32 = static_cast<HMODULE>(load_system_library("user32.dll"));
    if (user32 == nullptr)
        return;
    using AllowFunction = BOOL(WINAPI*)(DWORD);
    auto allow = reinterpret_cast<AllowFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "AllowSetForegroundWindow")));
    if (allow != nullptr)
        allow(GetCurrentProcessId());
}

// Command-line overrides of service name, description and start type.
void take_service_arguments()
{
    LauncherConfig& c = launcher_config;
    if (command_args.count > 2)
        c.service_name = copy_text(command_args.items[2]);
    if (command_args.count > 3)
        c.service_description = copy_text(command_args.items[3]);
    if (command_args.count > 4)
        c.service_manual_start = atoi(command_args.items[4]) == 0;
}

void run_install_flow()
{
    LauncherConfig& c = launcher_config;
    if (c.service_args_on_command_line)
        take_service_arguments();
    if (!check_service_name(c.service_name))
        return;
    int installed = query_service_installed(c.service_name);
    if (installed == -1)
        report_system_error();
    else if (installed == 1)
        report_error(message_text(message_service_exists), c.service_name);
    else if (install_service(c.service_name, c.service_description) == 0)
        report_notice(message_text(message_service_installed), c.service_name);
}

void run_uninstall_flow()
{
    LauncherConfig& c = launcher_config;
    if (c.service_args_on_command_line && command_args.count > 2)
        c.service_name = copy_text(command_args.items[2]);
    if (uninstall_service(c.service_name) == 0)
        report_notice(message_text(message_service_uninstalled), c.service_name);
}

// Returns the process's exit code once the service has stopped.
int run_service_flow()
{
    LauncherConfig& c = launcher_config;
    if (c.service_args_on_command_line)
        take_service_arguments();
    SERVICE_TABLE_ENTRYA table[2] = {{c.service_name, service_main}, {nullptr, nullptr}};
    service_mode = true;
    if (!StartServiceCtrlDispatcherA(table)) {
        report_error_with_reason("Internal error RC000003");
        return 0;
    }
    return service_process_exit_code();
}

// True when the command line starts the service (not in the cleanup mode).
// Decided before anything can be reported, so that in service mode no report
// opens a box that nobody sees (the service would never reach its
// dispatcher).
bool is_service_start(const char* command_line)
{
    ArgVector args{};
    tokenize_command_line(command_line, &args, true);
    bool starting = false;
    if (args.count > 1 && !(args.count == 3 && strcmp(args.items[1], cleanup_switch) == 0)) {
        char* service_switch = load_config_string(config_service_switch);
        char* service_name = load_config_string(config_service_name);
        starting = service_name[0] != '\0' && strcmp(args.items[1], service_switch) == 0;
        free(service_switch);
        free(service_name);
    }
    free_arg_vector(&args);
    return starting;
}

// Runs main once in a JVM of this process with value 1038 and the arguments
// of this start. Returns 0, or -1 when no JVM could be created.
int run_second_instance_flow()
{
    // main runs here on an attached thread, which never moves to the working
    // directory: the JVM keeps the directory it is created in.
    if (!create_jvm(false))
        return -1;
    // The line is split anew, so each argument is quoted again: a document
    // path with blanks must reach main whole. A line that would not fit is
    // refused, never cut short.
    char line[forward_line_size];
    bool fits = copy_bounded(line, sizeof line, launcher_config.second_instance_options);
    for (int32_t i = 1; fits && i < command_args.count; ++i)
        fits = append_quoted_argument(line, sizeof line, command_args.items[i]);
    if (!fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        report_error_with_reason("Internal error RC0000110");
        return 0;
    }
    MainInvocation invocation{};
    tokenize_command_line(line, &invocation.args, false);
    invocation.secondary = true;
    if (run_main_class(invocation))
        shutdown_jvm();
    return 0;
}

// The single-instance check. Returns true to go on with a normal start;
// false with *exit_code set when this start ends here.
bool claim_single_instance(int* exit_code)
{
    // Only the creation itself decides: between a failed open and a creation
    // a second start (Explorer opening several files at once) could create
    // the mutex as well, and both would run. A mutex this user may not open
    // belongs to an instance running elevated.
    const char* name = launcher_config.main_class;
    HANDLE created = CreateMutexA(nullptr, TRUE, name);
    DWORD error = GetLastError();
    if (created != nullptr && error != ERROR_ALREADY_EXISTS) {
        instance_mutex = created;
        return true;
    }
    if (created != nullptr)
        CloseHandle(created);
    else if (error != ERROR_ACCESS_DENIED)
        return true;  // another failure (the name taken by another kind of object): no instance
    if (!launcher_config.forward_second_instance) {
        report_error(message_text(message_already_running));
        *exit_code = 0;
    } else {
        *exit_code = run_second_instance_flow();
    }
    return false;
}

bool equals(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && strcmp(a, b) == 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int)
{
    launcher_instance = instance;
    LauncherConfig& c = launcher_config;
    // A launcher is often started from a downloads or shared folder: no DLL
    // loaded by name may come from the current directory.
    set_dll_search_directory(nullptr);
    service_mode = is_service_start(command_line);
    trace_open();

    // These three are needed before the configuration is loaded.
    char* stored_main_class = load_config_string(config_scrambled_main_class);
    c.message_table[message_file_access] = load_message_string(message_file_access);
    char* mode_text = load_config_string(config_extract_dir_mode);
    int mode = config_integer(mode_text);
    c.extract_dir_mode = mode;
    free(mode_text);
    compose_extract_dir(mode, stored_main_class);

    // The common controls are loaded only when a window first needs them.
    allow_foreground_switch();

    tokenize_command_line(command_line, &command_args, true);
    if (command_args.count == 3 && strcmp(command_args.items[1], cleanup_switch) == 0) {
        remove_extracted_jars(command_args.items[2]);
        return 0;
    }
    if (command_args.count > 1)
        run_switch = command_args.items[1];

    if (!enter_executable_directory())
        return 0;
    app_name = derive_app_name();
    load_configuration();
    apply_ini_overrides();
    trace_configuration();
    trace_phase_end("configuration");

    // A service extracts its jars in its worker, once reports reach the
    // event log.
    if (!equals(run_switch, c.install_switch) && !equals(run_switch, c.uninstall_switch) && !service_mode)
        extract_embedded_jars();

    if (c.service_name[0] != '\0') {
        if (equals(run_switch, c.install_switch)) {
            run_install_flow();
            return 0;
        }
        if (equals(run_switch, c.uninstall_switch)) {
            run_uninstall_flow();
            return 0;
        }
        if (equals(run_switch, c.service_switch))
            return run_service_flow();
        if (c.service_only) {
            report_notice(message_text(message_service_only));
            return 0;
        }
    }

    if (!c.allow_multiple_instances) {
        int exit_code = 0;
        if (!claim_single_instance(&exit_code))
            return exit_code;
    }

    if (c.splash_until_app_window || c.splash_timeout_seconds != 0) {
        if (start_splash())
            while (splash_pending())
                Sleep(100);
    }

    if (!create_jvm())
        return -1;
    MainInvocation invocation{};
    invocation.args.count = command_args.count - 1;
    invocation.args.items = command_args.items + 1;
    invocation.secondary = false;
    bool main_returned = run_main_class(invocation);
    if (main_returned)
        shutdown_jvm();
    close_instance_mutex();
    // Through the same end as the JVM's exit hook, which may be ending the
    // process on another thread right now.
    end_launcher_process(main_returned ? 0 : -1);
}
