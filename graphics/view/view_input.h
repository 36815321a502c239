// The drawing view's input rules while a command step waits, written once without a
// window system: the application's drawing view (CSView) and the test harness call
// them with the events they receive. They apply when no command-input tool is on the
// processor's stack (a tool gets the events first; see commands/input/cmdinput.h).
//
// Only the command view (the view whose window runs the command) reacts; every
// result goes to the command through view_host()->post_code. Pixels have y upward.
#pragma once

#include <cstdint>

class VIEW;

inline constexpr uint32_t kCmdOptionsKey = 2013;  // F10, Ctrl+C
inline constexpr uint32_t kHelpTypedEntry = 40097;

// Keys as the rules see them.
inline constexpr int kKeyEsc = 27;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyBackspace = 8;

// Mouse buttons.
inline constexpr int kButtonLeft = 1;
inline constexpr int kButtonRight = 2;

// The pointer moved to window pixel (x, y) of `view`: the cursor mark is hidden, the
// view's cursor position (pixels, view and drawing coordinates at the input z) is
// stored, the other views of the drawing get the same drawing point, and the marks
// are shown again.
void view_input_move(VIEW* view, int x, int y);
// A button was released in `view`: in the command view left posts 0 and right -1
// (the mark is hidden first). 1 when handled (posted), 0 when the view is not the
// command view (the window side then pans or ignores it).
int view_input_button_up(VIEW* view, int button);
// A character typed in `view` (WM_CHAR): Esc posts -1; Enter (while the mark is
// shown) empties the step's text and posts 0; during in-place text entry the
// character goes to typed_input_char and a non-zero result is posted; a character
// that starts typed input (view_starts_typed_input) opens the Enter Coordinate (point
// step) or Enter Number dialog with that character, whose OK posts 0 and whose Cancel
// shows the mark again. 1 when the character was used.
int view_input_char(VIEW* view, int ch);
// Does `ch` start a typed number or coordinate: a digit, the point, '-', '+' or '@'?
bool view_starts_typed_input(int ch);
// The options key (command 2013): when the step has an options callback, runs
// typed_input_submit; a non-zero result posts -1, else the mark is shown again.
// 1 when handled.
int view_input_options_key(VIEW* view);
// Help while a step waits: the step's help id (0 when none waits).
uint32_t view_input_help_id(VIEW* view);
// The command view is closing: hides the mark and posts -2.
void view_input_closing(VIEW* view);

// A step is given in `view` now (a click, Enter): keeps where its cursor stands and
// returns a mark (positive) for the step to carry. The command reads the cursor only
// once the step reaches it, and input handled meanwhile (the pointer moving on, the
// next click) has moved the cursor by then.
intptr_t view_input_keep_place(VIEW* view);
// The step carrying `mark` reaches the command, which now works in `view`: when the
// place was kept for that view, its cursor (and the same drawing point in the
// drawing's other views) goes back there. Places kept before it are dropped with it.
void view_input_take_place(intptr_t mark, VIEW* view);

// Typed-entry hooks of in-place text and the options key (commands/input installs
// them; without them typed characters are refused and the options key does nothing).
using TypedCharFn = int (*)(VIEW* view, int ch);
using TypedSubmitFn = int (*)(VIEW** view_ref);
void view_input_set_typed_hooks(TypedCharFn char_fn, TypedSubmitFn submit_fn);
