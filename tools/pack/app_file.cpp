#include "app_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <toml++/toml.h>

#include "launcher/config_values.h"
#include "launcher/string_blocks.h"
#include "launcher/tokenizer.h"
#include "pe_resources.h"
#include "resource_formats.h"

namespace fs = std::filesystem;

const std::vector<ConfigKey> config_keys = {
    {1001, "runtime", "java_version_constraints", ValueForm::list, 0, 0,
     "version constraints every registered runtime must satisfy, such as \"1.8.0\""},
    {1002, "runtime", "jvm_path_list", ValueForm::list, 0, 0, "JVM library paths tried first (search step 0)"},
    {1003, "runtime", "jvm_options", ValueForm::options, 0, 0, "JVM options, one element per option"},
    {1005, "runtime", "runtime_search_order", ValueForm::text, 0, 0,
     "search steps in order: 0 the paths above, 1 to 4 the registered runtimes, 5 JAVA_HOME"},
    {1039, "runtime", "report_missing_runtime", ValueForm::boolean, 0, 0, "say so when no runtime is found"},
    {1040, "runtime", "missing_runtime_document", ValueForm::text, 0, 0,
     "document or address opened when no runtime is found"},
    {1041, "runtime", "missing_runtime_command", ValueForm::text, 0, 0, "command started when no runtime is found"},
    {1012, "application", "main_class", ValueForm::main_class, 0, 0, "the main class, such as com.example.Main"},
    {1004, "application", "class_path", ValueForm::list, 0, 0,
     "class-path entries; a directory contributes its archives"},
    {1013, "application", "app_options", ValueForm::options, 0, 0,
     "arguments passed to main when the command line has none"},
    {1035, "application", "static_options", ValueForm::options, 0, 0, "arguments always passed to main first"},
    {1011, "application", "working_directory", ValueForm::text, 0, 0,
     "working directory, relative to the executable's directory"},
    {1015, "application", "chdir_before_jvm", ValueForm::boolean, 0, 0,
     "enter the working directory before the runtime search"},
    {1016, "application", "restore_launch_directory", ValueForm::boolean, 0, 0,
     "return to the directory the launcher was started from before main"},
    {1014, "application", "ini_file_name", ValueForm::text, 0, 0,
     "INI file of overrides, such as %APPNAME%.ini"},
    {1033, "application", "priority_index", ValueForm::integer, 0, 5,
     "priority class: 0 realtime, 1 high, 2 above normal, 3 normal, 4 below normal, 5 idle"},
    {1025, "streams", "stdout_mode", ValueForm::integer, 0, 2,
     "standard output: 0 as the process has it, 1 to stdout_file, 2 captured for the error dialog"},
    {1026, "streams", "stderr_mode", ValueForm::integer, 0, 2, "standard error, as stdout_mode"},
    {1027, "streams", "stdout_file", ValueForm::text, 0, 0, "file of standard output (mode 1)"},
    {1028, "streams", "stderr_file", ValueForm::text, 0, 0, "file of standard error (mode 1)"},
    {1042, "streams", "stdout_append", ValueForm::boolean, 0, 0, "append to stdout_file instead of replacing it"},
    {1043, "streams", "stderr_append", ValueForm::boolean, 0, 0, "append to stderr_file instead of replacing it"},
    {1017, "service", "service_name", ValueForm::text, 0, 0, "service name; empty: no service switches"},
    {1018, "service", "service_description", ValueForm::text, 0, 0, "service description"},
    {1019, "service", "service_app_options", ValueForm::options, 0, 0, "arguments of main when run as a service"},
    {1020, "service", "service_stop_options", ValueForm::options, 0, 0,
     "arguments of the second main call that asks the application to stop"},
    {1021, "service", "stop_with_system_exit", ValueForm::boolean, 0, 0, "stop the service by System.exit instead"},
    {1022, "service", "service_manual_start", ValueForm::boolean, 0, 0, "the service starts on demand"},
    {1023, "service", "service_interactive", ValueForm::boolean, 0, 0, "the service may use the desktop"},
    {1024, "service", "service_dependencies", ValueForm::list, 0, 0, "services this service depends on"},
    {1034, "service", "service_only", ValueForm::boolean, 0, 0, "refuse to run except as a service"},
    {1036, "service", "service_args_on_command_line", ValueForm::boolean, 0, 0,
     "service name, description and start type come from the -install command line"},
    {1008, "service", "install_switch", ValueForm::text, 0, 0, "switch that installs the service"},
    {1009, "service", "uninstall_switch", ValueForm::text, 0, 0, "switch that removes the service"},
    {1010, "service", "service_switch", ValueForm::text, 0, 0, "switch the service control manager starts with"},
    {1030, "splash", "splash_text", ValueForm::display, 0, 0, "text of the splash window"},
    {1031, "splash", "splash_until_app_window", ValueForm::boolean, 0, 0,
     "show the splash until the application shows a window"},
    {1032, "splash", "splash_timeout_seconds", ValueForm::integer, 0, 86400, "close the splash after this many seconds; 0 never"},
    {1029, "instance", "allow_multiple_instances", ValueForm::boolean, 0, 0, "allow several instances at once"},
    {1037, "instance", "forward_second_instance", ValueForm::boolean, 0, 0,
     "a second instance calls main with second_instance_options and its arguments"},
    {1038, "instance", "second_instance_options", ValueForm::options, 0, 0, "leading arguments of that call"},
    {1007, "embed", "extract_dir_mode", ValueForm::integer, 0, 2,
     "where embedded jars go: 0 the executable's directory, 1 a subdirectory, 2 the temporary directory"},
    {1006, "embed", "remove_extracted_jars_at_exit", ValueForm::boolean, 0, 0, "delete the extracted jars at exit"},
};

namespace {

// Keys that are not configuration values.
struct OtherKey {
    const char* table;  // "" for the top level
    const char* name;
    const char* help;
};
const std::vector<OtherKey> other_keys = {
    {"", "architecture", "\"x86\" or \"x64\": the template build/windows/orvane.exe or build/windows64/orvane.exe (below the current directory)"},
    {"", "template", "the launcher to start from, instead of architecture"},
    {"", "output", "the executable to write"},
    {"embed", "jars", "jar files (paths or globs) carried inside the executable"},
    {"splash", "bitmap", "BMP file shown as the splash (bitmap resource 1)"},
    {"icon", "file", "ICO file that replaces the application icon"},
    {"version", "file_version", "file version, one to four numbers such as \"1.2.0.0\""},
    {"version", "product_version", "product version, as file_version"},
    {"version", "product_name", "product name"},
    {"version", "company_name", "company"},
    {"version", "file_description", "description"},
    {"version", "legal_copyright", "copyright"},
    {"manifest", "dpi_awareness", "\"unaware\", \"system\" or \"per_monitor_v2\""},
    {"manifest", "utf8_code_page", "true: the process's ANSI code page is UTF-8"},
    {"manifest", "execution_level", "\"asInvoker\" or \"requireAdministrator\" (service installers)"},
    {"sign", "certificate", "certificate file (PEM or DER) for osslsigncode"},
    {"sign", "key", "private key file for osslsigncode"},
    {"sign", "password_file", "file holding the key's password"},
};
const char* const table_order[] = {"runtime", "application", "streams", "service", "splash",
                                   "instance", "embed",       "icon",    "version", "manifest", "sign"};

const std::pair<const char*, const char*> version_texts[] = {
    {"product_name", "ProductName"},
    {"company_name", "CompanyName"},
    {"file_description", "FileDescription"},
    {"legal_copyright", "LegalCopyright"},
};

// Collects the mistakes of one run, each with the place it was made.
struct Problems {
    std::string file;
    std::string text;
    void add(const toml::source_region& where, const std::string& message)
    {
        text += file;
        if (where.begin.line)
            text += ":" + std::to_string(where.begin.line) + ":" + std::to_string(where.begin.column);
        text += ": " + message + "\n";
    }
    void add(const std::string& message) { add(toml::source_region{}, message); }
};

// The edit distance of a and b, or limit when it is limit or more. No row
// has a smaller minimum than the row before it, so once a whole row has
// reached the limit the rest need not be measured.
size_t edit_distance(const std::string& a, const std::string& b, size_t limit)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        size_t smallest = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min(std::min(up, row[j - 1]) + 1, diagonal + (a[i - 1] != b[j - 1]));
            smallest = std::min(smallest, row[j]);
            diagonal = up;
        }
        if (smallest >= limit)
            return limit;
    }
    return std::min(row[b.size()], limit);
}

std::vector<std::string> all_key_paths()
{
    std::vector<std::string> paths;
    for (const OtherKey& k : other_keys)
        paths.push_back(*k.table ? std::string(k.table) + "." + k.name : k.name);
    for (const ConfigKey& k : config_keys)
        paths.push_back(std::string(k.table) + "." + k.name);
    return paths;
}

std::string closest_key(const std::string& table, const std::string& key)
{
    // Compare the key alone and the dotted path, so a key in the wrong table
    // is found as well as a misspelt one.
    std::string best;
    size_t best_distance = SIZE_MAX;
    for (const std::string& path : all_key_paths()) {
        size_t dot = path.find('.');
        std::string name = dot == std::string::npos ? path : path.substr(dot + 1);
        std::string path_table = dot == std::string::npos ? "" : path.substr(0, dot);
        std::string dotted = table.empty() ? key : table + "." + key;
        size_t other_table = path_table == table ? 0 : 1;
        // The length difference is a lower bound of the distance: a path that
        // cannot come closer is not measured, and one that does is measured
        // only as far as the best so far, so that unknown keys stay cheap.
        auto gap = [](size_t x, size_t y) { return x > y ? x - y : y - x; };
        if (std::min(gap(key.size(), name.size()) + other_table, gap(dotted.size(), path.size())) >= best_distance)
            continue;
        size_t d = std::min(edit_distance(key, name, best_distance - other_table) + other_table,
                            edit_distance(dotted, path, best_distance));
        if (d < best_distance) {
            best_distance = d;
            best = dot == std::string::npos ? path : "[" + path_table + "] " + name;
        }
    }
    return best;
}

bool read_file(const fs::path& path, Bytes* bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    bytes->resize(static_cast<size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes->data()), size);
    return static_cast<bool>(in);
}

uint64_t file_write_time(const fs::path& path)
{
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.wstring().c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
#else
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return 0;
    return file_time_of(status.st_mtim.tv_sec, static_cast<uint32_t>(status.st_mtim.tv_nsec));
#endif
}

bool wildcard_match(const char* pattern, const char* name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return wildcard_match(pattern + 1, name) || (*name && wildcard_match(pattern, name + 1));
    return *name && (*pattern == '?' || *pattern == *name) && wildcard_match(pattern + 1, name + 1);
}

std::string toml_text(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buffer[8];
                snprintf(buffer, sizeof buffer, "\\u%04X", c);
                out += buffer;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out + "\"";
}

std::string quoted_array(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + toml_text(items[i]);
    return out + "]";
}

std::vector<std::string> split_list(const std::string& text)
{
    std::vector<std::string> items;
    std::string copy = text;
    char* cursor = nullptr;
    for (char* token = next_token(copy.data(), ";", &cursor); token; token = next_token(copy.data(), ";", &cursor))
        items.push_back(token);
    return items;
}

std::string join_list(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? ";" : "") + items[i];
    return text;
}

// The configuration values of a string table: ID to text, as stored.
using Values = std::map<unsigned, std::string>;
constexpr unsigned first_value = 1001, last_value = 1043;

bool string_entry(const ResourceMap& resources, unsigned id, std::string* text)
{
    for (const auto& [key, data] : resources) {
        if (key.type.named || key.type.id != rt_string || key.name.named || key.name.id != string_block_of(id))
            continue;
        std::u16string entries[16];
        if (!decode_string_block(data.bytes, entries) || entries[string_index_of(id)].empty())
            continue;
        *text = utf8_of(entries[string_index_of(id)]);
        return true;
    }
    return false;
}

// Reads a launcher and its configuration values; refuses an executable that
// is not one of ours.
bool read_launcher(const fs::path& path, PeImage* image, ResourceMap* resources, Values* values, Problems* problems,
                   bool for_rewrite = true)
{
    Bytes file;
    std::string error;
    if (!read_file(path, &file)) {
        problems->add("cannot read " + path.string());
        return false;
    }
    if (!read_pe_image(file, image, &error, for_rewrite) || !read_resources(*image, resources, &error)) {
        problems->add(path.string() + ": " + error);
        return false;
    }
    for (unsigned id = first_value; id <= last_value; ++id) {
        if (!string_entry(*resources, id, &(*values)[id])) {
            problems->add(path.string() + ": not an Orvane launcher (its string table has no value " +
                          std::to_string(id) + ")");
            return false;
        }
    }
    return true;
}

void set_string_values(ResourceMap* resources, const Values& values)
{
    std::map<unsigned, std::vector<unsigned>> blocks;
    for (const auto& [id, text] : values)
        blocks[string_block_of(id)].push_back(id);
    for (const auto& [block, ids] : blocks) {
        // The block of the configuration values keeps its language and the
        // strings of other IDs it holds.
        ResourceKey key;
        key.type = resource_id(rt_string);
        key.name = resource_id(static_cast<uint16_t>(block));
        for (const auto& [k, data] : *resources)
            if (!k.type.named && k.type.id == rt_string && !k.name.named && k.name.id == block) {
                key = k;
                break;
            }
        ResourceData& data = (*resources)[key];
        std::u16string entries[16];
        decode_string_block(data.bytes, entries);
        for (unsigned id : ids)
            entries[string_index_of(id)] = utf16_of(values.at(id));
        data.bytes = encode_string_block(entries);
    }
}

// The key of an existing (type, ID 1) resource, or a new neutral one.
ResourceKey first_key(const ResourceMap& resources, uint16_t type, uint16_t name)
{
    for (const auto& [key, data] : resources)
        if (!key.type.named && key.type.id == type && !key.name.named && key.name.id == name)
            return key;
    ResourceKey key;
    key.type = resource_id(type);
    key.name = resource_id(name);
    return key;
}

void replace_resource(ResourceMap* resources, uint16_t type, uint16_t name, Bytes bytes)
{
    ResourceKey key = first_key(*resources, type, name);
    for (auto it = resources->begin(); it != resources->end();)
        if (!it->first.type.named && it->first.type.id == type && !it->first.name.named && it->first.name.id == name)
            it = resources->erase(it);
        else
            ++it;
    (*resources)[key].bytes = std::move(bytes);
}

const ResourceData* find_resource(const ResourceMap& resources, uint16_t type, uint16_t name)
{
    auto it = resources.find(first_key(resources, type, name));
    return it == resources.end() ? nullptr : &it->second;
}

// The manifest options the packer understands, read from and written into
// the manifest text. Writing removes the blocks it owns and puts them back
// in one canonical form before the end of the assembly.
struct ManifestOptions {
    std::string dpi_awareness = "unaware";
    bool utf8_code_page = false;
    std::string execution_level;  // empty: none requested
};

ManifestOptions manifest_options(const std::string& text)
{
    ManifestOptions options;
    size_t at = text.find("requestedExecutionLevel");
    if (at != std::string::npos) {
        size_t level = text.find("level=\"", at);
        if (level != std::string::npos) {
            level += 7;
            options.execution_level = text.substr(level, text.find('"', level) - level);
        }
    }
    if (text.find(">PerMonitorV2") != std::string::npos)
        options.dpi_awareness = "per_monitor_v2";
    else if (text.find(">true</dpiAware>") != std::string::npos)
        options.dpi_awareness = "system";
    options.utf8_code_page = text.find(">UTF-8</activeCodePage>") != std::string::npos;
    return options;
}

void remove_block(std::string* text, const std::string& open, const std::string& close)
{
    size_t start = text->find(open);
    if (start == std::string::npos)
        return;
    size_t end = text->find(close, start);
    if (end == std::string::npos)
        return;
    end += close.size();
    while (start > 0 && ((*text)[start - 1] == ' ' || (*text)[start - 1] == '\t'))
        --start;
    if (end < text->size() && (*text)[end] == '\r')
        ++end;
    if (end < text->size() && (*text)[end] == '\n')
        ++end;
    text->erase(start, end - start);
}

std::string write_manifest(std::string text, const ManifestOptions& options)
{
    remove_block(&text, "<trustInfo", "</trustInfo>");
    remove_block(&text, "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"", "</application>");
    std::string blocks;
    if (!options.execution_level.empty())
        blocks += "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                  "    <security>\n"
                  "      <requestedPrivileges>\n"
                  "        <requestedExecutionLevel level=\"" + options.execution_level + "\" uiAccess=\"false\"/>\n"
                  "      </requestedPrivileges>\n"
                  "    </security>\n"
                  "  </trustInfo>\n";
    if (options.dpi_awareness != "unaware" || options.utf8_code_page) {
        blocks += "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                  "    <windowsSettings>\n";
        if (options.dpi_awareness == "system")
            blocks += "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>\n";
        if (options.dpi_awareness == "per_monitor_v2")
            blocks += "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>\n"
                      "      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>\n";
        if (options.utf8_code_page)
            blocks += "      <activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>\n";
        blocks += "    </windowsSettings>\n"
                  "  </application>\n";
    }
    size_t end = text.rfind("</assembly>");
    if (end == std::string::npos)
        end = text.size();
    text.insert(end, blocks);
    return text;
}

bool parse_version(const std::string& text, uint16_t parts[4])
{
    int count = 0;
    size_t at = 0;
    for (int i = 0; i < 4; ++i)
        parts[i] = 0;
    while (at <= text.size() && count < 4) {
        size_t end = text.find('.', at);
        std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(part) > 65535)
            return false;
        parts[count++] = static_cast<uint16_t>(std::stoul(part));
        if (end == std::string::npos)
            return true;
        at = end + 1;
    }
    return false;
}

std::string version_text(const uint16_t parts[4])
{
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

// Reads a string array or a string; false (and a problem) for anything else.
bool strings_of(const toml::node& node, const std::string& name, std::vector<std::string>* items, Problems* problems,
                bool* as_text)
{
    *as_text = false;
    if (const auto* s = node.as_string()) {
        *as_text = true;
        items->assign(1, s->get());
        return true;
    }
    const toml::array* array = node.as_array();
    if (array == nullptr) {
        problems->add(node.source(), name + " must be an array of strings");
        return false;
    }
    for (const toml::node& element : *array) {
        if (!element.is_string()) {
            problems->add(element.source(), name + " must be an array of strings");
            return false;
        }
        items->push_back(element.as_string()->get());
    }
    return true;
}

// The text a key stores for its value, or false with a problem.
bool value_text(const ConfigKey& key, const toml::node& node, std::string* text, Problems* problems)
{
    std::string name = key.name;
    switch (key.form) {
    case ValueForm::text:
    case ValueForm::display:
    case ValueForm::main_class: {
        if (!node.is_string()) {
            problems->add(node.source(), name + " must be a string");
            return false;
        }
        *text = node.as_string()->get();
        if (key.form == ValueForm::display) {
            std::string escaped;
            for (char c : *text)
                escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
            *text = escaped;
        }
        if (key.form == ValueForm::main_class) {
            char hex[2 * main_class_max_length + 1];
            if (text->empty() || !scramble_main_class(text->c_str(), hex, sizeof hex)) {
                problems->add(node.source(), "main class \"" + *text +
                                                 "\" cannot be stored: a class name has 1 to 255 bytes and no "
                                                 "character equal to the scrambling key's at its position");
                return false;
            }
            *text = hex;
        }
        break;
    }
    case ValueForm::boolean:
        if (!node.is_boolean()) {
            problems->add(node.source(), name + " must be true or false");
            return false;
        }
        *text = node.as_boolean()->get() ? "1" : "0";
        break;
    case ValueForm::integer: {
        if (!node.is_integer()) {
            problems->add(node.source(), name + " must be an integer");
            return false;
        }
        int64_t value = node.as_integer()->get();
        if (value < key.min || value > key.max) {
            problems->add(node.source(), name + " must be between " + std::to_string(key.min) + " and " +
                                             std::to_string(key.max) + ", not " + std::to_string(value));
            return false;
        }
        *text = std::to_string(value);
        break;
    }
    case ValueForm::list:
    case ValueForm::options: {
        // A string is stored as written; an array is joined by the form's rule.
        std::vector<std::string> items;
        bool as_text;
        if (!strings_of(node, name, &items, problems, &as_text))
            return false;
        if (as_text) {
            *text = items[0];
            break;
        }
        if (key.form == ValueForm::list) {
            for (size_t i = 0; i < items.size(); ++i) {
                if (items[i].empty() || items[i].find(';') != std::string::npos) {
                    problems->add((*node.as_array())[i].source(),
                                  name + " element \"" + items[i] + "\" must be non-empty and hold no \";\"");
                    return false;
                }
            }
            *text = join_list(items);
        } else {
            size_t bad;
            if (!join_options(items, text, &bad)) {
                problems->add((*node.as_array())[bad].source(),
                              name + " element \"" + items[bad] +
                                  "\" cannot stay one option: a backslash at its end or before a double quote or a blank is "
                                  "lost when the launcher splits the options");
                return false;
            }
        }
        break;
    }
    }
    if (text->empty())
        *text = "<null>";
    if (utf16_of(*text).size() > 65535) {
        problems->add(node.source(), name + " is longer than a string resource can be (65535 units)");
        return false;
    }
    return true;
}

// The jars of [embed]: each path or glob relative to the application file.
bool collect_jars(const toml::node& node, const fs::path& base, std::vector<EmbeddedFile>* files, Problems* problems)
{
    std::vector<std::string> patterns;
    bool as_text;
    if (!strings_of(node, "jars", &patterns, problems, &as_text))
        return false;
    const toml::array* array = node.as_array();
    std::map<std::string, fs::path> names;
    bool ok = true;
    for (size_t i = 0; i < patterns.size(); ++i) {
        const toml::source_region where = array ? (*array)[i].source() : node.source();
        fs::path pattern = base / fs::u8path(patterns[i]);
        std::vector<fs::path> matches;
        std::string leaf = pattern.filename().u8string();
        if (leaf.find_first_of("*?") != std::string::npos) {
            std::error_code error;
            for (const fs::directory_entry& entry : fs::directory_iterator(pattern.parent_path(), error))
                if (entry.is_regular_file() && wildcard_match(leaf.c_str(), entry.path().filename().u8string().c_str()))
                    matches.push_back(entry.path());
            std::sort(matches.begin(), matches.end());
            if (matches.empty()) {
                problems->add(where, "no file matches the jar pattern " + patterns[i]);
                ok = false;
            }
        } else if (!fs::exists(pattern)) {
            problems->add(where, "jar " + patterns[i] + " does not exist");
            ok = false;
        } else if (!fs::is_regular_file(pattern)) {
            problems->add(where, "jar " + patterns[i] + " is not a file");
            ok = false;
        } else {
            matches.push_back(pattern);
        }
        for (const fs::path& match : matches) {
            std::string name = match.filename().u8string();
            if (name.find_first_not_of(" !#$%&'()+,-.0123456789;=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`"
                                       "abcdefghijklmnopqrstuvwxyz{}~") != std::string::npos) {
                problems->add(where, "jar name " + name + " must be plain ASCII, as the launcher writes it");
                ok = false;
                continue;
            }
            if (names.count(name)) {
                problems->add(where, "two embedded jars are named " + name + ": " + names[name].string() + " and " +
                                         match.string());
                ok = false;
                continue;
            }
            names[name] = match;
            EmbeddedFile file;
            file.name = name;
            if (!read_file(match, &file.data)) {
                problems->add(where, "cannot read jar " + match.string());
                ok = false;
                continue;
            }
            file.file_time = file_write_time(match);
            files->push_back(std::move(file));
        }
    }
    return ok;
}

bool same_file(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error))
        return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Replaces path by the bytes through a temporary file beside it, so no
// half-written executable is ever left.
bool write_atomically(const fs::path& path, const Bytes& bytes, const toml::table* sign, const fs::path& base,
                      Problems* problems)
{
    fs::path temporary = path;
    temporary += ".orvane-pack.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            problems->add("cannot write " + temporary.string());
            std::error_code error;
            fs::remove(temporary, error);
            return false;
        }
    }
    if (sign) {
        fs::path signed_file = path;
        signed_file += ".orvane-pack.signed";
        auto arg = [](const fs::path& p) {
            std::string s = p.string(), out = "\"";
            for (char c : s)
                out += c == '"' ? std::string("\\\"") : std::string(1, c);
            return out + "\"";
        };
        std::string command = "osslsigncode sign -certs " + arg(base / (*sign)["certificate"].value_or(std::string())) +
                              " -key " + arg(base / (*sign)["key"].value_or(std::string()));
        if (auto password = (*sign)["password_file"].value<std::string>())
            command += " -readpass " + arg(base / *password);
        command += " -in " + arg(temporary) + " -out " + arg(signed_file);
#ifdef _WIN32
        command = "\"" + command + " >NUL\"";
#else
        command += " >/dev/null";
#endif
        int status = std::system(command.c_str());
        std::error_code error;
        fs::remove(temporary, error);
        if (status != 0) {
            fs::remove(signed_file, error);
            problems->add("signing failed (osslsigncode exit status " + std::to_string(status) + ")");
            return false;
        }
        temporary = signed_file;
    }
    std::error_code error;
#ifdef _WIN32
    bool moved = MoveFileExW(temporary.wstring().c_str(), path.wstring().c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    fs::rename(temporary, path, error);
    bool moved = !error;
#endif
    if (!moved) {
        problems->add("cannot write " + path.string());
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool osslsigncode_present()
{
#ifdef _WIN32
    return std::system("osslsigncode --version >NUL 2>NUL") == 0;
#else
    return std::system("osslsigncode --version >/dev/null 2>&1") == 0;
#endif
}

}  // namespace

bool join_options(const std::vector<std::string>& options, std::string* text, size_t* bad)
{
    text->clear();
    for (size_t i = 0; i < options.size(); ++i) {
        const std::string& option = options[i];
        // The launcher's escape survives a blank, so a backslash before a
        // blank would escape the quote that closes the option.
        if ((!option.empty() && option.back() == '\\') || option.find("\\\"") != std::string::npos ||
            option.find("\\ ") != std::string::npos) {
            *bad = i;
            return false;
        }
        // A quote is escaped; a blank or a %NAME% (which may expand to one)
        // needs the quoted form, as does the empty option.
        std::string escaped;
        for (char c : option)
            escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
        if (option.empty() || option.find_first_of(" %") != std::string::npos)
            escaped = "\"" + escaped + "\"";
        *text += (i ? " " : "") + escaped;
    }
    return true;
}

std::vector<std::string> split_options(const std::string& text)
{
    ArgVector args{0, nullptr};
    tokenize_command_line(text.c_str(), &args, false);
    std::vector<std::string> options;
    for (int32_t i = 0; i < args.count; ++i)
        options.push_back(args.items[i] ? args.items[i] : "");
    free_arg_vector(&args);
    return options;
}

// Every key must be known, with the right kind of node.
static void check_keys(const toml::table& root, Problems* problems)
{
    std::set<std::string> tables(std::begin(table_order), std::end(table_order));
    for (const auto& [key, node] : root) {
        std::string name(key.str());
        if (tables.count(name)) {
            if (!node.is_table()) {
                problems->add(key.source(), name + " must be a table: [" + name + "]");
                continue;
            }
            for (const auto& [inner, value] : *node.as_table()) {
                std::string inner_name(inner.str());
                bool known = std::any_of(config_keys.begin(), config_keys.end(),
                                         [&](const ConfigKey& k) { return name == k.table && inner_name == k.name; }) ||
                             std::any_of(other_keys.begin(), other_keys.end(),
                                         [&](const OtherKey& k) { return name == k.table && inner_name == k.name; });
                if (!known)
                    problems->add(inner.source(), "unknown key " + inner_name + " in [" + name + "]; did you mean " +
                                                      closest_key(name, inner_name) + "?");
            }
        } else if (name != "architecture" && name != "template" && name != "output") {
            problems->add(key.source(), "unknown key " + name + "; did you mean " + closest_key("", name) + "?");
        } else if (!node.is_string()) {
            problems->add(node.source(), name + " must be a string");
        }
    }
}

// Parses the application file and checks its keys against the table. False
// only when the file does not parse; unknown keys are left in the problems.
static bool parse_application(const std::string& app_file, toml::table* root, Problems* problems)
{
    try {
        *root = toml::parse_file(app_file);
    } catch (const toml::parse_error& error) {
        problems->add(error.source(), std::string(error.description()));
        return false;
    }
    check_keys(*root, problems);
    return true;
}

// The template that an architecture names, or an empty path for an unknown one.
static fs::path template_for(const std::string& architecture)
{
    if (architecture == "x86")
        return "build/windows/orvane.exe";
    if (architecture == "x64")
        return "build/windows64/orvane.exe";
    return {};
}

bool pack_application(const std::string& app_file, const std::string& output_override, std::string* errors,
                      const std::string& architecture_override)
{
    Problems problems{app_file, ""};
    toml::table root;
    if (!parse_application(app_file, &root, &problems)) {
        *errors = problems.text;
        return false;
    }
    fs::path base = fs::u8path(app_file).parent_path();
    if (!problems.text.empty()) {
        *errors = problems.text;
        return false;
    }

    // The template and the output.
    fs::path template_path;
    const toml::node* architecture = root.get("architecture");
    const toml::node* template_node = root.get("template");
    if (!architecture_override.empty()) {
        template_path = template_for(architecture_override);
        if (template_path.empty())
            problems.add("--architecture must be x86 or x64, not " + architecture_override);
    } else if (template_node && architecture) {
        problems.add(architecture->source(), "give either architecture or template, not both");
    } else if (template_node) {
        template_path = base / fs::u8path(template_node->as_string()->get());
    } else if (architecture) {
        std::string arch = architecture->as_string()->get();
        template_path = template_for(arch);
        if (template_path.empty())
            problems.add(architecture->source(), "architecture must be \"x86\" or \"x64\", not \"" + arch + "\"");
    } else {
        problems.add("no template: set architecture = \"x86\" or \"x64\", or template = PATH");
    }
    fs::path output_path;
    const toml::node* output = root.get("output");
    if (!output_override.empty())
        output_path = fs::u8path(output_override);
    else if (output)
        output_path = base / fs::u8path(output->as_string()->get());
    else
        problems.add("no output: set output = PATH");
    if (!template_path.empty() && !output_path.empty() && same_file(template_path, output_path))
        problems.add(output ? output->source() : toml::source_region{},
                     "output " + output_path.string() + " is the template itself");
    PeImage image;
    ResourceMap resources;
    Values values;
    if (!problems.text.empty() || !read_launcher(template_path, &image, &resources, &values, &problems)) {
        *errors = problems.text;
        return false;
    }

    // Configuration values: unset keys keep the template's.
    Values changed;
    for (const ConfigKey& key : config_keys) {
        const toml::node* node = root.at_path(std::string(key.table) + "." + key.name).node();
        std::string text;
        if (node && value_text(key, *node, &text, &problems))
            changed[key.id] = values[key.id] = text;
    }
    auto boolean = [&](unsigned id) { return config_boolean(values[id] == "<null>" ? "" : values[id].c_str()); };
    if (boolean(1034) && (values[1017] == "<null>" || values[1017].empty()) && !boolean(1036)) {
        const toml::node* node = root.at_path("service.service_only").node();
        problems.add(node ? node->source() : toml::source_region{},
                     "a service-only launcher needs a service name: set [service] service_name");
    }
    set_string_values(&resources, changed);

    // Embedded jars, splash bitmap, icon.
    if (const toml::node* jars = root.at_path("embed.jars").node()) {
        std::vector<EmbeddedFile> files;
        if (collect_jars(*jars, base, &files, &problems)) {
            replace_resource(&resources, rt_rcdata, 1, encode_embedded_jars(files));
            if (files.empty())  // no jars: no resource, as the shipped launcher has none
                resources.erase(first_key(resources, rt_rcdata, 1));
        }
    }
    auto read_input = [&](const char* path, const char* what, Bytes* bytes) {
        const toml::node* node = root.at_path(path).node();
        if (!node)
            return false;
        if (!node->is_string()) {
            problems.add(node->source(), std::string(what) + " must be a string");
            return false;
        }
        fs::path file = base / fs::u8path(node->as_string()->get());
        if (!fs::is_regular_file(file) || !read_file(file, bytes)) {
            problems.add(node->source(), std::string(what) + " " + file.string() + " does not exist");
            return false;
        }
        return true;
    };
    Bytes input;
    if (read_input("splash.bitmap", "bitmap", &input)) {
        Bytes bitmap;
        std::string error;
        if (bitmap_resource(input, &bitmap, &error))
            replace_resource(&resources, rt_bitmap, 1, bitmap);
        else
            problems.add(root.at_path("splash.bitmap").node()->source(), "bitmap: " + error);
    }
    if (read_input("icon.file", "icon", &input)) {
        std::vector<Bytes> images;
        Bytes group;
        std::string error;
        ResourceKey group_key = first_key(resources, rt_group_icon, 1);
        std::set<uint16_t> old_ids;
        if (const ResourceData* old = find_resource(resources, rt_group_icon, 1))
            for (uint16_t id : icon_group_ids(old->bytes))
                old_ids.insert(id);
        uint16_t first_id = 1;
        for (const auto& [key, data] : resources)
            if (!key.type.named && key.type.id == rt_icon && !key.name.named && !old_ids.count(key.name.id))
                first_id = std::max<uint16_t>(first_id, key.name.id + 1);
        if (!icon_resources(input, first_id, &images, &group, &error)) {
            problems.add(root.at_path("icon.file").node()->source(), "icon: " + error);
        } else {
            for (auto it = resources.begin(); it != resources.end();)
                if (!it->first.type.named && it->first.type.id == rt_icon && !it->first.name.named &&
                    old_ids.count(it->first.name.id))
                    it = resources.erase(it);
                else
                    ++it;
            replace_resource(&resources, rt_group_icon, 1, group);
            for (size_t i = 0; i < images.size(); ++i) {
                ResourceKey key = group_key;
                key.type = resource_id(rt_icon);
                key.name = resource_id(static_cast<uint16_t>(first_id + i));
                resources[key].bytes = images[i];
            }
        }
    }

    // The version block.
    if (const toml::table* version = root["version"].as_table()) {
        VersionNode block;
        std::string error;
        const ResourceData* old = find_resource(resources, rt_version, 1);
        if (old && !decode_version_block(old->bytes, &block, &error)) {
            problems.add("template version block: " + error);
        } else {
            if (!old) {
                block.key = u"VS_VERSION_INFO";
                uint16_t zero[4] = {0, 0, 0, 0};
                set_version_numbers(&block, false, zero);
            }
            for (const char* which : {"file_version", "product_version"}) {
                const toml::node* node = version->get(which);
                if (!node)
                    continue;
                uint16_t parts[4];
                if (!node->is_string() || !parse_version(node->as_string()->get(), parts)) {
                    problems.add(node->source(), std::string(which) +
                                                     " must be a string of one to four numbers up to 65535, "
                                                     "such as \"1.2.0.0\"");
                    continue;
                }
                bool product = std::string(which) == "product_version";
                set_version_numbers(&block, product, parts);
                set_version_string(&block, product ? "ProductVersion" : "FileVersion", node->as_string()->get());
            }
            for (const auto& [key, field] : version_texts) {
                if (const toml::node* node = version->get(key)) {
                    if (node->is_string())
                        set_version_string(&block, field, node->as_string()->get());
                    else
                        problems.add(node->source(), std::string(key) + " must be a string");
                }
            }
            replace_resource(&resources, rt_version, 1, encode_version_block(block));
        }
    }

    // The manifest.
    if (const toml::table* manifest = root["manifest"].as_table()) {
        const ResourceData* old = find_resource(resources, rt_manifest, 1);
        std::string text = old ? std::string(old->bytes.begin(), old->bytes.end())
                               : "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                 "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
                                 "</assembly>\n";
        ManifestOptions options = manifest_options(text);
        auto choice = [&](const char* key, std::initializer_list<const char*> allowed, std::string* value) {
            const toml::node* node = manifest->get(key);
            if (!node)
                return;
            std::string given = node->value_or(std::string("?"));
            if (node->is_string() &&
                std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return given == a; })) {
                *value = given;
                return;
            }
            std::string list;
            for (const char* a : allowed)
                list += (list.empty() ? "\"" : ", \"") + std::string(a) + "\"";
            problems.add(node->source(), std::string(key) + " must be one of " + list);
        };
        choice("dpi_awareness", {"unaware", "system", "per_monitor_v2"}, &options.dpi_awareness);
        choice("execution_level", {"asInvoker", "requireAdministrator"}, &options.execution_level);
        if (const toml::node* node = manifest->get("utf8_code_page")) {
            if (node->is_boolean())
                options.utf8_code_page = node->as_boolean()->get();
            else
                problems.add(node->source(), "utf8_code_page must be true or false");
        }
        text = write_manifest(text, options);
        replace_resource(&resources, rt_manifest, 1, Bytes(text.begin(), text.end()));
    }

    const toml::table* sign = root["sign"].as_table();
    if (sign) {
        for (const char* key : {"certificate", "key", "password_file"}) {
            const toml::node* node = sign->get(key);
            if (!node && std::string(key) != "password_file")
                problems.add(std::string("[sign] needs ") + key);
            else if (node && (!node->is_string() || !fs::is_regular_file(base / fs::u8path(node->as_string()->get()))))
                problems.add(node->source(), std::string(key) + " must name an existing file");
        }
        if (problems.text.empty() && !osslsigncode_present())
            problems.add(root["sign"].node()->source(),
                         "[sign] asks for signing, but osslsigncode is not installed (Debian: apt-get install "
                         "osslsigncode)");
    }

    std::string error;
    if (problems.text.empty() && !write_resources(&image, resources, &error))
        problems.add(template_path.string() + ": " + error);
    if (problems.text.empty() && write_atomically(output_path, image.file, sign, base, &problems)) {
        std::error_code ignored;  // the launcher keeps the template's permissions (its execute bits)
        fs::permissions(output_path, fs::status(template_path, ignored).permissions(), ignored);
    }
    *errors = problems.text;
    return problems.text.empty();
}

bool show_launcher(const std::string& launcher, std::string* text, std::string* errors)
{
    Problems problems{"orvane-pack", ""};
    PeImage image;
    ResourceMap resources;
    Values values;
    fs::path path = fs::absolute(fs::u8path(launcher));
    if (!read_launcher(path, &image, &resources, &values, &problems, false)) {
        *errors = problems.text;
        return false;
    }
    std::ostringstream out;
    out << "# The configuration of " << path.filename().u8string() << ", as orvane-pack --show reads it.\n"
        << "# Packing this file gives the same resources; set output first.\n"
        << "template = " << toml_text(path.u8string()) << "\n"
        << "# output = \"app.exe\"\n";
    for (const char* table : table_order) {
        std::ostringstream body;
        for (const ConfigKey& key : config_keys) {
            if (std::string(key.table) != table)
                continue;
            std::string stored = values[key.id] == "<null>" ? "" : values[key.id];
            body << key.name << " = ";
            switch (key.form) {
            case ValueForm::text:
                body << toml_text(stored);
                break;
            case ValueForm::display: {
                std::string shown;
                for (size_t i = 0; i < stored.size(); ++i) {
                    if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == 'n') {
                        shown += '\n';
                        ++i;
                    } else {
                        shown += stored[i];
                    }
                }
                body << toml_text(shown);
                break;
            }
            case ValueForm::boolean:
                body << (config_boolean(stored.c_str()) ? "true" : "false");
                break;
            case ValueForm::integer:
                body << config_integer(stored.c_str());
                break;
            case ValueForm::main_class: {
                char name[main_class_max_length + 1];
                descramble_main_class(stored.c_str(), name);
                body << toml_text(name);
                break;
            }
            case ValueForm::list:
            case ValueForm::options: {
                // An array where it gives the stored text back, the text itself otherwise.
                std::vector<std::string> items =
                    key.form == ValueForm::list ? split_list(stored) : split_options(stored);
                std::string joined;
                size_t bad;
                bool same = key.form == ValueForm::list ? (joined = join_list(items)) == stored
                                                        : join_options(items, &joined, &bad) && joined == stored;
                body << (same ? quoted_array(items) : toml_text(stored));
                break;
            }
            }
            body << "\n";
        }
        std::string name = table;
        if (name == "embed") {
            std::vector<EmbeddedFile> files;
            if (const ResourceData* blob = find_resource(resources, rt_rcdata, 1))
                if (decode_embedded_jars(blob->bytes, &files))
                    for (const EmbeddedFile& f : files)
                        body << "# carries " << f.name << " (" << f.data.size() << " bytes)\n";
        } else if (name == "splash") {
            if (const ResourceData* bitmap = find_resource(resources, rt_bitmap, 1))
                body << "# carries a bitmap of " << bitmap->bytes.size() << " bytes\n";
        } else if (name == "version") {
            const ResourceData* block = find_resource(resources, rt_version, 1);
            VersionNode root;
            std::string error;
            if (block && decode_version_block(block->bytes, &root, &error)) {
                for (bool product : {false, true}) {
                    std::string written = version_string(root, product ? "ProductVersion" : "FileVersion");
                    uint16_t parts[4], numbers[4];
                    version_numbers(root, product, numbers);
                    bool consistent = parse_version(written, parts) && std::equal(parts, parts + 4, numbers);
                    body << (product ? "product_version" : "file_version") << " = "
                         << toml_text(consistent ? written : version_text(numbers)) << "\n";
                }
                for (const auto& [key, field] : version_texts)
                    if (std::string value = version_string(root, field); !value.empty())
                        body << key << " = " << toml_text(value) << "\n";
            }
        } else if (name == "manifest") {
            if (const ResourceData* manifest = find_resource(resources, rt_manifest, 1)) {
                ManifestOptions options = manifest_options(std::string(manifest->bytes.begin(), manifest->bytes.end()));
                body << "dpi_awareness = " << toml_text(options.dpi_awareness) << "\n"
                     << "utf8_code_page = " << (options.utf8_code_page ? "true" : "false") << "\n";
                if (!options.execution_level.empty())
                    body << "execution_level = " << toml_text(options.execution_level) << "\n";
            }
        } else if (name == "icon") {
            if (const ResourceData* group = find_resource(resources, rt_group_icon, 1))
                body << "# carries an icon of " << icon_group_ids(group->bytes).size() << " images\n";
        }
        if (!body.str().empty())
            out << "\n[" << table << "]\n" << body.str();
    }
    *text = out.str();
    return true;
}

std::string key_help()
{
    std::ostringstream out;
    out << "The application file (TOML). Unset keys keep the template's value; paths are relative\n"
           "to the application file. Option lists are arrays with one element per option.\n\n";
    auto line = [&](const std::string& name, const std::string& help) {
        out << "  " << name << std::string(name.size() < 30 ? 30 - name.size() : 1, ' ') << help << "\n";
    };
    for (const OtherKey& k : other_keys)
        if (!*k.table)
            line(k.name, k.help);
    for (const char* table : table_order) {
        out << "\n[" << table << "]\n";
        for (const ConfigKey& k : config_keys)
            if (std::string(k.table) == table)
                line(k.name, k.help + std::string(" (value ") + std::to_string(k.id) + ")");
        for (const OtherKey& k : other_keys)
            if (std::string(k.table) == table)
                line(k.name, k.help);
    }
    return out.str();
}

bool read_application_values(const std::string& app_file, std::map<unsigned, std::string>* values, std::string* errors)
{
    Problems problems{app_file, ""};
    toml::table root;
    if (!parse_application(app_file, &root, &problems)) {
        *errors = problems.text;
        return false;
    }
    for (const ConfigKey& key : config_keys) {
        const toml::node* node = root.at_path(std::string(key.table) + "." + key.name).node();
        std::string text;
        if (node && value_text(key, *node, &text, &problems))
            (*values)[key.id] = text;
    }
    *errors = problems.text;
    return problems.text.empty();
}
