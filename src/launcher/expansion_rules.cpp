#include "launcher/expansion_rules.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "launcher/text_buffers.h"

char expansion_value[expansion_value_size];

// ASCII only, as the built-in names are.
static bool equals_ignoring_case(const char* text, const char* upper_name)
{
    for (; *text != '\0' && *upper_name != '\0'; ++text, ++upper_name) {
        char c = *text >= 'a' && *text <= 'z' ? static_cast<char>(*text - 'a' + 'A') : *text;
        if (c != *upper_name)
            return false;
    }
    return *text == *upper_name;
}

// Environment values are often quoted paths; one quote at each end goes, so
// that the value can stand inside a longer path.
static void append_trimmed(GrowString* result, const char* value)
{
    size_t length = strlen(value);
    if (length > 0 && value[0] == '"') {
        ++value;
        --length;
    }
    if (length > 0 && value[length - 1] == '"')
        --length;
    if (length == 0)
        return;
    char* trimmed = static_cast<char*>(malloc(length + 1));
    memcpy(trimmed, value, length);
    trimmed[length] = '\0';
    grow_string_append(result, trimmed);
    free(trimmed);
}

int heap_percentage(const char* suffix)
{
    if (suffix[0] == '\0')
        return 100;
    int percentage = atoi(suffix);
    return percentage < 1 || percentage > 100 ? 100 : percentage;
}

int heap_megabytes(uint64_t bytes, int percentage, int address_bits)
{
    // Stored configurations were sized against these exact figures: above
    // 2 GiB a 32-bit JVM is given a share of 1 GiB, while exactly 2 GiB
    // stays, since a 32-bit process cannot hold a larger heap. A 64-bit JVM
    // has no such limit and gets its share of the whole memory.
    if (address_bits <= 32 && bytes > 0x80000000ull)
        bytes = 0x40000000ull;
    long double megabytes = static_cast<long double>(bytes) * (percentage / 100.0L) / 1024 / 1024;
    // A memory size beyond any machine's (a broken reading) must not
    // overflow the conversion: the figure stops at the largest int.
    if (megabytes >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    int result = static_cast<int>(megabytes);
    return result < 64 ? 64 : result;
}

static void append_name_value(GrowString* result, const char* name, const ExpansionSources* sources)
{
    // The runtime the launcher found, never the environment's JAVA_HOME; a
    // name differing only in case still reaches the environment.
    if (strcmp(name, "JAVA_HOME") == 0) {
        grow_string_append(result, sources->java_home);
        return;
    }
    const char* value = expansion_value;
    bool is_date = equals_ignoring_case(name, "DATE");
    if (is_date || equals_ignoring_case(name, "TIME")) {
        expansion_value[0] = '\0';
        bool (*read)(char*, int) = is_date ? sources->read_date : sources->read_time;
        if (!read(expansion_value, static_cast<int>(expansion_value_size - 1)))
            return;
    } else if (strncmp(name, "AVAILRAM", 8) == 0 || strncmp(name, "TOTALRAM", 8) == 0) {
        uint64_t bytes = sources->physical_memory(name[0] == 'T');
        format_text(expansion_value, expansion_value_size, "%dm",
                    heap_megabytes(bytes, heap_percentage(name + 8), sources->address_bits));
    } else {
        value = sources->lookup_environment(name);
        if (value == nullptr)
            return;
    }
    append_trimmed(result, value);
}

char* expand_with_sources(const char* text, const ExpansionSources* sources)
{
    if (text == nullptr)
        text = "";
    // Holds one name or one stretch of plain text at a time.
    char* piece = static_cast<char*>(malloc(strlen(text) + 1));
    GrowString result{};
    bool in_name = false;
    const char* mark = text;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at != '%')
            continue;
        size_t length = static_cast<size_t>(at - mark);
        memcpy(piece, mark, length);
        piece[length] = '\0';
        if (in_name)
            append_name_value(&result, piece, sources);
        else
            grow_string_append(&result, piece);
        in_name = !in_name;
        mark = at + 1;
    }
    // An unclosed name is plain text, its opening "%" included.
    if (*mark != '\0')
        grow_string_append(&result, in_name ? mark - 1 : mark);
    free(piece);
    // A text whose references all came out empty stays as written.
    char* expanded = copy_text(result.length > 0 ? result.text : text);
    grow_string_free(&result);
    return expanded;
}
