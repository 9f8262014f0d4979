#include "launcher/variable_expansion.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "jvm/runtime_discovery.h"
#include "launcher/expansion_rules.h"

static bool read_local_date(char* buffer, int capacity)
{
    return GetDateFormatA(GetThreadLocale(), 0, nullptr, "yyyyMMdd", buffer, capacity) != 0;
}

static bool read_local_time(char* buffer, int capacity)
{
    return GetTimeFormatA(GetThreadLocale(), 0, nullptr, "HHmmss", buffer, capacity) != 0;
}

// When the status cannot be read the count is 0, so the heap becomes the
// 64m floor rather than a figure left over from the stack.
static uint64_t read_physical_memory(bool total)
{
    MEMORYSTATUSEX status;
    static_assert(sizeof status == 64, "the memory status record is 64 bytes");
    memset(&status, 0, sizeof status);
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return total ? status.ullTotalPhys : status.ullAvailPhys;
}

// The C runtime's copy of the environment, as the launcher has always read it.
static const char* read_environment(const char* name)
{
    return getenv(name);
}

char* expand_variables(const char* text)
{
    const ExpansionSources sources = {found_java_home, read_local_date, read_local_time,
                                      read_physical_memory, read_environment,
                                      static_cast<int>(sizeof(void*) * 8)};
    return expand_with_sources(text, &sources);
}

char* prepare_output_path(const char* path)
{
    char* expanded = expand_variables(path);
    size_t length = strlen(expanded);
    // Only the backslash separates here; the file name itself is left to
    // whoever opens it, and a failed creation shows up there.
    for (size_t i = 1; i < length; ++i) {
        if (expanded[i] != '\\')
            continue;
        expanded[i] = '\0';
        if (GetFileAttributesA(expanded) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryA(expanded, nullptr);
        expanded[i] = '\\';
    }
    return expanded;
}
