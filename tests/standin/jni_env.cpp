// The Java threads of the stand-in and the JNIEnv functions a launcher
// calls. Each function first checks that the env is the calling thread's
// own; a use that a real JVM leaves undefined (a null or mistyped reference,
// a call into Java with an exception pending) and every other function of
// the table end the process with fail_loudly instead of going on by luck.
#include <cstring>

#include "standin.h"

// Runs the method an ID names, its arguments read from a va_list in
// signature order (the class world's methods take only references, int and
// boolean): a constructor of the class (NewObjectV) or a static method
// (CallStatic*MethodV), which jni.h's variadic C++ functions call. A main
// call is recorded as "main <class> <argc>" and one "arg <i> <text>" per
// argument. An exception the method throws stays pending.
static jvalue call_listed(JNIEnv* env, jclass clazz, jmethodID id, va_list list, bool constructor,
                          const char* function)
{
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = object_of(clazz, kind_class, function, false)->klass;
    const Method* method = reinterpret_cast<const Method*>(id);
    if (owner_of(method) == nullptr ||
        (constructor ? strcmp(method->name, "<init>") != 0 || owner_of(method) != klass : !method->is_static))
        fail_loudly(std::string("stand-in JVM: ") + function + " got an invalid method ID");
    if (thread->pending != nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " called while an exception is pending");
    jvalue args[4];
    int count = 0;
    for (const char* p = method->signature + 1; *p != ')'; ++p) {
        if (*p == 'Z') {
            args[count++].z = static_cast<jboolean>(va_arg(list, int));
        } else if (*p == 'I') {
            args[count++].i = va_arg(list, jint);
        } else if (*p == 'L') {
            args[count++].l = va_arg(list, jobject);
            p = strchr(p, ';');
        }
    }
    if (strcmp(method->signature, main_signature) == 0) {
        Object* array = object_of(args[0].l, kind_array, "main");
        size_t length = array != nullptr ? array->elements.size() : 0;
        record_event("main " + dotted(owner_of(method)->name) + " " + std::to_string(length));
        for (size_t i = 0; i < length; ++i) {
            Object* element = object_of(reinterpret_cast<jobject>(array->elements[i]), kind_string, "main");
            record_event("arg " + std::to_string(i) + " " + (element != nullptr ? element->text : "null"));
        }
    }
    jvalue result;
    result.j = 0;
    method->body(thread, args, &result);
    return result;
}

// NewObjectV (constructor true), CallStaticObjectMethodV and
// CallStaticVoidMethodV (Result void).
template <typename Result, bool constructor>
static Result JNICALL call_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    const char* function = constructor ? "NewObjectV" : "CallStatic*MethodV";
    return static_cast<Result>(call_listed(env, clazz, id, list, constructor, function).l);
}

static jclass JNICALL find_class(JNIEnv* env, const char* name)
{
    JavaThread* thread = thread_of(env, "FindClass");
    Object* klass = find_class_object(name);
    if (klass == nullptr)
        throw_java(thread, "java/lang/NoClassDefFoundError", name);
    return reinterpret_cast<jclass>(klass);
}

// Describes the pending exception and clears it, as HotSpot's
// ExceptionDescribe does: the thread's part is the JVM's own diagnostic,
// the rest is the exception's printStackTrace on the current System.err.
static void JNICALL exception_describe(JNIEnv* env)
{
    JavaThread* thread = thread_of(env, "ExceptionDescribe");
    Object* exception = thread->pending;
    if (exception == nullptr)
        return;
    thread->pending = nullptr;
    std::string summary = dotted(exception->klass->name) + ": " + exception->text;
    record_event("describe " + summary);
    vm_diagnostic("Exception in thread \"%s\" ", thread->name.c_str());
    print_line(system_stream(true), summary);
}

static void JNICALL exception_clear(JNIEnv* env)
{
    thread_of(env, "ExceptionClear")->pending = nullptr;
}

static jboolean JNICALL exception_check(JNIEnv* env)
{
    return thread_of(env, "ExceptionCheck")->pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

// Local references are plain object addresses that never go away.
static void JNICALL delete_local_ref(JNIEnv* env, jobject)
{
    thread_of(env, "DeleteLocalRef");
}

// GetMethodID and GetStaticMethodID. Throws NoSuchMethodError when no
// method matches name, signature and static-ness, with HotSpot's message:
// "static " for a static lookup, then the class descriptor, a dot, the name
// and the signature.
template <bool is_static>
static jmethodID JNICALL get_method_id(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    const char* function = is_static ? "GetStaticMethodID" : "GetMethodID";
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = object_of(clazz, kind_class, function, false)->klass;
    const Method* method = find_method(klass, name, signature, is_static);
    if (method == nullptr)
        throw_java(thread, "java/lang/NoSuchMethodError",
                   std::string(is_static ? "static " : "") + "L" + klass->name + ";." + name + signature);
    return reinterpret_cast<jmethodID>(const_cast<Method*>(method));
}

// Java strings are kept in the ANSI code page, the one every output of the
// stand-in uses.
static jstring JNICALL new_java_string(JNIEnv* env, const jchar* unicode, jsize length)
{
    thread_of(env, "NewString");
    if (length < 0 || (unicode == nullptr && length > 0))
        fail_loudly("stand-in JVM: NewString got a negative length or no characters");
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(unicode);
    Object* string = new_object(kind_string, "java/lang/String");
    int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    string->text.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, wide, length, &string->text[0], size, nullptr, nullptr);
    return reinterpret_cast<jstring>(string);
}

static jobjectArray JNICALL new_object_array(JNIEnv* env, jsize length, jclass element_class, jobject initial)
{
    thread_of(env, "NewObjectArray");
    object_of(element_class, kind_class, "NewObjectArray", false);
    if (length < 0)
        fail_loudly("stand-in JVM: NewObjectArray got a negative length");
    Object* array = new_object(kind_array, "java/lang/Object");
    array->elements.assign(static_cast<size_t>(length), reinterpret_cast<Object*>(initial));
    return reinterpret_cast<jobjectArray>(array);
}

static void JNICALL set_object_array_element(JNIEnv* env, jobjectArray array, jsize index, jobject value)
{
    thread_of(env, "SetObjectArrayElement");
    Object* object = object_of(array, kind_array, "SetObjectArrayElement", false);
    if (index < 0 || static_cast<size_t>(index) >= object->elements.size())
        fail_loudly("stand-in JVM: SetObjectArrayElement got an index outside the array");
    object->elements[static_cast<size_t>(index)] = reinterpret_cast<Object*>(value);
}

// The function of every slot the stand-in does not implement. It never
// returns, so its empty parameter list does no harm to the caller's stack.
[[noreturn]] static void JNICALL unimplemented()
{
    fail_loudly("stand-in JVM: a JNI function that it does not implement was called");
}

// The table is filled by field name, so its layout is jni.h's own; the
// four reserved slots stay null.
static JNINativeInterface_ make_env_table()
{
    JNINativeInterface_ table = {};
    void (JNICALL* stub)() = unimplemented;
    for (size_t slot = 4; slot < sizeof table / sizeof stub; ++slot)
        memcpy(reinterpret_cast<char*>(&table) + slot * sizeof stub, &stub, sizeof stub);
    table.FindClass = find_class;
    table.ExceptionDescribe = exception_describe;
    table.ExceptionClear = exception_clear;
    table.DeleteLocalRef = delete_local_ref;
    table.NewObjectV = call_method_v<jobject, true>;
    table.GetMethodID = get_method_id<false>;
    table.GetStaticMethodID = get_method_id<true>;
    table.CallStaticObjectMethodV = call_method_v<jobject, false>;
    table.CallStaticVoidMethodV = call_method_v<void, false>;
    table.NewString = new_java_string;
    table.NewObjectArray = new_object_array;
    table.SetObjectArrayElement = set_object_array_element;
    table.ExceptionCheck = exception_check;
    return table;
}

static const JNINativeInterface_ env_table = make_env_table();

// The live Java threads, guarded by threads_lock; thread_ended is woken
// whenever one ends.
static SRWLOCK threads_lock = SRWLOCK_INIT;
static CONDITION_VARIABLE thread_ended = CONDITION_VARIABLE_INIT;
static int live_threads = 0;
// The thread-local slot holding the JavaThread of the calling native thread.
static const DWORD current_thread_slot = TlsAlloc();

JavaThread* new_java_thread(const std::string& name)
{
    JavaThread* thread = new JavaThread();
    thread->env.functions = &env_table;
    thread->name = name;
    AcquireSRWLockExclusive(&threads_lock);
    ++live_threads;
    ReleaseSRWLockExclusive(&threads_lock);
    return thread;
}

JavaThread* current_thread()
{
    return static_cast<JavaThread*>(TlsGetValue(current_thread_slot));
}

void make_current_thread(JavaThread* thread)
{
    TlsSetValue(current_thread_slot, thread);
}

void end_current_thread()
{
    if (current_thread() == nullptr)
        return;
    make_current_thread(nullptr);
    AcquireSRWLockExclusive(&threads_lock);
    --live_threads;
    WakeAllConditionVariable(&thread_ended);
    ReleaseSRWLockExclusive(&threads_lock);
}

void wait_for_other_threads()
{
    int own = current_thread() != nullptr ? 1 : 0;
    AcquireSRWLockExclusive(&threads_lock);
    while (live_threads > own)
        SleepConditionVariableSRW(&thread_ended, &threads_lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&threads_lock);
}

JavaThread* thread_of(JNIEnv* env, const char* function)
{
    if (env == nullptr || reinterpret_cast<JavaThread*>(env) != current_thread())
        fail_loudly(std::string("stand-in JVM: ") + function +
                    " called with a JNIEnv that is not the calling thread's own");
    return reinterpret_cast<JavaThread*>(env);
}
