// The stand-in's class world: its classes and objects, and the part of
// java.lang.System and java.io a launcher uses.
#include <cstring>
#include <iterator>

#include "standin.h"

const char main_signature[] = "([Ljava/lang/String;)V";

// The current System.out and System.err: set by start_system when the JVM
// is created, by setOut and setErr from any thread; guarded by system_lock,
// which also keeps each printed line whole.
static SRWLOCK system_lock = SRWLOCK_INIT;
static Object* system_streams[2];  // System.out, System.err

// A PrintStream over a standard handle, which is looked up at each write:
// the launcher may set up its console after the JVM exists.
static Object* standard_print_stream(DWORD standard_handle)
{
    Object* print = new_object(kind_print_stream, "java/io/PrintStream");
    print->out = new_object(kind_file_stream, "java/io/FileOutputStream");
    print->out->standard_handle = standard_handle;
    return print;
}

void start_system()
{
    system_streams[0] = standard_print_stream(STD_OUTPUT_HANDLE);
    system_streams[1] = standard_print_stream(STD_ERROR_HANDLE);
}

Object* system_stream(bool error)
{
    AcquireSRWLockShared(&system_lock);
    Object* stream = system_streams[error];
    ReleaseSRWLockShared(&system_lock);
    return stream;
}

// Bytes go straight to the handle, as Java's unbuffered streams write them;
// a write error is dropped, as a PrintStream drops it.
void print_line(Object* print_stream, const std::string& text)
{
    Object* stream = print_stream;
    while (stream != nullptr && stream->kind == kind_print_stream)
        stream = stream->out;
    if (stream == nullptr)
        return;
    std::string bytes = text + "\r\n";
    DWORD written = 0;
    AcquireSRWLockExclusive(&system_lock);
    WriteFile(stream->file != nullptr ? stream->file : GetStdHandle(stream->standard_handle), bytes.data(),
              static_cast<DWORD>(bytes.size()), &written, nullptr);
    ReleaseSRWLockExclusive(&system_lock);
}

// setProperty(String, String) String: records "property <key>=<value>". No
// Java code of the stand-in reads a property, so none is kept, and the
// previous value is always null. A null or empty key or a null value, which
// Java refuses with an exception, is a launcher fault here.
static void system_set_property(JavaThread*, const jvalue* args, jvalue* result)
{
    Object* key = object_of(args[0].l, kind_string, "System.setProperty");
    Object* value = object_of(args[1].l, kind_string, "System.setProperty");
    if (key == nullptr || key->text.empty() || value == nullptr)
        fail_loudly("stand-in JVM: System.setProperty got a null or empty key or a null value");
    record_event("property " + key->text + "=" + value->text);
    result->l = nullptr;
}

// System.setOut (error false) and System.setErr.
template <bool error>
static void system_set_stream(JavaThread*, const jvalue* args, jvalue*)
{
    Object* print = object_of(args[0].l, kind_print_stream, error ? "System.setErr" : "System.setOut");
    AcquireSRWLockExclusive(&system_lock);
    system_streams[error] = print;
    ReleaseSRWLockExclusive(&system_lock);
}

// The thread that ends the JVM, as HotSpot's VM thread does: it calls the
// exit hook, which normally ends the process itself; the JVM goes on to end
// it when the hook returns.
static DWORD WINAPI vm_exit_thread(LPVOID parameter)
{
    jint status = static_cast<jint>(reinterpret_cast<INT_PTR>(parameter));
    if (vm_hooks.exit_hook != nullptr)
        vm_hooks.exit_hook(status);
    ExitProcess(static_cast<UINT>(status));
}

// The thread that called System.exit stays blocked until the process ends.
void exit_java(jint status)
{
    record_event("exit " + std::to_string(status));
    HANDLE thread = CreateThread(nullptr, 0, vm_exit_thread, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(status)),
                                 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    ExitProcess(static_cast<UINT>(status));
}

static void system_exit(JavaThread*, const jvalue* args, jvalue*)
{
    exit_java(args[0].i);
}

// FileOutputStream(String name, boolean append): truncates the file, or
// appends to it; FileNotFoundException "<name> (error <code>)" when it
// cannot be opened. Pipes ("\\.\pipe\...") and other devices, and the
// console, exist already and are opened as they are.
static void file_output_stream_init(JavaThread* thread, const jvalue* args, jvalue* result)
{
    Object* name = object_of(args[0].l, kind_string, "FileOutputStream(String, boolean)", false);
    const std::string& path = name->text;
    bool device = path.compare(0, 4, "\\\\.\\") == 0 || lstrcmpiA(path.c_str(), "CONOUT$") == 0;
    bool append = !device && args[1].z != JNI_FALSE;
    HANDLE file = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              device ? OPEN_EXISTING : append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw_java(thread, "java/io/FileNotFoundException", path + " (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    Object* stream = new_object(kind_file_stream, "java/io/FileOutputStream");
    stream->file = file;
    result->l = reinterpret_cast<jobject>(stream);
}

// PrintStream(OutputStream out), without automatic flushing (the stand-in
// keeps no buffer, so there is nothing to flush).
static void print_stream_init(JavaThread*, const jvalue* args, jvalue* result)
{
    Object* out = reinterpret_cast<Object*>(args[0].l);
    if (out == nullptr || (out->kind != kind_file_stream && out->kind != kind_print_stream))
        fail_loudly("stand-in JVM: PrintStream(OutputStream) got an object that is not an OutputStream");
    Object* print = new_object(kind_print_stream, "java/io/PrintStream");
    print->out = out;
    result->l = reinterpret_cast<jobject>(print);
}

// Every class the stand-in knows: the part of the Java library a launcher
// uses, the exceptions the stand-in throws, and the test main classes.
static const ClassInfo class_table[] = {
    {"java/lang/Object", {}},
    {"java/lang/String", {}},
    {"java/lang/System",
     {{"setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", true, system_set_property},
      {"setOut", "(Ljava/io/PrintStream;)V", true, system_set_stream<false>},
      {"setErr", "(Ljava/io/PrintStream;)V", true, system_set_stream<true>},
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

static const size_t class_count = sizeof class_table / sizeof class_table[0];

// The class objects, one per entry of class_table, made when the DLL is loaded.
static Object* make_class_objects()
{
    static Object objects[class_count];
    for (size_t i = 0; i < class_count; ++i) {
        objects[i].kind = kind_class;
        objects[i].klass = &class_table[i];
    }
    return objects;
}

static Object* const class_objects = make_class_objects();

Object* find_class_object(const char* name)
{
    for (size_t i = 0; i < class_count; ++i)
        if (strcmp(class_table[i].name, name) == 0)
            return &class_objects[i];
    return nullptr;
}

const Method* find_method(const ClassInfo* klass, const char* name, const char* signature, bool is_static)
{
    for (const Method& method : klass->methods)
        if (method.name != nullptr && strcmp(method.name, name) == 0 && strcmp(method.signature, signature) == 0 &&
            method.is_static == is_static)
            return &method;
    return nullptr;
}

const ClassInfo* owner_of(const Method* method)
{
    for (const ClassInfo& klass : class_table)
        if (method >= klass.methods && method < std::end(klass.methods))
            return &klass;
    return nullptr;
}

Object* new_object(ObjectKind kind, const char* class_name)
{
    Object* object = new Object();
    object->kind = kind;
    object->klass = find_class_object(class_name)->klass;
    return object;
}

void throw_java(JavaThread* thread, const char* class_name, const std::string& message)
{
    thread->pending = new_object(kind_throwable, class_name);
    thread->pending->text = message;
}

Object* object_of(jobject reference, ObjectKind kind, const char* function, bool nullable)
{
    Object* object = reinterpret_cast<Object*>(reference);
    if (object == nullptr ? !nullable : object->kind != kind)
        fail_loudly(std::string("stand-in JVM: ") + function + " got a null reference or one of another kind");
    return object;
}

std::string dotted(const char* class_name)
{
    std::string name = class_name;
    for (char& c : name)
        c = c == '/' ? '.' : c;
    return name;
}
