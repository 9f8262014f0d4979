// The reporting operations as a user meets them: real message boxes of this
// process, read and dismissed by a watcher thread, or none at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "ui/reporting.h"

namespace {

// The system's text for an error code, asked for as the launcher asks.
std::string system_text(DWORD code)
{
    char text[4000] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

// The boxes of a call as a user meets them, one line each: caption, text,
// icon of its kind or not, owner, foreground, and what the call returned
// after OK (-1 at once: no display for Wine).
std::string boxes_of(const WatchedCall& call)
{
    std::string seen;
    for (const SeenBox& box : call.boxes) {
        HICON icon = LoadIconA(nullptr, box.caption == "Error" ? IDI_ERROR : IDI_INFORMATION);
        seen += box.caption + ": " + box.text + (box.icon == icon ? " [icon]" : " [no icon]") +
                (box.owned ? " [owned]" : "") + (box.foreground ? "" : " [background]") + "\n";
    }
    return seen + "returned " + std::to_string(call.result);
}

std::string one_box(const std::string& caption, const std::string& text)
{
    return caption + ": " + text + " [icon]\nreturned " + std::to_string(IDOK);
}

// Arguments reach the box as given, percent signs and all; an overlong text
// is cut to its buffer (8192 bytes, the caller's part of an error with
// reason 4096).
TEST(Reporting, EachReportShowsOneBoxWithItsComposedText)
{
    static const std::string argument(10000, 'x');
    const std::string not_found = system_text(2), denied = system_text(5);
    ASSERT_NE("", not_found) << "the system has no text for error 2";
    ASSERT_NE("", denied) << "the system has no text for error 5";
    const struct {
        const char* name;
        int (*report)();
        const char* caption;
        std::string text;
    } rows[] = {
        {"notice", [] { return report_notice("Service installed: %s", "MySvc"); }, "Information",
         "Service installed: MySvc"},
        {"error", [] { return report_error("Error locating class: %s", "a/Main"); }, "Error",
         "Error locating class: a/Main"},
        {"error with reason",
         [] { SetLastError(2); return report_error_with_reason("Error accessing file/directory: %s", "C:\\app"); },
         "Error", "Error accessing file/directory: C:\\app\n\nReason: " + not_found},
        {"system error", [] { SetLastError(5); return report_system_error(); }, "Error", denied},
        {"notice with percent signs", [] { return report_notice("%s", "100% done %s"); }, "Information",
         "100% done %s"},
        {"error with percent signs", [] { return report_error("%s", "100% done %d"); }, "Error", "100% done %d"},
        {"error with reason with percent signs",
         [] { SetLastError(2); return report_error_with_reason("%s", "50% %n left"); }, "Error",
         "50% %n left\n\nReason: " + not_found},
        {"overlong notice", [] { return report_notice("%s", argument.c_str()); }, "Information",
         argument.substr(0, 8191)},
        {"overlong error", [] { return report_error("%s", argument.c_str()); }, "Error", argument.substr(0, 8191)},
        {"overlong error with reason", [] { SetLastError(2); return report_error_with_reason("%s", argument.c_str()); },
         "Error", argument.substr(0, 4095) + "\n\nReason: " + not_found},
    };
    for (const auto& row : rows)
        EXPECT_EQ(boxes_of(call_watching_boxes(row.report)), one_box(row.caption, row.text)) << row.name;
}

// With reporting off the error reports are dropped (returning 0), notices
// still shown; in service mode every report becomes an event, never a window.
TEST(Reporting, DisabledReportingDropsErrorsAndServiceModeShowsNoWindow)
{
    ASSERT_TRUE(boxes_can_appear()) << "no message box can appear: is there a display (xvfb-run) for Wine?";
    const struct {
        const char* name;
        int (*report)();
    } reports[] = { // the three error reports first
        {"report_error", [] { return report_error("The %s service failed to start.", "MySvc"); }},
        {"report_error_with_reason", [] { SetLastError(2); return report_error_with_reason("failed"); }},
        {"report_system_error", [] { SetLastError(5); return report_system_error(); }},
        {"report_notice", [] { return report_notice("Service installed: %s", "MySvc"); }},
        {"report_error_with_details", [] { return report_error_with_details("line 1\r\nline 2", "fatal"); }},
    };
    reporting_enabled = false;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(boxes_of(call_watching_boxes(reports[i].report)), "returned 0") << reports[i].name;
    EXPECT_EQ(boxes_of(call_watching_boxes(reports[3].report)), one_box("Information", "Service installed: MySvc"))
        << "report_notice while reporting is off";
    reporting_enabled = true;

    event_source = RegisterEventSourceA(nullptr, "OrvaneWin32Tests");
    ASSERT_NE(nullptr, event_source) << "RegisterEventSourceA failed with error " << GetLastError();
    service_mode = true;
    for (const auto& row : reports) {
        WatchedCall call = call_watching_boxes(row.report);
        EXPECT_NE(0, call.result) << row.name << ": the event was not written, error " << call.error;
        EXPECT_EQ(0u, call.boxes.size()) << row.name << " showed a window in service mode";
    }
    service_mode = false;
    DeregisterEventSource(event_source);
}

} // namespace
