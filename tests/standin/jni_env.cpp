// The JNIEnv functions of the stand-in: those a launcher calls. Each one
// first checks that the env is the calling thread's own; a use that a real
// JVM leaves undefined (a null or mistyped reference, a call into Java with
// an exception pending) and every other function of the table end the
// process with fail_loudly instead of going on by luck.
#include <cstdarg>
#include <cstring>
#include <utility>

#include "invocation.h"
#include "java_methods.h"
#include "objects.h"
#include "record.h"
#include "threads.h"

static const char main_signature[] = "([Ljava/lang/String;)V";

// The Method behind a method ID; ends the process for an ID the stand-in did not hand out.
static const Method* method_of(jmethodID id, const char* function)
{
    const Method* method = reinterpret_cast<const Method*>(id);
    if (method == nullptr || owner_of(method) == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got an invalid method ID");
    return method;
}

// The Object behind a reference, which must not be null.
static Object* non_null(jobject reference, ObjectKind kind, const char* function)
{
    Object* object = object_of(reference, kind, function);
    if (object == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a null reference");
    return object;
}

// The position just behind the type signature that starts at p.
static const char* skip_type(const char* p)
{
    while (*p == '[')
        ++p;
    if (*p == 'L') {
        const char* end = strchr(p, ';');
        return end != nullptr ? end + 1 : p + strlen(p);
    }
    return *p != '\0' ? p + 1 : p;
}

// Writes "main <class> <argc>" and one "arg <i> <text>" per argument.
static void record_main_call(const Method* method, const jvalue* args)
{
    Object* array = object_of(args[0].l, kind_array, "main");
    size_t count = array != nullptr ? array->elements.size() : 0;
    record_event("main " + dotted(owner_of(method)->name) + " " + std::to_string(count));
    for (size_t i = 0; i < count; ++i) {
        Object* element = object_of(reinterpret_cast<jobject>(array->elements[i]), kind_string, "main");
        record_event("arg " + std::to_string(i) + " " + (element != nullptr ? narrow(element->text) : "null"));
    }
}

// Runs the method an ID names, its arguments read from a va_list in
// signature order (the class world's methods take only references, int and
// boolean): a constructor of the class (NewObjectV) or a static method
// (CallStatic*MethodV). The variadic functions of jni.h's C++ JNIEnv call
// these. An exception the method throws stays pending.
static jvalue call_listed(JNIEnv* env, jclass clazz, jmethodID id, va_list list, bool constructor,
                          const char* function)
{
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = non_null(clazz, kind_class, function)->klass;
    const Method* method = method_of(id, function);
    if (constructor ? strcmp(method->name, "<init>") != 0 || owner_of(method) != klass : !method->is_static)
        fail_loudly(std::string("stand-in JVM: ") + function + " got the ID of " + method->name);
    if (thread->pending != nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " called while an exception is pending");
    jvalue args[4];
    int count = 0;
    for (const char* p = method->signature + 1; *p != ')'; p = skip_type(p)) {
        if (*p == 'Z')
            args[count++].z = static_cast<jboolean>(va_arg(list, int));
        else if (*p == 'I')
            args[count++].i = va_arg(list, jint);
        else
            args[count++].l = va_arg(list, jobject);
    }
    if (method->is_static && strcmp(method->name, "main") == 0 && strcmp(method->signature, main_signature) == 0)
        record_main_call(method, args);
    jvalue result;
    result.j = 0;
    method->body(thread, args, &result);
    return result;
}

static jobject JNICALL new_object_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    return call_listed(env, clazz, id, list, true, "NewObjectV").l;
}

static jobject JNICALL call_static_object_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    return call_listed(env, clazz, id, list, false, "CallStaticObjectMethodV").l;
}

static void JNICALL call_static_void_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    call_listed(env, clazz, id, list, false, "CallStaticVoidMethodV");
}

static jclass JNICALL find_class(JNIEnv* env, const char* name)
{
    JavaThread* thread = thread_of(env, "FindClass");
    const ClassInfo* klass = find_class_info(name);
    if (klass == nullptr) {
        throw_java(thread, "java/lang/NoClassDefFoundError", widen(name));
        return nullptr;
    }
    return reinterpret_cast<jclass>(class_object(klass));
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
    std::wstring summary = widen(dotted(exception->klass->name)) + L": " + exception->text;
    record_event("describe " + narrow(summary));
    vm_diagnostic(vm_hooks.vfprintf_hook, "Exception in thread \"%s\" ", thread->name.c_str());
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

// Throws NoSuchMethodError when no method matches name, signature and
// static-ness, with HotSpot's message: "static " for a static lookup, then
// the class descriptor, a dot, the name and the signature.
static jmethodID look_up_method(JNIEnv* env, jclass clazz, const char* name, const char* signature,
                                bool is_static, const char* function)
{
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = non_null(clazz, kind_class, function)->klass;
    const Method* method = find_method(klass, name, signature, is_static);
    if (method == nullptr) {
        std::string message = std::string(is_static ? "static " : "") + "L" + klass->name + ";." + name + signature;
        throw_java(thread, "java/lang/NoSuchMethodError", widen(message));
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(const_cast<Method*>(method));
}

static jmethodID JNICALL get_method_id(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    return look_up_method(env, clazz, name, signature, false, "GetMethodID");
}

static jmethodID JNICALL get_static_method_id(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    return look_up_method(env, clazz, name, signature, true, "GetStaticMethodID");
}

static jstring JNICALL new_java_string(JNIEnv* env, const jchar* unicode, jsize length)
{
    thread_of(env, "NewString");
    if (length < 0 || (unicode == nullptr && length > 0))
        fail_loudly("stand-in JVM: NewString got a negative length or no characters");
    std::wstring text(reinterpret_cast<const wchar_t*>(unicode), static_cast<size_t>(length));
    return reinterpret_cast<jstring>(new_string(text));
}

static jobjectArray JNICALL new_object_array(JNIEnv* env, jsize length, jclass element_class, jobject initial)
{
    thread_of(env, "NewObjectArray");
    non_null(element_class, kind_class, "NewObjectArray");
    if (length < 0)
        fail_loudly("stand-in JVM: NewObjectArray got a negative length");
    Object* array = new_object(kind_array, "java/lang/Object");
    array->elements.assign(static_cast<size_t>(length), reinterpret_cast<Object*>(initial));
    return reinterpret_cast<jobjectArray>(array);
}

static void JNICALL set_object_array_element(JNIEnv* env, jobjectArray array, jsize index, jobject value)
{
    thread_of(env, "SetObjectArrayElement");
    Object* object = non_null(array, kind_array, "SetObjectArrayElement");
    if (index < 0 || static_cast<size_t>(index) >= object->elements.size())
        fail_loudly("stand-in JVM: SetObjectArrayElement got an index outside the array");
    object->elements[static_cast<size_t>(index)] = reinterpret_cast<Object*>(value);
}

// The function of every slot the stand-in does not implement: it names the
// slot's index in the table (four reserved slots, then the functions in
// jni.h's order) and ends the process. A stub never returns, so its empty
// parameter list does no harm to the caller's stack.
template <size_t Slot>
[[noreturn]] static void JNICALL unimplemented()
{
    fail_loudly("stand-in JVM: unimplemented JNI function in slot " + std::to_string(Slot) + " of the JNIEnv table");
}

// memcpy, since the table's slots are of many function pointer types.
template <size_t... Slots>
static void fill_with_stubs(JNINativeInterface_* table, std::index_sequence<Slots...>)
{
    typedef void(JNICALL * Stub)();
    Stub stubs[] = {unimplemented<Slots>...};
    memcpy(table, stubs, sizeof stubs);
}

// The table is filled by field name, so its layout is jni.h's own.
static JNINativeInterface_ make_env_table()
{
    JNINativeInterface_ table;
    fill_with_stubs(&table, std::make_index_sequence<sizeof table / sizeof(void*)>());
    table.reserved0 = table.reserved1 = table.reserved2 = table.reserved3 = nullptr;
    table.FindClass = find_class;
    table.ExceptionDescribe = exception_describe;
    table.ExceptionClear = exception_clear;
    table.DeleteLocalRef = delete_local_ref;
    table.NewObjectV = new_object_v;
    table.GetMethodID = get_method_id;
    table.GetStaticMethodID = get_static_method_id;
    table.CallStaticObjectMethodV = call_static_object_method_v;
    table.CallStaticVoidMethodV = call_static_void_method_v;
    table.NewString = new_java_string;
    table.NewObjectArray = new_object_array;
    table.SetObjectArrayElement = set_object_array_element;
    table.ExceptionCheck = exception_check;
    return table;
}

static const JNINativeInterface_ env_table = make_env_table();
const JNINativeInterface_* const env_functions = &env_table;
