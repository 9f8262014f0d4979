#include "app/main_invocation.h"

#include <jni.h>

#include <cstdlib>

#include "app/jni_calls.h"
#include "app/standard_streams.h"
#include "app/system_services.h"
#include "jvm/console.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/tokenizer.h"
#include "launcher/variable_expansion.h"
#include "ui/reporting.h"

namespace {

constexpr char main_signature[] = "([Ljava/lang/String;)V";
constexpr char main_description[] = "main(java/lang/String[])";

// Special folders given to the application, in this order.
struct FolderProperty {
    int folder;
    const char* property;
};
constexpr FolderProperty folder_properties[] = {
    {26, "orvane.csidl.appdata"},       // CSIDL_APPDATA
    {28, "orvane.csidl.local.appdata"}, // CSIDL_LOCAL_APPDATA
    {5, "orvane.csidl.personal"},       // CSIDL_PERSONAL
};

// The properties that tell the application where and how it was started.
// False after a reported failure.
bool set_launch_properties(JNIEnv* env)
{
    const LauncherConfig& c = launcher_config;
    char directory[current_directory_size];
    if (!current_directory(directory, sizeof directory)) {
        report_error_with_reason(message_text(message_file_access), "CURRENT_DIR");
        return false;
    }
    if (!set_system_property(env, "user.dir", directory))
        return false;
    char exe_path[current_directory_size];
    if (!executable_path(exe_path, sizeof exe_path)) {
        report_error_with_reason(message_text(message_file_access), "CURRENT_EXE");
        return false;
    }
    if (!set_system_property(env, "orvane.exe.path", exe_path))
        return false;
    for (const FolderProperty& entry : folder_properties) {
        char folder[path_size];
        if (special_folder_path(entry.folder, folder, sizeof folder) &&
            !set_system_property(env, entry.property, folder))
            return false;
    }
    // These two are informative: a failure is reported and the start goes on.
    if (extract_dir[0] != '\0')
        set_system_property(env, "orvane.extract.path", extract_dir);
    set_system_property(env, "orvane.appini.showconsole", c.show_console ? "true" : "false");
    if (service_mode) {
        if (!set_system_property(env, "orvane.service.name", c.service_name) ||
            !set_system_property(env, "orvane.service.description", c.service_description) ||
            !set_system_property(env, "orvane.service.starttype", c.service_manual_start ? "0" : "1"))
            return false;
    }
    return true;
}

// Tokenizes text and expands every token.
void expanded_tokens(const char* text, ArgVector* tokens)
{
    tokenize_command_line(text, tokens, false);
    for (int32_t i = 0; i < tokens->count; ++i) {
        char* expanded = expand_variables(tokens->items[i]);
        free(tokens->items[i]);
        tokens->items[i] = expanded;
    }
}

// Everything after the preparation of the thread: properties, class, method,
// arguments and the call of main. False after a reported failure.
bool invoke_main(JNIEnv* env, MainInvocation* invocation)
{
    const LauncherConfig& c = launcher_config;
    if (!set_launch_properties(env))
        return false;

    // Looked up again for every invocation.
    if (!resolve_jni_entry_points())
        return false;

    LocalRef<jclass> main_class(env, env->FindClass(c.main_class));
    if (check_java_exception(env) || main_class.get() == nullptr) {
        report_fatal_error_with_output(message_text(message_locate_class), c.main_class);
        return false;
    }
    jmethodID main_method = env->GetStaticMethodID(main_class.get(), "main", main_signature);
    if (check_java_exception(env) || main_method == nullptr) {
        report_fatal_error_with_output(message_text(message_locate_method), main_description);
        return false;
    }

    // Static options and default arguments are expanded; arguments the
    // caller passed are used as typed. All of them live until the process
    // ends.
    ArgVector static_args{};
    if (c.static_options[0] != '\0')
        expanded_tokens(c.static_options, &static_args);
    ArgVector& args = invocation->args;
    if (args.count == 0 && c.app_options[0] != '\0')
        expanded_tokens(c.app_options, &args);

    jsize length = static_cast<jsize>(static_args.count + args.count);
    // One check covers the class lookup and the array: without the class no
    // array is asked for.
    LocalRef<jclass> string_class(env, env->FindClass("java/lang/String"));
    LocalRef<jobjectArray> array(
        env, string_class.get() != nullptr ? env->NewObjectArray(length, string_class.get(), nullptr) : nullptr);
    if (check_java_exception(env) || array.get() == nullptr) {
        report_error(message_text(message_instantiate), "java/lang/String[]");
        return false;
    }
    for (jsize i = 0; i < length; ++i) {
        const char* text = i < static_args.count ? static_args.items[i] : args.items[i - static_args.count];
        // One reference per argument at a time, however many there are.
        LocalRef<jstring> value(env, to_java_string(env, text));
        if (check_java_exception(env) || value.get() == nullptr) {
            report_error(message_text(message_instantiate), "java/lang/String");
            return false;
        }
        env->SetObjectArrayElement(array.get(), i, value.get());
        if (check_java_exception(env)) {
            report_error(message_text(message_string_argument), text);
            return false;
        }
    }

    env->CallStaticVoidMethod(main_class.get(), main_method, array.get());
    if (check_java_exception(env)) {
        report_fatal_error_with_output(message_text(message_invoke_method), main_description);
        return false;
    }
    return true;
}

} // namespace

bool run_main_class(MainInvocation invocation)
{
    if (!invocation.secondary) {
        if (!launcher_config.chdir_before_jvm && !apply_working_directory(false))
            return false;
        if (service_mode || non_nt_platform)
            install_console_ctrl_handler();
        if (!set_up_standard_streams())
            return false;
        return invoke_main(jvm_instance.env, &invocation);
    }

    JNIEnv* env = nullptr;
    JavaVMAttachArgs attach_args{};
    attach_args.version = JNI_VERSION_1_2;
    attach_args.name = const_cast<char*>("Orvane thread");
    attach_args.group = nullptr;
    if (jvm_instance.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &attach_args) != JNI_OK) {
        report_error(message_text(message_attach_thread));
        return false;
    }
    bool returned = invoke_main(env, &invocation);
    jvm_instance.vm->DetachCurrentThread();
    return returned;
}
