// A trace of the launcher's decisions, for the user whom a start surprises
// ("no Java found" although one is installed): when the environment variable
// ORVANE_TRACE names a file, each decision is appended to it as one line with
// the milliseconds since the process started. Writing the trace never fails
// the start, and without the variable every call returns at once.
#pragma once

// Opens the file ORVANE_TRACE names, once, for appending.
void trace_open();

// Closes the file; tracing is off afterwards until trace_open.
void trace_close();

bool trace_enabled();

// One line of the trace.
void trace_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A line with the milliseconds spent since the previous phase ended.
void trace_phase_end(const char* phase);
