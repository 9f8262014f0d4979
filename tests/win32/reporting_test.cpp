// The reporting operations as a user meets them: real message boxes of this
// process, read and dismissed by a watcher thread, or none at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "ui/reporting.h"

namespace {

class Reporting : public ::testing::Test {
protected:
    void TearDown() override
    {
        service_mode = false;
        reporting_enabled = true;
    }
};

// The system's text for an error code, asked for as the launcher asks.
std::string system_text(DWORD code)
{
    char text[4000] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

// Exactly one box with this caption, text and the icon of its kind, without
// owner, brought to the foreground, dismissed with OK.
::testing::AssertionResult showed_one_box(const WatchedCall& call, const std::string& caption,
                                          const std::string& text)
{
    if (call.result == -1)
        return ::testing::AssertionFailure() << "MessageBoxA failed at once with error " << call.error
                                             << ": is there a display (xvfb-run) for Wine?";
    if (call.boxes.size() != 1)
        return ::testing::AssertionFailure() << call.boxes.size() << " boxes appeared, expected one";
    const SeenBox& box = call.boxes[0];
    if (box.caption != caption)
        return ::testing::AssertionFailure() << "caption \"" << box.caption << "\", expected \"" << caption << "\"";
    if (box.text != text)
        return ::testing::AssertionFailure() << "text of " << box.text.size() << " characters \""
                                             << box.text.substr(0, 200) << "\", expected " << text.size();
    HICON icon = LoadIconA(nullptr, caption == "Error" ? IDI_ERROR : IDI_INFORMATION);
    if (box.icon != icon)
        return ::testing::AssertionFailure() << "the box does not show the " << caption << " icon";
    if (box.owned)
        return ::testing::AssertionFailure() << "the box has an owner window";
    if (!box.foreground)
        return ::testing::AssertionFailure() << "the box was not the foreground window";
    if (call.result != IDOK)
        return ::testing::AssertionFailure() << "the call returned " << call.result << " after OK, expected IDOK";
    return ::testing::AssertionSuccess();
}

// Arguments reach the box as given, percent signs and all; an overlong text
// is cut to its buffer (8192 bytes, the caller's part of an error with
// reason 4096).
TEST_F(Reporting, EachReportShowsOneBoxWithItsComposedText)
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
        EXPECT_TRUE(showed_one_box(call_watching_boxes(row.report), row.caption, row.text)) << row.name;
}

// With reporting off the error reports are dropped (returning 0), notices
// still shown; in service mode every report becomes an event, never a window.
TEST_F(Reporting, DisabledReportingDropsErrorsAndServiceModeShowsNoWindow)
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
    for (int i = 0; i < 3; ++i) {
        WatchedCall call = call_watching_boxes(reports[i].report);
        EXPECT_EQ(0, call.result) << reports[i].name << " did not return 0 while reporting is off";
        EXPECT_EQ(0u, call.boxes.size()) << reports[i].name << " showed a box while reporting is off";
    }
    EXPECT_TRUE(showed_one_box(call_watching_boxes(reports[3].report), "Information", "Service installed: MySvc"))
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
    event_source = nullptr;
}

} // namespace
