#include "launcher/string_blocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "resource_formats.h"

namespace {

const std::u16string sample_entries[16] = {
    u"Orvane", u"", u"a", u"", u"\u00e9t\u00e9", u"", u"", u"x\u0100y",
    u"", u"", u"", u"last but four", u"", u"", u"", u"fifteen",
};

} // namespace

// The launcher reads each entry of a block the packer writes. An entry that
// would end past the block is refused: a fuzz property. The Win32 tier reads
// real blocks through the loader; an entry that ends at the very end of its
// block is proven here.
TEST(StringBlock, FindsEveryEntryWithItsUnits)
{
    Bytes block = encode_string_block(sample_entries);
    // A heap copy of exactly its size, so that ASan sees any read past it.
    std::unique_ptr<unsigned char[]> copy(new unsigned char[block.size()]);
    memcpy(copy.get(), block.data(), block.size());
    for (unsigned index = 0; index < 16; ++index) {
        SCOPED_TRACE("index " + std::to_string(index));
        const unsigned char* units = nullptr;
        size_t length = 12345;
        ASSERT_TRUE(string_block_entry(copy.get(), block.size(), index, &units, &length));
        EXPECT_EQ(length, sample_entries[index].size());
        ASSERT_NE(units, nullptr);
        EXPECT_TRUE(std::u16string(reinterpret_cast<const char16_t*>(units), length) == sample_entries[index]);
    }
}
