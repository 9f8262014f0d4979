#include "standin_client.h"
#include "wine_paths.h"

// Whether this process has tried to create its one JVM.
static bool creation_attempted = false;

std::string standin_jvm_path()
{
    return wine_path(STANDIN_JVM_PATH);
}

bool load_standin(StandinEntryPoints* entry_points)
{
    entry_points->module = LoadLibraryA(standin_jvm_path().c_str());
    if (entry_points->module == nullptr)
        return false;
    entry_points->create = reinterpret_cast<CreateJavaVMFunction>(
        reinterpret_cast<void*>(GetProcAddress(entry_points->module, "JNI_CreateJavaVM")));
    entry_points->get_default_args = reinterpret_cast<GetDefaultJavaVMInitArgsFunction>(
        reinterpret_cast<void*>(GetProcAddress(entry_points->module, "JNI_GetDefaultJavaVMInitArgs")));
    return entry_points->create != nullptr && entry_points->get_default_args != nullptr;
}

jint create_jvm(const std::vector<Option>& options, JavaVM** vm, JNIEnv** env)
{
    creation_attempted = true;
    StandinEntryPoints entry_points;
    if (!load_standin(&entry_points))
        return JNI_ERR;
    std::vector<JavaVMOption> array(options.size());
    for (size_t i = 0; i < options.size(); ++i) {
        array[i].optionString = const_cast<char*>(options[i].text.c_str());
        array[i].extraInfo = options[i].extra;
    }
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(array.size());
    args.options = array.empty() ? nullptr : array.data();
    args.ignoreUnrecognized = JNI_FALSE;
    return entry_points.create(vm, reinterpret_cast<void**>(env), &args);
}

bool jvm_creation_attempted()
{
    return creation_attempted;
}

jstring java_string(JNIEnv* env, const std::wstring& text)
{
    return env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

std::string text_of(JNIEnv* env, jstring string)
{
    if (string == nullptr)
        return "(null)";
    const char* chars = env->GetStringUTFChars(string, nullptr);
    std::string text = chars;
    env->ReleaseStringUTFChars(string, chars);
    return text;
}

bool call_main(JNIEnv* env, const char* class_name, const std::vector<std::wstring>& arguments)
{
    jclass klass = env->FindClass(class_name);
    if (klass == nullptr)
        return false;
    jmethodID main = env->GetStaticMethodID(klass, "main", "([Ljava/lang/String;)V");
    if (main == nullptr)
        return false;
    jobjectArray array =
        env->NewObjectArray(static_cast<jsize>(arguments.size()), env->FindClass("java/lang/String"), nullptr);
    for (size_t i = 0; i < arguments.size(); ++i)
        env->SetObjectArrayElement(array, static_cast<jsize>(i), java_string(env, arguments[i]));
    env->CallStaticVoidMethod(klass, main, array);
    return true;
}

jstring set_property(JNIEnv* env, const std::wstring& key, const std::wstring& value)
{
    jclass system = env->FindClass("java/lang/System");
    jmethodID method =
        env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    return static_cast<jstring>(
        env->CallStaticObjectMethod(system, method, java_string(env, key), java_string(env, value)));
}

jstring get_property(JNIEnv* env, const std::wstring& key)
{
    jclass system = env->FindClass("java/lang/System");
    jmethodID method = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    return static_cast<jstring>(env->CallStaticObjectMethod(system, method, java_string(env, key)));
}

jobject open_print_stream(JNIEnv* env, const std::string& path, bool append)
{
    jclass file_class = env->FindClass("java/io/FileOutputStream");
    jmethodID file_init = env->GetMethodID(file_class, "<init>", "(Ljava/lang/String;Z)V");
    std::wstring wide_path(path.begin(), path.end());
    jobject file = env->NewObject(file_class, file_init, java_string(env, wide_path),
                                  static_cast<jboolean>(append ? JNI_TRUE : JNI_FALSE));
    if (file == nullptr)
        return nullptr;
    jclass print_class = env->FindClass("java/io/PrintStream");
    jmethodID print_init = env->GetMethodID(print_class, "<init>", "(Ljava/io/OutputStream;)V");
    return env->NewObject(print_class, print_init, file);
}

void set_standard_stream(JNIEnv* env, const char* method, jobject stream)
{
    jclass system = env->FindClass("java/lang/System");
    env->CallStaticVoidMethod(system, env->GetStaticMethodID(system, method, "(Ljava/io/PrintStream;)V"), stream);
}
