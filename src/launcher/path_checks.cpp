#include "launcher/path_checks.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

bool file_is_missing(const char* path)
{
    FILE* file = fopen(path, "r");
    if (file == nullptr)
        return true;
    fclose(file);
    return false;
}

int path_is_directory(const char* path)
{
    if (strchr(path, '%') != nullptr)
        return 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return -1;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}
