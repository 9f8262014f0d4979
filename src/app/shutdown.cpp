#include "app/shutdown.h"

#include <jni.h>

#include "app/jni_calls.h"
#include "app/system_services.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "ui/reporting.h"

void shutdown_jvm()
{
    JavaVM* vm = jvm_instance.vm;
    vm->DetachCurrentThread();
    vm->DestroyJavaVM();
    // The library stays loaded: the JVM's daemon threads may still run code
    // in it after DestroyJavaVM returned, and the process ends moments later.
}

bool request_java_exit()
{
    JNIEnv* env = nullptr;
    JavaVMAttachArgs attach_args{};
    attach_args.version = JNI_VERSION_1_2;
    attach_args.name = const_cast<char*>("Orvane stopper thread");
    attach_args.group = nullptr;
    JavaVM* vm = jvm_instance.vm;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &attach_args) != JNI_OK) {
        report_error(message_text(message_attach_thread));
        return false;
    }
    bool done = false;
    // Released as the thread detaches.
    jclass system = env->FindClass("java/lang/System");
    if (check_java_exception(env) || system == nullptr) {
        report_error(message_text(message_locate_class), "java/lang/System");
    } else {
        jmethodID exit_method = env->GetStaticMethodID(system, "exit", "(I)V");
        if (check_java_exception(env) || exit_method == nullptr) {
            report_error(message_text(message_locate_method), "exit(int)");
        } else {
            env->CallStaticVoidMethod(system, exit_method, static_cast<jint>(0));
            if (check_java_exception(env))
                report_error(message_text(message_invoke_method), "exit(int)");
            else
                done = true;
        }
    }
    vm->DetachCurrentThread();
    return done;
}
