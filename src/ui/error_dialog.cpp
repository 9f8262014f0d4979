#include "ui/error_dialog.h"

#include <cstdarg>

#include "app/output_capture.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

const char* error_dialog_main_text = nullptr;
const char* error_dialog_details = nullptr;
HWND error_dialog_window = nullptr;

static constexpr int icon_control = 1000;
static constexpr int main_text_control = 1001;
static constexpr int details_control = 1002;

void center_window(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left + 1;
    int height = rect.bottom - rect.top + 1;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(window, x, y, width, height, TRUE);
}

static void paint_main_text(HWND dialog)
{
    // The hidden static only marks where the text goes: drawn here, it gets
    // a path ellipsis that a static control would not give.
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, main_text_control), &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ScreenToClient(dialog, &corners[0]);
    ScreenToClient(dialog, &corners[1]);
    rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    DrawTextA(dc, error_dialog_main_text != nullptr ? error_dialog_main_text : "", -1, &rect,
              DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, previous);
    EndPaint(dialog, &paint);
}

static void close_dialog(HWND dialog)
{
    EndDialog(dialog, 0);
    error_dialog_window = nullptr;
}

INT_PTR CALLBACK error_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513)); // IDI_ERROR
        SendDlgItemMessageA(dialog, icon_control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        ShowWindow(GetDlgItem(dialog, main_text_control), SW_HIDE);
        SetDlgItemTextA(dialog, details_control,
                        error_dialog_details != nullptr ? error_dialog_details : "");
        center_window(dialog);
        SetForegroundWindow(dialog);
        error_dialog_window = dialog;
        return TRUE;
    }
    case WM_PAINT:
        paint_main_text(dialog);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            close_dialog(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE) {
            close_dialog(dialog);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

int report_fatal_error_with_output(const char* format, ...)
{
    char main_text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(main_text, sizeof main_text, format, args);
    va_end(args);
    if (launcher_config.stdout_mode == 0 && launcher_config.stderr_mode == 0)
        return report_error("%s", main_text);
    // What the JVM's diagnostics left in the capture is shown once.
    if (captured_output[0] != '\0') {
        int result = report_error_with_details(captured_output, "%s", main_text);
        captured_output[0] = '\0';
        captured_length = 0;
        return result;
    }
    return report_error("%s", main_text);
}
