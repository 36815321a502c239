// Log hook routing, level filter and the wait cursor's nesting.
#include "model/services/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> g_lines;
void capture(LogLevel, const char* text) { g_lines.emplace_back(text); }
std::vector<bool> g_cursor;
void cursor(bool show) { g_cursor.push_back(show); }
}  // namespace

TEST(Log, HookGetsFormattedLinesAtOrAboveTheLevel) {
    g_lines.clear();
    LogHook old = log_set_hook(capture);
    log_set_level(LogLevel::warning);
    log_message(LogLevel::info, "dropped %d", 1);
    std::string long_text(5000, 'x');
    log_message(LogLevel::error, "%s|%d", long_text.c_str(), 7);
    log_set_level(LogLevel::info);
    log_set_hook(old);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], long_text + "|7");
}

TEST(WaitCursorTest, NestedScopesShowAndRestoreOnce) {
    g_cursor.clear();
    WaitCursorHook old = wait_cursor_set_hook(cursor);
    {
        WaitCursor a;
        WaitCursor b;
    }
    wait_cursor_end();  // unbalanced end is ignored
    wait_cursor_set_hook(old);
    EXPECT_EQ(g_cursor, (std::vector<bool>{true, false}));
}
