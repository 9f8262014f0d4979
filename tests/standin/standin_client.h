// Drives the built stand-in JVM the way a launcher drives a runtime: loads
// jvm.dll, creates the JVM, calls into the class world. Used by the tests
// and by their child program.
#pragma once
#include <jni.h>
#include <windows.h>

#include <string>
#include <vector>

typedef jint(JNICALL* CreateJavaVMFunction)(JavaVM** vm, void** env, void* args);
typedef jint(JNICALL* GetDefaultJavaVMInitArgsFunction)(void* args);

struct StandinEntryPoints {
    HMODULE module;
    CreateJavaVMFunction create;
    GetDefaultJavaVMInitArgsFunction get_default_args;
};

// The built stand-in as a Windows path (the build's Unix path on drive Z:).
std::string standin_jvm_path();

// Loads the stand-in and looks up both entry points by their plain names;
// false when any of it fails.
bool load_standin(StandinEntryPoints* entry_points);

// An option as a launcher passes it: text and extraInfo.
struct Option {
    std::string text;
    void* extra;
};

// Loads the stand-in and calls JNI_CreateJavaVM with JNI_VERSION_1_2 and
// the options in order; JNI_ERR when the stand-in cannot be loaded.
jint create_jvm(const std::vector<Option>& options, JavaVM** vm, JNIEnv** env);
// True once create_jvm was called in this process, whatever it returned.
bool jvm_creation_attempted();

// A Java string of the text.
jstring java_string(JNIEnv* env, const std::wstring& text);
// The text of a Java string in modified UTF-8; "(null)" for null.
std::string text_of(JNIEnv* env, jstring string);

// Calls main(String[]) of the class with the arguments; false when the
// class or its main is missing (the exception stays pending).
bool call_main(JNIEnv* env, const char* class_name, const std::vector<std::wstring>& arguments);

// System.setProperty(key, value); the previous value.
jstring set_property(JNIEnv* env, const std::wstring& key, const std::wstring& value);
// System.getProperty(key).
jstring get_property(JNIEnv* env, const std::wstring& key);

// new PrintStream(new FileOutputStream(path, append)), or null with the
// exception pending.
jobject open_print_stream(JNIEnv* env, const std::string& path, bool append);
// System.setOut or System.setErr (method "setOut" or "setErr").
void set_standard_stream(JNIEnv* env, const char* method, jobject stream);
