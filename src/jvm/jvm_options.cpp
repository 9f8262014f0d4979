#include "jvm/jvm_instance.h"

#include <cstdlib>
#include <cstring>

#include "app/jvm_hooks.h"
#include "app/system_services.h"
#include "jvm/class_path.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/text_buffers.h"
#include "launcher/tokenizer.h"
#include "launcher/trace.h"
#include "launcher/variable_expansion.h"
#include "ui/reporting.h"

JvmInstance jvm_instance;
bool non_nt_platform = false;

// The option texts and the array live as long as the JVM, that is until the
// process ends.
static ArgVector jvm_option_tokens;
static JavaVMOption* jvm_option_array;

// The configured options followed by the quoted class-path option. The JVM
// takes relative class-path entries against its user.dir: when that is not
// the current directory (the executable's), they are made absolute here.
// False after the class-path scan reported a failure.
static bool compose_option_text(GrowString* text, bool other_user_dir)
{
    grow_string_append(text, launcher_config.jvm_options);
    if (launcher_config.class_path[0] == '\0')
        return true;
    GrowString class_path{};
    if (!build_class_path(&class_path))
        return false;
    char directory[current_directory_size];
    if (other_user_dir && class_path.length > 0 && current_directory(directory, sizeof directory))
        make_entries_absolute(&class_path, directory);
    if (class_path.length > 0) {
        // The quotes keep a class path with blanks one option; the tokenizer
        // removes them.
        grow_string_append(text, " \"-Djava.class.path=");
        grow_string_append(text, class_path.text);
        grow_string_append(text, "\"");
    }
    grow_string_free(&class_path);
    return true;
}

// From Java 11 on the JVM fixes the user.dir it is created with and resolves
// relative files against it, whatever the property says later, while
// relative opens go to the process's current directory. main moves to the
// working directory only after creation (until then relative class-path
// entries and library paths name files beside the executable), so the JVM is
// given that directory as its user.dir from the start. Null when main runs
// where the JVM is created.
static char* starting_user_dir_option(bool primary_main)
{
    char directory[current_directory_size];
    if (!primary_main || !main_working_directory(directory, sizeof directory))
        return nullptr;
    static const char prefix[] = "-Duser.dir=";
    size_t size = sizeof prefix + strlen(directory);
    char* option = static_cast<char*>(malloc(size));
    format_text(option, size, "%s%s", prefix, directory);
    return option;
}

bool resolve_jni_entry_points()
{
    jvm_instance.create_java_vm =
        reinterpret_cast<CreateJavaVmFunction>(find_symbol(jvm_instance.module, "JNI_CreateJavaVM"));
    jvm_instance.get_default_init_args = reinterpret_cast<DefaultInitArgsFunction>(
        find_symbol(jvm_instance.module, "JNI_GetDefaultJavaVMInitArgs"));
    if (jvm_instance.create_java_vm == nullptr || jvm_instance.get_default_init_args == nullptr) {
        report_error(message_text(message_no_jni_interfaces), jvm_instance.library_path);
        return false;
    }
    return true;
}

bool create_java_vm(bool primary_main)
{
    char* user_dir_option = starting_user_dir_option(primary_main);
    GrowString text{};
    if (!compose_option_text(&text, user_dir_option != nullptr)) {
        grow_string_free(&text);
        free(user_dir_option);
        return false;
    }
    char* expanded = expand_variables(text.text != nullptr ? text.text : "");
    grow_string_free(&text);
    launcher_config.jvm_options = expanded;

    tokenize_command_line(expanded, &jvm_option_tokens, false);
    // An unset variable or a doubled blank leaves an empty token, which the
    // JVM refuses as an unrecognized option.
    drop_empty_tokens(&jvm_option_tokens);
    // The user.dir option comes before the configured ones, so that one
    // configured still wins.
    int32_t first = user_dir_option != nullptr ? 1 : 0;
    int32_t count = first + jvm_option_tokens.count;
    jvm_option_array = static_cast<JavaVMOption*>(calloc(static_cast<size_t>(count) + 3, sizeof(JavaVMOption)));
    // The hooks come first: the JVM reads its options in order, and what it
    // says about a bad option must already go through the hook, since a
    // windowed process has no standard error to read.
    jvm_option_array[0].optionString = const_cast<char*>("vfprintf");
    jvm_option_array[0].extraInfo = reinterpret_cast<void*>(jvm_vfprintf_hook);
    jvm_option_array[1].optionString = const_cast<char*>("abort");
    jvm_option_array[1].extraInfo = reinterpret_cast<void*>(jvm_abort_hook);
    jvm_option_array[2].optionString = const_cast<char*>("exit");
    jvm_option_array[2].extraInfo = reinterpret_cast<void*>(jvm_exit_hook);
    if (user_dir_option != nullptr)
        jvm_option_array[3].optionString = user_dir_option;
    for (int32_t i = first; i < count; ++i)
        jvm_option_array[3 + i].optionString = jvm_option_tokens.items[i - first];

    for (int32_t i = 0; i < count; ++i)
        trace_line("JVM option %d: %s", static_cast<int>(i), jvm_option_array[3 + i].optionString);

    JavaVMInitArgs init_args{};
    init_args.version = JNI_VERSION_1_2;
    init_args.nOptions = count + 3;
    init_args.options = jvm_option_array;
    init_args.ignoreUnrecognized = JNI_FALSE;
    jint result = jvm_instance.create_java_vm(&jvm_instance.vm, reinterpret_cast<void**>(&jvm_instance.env),
                                              &init_args);
    if (result != JNI_OK) {
        report_jvm_failure_with_output(message_text(message_create_jvm), jvm_instance.library_path);
        return false;
    }
    return true;
}
