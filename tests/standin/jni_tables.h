// The two JNI function tables of the stand-in, laid out as jni.h declares
// them: the JNIEnv table (jni_env.cpp) and the JavaVM table (invocation.cpp).
#pragma once
#include <jni.h>

// The JNIEnv table every Java thread's env points to.
extern const JNINativeInterface_* const env_functions;

// The index of the first function slot of the JNIEnv table that holds no
// function (the four reserved slots excepted), or -1 when every slot has one.
int first_empty_env_slot();

// Puts into every function slot of the table a stub of its own that names
// the slot and ends the process (unimplemented.cpp).
void fill_with_unimplemented_stubs(JNINativeInterface_* table);
