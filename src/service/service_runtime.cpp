// The service main, its control handler and the threads that run and stop
// the application as a Windows service.
#include "service/service_entry.h"
#include "service/service_runtime.h"

#include "app/main_invocation.h"
#include "app/shutdown.h"
#include "jvm/jvm_creation.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/tokenizer.h"
#include "ui/reporting.h"

volatile bool service_run_ok = false;
volatile bool service_main_finished = false;

namespace {

constexpr DWORD stop_wait_hint_ms = 40000;
constexpr DWORD stop_timeout_ms = 30000;
constexpr DWORD service_specific_failure = 1013;
constexpr DWORD stop_controls = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;

// status_lock guards service_status, every SetServiceStatus call and the
// flags below it. Initialised by the service main before the handler is
// registered.
CRITICAL_SECTION status_lock;
SERVICE_STATUS service_status;
SERVICE_STATUS_HANDLE service_status_handle = nullptr;
bool stopped_reported = false; // nothing is reported after stopped
bool jvm_ready = false;        // stop and shutdown accepted: a stop may attach
bool stop_requested = false;   // a stop or shutdown control was taken
HANDLE stop_thread = nullptr;  // the stop thread, once started

// Created by the service main and never closed: the worker, the hooks and
// the time-out thread may signal it until the process ends. The event
// source stays registered for the same reason.
HANDLE worker_done_event = nullptr;

// -1 when main could not be run. Written by the worker before it signals.
volatile int service_exit_code = 0;
// Set by a JVM hook that is ending the process, before it hands over.
volatile bool hook_ending_process = false;

struct StatusLock {
    StatusLock() { EnterCriticalSection(&status_lock); }
    ~StatusLock() { LeaveCriticalSection(&status_lock); }
};

// Reports service_status; the caller holds status_lock.
void report_status_locked()
{
    if (stopped_reported)
        return;
    SetServiceStatus(service_status_handle, &service_status);
    if (service_status.dwCurrentState == SERVICE_STOPPED)
        stopped_reported = true;
}

// Sets the controls accepted and reports them; the JVM is ready to be
// attached exactly while stop and shutdown are accepted.
void set_jvm_ready_locked(bool ready)
{
    jvm_ready = ready;
    service_status.dwControlsAccepted = ready ? stop_controls : 0;
    report_status_locked();
}

// Asks the running application to end: System.exit through the stopper
// (value 1021), else a second main with the stop arguments of value 1020.
// A failure lowers service_run_ok.
DWORD WINAPI service_stop_thread(void*)
{
    const LauncherConfig& c = launcher_config;
    bool stopped;
    if (c.stop_with_system_exit) {
        stopped = request_java_exit();
    } else {
        MainInvocation invocation{};
        tokenize_command_line(c.service_stop_options, &invocation.args, false);
        invocation.secondary = true;
        stopped = run_main_class(invocation);
    }
    if (!stopped)
        service_run_ok = false;
    return 0;
}

// Gives up on a stop after 30 seconds: message 20, then the service main
// reports the service stopped.
DWORD WINAPI service_stop_timeout_thread(void*)
{
    Sleep(stop_timeout_ms);
    if (service_main_finished)
        return 0;
    report_error(message_text(message_service_stop_timeout), launcher_config.service_name);
    SetEvent(worker_done_event);
    return 0;
}

// The stop thread and its time-out; the caller holds status_lock and the
// JVM is ready.
void start_stop_threads_locked()
{
    stop_thread = CreateThread(nullptr, 0, service_stop_thread, nullptr, 0, nullptr);
    if (stop_thread == nullptr)
        report_system_error();
    HANDLE timeout = CreateThread(nullptr, 0, service_stop_timeout_thread, nullptr, 0, nullptr);
    if (timeout == nullptr) {
        report_system_error();
        SetEvent(worker_done_event);
        return;
    }
    CloseHandle(timeout);
}

// Runs on the dispatcher's thread. Stop and shutdown start the stop threads
// while the JVM is ready; any other control reports the status unchanged.
void WINAPI service_control_handler(DWORD control)
{
    StatusLock lock;
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) {
        report_status_locked();
        return;
    }
    // A second stop, or one after the run has ended, changes nothing.
    if (service_status.dwCurrentState != SERVICE_RUNNING)
        return;
    service_status.dwCurrentState = SERVICE_STOP_PENDING;
    service_status.dwWaitHint = stop_wait_hint_ms;
    report_status_locked();
    stop_requested = true;
    // Before the JVM is ready the worker sees the request and skips main;
    // during its teardown the run is ending already.
    if (jvm_ready)
        start_stop_threads_locked();
}

// Creates the JVM, runs main with the arguments of value 1019 and tears the
// JVM down, then signals worker_done_event. Stop and shutdown are accepted
// exactly between a successful creation and the teardown.
DWORD WINAPI service_worker(void*)
{
    LauncherConfig& c = launcher_config;
    // Here, not before the dispatcher started, so that a report of the
    // extraction reaches the event log instead of blocking the start.
    extract_embedded_jars();
    // A service never returns to the directory it was started in.
    c.restore_launch_directory = false;
    bool created = create_jvm();
    bool run_main = false;
    {
        StatusLock lock;
        if (created) {
            service_run_ok = true;
            if (!stop_requested) {
                set_jvm_ready_locked(true);
                run_main = true;
            }
        }
    }
    if (run_main) {
        MainInvocation invocation{};
        tokenize_command_line(c.service_app_options, &invocation.args, false);
        invocation.secondary = false;
        bool returned = run_main_class(invocation);
        HANDLE stopper;
        {
            StatusLock lock;
            set_jvm_ready_locked(false);
            stopper = stop_thread;
        }
        // A stop thread attached to the JVM ends before the teardown; one
        // that never ends is cut short by the time-out thread.
        if (stopper != nullptr)
            WaitForSingleObject(stopper, INFINITE);
        if (!returned) {
            // No teardown after a failed main; the process ends with -1
            // once the service main has reported the failure.
            service_exit_code = -1;
            service_run_ok = false;
            SetEvent(worker_done_event);
            return 0;
        }
    }
    if (created)
        shutdown_jvm();
    SetEvent(worker_done_event);
    return 0;
}

} // namespace

// The service entry of the dispatcher table: registers the event source and
// the control handler, reports running, runs the worker and waits for the
// end of the run, then reports stopped (1066/1013 after a failed run).
void WINAPI service_main(DWORD, LPSTR*)
{
    const char* name = launcher_config.service_name;
    InitializeCriticalSection(&status_lock);
    event_source = RegisterEventSourceA(nullptr, name);
    service_status_handle = RegisterServiceCtrlHandlerA(name, service_control_handler);
    service_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (event_source == nullptr) {
        // Without a status the dispatcher would wait for ever.
        StatusLock lock;
        service_status.dwCurrentState = SERVICE_STOPPED;
        service_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
        service_status.dwServiceSpecificExitCode = service_specific_failure;
        report_status_locked();
        service_main_finished = true;
        return;
    }
    report_notice(message_text(message_service_started), name);
    {
        // Running before the JVM exists, but no control is accepted until
        // it is ready.
        StatusLock lock;
        service_status.dwCurrentState = SERVICE_RUNNING;
        report_status_locked();
    }

    worker_done_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (worker_done_event == nullptr) {
        report_error_with_reason("Internal error RC000004");
    } else {
        HANDLE worker = CreateThread(nullptr, 0, service_worker, nullptr, 0, nullptr);
        if (worker == nullptr) {
            report_error_with_reason("Internal error RC000005");
        } else {
            CloseHandle(worker);
            WaitForSingleObject(worker_done_event, INFINITE);
        }
    }

    bool ok = service_run_ok;
    if (ok)
        report_notice(message_text(message_service_stopped), name);
    else
        report_error(message_text(message_service_start_failed), name);
    {
        StatusLock lock;
        service_status.dwCurrentState = SERVICE_STOPPED;
        if (!ok) {
            service_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
            service_status.dwServiceSpecificExitCode = service_specific_failure;
        }
        service_status.dwWaitHint = 0;
        report_status_locked();
    }
    service_main_finished = true;
}

void hand_over_to_service_main(bool run_ok)
{
    if (worker_done_event == nullptr || service_main_finished)
        return;
    if (!run_ok)
        service_run_ok = false;
    hook_ending_process = true;
    SetEvent(worker_done_event);
    while (!service_main_finished)
        Sleep(100);
}

int service_process_exit_code()
{
    while (hook_ending_process)
        Sleep(INFINITE);
    return service_exit_code;
}
