// Test-suite driver for the real launcher: starts it with CreateProcessA (so
// the whole exit code is seen), finds the message boxes and dialogs its
// process shows, reads them and dismisses them as a user would.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenWindow {
    std::string caption;
    std::string text;     // a message box's text (static control 0xFFFF), or
                          // the error dialog's main text (control 1001)
    std::string details;  // the error dialog's details box (control 1002)
};

struct LaunchOptions {
    std::string arguments;          // command line after the program name
    std::string current_directory;  // empty: the driver's own
    DWORD timeout_ms = 30000;       // the launcher is killed after this
    bool share_output = false;      // the launcher writes to the driver's own output
    // Called while a box is open, before it is dismissed.
    std::function<void(const SeenWindow&, HANDLE process)> on_window;
    // Called about every 25 ms while the launcher runs, with its process id.
    std::function<void(DWORD process_id)> on_poll;
    // How each box is dismissed: the OK button, the Escape key, or the
    // window's Close command.
    enum Dismiss { press_ok, press_escape, close_window } dismiss = press_ok;
    DWORD creation_flags = 0;  // added to CreateProcessA's flags
    // When set, the launcher is created suspended and this runs with its
    // process id before it resumes.
    std::function<void(DWORD process_id)> before_resume;
};

struct LaunchOutcome {
    bool started = false;
    bool timed_out = false;
    DWORD exit_code = 0;
    std::vector<SeenWindow> windows;
};

LaunchOutcome run_launcher(const std::string& exe_path, const LaunchOptions& options);

// Reads one top-level dialog window (class "#32770").
SeenWindow read_dialog_window(HWND window);

// The visible dialog windows of a process.
std::vector<HWND> find_dialog_windows(DWORD process_id);
