// The launcher's JVM creation, JNI call layer and main invocation against
// HotSpot. The cases share the one JVM of their process, created with the
// launcher's own option array; -Xcheck:jni makes HotSpot judge every JNI call
// the launcher makes, and its complaints arrive through the vfprintf hook.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/jni_calls.h"
#include "app/main_invocation.h"
#include "app/output_capture.h"
#include "app/shutdown.h"
#include "host_platform.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

namespace {

// -Xlog:gc makes HotSpot print one line while it starts, after it has read
// the hook options.
const char session_options[] =
    "-Xmx64m -Dorvane.test=yes -Dorvane.home=%JAVA_HOME% -Djava.security.manager=allow -Xcheck:jni -Xlog:gc";

std::string creation_failure = "not attempted";
// The working directory configured when the JVM was created.
const std::string session_work = "/tmp/orvane-jvm-host-session-" + std::to_string(getpid());
std::string options_after_creation;
std::string captured_at_creation;  // the launcher's capture
std::string console_at_creation;   // file descriptors 1 and 2

const char describe_prefix[] = "Exception in thread \"main\" ";

class JvmSession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (creation_failure != "not attempted")
            return;
        reset_launcher_config(session_options, "orvane/test/Probe");
        mkdir(session_work.c_str(), 0700);
        std::ofstream(session_work + "/x") << "in the working directory";
        launcher_config.working_directory = copy_text(session_work.c_str());
        exit_hook_is_unexpected = true;
        FdCapture out = begin_capture(1);
        FdCapture err = begin_capture(2);
        creation_failure = create_host_jvm();
        console_at_creation = end_capture(err);
        console_at_creation += end_capture(out);
        options_after_creation = launcher_config.jvm_options;
        captured_at_creation.assign(captured_output, static_cast<size_t>(captured_length));
    }

    static void TearDownTestSuite()
    {
        unlink((session_work + "/x").c_str());
        rmdir(session_work.c_str());
    }

    void SetUp() override
    {
        ASSERT_EQ(creation_failure, "") << "the JVM of this process could not be created";
        env = jvm_instance.env;
        reset_launcher_config("", "orvane/test/Probe");
        clear_layer_records();
        unavailable_folders.clear();
        captured_length = 0;
        captured_output[0] = '\0';
        // A case's local references go with it, as an attached thread's do.
        ASSERT_EQ(env->PushLocalFrame(32), JNI_OK);
        for (const char* key : {"orvane.extract.path", "orvane.service.name", "orvane.service.description",
                                "orvane.service.starttype", "orvane.csidl.local.appdata"})
            call_static_string(env, "java/lang/System", "clearProperty", key);
    }

    void TearDown() override
    {
        if (env == nullptr)
            return;
        env->PopLocalFrame(nullptr);
        // HotSpot's JNI checker found nothing to complain about, and the
        // launcher reported nothing that the case did not read.
        EXPECT_FALSE(contains(captured(), "WARNING")) << captured();
        EXPECT_TRUE(recorded_reports().empty()) << recorded_reports()[0].text;
    }

    static std::string captured()
    {
        return std::string(captured_output, static_cast<size_t>(captured_length));
    }

    static bool contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    // Runs main of launcher_config.main_class with these arguments; Java's
    // standard error during the call goes to *err when given.
    bool run_main(std::vector<std::string> args, std::string* err = nullptr)
    {
        ArgVector vector{static_cast<int32_t>(args.size()), nullptr};
        vector.items = static_cast<char**>(calloc(args.size() + 1, sizeof(char*)));
        for (size_t i = 0; i < args.size(); ++i)
            vector.items[i] = copy_text(args[i].c_str());
        bool returned = false;
        std::string written = capture_stderr([&] { returned = run_main_class(MainInvocation{vector, false}); });
        if (err != nullptr)
            *err = written;
        return returned;
    }

    std::string property(const char* key)
    {
        return call_static_string(env, "java/lang/System", "getProperty", key);
    }

    std::string probe(const char* method, const char* argument = nullptr)
    {
        return call_static_string(env, "orvane/test/Probe", method, argument);
    }

    // The one report made, which it takes from the records.
    std::string only_report(ReportKind kind)
    {
        std::vector<Report> reports = recorded_reports();
        clear_layer_records();
        EXPECT_EQ(reports.size(), 1u);
        if (reports.empty())
            return "<no report>";
        EXPECT_EQ(static_cast<int>(reports[0].kind), static_cast<int>(kind)) << reports[0].text;
        return reports[0].text;
    }

    void expect_properties(const std::vector<std::pair<const char*, std::string>>& expected)
    {
        for (const auto& [key, value] : expected)
            EXPECT_EQ(probe("property", key), value) << key;
    }

    void expect_no_pending_exception_and_a_working_next_call()
    {
        EXPECT_FALSE(env->ExceptionCheck()) << "an exception is still pending";
        EXPECT_TRUE(set_system_property(env, "orvane.after.failure", "works"));
        EXPECT_EQ(property("orvane.after.failure"), "works");
    }

    JNIEnv* env = nullptr;
};

// Runs fn on a thread of its own; whether fn left that thread attached to
// the JVM (JNI_OK) or not (JNI_EDETACHED).
template <typename Fn>
jint state_after_own_thread(Fn fn)
{
    jint state = JNI_OK;
    std::thread([&] {
        fn();
        JNIEnv* own = nullptr;
        state = jvm_instance.vm->GetEnv(reinterpret_cast<void**>(&own), JNI_VERSION_1_2);
    }).join();
    return state;
}

} // namespace

TEST_F(JvmSession, CreationPassesConfiguredOptionsAndTheQuotedClassPath)
{
    EXPECT_EQ(options_after_creation, std::string("-Xmx64m -Dorvane.test=yes -Dorvane.home=") + ORVANE_JDK_HOME +
                                          " -Djava.security.manager=allow -Xcheck:jni -Xlog:gc \"-Djava.class.path=" +
                                          ORVANE_TEST_CLASSES + "\"");
    EXPECT_EQ(property("orvane.test"), "yes");
    EXPECT_EQ(property("orvane.home"), ORVANE_JDK_HOME);
    EXPECT_EQ(property("java.class.path"), ORVANE_TEST_CLASSES);
}

TEST_F(JvmSession, JvmOutputGoesThroughTheVfprintfHookIntoTheCaptureWithCrLf)
{
    EXPECT_EQ(console_at_creation, "") << "HotSpot wrote to the console while it started";
    EXPECT_EQ(captured_at_creation.substr(0, 1), "[") << captured_at_creation;
    EXPECT_TRUE(contains(captured_at_creation, "][info][gc] Using G1\r\n")) << captured_at_creation;
    EXPECT_EQ(captured_at_creation.find('\n'), captured_at_creation.find("\r\n") + 1) << "a line feed alone";
}

TEST_F(JvmSession, SetSystemPropertyRefusedBySecurityManagerIsMessage13AndCleared)
{
    ASSERT_EQ(call_static_string(env, "orvane/test/Guard", "install", nullptr), "installed");
    bool set = true;
    std::string err = capture_stderr([&] { set = set_system_property(env, "orvane.denied", "x"); });
    EXPECT_EQ(call_static_string(env, "orvane/test/Guard", "uninstall", nullptr), "uninstalled");
    EXPECT_FALSE(set);
    EXPECT_EQ(only_report(ReportKind::error), "Error invoking method: setProperty");
    EXPECT_TRUE(contains(err, "java.lang.SecurityException: orvane.denied is read-only\n\tat ")) << err;
    EXPECT_EQ(captured(), describe_prefix);
    expect_no_pending_exception_and_a_working_next_call();
}

// A stale value is overwritten; the service values are set in service mode only.
TEST_F(JvmSession, LaunchPropertiesReachMainWithTheirValues)
{
    char start[current_directory_size];
    ASSERT_NE(getcwd(start, sizeof start), nullptr);
    std::string work = "/tmp/orvane-jvm-host-work-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
    ASSERT_NE(property("user.dir"), work);
    launcher_config.working_directory = copy_text(work.c_str());
    launcher_config.show_console = true;
    copy_bounded(extract_dir, sizeof extract_dir, "/tmp/orvane extract");
    ASSERT_TRUE(set_system_property(env, "orvane.exe.path", "stale"));
    bool returned = run_main({});
    // The console's streams went to a file "CONOUT$" here.
    EXPECT_EQ(call_static_string(env, "orvane/test/Streams", "restore", nullptr), "restored");
    unlink((work + "/CONOUT$").c_str());
    ASSERT_EQ(chdir(start), 0);
    rmdir(work.c_str());
    ASSERT_TRUE(returned);
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    expect_properties({{"user.dir", work}, {"orvane.exe.path", exe}, {"orvane.csidl.appdata", appdata_folder},
                       {"orvane.csidl.local.appdata", local_appdata_folder}, {"orvane.csidl.personal", personal_folder},
                       {"orvane.extract.path", "/tmp/orvane extract"}, {"orvane.appini.showconsole", "true"},
                       {"orvane.service.name", "<null>"}, {"orvane.service.description", "<null>"},
                       {"orvane.service.starttype", "<null>"}});
}

// The description also shows each text made one UTF-16 unit per character;
// an unavailable folder and an empty extraction directory give no property.
TEST_F(JvmSession, ServiceModeAddsServiceValuesAndUnavailableValuesAreSkipped)
{
    unavailable_folders = {28};
    service_mode = true;
    launcher_config.service_name = copy_text("OrvaneTest");
    launcher_config.service_description = copy_text("Runs the tests \xE2\x80\x93 gr\xC3\xBC\xC3\x9F" "lich");
    for (bool manual : {true, false}) {
        launcher_config.service_manual_start = manual;
        ASSERT_TRUE(run_main({}));
        expect_properties({{"orvane.service.name", "OrvaneTest"},
                           {"orvane.service.description", "Runs the tests \xE2\x80\x93 gr\xC3\xBC\xC3\x9F" "lich"},
                           {"orvane.service.starttype", manual ? "0" : "1"}});
    }
    expect_properties({{"orvane.csidl.appdata", appdata_folder}, {"orvane.csidl.local.appdata", "<null>"},
                       {"orvane.extract.path", "<null>"}, {"orvane.appini.showconsole", "false"}});
    std::vector<std::string> events = recorded_events();
    EXPECT_NE(std::find(events.begin(), events.end(), "install_console_ctrl_handler"), events.end());
}

// Java resolves a relative File by the working directory of its start.
TEST_F(JvmSession, RelativeFilesResolveInTheWorkingDirectoryForFileAndStreamAlike)
{
    char start[current_directory_size];
    ASSERT_NE(getcwd(start, sizeof start), nullptr);
    launcher_config.working_directory = copy_text(session_work.c_str());
    bool returned = run_main({});
    std::string seen = probe("relativeFile", "x");
    ASSERT_EQ(chdir(start), 0);
    ASSERT_TRUE(returned);
    EXPECT_EQ(seen, session_work + "/x|in the working directory");
}

// Truncation, appending and a shared file are judged end to end; here the
// streams are made by HotSpot's own classes.
TEST_F(JvmSession, LogFilesTakeSystemOutAndErrTruncatedOrAppended)
{
    std::string out_file = "/tmp/orvane-jvm-host-out-" + std::to_string(getpid());
    std::string err_file = "/tmp/orvane-jvm-host-err-" + std::to_string(getpid());
    for (const std::string& path : {out_file, err_file})
        std::ofstream(path) << "old\n";
    reset_launcher_config("", "orvane/test/Streams");
    LauncherConfig& c = launcher_config;
    c.stdout_mode = c.stderr_mode = 1;
    c.stdout_file = copy_text(out_file.c_str());
    c.stderr_file = copy_text(err_file.c_str());
    c.stdout_append = true;
    EXPECT_TRUE(run_main({"a", "b", "c"}));
    EXPECT_EQ(call_static_string(env, "orvane/test/Streams", "restore", nullptr), "restored");
    EXPECT_EQ(file_text(out_file), "old\nout a\nout c\n");
    EXPECT_EQ(file_text(err_file), "err b\n");
    unlink(out_file.c_str());
    unlink(err_file.c_str());
}

TEST_F(JvmSession, UnopenableLogFileIsMessage11WithFileOutputStream)
{
    launcher_config.stdout_mode = 1;
    launcher_config.stdout_file = copy_text("/nonexistent-orvane-directory/out.log");
    std::string err;
    EXPECT_FALSE(run_main({}, &err));
    EXPECT_EQ(only_report(ReportKind::error), "Error instantiating object: java/io/FileOutputStream");
    EXPECT_TRUE(contains(err, "java.io.FileNotFoundException: /nonexistent-orvane-directory/out.log")) << err;
}

// Each failure is reported once, its trace is on Java's standard error, and
// no exception is left pending.
TEST_F(JvmSession, MainClassFailuresAreMessages9To13WithTheirTraces)
{
    const struct {
        const char* main_class;
        const char* report;
        std::vector<std::string> trace;
    } rows[] = {
        {"orvane/test/NoSuchClass", "Error locating class: orvane/test/NoSuchClass",
         {"java.lang.NoClassDefFoundError: orvane/test/NoSuchClass\n",
          "Caused by: java.lang.ClassNotFoundException: orvane.test.NoSuchClass\n"}},
        {"orvane/test/NoMain", "Error locating method: main(java/lang/String[])",
         {"java.lang.NoSuchMethodError: static Lorvane/test/NoMain;.main([Ljava/lang/String;)V\n"}},
        {"orvane/test/Thrower", "Error invoking method: main(java/lang/String[])",
         {"java.lang.IllegalStateException: thrown by main\n\tat orvane.test.Thrower.main(Thrower.java:5)\n"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.main_class);
        clear_layer_records();
        captured_length = 0;
        launcher_config.main_class = copy_text(row.main_class);
        std::string err;
        EXPECT_FALSE(run_main({}, &err));
        EXPECT_EQ(only_report(ReportKind::fatal_with_output), row.report);
        for (const std::string& part : row.trace)
            EXPECT_TRUE(contains(err, part)) << err;
        EXPECT_EQ(captured(), describe_prefix);
        expect_no_pending_exception_and_a_working_next_call();
    }
}

TEST_F(JvmSession, SecondaryInvocationRunsMainOnAnAttachedThreadWhileThePrimaryWaits)
{
    launcher_config.main_class = copy_text("orvane/test/Gate");
    bool secondary_returned = false;
    jint state_after = JNI_OK;
    std::thread second([&] {
        state_after = state_after_own_thread([&] {
            char* args[] = {copy_text("stop"), copy_text("now")};
            secondary_returned = run_main_class(MainInvocation{{2, args}, true});
        });
    });
    bool primary_returned = run_main({"wait"});
    second.join();
    EXPECT_TRUE(primary_returned);
    EXPECT_TRUE(secondary_returned);
    EXPECT_EQ(state_after, JNI_EDETACHED) << "the secondary invocation left its thread attached";
    EXPECT_EQ(call_static_string(env, "orvane/test/Gate", "summary", nullptr),
              "first-entered;second-ran;first-released; stop,now Orvane thread");
}

TEST_F(JvmSession, SecondaryInvocationFailureIsDescribedOnItsOwnThreadAndDetaches)
{
    launcher_config.main_class = copy_text("orvane/test/Thrower");
    bool returned = true;
    jint state_after = JNI_OK;
    std::string err = capture_stderr([&] {
        state_after = state_after_own_thread([&] { returned = run_main_class(MainInvocation{{0, nullptr}, true}); });
    });
    EXPECT_FALSE(returned);
    EXPECT_EQ(state_after, JNI_EDETACHED);
    EXPECT_EQ(only_report(ReportKind::fatal_with_output), "Error invoking method: main(java/lang/String[])");
    EXPECT_EQ(captured(), "Exception in thread \"Orvane thread\" ");
    EXPECT_TRUE(contains(err, "java.lang.IllegalStateException: thrown by main\n")) << err;
}

TEST_F(JvmSession, StopperRefusedBySecurityManagerIsMessage13AndDetaches)
{
    ASSERT_EQ(call_static_string(env, "orvane/test/Guard", "install", nullptr), "installed");
    bool stopped = true;
    jint state_after = JNI_OK;
    std::string err = capture_stderr([&] {
        state_after = state_after_own_thread([&] { stopped = request_java_exit(); });
    });
    EXPECT_EQ(call_static_string(env, "orvane/test/Guard", "uninstall", nullptr), "uninstalled");
    EXPECT_FALSE(stopped);
    EXPECT_EQ(state_after, JNI_EDETACHED);
    EXPECT_EQ(only_report(ReportKind::error), "Error invoking method: exit(int)");
    EXPECT_EQ(captured(), "Exception in thread \"Orvane stopper thread\" ");
    EXPECT_TRUE(contains(err, "java.lang.SecurityException: exit refused\n")) << err;
}
