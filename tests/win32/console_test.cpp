// The console control handler's answers.
#include <gtest/gtest.h>

#include "jvm/console_procs.h"

TEST(Console, ControlHandlerClaimsOnlyTheLogOffEvent)
{
    const struct {
        DWORD type;
        BOOL expected;
    } rows[] = {{CTRL_C_EVENT, FALSE},     {CTRL_BREAK_EVENT, FALSE},   {CTRL_CLOSE_EVENT, FALSE},
                {CTRL_LOGOFF_EVENT, TRUE}, {CTRL_SHUTDOWN_EVENT, FALSE}};
    for (const auto& row : rows)
        EXPECT_EQ(console_ctrl_handler(row.type), row.expected) << "type " << row.type;
}
