// Command support: adding objects with the current attributes, undo and redo of
// the drawing view, style fall-back, the drawing state of new VIEWs, the cursor
// angle, the display colours and the model hooks.
#include "commands/input/support.h"

#include <cfloat>
#include <cmath>

#include "commands/input/snap.h"
#include "commands/input/view_walk.h"
#include "commands/input/zoom.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/iter.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "resources/string_ids.h"

int shared_error_code = 0;
int shared_ok = 1;
int default_colour = 15;
int background_colour = 0;

namespace {
AddLayerHook g_previous_add = nullptr;

LAYER* first_layer(MODEL* m, const ZOBJ* other_than) {
    if (!m || !m->children) return nullptr;
    ZDLIST* p = m->children;
    do {
        if (rtc_is_a(p, &LAYER::rtc_class) && p != other_than) return static_cast<LAYER*>(p);
        p = p->next;
    } while (p && p != m->children);
    return nullptr;
}

void fallback_one(VIEW* v, ZOBJ* obj) {
    MODEL* m = view_drawing(v);
    if (v->current_line_style == static_cast<RTC*>(obj))
        v->current_line_style = static_cast<LINEPATT*>(model_find_patt(m, "Solid", &LINEPATT::rtc_class));
    if (v->current_hatch == static_cast<RTC*>(obj)) v->current_hatch = nullptr;
    if (v->current_font == static_cast<RTC*>(obj))
        v->current_font = static_cast<FONTPATT*>(model_find_patt(m, "DEFAULT", &FONTPATT::rtc_class));
    if (v->current_layer == static_cast<RTC*>(obj)) v->current_layer = first_layer(m, obj);
    for (MaterialRecord* mat : {&v->material, &v->second_material})
        for (TextureSlot& s : mat->slots)
            if (s.kind == kTextureImage && s.mapping.image == static_cast<RTC*>(obj)) {
                s.kind = kTextureNone;
                s.mapping.image = nullptr;
            }
}

// The undo step shared by undo and redo: `going` are the objects that leave the
// drawing, `boxes` both halves of the level.
void undo_step(VIEW* view, buffer* going, buffer* other, int (*apply)(MODEL*)) {
    MODEL* m = view_drawing(view);
    BBox b1 = kEmptyBBox, b2 = kEmptyBBox;
    buffer_get_bbox(going, &b1);
    buffer_get_bbox(other, &b2);
    bbox_union(b2, &b1);
    view_set_colour_index(view, background_colour);
    view_gdi_list_all_cur(view, going);
    for (RefNode* n = going ? going->refs : nullptr; n; n = n->next)
        if (n->ref) style_fallback_on_remove(view, n->ref);
    const std::vector<LAYER*> layers = model_layer_order(m);
    apply(m);
    views_follow_layers(m, layers);
    view_notify_all(view, bbox_is_empty(b1) ? nullptr : &b1, 1);
    views_compute_extents(view);
    view_update_scrollbars_all(view);
}

bool refuse_while_running() {
    ViewHost* h = view_host();
    if (h && h->command_running()) {
        h->beep(-1);
        return true;
    }
    return false;
}

// Whether every point of the object is finite (every vertex of a mesh, hidden edges
// too). Coordinates are stored as floats, so a finite point also lies within the
// drawing's range.
class FiniteCheck : public ZITER {
  public:
    FiniteCheck() { flags = kIterPointsOnly; }
    int move_to(double x, double y, double z, int, int) override { return point(x, y, z); }
    int line_to(double x, double y, double z, int, int) override { return point(x, y, z); }
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
        if (point(a.x, a.y, a.z) || point(b.x, b.y, b.z)) return 1;
        return point(c.x, c.y, c.z);
    }
    int point(double x, double y, double z) {
        finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
        return finite ? 0 : 1;  // the first one that is not ends the walk
    }
    bool finite = true;
};

// The points that define line work (its display geometry is built from them).
bool defining_points_finite(const object* obj) {
    if (const auto* x = rtc_cast<XPLINE>(obj)) {
        return plist_finite(x->control);
    } else if (const auto* e = rtc_cast<ELARC>(obj)) {
        return vec3_finite(e->centre) && vec3_finite(e->axis1) && vec3_finite(e->axis2) && std::isfinite(e->start) &&
               std::isfinite(e->end);
    } else if (const auto* t = rtc_cast<TEXT2>(obj)) {
        return vec3_finite(t->insert);
    }
    return true;
}

constexpr uint32_t kTextBeyondRange = IDS_OBJECT_BEYOND_RANGE;  // the object would lie beyond the drawing's range

// Refuses an object with a coordinate that is not finite, saying so: 13.
int refuse_beyond_range() {
    msgbox_ids(kStrIdWarning, kTextBeyondRange);
    return kBadArgument;
}

}  // namespace

void light_set_palette_colour(object* obj) {
    if (!rtc_is_a(obj, &LIGHT::rtc_class)) return;
    LIGHT* l = static_cast<LIGHT*>(obj);
    float rgba[4];
    colour_index_rgb(rgba, l->colour);
    for (int i = 0; i < 3; ++i) l->light_colour[i] = rgba[i];
    l->light_colour[3] = 0.0f;
}

int drawing_add_object(VIEW* view, std::unique_ptr<object> obj, int linear) {
    if (!obj) return 0;
    if (!view) return kBadArgument;
    obj->width = static_cast<float>(view->line_width);
    obj->colour = view->current_colour;
    if (MESH3* mesh = rtc_cast<MESH3>(obj.get())) {
        obj->width = 0.0f;
        if (!mesh->material || material_copy(mesh->material, &view->material) != 0)
            return kOutOfMemory;
    }
    if (!defining_points_finite(obj.get())) return refuse_beyond_range();
    if (WIRE* w = rtc_cast<WIRE>(obj.get())) {
        w->curve_step = linear ? view->accuracy_linear : view->accuracy_angular;
        w->line_style = view->current_line_style;
        w->second = view->line_style_scale;
        if (int r = regen_object(obj.get())) return r;
    }
    light_set_palette_colour(obj.get());
    const int r = drawing_insert_object(view, obj.get());
    if (r == 0) obj.release();  // the drawing's now
    return r;
}

int drawing_insert_object(VIEW* view, object* obj) {
    if (!view || !obj) return 0;
    FiniteCheck check;
    if (!defining_points_finite(obj) || (obj->walk(&check), !check.finite)) return refuse_beyond_range();
    CONTAINER* target = view->current_layer;
    const bool layer = target && rtc_is_a(target, &LAYER::rtc_class);
    int r;
    if (layer)
        r = model_add_object(target, obj, g_prefs.undo_mode, 1);
    else
        r = target ? container_insert(target, obj) : kBadArgument;
    if (r == 0) {
        views_extend_extents(view, obj);
        if (layer) view_gdi_object_all(view, obj);
        view_update_scrollbars_all(view);
    }
    view_set_modified(view, 1);
    return r;
}

namespace {

// Undoes (`redo` false) or redoes the next level: the objects that leave the drawing
// are erased and lose their place as current styles first.
void replay_level(VIEW* view, MODEL* m, bool redo) {
    buffer* added = buffer_create();
    buffer* deleted = buffer_create();
    // Without memory for the listing the step still happens; the views redraw whole.
    if (added && deleted) (void)undo_level_objects(m, redo ? 1 : 0, added, deleted);
    auto holds_layer = [](const buffer* b) {
        for (const RefNode* n = b ? b->refs : nullptr; n; n = n->next)
            if (n->ref && rtc_is_a(n->ref, &LAYER::rtc_class)) return true;
        return false;
    };
    // A layer that leaves or comes back changes the names the layer lists offer.
    const bool layers = !added || !deleted || holds_layer(added) || holds_layer(deleted);
    if (redo) {
        undo_step(view, deleted, added, model_redo);
    } else {
        undo_step(view, added, deleted, model_undo);
    }
    buffer_free(&added);
    buffer_free(&deleted);
    if (ViewHost* h = layers ? view_host() : nullptr) h->fill_layer_lists(view);
}

}  // namespace

int cmd_undo(VIEW* view) {
    MODEL* m = view_drawing(view);
    if (!m || m->undo_levels < 1) return 0;
    if (refuse_while_running()) return 0;
    replay_level(view, m, false);
    return 0;
}

int cmd_redo(VIEW* view) {
    MODEL* m = view_drawing(view);
    if (!m || model_redo_count(m) < 1) return 0;
    if (refuse_while_running()) return 0;
    replay_level(view, m, true);
    return 0;
}

void style_fallback_on_remove(VIEW* view, ZOBJ* obj) {
    if (!obj || !view) return;
    MODEL* m = view_drawing(view);
    if (!m) {
        fallback_one(view, obj);
        return;
    }
    for_each_model_view(m, [&](VIEW* v) { fallback_one(v, obj); });
}

void view_layer_flags_init(std::vector<int32_t>* flags, const MODEL* model, const std::vector<int32_t>* source) {
    shared_ok = 1;
    flags->clear();
    try {
        if (source && !source->empty()) {
            *flags = *source;
            return;
        }
        if (!model || !model->children) return;
        ZDLIST* p = model->children;
        do {
            if (rtc_is_a(p, &LAYER::rtc_class)) flags->push_back(1);
            p = p->next;
        } while (p && p != model->children);
    } catch (...) {
        shared_ok = 0;
        shared_error_code = kOutOfMemory;
    }
}

void view_state_push(std::vector<int32_t>* flags, int32_t word) {
    try {
        flags->push_back(word);
    } catch (...) {
        shared_ok = 0;
        shared_error_code = kOutOfMemory;
    }
}

void view_set_cursor_angle(VIEW* view, double angle) {
    if (!view) return;
    view->cursor_angle = angle;
    view->cross_arm[1] = static_cast<int32_t>(std::trunc(std::cos(angle) * 2048.0));
    view->cross_arm[0] = static_cast<int32_t>(std::trunc(std::sin(angle) * 2048.0));
}

int view_setup(VIEW* view, MODEL* model, const VIEW* source) {
    if (!view) return kBadArgument;
    shared_ok = 1;
    shared_error_code = 0;
    if (source) {
        view->projection = source->projection;
        view->projection.line = nullptr;
        view->projection.triangle = nullptr;
        view->projection.pen = nullptr;
        view->projection.context = nullptr;
        view->display_mode = source->display_mode;
        view->grid_steps[0] = source->grid_steps[0];
        for (int i = 0; i < 4; ++i) view->grid_steps[i] = source->grid_steps[i];
        view->keep_depth = source->keep_depth;
        view->grid_on = source->grid_on;
        view->step_select = source->step_select;
        view->input_flags = source->input_flags;
        view->elevation = source->elevation;
        view->cursor_angle = source->cursor_angle;
        view->cross_arm[0] = source->cross_arm[0];
        view->cross_arm[1] = source->cross_arm[1];
        view->coordinate_type = source->coordinate_type;
        view->cartesian = source->cartesian;
        view->length_unit = source->length_unit;
        view->degrees = source->degrees;
        view->user_origin = source->user_origin;
        view->current_colour = source->current_colour;
        view->current_hatch = source->current_hatch;
        view->current_font = source->current_font;
        view->line_width = source->line_width;
        view->line_style_scale = source->line_style_scale;
        view->accuracy_linear = source->accuracy_linear;
        view->accuracy_angular = source->accuracy_angular;
        view->zoom_limit = source->zoom_limit;
        if (material_copy(&view->material, &source->material) != 0 ||
            material_copy(&view->second_material, &source->second_material) != 0)
            return kOutOfMemory;
        view->cursor_pixel[0] = 150;
        view->cursor_pixel[1] = 100;
        view->cursor[0] = 150.0;
        view->cursor[1] = 100.0;
        view->cursor[2] = 0.0;
    } else if (model) {
        view->current_font = static_cast<FONTPATT*>(model_find_patt(model, "DEFAULT", &FONTPATT::rtc_class));
        view->current_line_style = static_cast<LINEPATT*>(model_find_patt(model, "Solid", &LINEPATT::rtc_class));
    }
    view->window = nullptr;
    if (!view->selection) view->selection = buffer_new();
    if (!view->selection) return kOutOfMemory;
    if (source) {
        view->current_layer = source->current_layer;
        view->current_line_style = source->current_line_style;
        view_layer_flags_init(&view->layer_state.flags, model, &source->layer_state.flags);
    } else {
        view->current_layer = first_layer(model, nullptr);
        view_layer_flags_init(&view->layer_state.flags, model, nullptr);
    }
    if (model) model_attach_view(model, view);
    return shared_ok ? 0 : shared_error_code;
}

VIEW* view_new(MODEL* model, const VIEW* source) {
    std::unique_ptr<VIEW> v = rtc_make<VIEW>();
    if (!v) return nullptr;
    if (view_setup(v.get(), model, source) != 0) {
        model_detach_view(v.get());
        return nullptr;
    }
    return v.release();
}

void display_colours_update() {
    g_display.black_background = g_prefs.black_bkg != 0;
    background_colour = display_background_colour();
    default_colour = 15;
    invalidate_all_views();
}

int hook_object_added(MODEL* model, LAYER* layer, const char* name) {
    int r = g_previous_add ? g_previous_add(model, layer, name) : model_hook_add_layer_default(model, layer, name);
    if (r != 0) return r;
    VIEW* v = drawing_first_view(model);
    if (v && view_drawing(v) == model) return views_add_layer_flag(v, 1);
    // Views without windows get the flag too.
    for_each_model_view(model, [](VIEW* w) { (void)view_push_layer_flag(w, 1); });
    return 0;
}

int hook_object_changed(ZOBJ* obj, int redraw) {
    if (!obj) return 0;
    object* o = rtc_is_a(obj, &object::rtc_class) ? static_cast<object*>(obj) : nullptr;
    VIEW* v = nullptr;
    if (redraw) {
        v = drawing_first_view(obj_model(obj));
        if (!v || !o) redraw = 0;
    }
    if (redraw) view_gdi_object_all_cur(v, o);
    int r = o ? regen_object(o) : 0;
    if (redraw) view_gdi_object_all(v, o);
    if (v) view_set_modified(v, 1);
    return r;
}

void model_hooks_install() {
    shared_error_code = 0;
    shared_ok = 1;
    g_hook_object_changed = &hook_object_changed;
    const float empty[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (int i = 0; i < 6; ++i) g_view_default_area[i] = empty[i];
    if (g_hook_add_layer != &hook_object_added) {
        g_previous_add = g_hook_add_layer;
        g_hook_add_layer = &hook_object_added;
    }
    snap_track_changes();
}
