// The string table of this executable (test_table.rc) read through the
// launcher's loaders: configuration texts, message templates, and the
// configuration record as load_configuration fills it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "long_values.h"

static_assert(sizeof LONG_VALUE_1023 == 1024 && sizeof LONG_VALUE_2047 == 2048,
              "long_values.h holds values of the wrong length");

namespace {

struct StringCase {
    const char* name;
    unsigned id;
    std::string expected;
};

TEST(ConfigStringLoading, ReadsEveryValueWholeAndNullOrAbsentAsEmpty)
{
    const StringCase cases[] = {
        {"1022 characters fit the first read", 1100, LONG_VALUE_1022},
        {"1023 characters fill the first read, which grows once", 1101, LONG_VALUE_1023},
        {"2047 characters grow the read twice", 1102, LONG_VALUE_2047},
        {"stored as <null>", 1096, ""},
        {"<null> followed by more is an ordinary value", 1097, "<null>x"},
        {"backslash-n stays two characters in a configuration text", 1095, "C:\\new"},
        {"absent from a block that exists", 1098, ""},
        {"absent with its whole block", 1500, ""},
    };
    for (const StringCase& c : cases) {
        char* loaded = load_config_string(c.id);
        std::string text = loaded;
        free(loaded);
        EXPECT_EQ(c.expected.size(), text.size()) << "length, row: " << c.name;
        EXPECT_TRUE(text == c.expected) << "text differs, row: " << c.name << "\n  got: " << text.substr(0, 80);
    }
}

// The escapes themselves are proven on the host.
TEST(MessageStringLoading, UnescapesAndConvertsToTheAnsiCodePage)
{
    ASSERT_EQ(1252u, GetACP()) << "the expectations below are those of ANSI code page 1252";
    const StringCase cases[] = {
        {"backslash-n becomes a line break", 32, "first line\nsecond line"},
        {"non-ASCII characters become their code page 1252 bytes", 35, "caf\xE9 cr\xE8me"},
        {"<null> is an ordinary text in a message", 36, "<null>"},
        {"absent from a block that exists", 38, ""},
        {"absent with its whole block", 200, ""},
    };
    for (const StringCase& c : cases)
        EXPECT_EQ(c.expected, std::string(load_message_string(c.id))) << "row: " << c.name;
}

std::string shown(const char* text) { return text != nullptr ? text : "(none)"; }
std::string shown(bool value) { return value ? "true" : "false"; }

struct FieldCase {
    const char* name;
    std::string actual;
    std::string expected;
};

// The values whose effect the end-to-end tier does not see, and one of each
// form a value can take; the others are proven by what the real launcher does
// with them there.
TEST(LoadedConfiguration, EveryFieldHasTheValueOfItsForm)
{
    app_name = copy_text("unit");
    load_configuration();
    const LauncherConfig& c = launcher_config;
    const FieldCase cases[] = {
        {"1001 text", shown(c.java_version_constraints), "1.6.0;1.8.0"},
        {"1005 text", shown(c.runtime_search_order), "210"},
        {"1015 boolean 0abc is false", shown(c.chdir_before_jvm), "false"},
        {"1016 boolean no is true", shown(c.restore_launch_directory), "true"},
        {"1022 absent boolean is true", shown(c.service_manual_start), "true"},
        {"1030 display text has its line break", shown(c.splash_text), "Loading\nplease wait"},
        {"1039 boolean", shown(c.report_missing_runtime), "false"},
        {"1040 text", shown(c.missing_runtime_document), "http://example.com/java"},
        {"1041 text stored as <null> is empty", shown(c.missing_runtime_command), ""},
        {"1042 boolean", shown(c.stdout_append), "true"},
        {"1043 boolean", shown(c.stderr_append), "false"},
        {"show_console is not in the table", shown(c.show_console), "false"},
        {"message 5 absent from the table is empty", shown(c.message_table[message_load_jvm]), ""},
    };
    for (const FieldCase& row : cases)
        EXPECT_EQ(row.expected, row.actual) << "row: " << row.name;
}

} // namespace
