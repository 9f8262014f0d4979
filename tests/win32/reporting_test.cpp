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
// reason 4096). The end-to-end tier reads the plain texts of every report.
TEST(Reporting, EachReportShowsOneBoxWithItsComposedText)
{
    static const std::string argument(10000, 'x');
    const std::string not_found = system_text(2);
    ASSERT_NE("", not_found) << "the system has no text for error 2";
    const struct {
        const char* name;
        int (*report)();
        const char* caption;
        std::string text;
    } rows[] = {
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
// still shown: the notice's box proves that boxes can appear at all. In
// service mode every report becomes an event, never a window: the end-to-end
// tier reads those events.
TEST(Reporting, DisabledReportingDropsErrorsButShowsNotices)
{
    const struct {
        const char* name;
        int (*report)();
    } errors[] = {
        {"report_error", [] { return report_error("The %s service failed to start.", "MySvc"); }},
        {"report_error_with_reason", [] { SetLastError(2); return report_error_with_reason("failed"); }},
        {"report_system_error", [] { SetLastError(5); return report_system_error(); }},
    };
    reporting_enabled = false;
    EXPECT_EQ(boxes_of(call_watching_boxes([] { return report_notice("Service installed: %s", "MySvc"); })),
              one_box("Information", "Service installed: MySvc"))
        << "report_notice while reporting is off (is there a display for Wine?)";
    for (const auto& row : errors)
        EXPECT_EQ(boxes_of(call_watching_boxes(row.report)), "returned 0") << row.name;
    reporting_enabled = true;
}

} // namespace
