// The splash window of a launcher carrying bitmap resource 1, watched from
// outside while the launcher runs on the stand-in runtime.
#include "scenario.h"

namespace {

constexpr int bitmap_width = 200;
constexpr int bitmap_height = 120;

// What the watcher saw of the splash: a top-level static bitmap window of
// the launcher's process.
struct SplashSeen {
    HWND window = nullptr;
    RECT rect{};
    DWORD shown_at = 0;  // 0: never seen visible
    DWORD hidden_at = 0;
    HANDLE thread = nullptr;
    bool thread_ended_while_running = false;
    DWORD app_window_at = 0;  // when the application's window was first seen visible
};

void watch_splash(SplashSeen* seen, DWORD process_id)
{
    DWORD now = GetTickCount();
    HWND window = nullptr;
    while (seen->window == nullptr && (window = FindWindowExA(nullptr, window, "Static", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        LONG style = GetWindowLongA(window, GWL_STYLE);
        if (owner == process_id && (style & WS_POPUP) != 0 && (style & SS_TYPEMASK) == SS_BITMAP) {
            seen->window = window;
            seen->thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(window, nullptr));
        }
    }
    if (seen->window != nullptr && IsWindowVisible(seen->window)) {
        if (seen->shown_at == 0) {
            seen->shown_at = now;
            GetWindowRect(seen->window, &seen->rect);
        }
    } else if (seen->shown_at != 0 && seen->hidden_at == 0) {
        seen->hidden_at = now;
    }
    if (seen->thread != nullptr && WaitForSingleObject(seen->thread, 0) == WAIT_OBJECT_0)
        seen->thread_ended_while_running = true;
    HWND app = FindWindowA(nullptr, "Orvane test window");
    if (seen->app_window_at == 0 && app != nullptr && IsWindowVisible(app))
        seen->app_window_at = now;
}

// Runs a launcher of the stand-in's main class with the splash values (and
// the bitmap when asked), watching the splash into *seen.
void run_watched(Scenario& scenario, SplashSeen* seen, const char* until_window, const char* seconds, bool bitmap,
                 LaunchOptions options)
{
    scenario.set(1031, until_window).set(1032, seconds);
    if (bitmap)
        scenario.add_resource(2, 1, encode_bitmap(bitmap_width, bitmap_height));
    options.on_poll = [seen](DWORD process_id) { watch_splash(seen, process_id); };
    LaunchOutcome outcome = scenario.run(options);
    EXPECT_EQ(outcome.exit_code, options.on_window ? 0xFFFFFFFFu : 0u);
    if (seen->thread != nullptr)
        CloseHandle(seen->thread);
}

} // namespace

// Value 1032: the bitmap, centred at its size, for that many seconds; value
// 1031: until the application's first window, which comes to the front.
// Nothing without the bitmap or with neither value.
TEST(Splash, BitmapIsShownCentredUntilTheTimeoutOrTheFirstWindowAndNothingWithoutBitmapOrValues)
{
    const struct {
        const char* what;
        const char* until_window;  // value 1031
        const char* seconds;       // value 1032
        bool bitmap;
        const char* arguments;  // Window's delay and its window's lifetime
        bool visible, window_exists;
        DWORD min_shown, max_shown;
    } rows[] = {
        {"bitmap for 1 second", "0", "1", true, "2500 0", true, true, 600, 1800},
        {"until the first window", "1", "0", true, "1500 2000", true, true, 1000, 10000},
        {"no bitmap: a hidden window whose timer still ends its thread", "0", "1", false, "2500 0", false, true},
        {"1031 and 1032 both 0: no splash at all", "0", "0", true, "2500 0", false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Scenario scenario("splash");
        scenario.use_standin("orvane.standin.Window");
        SplashSeen seen;
        LaunchOptions options;
        options.arguments = row.arguments;
        run_watched(scenario, &seen, row.until_window, row.seconds, row.bitmap, options);
        EXPECT_EQ(seen.shown_at != 0, row.visible);
        EXPECT_EQ(seen.window != nullptr, row.window_exists);
        EXPECT_EQ(seen.thread_ended_while_running, row.window_exists);
        if (!row.visible)
            continue;
        EXPECT_EQ(seen.rect.right - seen.rect.left, bitmap_width);
        EXPECT_EQ(seen.rect.bottom - seen.rect.top, bitmap_height);
        EXPECT_EQ(seen.rect.left, (GetSystemMetrics(SM_CXSCREEN) - bitmap_width) / 2);
        EXPECT_EQ(seen.rect.top, (GetSystemMetrics(SM_CYSCREEN) - bitmap_height) / 2);
        ASSERT_NE(seen.hidden_at, 0u) << "the splash stayed up";
        EXPECT_GT(seen.hidden_at - seen.shown_at, row.min_shown);
        EXPECT_LT(seen.hidden_at - seen.shown_at, row.max_shown);
        if (*row.until_window == '0')
            continue;
        ASSERT_NE(seen.app_window_at, 0u) << "the application's window was not seen";
        // The window timer's 500 ms, and what a loaded machine adds.
        EXPECT_LE(seen.hidden_at - seen.app_window_at, 1000u);
        EXPECT_TRUE(scenario.record().has("window in front"));
    }
}

TEST(Splash, ErrorBoxWhileTheSplashIsUpClosesItAndComesToTheFront)
{
    Scenario scenario("splash_error");
    scenario.use_standin("orvane.standin.Script");
    SplashSeen seen;
    bool splash_hidden = false;
    bool box_in_front = false;
    LaunchOptions options;
    options.arguments = "throw";
    options.on_window = [&](const SeenWindow&, HANDLE process) {
        // Watched for a while before the box is dismissed; tests run side by
        // side, so the box counts as in front once it was seen there.
        for (int i = 0; i < 40; ++i) {
            Sleep(30);
            HWND front = GetForegroundWindow();
            char class_name[16] = "";
            GetClassNameA(front, class_name, sizeof class_name);
            DWORD owner = 0;
            GetWindowThreadProcessId(front, &owner);
            box_in_front = box_in_front || (strcmp(class_name, "#32770") == 0 && owner == GetProcessId(process));
        }
        splash_hidden = seen.window != nullptr && !IsWindowVisible(seen.window);
    };
    run_watched(scenario, &seen, "1", "0", true, options);
    EXPECT_NE(seen.shown_at, 0u) << "no splash was seen";
    EXPECT_TRUE(splash_hidden) << "the splash stayed up over the error box";
    EXPECT_TRUE(box_in_front);
}
