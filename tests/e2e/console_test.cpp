// The console a launcher gives itself: the visible one of ShowConsole, and
// the hidden one of the Windows 95 family (emulated per executable name).
#include "scenario.h"

namespace {

LaunchOptions detached()
{
    LaunchOptions options;
    // Wine attaches a windowed child to its parent's console (Windows does
    // not), and AllocConsole then fails with access denied.
    options.creation_flags = DETACHED_PROCESS;
    return options;
}

} // namespace

TEST(Console, ShowConsoleGivesAVisibleConsoleThatReceivesTheOutput)
{
    Scenario scenario("show_console");
    scenario.use_standin("orvane.standin.Console").set(1014, "%APPNAME%.ini");
    ASSERT_TRUE(write_file(scenario.directory() + "\\app.ini", "[Application Configuration]\r\nShowConsole=1\r\n"));
    LaunchOutcome outcome = scenario.run(detached());
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    EXPECT_TRUE(record.has("console window visible"));
    EXPECT_TRUE(record.has("console text to the console"));
    // No quit-message hook on the Windows NT family.
    EXPECT_TRUE(record.has("after quit console yes"));
}

TEST(Console, Windows95FamilyWithRedirectionGetsAHiddenConsoleReleasedOnQuit)
{
    Windows98Name emulated("ovwin98.exe");
    Scenario scenario("hidden_console", "ovwin98.exe");
    scenario.use_standin("orvane.standin.Console").set(1025, "1").set(1027, "out.log");
    LaunchOutcome outcome = scenario.run(detached());
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    EXPECT_TRUE(record.has("console title ovc<pid>"));
    EXPECT_TRUE(record.has("console window hidden"));
    EXPECT_EQ(read_file(scenario.directory() + "\\out.log"), "to the console\r\n") << "the redirected output";
    EXPECT_TRUE(record.has("after peek console yes")) << "a peeked quit message freed the console";
    EXPECT_TRUE(record.has("after quit console no")) << "the quit-message hook did not free the console";
}
