// The resources of the built launcher as it ships: its configuration table,
// its message templates, the error dialog's template, the manifest, the icon
// and the version block, read from the executable loaded as a data file.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "launcher/config_values.h"
#include "message_templates.h"
#include "wine_paths.h"

namespace {

std::string launcher_path()
{
    return wine_path(ORVANE_EXE_PATH);
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::set<WORD>*>(found)->insert(language);
    return TRUE;
}

class ShippedResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(launcher_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot load " << launcher_path() << ", error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    // The bytes of one resource, empty when it is missing.
    std::string resource(LPCSTR type, LPCSTR name) const
    {
        HRSRC found = FindResourceA(module_, name, type);
        HGLOBAL loaded = found != nullptr ? LoadResource(module_, found) : nullptr;
        const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        return bytes != nullptr ? std::string(bytes, SizeofResource(module_, found)) : std::string();
    }
    std::set<WORD> languages(LPCSTR type, LPCSTR name) const
    {
        std::set<WORD> found;
        EnumResourceLanguagesA(module_, type, name, collect_language, reinterpret_cast<LONG_PTR>(&found));
        return found;
    }
    HMODULE module_ = nullptr;
};

std::string shipped_main_class_hex()
{
    char hex[2 * main_class_max_length + 1] = "";
    scramble_main_class(ORVANE_MAIN_CLASS, hex, sizeof hex);
    return hex;
}

TEST_F(ShippedResources, ConfigurationTableHoldsTheShippedValues)
{
    const std::string expected[] = {
        "1.2.0", "<null>", "<null>", "orvane-demo.jar", "01234", "0", "2", "-install", "-uninstall",
        "-startlauncherinservicemode", "<null>", shipped_main_class_hex(), "<null>", "<null>", "0", "0",
        "<null>", "<null>", "<null>", "<null>", "0", "0", "0", "<null>", "0", "0", "stdout.log", "stderr.log",
        "1", "Loading application...", "0", "0", "3", "0", "<null>", "0", "0", "<null>", "1", "<null>",
        "<null>", "0", "0",
    };
    static_assert(sizeof expected / sizeof expected[0] == 43, "one value for each of 1001 to 1043");
    ASSERT_NE("", shipped_main_class_hex()) << ORVANE_MAIN_CLASS " cannot be scrambled";
    for (unsigned id = 1001; id <= 1043; ++id) {
        char text[4096] = "";
        int length = LoadStringA(module_, id, text, sizeof text);
        EXPECT_EQ(expected[id - 1001], std::string(text, length > 0 ? length : 0)) << "configuration value " << id;
    }
    for (unsigned block = 1001 / 16 + 1; block <= 1043 / 16 + 1; ++block)
        EXPECT_EQ(std::set<WORD>{0}, languages(RT_STRING, MAKEINTRESOURCEA(block)))
            << "string block " << block << " is not language neutral only";
}

TEST_F(ShippedResources, MessageTemplatesAreTheEnglishTexts)
{
    const WORD english_us = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    for (unsigned block = 1; block <= 2; ++block)
        EXPECT_EQ(std::set<WORD>{english_us}, languages(RT_STRING, MAKEINTRESOURCEA(block)))
            << "string block " << block << " is not English (United States) only";
    for (unsigned id = 1; id <= 21; ++id) {
        // The entry as stored: a length and that many UTF-16 code units.
        HRSRC found = FindResourceExA(module_, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), english_us);
        ASSERT_NE(nullptr, found) << "no English string block for message " << id;
        const WORD* entry = static_cast<const WORD*>(LockResource(LoadResource(module_, found)));
        for (unsigned skip = id % 16; skip > 0; --skip)
            entry += *entry + 1;
        std::string text(entry + 1, entry + 1 + *entry);
        EXPECT_EQ(message_templates[id], text) << "message " << id;
    }
}

// Reads a dialog template: WORDs and DWORDs, strings and ordinals.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    unsigned word()
    {
        if (at_ + 2 > bytes_.size()) {
            overrun_ = true;
            return 0;
        }
        unsigned value = static_cast<unsigned char>(bytes_[at_]) | static_cast<unsigned char>(bytes_[at_ + 1]) << 8;
        at_ += 2;
        return value;
    }
    unsigned long dword() { return word() | static_cast<unsigned long>(word()) << 16; }
    int coordinate() { return static_cast<short>(word()); }
    std::string text()
    {
        std::string out;
        for (unsigned unit = word(); unit != 0 && !overrun_; unit = word())
            out += static_cast<char>(unit);
        return out;
    }
    // An ordinal reads as "#<number>", "" as none, anything else as its name.
    std::string name_or_ordinal()
    {
        if (at_ + 2 <= bytes_.size() && bytes_.compare(at_, 2, "\xFF\xFF") == 0) {
            word();
            return "#" + std::to_string(word());
        }
        return text();
    }
    void align_dword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }
    bool overrun() const { return overrun_; }

private:
    const std::string& bytes_;
    size_t at_ = 0;
    bool overrun_ = false;
};

TEST_F(ShippedResources, ErrorDialogTemplateHasItsLayout)
{
    EXPECT_EQ(std::set<WORD>{0}, languages(RT_DIALOG, MAKEINTRESOURCEA(1))) << "dialog 1 is not language neutral";
    std::string bytes = resource(RT_DIALOG, MAKEINTRESOURCEA(1));
    ASSERT_NE("", bytes) << "no dialog resource 1";
    TemplateReader read(bytes);
    EXPECT_EQ(0x80C800C0ul, read.dword()) << "dialog style";
    EXPECT_EQ(0ul, read.dword()) << "dialog extended style";
    unsigned count = read.word();
    int x = read.coordinate(), y = read.coordinate(), cx = read.coordinate(), cy = read.coordinate();
    EXPECT_EQ((std::vector<int>{0, 0, 304, 166}), (std::vector<int>{x, y, cx, cy})) << "dialog position and size";
    EXPECT_EQ("", read.name_or_ordinal()) << "dialog menu";
    EXPECT_EQ("", read.name_or_ordinal()) << "dialog window class";
    EXPECT_EQ("Error", read.text()) << "dialog caption";
    EXPECT_EQ(8u, read.word()) << "font size";
    EXPECT_EQ("MS Sans Serif", read.text()) << "font";

    // Predefined classes are given as ordinals: #128 Button, #129 Edit, #130 Static.
    const struct {
        unsigned id;
        const char* window_class;
        const char* text;
        int x, y, cx, cy;
        unsigned long style;
    } controls[] = {
        {1, "#128", "OK", 134, 145, 50, 14, 0x50010001},
        {1000, "#130", "", 7, 7, 0, 0, 0x50000003},
        {1001, "#130", "", 45, 7, 250, 32, 0x50008280},
        {0xFFFF, "#130", "Details:", 7, 43, 24, 8, 0x50020000},
        {1002, "#129", "", 7, 55, 290, 85, 0x50B10804},
    };
    ASSERT_EQ(5u, count) << "number of controls";
    for (const auto& expected : controls) {
        read.align_dword();
        unsigned long style = read.dword(), extended = read.dword();
        int cx_, cy_;
        x = read.coordinate(), y = read.coordinate(), cx_ = read.coordinate(), cy_ = read.coordinate();
        unsigned id = read.word();
        std::string window_class = read.name_or_ordinal(), text = read.name_or_ordinal();
        unsigned extra = read.word();
        std::string control = "control " + std::to_string(expected.id) + " ";
        EXPECT_EQ(expected.id, id) << control << "id (in template order)";
        EXPECT_EQ(expected.window_class, window_class) << control << "class";
        EXPECT_EQ(expected.text, text) << control << "text";
        EXPECT_EQ((std::vector<int>{expected.x, expected.y, expected.cx, expected.cy}),
                  (std::vector<int>{x, y, cx_, cy_}))
            << control << "position and size";
        EXPECT_EQ(expected.style, style) << control << "style";
        EXPECT_EQ(0ul, extended) << control << "extended style";
        EXPECT_EQ(0u, extra) << control << "creation data";
    }
    EXPECT_FALSE(read.overrun()) << "the template ends before its last control";
}

// The value of one attribute inside an element's text.
std::string attribute(const std::string& element, const std::string& name)
{
    size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos)
        return "(missing)";
    at += name.size() + 3;
    return element.substr(at, element.find('"', at) - at);
}

TEST_F(ShippedResources, ManifestAsksForCommonControlsVersion6)
{
    std::string manifest = resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_NE("", manifest) << "no manifest resource 1";
    size_t dependency = manifest.find("<dependentAssembly>");
    ASSERT_NE(std::string::npos, dependency) << "the manifest names no dependent assembly";
    size_t start = manifest.find("<assemblyIdentity", dependency);
    ASSERT_NE(std::string::npos, start) << "the dependent assembly has no identity";
    std::string identity = manifest.substr(start, manifest.find("/>", start) - start);
    for (char& c : identity)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    EXPECT_EQ("Microsoft.Windows.Common-Controls", attribute(identity, "name"));
    EXPECT_EQ("6.0.0.0", attribute(identity, "version"));
    EXPECT_EQ("win32", attribute(identity, "type"));
    EXPECT_EQ("6595b64144ccf1df", attribute(identity, "publicKeyToken"));
}

TEST_F(ShippedResources, IconGroupAndVersionBlockExist)
{
    std::string group = resource(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_GE(group.size(), 6u) << "no icon group 1";
    TemplateReader read(group);
    EXPECT_EQ(0u, read.word()) << "icon group reserved word";
    EXPECT_EQ(1u, read.word()) << "icon group type";
    unsigned count = read.word();
    ASSERT_GT(count, 0u) << "the icon group holds no image";
    for (unsigned i = 0; i < count; ++i) {
        read.dword();  // width, height, colours, reserved
        read.dword();  // planes, bits per pixel
        unsigned long size = read.dword();
        unsigned id = read.word();
        ASSERT_FALSE(read.overrun()) << "icon group entry " << i << " is cut";
        EXPECT_EQ(size, resource(RT_ICON, MAKEINTRESOURCEA(id)).size()) << "icon image " << id;
    }

    std::string version = resource(RT_VERSION, MAKEINTRESOURCEA(1));
    const std::string key("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0\0", 32);
    ASSERT_GE(version.size(), 40u + sizeof(VS_FIXEDFILEINFO)) << "no version resource 1";
    EXPECT_EQ(key, version.substr(6, 32)) << "the version block is not VS_VERSION_INFO";
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, version.data() + 40, sizeof fixed);
    EXPECT_EQ(0xFEEF04BDul, fixed.dwSignature) << "the fixed file information is missing";
}

} // namespace
