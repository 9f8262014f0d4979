// Java threads of the stand-in: the thread that created the JVM, native
// threads attached through the JavaVM, and threads Java code started. Each
// has its own JNIEnv and its own pending exception.
#pragma once
#include <jni.h>

#include <string>

struct Object;

// The JNIEnv table every Java thread's env points to (jni_env.cpp).
extern const JNINativeInterface_* const env_functions;

struct JavaThread {
    JNIEnv_ env{env_functions};  // first member: a JNIEnv* is the address of its JavaThread
    std::string name;            // the Java thread name
    Object* pending = nullptr;   // the pending exception, or null
    bool alive = true;           // attached (or started) and not yet detached (or ended)
};

// Sets up the thread-local slot of the registry; called once when the DLL is loaded.
void init_threads();

// The Java thread of the calling native thread, or null when it is not attached.
JavaThread* current_thread();

// A new live Java thread with an env of its own. The calling native thread
// becomes that Java thread when make_current is true.
JavaThread* register_java_thread(const std::string& name, bool make_current);
// Makes the calling native thread the given Java thread.
void make_current_thread(JavaThread* thread);

// Ends a Java thread: it no longer counts as alive, and the calling native
// thread, when it is that thread, is no longer attached.
void end_java_thread(JavaThread* thread);

// Blocks until every live Java thread other than except has ended (the
// stand-in has no daemon threads).
void wait_for_other_threads(JavaThread* except);

// The Java thread of an env; ends the process (fail_loudly) when the env is
// not that of the calling native thread, as JNI allows an env only there.
JavaThread* thread_of(JNIEnv* env, const char* function);
