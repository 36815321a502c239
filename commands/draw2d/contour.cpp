// Tracing a closed planar contour: free points as straight segments, and runs that
// follow polylines, arcs, circles and ellipses clicked twice. Every point is tested
// for flatness and for crossing the contour; a followed run that fails is taken back
// whole. The preview shows a copy of the vertices, never the contour's own list.
#include <algorithm>
#include <cmath>
#include <vector>

#include "commands/draw2d/internal.h"
#include "commands/editcore/picking.h"
#include "graphics/view/pick.h"
#include "graphics/view/view_gdi.h"
#include "model/geom/query.h"
#include "model/geom/vertex_lists.h"
#include "model/math/plist_edit.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kPromptContour = IDS_POINT_OF_THE_CONTOUR, kTitleHatch = IDS_HATCH,
                   kNotFlat = IDS_CONTOUR_IS_NOT_FLAT, kCrosses = IDS_CONTOUR_SHOULD_NOT_CROSS;

Vec3 pt(const PointNode* n) { return {n->x, n->y, n->z}; }

const PointNode* list_last_node(const PointNode* head) {
    const PointNode* n = head;
    while (n->next && n->next != head) n = n->next;
    return n;
}

constexpr size_t kBlock = 32;  // segments of one block box
constexpr size_t kNone = static_cast<size_t>(-1);

Vec3d to_flat(const Contour* c, const Vec3& p) {
    Vec3 q;
    mat_xform_point(&q, &p, &c->to_plane);
    return {q.x, q.y, q.z};
}

// Grows the box of block k by a point.
void block_grow(Contour* c, size_t k, const Vec3d& q) {
    while (c->blocks.size() < 4 * (k + 1)) {
        c->blocks.insert(c->blocks.end(), {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL});
    }
    double* b = &c->blocks[4 * k];
    b[0] = std::min(b[0], q.x);
    b[1] = std::min(b[1], q.y);
    b[2] = std::max(b[2], q.x);
    b[3] = std::max(b[3], q.y);
}

// Appends a plane-frame point: block k holds segments k*kBlock .. k*kBlock+kBlock-1,
// that is points k*kBlock .. (k+1)*kBlock.
void flat_push(Contour* c, const Vec3d& q) {
    const size_t j = c->flat.size();
    c->flat.push_back(q);
    if (j >= 1) block_grow(c, (j - 1) / kBlock, q);
    block_grow(c, j / kBlock, q);
}

void flat_rebuild(Contour* c) {
    c->flat.clear();
    c->blocks.clear();
    if (!c->plane_known) return;
    std::vector<Vec3> pts;
    for (const PointNode* n = c->vertices; n; n = n->next == c->vertices ? nullptr : n->next) pts.push_back(pt(n));
    for (size_t i = pts.size(); i-- > 0;) flat_push(c, to_flat(c, pts[i]));
}

double orient(const Vec3d& a, const Vec3d& b, const Vec3d& p) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}
bool on_segment(const Vec3d& a, const Vec3d& b, const Vec3d& p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}
// Closed segments ab and cd meet (touching counts).
bool segments_meet(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    if (std::max(a.x, b.x) < std::min(c.x, d.x) || std::max(c.x, d.x) < std::min(a.x, b.x) ||
        std::max(a.y, b.y) < std::min(c.y, d.y) || std::max(c.y, d.y) < std::min(a.y, b.y))
        return false;  // boxes apart
    const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    return (d1 == 0 && on_segment(c, d, a)) || (d2 == 0 && on_segment(c, d, b)) ||
           (d3 == 0 && on_segment(a, b, c)) || (d4 == 0 && on_segment(a, b, d));
}

// Does segment a-b meet a segment i (flat[i] to flat[i+1]) of the contour other than
// the two skipped ones?
bool meets_any(const Contour* c, const Vec3d& a, const Vec3d& b, size_t skip_first, size_t skip_last) {
    const size_t segments = c->flat.size() < 2 ? 0 : c->flat.size() - 1;
    const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    for (size_t k = 0; k * kBlock < segments; ++k) {
        const double* box = &c->blocks[4 * k];
        if (x1 < box[0] || box[2] < x0 || y1 < box[1] || box[3] < y0) continue;
        const size_t end = std::min(segments, (k + 1) * kBlock);
        for (size_t i = k * kBlock; i < end; ++i) {
            if (i == skip_first || i == skip_last) continue;
            if (segments_meet(a, b, c->flat[i], c->flat[i + 1])) return true;
        }
    }
    return false;
}

// The new segment last -> p crosses the contour.
bool new_segment_crosses(const Contour* c, const Vec3& p) {
    if (!c->plane_known || c->flat.size() < 3) return false;
    return meets_any(c, c->flat.back(), to_flat(c, p), c->flat.size() - 2, kNone);
}

void draw_segment(VIEW* view, const Vec3& a, const Vec3& b) {
    if (!view) return;
    int ax, ay, bx, by;
    world_to_pixel(&view->projection, a, &ax, &ay);
    world_to_pixel(&view->projection, b, &bx, &by);
    view_set_object_colour(view, view->current_colour);
    view_gdi_line(view, ax, ay, bx, by);
}

// The followed object's local frame: centre, unit axes and semi-axes.
struct CurveFrame {
    Vec3d c, u, v;
    double a, b;
};
bool curve_frame(const ELARC* e, CurveFrame* f) {
    f->c = {e->centre.x, e->centre.y, e->centre.z};
    Vec3d u{e->axis1.x - f->c.x, e->axis1.y - f->c.y, e->axis1.z - f->c.z};
    Vec3d v{e->axis2.x - f->c.x, e->axis2.y - f->c.y, e->axis2.z - f->c.z};
    f->a = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
    f->b = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(f->a > 0) || !(f->b > 0)) return false;
    f->u = {u.x / f->a, u.y / f->a, u.z / f->a};
    f->v = {v.x / f->b, v.y / f->b, v.z / f->b};
    return true;
}
double curve_param(const CurveFrame& f, const Vec3& p) {
    const Vec3d d{p.x - f.c.x, p.y - f.c.y, p.z - f.c.z};
    const double pu = d.x * f.u.x + d.y * f.u.y + d.z * f.u.z, pv = d.x * f.v.x + d.y * f.v.y + d.z * f.v.z;
    return std::atan2(pv / f.b, pu / f.a);
}
double wrap(double a) {
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

// A clicked point carried onto the curve's plane along the view line through it; a
// plane seen edge-on takes the point straight onto it.
Vec3 point_on_curve_plane(const VIEW* view, const CurveFrame& f, const Vec3& p) {
    const Vec3d n{f.u.y * f.v.z - f.u.z * f.v.y, f.u.z * f.v.x - f.u.x * f.v.z, f.u.x * f.v.y - f.u.y * f.v.x};
    const Vec3d d0{f.c.x - p.x, f.c.y - p.y, f.c.z - p.z};
    const double off = d0.x * n.x + d0.y * n.y + d0.z * n.z;
    Vec3d dir{n.x, n.y, n.z};
    double along = n.x * n.x + n.y * n.y + n.z * n.z;
    if (view) {
        Vec3d d;
        view_get_direction_d(&view->projection, &d);
        const double dn = d.x * n.x + d.y * n.y + d.z * n.z;
        const double dl = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        if (std::isfinite(dn) && dl > 0 && std::fabs(dn) > 1e-6 * dl) dir = d, along = dn;
    }
    if (!(along != 0)) return p;
    const double t = off / along;
    const Vec3 q = vec(p.x + t * dir.x, p.y + t * dir.y, p.z + t * dir.z);
    return vec3_finite(q) ? q : p;
}

// A point clicked on a polyline put on the segment under it, where the view line
// through it passes nearest (kept as clicked where no segment is found or the
// segment is seen end-on): a followed run then lies on the polyline in any view.
Vec3 point_on_polyline(const VIEW* view, object* o, const Vec3& p) {
    PointNode* seg = nullptr;
    if (!pick_polyline_segment(&view->projection, p, o, &seg) || !seg || !seg->next) return p;
    const Vec3 a = pt(seg), b = pt(seg->next);
    Vec3 va, vb, vp;
    world_to_view(&view->projection, a, &va);
    world_to_view(&view->projection, b, &vb);
    world_to_view(&view->projection, p, &vp);
    const double ex = static_cast<double>(vb.x) - va.x, ey = static_cast<double>(vb.y) - va.y;
    const double len2 = ex * ex + ey * ey;
    if (!(len2 > 1e-12)) return p;
    const double t = std::clamp(((static_cast<double>(vp.x) - va.x) * ex + (static_cast<double>(vp.y) - va.y) * ey) / len2,
                                0.0, 1.0);
    const Vec3 q = vec(a.x + t * (static_cast<double>(b.x) - a.x), a.y + t * (static_cast<double>(b.y) - a.y),
                       a.z + t * (static_cast<double>(b.z) - a.z));
    return vec3_finite(q) ? q : p;
}

// A clicked point carried onto the object it starts or goes on following.
Vec3 point_on_followed(const VIEW* view, object* o, const Vec3& p) {
    if (!o || !view) return p;
    if (rtc_is_a(o, &XPLINE::rtc_class)) return point_on_polyline(view, o, p);
    CurveFrame f;
    if (!rtc_is_a(o, &ELARC::rtc_class) || !curve_frame(static_cast<const ELARC*>(o), &f)) return p;
    return point_on_curve_plane(view, f, p);
}

// The run along a circle, ellipse or arc from `from` to `to` (both ends included,
// carried onto the curve's plane). A closed curve is followed counter-clockwise in
// its own frame from `from` to `to`; one point twice goes the whole way round.
int curve_run(const VIEW* view, const ELARC* e, const Vec3& from_click, const Vec3& to_click, PointNode** run) {
    CurveFrame f;
    if (!curve_frame(e, &f)) return kDraw2dNothingToFollow;
    const Vec3 from = point_on_curve_plane(view, f, from_click), to = point_on_curve_plane(view, f, to_click);
    const double t0 = curve_param(f, from), t1 = curve_param(f, to);
    double sweep;
    bool whole_turn = false;
    if (e->flags & kElarcWholeEllipse) {
        sweep = wrap(t1 - t0);
        if (sweep == 0 || vec3_near(from, to)) sweep = kTwoPi, whole_turn = true;
    } else {
        const double d0 = wrap(t0 - e->start), d1 = wrap(t1 - e->start);
        sweep = d1 - d0;  // stays on the arc
    }
    double step = view->accuracy_angular;
    if (!(step > 1e-4) || !std::isfinite(step)) step = kPi / 12;
    const int n = std::min(4096, static_cast<int>(std::ceil(std::fabs(sweep) / step)));
    // Built backward so that the prepending list ends in order; a whole turn leaves
    // out its last point, the ring closing on the first by itself.
    if (!whole_turn && plist_add(run, to)) return kOutOfMemory;
    for (int i = n - 1; i >= 1; --i) {
        const double t = t0 + sweep * i / n;
        const Vec3 p = vec(f.c.x + f.a * std::cos(t) * f.u.x + f.b * std::sin(t) * f.v.x,
                           f.c.y + f.a * std::cos(t) * f.u.y + f.b * std::sin(t) * f.v.y,
                           f.c.z + f.a * std::cos(t) * f.u.z + f.b * std::sin(t) * f.v.z);
        if (plist_add(run, p)) return kOutOfMemory;
    }
    return plist_add(run, from);
}

// The run along a polyline between two clicked points.
int polyline_run(const VIEW* view, const XPLINE* x, const Vec3& from, const Vec3& to, PointNode** run) {
    PointNode* list = nullptr;
    if (!x->control) return kDraw2dNothingToFollow;
    if (plist_copy_unique(&list, x->control)) return kOutOfMemory;
    PointNode *s0 = nullptr, *s1 = nullptr;
    const double w = x->width;
    if (!pick_path_segment(&view->projection, from, list, &s0, w) ||
        !pick_path_segment(&view->projection, to, list, &s1, w)) {
        list_free(&list);
        return plist_add(run, to) || plist_add(run, from) ? kOutOfMemory : 0;
    }
    std::vector<Vec3> pts{from};
    if (s0 != s1) {
        if (list_reaches(s0, s1)) {
            for (const PointNode* n = s0->next; n; n = n->next) {
                pts.push_back(pt(n));
                if (n == s1) break;
            }
        } else {
            std::vector<Vec3> back;
            for (const PointNode* n = s1->next; n; n = n->next) {
                back.push_back(pt(n));
                if (n == s0) break;
            }
            pts.insert(pts.end(), back.rbegin(), back.rend());
        }
    }
    pts.push_back(to);
    list_free(&list);
    for (size_t i = pts.size(); i-- > 0;)
        if (plist_add(run, pts[i])) return kOutOfMemory;
    return 0;
}

bool is_closed_curve(const object* o) {
    return rtc_is_a(o, &ELARC::rtc_class) && (static_cast<const ELARC*>(o)->flags & kElarcWholeEllipse);
}

// What lies under a contour point: the followed object first, else an arc, a closed
// curve or a plain polyline.
object* followable_at(VIEW* view, const Vec3& p, object* followed) {
    object* first = nullptr;
    for (object* o = pick_object_at(view, p, nullptr, nullptr); o; o = pick_object_at(view, p, nullptr, o)) {
        const bool ok = rtc_is_a(o, &ELARC::rtc_class) ||
                        (rtc_is_a(o, &XPLINE::rtc_class) && static_cast<XPLINE*>(o)->kind == kXplinePolyline);
        if (!ok) continue;
        if (o == followed) return o;
        if (!first) first = o;
    }
    return first;
}

struct SavedFields {
    int32_t flags, grid;
};

}  // namespace

void hatch_message(int id) {
    const uint32_t text = id < 1 ? kNotFlat : static_cast<uint32_t>(id);
    msgbox_ids(kTitleHatch, text);
}

void contour_clear(Contour* c) {
    if (!c) return;
    list_free(&c->vertices);
    *c = Contour{};
}

int contour_crosses_itself(const Contour* c, const Vec3& p) {
    if (!c || !c->plane_known || c->flat.size() < 3) return 0;
    const size_t n = c->flat.size();
    const Vec3d first = c->flat.front(), last = c->flat.back(), b = to_flat(c, p);
    if (vec3_near(p, pt(list_last_node(c->vertices)))) {
        // Only the closing segment: it meets the first and the last segment at its ends.
        return meets_any(c, last, first, 0, n - 2) ? 1 : 0;
    }
    if (vec3_near(p, pt(c->vertices))) return meets_any(c, last, first, 0, n - 2) ? 1 : 0;
    if (meets_any(c, last, b, n - 2, kNone)) return 1;
    return meets_any(c, b, first, 0, kNone) ? 1 : 0;
}

int contour_add_point(VIEW* view, Contour* c, const Vec3& p, int* accepted) {
    *accepted = 0;
    if (!vec3_finite(p)) return 0;
    if (c->plane_known) {
        Vec3 q;
        mat_xform_point(&q, &p, &c->to_plane);
        if (!(std::fabs(q.z - c->depth) <= kPlanarTolerance)) {
            hatch_message(kNotFlat);
            return 0;
        }
    }
    if (c->vertices && vec3_near(p, pt(c->vertices))) {
        *accepted = 1;
        return 0;
    }
    if (c->count >= 3 && vec3_near(p, pt(list_last_node(c->vertices)))) {
        // Back on the first point: the ring closes by itself; only its closing
        // segment is tested (it touches the first segment there, which is no crossing).
        if (contour_crosses_itself(c, p)) {
            hatch_message(kCrosses);
            return 0;
        }
        *accepted = 1;
        return 0;
    }
    if (new_segment_crosses(c, p)) {
        hatch_message(kCrosses);
        return 0;
    }
    const Vec3 last = c->vertices ? pt(c->vertices) : p;
    if (plist_add(&c->vertices, p)) return kOutOfMemory;
    ++c->count;
    if (c->plane_known) {
        flat_push(c, to_flat(c, p));
    } else if (c->count >= 3) {
        c->plane_known = chain_plane(c->vertices, nullptr, &c->to_plane, &c->from_plane, &c->depth);
        flat_rebuild(c);
    }
    set_slot(view, 0, p);
    if (c->count > 1) draw_segment(view, last, p);
    *accepted = 1;
    return 0;
}

int contour_add_points(VIEW* view, Contour* c, const PointNode* run) {
    if (!plist_is_planar(run)) {
        hatch_message(kNotFlat);
        return 0;
    }
    PointNode* const saved_head = c->vertices;
    const int saved_count = c->count, saved_known = c->plane_known;
    const Matrix43 saved_to = c->to_plane, saved_from = c->from_plane;
    const double saved_depth = c->depth;
    const size_t saved_flat = c->flat.size();
    // Messages of single points are held back: the run shows one.
    for (const PointNode* n = run; n; n = n->next == run ? nullptr : n->next) {
        int accepted = 0;
        const bool refused = contour_add_point(view, c, pt(n), &accepted) != 0;
        if (refused || !accepted) {
            while (c->vertices != saved_head) {  // take the run back whole
                PointNode* head = c->vertices;
                c->vertices = head->next;
                delete head;
            }
            c->count = saved_count;
            c->plane_known = saved_known;
            c->to_plane = saved_to;
            c->from_plane = saved_from;
            c->depth = saved_depth;
            if (saved_known) {
                c->flat.resize(saved_flat);
                c->blocks.clear();
                const std::vector<Vec3d> keep = std::move(c->flat);
                c->flat.clear();
                for (const Vec3d& q : keep) flat_push(c, q);
            } else {
                c->flat.clear();
                c->blocks.clear();
            }
            if (view && c->vertices) set_slot(view, 0, pt(c->vertices));
            return 0;
        }
    }
    return 1;
}

// The whole outline of a followed object becomes the contour. 0 or 19.
static int contour_whole_object(VIEW* view, Contour* c, object* obj) {
    const PointNode* list = wire_point_list(obj);
    if (!list) return kDraw2dNothingToFollow;
    PointNode* run = nullptr;
    if (plist_copy_unique(&run, list)) return kOutOfMemory;
    if (plist_is_closed(run)) {
        PointNode* last = run;
        while (last->next != run) last = last->next;
        last->next = nullptr;
    }
    // A last point on the first closes the ring by itself.
    PointNode* before = nullptr;
    PointNode* last = run;
    while (last && last->next) before = last, last = last->next;
    if (before && vec3_near(pt(last), pt(run))) {
        delete last;
        before->next = nullptr;
    }
    const int ok = contour_add_points(view, c, run);
    list_free(&run);
    return ok && c->plane_known ? 0 : kDraw2dNothingToFollow;
}

void contour_marker_feedback(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    view_gdi_line(view, x - 4, y - 4, x + 5, y + 5);
    view_gdi_line(view, x - 4, y + 4, x + 5, y - 5);
    view_gdi_line(view, x - 4, y, x + 5, y);
    view_gdi_line(view, x, y - 4, x, y + 5);
}

void contour_lines_feedback(VIEW* view, int x, int y) {
    contour_marker_feedback(view, x, y);
    int ax, ay, bx, by;
    input_slot_pixel(view, 0, &ax, &ay);
    input_slot_pixel(view, 1, &bx, &by);
    view_gdi_line(view, x, y, ax, ay);
    view_gdi_line(view, x, y, bx, by);
}

int contour_ask(VIEW** view_ref, Contour* c, int (*on_options)(VIEW**), uint32_t help_id) {
    contour_clear(c);
    VIEW* home = *view_ref;
    const SavedFields saved{home->input_flags, home->grid_on};
    BBox drawn = kEmptyBBox;
    auto finish = [&](int code) {
        home->input_flags = saved.flags;
        home->grid_on = saved.grid;
        if (*view_ref && !bbox_is_empty(drawn)) view_notify_all(*view_ref, &drawn, 1);  // the preview goes
        return code;
    };
    auto grow = [&](const Vec3& p) {
        BBox b;
        bbox_of_points(p, p, &b);
        bbox_union(b, &drawn);
    };
    Vec3 p;
    int code = input_point(view_ref, kPromptContour, contour_marker_feedback, nullptr, &p, help_id);
    if (code != 0) return finish(code);
    object* followed = followable_at(*view_ref, p, nullptr);
    p = point_on_followed(*view_ref, followed, p);
    int state = followed ? 1 : 0;
    Vec3 pending{};
    int accepted = 0;
    if ((code = contour_add_point(*view_ref, c, p, &accepted)) != 0) return finish(code);
    grow(p);
    set_slot(*view_ref, 0, p);
    set_slot(*view_ref, 1, p);
    for (;;) {
        code = input_point(view_ref, kPromptContour, contour_lines_feedback, nullptr, &p, help_id);
        if (code == 0) {
            VIEW* v = *view_ref;
            const Vec3 last = c->vertices ? pt(c->vertices) : p;
            object* under = followable_at(v, p, followed);
            p = point_on_followed(v, under, p);
            PointNode* run = nullptr;
            int rc = 0;
            if (under && under == followed) {
                if (rtc_is_a(under, &XPLINE::rtc_class)) {
                    rc = polyline_run(v, static_cast<XPLINE*>(under), last, p, &run);
                } else if (is_closed_curve(under)) {
                    rc = curve_run(v, static_cast<ELARC*>(under), last, p, &run);
                } else if (state == 2) {
                    // Along the arc to the remembered point, then on from there to this one.
                    PointNode* rest = nullptr;
                    rc = curve_run(v, static_cast<ELARC*>(under), pending, p, &rest);
                    if (rc == 0) rc = curve_run(v, static_cast<ELARC*>(under), last, pending, &run);
                    if (rc == 0 && run && rest) {
                        PointNode* tail = run;
                        while (tail->next) tail = tail->next;
                        tail->next = rest->next;  // the remembered point once
                        delete rest;
                        rest = nullptr;
                    }
                    list_free(&rest);
                } else {
                    pending = p;  // the second point on an arc: the third closes the run
                    state = 2;
                    continue;
                }
            } else {
                if (state == 2 && followed) rc = curve_run(v, static_cast<ELARC*>(followed), last, pending, &run);
                if (rc == 0 && run) {
                    contour_add_points(v, c, run);
                    list_free(&run);
                }
                rc = plist_add(&run, p);
            }
            if (rc != 0) {
                list_free(&run);
                if (rc == kOutOfMemory) return finish(kOutOfMemory);
            } else if (run) {
                if (contour_add_points(v, c, run))
                    for (const PointNode* n = run; n; n = n->next) grow(pt(n));
                list_free(&run);
            }
            followed = under;
            state = under ? 1 : 0;
            continue;
        }
        if (c->count == 1) {
            contour_clear(c);
            if (followed && *view_ref) {
                if (contour_whole_object(*view_ref, c, followed) != 0) contour_clear(c);
            } else {
                return finish(code == kStepRefused ? 0 : code);
            }
        }
        if (code != kStepRefused) return finish(code);
        if (!c->plane_known || c->count < 3) {
            contour_clear(c);
            return finish(0);
        }
        const Vec3 first = pt(list_last_node(c->vertices));
        if (!contour_crosses_itself(c, first)) {
            if (on_options && on_options(view_ref) != 0) {
                contour_clear(c);
                return finish(0);
            }
            PointNode* tail = c->vertices;
            while (tail->next) tail = tail->next;
            tail->next = c->vertices;  // the ring closes
            return finish(0);
        }
        const std::string q = res_load_string(kCrosses);
        if (msgbox_show(kTitleHatch, q.c_str(), kMbYesNo | kMbIconQuestion) == kIdYes) continue;
        contour_clear(c);
        return finish(0);
    }
}
