// Every call into the running JVM goes through here: one exception check
// after each call, ANSI text made Java strings, and system properties.
#pragma once
#include <jni.h>

// A local reference deleted when it goes out of scope. The launcher's own
// native frames last as long as main runs (or for ever, on the start-up
// thread), and a JVM guarantees only 16 local references to code that asks
// for no more: every reference the launcher makes is released this way.
template <typename T>
class LocalRef {
public:
    LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
    ~LocalRef()
    {
        if (ref_ != nullptr)
            env_->DeleteLocalRef(ref_);
    }
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    T get() const { return ref_; }

private:
    JNIEnv* env_;
    T ref_;
};

// True when a Java exception was pending; it has then been described on the
// Java standard error stream and cleared. Reports nothing.
bool check_java_exception(JNIEnv* env);

// The ANSI text as a java.lang.String made with env, or null. No exception
// check is made here; the caller makes it.
jstring to_java_string(JNIEnv* env, const char* text);

// java.lang.System.setProperty(key, value); false after a reported failure.
bool set_system_property(JNIEnv* env, const char* key, const char* value);
