#include "jvm/version_constraints.h"

#include <cstdlib>
#include <cstring>

#include "launcher/text_buffers.h"
#include "launcher/tokenizer.h"

// Registered version names have always been read with the limits of a
// 256-byte field buffer: a longer field counts as 0, not as its digits.
static constexpr size_t longest_field = 255;

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading digits of a field as a 32-bit machine accumulates them: a field
// too large for 32 bits wraps instead of being undefined.
static uint32_t field_value(const char* field, size_t length)
{
    if (length > longest_field)
        return 0;
    uint32_t value = 0;
    for (size_t i = 0; i < length && is_digit(field[i]); ++i)
        value = value * 10u + static_cast<uint32_t>(field[i] - '0');
    return value;
}

VersionConstraint parse_version_constraint(const char* text)
{
    VersionConstraint constraint = {version_at_least, 0};
    size_t length = strlen(text);
    size_t start = 0;
    // Stored configurations rely on two-character texts such as ">5" having
    // no operator at all.
    if (text[0] == '=') {
        constraint.op = version_equal;
        start = 1;
    } else if (length >= 3) {
        if (text[0] == '>' && text[1] == '=') {
            start = 2;
        } else if (text[0] == '>') {
            constraint.op = version_greater_than;
            start = 1;
        } else if (text[0] == '<' && text[1] == '=') {
            constraint.op = version_at_most;
            start = 2;
        } else if (text[0] == '<') {
            constraint.op = version_less_than;
            start = 1;
        }
    }
    uint32_t fields[4] = {0, 0, 0, 0};
    int field = 0;
    size_t field_start = start;
    for (size_t i = start; i < length && field < 4; ++i) {
        bool last = i + 1 == length;
        if (is_digit(text[i]) && !last)
            continue;
        size_t field_length = i - field_start + (last ? 1 : 0);
        fields[field++] = field_value(text + field_start, field_length);
        field_start = i + 1;
    }
    uint32_t packed = fields[0] * 1000000u + fields[1] * 10000u + fields[2] * 100u + fields[3];
    constraint.value = static_cast<int32_t>(packed);
    return constraint;
}

bool version_satisfies(int32_t candidate, VersionConstraint constraint)
{
    switch (constraint.op) {
    case version_greater_than:
        return candidate > constraint.value;
    case version_at_least:
        return candidate >= constraint.value;
    case version_equal:
        return candidate == constraint.value;
    case version_less_than:
        return candidate < constraint.value;
    case version_at_most:
        return candidate <= constraint.value;
    }
    return false;
}

bool version_satisfies_all(const char* version_name, const char* constraints)
{
    if (constraints == nullptr || constraints[0] == '\0')
        return true;
    int32_t candidate = parse_version_constraint(version_name).value;
    // The splitter cuts its text in place; the configured value must stay whole
    // for the message that names it.
    char* list = copy_text(constraints);
    bool satisfied = true;
    char* cursor = nullptr;
    for (char* entry = next_token(list, ";", &cursor); entry != nullptr;
         entry = next_token(list, ";", &cursor)) {
        if (!version_satisfies(candidate, parse_version_constraint(entry))) {
            satisfied = false;
            break;
        }
    }
    free(list);
    return satisfied;
}
