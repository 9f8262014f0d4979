// What install registers, composed without Win32: the service name rules,
// the command line the service manager starts, the dependency list.
#pragma once
#include <cstddef>

// The longest name the service manager keeps.
constexpr size_t service_name_limit = 256;

// False for a name the service manager or the registry would misread: empty,
// holding "\" or "/", or longer than service_name_limit characters.
bool service_name_is_valid(const char* name);

// The service's command line: the executable path in double quotes, a blank
// and the service switch; when extended, then the name and the description
// each in double quotes, and 1 for automatic start or 0 for start on demand.
// False, with buffer empty, when it would not fit size bytes with its
// terminator: it is never cut.
bool compose_binary_path(char* buffer, size_t size, const char* exe_path, const char* service_switch,
                         bool extended, const char* name, const char* description, bool automatic);

// The ";"-separated list as a multi-string: each ";" becomes a NUL and two
// NULs end it. Null for an empty list; the caller frees the heap copy.
char* dependency_multi_string(const char* list);
