#include "app/jni_calls.h"

#include <cstdlib>

#include "app/system_services.h"
#include "launcher/configuration.h"
#include "ui/reporting.h"

bool check_java_exception(JNIEnv* env)
{
    if (env->ExceptionCheck() != JNI_TRUE)
        return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

jstring to_java_string(JNIEnv* env, const char* text)
{
    size_t needed = ansi_to_utf16(text, nullptr, 0);
    if (needed == 0)
        return nullptr;
    jchar* units = static_cast<jchar*>(malloc(needed * sizeof(jchar)));
    if (units == nullptr)
        return nullptr;
    static_assert(sizeof(jchar) == sizeof(uint16_t), "jchar is a UTF-16 unit");
    jstring result = nullptr;
    if (ansi_to_utf16(text, reinterpret_cast<uint16_t*>(units), needed) == needed)
        result = env->NewString(units, static_cast<jsize>(needed - 1));
    free(units);
    return result;
}

bool set_system_property(JNIEnv* env, const char* key, const char* value)
{
    LocalRef<jstring> java_key(env, to_java_string(env, key));
    if (check_java_exception(env) || java_key.get() == nullptr) {
        report_error(message_text(message_instantiate), "java/lang/String");
        return false;
    }
    LocalRef<jstring> java_value(env, to_java_string(env, value));
    if (check_java_exception(env) || java_value.get() == nullptr) {
        report_error(message_text(message_instantiate), "java/lang/String");
        return false;
    }
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    if (check_java_exception(env) || system.get() == nullptr) {
        report_error(message_text(message_locate_class), "java/lang/System");
        return false;
    }
    jmethodID set_property = env->GetStaticMethodID(
        system.get(), "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    if (check_java_exception(env) || set_property == nullptr) {
        report_error(message_text(message_locate_method), "setProperty");
        return false;
    }
    // The previous value that setProperty returns is not needed.
    LocalRef<jobject> previous(
        env, env->CallStaticObjectMethod(system.get(), set_property, java_key.get(), java_value.get()));
    if (check_java_exception(env)) {
        report_error(message_text(message_invoke_method), "setProperty");
        return false;
    }
    return true;
}
