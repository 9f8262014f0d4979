#include "service/service_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool service_name_is_valid(const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return false;
    size_t length = strlen(name);
    return length <= service_name_limit && strpbrk(name, "\\/") == nullptr;
}

bool compose_binary_path(char* buffer, size_t size, const char* exe_path, const char* service_switch,
                         bool extended, const char* name, const char* description, bool automatic)
{
    int written = extended ? snprintf(buffer, size, "\"%s\" %s \"%s\" \"%s\" %d", exe_path, service_switch,
                                      name, description != nullptr ? description : "", automatic ? 1 : 0)
                           : snprintf(buffer, size, "\"%s\" %s", exe_path, service_switch);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    return true;
}

char* dependency_multi_string(const char* list)
{
    if (list == nullptr || list[0] == '\0')
        return nullptr;
    size_t length = strlen(list);
    char* names = static_cast<char*>(calloc(length + 2, 1));
    if (names == nullptr)
        return nullptr;
    for (size_t i = 0; i < length; ++i)
        names[i] = list[i] == ';' ? '\0' : list[i];
    return names;
}
