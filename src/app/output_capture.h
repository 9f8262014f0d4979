// The launcher's copy of recent Java output: the most recent whole lines,
// fed by the capture pipe's reader and the JVM's diagnostics.
#pragma once
#include <cstddef>

#include "app/capture_rules.h"

// At most 8191 bytes of text and a terminator, guarded by the capture lock;
// emptied only by the error report that shows it.
extern char captured_output[captured_output_size];
extern int captured_length;

// Appends under the capture lock; in service mode also copies the text to
// the process's standard error. Returns true.
bool capture_append(const char* bytes, size_t length);

// Copies the captured text into out (captured_output_size bytes) and
// empties the capture, both under the capture lock, so that a JVM thread
// still printing never sees half of it. Returns the length taken.
size_t take_captured_output(char* out);
