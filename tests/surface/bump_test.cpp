// Bump maps: the amount switch, the image tangent frame and the procedural kinds.
#include <gtest/gtest.h>

#include <cmath>

#include "render/surface/noise.h"
#include "render/surface/surface.h"
#include "surface_test_util.h"

namespace {

double length(const float n[3]) {
    return std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
}

}  // namespace

TEST(Bump, AmountSwitchAndRenormalising) {
    texture_tables_init();
    TextureSlot s;
    set_pattern_slot(&s, 2, {});
    const float p[3] = {0.3f, 0.7f, -1.1f};
    for (float amount : {0.0f, -1.0f}) {
        s.amount = amount;
        float n[3] = {0, 0, 2};  // not unit: untouched means not renormalised
        bump_eval(n, &s, p);
        EXPECT_EQ(n[2], 2.0f);
    }
    // Kinds above 7 only renormalise.
    s.amount = 1.0f;
    s.kind = 8;
    float n[3] = {0, 0, 2};
    bump_eval(n, &s, p);
    EXPECT_FLOAT_EQ(n[2], 1.0f);
    // Kind 2: half a noise vector at amount 0.5.
    s.kind = 2;
    s.amount = 0.5f;
    float m[3] = {0, 0, 1};
    bump_eval(m, &s, p);
    double v[3];
    noise3_vec(v, p[0], p[1], p[2]);
    const float want[3] = {float(0.5 * v[0]), float(0.5 * v[1]), float(1 + 0.5 * v[2])};
    const double l = length(want);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(m[c], want[c] / l, 1e-6);
}

TEST(Bump, EveryKindGivesAUnitNormal) {
    texture_tables_init();
    for (int kind = 2; kind <= 7; ++kind) {
        TextureSlot s;
        set_pattern_slot(&s, kind, {});
        s.pattern.turbulence_on = 1;
        s.pattern.turbulence[0] = 0.5f;
        for (float x : {0.0f, 0.37f, -12.5f, 1e17f}) {
            const float p[3] = {x, 2.0f * x, -x};
            float n[3] = {0, 1, 0};
            bump_eval(n, &s, p);
            EXPECT_NEAR(length(n), 1.0, 1e-5) << kind << " " << x;
        }
    }
}

TEST(Bump, GreyRampTiltsAlongTheTangent) {
    // Height grows by g per pixel along u: du = 2 g amount, along T = N x y.
    const int step = 10;
    auto img = grey_ramp_image(12, 6, step);
    const double g = step / 255.0;  // luminance per pixel (0.299 + 0.587 + 0.114 = 1)
    TextureSlot s;
    set_image_slot(&s, img.get(), kMappingModePlanar, 1);
    for (float amount : {0.5f, 1.0f, 2.0f}) {
        s.amount = amount;
        const float p[3] = {0.0f, 0.0f, 0.0f};  // the middle of the map
        float n[3] = {0, 0, 1};
        bump_eval(n, &s, p);
        // T = (0, 0, 1) x (0, 1, 0) = (-1, 0, 0); n = du T + N before normalising.
        const double du = 2 * g * amount;
        EXPECT_NEAR(n[0], -du / std::sqrt(1 + du * du), 1e-5) << amount;
        EXPECT_NEAR(n[1], 0.0, 1e-6);
        EXPECT_NEAR(n[2], 1 / std::sqrt(1 + du * du), 1e-5);
    }
    // A flat image leaves the direction unchanged.
    auto flat = grey_ramp_image(8, 8, 0);
    s.mapping.image = flat.get();
    float n[3] = {0.6f, 0.0f, 0.8f};
    const float p[3] = {0.1f, 0.2f, 0};
    bump_eval(n, &s, p);
    EXPECT_NEAR(n[0], 0.6f, 1e-6);
    EXPECT_NEAR(n[2], 0.8f, 1e-6);
}

TEST(Bump, ImageFrameAlongTheYAxis) {
    // N along y: T = (1, 0, 0), B = (0, 0, +-1) by the sign of N.y, also for a short
    // interpolated normal.
    auto img = grey_ramp_image(12, 6, 10);
    TextureSlot s;
    set_image_slot(&s, img.get(), kMappingModePlanar, 1);
    struct Case {
        float ny;
        float want_y;
    } cases[] = {{1.0f, 1.0f}, {0.5f, 1.0f}, {-1.0f, -1.0f}, {-0.25f, -1.0f}};
    for (const Case& c : cases) {
        float n[3] = {0, c.ny, 0};
        const float p[3] = {0, 0, 0};
        bump_eval(n, &s, p);
        EXPECT_GT(n[0], 0.0f) << c.ny;  // du along T = +x
        EXPECT_GT(n[1] * c.want_y, 0.0f) << c.ny;
    }
}

TEST(Bump, DoubleFormMatchesTheFloatForm) {
    texture_tables_init();
    TextureSlot s;
    set_pattern_slot(&s, 4, {});
    const float p[3] = {1.5f, -0.25f, 3.0f};
    const double pd[3] = {p[0], p[1], p[2]};
    float n[3] = {0.0f, 0.6f, 0.8f};
    double nd[3] = {0.0, 0.6f, 0.8f};
    bump_eval(n, &s, p);
    bump_eval_d(nd, &s, pd);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(n[c], nd[c], 1e-6);
}
