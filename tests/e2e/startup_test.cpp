// The real launcher, configured per scenario and started as a user starts it:
// what it shows and how it ends.
#include <thread>

#include "scenario.h"

// The first instance's mutex is the main-class name with "/" for "."; one
// created elevated denies this user access, and still means another instance.
TEST(Startup, SecondInstanceIsRefusedWhileTheMutexIsHeldEvenWhereItCannotBeOpened)
{
    SECURITY_DESCRIPTOR denying;
    ACL empty_acl;
    ASSERT_TRUE(InitializeSecurityDescriptor(&denying, SECURITY_DESCRIPTOR_REVISION) &&
                InitializeAcl(&empty_acl, sizeof empty_acl, ACL_REVISION) &&
                SetSecurityDescriptorDacl(&denying, TRUE, &empty_acl, FALSE));
    SECURITY_DESCRIPTOR* descriptors[] = {nullptr, &denying};
    for (SECURITY_DESCRIPTOR* descriptor : descriptors) {
        SCOPED_TRACE(descriptor == nullptr ? "open mutex" : "denied mutex");
        Scenario scenario("second_instance");
        scenario.use_standin("orvane.standin.Print").set(1029, "0");
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
        HANDLE first = CreateMutexA(&attributes, TRUE, scenario.mutex_name().c_str());
        ASSERT_NE(first, nullptr);
        LaunchOutcome outcome = scenario.run();
        CloseHandle(first);
        EXPECT_EQ(only_box(outcome), "Error: An instance of this program is already running.");
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_TRUE(scenario.record().main_calls.empty()) << "main ran beside the first instance";
    }
}

TEST(Startup, OfTwoLaunchersStartedTogetherExactlyOneRunsMain)
{
    // main throws, and the winner's box holds it, and its mutex, until the
    // other launcher has ended.
    const std::string refusal = "An instance of this program is already running.";
    Scenario scenario("started_together");
    scenario.use_standin("orvane.standin.Script").set(1029, "0");
    scenario.make();
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE ended[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    LaunchOutcome outcomes[2];
    std::thread starters[2];
    for (int i = 0; i < 2; ++i)
        starters[i] = std::thread([&, i] {
            LaunchOptions options;
            options.arguments = "throw";
            options.on_window = [&](const SeenWindow& seen, HANDLE) {
                if (seen.text != refusal)
                    WaitForSingleObject(ended[1 - i], 20000);
            };
            WaitForSingleObject(go, INFINITE);
            outcomes[i] = run_launcher(scenario.exe(), options);
            SetEvent(ended[i]);
        });
    SetEvent(go);
    for (std::thread& starter : starters)
        starter.join();
    for (HANDLE event : {go, ended[0], ended[1]})
        CloseHandle(event);
    EXPECT_EQ(scenario.record().main_calls.size(), 1u);
    int refused = 0;
    for (const LaunchOutcome& outcome : outcomes) {
        EXPECT_TRUE(outcome.started && !outcome.timed_out);
        ASSERT_EQ(outcome.windows.size(), 1u);
        refused += outcome.windows[0].text == refusal && outcome.exit_code == 0;
    }
    EXPECT_EQ(refused, 1);
}

// The cleanup shows nothing, waits for the launcher and ends with 0.
TEST(Startup, CleanupWaitsForTheLauncherItCleansUpAfter)
{
    // The process to wait for: a launcher held open by its notice.
    Scenario waited("cleanup_waited");
    waited.set(1017, "OrvaneWaitedSvc").set(1034, "1");
    Scenario cleanup("cleanup_waiter");
    std::string cleanup_exe = cleanup.make();
    HANDLE child = nullptr;
    bool waited_while_open = false;
    LaunchOptions options;
    options.on_window = [&](const SeenWindow&, HANDLE process) {
        child = start_process("\"" + cleanup_exe + "\" -ovremovetemporaryjarfiles " +
                              std::to_string(GetProcessId(process)));
        waited_while_open = WaitForSingleObject(child, 1000) == WAIT_TIMEOUT;
    };
    LaunchOutcome outcome = waited.run(options);
    EXPECT_EQ(outcome.windows.size(), 1u);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(waited_while_open) << "the cleanup ended while the launcher still ran";
    EXPECT_EQ(WaitForSingleObject(child, 10000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the cleanup did not end after the launcher had ended";
    DWORD exit_code = 1;
    GetExitCodeProcess(child, &exit_code);
    EXPECT_EQ(exit_code, 0u);
    CloseHandle(child);
}

// A service-only launcher started without the service switch shows its
// notice and ends with 0; its priority class while the notice is up.
TEST(Startup, ServiceOnlyLauncherShowsItsNoticeAtThePriorityClassOfValue1033)
{
    const std::pair<const char*, DWORD> rows[] = {{"5", IDLE_PRIORITY_CLASS},
                                                  {"1", HIGH_PRIORITY_CLASS},
                                                  {"7", NORMAL_PRIORITY_CLASS},
                                                  {"-1", NORMAL_PRIORITY_CLASS}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        Scenario scenario("priority");
        scenario.set(1017, "OrvanePrioritySvc").set(1034, "1").set(1033, row.first);
        DWORD priority = 0;
        LaunchOptions options;
        options.on_window = [&](const SeenWindow&, HANDLE process) { priority = GetPriorityClass(process); };
        LaunchOutcome outcome = scenario.run(options);
        EXPECT_EQ(only_box(outcome), "Information: This program can only be run as a service.");
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_EQ(priority, row.second);
    }
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
    EXPECT_EQ(outcome.windows[1].text, "Error locating class: " + scenario.mutex_name());
}
