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
#include "service/service_install.h"
#include "service/service_entry.h"
#include "ui/reporting.h"
#include "ui/splash.h"

namespace {

constexpr char cleanup_switch[] = "-ovremovetemporaryjarfiles";
constexpr size_t forward_line_size = 4096;

// The launcher's command line; slot 0 is reserved and empty.
ArgVector command_args;

void allow_foreground_switch()
{
    HMODULE user32 = LoadLibraryA("USER32.DLL");
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

void run_service_flow()
{
    LauncherConfig& c = launcher_config;
    if (c.service_args_on_command_line)
        take_service_arguments();
    SERVICE_TABLE_ENTRYA table[2] = {{c.service_name, service_main}, {nullptr, nullptr}};
    service_mode = true;
    if (!StartServiceCtrlDispatcherA(table))
        report_error_with_reason("Internal error RC000003");
}

// Runs main once in a JVM of this process with value 1038 and the arguments
// of this start. Returns 0, or -1 when no JVM could be created.
int run_second_instance_flow()
{
    if (!create_jvm())
        return -1;
    // The arguments are joined as tokenized (unquoted, not quoted again) and
    // split anew. A line that would not fit is refused, never cut short.
    char line[forward_line_size];
    size_t length = 0;
    bool fits = copy_bounded(line, sizeof line, launcher_config.second_instance_options);
    length = strlen(line);
    for (int32_t i = 1; fits && i < command_args.count; ++i) {
        size_t argument_length = strlen(command_args.items[i]);
        if (length + 1 + argument_length + 1 > sizeof line) {
            fits = false;
            break;
        }
        line[length++] = ' ';
        memcpy(line + length, command_args.items[i], argument_length + 1);
        length += argument_length;
    }
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
    const char* name = launcher_config.main_class;
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
    if (existing == nullptr) {
        instance_mutex = CreateMutexA(nullptr, TRUE, name);
        return true;
    }
    CloseHandle(existing);
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

    if (!equals(run_switch, c.install_switch) && !equals(run_switch, c.uninstall_switch))
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
        if (equals(run_switch, c.service_switch)) {
            run_service_flow();
            return 0;
        }
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
            while (splash_window == nullptr)
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
