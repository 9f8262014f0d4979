// The launcher installed, run and stopped as a Windows service through
// Wine's real service control manager: what the registry, the service
// manager, the event log and the stand-in's record show afterwards.
#include "message_templates.h"
#include "scenario.h"
#include "wine_paths.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
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
    char data[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof data - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key_path.c_str(), value, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
        ERROR_SUCCESS)
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
    for (const char* value : {"ImagePath", "Start", "Type", "ErrorControl", "DependOnService", "Description",
                              "EventMessageFile", "TypesSupported"})
        values.push_back(std::string(value) + "=" +
                         registry_value((values.size() < 6 ? services_key : event_sources_key) + name, value));
    if (values[0].compare(0, 17, "ImagePath=expand:") == 0)
        values[0].erase(10, 7);
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
        const char* unix_path = getenv("ORVANE_WINE_EVENTS");
        if (unix_path == nullptr) {
            ADD_FAILURE() << "ORVANE_WINE_EVENTS names no file: start the services with "
                             "WINEDEBUG=-all,+eventlog and their standard error in a file (see tests/run_tests.sh)";
            return;
        }
        path = wine_path(unix_path);
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        EXPECT_TRUE(file.good()) << "cannot read the event file " << path;
        start = file.tellg();
    }

    // The reports written since this object was made; the service tests
    // run one at a time, so all are of this test's service.
    Args reports() const
    {
        Args found;
        std::ifstream file(path, std::ios::binary);
        file.seekg(start);
        for (std::string line; std::getline(file, line);) {
            size_t at = line.find("eventlog:ReportEventW L\"");
            if (at == std::string::npos)
                continue;
            // Wine writes the text as a C string literal.
            std::string text;
            for (size_t i = at + 24; i < line.size() && line[i] != '"'; ++i) {
                char next = line[i] == '\\' && i + 1 < line.size() ? line[++i] : '\0';
                text += next == 'n' ? '\n' : next == 'r' ? '\r' : next != '\0' ? next : line[i];
            }
            found.push_back((line.find(":err:eventlog:") != std::string::npos ? "error: " : "info: ") + text);
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

// Polls about every 50 ms until done() holds; false after the time limit.
bool wait_until(const std::function<bool()>& done, DWORD limit_ms = 20000)
{
    for (DWORD waited = 0; !done(); waited += 50) {
        if (waited >= limit_ms)
            return false;
        Sleep(50);
    }
    return true;
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
            .set(1003, "\"-Dorvane.standin.record=" + scenario_.record_path() + "\"");
    }
    ~ServiceScenario()
    {
        remove_service();
        if (process_ != nullptr) {
            TerminateProcess(process_, 99);
            CloseHandle(process_);
        }
    }

    Scenario& scenario() { return scenario_; }
    const std::string& name() const { return name_; }

    // Installs the service with -install and the arguments, then starts it
    // through the service manager and keeps its process; false after a
    // failure.
    bool install_and_start(const std::string& arguments = "")
    {
        LaunchOutcome outcome = scenario_.run("-install" + arguments);
        std::string box = only_box(outcome);
        EXPECT_EQ(box, "Information: " + message(14, name_));
        EXPECT_EQ(outcome.exit_code, 0u);
        if (box != "Information: " + message(14, name_))
            return false;
        bool started = with_service(name_, SERVICE_START, [](SC_HANDLE service) {
            return service != nullptr && StartServiceA(service, 0, nullptr);
        });
        EXPECT_TRUE(started) << "StartService failed with " << GetLastError();
        DWORD process_id = status().dwProcessId;
        if (process_id != 0)
            process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process_id);
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
        SERVICE_STATUS_PROCESS now{};
        EXPECT_TRUE(wait_until([&] { return (now = status()).dwCurrentState == state; }, limit_ms))
            << "service " << name_ << " did not reach state " << state;
        return now;
    }

    // Waits until the stand-in's record holds the line.
    bool wait_for_record(const std::string& line) const
    {
        bool seen = wait_until([&] { return scenario_.record().has(line); });
        EXPECT_TRUE(seen) << "the record never showed \"" << line << "\"";
        return seen;
    }

    // The exit code of the service's process once it has ended.
    DWORD process_exit_code() const
    {
        DWORD code = 0xDEAD;
        EXPECT_NE(process_, nullptr) << "the service's process was never seen";
        EXPECT_EQ(WaitForSingleObject(process_, 10000), WAIT_OBJECT_0) << "the service's process did not end";
        GetExitCodeProcess(process_, &code);
        return code;
    }

    void remove_service() const
    {
        if (control(SERVICE_CONTROL_STOP) == 0)
            wait_until([&] { return status().dwCurrentState == SERVICE_STOPPED; }, 5000);
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

// Installed from the table or from the command line (value 1036), from a
// directory with a blank, so that the binary path must be quoted: what the
// registry holds, main run in its working directory, the stop through the
// second main (value 1020) or the stopper thread (value 1021), then the
// uninstallation.
TEST(Service, InstallsRunsMainStopsOnRequestAndUninstalls)
{
    const struct {
        const char* name;
        std::map<unsigned, std::string> values;
        std::string install_arguments;  // name, description and start type, else from the table
        std::string image_arguments;    // after the service switch in the binary path
        const char* start;              // 2 automatic, 3 on demand
        const char* type;               // 16, or 272 with the interactive flag
        const char* dependencies;
        const char* description;        // "": none
        std::vector<Args> main_args;
        Args recorded;
        bool ignores_stop;              // the stop times out after 30 seconds
    } rows[] = {
        {"OrvaneSvcRun", {{1018, "Run and stop"}, {1019, "run \"two words\""}, {1020, "stop"}, {1022, "0"}}, "", "",
         "2", "16", "absent", "Run and stop", {{"run", "two words"}, {"stop"}}, {"wait ended", "destroy"}, false},
        // As the service manager passes them back to the service.
        {"OrvaneSvcStopper",
         {{1021, "1"}, {1036, "1"}, {1017, "OrvaneSvcNotThisName"}, {1023, "1"}, {1024, "RpcSs"}, {1018, "other"}},
         " OrvaneSvcStopper \"Run and stop\" 0", " \"OrvaneSvcStopper\" \"Run and stop\" 0", "3", "272", "RpcSs",
         "Run and stop", {{}}, {"attach Orvane stopper thread", "exit 0"}, false},
        {"OrvaneSvcBare", {{1021, "1"}, {1036, "1"}}, " OrvaneSvcBare \"\" 1", " \"OrvaneSvcBare\" \"\" 1", "2", "16",
         "absent", "", {{}}, {"exit 0"}, false},
        // Slow on purpose: the second main ignores the stop.
        {"OrvaneSvcIgnored", {{1018, "Run and stop"}, {1020, "ignored"}, {1022, "1"}}, "", "", "3", "16", "absent",
         "Run and stop", {{}, {"ignored"}}, {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EventLog events;
        ServiceScenario service(row.name, "orvane.standin.Wait", "Orvane Svc");
        const std::string& exe = service.scenario().exe();
        CreateDirectoryA((service.scenario().directory() + "\\work").c_str(), nullptr);
        service.scenario().set(1011, "work");
        for (const auto& value : row.values)
            service.scenario().set(value.first, value.second);
        ASSERT_TRUE(service.install_and_start(row.install_arguments));
        // Wine keeps only the first name of a multi-string that CreateServiceA
        // is given (QueryServiceConfigA returns none), so one name is
        // checked here; the list's conversion is checked on the host.
        EXPECT_EQ(registry_values(service.name()),
                  (Args{"ImagePath=\"" + exe + "\" -startlauncherinservicemode" + row.image_arguments,
                        std::string("Start=") + row.start, std::string("Type=") + row.type, "ErrorControl=1",
                        std::string("DependOnService=") + row.dependencies,
                        *row.description ? std::string("Description=expand:") + row.description : "Description=absent",
                        "EventMessageFile=expand:" + exe, "TypesSupported=7"}));
        ASSERT_TRUE(service.wait_for_record("main orvane.standin.Wait " + std::to_string(row.main_args[0].size())));
        SERVICE_STATUS_PROCESS now = service.wait_for_state(SERVICE_RUNNING);
        EXPECT_EQ(now.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
        EXPECT_EQ(std::to_string(now.dwServiceType), row.type);
        EXPECT_EQ(service.control(SERVICE_CONTROL_INTERROGATE), 0u);
        DWORD asked = GetTickCount();
        EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), 0u);
        if (row.ignores_stop) {
            now = service.status();
            EXPECT_EQ(now.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
            EXPECT_EQ(now.dwWaitHint, 40000u);
        }
        expect_stopped_with(service.wait_for_state(SERVICE_STOPPED, 45000), 0, 0);
        EXPECT_GE(GetTickCount() - asked, row.ignores_stop ? 29000u : 0u);
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
        EXPECT_EQ(record.properties["orvane.service.description"], row.description);
        EXPECT_EQ(record.properties["orvane.service.starttype"], *row.start == '2' ? "1" : "0");
        Args reports = {"info: " + message(17, service.name()), "info: " + message(18, service.name())};
        if (row.ignores_stop)
            reports.insert(reports.begin() + 1, "error: " + message(20, service.name()));
        EXPECT_EQ(events.reports(), reports);

        EXPECT_EQ(only_box(service.scenario().run("-install" + row.install_arguments)),
                  "Error: " + message(16, service.name()));
        std::string uninstall = row.install_arguments.empty() ? "-uninstall" : "-uninstall " + service.name();
        EXPECT_EQ(only_box(service.scenario().run(uninstall)), "Information: " + message(15, service.name()));
        EXPECT_EQ(service.status().dwCurrentState, 0u) << "still known to the service manager";
        LaunchOutcome outcome = service.scenario().run(uninstall);
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
            outcome = service.scenario().run("-install \"" + c.name + "\" \"" + c.description + "\" 0");
        } else {
            service.scenario().set(1017, c.name).set(1018, c.description);
            outcome = service.scenario().run("-install");
        }
        EXPECT_EQ(only_box(outcome), "Error: " + c.expected);
        EXPECT_FALSE(with_service(c.name, DELETE,
                                  [](SC_HANDLE service) { return service != nullptr && DeleteService(service); }))
            << "a refused service was registered";
        EXPECT_EQ(registry_value(event_sources_key + c.name, "EventMessageFile"), "absent");
    }
}

// Every way a run can end without a stop request reaches the service
// manager truthfully, and the process ends with the application's status.
// Stop and shutdown are accepted only while a stop thread can attach to the
// JVM: not while it is created, not while it is torn down.
TEST(Service, EveryEndOfTheRunIsReportedTruthfullyAndNoStopIsAcceptedOutsideMain)
{
    const struct {
        const char* label;
        const char* main_class;
        std::map<unsigned, std::string> values;
        DWORD win32_code, specific_code, process_code;
        std::string error;  // reported between the start and the end; "": none
    } cases[] = {
        {"main returns", "orvane.standin.Print", {}, 0, 0, 0, ""},
        // main returns; the JVM waits for the application's thread.
        {"a thread lingers", "orvane.standin.Tarry", {{1019, "2000"}}, 0, 0, 0, ""},
        // The application's own System.exit must not leave the service running.
        {"System.exit(0)", "orvane.standin.Script", {{1019, "exit=0"}}, 0, 0, 0, ""},
        {"System.exit(3)", "orvane.standin.Script", {{1019, "exit=3"}}, 1066, 1013, 3, ""},
        {"abort", "orvane.standin.Script", {{1019, "abort"}}, 1066, 1013, 3,
         "JVM has aborted due to an internal error."},
        {"no main class", "orvane.standin.Missing", {}, 1066, 1013, 0xFFFFFFFF,
         "Error locating class: orvane/standin/Missing"},
        {"no JVM", "orvane.standin.Print", {{1003, "-Dorvane.standin.create.delay=2000 -unknown"}}, 1066, 1013, 0,
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
                                         " -Dorvane.standin.create.delay=2000");
        for (const auto& value : c.values)
            service.scenario().set(value.first, value.second);
        ASSERT_TRUE(service.install_and_start());
        auto expect_no_stop = [&](const char* phase) {
            SERVICE_STATUS_PROCESS now = service.wait_for_state(SERVICE_RUNNING);
            EXPECT_EQ(now.dwControlsAccepted, 0u) << phase;
            EXPECT_EQ(service.control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL))
                << phase;
        };
        expect_no_stop("while the JVM is created");
        bool lingers = std::string(c.main_class) == "orvane.standin.Tarry";
        if (lingers && service.wait_for_record("main orvane.standin.Tarry 1")) {
            Sleep(200);
            expect_no_stop("while the JVM is torn down");
        }
        expect_stopped_with(service.wait_for_state(SERVICE_STOPPED), c.win32_code, c.specific_code);
        EXPECT_EQ(service.process_exit_code(), c.process_code);
        Args expected = {"info: " + message(17, service.name())};
        if (!c.error.empty())
            expected.push_back("error: " + c.error);
        expected.push_back(c.win32_code == 0 ? "info: " + message(18, service.name())
                                             : "error: " + message(19, service.name()));
        EXPECT_EQ(events.reports(), expected);
        EXPECT_EQ(service.scenario().record().has("linger done"), lingers);
    }
}
