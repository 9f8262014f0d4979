// The resources of the built launcher as it ships: its configuration table,
// its message templates and the manifest, read from the executable loaded as
// a data file. The contract check finds the others present; the error
// dialog's controls are read where it shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "message_templates.h"
#include "scenario_launcher.h"

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
        module_ = LoadLibraryExA(built_launcher_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot load " << built_launcher_path() << ", error " << GetLastError();
    }
    std::set<WORD> languages(LPCSTR type, LPCSTR name) const
    {
        std::set<WORD> found;
        EnumResourceLanguagesA(module_, type, name, collect_language, reinterpret_cast<LONG_PTR>(&found));
        return found;
    }
    std::string loaded_string(unsigned id) const
    {
        char text[4096] = "";
        int length = LoadStringA(module_, id, text, sizeof text);
        return std::string(text, length > 0 ? length : 0);
    }
    HMODULE module_ = nullptr;
};

TEST_F(ShippedResources, ConfigurationTableHoldsTheShippedValues)
{
    const std::string expected[] = {
        "1.2.0", "<null>", "<null>", "orvane-demo.jar", "01234", "0", "2", "-install", "-uninstall",
        "-startlauncherinservicemode", "<null>", scrambled(ORVANE_MAIN_CLASS), "<null>", "<null>", "0", "0",
        "<null>", "<null>", "<null>", "<null>", "0", "0", "0", "<null>", "0", "0", "stdout.log", "stderr.log",
        "1", "Loading application...", "0", "0", "3", "0", "<null>", "0", "0", "<null>", "1", "<null>",
        "<null>", "0", "0",
    };
    static_assert(sizeof expected / sizeof expected[0] == 43, "one value for each of 1001 to 1043");
    ASSERT_NE("", scrambled(ORVANE_MAIN_CLASS)) << ORVANE_MAIN_CLASS " cannot be scrambled";
    for (unsigned id = 1001; id <= 1043; ++id)
        EXPECT_EQ(expected[id - 1001], loaded_string(id)) << "configuration value " << id;
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
    for (unsigned id = 1; id <= 21; ++id)
        EXPECT_EQ(message_templates[id], loaded_string(id)) << "message " << id;
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
