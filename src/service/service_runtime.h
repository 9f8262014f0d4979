// The application run as a Windows service: what the JVM's hooks and the
// entry point need of it.
#pragma once

// The outcome of the run: true once the JVM was created, lowered by any
// failure after that (main, the stop request, an abort, System.exit with a
// non-zero status). Read by the service main after worker_done_event.
extern volatile bool service_run_ok;
// Set by the service main after it has reported the final service status.
extern volatile bool service_main_finished;

// Called by the exit and abort hooks in service mode; run_ok is false for an
// abort and for an exit with a non-zero status. While the service main waits
// for the run, hands the end over to it (worker_done_event) and waits until
// it has reported the final status; otherwise returns at once.
void hand_over_to_service_main(bool run_ok);

// The service flow's exit code once the dispatcher has returned: -1 when
// main could not be run, else 0. When a JVM hook is ending the process it
// never returns, so that the process ends with the hook's status.
int service_process_exit_code();
