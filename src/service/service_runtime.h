// The application run as a Windows service: what the JVM's hooks need of it.
#pragma once

// True once the service run has started successfully (the JVM was created).
extern bool service_run_ok;
// Set by the service main after it has reported the final service status.
extern volatile bool service_main_finished;

// Called by the exit and abort hooks in service mode: when the run had
// started, tells the service main the worker is done and waits until it has
// reported the final status.
void wait_for_service_main();
