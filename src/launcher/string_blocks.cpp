#include "launcher/string_blocks.h"

static size_t read_u16(const unsigned char* at)
{
    return static_cast<size_t>(at[0]) | static_cast<size_t>(at[1]) << 8;
}

bool string_block_entry(const void* block, size_t block_size, unsigned index,
                        const unsigned char** units, size_t* length)
{
    if (index >= 16)
        return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    size_t offset = 0;
    for (unsigned i = 0;; ++i) {
        if (block_size < 2 || offset > block_size - 2)
            return false;
        size_t entry_length = read_u16(bytes + offset);
        offset += 2;
        if (entry_length > (block_size - offset) / 2)
            return false;
        if (i == index) {
            *units = bytes + offset;
            *length = entry_length;
            return true;
        }
        offset += 2 * entry_length;
    }
}
