// create_jvm with the stand-in runtime: the option array the JVM receives,
// the runtime directory during the load, and the three failures of loading
// and creation.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "box_watcher.h"
#include "message_templates.h"
#include "jvm/jvm_creation.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "scenario_launcher.h"
#include "standin_record.h"

namespace {

using Options = std::vector<std::string>;


// A configuration as loaded from a table with no settings, a scratch
// directory made current, and the stand-in's record kept there.
class JvmCreation : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = make_test_directory(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(SetCurrentDirectoryA(directory_.c_str()));
        SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", record_path().c_str());
        LauncherConfig& c = launcher_config;
        for (char** text : {&c.java_version_constraints, &c.jvm_path_list, &c.jvm_options, &c.class_path,
                            &c.working_directory, &c.main_class, &c.app_options, &c.static_options,
                            &c.service_name, &c.service_description, &c.missing_runtime_document,
                            &c.missing_runtime_command, &c.stdout_file, &c.stderr_file})
            *text = const_cast<char*>("");
        c.runtime_search_order = const_cast<char*>("0");
        c.report_missing_runtime = true;
        for (unsigned id = 1; id <= message_count; ++id)
            c.message_table[id] = const_cast<char*>(message_templates[id]);
    }
    void TearDown() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        SetCurrentDirectoryA(temp);
    }

    std::string record_path() const { return directory_ + "\\record.txt"; }
    StandinRecord record() const { return read_standin_record(record_path()); }

    // Copies the stand-in below the scratch directory, as a runtime shipped
    // beside an application.
    void ship_runtime_beside()
    {
        for (const char* dir : {"\\jre", "\\jre\\bin", "\\jre\\bin\\client"})
            CreateDirectoryA((directory_ + dir).c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(standin_jvm_path().c_str(), (directory_ + "\\jre\\bin\\client\\jvm.dll").c_str(),
                              FALSE));
    }

    std::string current() const
    {
        char buffer[MAX_PATH];
        GetCurrentDirectoryA(sizeof buffer, buffer);
        return buffer;
    }

    std::string directory_;
};

WatchedCall create_watching_boxes()
{
    return call_watching_boxes([] { return create_jvm() ? 1 : 0; });
}

} // namespace

TEST_F(JvmCreation, NothingConfiguredGivesExactlyTheThreeHookOptions)
{
    launcher_config.jvm_path_list = copy_text(standin_jvm_path().c_str());
    WatchedCall call = create_watching_boxes();
    ASSERT_EQ(call.result, 1) << (call.boxes.empty() ? "" : call.boxes[0].text);
    EXPECT_TRUE(call.boxes.empty());
    EXPECT_EQ(record().options, (Options{"vfprintf", "abort", "exit"}));
    EXPECT_STREQ(launcher_config.jvm_options, "");
    EXPECT_STREQ(jvm_instance.library_path, standin_jvm_path().c_str());
    EXPECT_STREQ(launcher_config.jvm_path_list, standin_jvm_path().c_str());
    EXPECT_NE(jvm_instance.vm, nullptr);
    EXPECT_NE(jvm_instance.env, nullptr);
}

TEST_F(JvmCreation, HookOptionsComeFirstThenTheConfiguredOnesAndTheClassPathAsOneOption)
{
    // getenv reads the C runtime's copy of the environment.
    _putenv("ORVANE_JVM_TEST_HEAP=64m");
    launcher_config.jvm_path_list = copy_text(standin_jvm_path().c_str());
    launcher_config.jvm_options = copy_text("-Xmx%ORVANE_JVM_TEST_HEAP% -Dq=\"a b\"");
    launcher_config.class_path = copy_text("C:\\no such dir\\a.jar;;b.jar;");
    WatchedCall call = create_watching_boxes();
    ASSERT_EQ(call.result, 1) << (call.boxes.empty() ? "" : call.boxes[0].text);
    EXPECT_EQ(record().options, (Options{"vfprintf", "abort", "exit", "-Xmx64m", "-Dq=a b",
                                         "-Djava.class.path=C:\\no such dir\\a.jar;b.jar"}));
    // The expanded text replaces the configured one.
    EXPECT_STREQ(launcher_config.jvm_options,
                 "-Xmx64m -Dq=\"a b\" \"-Djava.class.path=C:\\no such dir\\a.jar;b.jar\"");
}

TEST_F(JvmCreation, ClassPathOfSeparatorsOnlyAddsNoClassPathOption)
{
    launcher_config.jvm_path_list = copy_text(standin_jvm_path().c_str());
    launcher_config.class_path = copy_text(";;;");
    WatchedCall call = create_watching_boxes();
    ASSERT_EQ(call.result, 1);
    EXPECT_EQ(record().options, (Options{"vfprintf", "abort", "exit"}));
}

TEST_F(JvmCreation, RelativeRuntimeDirectoryIsCurrentDuringTheLoadOnly)
{
    ship_runtime_beside();
    launcher_config.jvm_path_list = copy_text("jre\\bin\\client\\jvm.dll");
    WatchedCall call = create_watching_boxes();
    ASSERT_EQ(call.result, 1) << (call.boxes.empty() ? "" : call.boxes[0].text);
    EXPECT_TRUE(record().has("load " + directory_ + "\\jre\\bin"))
        << "the runtime's bin directory was not current while the library loaded";
    EXPECT_EQ(current(), directory_);
    EXPECT_STREQ(jvm_instance.library_path, "jre\\bin\\client\\jvm.dll");
}

TEST_F(JvmCreation, ForwardSlashesStillGiveTheRuntimeDirectory)
{
    ship_runtime_beside();
    launcher_config.jvm_path_list = copy_text("jre/bin/client/jvm.dll");
    WatchedCall call = create_watching_boxes();
    ASSERT_EQ(call.result, 1) << (call.boxes.empty() ? "" : call.boxes[0].text);
    EXPECT_TRUE(record().has("load " + directory_ + "\\jre\\bin"));
    EXPECT_STREQ(jvm_instance.library_path, "jre/bin/client/jvm.dll");
}

TEST_F(JvmCreation, FileThatIsNoLibraryGivesMessage5)
{
    ASSERT_TRUE(write_file(directory_ + "\\jvm.dll", "not a library"));
    launcher_config.jvm_path_list = copy_text("jvm.dll");
    WatchedCall call = create_watching_boxes();
    EXPECT_EQ(call.result, 0);
    ASSERT_EQ(call.boxes.size(), 1u);
    EXPECT_EQ(call.boxes[0].caption, "Error");
    EXPECT_EQ(call.boxes[0].text, "Unable to load JVM: jvm.dll");
}

TEST_F(JvmCreation, LibraryWithoutTheEntryPointsGivesMessage6)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string library = std::string(system) + "\\version.dll";
    launcher_config.jvm_path_list = copy_text(library.c_str());
    WatchedCall call = create_watching_boxes();
    EXPECT_EQ(call.result, 0);
    ASSERT_EQ(call.boxes.size(), 1u);
    EXPECT_EQ(call.boxes[0].text, "Unable to locate JNI interfaces in " + library);
}

