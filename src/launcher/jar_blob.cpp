#include "launcher/jar_blob.h"

#include <cstdlib>
#include <cstring>

static uint32_t read_u32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool jar_blob_begin(JarBlobWalk* walk, const void* bytes, size_t size)
{
    *walk = JarBlobWalk{static_cast<const unsigned char*>(bytes), size, 4, 0, 0};
    if (bytes == nullptr || size < 4)
        return false;
    walk->count = static_cast<int32_t>(read_u32(walk->bytes));
    return walk->count >= 0 && static_cast<size_t>(walk->count) <= (size - 4) / jar_entry_minimum;
}

int jar_blob_next(JarBlobWalk* walk, JarEntry* entry)
{
    if (walk->index >= walk->count)
        return 0;
    size_t start = walk->offset;
    if (start >= walk->size)
        return -1;
    const void* zero = memchr(walk->bytes + start, '\0', walk->size - start);
    if (zero == nullptr)
        return -1;
    size_t name_length = static_cast<size_t>(static_cast<const unsigned char*>(zero) - (walk->bytes + start));
    size_t fields = start + name_length + 1;
    if (walk->size - fields < 12)
        return -1;
    uint32_t size = read_u32(walk->bytes + fields + 8);
    if (walk->size - (fields + 12) < size)
        return -1;
    entry->name = reinterpret_cast<const char*>(walk->bytes + start);
    entry->name_length = name_length;
    entry->time_low = read_u32(walk->bytes + fields);
    entry->time_high = read_u32(walk->bytes + fields + 4);
    entry->data = walk->bytes + fields + 12;
    entry->size = size;
    walk->offset = fields + 12 + size;
    ++walk->index;
    return 1;
}

// A DOS device name (CON, NUL, COM1 ...) with or without an extension: a
// write to it reaches the device, not a file in the directory.
static bool names_a_device(const char* name, size_t length)
{
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    size_t base = 0;
    while (base < length && name[base] != '.')
        ++base;
    while (base > 0 && name[base - 1] == ' ')
        --base;
    char upper[8] = "";
    if (base >= sizeof upper)
        return false;
    for (size_t i = 0; i < base; ++i)
        upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
    upper[base] = '\0';
    for (const char* device : devices)
        if (strcmp(upper, device) == 0)
            return true;
    return base == 4 && (strncmp(upper, "COM", 3) == 0 || strncmp(upper, "LPT", 3) == 0) && upper[3] >= '0' &&
           upper[3] <= '9';
}

bool jar_name_is_plain(const char* name, size_t length)
{
    if (length == 0)
        return false;
    bool only_dots_and_blanks = true;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        if (c == '\\' || c == '/' || c == ':')
            return false;
        if (c != '.' && c != ' ')
            only_dots_and_blanks = false;
    }
    char last = name[length - 1];
    return !only_dots_and_blanks && last != '.' && last != ' ' && !names_a_device(name, length);
}

JarBlobStatus jar_blob_check(const void* bytes, size_t size, int32_t* count, JarEntry* bad_entry)
{
    JarBlobWalk walk;
    if (!jar_blob_begin(&walk, bytes, size))
        return jar_blob_malformed;
    JarEntry entry;
    int step;
    while ((step = jar_blob_next(&walk, &entry)) == 1) {
        if (!jar_name_is_plain(entry.name, entry.name_length)) {
            *bad_entry = entry;
            return jar_blob_bad_name;
        }
    }
    if (step < 0)
        return jar_blob_malformed;
    *count = walk.count;
    return jar_blob_ok;
}

char* extended_class_path(const char* class_path, const char* list, size_t list_length)
{
    if (list_length > 0 && list[list_length - 1] == ';')
        --list_length;
    if (list_length == 0)
        return nullptr;
    size_t old_length = strlen(class_path);
    bool separator = old_length > 0 && class_path[old_length - 1] != ';';
    char* result = static_cast<char*>(malloc(old_length + 1 + list_length + 1));
    if (result == nullptr)
        return nullptr;
    memcpy(result, class_path, old_length);
    size_t length = old_length;
    if (separator)
        result[length++] = ';';
    memcpy(result + length, list, list_length);
    result[length + list_length] = '\0';
    return result;
}
