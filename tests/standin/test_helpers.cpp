#include "test_helpers.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include "standin_client.h"

std::string temporary_file(const std::string& name)
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    std::string path = std::string(directory) + "orvane-standin-" + std::to_string(GetCurrentProcessId()) + "-" + name;
    DeleteFileA(path.c_str());
    return path;
}

std::string file_text(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::string start_record(const std::string& name)
{
    std::string path = temporary_file(name + ".record");
    SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", path.c_str());
    return path;
}

std::vector<std::string> record_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string text = file_text(path);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> record_from(const std::string& path, const std::string& first)
{
    std::vector<std::string> lines = record_lines(path);
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == first)
            return std::vector<std::string>(lines.begin() + static_cast<long>(i), lines.end());
    return std::vector<std::string>();
}

ChildOutcome run_program(const std::string& command_line)
{
    ChildOutcome outcome = {false, 0, std::string(), std::string()};
    std::string out_path = temporary_file("child.out");
    std::string err_path = temporary_file("child.err");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = CreateFileA(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::string command = command_line;
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        outcome.err = "cannot start " + command_line + ": error " + std::to_string(GetLastError());
        return outcome;
    }
    outcome.finished = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    if (!outcome.finished)
        TerminateProcess(process.hProcess, 255);
    GetExitCodeProcess(process.hProcess, &outcome.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    outcome.out = file_text(out_path);
    outcome.err = file_text(err_path);
    return outcome;
}

std::string child_command(const std::string& arguments)
{
    return "\"" + wine_path(STANDIN_CHILD_PATH) + "\" " + arguments;
}

bool rerun_in_own_process()
{
    if (!jvm_creation_attempted())
        return false;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    ChildOutcome child = run_program("\"" + std::string(self) + "\" --gtest_filter=" + test->test_suite_name() +
                                     "." + test->name());
    EXPECT_TRUE(child.finished && child.exit_code == 0 &&
                child.out.find("[  PASSED  ] 1 test") != std::string::npos)
        << "the case in its own process: exit code " << child.exit_code << "\n" << child.out << child.err;
    return true;
}

StderrToFile::StderrToFile(const std::string& path)
    : previous_(GetStdHandle(STD_ERROR_HANDLE)),
      file_(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr))
{
    SetStdHandle(STD_ERROR_HANDLE, file_);
}

StderrToFile::~StderrToFile()
{
    SetStdHandle(STD_ERROR_HANDLE, previous_);
    CloseHandle(file_);
}
