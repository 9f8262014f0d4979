// The rules of %NAME% expansion, free of Win32: the scan, the order in which
// a name is resolved, the trimming of values and the heap-size arithmetic.
// The machine's values come from sources the caller hands in, so that every
// rule can be driven with fixed values.
#pragma once
#include <cstddef>
#include <cstdint>

// Where the built-in names get their values. Each function is called only
// when the text refers to its name, and once per reference.
struct ExpansionSources {
    const char* java_home;  // appended as it is; empty adds nothing
    // Writes the date as yyyyMMdd (the time as HHmmss) into buffer, at most
    // capacity characters with the terminator; false when that fails.
    bool (*read_date)(char* buffer, int capacity);
    bool (*read_time)(char* buffer, int capacity);
    // Physical memory in bytes: the total, or what is available.
    uint64_t (*physical_memory)(bool total);
    // The environment variable of that name, or null when it is undefined.
    const char* (*lookup_environment)(const char* name);
    int address_bits;  // the launcher's pointer width, 32 or 64: heap limits
};

// Receives the date, time and memory values before they are appended.
// Process-wide, so two expansions must never run at the same time; the
// launcher expands on one thread at a time.
constexpr size_t expansion_value_size = 256;
extern char expansion_value[expansion_value_size];

// A new heap text: text with every reference replaced. When nothing at all
// was appended, a copy of text itself. Never fails.
char* expand_with_sources(const char* text, const ExpansionSources* sources);

// The percentage written after AVAILRAM or TOTALRAM: empty, unreadable or
// outside 1 to 100 gives 100.
int heap_percentage(const char* suffix);

// Megabytes for a heap of percentage of bytes, for a launcher whose pointers
// have address_bits bits: in a 32-bit launcher above 2 GiB counts as 1 GiB
// (exactly 2 GiB stays); the share is truncated and never below 64.
int heap_megabytes(uint64_t bytes, int percentage, int address_bits);
