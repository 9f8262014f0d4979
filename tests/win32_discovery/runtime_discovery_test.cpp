// Runtime discovery against the real registry, files and environment of the
// suite's Wine prefix. Every case clears the runtime keys before and after
// itself; the cases share a resource lock so that no two run at once.
#include "jvm/runtime_discovery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jvm/pe_machine.h"
#include "launcher/text_buffers.h"
#include "launcher/trace.h"

namespace {

const char no_runtime_template[] = "Unable to locate suitable Java Runtime (min %s) on this machine.";
const char made_up_extension[] = "Software\\Classes\\.orvanediscovery";
const char made_up_class[] = "Software\\Classes\\OrvaneDiscoveryDocument";

std::string scratch;

std::string in_scratch(const std::string& name)
{
    return scratch + "\\" + name;
}

// Creates the file (empty unless content is given) and every directory above it.
void make_file(const std::string& path, const char* content = "")
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot create " << path;
    fputs(content, file);
    fclose(file);
}

void remove_tree(const std::string& directory)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(directory + "\\" + name);
            else
                DeleteFileA((directory + "\\" + name).c_str());
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    RemoveDirectoryA(directory.c_str());
}

void clear_registry()
{
    for (const char* row : runtime_key_table)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, row);
    // Only removed when empty: nothing but the keys above lives there here.
    for (const char* vendor : {"Software\\JavaSoft", "Software\\IBM", "Software\\JRockit"})
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, vendor);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const char* vendor : {"Software\\JavaSoft\\JDK", "Software\\JavaSoft\\JRE", "Software\\Eclipse Adoptium",
                                   "Software\\Microsoft\\JDK", "Software\\Semeru", "Software\\Azul Systems",
                                   "Software\\BellSoft"})
            RegDeleteTreeA(root, vendor);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, made_up_extension);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, made_up_class);
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

// A version subkey below a row; an empty text leaves its value out.
void register_version(int row, const char* version, const std::string& java_home,
                      const std::string& runtime_lib)
{
    std::string key = std::string(runtime_key_table[row]) + "\\" + version;
    if (!java_home.empty())
        set_string(key, "JavaHome", java_home);
    if (!runtime_lib.empty())
        set_string(key, "RuntimeLib", runtime_lib);
}

// The file's first bytes once it has any, waiting up to 10 s for another process.
std::string wait_for_file(const std::string& path)
{
    char bytes[256] = {};
    for (int i = 0; i < 200 && bytes[0] == '\0'; ++i, Sleep(50)) {
        if (FILE* file = fopen(path.c_str(), "rb")) {
            fread(bytes, 1, sizeof bytes - 1, file);
            fclose(file);
        }
    }
    return bytes[0] != '\0' ? bytes : "(nothing written)";
}

// A user in front of this process's message boxes, on a second thread: notes
// each box (and whether the command's marker file existed by then) and
// dismisses it with OK. A box's caller returns only after that, so a box
// shown by a call has been noted when the call returns.
struct SeenBox {
    std::string caption, text;
    bool marker_existed;
};

struct BoxWatcher {
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
    CRITICAL_SECTION lock;
    std::vector<SeenBox> seen;
    std::string marker;

    static BOOL CALLBACK visit(HWND window, LPARAM context)
    {
        BoxWatcher* watcher = reinterpret_cast<BoxWatcher*>(context);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char class_name[32] = {}, caption[256] = {}, text[1024] = {};
        GetClassNameA(window, class_name, sizeof class_name);
        if (process != GetCurrentProcessId() || strcmp(class_name, "#32770") != 0 ||
            !IsWindowVisible(window))
            return TRUE;
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        bool marker_existed = GetFileAttributesA(watcher->marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        EnterCriticalSection(&watcher->lock);
        watcher->seen.push_back({caption, text, marker_existed});
        LeaveCriticalSection(&watcher->lock);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 200 && IsWindow(window); ++i) // note each box once
            Sleep(10);
        return FALSE;
    }
    static DWORD WINAPI run(void* context)
    {
        BoxWatcher* watcher = static_cast<BoxWatcher*>(context);
        for (; !watcher->stop; Sleep(20))
            EnumWindows(visit, reinterpret_cast<LPARAM>(watcher));
        return 0;
    }
    void start(const std::string& marker_file)
    {
        InitializeCriticalSection(&lock);
        marker = marker_file;
        stop = 0;
        thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    void finish()
    {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    std::vector<SeenBox> take()
    {
        std::vector<SeenBox> taken;
        EnterCriticalSection(&lock);
        taken.swap(seen);
        LeaveCriticalSection(&lock);
        return taken;
    }
};

BoxWatcher boxes;

class Discovery : public ::testing::Test {
protected:
    // A write past the result buffer would show in the guard behind it.
    char result[path_size] = {};
    char guard[16] = "guard-intact";

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        scratch = std::string(temp) + "orvane-discovery-" + std::to_string(GetCurrentProcessId());
        remove_tree(scratch);
        ASSERT_TRUE(CreateDirectoryA(scratch.c_str(), nullptr)) << scratch;
        clear_registry();
        SetEnvironmentVariableA("JAVA_HOME", nullptr);
        configure("1.2.0", "");
        launcher_config.report_missing_runtime = false;
        launcher_config.missing_runtime_document = copy_text("");
        launcher_config.missing_runtime_command = copy_text("");
        launcher_config.message_table[message_no_runtime] = copy_text(no_runtime_template);
        found_java_home[0] = '\0';
        preferred_jvm_subpath = nullptr;
        // Also keeps a case whose code shows an unexpected box from hanging.
        boxes.start(in_scratch("command.txt"));
    }
    void TearDown() override
    {
        EXPECT_STREQ(guard, "guard-intact") << "something wrote past the result buffer";
        boxes.finish();
        for (const SeenBox& box : boxes.take())
            ADD_FAILURE() << "unexpected message box \"" << box.caption << "\": " << box.text;
        DeleteCriticalSection(&boxes.lock);
        clear_registry();
        SetEnvironmentVariableA("JAVA_HOME", nullptr);
        remove_tree(scratch);
    }
    // Texts are heap copies, as the configuration loader makes them: the
    // explicit-list step cuts its value in place.
    static void configure(const char* constraints, const std::string& list)
    {
        launcher_config.java_version_constraints = copy_text(constraints);
        launcher_config.jvm_path_list = copy_text(list.c_str());
    }
    std::string locate(const char* order)
    {
        launcher_config.runtime_search_order = copy_text(order);
        return locate_jvm_library(result) ? result : "(not found)";
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
        {key.c_str(), "Plain", 256, 0, "C:\\jre"},
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

TEST_F(Discovery, EachRowIsSearchedUnderItsOwnVendorKey)
{
    const char* expected_keys[runtime_key_count] = {
        "Software\\JavaSoft\\Java Runtime Environment", "Software\\IBM\\Java2 Runtime Environment",
        "Software\\JRockit\\Java Runtime Environment", "Software\\JavaSoft\\Java Development Kit",
        "Software\\IBM\\Java Development Kit", "Software\\JRockit\\Java Development Kit"};
    std::string library = in_scratch("lib\\jvm.dll");
    make_file(library);
    for (int row = 0; row < runtime_key_count; ++row) {
        clear_registry();
        set_string(std::string(expected_keys[row]) + "\\1.6", "RuntimeLib", library);
        for (int searched = 0; searched < runtime_key_count; ++searched)
            EXPECT_EQ(search_registered_runtimes(result, sizeof result, searched, 1), searched == row)
                << "runtime under " << expected_keys[row] << ", row " << searched << " searched";
    }
}

TEST_F(Discovery, CurrentVersionIsTriedBeforeTheVersionSubkeys)
{
    make_file(in_scratch("17\\jvm.dll"));
    make_file(in_scratch("18\\jvm.dll"));
    register_version(0, "1.7", "", in_scratch("17\\jvm.dll"));
    register_version(0, "1.8", "", in_scratch("18\\jvm.dll"));
    set_string(runtime_key_table[0], "CurrentVersion", "1.8");
    EXPECT_EQ(locate("1"), in_scratch("18\\jvm.dll"));
}

TEST_F(Discovery, VersionsFailingAConstraintAreSkipped)
{
    configure("1.4;<1.6", "");
    make_file(in_scratch("16\\jvm.dll"));
    make_file(in_scratch("15\\jvm.dll"));
    register_version(0, "1.6.0", in_scratch("16"), in_scratch("16\\jvm.dll"));
    register_version(0, "1.5.0_22", in_scratch("15"), in_scratch("15\\jvm.dll"));
    set_string(runtime_key_table[0], "CurrentVersion", "1.6.0");
    EXPECT_EQ(locate("1"), in_scratch("15\\jvm.dll"));
    EXPECT_EQ(std::string(found_java_home), in_scratch("15"));
}

TEST_F(Discovery, RejectedVersionsLeaveFoundJavaHomeAlone)
{
    configure("1.7", "");
    make_file(in_scratch("16\\jvm.dll"));
    register_version(0, "1.6", in_scratch("16"), in_scratch("16\\jvm.dll"));
    copy_bounded(found_java_home, sizeof found_java_home, "untouched");
    EXPECT_FALSE(search_registered_runtimes(result, sizeof result, 0, 1));
    EXPECT_STREQ(found_java_home, "untouched");
}

TEST_F(Discovery, EmptyConstraintsAcceptEveryVersion)
{
    configure("", "");
    make_file(in_scratch("01\\jvm.dll"));
    register_version(1, "0.1", "", in_scratch("01\\jvm.dll"));
    EXPECT_EQ(locate("1"), in_scratch("01\\jvm.dll"));
}

TEST_F(Discovery, RuntimeLibIsTakenWithoutJavaHome)
{
    make_file(in_scratch("lib\\jvm.dll"));
    register_version(0, "1.6", "", in_scratch("lib\\jvm.dll"));
    copy_bounded(found_java_home, sizeof found_java_home, "stale");
    EXPECT_EQ(locate("1"), in_scratch("lib\\jvm.dll"));
    EXPECT_STREQ(found_java_home, "");
}

TEST_F(Discovery, CandidateWithoutLibraryOrJavaHomeIsSkipped)
{
    register_version(0, "1.6", "", in_scratch("missing\\jvm.dll"));
    char key_path[registry_text_size];
    copy_bounded(key_path, sizeof key_path, runtime_key_table[0]);
    EXPECT_FALSE(check_runtime_candidate(key_path, "1.6", result, sizeof result));
    EXPECT_EQ(std::string(key_path), std::string(runtime_key_table[0]) + "\\1.6")
        << "the key path names the version subkey afterwards";
    make_file(in_scratch("17\\jvm.dll"));
    register_version(0, "1.7", "", in_scratch("17\\jvm.dll"));
    EXPECT_EQ(locate("1"), in_scratch("17\\jvm.dll"));
}

TEST_F(Discovery, LibraryInCapitalsBelowJavaHomeIsFoundInLowerCase)
{
    make_file(in_scratch("home\\readme.txt"));
    make_file(in_scratch("home\\jre\\bin\\hotspot\\JVM.DLL"));
    register_version(0, "1.6", in_scratch("home"), "");
    EXPECT_EQ(locate("1"), in_scratch("home\\jre\\bin\\hotspot\\jvm.dll"));
    EXPECT_EQ(std::string(found_java_home), in_scratch("home"));
}

TEST_F(Discovery, PreferredSubpathIsTheOnlyLibraryTriedBelowJavaHome)
{
    make_file(in_scratch("jdk\\jre\\bin\\server\\jvm.dll"));
    register_version(3, "1.6", in_scratch("jdk"), "");
    EXPECT_EQ(locate("2"), "(not found)") << "the client library alone is tried by step 2";
    EXPECT_EQ(locate("3"), in_scratch("jdk\\jre\\bin\\server\\jvm.dll"));
}

// A library of the given machine type as far as discovery reads it: the
// headers up to the machine field.
void make_library(const std::string& path, int machine)
{
    std::string bytes(64, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = 64;
    bytes += std::string("PE\0\0", 4);
    bytes += static_cast<char>(machine & 0xff);
    bytes += static_cast<char>(machine >> 8);
    make_file(path);
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

constexpr int other_machine = launcher_machine == pe_machine_x86 ? pe_machine_x64 : pe_machine_x86;

// Each registry layout of today's distributions, alone, found by step 6.
TEST_F(Discovery, TodaysLayoutsAreFoundByStep6)
{
    struct Row {
        HKEY root;
        const char* key; // below the root, down to the key that holds the home
        const char* value;
        const char* home_suffix; // appended to the home as stored ("\\" for a trailing one)
        const char* library;     // below the home
    } rows[] = {
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\JDK\\17.0.2", "JavaHome", "", "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\JRE\\9.0.4", "JavaHome", "", "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.2.8\\hotspot\\MSI", "Path", "\\",
         "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.312.7\\openj9\\EXE", "Path", "",
         "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", "\\",
         "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Semeru\\JDK\\11.0.20.8\\openj9\\MSI", "Path", "", "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "\\",
         "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\BellSoft\\Liberica\\17.0.9", "InstallationPath", "", "bin\\server\\jvm.dll"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Development Kit\\1.8.0_392", "JavaHome", "",
         "jre\\bin\\server\\jvm.dll"},
        {HKEY_CURRENT_USER, "SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.2.13\\hotspot\\MSI", "Path", "",
         "bin\\server\\jvm.dll"},
        {HKEY_CURRENT_USER, "SOFTWARE\\JavaSoft\\JDK\\11", "JavaHome", "", "bin\\client\\jvm.dll"},
    };
    int n = 0;
    for (const Row& row : rows) {
        clear_registry();
        std::string home = in_scratch("rt" + std::to_string(n++));
        make_library(home + "\\" + row.library, launcher_machine);
        set_string(row.key, row.value, home + row.home_suffix, REG_SZ, true, row.root);
        EXPECT_EQ(locate("6"), home + "\\" + row.library) << row.key;
        EXPECT_EQ(std::string(found_java_home), home) << row.key;
    }
}

TEST_F(Discovery, Step6TakesTheHighestAcceptedVersionWithALoadableLibrary)
{
    configure("11;<21", "");
    struct Runtime {
        const char* key;
        const char* home;
        int machine;
    } runtimes[] = {
        {"SOFTWARE\\JavaSoft\\JDK\\11.0.21", "jdk11", launcher_machine},
        {"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "temurin17", launcher_machine},
        {"SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "zulu17", launcher_machine},      // not newer
        {"SOFTWARE\\Microsoft\\JDK\\21.0.1\\hotspot\\MSI", "ms21", launcher_machine}, // rejected
        {"SOFTWARE\\JavaSoft\\JDK\\19", "jdk19-other", other_machine},              // cannot load
    };
    for (const Runtime& r : runtimes) {
        make_library(in_scratch(std::string(r.home) + "\\bin\\server\\jvm.dll"), r.machine);
        const char* value = strstr(r.key, "JavaSoft") ? "JavaHome" : strstr(r.key, "Zulu") ? "InstallationPath" : "Path";
        set_string(r.key, value, in_scratch(r.home));
    }
    EXPECT_EQ(locate("6"), in_scratch("temurin17\\bin\\server\\jvm.dll"));
    EXPECT_EQ(std::string(found_java_home), in_scratch("temurin17"));
}

// A library of the other architecture could only fail to load: every step
// passes over it, so a wrong JAVA_HOME no longer hides a registered runtime.
TEST_F(Discovery, LibraryOfTheOtherArchitectureIsPassedOverByEveryStep)
{
    make_library(in_scratch("wrong\\jre\\bin\\client\\jvm.dll"), other_machine);
    make_library(in_scratch("wrong\\bin\\server\\jvm.dll"), other_machine);
    make_file(in_scratch("wrong\\release"), "JAVA_VERSION=\"17.0.2\"\n");
    SetEnvironmentVariableA("JAVA_HOME", in_scratch("wrong").c_str());
    make_library(in_scratch("right\\bin\\server\\jvm.dll"), launcher_machine);
    register_version(0, "1.8", in_scratch("right"), "");
    EXPECT_EQ(locate("51"), in_scratch("right\\bin\\server\\jvm.dll"));
    EXPECT_EQ(locate("71"), in_scratch("right\\bin\\server\\jvm.dll"));
    configure("1.2.0", in_scratch("wrong\\bin\\server\\jvm.dll"));
    EXPECT_EQ(locate("0"), "(not found)");
    clear_registry();
    register_version(0, "1.8", "", in_scratch("wrong\\bin\\server\\jvm.dll"));
    EXPECT_EQ(locate("1"), "(not found)") << "RuntimeLib of the other architecture";
}

TEST_F(Discovery, Step7ProbesJavaHomeAndChecksItsReleaseVersion)
{
    struct Row {
        const char* release; // null: no release file
        const char* constraints;
        const char* library;
        bool found;
    } rows[] = {
        {"JAVA_VERSION=\"17.0.2\"\n", "11", "bin\\server\\jvm.dll", true},
        {"JAVA_VERSION=\"1.8.0_392\"\n", "1.8", "jre\\bin\\server\\jvm.dll", true},
        {"JAVA_VERSION=\"1.8.0_392\"\n", "11", "jre\\bin\\server\\jvm.dll", false},
        {nullptr, "11", "bin\\server\\jvm.dll", false},
        {nullptr, "", "bin\\client\\jvm.dll", true},
    };
    int n = 0;
    for (const Row& row : rows) {
        std::string home = in_scratch("home" + std::to_string(n++));
        make_library(home + "\\" + row.library, launcher_machine);
        if (row.release != nullptr)
            make_file(home + "\\release", row.release);
        configure(row.constraints, "");
        SetEnvironmentVariableA("JAVA_HOME", ("\"" + home + "\\\"").c_str());
        found_java_home[0] = '\0';
        EXPECT_EQ(locate("7"), row.found ? home + "\\" + row.library : "(not found)") << home;
        EXPECT_EQ(std::string(found_java_home), row.found ? home : "") << home;
    }
}

TEST_F(Discovery, TraceTellsWhyARuntimeWasOrWasNotTaken)
{
    std::string trace = in_scratch("trace.txt");
    ASSERT_EQ(_putenv(("ORVANE_TRACE=" + trace).c_str()), 0);
    trace_open();
    ASSERT_TRUE(trace_enabled());
    configure("17", "");
    make_library(in_scratch("jdk17\\bin\\server\\jvm.dll"), launcher_machine);
    set_string("SOFTWARE\\JavaSoft\\JDK\\17.0.2", "JavaHome", in_scratch("jdk17"));
    set_string("SOFTWARE\\JavaSoft\\JDK\\11.0.1", "JavaHome", in_scratch("jdk11"));
    EXPECT_EQ(locate("06"), in_scratch("jdk17\\bin\\server\\jvm.dll"));
    clear_registry();
    EXPECT_EQ(locate("6"), "(not found)");
    trace_close();
    _putenv("ORVANE_TRACE=");
    FILE* file = fopen(trace.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char text[8192] = {};
    fread(text, 1, sizeof text - 1, file);
    fclose(file);
    std::string lines = text;
    for (const std::string& expected : std::vector<std::string>{
             "search step '0'\n", std::string("search step '6'\n"),
          "candidate SOFTWARE\\JavaSoft\\JDK 11.0.1: rejected by the version constraints, or not newer than none\n",
          "registry HKLM\\SOFTWARE\\JavaSoft\\JDK\\17.0.2 value JavaHome: \"" + in_scratch("jdk17") + "\"\n",
          "candidate SOFTWARE\\JavaSoft\\JDK 17.0.2: " + in_scratch("jdk17") + ", library " +
              in_scratch("jdk17\\bin\\server\\jvm.dll") + " (" + pe_machine_name(launcher_machine) + "): best so far\n",
          "search step '6' found " + in_scratch("jdk17\\bin\\server\\jvm.dll") + "\n", "no runtime found\n"})
        EXPECT_NE(lines.find(expected), std::string::npos) << "missing: " << expected << "in:\n" << lines;
}

// A 64-bit Java 8 has a server VM only. Its JRE is found by RuntimeLib, or
// below JavaHome by step 1's scan; its JDK by step 3, also in the shipped order.
TEST_F(Discovery, ServerOnlyJava8LayoutsAreFound)
{
    struct Row {
        int row;
        bool runtime_lib;
        const char* order;
        const char* library;
    } rows[] = {
        {0, true, "1", "jre8\\bin\\server\\jvm.dll"},
        {0, false, "1", "jre8\\bin\\server\\jvm.dll"},
        {3, false, "3", "jdk8\\jre\\bin\\server\\jvm.dll"},
        {3, false, "01234", "jdk8\\jre\\bin\\server\\jvm.dll"},
    };
    for (const Row& r : rows) {
        clear_registry();
        make_file(in_scratch(r.library));
        std::string home = in_scratch(std::string(r.library, 4));
        register_version(r.row, "1.8.0_392", home, r.runtime_lib ? in_scratch(r.library) : "");
        EXPECT_EQ(locate(r.order), in_scratch(r.library)) << "order " << r.order << ", row " << r.row;
        EXPECT_EQ(std::string(found_java_home), home) << r.library;
    }
}

TEST_F(Discovery, FirstExplicitEntryIsTriedBelowJavaHomeToo)
{
    configure("1.2.0", "custom\\jvm.dll;other\\jvm.dll");
    make_file(in_scratch("jdk\\custom\\jvm.dll"));
    register_version(3, "1.6", in_scratch("jdk"), "");
    EXPECT_EQ(locate("02"), in_scratch("jdk\\custom\\jvm.dll"));
}

TEST_F(Discovery, ExplicitListSkipsMissingAndEmptyEntries)
{
    std::string list = in_scratch("a\\jvm.dll") + ";;" + in_scratch("b\\jvm.dll");
    configure("1.2.0", list);
    make_file(in_scratch("b\\jvm.dll"));
    EXPECT_EQ(locate("0"), in_scratch("b\\jvm.dll"));
    EXPECT_EQ(std::string(launcher_config.jvm_path_list), in_scratch("a\\jvm.dll"))
        << "the list is cut in place and reads as its first entry";
}

TEST_F(Discovery, JavaHomeVariableLosesItsQuotes)
{
    make_file(in_scratch("jdk\\jre\\bin\\client\\jvm.dll"));
    SetEnvironmentVariableA("JAVA_HOME", ("\"" + in_scratch("jdk") + "\"").c_str());
    EXPECT_EQ(locate("5"), in_scratch("jdk\\jre\\bin\\client\\jvm.dll"));
    EXPECT_EQ(std::string(found_java_home), in_scratch("jdk"));
}

// A registered runtime that passed the version check but yielded no library
// leaves no trace: afterwards found_java_home is the home of the library
// found, or empty when that is unknown or nothing was found.
TEST_F(Discovery, FoundJavaHomeIsTheHomeOfTheLibraryFound)
{
    make_file(in_scratch("registered\\readme.txt"));
    make_file(in_scratch("listed\\jvm.dll"));
    make_file(in_scratch("env\\jre\\bin\\client\\jvm.dll"));
    make_file(in_scratch("other\\jre\\bin\\classic\\jvm.dll"));
    register_version(0, "1.6", in_scratch("registered"), "");
    register_version(4, "1.6", in_scratch("other"), "");
    SetEnvironmentVariableA("JAVA_HOME", in_scratch("env").c_str());
    const struct {
        const char* order;
        std::string list, library, home;
    } rows[] = {
        {"10", in_scratch("listed\\jvm.dll"), in_scratch("listed\\jvm.dll"), ""},
        {"15", "", in_scratch("env\\jre\\bin\\client\\jvm.dll"), in_scratch("env")},
        {"1", "", "(not found)", ""},
        {"14", "", in_scratch("other\\jre\\bin\\classic\\jvm.dll"), in_scratch("other")},
    };
    for (const auto& row : rows) {
        configure("1.2.0", row.list);
        EXPECT_EQ(locate(row.order), row.library) << "order " << row.order;
        EXPECT_EQ(std::string(found_java_home), row.home) << "order " << row.order;
    }
}

TEST_F(Discovery, SearchOrderRunsItsStepsAsWritten)
{
    make_file(in_scratch("jdk\\jre\\bin\\client\\jvm.dll"));
    make_file(in_scratch("listed\\jvm.dll"));
    SetEnvironmentVariableA("JAVA_HOME", in_scratch("jdk").c_str());
    configure("1.2.0", in_scratch("listed\\jvm.dll"));
    EXPECT_EQ(locate("50"), in_scratch("jdk\\jre\\bin\\client\\jvm.dll"));
    EXPECT_EQ(locate("05"), in_scratch("listed\\jvm.dll"));
    EXPECT_EQ(locate("01234"), in_scratch("listed\\jvm.dll"));
    SetEnvironmentVariableA("JAVA_HOME", nullptr);
    EXPECT_EQ(locate("5"), "(not found)");
}

TEST_F(Discovery, PathsTooLongForTheirBufferAreSkipped)
{
    // 250 characters: it fits a path buffer, but not with a library name added.
    std::string deep = in_scratch(std::string(250 - scratch.size() - 1, 'd'));
    configure("1.2.0", deep + "\\" + std::string(40, 'x') + ";" + in_scratch("b\\jvm.dll"));
    make_file(in_scratch("b\\jvm.dll"));
    EXPECT_EQ(locate("0"), in_scratch("b\\jvm.dll"));
    SetEnvironmentVariableA("JAVA_HOME", deep.c_str());
    EXPECT_EQ(locate("5"), "(not found)");
    register_version(0, "1.6", deep, "");
    EXPECT_FALSE(search_registered_runtimes(result, sizeof result, 0, 1));
    EXPECT_EQ(std::string(found_java_home), deep);
}

TEST_F(Discovery, VersionNameTooLongForTheKeyPathIsSkipped)
{
    struct {
        char key_path[registry_text_size];
        char guard[16];
    } guarded;
    copy_bounded(guarded.key_path, sizeof guarded.key_path, runtime_key_table[0]);
    copy_bounded(guarded.guard, sizeof guarded.guard, "guard-intact");
    std::string version = "1.6." + std::string(220, 'x'); // passes "1.2.0"
    EXPECT_FALSE(check_runtime_candidate(guarded.key_path, version.c_str(), result, sizeof result));
    EXPECT_STREQ(guarded.key_path, runtime_key_table[0]);
    EXPECT_STREQ(guarded.guard, "guard-intact");
}

TEST_F(Discovery, OrderWithoutStepsSearchesNothingAndReportsTheConstraints)
{
    configure("1.4;<1.6", "");
    launcher_config.report_missing_runtime = true;
    make_file(in_scratch("lib\\jvm.dll"));
    register_version(0, "1.5", "", in_scratch("lib\\jvm.dll"));
    for (const char* order : {"", "x8-9"}) {
        EXPECT_EQ(locate(order), "(not found)") << "order \"" << order << "\"";
        std::vector<SeenBox> seen = boxes.take();
        ASSERT_EQ(seen.size(), 1u)
            << "order \"" << order << "\": one message box expected (is there a display?)";
        EXPECT_EQ(seen[0].caption, "Error");
        EXPECT_EQ(seen[0].text,
                  "Unable to locate suitable Java Runtime (min 1.4;<1.6) on this machine.");
    }
}

TEST_F(Discovery, NoMessageWhenReportingIsOff)
{
    EXPECT_EQ(locate(""), "(not found)");
    EXPECT_EQ(boxes.take().size(), 0u);
}

TEST_F(Discovery, CommandRunsAfterTheMessage)
{
    std::string marker = in_scratch("command.txt");
    launcher_config.report_missing_runtime = true;
    launcher_config.missing_runtime_command = copy_text(("cmd /c echo ran> \"" + marker + "\"").c_str());
    EXPECT_EQ(locate("0"), "(not found)");
    std::vector<SeenBox> seen = boxes.take();
    ASSERT_EQ(seen.size(), 1u) << "one message box expected (is there a display?)";
    EXPECT_FALSE(seen[0].marker_existed) << "the command ran before the message";
    EXPECT_EQ(wait_for_file(marker), "ran\r\n");
}

TEST_F(Discovery, DocumentIsOpenedByItsShellAssociation)
{
    // A made-up document type whose "open" command copies the document.
    std::string document = in_scratch("help.orvanediscovery");
    std::string copy = in_scratch("opened.txt");
    make_file(document, "document bytes");
    set_string(made_up_extension, "", "OrvaneDiscoveryDocument");
    set_string(std::string(made_up_class) + "\\shell\\open\\command", "",
               "cmd.exe /c copy \"%1\" \"" + copy + "\"");
    launcher_config.missing_runtime_document = copy_text(document.c_str());
    EXPECT_EQ(locate(""), "(not found)");
    EXPECT_EQ(wait_for_file(copy), "document bytes");
}

} // namespace
