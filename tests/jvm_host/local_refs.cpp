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

// Each function that returns a new local reference counts it.
#define COUNT_FIXED(name, type, params, args) \
    type JNICALL name params { return made(original->name args, __builtin_return_address(0)); }

COUNT_FIXED(FindClass, jclass, (JNIEnv * e, const char* n), (e, n))
COUNT_FIXED(GetSuperclass, jclass, (JNIEnv * e, jclass c), (e, c))
COUNT_FIXED(ExceptionOccurred, jthrowable, (JNIEnv * e), (e))
COUNT_FIXED(NewLocalRef, jobject, (JNIEnv * e, jobject o), (e, o))
COUNT_FIXED(AllocObject, jobject, (JNIEnv * e, jclass c), (e, c))
COUNT_FIXED(GetObjectClass, jclass, (JNIEnv * e, jobject o), (e, o))
COUNT_FIXED(NewObjectV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(NewObjectA, jobject, (JNIEnv * e, jclass c, jmethodID m, const jvalue* a), (e, c, m, a))
COUNT_FIXED(CallObjectMethodV, jobject, (JNIEnv * e, jobject o, jmethodID m, va_list a), (e, o, m, a))
COUNT_FIXED(CallObjectMethodA, jobject, (JNIEnv * e, jobject o, jmethodID m, const jvalue* a), (e, o, m, a))
COUNT_FIXED(CallStaticObjectMethodV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(CallStaticObjectMethodA, jobject, (JNIEnv * e, jclass c, jmethodID m, const jvalue* a), (e, c, m, a))
COUNT_FIXED(GetObjectField, jobject, (JNIEnv * e, jobject o, jfieldID f), (e, o, f))
COUNT_FIXED(GetStaticObjectField, jobject, (JNIEnv * e, jclass c, jfieldID f), (e, c, f))
COUNT_FIXED(NewString, jstring, (JNIEnv * e, const jchar* u, jsize n), (e, u, n))
COUNT_FIXED(NewStringUTF, jstring, (JNIEnv * e, const char* t), (e, t))
COUNT_FIXED(NewObjectArray, jobjectArray, (JNIEnv * e, jsize n, jclass c, jobject i), (e, n, c, i))
COUNT_FIXED(GetObjectArrayElement, jobject, (JNIEnv * e, jobjectArray a, jsize i), (e, a, i))
COUNT_FIXED(NewByteArray, jbyteArray, (JNIEnv * e, jsize n), (e, n))
COUNT_FIXED(NewCharArray, jcharArray, (JNIEnv * e, jsize n), (e, n))

#define COUNT_VARARGS(name, type, first_type, via)                     \
    type JNICALL name(JNIEnv* e, first_type x, jmethodID m, ...)       \
    {                                                                  \
        va_list a;                                                     \
        va_start(a, m);                                                \
        type r = made(original->via(e, x, m, a), __builtin_return_address(0)); \
        va_end(a);                                                     \
        return r;                                                      \
    }

COUNT_VARARGS(NewObject, jobject, jclass, NewObjectV)
COUNT_VARARGS(CallObjectMethod, jobject, jobject, CallObjectMethodV)
COUNT_VARARGS(CallStaticObjectMethod, jobject, jclass, CallStaticObjectMethodV)

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
    USE(FindClass); USE(GetSuperclass); USE(ExceptionOccurred); USE(NewLocalRef); USE(AllocObject);
    USE(GetObjectClass); USE(NewObject); USE(NewObjectV); USE(NewObjectA); USE(CallObjectMethod);
    USE(CallObjectMethodV); USE(CallObjectMethodA); USE(CallStaticObjectMethod);
    USE(CallStaticObjectMethodV); USE(CallStaticObjectMethodA); USE(GetObjectField);
    USE(GetStaticObjectField); USE(NewString); USE(NewStringUTF); USE(NewObjectArray);
    USE(GetObjectArrayElement); USE(NewByteArray); USE(NewCharArray); USE(DeleteLocalRef);
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
