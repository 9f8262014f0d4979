// java.lang.System: setProperty, System.out and System.err, and System.exit.
#include <windows.h>

#include "invocation.h"
#include "java_methods.h"
#include "record.h"

// The current System.out and System.err (a null stream prints nothing, as
// far as the stand-in is concerned). Set by start_system when the JVM is
// created, changed by setOut and setErr from any thread; guarded by
// system_lock.
static SRWLOCK system_lock = SRWLOCK_INIT;
static Object* system_out = nullptr;
static Object* system_err = nullptr;

void start_system()
{
    Object* out = new_standard_print_stream(STD_OUTPUT_HANDLE);
    Object* err = new_standard_print_stream(STD_ERROR_HANDLE);
    AcquireSRWLockExclusive(&system_lock);
    system_out = out;
    system_err = err;
    ReleaseSRWLockExclusive(&system_lock);
}

Object* system_stream(bool error)
{
    AcquireSRWLockExclusive(&system_lock);
    Object* stream = error ? system_err : system_out;
    ReleaseSRWLockExclusive(&system_lock);
    return stream;
}

// setProperty(String, String) String: records "property <key>=<value>". No
// Java code of the stand-in reads a property, so none is kept, and the
// previous value is always null. A null or empty key or a null value, which
// Java refuses with an exception, is a launcher fault here.
void system_set_property(JavaThread*, const jvalue* args, jvalue* result)
{
    Object* key = object_of(args[0].l, kind_string, "System.setProperty");
    Object* value = object_of(args[1].l, kind_string, "System.setProperty");
    if (key == nullptr || key->text.empty() || value == nullptr)
        fail_loudly("stand-in JVM: System.setProperty got a null or empty key or a null value");
    record_event("property " + narrow(key->text) + "=" + narrow(value->text));
    result->l = nullptr;
}

static void set_stream(Object** stream, const jvalue* args, const char* function)
{
    Object* print = object_of(args[0].l, kind_print_stream, function);
    AcquireSRWLockExclusive(&system_lock);
    *stream = print;
    ReleaseSRWLockExclusive(&system_lock);
}

void system_set_out(JavaThread*, const jvalue* args, jvalue*)
{
    set_stream(&system_out, args, "System.setOut");
}

void system_set_err(JavaThread*, const jvalue* args, jvalue*)
{
    set_stream(&system_err, args, "System.setErr");
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

void exit_java(jint status)
{
    record_event("exit " + std::to_string(status));
    // The thread that called System.exit stays blocked until the process ends.
    HANDLE thread = CreateThread(nullptr, 0, vm_exit_thread, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(status)),
                                 0, nullptr);
    if (thread == nullptr)
        vm_exit_thread(reinterpret_cast<LPVOID>(static_cast<INT_PTR>(status)));
    WaitForSingleObject(thread, INFINITE);
    ExitProcess(static_cast<UINT>(status));
}

void system_exit(JavaThread*, const jvalue* args, jvalue*)
{
    exit_java(args[0].i);
}
