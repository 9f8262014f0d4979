#include "jvm/class_path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "box_watcher.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "scratch_directory.h"
#include "ui/reporting.h"

namespace {


// The tree of every case, below the scratch directory.
bool make_class_path_tree()
{
    const char* directories[] = {"lib", "lib\\sub", "empty", "plain", "mixed", "mixed\\folder.jar"};
    const char* files[] = {"lib\\a.jar",      "lib\\c.ZIP",           "lib\\notes.txt",
                           "lib\\sub\\b.jar", "app.jar",              "plain\\readme.txt",
                           "mixed\\LIB.JAR",  "mixed\\lib.jar.bak",   "mixed\\x.zi",
                           "mixed\\folder.jar\\inner.zip"};
    for (const char* directory : directories)
        if (!CreateDirectoryA(directory, nullptr))
            return false;
    for (const char* file : files)
        if (!make_file(file))
            return false;
    return true;
}

std::string class_path_of(const char* configured, bool* built)
{
    launcher_config.class_path = const_cast<char*>(configured);
    GrowString class_path{};
    *built = build_class_path(&class_path);
    std::string text = class_path.text != nullptr ? class_path.text : "";
    grow_string_free(&class_path);
    launcher_config.class_path = nullptr;
    return text;
}

} // namespace

TEST(ClassPath, DirectoriesContributeThemselvesAndEveryArchiveBelowThem)
{
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ready() && make_class_path_tree()) << scratch.path();
    ASSERT_EQ(_putenv("ORVANE_LIB=lib"), 0);
    const struct {
        const char* current;  // below the scratch directory
        const char* configured;
        const char* expected;
    } rows[] = {
        {".", "lib;app.jar", "lib;lib\\a.jar;lib\\c.ZIP;lib\\sub\\b.jar;app.jar"},
        {".", ";;;", ""},
        {".", "", ""},
        {".", ";app.jar;;lib\\sub;", "app.jar;lib\\sub;lib\\sub\\b.jar"},
        {"lib", ".", ".;.\\a.jar;.\\c.ZIP;.\\sub\\b.jar"},
        {".", "lib\\", "lib\\;lib\\\\a.jar;lib\\\\c.ZIP;lib\\\\sub\\b.jar"},
        {".", "lib/", "lib/;lib/\\a.jar;lib/\\c.ZIP;lib/\\sub\\b.jar"},
        {".", "empty;plain", "empty;plain"},
        {".", "%ORVANE_LIB%;%ORVANE_LIB%\\sub", "%ORVANE_LIB%;%ORVANE_LIB%\\sub"},
        {".", "mixed", "mixed;mixed\\folder.jar\\inner.zip;mixed\\LIB.JAR"},
        {".", "missing.jar;gone\\x.jar", "missing.jar;gone\\x.jar"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("class path [") + row.configured + "] in " + row.current);
        ASSERT_TRUE(SetCurrentDirectoryA((scratch.path() + "\\" + row.current).c_str()));
        bool built = false;
        EXPECT_EQ(class_path_of(row.configured, &built), row.expected);
        EXPECT_TRUE(built);
    }
    _putenv("ORVANE_LIB=");
}

TEST(ClassPath, ListingThatCannotBeOpenedIsReportedOnceAsRC000001)
{
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ready()) << scratch.path();
    GrowString class_path{};
    WatchedCall call = call_watching_boxes([&] { return add_directory_archives(&class_path, "no such directory"); });
    grow_string_free(&class_path);
    EXPECT_EQ(call.result, 0);
    ASSERT_EQ(call.boxes.size(), 1u) << "a box needs a display under Wine";
    EXPECT_EQ(call.boxes[0].caption, "Error");
    EXPECT_EQ(call.boxes[0].text.rfind("Internal error RC000001\n\nReason: ", 0), 0u) << call.boxes[0].text;
}

// A subdirectory whose listing pattern is longer than MAX_PATH cannot be
// listed by the ANSI calls (error 206); the whole assembly ends there. Wine
// limits only the text handed to a call, so relative names make the tree.
TEST(ClassPath, FailureInASubdirectoryEndsTheWholeAssembly)
{
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ready()) << scratch.path();
    std::string outer = "deep\\" + std::string(200, 'o');
    std::string inner = outer + "\\" + std::string(51, 'i');  // 257 characters
    ASSERT_TRUE(CreateDirectoryA("deep", nullptr) && CreateDirectoryA(outer.c_str(), nullptr) &&
                CreateDirectoryA(inner.c_str(), nullptr) && make_file("deep\\a.jar"));
    bool built = true;
    WatchedCall call = call_watching_boxes([&] {
        class_path_of("deep;after.jar", &built);
        return 0;
    });
    EXPECT_FALSE(built);
    ASSERT_EQ(call.boxes.size(), 1u) << "a box needs a display under Wine";
    EXPECT_EQ(call.boxes[0].text.rfind("Internal error RC000001\n\nReason: ", 0), 0u) << call.boxes[0].text;
}
