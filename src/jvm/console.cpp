#include "jvm/console.h"

#include <windows.h>

#include <cstdio>

#include "launcher/configuration.h"

// The WH_GETMESSAGE hook, installed once on the Windows 95 family; removed by
// the exit hook.
static HHOOK console_hook_handle = nullptr;

static BOOL WINAPI console_ctrl_handler(DWORD control_type)
{
    return control_type == CTRL_LOGOFF_EVENT ? TRUE : FALSE;
}

bool setup_console()
{
    const LauncherConfig& c = launcher_config;
    if (c.show_console && c.stdout_mode == 0 && c.stderr_mode == 0) {
        AllocConsole();
        freopen("CONIN$", "r", stdin);
        freopen("CONOUT$", "a", stdout);
        freopen("CONOUT$", "a", stderr);
    }
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
