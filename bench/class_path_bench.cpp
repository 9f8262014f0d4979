// Times class-path assembly over 10,000 archives in 100 directories below one
// configured entry. Prints one line per run in milliseconds. Not a test.
#include <windows.h>

#include <cstdio>
#include <string>

#include "jvm/class_path.h"
#include "launcher/configuration.h"
#include "scenario_launcher.h"
#include "scratch_directory.h"

int main()
{
    constexpr int directories = 100;
    constexpr int archives_per_directory = 100;
    constexpr int runs = 5;
    ScratchDirectory scratch;
    if (!scratch.ready() || !CreateDirectoryA("tree", nullptr)) {
        fprintf(stderr, "class_path_bench: cannot make %s\n", scratch.path().c_str());
        return 1;
    }
    for (int d = 0; d < directories; ++d) {
        std::string directory = "tree\\dir" + std::to_string(d);
        if (!CreateDirectoryA(directory.c_str(), nullptr))
            return 1;
        for (int a = 0; a < archives_per_directory; ++a)
            if (!write_file(directory + "\\archive" + std::to_string(a) + ".jar", ""))
                return 1;
    }
    launcher_config.class_path = const_cast<char*>("tree;app.jar");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int run = 1; run <= runs; ++run) {
        GrowString class_path{};
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        bool built = build_class_path(&class_path);
        QueryPerformanceCounter(&end);
        double milliseconds = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
        printf("run %d: %.1f ms, %s, %u bytes\n", run, milliseconds, built ? "built" : "FAILED",
               static_cast<unsigned>(class_path.length));
        grow_string_free(&class_path);
    }
    launcher_config.class_path = nullptr;
    return 0;
}
