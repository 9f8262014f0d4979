// The byte layouts of the resources the packer writes: string-table blocks,
// the version block, icon groups, bitmaps and the embedded-jar blob.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pe_resources.h"

// UTF-8 and the UTF-16 units of string resources.
std::u16string utf16_of(const std::string& text);
std::string utf8_of(const std::u16string& units);

// The 16 entries of a string-table block (missing trailing entries of a
// short block read as empty).
bool decode_string_block(const Bytes& block, std::u16string (&entries)[16]);
Bytes encode_string_block(const std::u16string (&entries)[16]);

// A version block as a tree of nodes (key, value, children), which keeps
// every node the packer does not change as it was.
struct VersionNode {
    std::u16string key;
    bool text = false;     // wType 1: the value is UTF-16 text
    Bytes value;           // text values include their terminating zero unit
    std::vector<VersionNode> children;
};
bool decode_version_block(const Bytes& block, VersionNode* root, std::string* error);
Bytes encode_version_block(const VersionNode& root);
// The texts of the first string table of StringFileInfo; empty when absent.
std::string version_string(const VersionNode& root, const std::string& key);
// Sets a text of every string table of StringFileInfo (adding it where missing).
void set_version_string(VersionNode* root, const std::string& key, const std::string& value);
// The four 16-bit parts of the fixed file or product version.
void version_numbers(const VersionNode& root, bool product, uint16_t parts[4]);
void set_version_numbers(VersionNode* root, bool product, const uint16_t parts[4]);

// An ICO file as resources: the images (RT_ICON, numbered from first_id)
// and the group directory (RT_GROUP_ICON) that names them.
bool icon_resources(const Bytes& ico, uint16_t first_id, std::vector<Bytes>* images, Bytes* group,
                    std::string* error);
// The icon image IDs a group directory names.
std::vector<uint16_t> icon_group_ids(const Bytes& group);

// A BMP file without its 14-byte file header, as bitmap resources are kept.
bool bitmap_resource(const Bytes& bmp, Bytes* resource, std::string* error);

// One file of the embedded-jar blob.
struct EmbeddedFile {
    std::string name;       // stored as it stands (the launcher's ANSI text)
    uint64_t file_time = 0; // Windows FILETIME of the last write
    Bytes data;
};
Bytes encode_embedded_jars(const std::vector<EmbeddedFile>& files);
bool decode_embedded_jars(const Bytes& blob, std::vector<EmbeddedFile>* files);
// Seconds and nanoseconds since 1970 as a Windows FILETIME, and back.
uint64_t file_time_of(int64_t seconds, uint32_t nanoseconds);
