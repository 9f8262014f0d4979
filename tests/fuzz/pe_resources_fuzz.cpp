// The packager's PE resource reader and writer on hostile executables (what
// "orvane-pack --show" reads): whatever it accepts, it writes back so that
// reading the result gives the same resources.
#include "fuzz_input.h"
#include "pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes file(data, data + size);
    PeImage image;
    std::string error;
    if (!read_pe_image(file, &image, &error, false))
        return 0;
    ResourceMap resources;
    if (!read_resources(image, &resources, &error))
        return 0;
    PeImage rewritable;
    if (!read_pe_image(file, &rewritable, &error, true))
        return 0;
    if (!write_resources(&rewritable, resources, &error))
        return 0;
    PeImage again;
    ResourceMap read_back;
    FUZZ_CHECK(read_pe_image(rewritable.file, &again, &error, true), "the rewritten file is refused: %s", error.c_str());
    FUZZ_CHECK(read_resources(again, &read_back, &error), "its resources cannot be read: %s", error.c_str());
    FUZZ_CHECK(read_back == resources, "%zu resources written, %zu read back differently", resources.size(),
               read_back.size());
    return 0;
}
