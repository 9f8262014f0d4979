// The stand-in's class world: its classes and objects, and the part of
// java.lang.System and java.io a launcher uses.
#include <cstring>
#include <iterator>

#include "standin.h"

std::atomic<Object*> system_streams[2];
// Keeps each printed line whole.
static SRWLOCK print_lock = SRWLOCK_INIT;

// Each over its standard handle, looked up at each write: the launcher may
// set up its console after the JVM exists.
void start_system()
{
    for (int error = 0; error < 2; ++error) {
        Object* print = new_object(kind_print_stream, "java/io/PrintStream");
        print->out = new_object(kind_file_stream, "java/io/FileOutputStream");
        print->out->standard_handle = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
        system_streams[error] = print;
    }
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
    AcquireSRWLockExclusive(&print_lock);
    WriteFile(stream->file != nullptr ? stream->file : GetStdHandle(stream->standard_handle), bytes.data(),
              static_cast<DWORD>(bytes.size()), &written, nullptr);
    ReleaseSRWLockExclusive(&print_lock);
}

// setProperty(String, String) String: records "property <key>=<value>";
// nothing reads a property, so none is kept and the previous value is null.
// An empty key, which Java refuses with an exception, is a launcher fault here.
static void system_set_property(JavaThread*, const jvalue* args, jvalue* result)
{
    Object* key = object_of(args[0].l, kind_string, "System.setProperty", false);
    Object* value = object_of(args[1].l, kind_string, "System.setProperty", false);
    if (key->text.empty())
        fail_loudly("stand-in JVM: System.setProperty got an empty key");
    record_event("property " + key->text + "=" + value->text);
    result->l = nullptr;
}

// System.setOut (error false) and System.setErr.
template <bool error>
static void system_set_stream(JavaThread*, const jvalue* args, jvalue*)
{
    system_streams[error] = object_of(args[0].l, kind_print_stream, error ? "System.setErr" : "System.setOut");
}

// The thread that ends the JVM, as HotSpot's VM thread does: it calls the
// exit hook, and ends the process itself when the hook returns.
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
    LPVOID parameter = reinterpret_cast<LPVOID>(static_cast<INT_PTR>(status));
    WaitForSingleObject(CreateThread(nullptr, 0, vm_exit_thread, parameter, 0, nullptr), INFINITE);
    ExitProcess(static_cast<UINT>(status));
}

static void system_exit(JavaThread*, const jvalue* args, jvalue*)
{
    exit_java(args[0].i);
}

// FileOutputStream(String name, boolean append): FileNotFoundException
// "<name> (error <code>)" when it cannot be opened. Devices (pipes among
// them) and the console are opened as they are.
static void file_output_stream_init(JavaThread* thread, const jvalue* args, jvalue* result)
{
    const std::string& path = object_of(args[0].l, kind_string, "FileOutputStream(String, boolean)", false)->text;
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

// PrintStream(OutputStream out); the stand-in keeps no buffer to flush.
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
    {"orvane/standin/Signal", {{"main", main_signature, true, signal_main}}},
    {"orvane/standin/Window", {{"main", main_signature, true, window_main}}},
    {"orvane/standin/Console", {{"main", main_signature, true, console_main}}},
    {"orvane/standin/Script", {{"main", main_signature, true, script_main}}},
};

const ClassInfo* owner_of(const Method* method)
{
    for (const ClassInfo& klass : class_table)
        if (method >= klass.methods && method < std::end(klass.methods))
            return &klass;
    return nullptr;
}

Object* new_object(ObjectKind kind, const char* class_name)
{
    for (const ClassInfo& klass : class_table) {
        if (strcmp(klass.name, class_name) == 0) {
            Object* object = new Object();
            object->kind = kind;
            object->klass = &klass;
            return object;
        }
    }
    return nullptr;
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
