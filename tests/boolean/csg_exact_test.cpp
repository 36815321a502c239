// The exact sign tests against integer arithmetic, on points so nearly flat that the
// floating-point estimate cannot settle the sign.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "commands/boolean/csg_exact.h"

namespace {

using I = __int128;

int sign(I x) {
    return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

}  // namespace

TEST(CsgExact, SignsOfNearlyFlatPointsAreExact) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int64_t> coord(-(int64_t{1} << 30), int64_t{1} << 30), nudge(-2, 2);
    std::uniform_real_distribution<double> along(-2, 2);
    int unsettled = 0;
    for (int i = 0; i < 20000; ++i) {
        int64_t p[4][3];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) p[k][j] = coord(rng);
        // The fourth point on (or a unit or two off) the plane of the first three, and
        // in 2D on (or off) the line of the first two.
        double s = along(rng), t = along(rng);
        if (i % 2) s = std::round(s), t = std::round(t);  // exactly on it before the nudge
        for (int j = 0; j < 3; ++j)
            p[3][j] = int64_t(double(p[0][j]) + s * double(p[1][j] - p[0][j]) + t * double(p[2][j] - p[0][j])) + nudge(rng);
        double d[4][3];
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 3; ++j) d[k][j] = double(p[k][j]);
        I u[3], v[3], w[3];
        for (int j = 0; j < 3; ++j) u[j] = p[1][j] - p[0][j], v[j] = p[2][j] - p[0][j], w[j] = p[3][j] - p[0][j];
        const I det = (u[1] * v[2] - u[2] * v[1]) * w[0] + (u[2] * v[0] - u[0] * v[2]) * w[1] + (u[0] * v[1] - u[1] * v[0]) * w[2];
        ASSERT_EQ(csg::orient3d(d[0], d[1], d[2], d[3]), sign(det)) << i;
        // 2D: the third point on the line of the first two, nudged.
        const int64_t q[2] = {int64_t(double(p[0][0]) + s * double(u[0])) + nudge(rng),
                              int64_t(double(p[0][1]) + s * double(u[1])) + nudge(rng)};
        const double dq[2] = {double(q[0]), double(q[1])};
        const I cross = u[0] * I(q[1] - p[0][1]) - u[1] * I(q[0] - p[0][0]);
        ASSERT_EQ(csg::orient2d(d[0], d[1], dq), sign(cross)) << i;
        unsettled += det == 0;
    }
    EXPECT_GT(unsettled, 0);  // exact zeros were met too
}
