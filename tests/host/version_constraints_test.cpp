#include "jvm/version_constraints.h"

#include <gtest/gtest.h>

#include <string>

#include "expect_rows.h"

namespace {

TEST(ParseVersionConstraint, ReadsOperatorAndFourFieldsOfEveryRow)
{
    expect_rows<std::string, std::pair<VersionOperator, int32_t>>({
        {"1.2.0", {version_at_least, 1020000}},
        {"1.6.0_20", {version_at_least, 1060020}},
        {"1.6.0-b12", {version_at_least, 1060000}},  // '-' ends the third field, 'b' an empty fourth
        {"1.5.0.1.2", {version_at_least, 1050001}},  // scanning stops after four fields
        {">=1.5", {version_at_least, 1050000}},
        {"<1.7", {version_less_than, 1070000}},
        {">5", {version_at_least, 50000}},            // two characters: no operator, fields 0 and 5
        {">1.5", {version_greater_than, 1050000}},
        {"<=1.6.0_45", {version_at_most, 1060045}},
        {"=1.8", {version_equal, 1080000}},
        {"=5", {version_equal, 5000000}},             // '=' counts whatever the length
        {"=", {version_equal, 0}},
        {"", {version_at_least, 0}},
        {"7", {version_at_least, 7000000}},
        {"1.", {version_at_least, 1000000}},
        {"1..2", {version_at_least, 1000200}},        // an empty field between two dots is 0
        {"a1", {version_at_least, 10000}},            // any non-digit separates, even first
        {"1.6.0_20b", {version_at_least, 1060020}},   // the last character belongs to its field
        {">>1.5", {version_greater_than, 10500}},     // the second '>' ends an empty first field
        {"<=>2", {version_at_most, 20000}},
        {"2147.48.36.47", {version_at_least, 2147483647}},
        {"2147.48.36.48", {version_at_least, -2147483647 - 1}}, // wraps at 32 bits
        {"99.99.99.100", {version_at_least, 100000000}},        // 99999999 + 1, fields carry
        {"1." + std::string(255, '0') + "7.3", {version_at_least, 1000300}}, // a field of over 255 characters is 0
        {"1." + std::string(254, '0') + "7.3", {version_at_least, 1070300}},
        {"4294967297", {version_at_least, 1000000}},            // wraps at 32 bits without overflow
    }, [](const std::string& text) {
        VersionConstraint got = parse_version_constraint(text.c_str());
        return std::make_pair(got.op, got.value);
    });
}

TEST(VersionSatisfiesAll, AcceptsExactlyTheVersionsMeetingEveryEntry)
{
    using VersionAndList = std::pair<const char*, const char*>;
    expect_rows<VersionAndList, bool>({
        {{"1.5.0_22", "1.4;<1.6"}, true},
        {{"1.6.0", "1.4;<1.6"}, false},
        {{"1.3.1", "1.4;<1.6"}, false},      // the first failing entry rejects
        {{"1.6", "1.2.0"}, true},
        {{"1.1.8", "1.2.0"}, false},
        {{"0.1", ""}, true},                 // an empty list accepts every version
        {{"1.6", ";;"}, true},               // only empty entries: nothing to fail
        {{"1.6", ";1.2;;<1.7;"}, true},      // runs of ';' make no empty entries
        {{"1.7", ";1.2;;<1.7;"}, false},
        {{"1.8", "=1.8"}, true},
        {{"1.8.0_1", "=1.8"}, false},
        {{"1.6", ">1.6"}, false},
        {{"1.6.0_01", ">1.6"}, true},
        {{"1.6", "<=1.6"}, true},
        {{"1.6.0_01", "<=1.6"}, false},
        {{"1.6", ">=1.6"}, true},
        {{"2147.48.36.48", "1.2"}, false},   // a wrapped value compares as negative
    }, [](const VersionAndList& row) { return version_satisfies_all(row.first, row.second); });
}

// The comparison by each operator is in the rows above.
TEST(VersionSatisfiesAll, NoListAcceptsEveryVersionAndTheConfiguredListStaysWhole)
{
    EXPECT_TRUE(version_satisfies_all("0.0.1", nullptr));
    char constraints[] = "1.4;<1.6";
    version_satisfies_all("1.5", constraints);
    EXPECT_STREQ(constraints, "1.4;<1.6");
}

} // namespace
