// The error dialog (dialog resource 1): the launcher's one-line message above
// a read-only box with the application's captured output.
#pragma once
#include <windows.h>

// Set by report_error_with_details for the duration of the dialog only.
extern const char* error_dialog_main_text;
extern const char* error_dialog_details;
// The open dialog, or null; read by the splash so it never takes the dialog
// for the application's own window.
extern HWND error_dialog_window;

INT_PTR CALLBACK error_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Moves window to the centre of the primary screen.
void center_window(HWND window);
