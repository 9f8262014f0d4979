#include "launcher/text_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(GrowString, StaysEmptyUntilARealAppendThenGrowsByFourTimesItOrAtLeast1024)
{
    GrowString string{};
    grow_string_append(&string, nullptr);
    grow_string_append(&string, "");
    EXPECT_EQ(string.text, nullptr);
    EXPECT_EQ(string.length, 0u);
    EXPECT_EQ(string.capacity, 0u);

    std::string expected(10, 'a');
    grow_string_append(&string, expected.c_str());
    ASSERT_NE(string.text, nullptr);
    EXPECT_EQ(string.capacity, 1024u);
    for (size_t i = 10; i < 1024; ++i)
        ASSERT_EQ(string.text[i], '\0') << "byte " << i << " of the first allocation";

    std::string more(1013, 'b');
    grow_string_append(&string, more.c_str());
    expected += more;
    EXPECT_EQ(string.length, 1023u);
    EXPECT_EQ(string.capacity, 1024u);
    EXPECT_EQ(std::string(string.text), expected);

    grow_string_append(&string, "c");
    expected += "c";
    EXPECT_EQ(string.length, 1024u);
    EXPECT_EQ(string.capacity, 2048u);
    EXPECT_EQ(std::string(string.text), expected);

    std::string large(1500, 'd'); // 4 * 1500 is more than 1024
    grow_string_append(&string, large.c_str());
    expected += large;
    EXPECT_EQ(string.capacity, 2048u + 6000u);
    EXPECT_EQ(std::string(string.text), expected);
    EXPECT_EQ(string.length, expected.size());

    grow_string_free(&string);
    EXPECT_EQ(string.text, nullptr);
    EXPECT_EQ(string.capacity, 0u);

    grow_string_append(&string, std::string(3000, 'e').c_str());
    EXPECT_EQ(string.capacity, 12000u);
    EXPECT_EQ(string.length, 3000u);
    EXPECT_EQ(std::string(string.text), std::string(3000, 'e'));
    grow_string_free(&string);
}

TEST(JoinPath, AddsOneSeparatorAndRefusesWhatDoesNotFit)
{
    char path[260];
    EXPECT_TRUE(join_path(path, sizeof path, "C:\\dir", "x.jar"));
    EXPECT_STREQ(path, "C:\\dir\\x.jar");
    EXPECT_TRUE(join_path(path, sizeof path, "C:\\dir\\", "x.jar"));
    EXPECT_STREQ(path, "C:\\dir\\x.jar");

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
    char buffer[8];
    format_text(buffer, sizeof buffer, "%s-%d", "ab", 12);
    EXPECT_STREQ(buffer, "ab-12");

    memset(buffer, 'X', sizeof buffer);
    format_text(buffer, sizeof buffer, "%s-%d", "abcdef", 12345);
    EXPECT_STREQ(buffer, "abcdef-");

    memset(buffer, 'X', sizeof buffer);
    format_text(buffer, sizeof buffer, "%s", "1234567");
    EXPECT_STREQ(buffer, "1234567");
}
