// A launcher configured for one end-to-end scenario, in a directory of its
// own, with its own main class (hence its own instance mutex).
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "launcher_driver.h"
#include "scenario_launcher.h"
#include "standin_record.h"

class Scenario {
public:
    explicit Scenario(const char* name, const char* exe_name = "app.exe")
        : directory_(make_test_directory(name)), exe_(directory_ + "\\" + exe_name),
          main_class_(std::string("orvane.tests.") + name)
    {
        set(1012, scrambled(main_class_));
    }

    // A main class of the stand-in runtime, which then serves as the JVM.
    Scenario& use_standin(const std::string& main_class)
    {
        main_class_ = main_class;
        return set(1012, scrambled(main_class)).set(1002, standin_jvm_path());
    }
    const std::string& directory() const { return directory_; }
    const std::string& exe() const { return exe_; }
    std::string record_path() const { return directory_ + "\\record.txt"; }
    StandinRecord record() const { return read_standin_record(record_path()); }
    ~Scenario() { remove_test_directory(directory_); }

    Scenario& set(unsigned id, const std::string& text)
    {
        values_[id] = text;
        return *this;
    }
    // Adds a resource: RT_RCDATA (10) 1 for embedded jars, RT_BITMAP (2) 1 for the splash.
    Scenario& add_resource(unsigned type, unsigned id, const std::string& bytes)
    {
        resources_[{type, id}] = bytes;
        return *this;
    }
    // The name the launcher gives its instance mutex.
    std::string mutex_name() const
    {
        std::string name = main_class_;
        for (char& c : name)
            if (c == '.')
                c = '/';
        return name;
    }
    // Writes the scenario's launcher and returns its path. The stand-in
    // runtime of the launchers started from now on records here.
    const std::string& make()
    {
        EXPECT_TRUE(make_scenario_launcher(exe_, values_, resources_)) << "cannot make " << exe_;
        SetEnvironmentVariableA("ORVANE_STANDIN_RECORD", record_path().c_str());
        return exe_;
    }
    LaunchOutcome run(LaunchOptions options = LaunchOptions())
    {
        make();
        LaunchOutcome outcome = run_launcher(exe_, options);
        EXPECT_TRUE(outcome.started) << "cannot start " << exe_ << ", error " << GetLastError();
        EXPECT_FALSE(outcome.timed_out) << exe_ << " did not end";
        return outcome;
    }
    LaunchOutcome run(const std::string& arguments)
    {
        LaunchOptions options;
        options.arguments = arguments;
        return run(options);
    }

private:
    std::string directory_;
    std::string exe_;
    std::string main_class_;
    std::map<unsigned, std::string> values_;
    ExtraResources resources_;
};

// What a launch showed: "Caption: text" of its one box, "" when it showed
// none, "N boxes" when it showed more.
inline std::string only_box(const LaunchOutcome& outcome)
{
    if (outcome.windows.size() != 1)
        return outcome.windows.empty() ? "" : std::to_string(outcome.windows.size()) + " boxes";
    return outcome.windows[0].caption + ": " + outcome.windows[0].text;
}

// While it lives, Wine reports Windows 98 (the Windows 95 family) to the
// executables of this name.
class Windows98Name {
public:
    explicit Windows98Name(const std::string& exe_name) : key_("Software\\Wine\\AppDefaults\\" + exe_name)
    {
        EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key_.c_str(), "Version", REG_SZ, "win98", 6), ERROR_SUCCESS);
    }
    ~Windows98Name() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::string key_;
};
