// Procedural textures: ramps, the patterns' values, the evaluator's blend and the
// slots that cannot be read.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/surface/noise.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"
#include "render/surface/texture.h"
#include "surface_test_util.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Rgb {
    float r, g, b;
};

Rgb eval_at(const TextureSlot& s, double x, double y, double z) {
    const float base[4] = {0.5f, 0.5f, 0.5f, 0};
    const double p[3] = {x, y, z};
    float out[4];
    texture_eval_d(out, base, &s, p);
    return {out[0], out[1], out[2]};
}

}  // namespace

TEST(Ramp, Lookup) {
    ColourRampKey keys[3] = {{0.25, 1, 0, 0, 0}, {0.5, 0, 1, 0, 0}, {1.0, 0, 0, 1, 1}};
    ColourRamp r = {3, 0, keys};
    struct Case {
        double t;
        float red, green, blue;
    } cases[] = {{0.0, 1, 0, 0}, {-3, 1, 0, 0}, {0.375, 0.5f, 0.5f, 0}, {1.0, 0, 0, 1},
                 {7.0, 0, 0, 1}, {kNaN, 1, 0, 0}};
    for (const Case& c : cases) {
        float out[4];
        ASSERT_TRUE(colour_ramp_eval(out, &r, c.t));
        EXPECT_FLOAT_EQ(out[0], c.red) << c.t;
        EXPECT_FLOAT_EQ(out[1], c.green) << c.t;
        EXPECT_FLOAT_EQ(out[2], c.blue) << c.t;
    }
    // Keys out of order never read past the last key.
    ColourRampKey bad[3] = {{0.9, 1, 0, 0, 0}, {0.1, 0, 1, 0, 0}, {0.5, 0, 0, 1, 0}};
    ColourRamp u = {3, 0, bad};
    float out[4];
    EXPECT_TRUE(colour_ramp_eval(out, &u, 0.05));
    EXPECT_TRUE(colour_ramp_eval(out, &u, 0.3));
    // No keys: nothing to read.
    ColourRamp none = {0, 0, nullptr};
    EXPECT_FALSE(colour_ramp_eval(out, &none, 0.5));
    EXPECT_FALSE(colour_ramp_eval(out, nullptr, 0.5));
}

TEST(Ramp, OneReachesTheLastKeyAndBozoStartsWhite) {
    TextureSlot s;
    set_pattern_slot(&s, 8, {{0.0, 1, 0, 0, 0}, {1.0, 0, 0, 1, 0}});
    float out[4];
    ASSERT_TRUE(texture_ramp_lookup(out, &s, 1.0));
    EXPECT_EQ(out[2], 1.0f);  // the wrap by 1.00001 keeps 1.0
    MaterialRecord m;
    ASSERT_EQ(texture_preset_apply(&m, &kPresetsTexture, 1), 1);  // "Bozo"
    ASSERT_TRUE(texture_ramp_lookup(out, &m.slots[0], 0.39));
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(out[2], 1.0f);
}

TEST(Pattern, Values) {
    TextureSlot s;
    set_pattern_slot(&s, 15, {{0, 0, 0, 0, 0}, {1, 1, 1, 1, 0}});
    // Radial: 0.25 on the z axis; a quarter turn further at +x.
    EXPECT_EQ(pattern_radial(0.0005, -0.0005, 9), 0.25);
    EXPECT_NEAR(pattern_radial(0, 1, 0), 0.75, 1e-12);
    EXPECT_NEAR(pattern_radial(1, 0, 0), 1.0, 1e-12);
    // Fractal: inside the set 1, escaping at once 0; octaves 0 counts as one.
    s.pattern.octaves = 20;
    EXPECT_EQ(pattern_fractal(0, 0, 0, &s), 1.0);
    EXPECT_EQ(pattern_fractal(-1, 0, 0, &s), 1.0);
    EXPECT_EQ(pattern_fractal(3, 3, 0, &s), 0.0);
    s.pattern.octaves = 0;
    EXPECT_EQ(pattern_fractal(0, 0, 0, &s), 1.0);
    EXPECT_EQ(pattern_fractal(3, 0, 0, &s), 0.0);
    // Onion rings and the leopard's squares.
    EXPECT_NEAR(pattern_onion(3, 4, 0), 0.0, 1e-12);
    EXPECT_NEAR(pattern_onion(0, 1.5, 0), 0.5, 1e-12);
    EXPECT_NEAR(pattern_leopard(0, 0, 0), 0.0, 1e-12);
    // Hexagon: every value is one of the three colours, also far away.
    for (double c : {0.3, 2.7, -4.1, 1e16, -1e16, 3e16 + 1, 1e17})
        for (double d : {0.1, -2.2, 1e16, -1e16 + 7, 5.196152424}) {
            const double v = pattern_hexagon(c, d, 0);
            EXPECT_TRUE(v == 0 || v == 0.5 || v == 1) << c << " " << d;
        }
}

TEST(Pattern, CheckerCubes) {
    TextureSlot s;
    set_pattern_slot(&s, 3, {{0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}});
    // Unit cubes alternate between the two keys.
    for (int x = -2; x < 2; ++x)
        for (int y = -2; y < 2; ++y)
            for (int z = -1; z < 1; ++z) {
                const Rgb c = eval_at(s, x + 0.5, y + 0.5, z + 0.5);
                EXPECT_EQ(c.r, ((x + y + z) & 1) ? 1.0f : 0.0f) << x << y << z;
            }
    // A frequency above the key count gives a cell of one unit, not a division by 0.
    s.pattern.frequency = 5.0f;
    EXPECT_GE(pattern_checker(0.5, 0.5, 0.5, &s), 0.0);
    s.pattern.frequency = 0.0f;
    EXPECT_TRUE(std::isfinite(pattern_checker(0.5, 1e17, -1e17, &s)));
}

TEST(Pattern, BrickMortar) {
    MaterialRecord m;
    texture_preset_apply(&m, &kPresetsTexture, 32);  // "Brick I": mortar black, bricks white
    const TextureSlot& s = m.slots[0];
    // Frequency 4: rows of 0.25; mortar 0.05 wide along x and z, 0.2 of a row.
    EXPECT_EQ(eval_at(s, 0.5, 0.01, 0.5).r, 0.0f);   // bottom of a row
    EXPECT_EQ(eval_at(s, 0.02, 0.1, 0.5).r, 0.0f);   // a vertical joint
    EXPECT_EQ(eval_at(s, 0.5, 0.1, 0.5).r, 1.0f);    // brick
    EXPECT_EQ(eval_at(s, 0.52, 0.35, 0.3).r, 0.0f);  // odd row: joints shifted by 0.5
    EXPECT_EQ(eval_at(s, 0.02, 0.35, 0.3).r, 1.0f);
}

TEST(Texture, EvaluatorRules) {
    TextureSlot s;
    set_pattern_slot(&s, 8, {{0, 1, 0, 0, 0}, {1, 0, 0, 1, 0}});
    const float base[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    const float p[3] = {1.25f, -2.5f, 3.75f};
    float out[4];
    // Amount 0 and kind 0 copy the base.
    for (auto set : {+[](TextureSlot* t) { t->amount = 0; }, +[](TextureSlot* t) { t->amount = -0.0f; },
                     +[](TextureSlot* t) { t->kind = 0; }}) {
        TextureSlot c;
        set_pattern_slot(&c, 8, {{0, 1, 0, 0, 0}});
        set(&c);
        texture_eval(out, base, &c, p);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], base[i]);
    }
    // Kind 5 and unknown kinds, and a slot without ramp (a file's unknown preset).
    for (int kind : {5, 17, 99, -3}) {
        s.kind = kind;
        texture_eval(out, base, &s, p);
        EXPECT_EQ(out[1], base[1]) << kind;
    }
    for (int kind = 2; kind <= 16; ++kind) {
        TextureSlot none;
        set_pattern_slot(&none, kind, {});
        texture_eval(out, base, &none, p);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], base[i]) << kind;
    }
    // A per-call amount replaces the slot's without writing it.
    s.kind = 8;
    s.amount = 0.0f;
    TextureCall call;
    call.amount = 1.0f;
    texture_eval(out, base, &s, p, &call);
    EXPECT_NE(out[1], base[1]);
    EXPECT_EQ(s.amount, 0.0f);
}

TEST(Texture, FloatAndDoubleFormsAgree) {
    MaterialRecord m;
    for (int row = 0; row < kPresetsTexture.count; ++row) {
        texture_preset_apply(&m, &kPresetsTexture, row);
        for (int k = 0; k < 50; ++k) {
            const float p[3] = {k * 0.37f - 9.0f, k * 0.11f, -k * 0.23f};
            const double d[3] = {p[0], p[1], p[2]};
            const float base[4] = {0.1f, 0.2f, 0.3f, 0.0f};
            float a[4], b[4];
            texture_eval(a, base, &m.slots[0], p);
            texture_eval_d(b, base, &m.slots[0], d);
            for (int c = 0; c < 4; ++c) EXPECT_EQ(a[c], b[c]) << row;
        }
    }
}

TEST(Texture, HostilePointsStayInRange) {
    MaterialRecord m;
    const double inf = std::numeric_limits<double>::infinity();
    const double points[][3] = {{kNaN, 0, 0}, {inf, -inf, kNaN}, {1e300, -1e300, 1e17},
                                {-1e17, 1e17, 1e16}, {1e16, 3e16, -5e16}};
    for (int row = 0; row < kPresetsTexture.count; ++row) {
        texture_preset_apply(&m, &kPresetsTexture, row);
        m.slots[0].pattern.octaves = 255;
        for (const auto& p : points) {
            const float base[4] = {0.5f, 0.5f, 0.5f, 0.5f};
            float out[4];
            texture_eval_d(out, base, &m.slots[0], p);
            for (float c : out) EXPECT_TRUE(c >= 0.0f && c <= 1.0f) << row;
        }
    }
}
