// The one reporting facility: message boxes for a user, event-log entries
// while the process runs as a service. Every report is composed printf-style
// into bounded buffers; an over-long text is cut, never overflowed.
#pragma once
#include <cstddef>

constexpr unsigned long EVENT_ID_INFORMATION = 0x4FFF0001;
constexpr unsigned long EVENT_ID_ERROR = 0xCFFF0002;
constexpr size_t report_size = 8192;

// Set by the entry point just before the service dispatcher starts; never
// cleared. While true every report becomes an event.
extern bool service_mode;
// Cleared by the stream set-up around its capture step only. While false the
// error reports (not notices, not errors with details) are dropped.
extern bool reporting_enabled;
// The event-log handle, registered and deregistered by the service main;
// only used here.
extern void* event_source;
// The module (HINSTANCE) whose dialog resource 1 is the error dialog.
extern void* launcher_instance;

// Shows the composed text in a box without owner, or writes one event in
// service mode. Returns the box or event call's result.
int route_report(bool is_error, const char* text);

int report_notice(const char* format, ...);
int report_error(const char* format, ...);
// The caller's text, an empty line, "Reason: " and the system's text for the
// thread's last error code.
int report_error_with_reason(const char* format, ...);
// The system's text for the last error code, alone.
int report_system_error();
// The error dialog with details, or one error event with the details appended.
int report_error_with_details(const char* details, const char* format, ...);

// For fatal failures of the Java side: the message together with what the
// application wrote to its redirected standard streams, when any are.
int report_fatal_error_with_output(const char* format, ...);
// The same for a JVM that could not be created or aborted: what the JVM
// itself printed is shown as details even when no stream is captured.
int report_jvm_failure_with_output(const char* format, ...);
