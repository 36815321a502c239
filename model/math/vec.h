// Three-component vector arithmetic in single (Vec3) and double (Vec3d) precision,
// the constant axis tables, and the small vector constructions built on them:
// projection on a segment, plane normals and a frame perpendicular to a direction.
//
// Conventions: every argument is a pointer, the destination first. A destination
// may be one of the operands unless a comment says otherwise. Arithmetic on Vec3
// is carried out in double and rounded to float on store. Lengths are in model
// units; nothing here allocates and everything is re-entrant.
#pragma once

#include "model/math/types.h"

// Index into the axis tables.
enum AxisIndex { kAxisZero = 0, kAxisPosX, kAxisPosY, kAxisPosZ, kAxisNegX, kAxisNegY, kAxisNegZ };

// Zero, +X, +Y, +Z, -X, -Y, -Z.
inline constexpr Vec3 kAxes3[7] = {{0, 0, 0},  {1, 0, 0},  {0, 1, 0}, {0, 0, 1},
                                   {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
inline constexpr Vec3d kAxes3d[7] = {{0, 0, 0},  {1, 0, 0},  {0, 1, 0}, {0, 0, 1},
                                     {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};

// dst = (x, y, z) rounded to float.
Vec3* vec3_set(Vec3* dst, double x, double y, double z);
Vec3d* vec3_to_d(Vec3d* dst, const Vec3* src);
Vec3* vec3_from_d(Vec3* dst, const Vec3d* src);

// 1 when x, y and z compare exactly equal, else 0.
int vec3_equal(const Vec3* a, const Vec3* b);
// Whether x, y and z are all finite.
bool vec3_finite(const Vec3& p);
bool vec3_finite_d(const Vec3d& p);

Vec3d* vec3_sub_d(Vec3d* dst, const Vec3d* a, const Vec3d* b);
// dst = (a + b)*0.5.
Vec3* vec3_midpoint(Vec3* dst, const Vec3* a, const Vec3* b);
Vec3d* vec3_scale_d(Vec3d* dst, const Vec3d* v, double s);

// Euclidean length.
double vec3_len_d(const Vec3d* v);
// dst = src / |src|. Returns the length; when it is not above 0, dst is left as it was.
double vec3_normalize_d(Vec3d* dst, const Vec3d* src);

double vec3_dot_d(const Vec3d* a, const Vec3d* b);
// dst = a x b, right-handed.
Vec3d* vec3_cross_d(Vec3d* dst, const Vec3d* a, const Vec3d* b);

// Projects q on the segment a-b. Returns the parameter clamped to 0..1 and, when out
// is not null, the nearest point of the segment: q exactly equal to b gives b and 1
// (also when a equals b); a zero-length segment or q exactly equal to a gives a and 0.
double seg_project_point(const Vec3* a, const Vec3* b, const Vec3* q, Vec3* out = nullptr);

// Unnormalised normal (p2 - p1) x (p3 - p1).
Vec3d* plane_normal_3pt(Vec3d* dst, const Vec3* p1, const Vec3* p2, const Vec3* p3);

// Unit normal of the plane holding the direction p1 - p2 and the X axis (x_axis
// non-zero) or the Y axis (x_axis zero); its z is never negative. A direction with
// |dz| < 1e-6 gives +Z; otherwise |dy| < 1e-6 with the X axis gives +Y, and |dx| < 1e-6
// with the Y axis gives +X.
Vec3d* plane_normal_slope_d(Vec3d* dst, const Vec3d* p1, const Vec3d* p2, int x_axis);

// Returns |p1 - p0| and writes two unit vectors u and w perpendicular to the
// direction p1 - p0 and to each other: w = unit(ref x d), u = unit(d x w), where the
// reference axis ref is +Z when the unit direction d has |d.y| >= 0.9999, +Y otherwise. A
// zero-length direction is taken as +Z (u = +Y, w = +X) and the result is 0.
double frame_from_direction(const Vec3* p0, const Vec3* p1, Vec3* u, Vec3* w);
