#include "ui/splash.h"

#include "launcher/configuration.h"
#include "ui/common_controls.h"
#include "ui/error_dialog.h"

HWND volatile splash_window = nullptr;

namespace {

constexpr UINT_PTR timeout_timer = 1;
constexpr UINT_PTR window_timer = 2;
constexpr DWORD splash_wait_limit_ms = 5000;

// Written once by start_splash on the start-up thread.
HANDLE splash_thread_handle = nullptr;
DWORD splash_started_at = 0;

// The splash window's own procedure, kept for forwarding; written once on
// the splash thread before the first message reaches the subclass.
WNDPROC previous_splash_proc = nullptr;
// The last visible window of this process the count found that is neither
// the splash nor the error dialog; and the count of the latest enumeration.
// Both live on the splash thread.
HWND application_window = nullptr;
int visible_window_count = 0;

using ConsoleWindowFunction = HWND(WINAPI*)();

// The console window of this process, when it has one: a console window of
// ShowConsole is not one of the application's windows. Looked up at run
// time, since the 95 family lacks the call.
HWND own_console_window()
{
    auto get_console_window = reinterpret_cast<ConsoleWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "GetConsoleWindow")));
    return get_console_window != nullptr ? get_console_window() : nullptr;
}

// EnumWindows callback: counts the visible top-level windows of the process
// whose id is process_id and remembers the application's.
BOOL CALLBACK count_process_windows(HWND window, LPARAM process_id)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != static_cast<DWORD>(process_id) || !IsWindowVisible(window) || window == own_console_window())
        return TRUE;
    ++visible_window_count;
    if (window != splash_window && window != error_dialog_window)
        application_window = window;
    return TRUE;
}

// Ends the splash: hides it, ends its loop, and brings the application's
// window, then the error dialog, to the front under a frozen desktop.
void close_splash(HWND window, UINT_PTR timer)
{
    KillTimer(window, timer);
    ShowWindow(window, SW_HIDE);
    PostMessageA(window, WM_QUIT, 0, 0);
    LockWindowUpdate(GetDesktopWindow());
    if (application_window != nullptr)
        SetForegroundWindow(application_window);
    HWND dialog = error_dialog_window;
    if (dialog != nullptr)
        SetForegroundWindow(dialog);
    LockWindowUpdate(nullptr);
}

LRESULT CALLBACK splash_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_TIMER:
        if (wparam == timeout_timer) {
            close_splash(window, timeout_timer);
        } else if (wparam == window_timer) {
            visible_window_count = 0;
            EnumWindows(count_process_windows, static_cast<LPARAM>(GetCurrentProcessId()));
            if (visible_window_count >= 2)
                close_splash(window, window_timer);
        }
        break;
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return CallWindowProcA(previous_splash_proc, window, message, wparam, lparam);
}

// Gives the window the bitmap (the static control takes its size), centres
// it on the screen, shows it and brings it to the front.
void show_splash_bitmap(HWND window, HBITMAP bitmap)
{
    SendMessageA(window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    RECT rect;
    GetWindowRect(window, &rect);
    int x = (GetSystemMetrics(SM_CXSCREEN) + rect.left - rect.right) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) + rect.top - rect.bottom) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

DWORD WINAPI splash_thread(void*)
{
    const LauncherConfig& c = launcher_config;
    HINSTANCE module = GetModuleHandleA(nullptr);
    // The same controls, in the same visual style, as before the common
    // controls were loaded on first need.
    ensure_common_controls();
    HWND window = CreateWindowExA(0, "STATIC", c.splash_text, WS_POPUP | SS_BITMAP, 0, 0, 0, 0, nullptr, nullptr,
                                  module, nullptr);
    if (window == nullptr)
        return 0; // the start-up thread sees the thread end and stops waiting
    previous_splash_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(splash_window_proc));
    splash_window = window;
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(1));
    if (bitmap != nullptr)
        show_splash_bitmap(window, bitmap);
    if (c.splash_until_app_window)
        SetTimer(window, window_timer, 500, nullptr);
    if (c.splash_timeout_seconds != 0)
        SetTimer(window, timeout_timer, static_cast<UINT>(c.splash_timeout_seconds) * 1000u, nullptr);
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

} // namespace

bool start_splash()
{
    splash_started_at = GetTickCount();
    splash_thread_handle = CreateThread(nullptr, 0, splash_thread, nullptr, 0, nullptr);
    return splash_thread_handle != nullptr;
}

bool splash_pending()
{
    if (splash_window != nullptr || splash_thread_handle == nullptr)
        return false;
    if (WaitForSingleObject(splash_thread_handle, 0) != WAIT_TIMEOUT)
        return false;
    return GetTickCount() - splash_started_at < splash_wait_limit_ms;
}
