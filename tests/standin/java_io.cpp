// java.io.FileOutputStream and java.io.PrintStream: bytes written straight
// to a Win32 handle, as Java's unbuffered streams write them.
#include <windows.h>

#include "java_methods.h"
#include "record.h"

// Keeps the lines that different threads print whole; held while a line is written.
static SRWLOCK output_lock = SRWLOCK_INIT;

Object* new_standard_print_stream(DWORD standard_handle)
{
    Object* standard = new_object(kind_standard_stream, "java/io/FileOutputStream");
    standard->standard_handle = standard_handle;
    Object* print = new_object(kind_print_stream, "java/io/PrintStream");
    print->out = standard;
    return print;
}

// Writes all bytes to the handle under the stream. Write errors are
// dropped, as a PrintStream drops them.
static void write_bytes(Object* stream, const std::string& bytes)
{
    while (stream != nullptr && stream->kind == kind_print_stream)
        stream = stream->out;
    if (stream == nullptr)
        return;
    // The standard handle is looked up at each write: the launcher may set
    // up its console after the JVM exists.
    HANDLE handle = stream->kind == kind_file_stream ? stream->file : GetStdHandle(stream->standard_handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

void print_line(Object* print_stream, const std::wstring& text)
{
    if (print_stream == nullptr)
        return;
    std::string bytes = narrow(text) + "\r\n";
    AcquireSRWLockExclusive(&output_lock);
    write_bytes(print_stream, bytes);
    ReleaseSRWLockExclusive(&output_lock);
}

// Pipes ("\\.\pipe\...") and other devices, and the console, exist already
// and are opened as they are; only files are created or truncated.
static bool names_a_device(const std::string& path)
{
    return path.compare(0, 4, "\\\\.\\") == 0 || lstrcmpiA(path.c_str(), "CONOUT$") == 0;
}

// FileOutputStream(String name, boolean append): truncates the file, or
// appends to it; FileNotFoundException "<name> (error <code>)" when it
// cannot be opened.
void file_output_stream_init(JavaThread* thread, const jvalue* args, jvalue* result)
{
    Object* name = object_of(args[0].l, kind_string, "FileOutputStream(String, boolean)");
    if (name == nullptr)
        fail_loudly("stand-in JVM: FileOutputStream(String, boolean) got a null name");
    std::string path = narrow(name->text);
    DWORD access = GENERIC_WRITE;
    DWORD disposition = CREATE_ALWAYS;
    if (names_a_device(path)) {
        disposition = OPEN_EXISTING;
    } else if (args[1].z != JNI_FALSE) {
        access = FILE_APPEND_DATA;
        disposition = OPEN_ALWAYS;
    }
    HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::wstring message = name->text + L" (error " + std::to_wstring(GetLastError()) + L")";
        throw_java(thread, "java/io/FileNotFoundException", message);
        return;
    }
    Object* stream = new_object(kind_file_stream, "java/io/FileOutputStream");
    stream->file = file;
    result->l = reinterpret_cast<jobject>(stream);
}

// PrintStream(OutputStream out), without automatic flushing (the stand-in
// keeps no buffer, so there is nothing to flush).
void print_stream_init(JavaThread*, const jvalue* args, jvalue* result)
{
    Object* out = reinterpret_cast<Object*>(args[0].l);
    if (out == nullptr ||
        (out->kind != kind_file_stream && out->kind != kind_standard_stream && out->kind != kind_print_stream))
        fail_loudly("stand-in JVM: PrintStream(OutputStream) got an object that is not an OutputStream");
    Object* print = new_object(kind_print_stream, "java/io/PrintStream");
    print->out = out;
    result->l = reinterpret_cast<jobject>(print);
}
