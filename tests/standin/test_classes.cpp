// The main classes the test suite starts, written in C++ inside the
// stand-in. Each is public static void main(String[]).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "invocation.h"
#include "java_methods.h"
#include "record.h"
#include "threads.h"

// The arguments of a main call as texts; a null element reads "null".
static std::vector<std::wstring> main_arguments(const jvalue* args)
{
    std::vector<std::wstring> texts;
    Object* array = reinterpret_cast<Object*>(args[0].l);
    if (array != nullptr)
        for (Object* element : array->elements)
            texts.push_back(element != nullptr ? element->text : L"null");
    return texts;
}

// The argument as a number, as C's atoi reads it, or the fallback when there is none.
static int number_argument(const std::vector<std::wstring>& arguments, int fallback)
{
    return arguments.empty() ? fallback : atoi(narrow(arguments[0]).c_str());
}

// orvane.standin.Print: the arguments, one a line.
void print_main(JavaThread*, const jvalue* args, jvalue*)
{
    std::vector<std::wstring> arguments = main_arguments(args);
    for (size_t i = 0; i < arguments.size(); ++i)
        print_line(system_stream(false), L"argument " + std::to_wstring(i) + L": " + arguments[i]);
}

// orvane.demo.Hello, the demo the launcher ships with: a greeting, then as Print.
void hello_main(JavaThread* thread, const jvalue* args, jvalue* result)
{
    print_line(system_stream(false), L"Hello from orvane.demo.Hello");
    print_main(thread, args, result);
}

// Set by a main call of orvane.standin.Wait with the argument "stop"; lives as long as the DLL.
static HANDLE wait_stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
static const DWORD wait_limit_ms = 60000;

// orvane.standin.Wait: blocks until another main call of the class passes
// "stop", as a service's stop arguments do, or until the limit has passed.
void wait_main(JavaThread*, const jvalue* args, jvalue*)
{
    std::vector<std::wstring> arguments = main_arguments(args);
    if (arguments.size() == 1 && arguments[0] == L"stop") {
        SetEvent(wait_stop_event);
        return;
    }
    WaitForSingleObject(wait_stop_event, wait_limit_ms);
    record_event("wait ended");
}

struct TarryWork {
    JavaThread* thread;
    DWORD sleep_ms;
    HMODULE module;   // a reference on this DLL, held while the thread runs
};

// The thread orvane.standin.Tarry starts. It holds its own reference on
// the DLL, so that a launcher that unloads the JVM after DestroyJavaVM
// returned does not unmap the code this thread is still leaving.
static DWORD WINAPI tarry_thread(void* parameter)
{
    TarryWork* work = static_cast<TarryWork*>(parameter);
    make_current_thread(work->thread);
    Sleep(work->sleep_ms);
    record_event("linger done");
    end_java_thread(work->thread);
    HMODULE module = work->module;
    delete work;
    FreeLibraryAndExitThread(module, 0);
}

// orvane.standin.Tarry: starts a non-daemon Java thread that sleeps for
// the first argument's milliseconds (1000 without one), then records
// "linger done"; main returns at once.
void tarry_main(JavaThread*, const jvalue* args, jvalue*)
{
    TarryWork* work = new TarryWork();
    work->sleep_ms = static_cast<DWORD>(number_argument(main_arguments(args), 1000));
    work->thread = register_java_thread("Thread-0", false);
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&tarry_thread),
                       &work->module);
    HANDLE started = CreateThread(nullptr, 0, tarry_thread, work, 0, nullptr);
    if (started == nullptr)
        fail_loudly("stand-in JVM: orvane.standin.Tarry cannot start its thread");
    CloseHandle(started);
}

// orvane.standin.Signal: sets the named event that ORVANE_STANDIN_SIGNAL
// names, so a benchmark sees the moment main is entered.
void signal_main(JavaThread*, const jvalue*, jvalue*)
{
    char name[256];
    DWORD length = GetEnvironmentVariableA("ORVANE_STANDIN_SIGNAL", name, sizeof name);
    if (length == 0 || length >= sizeof name)
        return;
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event != nullptr) {
        SetEvent(event);
        CloseHandle(event);
    }
}

// orvane.standin.Window: waits the first argument's milliseconds, then shows
// a window of its own for the second argument's milliseconds (0: shows
// none), pumping its messages, and records whether it came to the front.
void window_main(JavaThread*, const jvalue* args, jvalue*)
{
    std::vector<std::wstring> arguments = main_arguments(args);
    DWORD delay = static_cast<DWORD>(number_argument(arguments, 0));
    DWORD lifetime = arguments.size() > 1 ? static_cast<DWORD>(atoi(narrow(arguments[1]).c_str())) : 0;
    Sleep(delay);
    if (lifetime == 0)
        return;
    HWND window = CreateWindowExA(0, "STATIC", "Orvane test window", WS_OVERLAPPEDWINDOW, 40, 40, 320, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    // Shown without taking the front itself: bringing it there is the splash's part.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    record_event(window != nullptr ? "window shown" : "window failed");
    // Tests run side by side, and another's window may take the front later.
    bool came_to_front = false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < lifetime;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        came_to_front = came_to_front || GetForegroundWindow() == window;
        Sleep(10);
    }
    record_event(came_to_front ? "window in front" : "window behind");
    DestroyWindow(window);
}

static bool has_console()
{
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(output);
    return true;
}

// orvane.standin.Console: prints a line, then records what the process's
// console shows (title, window, text), and whether it outlives a WM_QUIT
// that is peeked at and one that is taken off the queue.
void console_main(JavaThread*, const jvalue*, jvalue*)
{
    print_line(system_stream(false), L"to the console");
    char title[256] = "";
    GetConsoleTitleA(title, sizeof title);
    std::string own_title = "ovc" + std::to_string(GetCurrentProcessId());
    record_event(own_title == title ? std::string("console title ovc<pid>") : std::string("console title ") + title);
    HWND window = GetConsoleWindow();
    record_event(window == nullptr ? "console window none"
                                   : IsWindowVisible(window) ? "console window visible" : "console window hidden");
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (output != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(output, &info)) {
        for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
            std::string text(static_cast<size_t>(info.dwSize.X), ' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterA(output, &text[0], static_cast<DWORD>(text.size()), COORD{0, row}, &read);
            text.resize(text.find_last_not_of(' ') + 1);
            if (!text.empty())
                record_event("console text " + text);
        }
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    MSG message;
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    record_event(has_console() ? "after peek console yes" : "after peek console no");
    PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    record_event(has_console() ? "after quit console yes" : "after quit console no");
}

// Waits for the named event, then does what a fatal error inside the JVM
// does, on a thread of its own.
static DWORD WINAPI abort_on_event(void* parameter)
{
    HANDLE event = static_cast<HANDLE>(parameter);
    WaitForSingleObject(event, INFINITE);
    abort_vm(vm_hooks.abort_hook);
}

// orvane.standin.Script: carries out its arguments in order, as an
// application that prints and then ends in one of its ways would:
// out=TEXT and err=TEXT print a line on System.out or System.err,
// blank=N prints N empty lines and lines=N prints N numbered lines of 100
// bytes (line ends included) on System.out, abort-on=EVENT aborts the JVM on
// a thread of its own once the named event is set, sleep=MS waits, and
// throw, exit=N and abort end main.
void script_main(JavaThread* thread, const jvalue* args, jvalue*)
{
    for (const std::wstring& argument : main_arguments(args)) {
        size_t equals = argument.find(L'=');
        std::wstring command = argument.substr(0, equals);
        std::wstring value = equals == std::wstring::npos ? L"" : argument.substr(equals + 1);
        int count = _wtoi(value.c_str());
        if (command == L"out" || command == L"err") {
            print_line(system_stream(command == L"err"), value);
        } else if (command == L"blank") {
            for (int i = 0; i < count; ++i)
                print_line(system_stream(false), L"");
        } else if (command == L"lines") {
            Object* out = system_stream(false);
            for (int i = 1; i <= count; ++i) {
                char number[16];
                snprintf(number, sizeof number, "%07d", i);
                print_line(out, L"line " + widen(number) + L" " + std::wstring(85, L'.'));
            }
        } else if (command == L"abort-on") {
            HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, narrow(value).c_str());
            if (event == nullptr || CreateThread(nullptr, 0, abort_on_event, event, 0, nullptr) == nullptr)
                fail_loudly("stand-in JVM: cannot wait for the event " + narrow(value));
        } else if (command == L"sleep") {
            Sleep(static_cast<DWORD>(count));
        } else if (command == L"throw") {
            throw_java(thread, "java/lang/IllegalStateException", L"thrown by main");
            return;
        } else if (command == L"exit") {
            exit_java(count);
        } else if (command == L"abort") {
            abort_vm(vm_hooks.abort_hook);
        } else {
            fail_loudly("stand-in JVM: orvane.standin.Script does not know " + narrow(argument));
        }
    }
}
