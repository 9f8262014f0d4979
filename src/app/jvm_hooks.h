// The functions the JVM calls through its "vfprintf", "exit" and "abort"
// options, on any of its threads.
#pragma once
#include <jni.h>

#include <cstdarg>
#include <cstdio>

// JVM diagnostics: into the captured output (Windows NT family) or onto the
// console (Windows 95 family). Returns what the formatting returned.
jint JNICALL jvm_vfprintf_hook(FILE* stream, const char* format, va_list args);

// The JVM ends the process (System.exit): release what the launcher holds,
// start the jar cleanup, let the service main report, then exit(status),
// unless another thread is ending the process already.
void JNICALL jvm_exit_hook(jint status);

// A fatal JVM error: report it with the captured output (the JVM's own
// diagnostics even when no stream is captured), release, and end the
// process with abort_exit_code, without the C runtime's abort box.
void JNICALL jvm_abort_hook();
