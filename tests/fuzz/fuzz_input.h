// What every fuzz target shares: the input as zero-terminated texts, and a
// check that stops the run with a message when a stated property fails.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// The input as one text, cut at its first zero byte as C text is.
inline std::string fuzz_text(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}

// The input split at its first zero byte into two texts (the second may be empty).
inline void fuzz_two_texts(const uint8_t* data, size_t size, std::string* first, std::string* second)
{
    *first = fuzz_text(data, size);
    *second = first->size() == size ? "" : fuzz_text(data + first->size() + 1, size - first->size() - 1);
}

#define FUZZ_CHECK(condition, ...)                                      \
    do {                                                                \
        if (!(condition)) {                                             \
            fprintf(stderr, "property failed: %s: ", #condition);      \
            fprintf(stderr, __VA_ARGS__);                               \
            fputc('\n', stderr);                                        \
            abort();                                                    \
        }                                                               \
    } while (0)
