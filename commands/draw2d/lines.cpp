// The Line command by its six methods (separate, connected, parallel, perpendicular,
// cross, fan) and the Polyline command.
#include <algorithm>
#include <cmath>

#include "commands/draw2d/internal.h"
#include "commands/editcore/picking.h"
#include "commands/input/zoom.h"
#include "graphics/view/pick.h"
#include "graphics/view/view_gdi.h"
#include "model/db/undo.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/services/prefs.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kPromptFirst = IDS_FIRST_POINT, kPromptSecond = IDS_SECOND_POINT, kPromptNext = IDS_NEXT_POINT;
constexpr uint32_t kPromptSelectSegment = IDS_SELECT_THE_LINE_SEGMENT, kPromptCrossCentre = IDS_CROSS_CENTRE,
                   kPromptCrossRadius = IDS_CROSS_RADIUS;
constexpr uint32_t kHelpLine = 40106, kHelpPolyline = 40014;

// The reference segment of the parallel and perpendicular methods (slots 7 and 8).
constexpr int kSlotRef1 = 7, kSlotRef2 = 8;

bool parallel_kind(int m) {
    return m == kLineParallel || m == kLinePerpendicular;
}

// Rubber line held parallel or perpendicular to the reference through slot 0.
void reference_feedback(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    DocInputState* st = view_input_state(view);
    if (!st) return;
    Vec3 cursor;
    pixel_to_world(&view->projection, x, y, view->elevation, &cursor);
    const Vec3& s = st->points[0];
    const Vec3 e =
        view->line_method == kLinePerpendicular
            ? line_make_perpendicular(view, s, cursor, st->points[kSlotRef1], st->points[kSlotRef2])
            : line_make_parallel(view, s, cursor, st->points[kSlotRef1], st->points[kSlotRef2]);
    int sx, sy, ex, ey;
    world_to_pixel(&view->projection, s, &sx, &sy);
    world_to_pixel(&view->projection, e, &ex, &ey);
    view_gdi_line(view, sx, sy, ex, ey);
}

void next_point_feedback(VIEW* view, int x, int y) {
    if (view->orthogonal)
        cursor_draw_rubber_ortho(view, x, y);
    else
        cursor_draw_rubber_line(view, x, y);
}

int line_pick_reference(VIEW** view_ref, Vec3* r1, Vec3* r2) {
    VIEW* v = *view_ref;
    const int32_t flags = v->input_flags, grid = v->grid_on, select = v->step_select;
    v->input_flags = kSnapFree;
    v->grid_on = 0;
    int code;
    for (;;) {
        Vec3 p;
        code = input_point(view_ref, kPromptSelectSegment, cursor_draw_snap_box, line_method_callback, &p,
                           kHelpLine + static_cast<uint32_t>(std::max(0, (*view_ref ? *view_ref : v)->line_method)));
        if (code != 0) break;
        VIEW* now = *view_ref;
        object* hit = pick_object_at(now, p, &XPLINE::rtc_class, nullptr);
        if (!hit) continue;
        XPLINE* x = static_cast<XPLINE*>(hit);
        if (pick_segment_endpoints(&now->projection, p, x->control, r1, r2, x->width)) {
            set_slot(now, kSlotRef1, *r1);
            set_slot(now, kSlotRef2, *r2);
            break;
        }
    }
    v->input_flags = flags;
    v->grid_on = grid;
    v->step_select = select;
    return code;
}

// The pending state of the line command: 0 needs a reference (methods 2, 3) or a
// first point, 1 needs the first point (2, 3) or the next point (0, 1, 5), 2 needs
// the second point (2, 3).
struct LineSteps {
    Vec3 start{}, end{}, r1{}, r2{};
    int state = 0;
};

int line_ask_segment(VIEW** view_ref, LineSteps* s) {
    for (;;) {
        VIEW* v = *view_ref;
        const int m = method_in(v->line_method, kLineMethodLast);
        if (m < 0) return kStepRefused;
        const uint32_t help = kHelpLine + static_cast<uint32_t>(m);
        auto changed = [&] { return *view_ref && (*view_ref)->line_method != m; };
        auto now_parallel = [&] { return *view_ref && parallel_kind((*view_ref)->line_method); };
        int code;
        if (m == kLineCross) {
            code = input_point(view_ref, kPromptCrossCentre, cursor_draw_crosshair, line_method_callback, &s->start,
                               help);
            if (code != 0) {
                if (code == kStepCancelled || !changed()) return code;
                if (now_parallel()) s->state = 0;
                continue;
            }
            set_slot(*view_ref, 0, s->start);
            double r = 0;
            code = input_distance(view_ref, s->start, kPromptCrossRadius, 0, cross_feedback, line_method_callback, &r,
                                  help);
            if (code == 0) {
                s->end = vec(r, 0, 0);
                return 0;
            }
            if (code == kStepCancelled) return code;
            if (code != kStepRefused) return code;
            if (changed() && now_parallel()) s->state = 0;
            continue;
        }
        if (!parallel_kind(m)) {
            if (s->state < 1) {
                code = input_point(view_ref, kPromptFirst, cursor_draw_crosshair, line_method_callback, &s->start,
                                   help);
                if (code != 0) {
                    if (code == kStepCancelled || !changed()) return code;
                    if (now_parallel()) s->state = 0;
                    continue;
                }
                s->state = 1;
            }
            set_slot(*view_ref, 0, s->start);
            code = input_point(view_ref, kPromptNext, next_point_feedback, line_method_callback, &s->end, help);
            if (code == 0) {
                if ((*view_ref)->orthogonal) s->end = line_make_orthogonal(*view_ref, s->start, s->end);
                return 0;
            }
            if (code == kStepCancelled) return code;
            if (!changed()) {
                if (code != kStepRefused) return code;
                s->state = 0;
            } else if (now_parallel()) {
                s->state = 0;
            }
            continue;
        }
        // Parallel and perpendicular.
        if (s->state < 1) {
            code = line_pick_reference(view_ref, &s->r1, &s->r2);
            if (code != 0) {
                if (code == kStepCancelled || !changed()) return code;
                s->state = 0;
                continue;
            }
            s->state = 1;
        }
        if (s->state < 2) {
            code = input_point(view_ref, kPromptFirst, cursor_draw_crosshair, line_method_callback, &s->start, help);
            if (code != 0) {
                if (code == kStepCancelled) return code;
                if (!changed()) {
                    if (code != kStepRefused) return code;
                    s->state = 0;
                } else if (!now_parallel()) {
                    s->state = 0;
                }
                continue;
            }
            s->state = 2;
        }
        set_slot(*view_ref, 0, s->start);
        set_slot(*view_ref, kSlotRef1, s->r1);
        set_slot(*view_ref, kSlotRef2, s->r2);
        Vec3 cursor;
        code = input_point(view_ref, kPromptSecond, reference_feedback, line_method_callback, &cursor, help);
        if (code == 0) {
            VIEW* now = *view_ref;
            s->end = now->line_method == kLinePerpendicular
                         ? line_make_perpendicular(now, s->start, cursor, s->r1, s->r2)
                         : line_make_parallel(now, s->start, cursor, s->r1, s->r2);
            s->state = 1;
            return 0;
        }
        if (code == kStepCancelled) return code;
        if (!changed()) {
            if (code != kStepRefused) return code;
            s->state = 1;
        } else {
            s->state = now_parallel() ? 2 : 0;
        }
    }
}

// The end forced onto the line through S: `perpendicular` picks the case table.
Vec3 line_force(const VIEW* view, const Vec3& start, const Vec3& cursor, const Vec3& r1, const Vec3& r2,
                bool perpendicular) {
    const Vec3 S = to_view(view, start), E = to_view(view, cursor), A = to_view(view, r1), B = to_view(view, r2);
    const double dx = static_cast<double>(A.x) - B.x, dy = static_cast<double>(A.y) - B.y,
                 dz = static_cast<double>(A.z) - B.z;
    const long ix = static_cast<long>(std::trunc(dx)), iy = static_cast<long>(std::trunc(dy)),
               iz = static_cast<long>(std::trunc(dz));
    double x = E.x, y = E.y;
    if (!perpendicular) {
        if (iy == 0) {
            y = S.y;
        } else if (ix == 0) {
            x = S.x;
        } else if (std::fabs(dx) <= std::fabs(dy)) {
            x = S.x + (static_cast<double>(E.y) - S.y) * dx / dy;
        } else {
            y = S.y + (static_cast<double>(E.x) - S.x) * dy / dx;
        }
    } else {
        if (iy == 0) {
            x = S.x;
        } else if (ix == 0) {
            y = S.y;
        } else if (std::fabs(dx) >= std::fabs(dy)) {
            x = S.x - (static_cast<double>(E.y) - S.y) * dy / dx;
        } else {
            y = S.y - (static_cast<double>(E.x) - S.x) * dx / dy;
        }
    }
    double z = S.z;
    if (iz != 0) {
        // Depth along the dominant axis; a reference seen end-on has none.
        const bool along_x = std::fabs(dx) >= std::fabs(dy);
        const double d = along_x ? dx : dy;
        if (static_cast<long>(std::trunc(d)) != 0) z = S.z + ((along_x ? x - S.x : y - S.y) * dz / d);
    }
    Vec3 out = vec(x, y, z);
    if (!vec3_finite(out)) out = S;
    return to_world(view, out);
}

}  // namespace

Vec3 line_make_parallel(const VIEW* view, const Vec3& start, const Vec3& cursor, const Vec3& r1, const Vec3& r2) {
    return line_force(view, start, cursor, r1, r2, false);
}

Vec3 line_make_perpendicular(const VIEW* view, const Vec3& start, const Vec3& cursor, const Vec3& r1,
                             const Vec3& r2) {
    return line_force(view, start, cursor, r1, r2, true);
}

Vec3 line_make_orthogonal(const VIEW* view, const Vec3& start, const Vec3& end) {
    const Vec3 s = to_view(view, start);
    Vec3 e = to_view(view, end);
    if (std::fabs(static_cast<double>(e.x) - s.x) >= std::fabs(static_cast<double>(e.y) - s.y))
        e.y = s.y;
    else
        e.x = s.x;
    return to_world(view, e);
}

void cross_feedback(VIEW* view, int x, int y) {
    const int r = cursor_draw_circle(view, x, y);
    int cx, cy;
    input_slot_pixel(view, 0, &cx, &cy);
    view_gdi_line(view, cx - r, cy, cx + r, cy);
    view_gdi_line(view, cx, cy - r, cx, cy + r);
}

int line_add_segment(VIEW* view, const Vec3& start, const Vec3& end) {
    if (!vec3_finite(start) || !vec3_finite(end)) return kBadArgument;
    auto x = new_polyline();
    if (!x) return kOutOfMemory;
    // The list prepends: the start ends up last.
    if (plist_add(&x->control, start) || plist_add(&x->control, end)) {
        rtc_destroy(x.release());
        return kOutOfMemory;
    }
    return drawing_add_object(view, std::move(x), 1);
}

int line_add_offset(VIEW* view, double dx, double dy, const Vec3& point) {
    Vec3 p = to_view(view, point);
    p = vec(p.x + dx, p.y + dy, p.z);
    return line_add_segment(view, point, to_world(view, p));
}

int cmd_line(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    LineSteps s;
    int code;
    for (;;) {
        code = line_ask_segment(view_ref, &s);
        if (code != 0) break;
        VIEW* v = *view_ref;
        const int m = v->line_method;
        if (m == kLineCross) {
            const double r = s.end.x;
            const double offsets[4][2] = {{r, 0}, {-r, 0}, {0, r}, {0, -r}};
            for (const auto& o : offsets)
                if ((code = line_add_offset(v, o[0], o[1], s.start)) != 0) break;
        } else {
            code = line_add_segment(v, s.start, s.end);
        }
        if (code != 0) break;
        if (m == kLineConnected) s.start = s.end;
        if (m == kLineSeparate) s.state = 0;
    }
    leave_input(view_ref);
    return code;
}

// ---- Polyline

namespace {

// Collects the polyline's points; *two is set once two points were taken.
int polyline_collect_points(VIEW** view_ref, XPLINE* pl, bool* two) {
    *two = false;
    pl->colour = default_colour;
    int count = 0;
    Vec3 last{};
    for (;;) {
        Vec3 p;
        const uint32_t prompt = count == 0 ? kPromptFirst : kPromptNext;
        const InputMoveFn fb = count == 0 ? cursor_draw_crosshair : next_point_feedback;
        int code = input_point(view_ref, prompt, fb, nullptr, &p, kHelpPolyline);
        if (code != 0) return code;
        VIEW* v = *view_ref;
        if (count > 0 && v->orthogonal) p = line_make_orthogonal(v, last, p);
        if (count > 0 && vec3_near(p, last)) continue;
        if (plist_add(&pl->control, p)) return kOutOfMemory;
        ++count;
        *two = count >= 2;
        last = p;
        (void)regen_object(pl);
        view_gdi_object_all(v, pl);
        set_slot(v, 0, p);
    }
}

}  // namespace

int cmd_polyline(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    // The growing polyline is its own undo level even with undo off, so that an
    // abandoned one can be rolled back; the history is trimmed back afterwards.
    const int depth = g_prefs.undo_mode;
    const int record = depth < 0 ? depth : depth + 1;
    MODEL* model = view_drawing(*view_ref);
    int code;
    for (;;) {
        VIEW* v = *view_ref;
        auto owned = new_polyline();
        if (!owned) {
            code = kOutOfMemory;
            break;
        }
        XPLINE* pl = owned.get();
        g_prefs.undo_mode = record;
        code = drawing_insert_object(v, owned.release());
        g_prefs.undo_mode = depth;
        if (code != 0) {
            rtc_destroy(pl);
            break;
        }
        bool two = false;
        code = polyline_collect_points(view_ref, pl, &two);
        if (!two || (code != kStepRefused && code != kStepCancelled)) {
            if (model) {
                model_rollback(model);
                if (*view_ref) view_notify_all(*view_ref, nullptr, 1);
            }
            if (model && depth >= 0) model_undo_trim(model, depth);
            break;
        }
        VIEW* now = *view_ref ? *view_ref : v;
        pl->colour = now->current_colour;
        pl->width = static_cast<float>(now->line_width);
        pl->line_style = now->current_line_style;
        pl->curve_step = now->accuracy_linear;
        pl->second = now->line_style_scale;
        (void)regen_object(pl);
        view_gdi_object_all(now, pl);
        views_extend_extents(now, pl);
        view_notify_all(now, &pl->box, 0);
        if (model && depth >= 0) model_undo_trim(model, depth);
        if (code == kStepCancelled) break;
    }
    leave_input(view_ref);
    return code;
}
