// The layout of a string-table resource block: 16 entries, each a 16-bit
// length followed by that many UTF-16 code units. No Win32 here.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr unsigned string_block_of(unsigned id) { return id / 16 + 1; }
constexpr unsigned string_index_of(unsigned id) { return id % 16; }

// Finds entry index (0 to 15) in a block of block_size bytes. On success sets
// units (unaligned UTF-16, little-endian) and length in code units. Returns
// false when the block ends before the entry does.
bool string_block_entry(const void* block, size_t block_size, unsigned index,
                        const unsigned char** units, size_t* length);
