// Builds embedded-jar resource bytes (RT_RCDATA 1) for tests: a count, then
// name, zero, FILETIME (low, high), size and data per entry, little-endian.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BlobEntry {
    std::string name;
    uint64_t time;  // FILETIME as one number
    std::string data;
};

inline void append_u32(std::string* bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes->push_back(static_cast<char>((value >> shift) & 0xFF));
}

// count < 0 writes the entries' own count.
inline std::string encode_jar_blob(const std::vector<BlobEntry>& entries, int64_t count = -1)
{
    std::string bytes;
    append_u32(&bytes, static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(entries.size()) : count));
    for (const BlobEntry& entry : entries) {
        bytes += entry.name;
        bytes.push_back('\0');
        append_u32(&bytes, static_cast<uint32_t>(entry.time));
        append_u32(&bytes, static_cast<uint32_t>(entry.time >> 32));
        append_u32(&bytes, static_cast<uint32_t>(entry.data.size()));
        bytes += entry.data;
    }
    return bytes;
}
