// orvane-host-run APP.toml [ARGUMENT...]: the launcher's start of a Java
// application, run on Linux against the build machine's libjvm, so that a
// real program can be compared with the JDK's own java command. The
// configuration comes from an application file of orvane-pack; its directory
// plays the executable's directory. Nothing of its own is printed on success:
// the launcher's reports go to standard error, one line each, marked.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "app/capture_pipe.h"
#include "app/main_invocation.h"
#include "app/output_capture.h"
#include "app/shutdown.h"
#include "app/system_services.h"
#include "app_file.h"
#include "host_platform.h"
#include "launcher/config_values.h"
#include "launcher/configuration.h"
#include "launcher/start_values.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

namespace {

// The shipped launcher's values, from the resource script: a key the
// application file leaves out keeps them, as a packed launcher does.
std::map<unsigned, std::string> shipped_values()
{
    std::map<unsigned, std::string> values;
    std::ifstream script(ORVANE_RESOURCE_SCRIPT);
    const std::regex entry(R"re(^\s*(10[0-4][0-9]),\s*"(.*)"\s*$)re");
    std::string line;
    std::smatch match;
    while (std::getline(script, line))
        if (std::regex_match(line, match, entry))
            values[static_cast<unsigned>(std::stoul(match[1]))] = match[2];
    return values;
}

// The fields the JVM-driving code reads, filled as load_configuration fills
// them from the string table.
void load_values(const std::map<unsigned, std::string>& values)
{
    reset_launcher_config("", "");
    LauncherConfig& c = launcher_config;
    auto text = [&](unsigned id) {
        auto found = values.find(id);
        return copy_text(found == values.end() || found->second == "<null>" ? "" : found->second.c_str());
    };
    auto boolean = [&](unsigned id) { return config_boolean(text(id)); };
    auto integer = [&](unsigned id) { return config_integer(text(id)); };
    c.jvm_options = text(config_jvm_options);
    c.class_path = text(config_class_path);
    c.working_directory = text(config_working_directory);
    c.app_options = text(config_app_options);
    c.chdir_before_jvm = boolean(config_chdir_before_jvm);
    c.restore_launch_directory = boolean(config_restore_launch_directory);
    c.static_options = text(config_static_options);
    c.stdout_mode = integer(config_stdout_mode);
    c.stderr_mode = integer(config_stderr_mode);
    c.stdout_file = text(config_stdout_file);
    c.stderr_file = text(config_stderr_file);
    c.stdout_append = boolean(config_stdout_append);
    c.stderr_append = boolean(config_stderr_append);
    char descrambled[main_class_max_length + 1];
    descramble_main_class(text(config_scrambled_main_class), descrambled);
    for (char* p = descrambled; *p != '\0'; ++p)
        if (*p == '.')
            *p = '/';
    c.main_class = copy_text(descrambled);
}

// ORVANE_HOST_RUN_CAPTURE=FILE: the capture's text at the end of the process
// goes to FILE, for the comparison with what java printed.
const char* capture_file = nullptr;

void write_capture()
{
    stop_capture_pipe();
    static char text[captured_output_size];
    size_t length = take_captured_output(text);
    std::ofstream(capture_file, std::ios::binary).write(text, static_cast<std::streamsize>(length));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: orvane-host-run APP.toml [ARGUMENT...]\n");
        return 2;
    }
    std::map<unsigned, std::string> values = shipped_values();
    std::map<unsigned, std::string> file_values;
    std::string errors;
    if (!read_application_values(argv[1], &file_values, &errors)) {
        fputs(errors.c_str(), stderr);
        return 2;
    }
    for (const auto& [id, text] : file_values)
        values[id] = text;
    report_marker = "orvane-report: ";
    capture_file = getenv("ORVANE_HOST_RUN_CAPTURE");
    if (capture_file != nullptr) {
        host_capture_pipe = true;
        atexit(write_capture);
    }

    // The application file's directory is the executable's.
    if (!current_directory(launch_directory, sizeof launch_directory))
        return 2;
    std::string app_file = argv[1];
    size_t slash = app_file.rfind('/');
    if (slash != std::string::npos && chdir(app_file.substr(0, slash + 1).c_str()) != 0)
        return 2;
    load_values(values);

    // The launcher's creation without its Windows-only steps (platform,
    // console window, runtime search): the library is the build machine's.
    if (launcher_config.chdir_before_jvm && !apply_working_directory(true))
        return -1;
    std::string failure = create_host_jvm();
    if (!failure.empty()) {
        fprintf(stderr, "orvane-report: %s\n", failure.c_str());
        return -1;
    }
    if (!run_main_class(MainInvocation{{argc - 2, argv + 2}, false}))
        return -1;
    shutdown_jvm();
    return 0;
}
