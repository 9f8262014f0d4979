// Capture throughput benchmark (not a test): an application on the stand-in
// writes 50 MB of 100-byte lines through the capture pipe and then aborts;
// the time from the launcher's start to its error dialog gives bytes per
// second, and the dialog's details must be exactly the newest whole lines.
// Usage: capture_bench SCENARIO_DIR [LINES]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "launcher_driver.h"
#include "scenario_launcher.h"
#include "standin_record.h"

static double now_ms()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The numbered line the stand-in prints, with its line end: 100 bytes.
static std::string line(int number)
{
    char text[16];
    snprintf(text, sizeof text, "%07d", number);
    return std::string("line ") + text + " " + std::string(85, '.') + "\r\n";
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: capture_bench SCENARIO_DIR [LINES]\n");
        return 2;
    }
    int lines = argc > 2 ? atoi(argv[2]) : 500000;
    std::string launcher = std::string(argv[1]) + "\\capture.exe";
    std::map<unsigned, std::string> values = {
        {1002, standin_jvm_path()}, {1012, scrambled("orvane.standin.Script")}, {1025, "2"}, {1026, "2"}};
    if (!make_scenario_launcher(launcher, values)) {
        fprintf(stderr, "capture_bench: cannot make %s\n", launcher.c_str());
        return 1;
    }
    LaunchOptions options;
    options.arguments = "lines=" + std::to_string(lines) + " abort";
    options.timeout_ms = 600000;
    double start = now_ms(), shown = 0;
    options.on_window = [&](const SeenWindow&, HANDLE) {
        if (shown == 0)
            shown = now_ms();
    };
    LaunchOutcome outcome = run_launcher(launcher, options);
    if (outcome.windows.size() != 1 || shown == 0) {
        fprintf(stderr, "capture_bench: the launcher showed %zu windows\n", outcome.windows.size());
        return 1;
    }
    // The newest lines that fit 8191 bytes, whole.
    std::string expected;
    for (int number = lines; number > 0 && expected.size() + 100 <= 8191; --number)
        expected = line(number) + expected;
    double bytes = 100.0 * lines;
    double seconds = (shown - start) / 1000.0;
    printf("lines: %d of 100 bytes, %.0f bytes in all\n", lines, bytes);
    printf("start to dialog: %.2f s, %.0f bytes/s (%.1f MB/s)\n", seconds, bytes / seconds, bytes / seconds / 1e6);
    printf("details: %zu bytes, the newest %zu whole lines: %s\n", outcome.windows[0].details.size(),
           expected.size() / 100, outcome.windows[0].details == expected ? "exact" : "DIFFERENT");
    return outcome.windows[0].details == expected ? 0 : 1;
}
