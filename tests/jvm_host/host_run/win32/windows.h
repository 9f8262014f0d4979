// The few Win32 declarations the launcher's class-path scan and path checks
// use, answered on Linux by host_win32.cpp, so that those files compile
// unchanged for the host runner. Paths are taken in Windows syntax: a
// backslash is a separator, and "*.*" lists a whole directory.
#pragma once
#include <cstdint>

typedef uint32_t DWORD;
typedef void* HANDLE;
typedef int BOOL;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(-1))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_NO_MORE_FILES 18u

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[260];
};

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* entry);
BOOL FindNextFileA(HANDLE listing, WIN32_FIND_DATAA* entry);
BOOL FindClose(HANDLE listing);
DWORD GetFileAttributesA(const char* path);
DWORD GetLastError();
void SetLastError(DWORD error);
