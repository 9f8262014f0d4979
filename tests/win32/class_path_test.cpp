#include "jvm/class_path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "box_watcher.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "scenario_launcher.h"
#include "scratch_directory.h"
#include "ui/reporting.h"

namespace {

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
    ASSERT_TRUE(scratch.ready()) << scratch.path();
    for (const char* directory : {"lib", "lib\\sub", "empty", "plain", "mixed", "mixed\\folder.jar"})
        ASSERT_TRUE(CreateDirectoryA(directory, nullptr)) << directory;
    for (const char* file : {"lib\\a.jar", "lib\\c.ZIP", "lib\\notes.txt", "lib\\sub\\b.jar", "app.jar",
                             "plain\\readme.txt", "mixed\\LIB.JAR", "mixed\\lib.jar.bak", "mixed\\x.zi",
                             "mixed\\folder.jar\\inner.zip"})
        ASSERT_TRUE(write_file(file, "")) << file;
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
    GrowString class_path{};
    WatchedCall call = call_watching_boxes([&] { return add_directory_archives(&class_path, "no such directory"); });
    grow_string_free(&class_path);
    EXPECT_EQ(call.result, 0);
    ASSERT_EQ(call.boxes.size(), 1u) << "a box needs a display under Wine";
    EXPECT_EQ(call.boxes[0].caption, "Error");
    EXPECT_EQ(call.boxes[0].text.rfind("Internal error RC000001\n\nReason: ", 0), 0u) << call.boxes[0].text;
}

// Makes link (absolute) a symbolic link to target with ln of the build
// machine: Wine 8 makes no such link through the Win32 calls
// (CreateSymbolicLinkA pretends, FSCTL_SET_REPARSE_POINT is refused).
bool directory_link(const std::string& link, const char* target)
{
    return run_on_unix_path("/bin/ln -s " + std::string(target), link, [&link] {
        DWORD attributes = GetFileAttributesA(link.c_str());
        DWORD wanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & wanted) == wanted;
    });
}

// Below a configured directory, a subdirectory that cannot be listed and a
// link to a directory (here two loops) add nothing, and the scan goes on. A
// listing pattern longer than MAX_PATH (error 206) is the unlistable
// subdirectory Wine can show: as root it lists folders whose access is denied.
TEST(ClassPath, UnlistableSubdirectoriesAndDirectoryLinksAddNothing)
{
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ready()) << scratch.path();
    std::string outer = "deep\\" + std::string(200, 'o');
    std::string inner = outer + "\\" + std::string(51, 'i');  // 257 characters
    ASSERT_TRUE(CreateDirectoryA("deep", nullptr) && CreateDirectoryA(outer.c_str(), nullptr) &&
                CreateDirectoryA(inner.c_str(), nullptr) && write_file("deep\\a.jar", "") &&
                write_file(outer + "\\z.jar", ""));
    ASSERT_TRUE(CreateDirectoryA("links", nullptr) && CreateDirectoryA("links\\sub", nullptr) &&
                write_file("links\\a.jar", "") && write_file("links\\sub\\b.jar", ""));
    ASSERT_TRUE(directory_link(scratch.path() + "\\links\\loop", ".") &&
                directory_link(scratch.path() + "\\links\\sub\\up", ".."))
        << "cannot make directory links";
    const struct {
        const char* configured;
        std::string expected;
    } rows[] = {
        {"deep;after.jar", "deep;deep\\a.jar;" + outer + "\\z.jar;after.jar"},
        {"links", "links;links\\a.jar;links\\sub\\b.jar"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.configured);
        bool built = false;
        std::string text;
        WatchedCall call = call_watching_boxes([&] {
            text = class_path_of(row.configured, &built);
            return 0;
        });
        EXPECT_TRUE(built);
        EXPECT_EQ(text, row.expected);
        EXPECT_TRUE(call.boxes.empty()) << call.boxes[0].text;
    }
}
