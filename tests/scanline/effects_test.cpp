// Fog, halo, spot factor, light combination and the intensity model at worked values.
#include <gtest/gtest.h>

#include <cmath>

#include "model/material/material.h"
#include "render/scanline/fog_halo.h"
#include "render/scanline/shading.h"

TEST(Fog, WorkedValues) {
    const float white[4] = {1, 1, 1, 0};
    struct Case {
        double a, m, d;
        bool on;
        double haze;
    } cases[] = {
        {0.5, 0.98, 100, true, 0.98},    // 0.98 keeps fog on
        {0.5, 0.981, 100, false, 0.99},  // above: off, haze 0.99
        {0.5, -1.0, 100, true, 0.0},     // negative haze becomes 0
        {0.5, 0.2, 0.0, false, 0.2},     // no distance: no fog instead of a division by zero
        {0.5, 0.2, -5, false, 0.2},
    };
    for (const Case& c : cases) {
        FogSettings f;
        fog_setup(&f, c.a, c.m, c.d, white);
        EXPECT_EQ((f.flags & kFogOn) != 0, c.on) << c.m << " " << c.d;
        EXPECT_DOUBLE_EQ(f.haze, c.haze);
        EXPECT_TRUE(std::isfinite(f.rate));
    }
    // Off: the background still gets 1% of the fog colour.
    FogSettings off;
    const float red[4] = {1, 0, 0, 0};
    fog_setup(&off, 0.5, 0.981, 100, red);
    float bg[3] = {0, 0, 1};
    fog_far(&off, bg);
    EXPECT_NEAR(bg[0], 0.01, 1e-6);
    EXPECT_NEAR(bg[2], 0.99, 1e-6);
    // a = 0.5 with m = 0.6 becomes 0.61: the factor at D is 0.61.
    FogSettings f;
    fog_setup(&f, 0.5, 0.6, 50, white);
    EXPECT_NEAR(fog_factor(&f, 50), 0.61, 1e-9);
    EXPECT_NEAR(fog_factor(&f, 0), 1.0, 1e-12);
    fog_setup(&f, 0.3, 0.1, 80, red);
    EXPECT_NEAR(fog_factor(&f, 80), 0.3, 1e-9);
    EXPECT_NEAR(fog_factor(&f, 1e6), 0.1, 1e-9);
    float c[3] = {0, 0, 1};
    fog_apply(&f, 0, c);
    EXPECT_FLOAT_EQ(c[2], 1.0f);
}

TEST(Halo, WorkedValues) {
    const float white[3] = {1, 1, 1};
    HaloSettings h;
    halo_setup_values(&h, 0.0, 50);
    float out[3] = {0, 0, 0};
    halo_add(&h, 10, 10, 10, 10, white, out);
    EXPECT_EQ(out[0] + out[1] + out[2], 0.0f);  // brightness 0 adds nothing

    halo_setup_values(&h, 1.0, 50);
    halo_set_image(&h, 100, 100);
    float centre[3] = {0, 0, 0};
    halo_add(&h, 10, 10, 10, 10, white, centre);
    // rho = 0: glow factors 1 each, plus the same streak term on every channel.
    EXPECT_GE(centre[0], 1.0f);
    EXPECT_FLOAT_EQ(centre[0], centre[1]);
    EXPECT_FLOAT_EQ(centre[1], centre[2]);

    // A huge size would make S non-positive: it is floored, rho stays finite.
    halo_setup_values(&h, 1.0, 1e9);
    EXPECT_GT(h.size, 0.0);
    float far[3] = {0, 0, 0};
    halo_add(&h, 0, 0, 50, 50, white, far);
    EXPECT_TRUE(std::isfinite(far[0]));

    // The ring lies strictly between 0.32 and 0.44: find pixel distances giving rho
    // just inside and exactly at the bounds and compare red with its ring-free value.
    halo_setup_values(&h, 1.0, 0.0);  // S = 100.1
    h.pixel_scale = 1.0;
    h.streak = 0.0;
    auto rho_at = [&](double r) { return (r * r + r) * 0.02 / h.size; };
    auto r_for = [&](double rho) {  // solve r^2 + r = rho S / 0.02
        const double k = rho * h.size / 0.02;
        return (-1 + std::sqrt(1 + 4 * k)) / 2;
    };
    for (double rho : {0.32, 0.44}) {
        const double r = r_for(rho);
        ASSERT_NEAR(rho_at(r), rho, 1e-9);
        float v[3] = {0, 0, 0};
        halo_add(&h, 0, r, 0, 0, white, v);
        EXPECT_NEAR(v[0], 1.0 / (4 * rho + 1), 1e-4) << rho;  // no ring term
    }
    float in[3] = {0, 0, 0};
    const double mid = 0.38;
    halo_add(&h, 0, r_for(mid), 0, 0, white, in);
    EXPECT_GT(in[0], 1.0 / (4 * mid + 1) + 0.1);  // ring adds 40 w
}

TEST(Shading, SpotFactorTable) {
    RenderLight l;
    l.spot = 1;
    l.position = {0, 0, 10};
    l.target = {0, 0, 0};
    struct Case {
        double c;  // cosine between the axis and the direction to the point
        float exponent, inner, outer;
        double want;
    } cases[] = {
        {1.0, 0, 0, 0, 1.0},
        {0.5, 2, 0, 0, 0.25},
        {0.95, 0, 0.9, 0.8, 1.0},   // inside the inner cone
        {0.7, 0, 0.9, 0.8, 0.0},    // outside the outer cone
        {0.85, 0, 0.9, 0.8, 0.5},   // s = 0.5: smoothstep 0.5
        {0.82, 0, 0.9, 0.8, 0.2 * 0.2 * (3 - 0.4)},
        {0.85, 0, 0.8, 0.8, 1.0},   // inner equals outer: c >= inner
        {-0.5, 0, 0, 0, 0.0},       // behind the spot
    };
    for (const Case& c : cases) {
        l.spot_exponent = c.exponent;
        l.inner = c.inner;
        l.outer = c.outer;
        // u points from the lit point toward the light: the axis is -z, so a point
        // at angle acos(c) from it sees the light along (-sin, 0, cos).
        const double s = std::sqrt(std::max(0.0, 1 - c.c * c.c));
        EXPECT_NEAR(render_spot_factor({-s, 0, c.c}, &l), c.want, 1e-6) << c.c;
    }
    l.target = l.position;  // no direction: lights nothing
    EXPECT_EQ(render_spot_factor({0, 0, 1}, &l), 0.0);
}

TEST(Shading, IntensityExponentsAndBackFaces) {
    RenderContext ctx;
    ctx.view_dir = {0, 0, 1};
    const Vec3 pos = {0, 6, 8};  // c = 0.8 at the origin with normal +z
    const float white[4] = {1, 1, 1, 0};
    render_light_add(&ctx, &pos, white);
    MaterialRecord m;
    m.shininess = 0;
    m.diffuse = 1;
    double d, h;
    struct Case {
        float exponent;
        double want;
    } cases[] = {{1.0f, 0.8}, {1.0001f, std::pow(0.8, 1.0001)}, {2.0f, 0.64}};
    for (const Case& c : cases) {
        m.diffuse_exponent = c.exponent;
        render_intensity(&ctx, &m, {0, 0, 0}, {0, 0, 1}, &d, &h);
        EXPECT_NEAR(d, c.want, 1e-7) << c.exponent;
    }
    m.diffuse_exponent = 1.0001f;  // applied: differs from the exact 0.8
    render_intensity(&ctx, &m, {0, 0, 0}, {0, 0, 1}, &d, &h);
    EXPECT_NE(d, 0.8);
    // A face seen from behind is lit like its front.
    m.diffuse_exponent = 1;
    render_intensity(&ctx, &m, {0, 0, 0}, {0, 0, -1}, &d, &h);
    EXPECT_DOUBLE_EQ(d, 0.8);
    // Ambient only adds to the diffuse term.
    ctx.ambient = 0.15;
    render_intensity(&ctx, &m, {0, 0, 0}, {0, 0, 1}, &d, &h);
    EXPECT_NEAR(d, 0.95, 1e-12);
}

TEST(Shading, ShadeCombine) {
    MaterialRecord m;
    m.transparency = 0.5f;
    m.reflection_level = 0.0f;
    const float C[3] = {1, 0.5f, 0}, E[3] = {0.1f, 0.1f, 0.1f}, L[3] = {1, 1, 1},
                G[3] = {0.2f, 0.2f, 0.2f};
    float out[3];
    shade_combine(&m, C, E, L, G, out);
    EXPECT_NEAR(out[0], 0.6, 1e-6);
    EXPECT_NEAR(out[1], 0.35, 1e-6);
    m.reflection_level = 0.3f;
    m.flags = kMaterialColourHighlight;
    shade_combine(&m, C, E, L, G, out);
    EXPECT_NEAR(out[0], 0.5 + 0.3, 1e-6);
    EXPECT_NEAR(out[2], 0.0, 1e-6);
}
