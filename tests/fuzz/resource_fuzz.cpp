// Resource layouts read from executables: the string-table block walker and
// the PE headers discovery reads from a JVM library.
#include "fuzz_input.h"
#include "jvm/pe_machine.h"
#include "launcher/string_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (unsigned index = 0; index < 16; ++index) {
        const unsigned char* units = nullptr;
        size_t length = 0;
        if (string_block_entry(data, size, index, &units, &length))
            FUZZ_CHECK(units >= data && units + 2 * length <= data + size, "entry %u runs past the block", index);
    }
    int32_t offset = pe_signature_offset(data, static_cast<uint32_t>(size));
    FUZZ_CHECK(offset == -1 || offset >= 64, "offset %d inside the DOS header", offset);
    pe_machine_after_signature(data, static_cast<uint32_t>(size));
    return 0;
}
