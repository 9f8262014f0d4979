// create_jvm with the stand-in runtime: the option array the JVM receives,
// the runtime directory during the load, and the two failures of loading.
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
class CreationFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = make_test_directory("jvm_creation");
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
    std::string record_path() const { return directory_ + "\\record.txt"; }
    StandinRecord record() const { return read_standin_record(record_path()); }

    std::string directory_;
};

int create() { return create_jvm() ? 1 : 0; }

// A creation that succeeds, one per process as a process creates one JVM.
struct Start {
    const char* name;
    const char* jvm_path;       // null: the built stand-in; else one shipped below the scratch directory
    const char* jvm_options;
    const char* class_path;
    Options received;           // the options the JVM receives
    const char* expanded;       // the option text that replaces the configured one
};

const Start starts[] = {
    {"NothingConfiguredGivesExactlyTheThreeHookOptions", nullptr, "", "", {"vfprintf", "abort", "exit"}, ""},
    {"HookOptionsComeFirstThenTheConfiguredOnesAndTheClassPathAsOneOption", nullptr,
     "-Xmx%ORVANE_JVM_TEST_HEAP% -Dq=\"a b\"", "C:\\no such dir\\a.jar;;b.jar;",
     {"vfprintf", "abort", "exit", "-Xmx64m", "-Dq=a b", "-Djava.class.path=C:\\no such dir\\a.jar;b.jar"},
     "-Xmx64m -Dq=\"a b\" \"-Djava.class.path=C:\\no such dir\\a.jar;b.jar\""},
    {"RelativeRuntimeDirectoryIsCurrentDuringTheLoadOnly", "jre\\bin\\client\\jvm.dll", "", "",
     {"vfprintf", "abort", "exit"}, ""},
    {"ForwardSlashesStillGiveTheRuntimeDirectory", "jre/bin/client/jvm.dll", "", "", {"vfprintf", "abort", "exit"},
     ""},
};

class JvmCreation : public CreationFixture, public ::testing::WithParamInterface<Start> {};
using JvmCreationFailure = CreationFixture;

} // namespace

TEST_P(JvmCreation, Creates)
{
    const Start& start = GetParam();
    // getenv reads the C runtime's copy of the environment.
    _putenv("ORVANE_JVM_TEST_HEAP=64m");
    std::string library = standin_jvm_path();
    if (start.jvm_path != nullptr) {
        for (const char* dir : {"\\jre", "\\jre\\bin", "\\jre\\bin\\client"})
            CreateDirectoryA((directory_ + dir).c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(library.c_str(), (directory_ + "\\jre\\bin\\client\\jvm.dll").c_str(), FALSE));
        library = start.jvm_path;
    }
    launcher_config.jvm_path_list = copy_text(library.c_str());
    launcher_config.jvm_options = copy_text(start.jvm_options);
    launcher_config.class_path = copy_text(start.class_path);
    WatchedCall call = call_watching_boxes(create);
    ASSERT_EQ(call.result, 1) << (call.boxes.empty() ? "" : call.boxes[0].text);
    EXPECT_TRUE(call.boxes.empty());
    EXPECT_EQ(record().options, start.received);
    EXPECT_STREQ(launcher_config.jvm_options, start.expanded);
    EXPECT_STREQ(jvm_instance.library_path, library.c_str());
    EXPECT_STREQ(launcher_config.jvm_path_list, library.c_str());
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_EQ(current, directory_);
    if (start.jvm_path != nullptr)
        EXPECT_TRUE(record().has("load " + directory_ + "\\jre\\bin"))
            << "the runtime's bin directory was not current while the library loaded";
}

INSTANTIATE_TEST_SUITE_P(Starts, JvmCreation, ::testing::ValuesIn(starts),
                         [](const ::testing::TestParamInfo<Start>& info) { return std::string(info.param.name); });

// A file that is no library, and a library without the entry points.
TEST_F(JvmCreationFailure, LibraryThatCannotServeGivesMessage5Or6)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    ASSERT_TRUE(write_file(directory_ + "\\jvm.dll", "not a library"));
    const struct {
        std::string library, text;
    } rows[] = {{"jvm.dll", "Unable to load JVM: jvm.dll"},
                {std::string(system) + "\\version.dll",
                 "Unable to locate JNI interfaces in " + std::string(system) + "\\version.dll"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.library);
        launcher_config.jvm_path_list = copy_text(row.library.c_str());
        WatchedCall call = call_watching_boxes(create);
        EXPECT_EQ(call.result, 0);
        ASSERT_EQ(call.boxes.size(), 1u);
        EXPECT_EQ(call.boxes[0].caption, "Error");
        EXPECT_EQ(call.boxes[0].text, row.text);
    }
}
