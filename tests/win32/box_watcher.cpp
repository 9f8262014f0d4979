#include "box_watcher.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "launcher_driver.h"

namespace {

SeenBox read_box(HWND box)
{
    SeenWindow window = read_dialog_window(box);
    SeenBox seen{window.caption, window.text};
    seen.owned = GetWindow(box, GW_OWNER) != nullptr;
    // Windows of tests running beside this one may take the foreground for
    // a moment: a box that comes to the front at all within a second counts.
    for (int i = 0; i <= 20 && !seen.foreground; ++i, Sleep(50))
        seen.foreground = GetForegroundWindow() == box;
    seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 1088, STM_GETICON, 0, 0));
    return seen;
}

} // namespace

WatchedCall call_watching_boxes(const std::function<int()>& call, DWORD hold)
{
    WatchedCall watched{};
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        std::vector<HWND> handled;
        while (!done) {
            for (HWND box : find_dialog_windows(GetCurrentProcessId())) {
                if (std::find(handled.begin(), handled.end(), box) != handled.end())
                    continue;
                SeenBox seen = read_box(box);
                Sleep(hold);
                FILETIME now;
                GetSystemTimeAsFileTime(&now);
                seen.closed = static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
                watched.boxes.push_back(seen);
                handled.push_back(box);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            // A closed box's handle may come back for a later box.
            handled.erase(std::remove_if(handled.begin(), handled.end(), [](HWND w) { return !IsWindow(w); }),
                          handled.end());
            Sleep(10);
        }
    });
    watched.result = call();
    done = true;
    watcher.join();
    return watched;
}
