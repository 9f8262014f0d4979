// How the texts of the configuration table become values: the value forms,
// the main-class scrambling, the INI file name template and the message
// unescaping. No Win32 here.
#pragma once
#include <cstddef>

// The descrambling key: 16 characters and the zero byte after them, so every
// 17th byte of a scrambled name is stored as it stands.
constexpr char main_class_key[] = "Qw7rTz41Bn0vXc86";
constexpr size_t main_class_key_length = sizeof main_class_key; // 17
constexpr size_t main_class_max_length = 255;

// A boolean value is true unless its first character is "0" (empty is true).
bool config_boolean(const char* text);
// An integer value is atoi of the text (empty gives 0).
int config_integer(const char* text);

// Descrambles a hex text into result (at least main_class_max_length + 1
// bytes). A last odd digit is ignored and at most 255 bytes are produced, so
// an over-long or odd text can never overflow the result.
void descramble_main_class(const char* hex, char* result);

// The inverse: XOR with the key, then upper-case hex. Writes at most
// result_size - 1 digits; returns false when the name is longer than 255
// bytes, the hex text does not fit, or a character equals its key character
// (it would scramble to a zero byte, which ends the descrambled name).
bool scramble_main_class(const char* name, char* result, size_t result_size);

// Replaces %APPNAME% (any case) by app_name; other %NAME% references vanish,
// an unclosed "%" is dropped. An empty result gives the template itself.
// Returns a new heap text.
char* expand_ini_file_name(const char* ini_template, const char* app_name);

// Backslash-n becomes a line break, a backslash before any other character is
// kept with it, a trailing backslash is dropped. Returns a new heap text.
char* unescape_message_text(const char* text);
