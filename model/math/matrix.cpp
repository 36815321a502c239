// Matrix43 and Transform operations declared in matrix.h. Rotations follow the
// axis-angle (Rodrigues) form, stored transposed for row vectors; inversion goes
// through the 4x4 classical adjoint.
#include "model/math/matrix.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

// acos with its argument clamped to -1..1: slightly out-of-range values from rounding
// give 0 or pi rather than NaN.
double acos_clamped(double x) {
    if (x <= -1) return kPi;
    if (x >= 1) return 0;
    return std::acos(x);
}

Vec3d xform_d(const Vec3d& p, const Matrix43& m) {
    const double* a = m.m;
    return {p.x * a[0] + p.y * a[3] + p.z * a[6] + a[9],
            p.x * a[1] + p.y * a[4] + p.z * a[7] + a[10],
            p.x * a[2] + p.y * a[5] + p.z * a[8] + a[11]};
}

}  // namespace

void mat_identity(Matrix43* m) {
    *m = kMatIdentity;
}

Vec3* mat_xform_point(Vec3* dst, const Vec3* src, const Matrix43* m) {
    Vec3d p = xform_d({src->x, src->y, src->z}, *m);
    return vec3_from_d(dst, &p);
}

Vec3d* mat_xform_point_d(Vec3d* dst, const Vec3d* src, const Matrix43* m) {
    *dst = xform_d(*src, *m);
    return dst;
}

void mat_mul(Matrix43* dst, const Matrix43* a, const Matrix43* b) {
    const double* x = a->m;
    const double* y = b->m;
    Matrix43 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            double s = x[3 * i] * y[j] + x[3 * i + 1] * y[3 + j] + x[3 * i + 2] * y[6 + j];
            if (i == 3) s += y[9 + j];
            r.m[3 * i + j] = s;
        }
    }
    *dst = r;
}

double det2(double a, double b, double c, double d) {
    return a * d - c * b;
}

double mat3_det(const double r0[3], const double r1[3], const double r2[3]) {
    return r0[0] * det2(r1[1], r1[2], r2[1], r2[2]) - r0[1] * det2(r1[0], r1[2], r2[0], r2[2]) +
           r0[2] * det2(r1[0], r1[1], r2[0], r2[1]);
}

namespace {

// The 3x3 minor of m without row `row` and column `col`.
double minor4(const double m[4][4], int row, int col) {
    double r[3][3];
    for (int i = 0, ri = 0; i < 4; ++i) {
        if (i == row) continue;
        for (int j = 0, rj = 0; j < 4; ++j) {
            if (j == col) continue;
            r[ri][rj++] = m[i][j];
        }
        ++ri;
    }
    return mat3_det(r[0], r[1], r[2]);
}

}  // namespace

double mat4_det(const double m[4][4]) {
    double det = 0;
    for (int j = 0; j < 4; ++j) {
        double c = m[0][j] * minor4(m, 0, j);
        det += (j % 2 == 0) ? c : -c;
    }
    return det;
}

void mat4_adjoint(double m[4][4]) {
    double adj[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double c = minor4(m, i, j);
            adj[j][i] = ((i + j) % 2 == 0) ? c : -c;
        }
    }
    std::copy(&adj[0][0], &adj[0][0] + 16, &m[0][0]);
}

double mat_invert(Matrix43* dst, const Matrix43* src) {
    double w[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) w[i][j] = src->m[3 * i + j];
        w[i][3] = (i == 3) ? 1 : 0;
    }
    double det = mat4_det(w);
    if (std::fabs(det) < 1e-6) return 0.0;
    mat4_adjoint(w);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) dst->m[3 * i + j] = w[i][j] / det;
    }
    return det;
}

void mat_rotate_axis(Matrix43* dst, const Vec3* pivot, double ax, double ay, double az,
                     double angle, const Vec3* scale) {
    double c = std::cos(angle), s = std::sin(angle);
    double len = std::sqrt(ax * ax + ay * ay + az * az);
    // Azimuth and polar angle of the axis; a zero axis is +Z.
    double ca = 1, sa = 0, cp = 1, sp = 0;
    if (len != 0) {
        double azimuth;
        if (ax == 0) {
            azimuth = ay >= 0 ? kPi / 2 : 3 * kPi / 2;
        } else {
            azimuth = std::atan(ay / ax);
            if (ax < 0) azimuth += kPi;
        }
        ca = std::cos(azimuth);
        sa = std::sin(azimuth);
        cp = az / len;
        sp = std::sqrt(std::max(0.0, 1 - cp * cp));
    }
    double u[3] = {ca * sp, sa * sp, cp};
    // Column-vector rotation c*I + (1 - c)*u*u^T + s*[u]x, stored transposed.
    double cross[3][3] = {{0, -u[2], u[1]}, {u[2], 0, -u[0]}, {-u[1], u[0], 0}};
    double* m = dst->m;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double r = (1 - c) * u[j] * u[i] + s * cross[j][i];
            if (i == j) r += c;
            m[3 * i + j] = r;
        }
    }
    if (scale) {
        const double sc[3] = {scale->x, scale->y, scale->z};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) m[3 * i + j] *= sc[j];
        }
    }
    if (pivot) {
        double px = pivot->x, py = pivot->y, pz = pivot->z;
        m[9] = (1 - m[0]) * px - py * m[3] - pz * m[6];
        m[10] = (1 - m[4]) * py - px * m[1] - pz * m[7];
        m[11] = (1 - m[8]) * pz - px * m[2] - py * m[5];
    } else {
        m[9] = m[10] = m[11] = 0;
    }
}

void mat_align_z(Matrix43* dst, const Vec3* pivot, double x, double y, double z, int inverse) {
    double ax = 0, ay = 0, az = 1, angle = 0;
    if (std::fabs(x) + std::fabs(y) < 1e-6) {
        if (z < 0) {
            angle = kPi;
            az = 0;
            if (std::fabs(x) >= std::fabs(y)) {
                ay = x > 0 ? 1 : -1;
            } else {
                ax = -y > 0 ? 1 : -1;
            }
        }
    } else {
        ax = -y;
        ay = x;
        az = 0;
        angle = acos_clamped(z / std::sqrt(x * x + y * y + z * z));
    }
    if (inverse) angle = -angle;
    mat_rotate_axis(dst, pivot, ax, ay, az, angle, nullptr);
}

void mat_rotate_xyz(Matrix43* fwd, Matrix43* inv, double ax, double ay, double az) {
    Matrix43 rx, ry, rz;
    if (fwd) {
        mat_rotate_axis(&rx, nullptr, 1, 0, 0, ax, nullptr);
        mat_rotate_axis(&ry, nullptr, 0, 1, 0, ay, nullptr);
        mat_rotate_axis(&rz, nullptr, 0, 0, 1, az, nullptr);
        mat_mul(fwd, &rx, &ry);
        mat_mul(fwd, fwd, &rz);
    }
    if (inv) {
        mat_rotate_axis(&rx, nullptr, 1, 0, 0, -ax, nullptr);
        mat_rotate_axis(&ry, nullptr, 0, 1, 0, -ay, nullptr);
        mat_rotate_axis(&rz, nullptr, 0, 0, 1, -az, nullptr);
        mat_mul(inv, &rz, &ry);
        mat_mul(inv, inv, &rx);
    }
}

void mat_to_xyz_angles(const Matrix43* m, double* ax_out, double* ay_out, double* az_out) {
    // Rows of the rotation part: the images of X, Y and Z, normalised.
    Vec3d row[3];
    for (int i = 0; i < 3; ++i) {
        row[i] = {m->m[3 * i], m->m[3 * i + 1], m->m[3 * i + 2]};
        vec3_normalize_d(&row[i], &row[i]);
    }
    // For row vectors, Rx(ax) then Ry(ay) then Rz(az) has
    //   row X = (cy*cz, cy*sz, -sy),
    //   row Y = (sx*sy*cz - cx*sz, sx*sy*sz + cx*cz, sx*cy),
    //   row Z = (cx*sy*cz + sx*sz, cx*sy*sz - sx*cz, cx*cy).
    double sy = -row[0].z;
    double cy = std::sqrt(row[0].x * row[0].x + row[0].y * row[0].y);
    double ax, ay, az;
    ay = std::atan2(sy, cy);
    if (cy > 1e-9) {
        ax = std::atan2(row[1].z, row[2].z);
        az = std::atan2(row[0].y, row[0].x);
    } else {
        // A quarter turn about Y: with az = 0, row Y = (sx*sy, cx, 0).
        ax = std::atan2(-row[2].y, row[1].y);
        az = 0;
    }
    auto wrap = [](double a) { return a < 0 ? a + kTwoPi : a + 0.0; };
    if (ax_out) *ax_out = wrap(ax);
    if (ay_out) *ay_out = wrap(ay);
    if (az_out) *az_out = wrap(az);
}

Vec3d* mat_z_axis_d(const Matrix43* m, Vec3d* dst) {
    Vec3d z = xform_d({0, 0, 1}, *m), o = xform_d({0, 0, 0}, *m);
    *dst = {z.x - o.x, z.y - o.y, z.z - o.z};
    return dst;
}

double mat_twist_angle(const Matrix43* m, double x, double y, double z) {
    Matrix43 back;
    mat_align_z(&back, nullptr, x, y, z, 1);
    Vec3d px = xform_d(xform_d({1, 0, 0}, *m), back);
    Vec3d po = xform_d(xform_d({0, 0, 0}, *m), back);
    double dx = px.x - po.x, dy = px.y - po.y;
    double a = acos_clamped(dx);
    return dy < 0 ? a : -a;
}

std::unique_ptr<Transform> xform_new() {
    std::unique_ptr<Transform> t(new (std::nothrow) Transform);
    if (t) t->fwd = t->inv = kMatIdentity;
    return t;
}

int xform_assign(std::unique_ptr<Transform>& dst, const Transform* src) {
    if (!src) return 0;
    if (!dst) {
        Transform copy = *src;  // src may live inside the object dst is about to own
        dst = xform_new();
        if (!dst) return 1;
        *dst = copy;
        return 0;
    }
    *dst = *src;
    return 0;
}

void xform_point(Vec3* dst, const Vec3* src, const Transform* t, int inverse_flag) {
    mat_xform_point(dst, src, inverse_flag ? &t->inv : &t->fwd);
}

void xform_point_d(Vec3d* dst, const Vec3d* src, const Transform* t, int inverse_flag) {
    mat_xform_point_d(dst, src, inverse_flag ? &t->inv : &t->fwd);
}

void xform_scale(Transform* t, double sx, double sy, double sz) {
    t->fwd = t->inv = kMatIdentity;
    t->fwd.m[0] = sx;
    t->fwd.m[4] = sy;
    t->fwd.m[8] = sz;
    t->inv.m[0] = 1 / sx;
    t->inv.m[4] = 1 / sy;
    t->inv.m[8] = 1 / sz;
}

void xform_translate(Transform* t, double dx, double dy, double dz) {
    t->fwd = t->inv = kMatIdentity;
    t->fwd.m[9] = dx;
    t->fwd.m[10] = dy;
    t->fwd.m[11] = dz;
    t->inv.m[9] = -dx;
    t->inv.m[10] = -dy;
    t->inv.m[11] = -dz;
}

void xform_rotate_xyz(Transform* t, double ax, double ay, double az) {
    mat_rotate_xyz(&t->fwd, &t->inv, ax, ay, az);
}

void xform_compose(Transform* dst, const Transform* a, const Transform* b) {
    Transform r;
    mat_mul(&r.fwd, &a->fwd, &b->fwd);
    mat_mul(&r.inv, &b->inv, &a->inv);
    *dst = r;
}
