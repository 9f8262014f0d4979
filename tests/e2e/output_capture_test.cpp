// What the application writes, kept: log files, and the capture pipe shown
// as the details of the error dialog.
#include "scenario.h"

#include <vector>

namespace {

constexpr DWORD exit_failure = 0xFFFFFFFF; // -1
constexpr DWORD exit_abort = 3;
const char aborted[] = "JVM has aborted due to an internal error.";
const char main_failed[] = "Error invoking method: main(java/lang/String[])";

LaunchOptions with_arguments(const std::string& arguments)
{
    LaunchOptions options;
    options.arguments = arguments;
    return options;
}

// A launcher on the stand-in whose main carries out the arguments.
Scenario& script(Scenario& scenario)
{
    return scenario.use_standin("orvane.standin.Script");
}

} // namespace

TEST(LogFiles, StreamsGoToTheirFilesTruncatedAppendedSharedAndInNewDirectories)
{
    const struct {
        const char* name;
        std::map<unsigned, std::string> values;
        std::map<std::string, std::string> before;  // files written first
        std::string arguments;
        DWORD exit_code;
        std::map<std::string, std::string> after;
    } rows[] = {
        {"output truncated, error appended",
         {{1025, "1"}, {1026, "1"}, {1027, "out.log"}, {1028, "err.log"}, {1043, "1"}},
         {{"out.log", "old\r\n"}, {"err.log", "old\r\n"}}, "out=a err=b out=c", 0,
         {{"out.log", "a\r\nc\r\n"}, {"err.log", "old\r\nb\r\n"}}},
        {"missing directories are created", {{1026, "1"}, {1028, "new\\deeper\\err.log"}}, {}, "err=b", 0,
         {{"new\\deeper\\err.log", "b\r\n"}}},
        {"one file through two spellings, one stream",
         {{1025, "1"}, {1026, "1"}, {1027, "Both.log"}, {1028, ".\\both.log"}}, {{"both.log", "old\r\n"}},
         "out=a err=b out=c", 0, {{"both.log", "a\r\nb\r\nc\r\n"}}},
        {"output written before System.exit", {{1025, "1"}, {1027, "out.log"}}, {}, "out=kept exit=4", 4,
         {{"out.log", "kept\r\n"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Scenario scenario("log_files");
        script(scenario);
        for (const auto& value : row.values)
            scenario.set(value.first, value.second);
        for (const auto& file : row.before)
            ASSERT_TRUE(write_file(scenario.directory() + "\\" + file.first, file.second));
        LaunchOutcome outcome = scenario.run(with_arguments(row.arguments));
        EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
        EXPECT_EQ(outcome.exit_code, row.exit_code);
        for (const auto& file : row.after)
            EXPECT_EQ(read_file(scenario.directory() + "\\" + file.first), file.second) << file.first;
        DeleteFileA((scenario.directory() + "\\new\\deeper\\err.log").c_str());
        RemoveDirectoryA((scenario.directory() + "\\new\\deeper").c_str());
        RemoveDirectoryA((scenario.directory() + "\\new").c_str());
    }
}

TEST(LogFiles, FileThatCannotBeOpenedEndsTheStartWithMessage11)
{
    Scenario scenario("log_unopenable");
    // A directory cannot be opened as a file.
    script(scenario).set(1025, "1").set(1027, scenario.directory());
    LaunchOutcome outcome = scenario.run(with_arguments("out=never"));
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].caption, "Error");
    EXPECT_EQ(outcome.windows[0].text, "Error instantiating object: java/io/FileOutputStream");
    EXPECT_EQ(outcome.exit_code, exit_failure);
    EXPECT_TRUE(scenario.record().main_calls.empty());
}

TEST(PipeCapture, OutputBeforeAnAbortIsTheDialogsDetailsAndEveryWayOfClosingEndsIt)
{
    for (LaunchOptions::Dismiss dismiss :
         {LaunchOptions::press_ok, LaunchOptions::press_escape, LaunchOptions::close_window}) {
        SCOPED_TRACE(dismiss);
        Scenario scenario("pipe_dialog");
        script(scenario).set(1025, "2").set(1026, "2");
        LaunchOptions options = with_arguments("out=first err=second abort");
        options.dismiss = dismiss;
        options.timeout_ms = 15000;
        LaunchOutcome outcome = scenario.run(options);
        ASSERT_EQ(outcome.windows.size(), 1u);
        EXPECT_EQ(outcome.windows[0].caption, "Error");
        EXPECT_EQ(outcome.windows[0].text, aborted);
        EXPECT_EQ(outcome.windows[0].details, "first\r\nsecond\r\n");
        EXPECT_EQ(outcome.exit_code, exit_abort);
    }
}

TEST(PipeCapture, MoreThan8KiBKeepsOnlyWholeNewestLines)
{
    Scenario scenario("pipe_newest");
    script(scenario).set(1025, "2");
    // 200 lines of 100 bytes.
    LaunchOutcome outcome = scenario.run(with_arguments("lines=200 abort"));
    ASSERT_EQ(outcome.windows.size(), 1u);
    const std::string& details = outcome.windows[0].details;
    ASSERT_LE(details.size(), 8191u);
    // Whole lines only, consecutive, the newest last: 81 of them fit.
    ASSERT_EQ(details.size() % 100, 0u) << details.substr(0, 120);
    int first = atoi(details.substr(5, 7).c_str());
    EXPECT_EQ(first, 200 - static_cast<int>(details.size() / 100) + 1) << details.substr(0, 300);
    for (size_t at = 0; at < details.size(); at += 100)
        EXPECT_EQ(atoi(details.substr(at + 5, 7).c_str()), first + static_cast<int>(at / 100)) << at;
    EXPECT_EQ(details.size(), 8100u);
}

TEST(PipeCapture, SecondFatalReportFindsTheCaptureEmpty)
{
    Scenario scenario("pipe_second_report");
    std::string event_name = "orvane-e2e-abort-" + std::to_string(GetCurrentProcessId());
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
    ASSERT_NE(event, nullptr);
    script(scenario).set(1025, "2").set(1026, "2");
    // The pipe's reader and the JVM's own diagnostics reach the capture on
    // different threads: the pause lets the line reach it before the trace.
    LaunchOptions options = with_arguments("out=first sleep=300 abort-on=" + event_name + " throw");
    // While the first dialog is open, the JVM aborts on another thread.
    SeenWindow second;
    options.on_window = [&](const SeenWindow& first, HANDLE process) {
        if (!second.caption.empty() || first.text != main_failed)
            return;
        std::vector<HWND> open = find_dialog_windows(GetProcessId(process));
        SetEvent(event);
        for (int i = 0; i < 200 && second.caption.empty(); ++i, Sleep(25))
            for (HWND window : find_dialog_windows(GetProcessId(process)))
                if (std::find(open.begin(), open.end(), window) == open.end()) {
                    Sleep(50);
                    second = read_dialog_window(window);
                }
    };
    LaunchOutcome outcome = scenario.run(options);
    CloseHandle(event);
    ASSERT_FALSE(outcome.windows.empty());
    EXPECT_EQ(outcome.windows[0].text, main_failed);
    EXPECT_EQ(outcome.windows[0].details.find("first\r\n"), 0u) << outcome.windows[0].details;
    EXPECT_EQ(second.caption, "Error");
    EXPECT_EQ(second.text, aborted);
    EXPECT_EQ(second.details, "") << "the second report showed details";
}

TEST(PipeCapture, SquattedPipeNameLeavesTheCaptureOffAndTheApplicationRunning)
{
    Scenario scenario("pipe_squatted");
    script(scenario).set(1025, "2").set(1026, "2");
    HANDLE squatter = INVALID_HANDLE_VALUE;
    LaunchOptions options = with_arguments("out=secret throw");
    options.before_resume = [&](DWORD process_id) {
        std::string name = "\\\\.\\pipe\\" + std::to_string(process_id);
        squatter = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, 0, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0,
                                    nullptr);
    };
    LaunchOutcome outcome = scenario.run(options);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    DWORD available = 0;
    PeekNamedPipe(squatter, nullptr, 0, nullptr, &available, nullptr);
    CloseHandle(squatter);
    EXPECT_EQ(available, 0u) << "the application's output went to the squatter's pipe";
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].text, main_failed);
    EXPECT_EQ(outcome.windows[0].details, "");
    EXPECT_EQ(scenario.record().main_calls.size(), 1u);
}

TEST(JvmDiagnostics, CreationFailuresShowTheJvmsReasonWithoutCapturedStreams)
{
    const struct {
        const char* options;
        std::string text, details;
        DWORD exit_code;
    } rows[] = {
        {"-XX:StandinDiagnostics=2 --no-such-option", "Unable to create JVM instance using " + standin_jvm_path(),
         "[0.100s][info][startup] diagnostic line 1 of the JVM\r\n"
         "[0.200s][info][startup] diagnostic line 2 of the JVM\r\n"
         "Unrecognized option: --no-such-option\r\n",
         exit_failure},
        {"\"-XX:StandinAbortAtCreation=Could not reserve enough space for object heap\"", aborted,
         "Error occurred during initialization of VM\r\nCould not reserve enough space for object heap\r\n",
         exit_abort},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        Scenario scenario("jvm_reason");
        script(scenario).set(1003, row.options);
        LaunchOutcome outcome = scenario.run();
        ASSERT_EQ(outcome.windows.size(), 1u);
        EXPECT_EQ(outcome.windows[0].caption, "Error");
        EXPECT_EQ(outcome.windows[0].text, row.text);
        EXPECT_EQ(outcome.windows[0].details, row.details);
        EXPECT_EQ(outcome.exit_code, row.exit_code);
    }
}

// While it lives, Wine reports the Windows 98 platform to executables of
// this name.
class Windows98Name {
public:
    explicit Windows98Name(const char* exe_name) : key_(std::string("Software\\Wine\\AppDefaults\\") + exe_name)
    {
        HKEY defaults = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &defaults,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(defaults, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
        RegCloseKey(defaults);
    }
    ~Windows98Name() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::string key_;
};

TEST(ConsoleCapture, WindowsNinetyFiveFamilyShowsTheConsoleRowsAsDetails)
{
    const char exe_name[] = "app95.exe";
    Windows98Name windows98(exe_name);
    Scenario scenario("console_capture", exe_name);
    // The stand-in gives the process a 300-row, 80-column console.
    script(scenario).set(1025, "2").set(1026, "2").set(1003, "-XX:StandinConsole=80x300");
    // Read in chunks of 102 rows: rows on both sides of each seam, blank
    // rows and trailing blanks between them.
    LaunchOptions options = with_arguments(
        "\"out=r0   \" blank=100 out=r101 out=r102 blank=100 out=r203 out=r204 blank=93 out=r298 abort");
    // Under Wine a windowed child would share the driver's console.
    options.creation_flags = DETACHED_PROCESS;
    LaunchOutcome outcome = scenario.run(options);
    std::string record;
    for (const std::string& line : scenario.record().lines)
        record += line + "\n";
    ASSERT_EQ(outcome.windows.size(), 1u) << "exit code " << outcome.exit_code << ", stand-in record:\n" << record;
    EXPECT_EQ(outcome.windows[0].text, aborted);
    EXPECT_EQ(outcome.windows[0].details, "r0\r\nr101\r\nr102\r\nr203\r\nr204\r\nr298");
    EXPECT_EQ(outcome.exit_code, exit_abort);
}

TEST(ConsoleCapture, HiddenConsoleThatCannotBeMadeIsInternalError25)
{
    // Wine attaches a windowed child to the driver's console, so the hidden
    // console of a capture on the Windows 95 family cannot be allocated:
    // the start stops there with its report, before the JVM exists.
    const char exe_name[] = "app98.exe";
    Windows98Name windows98(exe_name);
    Scenario scenario("console_missing", exe_name);
    script(scenario).set(1025, "2").set(1026, "2");
    LaunchOutcome outcome = scenario.run(with_arguments("out=lost"));
    ASSERT_EQ(outcome.windows.size(), 1u) << "exit code " << outcome.exit_code;
    const std::string report = "Internal error RC0000025\n\nReason: ";
    EXPECT_EQ(outcome.windows[0].text.substr(0, report.size()), report);
    EXPECT_EQ(outcome.exit_code, 0xFFFFFFFFu);
    EXPECT_FALSE(scenario.record().has_prefix("main ")) << "main ran without its console";
}

TEST(ConsoleCapture, StandardOutputThatIsNoConsoleIsInternalError42)
{
    // The console exists, but the launcher's standard output is the
    // driver's: its screen-buffer information cannot be read.
    const char exe_name[] = "app97.exe";
    Windows98Name windows98(exe_name);
    Scenario scenario("console_not_stdout", exe_name);
    script(scenario).set(1025, "2").set(1026, "2").set(1003, "-XX:StandinConsole=80x300");
    LaunchOptions options = with_arguments("out=unread abort");
    options.creation_flags = DETACHED_PROCESS;
    options.share_output = true;
    LaunchOutcome outcome = scenario.run(options);
    ASSERT_EQ(outcome.windows.size(), 1u) << outcome.windows[0].text;
    EXPECT_EQ(outcome.windows[0].text.find("Internal error RC0000042\n\nReason: "), 0u) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, exit_abort);
}

TEST(ErrorDialog, ComctlPlantedBesideTheLauncherIsNeverLoaded)
{
    // Wine takes its own copy of a system library even where a planted one
    // lies beside the executable; this launcher is told to prefer a native
    // one, as Windows would find it if it were ever searched for.
    const char exe_name[] = "planted.exe";
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + exe_name + "\\DllOverrides";
    HKEY overrides = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(overrides, "comctl32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
    RegCloseKey(overrides);
    Scenario scenario("planted_comctl", exe_name);
    script(scenario).set(1025, "2");
    // The stand-in's library records every load of itself, whatever its name.
    ASSERT_TRUE(CopyFileA(standin_jvm_path().c_str(), (scenario.directory() + "\\comctl32.dll").c_str(), FALSE));
    LaunchOutcome outcome = scenario.run(with_arguments("out=shown abort"));
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    DeleteFileA((scenario.directory() + "\\comctl32.dll").c_str());
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].details, "shown\r\n");
    int loads = 0;
    std::string record;
    for (const std::string& line : scenario.record().lines) {
        loads += line.compare(0, 5, "load ") == 0 ? 1 : 0;
        record += line + "\n";
    }
    EXPECT_EQ(loads, 1) << "a library beside the launcher was loaded as comctl32.dll:\n" << record;
}

TEST(PipeCapture, ReportBeforeAnythingWasCapturedIsThePlainBoxWithoutReaderError)
{
    // Standard output is captured but nothing was written to it: what was
    // written went to the error log.
    Scenario scenario("pipe_empty");
    script(scenario).set(1025, "2").set(1026, "1").set(1028, "err.log");
    LaunchOutcome outcome = scenario.run(with_arguments("err=logged abort"));
    ASSERT_EQ(outcome.windows.size(), 1u) << outcome.windows.back().text;
    EXPECT_EQ(outcome.windows[0].text, aborted);
    EXPECT_EQ(outcome.windows[0].details, "");
    EXPECT_EQ(outcome.exit_code, exit_abort);
}
