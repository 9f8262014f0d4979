// The launcher installed, run and stopped as a Windows service through
// Wine's real service control manager: what the registry, the service
// manager, the event log and the stand-in's record show afterwards.
#include "message_templates.h"
#include "scenario.h"
#include "wine_paths.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using Args = std::vector<std::string>;

constexpr char services_key[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr char event_sources_key[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

std::string system_text(DWORD code)
{
    char text[4000] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

std::string message(int id, const std::string& name)
{
    char text[512];
    snprintf(text, sizeof text, message_templates[id], name.c_str());
    return text;
}

// One registry value as text: strings as they are (a multi-string's first
// name), a DWORD in decimal. "absent" when it does not exist.
std::string registry_value(const std::string& key_path, const char* value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "absent";
    char data[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof data - 2;
    LONG status = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "absent";
    if (type == REG_DWORD)
        return std::to_string(*reinterpret_cast<DWORD*>(data));
    return std::string(type == REG_EXPAND_SZ ? "expand:" : "") + data;
}

// The service's and its event source's registry values as "Name=value".
// Windows keeps the image path as REG_EXPAND_SZ, Wine as REG_SZ: it is
// given without the type.
Args registry_values(const std::string& name)
{
    Args values;
    for (const char* value : {"ImagePath", "Start", "Type", "ErrorControl", "DependOnService", "Description"})
        values.push_back(std::string(value) + "=" + registry_value(services_key + name, value));
    if (values[0].compare(0, 17, "ImagePath=expand:") == 0)
        values[0].erase(10, 7);
    for (const char* value : {"EventMessageFile", "TypesSupported"})
        values.push_back(std::string(value) + "=" + registry_value(event_sources_key + name, value));
    return values;
}

// The reports Wine's event log wrote: information as "info: text", errors
// as "error: text". Wine keeps no log; it writes each report as a debug line
// on the standard error of the process that started the services, which the
// suite's warm-up sends to the file ORVANE_WINE_EVENTS names.
struct EventLog {
    std::string path;
    std::streamoff start = 0;

    EventLog()
    {
        char unix_path[MAX_PATH] = "";
        DWORD length = GetEnvironmentVariableA("ORVANE_WINE_EVENTS", unix_path, sizeof unix_path);
        if (length == 0 || length >= sizeof unix_path) {
            ADD_FAILURE() << "ORVANE_WINE_EVENTS names no file: start the services with "
                             "WINEDEBUG=-all,+eventlog and their standard error in a file (see tests/run_tests.sh)";
            return;
        }
        path = wine_path(unix_path);
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        EXPECT_TRUE(file.good()) << "cannot read the event file " << path;
        start = file.tellg();
    }

    // The reports written since this object was made, but those that name
    // another service (of a test running beside this one).
    Args reports(const std::string& service) const
    {
        Args found;
        std::ifstream file(path, std::ios::binary);
        file.seekg(start);
        std::string line;
        while (std::getline(file, line)) {
            size_t at = line.find("eventlog:ReportEventW L\"");
            if (at == std::string::npos)
                continue;
            bool error = line.find(":err:eventlog:") != std::string::npos;
            std::string quoted = line.substr(at + 24);
            while (!quoted.empty() && (quoted.back() == '\r' || quoted.back() == '"'))
                quoted.pop_back();
            // Wine writes the text as a C string literal.
            std::string text;
            for (size_t i = 0; i < quoted.size(); ++i) {
                if (quoted[i] == '\\' && i + 1 < quoted.size()) {
                    char next = quoted[++i];
                    text += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
                } else {
                    text += quoted[i];
                }
            }
            if (text.compare(0, 4, "The ") == 0 && text.find(" service ") != std::string::npos &&
                text.compare(4, service.size() + 9, service + " service ") != 0)
                continue;
            found.push_back((error ? "error: " : "info: ") + text);
        }
        return found;
    }
};

// What does with the service opened with the given access (null when it
// is not registered).
template <typename Action>
auto with_service(const std::string& name, DWORD access, Action does)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), access);
    auto result = does(service);
    if (service != nullptr)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

// A scenario launcher registered as a service. Whatever a test does, the
// destructor stops the service, ends its process and removes the service
// and its event source.
class ServiceScenario {
public:
    // directory: the scenario directory's name, when it is not the service's.
    ServiceScenario(const char* name, const std::string& main_class, const char* directory = nullptr)
        : name_(name), scenario_(directory != nullptr ? directory : name)
    {
        remove_service();
        scenario_.use_standin(main_class)
            .set(1017, name_)
            .set(1003, "-Dorvane.standin.record=" + scenario_.record_path());
    }
    ~ServiceScenario()
    {
        remove_service();
        if (process_ != nullptr) {
            if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
                TerminateProcess(process_, 99);
            CloseHandle(process_);
        }
    }

    Scenario& scenario() { return scenario_; }
    const std::string& name() const { return name_; }

    // Runs the launcher as a user would, with the given arguments.
    LaunchOutcome launch(const std::string& arguments) { return scenario_.run(arguments); }

    // Installs the service with -install; false, after a failure, unless
    // the one box says it was installed.
    bool install()
    {
        std::string box = only_box(launch("-install"));
        EXPECT_EQ(box, "Information: " + message(14, name_));
        return box == "Information: " + message(14, name_);
    }

    // Starts the service through the service manager and keeps its process.
    bool start()
    {
        bool started = with_service(name_, SERVICE_START, [](SC_HANDLE service) {
            return service != nullptr && StartServiceA(service, 0, nullptr);
        });
        EXPECT_TRUE(started) << "StartService failed with " << GetLastError();
        SERVICE_STATUS_PROCESS now = status();
        if (process_ == nullptr && now.dwProcessId != 0)
            process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                   now.dwProcessId);
        return started;
    }

    // Sends a control; the last error when the service manager refuses it,
    // else 0.
    DWORD control(DWORD code) const
    {
        return with_service(name_, SERVICE_ALL_ACCESS, [code](SC_HANDLE service) {
            SERVICE_STATUS ignored;
            return service != nullptr && ControlService(service, code, &ignored) ? 0 : GetLastError();
        });
    }

    // The status; state 0 when the service is not registered.
    SERVICE_STATUS_PROCESS status() const
    {
        return with_service(name_, SERVICE_QUERY_STATUS, [](SC_HANDLE service) {
            SERVICE_STATUS_PROCESS now{};
            DWORD size = 0;
            if (service == nullptr || !QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                                            reinterpret_cast<BYTE*>(&now), sizeof now, &size))
                now.dwCurrentState = 0;
            return now;
        });
    }

    // Polls until the state is reached; the status then, or the last one
    // seen after the time limit.
    SERVICE_STATUS_PROCESS wait_for_state(DWORD state, DWORD limit_ms = 20000) const
    {
        SERVICE_STATUS_PROCESS now = status();
        for (DWORD waited = 0; now.dwCurrentState != state && waited < limit_ms; waited += 50) {
            Sleep(50);
            now = status();
        }
        EXPECT_EQ(now.dwCurrentState, state) << "service " << name_ << " did not reach state " << state;
        return now;
    }

    // Waits until the stand-in's record holds the line.
    bool wait_for_record(const std::string& line, DWORD limit_ms = 20000) const
    {
        for (DWORD waited = 0; waited < limit_ms; waited += 50) {
            if (scenario_.record().has(line))
                return true;
            Sleep(50);
        }
        std::string seen;
        for (const std::string& recorded : scenario_.record().lines)
            seen += "\n  " + recorded;
        ADD_FAILURE() << "the record never showed \"" << line << "\"; it holds:" << seen;
        return false;
    }

    // The exit code of the service's process once it has ended.
    DWORD process_exit_code() const
    {
        DWORD code = 0xDEAD;
        EXPECT_NE(process_, nullptr) << "the service's process was never seen";
        if (process_ == nullptr)
            return code;
        EXPECT_EQ(WaitForSingleObject(process_, 10000), WAIT_OBJECT_0) << "the service's process did not end";
        GetExitCodeProcess(process_, &code);
        return code;
    }

    void remove_service() const
    {
        SERVICE_STATUS_PROCESS now = status();
        if (now.dwCurrentState != SERVICE_STOPPED && now.dwCurrentState != 0) {
            control(SERVICE_CONTROL_STOP);
            for (int i = 0; i < 100 && status().dwCurrentState != SERVICE_STOPPED; ++i)
                Sleep(50);
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, now.dwProcessId);
            if (process != nullptr) {
                TerminateProcess(process, 99);
                CloseHandle(process);
            }
        }
        with_service(name_, DELETE, [](SC_HANDLE service) { return service != nullptr && DeleteService(service); });
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (event_sources_key + name_).c_str());
    }

private:
    std::string name_;
    Scenario scenario_;
    HANDLE process_ = nullptr;
};

void expect_stopped_with(const SERVICE_STATUS_PROCESS& now, DWORD win32_code, DWORD specific_code)
{
    EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(now.dwWin32ExitCode, win32_code);
    EXPECT_EQ(now.dwServiceSpecificExitCode, specific_code);
}

} // namespace

struct InstallCase {
    const char* label;
    std::map<unsigned, std::string> values;
    std::string arguments;     // after -install
    std::string image_path;    // %s: the executable path
    const char* start;         // 2 automatic, 3 on demand
    const char* type;          // 16, or 272 with the interactive flag
    const char* dependencies;
    const char* description;
};

TEST(Service, InstallRegistersTheServiceItsEventSourceAndDescriptionAndUninstallRemovesIt)
{
    const InstallCase cases[] = {
        {"shipped form, automatic start",
         {{1018, "Orvane test service"}, {1022, "0"}},
         "",
         "\"%s\" -startlauncherinservicemode",
         "2", "16", "absent", "expand:Orvane test service"},
        {"service parameters on the command line",
         {{1036, "1"}, {1023, "1"}, {1024, "RpcSs"}, {1018, "configured"}},
         " OrvaneSvcInstall \"My service\" 0",
         "\"%s\" -startlauncherinservicemode \"OrvaneSvcInstall\" \"My service\" 0",
         "3", "272", "RpcSs", "expand:My service"},
        {"empty description",
         {{1036, "1"}},
         " OrvaneSvcInstall \"\" 1",
         "\"%s\" -startlauncherinservicemode \"OrvaneSvcInstall\" \"\" 1",
         "2", "16", "absent", "absent"},
    };
    for (const InstallCase& c : cases) {
        SCOPED_TRACE(c.label);
        // A directory with a blank: the binary path must be quoted.
        ServiceScenario service("OrvaneSvcInstall", "orvane.standin.Print", "Orvane Svc Install");
        ASSERT_NE(service.scenario().exe().find(' '), std::string::npos);
        for (const auto& value : c.values)
            service.scenario().set(value.first, value.second);
        LaunchOutcome outcome = service.launch("-install" + c.arguments);
        EXPECT_EQ(only_box(outcome), "Information: " + message(14, service.name()));
        EXPECT_EQ(outcome.exit_code, 0u);

        char image[1024];
        snprintf(image, sizeof image, c.image_path.c_str(), service.scenario().exe().c_str());
        // Wine keeps only the first name of a multi-string that CreateServiceA
        // is given (QueryServiceConfigA returns none), so one name is
        // checked here; the list's conversion is checked on the host.
        EXPECT_EQ(registry_values(service.name()),
                  (Args{std::string("ImagePath=") + image, std::string("Start=") + c.start,
                        std::string("Type=") + c.type, "ErrorControl=1",
                        std::string("DependOnService=") + c.dependencies, std::string("Description=") + c.description,
                        "EventMessageFile=expand:" + service.scenario().exe(), "TypesSupported=7"}));
        SERVICE_STATUS_PROCESS now = service.status();
        EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the service manager does not know it";

        outcome = service.launch("-install" + c.arguments);
        EXPECT_EQ(only_box(outcome), "Error: " + message(16, service.name()));

        std::string uninstall = c.arguments.empty() ? "-uninstall" : "-uninstall " + service.name();
        outcome = service.launch(uninstall);
        EXPECT_EQ(only_box(outcome), "Information: " + message(15, service.name()));
        EXPECT_EQ(service.status().dwCurrentState, 0u) << "still known to the service manager";

        outcome = service.launch(uninstall);
        EXPECT_EQ(only_box(outcome), "Error: " + system_text(ERROR_SERVICE_DOES_NOT_EXIST));
        EXPECT_EQ(outcome.exit_code, 0u);
    }
}

TEST(Service, InstallRefusesNamesAndPathsThatWouldBeMisreadOrCut)
{
    struct Refusal {
        std::string name;
        std::string description;
        std::string expected;
        bool on_command_line = true; // else value 1017 names it
    };
    const std::string reason = "\n\nReason: " + system_text(ERROR_INVALID_NAME);
    const Refusal cases[] = {
        // Which names are invalid is proven on the host.
        {"Orvane\\Svc", "d", "Invalid service name: \"Orvane\\Svc\"" + reason},
        // The event source's key path would pass 260 bytes.
        {std::string(220, 'N'), "d", system_text(ERROR_INSUFFICIENT_BUFFER), false},
        // The extended binary path would pass 260 bytes.
        {"OrvaneSvcLong", std::string(240, 'd'), system_text(ERROR_FILENAME_EXCED_RANGE)},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name.size() > 20 ? c.name.substr(0, 20) + "..." : c.name);
        ServiceScenario service("OrvaneSvcRefused", "orvane.standin.Print");
        LaunchOutcome outcome;
        if (c.on_command_line) {
            service.scenario().set(1036, "1");
            outcome = service.launch("-install \"" + c.name + "\" \"" + c.description + "\" 0");
        } else {
            service.scenario().set(1017, c.name).set(1018, c.description);
            outcome = service.launch("-install");
        }
        EXPECT_EQ(only_box(outcome), "Error: " + c.expected);
        bool left = with_service(c.name, DELETE,
                                 [](SC_HANDLE service) { return service != nullptr && DeleteService(service); });
        EXPECT_FALSE(left) << "a refused service was registered";
        EXPECT_EQ(registry_value(event_sources_key + c.name, "EventMessageFile"), "absent");
    }
}

// A running service stops on the service manager's request, through the
// second main (value 1020) or the stopper thread (value 1021).
TEST(Service, RunsMainInItsWorkingDirectoryAndStopsOnRequest)
{
    const struct {
        const char* name;
        std::map<unsigned, std::string> values;
        std::string install_arguments;  // name, description and start type, else from the table
        std::vector<Args> main_args;
        Args recorded;
    } rows[] = {
        {"OrvaneSvcRun", {{1018, "Run and stop"}, {1019, "run \"two words\""}, {1020, "stop"}, {1022, "1"}}, "",
         {{"run", "two words"}, {"stop"}}, {"wait ended", "destroy"}},
        // As the service manager passes them back to the service.
        {"OrvaneSvcStopper", {{1021, "1"}, {1036, "1"}, {1017, "OrvaneSvcNotThisName"}},
         " OrvaneSvcStopper \"Run and stop\" 0", {{}}, {"attach Orvane stopper thread", "exit 0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EventLog events;
        ServiceScenario service(row.name, "orvane.standin.Wait");
        CreateDirectoryA((service.scenario().directory() + "\\work").c_str(), nullptr);
        service.scenario().set(1011, "work");
        for (const auto& value : row.values)
            service.scenario().set(value.first, value.second);
        LaunchOutcome outcome = service.launch("-install" + row.install_arguments);
        ASSERT_EQ(only_box(outcome), "Information: " + message(14, service.name()));
        ASSERT_TRUE(service.start());
        ASSERT_TRUE(service.wait_for_record("main orvane.standin.Wait " + std::to_string(row.main_args[0].size())));
        SERVICE_STATUS_PROCESS now = service.wait_for_state(SERVICE_RUNNING);
        EXPECT_EQ(now.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
        EXPECT_EQ(now.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(service.control(SERVICE_CONTROL_INTERROGATE), 0u);
        EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), 0u);
        expect_stopped_with(service.wait_for_state(SERVICE_STOPPED), 0, 0);
        EXPECT_EQ(service.process_exit_code(), 0u);

        StandinRecord record = service.scenario().record();
        std::vector<Args> main_args;
        for (const MainCall& call : record.main_calls)
            main_args.push_back(call.args);
        EXPECT_EQ(main_args, row.main_args);
        for (const std::string& line : row.recorded)
            EXPECT_TRUE(record.has(line)) << line;
        EXPECT_EQ(record.properties["user.dir"], service.scenario().directory() + "\\work");
        EXPECT_EQ(record.properties["orvane.service.name"], service.name());
        EXPECT_EQ(record.properties["orvane.service.description"], "Run and stop");
        EXPECT_EQ(record.properties["orvane.service.starttype"], "0");
        EXPECT_EQ(events.reports(service.name()),
                  (Args{"info: " + message(17, service.name()), "info: " + message(18, service.name())}));
    }
}

// Every way a run can end without a stop request reaches the service
// manager truthfully, and the process ends with the application's status.
TEST(Service, EveryEndOfTheRunIsReportedTruthfully)
{
    const struct {
        const char* label;
        const char* main_class;
        std::map<unsigned, std::string> values;
        DWORD win32_code, specific_code, process_code;
        std::string error;  // reported between the start and the end; "": none
    } cases[] = {
        {"main returns", "orvane.standin.Print", {}, 0, 0, 0, ""},
        // The application's own System.exit must not leave the service running.
        {"System.exit(0)", "orvane.standin.Script", {{1019, "exit=0"}}, 0, 0, 0, ""},
        {"System.exit(3)", "orvane.standin.Script", {{1019, "exit=3"}}, 1066, 1013, 3, ""},
        {"abort", "orvane.standin.Script", {{1019, "abort"}}, 1066, 1013, 3,
         "JVM has aborted due to an internal error."},
        {"no main class", "orvane.standin.Missing", {}, 1066, 1013, 0xFFFFFFFF,
         "Error locating class: orvane/standin/Missing"},
        {"no JVM", "orvane.standin.Print", {{1003, "-Dorvane.standin.create.delay=1000 -unknown"}}, 1066, 1013, 0,
         "Unable to create JVM instance using " + standin_jvm_path() +
             "\n\nDetails:\nUnrecognized option: -unknown\r\n"},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EventLog events;
        std::string name = "OrvaneSvcEnd" + std::to_string(++row);
        ServiceScenario service(name.c_str(), c.main_class);
        // A slow creation, so that the service's process is seen before it ends.
        service.scenario().set(1003, "-Dorvane.standin.record=" + service.scenario().record_path() +
                                         " -Dorvane.standin.create.delay=1000");
        for (const auto& value : c.values)
            service.scenario().set(value.first, value.second);
        ASSERT_TRUE(service.install());
        ASSERT_TRUE(service.start());
        ASSERT_NE(service.status().dwProcessId, 0u);
        expect_stopped_with(service.wait_for_state(SERVICE_STOPPED), c.win32_code, c.specific_code);
        EXPECT_EQ(service.process_exit_code(), c.process_code);
        Args expected = {"info: " + message(17, service.name())};
        if (!c.error.empty())
            expected.push_back("error: " + c.error);
        expected.push_back(c.win32_code == 0 ? "info: " + message(18, service.name())
                                             : "error: " + message(19, service.name()));
        EXPECT_EQ(events.reports(service.name()), expected);
    }
}

// Stop and shutdown are accepted only while a stop thread can attach to the
// JVM: not while it is created, not while it is torn down.
TEST(Service, AcceptsNoStopWhileTheJvmIsCreatedOrTornDown)
{
    ServiceScenario service("OrvaneSvcNotReady", "orvane.standin.Tarry");
    service.scenario()
        .set(1003, "-Dorvane.standin.record=" + service.scenario().record_path() + " -Dorvane.standin.create.delay=2000")
        .set(1019, "2000");
    ASSERT_TRUE(service.install());
    ASSERT_TRUE(service.start());
    SERVICE_STATUS_PROCESS now = service.wait_for_state(SERVICE_RUNNING);
    EXPECT_EQ(now.dwControlsAccepted, 0u);
    EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    ASSERT_TRUE(service.wait_for_record("main orvane.standin.Tarry 1"));
    Sleep(200);
    // main has returned; the JVM waits for the application's thread.
    now = service.status();
    EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(now.dwControlsAccepted, 0u);
    EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    expect_stopped_with(service.wait_for_state(SERVICE_STOPPED), 0, 0);
    EXPECT_TRUE(service.scenario().record().has("linger done"));
}

// Slow on purpose: the stop time-out is 30 seconds.
TEST(Service, StopThatTheApplicationIgnoresTimesOutAfterThirtySeconds)
{
    EventLog events;
    ServiceScenario service("OrvaneSvcIgnored", "orvane.standin.Wait");
    service.scenario().set(1020, "ignored");
    ASSERT_TRUE(service.install());
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(service.wait_for_record("main orvane.standin.Wait 0"));
    service.wait_for_state(SERVICE_RUNNING);
    DWORD asked = GetTickCount();
    EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), 0u);
    SERVICE_STATUS_PROCESS now = service.status();
    EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(now.dwWaitHint, 40000u);
    now = service.wait_for_state(SERVICE_STOPPED, 45000);
    DWORD waited = GetTickCount() - asked;
    EXPECT_GE(waited, 29000u);
    EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    Args reports = events.reports(service.name());
    EXPECT_NE(std::find(reports.begin(), reports.end(), "error: " + message(20, service.name())), reports.end())
        << "no time-out event";
}
