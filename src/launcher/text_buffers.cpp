#include "launcher/text_buffers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static size_t growth_step(size_t text_length)
{
    size_t step = 4 * text_length;
    return step < 1024 ? 1024 : step;
}

void grow_string_append(GrowString* string, const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return;
    size_t text_length = strlen(text);
    // A failed allocation drops this append and keeps the text as it was.
    if (string->text == nullptr) {
        char* text_buffer = static_cast<char*>(calloc(growth_step(text_length), 1));
        if (text_buffer == nullptr)
            return;
        string->text = text_buffer;
        string->capacity = growth_step(text_length);
        string->length = 0;
    } else if (string->length + text_length > string->capacity - 1) {
        char* grown = static_cast<char*>(realloc(string->text, string->capacity + growth_step(text_length)));
        if (grown == nullptr)
            return;
        string->text = grown;
        string->capacity += growth_step(text_length);
    }
    memcpy(string->text + string->length, text, text_length + 1);
    string->length += text_length;
}

void grow_string_free(GrowString* string)
{
    free(string->text);
    *string = GrowString{};
}

void free_arg_vector(ArgVector* args)
{
    for (int32_t i = 0; i < args->count; ++i)
        free(args->items[i]);
    free(args->items);
    *args = ArgVector{};
}

char* copy_text(const char* text)
{
    if (text == nullptr)
        text = "";
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    memcpy(copy, text, length + 1);
    return copy;
}

bool copy_bounded(char* destination, size_t destination_size, const char* source)
{
    size_t length = strlen(source);
    if (length + 1 > destination_size) {
        if (destination_size > 0)
            destination[0] = '\0';
        return false;
    }
    memcpy(destination, source, length + 1);
    return true;
}

bool join_path(char* destination, size_t destination_size, const char* directory,
               const char* name)
{
    size_t directory_length = strlen(directory);
    bool needs_separator = directory_length == 0 || directory[directory_length - 1] != '\\';
    size_t name_length = strlen(name);
    size_t total = directory_length + (needs_separator ? 1 : 0) + name_length;
    if (total + 1 > destination_size) {
        if (destination_size > 0)
            destination[0] = '\0';
        return false;
    }
    memcpy(destination, directory, directory_length);
    size_t at = directory_length;
    if (needs_separator)
        destination[at++] = '\\';
    memcpy(destination + at, name, name_length + 1);
    return true;
}


void format_bounded(char* buffer, size_t size, const char* format, va_list args)
{
    if (size == 0)
        return;
    // The C runtime of Windows leaves a cut text unterminated; terminate here.
    int written = vsnprintf(buffer, size, format, args);
    if (written < 0 || static_cast<size_t>(written) >= size)
        buffer[size - 1] = '\0';
}

void format_text(char* buffer, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    format_bounded(buffer, size, format, args);
    va_end(args);
}
