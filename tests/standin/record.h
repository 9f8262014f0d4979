// What the launcher asked of the stand-in JVM, written where the test suite
// can read it, and the way the stand-in refuses what it does not support.
#pragma once
#include <string>

// Appends one event line to the file that ORVANE_STANDIN_RECORD names (a
// line feed inside the event is written as the two characters \n, the line
// ends in a single line feed). The file is opened and closed for every line,
// so nothing is lost when the process ends abruptly. Does nothing when the
// variable is not set.
void record_event(const std::string& event);

// The record file to use when ORVANE_STANDIN_RECORD is not set.
void set_record_path(const char* path);

// Writes the bytes to the process's standard error handle as they are.
void write_process_stderr(const std::string& text);

// Writes the text as a line to the process's standard error and to the
// record, then ends the process with exit code 70. For every use of the JVM
// that the stand-in does not support, so that a test never passes by luck.
[[noreturn]] void fail_loudly(const std::string& text);
