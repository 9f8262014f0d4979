// Starts a launcher, prints every box or dialog it shows (then dismisses it)
// and its exit code. Used by the demo and by tests that run it from a shell.
// Usage: launcher_watch --warm-up, or launcher_watch LAUNCHER [--set ID=TEXT]... [--] [ARGUMENTS...]
// With --set, LAUNCHER is first made from the built launcher with those
// configuration values.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "launcher_driver.h"
#include "scenario_launcher.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: launcher_watch --warm-up, or LAUNCHER [--set ID=TEXT]... [--] [ARGUMENTS...]\n");
        return 2;
    }
    if (strcmp(argv[1], "--warm-up") == 0) {
        // Brings up Wine's desktop and services now, so that they do not
        // inherit the output pipes of a later test and keep them open.
        HWND window = CreateWindowExA(0, "STATIC", "warm-up", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr);
        if (window == nullptr) {
            fprintf(stderr, "launcher_watch: no window can be created (is there a display?)\n");
            return 1;
        }
        DestroyWindow(window);
        return 0;
    }
    std::map<unsigned, std::string> values;
    int i = 2;
    for (; i + 1 < argc && strcmp(argv[i], "--set") == 0 && strchr(argv[i + 1], '=') != nullptr; i += 2)
        values[static_cast<unsigned>(atoi(argv[i + 1]))] = strchr(argv[i + 1], '=') + 1;
    if (i < argc && strcmp(argv[i], "--") == 0)
        ++i;
    if (!values.empty() && !make_scenario_launcher(argv[1], values)) {
        fprintf(stderr, "launcher_watch: cannot make %s\n", argv[1]);
        return 2;
    }
    LaunchOptions options;
    options.share_output = true;
    for (int first = i; i < argc; ++i)
        options.arguments += (i > first ? " " : "") + std::string(argv[i]);
    LaunchOutcome outcome = run_launcher(argv[1], options);
    if (!outcome.started) {
        fprintf(stderr, "launcher_watch: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    for (const SeenWindow& window : outcome.windows) {
        printf("window: %s\n", window.caption.c_str());
        printf("text: %s\n", window.text.c_str());
        if (!window.details.empty())
            printf("details: %s\n", window.details.c_str());
    }
    if (outcome.timed_out)
        printf("timed out\n");
    printf("exit code: %ld\n", static_cast<long>(outcome.exit_code));
    return 0;
}
