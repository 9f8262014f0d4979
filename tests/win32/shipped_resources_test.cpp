// The resources of the built launcher as it ships: its configuration table,
// its message templates and the manifest, read from the executable loaded as
// a data file. The contract check finds the others present; the error
// dialog's controls are read where it shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "launcher/config_values.h"
#include "message_templates.h"
#include "wine_paths.h"

namespace {

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::set<WORD>*>(found)->insert(language);
    return TRUE;
}

class ShippedResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(wine_path(ORVANE_EXE_PATH).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot load " << ORVANE_EXE_PATH << ", error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
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

TEST_F(ShippedResources, ManifestAsksForCommonControlsVersion6)
{
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, found) << "no manifest 1";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                         SizeofResource(module_, found));
    size_t start = manifest.find("<assemblyIdentity", manifest.find("<dependentAssembly>"));
    ASSERT_NE(std::string::npos, start) << "no dependent assembly with an identity in manifest 1:\n" << manifest;
    std::string identity = manifest.substr(start, manifest.find("/>", start) - start);
    for (const char* attribute : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                                  "type=\"win32\"", "publicKeyToken=\"6595b64144ccf1df\""})
        EXPECT_NE(std::string::npos, identity.find(attribute)) << attribute << " missing in " << identity;
}

} // namespace
