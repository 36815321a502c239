// Message boxes and text prompts: captions, icons and line breaks, shown through
// the hooks of the window side.
#include "model/services/msgbox.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "model/services/log.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"

namespace {

MsgBoxHook& msgbox_hook() {
    static MsgBoxHook hook;
    return hook;
}

InputStringHook& input_hook() {
    static InputStringHook hook;
    return hook;
}

std::string vformat(const char* fmt, va_list args) {
    if (!fmt) return {};
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    return text;
}

}  // namespace

MsgBoxHook msgbox_set_hook(MsgBoxHook hook) { return std::exchange(msgbox_hook(), std::move(hook)); }

InputStringHook input_string_set_hook(InputStringHook hook) {
    return std::exchange(input_hook(), std::move(hook));
}

std::string msgbox_caption(uint32_t title_id) {
    std::string app = res_load_string(kStrIdAppName);
    if (title_id == 0 || title_id == kStrIdNone) return app;
    const char* title = res_find_string(title_id);
    if (!title) return app;
    return app + " [" + title + "]";
}

unsigned msgbox_style(uint32_t title_id, unsigned style) {
    if (style != 0) return style;
    if (title_id == kStrIdError) return kMbOk | kMbIconHand;
    if (title_id == kStrIdWarning) return kMbOk | kMbIconExclamation;
    return kMbOk | kMbIconAsterisk;
}

int msgbox_show(uint32_t title_id, const char* text, unsigned style) {
    MsgBoxRequest box;
    box.caption = msgbox_caption(title_id);
    box.style = msgbox_style(title_id, style);
    box.text = text ? text : "";
    std::replace(box.text.begin(), box.text.end(), '|', '\n');
    if (const MsgBoxHook& hook = msgbox_hook()) return hook(box);
    log_message(LogLevel::info, "%s: %s", box.caption.c_str(), box.text.c_str());
    return (box.style & kMbButtonMask) == kMbYesNo ? kIdNo : kIdOk;
}

int msgbox_ids(uint32_t title_id, uint32_t text_id) {
    const char* text = res_find_string(text_id);
    return msgbox_show(title_id, text ? text : "", 0);
}

int msgbox_printf(uint32_t title_id, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return msgbox_show(title_id, text.c_str(), 0);
}

bool msgbox_yes_no(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return msgbox_show(0, text.c_str(), kMbYesNo | kMbIconQuestion) == kIdYes;
}

int input_ask_string(uint32_t prompt_id, char* buffer, size_t size, size_t limit) {
    const InputStringHook& hook = input_hook();
    if (!buffer || size == 0 || !hook) return 0;
    std::string text(buffer, strnlen(buffer, size));
    if (hook(prompt_id, text, limit) != 1) return 0;
    utf8_copy(buffer, std::min(limit, size - 1) + 1, text);
    return 1;
}

int input_ask_string(uint32_t prompt_id, char* buffer, size_t limit) {
    return input_ask_string(prompt_id, buffer, limit + 1, limit);
}
