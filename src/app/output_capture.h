// The launcher's copy of recent Java output: the most recent whole lines,
// fed by the capture pipe's reader and the JVM's diagnostics.
#pragma once
#include <cstddef>

constexpr size_t captured_output_size = 8192;

// At most 8191 bytes of text and a terminator; emptied only by the error
// report that shows it.
extern char captured_output[captured_output_size];
extern int captured_length;

// The buffer rule: when the new bytes would not fit, whole old lines are
// dropped (through a line feed at or after offset length - 1), or all of
// them when there is no such line feed. No lock, no Win32.
void append_to_capture_buffer(char* buffer, int* buffer_length, const char* bytes, size_t length);

// Appends under the capture lock; in service mode also copies the text to
// the process's standard error. Returns true.
bool capture_append(const char* bytes, size_t length);
