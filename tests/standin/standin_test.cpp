// The stand-in JVM driven through its exported entry points and its JNI
// tables, as the launcher drives a real runtime: what a caller sees in
// results, pending exceptions, stream files, exit codes and the record.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "standin_client.h"
#include "test_helpers.h"

namespace {

typedef std::vector<std::string> Lines;

std::string hook_output;

jint JNICALL capture_vfprintf(FILE*, const char* format, va_list arguments)
{
    char text[1024];
    int length = vsnprintf(text, sizeof text, format, arguments);
    hook_output += text;
    return length;
}

void JNICALL unexpected_abort(void)
{
    ADD_FAILURE() << "the abort hook was called";
}

void JNICALL unexpected_exit(jint status)
{
    ADD_FAILURE() << "the exit hook was called with " << status;
}

std::string current_directory()
{
    char directory[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    return directory;
}

} // namespace

TEST(JvmCreation, BothEntryPointsAreExportedByTheirPlainNames)
{
    StandinEntryPoints entry_points;
    ASSERT_TRUE(load_standin(&entry_points)) << standin_jvm_path() << ": error " << GetLastError();
    EXPECT_EQ(GetProcAddress(entry_points.module, "JNI_CreateJavaVM@12"), nullptr);
    JavaVMInitArgs args = {};
    args.version = JNI_VERSION_1_2;
    EXPECT_EQ(entry_points.get_default_args(&args), JNI_OK);
    args.version = JNI_VERSION_1_1;
    EXPECT_EQ(entry_points.get_default_args(&args), JNI_EVERSION);
}

TEST(JvmCreation, RecordsEveryOptionInArrayOrderAndTakesThePropertyOptions)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("options");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({{"-Xmx256m", nullptr},
                          {"-Dorvane.test=a b", nullptr},
                          {"-Djava.class.path=C:\\app\\a.jar;b.jar", nullptr},
                          {"-ea", nullptr},
                          {"vfprintf", reinterpret_cast<void*>(capture_vfprintf)},
                          {"abort", reinterpret_cast<void*>(unexpected_abort)},
                          {"exit", reinterpret_cast<void*>(unexpected_exit)}},
                         &vm, &env),
              JNI_OK);
    EXPECT_EQ(record_lines(record),
              (Lines{"load " + current_directory(), "create 7", "option 0 -Xmx256m", "option 1 -Dorvane.test=a b",
                     "option 2 -Djava.class.path=C:\\app\\a.jar;b.jar", "option 3 -ea", "option 4 vfprintf",
                     "option 5 abort", "option 6 exit", "created"}));
    EXPECT_EQ(text_of(env, get_property(env, L"orvane.test")), "a b");
    EXPECT_EQ(text_of(env, get_property(env, L"java.class.path")), "C:\\app\\a.jar;b.jar");
    EXPECT_EQ(text_of(env, get_property(env, L"java.version")), "17-standin");
    EXPECT_EQ(text_of(env, get_property(env, L"user.dir")), current_directory());
    EXPECT_EQ(text_of(env, get_property(env, L"orvane.absent")), "(null)");
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(hook_output, "");
}

TEST(JvmCreation, SetPropertyReturnsThePreviousValueAndIsRecorded)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("properties");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    EXPECT_EQ(text_of(env, set_property(env, L"orvane.key", L"one")), "(null)");
    EXPECT_EQ(text_of(env, set_property(env, L"orvane.key", L"two\nlines")), "one");
    EXPECT_EQ(text_of(env, get_property(env, L"orvane.key")), "two\nlines");
    jclass system = env->FindClass("java/lang/System");
    jmethodID set =
        env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    EXPECT_EQ(env->CallStaticObjectMethod(system, set, nullptr, java_string(env, L"v")), nullptr);
    EXPECT_TRUE(env->ExceptionCheck()) << "a null key throws";
    env->ExceptionDescribe();
    EXPECT_EQ(record_from(record, "property orvane.key=one"),
              (Lines{"property orvane.key=one", "property orvane.key=two\\nlines", "property null=v",
                     "describe java.lang.NullPointerException: key can't be null"}));
}

TEST(JvmCreation, UnknownOptionAfterTheHookIsReportedThroughTheHook)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("unknown_after");
    std::string err = temporary_file("unknown_after.err");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint result;
    {
        StderrToFile redirect(err);
        result = create_jvm({{"vfprintf", reinterpret_cast<void*>(capture_vfprintf)}, {"-bogus", nullptr}}, &vm,
                            &env);
    }
    EXPECT_EQ(result, JNI_EINVAL);
    EXPECT_EQ(vm, nullptr);
    EXPECT_EQ(hook_output, "Unrecognized option: -bogus\n");
    EXPECT_EQ(file_text(err), "");
    EXPECT_EQ(record_lines(record), (Lines{"load " + current_directory(), "create 2", "option 0 vfprintf",
                                           "option 1 -bogus", "create failed -6"}));
}

TEST(JvmCreation, UnknownOptionBeforeTheHookGoesToStandardError)
{
    if (rerun_in_own_process())
        return;
    std::string err = temporary_file("unknown_before.err");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint result;
    {
        StderrToFile redirect(err);
        result = create_jvm({{"-bogus", nullptr}, {"vfprintf", reinterpret_cast<void*>(capture_vfprintf)}}, &vm,
                            &env);
    }
    EXPECT_EQ(result, JNI_EINVAL);
    EXPECT_EQ(hook_output, "");
    EXPECT_EQ(file_text(err), "Unrecognized option: -bogus\r\n");
}

TEST(JvmCreation, AFailedCreationMayBeRetriedButASecondJvmIsRefused)
{
    if (rerun_in_own_process())
        return;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    {
        StderrToFile redirect(temporary_file("retry.err"));
        EXPECT_EQ(create_jvm({{"--no-such-option", nullptr}}, &vm, &env), JNI_EINVAL);
    }
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    EXPECT_EQ(env->GetVersion(), JNI_VERSION_10);
    JavaVM* second_vm = nullptr;
    JNIEnv* second_env = nullptr;
    EXPECT_EQ(create_jvm({}, &second_vm, &second_env), JNI_EEXIST);
}

TEST(JvmExceptions, UnknownClassLeavesNoClassDefFoundErrorPendingUntilCleared)
{
    if (rerun_in_own_process())
        return;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    EXPECT_EQ(env->FindClass("orvane/Missing"), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());
    EXPECT_NE(env->ExceptionOccurred(), nullptr);
    EXPECT_TRUE(env->ExceptionCheck()) << "ExceptionOccurred leaves the exception pending";
    env->ExceptionClear();
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(env->ExceptionOccurred(), nullptr);
    EXPECT_NE(env->FindClass("java/lang/System"), nullptr);
    EXPECT_EQ(env->FindClass("java.lang.System"), nullptr) << "FindClass takes '/' separators only";
    EXPECT_TRUE(env->ExceptionCheck());
}

TEST(JvmExceptions, MethodLookupMatchesNameSignatureAndStaticness)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("lookup");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    jclass system = env->FindClass("java/lang/System");
    EXPECT_NE(env->GetStaticMethodID(system, "exit", "(I)V"), nullptr);
    EXPECT_EQ(env->GetStaticMethodID(system, "exit", "(J)V"), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionDescribe();
    EXPECT_FALSE(env->ExceptionCheck()) << "ExceptionDescribe clears the exception, as HotSpot's does";
    EXPECT_EQ(env->GetMethodID(system, "exit", "(I)V"), nullptr) << "exit is static";
    env->ExceptionDescribe();
    EXPECT_EQ(env->GetStaticMethodID(env->FindClass("orvane/standin/NoMain"), "main", "([Ljava/lang/String;)V"),
              nullptr);
    env->ExceptionDescribe();
    EXPECT_EQ(record_from(record, "describe java.lang.NoSuchMethodError: static Ljava/lang/System;.exit(J)V"),
              (Lines{"describe java.lang.NoSuchMethodError: static Ljava/lang/System;.exit(J)V",
                     "describe java.lang.NoSuchMethodError: Ljava/lang/System;.exit(I)V",
                     "describe java.lang.NoSuchMethodError: static Lorvane/standin/NoMain;.main([Ljava/lang/String;)V"}));
}

TEST(JvmExceptions, ArrayMisuseThrowsWhatJavaThrows)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("arrays");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    jclass string_class = env->FindClass("java/lang/String");
    EXPECT_EQ(env->NewObjectArray(-1, string_class, nullptr), nullptr);
    env->ExceptionDescribe();
    jobjectArray array = env->NewObjectArray(2, string_class, nullptr);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(env->GetArrayLength(array), 2);
    env->SetObjectArrayElement(array, 2, java_string(env, L"lost"));
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionDescribe();
    env->SetObjectArrayElement(array, 1, java_string(env, L"kept"));
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(env->GetObjectArrayElement(array, 0), nullptr);
    EXPECT_EQ(text_of(env, static_cast<jstring>(env->GetObjectArrayElement(array, 1))), "kept");
    EXPECT_EQ(record_from(record, "describe java.lang.NegativeArraySizeException: -1"),
              (Lines{"describe java.lang.NegativeArraySizeException: -1",
                     "describe java.lang.ArrayIndexOutOfBoundsException: Index 2 out of bounds for length 2"}));
}

TEST(JvmStreams, ExceptionDescribeWritesToTheStreamSetErrInstalled)
{
    if (rerun_in_own_process())
        return;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    std::string path = temporary_file("describe.err");
    jobject stream = open_print_stream(env, path, false);
    ASSERT_NE(stream, nullptr);
    set_standard_stream(env, "setErr", stream);
    EXPECT_EQ(env->FindClass("orvane/Missing"), nullptr);
    env->ExceptionDescribe();
    EXPECT_TRUE(call_main(env, "orvane/standin/Throw", {}));
    EXPECT_TRUE(env->ExceptionCheck()) << "the exception thrown out of main is pending";
    env->ExceptionDescribe();
    EXPECT_FALSE(env->ExceptionCheck());
    // The "Exception in thread" part is the JVM's own diagnostic (standard
    // error without a hook); the stream gets the exception's own lines.
    EXPECT_EQ(file_text(path), "java.lang.NoClassDefFoundError: orvane/Missing\r\n"
                               "java.lang.IllegalStateException: thrown by main\r\n"
                               "\tat orvane.standin.Throw.main(Throw.java)\r\n");
}

TEST(JvmStreams, FileOutputStreamAppendsOrTruncatesAndRefusesAMissingDirectory)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("file_streams");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    std::string out = temporary_file("streams.out");
    std::string err = temporary_file("streams.err");
    FILE* old = fopen(out.c_str(), "wb");
    ASSERT_NE(old, nullptr);
    fputs("old line\r\n", old);
    fclose(old);
    set_standard_stream(env, "setOut", open_print_stream(env, out, true));
    EXPECT_TRUE(call_main(env, "orvane/demo/Hello", {L"x y", L"caf\u00e9"}));
    EXPECT_EQ(file_text(out), "old line\r\nHello from orvane.demo.Hello\r\nargument 0: x y\r\nargument 1: caf\xe9\r\n");
    set_standard_stream(env, "setOut", open_print_stream(env, out, false));
    set_standard_stream(env, "setErr", open_print_stream(env, err, false));
    EXPECT_TRUE(call_main(env, "orvane/standin/Stderr", {}));
    EXPECT_EQ(file_text(out), "to stdout\r\n");
    EXPECT_EQ(file_text(err), "to stderr\r\n");
    std::string missing = temporary_file("no-such-directory") + "\\x.log";
    EXPECT_EQ(open_print_stream(env, missing, false), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionDescribe();
    Lines lines = record_from(record, "main orvane.demo.Hello 2");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
              (Lines{"main orvane.demo.Hello 2", "arg 0 x y", "arg 1 caf\xe9", "main orvane.standin.Stderr 0"}));
    EXPECT_EQ(lines[4].rfind("describe java.io.FileNotFoundException: " + missing + " (", 0), 0u) << lines[4];
}

TEST(JvmStreams, PrintShowsItsArgumentsAndTheLauncherProperties)
{
    if (rerun_in_own_process())
        return;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({{"-Djava.class.path=app.jar", nullptr}}, &vm, &env), JNI_OK);
    set_property(env, L"orvane.exe.path", L"C:\\app\\orvane.exe");
    set_property(env, L"orvane.appini.showconsole", L"false");
    std::string out = temporary_file("print.out");
    set_standard_stream(env, "setOut", open_print_stream(env, out, false));
    EXPECT_TRUE(call_main(env, "orvane/standin/Print", {L"one", L""}));
    EXPECT_EQ(file_text(out), "arg[0]=one\r\narg[1]=\r\nuser.dir=" + current_directory() +
                                  "\r\norvane.exe.path=C:\\app\\orvane.exe\r\n"
                                  "orvane.csidl.appdata is not set\r\norvane.csidl.local.appdata is not set\r\n"
                                  "orvane.csidl.personal is not set\r\norvane.extract.path is not set\r\n"
                                  "orvane.appini.showconsole=false\r\norvane.service.name is not set\r\n"
                                  "orvane.service.description is not set\r\norvane.service.starttype is not set\r\n"
                                  "java.class.path=app.jar\r\n");
}

namespace {

struct AttachedWork {
    JavaVM* vm;
    jint env_before;             // GetEnv before attaching
    jint attached;               // AttachCurrentThread
    JNIEnv* env;
    JNIEnv* env_again;           // a second AttachCurrentThread
    jboolean pending_at_start;   // ExceptionCheck right after attaching
    jint env_after;              // GetEnv after detaching
};

DWORD WINAPI attached_thread(void* parameter)
{
    AttachedWork* work = static_cast<AttachedWork*>(parameter);
    void* env = nullptr;
    work->env_before = work->vm->GetEnv(&env, JNI_VERSION_1_2);
    JavaVMAttachArgs args = {JNI_VERSION_1_2, const_cast<char*>("Orvane worker"), nullptr};
    work->attached = work->vm->AttachCurrentThread(reinterpret_cast<void**>(&work->env), &args);
    if (work->attached != JNI_OK)
        return 1;
    work->vm->AttachCurrentThread(reinterpret_cast<void**>(&work->env_again), &args);
    work->pending_at_start = work->env->ExceptionCheck();
    work->env->FindClass("orvane/Missing");
    work->env->ExceptionDescribe();
    work->vm->DetachCurrentThread();
    work->env_after = work->vm->GetEnv(&env, JNI_VERSION_1_2);
    return 0;
}

DWORD WINAPI waiting_thread(void* parameter)
{
    JavaVM* vm = static_cast<JavaVM*>(parameter);
    JNIEnv* env = nullptr;
    JavaVMAttachArgs args = {JNI_VERSION_1_2, const_cast<char*>("Orvane waiter"), nullptr};
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &args) != JNI_OK)
        return 1;
    call_main(env, "orvane/standin/Wait", {});
    vm->DetachCurrentThread();
    return 0;
}

} // namespace

TEST(JvmThreads, AnAttachedThreadHasItsOwnEnvNameAndPendingException)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("attach");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    std::string err = temporary_file("attach.err");
    set_standard_stream(env, "setErr", open_print_stream(env, err, false));
    env->FindClass("orvane/AlsoMissing");
    AttachedWork work = {vm, 0, JNI_ERR, nullptr, nullptr, JNI_TRUE, 0};
    HANDLE thread = CreateThread(nullptr, 0, attached_thread, &work, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(work.env_before, JNI_EDETACHED);
    ASSERT_EQ(work.attached, JNI_OK);
    EXPECT_NE(work.env, env);
    EXPECT_EQ(work.env_again, work.env) << "an attached thread keeps its env";
    EXPECT_EQ(work.pending_at_start, JNI_FALSE) << "the main thread's exception is its own";
    EXPECT_TRUE(env->ExceptionCheck()) << "the worker's ExceptionDescribe left the main thread's exception alone";
    env->ExceptionClear();
    EXPECT_EQ(work.env_after, JNI_EDETACHED);
    JNIEnv* own = nullptr;
    EXPECT_EQ(vm->GetEnv(reinterpret_cast<void**>(&own), JNI_VERSION_1_2), JNI_OK);
    EXPECT_EQ(own, env);
    JavaVMAttachArgs args = {JNI_VERSION_1_2, const_cast<char*>("Orvane thread"), nullptr};
    EXPECT_EQ(vm->AttachCurrentThread(reinterpret_cast<void**>(&own), &args), JNI_OK);
    EXPECT_EQ(own, env) << "attaching the creating thread again gives its env";
    EXPECT_EQ(file_text(err), "java.lang.NoClassDefFoundError: orvane/Missing\r\n");
    EXPECT_EQ(record_from(record, "attach Orvane worker"),
              (Lines{"attach Orvane worker", "attach Orvane worker",
                     "describe java.lang.NoClassDefFoundError: orvane/Missing", "detach", "attach Orvane thread"}));
}

TEST(JvmThreads, DestroyJavaVMWaitsForTheThreadLingerStarted)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("linger");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    DWORD start = GetTickCount();
    EXPECT_TRUE(call_main(env, "orvane/standin/Linger", {L"500"}));
    EXPECT_LT(GetTickCount() - start, 400u) << "Linger's main returns at once";
    EXPECT_EQ(vm->DetachCurrentThread(), JNI_OK);
    EXPECT_EQ(vm->DestroyJavaVM(), JNI_OK);
    EXPECT_GE(GetTickCount() - start, 450u) << "DestroyJavaVM returned before the thread ended";
    EXPECT_EQ(record_from(record, "main orvane.standin.Linger 1"),
              (Lines{"main orvane.standin.Linger 1", "arg 0 500", "detach", "linger done", "destroy"}));
}

TEST(JvmThreads, WaitEndsWhenAnotherThreadCallsItWithStop)
{
    if (rerun_in_own_process())
        return;
    std::string record = start_record("wait");
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    HANDLE thread = CreateThread(nullptr, 0, waiting_thread, vm, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "Wait did not block";
    EXPECT_TRUE(call_main(env, "orvane/standin/Wait", {L"stop"}));
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(record_from(record, "arg 0 stop"), (Lines{"arg 0 stop", "wait ended", "detach"}));
}

TEST(JvmEnd, SystemExitEndsTheProcessThroughTheExitHook)
{
    std::string record = start_record("exit_hook");
    ChildOutcome child = run_program(child_command("exit-hook 5"));
    ASSERT_TRUE(child.finished) << child.err;
    EXPECT_EQ(child.exit_code, 5u) << child.err;
    EXPECT_EQ(child.out, "exit hook 5\r\n");
    EXPECT_EQ(record_from(record, "main orvane.standin.Exit 1"),
              (Lines{"main orvane.standin.Exit 1", "arg 0 5", "exit 5"}));
}

TEST(JvmEnd, WithoutAnExitHookSystemExitEndsTheProcessItself)
{
    std::string record = start_record("exit_plain");
    ChildOutcome child = run_program(child_command("exit 6"));
    ASSERT_TRUE(child.finished) << child.err;
    EXPECT_EQ(child.exit_code, 6u) << child.err;
    EXPECT_EQ(child.out, "");
    EXPECT_EQ(record_from(record, "exit 6"), (Lines{"exit 6"}));
}

TEST(JvmEnd, AbortCallsTheAbortHook)
{
    std::string record = start_record("abort");
    ChildOutcome child = run_program(child_command("abort-hook"));
    ASSERT_TRUE(child.finished) << child.err;
    EXPECT_EQ(child.exit_code, 42u) << child.err;
    EXPECT_EQ(child.out, "abort hook\r\n");
    EXPECT_EQ(record_from(record, "main orvane.standin.Abort 0"), (Lines{"main orvane.standin.Abort 0", "abort"}));
}

TEST(JvmTables, EveryFunctionSlotHoldsAFunctionOfItsOwn)
{
    if (rerun_in_own_process())
        return;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create_jvm({}, &vm, &env), JNI_OK);
    void* const* slots = reinterpret_cast<void* const*>(env->functions);
    size_t count = sizeof(JNINativeInterface_) / sizeof(void*);
    std::set<void*> functions;
    for (size_t i = 0; i < count; ++i) {
        if (i < 4) {
            EXPECT_EQ(slots[i], nullptr) << "reserved slot " << i;
        } else {
            EXPECT_NE(slots[i], nullptr) << "slot " << i;
            functions.insert(slots[i]);
        }
    }
    EXPECT_EQ(functions.size(), count - 4) << "two slots share a function";
    void* const* vm_slots = reinterpret_cast<void* const*>(vm->functions);
    for (size_t i = 3; i < sizeof(JNIInvokeInterface_) / sizeof(void*); ++i)
        EXPECT_NE(vm_slots[i], nullptr) << "JavaVM slot " << i;
}

TEST(JvmTables, AnUnimplementedFunctionEndsTheProcessNamingIt)
{
    std::string record = start_record("unimplemented");
    ChildOutcome child = run_program(child_command("unimplemented"));
    ASSERT_TRUE(child.finished) << child.err;
    EXPECT_EQ(child.exit_code, 70u);
    EXPECT_EQ(child.err, "stand-in JVM: unimplemented JNI function GetSuperclass\r\n");
    Lines lines = record_lines(record);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "stand-in JVM: unimplemented JNI function GetSuperclass");
}
