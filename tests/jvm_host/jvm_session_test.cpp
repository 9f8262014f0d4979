// The launcher's JNI call layer and main invocation against HotSpot. The
// cases share the one JVM of their process, created with the launcher's own
// option array; -Xcheck:jni makes HotSpot judge every JNI call the launcher
// makes, and its complaints arrive through the vfprintf hook.
#include <unistd.h>

#include <gtest/gtest.h>

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

} // namespace

// A stale value is overwritten; an unavailable folder and an empty
// extraction directory give no property; the service values come in service
// mode only, each text made one UTF-16 unit per character. user.dir, the
// working directory and the log files are judged by the comparison with java.
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
        // With a console and an extraction directory.
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
