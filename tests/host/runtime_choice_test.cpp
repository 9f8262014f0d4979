#include "jvm/runtime_choice.h"
#include "jvm/pe_machine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "expect_rows.h"

namespace {

// How constraints compare is the version constraints' test; here the forms
// of a runtime's version.
TEST(RuntimeChoice, EveryVersionFormMeetsConstraintsByItsFields)
{
    using VersionAndList = std::pair<const char*, const char*>;
    expect_rows<VersionAndList, bool>({
        {{"1.8.0_392", "1.8.0"}, true}, {{"1.8.0_392", "11"}, false}, {{"zulu-17", "11"}, true},
        {{"zulu-17", "<17"}, false},    {{"jdk-21", "21"}, true},     {{"17.0.2+8", "=17.0.2.8"}, true},
        {{"no digits", "1.2.0"}, false},
    }, [](const VersionAndList& row) { return runtime_version_accepted(row.first, row.second); });
}

TEST(RuntimeChoice, HighestAcceptedVersionWinsAndTheFirstOfEqualsStays)
{
    const char* constraints = "11;<21";
    struct Step {
        const char* version;
        bool taken;
    } steps[] = {
        {"1.8.0_392", false}, {"11.0.21.9", true}, {"zulu-17", true}, {"17", false},
        {"17.0.9.9", true},   {"21.0.1", false},   {"11", false},     {"17.0.10", true},
    };
    bool have = false;
    int32_t chosen = 0;
    for (const Step& step : steps) {
        bool taken = runtime_outranks(step.version, constraints, have, chosen);
        EXPECT_EQ(taken, step.taken) << step.version;
        if (taken) {
            have = true;
            chosen = runtime_version_value(step.version);
        }
    }
    EXPECT_EQ(chosen, runtime_version_value("17.0.10"));
}

bool in_set(const char* path, void* context)
{
    return static_cast<std::set<std::string>*>(context)->count(path) != 0;
}

TEST(RuntimeChoice, LibraryIsProbedServerThenClientThenBelowJre)
{
    const std::string too_long(250, 'x');
    // "<none>" with an empty result when none is usable.
    using UsableAndHome = std::pair<std::set<std::string>, std::string>;
    expect_rows<UsableAndHome, std::string>({
        {{{"C:\\j\\bin\\server\\jvm.dll", "C:\\j\\bin\\client\\jvm.dll"}, "C:\\j"}, "C:\\j\\bin\\server\\jvm.dll"},
        {{{"C:\\j\\bin\\client\\jvm.dll", "C:\\j\\jre\\bin\\server\\jvm.dll"}, "C:\\j\\"}, "C:\\j\\bin\\client\\jvm.dll"},
        {{{"C:\\j\\jre\\bin\\server\\jvm.dll", "C:\\j\\jre\\bin\\client\\jvm.dll"}, "C:\\j"}, "C:\\j\\jre\\bin\\server\\jvm.dll"},
        {{{"C:\\j\\jre\\bin\\client\\jvm.dll"}, "C:\\j"}, "C:\\j\\jre\\bin\\client\\jvm.dll"},
        {{{"C:\\j\\jvm.dll"}, "C:\\j"}, "<none>"},
        {{{too_long + "\\bin\\server\\jvm.dll"}, too_long}, "<none>"}, // no joined path fits
    }, [](UsableAndHome row) {
        char result[260] = "untouched";
        bool found = probe_runtime_library(row.second.c_str(), result, sizeof result, in_set, &row.first);
        return (found ? "" : "<none>") + std::string(result);
    });
}

TEST(RuntimeChoice, ReleaseFileGivesJavaVersionWithoutQuotes)
{
    using TextAndRoom = std::pair<const char*, size_t>;
    expect_rows<TextAndRoom, std::string>({
        {{"JAVA_VERSION=\"1.8.0_392\"\r\nOS_ARCH=\"amd64\"\r\n", 64}, "1.8.0_392"},
        {{"JAVA_VERSION=21", 64}, "21"},
        {{"JAVA_VERSION_DATE=\"2024-01-16\"\nJAVA_VERSION=\"21.0.2\"", 64}, "21.0.2"},
        {{"JAVA_VERSION=\"17.0.2\"", 6}, "<null>"}, // does not fit
        {{"JAVA_VERSION=\"\"", 64}, "<null>"},
        {{"IMPLEMENTOR=x\n", 64}, "<null>"},
    }, [](const TextAndRoom& row) {
        char version[64] = {};
        return release_file_version(row.first, version, row.second) ? std::string(version) : "<null>";
    });
}

TEST(PeMachine, RealLibrariesOfBothArchitecturesAndBrokenFiles)
{
    // The suite's stand-in runtimes, built for each architecture.
    EXPECT_EQ(read_pe_machine(ORVANE_STANDIN_JVM32), pe_machine_x86) << ORVANE_STANDIN_JVM32;
    EXPECT_EQ(read_pe_machine(ORVANE_STANDIN_JVM64), pe_machine_x64) << ORVANE_STANDIN_JVM64;

    std::string dos(64, '\0');
    dos[0] = 'M';
    dos[1] = 'Z';
    dos[0x3c] = 64;
    using NameAndBytes = std::pair<std::string, std::string>;
    expect_rows<NameAndBytes, int>({
        {{"pe-arm64", dos + std::string("PE\0\0\x64\xaa", 6)}, pe_machine_arm64},
        {{"pe-x86", dos + std::string("PE\0\0\x4c\x01", 6)}, pe_machine_x86},
        {{"pe-cut", dos + std::string("PE\0\0\x4c", 5)}, -1},
        {{"dos-only", dos}, -1},
        {{"dos-cut", dos.substr(0, 40)}, -1},
        {{"no-signature", dos + std::string("NE\0\0\x4c\x01", 6)}, -1},
        {{"not-mz", "MX" + dos.substr(2) + std::string("PE\0\0\x4c\x01", 6)}, -1},
        {{"empty", ""}, -1},
    }, [](const NameAndBytes& row) {
        std::ofstream(::testing::TempDir() + row.first, std::ios::binary) << row.second;
        return read_pe_machine((::testing::TempDir() + row.first).c_str());
    });
    EXPECT_EQ(read_pe_machine("/no/such/file"), -1);
    std::string far = dos;
    far[0x3f] = 0x7f; // the signature would lie 2 GiB out
    EXPECT_EQ(pe_signature_offset(reinterpret_cast<const unsigned char*>(far.data()), 64), -1);
}

} // namespace
