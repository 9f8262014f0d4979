/* The machine-dependent part of the JNI header for 32-bit Windows: the JDK's
   jni.h is used as it is, with these definitions of the Windows ABI. */
#ifndef ORVANE_JNI_MD_H
#define ORVANE_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
