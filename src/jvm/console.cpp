#include "jvm/console.h"
#include "jvm/console_procs.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "ui/reporting.h"

// The WH_GETMESSAGE hook, installed once on the Windows 95 family by
// setup_console; removed by the exit hook.
static HHOOK console_hook_handle = nullptr;

static void bind_standard_streams()
{
    freopen("CONIN$", "r", stdin);
    freopen("CONOUT$", "a", stdout);
    freopen("CONOUT$", "a", stderr);
}

BOOL CALLBACK hide_window_by_title(HWND window, LPARAM title)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    if (text[0] == '\0' || strcmp(text, reinterpret_cast<const char*>(title)) != 0)
        return TRUE;
    ShowWindow(window, SW_HIDE);
    ShowWindowAsync(window, SW_HIDE);
    return FALSE;
}

LRESULT CALLBACK quit_message_hook(int code, WPARAM wparam, LPARAM lparam)
{
    if (code >= 0 && wparam == PM_REMOVE && reinterpret_cast<const MSG*>(lparam)->message == WM_QUIT)
        FreeConsole();
    return CallNextHookEx(console_hook_handle, code, wparam, lparam);
}

BOOL WINAPI console_ctrl_handler(DWORD control_type)
{
    return control_type == CTRL_LOGOFF_EVENT ? TRUE : FALSE;
}

// The hidden console of the Windows 95 family: allocated while drawing on
// the desktop is frozen, so that its window never flashes up, and hidden by
// its unique title. False after a reported failure.
static bool allocate_hidden_console()
{
    if (!LockWindowUpdate(GetDesktopWindow())) {
        report_error_with_reason("Internal error RC0000022");
        return false;
    }
    AllocConsole();
    char title[32];
    snprintf(title, sizeof title, "ovc%lu", static_cast<unsigned long>(GetCurrentProcessId()));
    if (!SetConsoleTitleA(title)) {
        DWORD error = GetLastError();
        LockWindowUpdate(nullptr);
        SetLastError(error);
        report_error_with_reason("Internal error RC0000025");
        return false;
    }
    Sleep(50);
    if (EnumWindows(hide_window_by_title, reinterpret_cast<LPARAM>(title))) {
        LockWindowUpdate(nullptr);
        SetLastError(ERROR_NOT_FOUND);
        report_error_with_reason("Internal error RC0000026");
        return false;
    }
    LockWindowUpdate(nullptr);
    bind_standard_streams();
    return true;
}

bool setup_console()
{
    const LauncherConfig& c = launcher_config;
    if (c.show_console && c.stdout_mode == 0 && c.stderr_mode == 0) {
        AllocConsole();
        bind_standard_streams();
    }
    if (!non_nt_platform)
        return true;
    if ((c.stdout_mode != 0 || c.stderr_mode != 0 || service_mode) && !allocate_hidden_console())
        return false;
    // A hook for all threads would need a DLL that the system loads into
    // every process; the launcher's own thread, which goes on to run the
    // application's main, is where its quit message arrives.
    console_hook_handle = SetWindowsHookExA(WH_GETMESSAGE, quit_message_hook, nullptr, GetCurrentThreadId());
    return true;
}

void install_console_ctrl_handler()
{
    SetConsoleCtrlHandler(console_ctrl_handler, TRUE);
}

void remove_console_hook()
{
    if (console_hook_handle != nullptr)
        UnhookWindowsHookEx(console_hook_handle);
}
