// The per-process capture pipe "\\.\pipe\<process id>": the Java side writes
// its captured standard streams into it, and pipe_reader_thread reads them
// into captured_output. Its state (output_pipe, pipe_reader) lives in the
// pipe's own file; nothing else touches the handles.
#pragma once
#include <cstddef>

// The pipe's name, made when the pipe is created.
extern char output_pipe_name[256];

// Creates the pipe: inbound only, one instance that must be the first of its
// name, no remote clients, open to the current user alone. False, reporting
// nothing, when it cannot be made (for example when another process owns
// the name already).
bool create_capture_pipe();

// After the Java side opened the pipe: true when the client is this very
// process (or the system cannot tell).
bool capture_pipe_client_is_this_process();

// Closes the pipe while no reader exists yet (the capture is switched off).
void close_capture_pipe();

// Starts pipe_reader_thread on the pipe. False after reporting
// "Internal error RC000015".
bool start_pipe_reader();

// For an error report: marks the pipe gone (a second call does nothing),
// lets the reader pass on what is already queued, stops it and waits for it
// a few seconds at most, and only then closes the handle. A reader that
// does not end in time keeps the handle open, so that it never reads a
// handle value the process has reused.
void stop_capture_pipe();
