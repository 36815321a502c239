// Vector arithmetic and the small vector constructions declared in vec.h.
// Float vectors are widened to double for every operation and rounded on store.
#include "model/math/vec.h"

#include <cmath>

namespace {

Vec3d to_d(const Vec3* v) {
    return {v->x, v->y, v->z};
}

Vec3* store(Vec3* dst, double x, double y, double z) {
    dst->x = static_cast<float>(x);
    dst->y = static_cast<float>(y);
    dst->z = static_cast<float>(z);
    return dst;
}

Vec3* store(Vec3* dst, const Vec3d& v) {
    return store(dst, v.x, v.y, v.z);
}

template <class V>
bool finite_xyz(const V& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Normalises in place; a vector whose length is not above 0 is left as it was.
void normalize(Vec3d* v) {
    double len = std::sqrt(dot(*v, *v));
    if (len > 0) {
        v->x /= len;
        v->y /= len;
        v->z /= len;
    }
}

// The slope normal of plane_normal_slope_d, on the three differences p1 - p2.
Vec3d slope_normal(double dx, double dy, double dz, int x_axis) {
    if (std::fabs(dz) < 1e-6) return {0, 0, 1};
    if (x_axis) {
        if (std::fabs(dy) < 1e-6) return {0, 1, 0};
        double a = std::atan(std::fabs(dz / dy));
        if ((dz < 0) != (dy < 0)) a = -a;
        return {0, -std::sin(a), std::cos(a)};
    }
    if (std::fabs(dx) < 1e-6) return {1, 0, 0};
    double b = std::atan(std::fabs(dz / dx));
    if ((dz < 0) == (dx < 0)) b = -b;
    return {std::sin(b), 0, std::cos(b)};
}

}  // namespace

Vec3* vec3_set(Vec3* dst, double x, double y, double z) {
    return store(dst, x, y, z);
}

Vec3d* vec3_to_d(Vec3d* dst, const Vec3* src) {
    *dst = to_d(src);
    return dst;
}

Vec3* vec3_from_d(Vec3* dst, const Vec3d* src) {
    return store(dst, *src);
}

int vec3_equal(const Vec3* a, const Vec3* b) {
    return a->x == b->x && a->y == b->y && a->z == b->z ? 1 : 0;
}

bool vec3_finite(const Vec3& p) { return finite_xyz(p); }
bool vec3_finite_d(const Vec3d& p) { return finite_xyz(p); }

Vec3d* vec3_sub_d(Vec3d* dst, const Vec3d* a, const Vec3d* b) {
    *dst = {a->x - b->x, a->y - b->y, a->z - b->z};
    return dst;
}

Vec3* vec3_midpoint(Vec3* dst, const Vec3* a, const Vec3* b) {
    return store(dst, (double(a->x) + b->x) * 0.5, (double(a->y) + b->y) * 0.5,
                 (double(a->z) + b->z) * 0.5);
}

Vec3d* vec3_scale_d(Vec3d* dst, const Vec3d* v, double s) {
    *dst = {v->x * s, v->y * s, v->z * s};
    return dst;
}

double vec3_len_d(const Vec3d* v) {
    return std::sqrt(dot(*v, *v));
}

double vec3_normalize_d(Vec3d* dst, const Vec3d* src) {
    double len = std::sqrt(dot(*src, *src));
    if (len > 0) *dst = {src->x / len, src->y / len, src->z / len};
    return len;
}

double vec3_dot_d(const Vec3d* a, const Vec3d* b) {
    return dot(*a, *b);
}

Vec3d* vec3_cross_d(Vec3d* dst, const Vec3d* a, const Vec3d* b) {
    *dst = cross(*a, *b);
    return dst;
}

double seg_project_point(const Vec3* a, const Vec3* b, const Vec3* q, Vec3* out) {
    Vec3 pa = *a, pb = *b;  // out may alias an input
    if (vec3_equal(q, &pb)) {
        if (out) *out = pb;
        return 1;
    }
    Vec3d ad = to_d(&pa), d = {double(pb.x) - pa.x, double(pb.y) - pa.y, double(pb.z) - pa.z};
    if ((d.x == 0 && d.y == 0 && d.z == 0) || vec3_equal(q, &pa)) {
        if (out) *out = pa;
        return 0;
    }
    Vec3d aq = {q->x - ad.x, q->y - ad.y, q->z - ad.z};
    double t = dot(aq, d) / dot(d, d);
    if (t <= 0) {
        if (out) *out = pa;
        return 0;
    }
    if (t < 1) {
        if (out) store(out, ad.x + d.x * t, ad.y + d.y * t, ad.z + d.z * t);
        return t;
    }
    if (out) *out = pb;
    return 1;
}

Vec3d* plane_normal_3pt(Vec3d* dst, const Vec3* p1, const Vec3* p2, const Vec3* p3) {
    Vec3d a = to_d(p1), b = to_d(p2), c = to_d(p3);
    *dst = cross({b.x - a.x, b.y - a.y, b.z - a.z}, {c.x - a.x, c.y - a.y, c.z - a.z});
    return dst;
}

Vec3d* plane_normal_slope_d(Vec3d* dst, const Vec3d* p1, const Vec3d* p2, int x_axis) {
    *dst = slope_normal(p1->x - p2->x, p1->y - p2->y, p1->z - p2->z, x_axis);
    return dst;
}

double frame_from_direction(const Vec3* p0, const Vec3* p1, Vec3* u, Vec3* w) {
    Vec3d d = {double(p1->x) - p0->x, double(p1->y) - p0->y, double(p1->z) - p0->z};
    double len = std::sqrt(dot(d, d));
    if (len > 0) {
        d = {d.x / len, d.y / len, d.z / len};
    } else {
        d = kAxes3d[kAxisPosZ];
    }
    const Vec3d& ref = std::fabs(d.y) >= 0.9999 ? kAxes3d[kAxisPosZ] : kAxes3d[kAxisPosY];
    Vec3d wd = cross(ref, d);
    normalize(&wd);
    Vec3d ud = cross(d, wd);
    normalize(&ud);
    wd = cross(ud, d);
    normalize(&wd);
    store(u, ud);
    store(w, wd);
    return len;
}
