#include "launcher_driver.h"

#include <algorithm>

namespace {

std::string window_text(HWND window)
{
    if (window == nullptr)
        return std::string();
    // WM_GETTEXT reaches controls of another process, multiline edits included.
    LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

// As a user would: the Escape key goes to the focused control, where the
// dialog manager turns it into IDCANCEL.
void dismiss_window(HWND window, LaunchOptions::Dismiss how)
{
    if (how == LaunchOptions::press_escape) {
        HWND focus = GetDlgItem(window, IDOK);
        PostMessageA(focus != nullptr ? focus : window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(focus != nullptr ? focus : window, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    } else if (how == LaunchOptions::close_window) {
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
}

} // namespace

std::vector<HWND> find_dialog_windows(DWORD process_id)
{
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process_id && IsWindowVisible(window))
            found.push_back(window);
    }
    return found;
}

SeenWindow read_dialog_window(HWND window)
{
    SeenWindow seen;
    seen.caption = window_text(window);
    // The error dialog's "Details:" label has the ID 0xFFFF of a box's text.
    HWND main_text = GetDlgItem(window, 1001);
    seen.text = window_text(main_text != nullptr ? main_text : GetDlgItem(window, 0xFFFF));
    seen.details = window_text(GetDlgItem(window, 1002));
    return seen;
}

LaunchOutcome run_launcher(const std::string& exe_path, const LaunchOptions& options)
{
    LaunchOutcome outcome;
    std::string command_line = "\"" + exe_path + "\"";
    if (!options.arguments.empty())
        command_line += " " + options.arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    BOOL inherit = FALSE;
    if (options.share_output) {
        // A windowed launcher has no standard handles of its own; these let
        // what the application prints reach the driver's output.
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        inherit = TRUE;
    }
    PROCESS_INFORMATION process{};
    DWORD flags = options.creation_flags | (options.before_resume ? CREATE_SUSPENDED : 0);
    if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, inherit, flags, nullptr,
                        options.current_directory.empty() ? nullptr : options.current_directory.c_str(),
                        &startup, &process))
        return outcome;
    outcome.started = true;
    if (options.before_resume) {
        options.before_resume(process.dwProcessId);
        ResumeThread(process.hThread);
    }
    CloseHandle(process.hThread);

    std::vector<HWND> handled;
    DWORD start = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 25) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - start > options.timeout_ms) {
            outcome.timed_out = true;
            TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        if (options.on_poll)
            options.on_poll(process.dwProcessId);
        for (HWND window : find_dialog_windows(process.dwProcessId)) {
            if (std::find(handled.begin(), handled.end(), window) != handled.end())
                continue;
            // A box is read once its text is in place.
            Sleep(50);
            SeenWindow seen = read_dialog_window(window);
            outcome.windows.push_back(seen);
            if (options.on_window)
                options.on_window(seen, process.hProcess);
            handled.push_back(window);
            dismiss_window(window, options.dismiss);
        }
        // A handle of a closed box may come back for the next box.
        handled.erase(std::remove_if(handled.begin(), handled.end(),
                                     [](HWND window) { return !IsWindow(window); }),
                      handled.end());
    }
    GetExitCodeProcess(process.hProcess, &outcome.exit_code);
    CloseHandle(process.hProcess);
    return outcome;
}
