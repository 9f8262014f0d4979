// A fresh directory under the temporary directory, current while the object
// lives, removed with everything in it afterwards.
#pragma once
#include <windows.h>

#include <string>

#include "scenario_launcher.h"

// Runs a program of the build machine with the Unix name of an absolute path
// (whose directory exists) as its last argument, and waits up to 5 s until
// done() holds: Wine starts such programs but hands back no handle to wait on.
template <typename Done>
bool run_on_unix_path(const std::string& command, const std::string& path, Done done)
{
    using UnixNameFunction = char*(CDECL*)(const WCHAR*);
    auto unix_name = reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    std::wstring directory(path.begin(), path.begin() + path.rfind('\\'));
    char* unix_directory = unix_name != nullptr ? unix_name(directory.c_str()) : nullptr;
    if (unix_directory == nullptr)
        return false;
    std::string line = command + " " + unix_directory + "/" + path.substr(path.rfind('\\') + 1);
    HeapFree(GetProcessHeap(), 0, unix_directory);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    for (int i = 0; i < 100; ++i, Sleep(50))
        if (done())
            return true;
    return false;
}

class ScratchDirectory {
public:
    ScratchDirectory()
    {
        GetCurrentDirectoryA(sizeof previous_, previous_);
        static unsigned serial = 0;
        path_ = make_test_directory("scratch-" + std::to_string(++serial));
        ready_ = SetCurrentDirectoryA(path_.c_str());
    }
    // With rm of the build machine: Wine removes no tree deeper than MAX_PATH
    // and no directory link.
    ~ScratchDirectory()
    {
        SetCurrentDirectoryA(previous_);
        run_on_unix_path("/bin/rm -rf", path_,
                         [this] { return GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool ready() const { return ready_; }
    const std::string& path() const { return path_; }

private:
    char previous_[MAX_PATH + 1] = "";
    std::string path_;
    bool ready_ = false;
};
