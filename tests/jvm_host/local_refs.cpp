#include "local_refs.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>

namespace {

const JNINativeInterface_* original = nullptr;
JNINativeInterface_ counted;
const JNIInvokeInterface_* original_vm = nullptr;
JNIInvokeInterface_ counted_vm;

thread_local long live = 0;
std::atomic<long> at_last_detach{-1};

// Whether the call came from the launcher's code in this executable. The
// JDK's own native methods, which Java code calls on the same thread, make
// references too, but the JVM releases those when the native method returns.
bool from_launcher(void* return_address)
{
    static void* const executable = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&live_local_refs), &info);
        return info.dli_fbase;
    }();
    Dl_info info{};
    return dladdr(return_address, &info) != 0 && info.dli_fbase == executable;
}

template <typename T>
T made(T ref, void* caller)
{
    if (ref != nullptr && from_launcher(caller))
        ++live;
    return ref;
}

// Each function of the launcher's calls that returns a new local reference
// counts it; the varargs calls of JNIEnv's C++ members reach the V forms.
#define COUNT_FIXED(name, type, params, args) \
    type JNICALL name params { return made(original->name args, __builtin_return_address(0)); }

COUNT_FIXED(FindClass, jclass, (JNIEnv * e, const char* n), (e, n))
COUNT_FIXED(NewObjectV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(CallStaticObjectMethodV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(NewString, jstring, (JNIEnv * e, const jchar* u, jsize n), (e, u, n))
COUNT_FIXED(NewObjectArray, jobjectArray, (JNIEnv * e, jsize n, jclass c, jobject i), (e, n, c, i))

void JNICALL DeleteLocalRef(JNIEnv* e, jobject o)
{
    if (o != nullptr && from_launcher(__builtin_return_address(0)))
        --live;
    original->DeleteLocalRef(e, o);
}

void count_on(JNIEnv* env)
{
    env->functions = &counted;
    live = 0;
}

jint JNICALL AttachCurrentThread(JavaVM* vm, void** penv, void* args)
{
    jint status = original_vm->AttachCurrentThread(vm, penv, args);
    if (status == JNI_OK && static_cast<JNIEnv*>(*penv)->functions != &counted)
        count_on(static_cast<JNIEnv*>(*penv));
    return status;
}

jint JNICALL DetachCurrentThread(JavaVM* vm)
{
    at_last_detach = live;
    return original_vm->DetachCurrentThread(vm);
}

} // namespace

void start_counting_local_refs(JavaVM* vm, JNIEnv* env)
{
    original = env->functions;
    counted = *original;
#define USE(name) counted.name = name
    USE(FindClass);
    USE(NewObjectV);
    USE(CallStaticObjectMethodV);
    USE(NewString);
    USE(NewObjectArray);
    USE(DeleteLocalRef);
#undef USE
    original_vm = vm->functions;
    counted_vm = *original_vm;
    counted_vm.AttachCurrentThread = AttachCurrentThread;
    counted_vm.DetachCurrentThread = DetachCurrentThread;
    vm->functions = &counted_vm;
    count_on(env);
}

void stop_counting_local_refs(JavaVM* vm, JNIEnv* env)
{
    vm->functions = original_vm;
    env->functions = original;
}

long live_local_refs()
{
    return live;
}

long live_local_refs_at_last_detach()
{
    return at_last_detach;
}
