// The JNIEnv functions of the stand-in. Each one first checks that the env
// is the calling thread's own; a use that a real JVM leaves undefined (a
// null or mistyped reference, a call into Java with an exception pending)
// ends the process with fail_loudly instead of going on by luck.
#include <cstdarg>
#include <cstring>

#include "invocation.h"
#include "java_methods.h"
#include "jni_tables.h"
#include "objects.h"
#include "record.h"
#include "threads.h"

static const char main_signature[] = "([Ljava/lang/String;)V";
// More parameters than any method of the class world has.
static const int max_parameters = 8;

// The Method behind a method ID; ends the process for an ID the stand-in did not hand out.
static const Method* method_of(jmethodID id, const char* function)
{
    const Method* method = reinterpret_cast<const Method*>(id);
    if (method == nullptr || owner_of(method) == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got an invalid method ID");
    return method;
}

// The class behind a class reference, which must not be null.
static const ClassInfo* class_of(jclass clazz, const char* function)
{
    Object* klass = object_of(clazz, kind_class, function);
    if (klass == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a null class");
    return klass->klass;
}

// The array behind an array reference, which must not be null.
static Object* array_of(jarray array, const char* function)
{
    Object* object = object_of(array, kind_array, function);
    if (object == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a null array");
    return object;
}

// The string behind a string reference, which must not be null.
static Object* string_of(jstring string, const char* function)
{
    Object* object = object_of(string, kind_string, function);
    if (object == nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a null string");
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

// Reads a method's arguments from a va_list, in signature order, with the
// C promotions a variable argument list applies.
static void read_arguments(const Method* method, va_list list, jvalue* args)
{
    int count = 0;
    for (const char* p = method->signature + 1; *p != ')' && *p != '\0'; p = skip_type(p)) {
        if (count == max_parameters)
            fail_loudly(std::string("stand-in JVM: too many parameters in ") + method->signature);
        jvalue& arg = args[count++];
        switch (*p) {
        case 'Z': arg.z = static_cast<jboolean>(va_arg(list, int)); break;
        case 'B': arg.b = static_cast<jbyte>(va_arg(list, int)); break;
        case 'C': arg.c = static_cast<jchar>(va_arg(list, int)); break;
        case 'S': arg.s = static_cast<jshort>(va_arg(list, int)); break;
        case 'I': arg.i = va_arg(list, jint); break;
        case 'J': arg.j = va_arg(list, jlong); break;
        case 'F': arg.f = static_cast<jfloat>(va_arg(list, double)); break;
        case 'D': arg.d = va_arg(list, double); break;
        default: arg.l = va_arg(list, jobject); break;
        }
    }
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

// Runs a Java method on the thread; an exception it throws stays pending.
static jvalue invoke(JavaThread* thread, const Method* method, const jvalue* args, const char* function)
{
    if (thread->pending != nullptr)
        fail_loudly(std::string("stand-in JVM: ") + function + " called while an exception is pending");
    if (method->is_static && strcmp(method->name, "main") == 0 && strcmp(method->signature, main_signature) == 0)
        record_main_call(method, args);
    jvalue result;
    result.j = 0;
    const Method* caller = thread->running;
    thread->running = method;
    method->body(thread, args, &result);
    thread->running = caller;
    return result;
}

static jint JNICALL get_version(JNIEnv* env)
{
    thread_of(env, "GetVersion");
    return JNI_VERSION_10;
}

static jclass JNICALL find_class(JNIEnv* env, const char* name)
{
    JavaThread* thread = thread_of(env, "FindClass");
    const ClassInfo* klass = name != nullptr ? find_class_info(name) : nullptr;
    if (klass == nullptr) {
        throw_java(thread, "java/lang/NoClassDefFoundError", name != nullptr ? widen(name).c_str() : nullptr);
        return nullptr;
    }
    return reinterpret_cast<jclass>(class_object(klass));
}

static jthrowable JNICALL exception_occurred(JNIEnv* env)
{
    return reinterpret_cast<jthrowable>(thread_of(env, "ExceptionOccurred")->pending);
}

// Describes the pending exception and clears it, as HotSpot's
// ExceptionDescribe does.
static void JNICALL exception_describe(JNIEnv* env)
{
    JavaThread* thread = thread_of(env, "ExceptionDescribe");
    Object* exception = thread->pending;
    if (exception == nullptr)
        return;
    thread->pending = nullptr;
    std::wstring summary = widen(dotted(exception->klass->name));
    if (exception->has_message)
        summary += L": " + exception->text;
    record_event("describe " + narrow(summary));
    // As HotSpot does: the thread's part is the JVM's own diagnostic, the
    // rest is the exception's printStackTrace on the current System.err.
    vm_diagnostic(vm_hooks.vfprintf_hook, "Exception in thread \"%s\" ", thread->name.c_str());
    Object* err = system_stream(true);
    print_line(err, summary);
    if (!exception->frame.empty())
        print_line(err, L"\tat " + widen(exception->frame));
}

static void JNICALL exception_clear(JNIEnv* env)
{
    thread_of(env, "ExceptionClear")->pending = nullptr;
}

static jboolean JNICALL exception_check(JNIEnv* env)
{
    return thread_of(env, "ExceptionCheck")->pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

// Local references are plain object addresses that never go away, so the
// frame and deletion calls only need to accept what they are given.
static jint JNICALL push_local_frame(JNIEnv* env, jint capacity)
{
    JavaThread* thread = thread_of(env, "PushLocalFrame");
    if (capacity < 0) {
        throw_java(thread, "java/lang/OutOfMemoryError", L"Cannot create local frame");
        return JNI_ERR;
    }
    return JNI_OK;
}

static jobject JNICALL pop_local_frame(JNIEnv* env, jobject result)
{
    thread_of(env, "PopLocalFrame");
    return result;
}

static void JNICALL delete_local_ref(JNIEnv* env, jobject)
{
    thread_of(env, "DeleteLocalRef");
}

static jobject new_object_with(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args, const char* function)
{
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = class_of(clazz, function);
    const Method* method = method_of(id, function);
    if (strcmp(method->name, "<init>") != 0 || owner_of(method) != klass)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a method ID that is not a constructor of " +
                    dotted(klass->name));
    jvalue result = invoke(thread, method, args, function);
    return thread->pending != nullptr ? nullptr : result.l;
}

static jobject JNICALL new_object_a(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)
{
    return new_object_with(env, clazz, id, args, "NewObjectA");
}

static jobject JNICALL new_object_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    jvalue args[max_parameters];
    read_arguments(method_of(id, "NewObjectV"), list, args);
    return new_object_with(env, clazz, id, args, "NewObjectV");
}

static jobject JNICALL new_object(JNIEnv* env, jclass clazz, jmethodID id, ...)
{
    jvalue args[max_parameters];
    va_list list;
    va_start(list, id);
    read_arguments(method_of(id, "NewObject"), list, args);
    va_end(list);
    return new_object_with(env, clazz, id, args, "NewObject");
}

// Both lookups throw NoSuchMethodError when no method matches name,
// signature and static-ness, with HotSpot's message: "static " for a static
// lookup, then the class descriptor, a dot, the name and the signature.
static jmethodID look_up_method(JNIEnv* env, jclass clazz, const char* name, const char* signature,
                                bool is_static, const char* function)
{
    JavaThread* thread = thread_of(env, function);
    const ClassInfo* klass = class_of(clazz, function);
    const Method* method = nullptr;
    if (name != nullptr && signature != nullptr)
        method = find_method(klass, name, signature, is_static);
    if (method == nullptr) {
        std::string message = std::string(is_static ? "static " : "") + "L" + klass->name + ";." +
                              (name != nullptr ? name : "") + (signature != nullptr ? signature : "");
        throw_java(thread, "java/lang/NoSuchMethodError", widen(message).c_str());
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

static jvalue call_static(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args, const char* function)
{
    JavaThread* thread = thread_of(env, function);
    class_of(clazz, function);
    const Method* method = method_of(id, function);
    if (!method->is_static)
        fail_loudly(std::string("stand-in JVM: ") + function + " got the ID of an instance method");
    return invoke(thread, method, args, function);
}

static jobject JNICALL call_static_object_method_a(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)
{
    return call_static(env, clazz, id, args, "CallStaticObjectMethodA").l;
}

static jobject JNICALL call_static_object_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    jvalue args[max_parameters];
    read_arguments(method_of(id, "CallStaticObjectMethodV"), list, args);
    return call_static(env, clazz, id, args, "CallStaticObjectMethodV").l;
}

static jobject JNICALL call_static_object_method(JNIEnv* env, jclass clazz, jmethodID id, ...)
{
    jvalue args[max_parameters];
    va_list list;
    va_start(list, id);
    read_arguments(method_of(id, "CallStaticObjectMethod"), list, args);
    va_end(list);
    return call_static(env, clazz, id, args, "CallStaticObjectMethod").l;
}

static void JNICALL call_static_void_method_a(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)
{
    call_static(env, clazz, id, args, "CallStaticVoidMethodA");
}

static void JNICALL call_static_void_method_v(JNIEnv* env, jclass clazz, jmethodID id, va_list list)
{
    jvalue args[max_parameters];
    read_arguments(method_of(id, "CallStaticVoidMethodV"), list, args);
    call_static(env, clazz, id, args, "CallStaticVoidMethodV");
}

static void JNICALL call_static_void_method(JNIEnv* env, jclass clazz, jmethodID id, ...)
{
    jvalue args[max_parameters];
    va_list list;
    va_start(list, id);
    read_arguments(method_of(id, "CallStaticVoidMethod"), list, args);
    va_end(list);
    call_static(env, clazz, id, args, "CallStaticVoidMethod");
}

static jstring JNICALL new_java_string(JNIEnv* env, const jchar* unicode, jsize length)
{
    thread_of(env, "NewString");
    if (length < 0 || (unicode == nullptr && length > 0))
        fail_loudly("stand-in JVM: NewString got a negative length or no characters");
    std::wstring text(reinterpret_cast<const wchar_t*>(unicode), static_cast<size_t>(length));
    return reinterpret_cast<jstring>(new_string(text));
}

static jsize JNICALL get_string_length(JNIEnv* env, jstring string)
{
    thread_of(env, "GetStringLength");
    return static_cast<jsize>(string_of(string, "GetStringLength")->text.size());
}

// The modified UTF-8 of JNI: U+0000 as two bytes, and each half of a
// surrogate pair as a three-byte sequence of its own.
static std::string modified_utf8(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t unit : text) {
        unsigned u = static_cast<unsigned short>(unit);
        if (u != 0 && u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return bytes;
}

static jsize JNICALL get_string_utf_length(JNIEnv* env, jstring string)
{
    thread_of(env, "GetStringUTFLength");
    return static_cast<jsize>(modified_utf8(string_of(string, "GetStringUTFLength")->text).size());
}

static const char* JNICALL get_string_utf_chars(JNIEnv* env, jstring string, jboolean* is_copy)
{
    thread_of(env, "GetStringUTFChars");
    std::string bytes = modified_utf8(string_of(string, "GetStringUTFChars")->text);
    char* copy = new char[bytes.size() + 1];
    memcpy(copy, bytes.c_str(), bytes.size() + 1);
    if (is_copy != nullptr)
        *is_copy = JNI_TRUE;
    return copy;
}

static void JNICALL release_string_utf_chars(JNIEnv* env, jstring, const char* chars)
{
    thread_of(env, "ReleaseStringUTFChars");
    delete[] chars;
}

static jsize JNICALL get_array_length(JNIEnv* env, jarray array)
{
    thread_of(env, "GetArrayLength");
    return static_cast<jsize>(array_of(array, "GetArrayLength")->elements.size());
}

// More elements than a test would ever ask for: refused as the heap would refuse it.
static const jsize max_array_length = 1 << 24;

static jobjectArray JNICALL new_object_array(JNIEnv* env, jsize length, jclass element_class, jobject initial)
{
    JavaThread* thread = thread_of(env, "NewObjectArray");
    class_of(element_class, "NewObjectArray");
    if (length < 0) {
        throw_java(thread, "java/lang/NegativeArraySizeException", std::to_wstring(length).c_str());
        return nullptr;
    }
    if (length > max_array_length) {
        throw_java(thread, "java/lang/OutOfMemoryError", L"Java heap space");
        return nullptr;
    }
    Object* array = new_object(kind_array, "java/lang/Object");
    array->elements.assign(static_cast<size_t>(length), reinterpret_cast<Object*>(initial));
    return reinterpret_cast<jobjectArray>(array);
}

// True when the index is inside the array; else ArrayIndexOutOfBoundsException
// is pending, with the message Java gives it.
static bool index_is_valid(JavaThread* thread, Object* array, jsize index)
{
    if (index >= 0 && static_cast<size_t>(index) < array->elements.size())
        return true;
    std::wstring message = L"Index " + std::to_wstring(index) + L" out of bounds for length " +
                           std::to_wstring(array->elements.size());
    throw_java(thread, "java/lang/ArrayIndexOutOfBoundsException", message.c_str());
    return false;
}

static jobject JNICALL get_object_array_element(JNIEnv* env, jobjectArray array, jsize index)
{
    JavaThread* thread = thread_of(env, "GetObjectArrayElement");
    Object* object = array_of(array, "GetObjectArrayElement");
    if (!index_is_valid(thread, object, index))
        return nullptr;
    return reinterpret_cast<jobject>(object->elements[static_cast<size_t>(index)]);
}

static void JNICALL set_object_array_element(JNIEnv* env, jobjectArray array, jsize index, jobject value)
{
    JavaThread* thread = thread_of(env, "SetObjectArrayElement");
    Object* object = array_of(array, "SetObjectArrayElement");
    if (index_is_valid(thread, object, index))
        object->elements[static_cast<size_t>(index)] = reinterpret_cast<Object*>(value);
}

// The table is filled by field name, so its layout is jni.h's own.
static JNINativeInterface_ make_env_table()
{
    JNINativeInterface_ table = {};
    fill_with_unimplemented_stubs(&table);
    table.GetVersion = get_version;
    table.FindClass = find_class;
    table.ExceptionOccurred = exception_occurred;
    table.ExceptionDescribe = exception_describe;
    table.ExceptionClear = exception_clear;
    table.PushLocalFrame = push_local_frame;
    table.PopLocalFrame = pop_local_frame;
    table.DeleteLocalRef = delete_local_ref;
    table.NewObject = new_object;
    table.NewObjectV = new_object_v;
    table.NewObjectA = new_object_a;
    table.GetMethodID = get_method_id;
    table.GetStaticMethodID = get_static_method_id;
    table.CallStaticObjectMethod = call_static_object_method;
    table.CallStaticObjectMethodV = call_static_object_method_v;
    table.CallStaticObjectMethodA = call_static_object_method_a;
    table.CallStaticVoidMethod = call_static_void_method;
    table.CallStaticVoidMethodV = call_static_void_method_v;
    table.CallStaticVoidMethodA = call_static_void_method_a;
    table.NewString = new_java_string;
    table.GetStringLength = get_string_length;
    table.GetStringUTFLength = get_string_utf_length;
    table.GetStringUTFChars = get_string_utf_chars;
    table.ReleaseStringUTFChars = release_string_utf_chars;
    table.GetArrayLength = get_array_length;
    table.NewObjectArray = new_object_array;
    table.GetObjectArrayElement = get_object_array_element;
    table.SetObjectArrayElement = set_object_array_element;
    table.ExceptionCheck = exception_check;
    return table;
}

static const JNINativeInterface_ env_table = make_env_table();
const JNINativeInterface_* const env_functions = &env_table;

int first_empty_env_slot()
{
    // The table is a row of pointers: four reserved ones, then the functions.
    void* const* slots = reinterpret_cast<void* const*>(&env_table);
    int count = static_cast<int>(sizeof env_table / sizeof(void*));
    for (int i = 4; i < count; ++i)
        if (slots[i] == nullptr)
            return i;
    return -1;
}
