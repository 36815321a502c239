// Message boxes, yes/no questions and one-line text prompts for engine code.
//
// Texts come from the string table (model/services/strtab.h). The box itself is
// shown by the window side through a hook that the shell installs at start-up;
// tests install their own hook to read and answer every box without a window.
// With no hook installed a box is written to the log and answered with IDOK (IDNO
// for questions), so engine code run without windows never blocks.
// Call these on the user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Styles and answers, with the values of the classic message box.
inline constexpr unsigned kMbOk = 0;
inline constexpr unsigned kMbYesNo = 4;
inline constexpr unsigned kMbIconHand = 16;         // stop sign
inline constexpr unsigned kMbIconQuestion = 32;
inline constexpr unsigned kMbIconExclamation = 48;  // exclamation mark
inline constexpr unsigned kMbIconAsterisk = 64;     // information sign
inline constexpr unsigned kMbButtonMask = 0x0F;
inline constexpr unsigned kMbIconMask = 0xF0;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Title ids that choose the icon when the caller gives style 0.
inline constexpr uint32_t kStrIdError = 42170;    // "ERROR": stop sign
inline constexpr uint32_t kStrIdWarning = 42120;  // "Warning!": exclamation mark

// One box as the window side sees it: caption, text with line feeds, style.
struct MsgBoxRequest {
    std::string caption;
    std::string text;
    unsigned style = 0;
};

// Shows the box and returns the button pressed (kIdOk, kIdYes, kIdNo ...).
using MsgBoxHook = std::function<int(const MsgBoxRequest&)>;
// Installs the hook (an empty one restores the log fallback); returns the previous.
MsgBoxHook msgbox_set_hook(MsgBoxHook hook);

// The caption of a box under `title_id`: the application name alone for title 0,
// kStrIdNone or a title the table does not hold, else "%s [%s]" of the application
// name and the title text.
std::string msgbox_caption(uint32_t title_id);
// The style actually used: `style` itself when non-zero, else OK with the icon of
// the title (stop for ERROR, exclamation for Warning!, information otherwise).
unsigned msgbox_style(uint32_t title_id, unsigned style);

// The common routine: caption and style as above, every '|' of the text turned into
// a line feed (the caller's text is not touched). Returns the box's answer.
int msgbox_show(uint32_t title_id, const char* text, unsigned style);
// Title and text by string id; a missing text id shows an empty text.
int msgbox_ids(uint32_t title_id, uint32_t text_id);
// printf-style text (any length) under the title id.
int msgbox_printf(uint32_t title_id, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// A Yes/No question with the question icon under the bare application name;
// true when the answer is Yes.
bool msgbox_yes_no(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// One line of text from the user. The hook gets the prompt id, the text (holding
// the caller's text on entry, the entered text on OK) and the length limit in
// characters; it returns 1 for OK and 0 otherwise.
using InputStringHook = std::function<int(uint32_t prompt_id, std::string& text, size_t limit)>;
InputStringHook input_string_set_hook(InputStringHook hook);

// Asks for one line under the prompt `prompt_id`. `buffer` holds the initial text
// and receives the entered one (at most `limit` characters, cut to fit `size`
// bytes with its terminating zero). Returns 1 on OK, 0 when cancelled or when no
// prompt can be shown; the buffer is unchanged then.
int input_ask_string(uint32_t prompt_id, char* buffer, size_t size, size_t limit);
// The same with a buffer of limit + 1 bytes.
int input_ask_string(uint32_t prompt_id, char* buffer, size_t limit);
