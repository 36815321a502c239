// Builders of the pieces of a dimension (see dim_geometry.h).
#include "commands/dimension/dim_geometry.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "commands/dimension/dim_settings.h"
#include "graphics/view/view.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/rtc/rtc.h"

namespace {

DimState g_state;

Vec3 pt(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// Maps local points to drawing coordinates; false when any is not finite.
bool map_points(const DimBuild& b, const Vec3* in, Vec3* out, int n) {
    for (int i = 0; i < n; ++i) {
        if (!vec3_finite(in[i])) return false;
        mat_xform_point(&out[i], &in[i], &b.matrix);
        if (!vec3_finite(out[i])) return false;
    }
    return true;
}

// Regenerates `obj`, inserts it into the group; destroys it on failure.
int insert(const DimBuild& b, object* obj) {
    int code = regen_object(obj);
    if (code == 0) code = container_insert(b.group, obj);
    if (code != 0) rtc_destroy(obj);
    return code;
}

// A polyline of `n` local points of subtype `kind`.
int add_polyline(const DimBuild& b, const Vec3* local, int n, int kind, double width) {
    if (!b.group || !b.view) return kBadArgument;
    Vec3 w[3];
    if (n > 3 || !map_points(b, local, w, n)) return 0;
    auto x = rtc_make<XPLINE>();
    if (!x) return kOutOfMemory;
    for (int i = n; i-- > 0;)
        if (plist_add(&x->control, w[i]) != 0) return kOutOfMemory;
    x->kind = kind;
    x->colour = b.view->dimension_words[kDimLineColour];
    x->width = static_cast<float>(width);
    return insert(b, x.release());
}

double line_width(const DimBuild& b) { return b.view->dimension_values[kDimLineWidth]; }

}  // namespace

DimState& dim_state() { return g_state; }

void dim_clear_texts() {
    g_state.value.clear();
    g_state.lower.clear();
    g_state.upper.clear();
}

void dim_set_text_angle(double angle) {
    if (!std::isfinite(angle)) angle = 0;
    angle = std::fmod(angle, kTwoPi);
    while (angle > kPi) angle -= kPi;
    if (angle > kPi / 2) angle -= kPi;
    while (angle <= -kPi / 2) angle += kPi;
    g_state.angle = angle;
    g_state.cos = std::cos(angle);
    g_state.sin = std::sin(angle);
    g_state.cos1024 = static_cast<int>(std::lround(g_state.cos * 1024));
    g_state.sin1024 = static_cast<int>(std::lround(g_state.sin * 1024));
}

void dim_text_angle_for(const Vec3& c, const Vec3& p) {
    dim_set_text_angle(dim_get_text_mode() == 1 ? angle_about(c, p) : 0.0);
}

int dim_text_width(const StrokeFont* font, const std::string& value, const std::string& lower,
                   const std::string& upper) {
    if (!font) return 0;
    const int t = std::max(font_text_width(font, lower.c_str()), font_text_width(font, upper.c_str()));
    return font_text_width(font, value.c_str()) + t / 2;
}

void dim_store_texts(const StrokeFont* font, const std::string& value, const std::string& lower,
                     const std::string& upper) {
    g_state.value = value;
    g_state.lower = lower;
    g_state.upper = upper;
    g_state.text_px = dim_text_width(font, value, lower, upper);
}

double dim_measure(const std::string& text, double width) {
    const StrokeFont* f = font_default();
    if (!f || f->design_width <= 0) return 0;
    double sum = 0;
    for (unsigned char c : text) sum += f->advance[c];
    return width * sum / f->design_width;
}

int dim_add_line(const DimBuild& b, const Vec3& from, const Vec3& to) {
    const Vec3 p[2] = {from, to};
    return add_polyline(b, p, 2, 0, b.view ? line_width(b) : 0);
}

int dim_add_arrow(const DimBuild& b, const Vec3& tip, const Vec3& toward, int kind) {
    if (!b.group || !b.view) return kBadArgument;
    const double size = b.view->dimension_values[kDimArrowSize];
    double dx = double(toward.x) - tip.x, dy = double(toward.y) - tip.y;
    const double dist = std::hypot(dx, dy);
    if (kind < kDimMarkArrow || kind > kDimMarkSlash || !(dist > 0) || !std::isfinite(dist) || !(size > 0) ||
        !std::isfinite(size))
        return 0;
    dx /= dist, dy /= dist;
    if (std::fabs(dx) < 0.001) dx = 0;
    if (std::fabs(dy) < 0.001) dy = 0;
    const double z = tip.z;
    switch (kind) {
        case kDimMarkArrow:
        case kDimMarkOpenArrow: {
            const double l = size * 1.040582726326743;
            const Vec3 p[3] = {pt(tip.x + l * (0.961 * dx + 0.259 * dy), tip.y + l * (0.961 * dy - 0.259 * dx), z),
                               tip,
                               pt(tip.x + l * (0.961 * dx - 0.259 * dy), tip.y + l * (0.961 * dy + 0.259 * dx), z)};
            return add_polyline(b, p, 3, kind == kDimMarkArrow ? kXplineFilled : kXplinePolyline, line_width(b));
        }
        case kDimMarkDot: {
            const Vec3 p[2] = {tip, tip};
            return add_polyline(b, p, 2, 0, 5 * line_width(b));
        }
        default: {
            const double sx = 0.7071 * dx - 0.7071 * dy, sy = 0.7071 * dx + 0.7071 * dy;
            const Vec3 p[2] = {pt(tip.x - size * sx, tip.y - size * sy, z), pt(tip.x + size * sx, tip.y + size * sy, z)};
            return add_polyline(b, p, 2, 0, line_width(b));
        }
    }
}

int dim_add_arrow_pair(const DimBuild& b, const Vec3& tip1, const Vec3& toward1, const Vec3& tip2,
                       const Vec3& toward2) {
    const int code = dim_add_arrow(b, tip1, toward1, dim_get_arrows());
    return code != 0 ? code : dim_add_arrow(b, tip2, toward2, dim_get_arrows());
}

int dim_add_arc(const DimBuild& b, const Vec3& centre, double radius, double a0, double a1) {
    if (!b.group || !b.view) return kBadArgument;
    const Vec3 local[3] = {centre, pt(centre.x + radius, centre.y, centre.z), pt(centre.x, centre.y + radius, centre.z)};
    Vec3 w[3];
    if (!(radius > 0) || !std::isfinite(a0) || !std::isfinite(a1) || !map_points(b, local, w, 3)) return 0;
    auto arc = rtc_make<ELARC>();
    if (!arc) return kOutOfMemory;
    arc->centre = w[0];
    arc->axis1 = w[1];
    arc->axis2 = w[2];
    arc->start = a0;
    arc->end = a1;
    arc->flags = kElarcCircular;
    if (b.view->accuracy_angular > 0) arc->curve_step = b.view->accuracy_angular;
    arc->colour = b.view->dimension_words[kDimLineColour];
    arc->width = static_cast<float>(line_width(b));
    return insert(b, arc.release());
}

int dim_add_frame(const DimBuild& b, const Vec3& corner, double width, double height, int kind) {
    if (kind < kDimFrameRectangle || kind > kDimFrameCircle) return 0;
    const double w = width * 1.1, h = height * 1.1, z = corner.z;
    const double ux = g_state.cos, uy = g_state.sin, vx = -uy, vy = ux;
    const Vec3 c = corner;
    const Vec3 cu = pt(c.x + w * ux, c.y + w * uy, z), cv = pt(c.x + h * vx, c.y + h * vy, z);
    const Vec3 cuv = pt(cu.x + h * vx, cu.y + h * vy, z);
    int code = 0;
    switch (kind) {
        case kDimFrameRectangle:
            if ((code = dim_add_line(b, c, cu)) || (code = dim_add_line(b, c, cv)) || (code = dim_add_line(b, cu, cuv)))
                return code;
            return dim_add_line(b, cv, cuv);
        case kDimFrameRoundEnds: {
            if ((code = dim_add_line(b, c, cu)) || (code = dim_add_line(b, cv, cuv))) return code;
            const double a = g_state.angle;
            const Vec3 m1 = pt(c.x + h / 2 * vx, c.y + h / 2 * vy, z), m2 = pt(cu.x + h / 2 * vx, cu.y + h / 2 * vy, z);
            if ((code = dim_add_arc(b, m1, h / 2, kPi / 2 + a, 1.5 * kPi + a))) return code;
            return dim_add_arc(b, m2, h / 2, -kPi / 2 + a, kPi / 2 + a);
        }
        default: {
            const Vec3 m = pt(c.x + (w * ux + h * vx) / 2, c.y + (w * uy + h * vy) / 2, z);
            return dim_add_arc(b, m, std::max(w, h) / 2, 0, kTwoPi);
        }
    }
}

int dim_add_texts(const DimBuild& b, const Vec3& at, double* box_width, int frame) {
    if (box_width) *box_width = 0;
    if (!b.group || !b.view) return kBadArgument;
    VIEW* v = b.view;
    const double th = v->dimension_values[kDimTextHeight], tw = v->dimension_values[kDimTextWidth];
    std::string upper = g_state.upper;
    const std::string& lower = g_state.lower;
    double tol_h = th / 2, tol_w = tw / 2;
    if (!lower.empty() && upper == lower) {
        upper.clear();
        tol_h = th, tol_w = tw;
    }
    const double m = dim_measure(g_state.value, tw) * 1.1;
    const double t = std::max(dim_measure(upper, tol_w), dim_measure(lower, tol_w));
    const double total = m + t / 2;
    if (box_width) *box_width = total * 1.1;
    const double c = g_state.cos, s = g_state.sin;
    const bool along = dim_get_text_mode() == 1;
    const Vec3 vpos = along ? pt(at.x - c * total / 2, at.y - s * total / 2, at.z)
                            : pt(at.x - total / 2, at.y - th / 2, at.z);
    const Vec3 lpos = pt(vpos.x + c * m, vpos.y + s * m, at.z);
    const Vec3 upos = pt(lpos.x - s * tol_h, lpos.y + c * tol_h, at.z);
    int code = dim_add_frame(b, vpos, total, th, frame);
    if (code != 0) return code;

    Vec3d normal;
    mat_z_axis_d(&b.matrix, &normal);
    const double twist = mat_twist_angle(&b.matrix, normal.x, normal.y, normal.z);
    FONTPATT* font = b.model ? static_cast<FONTPATT*>(model_find_patt(b.model, "DEFAULT", &FONTPATT::rtc_class))
                             : nullptr;
    struct Piece {
        const std::string* text;
        Vec3 pos;
        double w, h;
    } pieces[3] = {{&g_state.value, vpos, tw, th}, {&upper, upos, tol_w, tol_h}, {&lower, lpos, tol_w, tol_h}};
    // All three, empty ones too: a dimension always holds its value and both
    // tolerance texts, in this order.
    for (const Piece& p : pieces) {
        Vec3 w;
        if (!map_points(b, &p.pos, &w, 1)) continue;
        auto text = rtc_make<TEXT2>();
        if (!text) return kOutOfMemory;
        text->text = *p.text;
        text->insert = w;
        text2_set_normal(*text, normal);
        text->layout[kText2Width] = p.w;
        text->layout[kText2Height] = p.h;
        text->layout[kText2Direction] = (along ? g_state.angle : 0.0) - twist;
        text->layout[kText2Slant] = v->dimension_values[kDimTextSlant];
        text->width = static_cast<float>(v->dimension_values[kDimLineWidth]);
        text->colour = v->dimension_words[kDimTextColour];
        text->font = font;
        if ((code = insert(b, text.release())) != 0) return code;
    }
    return 0;
}
