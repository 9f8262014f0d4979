// Build tool: writes the header that gives the resource script the scrambled
// form of a main-class name. Usage: scramble_main_class CLASS [HEADER]
// Without HEADER the hex text alone is printed.
#include <cstdio>

#include "launcher/config_values.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: %s CLASS [HEADER]\n", argv[0]);
        return 2;
    }
    char hex[2 * main_class_max_length + 1];
    if (!scramble_main_class(argv[1], hex, sizeof hex)) {
        fprintf(stderr,
                "%s: cannot scramble %s: a class name has at most %zu bytes, and none of its\n"
                "characters may equal the key character at its position\n",
                argv[0], argv[1], main_class_max_length);
        return 2;
    }
    if (argc == 2) {
        printf("%s\n", hex);
        return 0;
    }
    FILE* header = fopen(argv[2], "w");
    if (header == nullptr) {
        perror(argv[2]);
        return 1;
    }
    fprintf(header, "// Made by the build from the class name %s.\n#define ORVANE_MAIN_CLASS_HEX \"%s\"\n",
            argv[1], hex);
    return fclose(header) == 0 ? 0 : 1;
}
