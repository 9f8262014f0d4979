// The splash window of a launcher carrying bitmap resource 1, watched from
// outside while the launcher runs on the stand-in runtime.
#include "scenario.h"

#include <functional>

namespace {

constexpr unsigned rt_bitmap = 2;
constexpr int bitmap_width = 200;
constexpr int bitmap_height = 120;

// What the watcher saw of the splash: a top-level static bitmap window of
// the launcher's process.
struct SplashSeen {
    HWND window = nullptr;
    bool ever_visible = false;
    RECT rect{};
    DWORD shown_at = 0;
    DWORD hidden_at = 0;
    HANDLE thread = nullptr;
    bool thread_ended_while_running = false;
    DWORD app_window_at = 0;  // when the application's window was first seen visible
};

struct FindSplash {
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK find_splash(HWND window, LPARAM param)
{
    auto* find = reinterpret_cast<FindSplash*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char class_name[16] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    if (owner == find->process_id && lstrcmpiA(class_name, "Static") == 0 && (style & WS_POPUP) != 0 &&
        (style & SS_TYPEMASK) == SS_BITMAP)
        find->found = window;
    return TRUE;
}

void watch_splash(SplashSeen* seen, DWORD process_id)
{
    DWORD now = GetTickCount();
    if (seen->window == nullptr) {
        FindSplash find{process_id, nullptr};
        EnumWindows(find_splash, reinterpret_cast<LPARAM>(&find));
        seen->window = find.found;
        if (seen->window != nullptr)
            seen->thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(seen->window, nullptr));
    }
    if (seen->window != nullptr && IsWindowVisible(seen->window)) {
        if (!seen->ever_visible) {
            seen->ever_visible = true;
            seen->shown_at = now;
            GetWindowRect(seen->window, &seen->rect);
        }
    } else if (seen->ever_visible && seen->hidden_at == 0) {
        seen->hidden_at = now;
    }
    if (seen->thread != nullptr && WaitForSingleObject(seen->thread, 0) == WAIT_OBJECT_0)
        seen->thread_ended_while_running = true;
    HWND app = FindWindowA(nullptr, "Orvane test window");
    if (seen->app_window_at == 0 && app != nullptr && IsWindowVisible(app))
        seen->app_window_at = now;
}

// Runs the scenario with the splash watched into *seen.
void run_watched(Scenario& scenario, SplashSeen* seen, const std::string& arguments,
                 std::function<void(const SeenWindow&, HANDLE)> on_window = nullptr)
{
    LaunchOptions options;
    options.arguments = arguments;
    options.on_window = on_window;
    options.on_poll = [seen](DWORD process_id) { watch_splash(seen, process_id); };
    LaunchOutcome outcome = scenario.run(options);
    EXPECT_EQ(outcome.exit_code, options.on_window ? 0xFFFFFFFFu : 0u);
    if (seen->thread != nullptr)
        CloseHandle(seen->thread);
}

// A launcher of the stand-in's main class with the splash values.
Scenario& with_splash(Scenario& scenario, const char* main_class, const char* until_window, const char* seconds,
                      bool bitmap = true)
{
    scenario.use_standin(main_class).set(1031, until_window).set(1032, seconds);
    if (bitmap)
        scenario.add_resource(rt_bitmap, 1, encode_bitmap(bitmap_width, bitmap_height));
    return scenario;
}

} // namespace

// Value 1032 alone: the bitmap, centred at its size, for that many seconds;
// nothing without the bitmap or with neither value.
TEST(Splash, BitmapIsShownCentredUntilTheTimeoutAndNothingWithoutBitmapOrValues)
{
    const struct {
        const char* what;
        const char* seconds;  // value 1032
        bool bitmap;
        bool visible;
        bool window_exists;
    } rows[] = {
        {"bitmap for 1 second", "1", true, true, true},
        {"no bitmap: a hidden window whose timer still ends its thread", "1", false, false, true},
        {"1031 and 1032 both 0: no splash at all", "0", true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Scenario scenario("splash_timeout");
        with_splash(scenario, "orvane.standin.Window", "0", row.seconds, row.bitmap);
        SplashSeen seen;
        run_watched(scenario, &seen, "2500 0");
        EXPECT_EQ(seen.ever_visible, row.visible);
        EXPECT_EQ(seen.window != nullptr, row.window_exists);
        EXPECT_EQ(seen.thread_ended_while_running, row.window_exists);
        if (!row.visible)
            continue;
        EXPECT_EQ(seen.rect.right - seen.rect.left, bitmap_width);
        EXPECT_EQ(seen.rect.bottom - seen.rect.top, bitmap_height);
        EXPECT_EQ(seen.rect.left, (GetSystemMetrics(SM_CXSCREEN) - bitmap_width) / 2);
        EXPECT_EQ(seen.rect.top, (GetSystemMetrics(SM_CYSCREEN) - bitmap_height) / 2);
        ASSERT_NE(seen.hidden_at, 0u) << "the splash stayed up";
        DWORD shown_for = seen.hidden_at - seen.shown_at;
        EXPECT_GT(shown_for, 600u);
        EXPECT_LT(shown_for, 1800u);
    }
}

TEST(Splash, ClosesOnTheApplicationsFirstWindowWhichComesToTheFront)
{
    Scenario scenario("splash_app_window");
    with_splash(scenario, "orvane.standin.Window", "1", "0");
    SplashSeen seen;
    run_watched(scenario, &seen, "1500 2000");
    ASSERT_TRUE(seen.ever_visible) << "no splash was seen";
    ASSERT_NE(seen.app_window_at, 0u) << "the application's window was not seen";
    ASSERT_NE(seen.hidden_at, 0u) << "the splash stayed up";
    EXPECT_GT(seen.hidden_at - seen.shown_at, 1000u) << "closed before the application's window";
    // The window timer's 500 ms, and what a loaded machine adds.
    EXPECT_LE(seen.hidden_at - seen.app_window_at, 1000u);
    EXPECT_TRUE(scenario.record().has("window in front"));
}

TEST(Splash, ErrorBoxWhileTheSplashIsUpClosesItAndComesToTheFront)
{
    Scenario scenario("splash_error");
    with_splash(scenario, "orvane.standin.Script", "1", "0");
    SplashSeen seen;
    bool splash_hidden = false;
    bool box_in_front = false;
    run_watched(scenario, &seen, "throw", [&](const SeenWindow&, HANDLE process) {
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
    });
    EXPECT_TRUE(seen.ever_visible) << "no splash was seen";
    EXPECT_TRUE(splash_hidden) << "the splash stayed up over the error box";
    EXPECT_TRUE(box_in_front);
}
