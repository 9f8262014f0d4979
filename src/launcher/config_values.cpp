#include "launcher/config_values.h"

#include "launcher/text_buffers.h"

#include <cstdlib>
#include <cstring>

bool config_boolean(const char* text)
{
    return text == nullptr || text[0] != '0';
}

int config_integer(const char* text)
{
    return text == nullptr ? 0 : atoi(text);
}

static unsigned hex_digit_value(char c)
{
    unsigned code = static_cast<unsigned char>(c);
    return c >= '0' && c <= '9' ? code - '0' : code - 55;
}

void descramble_main_class(const char* hex, char* result)
{
    memset(result, 0, main_class_max_length + 1);
    size_t hex_length = strlen(hex);
    size_t byte_count = hex_length / 2;
    if (byte_count > main_class_max_length)
        byte_count = main_class_max_length;
    for (size_t i = 0; i < byte_count; ++i) {
        unsigned value = 16 * hex_digit_value(hex[2 * i]) + hex_digit_value(hex[2 * i + 1]);
        result[i] = static_cast<char>(value & 0xFF);
    }
    for (size_t i = 0; i < byte_count; ++i)
        result[i] = static_cast<char>(result[i] ^ main_class_key[i % main_class_key_length]);
}

bool scramble_main_class(const char* name, char* result, size_t result_size)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    size_t length = strlen(name);
    if (result_size == 0)
        return false;
    result[0] = '\0';
    if (length > main_class_max_length || 2 * length + 1 > result_size)
        return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char value = static_cast<unsigned char>(name[i]) ^
                              static_cast<unsigned char>(main_class_key[i % main_class_key_length]);
        if (value == 0) {
            // A character equal to its key character would scramble to a zero
            // byte, where descrambling stops: such a name cannot be stored.
            result[0] = '\0';
            return false;
        }
        result[2 * i] = digits[value >> 4];
        result[2 * i + 1] = digits[value & 0xF];
    }
    result[2 * length] = '\0';
    return true;
}

// ASCII case folding, as the name APPNAME is plain ASCII.
static bool equals_ignoring_case(const char* text, const char* word, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char a = text[i], b = word[i];
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

static void append_slice(char* result, size_t* length, const char* from, size_t count)
{
    memcpy(result + *length, from, count);
    *length += count;
    result[*length] = '\0';
}

char* expand_ini_file_name(const char* ini_template, const char* app_name)
{
    // Every name is replaced by app_name at most, so this bounds the result.
    size_t template_length = strlen(ini_template);
    size_t app_length = strlen(app_name);
    char* result = static_cast<char*>(calloc(template_length * (app_length + 1) + 1, 1));
    size_t length = 0;
    bool inside = false;
    const char* mark = ini_template;
    for (const char* p = ini_template; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        if (!inside) {
            append_slice(result, &length, mark, static_cast<size_t>(p - mark));
            inside = true;
        } else {
            size_t name_length = static_cast<size_t>(p - mark);
            if (name_length == 7 && equals_ignoring_case(mark, "APPNAME", 7))
                append_slice(result, &length, app_name, app_length);
            inside = false;
        }
        mark = p + 1;
    }
    append_slice(result, &length, mark, strlen(mark));
    if (length == 0) {
        free(result);
        return copy_text(ini_template);
    }
    return result;
}

char* unescape_message_text(const char* text)
{
    size_t length = strlen(text);
    char* result = static_cast<char*>(malloc(length + 1));
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\\') {
            result[out++] = text[i];
        } else if (i + 1 < length) {
            ++i;
            if (text[i] == 'n') {
                result[out++] = '\n';
            } else {
                result[out++] = '\\';
                result[out++] = text[i];
            }
        }
    }
    result[out] = '\0';
    return result;
}
