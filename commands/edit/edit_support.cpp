// Shared steps of the editing commands: the dialog hooks, the undo depth of commands
// that must roll back, the transform apply with its redraws, the options of Mirror,
// Rotate and Stretch, the clone step of the property changes, and the command tables.
#include <utility>

#include "commands/edit/edit.h"
#include "commands/editcore/transform.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/zoom.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/undo.h"
#include "model/math/result.h"
#include "model/services/prefs.h"

EditDialogs& edit_dialogs() {
    static EditDialogs dialogs;
    return dialogs;
}

int edit_record_depth() { return g_prefs.undo_mode >= 0 ? g_prefs.undo_mode + 1 : g_prefs.undo_mode; }

void edit_trim_undo(MODEL* model) {
    if (model && g_prefs.undo_mode >= 0) model_undo_trim(model, g_prefs.undo_mode);
}

void edit_restore_refs(buffer* objects, buffer* saved) {
    // Exchanging the lists needs no memory: the buffer cannot come back short.
    buffer_swap_refs(objects, saved);
}

int transform_default_options() {
    if (g_prefs.delete_parents) return 3;
    if (g_prefs.link_parents) return 5;
    return 1;
}

int input_objects_and_base(VIEW** view_ref, buffer** objects, Vec3* base, uint32_t help_id) {
    view_set_input_mode(*view_ref, kInputActive);
    Vec3 pick;
    int rc = input_object(view_ref, objects, &pick);
    if (rc == 0 && *view_ref)
        rc = input_point(view_ref, kPromptBasePoint, cursor_draw_crosshair, nullptr, base, help_id);
    return rc;
}

VIEW* edit_next_objects(VIEW** view_ref, buffer** objects, int* rc) {
    Vec3 pick;
    *rc = input_object(view_ref, objects, &pick);
    return *rc == 0 && *view_ref && *objects ? *view_ref : nullptr;
}

void edit_redraw_box(VIEW* view, const BBox& box) {
    if (box.min.x > box.max.x) return;
    view_notify_all(view, &box, 1);
}

namespace {

BBox box_of(const buffer* objects) {
    BBox box;
    buffer_get_bbox(objects, &box);
    return box;
}

}  // namespace

bool transform_result_usable(const buffer* objects, const Transform& t) {
    const BBox box = box_of(objects);
    if (bbox_is_empty(box)) return true;
    // The carried box's corners bound every carried point (the transform is affine).
    double corners[24];
    for (int i = 0; i < 8; ++i) {
        const Vec3d c = {(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                         (i & 4) ? box.max.z : box.min.z};
        Vec3d moved;
        xform_point_d(&moved, &c, &t, 0);
        corners[3 * i] = moved.x, corners[3 * i + 1] = moved.y, corners[3 * i + 2] = moved.z;
    }
    return input_typed_values_usable(corners, 24);
}

bool move_result_usable(const buffer* objects, const Vec3& base, const Vec3& to) {
    Transform t;
    xform_translate(&t, static_cast<double>(to.x) - base.x, static_cast<double>(to.y) - base.y,
                    static_cast<double>(to.z) - base.z);
    return transform_result_usable(objects, t);
}

int objects_apply_transform(VIEW* view, buffer* objects, const Vec3& p1, const Vec3& p2, const Vec3& p3,
                            int32_t mode, int* new_level) {
    if (!view) return kBadArgument;
    if (!objects) return 0;
    Transform t;
    if (int rc = xform_from_points(&t, p1, p2, p3, mode)) return rc;
    return objects_apply_transform_by(view, objects, t, mode, new_level);
}

int objects_apply_transform_by(VIEW* view, buffer* objects, const Transform& t, int32_t mode, int* new_level) {
    if (!view) return kBadArgument;
    if (!objects) return 0;
    view_set_modified(view, 1);
    BBox old_box = kEmptyBBox;
    const bool replace = (mode & 16) != 0;
    if (replace) {
        old_box = box_of(objects);
        view_gdi_list_all_cur(view, objects);
    }
    buffer* made = buffer_new();
    // The sources leave the ring buffers as they are replaced; a failed pass puts
    // them back into the caller's buffer (the rollback restores the objects).
    buffer* saved = replace ? buffer_copy_unringed(objects) : nullptr;
    if (!made || (replace && !saved)) {
        buffer_free(&made);
        buffer_free(&saved);
        return kOutOfMemory;
    }
    CONTAINER* into = view->current_layer ? static_cast<CONTAINER*>(view->current_layer)
                                          : static_cast<CONTAINER*>(view_drawing(view));
    const int32_t flags = replace ? 0 : (mode & kXformCopy);
    // Trimming to the setting here would drop the caller's open level (styles a Paste
    // brought in) before it could be rolled back.
    const bool joins = new_level && *new_level == 0;
    const int rc = transform_objects_by(into, made, objects, t, flags | (mode & kXformNoUndo), new_level,
                                       joins ? edit_record_depth() : g_prefs.undo_mode);
    if (replace && rc == 0 && !(mode & kXformNoUndo)) {
        buffer_swap_refs(objects, made);
        edit_redraw_box(view, old_box);
    } else if (replace && rc != 0) {
        edit_restore_refs(objects, saved);
    }
    buffer_free(&saved);
    const BBox box = box_of(replace ? objects : made);
    buffer_free(&made);
    edit_redraw_box(view, box);
    views_compute_extents(view);
    view_update_scrollbars_all(view);
    return rc;
}

int transform_confirm_apply(VIEW* view, buffer* objects, const Vec3& p1, const Vec3& p2, const Vec3& p3, int kind) {
    Transform t;
    if (int rc = xform_from_points(&t, p1, p2, p3, kind)) return rc;
    return transform_confirm_apply_by(view, objects, t, kind);
}

int transform_confirm_apply_by(VIEW* view, buffer* objects, const Transform& t, int kind) {
    const int quiet = kind == kKindRotate ? g_prefs.turn : kind == kKindMirror ? g_prefs.mirror : g_prefs.resize;
    int options;
    if (!quiet && edit_dialogs().transform_options)
        options = edit_dialogs().transform_options(view, kind);
    else
        options = transform_default_options();
    if (!(options & 1)) return 0;
    int new_level = 1;
    return objects_apply_transform_by(view, objects, t, (options & 2) ? 16 : kXformCopy, &new_level);
}

int edit_clone_step(VIEW* view, buffer* objects, bool* cloned, buffer** originals) {
    *cloned = false;
    if (originals) *originals = nullptr;
    if (!view || !objects) return kBadArgument;
    MODEL* model = view_drawing(view);
    buffer* made = buffer_new();
    buffer* saved = buffer_copy_unringed(objects);
    if (!made || !saved) {
        buffer_free(&made);
        buffer_free(&saved);
        return kOutOfMemory;
    }
    CONTAINER* into = view->current_layer ? static_cast<CONTAINER*>(view->current_layer)
                                          : static_cast<CONTAINER*>(model);
    const Vec3 zero = {0, 0, 0};
    int new_level = 1;
    // Recorded one level deeper than the setting so that a cancel can roll it back.
    int rc = transform_objects(into, made, objects, zero, zero, zero, kXformMove, &new_level, edit_record_depth());
    if (rc == 0 && new_level == 0) {
        buffer_swap_refs(objects, made);
        *cloned = true;
    } else if (rc != 0) {
        edit_restore_refs(objects, saved);
    }
    buffer_free(&made);
    if (originals && *cloned)
        *originals = saved;
    else
        buffer_free(&saved);
    return rc;
}

void edit_rollback_clones(VIEW* view, buffer* objects, buffer** originals) {
    if (MODEL* m = view_drawing(view)) model_rollback(m);
    if (originals && *originals) edit_restore_refs(objects, *originals);
    buffer_free(originals);
}

const EditCommandFn kTransformTable[8] = {cmd_move,    cmd_copy,    cmd_copy_clipboard, cmd_mirror,
                                          cmd_rotate,  cmd_stretch, cmd_group,          cmd_split_group};
const EditCommandFn kPropertyTable[8] = {cmd_change_material, cmd_change_line_style, cmd_change_layer,
                                         cmd_adjust_camera,   cmd_adjust_light,      cmd_change_hatch,
                                         cmd_change_text,     cmd_change_label};

EditCommandFn edit_command_for(uint32_t id) {
    if (id >= 15100 && id <= 15107) return kTransformTable[id - 15100];
    if (id >= 15400 && id <= 15407) return kPropertyTable[id - 15400];
    switch (id) {
        case kCmdSelect:
            return cmd_select;
        case kCmdDeselect:
            return cmd_deselect;
        case kCmdDelete:
            return cmd_delete;
        case kCmdCopyClipboard:
            return cmd_copy_clipboard;
        case kCmdPaste:
            return cmd_paste;
        default:
            return nullptr;
    }
}
