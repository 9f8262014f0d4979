// The texts of the configuration table: the scrambled main class (both ways),
// the INI file name template and the message unescaping.
#include <cstring>

#include "fuzz_input.h"
#include "launcher/config_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string first, second;
    fuzz_two_texts(data, size, &first, &second);

    char name[main_class_max_length + 1 + 16];
    memset(name, 'x', sizeof name);
    descramble_main_class(first.c_str(), name);
    FUZZ_CHECK(memchr(name, '\0', main_class_max_length + 1) != nullptr, "descrambled name not terminated in bounds");

    char hex[2 * main_class_max_length + 1];
    if (scramble_main_class(first.c_str(), hex, sizeof hex)) {
        char back[main_class_max_length + 1];
        descramble_main_class(hex, back);
        FUZZ_CHECK(first == back, "scrambling \"%s\" gave back \"%s\"", first.c_str(), back);
    }

    char* ini = expand_ini_file_name(first.c_str(), second.c_str());
    FUZZ_CHECK(ini != nullptr, "no INI name");
    if (first.find('%') == std::string::npos)
        FUZZ_CHECK(first == ini, "a template without references changed");
    free(ini);

    char* message = unescape_message_text(first.c_str());
    FUZZ_CHECK(strlen(message) <= first.size(), "unescaping grew the text");
    free(message);
    return 0;
}
