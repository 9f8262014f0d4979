// What the application writes, kept: log files, and the capture pipe shown
// as the details of the error dialog.
#include "scenario.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD exit_failure = 0xFFFFFFFF; // -1
constexpr DWORD exit_abort = 3;
const char aborted[] = "JVM has aborted due to an internal error.";
const char main_failed[] = "Error invoking method: main(java/lang/String[])";

} // namespace

// Truncating, appending and sharing are proven on the host; here what only
// Windows shows: one file named two ways is one stream.
TEST(LogFiles, OneFileNamedTwoWaysIsOneStream)
{
    Scenario scenario("log_files");
    scenario.use_standin("orvane.standin.Script").set(1025, "1").set(1026, "1").set(1027, "Both.log");
    ASSERT_TRUE(write_file(scenario.directory() + "\\both.log", "old\r\n"));
    EXPECT_EQ(only_box(scenario.set(1028, ".\\both.log").run("out=a err=b out=c")), "");
    EXPECT_EQ(read_file(scenario.directory() + "\\both.log"), "a\r\nb\r\nc\r\n");
}

TEST(PipeCapture, OutputBeforeAnAbortIsTheDialogsNewestDetailsAndEveryWayOfClosingEndsIt)
{
    // Of 200 lines of 100 bytes, the newest 81 fit in the 8 KiB capture.
    std::string newest;
    for (int line = 120; line <= 200; ++line) {
        char number[8];
        snprintf(number, sizeof number, "%07d", line);
        newest += "line " + std::string(number) + " " + std::string(85, '.') + "\r\n";
    }
    const struct {
        LaunchOptions::Dismiss dismiss;
        const char* error_stream;  // value 1026
        const char* arguments;
        std::string details;
    } rows[] = {
        {LaunchOptions::press_ok, "2", "out=first err=second abort", "first\r\nsecond\r\n"},
        {LaunchOptions::press_escape, "2", "out=first err=second abort", "first\r\nsecond\r\n"},
        {LaunchOptions::close_window, "2", "out=first err=second abort", "first\r\nsecond\r\n"},
        // Nothing reached the capture: what was written went to the error log.
        {LaunchOptions::press_ok, "1", "err=logged abort", ""},
        {LaunchOptions::press_ok, "2", "lines=200 abort", newest},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments + std::string(", dismissed ") + std::to_string(row.dismiss));
        Scenario scenario("pipe_dialog");
        scenario.use_standin("orvane.standin.Script").set(1025, "2").set(1026, row.error_stream).set(1028, "err.log");
        LaunchOptions options;
        options.arguments = row.arguments;
        options.dismiss = row.dismiss;
        options.timeout_ms = 15000;
        LaunchOutcome outcome = scenario.run(options);
        ASSERT_EQ(only_box(outcome), std::string("Error: ") + aborted);
        EXPECT_EQ(outcome.windows[0].details, row.details);
        EXPECT_EQ(outcome.exit_code, exit_abort);
    }
}

TEST(PipeCapture, SecondFatalReportFindsTheCaptureEmpty)
{
    Scenario scenario("pipe_second_report");
    std::string event_name = "orvane-e2e-abort-" + std::to_string(GetCurrentProcessId());
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
    ASSERT_NE(event, nullptr);
    scenario.use_standin("orvane.standin.Script").set(1025, "2").set(1026, "2");
    // The pipe's reader and the JVM's own diagnostics reach the capture on
    // different threads: the pause lets the line reach it before the trace.
    LaunchOptions options;
    options.arguments = "out=first sleep=300 abort-on=" + event_name + " throw";
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
    EXPECT_EQ(second.caption + ": " + second.text + " | details: " + second.details,
              std::string("Error: ") + aborted + " | details: ");
}

TEST(PipeCapture, SquattedPipeNameLeavesTheCaptureOffAndTheApplicationRunning)
{
    Scenario scenario("pipe_squatted");
    scenario.use_standin("orvane.standin.Script").set(1025, "2").set(1026, "2");
    HANDLE squatter = INVALID_HANDLE_VALUE;
    LaunchOptions options;
    options.arguments = "out=secret throw";
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
    ASSERT_EQ(only_box(outcome), std::string("Error: ") + main_failed);
    EXPECT_EQ(outcome.windows[0].details, "");
    EXPECT_EQ(scenario.record().main_calls.size(), 1u);
}

TEST(ConsoleCapture, WindowsNinetyFiveFamilyShowsTheConsoleRowsAsDetailsOrStopsWithItsReport)
{
    const struct {
        const char* what;
        const char* exe_name;
        const char* jvm_options;
        const char* arguments;
        DWORD creation_flags;
        bool share_output;
        std::string text, details;
        DWORD exit_code;
        bool main_ran;
    } rows[] = {
        // The stand-in gives the process a 300-row, 80-column console, read
        // in chunks of 102 rows: rows on both sides of each seam, blank rows
        // and trailing blanks between them.
        {"rows read", "app95.exe", "-XX:StandinConsole=80x300",
         "\"out=r0   \" blank=100 out=r101 out=r102 blank=100 out=r203 out=r204 blank=93 out=r298 abort",
         DETACHED_PROCESS, false, aborted, "r0\r\nr101\r\nr102\r\nr203\r\nr204\r\nr298", exit_abort, true},
        // Wine attaches a windowed child to the driver's console, so the
        // hidden console cannot be allocated: the start stops before the JVM.
        {"no hidden console", "app98.exe", "", "out=lost", 0, false, "Internal error RC0000025\n\nReason: ", "",
         exit_failure, false},
        // The console exists, but standard output is the driver's: its
        // screen-buffer information cannot be read.
        {"output no console", "app97.exe", "-XX:StandinConsole=80x300", "out=unread abort", DETACHED_PROCESS, true,
         "Internal error RC0000042\n\nReason: ", "", exit_abort, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Windows98Name windows98(row.exe_name);
        Scenario scenario("console_capture", row.exe_name);
        scenario.use_standin("orvane.standin.Script").set(1025, "2").set(1026, "2").set(1003, row.jvm_options);
        LaunchOptions options;
        options.arguments = row.arguments;
        options.creation_flags = row.creation_flags;
        options.share_output = row.share_output;
        LaunchOutcome outcome = scenario.run(options);
        ASSERT_EQ(outcome.windows.size(), 1u) << "exit code " << outcome.exit_code;
        EXPECT_EQ(outcome.windows[0].text.substr(0, row.text.size()), row.text);
        EXPECT_EQ(outcome.windows[0].details, row.details);
        EXPECT_EQ(outcome.exit_code, row.exit_code);
        EXPECT_EQ(scenario.record().main_calls.empty(), !row.main_ran);
    }
}

// DLLs named like the system DLLs the launcher loads by name (shell32.dll
// at the start, comctl32.dll for the error dialog) lie beside the launcher
// and in the working directory it moves to before the JVM is loaded. Wine
// takes its own copies even so; this launcher is told to prefer native
// ones, as Windows would find them if they were ever searched for there.
TEST(ErrorDialog, SystemDllsPlantedBesideTheLauncherOrInItsWorkingDirectoryAreNeverLoaded)
{
    const char exe_name[] = "planted.exe";
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + exe_name + "\\DllOverrides";
    for (const char* dll : {"comctl32", "shell32"})
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), dll, REG_SZ, "native,builtin", 15), ERROR_SUCCESS);
    Scenario scenario("planted_dlls", exe_name);
    scenario.use_standin("orvane.standin.Script").set(1025, "2").set(1011, "work").set(1015, "1");
    CreateDirectoryA((scenario.directory() + "\\work").c_str(), nullptr);
    // The stand-in's library records every load of itself, whatever its name.
    const char* planted[] = {"\\comctl32.dll", "\\shell32.dll", "\\work\\comctl32.dll", "\\work\\shell32.dll"};
    for (const char* dll : planted)
        ASSERT_TRUE(CopyFileA(standin_jvm_path().c_str(), (scenario.directory() + dll).c_str(), FALSE));
    LaunchOutcome outcome = scenario.run("out=shown abort");
    for (const char* dll : planted)
        DeleteFileA((scenario.directory() + dll).c_str());
    RemoveDirectoryA((scenario.directory() + "\\work").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].details, "shown\r\n");
    std::vector<std::string> lines = scenario.record().lines;
    auto is_load = [](const std::string& line) { return line.find("load ") == 0; };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), is_load), 1) << "a planted library was loaded";
}
