// Drawing into views for the engine: primitives in the VIEW's draw mode and colour,
// objects in one view or every view of the drawing, layer flags of all views, and
// the object-redraw hook.
#include "graphics/view/view_gdi.h"

#include <cmath>
#include <vector>

#include "graphics/view/canvas.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/plist.h"
#include "model/math/result.h"

namespace {

int g_layer_flag_fail_after = -1;

Canvas* pen_canvas(VIEW* view) {
    ViewHost* h = view_host();
    if (!h || !view || !view->window) return nullptr;
    Canvas* c = h->canvas(view);
    if (c) c->set_pen(view->draw_mode, view->draw_colour);
    return c;
}

template <typename F>
void for_each_drawable(RTC* list, F f) {
    if (!list) return;
    if (rtc_is_a(list, &buffer::rtc_class)) {
        for (RefNode* n = static_cast<buffer*>(list)->refs; n; n = n->next)
            if (n->ref && rtc_is_a(n->ref, &object::rtc_class)) f(static_cast<object*>(n->ref));
        return;
    }
    if (!rtc_is_a(list, &CONTAINER::rtc_class)) return;
    CONTAINER* c = static_cast<CONTAINER*>(list);
    ZDLIST* head = c->children;
    if (!head) return;
    ZDLIST* p = head;
    do {
        ZDLIST* next = p->next;
        if (rtc_is_a(p, &object::rtc_class)) f(static_cast<object*>(p));
        p = next;
    } while (p && p != head);
}

}  // namespace

void view_gdi_line(VIEW* view, int x1, int y1, int x2, int y2) {
    if (Canvas* c = pen_canvas(view)) c->line(x1, y1, x2, y2);
}
void view_gdi_rect(VIEW* view, int x1, int y1, int x2, int y2) {
    if (Canvas* c = pen_canvas(view)) c->rect(x1, y1, x2, y2);
}
void view_gdi_circle(VIEW* view, int cx, int cy, int radius) {
    if (Canvas* c = pen_canvas(view)) c->circle(cx, cy, radius);
}
void view_gdi_arc(VIEW* view, int cx, int cy, int sx, int sy, int ex, int ey, int radius) {
    if (Canvas* c = pen_canvas(view)) c->arc(cx, cy, sx, sy, ex, ey, radius);
}
void view_gdi_pixel(VIEW* view, int x, int y) {
    if (Canvas* c = pen_canvas(view)) c->pixel(x, y);
}
void view_gdi_segments(VIEW* view, const int32_t* xy, int count) {
    if (Canvas* c = pen_canvas(view)) c->segments(xy, count);
}

void view_gdi_arc3p(VIEW* view, int x1, int y1, int x2, int y2, int x3, int y3) {
    auto line13 = [&] { view_gdi_line(view, x1, y1, x3, y3); };
    if (x1 == x3 && y1 == y3) {
        view_gdi_line(view, x1, y1, x2, y2);
        return;
    }
    if ((x2 == x1 && y2 == y1) || (x2 == x3 && y2 == y3)) return line13();
    // Wide integers: products of 32-bit differences need 64 bits, and their sums one more.
    using W = __int128;
    const W X1 = x1, Y1 = y1, X2 = x2, Y2 = y2, X3 = x3, Y3 = y3;
    if (X1 != X3) {
        W yl = Y1 + (Y3 - Y1) * (X2 - X1) / (X3 - X1);
        if (yl == Y2) return line13();
    } else if (X2 == X1) {
        return line13();
    }
    const W d = 2 * ((X1 - X2) * (Y1 - Y3) - (Y1 - Y2) * (X1 - X3));
    if (d == 0) return line13();
    const W a = X1 * X1 + Y1 * Y1 - X2 * X2 - Y2 * Y2;
    const W b = X1 * X1 + Y1 * Y1 - X3 * X3 - Y3 * Y3;
    const long double cxd = (static_cast<long double>(Y1 - Y3) * static_cast<long double>(a) -
                             static_cast<long double>(Y1 - Y2) * static_cast<long double>(b)) /
                            static_cast<long double>(d);
    const long double cyd = (static_cast<long double>(X1 - X2) * static_cast<long double>(b) -
                             static_cast<long double>(X1 - X3) * static_cast<long double>(a)) /
                            static_cast<long double>(d);
    // A centre beyond the pixel range cannot be drawn as an arc: the line stands in.
    if (!std::isfinite(static_cast<double>(cxd)) || !std::isfinite(static_cast<double>(cyd)) || std::fabs(static_cast<double>(cxd)) > 1e9 ||
        std::fabs(static_cast<double>(cyd)) > 1e9)
        return line13();
    const int64_t cx = static_cast<int64_t>(cxd), cy = static_cast<int64_t>(cyd);
    const double r = std::hypot(static_cast<double>(x1 - cx), static_cast<double>(y1 - cy));
    if (r > 1e9) return line13();
    int sx = x1, sy = y1, ex = x3, ey = y3;
    if ((Y3 - Y1) * (X2 - X3) + (Y2 - Y3) * (X1 - X3) < 0) std::swap(sx, ex), std::swap(sy, ey);
    view_gdi_arc(view, static_cast<int>(cx), static_cast<int>(cy), sx, sy, ex, ey, static_cast<int>(r));
}

void view_set_colour_index(VIEW* view, int index) {
    if (!view) return;
    view->draw_mode = kDrawCopy;
    view->draw_pen = 15;
    view->draw_colour = Canvas::palette_colour(index);
}

void view_set_object_colour(VIEW* view, int index) { view_set_colour_index(view, colour_index_fix(index)); }

void view_set_xor(VIEW* view) {
    if (!view) return;
    view->draw_mode = kDrawXor;
    view->draw_pen = 15;
    view->draw_colour = Canvas::palette_colour(7);
}

void view_gdi_vertex_list(VIEW* view, const PointNode* list, int colour) {
    view_set_colour_index(view, colour);
    Canvas* c = pen_canvas(view);
    if (!c || !list) return;
    ViewProjection vp = view->projection;
    vp.line = canvas_line_cb;
    vp.pen = nullptr;
    vp.triangle = nullptr;
    vp.context = c;
    view_draw_vertex_list(&vp, list);
}

void view_gdi_vertex_list_ext(VIEW* view, const PointNode* list, int colour) {
    view_gdi_vertex_list(view, list, colour);
    if (!view || !list || colour != display_background_colour()) return;
    BBox box = kEmptyBBox;
    for (const PointNode* p = list; p; p = p->next) {
        Vec3 q{p->x, p->y, p->z};
        BBox one;
        bbox_of_points(q, q, &one);
        bbox_union(one, &box);
    }
    view_invalidate(view, &box, 0);
}

int object_visible_in_view(const VIEW* view, const object* obj) {
    if (!view || !obj) return 1;
    const MODEL* m = view->model;
    if (!m || view->layer_state.flags.empty() || !m->children) return 1;
    int index = 0;
    ZDLIST* p = m->children;
    do {
        if (rtc_is_a(p, &LAYER::rtc_class)) {
            if (p == obj->parent) return view_layer_flag(view, index) != 0;
            ++index;
        }
        p = p->next;
    } while (p && p != m->children);
    return 1;
}

void view_gdi_object_all(VIEW* view, object* obj) {
    if (!view || !obj) return;
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v))
        if (object_visible_in_view(v, obj)) {
            v->draw_mode = kDrawCopy;
            view_gdi_object(v, obj, -1);
        }
}

void view_gdi_list(VIEW* view, CONTAINER* container) {
    for_each_drawable(container, [&](object* o) { view_gdi_object_all(view, o); });
}

void view_gdi_list_colour(VIEW* view, CONTAINER* container, int colour) {
    for_each_drawable(container, [&](object* o) { view_gdi_object(view, o, colour); });
}

void view_gdi_object_all_cur(VIEW* view, object* obj) {
    if (!view || !obj) return;
    int bg = display_background_colour();
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v)) {
        v->draw_mode = kDrawCopy;
        view_gdi_object(v, obj, bg);
    }
}

void view_gdi_list_all_cur(VIEW* view, RTC* list) {
    for_each_drawable(list, [&](object* o) { view_gdi_object_all_cur(view, o); });
}

int views_add_layer_flag(VIEW* view, int32_t flag) {
    if (!view) return 0;
    std::vector<VIEW*> done;
    for (VIEW* v = view; v; v = drawing_next_view(v)) {
        bool injected = g_layer_flag_fail_after >= 0 && static_cast<int>(done.size()) >= g_layer_flag_fail_after;
        if (injected || view_push_layer_flag(v, flag) != 0) {
            for (VIEW* u : done) u->layer_state.flags.pop_back();
            return kOutOfMemory;
        }
        done.push_back(v);
    }
    ViewHost* h = view_host();
    if (h && h->fill_layer_lists(view) != 0) return kOutOfMemory;
    return 0;
}

namespace {
bool g_redraw_hook_installed = false;
SecondHook g_previous_second = nullptr;
int chained_second_hook(MODEL* model, ZOBJ* obj) {
    view_object_redraw_hook(obj, 1);
    return g_previous_second ? g_previous_second(model, obj) : 0;
}
}  // namespace

void views_add_layer_flag_fail_after(int pushes) { g_layer_flag_fail_after = pushes; }

int view_object_redraw_hook(RTC* obj, int flag) {
    if (!obj || !rtc_is_a(obj, &object::rtc_class)) return 0;
    object* o = static_cast<object*>(obj);
    VIEW* v = drawing_first_view(obj_model(o));
    if (!v) return 0;
    if (flag)
        view_gdi_object_all(v, o);
    else
        view_gdi_object_all_cur(v, o);
    return 0;
}

void view_install_redraw_hook() {
    if (g_redraw_hook_installed) return;
    g_redraw_hook_installed = true;
    g_previous_second = g_hook_second;
    g_hook_second = &chained_second_hook;
}
