// Shadow-map faces: allocation, the light's matrix, the polygon pipeline that draws
// into a face and the filtered lookup.
#include "render/surface/shadow_map.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kPi = 3.14159265358979323846;

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double dot3(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool normalise3(double v[3]) {
    const double l = std::sqrt(dot3(v, v));
    if (!(l > 0.0) || !std::isfinite(l)) return false;
    for (int c = 0; c < 3; ++c) v[c] /= l;
    return true;
}

void mat4_mul(const double a[4][4], const double b[4][4], double out[4][4]) {
    double r[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[i][k] * b[k][j];
            r[i][j] = s;
        }
    std::copy(&r[0][0], &r[0][0] + 16, &out[0][0]);
}

void lerp_fields(const ShadowVertex& a, const ShadowVertex& b, double t, uint32_t mask,
                 ShadowVertex* out) {
    for (int i = 0; i < kShadowFields; ++i)
        if (mask & (1u << i)) out->f[i] = a.f[i] + (b.f[i] - a.f[i]) * t;
}

// Perspective-correct interpolation: x, y, z linear, w and the attributes by the
// corrected parameter (unless affine or both ends share w).
void poly_lerp(const ShadowVertex& a, const ShadowVertex& b, double t, uint32_t mask, bool affine,
               ShadowVertex* out) {
    const double w0 = a.f[3], w1 = b.f[3];
    if (affine || w0 == w1) {
        lerp_fields(a, b, t, mask, out);
        return;
    }
    const double den = w1 - (w1 - w0) * t;
    const double tp = den != 0.0 ? w0 * t / den : t;
    for (int i = 0; i < kShadowFields; ++i) {
        if (!(mask & (1u << i))) continue;
        const double s = i < 3 ? t : tp;
        out->f[i] = a.f[i] + (b.f[i] - a.f[i]) * s;
    }
}

// Signed distance of a vertex to clip plane k (kept side <= 0).
struct Plane {
    int axis;
    double sign, bound;
};
constexpr Plane kPlanes[5] = {{0, -1, 1}, {0, 1, 1}, {1, -1, 1}, {1, 1, 1}, {2, -1, 0}};

double plane_distance(const ShadowVertex& v, const Plane& p) {
    return p.sign * v.f[p.axis] - p.bound * v.f[3];
}

// Clips the polygon against one plane; false when nothing is left.
bool poly_clip_plane(ShadowPolygon* poly, const Plane& p) {
    ShadowVertex out[kShadowMaxVertices];
    int n = 0;
    const int count = poly->count;
    for (int i = 0; i < count; ++i) {
        const ShadowVertex& a = poly->v[(i + count - 1) % count];
        const ShadowVertex& b = poly->v[i];
        const double d0 = plane_distance(a, p), d1 = plane_distance(b, p);
        if (((d0 < 0.0 && d1 > 0.0) || (d0 > 0.0 && d1 < 0.0)) && n < kShadowMaxVertices) {
            out[n] = b;
            lerp_fields(a, b, d0 / (d0 - d1), poly->mask, &out[n]);
            ++n;
        }
        if (d1 <= 0.0 && n < kShadowMaxVertices) out[n++] = b;
    }
    std::copy(out, out + n, poly->v);
    poly->count = n;
    return n >= 3;
}

// 0 dropped, 1 drawn unchanged or clipped.
int poly_clip_homogeneous(ShadowPolygon* poly) {
    int outside[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < poly->count; ++i) {
        const double* f = poly->v[i].f;
        const double w = f[3];
        outside[0] += f[0] < -w;
        outside[1] += f[0] > w;
        outside[2] += f[1] < -w;
        outside[3] += f[1] > w;
        outside[4] += f[2] < 0.0;
        outside[5] += f[2] > w;  // counted, never clipped: beyond the far bound is drawn
    }
    for (int k = 0; k < 5; ++k)
        if (outside[k] == poly->count) return 0;
    for (int k = 0; k < 5; ++k)
        if (outside[k] && !poly_clip_plane(poly, kPlanes[k])) return 0;
    return 1;
}

struct Scan {
    const ShadowPolygon* poly;
    int32_t width, height;
    bool affine;
    uint32_t mask;
    ShadowSpanFn fn;
    void* light;
    void* scene;
};

void poly_span(const Scan& s, int32_t row, const ShadowVertex& l, const ShadowVertex& r) {
    const double xl = l.f[0], xr = r.f[0];
    const double c0 = std::max(std::ceil(xl - 0.5), 0.0);
    const double c1 = std::min(std::floor(xr - 0.5), double(s.width - 1));
    if (!(c0 <= c1)) return;
    ShadowVertex v = l;
    for (auto c = static_cast<int32_t>(c0); c <= static_cast<int32_t>(c1); ++c) {
        const double t = xr != xl ? (c + 0.5 - xl) / (xr - xl) : c + 0.5 - xl;
        poly_lerp(l, r, t, s.mask & ~1u, s.affine, &v);
        v.f[0] = c + 0.5;
        s.fn(c, row, &v, s.light, s.scene);
    }
}

// Rows whose pixel centre lies on an edge (ends included); horizontal edges serve no
// row. For a convex polygon the leftmost and rightmost edge points bound the span.
void poly_scan(const Scan& s) {
    const ShadowPolygon& p = *s.poly;
    double top = p.v[0].f[1], bottom = p.v[0].f[1];
    for (int i = 1; i < p.count; ++i) {
        top = std::min(top, p.v[i].f[1]);
        bottom = std::max(bottom, p.v[i].f[1]);
    }
    const double r0 = std::max(std::ceil(top - 0.5), 0.0);
    const double r1 = std::min(std::floor(bottom - 0.5), double(s.height - 1));
    if (!(r0 <= r1)) return;
    for (auto row = static_cast<int32_t>(r0); row <= static_cast<int32_t>(r1); ++row) {
        const double yc = row + 0.5;
        ShadowVertex left{}, right{};
        bool any = false;
        for (int i = 0; i < p.count; ++i) {
            const ShadowVertex* a = &p.v[i];
            const ShadowVertex* b = &p.v[(i + 1) % p.count];
            if (a->f[1] == b->f[1]) continue;
            if (a->f[1] > b->f[1]) std::swap(a, b);
            if (!(a->f[1] <= yc && yc <= b->f[1])) continue;
            ShadowVertex at = *a;
            poly_lerp(*a, *b, (yc - a->f[1]) / (b->f[1] - a->f[1]), s.mask & ~2u, s.affine, &at);
            at.f[1] = yc;
            if (!any || at.f[0] < left.f[0]) left = at;
            if (!any || at.f[0] > right.f[0]) right = at;
            any = true;
        }
        if (any) poly_span(s, row, left, right);
    }
}

}  // namespace

void shadow_map_init(ShadowMap* map) {
    for (ShadowFace& f : map->faces) f = ShadowFace{};
}

int shadow_face_alloc(ShadowFace* face, int32_t n) {
    if (n < 1 || n > 8192) return 1;
    const size_t count = size_t(n) * size_t(n);
    auto* depth = new (std::nothrow) double[count];
    auto* ids = new (std::nothrow) uint32_t[count];
    if (!depth || !ids) {
        delete[] depth;
        delete[] ids;
        return 1;
    }
    std::fill(depth, depth + count, kShadowEmptyDepth);
    std::fill(ids, ids + count, 0u);
    delete[] face->depth;
    delete[] face->ids;
    face->depth = depth;
    face->ids = ids;
    face->n = n;
    return 0;
}

void shadow_map_free(ShadowMap* map) {
    for (ShadowFace& f : map->faces) {
        delete[] f.depth;
        delete[] f.ids;
        f.depth = nullptr;
        f.ids = nullptr;
        f.n = 0;
    }
}

void mat4_identity_proj(double m[4][4], int flag) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    if (flag == 0) {
        m[2][2] = 100.0 / 99.975;
        m[3][2] = -2.5 / 99.975;
        m[2][3] = 1.0;
        m[3][3] = 0.0;
    }
}

void shadow_view_matrix(const double from[3], const double d[3], const double right[3],
                        const double up[3], double out[4][4]) {
    const double v[4][4] = {{right[0], up[0], d[0], 0},
                            {right[1], up[1], d[1], 0},
                            {right[2], up[2], d[2], 0},
                            {-dot3(from, right), -dot3(from, up), -dot3(from, d), 1}};
    double p[4][4];
    mat4_identity_proj(p, 0);
    mat4_mul(v, p, out);
}

int shadow_face_aim(ShadowFace* face, const double from[3], const double to[3], const double* up,
                    double c) {
    double d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    if (!normalise3(d)) return 1;
    double right[3];
    bool have_right = false;
    if (up) {
        std::copy(up, up + 3, right);
        have_right = normalise3(right) && std::fabs(dot3(right, d)) < 0.999999;
    }
    if (!have_right) {
        double axis[3] = {0, 0, 0};
        const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
        if (ax >= ay)
            axis[az > ay ? 1 : 2] = 1.0;
        else
            axis[az > ax ? 0 : 2] = 1.0;
        cross(d, axis, right);
        if (!normalise3(right)) return 1;
    }
    double upv[3];
    cross(right, d, upv);
    // The half angle is held where its tangent is finite and not zero.
    double half = std::acos(std::clamp(std::isnan(c) ? 0.0 : c, -1.0, 1.0));
    half = std::clamp(half, 0.5 * kPi / 180.0, 89.5 * kPi / 180.0);
    const double t = std::tan(half);
    for (double& x : d) x *= t;
    shadow_view_matrix(from, d, right, upv, face->m);
    return 0;
}

void mat4_xform_point_w(double out[3], double* w, const double p[3], const double m[4][4]) {
    double q[4];
    for (int j = 0; j < 4; ++j) q[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
    out[0] = q[0];
    out[1] = q[1];
    out[2] = q[2];
    *w = q[3];
}

void mat4_xform_point4(ShadowVertex* v, const double m[4][4]) {
    double q[3], w;
    mat4_xform_point_w(q, &w, v->f + 4, m);
    v->f[0] = q[0];
    v->f[1] = q[1];
    v->f[2] = q[2];
    v->f[3] = w;
}

int shadow_polygon_draw(ShadowPolygon* poly, const double m[4][4], int32_t height, int32_t width,
                        bool affine, uint32_t extra_mask, ShadowSpanFn fn, void* light,
                        void* scene) {
    if (!poly || poly->count < 3 || poly->count > kShadowMaxVertices - 5 || !fn || width < 1 ||
        height < 1)
        return 0;
    for (int i = 0; i < poly->count; ++i) {
        mat4_xform_point4(&poly->v[i], m);
        for (int k = 0; k < 4; ++k)
            if (!std::isfinite(poly->v[i].f[k])) return 0;
    }
    poly->mask = extra_mask | 0xFu;
    if (!poly_clip_homogeneous(poly)) return 0;
    for (int i = 0; i < poly->count; ++i) {
        double* f = poly->v[i].f;
        const double w = f[3];
        if (!(w > 0.0)) return 0;  // a vertex on the light itself: nothing to draw
        f[0] = (f[0] / w + 1.0) * width * 0.5;
        f[1] = (f[1] / w + 1.0) * height * 0.5;
        f[2] = f[2] / w;
        // A w near zero (nearly on the light) can overflow the divide: no depth to draw.
        if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2])) return 0;
    }
    const Scan s{poly, width, height, affine, poly->mask, fn, light, scene};
    poly_scan(s);
    return 1;
}

double shadow_lookup(const ShadowFace* face, const float p[3], double bias, int32_t radius,
                     uint32_t id) {
    if (!face || face->n < 1 || !face->depth || !face->ids) return 1.0;
    const double pd[3] = {p[0], p[1], p[2]};
    double q[3], w;
    mat4_xform_point_w(q, &w, pd, face->m);
    // Behind the light (or on it) nothing is shadowed by this face.
    if (!(w > 0.0) || !std::isfinite(w)) return 1.0;
    const int32_t n = face->n;
    const double u = (q[0] / w + 1.0) * n * 0.5, v = (q[1] / w + 1.0) * n * 0.5;
    if (!std::isfinite(u) || !std::isfinite(v)) return 1.0;
    const double d = w - (std::isfinite(bias) ? bias : 0.0);
    const double ix = std::floor(u), iy = std::floor(v);
    const double fx = u - ix, fy = v - iy;
    auto lit_at = [&](int32_t x, int32_t y) {
        const size_t k = size_t(y) * size_t(n) + size_t(x);
        return face->depth[k] > d || face->ids[k] == id;
    };
    if (radius <= 0) {
        if (ix < 0.0 || ix >= n || iy < 0.0 || iy >= n) return 1.0;
        return lit_at(static_cast<int32_t>(ix), static_cast<int32_t>(iy)) ? 1.0 : 0.0;
    }
    const double r = std::min(radius, 64);
    const double x0 = ix - r + 1, x1 = ix + r, y0 = iy - r + 1, y1 = iy + r;
    const double cx0 = std::max(x0, 0.0), cx1 = std::min(x1, double(n - 1));
    const double cy0 = std::max(y0, 0.0), cy1 = std::min(y1, double(n - 1));
    if (!(cx0 <= cx1) || !(cy0 <= cy1)) return 1.0;
    double lit = 0.0, total = 0.0;
    for (auto y = static_cast<int32_t>(cy0); y <= static_cast<int32_t>(cy1); ++y) {
        const double wy = y == y0 ? 1.0 - fy : (y == y1 ? fy : 1.0);
        for (auto x = static_cast<int32_t>(cx0); x <= static_cast<int32_t>(cx1); ++x) {
            const double wx = x == x0 ? 1.0 - fx : (x == x1 ? fx : 1.0);
            const double wt = wx * wy;
            total += wt;
            if (lit_at(x, y)) lit += wt;
        }
    }
    return total > 0.0 ? lit / total : 1.0;
}
