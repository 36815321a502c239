// Cursor feedback of the 3D construction steps (declared in feedback3d.h).
#include "commands/model3d/feedback3d.h"

#include <cmath>

#include "commands/input/feedback.h"
#include "commands/model3d/draw3d_settings.h"
#include "graphics/view/view_gdi.h"

namespace {

constexpr double kFar = 1 << 20;  // pixel coordinates are held within +-2^20

int held(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::lround(v < -kFar ? -kFar : v > kFar ? kFar : v));
}

struct Px {
    double x, y;
};

Px slot(const VIEW* v, int i) {
    int x, y;
    input_slot_pixel(v, i, &x, &y);
    return {double(x), double(y)};
}

double gap(Px a, Px b) { return std::hypot(a.x - b.x, a.y - b.y); }

void line(VIEW* v, Px a, Px b) { view_gdi_line(v, held(a.x), held(a.y), held(b.x), held(b.y)); }

// The cone outline: axis from t to b, diameters of radii rb at b and rt at t across
// it, and the sides joining their ends (a pointed top when rt is 0).
void cone_outline(VIEW* v, Px t, Px b, double rb, double rt) {
    line(v, t, b);
    const double len = gap(t, b);
    // Across the axis; a point axis takes the horizontal.
    const Px n = len > 0 ? Px{-(b.y - t.y) / len, (b.x - t.x) / len} : Px{1, 0};
    const Px b1{b.x + n.x * rb, b.y + n.y * rb}, b2{b.x - n.x * rb, b.y - n.y * rb};
    line(v, b1, b2);
    if (rt > 0) {
        const Px t1{t.x + n.x * rt, t.y + n.y * rt}, t2{t.x - n.x * rt, t.y - n.y * rt};
        line(v, t1, t2);
        line(v, b1, t1);
        line(v, b2, t2);
    } else {
        line(v, b1, t);
        line(v, b2, t);
    }
}

void outline(VIEW* v, int x, int y, int fixed, bool closed) {
    cursor_draw_crosshair(v, x, y);
    Px prev = slot(v, kOutlineSlot);
    const Px first = prev;
    for (int i = 1; i < fixed; ++i) {
        const Px p = slot(v, kOutlineSlot + i);
        line(v, prev, p);
        prev = p;
    }
    const Px c{double(x), double(y)};
    line(v, prev, c);
    if (closed) line(v, c, first);
}

}  // namespace

void fb_box_width(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px c = slot(view, 0);
    line(view, c, {double(x), c.y});
}

void fb_box_height(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px c = slot(view, 0), w = slot(view, 1);
    view_gdi_rect(view, held(c.x), held(c.y), held(w.x), y);
}

void fb_box_depth(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px a = slot(view, kOutlineSlot), b = slot(view, 0);
    const double dx = x - b.x, dy = y - b.y;
    view_gdi_rect(view, held(a.x), held(a.y), held(b.x), held(b.y));
    view_gdi_rect(view, held(a.x + dx), held(a.y + dy), held(b.x + dx), held(b.y + dy));
    const Px corners[4] = {{a.x, a.y}, {b.x, a.y}, {b.x, b.y}, {a.x, b.y}};
    for (const Px& p : corners) line(view, p, {p.x + dx, p.y + dy});
}

void fb_cone_base(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px b = slot(view, 0);
    const double r = gap(b, {double(x), double(y)});
    cone_outline(view, slot(view, 1), b, r, g_draw3d.cone == 2 ? r : 0);
}

void fb_cone_top(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px t = slot(view, 0), b = slot(view, 2);
    cone_outline(view, t, b, gap(b, slot(view, 3)), gap(t, {double(x), double(y)}));
}

void fb_torus_tube(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const Px ring = slot(view, 0), c = slot(view, 1);
    const double big = gap(ring, c), r = gap(ring, {double(x), double(y)});
    if (big - r >= 1) view_gdi_circle(view, held(c.x), held(c.y), held(big - r));
    view_gdi_circle(view, held(c.x), held(c.y), held(big + r));
    cursor_draw_centre_marker(view, held(c.x), held(c.y));
}

void fb_outline_edge(VIEW* view, int x, int y) { outline(view, x, y, 2, false); }
void fb_outline_triangle(VIEW* view, int x, int y) { outline(view, x, y, 2, true); }
void fb_outline_quad(VIEW* view, int x, int y) { outline(view, x, y, 3, true); }
