#include "launcher/config_values.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Written out here so that a changed key in the product shows up as a failure.
constexpr char expected_key[17] = {'Q', 'w', '7', 'r', 'T', 'z', '4', '1', 'B',
                                   'n', '0', 'v', 'X', 'c', '8', '6', '\0'};

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

std::string hex_of(unsigned char c)
{
    char text[3];
    snprintf(text, sizeof text, "%02X", c);
    return text;
}

} // namespace

TEST(DescrambleMainClass, DecodesHexPairsAndXorsWithTheKey)
{
    const struct {
        const char* hex;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"10", "A"},          // 0x10 ^ 'Q'
        {"3015", "ab"},       // 0x30 ^ 'Q', 0x15 ^ 'w'
        {"2B", "z"},          // upper-case hex digit
        {"301", "a"},         // a last odd digit is ignored
        {"5115", ""},         // 0x51 ^ 'Q' is zero: the text ends there
        {"0a", "{"},          // 'a' counts 'a' - 55 = 42; 42 ^ 'Q' = '{'
        {"a0", "\xF1"},       // 16 * 42 = 672, mod 256 is 0xA0; ^ 'Q'
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("hex: [") + row.hex + "]");
        EXPECT_EQ(descrambled(row.hex), row.expected);
    }
}

TEST(DescrambleMainClass, OverlongHexGivesAtMost255Bytes)
{
    for (size_t hex_length : {600u, 2000u}) {
        SCOPED_TRACE("hex length " + std::to_string(hex_length));
        std::string hex;
        while (hex.size() < hex_length)
            hex += "20"; // a blank never meets its own value in the key
        std::string name = descrambled(hex);
        ASSERT_EQ(name.size(), 255u);
        for (size_t i = 0; i < name.size(); ++i)
            ASSERT_EQ(static_cast<unsigned char>(name[i]), 0x20u ^ static_cast<unsigned char>(expected_key[i % 17]))
                << "byte " << i;
    }
}

TEST(ScrambleMainClass, Every17thByteIsStoredAsItStands)
{
    const std::string name = "abcdefghijklmnopqrstuvwxyz0123457789ABCD"; // 40 bytes
    std::string hex = scrambled(name);
    ASSERT_EQ(hex.size(), 80u);
    EXPECT_EQ(hex.substr(2 * 16, 2), "71"); // 'q', the 17th character
    EXPECT_EQ(hex.substr(2 * 33, 2), hex_of(static_cast<unsigned char>(name[33])));
    EXPECT_NE(hex.substr(0, 2), hex_of(static_cast<unsigned char>(name[0])));
    EXPECT_NE(hex.substr(2 * 17, 2), hex_of(static_cast<unsigned char>(name[17])));

    std::string twenty = scrambled("orvane.demo.HelloXYZ");
    EXPECT_EQ(twenty.substr(2 * 16, 2), "6F"); // 'o'
}

TEST(ScrambleMainClass, RoundTripsAndRefusesNamesItCannotStore)
{
    const std::string names[] = {
        "a", "orvane.demo.Hello", "com.example.deeply.nested.pkg.Main$Inner",
        std::string(255, 'x'), std::string(100, 'y') + "\x7f\xc3\xa9",
    };
    for (const auto& name : names) {
        SCOPED_TRACE("name of " + std::to_string(name.size()) + " bytes: " + name.substr(0, 40));
        std::string hex = scrambled(name);
        EXPECT_EQ(hex.size(), 2 * name.size());
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
        EXPECT_EQ(descrambled(hex), name);
    }

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

TEST(ScrambleTool, PrintsTheHexOrRefusesAnOverlongName)
{
    FILE* pipe = popen(SCRAMBLE_TOOL_PATH " orvane.demo.Hello", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[256];
    while (fgets(chunk, sizeof chunk, pipe) != nullptr)
        output += chunk;
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(output, scrambled("orvane.demo.Hello") + "\n");

    std::string command = SCRAMBLE_TOOL_PATH " " + std::string(256, 'x') + " 2>/dev/null";
    pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    while (fgets(chunk, sizeof chunk, pipe) != nullptr) {
    }
    status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(ExpandIniFileName, ReplacesAppNameAndDropsOtherReferences)
{
    const struct {
        const char* ini_template;
        const char* expected;
    } rows[] = {
        {"%APPNAME%.ini", "tool.ini"},
        {"%appname%.ini", "tool.ini"},
        {"%AppName%.ini", "tool.ini"},
        {"%OTHER%x.ini", "x.ini"},
        {"%OTHER%", "%OTHER%"},
        {"a%b.ini", "ab.ini"},
        {"", ""},
        {"%APPNAME%-%APPNAME%.cfg", "tool-tool.cfg"},
        {"x.ini", "x.ini"},
        {"dir\\%APPNAME%.ini", "dir\\tool.ini"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("template: [") + row.ini_template + "]");
        char* result = expand_ini_file_name(row.ini_template, "tool");
        ASSERT_NE(result, nullptr);
        EXPECT_STREQ(result, row.expected);
        free(result);
    }
}

TEST(ConfigValues, BooleanIsFalseOnlyForALeadingZeroAndIntegerIsAtoi)
{
    const struct {
        const char* text;
        bool expected;
    } booleans[] = {
        {"", true}, {"no", true}, {"1", true}, {" 0", true}, {"false", true},
        {"0", false}, {"0abc", false}, {"00", false},
    };
    for (const auto& row : booleans) {
        SCOPED_TRACE(std::string("boolean: [") + row.text + "]");
        EXPECT_EQ(config_boolean(row.text), row.expected);
    }

    const struct {
        const char* text;
        int expected;
    } integers[] = {
        {"", 0}, {"-1", -1}, {"7x", 7}, {"42", 42}, {"abc", 0}, {" 12", 12},
    };
    for (const auto& row : integers) {
        SCOPED_TRACE(std::string("integer: [") + row.text + "]");
        EXPECT_EQ(config_integer(row.text), row.expected);
    }
}

TEST(UnescapeMessageText, TurnsBackslashNIntoALineBreakAndKeepsOtherPairs)
{
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"plain", "plain"},
        {R"(one\ntwo)", "one\ntwo"},
        {R"(\n\n)", "\n\n"},
        {R"(\x)", R"(\x)"},
        {R"(C:\temp)", R"(C:\temp)"},
        {R"(end\)", "end"},
        {R"(\\n)", R"(\\n)"},
        {R"(\\\n)", "\\\\\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("text: [") + row.text + "]");
        char* result = unescape_message_text(row.text);
        ASSERT_NE(result, nullptr);
        EXPECT_STREQ(result, row.expected);
        free(result);
    }
}
