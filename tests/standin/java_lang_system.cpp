// java.lang.System: the system properties, System.out and System.err, and
// System.exit.
#include <windows.h>

#include "invocation.h"
#include "java_methods.h"
#include "record.h"
#include "threads.h"

// The system properties and the current System.out and System.err (a null
// stream prints nothing, as far as the stand-in is concerned). Set by
// start_system when the JVM is created, changed by setProperty, setOut and
// setErr from any thread; guarded by system_lock.
static SRWLOCK system_lock = SRWLOCK_INIT;
static PropertyList properties;
static Object* system_out = nullptr;
static Object* system_err = nullptr;

void start_system(const PropertyList& initial)
{
    Object* out = new_standard_print_stream(STD_OUTPUT_HANDLE);
    Object* err = new_standard_print_stream(STD_ERROR_HANDLE);
    AcquireSRWLockExclusive(&system_lock);
    properties = initial;
    system_out = out;
    system_err = err;
    ReleaseSRWLockExclusive(&system_lock);
}

bool get_system_property(const std::wstring& key, std::wstring* value)
{
    bool found = false;
    AcquireSRWLockExclusive(&system_lock);
    for (const auto& property : properties) {
        if (property.first == key) {
            *value = property.second;
            found = true;
            break;
        }
    }
    ReleaseSRWLockExclusive(&system_lock);
    return found;
}

Object* system_stream(bool error)
{
    AcquireSRWLockExclusive(&system_lock);
    Object* stream = error ? system_err : system_out;
    ReleaseSRWLockExclusive(&system_lock);
    return stream;
}

// False, with the exception Java's System throws pending, for a key that
// Java refuses.
static bool key_is_valid(JavaThread* thread, Object* key)
{
    if (key == nullptr) {
        throw_java(thread, "java/lang/NullPointerException", L"key can't be null");
        return false;
    }
    if (key->text.empty()) {
        throw_java(thread, "java/lang/IllegalArgumentException", L"key can't be empty");
        return false;
    }
    return true;
}

// setProperty(String, String) String: the previous value, or null.
void system_set_property(JavaThread* thread, const jvalue* args, jvalue* result)
{
    Object* key = object_of(args[0].l, kind_string, "System.setProperty");
    Object* value = object_of(args[1].l, kind_string, "System.setProperty");
    record_event("property " + (key != nullptr ? narrow(key->text) : std::string("null")) + "=" +
                 (value != nullptr ? narrow(value->text) : std::string("null")));
    if (!key_is_valid(thread, key))
        return;
    if (value == nullptr) {
        // Properties is a hash table that takes no null value.
        throw_java(thread, "java/lang/NullPointerException", nullptr);
        return;
    }
    bool replaced = false;
    std::wstring previous;
    AcquireSRWLockExclusive(&system_lock);
    for (auto& property : properties) {
        if (property.first == key->text) {
            previous = property.second;
            property.second = value->text;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        properties.emplace_back(key->text, value->text);
    ReleaseSRWLockExclusive(&system_lock);
    result->l = replaced ? reinterpret_cast<jobject>(new_string(previous)) : nullptr;
}

// getProperty(String) String: the value, or null.
void system_get_property(JavaThread* thread, const jvalue* args, jvalue* result)
{
    Object* key = object_of(args[0].l, kind_string, "System.getProperty");
    if (!key_is_valid(thread, key))
        return;
    std::wstring value;
    result->l = get_system_property(key->text, &value) ? reinterpret_cast<jobject>(new_string(value)) : nullptr;
}

void system_set_out(JavaThread*, const jvalue* args, jvalue*)
{
    Object* stream = object_of(args[0].l, kind_print_stream, "System.setOut");
    AcquireSRWLockExclusive(&system_lock);
    system_out = stream;
    ReleaseSRWLockExclusive(&system_lock);
}

void system_set_err(JavaThread*, const jvalue* args, jvalue*)
{
    Object* stream = object_of(args[0].l, kind_print_stream, "System.setErr");
    AcquireSRWLockExclusive(&system_lock);
    system_err = stream;
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
