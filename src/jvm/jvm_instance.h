// The one JVM of the process and how it is created from the configured
// options.
#pragma once
#include <jni.h>

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using DefaultInitArgsFunction = jint(JNICALL*)(void*);

// Empty until the JVM is created; then read by the invocation, the streams
// and the shutdown. The env belongs to the thread that created the JVM.
struct JvmInstance {
    char* library_path;  // as discovery found it, possibly relative
    void* module;        // the loaded library, kept loaded to the end of the process
    CreateJavaVmFunction create_java_vm;
    DefaultInitArgsFunction get_default_init_args; // required, never called
    JavaVM* vm;
    JNIEnv* env;
};

extern JvmInstance jvm_instance;

// True on a system of the Windows 95 family; set when the JVM is created.
extern bool non_nt_platform;

// Looks up the two JNI entry points in the loaded library; false, after
// message 6, when either is missing.
bool resolve_jni_entry_points();

// The last steps of JVM creation: the option text (configured options and
// the class path), its expansion, the option array with the three hook
// options, and JNI_CreateJavaVM. Needs the library loaded and its entry
// points resolved. With primary_main the JVM starts with the directory main
// will run in as its user.dir. False after a reported failure.
bool create_java_vm(bool primary_main = true);
