// A launcher written by orvane-pack.exe under Wine: it runs the stand-in's
// test class with the packed options, class path, arguments, jars and
// bitmap, and Windows reads the packed version block.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "launcher_driver.h"
#include "scenario_launcher.h"
#include "standin_record.h"
#include "wine_paths.h"

using Args = std::vector<std::string>;

// The size of the largest visible top-level window of the process, as the
// splash is while it is up.
using SplashWatch = std::pair<DWORD, std::vector<LONG>>;

BOOL CALLBACK note_window(HWND window, LPARAM context)
{
    auto* watch = reinterpret_cast<SplashWatch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect;
    if (process == watch->first && IsWindowVisible(window) && GetWindowRect(window, &rect) &&
        (watch->second.empty() || rect.right - rect.left > watch->second[0]))
        watch->second = {rect.right - rect.left, rect.bottom - rect.top};
    return TRUE;
}

TEST(PackedLauncher, RunsTheStandinWithThePackedValuesJarsBitmapAndVersion)
{
    std::string directory = make_test_directory("packed_run"), sources = make_test_directory("packed_jars");
    ASSERT_TRUE(write_file(sources + "\\a.jar", "0123456789"));
    ASSERT_TRUE(write_file(sources + "\\b.jar", ""));
    std::string bmp = "BM" + std::string(12, '\0') + encode_bitmap(120, 80);
    uint32_t file_size = static_cast<uint32_t>(bmp.size()), offset = 14 + 40;
    memcpy(&bmp[2], &file_size, 4);
    memcpy(&bmp[10], &offset, 4);
    ASSERT_TRUE(write_file(directory + "\\splash.bmp", bmp));
    // The stand-in's Window waits its first argument's milliseconds, the
    // splash's time to show.
    std::string toml = "template = '" + built_launcher_path() + "'\noutput = 'app.exe'\n"
                       "[runtime]\njvm_path_list = ['" + standin_jvm_path() + "']\n"
                       "jvm_options = ['-Dhome=%ORVANE_PACK_SPACE%\\x', '-Dq=\"quoted\"']\n"
                       "[application]\nmain_class = 'orvane.standin.Window'\nclass_path = ['a.jar', 'lib dir\\b.jar']\n"
                       "static_options = ['1500', 'two words', '%ORVANE_PACK_SPACE%', '']\n"
                       "[embed]\nextract_dir_mode = 0\njars = ['" + sources + "\\a.jar', '" + sources + "\\b.jar']\n"
                       "[splash]\nsplash_timeout_seconds = 1\nbitmap = '" + directory + "\\splash.bmp'\n"
                       "[version]\nfile_version = '2.3.4.5'\nproduct_name = 'Packed App'\n";
    ASSERT_TRUE(write_file(directory + "\\app.toml", toml));
    LaunchOptions pack;
    pack.arguments = "\"" + directory + "\\app.toml\"";
    ASSERT_EQ(run_launcher(wine_path(ORVANE_PACK_PATH), pack).exit_code, 0u) << "orvane-pack.exe failed on\n" << toml;
    std::string exe = directory + "\\app.exe";
    SetEnvironmentVariableA("ORVANE_PACK_SPACE", "C:\\Users\\Jane Doe");
    SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", (directory + "\\record.txt").c_str());
    SplashWatch seen;
    LaunchOptions options;
    options.arguments = "arg1 \"arg 2\"";
    options.on_poll = [&seen](DWORD process_id) {
        seen.first = process_id;
        EnumWindows(note_window, reinterpret_cast<LPARAM>(&seen));
    };
    LaunchOutcome outcome = run_launcher(exe, options);
    ASSERT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(seen.second, (std::vector<LONG>{120, 80})) << "the packed bitmap was not shown at its size";
    StandinRecord record = read_standin_record(directory + "\\record.txt");
    // Mode 0 puts the jars beside the launcher, named relative to it.
    EXPECT_EQ(record.options, (Args{"vfprintf", "abort", "exit", "-Dhome=C:\\Users\\Jane Doe\\x", "-Dq=\"quoted\"",
                                    "-Djava.class.path=a.jar;lib dir\\b.jar;.\\a.jar;.\\b.jar"}));
    ASSERT_EQ(record.main_calls.size(), 1u);
    EXPECT_EQ(record.main_calls[0].class_name, "orvane.standin.Window");
    EXPECT_EQ(record.main_calls[0].args, (Args{"1500", "two words", "C:\\Users\\Jane Doe", "", "arg1", "arg 2"}));
    EXPECT_EQ(read_file(directory + "\\a.jar"), "0123456789");
    EXPECT_NE(GetFileAttributesA((directory + "\\b.jar").c_str()), INVALID_FILE_ATTRIBUTES) << "b.jar not extracted";

    // Windows reads the packed version block.
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00040005u);
    for (const char* name_and_text : {"ProductName\0Packed App", "FileVersion\0002.3.4.5"}) {
        char* text = nullptr;
        std::string name = std::string("\\StringFileInfo\\040904b0\\") + name_and_text;
        ASSERT_TRUE(VerQueryValueA(block.data(), name.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
        EXPECT_STREQ(text, name_and_text + strlen(name_and_text) + 1) << name;
    }
    remove_test_directory(directory);
    remove_test_directory(sources);
}
