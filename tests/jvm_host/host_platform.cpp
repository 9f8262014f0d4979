// Linux implementations of the Win32-backed declarations that the launcher's
// JVM-driving code needs, and the records the tests read.
#include "host_platform.h"
#include "message_templates.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/capture_pipe.h"
#include "app/output_capture.h"
#include "app/system_services.h"
#include "jvm/console.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/expansion_rules.h"
#include "launcher/start_values.h"
#include "launcher/startup.h"
#include "launcher/text_buffers.h"
#include "launcher/variable_expansion.h"
#include "service/service_runtime.h"
#include "ui/reporting.h"

// ---- records ---------------------------------------------------------------

static std::mutex record_lock;  // the JVM calls the hooks on its own threads
static std::vector<std::string> reports;
int record_fd = -1;
const char* report_marker = nullptr;

static void record_event(const char* name)
{
    if (record_fd != -1)
        dprintf(record_fd, "event: %s\n", name);
}

static int record_report(const char* kind, const std::string& text)
{
    std::string line = std::string(kind) + ": " + text;
    if (strcmp(kind, "fatal_with_output") == 0) {
        // As the launcher's report, the reader is stopped first; the
        // capture stays for the tests to read.
        stop_capture_pipe();
        lock_capture();
        line += " | details: " + std::string(captured_output, static_cast<size_t>(captured_length));
        unlock_capture();
    }
    std::lock_guard<std::mutex> hold(record_lock);
    reports.push_back(line);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    if (record_fd != -1)
        dprintf(record_fd, "report %s\n", line.c_str());
    if (report_marker != nullptr)
        dprintf(2, "%s%s\n", report_marker, line.c_str());
    return 1;
}

std::vector<std::string> recorded_reports()
{
    std::lock_guard<std::mutex> hold(record_lock);
    return reports;
}

void clear_layer_records()
{
    std::lock_guard<std::mutex> hold(record_lock);
    reports.clear();
}

// ---- app/system_services.h -------------------------------------------------

bool current_directory(char* buffer, size_t size)
{
    return getcwd(buffer, size) != nullptr;
}

bool executable_path(char* buffer, size_t size)
{
    ssize_t length = readlink("/proc/self/exe", buffer, size);
    if (length <= 0 || static_cast<size_t>(length) >= size)
        return false;
    buffer[length] = '\0';
    return true;
}

void* find_symbol(void* library, const char* name)
{
    return dlsym(library, name);
}

// The host's ANSI code page is UTF-8. Malformed text converts to nothing.
size_t ansi_to_utf16(const char* text, uint16_t* units, size_t capacity)
{
    size_t in_left = strlen(text) + 1;  // with the terminator
    std::vector<uint16_t> out(in_left);
    size_t out_left = out.size() * sizeof out[0];
    char* in = const_cast<char*>(text);
    char* to = reinterpret_cast<char*>(out.data());
    iconv_t convert = iconv_open("UTF-16LE", "UTF-8");
    size_t result = iconv(convert, &in, &in_left, &to, &out_left);
    iconv_close(convert);
    if (result == static_cast<size_t>(-1))
        return 0;
    size_t count = out.size() - out_left / sizeof out[0];
    if (units != nullptr && capacity >= count)
        std::copy(out.begin(), out.begin() + static_cast<long>(count), units);
    return count;
}

std::vector<int> unavailable_folders;

bool special_folder_path(int folder, char* buffer, size_t size)
{
    if (std::find(unavailable_folders.begin(), unavailable_folders.end(), folder) != unavailable_folders.end())
        return false;
    const char* name = folder == 26 ? "AppData/Roaming" : folder == 28 ? "AppData/Local" : "Documents";
    return copy_bounded(buffer, size, (std::string("/tmp/orvane-jvm-host/") + name).c_str());
}

// Both paths made absolute (the existing part resolved through its links),
// then compared without regard to case, as the launcher compares them.
bool paths_name_same_file(const char* first, const char* second)
{
    std::error_code ignored;
    return strcasecmp(std::filesystem::weakly_canonical(first, ignored).c_str(),
                      std::filesystem::weakly_canonical(second, ignored).c_str()) == 0;
}

static std::mutex ending_lock;

void end_launcher_process(int status)
{
    ending_lock.lock(); // never released: a second caller waits for the end
    exit(status);
}

void end_process_abnormally()
{
    fflush(stdout);
    _exit(abort_exit_code);
}

// The capture pipe of the host is a FIFO, made only when host_capture_pipe
// is set; otherwise a capture is switched off, as when the pipe cannot be
// created. The reader end is opened first, so that the Java side's open
// does not wait for a reader.
bool host_capture_pipe = false;
char output_pipe_name[256];
static int pipe_fd = -1;
static std::thread pipe_reader;
static std::atomic<bool> pipe_stopping{false};

bool create_capture_pipe()
{
    if (!host_capture_pipe)
        return false;
    snprintf(output_pipe_name, sizeof output_pipe_name, "/tmp/orvane-capture-%ld", static_cast<long>(getpid()));
    unlink(output_pipe_name);
    if (mkfifo(output_pipe_name, 0600) != 0)
        return false;
    pipe_fd = open(output_pipe_name, O_RDONLY | O_NONBLOCK);
    return pipe_fd >= 0;
}

bool capture_pipe_client_is_this_process() { return true; }

void close_capture_pipe()
{
    if (pipe_fd >= 0)
        close(pipe_fd);
    pipe_fd = -1;
    unlink(output_pipe_name);
}

// Waits for bytes; once the pipe is stopping, passes on what is queued and
// then ends.
static long read_fifo(void*, char* into, size_t room)
{
    for (;;) {
        bool stopping = pipe_stopping.load();
        pollfd ready{pipe_fd, POLLIN, 0};
        poll(&ready, 1, stopping ? 0 : 50);
        ssize_t count = read(pipe_fd, into, room);
        if (count > 0)
            return static_cast<long>(count);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return -1;
        if (stopping)
            return 0;
        if (count == 0)
            usleep(10000);  // no writer at the moment: poll does not wait then
    }
}

bool start_pipe_reader()
{
    auto append = [](const char* bytes, size_t length, void*) { capture_append(bytes, length); };
    pipe_reader = std::thread([append] { read_lines_until_end(read_fifo, nullptr, append, nullptr); });
    return true;
}

void stop_capture_pipe()
{
    if (!pipe_reader.joinable())
        return;
    pipe_stopping = true;
    pipe_reader.join();
    close_capture_pipe();
}

static std::mutex capture_mutex;
void lock_capture() { capture_mutex.lock(); }
void unlock_capture() { capture_mutex.unlock(); }

// ---- ui/reporting.h --------------------------------------------------------

bool service_mode = false;
bool reporting_enabled = true;

// A variadic reporting operation: when reporting, records its composed text
// with the suffix, which is taken first (errno, say).
#define RECORDING_REPORT(function, reporting, kind, suffix)   \
    int function(const char* format, ...)                     \
    {                                                         \
        if (!(reporting))                                     \
            return 0;                                         \
        std::string tail = suffix;                            \
        char text[report_size];                               \
        va_list args;                                         \
        va_start(args, format);                               \
        format_bounded(text, sizeof text, format, args);      \
        va_end(args);                                         \
        return record_report(kind, text + tail);              \
    }

RECORDING_REPORT(report_error, reporting_enabled, "error", "")
RECORDING_REPORT(report_error_with_reason, reporting_enabled, "error_with_reason",
                 std::string("\n\nReason: ") + strerror(errno))
RECORDING_REPORT(report_fatal_error_with_output, true, "fatal_with_output", "")
RECORDING_REPORT(report_jvm_failure_with_output, true, "fatal_with_output", "")

// ---- launcher/configuration.h ----------------------------------------------

LauncherConfig launcher_config;
char extract_dir[path_size];
char launch_directory[current_directory_size];

const char* message_text(MessageId id)
{
    return id <= message_count ? message_templates[id] : "";
}

void reset_launcher_config(const char* jvm_options, const char* main_class)
{
    LauncherConfig& c = launcher_config;
    c = LauncherConfig{};
    for (char** text : {&c.working_directory, &c.app_options, &c.static_options, &c.service_name,
                        &c.service_description, &c.stdout_file, &c.stderr_file})
        *text = copy_text("");
    c.jvm_options = copy_text(jvm_options);
    c.class_path = copy_text(ORVANE_TEST_CLASSES);
    c.main_class = copy_text(main_class);
    extract_dir[0] = '\0';
    service_mode = false;
    reporting_enabled = true;
    embedded_jar_count = 0;
}

// ---- the rest of the start-up and JVM-creation surroundings ---------------

bool apply_working_directory(bool force)
{
    const LauncherConfig& c = launcher_config;
    const char* target = !force && c.restore_launch_directory ? launch_directory : c.working_directory;
    if (target[0] == '\0' || chdir(target) == 0)
        return true;
    report_error_with_reason(message_text(message_file_access), target);
    return false;
}

bool main_working_directory(char* directory, size_t size)
{
    const LauncherConfig& c = launcher_config;
    const char* target = c.restore_launch_directory ? launch_directory : c.working_directory;
    if (c.chdir_before_jvm || target[0] == '\0')
        return false;
    char full[PATH_MAX];
    return realpath(target, full) != nullptr && copy_bounded(directory, size, full);
}

// A fixed date, time and 4 GiB of memory; the process's own environment.
char* expand_variables(const char* text)
{
    const ExpansionSources sources = {
        ORVANE_JDK_HOME,
        [](char* buffer, int capacity) { return copy_bounded(buffer, static_cast<size_t>(capacity), "20240131"); },
        [](char* buffer, int capacity) { return copy_bounded(buffer, static_cast<size_t>(capacity), "235959"); },
        [](bool) -> uint64_t { return 4ull << 30; },
        [](const char* name) -> const char* { return getenv(name); },
        64};
    return expand_with_sources(text, &sources);
}

char* prepare_output_path(const char* path)
{
    return expand_variables(path);
}

void install_console_ctrl_handler()
{
    record_event("install_console_ctrl_handler");
}

bool exit_hook_is_unexpected = false;

void remove_console_hook()
{
    record_event("remove_console_hook");
    if (exit_hook_is_unexpected) {
        // The exit hook is about to end the process, with status 0 perhaps.
        dprintf(2, "the JVM's exit hook ran in a process that must not end\n");
        _exit(97);
    }
}

int32_t embedded_jar_count = 0;

void start_jar_cleanup()
{
    record_event("start_jar_cleanup");
}

void close_instance_mutex()
{
    record_event("close_instance_mutex");
}

void hand_over_to_service_main(bool run_ok)
{
    record_event(run_ok ? "hand_over_to_service_main ok" : "hand_over_to_service_main failed");
}

// ---- test helpers ----------------------------------------------------------

static CreateJavaVmFunction jni_create_java_vm;

static jint JNICALL create_with_host_paths(JavaVM** vm, void** env, void* arguments)
{
    static const char prefix[] = "-Djava.class.path=";
    JavaVMInitArgs* init_args = static_cast<JavaVMInitArgs*>(arguments);
    for (jint i = 0; i < init_args->nOptions; ++i) {
        char* option = init_args->options[i].optionString;
        if (strncmp(option, prefix, sizeof prefix - 1) != 0)
            continue;
        for (char* p = option + sizeof prefix - 1; *p != '\0'; ++p)
            *p = *p == ';' ? ':' : *p == '\\' ? '/' : *p;
    }
    return jni_create_java_vm(vm, env, arguments);
}

std::string create_host_jvm()
{
    jvm_instance.library_path = copy_text(ORVANE_LIBJVM_PATH);
    jvm_instance.module = dlopen(jvm_instance.library_path, RTLD_NOW);
    if (jvm_instance.module == nullptr)
        return std::string("cannot load ") + ORVANE_LIBJVM_PATH + ": " + dlerror();
    if (!resolve_jni_entry_points())
        return "libjvm lacks the JNI invocation entry points";
    jni_create_java_vm = jvm_instance.create_java_vm;
    jvm_instance.create_java_vm = create_with_host_paths;
    return create_java_vm() ? "" : "create_java_vm failed";
}
