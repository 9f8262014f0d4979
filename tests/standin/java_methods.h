// The Java methods of the stand-in's class world, written in C++, and what
// they share: System.out and System.err, printing.
#pragma once
#include <string>

#include "objects.h"

// java.lang.System (java_lang_system.cpp).
// Starts the system class of a new JVM: System.out and System.err over the
// process's standard output and standard error handles.
void start_system();
// The current System.out (error false) or System.err (error true); may be null.
Object* system_stream(bool error);
// System.exit: records "exit <status>" and ends the process through the exit hook.
[[noreturn]] void exit_java(jint status);
void system_set_property(JavaThread* thread, const jvalue* args, jvalue* result);
void system_set_out(JavaThread* thread, const jvalue* args, jvalue* result);
void system_set_err(JavaThread* thread, const jvalue* args, jvalue* result);
void system_exit(JavaThread* thread, const jvalue* args, jvalue* result);

// java.io (java_io.cpp).
// A PrintStream over a standard handle, as System.out and System.err start.
Object* new_standard_print_stream(DWORD standard_handle);
// PrintStream.println: the text in the ANSI code page, then "\r\n". Lines
// from different threads do not mix. A null stream prints nothing.
void print_line(Object* print_stream, const std::wstring& text);
void file_output_stream_init(JavaThread* thread, const jvalue* args, jvalue* result);
void print_stream_init(JavaThread* thread, const jvalue* args, jvalue* result);

// The test main classes (test_classes.cpp), each main(String[]).
void hello_main(JavaThread* thread, const jvalue* args, jvalue* result);
void print_main(JavaThread* thread, const jvalue* args, jvalue* result);
void wait_main(JavaThread* thread, const jvalue* args, jvalue* result);
void tarry_main(JavaThread* thread, const jvalue* args, jvalue* result);
void signal_main(JavaThread* thread, const jvalue* args, jvalue* result);
void window_main(JavaThread* thread, const jvalue* args, jvalue* result);
void console_main(JavaThread* thread, const jvalue* args, jvalue* result);
void script_main(JavaThread* thread, const jvalue* args, jvalue* result);
