// The VIEW class: defaults, lifetime, invalidation of the window area showing a box,
// frame placement saved at one size and restored at another, and layer flags.
#include "graphics/view/view.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "graphics/view/colours.h"
#include "graphics/view/view_host.h"
#include "model/db/patt.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/log.h"

RTC_CLASS_RECORD(VIEW, "VIEW", &ZSVIEW::rtc_class, 3, &VIEW::init_level, nullptr, nullptr, true,
                 true);

float g_view_default_area[6] = {-32000.0f, -32000.0f, 0.0f, 32000.0f, 32000.0f, 0.0f};

VIEW::VIEW() {
    set_klass(&rtc_class);
    for (int32_t& c : colours) c = 15;
    for (int i = 0; i < 6; ++i) scroll_area[i] = g_view_default_area[i];
    accuracy_angular = kPi / 12;
    const double dims[7] = {5.0, 3.0, deg_to_rad(10.0), 1.0, 0.4, 4.5, 2.5};
    for (int i = 0; i < 7; ++i) dimension_values[i] = dims[i];
    material_colour = g_display.black_background ? 7 : 0;
    colour_index_rgb(material.colour, material_colour);
    colour_index_rgb(second_material.colour, 7);
}

namespace {
buffer* g_held_selection = nullptr;
bool g_held_orphaned = false;
}  // namespace

void view_hold_selection(buffer* selection) {
    g_held_selection = selection;
    g_held_orphaned = false;
}

void view_release_selection(const buffer* selection) {
    if (!selection || selection != g_held_selection) return;
    g_held_selection = nullptr;
    g_held_orphaned = false;
}

bool view_selection_held(const buffer* selection) { return selection && selection == g_held_selection; }

bool view_selection_orphaned(const buffer* selection) { return view_selection_held(selection) && g_held_orphaned; }

VIEW::~VIEW() {
    ViewHost* h = view_host();
    if (view_selection_held(selection) && h && h->command_running()) {
        g_held_orphaned = true;  // the running command still works on it
        selection = nullptr;
    } else {
        view_release_selection(selection);
        buffer_free(&selection);
    }
}

int VIEW::init_level(RTC* obj) {
    auto* v = static_cast<VIEW*>(obj);
    if (!v->selection) v->selection = buffer_new();
    return v->selection ? 0 : kOutOfMemory;
}

namespace {

// Replaces one reference equal to old_ref; a new reference of another class clears it.
template <class T>
int swap_ref(T** slot, RTC* old_ref, RTC* new_ref) {
    if (!*slot || *slot != old_ref) return 0;
    *slot = (new_ref && rtc_is<T>(new_ref)) ? static_cast<T*>(new_ref) : nullptr;
    return 1;
}

}  // namespace

int VIEW::replace_ref(RTC* old_ref, RTC* new_ref) {
    if (!old_ref || old_ref == new_ref) return 0;
    int n = swap_ref(&current_layer, old_ref, new_ref) +
            swap_ref(&current_line_style, old_ref, new_ref) +
            swap_ref(&current_hatch, old_ref, new_ref) + swap_ref(&current_font, old_ref, new_ref);
    ViewLayerState& st = layer_state;
    n += swap_ref(&st.layer, old_ref, new_ref) + swap_ref(&st.line_style, old_ref, new_ref) +
         swap_ref(&st.hatch, old_ref, new_ref) + swap_ref(&st.font, old_ref, new_ref);
    // A layer that goes for good takes its kept flag with it.
    std::erase_if(st.parked, [old_ref](const auto& e) { return e.first == old_ref; });
    return n != 0;
}

int VIEW::view_slot(const BBox* box, int flags) {
    return view_invalidate(this, box, flags);
}

MODEL* view_drawing(const VIEW* view) {
    return view ? view->model : nullptr;
}

int view_invalidate(VIEW* view, const BBox* box, int flags) {
    if (!view || !view->window) return 0;
    ViewWindow* w = view->window;
    const bool erase = (flags & 1) != 0;
    if (!box || view->display_mode == 1) {
        w->update_scroll_bars();
        w->invalidate(nullptr, true);
    } else {
        if (bbox_is_empty(*box)) return 0;
        int min_x = INT32_MAX, min_y = INT32_MAX, max_x = INT32_MIN, max_y = INT32_MIN;
        for (int i = 0; i < 8; ++i) {
            const Vec3 c = {(i & 1) ? box->max.x : box->min.x, (i & 2) ? box->max.y : box->min.y,
                            (i & 4) ? box->max.z : box->min.z};
            int x, y;
            world_to_pixel(&view->projection, c, &x, &y);
            // Far outside the window: held to the pixel range, so the sums below stay
            // within int.
            x = x < kPixelMin ? kPixelMin : (x > kPixelMax ? kPixelMax : x);
            y = y < kPixelMin ? kPixelMin : (y > kPixelMax ? kPixelMax : y);
            if (x < min_x) min_x = x;
            if (x > max_x) max_x = x;
            if (y < min_y) min_y = y;
            if (y > max_y) max_y = y;
        }
        int cw = 0, ch = 0;
        w->client_size(&cw, &ch);
        WindowRect r;
        r.left = min_x - 4;
        r.top = ch - max_y - 1 - 4;
        r.right = max_x + 1 + 4;
        r.bottom = ch - min_y + 4;
        w->invalidate(&r, erase);
    }
    if (flags & 2) w->update_now();
    return 0;
}

namespace {

void capture_placement(VIEW* view) {
    FramePlacement p;
    if (!view->window->get_placement(&p)) return;
    ViewPlacement& s = view->placement;
    s.show_state = p.state == FramePlacement::kMaximised   ? 2
                   : p.state == FramePlacement::kMinimised ? 1
                                                           : 3;
    view->window->parent_client_size(&s.parent_width, &s.parent_height);
    s.min_x = p.min_x;
    s.min_y = p.min_y;
    s.left = p.normal.left;
    s.top = p.normal.top;
    s.width = p.normal.right - p.normal.left;
    s.height = p.normal.bottom - p.normal.top;
    s.saved = 1;
}

// Placements are scaled by the ratio of two parent sizes, which a stored size of 1
// makes huge: results are held to a range in which the sums below stay within int.
constexpr int kPlacementLimit = 1 << 24;

int scaled(int32_t v, double f) {
    const int r = trunc_int(v * f);
    return r < -kPlacementLimit ? -kPlacementLimit : (r > kPlacementLimit ? kPlacementLimit : r);
}

}  // namespace

int view_placement(VIEW* view, int restore) {
    if (!view || !view->window) return 1;
    if (!restore) {
        capture_placement(view);
        return 0;
    }
    const ViewPlacement& s = view->placement;
    if (s.show_state == 0) return 1;
    int pw = 0, ph = 0;
    view->window->parent_client_size(&pw, &ph);
    const double fx = s.parent_width > 0 ? double(pw) / s.parent_width : 1.0;
    const double fy = s.parent_height > 0 ? double(ph) / s.parent_height : 1.0;
    double f = std::fmax(fx, fy);
    if (fx < 1.0 && fy < 1.0) f = std::fmin(fx, fy);
    if (!std::isfinite(f) || f <= 0) f = 1.0;

    FramePlacement p;
    p.state = s.show_state == 2   ? FramePlacement::kMaximised
              : s.show_state == 1 ? FramePlacement::kMinimised
                                  : FramePlacement::kNormal;
    p.min_x = scaled(s.min_x, f);
    p.min_y = scaled(s.min_y, f);
    int width = scaled(s.width, f), height = scaled(s.height, f);
    if (width < 64) width = 80;
    if (height < 32) height = 60;
    p.normal.left = scaled(s.left, f);
    p.normal.top = scaled(s.top, f);
    p.normal.right = p.normal.left + width;
    p.normal.bottom = p.normal.top + height;
    view->window->adjust_frame_rect(&p.normal);
    view_recentre(view, f);
    view->window->set_placement(p);
    return 0;
}

void view_recentre(VIEW* view, double factor) {
    if (!view || factor == 1.0) return;
    ViewProjection& vp = view->projection;
    if (vp.scale > 0) {
        vp.origin_x -= (view->placement.width / vp.scale) * (factor - 1.0) * 0.5;
        vp.origin_y -= (view->placement.height / vp.scale) * (factor - 1.0) * 0.5;
    }
    view_extents_reset(&vp);
}

int view_layer_flag(const VIEW* view, int index) {
    if (!view || index < 0) return 1;
    const auto& flags = view->layer_state.flags;
    if (static_cast<size_t>(index) >= flags.size()) return 1;
    return flags[index];
}

int view_push_layer_flag(VIEW* view, int32_t flag) {
    if (!view) return kBadArgument;
    try {
        view->layer_state.flags.push_back(flag);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

void view_park_layer_flag(VIEW* view, const LAYER* layer, int32_t flag) {
    if (!view || !layer) return;
    auto& parked = view->layer_state.parked;
    std::erase_if(parked, [layer](const auto& e) { return e.first == layer; });
    try {
        parked.emplace_back(layer, flag);
    } catch (const std::bad_alloc&) {
        // Without memory the layer comes back visible.
    }
}

std::vector<LAYER*> model_layer_order(const MODEL* model) {
    std::vector<LAYER*> out;
    ZDLIST* head = model ? model->children : nullptr;
    if (!head) return out;
    ZDLIST* p = head;
    do {
        if (auto* l = rtc_cast<LAYER>(p)) out.push_back(l);
        p = p->next;
    } while (p && p != head);
    return out;
}

void views_follow_layers(MODEL* model, const std::vector<LAYER*>& before) {
    if (!model || !model->views) return;
    try {
        const std::vector<LAYER*> after = model_layer_order(model);
        if (after == before) return;
        std::unordered_map<const LAYER*, size_t> was;
        for (size_t i = 0; i < before.size(); ++i) was.emplace(before[i], i);
        const std::unordered_set<const LAYER*> now(after.begin(), after.end());
        ZDLIST* p = model->views;
        do {
            if (auto* v = rtc_cast<VIEW>(p)) {
                ViewLayerState& st = v->layer_state;
                auto flag_at = [&](size_t i) { return i < st.flags.size() ? st.flags[i] : 1; };
                std::vector<int32_t> flags;
                flags.reserve(after.size());
                for (LAYER* l : after) {
                    if (auto it = was.find(l); it != was.end()) {
                        flags.push_back(flag_at(it->second));
                        continue;
                    }
                    auto kept = std::find_if(st.parked.begin(), st.parked.end(),
                                             [l](const auto& e) { return e.first == l; });
                    flags.push_back(kept != st.parked.end() ? kept->second : 1);
                    if (kept != st.parked.end()) st.parked.erase(kept);
                }
                for (size_t i = 0; i < before.size(); ++i)
                    if (!now.count(before[i]))
                        view_park_layer_flag(v, before[i], flag_at(i));
                st.flags = std::move(flags);
            }
            p = p->next;
        } while (p && p != model->views);
    } catch (const std::bad_alloc&) {
        // Without memory the flags stay as they were.
    }
}

void view_gdi_object(VIEW* view, object* obj, int colour) {
    if (!view || !view->window || !obj) return;
    if (view->display_mode == 1) {
        if (rtc_is<MESH3>(obj)) view_invalidate(view, &obj->box, 0);
        return;
    }
    // A group (a dimension, a block) in its own colours is each part in its own, as a
    // repaint draws it; the group's colour word is no part's.
    if (colour < 0 && !rtc_is_a(obj, &CONTAINER::rtc_class)) colour = colour_index_fix(obj->colour);
    view->window->draw_object(obj, colour);
}
