#include "objects.h"

#include "java_methods.h"
#include "record.h"
#include "threads.h"

static const char main_signature[] = "([Ljava/lang/String;)V";

// Every class the stand-in knows: the part of the Java library a launcher
// uses, the exceptions the stand-in throws, and the test main classes.
static const ClassInfo class_table[] = {
    {"java/lang/Object", {}},
    {"java/lang/String", {}},
    {"java/lang/System",
     {{"setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", true, system_set_property},
      {"setOut", "(Ljava/io/PrintStream;)V", true, system_set_out},
      {"setErr", "(Ljava/io/PrintStream;)V", true, system_set_err},
      {"exit", "(I)V", true, system_exit}}},
    {"java/io/FileOutputStream", {{"<init>", "(Ljava/lang/String;Z)V", false, file_output_stream_init}}},
    {"java/io/PrintStream", {{"<init>", "(Ljava/io/OutputStream;)V", false, print_stream_init}}},
    {"java/lang/IllegalStateException", {}},
    {"java/lang/NoClassDefFoundError", {}},
    {"java/lang/NoSuchMethodError", {}},
    {"java/io/FileNotFoundException", {}},
    {"orvane/demo/Hello", {{"main", main_signature, true, hello_main}}},
    {"orvane/standin/Print", {{"main", main_signature, true, print_main}}},
    {"orvane/standin/Wait", {{"main", main_signature, true, wait_main}}},
    // A name that value 1012 can hold scrambled.
    {"orvane/standin/Tarry", {{"main", main_signature, true, tarry_main}}},
    {"orvane/standin/NoMain", {}},
    {"orvane/standin/Signal", {{"main", main_signature, true, signal_main}}},
    {"orvane/standin/Window", {{"main", main_signature, true, window_main}}},
    {"orvane/standin/Console", {{"main", main_signature, true, console_main}}},
    {"orvane/standin/Script", {{"main", main_signature, true, script_main}}},
};

static const int class_count = sizeof class_table / sizeof class_table[0];
static const int methods_per_class = sizeof class_table[0].methods / sizeof class_table[0].methods[0];

// The class objects, one per entry of class_table; filled by the first
// call of class_object and never changed afterwards.
static Object class_objects[class_count];
static INIT_ONCE class_objects_made = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK make_class_objects(INIT_ONCE*, void*, void**)
{
    for (int i = 0; i < class_count; ++i) {
        class_objects[i].kind = kind_class;
        class_objects[i].klass = &class_table[i];
    }
    return TRUE;
}

const ClassInfo* find_class_info(const char* name)
{
    for (const ClassInfo& klass : class_table)
        if (strcmp(klass.name, name) == 0)
            return &klass;
    return nullptr;
}

Object* class_object(const ClassInfo* klass)
{
    InitOnceExecuteOnce(&class_objects_made, make_class_objects, nullptr, nullptr);
    return &class_objects[klass - class_table];
}

const Method* find_method(const ClassInfo* klass, const char* name, const char* signature, bool is_static)
{
    for (const Method& method : klass->methods) {
        if (method.name == nullptr)
            break;
        if (strcmp(method.name, name) == 0 && strcmp(method.signature, signature) == 0 &&
            method.is_static == is_static)
            return &method;
    }
    return nullptr;
}

const ClassInfo* owner_of(const Method* method)
{
    for (const ClassInfo& klass : class_table)
        if (method >= klass.methods && method < klass.methods + methods_per_class)
            return &klass;
    return nullptr;
}

Object* new_object(ObjectKind kind, const char* class_name)
{
    const ClassInfo* klass = find_class_info(class_name);
    if (klass == nullptr)
        fail_loudly(std::string("stand-in JVM: no class ") + class_name + " to make an object of");
    Object* object = new Object();
    object->kind = kind;
    object->klass = klass;
    return object;
}

Object* new_string(const std::wstring& text)
{
    Object* string = new_object(kind_string, "java/lang/String");
    string->text = text;
    return string;
}

void throw_java(JavaThread* thread, const char* class_name, const std::wstring& message)
{
    Object* exception = new_object(kind_throwable, class_name);
    exception->text = message;
    thread->pending = exception;
}

Object* object_of(jobject reference, ObjectKind kind, const char* function)
{
    static const char* const kind_names[] = {"class", "java.lang.String", "array", "java.lang.Throwable",
                                             "java.io.FileOutputStream", "standard stream", "java.io.PrintStream"};
    Object* object = reinterpret_cast<Object*>(reference);
    if (object != nullptr && object->kind != kind)
        fail_loudly(std::string("stand-in JVM: ") + function + " needs a " + kind_names[kind] + " but got a " +
                    kind_names[object->kind]);
    return object;
}

std::wstring widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr,
                        nullptr);
    return bytes;
}

std::string dotted(const char* class_name)
{
    std::string name = class_name;
    for (char& c : name)
        if (c == '/')
            c = '.';
    return name;
}
