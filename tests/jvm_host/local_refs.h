// Counts the local references that JNI calls create and release, by
// interposing on the JNI function tables as HotSpot's own checker does. The
// count is exact whatever the JDK update, where -Xcheck:jni's judgement of a
// leak depends on it.
#pragma once
#include <jni.h>

// Interposes on env's functions and on vm's AttachCurrentThread and
// DetachCurrentThread, so that threads attached meanwhile are counted too.
void start_counting_local_refs(JavaVM* vm, JNIEnv* env);
// Puts the original tables back.
void stop_counting_local_refs(JavaVM* vm, JNIEnv* env);
// References created and not deleted on the calling thread since counting
// started (or since it was attached). The launcher takes no local frames: a
// frame it popped would leave its references counted.
long live_local_refs();
// What live_local_refs said on the thread that detached last, just before.
long live_local_refs_at_last_detach();
