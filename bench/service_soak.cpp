// Service soak benchmark (not a test): installs one service of a configured
// launcher on the stand-in runtime, starts and stops it many times through
// the service manager, and prints the stop latency (from the stop control to
// the stopped state) and every cycle that hung or did not end with 0/0. The
// service is removed at the end, whatever happened.
// Usage: service_soak SCENARIO_DIR [CYCLES]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "launcher_driver.h"
#include "scenario_launcher.h"
#include "standin_record.h"

namespace {

constexpr char service_name[] = "OrvaneSoak";
constexpr DWORD hang_limit_ms = 45000;

double now_ms()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

SERVICE_STATUS_PROCESS query(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &size);
    return status;
}

// Polls every millisecond until the check holds; false after the limit.
template <typename Check>
bool wait_until(SC_HANDLE service, Check check, SERVICE_STATUS_PROCESS* last)
{
    double start = now_ms();
    do {
        *last = query(service);
        if (check(*last))
            return true;
        Sleep(1);
    } while (now_ms() - start < hang_limit_ms);
    return false;
}

// Stops and removes the service and its event source (uninstall keeps the
// source).
void remove_service(SC_HANDLE manager)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\OrvaneSoak");
    SC_HANDLE service = OpenServiceA(manager, service_name, SERVICE_ALL_ACCESS);
    if (service == nullptr)
        return;
    SERVICE_STATUS ignored;
    ControlService(service, SERVICE_CONTROL_STOP, &ignored);
    SERVICE_STATUS_PROCESS last;
    if (!wait_until(service, [](const SERVICE_STATUS_PROCESS& s) { return s.dwCurrentState == SERVICE_STOPPED; },
                    &last) &&
        last.dwProcessId != 0) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, last.dwProcessId);
        if (process != nullptr) {
            TerminateProcess(process, 99);
            CloseHandle(process);
        }
    }
    DeleteService(service);
    CloseServiceHandle(service);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: service_soak SCENARIO_DIR [CYCLES]\n");
        return 2;
    }
    int cycles = argc > 2 ? atoi(argv[2]) : 50;
    std::string exe = std::string(argv[1]) + "\\soak.exe";
    std::map<unsigned, std::string> values = {
        {1002, standin_jvm_path()}, {1012, scrambled("orvane.standin.Wait")}, {1017, service_name}, {1020, "stop"}};
    if (!make_scenario_launcher(exe, values)) {
        fprintf(stderr, "service_soak: cannot make %s\n", exe.c_str());
        return 2;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    remove_service(manager);
    LaunchOptions install;
    install.arguments = "-install";
    LaunchOutcome outcome = run_launcher(exe, install);
    SC_HANDLE service = OpenServiceA(manager, service_name, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
        fprintf(stderr, "service_soak: not installed (%s)\n",
                outcome.windows.empty() ? "no box" : outcome.windows[0].text.c_str());
        return 1;
    }

    std::vector<double> latencies;
    int hangs = 0;
    int bad_codes = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        SERVICE_STATUS_PROCESS last;
        // Stop is accepted once the JVM is ready and main runs.
        if (!StartServiceA(service, 0, nullptr) ||
            !wait_until(service, [](const SERVICE_STATUS_PROCESS& s) { return s.dwControlsAccepted != 0; }, &last)) {
            printf("cycle %d: did not become ready (error %lu, state %lu)\n", cycle, GetLastError(),
                   last.dwCurrentState);
            ++hangs;
            break;
        }
        SERVICE_STATUS ignored;
        double asked = now_ms();
        ControlService(service, SERVICE_CONTROL_STOP, &ignored);
        bool stopped = wait_until(
            service, [](const SERVICE_STATUS_PROCESS& s) { return s.dwCurrentState == SERVICE_STOPPED; }, &last);
        double latency = now_ms() - asked;
        if (!stopped) {
            printf("cycle %d: hung in state %lu\n", cycle, last.dwCurrentState);
            ++hangs;
            break;
        }
        latencies.push_back(latency);
        if (last.dwWin32ExitCode != 0 || last.dwServiceSpecificExitCode != 0) {
            printf("cycle %d: stopped with %lu/%lu\n", cycle, last.dwWin32ExitCode, last.dwServiceSpecificExitCode);
            ++bad_codes;
        }
        // The process must be gone before the next start.
        if (last.dwProcessId != 0) {
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, last.dwProcessId);
            if (process != nullptr) {
                WaitForSingleObject(process, 10000);
                CloseHandle(process);
            }
        }
    }
    CloseServiceHandle(service);
    remove_service(manager);
    CloseServiceHandle(manager);

    std::sort(latencies.begin(), latencies.end());
    printf("service soak: %zu of %d cycles stopped, %d hangs, %d not 0/0\n", latencies.size(), cycles, hangs,
           bad_codes);
    if (!latencies.empty())
        printf("stop latency: median %.1f ms, worst %.1f ms\n", latencies[latencies.size() / 2], latencies.back());
    return hangs == 0 && bad_codes == 0 && static_cast<int>(latencies.size()) == cycles ? 0 : 1;
}
