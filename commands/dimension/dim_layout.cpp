// Layouts of the linear, radial, diameter, angular and arrow dimensions.
#include "commands/dimension/dim_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "commands/dimension/dim_settings.h"
#include "graphics/view/view.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

struct P2 {
    double x, y;
};
P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
P2 operator*(double s, P2 a) { return {s * a.x, s * a.y}; }
double len(P2 a) { return std::hypot(a.x, a.y); }
P2 flat(const Vec3& v) { return {v.x, v.y}; }

// A local point at the dimension's depth.
struct Plane {
    double z;
    Vec3 operator()(P2 p) const {
        return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(z)};
    }
};

double arrow_size(const DimBuild& b) { return b.view->dimension_values[kDimArrowSize]; }
double text_gap(const DimBuild& b) { return b.view->dimension_values[kDimTextGap]; }
double text_height(const DimBuild& b) { return b.view->dimension_values[kDimTextHeight]; }
double char_width(const DimBuild& b) { return b.view->dimension_values[kDimTextWidth]; }
bool along() { return dim_get_text_mode() == 1; }

// Runs builder calls in order, stopping at the first error.
template <class... F>
int chain(F&&... steps) {
    int code = 0;
    ((code == 0 ? (code = steps()) : 0), ...);
    return code;
}

// A unit vector, (0.7071, 0.7071) for a zero one.
P2 unit(P2 v) {
    const double l = len(v);
    if (!(l > 0) || !std::isfinite(l)) return {0.7071, 0.7071};
    return (1 / l) * v;
}

// Horizontal (axis 0 measured) and vertical (axis 1) layouts.
int axis_layout(const DimBuild& b, int mode, const Vec3& p1, const Vec3& p2, const Vec3& t) {
    const int m = mode == kDimVertical ? 1 : 0, o = 1 - m;
    const Plane pl{p1.z};
    auto at = [&](double meas, double off) {
        P2 p{};
        (m == 0 ? p.x : p.y) = meas;
        (o == 0 ? p.x : p.y) = off;
        return pl(p);
    };
    auto coord = [](const Vec3& v, int axis) { return axis == 0 ? double(v.x) : double(v.y); };
    double w = 0;
    int code = dim_add_texts(b, t, &w, dim_get_dframe());
    if (code) return code;
    const double half = w / 2;
    const double cut = mode == kDimVertical ? text_height(b) : (char_width(b) + w) / 2;
    const double off = along() ? -half : cut;
    const double a1 = coord(p1, m), a2 = coord(p2, m);
    const double lo = std::min(a1, a2), hi = std::max(a1, a2);
    const double A = arrow_size(b), g = text_gap(b);
    const double xt = coord(t, m), yt = coord(t, o);
    auto ext = [&](const Vec3& p) {
        const double po = coord(p, o);
        return dim_add_line(b, at(coord(p, m), po), at(coord(p, m), yt + (po < yt ? g : -g)));
    };
    Vec3 mark_to[2];
    Vec3 piece[2][2];
    if (xt > lo + A && xt - half < hi - A) {
        mark_to[0] = mark_to[1] = at(xt, yt);
        const double c = along() ? 0 : cut;
        piece[0][0] = at(lo, yt), piece[0][1] = at(xt - c, yt);
        piece[1][0] = at(hi, yt), piece[1][1] = at(xt + c, yt);
    } else if (hi - lo > 3 * A) {
        mark_to[0] = at(hi, yt), mark_to[1] = at(lo, yt);
        piece[0][0] = at(lo, yt), piece[0][1] = at(hi, yt);
        if (xt <= lo)
            piece[1][0] = at(lo, yt), piece[1][1] = at(xt + off, yt);
        else
            piece[1][0] = at(hi, yt), piece[1][1] = at(xt - off, yt);
    } else {
        mark_to[0] = at(lo - A, yt), mark_to[1] = at(hi + A, yt);
        if (xt <= lo) {
            piece[0][0] = at(lo, yt), piece[0][1] = at(xt + off, yt);
            piece[1][0] = at(lo, yt), piece[1][1] = at(hi + 1.5 * A, yt);
        } else {
            piece[0][0] = at(lo - 1.5 * A, yt), piece[0][1] = at(lo, yt);
            piece[1][0] = at(xt - off, yt), piece[1][1] = at(lo, yt);
        }
    }
    return chain([&] { return dim_add_arrow_pair(b, at(lo, yt), mark_to[0], at(hi, yt), mark_to[1]); },
                 [&] { return ext(p1); }, [&] { return ext(p2); },
                 [&] { return dim_add_line(b, piece[0][0], piece[0][1]); },
                 [&] { return dim_add_line(b, piece[1][0], piece[1][1]); });
}

}  // namespace

int dim_layout_linear(const DimBuild& b, int mode, const Vec3& p1, const Vec3& p2, const Vec3& t) {
    if (!b.view || !b.group) return kBadArgument;
    if (mode != kDimAligned) return axis_layout(b, mode, p1, p2, t);
    if (p1.x == p2.x) return axis_layout(b, kDimVertical, p1, p2, t);
    if (p1.y == p2.y) return axis_layout(b, kDimHorizontal, p1, p2, t);
    double w = 0;
    int code = dim_add_texts(b, t, &w, dim_get_dframe());
    if (code) return code;
    P2 a = flat(p1), e = flat(p2);
    const P2 tp = flat(t);
    if (e.x < a.x) std::swap(a, e);
    const double L = len(e - a);
    const P2 u = (1 / L) * (e - a), n{-u.y, u.x};
    const double d = std::fabs((tp - a).x * n.x + (tp - a).y * n.y);
    const double cross = (e - a).x * (tp - a).y - (e - a).y * (tp - a).x;
    const double s = cross >= 0 ? 1 : -1;
    const double A = arrow_size(b), g = text_gap(b), h = text_height(b);
    const Plane pl{p1.z};
    const P2 d1 = a + (s * d) * n, d2 = e + (s * d) * n;
    // Where the line leaves the text box, along the line; with text along the line
    // the piece runs on under the text to its far end.
    P2 k;
    if (along()) {
        k = (-w / 2) * u;
    } else {
        double cut = std::fabs(u.x) > 1e-12 ? w / (2 * std::fabs(u.x)) : INFINITY;
        if (std::fabs(u.y) > 1e-12) cut = std::min(cut, h / (2 * std::fabs(u.y)));
        k = cut * u;
    }
    P2 pc[2][2];
    if (d1.x <= tp.x && tp.x < d2.x) {
        pc[0][0] = d1, pc[0][1] = along() ? tp : tp - k;
        pc[1][0] = along() ? tp : tp + k, pc[1][1] = d2;
    } else if (tp.x >= d2.x) {
        pc[0][0] = d1, pc[0][1] = d2;
        pc[1][0] = d2, pc[1][1] = tp - k;
    } else {
        pc[0][0] = tp + k, pc[0][1] = d1;
        pc[1][0] = d1, pc[1][1] = d2;
    }
    const bool inward = 3 * A >= L;
    const P2 to1 = inward ? d1 - A * u : d2, to2 = inward ? d2 + A * u : d1;
    return chain([&] { return dim_add_arrow_pair(b, pl(d1), pl(to1), pl(d2), pl(to2)); },
                 [&] { return dim_add_line(b, pl(pc[0][0]), pl(pc[0][1])); },
                 [&] { return dim_add_line(b, pl(pc[1][0]), pl(pc[1][1])); },
                 [&] { return dim_add_line(b, pl(a), pl(a + (s * (d + g)) * n)); },
                 [&] { return dim_add_line(b, pl(e), pl(e + (s * (d + g)) * n)); });
}

namespace {

// The text box cut along a line of direction u through the text point: half the
// box width for flat lines, half the text height for steep ones; 0 along the line.
double radial_cut(const DimBuild& b, P2 u, double w) {
    if (along()) return 0;
    const double h = text_height(b);
    const double r = std::hypot(h, w);
    return r > 0 && std::fabs(u.y) <= h / r ? w / 2 : h / 2;
}

// Sets the text direction for a text outside the circle and makes the texts.
int radial_texts(const DimBuild& b, const Vec3& c, double r, const Vec3& t, bool* outside, double* w) {
    const double d = len(flat(t) - flat(c));
    *outside = d > text_height(b) / 2 + r;
    dim_set_text_angle(*outside && along() ? angle_about(c, t) : 0.0);
    return dim_add_texts(b, t, w, dim_get_dframe());
}

// A radius or diameter: the texts are placed, then `lines` draws the lines and arrows,
// given the dimension's plane, the centre and the text point in it, whether the text
// stands outside the circle, the texts' width, the arrow size and the character width.
template <class Lines>
int radial_layout(const DimBuild& b, const Vec3& c, double r, const Vec3& t, Lines lines) {
    if (!b.view || !b.group) return kBadArgument;
    bool outside = false;
    double w = 0;
    if (int code = radial_texts(b, c, r, t, &outside, &w)) return code;
    const Plane pl{c.z};
    const P2 cc = flat(c), tp = flat(t);
    const double A = arrow_size(b), tw = char_width(b);
    return lines(pl, cc, tp, outside, w, A, tw);
}

}  // namespace

int dim_layout_radius(const DimBuild& b, int mode, const Vec3& c, double r, const Vec3& t) {
    return radial_layout(b, c, r, t, [&](const Plane pl, const P2 cc, const P2 tp, bool outside, double w,
                                         double A, double tw) {
        if (!outside) {
            const double shift = w / 2 + 2 * tw;
            const bool right = tp.x >= cc.x;
            const P2 s{right ? tp.x - shift : tp.x + shift, tp.y};
            const P2 u = unit(s - cc);
            const double edge = along() ? w / 2 : -w / 2;  // near edge, or under the whole text
            const P2 stub{right ? tp.x + edge : tp.x - edge, tp.y};
            const P2 from = mode == kDimRadius1 ? cc : cc - r * u;
            const P2 tip = mode == kDimRadius1 ? cc + r * u : cc - r * u;
            const P2 toward = mode == kDimRadius1 ? (r <= w / 2 + A ? s : cc) : s;
            return chain([&] { return dim_add_line(b, pl(from), pl(s)); },
                         [&] { return dim_add_line(b, pl(s), pl(stub)); },
                         [&] { return dim_add_arrow(b, pl(tip), pl(toward), dim_get_arrows()); });
        }
        P2 u = unit(tp - cc);
        if (tp.x <= cc.x) u = -1 * u;
        // The point of the circle facing the text.
        const P2 facing = (tp - cc).x * u.x + (tp - cc).y * u.y >= 0 ? cc + r * u : cc - r * u;
        const P2 dir = unit(tp - facing);
        const double cut = radial_cut(b, u, w);
        const P2 near = tp - cut * dir;
        return chain([&] { return dim_add_line(b, pl(facing), pl(near)); },
                     [&] { return dim_add_arrow(b, pl(facing), pl(cc), dim_get_arrows()); });
    });
}

int dim_layout_diameter(const DimBuild& b, const Vec3& c, double r, const Vec3& t) {
    return radial_layout(b, c, r, t, [&](const Plane pl, const P2 cc, const P2 tp, bool outside, double w,
                                         double A, double tw) {
        if (!outside) {
            const double s = tp.x < cc.x ? 1 : -1;
            const double m = along() ? w / 2 : w / 2 + 2 * tw;
            const P2 t2{tp.x + s * m, tp.y};
            const double e = along() ? w : 2 * tw;
            const P2 stub{t2.x - s * e, tp.y};
            const P2 u = unit(t2 - cc);
            if (r > w / 2 + A) {
                return chain([&] { return dim_add_line(b, pl(cc - r * u), pl(t2)); },
                             [&] { return dim_add_line(b, pl(t2), pl(stub)); },
                             [&] { return dim_add_arrow_pair(b, pl(cc - r * u), pl(t2), pl(cc + r * u), pl(cc - r * u)); });
            }
            const P2 far = cc - (r + 2 * A) * u;
            return chain([&] { return dim_add_line(b, pl(far), pl(t2)); },
                         [&] { return dim_add_line(b, pl(t2), pl(stub)); },
                         [&] { return dim_add_arrow_pair(b, pl(cc - r * u), pl(far), pl(cc + r * u), pl(t2)); });
        }
        P2 u = unit(tp - cc);
        if (tp.x <= cc.x) u = -1 * u;
        const double rr = r < w + A ? r + 2 * A : r;
        const P2 e1 = cc - rr * u, e2 = cc + rr * u;
        const double cut = radial_cut(b, u, w);
        const P2 k1 = tp - cut * u, k2 = tp + cut * u;
        // Each line end joins its nearer cut point, so no piece crosses the text box.
        auto d2 = [](P2 a, P2 q) { return (a.x - q.x) * (a.x - q.x) + (a.y - q.y) * (a.y - q.y); };
        const bool straight = d2(e1, k1) + d2(e2, k2) <= d2(e1, k2) + d2(e2, k1);
        const P2 j1 = straight ? k1 : k2, j2 = straight ? k2 : k1;
        const bool room = r > w + A;
        return chain([&] { return dim_add_line(b, pl(e1), pl(j1)); }, [&] { return dim_add_line(b, pl(e2), pl(j2)); },
                     [&] {
                         return room ? dim_add_arrow_pair(b, pl(e1), pl(j1), pl(e2), pl(j2))
                                     : dim_add_arrow_pair(b, pl(cc - r * u), pl(e1), pl(cc + r * u), pl(e2));
                     });
    });
}

int dim_layout_angular(const DimBuild& b, const Vec3& c, const Vec3& p1, const Vec3& p2v, const Vec3& t) {
    if (!b.view || !b.group) return kBadArgument;
    const P2 cc = flat(c);
    double r = len(flat(t) - cc);
    if (!(r >= 0.01)) r = 0.01;
    double a1 = angle_about(c, p1), a2 = angle_about(c, p2v), at = angle_about(c, t);
    dim_set_text_angle(at - kPi / 2);
    double w = 0;
    int code = dim_add_texts(b, t, &w, dim_get_dframe());
    if (code) return code;
    const double ww = along() ? 0 : w + char_width(b);
    while (a2 < a1) {
        a2 += kTwoPi;
        while (at < a1) at += kTwoPi;
    }
    while (at < a1) at += kTwoPi;
    const double A = arrow_size(b), g = text_gap(b);
    const Plane pl{c.z};
    auto ray = [&](double a, double dist) { return cc + dist * P2{std::cos(a), std::sin(a)}; };
    auto ext = [&](const Vec3& p, double a) {
        const double d = len(flat(p) - cc);
        return dim_add_line(b, p, pl(ray(a, d <= r ? r + g : r - g)));
    };
    const P2 t1 = ray(a1, r), t2 = ray(a2, r);
    const P2 in1 = t1 + A * P2{-std::sin(a1), std::cos(a1)}, in2 = t2 + A * P2{std::sin(a2), -std::cos(a2)};
    const P2 out1 = t1 - A * P2{-std::sin(a1), std::cos(a1)}, out2 = t2 - A * P2{std::sin(a2), -std::cos(a2)};
    const double span = (a2 - a1) * r;
    bool outward;
    double arcs[2][2];
    int n = 1;
    if (at >= a2 || at <= a1) {
        outward = 3 * A < span;
        // Extended to the text on the side of the nearer ray.
        const double to2 = std::fabs(std::remainder(at - a2, kTwoPi)), to1 = std::fabs(std::remainder(at - a1, kTwoPi));
        double from = a1, to = a2;
        if (to2 <= to1) {
            to = at - ww / (2 * r);
            while (to < a1) to += kTwoPi;
            to = std::max(to, a2);
        } else {
            from = at + ww / (2 * r);
            while (from > a1) from -= kTwoPi;
            from = std::min(from, a1);
        }
        arcs[0][0] = from, arcs[0][1] = to;
    } else if (2 * A + ww < span) {
        outward = true;
        if (along()) {
            arcs[0][0] = a1, arcs[0][1] = a2;
        } else {
            arcs[0][0] = a1, arcs[0][1] = at - ww / (2 * r);
            arcs[1][0] = at + ww / (2 * r), arcs[1][1] = a2;
            n = 2;
        }
    } else {
        outward = false;
        arcs[0][0] = a1 - 2 * A / r, arcs[0][1] = a1;
        arcs[1][0] = a2, arcs[1][1] = a2 + 2 * A / r;
        n = 2;
    }
    // A piece cut away by the text (the text reaching past a ray) is left out, never
    // drawn the long way round.
    for (int i = 0; i < n; ++i)
        if (arcs[i][1] > arcs[i][0] && (code = dim_add_arc(b, c, r, arcs[i][0], arcs[i][1])) != 0) return code;
    return chain([&] {
        return outward ? dim_add_arrow_pair(b, pl(t1), pl(in1), pl(t2), pl(in2))
                       : dim_add_arrow_pair(b, pl(t1), pl(out1), pl(t2), pl(out2));
    },
                 [&] { return ext(p1, a1); }, [&] { return ext(p2v, a2); });
}

int dim_layout_arrows(const DimBuild& b, int mode, const Vec3& a, const Vec3& p) {
    if (!b.view || !b.group) return kBadArgument;
    return chain([&] { return mode == kDimArrowStart || mode == kDimArrowBoth ? dim_add_arrow(b, a, p, dim_get_leader()) : 0; },
                 [&] { return mode == kDimArrowEnd || mode == kDimArrowBoth ? dim_add_arrow(b, p, a, dim_get_leader()) : 0; },
                 [&] { return dim_add_line(b, a, p); });
}
