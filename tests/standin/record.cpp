// The record of what a launcher asked of the stand-in JVM, and the way the
// stand-in refuses what it does not support.
#include "standin.h"

void record_event(const std::string& event)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ORVANE_STANDIN_RECORD", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    std::string line;
    for (char c : event)
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    line += '\n';
    // Each write lands at the end, even when threads or processes write at once.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void fail_loudly(const std::string& text)
{
    std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    record_event(text);
    ExitProcess(70);
}
