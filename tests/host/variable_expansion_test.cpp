#include "launcher/expansion_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <tuple>

#include "expect_rows.h"

namespace {

constexpr uint64_t mib = 1024ull * 1024;
constexpr uint64_t gib = 1024 * mib;

// The fixed machine the rules are driven against.
struct FakeMachine {
    bool date_fails = false;
    uint64_t available = 0;
    uint64_t total = 0;
} machine;

bool fake_date(char* buffer, int capacity)
{
    EXPECT_EQ(capacity, 255);
    if (machine.date_fails)
        return false;
    snprintf(buffer, static_cast<size_t>(capacity), "20261205");
    return true;
}

bool fake_time(char* buffer, int capacity)
{
    EXPECT_EQ(capacity, 255);
    snprintf(buffer, static_cast<size_t>(capacity), "140309");
    return true;
}

uint64_t fake_memory(bool total)
{
    return total ? machine.total : machine.available;
}

// Windows ignores case in environment names.
const char* fake_environment(const char* name)
{
    static const char* const variables[][2] = {
        {"JAVA_HOME", "C:\\env-jdk"},  {"APPS", "C:\\apps"},
        {"QUOTED", "\"C:\\Program Files\\app\""}, {"LEADING", "\"abc"},
        {"TRAILING", "abc\""},         {"ONE_QUOTE", "\""},
        {"TWO_QUOTES", "\"\""},        {"DOUBLED", "\"\"x\"\""},
        {"INNER", "a\"b"},             {"EMPTY", ""},
    };
    for (const auto& variable : variables)
        if (strcasecmp(variable[0], name) == 0)
            return variable[1];
    return nullptr;
}

std::string expand(const char* text, const char* java_home = "C:\\jre", int address_bits = 32)
{
    const ExpansionSources sources = {java_home, fake_date, fake_time, fake_memory,
                                      fake_environment, address_bits};
    char* expanded = expand_with_sources(text, &sources);
    std::string result = expanded;
    free(expanded);
    return result;
}

} // namespace

TEST(VariableExpansion, ExpandsEachKindOfReferenceByItsRules)
{
    expect_rows<const char*, std::string>({
        // Percent signs, unclosed and undefined names.
        {"plain text", "plain text"},
        {"50%%", "50"},
        {"50%", "50"},
        {"50%abc", "50%abc"},
        {"a%APPS%b%c", "aC:\\appsb%c"},
        {"x%UNDEFINED%y", "xy"},
        {"%UNDEFINED%", "%UNDEFINED%"},
        {"%", "%"},
        {"%%", "%%"},
        // One quote is trimmed at each end of an environment value.
        {"%QUOTED%\\lib", "C:\\Program Files\\app\\lib"},
        {"[%LEADING%]", "[abc]"},
        {"[%TRAILING%]", "[abc]"},
        {"[%ONE_QUOTE%]", "[]"},
        {"[%TWO_QUOTES%]", "[]"},
        {"[%DOUBLED%]", "[\"x\"]"},
        {"[%INNER%]", "[a\"b]"},
        {"[%EMPTY%]", "[]"},
        {"%EMPTY%", "%EMPTY%"},
        {"%JAVA_HOME%\\bin", "C:\\jre\\bin"},
        {"%java_home%\\bin", "C:\\env-jdk\\bin"},
        // DATE and TIME ignore case.
        {"%DATE%", "20261205"},
        {"%time%", "140309"},
        {"log-%Date%-%TIME%.txt", "log-20261205-140309.txt"},
        {"[%DATES%]", "[]"},
    }, [](const char* text) { return expand(text); });
    // JAVA_HOME is the found runtime only when spelled exactly, and is not trimmed.
    using TextAndHome = std::pair<const char*, const char*>;
    expect_rows<TextAndHome, std::string>({
        {{"[%JAVA_HOME%]", "\"C:\\q\""}, "[\"C:\\q\"]"},
        {{"x%JAVA_HOME%y", ""}, "xy"},
        {{"%JAVA_HOME%", ""}, "%JAVA_HOME%"},
    }, [](const TextAndHome& row) { return expand(row.first, row.second); });
}

TEST(VariableExpansion, FailingDateCallAddsNothing)
{
    machine = FakeMachine{};
    machine.date_fails = true;
    EXPECT_EQ(expand("x%DATE%y"), "xy");
    EXPECT_EQ(expand("%DATE%"), "%DATE%");
    machine = FakeMachine{};
}

// A 32-bit launcher counts more than 2 GiB as 1 GiB, since its process
// cannot hold a larger heap; a 64-bit one takes its share of all memory.
TEST(VariableExpansion, HeapSizesFollowTheMemoryRulesOfTheLaunchersWidth)
{
    // The width, available and total memory, and the text.
    using Heap = std::tuple<int, uint64_t, uint64_t, const char*>;
    expect_rows<Heap, std::string>({
        {{32, gib + gib / 2, 0, "%AVAILRAM50%"}, "768m"},
        {{32, gib + gib / 2, 0, "%AVAILRAM%"}, "1536m"},
        {{32, gib + gib / 2, 0, "%AVAILRAM100%"}, "1536m"},
        {{32, gib + gib / 2, 0, "%AVAILRAM0%"}, "1536m"},
        {{32, gib + gib / 2, 0, "%AVAILRAM101%"}, "1536m"},
        {{32, gib + gib / 2, 0, "%AVAILRAM50abc%"}, "768m"},
        {{32, 0, 8 * gib, "%TOTALRAM25%"}, "256m"},
        {{32, 0, 2 * gib, "%TOTALRAM%"}, "2048m"},
        {{32, 0, 2 * gib + 1, "%TOTALRAM%"}, "1024m"},
        {{32, 100 * mib, 0, "%AVAILRAM10%"}, "64m"},
        {{32, 64 * mib - 1, 0, "%AVAILRAM%"}, "64m"},
        {{32, gib, 0, "%AVAILRAM30%"}, "307m"},
        {{32, gib, 0, "%AVAILRAM1%"}, "64m"},
        {{32, gib, 2 * gib, "%AVAILRAM%/%TOTALRAM%"}, "1024m/2048m"},
        {{32, gib, 0, "[%availram%]"}, "[]"},
        {{64, 0, 16 * gib, "-Xmx%TOTALRAM50%"}, "-Xmx8192m"},
        {{64, 6 * gib, 0, "%AVAILRAM%"}, "6144m"},
        {{64, 0, 2 * gib + mib, "%TOTALRAM%"}, "2049m"},
        {{64, 1024 * gib, 0, "%AVAILRAM%"}, "1048576m"},
        {{64, 100 * mib, 0, "%AVAILRAM10%"}, "64m"},
    }, [](const Heap& row) {
        machine = FakeMachine{false, std::get<1>(row), std::get<2>(row)};
        return expand(std::get<3>(row), "C:\\jre", std::get<0>(row));
    });
    machine = FakeMachine{};
}

TEST(VariableExpansion, LongTextsGrowTheResultAndLeaveTheInputAlone)
{
    std::string text;
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        text += "%APPS%\\lib" + std::to_string(i) + ".jar;";
        expected += "C:\\apps\\lib" + std::to_string(i) + ".jar;";
    }
    const std::string original = text;
    EXPECT_EQ(expand(text.c_str()), expected);
    EXPECT_EQ(text, original);
}
