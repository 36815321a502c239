// Scene builders shared by the ray-tracer tests.
#pragma once

#include <vector>

#include "render/raytrace/rt_object.h"
#include "render/raytrace/rt_vec.h"

inline Vec3 rt_f(double x, double y, double z) {
    return Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// Flat triangle with its normal from the vertex order.
inline RtTriangle* rt_tri(RtArena& a, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    Vec3d n = rt_unit(rt_cross(rt_v(p2) - rt_v(p1), rt_v(p3) - rt_v(p1)));
    return rt_triangle_new(a, n, p1, p2, p3);
}

// Latitude-longitude sphere of radius r at c, about 2 x rings x segments triangles, as a union.
inline RtUnion* rt_sphere_mesh(RtArena& a, const Vec3d& c, double r, int rings, int segments) {
    RtUnion* u = rt_union_new(a);
    auto pt = [&](int i, int j) {
        double th = 3.141592653589793 * i / rings, ph = 2 * 3.141592653589793 * j / segments;
        return rt_f(c.x + r * std::sin(th) * std::cos(ph), c.y + r * std::sin(th) * std::sin(ph), c.z + r * std::cos(th));
    };
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            Vec3 a0 = pt(i, j), a1 = pt(i, j + 1), b0 = pt(i + 1, j), b1 = pt(i + 1, j + 1);
            if (i > 0) rt_union_add(u, rt_tri(a, a0, b0, a1));
            if (i < rings - 1) rt_union_add(u, rt_tri(a, a1, b0, b1));
        }
    }
    rt_union_bounds(u);
    return u;
}

// Links objects into a list by next, in order.
inline RtObject* rt_link(const std::vector<RtObject*>& objs) {
    for (size_t i = 0; i < objs.size(); ++i) objs[i]->next = i + 1 < objs.size() ? objs[i + 1] : nullptr;
    return objs.empty() ? nullptr : objs[0];
}
