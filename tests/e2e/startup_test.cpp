// The real launcher, configured per scenario and started as a user starts it:
// what it shows and how it ends.
#include "scenario.h"

// The first instance's mutex is the main-class name with "/" for "."; one
// created elevated denies this user access, and still means another instance.
// (One this user may open is the launcher's own, below.) The main class is
// one no other test starts, since tests run side by side: the launcher is
// refused before it would look for it.
TEST(Startup, SecondInstanceIsRefusedWhileTheMutexIsHeldEvenWhereItCannotBeOpened)
{
    SECURITY_DESCRIPTOR denying;
    ACL empty_acl;
    ASSERT_TRUE(InitializeSecurityDescriptor(&denying, SECURITY_DESCRIPTOR_REVISION) &&
                InitializeAcl(&empty_acl, sizeof empty_acl, ACL_REVISION) &&
                SetSecurityDescriptorDacl(&denying, TRUE, &empty_acl, FALSE));
    Scenario scenario("second_instance");
    scenario.use_standin("orvane.standin.Elevated").set(1029, "0");
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &denying, FALSE};
    HANDLE first = CreateMutexA(&attributes, TRUE, scenario.mutex_name().c_str());
    ASSERT_NE(first, nullptr);
    LaunchOutcome outcome = scenario.run();
    CloseHandle(first);
    EXPECT_EQ(only_box(outcome), "Error: An instance of this program is already running.");
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(scenario.record().main_calls.empty()) << "main ran beside the first instance";
}

// A launcher holds its own mutex while it runs: started again while the
// first one's box about main's exception is up, it is refused.
TEST(Startup, SecondStartWhileTheFirstRunsIsRefused)
{
    Scenario scenario("started_twice");
    scenario.use_standin("orvane.standin.Script").set(1029, "0");
    LaunchOutcome second;
    LaunchOptions options;
    options.arguments = "throw";
    options.on_window = [&](const SeenWindow&, HANDLE) { second = run_launcher(scenario.exe(), LaunchOptions()); };
    LaunchOutcome first = scenario.run(options);
    EXPECT_EQ(only_box(first), "Error: Error invoking method: main(java/lang/String[])");
    EXPECT_EQ(only_box(second), "Error: An instance of this program is already running.");
    EXPECT_EQ(second.exit_code, 0u);
    EXPECT_EQ(scenario.record().main_calls.size(), 1u);
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
    std::string first = outcome.windows[0].caption + ": " + outcome.windows[0].text;
    EXPECT_EQ(first.find("Error: Error accessing file/directory: " + scrambled(long_class) + "\n\nReason: "), 0u)
        << first;
    // The start went on to the JVM, which knows no such class.
    EXPECT_EQ(outcome.windows[1].text, "Error locating class: " + scenario.mutex_name());
}
