// The JNI invocation interface of the stand-in: its entry points and JavaVM.
#define _JNI_IMPLEMENTATION_   // jni.h then declares the entry points as exported
#include <cstdlib>
#include <cstring>

#include "standin.h"

// The one JVM a process can have; a failed creation leaves none.
enum VmState { vm_none, vm_created, vm_destroyed };
static std::atomic<VmState> vm_state(vm_none);

VmHooks vm_hooks = {nullptr, nullptr, nullptr};

// The JNI versions of JDK 17 (1.2 to 10) but 1.1.
static bool is_supported_version(jint version)
{
    return version >= JNI_VERSION_1_2 && version <= JNI_VERSION_10;
}

void vm_diagnostic(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    if (vm_hooks.vfprintf_hook != nullptr)
        vm_hooks.vfprintf_hook(stderr, format, arguments);
    else
        vfprintf(stderr, format, arguments);
    va_end(arguments);
}

void abort_vm()
{
    record_event("abort");
    if (vm_hooks.abort_hook != nullptr)
        vm_hooks.abort_hook();
    abort();
}

static bool starts_with(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// "-XX:StandinConsole=COLSxROWS": a console (unless the process has one)
// of that screen buffer size, as a launcher gives itself one outside the NT family.
static void make_console(const char* size)
{
    int columns = 0, rows = 0;
    sscanf(size, "%dx%d", &columns, &rows);
    AllocConsole();
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE ||
        !SetConsoleScreenBufferSize(console, COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)}))
        fail_loudly(std::string("stand-in JVM: no console of the size ") + size + ", error " +
                    std::to_string(GetLastError()));
    CloseHandle(console);
}

// Takes the options in array order into vm_hooks; -D and -X options have no
// effect but the console's. The first unknown option ends the creation with
// JNI_EINVAL, reported through a "vfprintf" hook only when one came earlier.
static jint apply_options(const JavaVMInitArgs* init)
{
    vm_hooks = VmHooks{nullptr, nullptr, nullptr};
    for (jint i = 0; i < init->nOptions; ++i) {
        const JavaVMOption& option = init->options[i];
        const char* text = option.optionString != nullptr ? option.optionString : "";
        if (strcmp(text, "vfprintf") == 0) {
            vm_hooks.vfprintf_hook = reinterpret_cast<jint(JNICALL*)(FILE*, const char*, va_list)>(option.extraInfo);
        } else if (strcmp(text, "abort") == 0) {
            vm_hooks.abort_hook = reinterpret_cast<void(JNICALL*)(void)>(option.extraInfo);
        } else if (strcmp(text, "exit") == 0) {
            vm_hooks.exit_hook = reinterpret_cast<void(JNICALL*)(jint)>(option.extraInfo);
        } else if (starts_with(text, "-XX:StandinConsole=")) {
            make_console(strchr(text, '=') + 1);
        } else if (!starts_with(text, "-D") && !starts_with(text, "-X")) {
            vm_diagnostic("Unrecognized option: %s\n", text);
            return JNI_EINVAL;
        }
    }
    return JNI_OK;
}

// Attaches the calling native thread unless it is attached (it then keeps
// its env and name); records "attach <name>" with the name asked for. The
// stand-in needs the arguments and a name, which the launcher always gives.
static jint JNICALL attach_current_thread(JavaVM*, void** penv, void* args)
{
    const JavaVMAttachArgs* attach = static_cast<const JavaVMAttachArgs*>(args);
    *penv = nullptr;
    if (vm_state != vm_created)
        return JNI_ERR;
    if (!is_supported_version(attach->version))
        return JNI_EVERSION;
    if (current_thread == nullptr)
        current_thread = new_java_thread(attach->name);
    record_event(std::string("attach ") + attach->name);
    *penv = &current_thread->env;
    return JNI_OK;
}

// Detaching a thread that is not attached does nothing and succeeds.
static jint JNICALL detach_current_thread(JavaVM*)
{
    if (vm_state != vm_created)
        return JNI_ERR;
    end_current_thread();
    return JNI_OK;
}

// Records "destroy" once every other Java thread has ended, as Java waits
// for its non-daemon threads (the stand-in has no daemon threads).
static jint JNICALL destroy_java_vm(JavaVM*)
{
    if (vm_state != vm_created)
        return JNI_ERR;
    while (live_threads > (current_thread != nullptr ? 1 : 0))
        Sleep(10);
    vm_state = vm_destroyed;
    record_event("destroy");
    return JNI_OK;
}

// The one JavaVM of the process; its table in jni.h's order, which JNI fixes.
static const JNIInvokeInterface_ vm_table = {nullptr, nullptr, nullptr, destroy_java_vm, attach_current_thread,
                                             detach_current_thread, nullptr, nullptr};
static JavaVM java_vm = {&vm_table};

// Records "create <count>" and one "option <index> <text>" per option
// before any is refused. Two options of the suite's own are read first: a
// record path for a process that does not inherit the test's environment
// (a service), and a pause that makes the creation slow.
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args)
{
    const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
    static const char record_option[] = "-Dorvane.standin.record=";
    static const char delay_option[] = "-Dorvane.standin.create.delay=";
    for (jint i = 0; i < init->nOptions; ++i) {
        const char* text = init->options[i].optionString != nullptr ? init->options[i].optionString : "";
        if (starts_with(text, record_option))
            SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", text + strlen(record_option));
        else if (starts_with(text, delay_option))
            Sleep(static_cast<DWORD>(atoi(text + strlen(delay_option))));
    }
    record_event("create " + std::to_string(init->nOptions));
    for (jint i = 0; i < init->nOptions; ++i) {
        const char* text = init->options[i].optionString;
        record_event("option " + std::to_string(i) + " " + (text != nullptr ? text : "(null)"));
    }
    if (vm_state != vm_none)
        fail_loudly("stand-in JVM: JNI_CreateJavaVM was called again after a JVM was created");
    *pvm = nullptr;
    *penv = nullptr;
    if (!is_supported_version(init->version))
        return JNI_EVERSION;
    jint result = apply_options(init);
    if (result != JNI_OK)
        return result;
    start_system();
    current_thread = new_java_thread("main");
    vm_state = vm_created;
    *pvm = &java_vm;
    *penv = &current_thread->env;
    return JNI_OK;
}

// A launcher needs this entry point but never calls it.
JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*)
{
    fail_loudly("stand-in JVM: JNI_GetDefaultJavaVMInitArgs was called");
}

// Records "load <current directory>": a launcher loads the JVM from within its directory.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char directory[MAX_PATH + 1] = "";
        GetCurrentDirectoryA(sizeof directory, directory);
        record_event(std::string("load ") + directory);
    }
    return TRUE;
}
