#include "pe_resources.h"

#include <algorithm>
#include <tuple>

namespace {

uint32_t get16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t get32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = (v >> (8 * i)) & 0xFF;
}
uint32_t align_up(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Offsets inside the optional header, the same for PE32 and PE32+ up to the
// data directories.
constexpr size_t opt_initialized_data = 8;
constexpr size_t opt_section_alignment = 32;
constexpr size_t opt_file_alignment = 36;
constexpr size_t opt_size_of_image = 56;
constexpr size_t opt_checksum = 64;
constexpr unsigned dir_resource = 2;
constexpr unsigned dir_security = 4;

size_t directory_offset(const PeImage& image, unsigned index)
{
    return image.optional_header + (image.pe32_plus ? 112 : 96) + 8 * index;
}
unsigned directory_count(const PeImage& image)
{
    return get32(image.file, image.optional_header + (image.pe32_plus ? 108 : 92));
}
size_t section_header(const PeImage& image, unsigned index) { return image.section_table + 40 * index; }

struct Section {
    std::string name;
    uint32_t virtual_size, virtual_address, raw_size, raw_pointer;
};
Section section_at(const PeImage& image, unsigned index)
{
    size_t at = section_header(image, index);
    Section s;
    s.name.assign(reinterpret_cast<const char*>(&image.file[at]), 8);
    s.name.resize(s.name.find('\0') == std::string::npos ? 8 : s.name.find('\0'));
    s.virtual_size = get32(image.file, at + 8);
    s.virtual_address = get32(image.file, at + 12);
    s.raw_size = get32(image.file, at + 16);
    s.raw_pointer = get32(image.file, at + 20);
    return s;
}

int compare_names(const ResourceName& a, const ResourceName& b)
{
    // Named entries come before numbered ones; names compare without case,
    // as the loader's lookup does.
    if (a.named != b.named)
        return a.named ? -1 : 1;
    if (!a.named)
        return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    size_t n = std::min(a.text.size(), b.text.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = upper(a.text[i]), y = upper(b.text[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.text.size() < b.text.size() ? -1 : a.text.size() > b.text.size() ? 1 : 0;
}

// The reader walks the three directory levels, bounds-checking every offset
// against the section.
struct TreeReader {
    const Bytes& file;
    size_t base;          // file offset of the resource section
    size_t size;          // bytes of the section present in the file
    uint32_t base_rva;
    std::string* error;

    bool fail(const char* what)
    {
        *error = std::string("damaged resource directory: ") + what;
        return false;
    }
    bool name_of(uint32_t field, ResourceName* name)
    {
        if (!(field & 0x80000000u)) {
            name->id = field & 0xFFFF;
            return true;
        }
        size_t at = field & 0x7FFFFFFF;
        if (at + 2 > size)
            return fail("name outside the section");
        size_t length = get16(file, base + at);
        if (at + 2 + 2 * length > size)
            return fail("name outside the section");
        name->named = true;
        for (size_t i = 0; i < length; ++i)
            name->text.push_back(static_cast<char16_t>(get16(file, base + at + 2 + 2 * i)));
        return true;
    }
    bool directory(size_t at, int level, ResourceKey key, ResourceMap* out)
    {
        if (level > 2 || at + 16 > size)
            return fail("directory outside the section");
        size_t entries = get16(file, base + at + 12) + get16(file, base + at + 14);
        if (at + 16 + 8 * entries > size)
            return fail("directory outside the section");
        for (size_t i = 0; i < entries; ++i) {
            size_t entry = base + at + 16 + 8 * i;
            ResourceName name;
            if (!name_of(get32(file, entry), &name))
                return false;
            uint32_t target = get32(file, entry + 4);
            ResourceKey next = key;
            if (level == 0)
                next.type = name;
            else if (level == 1)
                next.name = name;
            else
                next.language = name.id;
            if (target & 0x80000000u) {
                if (!directory(target & 0x7FFFFFFF, level + 1, next, out))
                    return false;
                continue;
            }
            if (level != 2 || target + 16 > size)
                return fail("data entry misplaced");
            uint32_t rva = get32(file, base + target), length = get32(file, base + target + 4);
            if (rva < base_rva || rva - base_rva > size || length > size - (rva - base_rva))
                return fail("data outside the section");
            ResourceData& data = (*out)[next];
            size_t from = base + (rva - base_rva);
            data.bytes.assign(file.begin() + from, file.begin() + from + length);
            data.code_page = get32(file, base + target + 8);
        }
        return true;
    }
};

// Grouping of the sorted map into the three directory levels.
struct NameNode {
    ResourceName name;
    std::vector<NameNode> children;            // levels 0 and 1
    const ResourceData* data = nullptr;         // level 2
    uint16_t language = 0;
};

void append_bytes(Bytes& out, size_t count) { out.resize(out.size() + count, 0); }

}  // namespace

bool operator<(const ResourceName& a, const ResourceName& b) { return compare_names(a, b) < 0; }
bool operator==(const ResourceName& a, const ResourceName& b) { return compare_names(a, b) == 0; }
ResourceName resource_id(uint16_t id)
{
    ResourceName name;
    name.id = id;
    return name;
}
bool operator<(const ResourceKey& a, const ResourceKey& b)
{
    int c = compare_names(a.type, b.type);
    if (c != 0)
        return c < 0;
    c = compare_names(a.name, b.name);
    if (c != 0)
        return c < 0;
    return a.language < b.language;
}

bool operator==(const ResourceKey& a, const ResourceKey& b) { return !(a < b) && !(b < a); }

bool read_pe_image(const Bytes& file, PeImage* image, std::string* error, bool for_rewrite)
{
    *image = PeImage();
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') {
        *error = "not a Windows executable (no MZ header)";
        return false;
    }
    size_t pe = get32(file, 0x3C);
    if (pe + 24 > file.size() || get32(file, pe) != 0x00004550) {
        *error = "not a Windows executable (no PE header)";
        return false;
    }
    image->file = file;
    image->machine = get16(file, pe + 4);
    image->section_count = get16(file, pe + 6);
    size_t optional_size = get16(file, pe + 20);
    image->optional_header = pe + 24;
    image->section_table = image->optional_header + optional_size;
    if (image->optional_header + 2 > file.size()) {
        *error = "truncated optional header";
        return false;
    }
    uint32_t magic = get16(file, image->optional_header);
    if (magic != 0x10B && magic != 0x20B) {
        *error = "unknown optional header (neither PE32 nor PE32+)";
        return false;
    }
    image->pe32_plus = magic == 0x20B;
    if (optional_size < (image->pe32_plus ? 112u : 96u) + 8 * 16 ||
        image->section_table + 40 * image->section_count > file.size() || directory_count(*image) < 16) {
        *error = "truncated headers";
        return false;
    }
    // The rewrite places sections by these two: a value no loader accepts (not
    // a power of two, a file alignment outside 512 to 64 KiB, or a section
    // alignment below it) would lay them out of order or wrap around.
    uint32_t file_alignment = get32(file, image->optional_header + opt_file_alignment);
    uint32_t section_alignment = get32(file, image->optional_header + opt_section_alignment);
    auto power_of_two = [](uint32_t value) { return value != 0 && (value & (value - 1)) == 0; };
    if (for_rewrite && (!power_of_two(file_alignment) || file_alignment < 512 || file_alignment > 65536 ||
                        !power_of_two(section_alignment) || section_alignment < file_alignment)) {
        *error = "its section or file alignment is invalid";
        return false;
    }
    if (for_rewrite && get32(file, directory_offset(*image, dir_security) + 4) != 0) {
        *error = "it carries a signature; pack the unsigned launcher and sign the result";
        return false;
    }
    uint32_t resource_rva = get32(file, directory_offset(*image, dir_resource));
    bool found = false;
    uint32_t file_end = 0;
    for (unsigned i = 0; i < image->section_count; ++i) {
        Section s = section_at(*image, i);
        if (s.raw_pointer + static_cast<uint64_t>(s.raw_size) > file.size()) {
            *error = "section " + s.name + " lies past the end of the file";
            return false;
        }
        file_end = std::max(file_end, s.raw_pointer + s.raw_size);
        if (resource_rva != 0 && s.virtual_address == resource_rva) {
            image->resource_section = i;
            found = true;
        } else if (found && for_rewrite && s.name != ".reloc") {
            *error = "section " + s.name + " follows the resources";
            return false;
        }
    }
    if (!found) {
        *error = "no resource section";
        return false;
    }
    // Sections must lie in file and address order, so the ones after the
    // resources can move together.
    for (unsigned i = 1; i < image->section_count; ++i) {
        Section a = section_at(*image, i - 1), b = section_at(*image, i);
        if (b.virtual_address <= a.virtual_address || (b.raw_size && b.raw_pointer < a.raw_pointer)) {
            *error = "sections out of order";
            return false;
        }
    }
    // The rewrite keeps the file up to the resources and lays out anew what
    // follows them, so no earlier section may hold data past their start.
    if (for_rewrite) {
        Section resources = section_at(*image, image->resource_section);
        for (unsigned i = 0; i < image->resource_section; ++i) {
            Section s = section_at(*image, i);
            if (s.raw_size != 0 && static_cast<uint64_t>(s.raw_pointer) + s.raw_size > resources.raw_pointer) {
                *error = "section " + s.name + " overlaps the resources";
                return false;
            }
        }
    }
    if (for_rewrite && file_end != file.size()) {
        *error = "data follows the last section";
        return false;
    }
    return true;
}

bool read_resources(const PeImage& image, ResourceMap* resources, std::string* error)
{
    resources->clear();
    Section s = section_at(image, image.resource_section);
    TreeReader reader{image.file, s.raw_pointer, std::min(s.raw_size, s.virtual_size ? s.virtual_size : s.raw_size),
                      s.virtual_address, error};
    return reader.directory(0, 0, ResourceKey(), resources);
}

uint32_t pe_checksum(const Bytes& file, size_t checksum_offset)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i == checksum_offset || i == checksum_offset + 2)
            continue;
        uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

bool write_resources(PeImage* image, const ResourceMap& resources, std::string* error)
{
    // Group the sorted map into types, names and languages.
    std::vector<NameNode> types;
    for (const auto& [key, data] : resources) {
        if (types.empty() || !(types.back().name == key.type))
            types.push_back(NameNode{key.type, {}, nullptr, 0});
        std::vector<NameNode>& names = types.back().children;
        if (names.empty() || !(names.back().name == key.name))
            names.push_back(NameNode{key.name, {}, nullptr, 0});
        NameNode language;
        language.name = resource_id(key.language);
        language.data = &data;
        language.language = key.language;
        names.back().children.push_back(language);
    }

    // Layout: every directory (root, types, names), the name texts, the data
    // entries, then the data, each blob on an 8-byte boundary.
    auto directory_size = [](size_t entries) { return 16 + 8 * entries; };
    size_t directories = directory_size(types.size());
    size_t leaves = 0;
    std::vector<const ResourceName*> texts;
    for (const NameNode& t : types) {
        directories += directory_size(t.children.size());
        if (t.name.named)
            texts.push_back(&t.name);
        for (const NameNode& n : t.children) {
            directories += directory_size(n.children.size());
            leaves += n.children.size();
            if (n.name.named)
                texts.push_back(&n.name);
        }
    }
    Bytes out(directories, 0);
    std::map<const ResourceName*, size_t> text_offset;
    for (const ResourceName* name : texts) {
        text_offset[name] = out.size();
        size_t at = out.size();
        append_bytes(out, 2 + 2 * name->text.size());
        put16(out, at, static_cast<uint32_t>(name->text.size()));
        for (size_t i = 0; i < name->text.size(); ++i)
            put16(out, at + 2 + 2 * i, name->text[i]);
    }
    append_bytes(out, (4 - out.size() % 4) % 4);
    size_t entries_at = out.size();
    append_bytes(out, 16 * leaves);

    Section rsrc = section_at(*image, image->resource_section);
    uint32_t base_rva = rsrc.virtual_address;
    size_t next_directory = 0, next_leaf = 0;
    auto write_directory = [&](const std::vector<NameNode>& nodes) {
        size_t at = next_directory;
        next_directory += directory_size(nodes.size());
        size_t named = std::count_if(nodes.begin(), nodes.end(), [](const NameNode& n) { return n.name.named; });
        put16(out, at + 12, static_cast<uint32_t>(named));
        put16(out, at + 14, static_cast<uint32_t>(nodes.size() - named));
        return at;
    };
    auto name_field = [&](const ResourceName& name) {
        return name.named ? 0x80000000u | static_cast<uint32_t>(text_offset.at(&name)) : name.id;
    };
    // Breadth first: the root, then each type's directory, then each name's.
    size_t root = write_directory(types);
    std::vector<size_t> type_dirs;
    for (size_t i = 0; i < types.size(); ++i) {
        size_t at = write_directory(types[i].children);
        type_dirs.push_back(at);
        put32(out, root + 16 + 8 * i, name_field(types[i].name));
        put32(out, root + 20 + 8 * i, 0x80000000u | static_cast<uint32_t>(at));
    }
    for (size_t i = 0; i < types.size(); ++i) {
        for (size_t j = 0; j < types[i].children.size(); ++j) {
            const NameNode& name = types[i].children[j];
            size_t at = write_directory(name.children);
            put32(out, type_dirs[i] + 16 + 8 * j, name_field(name.name));
            put32(out, type_dirs[i] + 20 + 8 * j, 0x80000000u | static_cast<uint32_t>(at));
            for (size_t k = 0; k < name.children.size(); ++k) {
                const NameNode& language = name.children[k];
                size_t entry = entries_at + 16 * next_leaf++;
                put32(out, at + 16 + 8 * k, language.language);
                put32(out, at + 20 + 8 * k, static_cast<uint32_t>(entry));
                append_bytes(out, (8 - out.size() % 8) % 8);
                size_t data_at = out.size();
                out.insert(out.end(), language.data->bytes.begin(), language.data->bytes.end());
                if (out.size() > 0x7FFFFFFF) {
                    *error = "the resources exceed 2 GB";
                    return false;
                }
                put32(out, entry, base_rva + static_cast<uint32_t>(data_at));
                put32(out, entry + 4, static_cast<uint32_t>(language.data->bytes.size()));
                put32(out, entry + 8, language.data->code_page);
            }
        }
    }

    // The new file: everything before the resource section unchanged, the
    // new resources, then the sections after them (relocations) moved.
    Bytes& file = image->file;
    uint32_t section_alignment = get32(file, image->optional_header + opt_section_alignment);
    uint32_t file_alignment = get32(file, image->optional_header + opt_file_alignment);
    Bytes result(file.begin(), file.begin() + rsrc.raw_pointer);
    uint32_t new_size = static_cast<uint32_t>(out.size());
    uint32_t new_raw = align_up(new_size, file_alignment);
    out.resize(new_raw, 0);
    result.insert(result.end(), out.begin(), out.end());
    int64_t raw_growth = static_cast<int64_t>(new_raw) - rsrc.raw_size;

    size_t header = section_header(*image, image->resource_section);
    put32(result, header + 8, new_size);
    put32(result, header + 16, new_raw);
    uint32_t next_rva = align_up(rsrc.virtual_address + new_raw, section_alignment);
    uint32_t image_end = next_rva;
    for (unsigned i = image->resource_section + 1; i < image->section_count; ++i) {
        Section s = section_at(*image, i);
        size_t h = section_header(*image, i);
        uint32_t new_pointer = static_cast<uint32_t>(result.size());
        result.insert(result.end(), file.begin() + s.raw_pointer, file.begin() + s.raw_pointer + s.raw_size);
        // Data directories that point into a moved section move with it.
        for (unsigned d = 0; d < 16; ++d) {
            size_t at = directory_offset(*image, d);
            uint32_t rva = get32(file, at);
            if (d != dir_resource && rva >= s.virtual_address && rva < s.virtual_address + std::max(s.virtual_size, s.raw_size))
                put32(result, at, rva - s.virtual_address + next_rva);
        }
        put32(result, h + 12, next_rva);
        put32(result, h + 20, s.raw_size ? new_pointer : 0);
        next_rva = align_up(next_rva + std::max(s.virtual_size, 1u), section_alignment);
        image_end = next_rva;
    }
    size_t dir = directory_offset(*image, dir_resource);
    put32(result, dir, base_rva);
    put32(result, dir + 4, new_size);
    put32(result, image->optional_header + opt_size_of_image, image_end);
    uint32_t initialized = get32(file, image->optional_header + opt_initialized_data);
    put32(result, image->optional_header + opt_initialized_data, static_cast<uint32_t>(initialized + raw_growth));
    size_t checksum_at = image->optional_header + opt_checksum;
    put32(result, checksum_at, 0);
    put32(result, checksum_at, pe_checksum(result, checksum_at));
    file.swap(result);
    return true;
}
