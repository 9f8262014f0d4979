// A configured launcher starting a Java application on the stand-in runtime:
// what main receives, what the application sees, how failures end the start.
#include "scenario.h"

#include <algorithm>
#include <vector>

namespace {

using Args = std::vector<std::string>;

constexpr DWORD exit_failure = 0xFFFFFFFF; // -1
// Runs the scenario while a first instance holds its mutex.
LaunchOutcome run_beside_first_instance(Scenario& scenario, const std::string& arguments)
{
    HANDLE first = CreateMutexA(nullptr, TRUE, scenario.mutex_name().c_str());
    EXPECT_NE(first, nullptr);
    LaunchOutcome outcome = scenario.run(arguments);
    CloseHandle(first);
    return outcome;
}

} // namespace

// One start per row: the box it shows (none: ""), its exit code, what main
// was given and whether the JVM was torn down afterwards.
TEST(JavaStart, EachStartEndsWithItsBoxExitCodeAndMainArguments)
{
    SetEnvironmentVariableA("ORVANE_E2E_WORD", "expanded");
    const std::string ini = "[Application Configuration]\r\nJvmOptions=-Xmx64m\r\nJvmOptionsAppend=-Dini.append=1\r\n"
                            "AppOptions=from-ini\r\nStaticOptions=static-ini\r\n";
    const struct {
        const char* label;
        const char* main_class;
        std::map<unsigned, std::string> values;
        std::string arguments;
        std::string box;
        DWORD exit_code;
        Args main_args;
        bool destroyed;
        Args options;  // of the JVM; none: not checked
        std::string recorded;  // a line the record must hold
    } rows[] = {
        {"static options first, expanded; arguments as typed", "Print",
         {{1035, "static1 %ORVANE_E2E_WORD%"}, {1013, "never-used"}}, "a %ORVANE_E2E_WORD% \"b c\"", "", 0,
         {"static1", "expanded", "a", "%ORVANE_E2E_WORD%", "b c"}, true},
        {"application options without arguments, expanded", "Print", {{1013, "x %ORVANE_E2E_WORD%"}}, "", "", 0,
         {"x", "expanded"}, true},
        {"install switch without a configured service", "Print", {}, "-install MySvc", "", 0, {"-install", "MySvc"},
         true},
        {"cleanup switch without a process id", "Print", {}, "-ovremovetemporaryjarfiles", "", 0,
         {"-ovremovetemporaryjarfiles"}, true},
        {"cleanup switch with two process ids", "Print", {}, "-ovremovetemporaryjarfiles 12 34", "", 0,
         {"-ovremovetemporaryjarfiles", "12", "34"}, true},
        {"empty JVM options dropped, empty arguments kept", "Print",
         {{1003, "-Xss1m  %ORVANE_E2E_UNDEFINED% -Xmx64m"}}, "x  y", "", 0, {"x", "", "y"}, true,
         {"vfprintf", "abort", "exit", "-Xss1m", "-Xmx64m", "-Djava.class.path=orvane-demo.jar"}},
        // The INI file's options replace the table's.
        {"INI file options", "Print", {{1014, "%APPNAME%.ini"}, {1003, "-Xss1m"}}, "", "", 0,
         {"static-ini", "from-ini"}, true,
         {"vfprintf", "abort", "exit", "-Xmx64m", "-Dini.append=1", "-Djava.class.path=orvane-demo.jar"}},
        {"System.exit", "Script", {}, "exit=3", "", 3, {"exit=3"}, false, {}, "exit 3"},
        // A failed start ends without tearing the JVM down.
        {"main throws", "Script", {}, "throw", "Error: Error invoking method: main(java/lang/String[])", exit_failure,
         {}, false, {}, "describe java.lang.IllegalStateException: thrown by main"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Scenario scenario("java_start");
        scenario.use_standin(std::string("orvane.standin.") + row.main_class);
        for (const auto& value : row.values)
            scenario.set(value.first, value.second);
        if (row.values.count(1014) != 0)
            ASSERT_TRUE(write_file(scenario.directory() + "\\app.ini", ini));
        LaunchOutcome outcome = scenario.run(row.arguments);
        EXPECT_EQ(only_box(outcome), row.box);
        EXPECT_EQ(outcome.exit_code, row.exit_code);
        StandinRecord record = scenario.record();
        Args main_args = record.main_calls.empty() ? Args{"(no main call)"} : record.main_calls[0].args;
        if (!row.main_args.empty())
            EXPECT_EQ(main_args, row.main_args);
        EXPECT_LE(record.main_calls.size(), 1u);
        EXPECT_EQ(record.has("destroy"), row.destroyed);
        if (!row.options.empty())
            EXPECT_EQ(record.options, row.options);
        if (!row.recorded.empty())
            EXPECT_TRUE(record.has(row.recorded)) << row.recorded;
    }
}

TEST(JavaStart, SecondInstanceForwardsItsArgumentsToMainInItsOwnJvm)
{
    Scenario scenario("forwarding");
    scenario.use_standin("orvane.standin.Print").set(1029, "0").set(1037, "1").set(1038, "--forwarded").set(1011, "work");
    LaunchOutcome outcome =
        run_beside_first_instance(scenario, "a \"b c\" \"C:\\My Docs\\a.txt\" \"say \\\"hi\\\"\" \"\"");
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    ASSERT_EQ(record.main_calls.size(), 1u);
    // Each argument arrives whole, as the second start was given it.
    EXPECT_EQ(record.main_calls[0].args, (Args{"--forwarded", "a", "b c", "C:\\My Docs\\a.txt", "say \"hi\"", ""}));
    EXPECT_TRUE(record.has("attach Orvane thread"));
    // main runs where the JVM was created, never in value 1011: no user.dir.
    EXPECT_EQ(record.options, (Args{"vfprintf", "abort", "exit", "-Djava.class.path=orvane-demo.jar"}));
}

TEST(JavaStart, ForwardedLineThatWouldNotFitIsRefusedNotCut)
{
    Scenario scenario("forwarding_too_long");
    scenario.use_standin("orvane.standin.Print").set(1029, "0").set(1037, "1").set(1038, std::string(4090, 'x'));
    LaunchOutcome outcome = run_beside_first_instance(scenario, "abcdef");
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].text.find("Internal error RC0000110\n\nReason: "), 0u) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(scenario.record().main_calls.empty()) << "main was called with a cut line";
}

// The properties tell the application where it was started, user.dir
// first; the trace file the environment names follows the start.
TEST(JavaStart, PropertiesTellWhereTheApplicationWasStartedAndTheTraceFollowsTheStart)
{
    Scenario scenario("properties");
    scenario.use_standin("orvane.standin.Print").set(1003, "-Xmx64m");
    std::string trace = scenario.directory() + "\\trace.txt";
    SetEnvironmentVariableA("ORVANE_TRACE", trace.c_str());
    LaunchOutcome outcome = scenario.run();
    SetEnvironmentVariableA("ORVANE_TRACE", nullptr);
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    EXPECT_EQ(record.properties["user.dir"], scenario.directory());
    EXPECT_EQ(record.properties["orvane.exe.path"], scenario.exe());
    EXPECT_EQ(record.properties["orvane.appini.showconsole"], "false");
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    EXPECT_EQ(record.properties["orvane.extract.path"], std::string(temp) + scrambled("orvane.standin.Print"));
    for (const char* folder : {"orvane.csidl.appdata", "orvane.csidl.local.appdata", "orvane.csidl.personal"}) {
        SCOPED_TRACE(folder);
        ASSERT_EQ(record.properties.count(folder), 1u);
        EXPECT_EQ(GetFileAttributesA(record.properties[folder].c_str()) & FILE_ATTRIBUTE_DIRECTORY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }
    auto first = std::find_if(record.lines.begin(), record.lines.end(),
                              [](const std::string& line) { return line.compare(0, 9, "property ") == 0; });
    EXPECT_TRUE(first != record.lines.end() && first->compare(0, 18, "property user.dir=") == 0);

    std::string lines = read_file(trace);
    for (size_t at; (at = lines.find("\r\n")) != std::string::npos;)
        lines.erase(at, 1);
    std::string library = standin_jvm_path();
    for (const std::string& expected : {std::string("  1003 = \"-Xmx64m\"\n"), std::string("phase configuration took "),
                                        "search step '0' found " + library + "\n", "loaded " + library + ",",
                                        std::string("JVM option 0: -Xmx64m\n"), std::string("phase JVM creation took ")})
        EXPECT_NE(lines.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << lines;
}
