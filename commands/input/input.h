// The input routines of interactive commands: each describes the pending step in
// the drawing document's DocInputState (prompt, feedback, options, help, typed text),
// shows the prompt and waits for the step's result through the view host, then
// turns it into a point, a distance, an angle, a box or a set of objects, with
// object snaps and grid steps applied (snap.h) or from typed text.
//
// Every routine takes the command's VIEW by reference and writes back the VIEW that
// runs the command afterwards (the command may have moved to another view of the
// drawing; null when its window closed). Results: 0 input given, -1 refused (Esc,
// right button, options changed), -2 cancelled (leave at once), other values engine
// codes. User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/view/view_host.h"
#include "model/math/types.h"
#include "resources/string_ids.h"

class VIEW;
class MODEL;
class buffer;
class RTC;

// Prompt and help ids of the routines.
inline constexpr uint32_t kPromptFirstCorner = IDS_FIRST_CORNER_OF_THE;    // "First corner of the box"
inline constexpr uint32_t kPromptOtherCorner = IDS_ANOTHER_CORNER_OF_THE;  // "Another corner of the box"
inline constexpr uint32_t kPromptSelectObject = IDS_SELECT_THE_OBJECT;     // "Select the object"
inline constexpr uint32_t kHelpSelectObject = 40102;

// Size of the local typed-text buffers of the routines.
inline constexpr size_t kTypedTextSize = 256;

// State of the last typed-input or in-place text operation.
extern int input_accepted;    // 1 accepted, 0 failed
extern int input_error_code;  // engine code of the failure (8, 13)

[[nodiscard]] int input_wait(VIEW** view_ref, uint32_t prompt_id, InputMoveFn on_move,
                             InputOptionsFn on_options, char* text_buffer, size_t text_capacity,
                             int32_t flags, uint32_t help_id);
[[nodiscard]] int input_point(VIEW** view_ref, uint32_t prompt_id, InputMoveFn on_move,
                              InputOptionsFn on_options, Vec3* out, uint32_t help_id);
// mode 0: distance in the view plane; 1 |dy|; 2 |dx| (view coordinates). *typed (when
// given) tells whether the distance was typed rather than picked.
[[nodiscard]] int input_distance(VIEW** view_ref, const Vec3& base, uint32_t prompt_id, int mode,
                                 InputMoveFn on_move, InputOptionsFn on_options, double* out,
                                 uint32_t help_id, bool* typed = nullptr);
// Counter-clockwise angle (radians) from `reference` to the picked point about `centre`.
[[nodiscard]] int input_angle(VIEW** view_ref, const Vec3& centre, const Vec3& reference,
                              uint32_t prompt_id, InputMoveFn on_move, InputOptionsFn on_options,
                              double* out, uint32_t help_id);
[[nodiscard]] int input_box(VIEW** view_ref, InputOptionsFn on_options, Vec3* corner1,
                            Vec3* corner2, uint32_t help_id);
// A set of objects: the current selection when it holds objects (no prompt), else
// picked into a new buffer. `*buf` from an earlier pass is freed unless it is a
// selection buffer of any VIEW.
[[nodiscard]] int input_object(VIEW** view_ref, buffer** buf, Vec3* point);
// Picks into a new buffer until it holds objects. Null with *code set: the step's
// code, or 8 when no buffer could be made.
buffer* input_pick_objects(VIEW** view_ref, Vec3* point, int* code);
// Frees `buf` unless it is a selection buffer; leaves input mode.
void input_finish(VIEW* view, buffer* buf);
// Says on the status line how many objects a click took into `buf` ("1 object
// picked", "3 objects picked"): a click takes every object under the point, and the
// user sees when that was more than the one meant. Nothing for an empty buffer.
void input_report_picked(const buffer* buf);
// Stores a remembered point (slots 0 to 15; other slots are ignored, returning 13).
int input_set_point(VIEW* view, const Vec3& point, int slot);
void input_clear_last_point(VIEW* view);
void input_set_last_point(VIEW* view, RTC* objects, const Vec3& base);

// Typed values the drawing can hold. A typed length, distance, factor or coordinate
// whose result is not finite or lies beyond the float range of the drawing's
// coordinates is refused: these tell the user ("Please enter the value correctly")
// and return false, and the caller asks again. The input routines check what they
// read themselves; commands that read typed text of their own call these.
// Tells the user a typed value cannot be used ("Please enter the value correctly").
void input_refuse_typed();
// Every value finite and within the float range.
bool input_typed_values_usable(const double* values, int count);
// A length measured from `base` in any direction: every coordinate of base plus or
// minus the length within the float range.
bool input_typed_length_usable(const Vec3& base, double length);

// In-place text entry and the options key (installed into the drawing view's rules
// by input_install_hooks).
int typed_input_char(VIEW* view, int ch);
int typed_input_submit(VIEW** view_ref);

// Is `view` still one of the drawing's views? A view closed while a command went on in
// another one is gone; its pointer is compared, never followed.
bool input_view_attached(const MODEL* m, const VIEW* view);
void input_install_hooks();
