// Heap texts shared by every subsystem: the growing string, the argument
// vector, and bounded path composition. No Win32 here.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

// A heap text that grows on append. All zero when new; text stays null until
// the first non-empty append. The owner frees it with grow_string_free.
struct GrowString {
    char* text;
    size_t length;
    size_t capacity;
};

// Appends text (none or empty: nothing happens). The first append allocates
// max(4 * length of text, 1024) zero-filled bytes; an append that would not
// fit grows the capacity by the same amount.
void grow_string_append(GrowString* string, const char* text);
void grow_string_free(GrowString* string);

// A count and that many heap texts; slot 0 may be reserved and empty (null).
struct ArgVector {
    int32_t count;
    char** items;
};

// Frees every text and the array, leaving an empty vector.
void free_arg_vector(ArgVector* args);

// A heap copy of text (none gives an empty text).
char* copy_text(const char* text);

// Copies directory into destination, adds "\" unless it already ends with
// one, and appends name. Returns false, leaving destination empty, when the
// result would not fit destination_size bytes with its terminator.
bool join_path(char* destination, size_t destination_size, const char* directory,
               const char* name);

// Copies source into destination when it fits with its terminator; otherwise
// leaves destination empty and returns false.
bool copy_bounded(char* destination, size_t destination_size, const char* source);

// printf-style composition that never overflows: an over-long result is cut
// at size - 1 bytes and always terminated.
void format_bounded(char* buffer, size_t size, const char* format, va_list args);
void format_text(char* buffer, size_t size, const char* format, ...);
