// Zoom and extents: extents of the drawing in each view, zoom to a window picked by
// the user (three methods) and to the whole drawing.
#include "commands/input/zoom.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/view_walk.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/iter.h"
#include "model/db/zobj.h"
#include "model/services/log.h"
#include "model/services/prefs.h"
#include "resources/string_ids.h"

namespace {

// Collects the extents of what it walks in one view's coordinates.
class EXTRITER : public ZITER {
  public:
    // Pixel offsets (the symbols of lights and cameras) count at `at_scale`, the
    // view's own scale unless given.
    explicit EXTRITER(const VIEW* v, double at_scale = 0) : view(v), scale(at_scale > 0 ? at_scale : v->projection.scale) {}
    int visit(object* obj, int entering, int status) override {
        if (entering) {
            obj_box = kEmptyBBox;
            if (rtc_is_a(obj, &LAYER::rtc_class) && !view_layer_flag(view, layer_index++)) return -1;
            return 0;
        }
        if (rtc_is_a(obj, &LAYER::rtc_class) && status == -1) return 0;
        if (!bbox_is_empty(obj_box)) {
            const float h = obj->width / 2;
            obj_box.min.x -= h, obj_box.min.y -= h;
            obj_box.max.x += h, obj_box.max.y += h;
            bbox_union(obj_box, &total);
        }
        return status > 0 ? status : 0;
    }
    int move_to(double x, double y, double z, int dx, int dy) override { return point(x, y, z, dx, dy); }
    int line_to(double x, double y, double z, int dx, int dy) override { return point(x, y, z, dx, dy); }
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
        point(a.x, a.y, a.z, 0, 0);
        point(b.x, b.y, b.z, 0, 0);
        return point(c.x, c.y, c.z, 0, 0);
    }
    int point(double x, double y, double z, int dx, int dy) {
        Vec3d p{x, y, z}, v;
        world_to_view_d(&view->projection, p, &v);
        const double s = scale > 0 ? scale : 1.0;
        Vec3 q{static_cast<float>(v.x + dx / s), static_cast<float>(v.y + dy / s), static_cast<float>(v.z)};
        BBox one{q, q};
        bbox_union(one, &obj_box);
        return 0;
    }

    const VIEW* view;
    double scale;
    BBox obj_box = kEmptyBBox;
    BBox total = kEmptyBBox;
    int layer_index = 0;
};

void store(VIEW* v, const BBox& b) {
    float* a = v->scroll_area;
    a[0] = b.min.x, a[1] = b.min.y, a[2] = b.min.z;
    a[3] = b.max.x, a[4] = b.max.y, a[5] = b.max.z;
}

void client(const VIEW* v, int* w, int* h) {
    *w = *h = 0;
    if (v->window) v->window->client_size(w, h);
}

// The largest scale a zoom may set. A limit that is 0, negative or not finite (a
// damaged file, a bad setting) would zoom to a scale no projection can use: the
// default limit stands in for it, as the zoom dialog shows it.
constexpr double kDefaultZoomLimit = 1000.0;
double zoom_limit(const VIEW* v) {
    const double l = v->zoom_limit;
    return l > 0.0 && std::isfinite(l) ? l : kDefaultZoomLimit;
}

}  // namespace

BBox view_extents(const VIEW* v) {
    const float* a = v->scroll_area;
    return BBox{{a[0], a[1], a[2]}, {a[3], a[4], a[5]}};
}

void views_extend_extents(VIEW* view, object* obj) {
    if (!view || !obj) return;
    for_each_model_view(view_drawing(view), [&](VIEW* v) {
        EXTRITER it(v);
        it.total = view_extents(v);
        obj->walk(&it);
        store(v, it.total);
    });
}

void views_compute_extents(VIEW* view) {
    MODEL* m = view_drawing(view);
    if (!m) return;
    wait_cursor_begin();
    for_each_model_view(m, [&](VIEW* v) {
        EXTRITER it(v);
        m->walk(&it);
        store(v, it.total);
    });
    wait_cursor_end();
}

double round_scale(double step, double s) {
    if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(s)) return s;
    if (s < step) return step;
    double r = std::floor((s + step / 2) / step) * step;
    return std::isfinite(r) && r > 0 ? r : s;
}

double round_origin(double scale, double o) {
    if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(o)) return o;
    const double p = 1.0 / scale;
    double r = std::floor((o + p / 2) / p) * p;
    return std::isfinite(r) ? r : o;
}

int view_zoom_window(VIEW* view, const Vec3& c1, const Vec3& c2) {
    if (!view) return 1;
    Vec3 a, b;
    world_to_view(&view->projection, c1, &a);
    world_to_view(&view->projection, c2, &b);
    const double dx = std::fabs(static_cast<double>(a.x) - b.x), dy = std::fabs(static_cast<double>(a.y) - b.y);
    if (!(dx >= 0.001) || !(dy >= 0.001)) return 1;
    int w, h;
    client(view, &w, &h);
    if (w <= 0 || h <= 0) return 1;
    const double s = std::min(h / dy, w / dx);
    const double step = g_prefs.scale_round;
    const double limit = zoom_limit(view);
    ViewProjection& p = view->projection;
    if (s >= limit) {
        const double scale = round_scale(step, limit);
        if (!view_scale_usable(scale)) return 0;
        view->previous_scale = p.scale;
        p.scale = scale;
    } else if (s != p.scale) {
        const double scale = round_scale(step, s);
        if (!view_scale_usable(scale)) return 0;
        view->previous_scale = p.scale;
        view->previous_origin_x = p.origin_x;
        view->previous_origin_y = p.origin_y;
        p.scale = scale;
    } else {
        return 0;
    }
    p.origin_x = round_origin(p.scale, std::min(a.x, b.x));
    p.origin_y = round_origin(p.scale, std::min(a.y, b.y));
    view_refresh(view, 1);
    return 0;
}

namespace {

// The scale at which extents `e` fit a w x h window; 0 when `e` is empty. Extents
// without size in one direction (a flat drawing seen edge-on, one line along an
// axis) fit by the other; a single point keeps the view's scale.
double zoom_all_scale(const VIEW* view, const BBox& e, int w, int h) {
    if (bbox_is_empty(e) || !(e.max.x >= e.min.x) || !(e.max.y >= e.min.y)) return 0;
    const double dx = static_cast<double>(e.max.x) - e.min.x, dy = static_cast<double>(e.max.y) - e.min.y;
    if (!(dx > 0) && !(dy > 0)) return view->projection.scale;
    const double sx = dx > 0 ? w / dx : HUGE_VAL;
    const double sy = dy > 0 ? h / dy : HUGE_VAL;
    double s;
    if (sy < sx) {
        s = sy;
        if (w / s + e.min.x > FLT_MAX) s = w / (static_cast<double>(FLT_MAX) - e.min.x);
    } else {
        s = sx;
        if (h / s + e.min.y > FLT_MAX) s = h / (static_cast<double>(FLT_MAX) - e.min.y);
    }
    s = std::min(s, zoom_limit(view));
    // Rounded to the zoom step, down where rounding up would push the drawing's far
    // side out of the window.
    const double step = g_prefs.scale_round;
    const double r = round_scale(step, s);
    return r > s && r - step >= step ? r - step : r;
}

// The origin along one axis that puts the middle of [lo, hi] in the middle of `pixels`
// at `scale`, rounded to a whole pixel.
double centred_origin(double scale, double lo, double hi, int pixels) {
    return round_origin(scale, (lo + hi) / 2 - pixels / (2 * scale));
}

}  // namespace

void view_zoom_all(VIEW* view) {
    if (!view) return;
    views_compute_extents(view);
    BBox e = view_extents(view);
    int w, h;
    client(view, &w, &h);
    if (w <= 0 || h <= 0) return;
    ViewProjection& p = view->projection;
    double s = zoom_all_scale(view, e, w, h);
    // Symbols drawn at a fixed size in pixels take room in drawing units by the scale:
    // measured again at the scale found until it holds, so that they fit as drawn.
    // Around a single point (a light alone) they fit at any scale: the view's stays.
    MODEL* m = view_drawing(view);
    if (m) {
        EXTRITER bare(view, HUGE_VAL);
        m->walk(&bare);
        const BBox& b = bare.total;
        if (!bbox_is_empty(b) && b.max.x == b.min.x && b.max.y == b.min.y) s = p.scale, m = nullptr;
    }
    for (int pass = 0; m && pass < 8 && view_scale_usable(s); ++pass) {
        EXTRITER it(view, s);
        m->walk(&it);
        const double again = zoom_all_scale(view, it.total, w, h);
        e = it.total;
        if (again == s) break;
        s = again;
    }
    if (!view_scale_usable(s)) return;
    store(view, e);
    view->previous_scale = p.scale;
    view->previous_origin_x = p.origin_x;
    view->previous_origin_y = p.origin_y;
    p.scale = s;
    // What fits is centred: the room left in the direction that does not fill the
    // window is shared on both sides.
    p.origin_x = centred_origin(s, e.min.x, e.max.x, w);
    p.origin_y = centred_origin(s, e.min.y, e.max.y, h);
    view_refresh(view, 1);
}

bool method_dialog_zoom_window(VIEW* view) {
    static const uint32_t kChoices[3] = {IDS_ZOOM_TWO_CORNERS, IDS_ZOOM_CENTRE_CORNER, IDS_ZOOM_CORNER_CENTRE};
    ViewHost* h = view_host();
    if (!h) return false;
    const int current = std::clamp(g_prefs.zoom_window, 0, 2);
    const int chosen = h->method_dialog(view, IDS_ZOOM_WINDOW_METHOD, kChoices, 3, current);
    if (chosen < 0 || chosen > 2 || chosen == current) return false;
    g_prefs.zoom_window = chosen;
    return true;
}

int zoom_method_callback(VIEW** view_ref) { return method_dialog_zoom_window(view_ref ? *view_ref : nullptr) ? 1 : 0; }

int zoom_window_ask(VIEW** view_ref, Vec3* c1, Vec3* c2) {
    for (;;) {
        const int method = std::clamp(g_prefs.zoom_window, 0, 2);
        static const uint32_t kFirst[3] = {kPromptFirstCorner, kPromptRectCentre, kPromptRectCorner};
        static const uint32_t kSecond[3] = {kPromptOtherCorner, kPromptRectCorner, kPromptRectCentre};
        static const InputMoveFn kFeedback[3] = {cursor_draw_rubber_box, cursor_draw_rubber_box_centred,
                                                 cursor_draw_rubber_box_mirrored};
        const uint32_t help = 40130 + static_cast<uint32_t>(method);
        Vec3 p0, p1;
        int code = input_point(view_ref, kFirst[method], cursor_draw_crosshair, zoom_method_callback, &p0, help);
        if (code != 0) {
            if (code == kStepCancelled || std::clamp(g_prefs.zoom_window, 0, 2) == method) return code;
            continue;
        }
        input_set_point(*view_ref, p0, 0);
        code = input_point(view_ref, kSecond[method], kFeedback[method], zoom_method_callback, &p1, help);
        if (code == kStepRefused) continue;
        if (code != 0) return code;
        if (method == kZoomTwoCorners) {
            *c1 = p0, *c2 = p1;
        } else {
            const Vec3 centre = method == kZoomCentreCorner ? p0 : p1;
            const Vec3 corner = method == kZoomCentreCorner ? p1 : p0;
            *c1 = corner;
            *c2 = Vec3{2 * centre.x - corner.x, 2 * centre.y - corner.y, 2 * centre.z - corner.z};
        }
        return 0;
    }
}

int zoom_window_command(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    Vec3 c1, c2;
    int code = zoom_window_ask(view_ref, &c1, &c2);
    if (code == 0 && *view_ref) view_zoom_window(*view_ref, c1, c2);
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}

void view_window_world_corners(const VIEW* view, Vec3* top_left, Vec3* bottom_right) {
    int w, h;
    client(view, &w, &h);
    pixel_to_plane(&view->projection, 0, 0, view->elevation, top_left);
    pixel_to_plane(&view->projection, w, h, view->elevation, bottom_right);
}
