#include "scenario_launcher.h"
#include "wine_paths.h"

#include <windows.h>

#include <cstdio>

#include "launcher/config_values.h"
#include "launcher/string_blocks.h"

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
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

std::string read_file(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "(missing)";
    std::string bytes;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

// The 16 strings of a string-table block as resource bytes.
static std::string encode_string_block(const std::wstring (&entries)[16])
{
    std::string bytes;
    for (const std::wstring& entry : entries) {
        bytes.push_back(static_cast<char>(entry.size() & 0xFF));
        bytes.push_back(static_cast<char>(entry.size() >> 8));
        for (wchar_t unit : entry) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
        }
    }
    return bytes;
}

std::string scrambled(const std::string& class_name)
{
    char hex[2 * main_class_max_length + 1];
    if (!scramble_main_class(class_name.c_str(), hex, sizeof hex))
        return std::string();
    return hex;
}

static std::wstring widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Reads the 16 entries of a configuration block as the built launcher has them.
static bool read_shipped_block(HMODULE module, unsigned block, std::wstring (&entries)[16])
{
    HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (found == nullptr) {
        for (std::wstring& entry : entries)
            entry.clear();
        return true;
    }
    const void* data = LockResource(LoadResource(module, found));
    DWORD size = SizeofResource(module, found);
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned char* units = nullptr;
        size_t length = 0;
        if (!string_block_entry(data, size, i, &units, &length))
            return false;
        entries[i].assign(length, L'\0');
        for (size_t u = 0; u < length; ++u)
            entries[i][u] = static_cast<wchar_t>(units[2 * u] | units[2 * u + 1] << 8);
    }
    return true;
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
    std::string source = built_launcher_path();
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        return false;
    HMODULE shipped = LoadLibraryExA(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (shipped == nullptr)
        return false;
    std::map<unsigned, std::string> blocks;
    bool ok = true;
    for (const auto& value : values) {
        unsigned block = string_block_of(value.first);
        if (blocks.count(block) != 0)
            continue;
        std::wstring entries[16];
        if (!read_shipped_block(shipped, block, entries)) {
            ok = false;
            break;
        }
        for (const auto& other : values)
            if (string_block_of(other.first) == block)
                entries[string_index_of(other.first)] = widen(other.second);
        blocks[block] = encode_string_block(entries);
    }
    FreeLibrary(shipped);
    if (!ok)
        return false;
    HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
    if (update == nullptr)
        return false;
    for (auto& block : blocks)
        if (!UpdateResourceA(update, RT_STRING, MAKEINTRESOURCEA(block.first),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &block.second[0],
                             static_cast<DWORD>(block.second.size())))
            ok = false;
    for (const auto& resource : resources) {
        std::string bytes = resource.second;
        if (!UpdateResourceA(update, MAKEINTRESOURCEA(resource.first.first), MAKEINTRESOURCEA(resource.first.second),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &bytes[0], static_cast<DWORD>(bytes.size())))
            ok = false;
    }
    return EndUpdateResourceA(update, !ok) && ok;
}
