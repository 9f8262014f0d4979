// A configured launcher starting a Java application on the stand-in runtime:
// what main receives, what the application sees, how failures end the start.
#include "scenario.h"

#include <vector>

namespace {

using Args = std::vector<std::string>;

constexpr DWORD exit_failure = 0xFFFFFFFF; // -1

LaunchOptions with_arguments(const std::string& arguments)
{
    LaunchOptions options;
    options.arguments = arguments;
    return options;
}

// The arguments of the one main call the record must hold.
Args main_args(const Scenario& scenario)
{
    StandinRecord record = scenario.record();
    EXPECT_EQ(record.main_calls.size(), 1u) << "main calls recorded in " << scenario.record_path();
    return record.main_calls.empty() ? Args{} : record.main_calls[0].args;
}

void expect_single_error(const LaunchOutcome& outcome, const std::string& text)
{
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].caption, "Error");
    EXPECT_EQ(outcome.windows[0].text, text);
}

} // namespace

TEST(JavaStart, StaticOptionsComeFirstExpandedAndArgumentsStayAsTyped)
{
    SetEnvironmentVariableA("ORVANE_E2E_WORD", "expanded");
    Scenario scenario("static_first");
    scenario.use_standin("orvane.standin.Print")
        .set(1035, "static1 %ORVANE_E2E_WORD%")
        .set(1013, "never-used");
    LaunchOutcome outcome = scenario.run(with_arguments("a %ORVANE_E2E_WORD% \"b c\""));
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(main_args(scenario), (Args{"static1", "expanded", "a", "%ORVANE_E2E_WORD%", "b c"}));
    EXPECT_TRUE(scenario.record().has("destroy")) << "the JVM was not destroyed after main returned";
}

TEST(JavaStart, ApplicationOptionsAreUsedAndExpandedOnlyWithoutArguments)
{
    SetEnvironmentVariableA("ORVANE_E2E_WORD", "expanded");
    Scenario scenario("app_options");
    scenario.use_standin("orvane.standin.Print").set(1013, "x %ORVANE_E2E_WORD%");
    LaunchOutcome outcome = scenario.run();
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(main_args(scenario), (Args{"x", "expanded"}));
}

TEST(JavaStart, InstallSwitchReachesMainWhenNoServiceIsConfigured)
{
    Scenario scenario("install_as_argument");
    scenario.use_standin("orvane.standin.Print");
    LaunchOutcome outcome = scenario.run(with_arguments("-install MySvc"));
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(main_args(scenario), (Args{"-install", "MySvc"}));
}

TEST(JavaStart, PropertiesTellTheApplicationWhereItWasStarted)
{
    Scenario scenario("properties");
    scenario.use_standin("orvane.standin.Print");
    LaunchOutcome outcome = scenario.run();
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
    for (const char* service : {"orvane.service.name", "orvane.service.description", "orvane.service.starttype"})
        EXPECT_EQ(record.properties.count(service), 0u) << service << " is set outside service mode";
    // user.dir is set first, before the folders and the start-up values.
    EXPECT_TRUE(record.has_prefix("property user.dir="));
}

TEST(JavaStart, MissingMainClassIsReportedWithItsSlashName)
{
    Scenario scenario("missing_class");
    scenario.use_standin("orvane.standin.Missing");
    LaunchOutcome outcome = scenario.run();
    expect_single_error(outcome, "Error locating class: orvane/standin/Missing");
    EXPECT_EQ(outcome.exit_code, exit_failure);
}

TEST(JavaStart, ClassWithoutMainIsReported)
{
    Scenario scenario("no_main");
    scenario.use_standin("orvane.standin.NoMain");
    LaunchOutcome outcome = scenario.run();
    expect_single_error(outcome, "Error locating method: main(java/lang/String[])");
    EXPECT_EQ(outcome.exit_code, exit_failure);
}

TEST(JavaStart, ExceptionFromMainIsDescribedReportedAndEndsWithMinusOne)
{
    Scenario scenario("main_throws");
    scenario.use_standin("orvane.standin.Throw");
    LaunchOutcome outcome = scenario.run();
    expect_single_error(outcome, "Error invoking method: main(java/lang/String[])");
    EXPECT_EQ(outcome.exit_code, exit_failure);
    StandinRecord record = scenario.record();
    EXPECT_TRUE(record.has("describe java.lang.IllegalStateException: thrown by main"));
    EXPECT_FALSE(record.has("destroy")) << "a failed start must end without tearing the JVM down";
}

TEST(JavaStart, SystemExitEndsTheLauncherWithTheApplicationStatus)
{
    Scenario scenario("system_exit");
    scenario.use_standin("orvane.standin.Exit");
    LaunchOutcome outcome = scenario.run(with_arguments("3"));
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 3u);
    EXPECT_TRUE(scenario.record().has("exit 3"));
}

TEST(JavaStart, SecondInstanceForwardsItsArgumentsToMainInItsOwnJvm)
{
    Scenario scenario("forwarding");
    scenario.use_standin("orvane.standin.Print").set(1029, "0").set(1037, "1").set(1038, "--forwarded").set(1011, "work");
    HANDLE first = CreateMutexA(nullptr, TRUE, scenario.mutex_name().c_str());
    ASSERT_NE(first, nullptr);
    LaunchOutcome outcome =
        scenario.run(with_arguments("a \"b c\" \"C:\\My Docs\\a.txt\" \"say \\\"hi\\\"\" \"\""));
    CloseHandle(first);
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    ASSERT_EQ(record.main_calls.size(), 1u);
    // Each argument arrives whole, as the second start was given it.
    EXPECT_EQ(record.main_calls[0].args, (Args{"--forwarded", "a", "b c", "C:\\My Docs\\a.txt", "say \"hi\"", ""}));
    EXPECT_TRUE(record.has("attach Orvane thread"));
    // main runs where the JVM was created, never in value 1011.
    EXPECT_FALSE(record.has_prefix("option 0 -Duser.dir=")) << "the JVM was told another directory";
}

TEST(JavaStart, IniFileOptionsReachTheJvmAndMain)
{
    Scenario scenario("ini_options");
    scenario.use_standin("orvane.standin.Print").set(1014, "%APPNAME%.ini").set(1003, "-Xss1m");
    ASSERT_TRUE(write_file(scenario.directory() + "\\app.ini",
                           "[Application Configuration]\r\n"
                           "JvmOptions=-Xmx64m\r\n"
                           "JvmOptionsAppend=-Dini.append=1\r\n"
                           "AppOptions=from-ini\r\n"
                           "StaticOptions=static-ini\r\n"));
    LaunchOutcome outcome = scenario.run();
    EXPECT_EQ(outcome.exit_code, 0u);
    StandinRecord record = scenario.record();
    // The hook options come first, so the JVM's word on any option reaches the capture.
    EXPECT_EQ(record.options, (Args{"vfprintf", "abort", "exit", "-Xmx64m", "-Dini.append=1",
                                    "-Djava.class.path=orvane-demo.jar"}));
    EXPECT_EQ(main_args(scenario), (Args{"static-ini", "from-ini"}));
}

TEST(JavaStart, EmptyJvmOptionsAreDroppedWhileEmptyArgumentsStay)
{
    Scenario scenario("empty_options");
    scenario.use_standin("orvane.standin.Print").set(1003, "-Xss1m  %ORVANE_E2E_UNDEFINED% -Xmx64m");
    LaunchOutcome outcome = scenario.run(with_arguments("x  y"));
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(scenario.record().options,
              (Args{"vfprintf", "abort", "exit", "-Xss1m", "-Xmx64m", "-Djava.class.path=orvane-demo.jar"}));
    EXPECT_EQ(main_args(scenario), (Args{"x", "", "y"}));
}

TEST(JavaStart, ForwardedLineThatWouldNotFitIsRefusedNotCut)
{
    Scenario scenario("forwarding_too_long");
    scenario.use_standin("orvane.standin.Print").set(1029, "0").set(1037, "1").set(1038, std::string(4090, 'x'));
    HANDLE first = CreateMutexA(nullptr, TRUE, scenario.mutex_name().c_str());
    ASSERT_NE(first, nullptr);
    LaunchOutcome outcome = scenario.run(with_arguments("abcdef"));
    CloseHandle(first);
    ASSERT_EQ(outcome.windows.size(), 1u);
    EXPECT_EQ(outcome.windows[0].text.find("Internal error RC0000110\n\nReason: "), 0u) << outcome.windows[0].text;
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(scenario.record().main_calls.empty()) << "main was called with a cut line";
}

TEST(JavaStart, CleanupSwitchWithoutExactlyOneProcessIdIsAnOrdinaryArgument)
{
    for (const char* arguments : {"-ovremovetemporaryjarfiles", "-ovremovetemporaryjarfiles 12 34"}) {
        SCOPED_TRACE(arguments);
        Scenario scenario("cleanup_as_argument");
        scenario.use_standin("orvane.standin.Print");
        LaunchOutcome outcome = scenario.run(with_arguments(arguments));
        EXPECT_EQ(outcome.exit_code, 0u);
        Args args = main_args(scenario);
        ASSERT_FALSE(args.empty());
        EXPECT_EQ(args[0], "-ovremovetemporaryjarfiles");
    }
}

TEST(JavaStart, ExtractionDirectoryFollowsItsMode)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string hex = scrambled("orvane.standin.Print");
    const struct {
        const char* mode;
        std::string expected;
    } rows[] = {{"0", "."}, {"1", ".\\" + hex}, {"2", temp + hex}, {"7", temp + hex}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("mode ") + row.mode);
        Scenario scenario("extract_mode");
        scenario.use_standin("orvane.standin.Print").set(1007, row.mode);
        EXPECT_EQ(scenario.run().exit_code, 0u);
        EXPECT_EQ(scenario.record().properties["orvane.extract.path"], row.expected);
    }
}

TEST(JavaStart, DateInApplicationOptionsIsTodaysDate)
{
    Scenario scenario("date_option");
    scenario.use_standin("orvane.standin.Print").set(1013, "--day=%DATE%");
    char today[16];
    GetDateFormatA(GetThreadLocale(), 0, nullptr, "yyyyMMdd", today, sizeof today);
    EXPECT_EQ(scenario.run().exit_code, 0u);
    EXPECT_EQ(main_args(scenario), (Args{std::string("--day=") + today}));
}

TEST(JavaStart, TraceFileNamedByTheEnvironmentFollowsTheStart)
{
    Scenario scenario("trace");
    scenario.use_standin("orvane.standin.Print").set(1003, "-Xmx64m");
    std::string trace = scenario.directory() + "\\trace.txt";
    SetEnvironmentVariableA("ORVANE_TRACE", trace.c_str());
    LaunchOutcome outcome = scenario.run();
    SetEnvironmentVariableA("ORVANE_TRACE", nullptr);
    EXPECT_EQ(outcome.exit_code, 0u);
    std::string lines = read_file(trace);
    for (size_t at; (at = lines.find("\r\n")) != std::string::npos;)
        lines.erase(at, 1);
    std::string library = standin_jvm_path();
    for (const std::string& expected : {std::string("  1003 = \"-Xmx64m\"\n"), std::string("phase configuration took "),
                                        "search step '0' found " + library + "\n", "loaded " + library + ",",
                                        std::string("JVM option 0: -Xmx64m\n"), std::string("phase JVM creation took ")})
        EXPECT_NE(lines.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << lines;
}
