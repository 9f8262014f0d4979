#include "launcher/text_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "expect_rows.h"

TEST(GrowString, StaysEmptyUntilARealAppendThenGrowsByFourTimesItOrAtLeast1024)
{
    const struct {
        const char* text;  // null: free the string
        size_t repeat;
        size_t length, capacity;
    } steps[] = {
        {nullptr, 0, 0, 0},  {"", 1, 0, 0},       {"a", 10, 10, 1024}, {"b", 1013, 1023, 1024},
        {"c", 1, 1024, 2048}, {"d", 1500, 2524, 8048}, {nullptr, 0, 0, 0},  {"e", 3000, 3000, 12000},
    };
    GrowString string{};
    grow_string_append(&string, nullptr);
    std::string expected;
    for (const auto& step : steps) {
        SCOPED_TRACE("after " + std::string(step.text == nullptr ? "free" : step.text) + " x" +
                     std::to_string(step.repeat));
        if (step.text == nullptr) {
            grow_string_free(&string);
            expected.clear();
        } else {
            std::string added;
            for (size_t i = 0; i < step.repeat; ++i)
                added += step.text;
            grow_string_append(&string, added.c_str());
            expected += added;
        }
        EXPECT_EQ(string.length, step.length);
        EXPECT_EQ(string.capacity, step.capacity);
        EXPECT_EQ(string.text == nullptr ? std::string("<null>") : std::string(string.text),
                  string.capacity == 0 ? "<null>" : expected);
    }
    grow_string_free(&string);
}

TEST(JoinPath, AddsOneSeparatorAndRefusesWhatDoesNotFit)
{
    char path[260];
    const struct {
        std::string directory;
        size_t name_length;
        bool fits;
    } rows[] = {
        {std::string(250, 'd'), 8, true},          // 250 + 1 + 8 + terminator = 260
        {std::string(250, 'd'), 9, false},
        {std::string(250, 'd') + "\\", 8, true},   // no second separator
        {std::string(250, 'd') + "\\", 9, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("directory of " + std::to_string(row.directory.size()) + ", name of " +
                     std::to_string(row.name_length));
        std::string name(row.name_length, 'n');
        memset(path, 'X', sizeof path);
        EXPECT_EQ(join_path(path, sizeof path, row.directory.c_str(), name.c_str()), row.fits);
        if (row.fits)
            EXPECT_EQ(std::string(path), std::string(250, 'd') + "\\" + name);
        else
            EXPECT_EQ(path[0], '\0');
    }
}

TEST(CopyBounded, CopiesWhatFitsAndLeavesEmptyOtherwise)
{
    char buffer[260];
    std::string fits(259, 'f');
    EXPECT_TRUE(copy_bounded(buffer, sizeof buffer, fits.c_str()));
    EXPECT_EQ(std::string(buffer), fits);

    memset(buffer, 'X', sizeof buffer);
    EXPECT_FALSE(copy_bounded(buffer, sizeof buffer, std::string(260, 'f').c_str()));
    EXPECT_EQ(buffer[0], '\0');
}

TEST(FormatText, CutsAnOverlongResultAndTerminatesIt)
{
    using TextAndNumber = std::pair<const char*, int>;
    expect_rows<TextAndNumber, std::string>({
        {{"ab", 12}, "ab-12"}, {{"abcdef", 12345}, "abcdef-"}, {{"123", 456}, "123-456"},
    }, [](const TextAndNumber& row) {
        char buffer[8];
        memset(buffer, 'X', sizeof buffer);
        format_text(buffer, sizeof buffer, "%s-%d", row.first, row.second);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
    });
}
