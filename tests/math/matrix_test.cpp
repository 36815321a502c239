// Tests of the 4x3 matrices and Transform records: inversion, rotations, products
// and the Transform builders, by their effect on points and by round trips.
#include "model/math/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "model/math/scalar.h"

namespace {

Vec3d apply(const Matrix43& m, Vec3d p) {
    Vec3d out;
    mat_xform_point_d(&out, &p, &m);
    return out;
}

void expect_near(const Vec3d& a, const Vec3d& b, double tol = 1e-9) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void expect_mat_near(const Matrix43& a, const Matrix43& b, double tol = 1e-9) {
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

Matrix43 rotation(double ax, double ay, double az, double angle) {
    Matrix43 m;
    mat_rotate_axis(&m, nullptr, ax, ay, az, angle, nullptr);
    return m;
}

TEST(MatInvert, SingularThreshold) {
    struct Case {
        double scale;
        double det;
    } cases[] = {{5e-7, 0.0}, {1e-6, 1e-6}, {-1e-6, -1e-6}, {2, 2}};
    for (const Case& c : cases) {
        Matrix43 src = kMatIdentity;
        src.m[0] = c.scale;
        src.m[9] = 3;  // a translation does not change the determinant
        Matrix43 dst;
        std::memset(&dst, 0x5a, sizeof dst);
        Matrix43 before = dst;
        EXPECT_EQ(mat_invert(&dst, &src), c.det) << c.scale;
        if (c.det == 0) {
            EXPECT_EQ(std::memcmp(&dst, &before, sizeof dst), 0) << "dst written";
        } else {
            Matrix43 prod;
            mat_mul(&prod, &src, &dst);
            expect_mat_near(prod, kMatIdentity);
        }
    }
}

TEST(MatInvert, GeneralAffineRoundTrip) {
    Matrix43 m = {{2, 1, 0, -1, 3, 0.5, 0.25, 0, 1.5, 4, -2, 7}};
    Matrix43 inv;
    double det = mat_invert(&inv, &m);
    double rows[4][4] = {{2, 1, 0, 0}, {-1, 3, 0.5, 0}, {0.25, 0, 1.5, 0}, {4, -2, 7, 1}};
    EXPECT_DOUBLE_EQ(det, mat4_det(rows));
    Vec3d p = {1.5, -2, 0.75};
    expect_near(apply(inv, apply(m, p)), p);
}

TEST(MatRotateAxis, RandomRotationsInvertToTheirTranspose) {
    std::mt19937 gen(1234);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 200; ++i) {
        Matrix43 r = rotation(u(gen), u(gen), u(gen), 4 * u(gen));
        Matrix43 inv;
        EXPECT_NEAR(mat_invert(&inv, &r), 1.0, 1e-12);
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                EXPECT_NEAR(inv.m[3 * row + col], r.m[3 * col + row], 1e-12);
            }
        }
    }
}

TEST(MatRotateAxis, RightHandedAndZeroAxisIsZ) {
    struct Case {
        Vec3d axis, from, to;
    } cases[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},   {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
        {{0, 0, 5}, {1, 0, 0}, {0, 1, 0}},   {{-2, 0, 0}, {0, 1, 0}, {0, 0, -1}},
        {{0, -1, 0}, {0, 0, 1}, {-1, 0, 0}}, {{1, 1, 1}, {1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        // A third of a turn about (1, 1, 1) cycles the axes; a quarter turn otherwise.
        double angle = (c.axis.x == 1 && c.axis.y == 1) ? 2 * kPi / 3 : kPi / 2;
        expect_near(apply(rotation(c.axis.x, c.axis.y, c.axis.z, angle), c.from), c.to);
    }
}

TEST(MatRotateAxis, PivotStaysFixedUnderRotationAndScale) {
    Vec3 pivot = {3, -2, 5};
    Vec3 scale = {2, 0.5, 3};
    Matrix43 m;
    mat_rotate_axis(&m, &pivot, 0.3, -1, 0.7, 1.1, &scale);
    expect_near(apply(m, {3, -2, 5}), {3, -2, 5}, 1e-12);

    // The scale acts after the rotation: a quarter turn about Z then scale.
    mat_rotate_axis(&m, &pivot, 0, 0, 1, kPi / 2, &scale);
    expect_near(apply(m, {4, -2, 5}), {3, -2 + 0.5, 5});
}

TEST(MatMul, AliasingGivesTheSameProduct) {
    Matrix43 a = rotation(1, 2, 3, 0.4), b = rotation(-1, 0, 2, 1.3);
    a.m[9] = 1;
    b.m[11] = -2;
    Matrix43 expected;
    mat_mul(&expected, &a, &b);
    Matrix43 first = a, second = b, self = a;
    mat_mul(&first, &first, &b);
    mat_mul(&second, &a, &second);
    mat_mul(&self, &self, &self);
    Matrix43 squared;
    mat_mul(&squared, &a, &a);
    EXPECT_EQ(std::memcmp(&first, &expected, sizeof first), 0);
    EXPECT_EQ(std::memcmp(&second, &expected, sizeof second), 0);
    EXPECT_EQ(std::memcmp(&self, &squared, sizeof self), 0);
    // a then b: a point goes through a first.
    Vec3d p = {1, 2, 3};
    expect_near(apply(expected, p), apply(b, apply(a, p)));
}

TEST(MatAlignZ, SpecialDirections) {
    struct Case {
        Vec3d dir;
        Matrix43 expected;
    } cases[] = {
        {{0, 0, 1}, kMatIdentity},
        {{0, 0, 0}, kMatIdentity},
        {{0, 0, -1}, rotation(0, -1, 0, kPi)},
        {{1e-7, 0, -1}, rotation(0, 1, 0, kPi)},
        {{0, 1e-7, -1}, rotation(-1, 0, 0, kPi)},
        {{0, -1e-7, -1}, rotation(1, 0, 0, kPi)},
    };
    for (const Case& c : cases) {
        Matrix43 m;
        mat_align_z(&m, nullptr, c.dir.x, c.dir.y, c.dir.z, 0);
        expect_mat_near(m, c.expected, 1e-15);
    }
}

TEST(MatAlignZ, TurnsZOntoTheDirectionAndBack) {
    Vec3d dirs[] = {{1, 0, 0}, {0, -3, 0}, {1, 2, 3}, {-1, 0.5, -0.2}, {1e-3, 0, -1}};
    Vec3 pivot = {4, 5, 6};
    for (const Vec3d& d : dirs) {
        double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        Vec3d unit = {d.x / len, d.y / len, d.z / len};
        Matrix43 fwd, back;
        mat_align_z(&fwd, &pivot, d.x, d.y, d.z, 0);
        mat_align_z(&back, &pivot, d.x, d.y, d.z, 1);
        expect_near(apply(fwd, {4, 5, 7}), {4 + unit.x, 5 + unit.y, 6 + unit.z});
        expect_near(apply(back, apply(fwd, {1, 2, 3})), {1, 2, 3});
    }
}

TEST(MatRotateXyz, RightHandedAndInverse) {
    struct Case {
        double ax, ay, az;
        Vec3d from, to;
    } cases[] = {
        {kPi / 2, 0, 0, {0, 1, 0}, {0, 0, 1}},
        {0, kPi / 2, 0, {0, 0, 1}, {1, 0, 0}},
        {0, 0, kPi / 2, {1, 0, 0}, {0, 1, 0}},
        // X first, then Y, then Z: Y -> Z -> X -> Y.
        {kPi / 2, kPi / 2, kPi / 2, {0, 1, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        Matrix43 fwd, inv;
        mat_rotate_xyz(&fwd, &inv, c.ax, c.ay, c.az);
        expect_near(apply(fwd, c.from), c.to);
        expect_near(apply(inv, c.to), c.from);
    }
}

TEST(MatToXyzAngles, RoundTripOfRotateXyz) {
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> full(0, kTwoPi), tilt(-1.5, 1.5);
    for (int i = 0; i < 300; ++i) {
        double ax = full(gen), ay = tilt(gen), az = full(gen);
        Matrix43 m;
        mat_rotate_xyz(&m, nullptr, ax, ay, az);
        double bx, by, bz;
        mat_to_xyz_angles(&m, &bx, &by, &bz);
        for (double a : {bx, by, bz}) {
            EXPECT_GE(a, 0);
            EXPECT_LT(a, kTwoPi);
        }
        EXPECT_NEAR(bx, ax, 1e-9);
        EXPECT_NEAR(by, ay < 0 ? ay + kTwoPi : ay, 1e-9);
        EXPECT_NEAR(bz, az, 1e-9);
    }
}

TEST(MatToXyzAngles, RebuildsAnyRotationIncludingQuarterTurnsAboutY) {
    const double angles[][3] = {{0.3, kPi / 2, 1.1}, {2.0, -kPi / 2, 0.4}, {1, 2, 3},
                                {0, kPi, 0},         {5.5, 3.5, -1},       {0, 0, 0}};
    for (const auto& a : angles) {
        Matrix43 m, rebuilt;
        mat_rotate_xyz(&m, nullptr, a[0], a[1], a[2]);
        // A scale applied before the rotation is ignored.
        Matrix43 scaled = m;
        for (int j = 0; j < 3; ++j) scaled.m[3 + j] *= 4;
        double bx, by, bz;
        mat_to_xyz_angles(&scaled, &bx, &by, &bz);
        mat_rotate_xyz(&rebuilt, nullptr, bx, by, bz);
        expect_mat_near(rebuilt, m, 1e-7);
    }
    Matrix43 m = kMatIdentity;
    mat_to_xyz_angles(&m, nullptr, nullptr, nullptr);  // null outputs are skipped
}

TEST(MatTwistAngle, TwistAboutDirection) {
    struct Case {
        Matrix43 m;
        Vec3d dir;
        double twist;
    } cases[] = {
        {rotation(0, 0, 1, 0.5), {0, 0, 1}, -0.5},
        {rotation(0, 0, 1, -0.5), {0, 0, 1}, 0.5},
        {kMatIdentity, {0, 0, 1}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(mat_twist_angle(&c.m, c.dir.x, c.dir.y, c.dir.z), c.twist, 1e-12);
    }
    // A pure alignment has no twist, and rounding never turns that into NaN.
    for (Vec3d d : {Vec3d{1, 2, 3}, Vec3d{-0.3, 0.1, 0.9}, Vec3d{0.6, 0.8, 0}}) {
        Matrix43 m;
        mat_align_z(&m, nullptr, d.x, d.y, d.z, 0);
        double t = mat_twist_angle(&m, d.x, d.y, d.z);
        EXPECT_FALSE(std::isnan(t));
        EXPECT_NEAR(t, 0, 1e-6);
    }
}

TEST(MatZAxis, ImageOfZDirection) {
    Matrix43 m = rotation(1, 0, 0, kPi / 2);
    m.m[9] = 5;
    Vec3d d;
    mat_z_axis_d(&m, &d);
    expect_near(d, {0, -1, 0});
}

TEST(Xform, NewAndAssign) {
    std::unique_ptr<Transform> t = xform_new();
    ASSERT_TRUE(t);
    EXPECT_EQ(std::memcmp(&t->fwd, &kMatIdentity, sizeof(Matrix43)), 0);
    EXPECT_EQ(std::memcmp(&t->inv, &kMatIdentity, sizeof(Matrix43)), 0);

    std::unique_ptr<Transform> dst;
    EXPECT_EQ(xform_assign(dst, nullptr), 0);
    EXPECT_FALSE(dst);

    xform_translate(t.get(), 1, 2, 3);
    EXPECT_EQ(xform_assign(dst, t.get()), 0);
    ASSERT_TRUE(dst);
    EXPECT_EQ(std::memcmp(dst.get(), t.get(), sizeof(Transform)), 0);

    Transform* kept = dst.get();
    xform_scale(t.get(), 2, 4, 8);
    EXPECT_EQ(xform_assign(dst, t.get()), 0);
    EXPECT_EQ(dst.get(), kept);
    EXPECT_EQ(dst->inv.m[4], 0.25);
    EXPECT_EQ(xform_assign(dst, dst.get()), 0);  // self-assignment
}

TEST(Xform, ComposeForwardThenInverseReturnsThePoint) {
    Transform s, r, m, a, all;
    xform_scale(&s, 2, -0.5, 4);
    xform_rotate_xyz(&r, 0.3, 1.2, -0.7);
    xform_translate(&m, 10, -20, 30);
    xform_compose(&a, &s, &r);
    xform_compose(&all, &a, &m);
    Vec3d p = {1.25, -3, 7}, q, back;
    xform_point_d(&q, &p, &all, 0);
    // Scale, then rotation, then move.
    Vec3d step;
    xform_point_d(&step, &p, &s, 0);
    xform_point_d(&step, &step, &r, 0);
    xform_point_d(&step, &step, &m, 0);
    expect_near(q, step);
    xform_point_d(&back, &q, &all, 1);
    expect_near(back, p);

    xform_compose(&a, &a, &a);  // dst may alias both operands
    Vec3 f = {1, 1, 1}, g;
    xform_point(&g, &f, &a, 0);
    xform_point(&g, &g, &a, 1);
    EXPECT_NEAR(g.x, 1, 1e-5);
    EXPECT_NEAR(g.y, 1, 1e-5);
    EXPECT_NEAR(g.z, 1, 1e-5);
}

}  // namespace
