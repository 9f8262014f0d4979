// The stand-in's Java objects and classes. A JNI reference (jobject, jclass,
// jstring, ...) is the address of an Object; a jmethodID is the address of a
// Method. Objects are never freed: a test process makes only a few hundred.
#pragma once
#include <jni.h>
#include <windows.h>

#include <string>
#include <vector>

struct JavaThread;
struct ClassInfo;

enum ObjectKind {
    kind_class,            // a class object, as FindClass returns it
    kind_string,           // java.lang.String
    kind_array,            // an array of references
    kind_throwable,        // an exception or error
    kind_file_stream,      // java.io.FileOutputStream
    kind_standard_stream,  // the stream under the initial System.out or System.err
    kind_print_stream      // java.io.PrintStream
};

struct Object {
    ObjectKind kind;
    const ClassInfo* klass;          // the object's class; for a class object the class it stands for
    std::wstring text;               // string: its characters; throwable: its message
    std::vector<Object*> elements;   // array
    HANDLE file = INVALID_HANDLE_VALUE;  // file stream
    DWORD standard_handle = 0;           // standard stream: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
    Object* out = nullptr;               // print stream: the stream it writes to
};

// The body of a Java method written in C++. It receives the arguments in
// signature order and leaves a returned reference (or a constructor's new
// object) in result->l; it throws with throw_java on its thread.
typedef void (*MethodBody)(JavaThread* thread, const jvalue* args, jvalue* result);

struct Method {
    const char* name;
    const char* signature;
    bool is_static;
    MethodBody body;
};

struct ClassInfo {
    const char* name;     // with '/' separators, as FindClass takes it
    Method methods[4];    // ended by an entry without a name, unless all four are used
};

// The class of that name, or null when the stand-in has none.
const ClassInfo* find_class_info(const char* name);
// The one class object of a class.
Object* class_object(const ClassInfo* klass);
// The method with exactly that name and signature, static or not, or null.
const Method* find_method(const ClassInfo* klass, const char* name, const char* signature, bool is_static);
// The class that declares the method.
const ClassInfo* owner_of(const Method* method);

Object* new_object(ObjectKind kind, const char* class_name);
Object* new_string(const std::wstring& text);

// Makes an exception of the named class pending on the thread, replacing one
// already pending.
void throw_java(JavaThread* thread, const char* class_name, const std::wstring& message);

// The Object behind a reference, or null; ends the process (fail_loudly)
// when a non-null reference is not of the kind the caller needs.
Object* object_of(jobject reference, ObjectKind kind, const char* function);

// Text conversions between Java strings and the system's ANSI code page.
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);
// "java/lang/String" as "java.lang.String".
std::string dotted(const char* class_name);
