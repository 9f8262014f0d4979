// The ways a launcher process ends with its JVM: System.exit through the exit
// hook, a JVM that cannot be created or aborts, and the teardown after main
// returned. A JVM is made once per process, so each case runs this executable
// again as a child with --scenario=NAME and judges its status and output.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/main_invocation.h"
#include "app/output_capture.h"
#include "app/shutdown.h"
#include "app/system_services.h"
#include "host_platform.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/startup.h"
#include "launcher/text_buffers.h"
#include "local_refs.h"
#include "ui/reporting.h"

extern char** environ;

namespace {

// ---- in the child ----------------------------------------------------------

// Creates the JVM for a scenario; on failure says why and ends with 90.
void create_or_end(const char* options, const char* main_class)
{
    reset_launcher_config(options, main_class);
    echo_layer_records(true);
    std::string failure = create_host_jvm();
    if (!failure.empty()) {
        printf("child: %s\n", failure.c_str());
        fflush(stdout);
        _exit(90);
    }
}

bool primary_invocation()
{
    return run_main_class(MainInvocation{{0, nullptr}, false});
}

void say(const char* text)
{
    printf("child: %s\n", text);
    fflush(stdout);
}

// System.exit(3) from main; the exit hook must end the process.
int exit_from_main()
{
    create_or_end("-Xmx64m", "orvane/test/Exiter");
    embedded_jar_count = 2;
    launcher_config.remove_extracted_jars_at_exit = true;
    instance_mutex = &instance_mutex;
    primary_invocation();
    say("run_main_class returned");
    return 91;
}

// The service stopper ends the JVM with System.exit(0) from its own thread
// while main is running.
int stop_with_system_exit()
{
    create_or_end("-Xmx64m", "orvane/test/Waiter");
    std::thread stopper([] {
        usleep(500 * 1000);
        bool returned = request_java_exit();
        printf("child: request_java_exit returned %s\n", returned ? "true" : "false");
        fflush(stdout);
    });
    primary_invocation();
    say("run_main_class returned");
    stopper.join();
    return 91;
}

// Creation that fails; the outcome and the capture are printed.
int failed_creation(const char* options)
{
    reset_launcher_config(options, "orvane/test/Probe");
    echo_layer_records(true);
    std::string failure = create_host_jvm();
    printf("child: creation %s\n", failure.empty() ? "succeeded" : failure.c_str());
    return failure.empty() ? 92 : 0;
}

// main returns while a non-daemon thread runs; the teardown waits for it.
int shutdown_after_main()
{
    create_or_end("-Xmx64m", "orvane/test/Lingerer");
    say(primary_invocation() ? "run_main_class true" : "run_main_class false");
    shutdown_jvm();
    say("shutdown_jvm returned");
    return 0;
}

// A second instance forwarding its arguments: the thread that created the JVM
// runs the secondary invocation (attaching it again), then tears down.
int secondary_on_creating_thread()
{
    create_or_end("-Xmx64m", "orvane/test/Echo");
    char* args[] = {copy_text("forwarded"), copy_text("argument")};
    say(run_main_class(MainInvocation{{2, args}, true}) ? "run_main_class true" : "run_main_class false");
    JNIEnv* env = nullptr;
    jint state = jvm_instance.vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2);
    say(state == JNI_EDETACHED ? "creating thread detached" : "creating thread still attached");
    shutdown_jvm();
    say("shutdown_jvm returned");
    return 0;
}

// Every launcher property, static options and 500 arguments, for a primary
// and then a secondary invocation, in a fresh JVM whose start-up thread has
// no frame of its own: the launcher must leave no local reference behind.
int local_references()
{
    create_or_end("-Xmx64m -Xcheck:jni", "orvane/test/Echo");
    service_mode = true;
    launcher_config.service_name = copy_text("OrvaneService");
    launcher_config.service_description = copy_text("Orvane's service");
    launcher_config.static_options = copy_text("static-one static-two");
    copy_bounded(extract_dir, sizeof extract_dir, "/tmp/orvane extract");
    static char* items[500];
    for (int i = 0; i < 500; ++i)
        items[i] = copy_text(("argument-" + std::to_string(i)).c_str());
    start_counting_local_refs(jvm_instance.vm, jvm_instance.env);
    bool primary = run_main_class(MainInvocation{{500, items}, false});
    printf("child: primary %s, live references %ld\n", primary ? "true" : "false", live_local_refs());
    fflush(stdout);
    bool secondary = false;
    std::thread second([&] { secondary = run_main_class(MainInvocation{{500, items}, true}); });
    second.join();
    printf("child: secondary %s, live references at detach %ld\n", secondary ? "true" : "false",
           live_local_refs_at_last_detach());
    fflush(stdout);
    stop_counting_local_refs(jvm_instance.vm, jvm_instance.env);
    printf("child: capture [%.*s]\n", static_cast<int>(captured_length), captured_output);
    return 0;
}

int run_scenario(const std::string& name)
{
    if (name == "local_references")
        return local_references();
    if (name == "exit_from_main")
        return exit_from_main();
    if (name == "stop_with_system_exit")
        return stop_with_system_exit();
    if (name == "unknown_option")
        return failed_creation("-Xmx64m -XX:+OrvaneNoSuchFlag");
    if (name == "stack_too_small")
        return failed_creation("-Xss10k");
    if (name == "heap_sizes_in_conflict")
        return failed_creation("-Xmx64m -Xms128m");
    if (name == "shutdown_after_main")
        return shutdown_after_main();
    if (name == "secondary_on_creating_thread")
        return secondary_on_creating_thread();
    fprintf(stderr, "unknown scenario %s\n", name.c_str());
    return 99;
}

// ---- in the parent ---------------------------------------------------------

struct ChildResult {
    int status = -1;  // exit status, or -1 when the child did not exit
    int signal = 0;   // the signal that ended it, if one did
    std::string out;
    std::string err;
};

std::string read_and_remove(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path.c_str());
    return text.str();
}

ChildResult run_child(const char* scenario)
{
    std::string base = "/tmp/orvane-child-" + std::to_string(getpid()) + "-" + scenario;
    std::string out_path = base + ".out", err_path = base + ".err";
    std::string argument = std::string("--scenario=") + scenario;
    char* argv[] = {const_cast<char*>("jvm_host_tests"), const_cast<char*>(argument.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ChildResult result;
    pid_t child = 0;
    int rc = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "posix_spawn failed: " << strerror(rc);
        return result;
    }
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    if (WIFEXITED(wait_status))
        result.status = WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        result.signal = WTERMSIG(wait_status);
    result.out = read_and_remove(out_path);
    result.err = read_and_remove(err_path);
    return result;
}

std::string describe(const ChildResult& r)
{
    return "status " + std::to_string(r.status) + ", signal " + std::to_string(r.signal) + "\n--- stdout:\n" +
           r.out + "--- stderr:\n" + r.err;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Where each of the lines appears in text, in the order given; fails the
// test when one is missing or out of order.
void expect_in_order(const ChildResult& r, std::initializer_list<const char*> lines)
{
    size_t from = 0;
    for (const char* line : lines) {
        size_t at = r.out.find(line, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line << "\n" << describe(r);
        from = at + strlen(line);
    }
}

const std::string creation_failed =
    std::string("report fatal_with_output: Unable to create JVM instance using ") + ORVANE_LIBJVM_PATH;

} // namespace

TEST(ProcessEnd, SystemExitFromMainEndsTheProcessWithItsStatusThroughTheExitHook)
{
    ChildResult r = run_child("exit_from_main");
    EXPECT_EQ(r.status, 3) << describe(r);
    // Java's own shutdown runs first; then the hook releases what the
    // launcher holds.
    expect_in_order(r, {"java: shutdown hook ran", "event: remove_console_hook", "event: start_jar_cleanup",
                        "event: close_instance_mutex"});
    EXPECT_FALSE(contains(r.out, "event: hand_over_to_service_main")) << describe(r);
    EXPECT_FALSE(contains(r.out, "run_main_class returned")) << describe(r);
    EXPECT_FALSE(contains(r.out, "report ")) << describe(r);
}

TEST(ProcessEnd, StopperEndsARunningMainWithStatus0FromItsOwnNamedThread)
{
    ChildResult r = run_child("stop_with_system_exit");
    EXPECT_EQ(r.status, 0) << describe(r);
    expect_in_order(r, {"java: waiting in main", "java: alive at exit: Orvane stopper thread",
                        "event: remove_console_hook", "event: close_instance_mutex"});
    EXPECT_FALSE(contains(r.out, "returned")) << describe(r);
    EXPECT_FALSE(contains(r.out, "report ")) << describe(r);
}

TEST(ProcessEnd, UnknownOptionIsMessage7WithHotSpotsComplaintAsDetails)
{
    ChildResult r = run_child("unknown_option");
    EXPECT_EQ(r.status, 0) << describe(r);
    // HotSpot reads the options in order: with the hook options first, its
    // complaint about a later option reaches the capture, not file
    // descriptor 2, which a windowed launcher does not have.
    EXPECT_TRUE(contains(r.out, creation_failed + " | details: Unrecognized VM option 'OrvaneNoSuchFlag'\r\n"))
        << describe(r);
    EXPECT_FALSE(contains(r.err, "OrvaneNoSuchFlag")) << describe(r);
}

TEST(ProcessEnd, CreationFailureFoundAfterTheHooksCarriesHotSpotsReasonAsDetails)
{
    ChildResult r = run_child("stack_too_small");
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, creation_failed + " | details: \r\nThe Java thread stack size specified is too small. "
                                                  "Specify at least 136k\r\n"))
        << describe(r);
    EXPECT_FALSE(contains(r.err, "stack size")) << describe(r);
}

TEST(ProcessEnd, InitializationErrorEndsThroughTheAbortHookWithItsDiagnostic)
{
    ChildResult r = run_child("heap_sizes_in_conflict");
    EXPECT_EQ(r.status, abort_exit_code) << describe(r);
    expect_in_order(r, {"report fatal_with_output: JVM has aborted due to an internal error. | details: "
                        "Error occurred during initialization of VM\r\n"
                        "Initial heap size set to a larger value than the maximum heap size\r\n",
                        "event: close_instance_mutex"});
    EXPECT_FALSE(contains(r.out, "remove_console_hook")) << "the abort hook leaves the console hook\n" << describe(r);
    EXPECT_FALSE(contains(r.out, "child: creation")) << describe(r);
}

TEST(ProcessEnd, ShutdownWaitsForTheNonDaemonThreadMainLeftRunning)
{
    ChildResult r = run_child("shutdown_after_main");
    EXPECT_EQ(r.status, 0) << describe(r);
    // main returns at once; the worker prints a second later, before the
    // teardown returns.
    expect_in_order(r, {"java: main returned", "child: run_main_class true", "java: worker finished",
                        "child: shutdown_jvm returned"});
    EXPECT_FALSE(contains(r.out, "event: free_library")) << "the JVM library was unloaded\n" << describe(r);
    EXPECT_FALSE(contains(r.out, "report ")) << describe(r);
    EXPECT_FALSE(contains(r.out, "event: remove_console_hook")) << "the exit hook ran on a normal end\n" << describe(r);
    EXPECT_FALSE(contains(r.out, "event: start_jar_cleanup")) << describe(r);
}

TEST(ProcessEnd, SecondaryInvocationOnTheCreatingThreadRunsMainAndTearsDown)
{
    ChildResult r = run_child("secondary_on_creating_thread");
    EXPECT_EQ(r.status, 0) << describe(r);
    // Attaching the creating thread again keeps its name; detaching it at
    // the end detaches it for good, and the teardown copes with that.
    expect_in_order(r, {"java: main got [forwarded][argument] on main", "child: run_main_class true",
                        "child: creating thread detached", "child: shutdown_jvm returned"});
    EXPECT_FALSE(contains(r.out, "report ")) << describe(r);
}

TEST(ProcessEnd, LauncherLeavesNoLocalReferenceBehind)
{
    ChildResult r = run_child("local_references");
    EXPECT_EQ(r.status, 0) << describe(r);
    expect_in_order(r, {"java: main got [static-one][static-two][argument-0]", "[argument-499] on main\n",
                        "child: primary true, live references 0\n", "[argument-499] on Orvane thread\n",
                        "child: secondary true, live references at detach 0\n", "child: capture []\n"});
    EXPECT_FALSE(contains(r.out + r.err, "WARNING")) << describe(r);
    EXPECT_FALSE(contains(r.out, "report ")) << describe(r);
}

int main(int argc, char** argv)
{
    const char prefix[] = "--scenario=";
    if (argc == 2 && strncmp(argv[1], prefix, sizeof prefix - 1) == 0)
        return run_scenario(argv[1] + sizeof prefix - 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
