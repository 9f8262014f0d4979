// The hooks a launcher hands the JVM at creation.
#pragma once
#include <jni.h>

#include <cstdarg>
#include <cstdio>

// The functions given as the options "vfprintf", "abort" and "exit", each
// null when its option was not given. Written by JNI_CreateJavaVM before it
// succeeds, only read afterwards.
struct VmHooks {
    jint(JNICALL* vfprintf_hook)(FILE* stream, const char* format, va_list arguments);
    void(JNICALL* abort_hook)(void);
    void(JNICALL* exit_hook)(jint status);
};
extern VmHooks vm_hooks;

// A diagnostic of the JVM itself: through the "vfprintf" hook when one is in
// effect, else on the process's standard error.
void vm_diagnostic(jint(JNICALL* hook)(FILE*, const char*, va_list), const char* format, ...);

// What a fatal error inside the JVM does: records "abort", calls the hook
// (null: none), then aborts the process.
[[noreturn]] void abort_vm(void(JNICALL* hook)(void));
