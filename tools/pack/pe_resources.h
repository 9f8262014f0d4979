// Reads and rewrites the resources of a PE32 or PE32+ executable without any
// Win32 call, so that launchers can be configured on any build machine.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A resource type or name: a number, or a text (kept as UTF-16 units).
struct ResourceName {
    bool named = false;
    uint16_t id = 0;
    std::u16string text;
};
bool operator<(const ResourceName& a, const ResourceName& b);
bool operator==(const ResourceName& a, const ResourceName& b);
ResourceName resource_id(uint16_t id);

struct ResourceKey {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
};
bool operator<(const ResourceKey& a, const ResourceKey& b);
bool operator==(const ResourceKey& a, const ResourceKey& b);

struct ResourceData {
    Bytes bytes;
    uint32_t code_page = 0;
};

inline bool operator==(const ResourceData& a, const ResourceData& b)
{
    return a.bytes == b.bytes && a.code_page == b.code_page;
}

using ResourceMap = std::map<ResourceKey, ResourceData>;

// Resource types the packer writes.
enum : uint16_t {
    rt_icon = 3,
    rt_bitmap = 2,
    rt_string = 6,
    rt_rcdata = 10,
    rt_group_icon = 14,
    rt_version = 16,
    rt_manifest = 24,
};

// An executable in memory with the places the resource rewrite changes.
struct PeImage {
    Bytes file;
    bool pe32_plus = false;
    uint16_t machine = 0;
    size_t optional_header = 0;  // file offset of the optional header
    size_t section_table = 0;    // file offset of the first section header
    unsigned section_count = 0;
    unsigned resource_section = 0;  // index of the section holding the resources
};

// Parses the headers and finds the resource section. On failure fills error
// with the reason and returns false. For a rewrite, a file that carries a
// signature, data past its last section, or sections other than relocations
// after its resources is refused: the rewrite could not keep it whole.
bool read_pe_image(const Bytes& file, PeImage* image, std::string* error, bool for_rewrite = true);

// Reads every resource of the image.
bool read_resources(const PeImage& image, ResourceMap* resources, std::string* error);

// Replaces the resource section by one holding resources, moves the sections
// after it, and fixes the data directories, section table, sizes and checksum.
bool write_resources(PeImage* image, const ResourceMap& resources, std::string* error);

// The PE checksum of a file whose checksum field is at checksum_offset.
uint32_t pe_checksum(const Bytes& file, size_t checksum_offset);
