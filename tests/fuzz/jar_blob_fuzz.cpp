// The embedded-jar resource walked as extraction and cleanup walk it.
#include "fuzz_input.h"
#include "launcher/jar_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int32_t count = 0;
    JarEntry bad{};
    JarBlobStatus status = jar_blob_check(data, size, &count, &bad);

    JarBlobWalk walk{};
    int32_t seen = 0;
    bool all_plain = true;
    if (jar_blob_begin(&walk, data, size)) {
        JarEntry entry{};
        int got;
        while ((got = jar_blob_next(&walk, &entry)) == 1) {
            FUZZ_CHECK(entry.name >= reinterpret_cast<const char*>(data) &&
                           entry.name + entry.name_length < reinterpret_cast<const char*>(data) + size &&
                           entry.name[entry.name_length] == '\0',
                       "entry %d's name runs past the resource", seen);
            FUZZ_CHECK(entry.data >= data && entry.data + entry.size <= data + size, "entry %d's data runs past", seen);
            all_plain = all_plain && jar_name_is_plain(entry.name, entry.name_length);
            FUZZ_CHECK(++seen <= walk.count, "more entries than the count");
        }
        if (got == 0)
            FUZZ_CHECK(seen == walk.count, "the walk ended after %d of %d entries", seen, walk.count);
        if (status == jar_blob_ok)
            FUZZ_CHECK(got == 0 && all_plain && count == seen, "a resource passed the check but not the walk");
    } else {
        FUZZ_CHECK(status == jar_blob_malformed, "a resource that cannot begin passed the check");
    }
    if (status == jar_blob_bad_name)
        FUZZ_CHECK(!jar_name_is_plain(bad.name, bad.name_length), "a plain name was refused");
    return 0;
}
