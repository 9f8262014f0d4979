// The string table of this executable (test_table.rc) read through the
// launcher's loaders: configuration texts, message templates, and the whole
// configuration record filled by load_configuration.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "long_values.h"

static_assert(sizeof LONG_VALUE_1023 == 1024 && sizeof LONG_VALUE_3000 == 3001,
              "long_values.h holds values of the wrong length");

namespace {

constexpr char scrambled_example_main[] = "32185A5C3102555C3202555815025158";

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
        {"3000 characters", 1103, LONG_VALUE_3000},
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
        {"a display text of the neutral configuration table", 1030, "Loading\nplease wait"},
        {"absent from a block that exists", 38, ""},
        {"absent with its whole block", 200, ""},
    };
    for (const StringCase& c : cases)
        EXPECT_EQ(c.expected, std::string(load_message_string(c.id))) << "row: " << c.name;
}

std::string shown(const char* text) { return text != nullptr ? text : "(none)"; }
std::string shown(bool value) { return value ? "true" : "false"; }
std::string shown(int value) { return std::to_string(value); }

struct FieldCase {
    const char* name;
    std::string actual;
    std::string expected;
};

TEST(LoadedConfiguration, EveryFieldHasTheValueOfItsForm)
{
    app_name = copy_text("unit");
    load_configuration();
    const LauncherConfig& c = launcher_config;
    const FieldCase cases[] = {
        {"1001 text", shown(c.java_version_constraints), "1.6.0;1.8.0"},
        {"1002 text keeps backslashes", shown(c.jvm_path_list), "C:\\jre\\bin\\client\\jvm.dll"},
        {"1003 text keeps backslash-n", shown(c.jvm_options), "-Xms8m -Dpath=C:\\new"},
        {"1004 text", shown(c.class_path), "app.jar;lib"},
        {"1005 text", shown(c.runtime_search_order), "210"},
        {"1006 boolean stored as <null> is true", shown(c.remove_extracted_jars_at_exit), "true"},
        {"1008 text", shown(c.install_switch), "-setup"},
        {"1009 text", shown(c.uninstall_switch), "-remove"},
        {"1010 text", shown(c.service_switch), "-asservice"},
        {"1011 text", shown(c.working_directory), "work"},
        {"1012 kept as stored", shown(c.scrambled_main_class), scrambled_example_main},
        {"1012 descrambled with / for .", shown(c.main_class), "com/example/Main"},
        {"1013 text", shown(c.app_options), "--verbose"},
        {"1014 %APPNAME% becomes app_name", shown(c.ini_file_name), "unit.cfg"},
        {"1015 boolean 0abc is false", shown(c.chdir_before_jvm), "false"},
        {"1016 boolean no is true", shown(c.restore_launch_directory), "true"},
        {"1017 text", shown(c.service_name), "TestSvc"},
        {"1018 text", shown(c.service_description), "Test service"},
        {"1019 text", shown(c.service_app_options), "-svc"},
        {"1020 text", shown(c.service_stop_options), "-stop"},
        {"1021 boolean 1 is true", shown(c.stop_with_system_exit), "true"},
        {"1022 absent boolean is true", shown(c.service_manual_start), "true"},
        {"1023 boolean 0 is false", shown(c.service_interactive), "false"},
        {"1024 text", shown(c.service_dependencies), "Tcpip;Dhcp"},
        {"1025 integer", shown(c.stdout_mode), "2"},
        {"1026 integer 12abc is 12, as atoi reads it", shown(c.stderr_mode), "12"},
        {"1027 text", shown(c.stdout_file), "out.log"},
        {"1028 text", shown(c.stderr_file), "err.log"},
        {"1029 boolean", shown(c.allow_multiple_instances), "false"},
        {"1030 display text has its line break", shown(c.splash_text), "Loading\nplease wait"},
        {"1031 boolean", shown(c.splash_until_app_window), "true"},
        {"1032 integer", shown(c.splash_timeout_seconds), "42"},
        {"1034 boolean", shown(c.service_only), "false"},
        {"1035 text", shown(c.static_options), "-static"},
        {"1036 boolean", shown(c.service_args_on_command_line), "true"},
        {"1037 boolean", shown(c.forward_second_instance), "false"},
        {"1038 text", shown(c.second_instance_options), "-forward"},
        {"1039 boolean", shown(c.report_missing_runtime), "false"},
        {"1040 text", shown(c.missing_runtime_document), "http://example.com/java"},
        {"1041 text stored as <null> is empty", shown(c.missing_runtime_command), ""},
        {"1042 boolean", shown(c.stdout_append), "true"},
        {"1043 boolean", shown(c.stderr_append), "false"},
        {"show_console is not in the table", shown(c.show_console), "false"},
        {"message 1", shown(c.message_table[message_already_running]),
         "An instance of this program is already running."},
        {"message 14", shown(c.message_table[message_service_installed]), "Service installed: %s"},
        {"message 5 absent from the table is empty", shown(c.message_table[message_load_jvm]), ""},
    };
    for (const FieldCase& row : cases)
        EXPECT_EQ(row.expected, row.actual) << "row: " << row.name;
}

} // namespace
