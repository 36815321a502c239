// Cursor feedback in XOR: crosshair, snap box, rubber lines, boxes, circles, and the
// phantoms of objects being placed, drawn through batches of segments with a budget
// that keeps the erasing pass exactly equal to the drawing pass.
#include "commands/input/feedback.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "commands/input/snap.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/iter.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"

namespace {

constexpr double kFar = 1 << 20;  // pixel coordinates are held within +-2^20

int clamp_pixel(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::floor(std::clamp(v, -kFar, kFar)));
}

void client_size(const VIEW* v, int* w, int* h) {
    *w = *h = 0;
    if (v->window) v->window->client_size(w, h);
}

}  // namespace

void input_slot_pixel(const VIEW* view, int slot, int* x, int* y) {
    *x = *y = 0;
    DocInputState* st = view_input_state(view);
    if (!st || slot < 0 || slot >= kInputPoints) return;
    Vec3 v;
    world_to_view(&view->projection, st->points[slot], &v);
    const ViewProjection& p = view->projection;
    *x = clamp_pixel((v.x - p.origin_x) * p.scale + 0.5);
    *y = clamp_pixel((v.y - p.origin_y) * p.scale + 0.5);
}

void cursor_draw_snap_box(VIEW* view, int x, int y) {
    view_gdi_rect(view, x - 3, y - 3, x + 3, y + 3);
    view_gdi_pixel(view, x, y);
}

void cursor_draw_crosshair(VIEW* view, int x, int y) {
    if (!view) return;
    const int s = view->cross_arm[0], c = view->cross_arm[1];
    if (s != 0) {
        view_gdi_line(view, x - c, y - s, x + c, y + s);
        view_gdi_line(view, x - s, y + c, x + s, y - c);
    } else {
        int w, h;
        client_size(view, &w, &h);
        view_gdi_line(view, 0, y, w, y);
        view_gdi_line(view, x, 0, x, h);
    }
    if (view->input_flags & ~(kSnapFree | (1 << 13) | kSnapRemember)) cursor_draw_snap_box(view, x, y);
}

void cursor_draw_rubber_line(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    view_gdi_line(view, px, py, x, y);
}

void cursor_draw_rubber_ortho(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    const int64_t dx = static_cast<int64_t>(x) - px, dy = static_cast<int64_t>(y) - py;
    if (std::llabs(dy) <= std::llabs(dx))
        view_gdi_line(view, px, py, x, py);
    else
        view_gdi_line(view, px, py, px, y);
}

namespace {
// The two edges of the box (a, b) that pass through corner a.
void edges_through(VIEW* view, int ax, int ay, int bx, int by) {
    view_gdi_line(view, ax, ay, bx, ay);
    if (by != ay) view_gdi_line(view, ax, by, ax, ay);
}
}  // namespace

void cursor_draw_rubber_box(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    if (view->cross_arm[0] != 0)
        view_gdi_rect(view, px, py, x, y);
    else
        edges_through(view, px, py, x, y);
}

void cursor_draw_rubber_box_centred(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    const int ox = clamp_pixel(2.0 * px - x), oy = clamp_pixel(2.0 * py - y);
    if (view->cross_arm[0] != 0)
        view_gdi_rect(view, ox, oy, x, y);
    else
        edges_through(view, ox, oy, x, y);
    cursor_draw_centre_marker(view, px, py);
}

void cursor_draw_rubber_box_mirrored(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    view_gdi_rect(view, px, py, clamp_pixel(2.0 * x - px), clamp_pixel(2.0 * y - py));
}

int cursor_draw_radius(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    const double r = std::hypot(static_cast<double>(x) - px, static_cast<double>(y) - py);
    return static_cast<int>(std::min(r, kFar));
}

int cursor_draw_circle(VIEW* view, int x, int y) {
    int r = cursor_draw_radius(view, x, y);
    int px, py;
    input_slot_pixel(view, 0, &px, &py);
    view_gdi_circle(view, px, py, r);
    cursor_draw_centre_marker(view, px, py);
    return r;
}

void cursor_draw_centre_marker(VIEW* view, int x, int y) {
    view_gdi_line(view, x - 10, y - 10, x + 10, y + 10);
    view_gdi_line(view, x - 10, y + 10, x + 10, y - 10);
}

// ---- Phantoms

namespace {

class FANTOMITER : public ZITER {
  public:
    explicit FANTOMITER(VIEW* v) : view(v) {}
    int visit(object*, int entering, int status) override { return entering ? 0 : status; }
    int move_to(double x, double y, double z, int dx, int dy) override {
        cur = Vec3d{x, y, z};
        off_x = dx;
        off_y = dy;
        return 0;
    }
    int line_to(double x, double y, double z, int dx, int dy) override {
        int r = segment(x, y, z, dx, dy);
        move_to(x, y, z, dx, dy);
        return r;
    }
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
        move_to(a.x, a.y, a.z, 0, 0);
        if (line_to(b.x, b.y, b.z, 0, 0) || line_to(c.x, c.y, c.z, 0, 0)) return 1;
        return line_to(a.x, a.y, a.z, 0, 0);
    }

    int segment(double x, double y, double z, int dx, int dy) {
        // The erasing pass draws exactly as many segments as the drawing pass did.
        if (view->cursor_shown) {
            if (view->phantom_count == 0) return 1;
            --view->phantom_count;
            draw(x, y, z, dx, dy);
            return 0;
        }
        draw(x, y, z, dx, dy);
        ++view->phantom_count;
        if (view->phantom_count % 16 == 0 && input_pending()) return 1;
        return 0;
    }
    void draw(double x, double y, double z, int dx, int dy) {
        Vec3d a, b, p{x, y, z};
        mat_xform_point_d(&a, &cur, &view->phantom.fwd);
        mat_xform_point_d(&b, &p, &view->phantom.fwd);
        phantom_segment(view, clamp_pixel(std::trunc(a.x) + off_x), clamp_pixel(std::trunc(a.y) + off_y),
                        clamp_pixel(std::trunc(b.x) + dx), clamp_pixel(std::trunc(b.y) + dy));
    }

    VIEW* view;
    Vec3d cur = {0, 0, 0};
    int off_x = 0, off_y = 0;
};

Transform translation(double x, double y, double z) {
    Transform t;
    xform_translate(&t, x, y, z);
    return t;
}

Transform then(const Transform& a, const Transform& b) {
    Transform r;
    xform_compose(&r, &a, &b);
    return r;
}

}  // namespace

bool input_pending() {
    ViewHost* h = view_host();
    return h && h->input_pending();
}

void phantom_base_transform(const VIEW* view, Transform* t, int with_base) {
    const ViewProjection& p = view->projection;
    Transform m{p.view, p.inverse};
    Transform tr = translation(-p.origin_x, -p.origin_y, -view->elevation);
    Transform sc;
    const double s = p.scale > 0 ? p.scale : 1.0;
    xform_scale(&sc, s, s, s);
    *t = then(then(m, tr), sc);
    if (with_base) {
        DocInputState* st = view_input_state(view);
        Vec3 base = st ? st->phantom_base : Vec3{0, 0, 0}, q;
        xform_point(&q, &base, t, 0);
        *t = then(*t, translation(-q.x, -q.y, -q.z));
    }
}

void phantom_scale_factors(const VIEW* view, int x, int y, double* sx, double* sy, double* sz) {
    int x0, y0, x1, y1;
    input_slot_pixel(view, 0, &x0, &y0);
    input_slot_pixel(view, 1, &x1, &y1);
    double ex = static_cast<double>(x1) - x0, ey = static_cast<double>(y1) - y0;
    if (ex == 0) ex = 1;
    if (ey == 0) ey = 1;
    *sx = std::fabs((static_cast<double>(x) - x0) / ex);
    *sy = std::fabs((static_cast<double>(y) - y0) / ey);
    *sz = 1.0;
}

void phantom_copy_from_active(VIEW* view) {
    ViewHost* h = view_host();
    VIEW* a = h ? h->command_view() : nullptr;
    if (!a || a == view) return;
    Transform ab, mine;
    phantom_base_transform(a, &ab, 0);
    phantom_base_transform(view, &mine, 0);
    Transform inv_ab{ab.inv, ab.fwd};
    view->phantom = then(then(a->phantom, inv_ab), mine);
}

void phantom_segment(VIEW* view, int x1, int y1, int x2, int y2) {
    const int32_t seg[4] = {x1, y1, x2, y2};
    if (view->phantom_table_count < 1024) {
        for (int i = 0; i < view->phantom_table_count; ++i) {
            const int32_t* t = &view->phantom_table[4 * i];
            if ((t[0] == x1 && t[1] == y1 && t[2] == x2 && t[3] == y2) ||
                (t[0] == x2 && t[1] == y2 && t[2] == x1 && t[3] == y1))
                return;
        }
        std::copy(seg, seg + 4, &view->phantom_table[4 * view->phantom_table_count++]);
    }
    std::copy(seg, seg + 4, &view->phantom_batch[4 * view->phantom_batch_count++]);
    if (view->phantom_batch_count == 16) phantom_flush(view);
}

void phantom_flush(VIEW* view) {
    if (view->phantom_batch_count > 0) view_gdi_segments(view, view->phantom_batch, view->phantom_batch_count);
    view->phantom_batch_count = 0;
}

void phantom_draw(VIEW* view) {
    DocInputState* st = view_input_state(view);
    if (!view || !st || !st->phantom_objects) return;
    if (!view->cursor_shown)
        if (ViewHost* h = view_host()) h->feedback_started(view);
    FANTOMITER it(view);
    view->phantom_batch_count = 0;
    view->phantom_table_count = 0;
    RTC* src = st->phantom_objects;
    if (rtc_is_a(src, &buffer::rtc_class)) {
        for (RefNode* n = static_cast<buffer*>(src)->refs; n; n = n->next)
            if (n->ref && rtc_is_a(n->ref, &object::rtc_class) && static_cast<object*>(n->ref)->walk(&it)) break;
    } else if (rtc_is_a(src, &object::rtc_class)) {
        static_cast<object*>(src)->walk(&it);
    }
    phantom_flush(view);
}

void cursor_draw_phantom_moved(VIEW* view, int x, int y) {
    Transform t;
    phantom_base_transform(view, &t, 1);
    view->phantom = then(t, translation(x, y, 0));
    cursor_draw_crosshair(view, x, y);
    phantom_draw(view);
}

void cursor_draw_phantom_scaled(VIEW* view, int x, int y) {
    ViewHost* h = view_host();
    if (h && h->command_view() == view) {
        int bx, by;
        input_slot_pixel(view, 0, &bx, &by);
        Transform t, sc;
        phantom_base_transform(view, &t, 1);
        double sx, sy, sz;
        phantom_scale_factors(view, x, y, &sx, &sy, &sz);
        // A zero factor cannot be inverted; the phantom is flattened to a hair instead.
        xform_scale(&sc, sx > 1e-9 ? sx : 1e-9, sy > 1e-9 ? sy : 1e-9, sz);
        view->phantom = then(then(t, sc), translation(bx, by, 0));
    } else {
        phantom_copy_from_active(view);
    }
    cursor_draw_crosshair(view, x, y);
    phantom_draw(view);
}

void cursor_draw_phantom_rotated(VIEW* view, int x, int y) {
    ViewHost* h = view_host();
    if (h && h->command_view() == view) {
        int px, py, qx, qy;
        input_slot_pixel(view, 0, &px, &py);
        view_gdi_line(view, px, py, x, y);
        if (x == px && y == py) return;
        DocInputState* st = view_input_state(view);
        Vec3 c, r;
        world_to_view(&view->projection, st->points[0], &c);
        world_to_view(&view->projection, st->points[1], &r);
        c.z = r.z = 0;
        const double a = std::atan2(static_cast<double>(y) - py, static_cast<double>(x) - px) - angle_about(c, r);
        Transform t, rot;
        phantom_base_transform(view, &t, 1);
        xform_rotate_xyz(&rot, 0, 0, a);
        view->phantom = then(then(t, rot), translation(px, py, 0));
        input_slot_pixel(view, 1, &qx, &qy);
        view_gdi_line(view, px, py, qx, qy);
    } else {
        phantom_copy_from_active(view);
    }
    phantom_draw(view);
}
