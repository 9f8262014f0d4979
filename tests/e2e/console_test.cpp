// The console a launcher gives itself: the visible one of ShowConsole, and
// the hidden one of the Windows 95 family (emulated per executable name).
#include "scenario.h"

namespace {

// Makes Wine report Windows 98 to the executable of this name while alive.
class Windows98 {
public:
    explicit Windows98(const std::string& exe_name) : key_("Software\\Wine\\AppDefaults\\" + exe_name)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~Windows98() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::string key_;
};

LaunchOptions detached()
{
    LaunchOptions options;
    options.detached = true;
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
    Windows98 emulated("ovwin98.exe");
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
