// Rules of the drawing view that need no window: the layer routines behind the
// layer lists and the layer dialogs.
//
// Layer flags: every VIEW keeps one visibility word per LAYER of its drawing, in the
// order of the drawing's layers (a missing entry is visible).
#pragma once

#include <cstdint>

class LAYER;
class MODEL;
class VIEW;

// The position of a layer among the drawing's layers, -1 when it is none of them.
int layer_index_of(const MODEL* model, const LAYER* layer);
// The drawing's layer of that exact name, or null.
LAYER* layer_find(MODEL* model, const char* name);

// Adds a layer of that name to the view's drawing (every view gets a visible flag
// for it). 1 on success. 0 on failure after one message: a name in use keeps the
// existing layer and its objects ("A layer of this name exists already."); out of
// memory says so.
int layer_new(VIEW* view, const char* name);

enum LayerDeleteResult {
    kLayerNotFound = 0,
    kLayerDeleted = 1,
    kLayerIsCurrent = -1,  // some VIEW has it as its current layer (*holder)
    kLayerKept = -2,       // it holds objects and the user said No
    kLayerDeleteFailed = -3,
};
// Deletes a layer by name as one undo level; with `ask`, a layer holding objects is
// deleted only when the user answers Yes. The views drop its flag.
LayerDeleteResult layer_delete_by_name(VIEW* view, const char* name, bool ask, VIEW** holder);
// The checks of layer_delete_by_name without the deletion: kLayerDeleted when the
// layer may go (asked as there), else why not.
LayerDeleteResult layer_delete_allowed(VIEW* view, const char* name, bool ask, VIEW** holder);

// Sets a layer's visibility in the view (select forces it visible and makes it the
// view's current layer). 1 when the visibility changed (the view wants a redraw).
int layer_set_state(VIEW* view, const char* name, bool select, bool visible);
