// A launcher written by orvane-pack.exe under Wine: it runs the stand-in's
// test class with the packed options, class path and arguments, and Windows
// reads the packed string table and version block.
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

namespace {

using Args = std::vector<std::string>;

// Packs app.toml in directory with orvane-pack.exe; returns the launcher.
std::string pack(const std::string& directory, const std::string& body)
{
    std::string file = directory + "\\app.toml";
    EXPECT_TRUE(write_file(file, "template = '" + built_launcher_path() + "'\noutput = 'app.exe'\n" + body));
    std::string command = "\"" + wine_path(ORVANE_PACK_PATH) + "\" \"" + file + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << command;
    DWORD exit_code = 1;
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(exit_code, 0u) << "orvane-pack.exe failed on\n" << body;
    return directory + "\\app.exe";
}

} // namespace

TEST(PackedLauncher, RunsTheStandinWithThePackedOptionsClassPathAndArguments)
{
    std::string directory = make_test_directory("packed_run");
    std::string exe = pack(directory, "[runtime]\n"
                                      "jvm_path_list = ['" + standin_jvm_path() + "']\n"
                                      "jvm_options = ['-Dhome=%ORVANE_PACK_SPACE%\\x', '-Dq=\"quoted\"']\n"
                                      "[application]\n"
                                      "main_class = 'orvane.standin.Print'\n"
                                      "class_path = ['a.jar', 'lib dir\\b.jar']\n"
                                      "static_options = ['two words', '%ORVANE_PACK_SPACE%', '']\n");
    SetEnvironmentVariableA("ORVANE_PACK_SPACE", "C:\\Users\\Jane Doe");
    SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", (directory + "\\record.txt").c_str());
    LaunchOptions options;
    options.arguments = "arg1 \"arg 2\"";
    LaunchOutcome outcome = run_launcher(exe, options);
    ASSERT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = read_standin_record(directory + "\\record.txt");
    EXPECT_EQ(record.options, (Args{"vfprintf", "abort", "exit", "-Dhome=C:\\Users\\Jane Doe\\x", "-Dq=\"quoted\"",
                                    "-Djava.class.path=a.jar;lib dir\\b.jar"}));
    ASSERT_EQ(record.main_calls.size(), 1u);
    EXPECT_EQ(record.main_calls[0].class_name, "orvane.standin.Print");
    EXPECT_EQ(record.main_calls[0].args, (Args{"two words", "C:\\Users\\Jane Doe", "", "arg1", "arg 2"}));
    remove_test_directory(directory);
}

TEST(PackedLauncher, WindowsReadsThePackedStringsAndVersionBlock)
{
    std::string directory = make_test_directory("packed_read");
    std::string exe = pack(directory, "[service]\nservice_name = 'Packed Service'\n"
                                      "[application]\npriority_index = 1\n"
                                      "[splash]\nsplash_text = \"Wait\\nplease\"\n"
                                      "[version]\nfile_version = '2.3.4.5'\nproduct_name = 'Packed App'\n");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    const struct {
        UINT id;
        const char* text;
    } rows[] = {{1017, "Packed Service"}, {1033, "1"}, {1030, "Wait\\nplease"}, {1027, "stdout.log"},
                {1, "An instance of this program is already running."}};
    for (const auto& row : rows) {
        char text[256] = "";
        LoadStringA(module, row.id, text, sizeof text);
        EXPECT_STREQ(text, row.text) << "string " << row.id;
    }
    FreeLibrary(module);

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
    const char* name = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(const_cast<char**>(&name)), &length));
    EXPECT_STREQ(name, "Packed App");
    const char* version = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                               reinterpret_cast<void**>(const_cast<char**>(&version)), &length));
    EXPECT_STREQ(version, "2.3.4.5");
    remove_test_directory(directory);
}

// The largest visible top-level window of the process, as the splash is
// while it is up.
struct SplashWatch {
    int width = 0, height = 0;
};

BOOL CALLBACK note_window(HWND window, LPARAM context)
{
    auto* watch = reinterpret_cast<std::pair<DWORD, SplashWatch*>*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect;
    if (process == watch->first && IsWindowVisible(window) && GetWindowRect(window, &rect) &&
        rect.right - rect.left > watch->second->width) {
        watch->second->width = rect.right - rect.left;
        watch->second->height = rect.bottom - rect.top;
    }
    return TRUE;
}

TEST(PackedLauncher, ExtractsThePackedJarsAndShowsThePackedBitmap)
{
    std::string directory = make_test_directory("packed_embed");
    ASSERT_TRUE(write_file(directory + "\\a.jar", "0123456789"));
    ASSERT_TRUE(write_file(directory + "\\b.jar", ""));
    std::string dib = encode_bitmap(120, 80);
    std::string bmp = "BM" + std::string(12, '\0') + dib;
    uint32_t file_size = static_cast<uint32_t>(bmp.size()), offset = 14 + 40;
    memcpy(&bmp[2], &file_size, 4);
    memcpy(&bmp[10], &offset, 4);
    ASSERT_TRUE(write_file(directory + "\\splash.bmp", bmp));
    std::string exe = pack(directory, "[runtime]\n"
                                      "jvm_path_list = ['" + standin_jvm_path() + "']\n"
                                      "[application]\n"
                                      "main_class = 'orvane.standin.Window'\n"
                                      "class_path = ['lib\\x.jar']\n"
                                      "app_options = ['1500', '0']\n"
                                      "[embed]\n"
                                      "extract_dir_mode = 0\n"
                                      "jars = ['" + directory + "\\a.jar', '" + directory + "\\b.jar']\n"
                                      "[splash]\n"
                                      "splash_timeout_seconds = 1\n"
                                      "bitmap = '" + directory + "\\splash.bmp'\n");
    SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", (directory + "\\record.txt").c_str());
    SplashWatch seen;
    LaunchOptions options;
    options.on_poll = [&seen](DWORD process_id) {
        std::pair<DWORD, SplashWatch*> context{process_id, &seen};
        EnumWindows(note_window, reinterpret_cast<LPARAM>(&context));
    };
    LaunchOutcome outcome = run_launcher(exe, options);
    ASSERT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(seen.width, 120) << "the packed bitmap was not shown at its size";
    EXPECT_EQ(seen.height, 80);
    StandinRecord record = read_standin_record(directory + "\\record.txt");
    ASSERT_FALSE(record.options.empty());
    std::string class_path = record.options.back();
    const std::string prefix = "-Djava.class.path=lib\\x.jar;";
    ASSERT_EQ(class_path.substr(0, prefix.size()), prefix) << class_path;
    std::string extracted = class_path.substr(prefix.size());
    size_t separator = extracted.find(';');
    ASSERT_NE(separator, std::string::npos) << class_path;
    std::string first = extracted.substr(0, separator), second = extracted.substr(separator + 1);
    EXPECT_EQ(first, ".\\a.jar");
    EXPECT_EQ(second, ".\\b.jar");
    // Mode 0 puts them beside the launcher, named relative to it.
    EXPECT_EQ(read_file(directory + "\\" + first), "0123456789") << first;
    EXPECT_EQ(read_file(directory + "\\" + second), "") << second;
    remove_test_directory(directory);
}
