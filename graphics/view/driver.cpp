// The wire-frame driver: pen selection, the iterator slots, filled triangles clipped
// to the pixel range (Sutherland-Hodgman against the four borders), and meshes with
// their edges cut at the near plane in perspective.
#include "graphics/view/driver.h"

#include <cmath>
#include <new>

#include "graphics/view/projection_inline.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/math/scalar.h"
#include "model/services/log.h"

RTC_CLASS_RECORD(VIEWITER, "VIEWITER", &ZITER::rtc_class, 2, nullptr, nullptr, nullptr, false,
                 false);

namespace {

// Depth at which an edge running behind the eye is cut: the driver's near plane, or,
// for an end already nearer than that, just in front of the drawable limit.
constexpr double kCutDepth = -1.0;
constexpr double kCutDepthNear = kNearDepth * 1.001;

struct ClipVertex {
    double x, y;
};

// One Sutherland-Hodgman pass: keeps the part of the polygon on the inner side of
// one border (axis 0: x, 1: y; `upper`: the border is a maximum).
int clip_polygon_pass(const ClipVertex* in, int n, ClipVertex* out, int axis, bool upper,
                      double border) {
    auto inside = [&](const ClipVertex& v) {
        const double c = axis == 0 ? v.x : v.y;
        return upper ? c <= border : c >= border;
    };
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % n];
        const bool ia = inside(a), ib = inside(b);
        if (ia) out[m++] = a;
        if (ia != ib) {
            const double ca = axis == 0 ? a.x : a.y, cb = axis == 0 ? b.x : b.y;
            const double t = (border - ca) / (cb - ca);
            ClipVertex v = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (axis == 0)
                v.x = border;
            else
                v.y = border;
            out[m++] = v;
        }
    }
    return m;
}

void draw_near_cut(const ViewProjection* vp, const MeshVertexProjection& front,
                   const MeshVertexProjection& back) {
    if (back.depth - front.depth < 1e-6) return;
    const double zc = front.depth < kCutDepth ? kCutDepth : kCutDepthNear;
    const double t = (zc - front.depth) / (back.depth - front.depth);
    if (!(t > 0.0)) return;
    const double w = -zc / vp->eye_distance;
    ProjectedPoint cut;
    cut.fx = (front.view_x + (back.view_x - front.view_x) * t) / w + vp->centre_x;
    cut.fy = (front.view_y + (back.view_y - front.view_y) * t) / w + vp->centre_y;
    cut.x = trunc_int(cut.fx);
    cut.y = trunc_int(cut.fy);
    cut.behind = 0;
    cut.not_drawable = 0;
    view_draw_segment(vp, front.pixel, cut);
}

// Projects the vertices of one face block, each first blended between two key
// blocks (when given) and moved by `m` (when given).
void project_block(const ViewProjection* vp, const MeshFaceBlock* b, const Matrix43* m,
                   const MeshFaceBlock* key_a, const MeshFaceBlock* key_b, double blend,
                   std::vector<MeshVertexProjection>& out) {
    const size_t n = b->vertices.size();
    const bool blended =
        key_a && key_b && key_a->vertices.size() == n && key_b->vertices.size() == n;
    out.resize(n);
    for (size_t i = 0; i < n; ++i) {
        Vec3d p;
        if (blended) {
            const MeshVertex& a = key_a->vertices[i];
            const MeshVertex& c = key_b->vertices[i];
            p = {a.x * blend + c.x * (1.0 - blend), a.y * blend + c.y * (1.0 - blend),
                 a.z * blend + c.z * (1.0 - blend)};
        } else {
            const MeshVertex& v = b->vertices[i];
            p = {v.x, v.y, v.z};
        }
        if (m) mat_xform_point_d(&p, &p, m);
        MeshVertexProjection& q = out[i];
        Vec3d v;
        mat_xform_point_d(&v, &p, &vp->view);
        q.view_x = v.x;
        q.view_y = v.y;
        q.depth = v.z;
        view_project_view_point(vp, v.x, v.y, v.z, 0, 0, &q.pixel);
    }
}

void draw_block_edges(const ViewProjection* vp, const MeshFaceBlock* b,
                      const std::vector<MeshVertexProjection>& proj) {
    const auto nv = static_cast<int32_t>(proj.size());
    const bool perspective = vp->mode == kProjPerspective;
    for (const MeshEdge& e : b->edges) {
        if ((e.flags & kEdgeHidden) || e.v[0] < 0 || e.v[0] >= nv || e.v[1] < 0 || e.v[1] >= nv)
            continue;
        const MeshVertexProjection& a = proj[e.v[0]];
        const MeshVertexProjection& c = proj[e.v[1]];
        if (!perspective || (!a.pixel.behind && !c.pixel.behind)) {
            view_draw_segment(vp, a.pixel, c.pixel);
        } else if (!a.pixel.behind) {
            draw_near_cut(vp, a, c);
        } else if (!c.pixel.behind) {
            draw_near_cut(vp, c, a);
        }
    }
}

void draw_mesh(const ViewProjection* vp, MESH3* mesh, std::vector<MeshVertexProjection>& scratch) {
    if (obj_apply_frame(mesh) == 1) {
        for (const KeyframeTrack* t = mesh->tracks; t; t = t->next_track) {
            const auto* ka = rtc_cast<MESH3>(t->blend_a);
            const auto* kb = rtc_cast<MESH3>(t->blend_b);
            const MeshFaceBlock* ba = ka ? ka->blocks : nullptr;
            const MeshFaceBlock* bb = kb ? kb->blocks : nullptr;
            for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
                project_block(vp, b, &t->evaluated.fwd, ba, bb, t->blend, scratch);
                draw_block_edges(vp, b, scratch);
                if (ba) ba = ba->next;
                if (bb) bb = bb->next;
            }
        }
        return;
    }
    for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        project_block(vp, b, nullptr, nullptr, nullptr, 0.0, scratch);
        draw_block_edges(vp, b, scratch);
    }
}

}  // namespace

void view_select_pen(const ViewProjection* vp, const object* obj) {
    if (!vp->pen) return;
    const double w = obj->width;
    int width = 1;
    switch (vp->pen_mode) {
        case kPenModeScaled:
        case kPenModePlot:
        case kPenModeNoRange:
            width = trunc_int(vp->scale * w);
            if (width < 1) width = 1;
            break;
        case kPenModeThreshold:
            width = w >= vp->width_threshold ? 2 : 1;
            break;
        default:
            break;
    }
    vp->pen(vp->context, obj->colour, width, width);
}

void view_fill_triangle(const ViewProjection* vp, const ProjectedPoint* c) {
    if (!vp->triangle) return;
    if (c[0].behind || c[1].behind || c[2].behind) return;
    if (vp->pen_mode == kPenModeNoRange ||
        (!c[0].not_drawable && !c[1].not_drawable && !c[2].not_drawable)) {
        vp->triangle(vp->context, c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y);
        return;
    }
    ClipVertex a[8], b[8];
    for (int i = 0; i < 3; ++i) a[i] = {c[i].fx, c[i].fy};
    int n = 3;
    n = clip_polygon_pass(a, n, b, 0, false, kPixelMin);
    n = clip_polygon_pass(b, n, a, 0, true, kPixelMax);
    n = clip_polygon_pass(a, n, b, 1, false, kPixelMin);
    n = clip_polygon_pass(b, n, a, 1, true, kPixelMax);
    if (n < 3) return;
    int px[8], py[8];
    for (int i = 0; i < n; ++i) {
        px[i] = view_pixel_of(vp, a[i].x);
        py[i] = view_pixel_of(vp, a[i].y);
    }
    for (int i = 1; i + 1 < n; ++i)
        vp->triangle(vp->context, px[0], py[0], px[i], py[i], px[i + 1], py[i + 1]);
}

VIEWITER::VIEWITER(const ViewProjection* vp) : projection(vp) {
    set_klass_setup(&rtc_class);
}

int VIEWITER::visit(object* obj, int entering, int) {
    if (!entering) return 0;
    if (view_cull_object(projection, obj)) return -1;
    view_select_pen(projection, obj);
    if (auto* mesh = rtc_cast<MESH3>(obj)) {
        try {
            draw_mesh(projection, mesh, scratch);
        } catch (const std::bad_alloc&) {
            log_message(LogLevel::warning, "Not enough memory to draw a mesh");
        }
        return -1;
    }
    return 0;
}

int VIEWITER::move_to(double x, double y, double z, int dx, int dy) {
    view_project_point(projection, x, y, z, dx, dy, &last);
    return 0;
}

// A segment with an end behind the eye is left out; one that leaves the pixel range
// is clipped to it.
int VIEWITER::line_to(double x, double y, double z, int dx, int dy) {
    const ProjectedPoint prev = last;
    view_project_point(projection, x, y, z, dx, dy, &last);
    if (!prev.behind && !last.behind) view_draw_segment(projection, prev, last);
    return 0;
}

int VIEWITER::walk_points(const PointNode* list) {
    const ViewProjection* vp = projection;
    ProjectedPoint cur;
    view_inline::project_point(vp, list->x, list->y, list->z, 0, 0, &cur);
    const PointNode* prev_node = list;
    for (const PointNode* n = list->next; n; n = n->next) {
        const ProjectedPoint prev = cur;
        view_inline::project_point(vp, n->x, n->y, n->z, 0, 0, &cur);
        if (!(prev_node->flags & kPointMoveNext) && !prev.behind && !cur.behind && vp->line &&
            !view_inline::draw_unclipped(vp, prev, cur)) {
            view_draw_segment(vp, prev, cur);
        }
        if (n == list) break;  // closed: back at the first point
        prev_node = n;
    }
    last = cur;
    return 0;
}

int VIEWITER::triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    ProjectedPoint corners[3];
    view_project_point(projection, a.x, a.y, a.z, 0, 0, &corners[0]);
    view_project_point(projection, b.x, b.y, b.z, 0, 0, &corners[1]);
    view_project_point(projection, c.x, c.y, c.z, 0, 0, &corners[2]);
    view_fill_triangle(projection, corners);
    return 0;
}

int viewiter_draw_object(const ViewProjection* vp, object* obj) {
    if (!vp || !obj) return 0;
    VIEWITER it(vp);
    return obj->walk(&it);
}

void view_draw_mesh(const ViewProjection* vp, MESH3* mesh) {
    if (!vp || !mesh) return;
    std::vector<MeshVertexProjection> scratch;
    try {
        draw_mesh(vp, mesh, scratch);
    } catch (const std::bad_alloc&) {
        log_message(LogLevel::warning, "Not enough memory to draw a mesh");
    }
}
