#include "ui/error_dialog.h"

#include <cstdarg>
#include <cstdlib>

#include "app/capture_pipe.h"
#include "app/capture_rules.h"
#include "app/output_capture.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

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

// The texts of one open dialog, kept with its window, so that two reports
// open at once (the abort hook while the start-up thread's dialog is open)
// each show their own.
static const ErrorDialogTexts* dialog_texts(HWND dialog)
{
    return reinterpret_cast<const ErrorDialogTexts*>(GetWindowLongPtrA(dialog, DWLP_USER));
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
    // Drawn as text: an "&" in a path is no mnemonic.
    const ErrorDialogTexts* texts = dialog_texts(dialog);
    DrawTextA(dc, texts != nullptr ? texts->main_text : "", -1, &rect,
              DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, previous);
    EndPaint(dialog, &paint);
}

static void close_dialog(HWND dialog)
{
    EndDialog(dialog, 0);
    InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&error_dialog_window), nullptr, dialog);
}

INT_PTR CALLBACK error_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        const ErrorDialogTexts* texts = reinterpret_cast<const ErrorDialogTexts*>(lparam);
        HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513)); // IDI_ERROR
        SendDlgItemMessageA(dialog, icon_control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        ShowWindow(GetDlgItem(dialog, main_text_control), SW_HIDE);
        // The painted text is invisible to screen readers and UI
        // automation; the hidden control carries it for them.
        SetDlgItemTextA(dialog, main_text_control, texts->main_text);
        SetDlgItemTextA(dialog, details_control, texts->details);
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

// The console branch, outside the NT family: the console's screen buffer is
// the captured output. Read in chunks of rows, each row whole however wide,
// then blanked.
static void report_with_console_output(const char* main_text)
{
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        report_error_with_reason("Internal error RC0000042");
        return;
    }
    int width = info.dwSize.X;
    int height = info.dwSize.Y;
    int chunk = console_chunk_rows(width);
    CHAR_INFO* cells = static_cast<CHAR_INFO*>(malloc(sizeof(CHAR_INFO) * static_cast<size_t>(chunk) * width));
    char* row = static_cast<char*>(malloc(static_cast<size_t>(width) + 1));
    GrowString details{};
    // Without memory for the cells the report is the main text alone.
    for (int top = 0; cells != nullptr && row != nullptr && top < height;) {
        int rows = chunk < height - top ? chunk : height - top;
        SMALL_RECT region = {0, static_cast<SHORT>(top), static_cast<SHORT>(width - 1),
                             static_cast<SHORT>(top + rows - 1)};
        COORD size = {static_cast<SHORT>(width), static_cast<SHORT>(rows)};
        if (!ReadConsoleOutputA(console, cells, size, COORD{0, 0}, &region)) {
            free(cells);
            free(row);
            grow_string_free(&details);
            report_error_with_reason("Internal error RC0000023");
            return;
        }
        for (int r = 0; r < rows; ++r) {
            for (int x = 0; x < width; ++x)
                row[x] = cells[r * width + x].Char.AsciiChar;
            append_console_row(&details, row, static_cast<size_t>(width));
        }
        top += rows;
    }
    free(cells);
    free(row);
    if (details.length > 0)
        report_error_with_details(details.text, "%s", main_text);
    else
        report_error("%s", main_text);
    grow_string_free(&details);
    DWORD cell_count = static_cast<DWORD>(width) * static_cast<DWORD>(height);
    DWORD written = 0;
    if (!FillConsoleOutputCharacterA(console, ' ', cell_count, COORD{0, 0}, &written))
        report_error_with_reason("Internal error RC0000030");
    if (!FillConsoleOutputAttribute(console, info.wAttributes, cell_count, COORD{0, 0}, &written))
        report_error_with_reason("Internal error RC0000031");
}

// The pipe branch: the reader is stopped first, so that everything it read
// is in the capture, which is then taken (and emptied) in one piece.
static void report_with_captured_output(const char* main_text)
{
    stop_capture_pipe();
    char* details = static_cast<char*>(malloc(captured_output_size));
    if (details == nullptr) {
        report_error("%s", main_text);
        return;
    }
    if (take_captured_output(details) > 0)
        report_error_with_details(details, "%s", main_text);
    else
        report_error("%s", main_text);
    free(details);
}

static void report_fatal_text(const char* main_text, bool jvm_diagnostics_always)
{
    const LauncherConfig& c = launcher_config;
    bool streams_captured = c.stdout_mode != 0 || c.stderr_mode != 0;
    if (non_nt_platform) {
        if (streams_captured)
            report_with_console_output(main_text);
        else
            report_error("%s", main_text);
        return;
    }
    // Without a captured stream the capture holds only what the JVM itself
    // printed through its hook.
    if (streams_captured || jvm_diagnostics_always)
        report_with_captured_output(main_text);
    else
        report_error("%s", main_text);
}

int report_fatal_error_with_output(const char* format, ...)
{
    char main_text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(main_text, sizeof main_text, format, args);
    va_end(args);
    report_fatal_text(main_text, false);
    return 0;
}

int report_jvm_failure_with_output(const char* format, ...)
{
    char main_text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(main_text, sizeof main_text, format, args);
    va_end(args);
    report_fatal_text(main_text, true);
    return 0;
}
