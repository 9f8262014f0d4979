// The Java threads and the JNIEnv functions a launcher calls. A use a real
// JVM leaves undefined (another thread's env, a mistyped reference, a call
// with an exception pending) and every other function end in fail_loudly.
#include <cstring>

#include "standin.h"

// NewObjectV (constructor true), CallStaticObjectMethodV and
// CallStaticVoidMethodV (Result void), the arguments (references, int,
// boolean) read from the va_list. A main call is recorded as
// "main <class> <argc>" and one "arg <i> <text>" per argument.
template <typename Result, bool constructor>
static Result JNICALL call_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    const char* function = constructor ? "NewObjectV" : "CallStatic*MethodV";
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
    return static_cast<Result>(result.l);
}

static jclass JNICALL find_class(JNIEnv* env, const char* name)
{
    JavaThread* thread = thread_of(env, "FindClass");
    Object* klass = new_object(kind_class, name);
    if (klass == nullptr)
        throw_java(thread, "java/lang/NoClassDefFoundError", name);
    return reinterpret_cast<jclass>(klass);
}

// Prints and clears the pending exception as HotSpot does: the thread's part
// through the JVM's diagnostic, the rest on the current System.err.
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
    print_line(system_streams[1], summary);
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

// GetMethodID and GetStaticMethodID; NoSuchMethodError with HotSpot's message.
template <bool is_static>
static jmethodID JNICALL get_method_id(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    const char* function = is_static ? "GetStaticMethodID" : "GetMethodID";
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = object_of(clazz, kind_class, function, false)->klass;
    const Method* method = nullptr;
    for (const Method& candidate : klass->methods)
        if (candidate.name != nullptr && strcmp(candidate.name, name) == 0 &&
            strcmp(candidate.signature, signature) == 0 && candidate.is_static == is_static)
            method = &candidate;
    if (method == nullptr)
        throw_java(thread, "java/lang/NoSuchMethodError",
                   std::string(is_static ? "static " : "") + "L" + klass->name + ";." + name + signature);
    return reinterpret_cast<jmethodID>(const_cast<Method*>(method));
}

// Java strings are kept in the ANSI code page, that of every output of the stand-in.
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
    Object* array = new_object(kind_array, object_of(element_class, kind_class, "NewObjectArray", false)->klass->name);
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

// Every slot the stand-in does not implement. It never returns, so its
// empty parameter list does no harm to the caller's stack.
[[noreturn]] static void JNICALL unimplemented()
{
    fail_loudly("stand-in JVM: a JNI function that it does not implement was called");
}

// Filled by field name, so the layout is jni.h's; the reserved slots stay null.
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

std::atomic<int> live_threads(0);
thread_local JavaThread* current_thread = nullptr;

JavaThread* new_java_thread(const std::string& name)
{
    JavaThread* thread = new JavaThread();
    thread->env.functions = &env_table;
    thread->name = name;
    ++live_threads;
    return thread;
}

void end_current_thread()
{
    if (current_thread == nullptr)
        return;
    current_thread = nullptr;
    --live_threads;
}

JavaThread* thread_of(JNIEnv* env, const char* function)
{
    if (env == nullptr || reinterpret_cast<JavaThread*>(env) != current_thread)
        fail_loudly(std::string("stand-in JVM: ") + function +
                    " called with a JNIEnv that is not the calling thread's own");
    return reinterpret_cast<JavaThread*>(env);
}
