// The console a launcher gives itself: the visible one of ShowConsole, and
// the hidden one of the Windows 95 family (emulated per executable name).
#include "scenario.h"

TEST(Console, ShowConsoleIsVisibleAndTheWindows95FamilyWithRedirectionGetsAHiddenOneReleasedOnQuit)
{
    const struct {
        const char* exe_name;
        std::map<unsigned, std::string> values;
        std::vector<std::string> recorded;
        std::string out_log;
    } rows[] = {
        // No quit-message hook on the Windows NT family.
        {"app.exe", {{1014, "%APPNAME%.ini"}},
         {"console window visible", "console text to the console", "after quit console yes"}, "(missing)"},
        // A peeked quit message leaves the console; the quit-message hook frees it.
        {"ovwin98.exe", {{1025, "1"}, {1027, "out.log"}},
         {"console title ovc<pid>", "console window hidden", "after peek console yes", "after quit console no"},
         "to the console\r\n"},
    };
    Windows98Name emulated("ovwin98.exe");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exe_name);
        Scenario scenario("console", row.exe_name);
        scenario.use_standin("orvane.standin.Console");
        for (const auto& value : row.values)
            scenario.set(value.first, value.second);
        ASSERT_TRUE(write_file(scenario.directory() + "\\app.ini", "[Application Configuration]\r\nShowConsole=1\r\n"));
        LaunchOptions options;
        // Wine attaches a windowed child to its parent's console (Windows does
        // not), and AllocConsole then fails with access denied.
        options.creation_flags = DETACHED_PROCESS;
        LaunchOutcome outcome = scenario.run(options);
        EXPECT_EQ(only_box(outcome), "");
        EXPECT_EQ(outcome.exit_code, 0u);
        StandinRecord record = scenario.record();
        for (const std::string& line : row.recorded)
            EXPECT_TRUE(record.has(line)) << line;
        EXPECT_EQ(read_file(scenario.directory() + "\\out.log"), row.out_log) << "the redirected output";
    }
}
