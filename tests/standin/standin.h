// The stand-in JVM's shared parts: its record, its Java threads, objects
// and classes, and the Java methods of its class world written in C++.
#pragma once
#include <jni.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

// record.cpp: appends the event as one line (a line feed in it written as
// \n) to the file ORVANE_STANDIN_RECORD names, if any.
void record_event(const std::string& event);
// For every use of the JVM the stand-in does not support, so that no test
// passes by luck: the text on stderr and in the record, exit code 70.
[[noreturn]] void fail_loudly(const std::string& text);

// invocation.cpp: the hooks of the options "vfprintf", "abort" and "exit",
// null when not given; written only while JNI_CreateJavaVM reads the options.
struct VmHooks {
    jint(JNICALL* vfprintf_hook)(FILE* stream, const char* format, va_list arguments);
    void(JNICALL* abort_hook)(void);
    void(JNICALL* exit_hook)(jint status);
};
extern VmHooks vm_hooks;
// A diagnostic of the JVM itself: through the "vfprintf" hook, else on stderr.
void vm_diagnostic(const char* format, ...);
// A fatal error inside the JVM: records "abort", calls the abort hook, aborts.
[[noreturn]] void abort_vm();

struct Object;

// jni_env.cpp: the Java threads and the JNIEnv functions. A Java thread is
// never freed, so that an env a launcher keeps after detaching stays readable.
struct JavaThread {
    JNIEnv_ env;                // first member: a JNIEnv* is the address of its JavaThread
    std::string name;           // the Java thread name
    Object* pending = nullptr;  // the pending exception, or null
};
// A new live Java thread, counted in live_threads until it ends.
JavaThread* new_java_thread(const std::string& name);
extern std::atomic<int> live_threads;
// The Java thread of the calling native thread (null: not attached), and its end.
extern thread_local JavaThread* current_thread;
void end_current_thread();
// The Java thread of an env; ends the process when the env is not that of
// the calling native thread, as JNI allows an env only there.
JavaThread* thread_of(JNIEnv* env, const char* function);

// class_world.cpp: the objects and classes. A JNI reference is the address
// of an Object, never freed; a jmethodID that of a Method.
enum ObjectKind { kind_class, kind_string, kind_array, kind_throwable, kind_file_stream, kind_print_stream };

struct ClassInfo;

struct Object {
    ObjectKind kind;
    const ClassInfo* klass;         // its class; for a class object the class it stands for, for an array its elements'
    std::string text;               // string: its characters (ANSI); throwable: its message
    std::vector<Object*> elements;  // array
    HANDLE file = nullptr;          // file stream: its handle, else (null) the standard one below
    DWORD standard_handle = 0;      // file stream under the initial System.out or System.err
    Object* out = nullptr;          // print stream: the stream it writes to
};

// A Java method's body: a returned reference or a constructor's new object goes to result->l.
typedef void (*MethodBody)(JavaThread* thread, const jvalue* args, jvalue* result);

struct Method {
    const char* name;
    const char* signature;
    bool is_static;
    MethodBody body;
};

struct ClassInfo {
    const char* name;   // with '/' separators, as FindClass takes it
    Method methods[4];  // ended by an entry without a name, unless all four are used
};

constexpr char main_signature[] = "([Ljava/lang/String;)V";

// The class that declares the method, or null for an address that is no method.
const ClassInfo* owner_of(const Method* method);
// A new object of the named class (of kind_class: the class object), or
// null when the stand-in has no such class.
Object* new_object(ObjectKind kind, const char* class_name);
// Makes an exception pending on the thread, replacing one pending already.
void throw_java(JavaThread* thread, const char* class_name, const std::string& message);
// The Object behind a reference, or null when nullable; ends the process
// for a null reference that is not, or one not of the kind the caller needs.
Object* object_of(jobject reference, ObjectKind kind, const char* function, bool nullable = true);
// "java/lang/String" as "java.lang.String".
std::string dotted(const char* class_name);

// The initial System.out and System.err of a new JVM; then the current ones (may be null).
void start_system();
extern std::atomic<Object*> system_streams[2];
// PrintStream.println, whole even when threads print at once; nothing on a null stream.
void print_line(Object* print_stream, const std::string& text);
// System.exit: records "exit <status>" and ends the process through the exit hook.
[[noreturn]] void exit_java(jint status);

// test_classes.cpp: the suite's main classes, each main(String[]).
void hello_main(JavaThread* thread, const jvalue* args, jvalue* result);
void print_main(JavaThread* thread, const jvalue* args, jvalue* result);
void wait_main(JavaThread* thread, const jvalue* args, jvalue* result);
void tarry_main(JavaThread* thread, const jvalue* args, jvalue* result);
void signal_main(JavaThread* thread, const jvalue* args, jvalue* result);
void window_main(JavaThread* thread, const jvalue* args, jvalue* result);
void console_main(JavaThread* thread, const jvalue* args, jvalue* result);
void script_main(JavaThread* thread, const jvalue* args, jvalue* result);
