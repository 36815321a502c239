// Small double-precision vector helpers for the ray tracer (inline, header only).
#pragma once

#include <cmath>

#include "model/math/types.h"

inline Vec3d rt_v(double x, double y, double z) { return Vec3d{x, y, z}; }
inline Vec3d rt_v(const Vec3& p) { return Vec3d{p.x, p.y, p.z}; }
inline Vec3d operator+(const Vec3d& a, const Vec3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3d operator-(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3d operator*(const Vec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3d operator*(double s, const Vec3d& a) { return a * s; }
inline double rt_dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3d rt_cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double rt_len(const Vec3d& a) { return std::sqrt(rt_dot(a, a)); }
// Unit vector along a; a zero vector stays zero.
inline Vec3d rt_unit(const Vec3d& a) {
    double l = rt_len(a);
    return l > 0.0 ? a * (1.0 / l) : a;
}
inline double rt_comp(const Vec3d& a, int axis) { return axis == 0 ? a.x : axis == 1 ? a.y : a.z; }
