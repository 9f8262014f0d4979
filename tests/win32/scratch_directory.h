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
    // Removes by relative names from inside, so that trees nearly as deep as
    // MAX_PATH below the scratch directory still go.
    ~ScratchDirectory()
    {
        if (SetCurrentDirectoryA(path_.c_str()))
            remove_contents("");
        SetCurrentDirectoryA(previous_);
        RemoveDirectoryA(path_.c_str());
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool ready() const { return ready_; }
    const std::string& path() const { return path_; }

private:
    static void remove_contents(const std::string& prefix)
    {
        WIN32_FIND_DATAA entry;
        HANDLE listing = FindFirstFileA((prefix + "*").c_str(), &entry);
        if (listing == INVALID_HANDLE_VALUE)
            return;
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = prefix + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link goes, never what it points to.
                if (!RemoveDirectoryA(child.c_str()))
                    DeleteFileA(child.c_str());
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_contents(child + "\\");
                RemoveDirectoryA(child.c_str());
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }

    char previous_[MAX_PATH + 1] = "";
    std::string path_;
    bool ready_ = false;
};
