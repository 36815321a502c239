// Image-mapping defaults and matrix, procedural pattern parameters and their masked copy.
#include <gtest/gtest.h>

#include <cstring>

#include "model/material/material.h"

namespace {

Vec3d apply(const Matrix43& m, Vec3d p) {
    const double* a = m.m;
    return {p.x * a[0] + p.y * a[3] + p.z * a[6] + a[9],
            p.x * a[1] + p.y * a[4] + p.z * a[7] + a[10],
            p.x * a[2] + p.y * a[5] + p.z * a[8] + a[11]};
}

TEST(TextureMapping, InitResetsEverything) {
    TextureMapping m;
    std::memset(static_cast<void*>(&m), 0x5a, sizeof m);
    texture_mapping_init(&m);
    EXPECT_EQ(m.interpolation, 1);
    EXPECT_EQ(m.flags, 0);
    EXPECT_EQ(m.u_scale, 1.0f);
    EXPECT_EQ(m.v_scale, 1.0f);
    EXPECT_EQ(m.u_offset, 0.0f);
    EXPECT_EQ(m.v_offset, 0.0f);
    EXPECT_EQ(m.angle, 0.0f);
    EXPECT_EQ(m.spare, 0.0f);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(m.matrix.m[i], (i == 0 || i == 4 || i == 8) ? 1 : 0);
    for (float c : m.key_colour) EXPECT_EQ(c, 0.0f);
    EXPECT_EQ(m.image, nullptr);
}

struct MatrixCase {
    const char* name;
    double us, vs, angle;
    bool mirror_u, mirror_v;
    double uo, vo;
    Vec3d in, out;
};

// Hand-computed: scale, shift by the offsets, turn about (0.5, -0.5), then mirror.
const MatrixCase kMatrixCases[] = {
    {"defaults are the identity", 1, 1, 0, false, false, 0, 0, {0.3, -0.7, 2}, {0.3, -0.7, 2}},
    {"90 deg keeps the tile centre", 1, 1, 90, false, false, 0, 0, {0.5, -0.5, 0}, {0.5, -0.5, 0}},
    {"90 deg turns (1, 0)", 1, 1, 90, false, false, 0, 0, {1, 0, 0}, {0, 0, 0}},
    {"90 deg turns (0, 0)", 1, 1, 90, false, false, 0, 0, {0, 0, 0}, {0, -1, 0}},
    {"180 deg", 1, 1, 180, false, false, 0, 0, {0, 0, 0}, {1, -1, 0}},
    {"offsets subtract", 1, 1, 0, false, false, 0.25, -0.5, {0.5, 0, 0}, {0.25, 0.5, 0}},
    {"u scale before the offset", 2, 1, 0, false, false, 0.25, 0, {1, 0, 0}, {1.75, 0, 0}},
    {"v scale before the offset", 1, 3, 0, false, false, 0, 0.5, {0, -0.1, 0}, {0, -0.8, 0}},
    {"scale before the turn", 2, 1, 90, false, false, 0, 0, {0.5, 0, 0}, {0, 0, 0}},
    {"mirror u", 1, 1, 0, true, false, 0, 0, {0.3, -0.2, 0}, {0.7, -0.2, 0}},
    {"mirror v", 1, 1, 0, false, true, 0, 0, {0.3, -0.2, 0}, {0.3, 1.2, 0}},
    {"both mirrors", 1, 1, 0, true, true, 0, 0, {0.3, -0.2, 0}, {0.7, 1.2, 0}},
    {"mirror after the offset", 1, 1, 0, true, false, 0.1, 0, {0.3, 0, 0}, {0.8, 0, 0}},
    {"mirror after the turn", 1, 1, 90, true, false, 0, 0, {1, 0, 0}, {1, 0, 0}},
    {"all at once, z passes through",
     2,
     3,
     45,
     true,
     true,
     0.5,
     0.5,
     {0, 0, 7},
     {0.5 + 0.70710678118654752, 1.5 + 0.70710678118654752, 7}},
};

TEST(TextureMapping, BuildMatrixMapsHandComputedPoints) {
    for (const MatrixCase& c : kMatrixCases) {
        SCOPED_TRACE(c.name);
        Matrix43 m;
        texture_mapping_build_matrix(&m, c.us, c.vs, c.angle, c.mirror_u, c.mirror_v, c.uo, c.vo);
        const Vec3d p = apply(m, c.in);
        EXPECT_NEAR(p.x, c.out.x, 1e-12);
        EXPECT_NEAR(p.y, c.out.y, 1e-12);
        EXPECT_NEAR(p.z, c.out.z, 1e-12);
    }
}

TEST(TextureMapping, QuarterTurnsComposeToAFullTurn) {
    Matrix43 m;
    texture_mapping_build_matrix(&m, 1, 1, 90, false, false, 0, 0);
    Vec3d p = {0.2, -0.9, 0};
    for (int i = 0; i < 4; ++i) p = apply(m, p);
    EXPECT_NEAR(p.x, 0.2, 1e-12);
    EXPECT_NEAR(p.y, -0.9, 1e-12);
}

PatternParams distinct_params() {
    PatternParams p;
    p.turbulence_on = 0;  // deliberately out of step with the vector
    p.turbulence[0] = 0.0f;
    p.turbulence[1] = 0.5f;
    p.turbulence[2] = 0.0f;
    p.frequency = 3.0f;
    p.phase = 0.25f;
    p.noise_amount = 0.05f;
    p.octaves = 7;
    p.extra = 9;
    return p;
}

TEST(PatternParams, CopyMaskedByBit) {
    struct Row {
        int32_t mask;
        bool turbulence, frequency, phase, octaves, noise, extra;
    } rows[] = {
        {0, false, false, false, false, false, false},
        {kPatternCopyTurbulence, true, false, false, false, false, false},
        {kPatternCopyFrequency, false, true, false, false, false, false},
        {kPatternCopyPhase, false, false, true, false, false, false},
        {kPatternCopyOctaves, false, false, false, true, false, false},
        {kPatternCopyNoiseAmount, false, false, false, false, true, false},
        {kPatternCopyExtra, false, false, false, false, false, true},
        {kPatternCopyPhase | kPatternCopyExtra, false, false, true, false, false, true},
        {kPatternCopyAll, true, true, true, true, true, true},
    };
    const PatternParams src = distinct_params();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mask);
        PatternParams d;
        pattern_params_init(&d);
        pattern_params_copy_masked(&d, &src, r.mask);
        EXPECT_EQ(d.turbulence[1], r.turbulence ? 0.5f : 0.0f);
        EXPECT_EQ(d.turbulence_on, r.turbulence ? 1 : 0);  // recomputed, not copied
        EXPECT_EQ(d.frequency, r.frequency ? 3.0f : 1.0f);
        EXPECT_EQ(d.phase, r.phase ? 0.25f : 0.0f);
        EXPECT_EQ(d.octaves, r.octaves ? 7 : 4);
        EXPECT_EQ(d.noise_amount, r.noise ? 0.05f : 0.2f);
        EXPECT_EQ(d.extra, r.extra ? 9 : 2);
    }
}

TEST(PatternParams, TurbulenceFlagFollowsTheCopiedVector) {
    PatternParams src;
    pattern_params_init(&src);
    src.turbulence_on = 1;  // stale: the vector is zero
    PatternParams d = distinct_params();
    d.turbulence_on = 1;
    pattern_params_copy_masked(&d, &src, kPatternCopyTurbulence);
    EXPECT_EQ(d.turbulence_on, 0);

    src.turbulence[2] = -0.1f;
    pattern_params_copy_masked(&d, &src, kPatternCopyTurbulence);
    EXPECT_EQ(d.turbulence_on, 1);
}

}  // namespace
