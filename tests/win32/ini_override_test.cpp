// apply_ini_overrides against real INI files in a scratch directory, made
// current as the executable's directory is at start-up.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "scenario_launcher.h"
#include "scratch_directory.h"

namespace {

// The configuration before an INI file is read.
LauncherConfig configured()
{
    LauncherConfig c{};
    c.jvm_options = copy_text("-Xms8m");
    c.app_options = copy_text("--configured");
    c.static_options = copy_text("-configured");
    c.stdout_file = copy_text("stdout.log");
    c.stderr_file = copy_text("stderr.log");
    return c;
}

// The fields an INI file can change, one line each.
std::string overridable_fields(const LauncherConfig& c)
{
    return std::string("jvm_options ") + c.jvm_options + "\napp_options " + c.app_options + "\nstatic_options " +
           c.static_options + "\nstdout_file " + c.stdout_file + "\nstderr_file " + c.stderr_file +
           "\nmodes " + std::to_string(c.stdout_mode) + " " + std::to_string(c.stderr_mode) + "\nappend " +
           std::to_string(c.stdout_append) + " " + std::to_string(c.stderr_append) + "\nshow_console " +
           std::to_string(c.show_console);
}

class IniOverride : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.ready()) << scratch_.path(); }
    // Writes an INI file of the launcher's section; each case has a file of
    // its own, so no profile cache can hand back an earlier one.
    void write_ini(const std::string& name, const std::string& lines)
    {
        ASSERT_TRUE(write_file(name, "[Application Configuration]\r\n" + lines)) << "cannot write " << name;
    }
    static void apply_ini(const std::string& name)
    {
        launcher_config.ini_file_name = copy_text(name.c_str());
        apply_ini_overrides();
    }
    ScratchDirectory scratch_;
};

struct IniCase {
    const char* name;
    void (*start)(LauncherConfig&);
    const char* lines;
    void (*expect)(LauncherConfig&);
};

void as_configured(LauncherConfig&) {}

const IniCase ini_cases[] = {
    {"JvmOptionsAppend alone to empty options starts with a blank",
     [](LauncherConfig& o) { o.jvm_options = copy_text(""); }, "JvmOptionsAppend=-Dx=1\r\n",
     [](LauncherConfig& o) { o.jvm_options = copy_text(" -Dx=1"); }},
    {"JvmOptionsAppend alone adds to the configured options", as_configured, "JvmOptionsAppend=-Dx=1\r\n",
     [](LauncherConfig& o) { o.jvm_options = copy_text("-Xms8m -Dx=1"); }},
    {"AppOptions and StaticOptions replace their values", as_configured,
     "AppOptions=--fast\r\nStaticOptions=-s1 -s2\r\n",
     [](LauncherConfig& o) { o.app_options = copy_text("--fast"), o.static_options = copy_text("-s1 -s2"); }},
    {"StdOutFile and StdErrFile set their file and mode 1", as_configured,
     "StdOutFile=out.txt\r\nStdErrFile=err.txt\r\n",
     [](LauncherConfig& o) {
         o.stdout_file = copy_text("out.txt"), o.stderr_file = copy_text("err.txt"), o.stdout_mode = o.stderr_mode = 1;
     }},
    {"ShowConsole=1 then sets both modes back to 0", [](LauncherConfig& o) { o.stderr_mode = 2; },
     "StdOutFile=out.txt\r\nShowConsole=1\r\n",
     [](LauncherConfig& o) {
         o.stdout_file = copy_text("out.txt"), o.stdout_mode = 0, o.stderr_mode = 0, o.show_console = true;
     }},
    {"ShowConsole=0 clears the flag and keeps the modes",
     [](LauncherConfig& o) { o.show_console = true, o.stdout_mode = 2, o.stderr_mode = 1; }, "ShowConsole=0\r\n",
     [](LauncherConfig& o) { o.show_console = false; }},
    {"ShowConsole=yes changes nothing", [](LauncherConfig& o) { o.stdout_mode = 2, o.stderr_mode = 2; },
     "ShowConsole=yes\r\n", as_configured},
    {"ShowConsole=yes with the flag already set resets the modes",
     [](LauncherConfig& o) { o.show_console = true, o.stdout_mode = 2, o.stderr_mode = 2; }, "ShowConsole=yes\r\n",
     [](LauncherConfig& o) { o.stdout_mode = 0, o.stderr_mode = 0; }},
    {"only 1 is true: StdOutFileAppend=true is false", [](LauncherConfig& o) { o.stdout_append = true; },
     "StdOutFileAppend=true\r\nStdErrFileAppend=1\r\n",
     [](LauncherConfig& o) { o.stdout_append = false, o.stderr_append = true; }},
    {"only 1 is true: StdErrFileAppend=yes is false", [](LauncherConfig& o) { o.stderr_append = true; },
     "StdErrFileAppend=yes\r\nStdOutFileAppend=1\r\n",
     [](LauncherConfig& o) { o.stdout_append = true, o.stderr_append = false; }},
    {"keys with empty values change nothing", as_configured,
     "AppOptions=\r\nJvmOptions=\r\nJvmOptionsAppend=\r\nStdOutFile=\r\nShowConsole=\r\nStdOutFileAppend=\r\n",
     as_configured},
    {"keys of another section change nothing", as_configured, "[Other]\r\nJvmOptions=-Xmx1g\r\n", as_configured},
    {"key names match ignoring case", as_configured, "jvmoptions=-Xmx1g\r\n",
     [](LauncherConfig& o) { o.jvm_options = copy_text("-Xmx1g"); }},
};

TEST_F(IniOverride, EachKeyHasItsEffect)
{
    int number = 0;
    for (const IniCase& row : ini_cases) {
        std::string name = "case" + std::to_string(++number) + ".ini";
        write_ini(name, row.lines);
        LauncherConfig expected = configured();
        row.start(expected);
        launcher_config = expected;
        row.expect(expected);
        apply_ini(name);
        EXPECT_EQ(overridable_fields(launcher_config), overridable_fields(expected)) << "row: " << row.name;
    }
}

TEST_F(IniOverride, ValuesAreCutAt4095Characters)
{
    const size_t lengths[] = {4094, 4095, 4096, 6000};
    for (size_t length : lengths) {
        std::string value(length, 'v');
        value[0] = '-';
        std::string name = "long" + std::to_string(length) + ".ini";
        write_ini(name, "JvmOptions=" + value + "\r\nAppOptions=" + value + "\r\n");
        launcher_config = configured();
        apply_ini(name);
        LauncherConfig expected = configured();
        expected.jvm_options = expected.app_options = copy_text(value.substr(0, 4095).c_str());
        EXPECT_EQ(overridable_fields(launcher_config), overridable_fields(expected))
            << "value of " << length << " characters";
    }
}

// Joined to the current directory, an absolute name names no file; the file
// itself is read when named as the launcher names it.
TEST_F(IniOverride, AbsoluteIniFileNameChangesNothing)
{
    write_ini("settings.ini", "JvmOptions=-Xmx1g\r\nShowConsole=1\r\n");
    launcher_config = configured();
    launcher_config.stdout_mode = 2;
    const std::string before = overridable_fields(launcher_config);
    apply_ini(scratch_.path() + "\\settings.ini");
    EXPECT_EQ(overridable_fields(launcher_config), before);
    apply_ini("settings.ini");
    EXPECT_STREQ("-Xmx1g", launcher_config.jvm_options) << "settings.ini was not read by its plain name";
}

} // namespace
