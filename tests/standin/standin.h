// The stand-in JVM's shared parts: its record, its Java threads, objects
// and classes, and the Java methods of its class world written in C++.
#pragma once
#include <jni.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// record.cpp: appends one event line to the record file that
// ORVANE_STANDIN_RECORD names, else the one set_record_path gave (none:
// does nothing); a line feed inside the event is written as \n. The file is
// opened for every line, so nothing is lost when the process ends abruptly.
void record_event(const std::string& event);
void set_record_path(const char* path);
// For every use of the JVM the stand-in does not support, so that a test
// never passes by luck: writes the text to standard error and the record,
// then ends the process with exit code 70.
[[noreturn]] void fail_loudly(const std::string& text);

// invocation.cpp: the hooks a launcher hands the JVM as the options
// "vfprintf", "abort" and "exit", each null when not given; set while
// JNI_CreateJavaVM reads the options, only read afterwards.
struct VmHooks {
    jint(JNICALL* vfprintf_hook)(FILE* stream, const char* format, va_list arguments);
    void(JNICALL* abort_hook)(void);
    void(JNICALL* exit_hook)(jint status);
};
extern VmHooks vm_hooks;
// A diagnostic of the JVM itself: through the "vfprintf" hook when one is
// given, else on the C runtime's standard error.
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
// A new live Java thread with an env of its own.
JavaThread* new_java_thread(const std::string& name);
// The Java thread of the calling native thread (null: not attached), and
// the way a native thread becomes one or ends its own.
JavaThread* current_thread();
void make_current_thread(JavaThread* thread);
void end_current_thread();
// Blocks until every live Java thread but the caller's has ended, as Java
// waits for its non-daemon threads (the stand-in has no daemon threads).
void wait_for_other_threads();
// The Java thread of an env; ends the process when the env is not that of
// the calling native thread, as JNI allows an env only there.
JavaThread* thread_of(JNIEnv* env, const char* function);

// class_world.cpp: the objects and classes. A JNI reference is the address
// of an Object, a jmethodID that of a Method. Objects are never freed: a
// test process makes only a few hundred.
enum ObjectKind { kind_class, kind_string, kind_array, kind_throwable, kind_file_stream, kind_print_stream };

struct ClassInfo;

struct Object {
    ObjectKind kind;
    const ClassInfo* klass;         // the object's class; for a class object the class it stands for
    std::string text;               // string: its characters (ANSI); throwable: its message
    std::vector<Object*> elements;  // array
    HANDLE file = nullptr;          // file stream: its handle, else (null) the standard one below
    DWORD standard_handle = 0;      // file stream under the initial System.out or System.err
    Object* out = nullptr;          // print stream: the stream it writes to
};

// A Java method's body: it takes the arguments in signature order, leaves
// a returned reference or a constructor's new object in result->l, and
// throws with throw_java.
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

extern const char main_signature[];

// The class object of the named class, or null when the stand-in has none.
Object* find_class_object(const char* name);
// The method with exactly that name, signature and static-ness, or null.
const Method* find_method(const ClassInfo* klass, const char* name, const char* signature, bool is_static);
// The class that declares the method, or null for an address that is no method.
const ClassInfo* owner_of(const Method* method);
Object* new_object(ObjectKind kind, const char* class_name);
// Makes an exception pending on the thread, replacing one pending already.
void throw_java(JavaThread* thread, const char* class_name, const std::string& message);
// The Object behind a reference, or null when nullable; ends the process
// for a null reference that is not, or one not of the kind the caller needs.
Object* object_of(jobject reference, ObjectKind kind, const char* function, bool nullable = true);
// "java/lang/String" as "java.lang.String".
std::string dotted(const char* class_name);

// System.out and System.err over the standard handles of a new JVM; then
// the current one (error false: System.out), which may be null.
void start_system();
Object* system_stream(bool error);
// PrintStream.println: the text, then "\r\n", whole even when threads print
// at once. A null stream prints nothing.
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
