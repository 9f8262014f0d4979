#include "launcher/string_blocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Lays out entries as a resource block does: a length, then that many UTF-16
// code units, each little-endian as on this host.
Bytes encode_block(const std::vector<std::u16string>& entries)
{
    std::u16string units;
    for (const auto& entry : entries)
        units += static_cast<char16_t>(entry.size()) + entry;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(units.data());
    return Bytes(bytes, bytes + 2 * units.size());
}

const std::vector<std::u16string> sample_entries = {
    u"Orvane", u"", u"a", u"", u"\u00e9t\u00e9", u"", u"", u"x\u0100y",
    u"", u"", u"", u"last but four", u"", u"", u"", u"fifteen",
};

} // namespace

// An entry that would end past the block is refused: a fuzz property. The
// Win32 tier reads real blocks through the loader; an entry that ends at the
// very end of its block is proven here.
TEST(StringBlock, FindsEveryEntryWithItsUnits)
{
    ASSERT_EQ(sample_entries.size(), 16u);
    Bytes block = encode_block(sample_entries);
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
