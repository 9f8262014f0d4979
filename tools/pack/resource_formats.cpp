#include "resource_formats.h"

#include <algorithm>

namespace {

uint32_t get16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t get32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void add16(Bytes& b, uint32_t v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void add32(Bytes& b, uint32_t v)
{
    add16(b, v & 0xFFFF);
    add16(b, v >> 16);
}
void put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void pad4(Bytes& b) { b.resize((b.size() + 3) / 4 * 4, 0); }

}  // namespace

std::u16string utf16_of(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        uint32_t code = c;
        size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            code = c & (0x3F >> extra);
        for (size_t k = 1; k <= extra && i + k < text.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | code >> 10));
            out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::string utf8_of(const std::u16string& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | code >> 6));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | code >> 12));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | code >> 18));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

bool decode_string_block(const Bytes& block, std::u16string (&entries)[16])
{
    size_t at = 0;
    for (std::u16string& entry : entries) {
        entry.clear();
        if (at + 2 > block.size())
            continue;
        size_t length = get16(block, at);
        at += 2;
        if (at + 2 * length > block.size())
            return false;
        for (size_t i = 0; i < length; ++i)
            entry.push_back(static_cast<char16_t>(get16(block, at + 2 * i)));
        at += 2 * length;
    }
    return true;
}

Bytes encode_string_block(const std::u16string (&entries)[16])
{
    Bytes out;
    for (const std::u16string& entry : entries) {
        add16(out, static_cast<uint32_t>(entry.size()));
        for (char16_t unit : entry)
            add16(out, unit);
    }
    return out;
}

// Version nodes: wLength, wValueLength, wType, the key with its zero, padding
// to 4, the value, padding to 4, the children each on a 4-byte boundary.
// wLength ends with the last child and excludes its trailing padding.
static bool decode_version_node(const Bytes& b, size_t at, size_t end, VersionNode* node, std::string* error)
{
    if (at + 6 > end) {
        *error = "damaged version block";
        return false;
    }
    size_t length = get16(b, at), value_length = get16(b, at + 2);
    node->text = get16(b, at + 4) == 1;
    if (length < 6 || at + length > end) {
        *error = "damaged version block";
        return false;
    }
    end = at + length;
    size_t p = at + 6;
    for (; p + 2 <= end && get16(b, p) != 0; p += 2)
        node->key.push_back(static_cast<char16_t>(get16(b, p)));
    p += 2;
    p = at + (p - at + 3) / 4 * 4;
    size_t value_bytes = node->text ? 2 * value_length : value_length;
    if (p + value_bytes > end) {
        *error = "damaged version block";
        return false;
    }
    node->value.assign(b.begin() + p, b.begin() + p + value_bytes);
    p = at + (p + value_bytes - at + 3) / 4 * 4;
    while (p < end) {
        node->children.emplace_back();
        if (!decode_version_node(b, p, end, &node->children.back(), error))
            return false;
        p = at + (p + get16(b, p) - at + 3) / 4 * 4;
    }
    return true;
}

bool decode_version_block(const Bytes& block, VersionNode* root, std::string* error)
{
    *root = VersionNode();
    return decode_version_node(block, 0, block.size(), root, error);
}

static void encode_version_node(const VersionNode& node, Bytes& out)
{
    size_t at = out.size();
    add16(out, 0);
    add16(out, static_cast<uint32_t>(node.text ? node.value.size() / 2 : node.value.size()));
    add16(out, node.text ? 1 : 0);
    for (char16_t unit : node.key)
        add16(out, unit);
    add16(out, 0);
    pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        pad4(out);
        encode_version_node(child, out);
    }
    put16(out, at, static_cast<uint32_t>(out.size() - at));
}

Bytes encode_version_block(const VersionNode& root)
{
    Bytes out;
    encode_version_node(root, out);
    return out;
}

static std::vector<VersionNode*> string_tables(VersionNode* root)
{
    std::vector<VersionNode*> tables;
    for (VersionNode& child : root->children)
        if (child.key == u"StringFileInfo")
            for (VersionNode& table : child.children)
                tables.push_back(&table);
    return tables;
}

static Bytes text_value(const std::string& text)
{
    Bytes value;
    for (char16_t unit : utf16_of(text))
        add16(value, unit);
    add16(value, 0);
    return value;
}

std::string version_string(const VersionNode& root, const std::string& key)
{
    std::vector<VersionNode*> tables = string_tables(const_cast<VersionNode*>(&root));
    std::u16string wanted = utf16_of(key);
    if (tables.empty())
        return std::string();
    for (const VersionNode& entry : tables[0]->children) {
        if (entry.key != wanted)
            continue;
        std::u16string units;
        for (size_t i = 0; i + 1 < entry.value.size(); i += 2)
            if (uint32_t unit = get16(entry.value, i); unit != 0)
                units.push_back(static_cast<char16_t>(unit));
            else
                break;
        return utf8_of(units);
    }
    return std::string();
}

void set_version_string(VersionNode* root, const std::string& key, const std::string& value)
{
    std::vector<VersionNode*> tables = string_tables(root);
    if (tables.empty()) {
        // A block without strings gets the table of US English, Unicode.
        VersionNode info;
        info.key = u"StringFileInfo";
        info.text = true;
        VersionNode table;
        table.key = u"040904b0";
        table.text = true;
        info.children.push_back(table);
        root->children.insert(root->children.begin(), info);
        tables = string_tables(root);
    }
    std::u16string wanted = utf16_of(key);
    for (VersionNode* table : tables) {
        auto found = std::find_if(table->children.begin(), table->children.end(),
                                  [&](const VersionNode& n) { return n.key == wanted; });
        if (found == table->children.end()) {
            table->children.emplace_back();
            found = table->children.end() - 1;
            found->key = wanted;
            found->text = true;
        }
        found->value = text_value(value);
    }
}

// VS_FIXEDFILEINFO: signature, structure version, then the file version
// (most significant double word first) and the product version.
void version_numbers(const VersionNode& root, bool product, uint16_t parts[4])
{
    size_t at = product ? 16 : 8;
    for (int i = 0; i < 4; ++i)
        parts[i] = 0;
    if (root.value.size() < at + 8)
        return;
    uint32_t ms = get32(root.value, at), ls = get32(root.value, at + 4);
    parts[0] = ms >> 16;
    parts[1] = ms & 0xFFFF;
    parts[2] = ls >> 16;
    parts[3] = ls & 0xFFFF;
}

void set_version_numbers(VersionNode* root, bool product, const uint16_t parts[4])
{
    size_t at = product ? 16 : 8;
    if (root->value.size() < 52) {
        root->value.assign(52, 0);
        Bytes head;
        add32(head, 0xFEEF04BD);
        add32(head, 0x00010000);
        std::copy(head.begin(), head.end(), root->value.begin());
    }
    put16(root->value, at, parts[1]);
    put16(root->value, at + 2, parts[0]);
    put16(root->value, at + 4, parts[3]);
    put16(root->value, at + 6, parts[2]);
}

// ICO: a 6-byte header (reserved 0, type 1, count) and 16-byte entries
// (width, height, colours, reserved, planes, bit count, size, offset). The
// group resource keeps the same header with 14-byte entries that end with
// the image's resource ID instead of its offset.
bool icon_resources(const Bytes& ico, uint16_t first_id, std::vector<Bytes>* images, Bytes* group,
                    std::string* error)
{
    if (ico.size() < 6 || get16(ico, 0) != 0 || get16(ico, 2) != 1 || get16(ico, 4) == 0) {
        *error = "not an ICO file (no icon header)";
        return false;
    }
    size_t count = get16(ico, 4);
    if (6 + 16 * count > ico.size()) {
        *error = "not an ICO file (its directory is cut short)";
        return false;
    }
    images->clear();
    group->clear();
    add16(*group, 0);
    add16(*group, 1);
    add16(*group, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t size = get32(ico, entry + 8), offset = get32(ico, entry + 12);
        if (size == 0 || offset > ico.size() || size > ico.size() - offset) {
            *error = "not an ICO file (image " + std::to_string(i + 1) + " lies outside the file)";
            return false;
        }
        images->emplace_back(ico.begin() + offset, ico.begin() + offset + size);
        group->insert(group->end(), ico.begin() + entry, ico.begin() + entry + 12);
        add16(*group, static_cast<uint32_t>(first_id + i));
    }
    return true;
}

std::vector<uint16_t> icon_group_ids(const Bytes& group)
{
    std::vector<uint16_t> ids;
    if (group.size() < 6)
        return ids;
    size_t count = get16(group, 4);
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i)
        ids.push_back(static_cast<uint16_t>(get16(group, 6 + 14 * i + 12)));
    return ids;
}

// BMP: "BM", the file size, two reserved words, the offset of the pixels,
// then the bitmap header (at least the 12 bytes of the oldest form).
bool bitmap_resource(const Bytes& bmp, Bytes* resource, std::string* error)
{
    if (bmp.size() < 14 + 12 || bmp[0] != 'B' || bmp[1] != 'M') {
        *error = "not a BMP file (no BM header)";
        return false;
    }
    uint32_t header_size = get32(bmp, 14), pixels = get32(bmp, 10);
    if (header_size < 12 || 14 + static_cast<uint64_t>(header_size) > bmp.size() || pixels > bmp.size()) {
        *error = "not a BMP file (its header is damaged)";
        return false;
    }
    resource->assign(bmp.begin() + 14, bmp.end());
    return true;
}

// The blob the launcher extracts: a signed 32-bit count, then per file its
// name and a zero byte, its FILETIME (low, high), its size and its bytes.
Bytes encode_embedded_jars(const std::vector<EmbeddedFile>& files)
{
    Bytes out;
    size_t total = 4;
    for (const EmbeddedFile& f : files)
        total += f.name.size() + 13 + f.data.size();
    out.reserve(total);
    add32(out, static_cast<uint32_t>(files.size()));
    for (const EmbeddedFile& f : files) {
        out.insert(out.end(), f.name.begin(), f.name.end());
        out.push_back(0);
        add32(out, static_cast<uint32_t>(f.file_time));
        add32(out, static_cast<uint32_t>(f.file_time >> 32));
        add32(out, static_cast<uint32_t>(f.data.size()));
        out.insert(out.end(), f.data.begin(), f.data.end());
    }
    return out;
}

bool decode_embedded_jars(const Bytes& blob, std::vector<EmbeddedFile>* files)
{
    files->clear();
    if (blob.size() <= 1)
        return true;
    if (blob.size() < 4)
        return false;
    uint32_t count = get32(blob, 0);
    size_t at = 4;
    for (uint32_t i = 0; i < count; ++i) {
        EmbeddedFile f;
        while (at < blob.size() && blob[at] != 0)
            f.name.push_back(static_cast<char>(blob[at++]));
        if (at + 13 > blob.size())
            return false;
        f.file_time = get32(blob, at + 1) | static_cast<uint64_t>(get32(blob, at + 5)) << 32;
        uint32_t size = get32(blob, at + 9);
        at += 13;
        if (size > blob.size() - at)
            return false;
        f.data.assign(blob.begin() + at, blob.begin() + at + size);
        at += size;
        files->push_back(std::move(f));
    }
    return true;
}

uint64_t file_time_of(int64_t seconds, uint32_t nanoseconds)
{
    // FILETIME counts 100-nanosecond steps from 1601; 1970 is 11644473600 s later.
    return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000u + nanoseconds / 100;
}
