// The JNI invocation interface of the stand-in: the exported entry points
// JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs and JNI_GetCreatedJavaVMs,
// and the JavaVM function table.
#define _JNI_IMPLEMENTATION_   // jni.h then declares the entry points as exported
#include <jni.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "invocation.h"
#include "java_methods.h"
#include "jni_tables.h"
#include "record.h"
#include "threads.h"

// The life of the one JVM a process can have: a failed creation leaves
// none, so creation may be tried again; a created or destroyed JVM stays.
// Guarded by vm_lock.
enum VmState { vm_none, vm_creating, vm_created, vm_destroyed };
static SRWLOCK vm_lock = SRWLOCK_INIT;
static VmState vm_state = vm_none;

VmHooks vm_hooks = {nullptr, nullptr, nullptr};

static VmState vm_state_now()
{
    AcquireSRWLockExclusive(&vm_lock);
    VmState state = vm_state;
    ReleaseSRWLockExclusive(&vm_lock);
    return state;
}

static void set_vm_state(VmState state)
{
    AcquireSRWLockExclusive(&vm_lock);
    vm_state = state;
    ReleaseSRWLockExclusive(&vm_lock);
}

// The JNI versions of JDK 17; version 1.1 only where old_one_too is true.
static bool is_supported_version(jint version, bool old_one_too)
{
    switch (version) {
    case JNI_VERSION_1_1: return old_one_too;
    case JNI_VERSION_1_2:
    case JNI_VERSION_1_4:
    case JNI_VERSION_1_6:
    case JNI_VERSION_1_8:
    case JNI_VERSION_9:
    case JNI_VERSION_10: return true;
    default: return false;
    }
}

// Prints a diagnostic of the JVM through the "vfprintf" hook when one is
// in effect, else on the process's standard error, where the C runtime's
// text mode turns each line feed into CR LF.
void vm_diagnostic(jint(JNICALL* hook)(FILE*, const char*, va_list), const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    if (hook != nullptr) {
        hook(stderr, format, arguments);
    } else {
        va_list measure;
        va_copy(measure, arguments);
        int length = vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
        vsnprintf(&text[0], text.size(), format, arguments);
        text.resize(text.size() - 1);
        std::string lines;
        for (char c : text)
            lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
        write_process_stderr(lines);
    }
    va_end(arguments);
}

static bool starts_with(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// "-XX:StandinConsole=COLSxROWS": the process gets a console (unless it has
// one) whose screen buffer has that size, as a launcher gives itself one
// outside the NT family.
static void make_console(const char* size)
{
    int columns = 0, rows = 0;
    if (sscanf(size, "%dx%d", &columns, &rows) != 2)
        fail_loudly("stand-in JVM: -XX:StandinConsole= takes COLSxROWS");
    AllocConsole();
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    COORD wanted = {static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    if (console == INVALID_HANDLE_VALUE || !SetConsoleScreenBufferSize(console, wanted))
        fail_loudly(std::string("stand-in JVM: no console of the size ") + size + ", error " +
                    std::to_string(GetLastError()));
    CloseHandle(console);
}

// An option the stand-in takes and does nothing with: every -X option, the
// -verbose options, and the assertion switches with or without ":<scope>".
static bool is_accepted_option(const char* text)
{
    static const char* const switches[] = {"-ea", "-da", "-esa", "-dsa", "-enableassertions",
                                           "-disableassertions", "-enablesystemassertions",
                                           "-disablesystemassertions"};
    if (starts_with(text, "-X") || starts_with(text, "-verbose"))
        return true;
    for (const char* name : switches) {
        size_t length = strlen(name);
        if (strncmp(text, name, length) == 0 && (text[length] == '\0' || text[length] == ':'))
            return true;
    }
    return false;
}

// Sets a property: a new value replaces the one the key had.
static void put_property(PropertyList* properties, const std::wstring& key, const std::wstring& value)
{
    for (auto& property : *properties) {
        if (property.first == key) {
            property.second = value;
            return;
        }
    }
    properties->emplace_back(key, value);
}

static PropertyList default_properties()
{
    char directory[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    PropertyList properties;
    properties.emplace_back(L"java.version", L"17-standin");
    properties.emplace_back(L"java.vendor", L"Orvane stand-in");
    properties.emplace_back(L"java.class.path", L"");
    properties.emplace_back(L"user.dir", widen(directory));
    properties.emplace_back(L"line.separator", L"\r\n");
    properties.emplace_back(L"file.separator", L"\\");
    properties.emplace_back(L"path.separator", L";");
    return properties;
}

// Takes the options in array order into hooks and properties. The option
// "-XX:StandinAbortAtCreation=<reason>" aborts the creation with that reason;
// "-XX:StandinConsole=COLSxROWS" gives the process a console;
// "-XX:StandinDiagnostics=N" prints N lines of diagnostics. The first
// unknown option is reported through the "vfprintf" hook only when that hook
// came earlier in the array, and ends the creation with JNI_EINVAL, as
// HotSpot does; with
// ignoreUnrecognized, options beginning with "_" are skipped instead (every
// "-X" option is known already).
static jint apply_options(const JavaVMInitArgs* init, VmHooks* hooks, PropertyList* properties)
{
    for (jint i = 0; i < init->nOptions; ++i) {
        const JavaVMOption& option = init->options[i];
        const char* text = option.optionString != nullptr ? option.optionString : "";
        if (starts_with(text, "-D")) {
            const char* equals = strchr(text + 2, '=');
            std::string name = equals != nullptr ? std::string(text + 2, equals) : std::string(text + 2);
            put_property(properties, widen(name), widen(equals != nullptr ? equals + 1 : ""));
        } else if (strcmp(text, "vfprintf") == 0) {
            hooks->vfprintf_hook = reinterpret_cast<jint(JNICALL*)(FILE*, const char*, va_list)>(option.extraInfo);
        } else if (strcmp(text, "abort") == 0) {
            hooks->abort_hook = reinterpret_cast<void(JNICALL*)(void)>(option.extraInfo);
        } else if (strcmp(text, "exit") == 0) {
            hooks->exit_hook = reinterpret_cast<void(JNICALL*)(jint)>(option.extraInfo);
        } else if (starts_with(text, "-XX:StandinDiagnostics=")) {
            // A JVM that says much while it starts, as -verbose does.
            for (int line = 1; line <= atoi(strchr(text, '=') + 1); ++line)
                vm_diagnostic(hooks->vfprintf_hook, "[%d.%03ds][info][startup] diagnostic line %d of the JVM\n",
                              line / 10, line % 10 * 100, line);
        } else if (starts_with(text, "-XX:StandinConsole=")) {
            make_console(strchr(text, '=') + 1);
        } else if (starts_with(text, "-XX:StandinAbortAtCreation=")) {
            // A JVM that fails fatally while it starts: its reason, then the abort hook.
            vm_diagnostic(hooks->vfprintf_hook, "Error occurred during initialization of VM\n%s\n",
                          strchr(text, '=') + 1);
            record_event("abort");
            if (hooks->abort_hook != nullptr)
                hooks->abort_hook();
            abort();
        } else if (is_accepted_option(text)) {
        } else if (init->ignoreUnrecognized && starts_with(text, "_")) {
        } else {
            vm_diagnostic(hooks->vfprintf_hook, "Unrecognized option: %s\n", text);
            return JNI_EINVAL;
        }
    }
    return JNI_OK;
}

// Attaches the calling native thread, or finds it attached already: then
// it keeps its env and its Java name. Records "attach <name>" with the name
// the caller asked for (the thread's own name when it asked for none), so
// the record shows what a launcher passed even for an attached thread.
static jint attach_thread(void** penv, void* args, bool daemon)
{
    if (penv == nullptr)
        return JNI_ERR;
    *penv = nullptr;
    if (vm_state_now() != vm_created)
        return JNI_ERR;
    const JavaVMAttachArgs* attach = static_cast<const JavaVMAttachArgs*>(args);
    if (attach != nullptr && !is_supported_version(attach->version, false))
        return JNI_EVERSION;
    std::string name = attach != nullptr && attach->name != nullptr ? attach->name : "";
    JavaThread* thread = current_thread();
    if (thread == nullptr)
        thread = register_java_thread(name, daemon, true);
    record_event("attach " + (name.empty() ? thread->name : name));
    *penv = &thread->env;
    return JNI_OK;
}

static jint JNICALL attach_current_thread(JavaVM*, void** penv, void* args)
{
    return attach_thread(penv, args, false);
}

static jint JNICALL attach_current_thread_as_daemon(JavaVM*, void** penv, void* args)
{
    return attach_thread(penv, args, true);
}

// Detaching a thread that is not attached does nothing and succeeds.
// Records "detach" either way.
static jint JNICALL detach_current_thread(JavaVM*)
{
    if (vm_state_now() != vm_created)
        return JNI_ERR;
    record_event("detach");
    JavaThread* thread = current_thread();
    if (thread != nullptr)
        end_java_thread(thread);
    return JNI_OK;
}

static jint JNICALL get_env(JavaVM*, void** penv, jint version)
{
    if (penv == nullptr)
        return JNI_ERR;
    *penv = nullptr;
    JavaThread* thread = vm_state_now() == vm_created ? current_thread() : nullptr;
    if (thread == nullptr)
        return JNI_EDETACHED;
    if (!is_supported_version(version, true))
        return JNI_EVERSION;
    *penv = &thread->env;
    return JNI_OK;
}

// Waits until every non-daemon Java thread but the caller has ended, as
// Java waits for them at the end of a program. Records "destroy" then.
static jint JNICALL destroy_java_vm(JavaVM*)
{
    if (vm_state_now() != vm_created)
        return JNI_ERR;
    wait_for_non_daemon_threads(current_thread());
    set_vm_state(vm_destroyed);
    record_event("destroy");
    return JNI_OK;
}

// The table is filled by field name, so its layout is jni.h's own.
static JNIInvokeInterface_ make_vm_table()
{
    JNIInvokeInterface_ table = {};
    table.DestroyJavaVM = destroy_java_vm;
    table.AttachCurrentThread = attach_current_thread;
    table.DetachCurrentThread = detach_current_thread;
    table.GetEnv = get_env;
    table.AttachCurrentThreadAsDaemon = attach_current_thread_as_daemon;
    return table;
}

static const JNIInvokeInterface_ vm_table = make_vm_table();
// The one JavaVM of the process.
static JavaVM java_vm = {&vm_table};

// Everything of JNI_CreateJavaVM but its record.
static jint create_java_vm(JavaVM** pvm, void** penv, const JavaVMInitArgs* init)
{
    int empty_slot = first_empty_env_slot();
    if (empty_slot >= 0)
        fail_loudly("stand-in JVM: slot " + std::to_string(empty_slot) + " of the JNIEnv table has no function");
    if (pvm == nullptr || penv == nullptr || init == nullptr || init->nOptions < 0 ||
        (init->nOptions > 0 && init->options == nullptr))
        return JNI_ERR;
    *pvm = nullptr;
    *penv = nullptr;
    if (!is_supported_version(init->version, false))
        return JNI_EVERSION;
    AcquireSRWLockExclusive(&vm_lock);
    bool first = vm_state == vm_none;
    if (first)
        vm_state = vm_creating;
    ReleaseSRWLockExclusive(&vm_lock);
    if (!first)
        return JNI_EEXIST; // as HotSpot refuses a second JVM

    VmHooks hooks = {nullptr, nullptr, nullptr};
    PropertyList properties = default_properties();
    jint result = apply_options(init, &hooks, &properties);
    if (result != JNI_OK) {
        set_vm_state(vm_none);
        return result;
    }
    vm_hooks = hooks;
    start_system(properties);
    JavaThread* main_thread = register_java_thread("main", false, true);
    set_vm_state(vm_created);
    *pvm = &java_vm;
    *penv = &main_thread->env;
    return JNI_OK;
}

// Records "create <count>" and one "option <index> <text>" per option on
// entry, before any option is refused, then "created" or
// "create failed <code>".
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args)
{
    const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
    jint count = init != nullptr && init->options != nullptr ? init->nOptions : 0;
    // Options of the suite's own, read first: a record path for a process
    // that does not inherit the test's environment (a service), and a pause
    // that makes the creation slow.
    static const char record_option[] = "-Dorvane.standin.record=";
    static const char delay_option[] = "-Dorvane.standin.create.delay=";
    for (jint i = 0; i < count; ++i) {
        const char* text = init->options[i].optionString != nullptr ? init->options[i].optionString : "";
        if (starts_with(text, record_option))
            set_record_path(text + strlen(record_option));
        else if (starts_with(text, delay_option))
            Sleep(static_cast<DWORD>(atoi(text + strlen(delay_option))));
    }
    record_event("create " + std::to_string(count));
    for (jint i = 0; i < count; ++i) {
        const char* text = init->options[i].optionString;
        record_event("option " + std::to_string(i) + " " + (text != nullptr ? text : "(null)"));
    }
    jint result = create_java_vm(pvm, penv, init);
    record_event(result == JNI_OK ? std::string("created") : "create failed " + std::to_string(result));
    return result;
}

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args)
{
    if (args == nullptr)
        return JNI_ERR;
    return is_supported_version(static_cast<JavaVMInitArgs*>(args)->version, false) ? JNI_OK : JNI_EVERSION;
}

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize length, jsize* count)
{
    bool exists = vm_state_now() == vm_created;
    if (exists && vms != nullptr && length > 0)
        vms[0] = &java_vm;
    if (count != nullptr)
        *count = exists ? 1 : 0;
    return JNI_OK;
}

// Records "load <current directory>" when the library is loaded: a
// launcher makes the runtime's directory current while it loads the JVM.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        init_threads();
        char directory[MAX_PATH + 1] = "";
        GetCurrentDirectoryA(sizeof directory, directory);
        record_event(std::string("load ") + directory);
    }
    return TRUE;
}
