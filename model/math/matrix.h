// 4x3 affine matrices (Matrix43) and Transform records that keep a matrix and its
// inverse in step: identity, products, inversion, axis rotations, turning +Z onto a
// direction, three-axis rotations and reading their angles back, and the Transform
// builders used by every editing command.
//
// Points are row vectors (see types.h); "a then b" means a point is transformed by a
// first and by b second. Angles are radians, right-handed. A destination may alias an
// operand unless a comment says otherwise. Only xform_new and xform_assign allocate.
#pragma once

#include <memory>

#include "model/math/types.h"

inline constexpr Matrix43 kMatIdentity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};

void mat_identity(Matrix43* m);

// dst = src transformed by m; returns dst.
Vec3* mat_xform_point(Vec3* dst, const Vec3* src, const Matrix43* m);
Vec3d* mat_xform_point_d(Vec3d* dst, const Vec3d* src, const Matrix43* m);

// dst = a then b.
void mat_mul(Matrix43* dst, const Matrix43* a, const Matrix43* b);

// Inverts src (widened to 4x4 with the fourth column 0, 0, 0, 1) and returns its
// determinant. When |det| < 1e-6 the matrix counts as singular: the result is 0.0
// and dst is not written.
double mat_invert(Matrix43* dst, const Matrix43* src);

// Determinants by cofactor expansion. det2(a, b, c, d) = a*d - c*b.
double det2(double a, double b, double c, double d);
double mat3_det(const double r0[3], const double r1[3], const double r2[3]);
double mat4_det(const double m[4][4]);
// Replaces a 4x4 matrix by its classical adjoint (the transposed cofactors).
void mat4_adjoint(double m[4][4]);

// Right-handed rotation by `angle` about the axis (ax, ay, az) through `pivot`, then
// a per-axis scale. The axis need not be unit length; a zero axis means +Z. A null
// pivot puts the axis through the origin; a null scale means no scaling. The pivot
// is a fixed point of the result, scale included.
void mat_rotate_axis(Matrix43* dst, const Vec3* pivot, double ax, double ay, double az,
                     double angle, const Vec3* scale);

// Rotation about `pivot` (null: the origin) turning +Z onto the direction (x, y, z);
// the reverse rotation when `inverse` is non-zero. Directions within 1e-6 (|x| + |y|)
// of the Z axis give the identity (z >= 0) or a half turn about a horizontal axis.
void mat_align_z(Matrix43* dst, const Vec3* pivot, double x, double y, double z, int inverse);

// Forward = rotation about +X by ax, then about +Y by ay, then about +Z by az;
// inverse = the three reversed. Either output may be null.
void mat_rotate_xyz(Matrix43* fwd, Matrix43* inv, double ax, double ay, double az);

// Reads back the angles of mat_rotate_xyz: the forward matrix of
// mat_rotate_xyz(ax, ay, az) rebuilds the rotation of m. Each angle is in 0..2*pi,
// ay within pi/2 of 0. The rows of m (the images of the axes) are normalised first,
// so a per-axis scale applied before the rotation does not disturb the angles. When
// ay is a quarter turn only ax - az (or ax + az) is fixed; az is then taken as 0.
// These are the angles mat_rotate_xyz turns by, not their negatives: the per-axis
// locks of parent tracks rebuild a parent's turn from them. Each output may be null.
void mat_to_xyz_angles(const Matrix43* m, double* ax, double* ay, double* az);

// Image of the +Z direction: m(0,0,1) - m(0,0,0).
Vec3d* mat_z_axis_d(const Matrix43* m, Vec3d* dst);

// Twist of the rotation m about the direction (x, y, z): the angle by which the image
// of +X, seen along the direction, is turned. In -pi..pi.
double mat_twist_angle(const Matrix43* m, double x, double y, double z);

// A new Transform, identity both ways; null when memory runs out.
std::unique_ptr<Transform> xform_new();
// Copies src into dst, making dst first when it is null. src null: nothing, 0.
// 1 when dst could not be made; 0 otherwise.
[[nodiscard]] int xform_assign(std::unique_ptr<Transform>& dst, const Transform* src);

// dst = src transformed by t's forward matrix (inverse_flag 0) or its inverse.
void xform_point(Vec3* dst, const Vec3* src, const Transform* t, int inverse_flag);
void xform_point_d(Vec3d* dst, const Vec3d* src, const Transform* t, int inverse_flag);

// Sets t to a scale about the origin; the factors must be non-zero.
void xform_scale(Transform* t, double sx, double sy, double sz);
// Sets t to a translation.
void xform_translate(Transform* t, double dx, double dy, double dz);
// Sets t to mat_rotate_xyz(ax, ay, az).
void xform_rotate_xyz(Transform* t, double ax, double ay, double az);
// dst forward = a then b; dst inverse = b's inverse then a's inverse.
void xform_compose(Transform* dst, const Transform* a, const Transform* b);
