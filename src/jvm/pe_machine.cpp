#include "jvm/pe_machine.h"

#include <cstdio>

static uint32_t little_endian(const unsigned char* bytes, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

int32_t pe_signature_offset(const unsigned char* dos_header, uint32_t size)
{
    if (size < 64 || dos_header[0] != 'M' || dos_header[1] != 'Z')
        return -1;
    uint32_t offset = little_endian(dos_header + 0x3c, 4);
    // A header further out than this is no image any loader accepts.
    if (offset < 64 || offset > 0x10000000)
        return -1;
    return static_cast<int32_t>(offset);
}

int pe_machine_after_signature(const unsigned char* bytes, uint32_t size)
{
    if (size < 6 || bytes[0] != 'P' || bytes[1] != 'E' || bytes[2] != 0 || bytes[3] != 0)
        return -1;
    return static_cast<int>(little_endian(bytes + 4, 2));
}

int read_pe_machine(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return -1;
    unsigned char header[64];
    int machine = -1;
    uint32_t got = static_cast<uint32_t>(fread(header, 1, sizeof header, file));
    int32_t offset = pe_signature_offset(header, got);
    if (offset >= 0 && fseek(file, offset, SEEK_SET) == 0) {
        unsigned char signature[6];
        got = static_cast<uint32_t>(fread(signature, 1, sizeof signature, file));
        machine = pe_machine_after_signature(signature, got);
    }
    fclose(file);
    return machine;
}

const char* pe_machine_name(int machine)
{
    switch (machine) {
    case pe_machine_x86:
        return "x86";
    case pe_machine_x64:
        return "x64";
    case pe_machine_arm64:
        return "arm64";
    case -1:
        return "not a PE file";
    default:
        return "unknown";
    }
}
