// Command support: adding built objects with the view's current attributes, undo
// and redo from the drawing view, keeping a view's styles valid when styles leave
// the drawing, the drawing state of a new VIEW, the cursor angle, the display colours
// and the model hooks that connect drawing changes to the views.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class VIEW;
class MODEL;
class object;
class ZOBJ;
class LAYER;

extern int shared_error_code;  // code of the last failed allocation in view-state code
extern int shared_ok;          // 1 while none failed
extern int default_colour;     // 15
extern int background_colour;  // 7 with the black-background preference, else 0

// Gives a built object the view's width, colour (a light shines in that colour's
// palette entry), material or line attributes (`linear` 1: linear accuracy, 0:
// angular, for circles and ellipses) and inserts it. The object is taken in every
// case: the drawing owns it once inserted, and on any failure it is destroyed. A null
// object gives 0. 0 or the failure code.
[[nodiscard]] int drawing_add_object(VIEW* view, std::unique_ptr<object> obj, int linear);
// A LIGHT shines in the palette colour of its colour index (alpha 0); other objects
// are left as they are.
void light_set_palette_colour(object* obj);
// Inserts into the current layer as an undo step (or, in a group, without undo),
// grows the extents, draws it and marks the document modified; the object keeps
// every attribute it has (a light its colour). A null view or object gives 0. An
// object with a coordinate that is not finite never enters the drawing: the user is
// told and 13 returned (the object stays the caller's).
[[nodiscard]] int drawing_insert_object(VIEW* view, object* obj);
// Undo and redo of the drawing view. While a command runs they are refused with a
// beep (a waiting command holds objects). 0.
int cmd_undo(VIEW* view);
int cmd_redo(VIEW* view);
// Keeps the current styles of every VIEW of the object's drawing valid when the
// object leaves the drawing (a line style falls back to "Solid", a font to
// "DEFAULT", a hatch style to none, image textures to none, a layer to the first
// LAYER).
void style_fallback_on_remove(VIEW* view, ZOBJ* obj);
// Drawing state of a new VIEW, from a source view or from the drawing. 0 or 8.
[[nodiscard]] int view_setup(VIEW* view, MODEL* model, const VIEW* source);
void view_layer_flags_init(std::vector<int32_t>* flags, const MODEL* model, const std::vector<int32_t>* source);
void view_state_push(std::vector<int32_t>* flags, int32_t word);
void view_set_cursor_angle(VIEW* view, double angle);
void display_colours_update();
// Once at start-up: the model hooks, the empty extents box of new VIEWs and snap
// tracking.
void model_hooks_install();
[[nodiscard]] int hook_object_added(MODEL* model, LAYER* layer, const char* name);
[[nodiscard]] int hook_object_changed(ZOBJ* obj, int redraw);
// A new VIEW, set up for the drawing (copying `source` when given); null on failure.
VIEW* view_new(MODEL* model, const VIEW* source);
