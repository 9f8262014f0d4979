// Every call into the running JVM goes through here: one exception check
// after each call, ANSI text made Java strings, and system properties.
#pragma once
#include <jni.h>

// True when a Java exception was pending; it has then been described on the
// Java standard error stream and cleared. Reports nothing.
bool check_java_exception(JNIEnv* env);

// The ANSI text as a java.lang.String made with env, or null. No exception
// check is made here; the caller makes it.
jstring to_java_string(JNIEnv* env, const char* text);

// java.lang.System.setProperty(key, value); false after a reported failure.
bool set_system_property(JNIEnv* env, const char* key, const char* value);
