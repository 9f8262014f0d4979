#include "jvm/runtime_choice.h"

#include <cstring>

#include "jvm/version_constraints.h"
#include "launcher/text_buffers.h"

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The text from its first digit on: "zulu-17" reads as "17". Without a digit
// the text is kept, and its value is 0.
static const char* version_digits(const char* text)
{
    for (const char* c = text; *c != '\0'; ++c) {
        if (is_digit(*c))
            return c;
    }
    return text;
}

int32_t runtime_version_value(const char* text)
{
    // The operator forms are never part of a runtime's own version.
    return parse_version_constraint(version_digits(text)).value;
}

bool runtime_version_accepted(const char* text, const char* constraints)
{
    return version_satisfies_all(version_digits(text), constraints);
}

bool release_file_version(const char* release_text, char* version, size_t size)
{
    static const char key[] = "JAVA_VERSION=";
    for (const char* line = release_text; line != nullptr && *line != '\0';) {
        const char* end = strchr(line, '\n');
        size_t length = end != nullptr ? static_cast<size_t>(end - line) : strlen(line);
        if (length > sizeof key - 1 && strncmp(line, key, sizeof key - 1) == 0) {
            const char* value = line + sizeof key - 1;
            size_t value_length = length - (sizeof key - 1);
            while (value_length > 0 && (value[value_length - 1] == '\r' || value[value_length - 1] == ' '))
                --value_length;
            if (value_length >= 2 && value[0] == '"' && value[value_length - 1] == '"') {
                ++value;
                value_length -= 2;
            }
            if (value_length == 0 || value_length >= size)
                return false;
            memcpy(version, value, value_length);
            version[value_length] = '\0';
            return true;
        }
        line = end != nullptr ? end + 1 : nullptr;
    }
    return false;
}

bool probe_runtime_library(const char* home, char* result, size_t size,
                           bool (*usable)(const char* path, void* context), void* context)
{
    for (const char* subpath : runtime_library_subpaths) {
        if (join_path(result, size, home, subpath) && usable(result, context))
            return true;
    }
    result[0] = '\0';
    return false;
}

bool runtime_outranks(const char* version, const char* constraints, bool have_chosen, int32_t chosen_version)
{
    return runtime_version_accepted(version, constraints) &&
           (!have_chosen || runtime_version_value(version) > chosen_version);
}
