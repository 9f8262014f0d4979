// The Windows form of a path of the build machine: Wine shows the Linux file
// system as drive Z:.
#pragma once
#include <string>

inline std::string wine_path(const char* unix_path)
{
    std::string path = std::string("Z:") + unix_path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}
