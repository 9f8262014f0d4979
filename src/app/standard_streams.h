// Where Java's standard output and error go: left alone, a log file, or the
// capture (the per-process pipe, or the console outside the NT family).
#pragma once
#include <jni.h>

// Sets the streams up for a primary invocation, on the thread that created
// the JVM. False after a reported failure; a capture that cannot be set up
// is switched off (both stream modes 0) without a report.
bool set_up_standard_streams();

// Sends System.out and System.err to the given paths; a stream whose method
// name ("setOut", "setErr") is null is left alone. When both paths name the
// same file, one stream serves both, opened with the output's append flag.
// False after a reported failure.
bool redirect_standard_streams(JNIEnv* env, const char* out_path, const char* out_method, bool out_append,
                               const char* err_path, const char* err_method, bool err_append);

// A new java.io.PrintStream (local reference) over a FileOutputStream of
// path, or null after a reported failure.
jobject open_print_stream(JNIEnv* env, const char* path, bool append);

// java.lang.System.<name>(stream); false after a reported failure.
bool set_standard_stream(JNIEnv* env, jclass system, jobject stream, const char* name);
