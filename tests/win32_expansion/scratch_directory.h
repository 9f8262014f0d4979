// A fresh directory under the temporary directory, current while the object
// lives, removed with everything in it afterwards.
#pragma once
#include <windows.h>

#include <string>

class ScratchDirectory {
public:
    ScratchDirectory()
    {
        GetCurrentDirectoryA(sizeof previous_, previous_);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static unsigned serial = 0;
        path_ = std::string(temp) + "orvane-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount()) + "-" + std::to_string(++serial);
        ready_ = CreateDirectoryA(path_.c_str(), nullptr) && SetCurrentDirectoryA(path_.c_str());
    }
    ~ScratchDirectory()
    {
        SetCurrentDirectoryA(previous_);
        remove_tree(path_);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool ready() const { return ready_; }
    const std::string& path() const { return path_; }

    static void remove_tree(const std::string& directory)
    {
        WIN32_FIND_DATAA entry;
        HANDLE listing = FindFirstFileA((directory + "\\*").c_str(), &entry);
        if (listing != INVALID_HANDLE_VALUE) {
            do {
                std::string name = entry.cFileName;
                if (name == "." || name == "..")
                    continue;
                std::string child = directory + "\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    remove_tree(child);
                else
                    DeleteFileA(child.c_str());
            } while (FindNextFileA(listing, &entry));
            FindClose(listing);
        }
        RemoveDirectoryA(directory.c_str());
    }

private:
    char previous_[MAX_PATH + 1] = "";
    std::string path_;
    bool ready_ = false;
};

// An empty file; false when it cannot be made.
inline bool make_file(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}
