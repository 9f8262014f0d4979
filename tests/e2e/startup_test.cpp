// The real launcher, configured per scenario and started as a user starts it:
// what it shows and how it ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "scenario.h"

namespace {

DWORD priority_while_reporting(int priority_value)
{
    Scenario scenario("priority");
    scenario.set(1017, "OrvanePrioritySvc").set(1034, "1").set(1033, std::to_string(priority_value));
    DWORD priority = 0;
    LaunchOptions options;
    options.on_window = [&](const SeenWindow&, HANDLE process) { priority = GetPriorityClass(process); };
    LaunchOutcome outcome = scenario.run(options);
    EXPECT_EQ(outcome.windows.size(), 1u);
    return priority;
}

} // namespace

TEST(Startup, ServiceOnlyLauncherWithoutSwitchShowsNoticeAndEndsWithZero)
{
    Scenario scenario("service_only");
    scenario.set(1017, "OrvaneOnlySvc").set(1034, "1");
    LaunchOutcome outcome = scenario.run();
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].caption, "Information");
    EXPECT_EQ(outcome.windows[0].text, "This program can only be run as a service.");
    EXPECT_EQ(outcome.exit_code, 0u);
}

TEST(Startup, SecondInstanceIsRefusedWhileTheMutexIsHeld)
{
    Scenario scenario("second_instance");
    scenario.set(1029, "0");
    // The first instance's mutex: the main-class name with "/" for ".".
    HANDLE first = CreateMutexA(nullptr, TRUE, scenario.mutex_name().c_str());
    ASSERT_NE(first, nullptr);
    LaunchOutcome outcome = scenario.run();
    CloseHandle(first);
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].caption, "Error");
    EXPECT_EQ(outcome.windows[0].text, "An instance of this program is already running.");
    EXPECT_EQ(outcome.exit_code, 0u);
}

TEST(Startup, LauncherOwnsTheInstanceMutexWhileItRuns)
{
    Scenario scenario("mutex_owner");
    scenario.set(1029, "0");
    bool mutex_seen = false;
    LaunchOptions options;
    options.on_window = [&](const SeenWindow&, HANDLE) {
        HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, scenario.mutex_name().c_str());
        mutex_seen = held != nullptr;
        if (held != nullptr)
            CloseHandle(held);
    };
    LaunchOutcome outcome = scenario.run(options);
    ASSERT_FALSE(outcome.windows.empty()) << "the launcher showed nothing while running";
    EXPECT_TRUE(mutex_seen);
    HANDLE after = OpenMutexA(SYNCHRONIZE, FALSE, scenario.mutex_name().c_str());
    EXPECT_EQ(after, nullptr) << "the mutex outlived the launcher";
}

TEST(Startup, CleanupSwitchWithProcessIdShowsNothingAndEndsWithZero)
{
    Scenario scenario("cleanup");
    LaunchOptions options;
    options.arguments = "-ovremovetemporaryjarfiles 4000000";
    LaunchOutcome outcome = scenario.run(options);
    EXPECT_TRUE(outcome.windows.empty()) << "first window: " << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
}

TEST(Startup, CleanupWaitsForTheLauncherItCleansUpAfter)
{
    // The process to wait for: a launcher held open by its notice.
    Scenario waited("cleanup_waited");
    waited.set(1017, "OrvaneWaitedSvc").set(1034, "1");
    Scenario cleanup("cleanup_waiter");
    std::string cleanup_exe = cleanup.make();
    PROCESS_INFORMATION child{};
    bool waited_while_open = false;
    LaunchOptions options;
    options.on_window = [&](const SeenWindow&, HANDLE process) {
        std::string command = "\"" + cleanup_exe + "\" -ovremovetemporaryjarfiles " +
                              std::to_string(GetProcessId(process));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &child));
        waited_while_open = WaitForSingleObject(child.hProcess, 1000) == WAIT_TIMEOUT;
    };
    LaunchOutcome outcome = waited.run(options);
    EXPECT_EQ(outcome.windows.size(), 1u);
    ASSERT_NE(child.hProcess, nullptr);
    EXPECT_TRUE(waited_while_open) << "the cleanup ended while the launcher still ran";
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the cleanup did not end after the launcher had ended";
    DWORD exit_code = 1;
    GetExitCodeProcess(child.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
}

TEST(Startup, PriorityValueFiveGivesIdleClassAndOthersLeaveItNormal)
{
    EXPECT_EQ(priority_while_reporting(5), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    EXPECT_EQ(priority_while_reporting(1), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(priority_while_reporting(7), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(priority_while_reporting(-1), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
}

TEST(Startup, ExtractionDirectoryThatWouldNotFitIsReportedAndTheStartGoesOn)
{
    // ".\" and the hex text of a 143-character class name need 289 bytes.
    Scenario scenario("long_extract_dir");
    std::string long_class = "orvane.tests." + std::string(130, 'a');
    scenario.use_standin(long_class).set(1007, "1");
    LaunchOutcome outcome = scenario.run();
    ASSERT_EQ(outcome.windows.size(), 2u);
    EXPECT_EQ(outcome.windows[0].caption, "Error");
    EXPECT_EQ(outcome.windows[0].text.find("Error accessing file/directory: " + scrambled(long_class) +
                                           "\n\nReason: "),
              0u)
        << outcome.windows[0].text;
    // The start went on to the JVM, which knows no such class.
    std::string slash_class = long_class;
    for (char& c : slash_class)
        if (c == '.')
            c = '/';
    EXPECT_EQ(outcome.windows[1].text, "Error locating class: " + slash_class);
}
