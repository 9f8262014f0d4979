#include "service/service_install.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/system_services.h"
#include "launcher/configuration.h"
#include "launcher/owned_handle.h"
#include "service/service_command.h"
#include "ui/reporting.h"

namespace {

constexpr char event_source_key_prefix[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr char service_key_prefix[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr DWORD types_supported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

using ServiceHandle = OwnedHandle<SC_HANDLE, CloseServiceHandle>;
using RegistryKey = OwnedHandle<HKEY, RegCloseKey>;

// A registry key path of at most path_size bytes; false, with last error
// 122, when the name makes it longer.
bool compose_key_path(char* buffer, const char* prefix, const char* name)
{
    int written = snprintf(buffer, path_size, "%s%s", prefix, name);
    if (written < 0 || static_cast<size_t>(written) >= path_size) {
        buffer[0] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    return true;
}

// Sets one value of a key opened for writing: -1 key not opened, 1 value not
// set, 0 success.
int write_registry_value(HKEY root, const char* subkey, const char* value_name, DWORD type, const BYTE* data,
                         DWORD size)
{
    RegistryKey key;
    LONG status = RegOpenKeyExA(root, subkey, 0, KEY_WRITE, key.receive());
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return -1;
    }
    status = RegSetValueExA(key.get(), value_name, 0, type, data, size);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return 1;
    }
    return 0;
}

} // namespace

int create_registry_key(void* root, const char* subkey)
{
    RegistryKey key;
    LONG status = RegCreateKeyExA(static_cast<HKEY>(root), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, key.receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return -1;
    }
    return 0;
}

int write_registry_expand_string(void* root, const char* subkey, const char* value_name, const char* text)
{
    return write_registry_value(static_cast<HKEY>(root), subkey, value_name, REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
}

int write_registry_dword(void* root, const char* subkey, const char* value_name, unsigned long value)
{
    DWORD data = static_cast<DWORD>(value);
    return write_registry_value(static_cast<HKEY>(root), subkey, value_name, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data);
}

int query_service_installed(const char* service_name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr)
        return -1;
    SC_HANDLE service = OpenServiceA(manager, service_name, SERVICE_QUERY_CONFIG);
    DWORD error = GetLastError();
    if (service != nullptr)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (service != nullptr)
        return 1;
    // Kept past the closing for the caller's report.
    SetLastError(error);
    return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : -1;
}

bool check_service_name(const char* service_name)
{
    if (service_name_is_valid(service_name))
        return true;
    SetLastError(ERROR_INVALID_NAME);
    report_error_with_reason("Invalid service name: \"%s\"", service_name != nullptr ? service_name : "");
    return false;
}

int install_service(const char* service_name, const char* description)
{
    const LauncherConfig& c = launcher_config;
    if (!check_service_name(service_name))
        return -1;
    if (description == nullptr)
        description = "";

    // Everything is composed and checked before anything is registered, so
    // that a refusal leaves nothing half-registered.
    char exe_path[path_size];
    char binary_path[path_size];
    char event_key[path_size];
    char service_key[path_size];
    if (!executable_path(exe_path, sizeof exe_path)) {
        report_system_error();
        return -1;
    }
    if (!compose_binary_path(binary_path, sizeof binary_path, exe_path, c.service_switch,
                             c.service_args_on_command_line, service_name, description, !c.service_manual_start)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        report_system_error();
        return -1;
    }
    if (!compose_key_path(event_key, event_source_key_prefix, service_name) ||
        !compose_key_path(service_key, service_key_prefix, service_name)) {
        report_system_error();
        return -1;
    }

    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (manager.get() == nullptr) {
        report_system_error();
        return -1;
    }
    char* dependencies = dependency_multi_string(c.service_dependencies);
    DWORD type = SERVICE_WIN32_OWN_PROCESS | (c.service_interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
    DWORD start = c.service_manual_start ? SERVICE_DEMAND_START : SERVICE_AUTO_START;
    ServiceHandle service(CreateServiceA(manager.get(), service_name, service_name, SERVICE_ALL_ACCESS, type, start,
                                         SERVICE_ERROR_NORMAL, binary_path, nullptr, nullptr, dependencies,
                                         nullptr, nullptr));
    DWORD error = GetLastError();
    free(dependencies);
    if (service.get() == nullptr) {
        SetLastError(error);
        report_system_error();
        return -1;
    }

    // A service that was created stays installed when a registry step fails.
    HKEY machine = HKEY_LOCAL_MACHINE;
    if (create_registry_key(machine, event_key) != 0 ||
        write_registry_expand_string(machine, event_key, "EventMessageFile", exe_path) != 0 ||
        write_registry_dword(machine, event_key, "TypesSupported", types_supported) != 0 ||
        (description[0] != '\0' &&
         write_registry_expand_string(machine, service_key, "Description", description) != 0)) {
        report_system_error();
        return -1;
    }
    return 0;
}

int uninstall_service(const char* service_name)
{
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.get() == nullptr) {
        report_system_error();
        return -1;
    }
    ServiceHandle service(OpenServiceA(manager.get(), service_name, DELETE));
    if (service.get() == nullptr || !DeleteService(service.get())) {
        report_system_error();
        return -1;
    }
    return 0;
}
