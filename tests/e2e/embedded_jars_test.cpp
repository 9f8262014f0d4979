// Launchers carrying jars in their resources: extraction, the class path it
// extends, the currency test, the cleanup child, and refused resources.
#include "scenario.h"

#include <aclapi.h>
#include <process.h>
#include <sddl.h>

#include "jar_blob_builder.h"

namespace {

constexpr unsigned rt_rcdata = 10;
constexpr uint64_t t1 = 0x01D5000012345678ull;
constexpr uint64_t t2 = 0x01D6000087654321ull;
const std::vector<BlobEntry> two_jars = {{"a.jar", t1, "0123456789"}, {"b.jar", t2, ""}};

std::string class_path_of(const Scenario& scenario)
{
    const std::string prefix = "-Djava.class.path=";
    for (const std::string& option : scenario.record().options)
        if (option.compare(0, prefix.size(), prefix) == 0)
            return option.substr(prefix.size());
    return "(no class path option)";
}

// The last-write time, or 0 when the file cannot be read.
uint64_t write_time(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

void set_write_time(const std::string& path, uint64_t value)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time)) << path;
    CloseHandle(file);
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(EmbeddedJars, ExtractsInOrderKeepsCurrentFilesSkipsLockedOnesAndFollowsTheMode)
{
    Scenario scenario("jars_example");
    scenario.use_standin("orvane.standin.Print")
        .add_resource(rt_rcdata, 1, encode_jar_blob(two_jars))
        .set(1004, "lib\\x.jar")
        .set(1007, "1");
    const std::string hex = scrambled("orvane.standin.Print");
    const std::string dir = scenario.directory() + "\\" + hex;
    const std::string a = dir + "\\a.jar";
    const std::string expected_path = "lib\\x.jar;.\\" + hex + "\\a.jar;.\\" + hex + "\\b.jar";

    EXPECT_EQ(only_box(scenario.run()), "");
    EXPECT_EQ(class_path_of(scenario), expected_path);
    EXPECT_EQ(read_file(a), "0123456789");
    EXPECT_EQ(write_time(a), t1);
    EXPECT_EQ(read_file(dir + "\\b.jar"), "");
    EXPECT_EQ(write_time(dir + "\\b.jar"), t2);

    // Same size and time: the file is current and not written again.
    ASSERT_TRUE(write_file(a, "ABCDEFGHIJ"));
    set_write_time(a, t1);
    EXPECT_EQ(scenario.run().exit_code, 0u);
    EXPECT_EQ(read_file(a), "ABCDEFGHIJ") << "a current file was rewritten";

    // Another time stamp: rewritten.
    set_write_time(a, t1 + 1);
    EXPECT_EQ(scenario.run().exit_code, 0u);
    EXPECT_EQ(read_file(a), "0123456789");
    EXPECT_EQ(write_time(a), t1);

    // A file another program holds is skipped silently and stays listed.
    set_write_time(a, t1 + 1);
    HANDLE locked = CreateFileA(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    std::string box = only_box(scenario.run());
    CloseHandle(locked);
    EXPECT_EQ(box, "");
    EXPECT_EQ(class_path_of(scenario), expected_path);
    EXPECT_EQ(write_time(a), t1 + 1) << "the locked file was replaced";
    remove_test_directory(dir);

    // Mode 7: below the temporary directory, named by full paths. (Mode 0,
    // beside the launcher, is proven by the packed launcher's test.)
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string temp_dir = temp + hex;
    EXPECT_EQ(only_box(scenario.set(1007, "7").run()), "");
    EXPECT_EQ(class_path_of(scenario), "lib\\x.jar;" + temp_dir + "\\a.jar;" + temp_dir + "\\b.jar");
    EXPECT_EQ(read_file(temp_dir + "\\a.jar"), "0123456789");
    remove_test_directory(temp_dir);
}

TEST(EmbeddedJars, SystemExitStartsCleanupThatRemovesThemAfterTheLauncherEnded)
{
    Scenario scenario("jars_cleanup");
    // The application works in a directory of its own: the cleanup child
    // still finds the relative extraction directory.
    scenario.use_standin("orvane.standin.Script").add_resource(rt_rcdata, 1, encode_jar_blob(two_jars))
        .set(1006, "1")
        .set(1007, "1")
        .set(1011, "work")
        .set(1015, "1");
    const std::string dir = scenario.directory() + "\\" + scrambled("orvane.standin.Script");
    CreateDirectoryA((scenario.directory() + "\\work").c_str(), nullptr);
    LaunchOutcome outcome = scenario.run("exit=3");
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 3u);
    for (int waited = 0; waited < 15000 && exists(dir); waited += 100)
        Sleep(100);
    EXPECT_FALSE(exists(dir + "\\a.jar"));
    EXPECT_FALSE(exists(dir)) << "the cleanup child left the extraction directory";
    remove_test_directory(dir);
    RemoveDirectoryA((scenario.directory() + "\\work").c_str());
}

// The cleanup shows nothing and ends with 0. Given a process id it cannot
// open (0), it deletes at once but leaves the jars a running instance holds;
// given the instance's, it waits for the instance to end first.
TEST(EmbeddedJars, CleanupLeavesJarsARunningInstanceHoldsOrWaitsForTheInstanceItIsGiven)
{
    Scenario scenario("jars_held");
    scenario.use_standin("orvane.standin.Wait").add_resource(rt_rcdata, 1, encode_jar_blob(two_jars));
    scenario.set(1007, "1");
    const std::string dir = scenario.directory() + "\\" + scrambled("orvane.standin.Wait");
    // msvcrt's spawn without waiting gives the process handle.
    auto running = reinterpret_cast<HANDLE>(_spawnl(_P_NOWAIT, scenario.make().c_str(), "app.exe", nullptr));
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    for (int waited = 0; waited < 10000 && scenario.record().main_calls.empty(); waited += 50)
        Sleep(50);
    EXPECT_EQ(scenario.record().main_calls.size(), 1u) << "the instance did not start";
    bool ended_while_waited_for = false;
    for (std::string process_id : {std::string("0"), std::to_string(GetProcessId(running))}) {
        LaunchOptions cleanup;
        cleanup.arguments = "-ovremovetemporaryjarfiles " + process_id;
        cleanup.current_directory = scenario.directory(); // where the launcher starts its cleanup child
        DWORD start = GetTickCount();
        cleanup.on_poll = [&](DWORD) {
            if (process_id != "0" && !ended_while_waited_for && GetTickCount() - start > 1000) {
                EXPECT_TRUE(exists(dir + "\\a.jar")) << "the cleanup did not wait";
                ended_while_waited_for = TerminateProcess(running, 1) && WaitForSingleObject(running, 5000) == 0;
            }
        };
        LaunchOutcome outcome = run_launcher(scenario.exe(), cleanup);
        EXPECT_EQ(only_box(outcome), "");
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_EQ(exists(dir + "\\a.jar"), process_id == "0") << "after the cleanup given " << process_id;
    }
    TerminateProcess(running, 1);
    CloseHandle(running);
    EXPECT_TRUE(ended_while_waited_for) << "the cleanup ended while the instance it was given still ran";
    EXPECT_FALSE(exists(dir)) << "the cleanup left the directory once the instance had ended";
    remove_test_directory(dir);
}

TEST(EmbeddedJars, FaultyResourceOrForeignDirectoryIsRefusedAndNothingWritten)
{
    std::string truncated = encode_jar_blob(two_jars);
    truncated.resize(truncated.size() - 12);
    const struct {
        const char* what;
        std::string blob;
        bool foreign_directory;
        std::string report;
    } rows[] = {
        {"name leaving the directory", encode_jar_blob({{"a.jar", t1, "x"}, {"..\\evil.jar", t2, "evil"}}), false,
         "Error writing to file/directory: ..\\evil.jar\n\nReason: "},
        {"entry past the end", truncated, false, "Internal error RC0000120"},
        {"directory everyone may write", encode_jar_blob(two_jars), true,
         "Error writing to file/directory: .\\" + scrambled("orvane.standin.Print") + "\n\nReason: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Scenario scenario("jars_refused");
        scenario.use_standin("orvane.standin.Print").add_resource(rt_rcdata, 1, row.blob).set(1004, "lib\\x.jar");
        scenario.set(1007, "1");
        const std::string dir = scenario.directory() + "\\" + scrambled("orvane.standin.Print");
        if (row.foreign_directory) {
            // Made before the launcher starts, with a right for everyone to write.
            ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
            PSECURITY_DESCRIPTOR everyone = nullptr;
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                              &everyone, nullptr));
            BOOL present = FALSE, defaulted = FALSE;
            PACL acl = nullptr;
            GetSecurityDescriptorDacl(everyone, &present, &acl, &defaulted);
            EXPECT_EQ(SetNamedSecurityInfoA(&std::string(dir)[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, acl, nullptr),
                      static_cast<DWORD>(ERROR_SUCCESS));
            LocalFree(everyone);
        }
        LaunchOutcome outcome = scenario.run();
        ASSERT_EQ(outcome.windows.size(), 1u);
        EXPECT_EQ(outcome.windows[0].text.compare(0, row.report.size(), row.report), 0) << outcome.windows[0].text;
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_EQ(class_path_of(scenario), "lib\\x.jar");
        EXPECT_FALSE(exists(dir + "\\a.jar"));
        EXPECT_FALSE(exists(scenario.directory() + "\\evil.jar"));
        remove_test_directory(dir);
    }
}
