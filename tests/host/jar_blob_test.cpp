// The check of the embedded-jar resource and the class path its jars extend.
// The walk's fields are the embedded-jar tier's, and that nothing accepted
// reads past the bytes is a fuzz property.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "expect_rows.h"
#include "jar_blob_builder.h"
#include "launcher/jar_blob.h"

namespace {

const std::string two_jars = encode_jar_blob({{"a.jar", 0x01D0000012345678ull, "0123456789"}, {"b.jar", 7, ""}});

} // namespace

TEST(JarBlob, CheckNamesTheFirstFault)
{
    const std::string name_without_zero = std::string("\x01\x00\x00\x00", 4) + "a.jar";
    const struct {
        const char* what;
        std::string bytes;
        JarBlobStatus expected;
        int32_t count;
    } rows[] = {
        {"two entries", two_jars, jar_blob_ok, 2},
        {"count 0", encode_jar_blob({}), jar_blob_ok, 0},
        {"count 0 and trailing bytes", encode_jar_blob({}) + "xyz", jar_blob_ok, 0},
        {"two bytes", std::string("\x01\x00", 2), jar_blob_malformed, 0},
        {"negative count", encode_jar_blob({{"a.jar", 1, "x"}}, 0xFFFFFFFFu), jar_blob_malformed, 0},
        {"name without its zero", name_without_zero + std::string(9, 'x'), jar_blob_malformed, 0},
        {"size past the end", two_jars.substr(0, two_jars.size() - 20), jar_blob_malformed, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        int32_t count = -5;
        JarEntry bad{};
        EXPECT_EQ(jar_blob_check(row.bytes.data(), row.bytes.size(), &count, &bad), row.expected);
        if (row.expected == jar_blob_ok) {
            EXPECT_EQ(count, row.count);
        }
    }
}

TEST(JarBlob, NamesThatCouldLeaveTheDirectoryAreRefused)
{
    expect_rows<const char*, bool>({
        {"a.jar", true}, {"lib-1.0.jar", true}, {".hidden", true}, {"a..jar", true},
        {"", false}, {".", false}, {"..", false}, {"...", false}, {". .", false},
        {"..\\evil.jar", false}, {"sub\\a.jar", false}, {"sub/a.jar", false}, {"\\abs.jar", false},
        {"/abs.jar", false}, {"C:evil.jar", false}, {"C:\\evil.jar", false}, {"a.jar:stream", false},
        {"a.jar.", false}, {"a.jar ", false}, {"CON", false}, {"nul.jar", false}, {"Com1.jar", false},
        {"lpt9", false}, {"aux .jar", false}, {"console.jar", true}, {"com10.jar", true}, {"con", false},
    }, [](const char* name) {
        std::string bytes = encode_jar_blob({{"first.jar", 1, "x"}, {name, 2, "data"}});
        int32_t count = 0;
        JarEntry bad{};
        JarBlobStatus status = jar_blob_check(bytes.data(), bytes.size(), &count, &bad);
        if (status != jar_blob_ok) {
            EXPECT_STREQ(status == jar_blob_bad_name ? bad.name : "<malformed>", name);
        }
        return status == jar_blob_ok;
    });
}

TEST(JarBlob, ExtractedPathsFollowTheClassPathAfterOneSeparator)
{
    using PathAndList = std::pair<const char*, const char*>;
    expect_rows<PathAndList, std::string>({
        {{"lib\\x.jar", "D\\a.jar;D\\b.jar;"}, "lib\\x.jar;D\\a.jar;D\\b.jar"},
        {{"lib\\x.jar;", "D\\a.jar;"}, "lib\\x.jar;D\\a.jar"},
        {{"", "D\\a.jar;"}, "D\\a.jar"},
        {{"lib\\x.jar", ""}, "<null>"},  // the class path stays as it is
    }, [](const PathAndList& row) { return heap_text(extended_class_path(row.first, row.second, strlen(row.second))); });
}
