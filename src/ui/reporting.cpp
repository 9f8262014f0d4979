#include "ui/reporting.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "launcher/text_buffers.h"
#include "ui/common_controls.h"
#include "ui/error_dialog.h"

bool service_mode = false;
bool reporting_enabled = true;
void* event_source = nullptr;
void* launcher_instance = nullptr;

static constexpr size_t reason_caller_size = 4096;
static constexpr size_t reason_system_size = 4000;

static int write_event(bool is_error, const char* text)
{
    const char* strings[1] = {text};
    return ReportEventA(event_source, is_error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                        is_error ? EVENT_ID_ERROR : EVENT_ID_INFORMATION, nullptr, 1, 0, strings,
                        nullptr);
}

int route_report(bool is_error, const char* text)
{
    if (service_mode)
        return write_event(is_error, text);
    return MessageBoxA(nullptr, text, is_error ? "Error" : "Information",
                       MB_SETFOREGROUND | (is_error ? MB_ICONERROR : MB_ICONINFORMATION));
}

// The system's text for an error code, as the system gives it (its trailing
// line break included); empty when it has none.
static void system_error_text(DWORD code, char* buffer, DWORD size)
{
    buffer[0] = '\0';
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, size, nullptr) == 0)
        buffer[0] = '\0';
}

int report_notice(const char* format, ...)
{
    char text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(text, sizeof text, format, args);
    va_end(args);
    return route_report(false, text);
}

int report_error(const char* format, ...)
{
    if (!reporting_enabled)
        return 0;
    char text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(text, sizeof text, format, args);
    va_end(args);
    return route_report(true, text);
}

int report_error_with_reason(const char* format, ...)
{
    if (!reporting_enabled)
        return 0;
    DWORD code = GetLastError();
    char reason[reason_system_size];
    system_error_text(code, reason, sizeof reason);
    char caller_text[reason_caller_size];
    va_list args;
    va_start(args, format);
    format_bounded(caller_text, sizeof caller_text, format, args);
    va_end(args);
    char text[report_size];
    format_text(text, sizeof text, "%s\n\nReason: %s", caller_text, reason);
    return route_report(true, text);
}

int report_system_error()
{
    if (!reporting_enabled)
        return 0;
    DWORD code = GetLastError();
    char text[report_size];
    system_error_text(code, text, sizeof text);
    return route_report(true, text);
}

int report_error_with_details(const char* details, const char* format, ...)
{
    char main_text[report_size];
    va_list args;
    va_start(args, format);
    format_bounded(main_text, sizeof main_text, format, args);
    va_end(args);
    if (details == nullptr)
        details = "";
    if (!service_mode) {
        ErrorDialogTexts texts = {main_text, details};
        ensure_common_controls();
        return static_cast<int>(DialogBoxParamA(static_cast<HINSTANCE>(launcher_instance), MAKEINTRESOURCEA(1),
                                                nullptr, error_dialog_proc, reinterpret_cast<LPARAM>(&texts)));
    }
    // Without memory for the whole text, the event carries the main text.
    size_t size = strlen(main_text) + strlen(details) + 256;
    char* text = static_cast<char*>(malloc(size));
    if (text == nullptr)
        return write_event(true, main_text);
    format_text(text, size, "%s\n\nDetails:\n%s", main_text, details);
    int result = write_event(true, text);
    free(text);
    return result;
}
