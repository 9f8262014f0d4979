// Runtime discovery against the real registry, files and environment of the
// suite's Wine prefix. Every case clears the runtime keys before and after.
#include "jvm/runtime_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "jvm/pe_machine.h"
#include "launcher/text_buffers.h"
#include "launcher/trace.h"
#include "scenario_launcher.h"
#include "scratch_directory.h"

namespace {

const char made_up_extension[] = "Software\\Classes\\.orvanediscovery";
const char made_up_class[] = "Software\\Classes\\OrvaneDiscoveryDocument";
constexpr int other_machine = launcher_machine == pe_machine_x86 ? pe_machine_x64 : pe_machine_x86;

// In the suite's own prefix nothing but these cases' runtimes and document
// type lives below these keys.
void clear_registry()
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const char* key : {"Software\\JavaSoft", "Software\\IBM", "Software\\JRockit",
                                "Software\\Eclipse Adoptium", "Software\\Microsoft\\JDK", "Software\\Semeru",
                                "Software\\Azul Systems", "Software\\BellSoft", made_up_extension, made_up_class})
            RegDeleteTreeA(root, key);
    }
}

void set_string(const std::string& key_path, const char* name, const std::string& value,
                DWORD type = REG_SZ, bool terminated = true, HKEY root = HKEY_LOCAL_MACHINE)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, key_path.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr), ERROR_SUCCESS) << key_path;
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + terminated)), ERROR_SUCCESS) << key_path;
    RegCloseKey(key);
}

// Creates the file and every directory above it: the text given, or a
// library of the given machine type as far as discovery reads it (the
// headers up to the machine field).
void put_file(const std::string& path, const char* text = nullptr, int machine = launcher_machine)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    std::string bytes = text != nullptr ? text : std::string(64, '\0') + std::string("PE\0\0", 4);
    if (text == nullptr) {
        bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3c] = 64;
        bytes += static_cast<char>(machine & 0xff);
        bytes += static_cast<char>(machine >> 8);
    }
    ASSERT_TRUE(write_file(path, bytes)) << "cannot create " << path;
}

// The file's bytes once they are the expected ones, or after 10 s: another
// process may write them in parts.
std::string wait_for_file(const std::string& path, const std::string& expected)
{
    std::string bytes = read_file(path);
    for (int i = 0; i < 200 && bytes != expected; ++i, Sleep(50))
        bytes = read_file(path);
    return bytes;
}

class Discovery : public ::testing::Test {
protected:
    ScratchDirectory scratch;
    // A write past the result buffer would show in the guard behind it.
    char result[path_size] = {};
    char guard[16] = "guard-intact";
    std::vector<SeenBox> shown; // by the calls of locate, until a case takes them

    void SetUp() override
    {
        ASSERT_TRUE(scratch.ready()) << scratch.path();
        clear_registry();
        SetEnvironmentVariableA("JAVA_HOME", nullptr);
        configure("1.2.0", "");
        launcher_config.report_missing_runtime = false;
        launcher_config.missing_runtime_document = copy_text("");
        launcher_config.missing_runtime_command = copy_text("");
        launcher_config.message_table[message_no_runtime] =
            copy_text("Unable to locate suitable Java Runtime (min %s) on this machine.");
        found_java_home[0] = '\0';
        preferred_jvm_subpath = nullptr;
    }
    void TearDown() override
    {
        EXPECT_STREQ(guard, "guard-intact") << "something wrote past the result buffer";
        for (const SeenBox& box : shown)
            ADD_FAILURE() << "unexpected message box \"" << box.caption << "\": " << box.text;
        clear_registry();
        SetEnvironmentVariableA("JAVA_HOME", nullptr);
    }
    std::string at(const std::string& name) const { return scratch.path() + "\\" + name; }
    // Texts are heap copies, as the configuration loader makes them: the
    // explicit-list step cuts its value in place.
    static void configure(const char* constraints, const std::string& list)
    {
        launcher_config.java_version_constraints = copy_text(constraints);
        launcher_config.jvm_path_list = copy_text(list.c_str());
    }
    std::string locate(const char* order, DWORD hold = 0)
    {
        launcher_config.runtime_search_order = copy_text(order);
        WatchedCall call = call_watching_boxes([this] { return locate_jvm_library(result) ? 1 : 0; }, hold);
        shown.insert(shown.end(), call.boxes.begin(), call.boxes.end());
        return call.result ? result : "(not found)";
    }
};

TEST_F(Discovery, ReadRegistryStringTellsStringsFromOtherValues)
{
    std::string key = std::string(runtime_key_table[0]) + "\\values";
    set_string(key, "Plain", "C:\\jre");
    set_string(key, "Expandable", "%SystemRoot%\\jre", REG_EXPAND_SZ);
    set_string(key, "Unterminated", "C:\\jre", REG_SZ, false);
    set_string(key, "Number", "abc", REG_DWORD); // four bytes: a valid number
    struct Row {
        const char* subkey;
        const char* value;
        DWORD size;
        int expected;
        const char* text;
    } rows[] = {
        {key.c_str(), "Plain", 7, 0, "C:\\jre"},  // exactly the text and its terminator
        {key.c_str(), "Plain", 6, 1, ""},         // too long for the buffer
        {key.c_str(), "Expandable", 256, 0, "%SystemRoot%\\jre"},
        // Stored without its terminator: Wine adds one (and asks for its byte),
        // Windows hands back the bytes as stored; either way the caller
        // gets a terminated text or none.
        {key.c_str(), "Unterminated", 7, 0, "C:\\jre"},
        {key.c_str(), "Unterminated", 6, 1, ""},
        {key.c_str(), "Number", 256, 1, ""},
        {key.c_str(), "Missing", 256, 1, ""},
        {"Software\\JavaSoft\\No Such Key", "Plain", 256, -1, ""},
    };
    for (const Row& row : rows) {
        char buffer[256];
        copy_bounded(buffer, sizeof buffer, "untouched");
        int got = read_registry_string(HKEY_LOCAL_MACHINE, row.subkey, row.value, buffer, row.size);
        EXPECT_EQ(got, row.expected) << "value " << row.value << " of size " << row.size;
        EXPECT_STREQ(buffer, row.text) << "value " << row.value << " of size " << row.size;
    }
}

TEST_F(Discovery, CandidateKeyPathIsExtendedInPlaceOnlyWhenTheVersionFits)
{
    struct {
        char key_path[registry_text_size];
        char guard[16];
    } guarded;
    copy_bounded(guarded.guard, sizeof guarded.guard, "guard-intact");
    for (const std::string& version : {std::string("1.6"), "1.6." + std::string(220, 'x')}) {
        copy_bounded(guarded.key_path, sizeof guarded.key_path, runtime_key_table[0]);
        EXPECT_FALSE(check_runtime_candidate(guarded.key_path, version.c_str(), result, sizeof result));
        EXPECT_EQ(std::string(guarded.key_path),
                  version.size() < 10 ? std::string(runtime_key_table[0]) + "\\1.6" : runtime_key_table[0]);
        EXPECT_STREQ(guarded.guard, "guard-intact");
    }
}

// One registry value below HKLM (or HKCU), one search order with what it
// finds. In every text "~" stands for the case's own directory.
struct Value {
    std::string key;
    const char* name;
    std::string text;
    HKEY root = HKEY_LOCAL_MACHINE;
};
struct Outcome {
    const char* order;
    const char* library; // null: nothing found
    const char* home;    // found_java_home afterwards
};
struct Case {
    const char* name;
    const char* constraints;
    std::string list;      // the explicit list
    std::string java_home; // the variable; empty: not set
    std::vector<Value> registry;
    // Below "~": a library of this launcher's machine, "!" before a name for
    // one of the other machine, "|" after it for a text file.
    std::vector<std::string> files;
    std::vector<Outcome> outcomes;
};

TEST_F(Discovery, EachLayoutIsFoundByItsStepsWithItsHome)
{
    const std::string jre = "Software\\JavaSoft\\Java Runtime Environment",
                      jdk = "Software\\JavaSoft\\Java Development Kit", ibm_jdk = "Software\\IBM\\Java Development Kit",
                      server = "bin\\server\\jvm.dll";
    const std::string deep(250 - at("r00").size() - 1, 'd'); // fits a path, not with a library name added
    const Case fixed_cases[] = {
        {"CurrentVersion first; RuntimeLib without JavaHome", "1.2.0", "", "",
         {{jre + "\\1.7", "RuntimeLib", "~\\17\\jvm.dll"}, {jre + "\\1.8", "RuntimeLib", "~\\18\\jvm.dll"},
          {jre, "CurrentVersion", "1.8"}},
         {"17\\jvm.dll", "18\\jvm.dll"}, {{"1", "~\\18\\jvm.dll", ""}}},
        {"versions failing a constraint are skipped", "1.4;<1.6", "", "",
         {{jre + "\\1.6.0", "JavaHome", "~\\16"}, {jre + "\\1.6.0", "RuntimeLib", "~\\16\\jvm.dll"},
          {jre + "\\1.5.0_22", "JavaHome", "~\\15"}, {jre + "\\1.5.0_22", "RuntimeLib", "~\\15\\jvm.dll"},
          {jre, "CurrentVersion", "1.6.0"}},
         {"16\\jvm.dll", "15\\jvm.dll"}, {{"1", "~\\15\\jvm.dll", "~\\15"}}},
        {"a candidate without library or JavaHome is skipped", "1.2.0", "", "",
         {{jre + "\\1.6", "RuntimeLib", "~\\missing\\jvm.dll"}, {jre + "\\1.7", "RuntimeLib", "~\\17\\jvm.dll"}},
         {"17\\jvm.dll"}, {{"1", "~\\17\\jvm.dll", ""}}},
        {"a library in capitals below JavaHome is found in lower case", "1.2.0", "", "",
         {{jre + "\\1.6", "JavaHome", "~\\home"}}, {"home\\readme.txt|", "home\\jre\\bin\\hotspot\\JVM.DLL"},
         {{"1", "~\\home\\jre\\bin\\hotspot\\jvm.dll", "~\\home"}}},
        {"the preferred subpath is the only library tried below JavaHome", "1.2.0", "", "",
         {{jdk + "\\1.6", "JavaHome", "~\\jdk"}}, {"jdk\\jre\\bin\\server\\jvm.dll"},
         {{"12", nullptr, ""}, {"3", "~\\jdk\\jre\\bin\\server\\jvm.dll", "~\\jdk"}}},
        {"IBM JRE: step 1 only", "1.2.0", "", "",
         {{"Software\\IBM\\Java2 Runtime Environment\\1.6", "RuntimeLib", "~\\jvm.dll"}}, {"jvm.dll"},
         {{"234", nullptr, ""}, {"1", "~\\jvm.dll", ""}}},
        {"JRockit JRE: step 1 only", "1.2.0", "", "",
         {{"Software\\JRockit\\Java Runtime Environment\\1.6", "RuntimeLib", "~\\jvm.dll"}}, {"jvm.dll"},
         {{"234", nullptr, ""}, {"1", "~\\jvm.dll", ""}}},
        {"JRockit JDK: step 2, its own VM", "1.2.0", "", "",
         {{"Software\\JRockit\\Java Development Kit\\1.6", "JavaHome", "~"}}, {"jre\\bin\\jrockit\\jvm.dll"},
         {{"134", nullptr, ""}, {"2", "~\\jre\\bin\\jrockit\\jvm.dll", "~"}}},
        {"the first explicit entry is tried below JavaHome too", "1.2.0", "custom\\jvm.dll;other\\jvm.dll", "",
         {{jdk + "\\1.6", "JavaHome", "~\\jdk"}}, {"jdk\\custom\\jvm.dll"},
         {{"02", "~\\jdk\\custom\\jvm.dll", "~\\jdk"}}},
        {"the explicit list skips missing and empty entries", "1.2.0", "~\\a\\jvm.dll;;~\\b\\jvm.dll", "", {},
         {"b\\jvm.dll"}, {{"0", "~\\b\\jvm.dll", ""}}},
        {"JAVA_HOME loses its quotes; steps run as written", "1.2.0", "~\\listed\\jvm.dll", "\"~\\jdk\"", {},
         {"jdk\\jre\\bin\\client\\jvm.dll", "listed\\jvm.dll"},
         {{"5", "~\\jdk\\jre\\bin\\client\\jvm.dll", "~\\jdk"}, {"50", "~\\jdk\\jre\\bin\\client\\jvm.dll", "~\\jdk"},
          {"05", "~\\listed\\jvm.dll", ""}, {"01234", "~\\listed\\jvm.dll", ""}}},
        // A registered runtime that passed the version check but yielded no
        // library leaves no trace in found_java_home.
        {"found_java_home is the home of the library found", "1.2.0", "~\\listed\\jvm.dll", "~\\env",
         {{jre + "\\1.6", "JavaHome", "~\\registered"}, {ibm_jdk + "\\1.6", "JavaHome", "~\\other"}},
         {"registered\\readme.txt|", "listed\\jvm.dll", "env\\jre\\bin\\client\\jvm.dll",
          "other\\jre\\bin\\classic\\jvm.dll"},
         {{"10", "~\\listed\\jvm.dll", ""}, {"15", "~\\env\\jre\\bin\\client\\jvm.dll", "~\\env"},
          {"1", nullptr, ""}, {"14", "~\\other\\jre\\bin\\classic\\jvm.dll", "~\\other"}}},
        {"paths too long for their buffer are skipped", "1.2.0",
         "~\\" + deep + "\\" + std::string(40, 'x') + ";~\\b\\jvm.dll", "~\\" + deep,
         {{jre + "\\1.6", "JavaHome", "~\\" + deep}}, {"b\\jvm.dll"},
         {{"0", "~\\b\\jvm.dll", ""}, {"5", nullptr, ""}, {"1", nullptr, ""}}},
        // A library of the other architecture could only fail to load: every
        // step passes over it, so a wrong JAVA_HOME hides no registered runtime.
        {"libraries of the other architecture are passed over", "1.2.0", "~\\wrong\\" + server, "~\\wrong",
         {{jre + "\\1.8", "JavaHome", "~\\right"}},
         {"!wrong\\jre\\bin\\client\\jvm.dll", "!wrong\\" + server, "wrong\\release|JAVA_VERSION=\"17.0.2\"\n",
          "right\\" + server},
         {{"51", "~\\right\\bin\\server\\jvm.dll", "~\\right"}, {"71", "~\\right\\bin\\server\\jvm.dll", "~\\right"},
          {"0", nullptr, ""}}},
        {"RuntimeLib of the other architecture is passed over", "1.2.0", "", "",
         {{jre + "\\1.8", "RuntimeLib", "~\\wrong\\" + server}}, {"!wrong\\" + server}, {{"1", nullptr, ""}}},
        {"step 6 takes the highest accepted version with a loadable library", "11;<21", "", "",
         {{"SOFTWARE\\JavaSoft\\JDK\\11.0.21", "JavaHome", "~\\jdk11"},
          {"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path", "~\\temurin17"},
          {"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "~\\zulu17"}, // not newer
          {"SOFTWARE\\Microsoft\\JDK\\21.0.1\\hotspot\\MSI", "Path", "~\\ms21"},     // rejected
          {"SOFTWARE\\JavaSoft\\JDK\\19", "JavaHome", "~\\jdk19"}},                  // cannot load
         {"jdk11\\" + server, "temurin17\\" + server, "zulu17\\" + server, "ms21\\" + server, "!jdk19\\" + server},
         {{"6", "~\\temurin17\\bin\\server\\jvm.dll", "~\\temurin17"}}},
        // Step 7 reads the version from the release file of JAVA_HOME (quoted,
        // with a trailing separator).
        {"step 7: release version accepted", "11", "", "\"~\\\"", {}, {server, "release|JAVA_VERSION=\"17.0.2\"\n"},
         {{"7", "~\\bin\\server\\jvm.dll", "~"}}},
        {"step 7: release version rejected", "11", "", "\"~\\\"", {},
         {"jre\\" + server, "release|JAVA_VERSION=\"1.8.0_392\"\n"}, {{"7", nullptr, ""}}},
        {"step 7: no release file, constraints", "11", "", "\"~\\\"", {}, {server}, {{"7", nullptr, ""}}},
        {"step 7: no release file, no constraints", "", "", "\"~\\\"", {}, {"bin\\client\\jvm.dll"},
         {{"7", "~\\bin\\client\\jvm.dll", "~"}}},
        {"Java 8 JDK", "1.2.0", "", "", {{"SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_392", "JavaHome", "~"}},
         {"jre\\" + server}, {{"6", "~\\jre\\bin\\server\\jvm.dll", "~"}}},
    };
    // Each registry layout of today's distributions, alone, found by step 6
    // (some with a trailing separator, as installers sometimes store it).
    const Value layouts[] = {
        {"SOFTWARE\\JavaSoft\\JDK\\17.0.2", "JavaHome", "~"},
        {"SOFTWARE\\JavaSoft\\JRE\\9.0.4", "JavaHome", "~"},
        {"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.2.8\\hotspot\\MSI", "Path", "~\\"},
        {"SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.312.7\\openj9\\EXE", "Path", "~"},
        {"SOFTWARE\\Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", "~\\"},
        {"SOFTWARE\\Semeru\\JDK\\11.0.20.8\\openj9\\MSI", "Path", "~"},
        {"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "~\\"},
        {"SOFTWARE\\BellSoft\\Liberica\\17.0.9", "InstallationPath", "~"},
        {"SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.2.13\\hotspot\\MSI", "Path", "~", HKEY_CURRENT_USER},
    };
    std::vector<Case> cases(std::begin(fixed_cases), std::end(fixed_cases));
    for (const Value& layout : layouts)
        cases.push_back(
            {"registry layout", "1.2.0", "", "", {layout}, {server}, {{"6", "~\\bin\\server\\jvm.dll", "~"}}});
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        char name[8];
        snprintf(name, sizeof name, "r%02u", static_cast<unsigned>(i));
        const std::string root = at(name);
        auto here = [&root](std::string text) {
            for (size_t at = text.find('~'); at != std::string::npos; at = text.find('~', at + root.size()))
                text.replace(at, 1, root);
            return text;
        };
        SCOPED_TRACE(c.name + std::string(": ") + (c.registry.empty() ? "" : c.registry[0].key));
        clear_registry();
        for (const Value& value : c.registry)
            set_string(value.key, value.name, here(value.text), REG_SZ, true, value.root);
        for (const std::string& file : c.files) {
            size_t bar = file.find('|');
            if (bar != std::string::npos)
                put_file(root + "\\" + file.substr(0, bar), file.c_str() + bar + 1);
            else if (file[0] == '!')
                put_file(root + "\\" + file.substr(1), nullptr, other_machine);
            else
                put_file(root + "\\" + file);
        }
        SetEnvironmentVariableA("JAVA_HOME", c.java_home.empty() ? nullptr : here(c.java_home).c_str());
        for (const Outcome& expected : c.outcomes) {
            configure(c.constraints, here(c.list));
            copy_bounded(found_java_home, sizeof found_java_home, "stale");
            EXPECT_EQ(locate(expected.order), expected.library ? here(expected.library) : "(not found)")
                << "order " << expected.order;
            EXPECT_EQ(std::string(found_java_home), here(expected.home)) << "order " << expected.order;
        }
    }
}

TEST_F(Discovery, TraceTellsWhyARuntimeWasOrWasNotTaken)
{
    std::string trace = at("trace.txt"), home = at("jdk17"), library = home + "\\bin\\server\\jvm.dll";
    ASSERT_EQ(_putenv(("ORVANE_TRACE=" + trace).c_str()), 0);
    trace_open();
    ASSERT_TRUE(trace_enabled());
    configure("17", "");
    put_file(library);
    set_string("SOFTWARE\\JavaSoft\\JDK\\17.0.2", "JavaHome", home);
    set_string("SOFTWARE\\JavaSoft\\JDK\\11.0.1", "JavaHome", at("jdk11"));
    EXPECT_EQ(locate("06"), library);
    clear_registry();
    EXPECT_EQ(locate("6"), "(not found)");
    trace_close();
    _putenv("ORVANE_TRACE=");
    std::string lines = read_file(trace);
    lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
    for (const std::string& expected : std::vector<std::string>{
             "search step '0'\n", "search step '6'\n",
             "candidate SOFTWARE\\JavaSoft\\JDK 11.0.1: rejected by the version constraints, or not newer than none\n",
             "registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17.0.2 value JavaHome: \"" + home + "\"\n",
             "candidate SOFTWARE\\JavaSoft\\JDK 17.0.2: " + home + ", library " + library + " (" +
                 pe_machine_name(launcher_machine) + "): best so far\n",
             "search step '6' found " + library + "\n", "no runtime found\n"})
        EXPECT_NE(lines.find(expected), std::string::npos) << "missing: " << expected << "in:\n" << lines;
}

// Without a runtime (here an order of no valid step, which searches nothing)
// the message names the constraints; after it the document is opened by its
// shell association and the command runs.
TEST_F(Discovery, MissingRuntimeShowsTheMessageThenOpensTheDocumentAndRunsTheCommand)
{
    configure("1.4;<1.6", "");
    launcher_config.report_missing_runtime = true;
    put_file(at("lib\\jvm.dll"));
    set_string(std::string(runtime_key_table[0]) + "\\1.5", "RuntimeLib", at("lib\\jvm.dll"));
    // A made-up document type whose "open" command copies the document.
    std::string document = at("help.orvanediscovery"), copy = at("opened.txt"), marker = at("command.txt");
    put_file(document, "document bytes");
    set_string(made_up_extension, "", "OrvaneDiscoveryDocument");
    set_string(std::string(made_up_class) + "\\shell\\open\\command", "", "cmd.exe /c copy \"%1\" \"" + copy + "\"");
    launcher_config.missing_runtime_document = copy_text(document.c_str());
    launcher_config.missing_runtime_command = copy_text(("cmd /c echo ran> \"" + marker + "\"").c_str());
    for (const char* order : {"", "x8-9"}) {
        SCOPED_TRACE(std::string("order \"") + order + "\"");
        EXPECT_EQ(locate(order, 2000), "(not found)");
        ASSERT_EQ(shown.size(), 1u) << "one message box expected (is there a display?)";
        EXPECT_EQ(shown[0].caption, "Error");
        EXPECT_EQ(shown[0].text, "Unable to locate suitable Java Runtime (min 1.4;<1.6) on this machine.");
        EXPECT_EQ(wait_for_file(copy, "document bytes"), "document bytes");
        EXPECT_EQ(wait_for_file(marker, "ran\r\n"), "ran\r\n");
        WIN32_FILE_ATTRIBUTE_DATA written;
        ASSERT_TRUE(GetFileAttributesExA(marker.c_str(), GetFileExInfoStandard, &written));
        EXPECT_GE(written.ftLastWriteTime.dwHighDateTime * 0x100000000ull + written.ftLastWriteTime.dwLowDateTime,
                  shown[0].closed)
            << "the command ran before the message was dismissed";
        shown.clear();
        DeleteFileA(copy.c_str());
        DeleteFileA(marker.c_str());
    }
}

} // namespace
