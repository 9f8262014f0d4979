// Linux answers to the Win32 calls of host_run/win32/windows.h. A listing
// gives "." and ".." first and then the names in case-blind order, as NTFS
// does, so that a scanned class path has one order on both systems.
#include "win32/windows.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

thread_local DWORD last_error = 0;

struct Listing {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

std::string host_path(const char* path)
{
    std::string text = path;
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

DWORD attributes_of(const std::string& path)
{
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    if (S_ISLNK(status.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (stat(path.c_str(), &status) != 0)
            return attributes | FILE_ATTRIBUTE_NORMAL;
    }
    if (S_ISDIR(status.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

} // namespace

// Only the patterns the scan makes: "*.*" and DIRECTORY\*.*. A listing's
// entries come with their attributes, as from FindNextFile: the type the
// directory gives, and a look at the file only for links and types it does
// not give.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* entry)
{
    std::string path = host_path(pattern);
    std::string directory = path == "*.*" ? "." : path.substr(0, path.size() - 4);
    DIR* stream = opendir(directory.c_str());
    if (stream == nullptr) {
        last_error = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::pair<std::string, unsigned char>> names;
    while (dirent* item = readdir(stream))
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names.emplace_back(item->d_name, item->d_type);
    closedir(stream);
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return strcasecmp(a.first.c_str(), b.first.c_str()) < 0; });
    names.insert(names.begin(), {{".", DT_DIR}, {"..", DT_DIR}});
    Listing* listing = new Listing;
    for (const auto& [name, type] : names) {
        WIN32_FIND_DATAA found;
        snprintf(found.cFileName, sizeof found.cFileName, "%s", name.c_str());
        found.dwFileAttributes = type == DT_REG   ? FILE_ATTRIBUTE_NORMAL
                                 : type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY
                                                  : attributes_of(directory + "/" + name);
        if (found.dwFileAttributes != INVALID_FILE_ATTRIBUTES)
            listing->entries.push_back(found);
    }
    *entry = listing->entries[0];
    listing->next = 1;
    last_error = 0;
    return listing;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* entry)
{
    Listing* listing = static_cast<Listing*>(handle);
    if (listing->next >= listing->entries.size()) {
        last_error = ERROR_NO_MORE_FILES;
        return 0;
    }
    *entry = listing->entries[listing->next++];
    return 1;
}

BOOL FindClose(HANDLE handle)
{
    delete static_cast<Listing*>(handle);
    return 1;
}

DWORD GetFileAttributesA(const char* path)
{
    DWORD attributes = attributes_of(host_path(path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        last_error = ERROR_FILE_NOT_FOUND;
    return attributes;
}

DWORD GetLastError()
{
    return last_error;
}

void SetLastError(DWORD error)
{
    last_error = error;
}
