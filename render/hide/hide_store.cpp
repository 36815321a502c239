// The scene store of the hidden-line removal (declared in hide_store.h).
#include "render/hide/hide_store.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/view/view.h"
#include "model/db/solid.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "render/hide/hide_visibility.h"
#include "render/scanline/scene_util.h"

RTC_CLASS_RECORD(HIDEITER, "HIDEITER", &ZITER::rtc_class, 2, nullptr, nullptr, nullptr, false, false);

namespace {

constexpr size_t kBuckets = 1u << 14;

template <class T>
T* pool_new(HidePool& pool) {
    return new (pool.alloc()) T{};
}

uint32_t bits_of(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Single precision, with -0 taken as +0 so both meet at one vertex.
float canonical(double v) {
    const float f = static_cast<float>(v);
    return f == 0.0f ? 0.0f : f;
}

}  // namespace

HideContext::HideContext(HideJob* j)
    : job(j),
      vertex_pool(sizeof(HideVertex)),
      edge_pool(sizeof(HideEdge)),
      triangle_pool(sizeof(HideTriangle)) {
    const double ang = j->settings.angular;
    coplanar = (ang == 0.0 || !std::isfinite(ang)) ? 2.0 : std::cos(ang);
    linear = std::isfinite(j->settings.linear) && j->settings.linear > 0 ? j->settings.linear : 0.0;
    perspective = j->camera != nullptr;
    min_xz = min_yz = DBL_MAX;
    max_xz = max_yz = -DBL_MAX;
    buckets.assign(kBuckets, nullptr);
}

HideContext::~HideContext() = default;

bool HideContext::cancelled() const {
    if (job->cancel.load(std::memory_order_relaxed) != 0) return true;
    return job->work_cap > 0 && work > job->work_cap;
}

void HideContext::project(const Vec3d& p, double* x, double* y) const {
    if (perspective) {
        *x = p.x / p.z;
        *y = p.y / p.z;
    } else {
        *x = p.x;
        *y = p.y;
    }
}

HideVertex* hide_vertex_get(HideContext* ctx, double x, double y, double z) {
    const float fx = canonical(x), fy = canonical(y), fz = canonical(z);
    if (!std::isfinite(fx) || !std::isfinite(fy) || !std::isfinite(fz)) {
        ++ctx->counts.non_finite;
        return nullptr;
    }
    if (ctx->perspective && fz < static_cast<float>(kHideNearZ)) return nullptr;
    uint32_t h = ((bits_of(fz) * 2u) ^ bits_of(fy)) * 2u ^ bits_of(fx);
    h ^= h >> 15;
    h *= 0x2c1b3c6dU;
    h ^= h >> 12;
    HideVertex*& head = ctx->buckets[h & (ctx->buckets.size() - 1)];
    for (HideVertex* v = head; v; v = v->bucket_next)
        if (v->x == fx && v->y == fy && v->z == fz) return v;
    auto* v = pool_new<HideVertex>(ctx->vertex_pool);
    v->x = fx, v->y = fy, v->z = fz;
    v->id = static_cast<int32_t>(ctx->vertices.size());
    ctx->vertices.push_back(v);
    v->bucket_next = head;
    head = v;
    return v;
}

static double projected_length(const HideContext* ctx, const HideVertex* a, const HideVertex* b) {
    double ax, ay, bx, by;
    ctx->project({a->x, a->y, a->z}, &ax, &ay);
    ctx->project({b->x, b->y, b->z}, &bx, &by);
    const double l = std::hypot(bx - ax, by - ay);
    return ctx->perspective ? l * ctx->scale : l;
}

HideEdge* hide_edge_add(HideContext* ctx, HideVertex* a, HideVertex* b, object* source) {
    if (!a || !b || a == b) return nullptr;
    if (b->id < a->id) std::swap(a, b);
    if (projected_length(ctx, a, b) < ctx->linear) {
        ++ctx->counts.skipped;
        return nullptr;
    }
    for (HideEdge* e = a->edges; e; e = e->next)
        if (e->b == b && e->source == source) return e;
    auto* e = pool_new<HideEdge>(ctx->edge_pool);
    e->a = a, e->b = b, e->source = source;
    e->id = static_cast<int32_t>(ctx->edges.size());
    e->next = a->edges;
    a->edges = e;
    ctx->edges.push_back(e);
    return e;
}

// The vertex following `a` in the triangle's order; null when a is not a corner.
static HideVertex* follows(const HideTriangle* t, const HideVertex* a) {
    for (int i = 0; i < 3; ++i)
        if (t->v[i] == a) return t->v[(i + 1) % 3];
    return nullptr;
}

static int facing(const HideContext* ctx, const Vec3d& n, const HideVertex* at) {
    const double f = ctx->perspective ? n.x * at->x + n.y * at->y + n.z * at->z : n.z;
    return f > 1e-9 ? 1 : f < -1e-9 ? -1 : 0;
}

void hide_edge_attach(HideContext* ctx, HideTriangle* t, HideVertex* a, HideVertex* b) {
    if (b->id < a->id) std::swap(a, b);
    // Every edge of the same two vertices (one per object that drew it).
    for (HideEdge* e = a->edges; e; e = e->next) {
        if (e->b != b || e->id < 0) continue;
        if (!e->tri[0]) {
            e->tri[0] = t;
            continue;
        }
        if (e->tri[1]) continue;
        e->tri[1] = t;
        const HideTriangle* t0 = e->tri[0];
        HideVertex* f0 = follows(t0, a);
        HideVertex* f1 = follows(t, a);
        if (!f0 || !f1 || !follows(t0, b) || !follows(t, b)) {
            ++ctx->counts.wrong_triangles;
            continue;
        }
        Vec3d n0 = {t0->a, t0->b, t0->c};
        Vec3d n1 = {t->a, t->b, t->c};
        // Triangles wound alike cross a shared edge in opposite directions.
        if ((f0 == b) == (f1 == b)) n1 = {-n1.x, -n1.y, -n1.z};
        const int s = facing(ctx, n0, a) + facing(ctx, n1, a);
        const double dot = std::fabs(n0.x * n1.x + n0.y * n1.y + n0.z * n1.z);
        if ((s == 2 || s == -2) && dot >= ctx->coplanar) {
            // A smooth inner edge: dropped.
            HideEdge** link = &a->edges;
            while (*link != e) link = &(*link)->next;
            *link = e->next;
            ctx->edges[e->id] = nullptr;
            e->id = -1;
            return;  // e stays in the pool until the sweep
        }
    }
}

HideTriangle* hide_triangle_add(HideContext* ctx, const Vec3d& p0, const Vec3d& p1, const Vec3d& p2) {
    HideVertex* v0 = hide_vertex_get(ctx, p0.x, p0.y, p0.z);
    HideVertex* v1 = hide_vertex_get(ctx, p1.x, p1.y, p1.z);
    HideVertex* v2 = hide_vertex_get(ctx, p2.x, p2.y, p2.z);
    if (!v0 || !v1 || !v2 || v0 == v1 || v1 == v2 || v0 == v2) return nullptr;
    auto* t = pool_new<HideTriangle>(ctx->triangle_pool);
    t->v[0] = v0, t->v[1] = v1, t->v[2] = v2;
    t->id = static_cast<int32_t>(ctx->triangles.size());
    ctx->triangles.push_back(t);
    const double ux = v1->x - v0->x, uy = v1->y - v0->y, uz = v1->z - v0->z;
    const double wx = v2->x - v0->x, wy = v2->y - v0->y, wz = v2->z - v0->z;
    double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
    double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (len == 0.0 || !std::isfinite(len)) len = 1e-9;
    nx /= len, ny /= len, nz /= len;
    t->a = nx, t->b = ny, t->c = nz;
    t->d = nx * v0->x + ny * v0->y + nz * v0->z;
    hide_edge_attach(ctx, t, v0, v1);
    hide_edge_attach(ctx, t, v1, v2);
    hide_edge_attach(ctx, t, v2, v0);
    t->min_x = t->min_y = DBL_MAX;
    t->max_x = t->max_y = -DBL_MAX;
    for (const HideVertex* v : t->v) {
        double x, y;
        ctx->project({v->x, v->y, v->z}, &x, &y);
        t->min_x = std::min(t->min_x, x), t->max_x = std::max(t->max_x, x);
        t->min_y = std::min(t->min_y, y), t->max_y = std::max(t->max_y, y);
    }
    return t;
}

void hide_fit(HideContext* ctx) {
    const double w = ctx->job->settings.width, h = ctx->job->settings.height;
    const double rx = ctx->max_xz - ctx->min_xz, ry = ctx->max_yz - ctx->min_yz;
    const bool has_x = rx > 0 && std::isfinite(rx), has_y = ry > 0 && std::isfinite(ry);
    double s = 1.0;
    if (has_x && has_y)
        s = std::min(h / ry, w / rx);
    else if (has_x)
        s = w / rx;
    else if (has_y)
        s = h / ry;
    if (!std::isfinite(s) || !(s > 0)) s = 1.0;
    ctx->scale = s;
    const bool any = ctx->min_xz <= ctx->max_xz;
    const double mx = any ? (ctx->min_xz + ctx->max_xz) / 2 : 0.0;
    const double my = any ? (ctx->min_yz + ctx->max_yz) / 2 : 0.0;
    ctx->x_offset = w / 2 - s * mx;
    ctx->y_offset = h / 2 - s * my;
}

void hide_finish_store(HideContext* ctx) {
    ctx->counts.vertices = static_cast<int32_t>(ctx->vertices.size());
    int32_t edges = 0;
    for (const HideEdge* e : ctx->edges) edges += e != nullptr;
    ctx->counts.edges = edges;
    ctx->counts.triangles = static_cast<int32_t>(ctx->triangles.size());
    for (HideTriangle* t : ctx->triangles) {
        // The viewer in front: the eye at the origin in perspective, far along +z in
        // parallel projection.
        const bool flip = ctx->perspective ? t->d < 0 : t->c > 0;
        if (flip) t->a = -t->a, t->b = -t->b, t->c = -t->c, t->d = -t->d;
    }
}

// ---- the iterator

// Where the segment from `front` (at or beyond the near depth) to `back` (nearer than
// it) meets the near depth. Always taken from the front end, so line work and the
// triangles that share its edges get the same point.
static Vec3d near_cut(const Vec3d& front, const Vec3d& back) {
    const double s = (kHideNearZ - front.z) / (back.z - front.z);
    return {front.x + (back.x - front.x) * s, front.y + (back.y - front.y) * s, kHideNearZ};
}

HIDEITER::HIDEITER(HideContext* ctx, const VIEW* view) : ctx_(ctx), view_(view) {
    set_klass_setup(&rtc_class);
    flags = kIterTriangles;
    m_ = kMatIdentity;
}

int HIDEITER::set_projection(const CAMERA* camera) {
    if (!camera) {
        m_ = view_ ? view_->projection.view : kMatIdentity;
        return 0;
    }
    Matrix43 inv;
    if (camera_frame(*camera, &m_, &inv) != 0) return kBadArgument;
    for (int i : {2, 5, 8, 11}) m_.m[i] = -m_.m[i];  // z toward the scene
    return 0;
}

Vec3d HIDEITER::eye(double x, double y, double z) const {
    const Vec3d p{x, y, z};
    Vec3d out;
    mat_xform_point_d(&out, &p, &m_);
    return out;
}

int HIDEITER::step() {
    if (!ctx_) return 1;
    ++ctx_->work;
    if (ctx_->cancelled()) return 1;
    progress_ += mode == kHideWalkBounds ? 1 : -1;
    if (progress_ % 50 == 0 && ctx_->job->host) {
        if (mode == kHideWalkBounds) {
            ctx_->job->host->progress(1, nullptr);
        } else {
            const std::string t = std::to_string(progress_);
            ctx_->job->host->progress(1, t.c_str());
        }
    }
    return 0;
}

int HIDEITER::visit(object* obj, int entering, int status) {
    if (!ctx_ || ctx_->cancelled()) return 1;
    if (!entering) {
        current_ = nullptr;
        return status > 0 ? status : 0;
    }
    if (rtc_is_a(obj, &CAMERA::rtc_class) || rtc_is_a(obj, &LIGHT::rtc_class)) return -1;
    current_ = obj;
    if (rtc_is_a(obj, &LAYER::rtc_class)) {
        const int index = layer_index++;
        if (view_ && !view_layer_flag(view_, index)) {
            current_ = nullptr;
            return -1;
        }
    }
    has_prev_ = false;
    prev_vertex_ = nullptr;
    return 0;
}

int HIDEITER::point(double x, double y, double z, bool line) {
    if (int r = step()) return r;
    if (!current_) return -1;
    const Vec3d p = eye(x, y, z);
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        ++ctx_->counts.non_finite;
        has_prev_ = false;
        prev_vertex_ = nullptr;
        return 0;
    }
    const bool near_ok = !ctx_->perspective || p.z >= kHideNearZ;
    if (mode == kHideWalkBounds) {
        if (ctx_->perspective && near_ok && std::fabs(p.x) <= p.z && std::fabs(p.y) <= p.z) {
            ctx_->min_xz = std::min(ctx_->min_xz, p.x / p.z), ctx_->max_xz = std::max(ctx_->max_xz, p.x / p.z);
            ctx_->min_yz = std::min(ctx_->min_yz, p.y / p.z), ctx_->max_yz = std::max(ctx_->max_yz, p.y / p.z);
        }
        return 0;
    }
    HideVertex* v = near_ok ? hide_vertex_get(ctx_, p.x, p.y, p.z) : nullptr;
    if (line && has_prev_) {
        const bool prev_ok = !ctx_->perspective || prev_.z >= kHideNearZ;
        if (prev_ok && near_ok) {
            hide_edge_add(ctx_, prev_vertex_, v, current_);
        } else if (prev_ok != near_ok) {
            // Line work crossing the near depth is cut there.
            const Vec3d c = prev_ok ? near_cut(prev_, p) : near_cut(p, prev_);
            HideVertex* cut = hide_vertex_get(ctx_, c.x, c.y, c.z);
            hide_edge_add(ctx_, prev_ok ? prev_vertex_ : cut, prev_ok ? cut : v, current_);
        }
    }
    has_prev_ = true;
    prev_ = p;
    prev_vertex_ = v;
    return 0;
}

int HIDEITER::move_to(double x, double y, double z, int, int) {
    return point(x, y, z, false);
}

int HIDEITER::line_to(double x, double y, double z, int, int) {
    return point(x, y, z, true);
}

int HIDEITER::triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    if (int r = step()) return r;
    if (!current_) return -1;
    if (mode == kHideWalkBounds) return 0;
    const Vec3d p[3] = {eye(a.x, a.y, a.z), eye(b.x, b.y, b.z), eye(c.x, c.y, c.z)};
    int behind = 0;
    for (const Vec3d& q : p) {
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) {
            ++ctx_->counts.non_finite;
            return 0;
        }
        behind += ctx_->perspective && q.z < kHideNearZ;
    }
    if (behind == 3) return 0;  // wholly behind or at the eye: dropped
    if (behind == 0) {
        hide_triangle_add(ctx_, p[0], p[1], p[2]);
        return 0;
    }
    // Cut at the near depth: the part in front still hides what lies behind it. The
    // corners keep the triangle's order, so it keeps its winding.
    Vec3d poly[4];
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        const Vec3d& a = p[i];
        const Vec3d& b = p[(i + 1) % 3];
        const bool a_in = a.z >= kHideNearZ, b_in = b.z >= kHideNearZ;
        if (a_in) poly[n++] = a;
        if (a_in != b_in) poly[n++] = a_in ? near_cut(a, b) : near_cut(b, a);
    }
    hide_triangle_add(ctx_, poly[0], poly[1], poly[2]);
    if (n == 4) hide_triangle_add(ctx_, poly[0], poly[2], poly[3]);
    return 0;
}
