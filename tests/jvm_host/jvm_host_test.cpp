// The launcher's JNI call layer, main invocation and process ends against
// HotSpot; -Xcheck:jni makes HotSpot judge every JNI call the launcher makes,
// and its complaints arrive through the vfprintf hook.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/jni_calls.h"
#include "app/main_invocation.h"
#include "app/output_capture.h"
#include "app/shutdown.h"
#include "app/system_services.h"
#include "host_platform.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

namespace {

// ---- the session: the cases share the one JVM of their process --------------

const char session_options[] = "-Xmx64m -Djava.security.manager=allow -Xcheck:jni";

std::string creation_failure = "not attempted";

class JvmSession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (creation_failure != "not attempted")
            return;
        reset_launcher_config(session_options, "orvane/diff/Program");
        exit_hook_is_unexpected = true;
        creation_failure = create_host_jvm();
    }

    void SetUp() override
    {
        ASSERT_EQ(creation_failure, "") << "the JVM of this process could not be created";
        env = jvm_instance.env;
        reset_launcher_config("", "orvane/diff/Program");
        clear_layer_records();
        unavailable_folders.clear();
        captured_length = 0;
        // A case's local references go with it, as an attached thread's do.
        ASSERT_EQ(env->PushLocalFrame(32), JNI_OK);
    }

    void TearDown() override
    {
        if (env == nullptr)
            return;
        env->PopLocalFrame(nullptr);
        // HotSpot's JNI checker found nothing to complain about, and the
        // launcher reported nothing that the case did not read.
        EXPECT_EQ(captured().find("WARNING"), std::string::npos) << captured();
        EXPECT_TRUE(recorded_reports().empty()) << recorded_reports()[0];
    }

    static std::string captured()
    {
        return std::string(captured_output, static_cast<size_t>(captured_length));
    }

    JNIEnv* env = nullptr;
};

// The whole content of a file ("" when it cannot be read).
std::string file_text(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A static String method of a test class with one String argument (or none
// when argument is null); "<null>" for a null result, "<failed>" when the
// call could not be made.
std::string call_static_string(JNIEnv* env, const char* class_name, const char* method, const char* argument)
{
    const char* signature = argument != nullptr ? "(Ljava/lang/String;)Ljava/lang/String;" : "()Ljava/lang/String;";
    // The call's local references go with its frame.
    if (env->PushLocalFrame(4) != JNI_OK)
        return "<failed>";
    jclass type = env->FindClass(class_name);
    jmethodID id = type != nullptr ? env->GetStaticMethodID(type, method, signature) : nullptr;
    jstring java_argument = id != nullptr && argument != nullptr ? env->NewStringUTF(argument) : nullptr;
    bool ready = !env->ExceptionCheck() && id != nullptr && (argument == nullptr || java_argument != nullptr);
    jobject result = ready ? env->CallStaticObjectMethod(type, id, java_argument) : nullptr;
    const char* chars = nullptr;
    std::string text = "<failed>";
    if (!ready || env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    } else if (result == nullptr) {
        text = "<null>";
    } else if ((chars = env->GetStringUTFChars(static_cast<jstring>(result), nullptr)) != nullptr) {
        text = chars;
        env->ReleaseStringUTFChars(static_cast<jstring>(result), chars);
    }
    env->PopLocalFrame(nullptr);
    return text;
}

// ---- the ends of a process, in a child --------------------------------------

// A JVM is made once per process, so each ending runs this executable again
// as a child with --scenario=NAME, and the parent judges its status and
// output. The comparison with java proves that the teardown after main waits
// for the threads main left.

// One line of the child's standard output, at once.
void say(const std::string& line)
{
    dprintf(1, "child: %s\n", line.c_str());
}

// Creates the JVM for a scenario; on failure says why and ends with 90.
// Returns 92, for a creation that ought to fail.
int create_or_end(const char* options, const char* main_class)
{
    reset_launcher_config(options, main_class);
    record_fd = 1;
    std::string failure = create_host_jvm();
    if (!failure.empty()) {
        say(failure);
        _exit(90);
    }
    return 92;
}

// System.exit(3) from main; the exit hook must end the process.
int exit_from_main()
{
    create_or_end("-Xmx64m", "orvane/diff/Program");
    launcher_config.app_options = copy_text("exit 3");
    embedded_jar_count = 2;
    launcher_config.remove_extracted_jars_at_exit = true;
    run_main_class(MainInvocation{{0, nullptr}, false});
    say("run_main_class returned");
    return 91;
}

// ---- local references ------------------------------------------------------

// The local references that the launcher's JNI calls create and release on
// the thread that created the JVM, counted by interposing on its JNI function
// table as HotSpot's own checker does: the count is exact whatever the JDK
// update, where -Xcheck:jni's judgement of a leak depends on it. The launcher
// takes no local frames: a frame it popped would leave its references
// counted. A reference released after its thread detached never reaches the
// count: -Xcheck:jni ends the process for that use of the thread's JNIEnv.
const JNINativeInterface_* original = nullptr;
JNINativeInterface_ counted;
long live = 0;

// Whether the call came from the launcher's code in this executable. The
// JDK's own native methods, which Java code calls on the same thread, make
// references too, but the JVM releases those when the native method returns.
bool from_launcher(void* return_address)
{
    static void* const executable = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&from_launcher), &info);
        return info.dli_fbase;
    }();
    Dl_info info{};
    return dladdr(return_address, &info) != 0 && info.dli_fbase == executable;
}

template <typename T>
T made(T ref, void* caller)
{
    if (ref != nullptr && from_launcher(caller))
        ++live;
    return ref;
}

// Each function of the launcher's calls that returns a new local reference
// counts it; the varargs calls of JNIEnv's C++ members reach the V forms.
#define COUNT_FIXED(name, type, params, args) \
    type JNICALL name params { return made(original->name args, __builtin_return_address(0)); }

COUNT_FIXED(FindClass, jclass, (JNIEnv * e, const char* n), (e, n))
COUNT_FIXED(NewObjectV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(CallStaticObjectMethodV, jobject, (JNIEnv * e, jclass c, jmethodID m, va_list a), (e, c, m, a))
COUNT_FIXED(NewString, jstring, (JNIEnv * e, const jchar* u, jsize n), (e, u, n))
COUNT_FIXED(NewObjectArray, jobjectArray, (JNIEnv * e, jsize n, jclass c, jobject i), (e, n, c, i))

void JNICALL DeleteLocalRef(JNIEnv* e, jobject o)
{
    if (o != nullptr && from_launcher(__builtin_return_address(0)))
        --live;
    original->DeleteLocalRef(e, o);
}

// Every launcher property, static options and 500 arguments, for a primary
// and then a secondary invocation in a fresh JVM, on its creating thread,
// which has no frame of its own: the launcher must leave no local reference
// behind. As a second instance forwarding its arguments does, the secondary
// invocation attaches that thread again, which keeps its name; its detach at
// the end is for good, and the teardown copes with that.
int local_references()
{
    create_or_end("-Xmx64m -Xcheck:jni", "orvane/diff/Program");
    service_mode = true;
    launcher_config.service_name = copy_text("OrvaneService");
    launcher_config.service_description = copy_text("Orvane's service");
    launcher_config.static_options = copy_text("properties static-two");
    copy_bounded(extract_dir, sizeof extract_dir, "/tmp/orvane extract");
    static char* items[500];
    for (int i = 0; i < 500; ++i)
        items[i] = copy_text(("argument-" + std::to_string(i)).c_str());
    // The counting lasts for good.
    original = jvm_instance.env->functions;
    counted = *original;
    counted.FindClass = FindClass;
    counted.NewObjectV = NewObjectV;
    counted.CallStaticObjectMethodV = CallStaticObjectMethodV;
    counted.NewString = NewString;
    counted.NewObjectArray = NewObjectArray;
    counted.DeleteLocalRef = DeleteLocalRef;
    jvm_instance.env->functions = &counted;
    bool primary = run_main_class(MainInvocation{{500, items}, false});
    say(std::string("primary ") + (primary ? "true" : "false") + ", live references " + std::to_string(live));
    bool secondary = run_main_class(MainInvocation{{500, items}, true});
    JNIEnv* env = nullptr;
    jint state = jvm_instance.vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2);
    say(std::string("secondary ") + (secondary ? "true" : "false") + ", live references " +
        std::to_string(live) + ", creating thread " + (state == JNI_EDETACHED ? "detached" : "attached"));
    say("capture [" + std::string(captured_output, static_cast<size_t>(captured_length)) + "]");
    shutdown_jvm();
    say("shutdown_jvm returned");
    return 0;
}

// ---- in the parent ---------------------------------------------------------

struct ChildResult {
    int status = -1;  // the shell's status: 128 + the signal that ended it, if one did
    std::string out;
    std::string err;
};

ChildResult run_child(const char* scenario)
{
    char self[4096] = {};
    EXPECT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    std::string base = "/tmp/orvane-child-" + std::to_string(getpid()) + "-" + scenario;
    std::string command =
        std::string(self) + " --scenario=" + scenario + " >" + base + ".out 2>" + base + ".err";
    int wait_status = std::system(command.c_str());
    ChildResult result;
    if (WIFEXITED(wait_status))
        result.status = WEXITSTATUS(wait_status);
    result.out = file_text(base + ".out");
    result.err = file_text(base + ".err");
    unlink((base + ".out").c_str());
    unlink((base + ".err").c_str());
    return result;
}

std::string describe(const ChildResult& r)
{
    return "status " + std::to_string(r.status) + "\n--- stdout:\n" + r.out + "--- stderr:\n" + r.err;
}

const std::string creation_failed =
    std::string("report fatal_with_output: Unable to create JVM instance using ") + ORVANE_LIBJVM_PATH;

// A child's scenario, its exit status, the lines its standard output must
// hold in this order, and texts its standard output (or error) must not hold.
struct Ending {
    const char* scenario;
    int (*run)();  // in the child
    int status;
    std::vector<std::string> in_order;
    std::vector<std::string> not_in_out;
    std::vector<std::string> not_in_err;
};

const Ending endings[] = {
    // Java's own shutdown runs first; then the exit hook releases what the
    // launcher holds and ends the process with System.exit's status.
    {"exit_from_main", exit_from_main, 3,
     {"exiting with 3\nshutdown hook ran\n", "event: remove_console_hook", "event: start_jar_cleanup", "event: close_instance_mutex"},
     {"event: hand_over_to_service_main", "run_main_class returned", "report "}, {}},
    // HotSpot reads the options in order: with the hook options first, its
    // complaint about a later option reaches the capture, not file
    // descriptor 2, which a windowed launcher does not have.
    {"unknown_option", [] { return create_or_end("-Xmx64m -XX:+OrvaneNoSuchFlag", "orvane/diff/Program"); }, 90,
     {creation_failed + " | details: Unrecognized VM option 'OrvaneNoSuchFlag'  \n", "child: create_java_vm failed"},
     {}, {"OrvaneNoSuchFlag"}},
    // An initialization error ends through the abort hook, which leaves the
    // console hook alone.
    {"heap_sizes_in_conflict", [] { return create_or_end("-Xmx64m -Xms128m", "orvane/diff/Program"); }, abort_exit_code,
     {"report fatal_with_output: JVM has aborted due to an internal error. | details: "
      "Error occurred during initialization of VM  "
      "Initial heap size set to a larger value than the maximum heap size  \n",
      "event: close_instance_mutex"},
     {"remove_console_hook", "child: "}, {}},
    {"local_references", local_references, 0,
     {"event: install_console_ctrl_handler", "argument: properties\nargument: static-two\nargument: argument-0\n",
      "argument: argument-499\n", "child: primary true, live references 0\n", "argument: argument-499\n",
      "child: secondary true, live references 0, creating thread detached\n", "child: capture []\n",
      "child: shutdown_jvm returned"},
     {"report ", "WARNING"}, {"WARNING"}},
};

void PrintTo(const Ending& ending, std::ostream* out)
{
    *out << ending.scenario;
}

class ProcessEnd : public ::testing::TestWithParam<Ending> {};

} // namespace

// A stale value is overwritten; an unavailable folder and an empty
// extraction directory give no property; the service values come in service
// mode only, each text made one UTF-16 unit per character. user.dir, the
// working directory and the log files' content are judged by the comparison
// with java; here HotSpot judges the redirection's calls.
TEST_F(JvmSession, LaunchPropertiesReachMainWithTheirValues)
{
    const std::string description = "Runs the tests \xE2\x80\x93 gr\xC3\xBC\xC3\x9F" "lich";
    const std::string folders = "/tmp/orvane-jvm-host/";
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const struct {
        bool service, manual_start;
        std::vector<std::pair<const char*, std::string>> expected;
    } rows[] = {
        // With a console, standard output to a log file and an extraction
        // directory.
        {false, false,
         {{"orvane.exe.path", exe}, {"orvane.csidl.appdata", folders + "AppData/Roaming"},
          {"orvane.csidl.local.appdata", folders + "AppData/Local"}, {"orvane.csidl.personal", folders + "Documents"},
          {"orvane.extract.path", "/tmp/orvane extract"}, {"orvane.appini.showconsole", "true"},
          {"orvane.service.name", "<null>"}, {"orvane.service.description", "<null>"},
          {"orvane.service.starttype", "<null>"}}},
        // As a service, without the local application data folder.
        {true, true,
         {{"orvane.csidl.appdata", folders + "AppData/Roaming"}, {"orvane.csidl.local.appdata", "<null>"},
          {"orvane.extract.path", "<null>"}, {"orvane.appini.showconsole", "false"},
          {"orvane.service.name", "OrvaneTest"}, {"orvane.service.description", description},
          {"orvane.service.starttype", "0"}}},
        {true, false, {{"orvane.service.starttype", "1"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.service ? "service" : "application");
        for (const char* key : {"orvane.extract.path", "orvane.service.name", "orvane.service.description",
                                "orvane.service.starttype", "orvane.csidl.local.appdata"})
            call_static_string(env, "java/lang/System", "clearProperty", key);
        ASSERT_TRUE(set_system_property(env, "orvane.exe.path", "stale"));
        LauncherConfig& c = launcher_config;
        c.show_console = !row.service;
        c.stdout_mode = row.service ? 0 : 1;
        c.stdout_file = copy_text("/dev/null");
        c.service_name = copy_text("OrvaneTest");
        c.service_description = copy_text(description.c_str());
        c.service_manual_start = row.manual_start;
        service_mode = row.service;
        unavailable_folders = row.service ? std::vector<int>{28} : std::vector<int>{};
        copy_bounded(extract_dir, sizeof extract_dir, row.service ? "" : "/tmp/orvane extract");
        ASSERT_TRUE(run_main_class(MainInvocation{{0, nullptr}, false}));
        for (const auto& [key, value] : row.expected)
            EXPECT_EQ(call_static_string(env, "orvane/diff/Program", "property", key), value) << key;
    }
}

// Each failing call is reported once, its trace is on Java's standard error
// after the head that the vfprintf hook took into the capture, no exception
// is left pending, and a call on a thread of its own leaves it detached.
TEST_F(JvmSession, FailedCallsAreReportedOnceWithTheirTraces)
{
    static char* throw_args[] = {const_cast<char*>("throw")};
    static const auto primary = [] { return run_main_class(MainInvocation{{0, nullptr}, false}); };
    static const auto secondary = [] { return run_main_class(MainInvocation{{1, throw_args}, true}); };
    static const auto set_empty_key = [] { return set_system_property(jvm_instance.env, "", "x"); };
    const struct {
        const char* main_class;
        const char* stdout_file;  // for stream mode 1, else null
        bool (*call)();
        bool own_thread;
        const char* report;  // without the details of a fatal report
        const char* thread;  // in the head of the description
        std::vector<std::string> trace;
    } rows[] = {
        {"orvane/test/NoSuchClass", nullptr, primary, false,
         "fatal_with_output: Error locating class: orvane/test/NoSuchClass", "main",
         {"java.lang.NoClassDefFoundError: orvane/test/NoSuchClass\n",
          "Caused by: java.lang.ClassNotFoundException: orvane.test.NoSuchClass\n"}},
        {"java/lang/String", nullptr, primary, false,
         "fatal_with_output: Error locating method: main(java/lang/String[])", "main",
         {"java.lang.NoSuchMethodError: static Ljava/lang/String;.main([Ljava/lang/String;)V\n"}},
        {"orvane/diff/Program", nullptr, secondary, true,
         "fatal_with_output: Error invoking method: main(java/lang/String[])", "Orvane thread",
         {"java.lang.IllegalStateException: thrown from main\n\tat orvane.diff.Program.main(Program.java:51)\n"}},
        {"orvane/diff/Program", "/nonexistent-orvane-directory/out.log", primary, false,
         "error: Error instantiating object: java/io/FileOutputStream", "main",
         {"java.io.FileNotFoundException: /nonexistent-orvane-directory/out.log"}},
        {"orvane/diff/Program", nullptr, set_empty_key, false, "error: Error invoking method: setProperty", "main",
         {"java.lang.IllegalArgumentException: key can't be empty\n\tat "}},
        {"orvane/diff/Program", nullptr, request_java_exit, true, "error: Error invoking method: exit(int)",
         "Orvane stopper thread", {"java.lang.SecurityException: exit refused: exitVM.0\n"}},
    };
    ASSERT_EQ(call_static_string(env, "orvane/diff/Program", "refuseExit", nullptr), "installed");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.report);
        captured_length = 0;
        launcher_config.main_class = copy_text(row.main_class);
        launcher_config.stdout_mode = row.stdout_file != nullptr ? 1 : 0;
        launcher_config.stdout_file = copy_text(row.stdout_file != nullptr ? row.stdout_file : "");
        bool returned = true;
        jint state_after = JNI_OK;  // whether the own thread stayed attached
        testing::internal::CaptureStderr();
        if (row.own_thread)
            std::thread([&] {
                returned = row.call();
                JNIEnv* own = nullptr;
                state_after = jvm_instance.vm->GetEnv(reinterpret_cast<void**>(&own), JNI_VERSION_1_2);
            }).join();
        else
            returned = row.call();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(returned);
        if (row.own_thread) {
            EXPECT_EQ(state_after, JNI_EDETACHED) << "the call left its thread attached";
        }
        std::vector<std::string> reports = recorded_reports();
        clear_layer_records();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].substr(0, reports[0].find(" | details: ")), row.report);
        EXPECT_EQ(captured(), "Exception in thread \"" + std::string(row.thread) + "\" ");
        for (const std::string& part : row.trace)
            EXPECT_NE(err.find(part), std::string::npos) << err;
        EXPECT_FALSE(env->ExceptionCheck()) << "an exception is still pending";
        EXPECT_TRUE(set_system_property(env, "orvane.after.failure", row.report));
        EXPECT_EQ(call_static_string(env, "java/lang/System", "getProperty", "orvane.after.failure"), row.report);
    }
}

TEST_P(ProcessEnd, EndsWithItsStatusAndItsLinesInOrder)
{
    const Ending& ending = GetParam();
    ChildResult r = run_child(ending.scenario);
    EXPECT_EQ(r.status, ending.status) << describe(r);
    size_t from = 0;
    for (const std::string& line : ending.in_order) {
        size_t at = r.out.find(line, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line << "\n" << describe(r);
        from = at + line.size();
    }
    for (const std::string& text : ending.not_in_out)
        EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n" << describe(r);
    for (const std::string& text : ending.not_in_err)
        EXPECT_EQ(r.err.find(text), std::string::npos) << text << "\n" << describe(r);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ProcessEnd, ::testing::ValuesIn(endings),
                         [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.scenario); });

int main(int argc, char** argv)
{
    for (const Ending& ending : endings)
        if (argc == 2 && argv[1] == std::string("--scenario=") + ending.scenario)
            return ending.run();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
