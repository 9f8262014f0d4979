// Start-up benchmark (not a test): the time from starting a configured
// launcher to the stand-in runtime entering main, against the time to start
// and end a minimal Win32 executable, each over many runs.
// Usage: startup_bench MINIMAL_EXE SCENARIO_DIR [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "scenario_launcher.h"
#include "standin_record.h"

namespace {

double now_ms()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts command; waits for event when given, else for the process to end.
// Returns the elapsed milliseconds, or -1 when the process cannot start.
double time_start(const std::string& command, HANDLE event)
{
    std::string line = command;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    double start = now_ms();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    HANDLE waited = event != nullptr ? event : process.hProcess;
    DWORD result = WaitForSingleObject(waited, 30000);
    double elapsed = now_ms() - start;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result == WAIT_OBJECT_0 ? elapsed : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: startup_bench MINIMAL_EXE SCENARIO_DIR [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? atoi(argv[3]) : 20;
    std::string launcher = std::string(argv[2]) + "\\bench.exe";
    std::map<unsigned, std::string> values = {
        {1002, standin_jvm_path()},
        {1012, scrambled("orvane.standin.Signal")},
    };
    if (!make_scenario_launcher(launcher, values)) {
        fprintf(stderr, "startup_bench: cannot make %s\n", launcher.c_str());
        return 1;
    }
    // The stand-in's Signal class sets this event when its main is entered.
    HANDLE entered = CreateEventA(nullptr, FALSE, FALSE, "OrvaneBenchMainEntered");
    SetEnvironmentVariableA("ORVANE_STANDIN_SIGNAL", "OrvaneBenchMainEntered");

    std::vector<double> minimal, to_main;
    for (int i = 0; i < runs; ++i) {
        double m = time_start(std::string("\"") + argv[1] + "\"", nullptr);
        double l = time_start("\"" + launcher + "\"", entered);
        if (m < 0 || l < 0) {
            fprintf(stderr, "startup_bench: run %d failed\n", i);
            return 1;
        }
        minimal.push_back(m);
        to_main.push_back(l);
    }
    double m = median(minimal), l = median(to_main);
    printf("runs: %d each\n", runs);
    printf("minimal Win32 executable, start to end: median %.1f ms\n", m);
    printf("launcher, start to main entered:        median %.1f ms\n", l);
    printf("ratio: %.2f\n", l / m);
    return 0;
}
