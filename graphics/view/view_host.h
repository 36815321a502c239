// View services: what the engine asks of the windows, declared without any window
// system. A drawing document's engine-side record (DrawingDocument, reached from the
// MODEL's document pointer) holds the pending input step (DocInputState); the
// window side installs one ViewHost that answers for documents, the status line,
// the coordinate readout, the command step wait, the cursor mark and the canvases.
// The application installs the real host over its documents and drawing views;
// tests install a headless one (tests/commands/harness.*).
//
// Everything here runs on the user-interface thread. With no host installed the
// services do nothing: waits end cancelled (-2), prompts and readouts are dropped,
// nothing is drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/math/types.h"

class VIEW;
class MODEL;
class RTC;
class ZOBJ;
class object;
class Canvas;
struct StrokeFont;

// Step result codes (the wParam of the command-step message).
inline constexpr int kStepGiven = 0;        // a point was given (click, Enter, OK)
inline constexpr int kStepRefused = -1;     // Esc, right button, options changed
inline constexpr int kStepCancelled = -2;   // another command, view closed, quit
inline constexpr int kStepToolEsc = 1;      // Esc inside a command-input tool
inline constexpr uint32_t kMsgCmdStep = 0x0401;  // WM_USER + 1

// Cursor feedback of a step: draws (and, called again at the same place, erases) the
// crosshair, rubber band or phantom at window pixel (x, y), y growing upward.
using InputMoveFn = void (*)(VIEW* view, int x, int y);
// Options of a step (the options key): non-zero when the options changed and the
// step is to be asked again. The callback may replace the command's VIEW.
using InputOptionsFn = int (*)(VIEW** view_ref);

inline constexpr int kInputPoints = 16;

// The pending input step of a drawing document.
struct DocInputState {
    InputMoveFn on_move = nullptr;
    InputOptionsFn on_options = nullptr;
    uint32_t help_id = 0;
    uint32_t prompt_id = 0;
    int32_t flags = 0;              // 1 a point step (typed digits open the coordinate dialog)
    char* text_buffer = nullptr;    // the step's typed text, caller-owned
    size_t text_capacity = 0;       // bytes of text_buffer, terminator included
    const StrokeFont* text_font = nullptr;  // in-place text entry only
    object* text_object = nullptr;  // TEXT2 receiving typed characters (in-place entry)
    Vec3 points[kInputPoints] = {};  // remembered points: 0 rubber-band origin, 1 reference
    RTC* phantom_objects = nullptr;  // one object or a buffer; not owned
    Vec3 phantom_base = {0, 0, 0};
    // The chain of nested input (a dialog's pick during a step).
    DocInputState* previous = nullptr;
    VIEW* previous_command_view = nullptr;
    int32_t saved_mode = 0;
};

// The engine side of a drawing document. The document (the application's CDoc, or
// a test's document) owns one and points its MODEL's `document` at it.
struct DrawingDocument {
    DocInputState base;
    DocInputState* current = &base;  // the state of the innermost input
    void* owner = nullptr;           // the window side's document, not owned
};

// The window side of the view services.
class ViewHost {
  public:
    virtual ~ViewHost() = default;

    // ---- Documents
    // Walk over the open drawings (documents of the drawing template): the first and
    // the next MODEL, 0 at the end.
    virtual MODEL* first_drawing() = 0;
    virtual MODEL* next_drawing() = 0;
    // The document's path ("" for an unsaved drawing).
    virtual std::string doc_path(VIEW* view) = 0;
    virtual void set_modified(VIEW* view, int flag) = 0;
    virtual void doc_update_all(VIEW* view) = 0;
    // Refills the layer lists of every drawing view of the view's drawing; 0 or 8.
    [[nodiscard]] virtual int fill_layer_lists(VIEW* view) = 0;

    // ---- Status line, readout, messages
    // Shows a string-table text on the status line; -1 clears it.
    virtual void status_prompt(int string_id) = 0;
    // Shows a text made by the command (a count, say) on the status line, until the
    // next prompt replaces it. Nothing by default.
    virtual void status_message(const std::string& text) { (void)text; }
    // Updates the coordinate readout in `mode` (0 blanks it).
    virtual void readout_update(VIEW* view, int mode) = 0;
    virtual void beep(int kind) = 0;
    virtual void help(uint32_t help_id) = 0;

    // ---- The command and its wait
    // Waits for the result of the running command's step (the command processor's
    // WaitCmdMessage with kMsgCmdStep) and returns it: 0, -1, -2 or a command code.
    virtual int wait_step() = 0;
    // Hands a step result to the running command (command_post_code).
    virtual void post_code(int code) = 0;
    // The VIEW of the window that runs the command, or null.
    virtual VIEW* command_view() = 0;
    // True while any command (function or tool) runs.
    virtual bool command_running() = 0;
    // Makes `view`'s window the command window (nested input from a dialog), giving
    // back the previous command VIEW.
    virtual VIEW* set_command_view(VIEW* view) = 0;
    // Shows or hides the cursor mark of the view (and of the drawing's other views
    // unless `this_only`) where its state differs: XOR mode (view_set_xor), then the
    // top tool's DrawMark or the pending step's on_move at the remembered cursor
    // position (showing remembers the VIEW's cursor_pixel first), and only then
    // cursor_shown flips: feedback sees 0 while it draws and 1 while it erases.
    virtual void show_cursor_mark(VIEW* view, bool show, bool this_only) = 0;
    // Lets the window repaint what is invalid now.
    virtual void update_window(VIEW* view) = 0;
    // True when keyboard or mouse input (other than a move to the same place) waits,
    // asked every 16 segments of a phantom draw, which then stops. A window system that
    // cannot peek its queue answers from an InputGate (graphics/view/input_gate.h): input
    // seen since feedback_started, or the draw ran longer than a frame.
    virtual bool input_pending() = 0;
    // A phantom draw (not its erasing pass) starts in `view`.
    virtual void feedback_started(VIEW* view) { (void)view; }

    // ---- Drawing
    // The canvas the view's window shows; null when there is none.
    virtual Canvas* canvas(VIEW* view) = 0;
    // Scroll bars of the view's window follow its projection.
    virtual void update_scroll_bars(VIEW* view) = 0;

    // ---- Typed entry
    // Runs the Enter Coordinate dialog (point != 0) or Enter Number under
    // `prompt_id`, editing `buffer` (capacity bytes). True on OK.
    virtual bool typed_entry_dialog(VIEW* view, int point, uint32_t prompt_id, char* buffer,
                                    size_t capacity) = 0;
    // A choice among `count` methods, `current` first selected (method dialogs).
    // Returns the chosen method, or -1 when cancelled.
    virtual int method_dialog(VIEW* view, uint32_t title_id, const uint32_t* choice_ids, int count,
                              int current) = 0;
    // Moves the pointer to window pixel (x, y) of the view where the window system
    // allows it (the start of the next line of text typed in place). Nothing by
    // default; commands never rely on it.
    virtual void warp_pointer(VIEW*, int, int) {}
};

// Installs the host (null: none); returns the previous one.
ViewHost* view_host_install(ViewHost* host);
ViewHost* view_host();

// ---- Navigation (Qt-free; the view walk uses the MODEL's ring of attached views)

// The document record of the drawing, or null.
DrawingDocument* drawing_document(const MODEL* model);
// The document's current DocInputState of the view's drawing; null without one.
DocInputState* view_input_state(const VIEW* view);
// The view's scroll-area floats (its extents box).
float* view_params(VIEW* view);
// The document's path, owned by the caller ("" without a host or document).
std::string view_doc_path(VIEW* view);
// The first VIEW of the drawing that has a window (drawing view), 0 when none.
VIEW* drawing_first_view(const MODEL* model);
// The next VIEW with a window after `view` in its drawing's ring, 0 at the end.
// Walks step from the VIEW given, so nested walks do not disturb each other.
VIEW* drawing_next_view(const VIEW* view);
// The open drawings, through the host.
MODEL* first_document_drawing();
MODEL* next_document_drawing();

// ---- Shell services used by the commands
void status_prompt(int string_id);
void status_message(const std::string& text);
void view_set_modified(VIEW* view, int flag);
void view_doc_update_all(VIEW* view);
void view_update_scrollbars_all(VIEW* view);
// Every view of the drawing repaints `box` (drawing coordinates; null: all).
void view_notify_all(VIEW* view, const BBox* box, int erase);
// Resets the visible extents, updates the scroll bars, invalidates the whole window
// with erasing and, with `now`, repaints at once.
void view_refresh(VIEW* view, int now);
void view_refresh_deferred(VIEW* view);
void invalidate_all_views();
// command_post_code through the host.
void command_post_code(int code);

// ---- The internal clipboard of drawings (filled by the copy and paste commands)
// Its base point, and the drawing it holds (null when empty; enables Paste).
Vec3* clip_buffer();
MODEL** clip_contents();

// ---- Input modes and nested picks
// VIEW::input_mode: whether a command takes input in the view.
inline constexpr int kInputIdle = 0;    // none: the coordinate readout is blank
inline constexpr int kInputActive = 1;  // a command runs: the readout follows the cursor
// Stores the mode (kInputIdle or kInputActive); kInputIdle blanks the coordinate
// readout. Sets the length- and angle-format modes from the VIEW (g_length_format_mode,
// g_angle_format_mode).
void view_set_input_mode(VIEW* view, int mode);
void view_restore_input_mode(VIEW* view);
extern int g_length_format_mode;  // 0, 1 or 5
extern int g_angle_format_mode;   // 3 degrees and minutes, 4 radians
// Brackets an interactive input started from a modal dialog: the caller's `state`
// (any DocInputState of its own, alive until the end call) becomes the document's
// current state and the view the command view; the end call restores both.
void view_begin_nested_input(VIEW* view, DocInputState* state);
void view_end_nested_input(VIEW* view);
