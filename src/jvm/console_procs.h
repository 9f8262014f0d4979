// The procedures the console code hands to the system.
#pragma once
#include <windows.h>

// EnumWindows callback: hides the window whose title equals the text at
// title and ends the enumeration (FALSE); TRUE for every other window.
BOOL CALLBACK hide_window_by_title(HWND window, LPARAM title);

// WH_GETMESSAGE hook: frees the console when a WM_QUIT is taken off the
// queue (not when it is only peeked at).
LRESULT CALLBACK quit_message_hook(int code, WPARAM wparam, LPARAM lparam);

// Claims the log-off event (TRUE for CTRL_LOGOFF_EVENT only), so that a
// service or a launcher on the Windows 95 family outlives the user's
// log-off; every other event goes on to the handlers installed before it.
BOOL WINAPI console_ctrl_handler(DWORD control_type);
