// Engine logging and the wait cursor's nesting count.
#include "model/services/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>


namespace {
std::atomic<LogHook> g_log_hook{nullptr};
std::atomic<int> g_log_level{static_cast<int>(LogLevel::info)};
std::atomic<WaitCursorHook> g_wait_hook{nullptr};
std::atomic<int> g_wait_depth{0};

const char* level_name(LogLevel level) {
    switch (level) {
        case LogLevel::debug: return "debug";
        case LogLevel::info: return "info";
        case LogLevel::warning: return "warning";
        case LogLevel::error: return "error";
    }
    return "?";
}
}  // namespace

void log_message_v(LogLevel level, const char* fmt, va_list args) {
    if (static_cast<int>(level) < g_log_level.load()) return;
    // A line that cannot be made for want of memory is dropped: logging a failure
    // never becomes a failure of its own.
    std::string text;
    try {
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(nullptr, 0, fmt, copy);
        va_end(copy);
        text.assign(n > 0 ? static_cast<size_t>(n) : 0, '\0');
        if (n > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (LogHook hook = g_log_hook.load()) {
        hook(level, text.c_str());
        return;
    }
    static std::mutex out;
    std::lock_guard<std::mutex> lock(out);
    std::fprintf(stderr, "zelo %s: %s\n", level_name(level), text.c_str());
}

void log_message(LogLevel level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    log_message_v(level, fmt, args);
    va_end(args);
}

LogHook log_set_hook(LogHook hook) { return g_log_hook.exchange(hook); }
void log_set_level(LogLevel level) { g_log_level.store(static_cast<int>(level)); }

WaitCursorHook wait_cursor_set_hook(WaitCursorHook hook) { return g_wait_hook.exchange(hook); }

void wait_cursor_begin() {
    if (g_wait_depth.fetch_add(1) == 0)
        if (WaitCursorHook hook = g_wait_hook.load()) hook(true);
}

void wait_cursor_end() {
    int before = g_wait_depth.load();
    while (before > 0 && !g_wait_depth.compare_exchange_weak(before, before - 1)) {
    }
    if (before == 1)
        if (WaitCursorHook hook = g_wait_hook.load()) hook(false);
}

