// orvane-pack on the build machine: a launcher packed from an application
// file carries what the file says, read back with the packer's own reader;
// --show gives a file that packs to the same resources; every mistake is
// refused with its place and nothing is written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_file.h"
#include "expect_rows.h"
#include "pe_resources.h"
#include "resource_formats.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

Bytes read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ResourceMap resources_of(const fs::path& path)
{
    PeImage image;
    ResourceMap resources;
    std::string error;
    EXPECT_TRUE(read_pe_image(read(path), &image, &error) && read_resources(image, &resources, &error))
        << path << ": " << error;
    return resources;
}

const ResourceData* find(const ResourceMap& resources, uint16_t type, uint16_t name)
{
    for (const auto& [key, data] : resources)
        if (!key.type.named && key.type.id == type && !key.name.named && key.name.id == name)
            return &data;
    return nullptr;
}

std::string stored(const ResourceMap& resources, unsigned id)
{
    const ResourceData* block = find(resources, rt_string, static_cast<uint16_t>(id / 16 + 1));
    std::u16string entries[16];
    if (block == nullptr || !decode_string_block(block->bytes, entries))
        return "<missing>";
    return utf8_of(entries[id % 16]);
}

// A 2 x 1 pixel, 24-bit BMP.
std::string small_bmp()
{
    const unsigned char bytes[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                   40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 255, 255, 0, 0, 0, 0};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

struct Workspace {
    fs::path dir;
    explicit Workspace(const std::string& name)
        : dir(fs::temp_directory_path() / ("orvane-pack-" + name + "-" + std::to_string(getpid())))
    {
        fs::remove_all(dir);
        fs::create_directories(dir / "lib");
        write(dir / "lib/one.jar", "first jar");
        write(dir / "lib/two.jar", std::string(70000, 'x'));
        write(dir / "splash.bmp", small_bmp());
        fs::copy_file(ORVANE_SOURCE_DIR "/res/orvane.ico", dir / "app.ico");
    }
    ~Workspace() { fs::remove_all(dir); }
};

const char* const templates[] = {ORVANE_SOURCE_DIR "/build/windows/orvane.exe",
                                 ORVANE_SOURCE_DIR "/build/windows64/orvane.exe"};

const char* const full_file = R"(output = "app.exe"
[runtime]
java_version_constraints = ["1.8.0", "!1.9"]
jvm_options = ["-Xmx256m", "-Dhome=%APPDATA%\\app", "-Dtitle=Hello World", "-Dq=\"x\"", ""]
report_missing_runtime = false
[application]
main_class = "com.example.Main"
class_path = ["lib", "extra/a b.jar"]
static_options = ["--first", "two words"]
priority_index = 5
[streams]
stdout_mode = 1
stdout_append = true
[service]
service_name = "AppService"
service_only = true
[splash]
splash_text = "Loading\nplease wait"
bitmap = "splash.bmp"
[instance]
allow_multiple_instances = false
[embed]
jars = ["lib/*.jar"]
extract_dir_mode = 1
[icon]
file = "app.ico"
[version]
file_version = "2.3.4.5"
product_version = "2.3"
product_name = "Hello App"
company_name = "Example Ltd."
legal_copyright = "(c) Example"
[manifest]
dpi_awareness = "per_monitor_v2"
utf8_code_page = true
execution_level = "requireAdministrator"
)";

} // namespace

TEST(Pack, LauncherCarriesTheFileAndShowPacksBackToTheSameResources)
{
    for (const char* launcher : templates) {
        SCOPED_TRACE(launcher);
        Workspace work("full");
        write(work.dir / "app.toml", std::string("template = \"") + launcher + "\"\n" + full_file);
        std::string errors;
        ASSERT_TRUE(pack_application((work.dir / "app.toml").string(), "", &errors)) << errors;
        ResourceMap shipped = resources_of(launcher), packed = resources_of(work.dir / "app.exe");

        // The options, class path, static options, main class, jars' contents,
        // bitmap and version numbers packed take effect in the packed-launcher
        // tier under Wine.
        expect_rows<unsigned, std::string>({
            {1001, "1.8.0;!1.9"},
            {1039, "0"},
            {1033, "5"},
            {1025, "1"},
            {1042, "1"},
            {1017, "AppService"},
            {1034, "1"},
            {1030, "Loading\\nplease wait"},
            {1029, "0"},
            {1007, "1"},
            {1002, "<null>"},  // unset keys keep the template's
            {1005, "01234"},
        }, [&](unsigned id) { return stored(packed, id); });
        EXPECT_EQ(stored(packed, 1), stored(shipped, 1)) << "the messages are kept";

        std::vector<EmbeddedFile> jars;
        ASSERT_TRUE(find(packed, rt_rcdata, 1) && decode_embedded_jars(find(packed, rt_rcdata, 1)->bytes, &jars));
        ASSERT_EQ(jars.size(), 2u);
        EXPECT_EQ(jars[0].name, "one.jar");
        EXPECT_EQ(jars[1].data.size(), 70000u);
        EXPECT_GT(jars[0].file_time, file_time_of(1600000000, 0)) << "the file's own time";
        EXPECT_EQ(icon_group_ids(find(packed, rt_group_icon, 1)->bytes).size(), 2u);

        VersionNode version;
        std::string error;
        ASSERT_TRUE(decode_version_block(find(packed, rt_version, 1)->bytes, &version, &error)) << error;
        EXPECT_EQ(version_string(version, "OriginalFilename"), "orvane.exe") << "other strings are kept";
        const Bytes& manifest = find(packed, rt_manifest, 1)->bytes;
        const Bytes& shipped_manifest = find(shipped, rt_manifest, 1)->bytes;
        for (const char* part : {"level=\"requireAdministrator\"", ">PerMonitorV2<", ">UTF-8<", "Common-Controls"})
            EXPECT_NE(std::string(manifest.begin(), manifest.end()).find(part), std::string::npos) << part;
        EXPECT_NE(std::string(shipped_manifest.begin(), shipped_manifest.end()).find("level=\"asInvoker\""),
                  std::string::npos) << "the shipped launcher asks for no elevation";

        // --show, then pack: every resource the same, the untouched ones as shipped.
        std::string shown;
        ASSERT_TRUE(show_launcher((work.dir / "app.exe").string(), &shown, &errors)) << errors;
        write(work.dir / "shown.toml", shown);
        ASSERT_TRUE(pack_application((work.dir / "shown.toml").string(), (work.dir / "again.exe").string(), &errors))
            << errors << shown;
        EXPECT_TRUE(resources_of(work.dir / "again.exe") == packed) << shown;
        for (const auto& [key, data] : shipped) {
            bool changed = !key.type.named && (key.type.id == rt_string || key.type.id == rt_icon ||
                                               key.type.id == rt_group_icon || key.type.id == rt_version ||
                                               key.type.id == rt_manifest);
            if (!changed)
                EXPECT_TRUE(packed.count(key) && packed.at(key).bytes == data.bytes) << "type " << key.type.id;
        }
        // The shipped launcher shows and packs back to itself, byte for byte.
        ASSERT_TRUE(show_launcher(launcher, &shown, &errors)) << errors;
        write(work.dir / "shipped.toml", shown);
        ASSERT_TRUE(pack_application((work.dir / "shipped.toml").string(), (work.dir / "same.exe").string(), &errors))
            << errors;
        EXPECT_TRUE(resources_of(work.dir / "same.exe") == shipped) << shown;
    }
}

TEST(Pack, MistakesAreNamedWithTheirPlaceAndNothingIsWritten)
{
    const std::string head = std::string("template = \"") + templates[1] + "\"\noutput = \"app.exe\"\n";
    const struct {
        std::string file;
        std::string message;
    } rows[] = {
        {head + "[streams]\nstdout_mod = 1\n", "app.toml:4:1: unknown key stdout_mod in [streams]; did you mean [streams] stdout_mode?"},
        {head + "[application]\nstdout_mode = 1\n", "app.toml:4:1: unknown key stdout_mode in [application]; did you mean [streams] stdout_mode?"},
        {head + "archtecture = \"x64\"\n", "app.toml:3:1: unknown key archtecture; did you mean architecture?"},
        {head + "[application]\npriority_index = 6\n", "app.toml:4:18: priority_index must be between 0 and 5, not 6"},
        {head + "[embed]\nextract_dir_mode = -1\n", "extract_dir_mode must be between 0 and 2, not -1"},
        {head + "[instance]\nallow_multiple_instances = \"yes\"\n", "app.toml:4:28: allow_multiple_instances must be true or false"},
        {head + "[runtime]\njvm_options = [\"-Xmx1g\", 5]\n", "app.toml:4:26: jvm_options must be an array of strings"},
        {head + "[runtime]\njvm_options = [\"-Dx=C:\\\\dir\\\\\"]\n", "app.toml:4:16: jvm_options element \"-Dx=C:\\dir\\\" cannot stay one option"},
        {head + "[runtime]\njvm_options = [\"-Dx=C:\\\\dir\\\\ sub\"]\n", "app.toml:4:16: jvm_options element \"-Dx=C:\\dir\\ sub\" cannot stay one option"},
        {head + "[runtime]\njvm_options = [\"ok\", 'a\\\"b']\n", "app.toml:4:22: jvm_options element \"a\\\"b\" cannot stay one option"},
        {head + "[application]\nclass_path = [\"a;b\"]\n", "class_path element \"a;b\" must be non-empty and hold no \";\""},
        {head + "[application]\nmain_class = \"Qw7\"\n", "app.toml:4:14: main class \"Qw7\" cannot be stored"},
        {head + "[embed]\njars = [\"missing.jar\"]\n", "app.toml:4:9: jar missing.jar does not exist"},
        {head + "[embed]\njars = [\"none/*.jar\"]\n", "no file matches the jar pattern none/*.jar"},
        {head + "[embed]\njars = [\"lib/one.jar\", \"other/one.jar\"]\n", "two embedded jars are named one.jar"},
        {head + "[icon]\nfile = \"missing.ico\"\n", "app.toml:4:8: icon"},
        {head + "[icon]\nfile = \"splash.bmp\"\n", "icon: not an ICO file"},
        {head + "[splash]\nbitmap = \"app.ico\"\n", "bitmap: not a BMP file"},
        {head + "[service]\nservice_only = true\n", "app.toml:4:16: a service-only launcher needs a service name"},
        {head + "[version]\nfile_version = \"1.x\"\n", "file_version must be a string of one to four numbers"},
        {head + "[manifest]\nexecution_level = \"highestAvailable\"\n", "execution_level must be one of \"asInvoker\", \"requireAdministrator\""},
        {"architecture = \"arm\"\noutput = \"app.exe\"\n", "app.toml:1:16: architecture must be \"x86\" or \"x64\""},
        {std::string("template = \"") + templates[1] + "\"\noutput = \"" + templates[1] + "\"\n", "is the template itself"},
        {"template = \"splash.bmp\"\noutput = \"app.exe\"\n", "splash.bmp: not a Windows executable"},
        {"output = \"app.exe\"\n", "no template"},
        {head + "[runtime\n", "app.toml:3:9:"},
        {head + "[sign]\ncertificate = \"splash.bmp\"\n", "[sign] needs key"},
    };
    Workspace work("mistakes");
    fs::create_directories(work.dir / "other");
    write(work.dir / "other/one.jar", "same name");
    for (const auto& row : rows) {
        write(work.dir / "app.toml", row.file);
        std::string errors;
        EXPECT_FALSE(pack_application((work.dir / "app.toml").string(), "", &errors)) << row.file;
        EXPECT_NE(errors.find(row.message), std::string::npos) << "got: " << errors << "for:\n" << row.file;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_FALSE(fs::exists(work.dir / "app.exe")) << row.file;
        EXPECT_EQ(std::distance(fs::directory_iterator(work.dir), fs::directory_iterator()), 5) << "a file was left";
    }
}

TEST(Pack, RefusesExecutablesThatAreNotUnsignedLaunchersOfOurs)
{
    Workspace work("refused");
    Bytes launcher = read(templates[0]);
    PeImage image;
    std::string error;
    ASSERT_TRUE(read_pe_image(launcher, &image, &error)) << error;
    // A signature: the certificate directory (entry 4) is set.
    Bytes signed_file = launcher;
    size_t security = image.optional_header + 96 + 8 * 4 + 4;
    signed_file[security] = 8;
    EXPECT_FALSE(read_pe_image(signed_file, &image, &error));
    EXPECT_NE(error.find("signature"), std::string::npos) << error;
    // A PE of another program: the test's own template without our values.
    ResourceMap resources;
    ASSERT_TRUE(read_pe_image(launcher, &image, &error) && read_resources(image, &resources, &error));
    resources.erase(resources.begin(), resources.end());
    ASSERT_TRUE(write_resources(&image, resources, &error)) << error;
    write(work.dir / "other.exe", std::string(image.file.begin(), image.file.end()));
    write(work.dir / "app.toml", "template = \"other.exe\"\noutput = \"app.exe\"\n");
    EXPECT_FALSE(pack_application((work.dir / "app.toml").string(), "", &error));
    EXPECT_NE(error.find("not an Orvane launcher"), std::string::npos) << error;
}

TEST(Pack, SignsWithOsslsigncodeOrSaysItIsMissing)
{
    Workspace work("sign");
    write(work.dir / "cert.pem", "certificate");
    write(work.dir / "key.pem", "key");
    write(work.dir / "app.toml", std::string("template = \"") + templates[1] +
                                     "\"\noutput = \"app.exe\"\n[sign]\ncertificate = \"cert.pem\"\nkey = \"key.pem\"\n");
    std::string path = getenv("PATH");
    // Without the tool: one clear message, nothing written.
    fs::create_directories(work.dir / "bin");
    setenv("PATH", (work.dir / "bin").c_str(), 1);
    std::string errors;
    EXPECT_FALSE(pack_application((work.dir / "app.toml").string(), "", &errors));
    EXPECT_NE(errors.find("app.toml:3:1: [sign] asks for signing, but osslsigncode is not installed"), std::string::npos)
        << errors;
    EXPECT_FALSE(fs::exists(work.dir / "app.exe"));
    // With a stand-in tool that records its arguments and copies -in to -out.
    write(work.dir / "bin/osslsigncode", "#!/bin/sh\n[ \"$1\" = --version ] && exit 0\necho \"$@\" >\"" +
                                             (work.dir / "args.txt").string() +
                                             "\"\nwhile [ $# -gt 1 ]; do case $1 in -in) i=$2;; -out) o=$2;; esac; shift; done\n"
                                             "/bin/cp \"$i\" \"$o\"\n");
    fs::permissions(work.dir / "bin/osslsigncode", fs::perms::owner_all);
    bool packed = pack_application((work.dir / "app.toml").string(), "", &errors);
    setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(packed) << errors;
    std::ifstream args(work.dir / "args.txt");
    std::string line;
    std::getline(args, line);
    EXPECT_EQ(line.rfind("sign -certs " + (work.dir / "cert.pem").string() + " -key " + (work.dir / "key.pem").string(), 0), 0u)
        << line;
    EXPECT_EQ(resources_of(work.dir / "app.exe"), resources_of(templates[1]));
    EXPECT_FALSE(fs::exists(work.dir / "app.exe.orvane-pack.tmp"));
}
