// %NAME% expansion with fixed machine values, and the heap arithmetic.
#include <cstring>

#include "fuzz_input.h"
#include "launcher/expansion_rules.h"

static uint64_t memory_bytes = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    memcpy(&memory_bytes, data, 8);
    std::string text = fuzz_text(data + 8, size - 8);
    int address_bits = data[0] % 2 == 0 ? 32 : 64;
    // Every variable with a name of even length is defined, as a value that
    // holds references of its own: an expansion never expands its results.
    ExpansionSources sources{
        "C:\\Java Home",
        [](char* buffer, int capacity) { return snprintf(buffer, static_cast<size_t>(capacity), "20261207") < capacity; },
        [](char* buffer, int capacity) { return snprintf(buffer, static_cast<size_t>(capacity), "235959") < capacity; },
        [](bool total) { return total ? memory_bytes : memory_bytes / 2; },
        [](const char* name) -> const char* { return strlen(name) % 2 == 0 ? "%PATH%;x" : nullptr; },
        address_bits};
    char* expanded = expand_with_sources(text.c_str(), &sources);
    FUZZ_CHECK(expanded != nullptr, "no result");
    // No source value is longer than 256 bytes, and each reference is at
    // least two bytes long.
    FUZZ_CHECK(strlen(expanded) <= text.size() * 130 + 1, "result of %zu bytes from %zu", strlen(expanded), text.size());
    free(expanded);

    int percentage = heap_percentage(text.c_str());
    FUZZ_CHECK(percentage >= 1 && percentage <= 100, "percentage %d", percentage);
    int megabytes = heap_megabytes(memory_bytes, percentage, address_bits);
    FUZZ_CHECK(megabytes >= 64, "heap %d MB below the floor", megabytes);
    if (address_bits == 32)
        FUZZ_CHECK(megabytes <= 2048, "a 32-bit heap of %d MB", megabytes);
    return 0;
}
