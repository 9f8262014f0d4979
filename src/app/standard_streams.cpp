#include "app/standard_streams.h"

#include "app/capture_pipe.h"
#include "app/jni_calls.h"
#include "app/system_services.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/variable_expansion.h"
#include "ui/reporting.h"

// The prepared log paths (expanded, their directories created), kept for the
// life of the process; null for a stream that has no log file.
static char* stdout_log_path = nullptr;
static char* stderr_log_path = nullptr;

jobject open_print_stream(JNIEnv* env, const char* path, bool append)
{
    LocalRef<jstring> name(env, to_java_string(env, path));
    if (check_java_exception(env) || name.get() == nullptr) {
        report_error(message_text(message_instantiate), "java/lang/String");
        return nullptr;
    }
    LocalRef<jclass> file_class(env, env->FindClass("java/io/FileOutputStream"));
    if (check_java_exception(env) || file_class.get() == nullptr) {
        report_error(message_text(message_locate_class), "java/io/FileOutputStream");
        return nullptr;
    }
    jmethodID file_init = env->GetMethodID(file_class.get(), "<init>", "(Ljava/lang/String;Z)V");
    if (check_java_exception(env) || file_init == nullptr) {
        report_error(message_text(message_locate_method), "java/io/FileOutputStream(String, boolean)");
        return nullptr;
    }
    // A file that cannot be opened makes the constructor throw.
    LocalRef<jobject> file(env, env->NewObject(file_class.get(), file_init, name.get(),
                                               static_cast<jboolean>(append ? JNI_TRUE : JNI_FALSE)));
    if (check_java_exception(env) || file.get() == nullptr) {
        report_error(message_text(message_instantiate), "java/io/FileOutputStream");
        return nullptr;
    }
    LocalRef<jclass> print_class(env, env->FindClass("java/io/PrintStream"));
    if (check_java_exception(env) || print_class.get() == nullptr) {
        report_error(message_text(message_locate_class), "java/io/PrintStream");
        return nullptr;
    }
    jmethodID print_init = env->GetMethodID(print_class.get(), "<init>", "(Ljava/io/OutputStream;)V");
    if (check_java_exception(env) || print_init == nullptr) {
        report_error(message_text(message_locate_method), "java/io/PrintStream(java/io/OutputStream)");
        return nullptr;
    }
    jobject print = env->NewObject(print_class.get(), print_init, file.get());
    if (check_java_exception(env) || print == nullptr) {
        report_error(message_text(message_instantiate), "java/io/PrintStream");
        return nullptr;
    }
    return print;
}

bool set_standard_stream(JNIEnv* env, jclass system, jobject stream, const char* name)
{
    jmethodID method = env->GetStaticMethodID(system, name, "(Ljava/io/PrintStream;)V");
    if (check_java_exception(env) || method == nullptr) {
        report_error(message_text(message_locate_method), name);
        return false;
    }
    env->CallStaticVoidMethod(system, method, stream);
    if (check_java_exception(env)) {
        report_error(message_text(message_invoke_method), name);
        return false;
    }
    return true;
}

bool redirect_standard_streams(JNIEnv* env, const char* out_path, const char* out_method, bool out_append,
                               const char* err_path, const char* err_method, bool err_append)
{
    if (out_method == nullptr && err_method == nullptr)
        return true;
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    if (check_java_exception(env) || system.get() == nullptr) {
        report_error(message_text(message_locate_class), "java/lang/System");
        return false;
    }
    LocalRef<jobject> out_stream(env, out_method != nullptr ? open_print_stream(env, out_path, out_append) : nullptr);
    if (out_method != nullptr &&
        (out_stream.get() == nullptr || !set_standard_stream(env, system.get(), out_stream.get(), out_method)))
        return false;
    if (err_method == nullptr)
        return true;
    // Two streams on one file would each keep a position of their own and
    // overwrite each other's bytes: the same file, however spelt, gets one.
    if (out_stream.get() != nullptr && paths_name_same_file(out_path, err_path))
        return set_standard_stream(env, system.get(), out_stream.get(), err_method);
    LocalRef<jobject> err_stream(env, open_print_stream(env, err_path, err_append));
    return err_stream.get() != nullptr && set_standard_stream(env, system.get(), err_stream.get(), err_method);
}

bool set_up_standard_streams()
{
    LauncherConfig& c = launcher_config;
    JNIEnv* env = jvm_instance.env;
    if (c.show_console && c.stdout_mode == 0 && c.stderr_mode == 0 &&
        !redirect_standard_streams(env, "CONOUT$", "setOut", c.stdout_append, "CONOUT$", "setErr", c.stderr_append))
        return false;

    if (c.stdout_mode == 1)
        stdout_log_path = prepare_output_path(c.stdout_file);
    if (c.stderr_mode == 1)
        stderr_log_path = prepare_output_path(c.stderr_file);
    if (!redirect_standard_streams(env, stdout_log_path, c.stdout_mode == 1 ? "setOut" : nullptr, c.stdout_append,
                                   stderr_log_path, c.stderr_mode == 1 ? "setErr" : nullptr, c.stderr_append))
        return false;

    bool pipe = !non_nt_platform;
    if (pipe && (c.stdout_mode == 2 || c.stderr_mode == 2) && !create_capture_pipe()) {
        c.stdout_mode = 0;
        c.stderr_mode = 0;
    }
    const char* capture_path = pipe ? output_pipe_name : "CONOUT$";
    const char* out_method = c.stdout_mode == 2 ? "setOut" : nullptr;
    const char* err_method = c.stderr_mode == 2 ? "setErr" : nullptr;
    if (out_method == nullptr && err_method == nullptr)
        return true;
    // A capture that cannot be set up is simply off: nothing is shown.
    reporting_enabled = false;
    bool captured = redirect_standard_streams(env, capture_path, out_method, c.stdout_append, capture_path,
                                              err_method, c.stderr_append);
    reporting_enabled = true;
    // One instance, opened by the Java side just now: any other client
    // would get our output.
    if (captured && pipe && !capture_pipe_client_is_this_process())
        captured = false;
    if (!captured) {
        if (pipe)
            close_capture_pipe();
        c.stdout_mode = 0;
        c.stderr_mode = 0;
        return true;
    }
    return !pipe || start_pipe_reader();
}
