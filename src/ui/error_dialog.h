// The error dialog (dialog resource 1): the launcher's one-line message above
// a read-only box with the application's captured output.
#pragma once
#include <windows.h>

// What one dialog shows; passed as the dialog's initial parameter by
// report_error_with_details and valid while the dialog is open.
struct ErrorDialogTexts {
    const char* main_text;
    const char* details;
};

// The open dialog, or null; read by the splash so it never takes the dialog
// for the application's own window.
extern HWND error_dialog_window;

INT_PTR CALLBACK error_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Moves window to the centre of the primary screen.
void center_window(HWND window);
