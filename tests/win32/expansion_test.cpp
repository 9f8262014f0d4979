#include "launcher/variable_expansion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "jvm/runtime_discovery.h"
#include "launcher/expansion_rules.h"
#include "launcher/path_checks.h"
#include "launcher/text_buffers.h"
#include "scratch_directory.h"

namespace {

std::string expand(const char* text)
{
    char* expanded = expand_variables(text);
    std::string result = expanded;
    free(expanded);
    return result;
}

// getenv reads the C runtime's copy of the environment, which _putenv keeps
// in step with the process's own block (an empty value removes the name).
void put_variable(const char* name, const char* value)
{
    std::string assignment = std::string(name) + "=" + value;
    ASSERT_EQ(_putenv(assignment.c_str()), 0) << assignment;
}

std::string local_date_and_time()
{
    char date[256] = "";
    char time[256] = "";
    GetDateFormatA(GetThreadLocale(), 0, nullptr, "yyyyMMdd", date, 255);
    GetTimeFormatA(GetThreadLocale(), 0, nullptr, "HHmmss", time, 255);
    return std::string(date) + "-" + time;
}

// The heap rules are proven on the host: here the launcher's pointer width
// and the memory status must reach them.
std::string heap_sizes_now()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    EXPECT_TRUE(GlobalMemoryStatusEx(&status)) << "error " << GetLastError();
    const std::pair<uint64_t, int> rows[] = {
        {status.ullAvailPhys, 50}, {status.ullAvailPhys, 100}, {status.ullTotalPhys, 25}, {status.ullTotalPhys, 100}};
    std::string sizes;
    for (const auto& [bytes, percentage] : rows)
        sizes += "|" + std::to_string(heap_megabytes(bytes, percentage, 8 * sizeof(void*))) + "m";
    return sizes;
}

} // namespace

// The rules are proven on the host; here the launcher's own sources of the
// values: the C runtime's environment, the found runtime, the clock of the
// thread locale and the physical memory status.
TEST(Expansion, ValuesComeFromTheCRuntimesEnvironmentAndTheFoundRuntime)
{
    put_variable("ORVANE_APP_DIR", "\"C:\\Program Files\\App\"");
    put_variable("JAVA_HOME", "C:\\env-jdk");
    ASSERT_TRUE(SetEnvironmentVariableA("ORVANE_BLOCK_ONLY", "block"));
    ASSERT_TRUE(copy_bounded(found_java_home, path_size, "C:\\jre8"));
    EXPECT_EQ(expand("%orvane_app_dir%\\lib"), "C:\\Program Files\\App\\lib");
    EXPECT_EQ(expand("[%ORVANE_BLOCK_ONLY%]"), "[]") << "a variable set only in the process block was seen";
    EXPECT_EQ(expand("%JAVA_HOME%\\bin;%java_home%\\bin"), "C:\\jre8\\bin;C:\\env-jdk\\bin");
    found_java_home[0] = '\0';
    EXPECT_EQ(expand("x%JAVA_HOME%y"), "xy");
    put_variable("ORVANE_APP_DIR", "");
    put_variable("JAVA_HOME", "");
    SetEnvironmentVariableA("ORVANE_BLOCK_ONLY", nullptr);
}

TEST(Expansion, DateTimeAndHeapSizesAreThoseOfTheMachineNow)
{
    std::string before = local_date_and_time() + heap_sizes_now();
    std::string expanded = expand("%DATE%-%time%|%AVAILRAM50%|%AVAILRAM%|%TOTALRAM25%|%TOTALRAM101%");
    std::string after = local_date_and_time() + heap_sizes_now();
    ASSERT_EQ(before.find('|'), 15u) << before;
    EXPECT_TRUE(expanded == before || expanded == after)
        << "expanded " << expanded << ", before " << before << ", after " << after;
}

TEST(Expansion, PreparedOutputPathIsExpandedAndHasEveryDirectoryButTheFile)
{
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ready()) << scratch.path();
    put_variable("ORVANE_LOG_ROOT", "\"var\"");
    char* prepared = prepare_output_path("%ORVANE_LOG_ROOT%\\log\\app\\err.log");
    EXPECT_STREQ(prepared, "var\\log\\app\\err.log");
    free(prepared);
    EXPECT_EQ(path_is_directory("var\\log\\app"), 1);
    EXPECT_EQ(GetFileAttributesA("var\\log\\app\\err.log"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("%ORVANE_LOG_ROOT%"), INVALID_FILE_ATTRIBUTES);
    put_variable("ORVANE_LOG_ROOT", "");
}
