// Group, Split group and the internal clipboard of drawings (Copy, Paste): each
// changes the drawing in one undo level and leaves it unchanged on failure.
#include <memory>

#include "commands/edit/edit.h"
#include "commands/editcore/transform.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/zoom.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"

namespace {

bool ask(uint32_t prompt) { return msgbox_yes_no("%s", res_load_string(prompt).c_str()); }

bool is_group(const ZOBJ* obj) { return obj && rtc_is_a(obj, &CONTAINER::rtc_class) && !rtc_is<LAYER>(obj) && !rtc_is<MODEL>(obj); }

CONTAINER* current_container(VIEW* view) {
    if (view->current_layer) return view->current_layer;
    return view_drawing(view);
}

}  // namespace

int cmd_group(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    VIEW* view = *view_ref;
    buffer* sel = view->selection;
    if (!buffer_has_objects(sel)) {
        msgbox_ids(0, kTextNoSelection);
        return 0;
    }
    if (!ask(kPromptCollectGroup)) return 0;
    MODEL* model = view_drawing(view);
    buffer* saved = buffer_copy_unringed(sel);
    buffer* clones = buffer_new();
    if (!saved || !clones || !model) {
        buffer_free(&saved);
        buffer_free(&clones);
        return kOutOfMemory;
    }
    const int depth = edit_record_depth();
    int new_level = 1, rc = 0;
    BBox old_box;
    buffer_get_bbox(sel, &old_box);
    for (RefNode* n = saved->refs; n && rc == 0; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj || rtc_is<LAYER>(obj) || rtc_is<MODEL>(obj)) continue;
        std::unique_ptr<RTC> made;
        rc = rtc_clone(&made, obj);
        if (rc == 0) rc = buffer_add(clones, static_cast<ZOBJ*>(made.get()));
        if (rc != 0) break;
        made.release();
        rc = model_delete_object(obj, depth, new_level);
        if (rc == 0) new_level = 0;
    }
    CONTAINER* group = nullptr;
    if (rc == 0) {
        auto made = rtc_make<CONTAINER>();
        if (!made) rc = kOutOfMemory;
        if (rc == 0) rc = model_add_object(current_container(view), made.get(), depth, new_level);
        if (rc == 0) {
            group = made.release();
            new_level = 0;
            rc = container_insert_buffer(group, clones);
        }
    }
    if (rc != 0) {
        if (new_level == 0) model_rollback(model);
        buffer_delete_objects_unlinked(clones);
        edit_restore_refs(sel, saved);
    } else {
        group->colour = view->current_colour;
        obj_update_bbox(group);
        glimpse_notify_object_added(model, group);
        model_notify_views(model, &group->box, 1);
        buffer_clear(sel);
        view_set_modified(view, 1);
    }
    edit_trim_undo(model);
    edit_redraw_box(view, old_box);
    buffer_free(&clones);
    buffer_free(&saved);
    return rc;
}

int cmd_split_group(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    VIEW* view = *view_ref;
    buffer* sel = view->selection;
    bool any = false;
    for (RefNode* n = sel->refs; n && !any; n = n->next) any = is_group(n->ref);
    if (!any) {
        msgbox_ids(0, kTextNoGroups);
        return 0;
    }
    if (!ask(kPromptSplitGroups)) return 0;
    MODEL* model = view_drawing(view);
    buffer* saved = buffer_copy_unringed(sel);
    if (!saved) return kOutOfMemory;
    BBox box;
    buffer_get_bbox(sel, &box);
    const int depth = edit_record_depth();
    int new_level = 1, rc = 0;
    for (RefNode* n = saved->refs; n && rc == 0; n = n->next) {
        if (!is_group(n->ref)) continue;
        auto* grp = static_cast<CONTAINER*>(n->ref);
        CONTAINER* home = grp->parent;
        std::unique_ptr<RTC> made;
        rc = rtc_clone(&made, grp);
        if (rc == 0) rc = model_delete_object(grp, depth, new_level);
        if (rc != 0) break;
        new_level = 0;
        auto* copy = static_cast<CONTAINER*>(made.get());
        while (copy->children && rc == 0) {
            ZOBJ* child = static_cast<ZOBJ*>(copy->children);
            obj_remove(child);
            rc = model_add_object(home, child, depth, 0);
            if (rc != 0) rtc_destroy(child);
        }
    }
    if (rc != 0) {
        if (new_level == 0) model_rollback(model);
        edit_restore_refs(sel, saved);
    } else {
        buffer_clear(sel);
        model_notify_views(model, &box, 1);
        view_set_modified(view, 1);
    }
    edit_trim_undo(model);
    buffer_free(&saved);
    return rc;
}

// ---- The clipboard

int pattern_copy_into(MODEL* target, PATT* pattern, int* new_level) {
    if (!target || !pattern) return 0;
    if (model_find_patt(target, pattern->name(), pattern->klass())) return 0;
    std::unique_ptr<PATT> copy = patt_clone(pattern);
    if (!copy) return kOutOfMemory;
    const int level_was = *new_level;
    int rc = model_add_object(target, copy.get(), edit_record_depth(), *new_level);
    if (rc != 0) {
        if (!level_was) {
            model_rollback(target);
            *new_level = 1;  // the level is gone: nothing is left to roll back
        }
        return rc;
    }
    copy.release();
    *new_level = 0;
    return 0;
}

namespace {

int material_patterns(MODEL* target, const MaterialRecord* m, int* new_level) {
    if (!m) return 0;
    for (const TextureSlot& slot : m->slots) {
        if (slot.kind == kTextureImage && slot.mapping.image) {
            if (int rc = pattern_copy_into(target, static_cast<PATT*>(slot.mapping.image), new_level)) return rc;
        }
    }
    return 0;
}

}  // namespace

namespace {

// The styles of one object that is no group.
int patterns_copy_for_one(MODEL* target, object* obj, int* new_level) {
    if (auto* w = rtc_cast<WIRE>(obj)) {
        if (int rc = pattern_copy_into(target, w->line_style, new_level)) return rc;
        if (auto* t = rtc_cast<TEXT2>(obj)) return pattern_copy_into(target, t->font, new_level);
        if (auto* h = rtc_cast<HATCH>(obj)) return pattern_copy_into(target, h->pattern, new_level);
        return 0;
    }
    if (auto* m = rtc_cast<MESH3>(obj)) return material_patterns(target, m->material, new_level);
    if (auto* c = rtc_cast<CAMERA>(obj)) return material_patterns(target, c->material, new_level);
    return 0;
}

}  // namespace

int patterns_copy_for_object(MODEL* target, object* obj, int* new_level) {
    if (!obj) return 0;
    if (rtc_is<MODEL>(obj)) return patterns_copy_for_one(target, obj, new_level);
    // Every member of a group, in pre-order without recursion (groups nest as deep as a
    // file may hold).
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        auto* o = rtc_cast<object>(z);
        if (!o || rtc_is<CONTAINER>(o)) continue;
        if (int rc = patterns_copy_for_one(target, o, new_level)) return rc;
    }
    return 0;
}

int patterns_copy_for_buffer(MODEL* target, buffer* objects, int* new_level) {
    if (!objects) return 0;
    for (RefNode* n = objects->refs; n; n = n->next) {
        if (int rc = patterns_copy_for_object(target, rtc_cast<object>(n->ref), new_level)) return rc;
    }
    return 0;
}

int layers_copy_for_buffer(MODEL* target, buffer* objects) {
    if (!target || !objects) return 0;
    for (RefNode* n = objects->refs; n; n = n->next) {
        auto* obj = rtc_cast<ZOBJ>(n->ref);
        if (!obj) continue;
        auto* layer = rtc_cast<LAYER>(obj_find_ancestor(obj->parent, &LAYER::rtc_class));
        if (!layer || !layer->name()[0]) continue;
        if (model_find_named(target, layer->name(), &LAYER::rtc_class)) continue;
        auto made = rtc_make<LAYER>();
        if (!made) return kOutOfMemory;
        AddLayerHook hook = g_hook_add_layer ? g_hook_add_layer : model_hook_add_layer_default;
        if (int rc = hook(target, made.get(), layer->name())) return rc;
        made.release();
    }
    return 0;
}

int clipboard_collect(MODEL* clip, buffer* into) {
    if (!clip || !into) return kBadArgument;
    ZDLIST* p = clip->children;
    if (!p) return 0;
    do {
        if (rtc_is<LAYER>(p)) {
            auto* layer = static_cast<LAYER*>(p);
            ZDLIST* q = layer->children;
            if (q) {
                do {
                    if (int rc = buffer_add(into, static_cast<ZOBJ*>(q))) return rc;
                    q = q->next;
                } while (q != layer->children);
            }
        } else if (rtc_is<object>(p)) {
            if (int rc = buffer_add(into, static_cast<ZOBJ*>(p))) return rc;
        }
        p = p->next;
    } while (p != clip->children);
    return 0;
}

void clipboard_release() {
    MODEL** clip = clip_contents();
    if (clip && *clip) {
        rtc_destroy(*clip);
        *clip = nullptr;
    }
}

int cmd_copy_clipboard(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    buffer* objects = nullptr;
    Vec3 base;
    int rc = input_objects_and_base(view_ref, &objects, &base, 40105);
    if (rc == 0 && *view_ref) {
        view_set_input_mode(*view_ref, kInputIdle);
        auto made = rtc_make<MODEL>();
        if (!made) rc = kOutOfMemory;
        int new_level = 1;
        if (rc == 0) rc = patterns_copy_for_buffer(made.get(), objects, &new_level);
        if (rc == 0) rc = layers_copy_for_buffer(made.get(), objects);
        if (rc == 0) {
            auto* layer = static_cast<CONTAINER*>(model_find_named(made.get(), "default", &LAYER::rtc_class));
            const Vec3 zero = {0, 0, 0};
            int level = 1;
            rc = transform_objects(layer ? layer : made.get(), nullptr, objects, zero, zero, zero,
                                   kXformMove | kXformCopy, &level, -1);
        }
        if (rc == 0) {
            model_free_undo(made.get());
            *clip_buffer() = base;
            clipboard_release();
            *clip_contents() = made.release();
        }
    }
    if (*view_ref) input_finish(*view_ref, objects);
    return rc;
}

int cmd_paste(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    MODEL* clip = *clip_contents();
    if (!clip) return 0;
    buffer* objects = buffer_new();
    if (!objects) return kOutOfMemory;
    int rc = clipboard_collect(clip, objects);
    const Vec3 base = *clip_buffer();
    if (rc == 0) {
        input_set_last_point(*view_ref, objects, base);
        view_set_input_mode(*view_ref, kInputActive);
        Vec3 to;
        // A place that would carry the objects beyond the drawing's range is asked again.
        for (;;) {
            rc = input_point(view_ref, kPromptPasteLocation, cursor_draw_phantom_moved, nullptr, &to, 40105);
            if (rc != 0 || !*view_ref || move_result_usable(objects, base, to)) break;
        }
        if (rc == 0 && *view_ref) {
            VIEW* view = *view_ref;
            MODEL* target = view_drawing(view);
            int new_level = 1;
            rc = patterns_copy_for_buffer(target, objects, &new_level);
            if (rc == 0) rc = layers_copy_for_buffer(target, objects);
            // The styles opened the level when the target lacked some; the objects join
            // it, and a failure anywhere rolls the whole of it back.
            const bool level_open = new_level == 0;
            if (rc == 0)
                rc = objects_apply_transform(view, objects, base, to, to, kXformMove | kXformCopy, &new_level);
            if (rc != 0 && level_open) model_rollback(target);
            edit_trim_undo(target);
        }
        if (*view_ref) {
            input_clear_last_point(*view_ref);
            view_set_input_mode(*view_ref, kInputIdle);
        }
    }
    buffer_free(&objects);
    return rc;
}
