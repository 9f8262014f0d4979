#include "scenario_launcher.h"
#include "wine_paths.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "launcher/config_values.h"
#include "launcher/string_blocks.h"
#include "pe_resources.h"
#include "resource_formats.h"

std::string built_launcher_path()
{
    // ORVANE_EXE_PATH is the build's own path of the launcher, a Unix path
    // that Wine shows on drive Z:.
    return wine_path(ORVANE_EXE_PATH);
}

std::string make_test_directory(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "orvane-tests";
    CreateDirectoryA(root.c_str(), nullptr);
    std::string directory = root + "\\" + name + "-" + std::to_string(GetCurrentProcessId());
    remove_test_directory(directory);
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

void remove_test_directory(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((directory + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

bool write_file(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    return !file.fail();
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return "(missing)";
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string scrambled(const std::string& class_name)
{
    char hex[2 * main_class_max_length + 1];
    if (!scramble_main_class(class_name.c_str(), hex, sizeof hex))
        return std::string();
    return hex;
}

std::string encode_bitmap(int width, int height)
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    // Rows of 24-bit pixels padded to four bytes, all of one grey.
    int stride = (width * 3 + 3) & ~3;
    return std::string(reinterpret_cast<const char*>(&header), sizeof header) +
           std::string(static_cast<size_t>(stride) * static_cast<size_t>(height), '\x80');
}

bool make_scenario_launcher(const std::string& target, const std::map<unsigned, std::string>& values,
                            const ExtraResources& resources)
{
    std::string shipped = read_file(built_launcher_path());
    PeImage image;
    ResourceMap map;
    std::string error;
    if (!read_pe_image(Bytes(shipped.begin(), shipped.end()), &image, &error) || !read_resources(image, &map, &error))
        return false;
    // Language neutral, as the shipped table; its other strings stay.
    for (const auto& value : values) {
        ResourceKey key{resource_id(rt_string), resource_id(static_cast<uint16_t>(string_block_of(value.first)))};
        std::u16string entries[16];
        decode_string_block(map[key].bytes, entries);
        entries[string_index_of(value.first)] = utf16_of(value.second);
        map[key].bytes = encode_string_block(entries);
    }
    for (const auto& resource : resources)
        map[{resource_id(static_cast<uint16_t>(resource.first.first)),
             resource_id(static_cast<uint16_t>(resource.first.second))}]
            .bytes.assign(resource.second.begin(), resource.second.end());
    return write_resources(&image, map, &error) &&
           write_file(target, std::string(image.file.begin(), image.file.end()));
}
