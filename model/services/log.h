// Engine logging and the wait cursor. Both reach the window side through hooks that
// the shell installs at start-up; with no hook installed, log lines go to stderr and
// the wait cursor does nothing. Safe to call from any thread.
#pragma once

#include <cstdarg>


enum class LogLevel { debug = 0, info = 1, warning = 2, error = 3 };

using LogHook = void (*)(LogLevel level, const char* text);

// printf-style; the line is formatted into an owned buffer (no length limit).
void log_message(LogLevel level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void log_message_v(LogLevel level, const char* fmt, va_list args);

// Installs a sink (null restores stderr). Returns the previous one.
LogHook log_set_hook(LogHook hook);
// Lines below this level are dropped (default: info).
void log_set_level(LogLevel level);

// Wait cursor: begin/end nest; the hook sees the nesting depth going 0 -> 1 (show)
// and 1 -> 0 (restore).
using WaitCursorHook = void (*)(bool show);
WaitCursorHook wait_cursor_set_hook(WaitCursorHook hook);
void wait_cursor_begin();
void wait_cursor_end();

class WaitCursor {
public:
    WaitCursor() { wait_cursor_begin(); }
    ~WaitCursor() { wait_cursor_end(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

