// Run as tool.main.exe: the application name and the INI file it chooses
// beside the executable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/text_buffers.h"
#include "scenario_launcher.h"

namespace {

TEST(ApplicationName, AppNameTemplateReadsTheIniFileOfTheWholeName)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string directory = std::string(path).substr(0, std::string(path).rfind('\\'));
    const std::string chosen = directory + "\\tool.main.ini", decoy = directory + "\\tool.ini";
    ASSERT_TRUE(write_file(chosen, "[Application Configuration]\r\nJvmOptions=-Dchosen=tool.main\r\n"));
    ASSERT_TRUE(write_file(decoy, "[Application Configuration]\r\nJvmOptions=-Dchosen=tool\r\n"));

    // The INI file below is found only from the executable's directory.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    EXPECT_TRUE(SetCurrentDirectoryA(temp));
    EXPECT_TRUE(enter_executable_directory()) << "cannot enter the executable's directory";
    EXPECT_STRCASEEQ(std::string(temp).substr(0, strlen(temp) - 1).c_str(), launch_directory)
        << "the launch directory was not kept";

    app_name = derive_app_name();
    launcher_config.ini_file_name = expand_ini_file_name("%APPNAME%.ini", app_name);
    launcher_config.jvm_options = copy_text("-Xms8m");
    apply_ini_overrides();
    DeleteFileA(chosen.c_str());
    DeleteFileA(decoy.c_str());
    EXPECT_STREQ("-Dchosen=tool.main", launcher_config.jvm_options) << "not tool.main.ini beside the executable";
}

} // namespace
