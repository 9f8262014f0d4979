#include "launcher/config_values.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

#include "expect_rows.h"

namespace {

std::string scrambled(const std::string& name)
{
    char hex[2 * 255 + 1];
    EXPECT_TRUE(scramble_main_class(name.c_str(), hex, sizeof hex)) << name;
    return hex;
}

// Descrambles into a heap result of exactly 256 bytes, so that ASan sees any
// write past it.
std::string descrambled(const std::string& hex)
{
    std::unique_ptr<char[]> result(new char[256]);
    descramble_main_class(hex.c_str(), result.get());
    return std::string(result.get());
}

} // namespace

TEST(DescrambleMainClass, DecodesHexPairsAndXorsWithTheKey)
{
    expect_rows<const char*, std::string>({
        {"", ""},
        {"10", "A"},          // 0x10 ^ 'Q'
        {"3015", "ab"},       // 0x30 ^ 'Q', 0x15 ^ 'w'
        {"2B", "z"},          // upper-case hex digit
        {"301", "a"},         // a last odd digit is ignored
        {"5115", ""},         // 0x51 ^ 'Q' is zero: the text ends there
        {"0a", "{"},          // 'a' counts 'a' - 55 = 42; 42 ^ 'Q' = '{'
        {"a0", "\xF1"},       // 16 * 42 = 672, mod 256 is 0xA0; ^ 'Q'
        {"0000000000000000000000000000000000", "Qw7rTz41Bn0vXc86"}, // the key; its 17th byte is zero
    }, descrambled);
}

// The round trip of every storable name is a fuzz property; with the
// descrambling rows above it fixes every byte of the hex.
TEST(ScrambleMainClass, WritesUpperCaseHexAndRefusesNamesItCannotStore)
{
    EXPECT_EQ(scrambled("zb"), "2B15");
    EXPECT_EQ(descrambled(scrambled(std::string(255, 'x'))), std::string(255, 'x'));
    char hex[600];
    EXPECT_FALSE(scramble_main_class(std::string(256, 'x').c_str(), hex, sizeof hex));
    // The hex text and its terminator must fit the result.
    EXPECT_TRUE(scramble_main_class("abc", hex, 7));
    EXPECT_FALSE(scramble_main_class("abc", hex, 6));
    // A character equal to its key character would descramble as the end.
    EXPECT_FALSE(scramble_main_class("Quit", hex, sizeof hex));
    EXPECT_FALSE(scramble_main_class("ab7", hex, sizeof hex));
    EXPECT_STREQ(hex, "");
}

// The exit status of a command, with what it wrote to standard output.
int run_command(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    char chunk[256];
    while (pipe != nullptr && fgets(chunk, sizeof chunk, pipe) != nullptr)
        *output += chunk;
    int status = pipe != nullptr ? pclose(pipe) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ScrambleTool, PrintsTheHexOrRefusesAnOverlongName)
{
    std::string output;
    EXPECT_EQ(run_command(SCRAMBLE_TOOL_PATH " orvane.demo.Hello", &output), 0);
    EXPECT_EQ(output, scrambled("orvane.demo.Hello") + "\n");
    output.clear();
    EXPECT_EQ(run_command(SCRAMBLE_TOOL_PATH " " + std::string(256, 'x') + " 2>/dev/null", &output), 2);
    EXPECT_EQ(output, "");
}

// A template without references stays as it is: a fuzz property.
TEST(ExpandIniFileName, ReplacesAppNameAndDropsOtherReferences)
{
    expect_rows<const char*, std::string>({
        {"%APPNAME%.ini", "tool.ini"},
        {"%appname%.ini", "tool.ini"},
        {"%OTHER%x.ini", "x.ini"},
        {"%OTHER%", "%OTHER%"},
        {"a%b.ini", "ab.ini"},
        {"%APPNAME%-%APPNAME%.cfg", "tool-tool.cfg"},
        {"dir\\%APPNAME%.ini", "dir\\tool.ini"},
    }, [](const char* ini_template) { return heap_text(expand_ini_file_name(ini_template, "tool")); });
}

TEST(ConfigValues, BooleanIsFalseOnlyForALeadingZeroAndIntegerIsAtoi)
{
    expect_rows<const char*, bool>({
        {"", true}, {"no", true}, {"1", true}, {" 0", true}, {"false", true},
        {"0", false}, {"0abc", false}, {"00", false},
    }, config_boolean);
    expect_rows<const char*, int>({
        {"", 0}, {"-1", -1}, {"7x", 7}, {"42", 42}, {"abc", 0}, {" 12", 12},
    }, config_integer);
}

TEST(UnescapeMessageText, TurnsBackslashNIntoALineBreakAndKeepsOtherPairs)
{
    expect_rows<const char*, std::string>({
        {R"(one\ntwo)", "one\ntwo"},
        {R"(\n\n)", "\n\n"},
        {R"(\x)", R"(\x)"},
        {R"(C:\temp)", R"(C:\temp)"},
        {R"(end\)", "end"},
        {R"(\\n)", R"(\\n)"},
        {R"(\\\n)", "\\\\\n"},
    }, [](const char* text) { return heap_text(unescape_message_text(text)); });
}
