// The main classes the test suite starts, each public static void main(String[]).
#include <cstdlib>

#include "standin.h"

// The arguments of a main call as texts; a null element reads "null".
static std::vector<std::string> main_arguments(const jvalue* args)
{
    std::vector<std::string> texts;
    Object* array = reinterpret_cast<Object*>(args[0].l);
    if (array != nullptr)
        for (Object* element : array->elements)
            texts.push_back(element != nullptr ? element->text : "null");
    return texts;
}

// An argument as atoi reads it, or the fallback when there is none.
static DWORD number_argument(const std::vector<std::string>& arguments, size_t index, int fallback)
{
    return static_cast<DWORD>(index < arguments.size() ? atoi(arguments[index].c_str()) : fallback);
}

// orvane.standin.Print: the arguments, one a line.
void print_main(JavaThread*, const jvalue* args, jvalue*)
{
    std::vector<std::string> arguments = main_arguments(args);
    for (size_t i = 0; i < arguments.size(); ++i)
        print_line(system_streams[0], "argument " + std::to_string(i) + ": " + arguments[i]);
}

// orvane.demo.Hello, the demo the launcher ships with: a greeting, then as Print.
void hello_main(JavaThread* thread, const jvalue* args, jvalue* result)
{
    print_line(system_streams[0], "Hello from orvane.demo.Hello");
    print_main(thread, args, result);
}

// Set by a main call of orvane.standin.Wait with the argument "stop".
static HANDLE wait_stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

// orvane.standin.Wait: blocks until another main call passes "stop", as a
// service's stop arguments do, or for a minute at most.
void wait_main(JavaThread*, const jvalue* args, jvalue*)
{
    if (main_arguments(args) == std::vector<std::string>{"stop"}) {
        SetEvent(wait_stop_event);
        return;
    }
    WaitForSingleObject(wait_stop_event, 60000);
    record_event("wait ended");
}

// How long the thread of orvane.standin.Tarry sleeps; set before it starts.
static DWORD tarry_sleep_ms;

static DWORD WINAPI tarry_thread(void* java_thread)
{
    current_thread = static_cast<JavaThread*>(java_thread);
    Sleep(tarry_sleep_ms);
    record_event("linger done");
    end_current_thread();
    return 0;
}

// orvane.standin.Tarry: returns at once, leaving a non-daemon Java thread that
// sleeps the first argument's milliseconds (1000 without one), then records "linger done".
void tarry_main(JavaThread*, const jvalue* args, jvalue*)
{
    tarry_sleep_ms = number_argument(main_arguments(args), 0, 1000);
    CloseHandle(CreateThread(nullptr, 0, tarry_thread, new_java_thread("Thread-0"), 0, nullptr));
}

// orvane.standin.Signal: sets the event ORVANE_STANDIN_SIGNAL names, so a
// benchmark sees the moment main is entered.
void signal_main(JavaThread*, const jvalue*, jvalue*)
{
    char name[256] = "";
    GetEnvironmentVariableA("ORVANE_STANDIN_SIGNAL", name, sizeof name);
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    SetEvent(event);
    CloseHandle(event);
}

// orvane.standin.Window: waits the first argument's milliseconds, then shows
// a window for the second argument's milliseconds (0: none) and records
// whether it came to the front.
void window_main(JavaThread*, const jvalue* args, jvalue*)
{
    std::vector<std::string> arguments = main_arguments(args);
    DWORD lifetime = number_argument(arguments, 1, 0);
    Sleep(number_argument(arguments, 0, 0));
    if (lifetime == 0)
        return;
    HWND window = CreateWindowExA(0, "STATIC", "Orvane test window", WS_OVERLAPPEDWINDOW, 40, 40, 320, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    // Bringing it to the front is the splash's part.
    ShowWindow(window, SW_SHOWNOACTIVATE);
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

// orvane.standin.Console: prints a line, records the process's console
// (title, window, text) and whether it outlives a WM_QUIT peeked at and one taken.
void console_main(JavaThread*, const jvalue*, jvalue*)
{
    print_line(system_streams[0], "to the console");
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
            record_event("console text " + text);
        }
    }
    CloseHandle(output);
    MSG message;
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    record_event(GetConsoleWindow() != nullptr ? "after peek console yes" : "after peek console no");
    PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    record_event(GetConsoleWindow() != nullptr ? "after quit console yes" : "after quit console no");
}

// Aborts the JVM on its own thread once the event is set.
static DWORD WINAPI abort_on_event(void* parameter)
{
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    abort_vm();
}

// orvane.standin.Script: carries out its arguments in order. out=TEXT and
// err=TEXT print a line, blank=N N empty lines, lines=N N numbered lines of
// 100 bytes; abort-on=EVENT aborts once the event is set, sleep=MS waits;
// throw, exit=N and abort end main.
void script_main(JavaThread* thread, const jvalue* args, jvalue*)
{
    for (const std::string& argument : main_arguments(args)) {
        size_t equals = argument.find('=');
        std::string command = argument.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
        int count = atoi(value.c_str());
        if (command == "out" || command == "err") {
            print_line(system_streams[command == "err"], value);
        } else if (command == "blank") {
            for (int i = 0; i < count; ++i)
                print_line(system_streams[0], "");
        } else if (command == "lines") {
            for (int i = 1; i <= count; ++i) {
                char number[16];
                snprintf(number, sizeof number, "line %07d ", i);
                print_line(system_streams[0], number + std::string(85, '.'));
            }
        } else if (command == "abort-on") {
            HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, value.c_str());
            if (event == nullptr || CreateThread(nullptr, 0, abort_on_event, event, 0, nullptr) == nullptr)
                fail_loudly("stand-in JVM: cannot wait for the event " + value);
        } else if (command == "sleep") {
            Sleep(static_cast<DWORD>(count));
        } else if (command == "throw") {
            throw_java(thread, "java/lang/IllegalStateException", "thrown by main");
            return;
        } else if (command == "exit") {
            exit_java(count);
        } else if (command == "abort") {
            abort_vm();
        } else {
            fail_loudly("stand-in JVM: orvane.standin.Script does not know " + argument);
        }
    }
}
