// Noise, turbulence and the table waves: ranges, octave rules and hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "render/surface/noise.h"
#include "render/surface/surface.h"

TEST(Noise, StaysInRangeEverywhere) {
    texture_tables_init();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double specials[] = {1e17, -1e17, nan, -10000.5, -20000.25, 1e300,
                               std::numeric_limits<double>::infinity()};
    uint64_t x = 12345;
    auto next = [&x] {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return double(int64_t(x >> 11) - (int64_t(1) << 52)) / double(int64_t(1) << 40);
    };
    for (int i = 0; i < 1000000; ++i) {
        double p[3] = {next(), next(), next()};
        if (i % 10 == 0) p[i % 3] = specials[(i / 10) % 7];
        const double v = noise3(p[0], p[1], p[2]);
        ASSERT_TRUE(v >= 0.0 && v <= 1.0) << p[0] << " " << p[1] << " " << p[2];
    }
    for (double s : specials) {
        EXPECT_TRUE(noise1(s) >= 0.0 && noise1(s) <= 1.0);
        double v[3];
        noise3_vec(v, s, -s, s);
        for (double c : v) EXPECT_TRUE(std::isfinite(c));
        EXPECT_TRUE(std::isfinite(crease_noise(s, s, -s)));
        EXPECT_TRUE(std::isfinite(turbulence(s, 1, s, 255)));
        turbulence_vec(v, s, s, 2, 255);
        for (double c : v) EXPECT_TRUE(std::isfinite(c));
    }
}

TEST(Noise, TurbulenceOctaveRules) {
    const double x = 0.3, y = 1.7, z = -2.1;
    const double two = noise3(x, y, z) + noise3(2 * x, 2 * y, 2 * z) / 2;
    EXPECT_DOUBLE_EQ(turbulence(x, y, z, 0), two);
    EXPECT_DOUBLE_EQ(turbulence(x, y, z, 1), two);
    EXPECT_DOUBLE_EQ(turbulence(x, y, z, 2), two);
    EXPECT_DOUBLE_EQ(turbulence(x, y, z, 3), two + noise3(4 * x, 4 * y, 4 * z) / 4);
    double one[3], single[3], two_v[3], v2[3];
    turbulence_vec(one, x, y, z, 1);
    turbulence_vec(single, x, y, z, 0);
    noise3_vec(v2, x, y, z);
    for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(one[c], v2[c]);
    for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(single[c], v2[c]);
    turbulence_vec(two_v, x, y, z, 2);
    double half[3];
    noise3_vec(half, 2 * x, 2 * y, 2 * z);
    for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(two_v[c], v2[c] + half[c] / 2);
}

TEST(Noise, Waves) {
    texture_tables_init();
    EXPECT_EQ(wave_sin(0.0), 0.0);
    EXPECT_NEAR(wave_sin(0.25), 1.0, 1e-6);
    EXPECT_NEAR(wave_sin(-0.25), -1.0, 1e-6);
    EXPECT_NEAR(wave_sin(3.75), -1.0, 1e-6);
    EXPECT_EQ(wave_sin(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(wave_sin(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_TRUE(std::isfinite(wave_sin(std::nextafter(1.0, 0.0))));
    EXPECT_DOUBLE_EQ(wave_triangle(0.25), 0.5);
    EXPECT_DOUBLE_EQ(wave_triangle(0.5), 1.0);
    EXPECT_DOUBLE_EQ(wave_triangle(2.0), 0.0);
    EXPECT_DOUBLE_EQ(wave_triangle(-0.25), 0.5);
    // Ripple centres are unit vectors (or zero).
    for (int i = 0; i < 10; ++i) {
        const float* c = noise_ripple_centre(i);
        const double l = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        EXPECT_TRUE(std::fabs(l - 1.0) < 1e-6 || l == 0.0) << i;
    }
}

TEST(Noise, GeneratorIsPerThread) {
    texture_tables_init();
    const int a = surface_rand(), b = surface_rand();
    surface_srand(0);
    EXPECT_EQ(surface_rand(), a);
    int other = -1;
    std::thread t([&] { other = surface_rand(); });  // a new thread starts from seed 0
    t.join();
    EXPECT_EQ(other, a);
    EXPECT_EQ(surface_rand(), b);
}
