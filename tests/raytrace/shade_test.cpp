// Shading oracles: a shadow's analytic extent and a transparent blocker halving the
// light, a 45-degree mirror showing the patch its reflected ray lands on, a glass slab
// shifting the ray by the analytic amount, and eleven nested panes traced through.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/material/material.h"
#include "render/raytrace/rt_loop.h"
#include "rt_test_util.h"

namespace {

std::unique_ptr<MaterialRecord> matte(float r, float g, float b) {
    auto m = std::make_unique<MaterialRecord>();
    m->colour[0] = r;
    m->colour[1] = g;
    m->colour[2] = b;
    m->colour[3] = 0;
    m->diffuse = 1;
    m->shininess = 0;
    m->second_highlight = 0;
    m->reflection_level = 0;
    m->transparency = 0;
    return m;
}

// A square in a plane: centre c, half-extent vectors a and b; normal along a x b.
RtUnion* quad(RtArena& ar, const Vec3d& c, const Vec3d& a, const Vec3d& b, const MaterialRecord* m) {
    auto p = [&](double s, double t) { Vec3d v = c + s * a + t * b; return rt_f(v.x, v.y, v.z); };
    RtUnion* u = rt_union_new(ar);
    rt_union_add(u, rt_tri(ar, p(-1, -1), p(1, -1), p(1, 1)));
    rt_union_add(u, rt_tri(ar, p(-1, -1), p(1, 1), p(-1, 1)));
    for (RtObject* o = u->children; o; o = o->next) o->material = m;
    u->material = m;
    rt_union_bounds(u);
    return u;
}

RtColour trace_down(RtFrame& f, double x, double y, double z = 20) {
    RtThread t;
    t.frame = &f;
    t.level = -1;
    return rt_trace(t, RtRay{{x, y, z}, {0, 0, -1}});
}

}  // namespace

TEST(RtShade, ShadowOfASquareAndATransparentBlocker) {
    RtArena a;
    auto floor_m = matte(1, 1, 1), block_m = matte(1, 1, 1);
    RtUnion* floor = quad(a, rt_v(0, 0, 0), rt_v(20, 0, 0), rt_v(0, 20, 0), floor_m.get());
    RtUnion* block = quad(a, rt_v(0, 0, 5), rt_v(1, 0, 0), rt_v(0, 1, 0), block_m.get());
    float white[4] = {1, 1, 1, 0};
    RtFrame f;
    f.objects = rt_link({floor, block});
    f.lights = rt_light_create(a, kRtLightPoint, white, rt_f(0, 0, 10), rt_f(0, 0, 0), 1, 0, 0);
    auto unlit = [](double x, double y) { return 10 / std::sqrt(x * x + y * y + 100); };
    const double px = 0.05;  // a pixel of a 160-wide view over 8 units
    // The shadow of [-1,1]^2 at half the light's height spans [-2,2]^2 on the floor.
    for (double x = 0; x < 3.5; x += 0.01) {
        float r = trace_down(f, x, 1.5).r;
        if (x < 2 - px) {
            EXPECT_LT(r, 0.003f) << x;
        } else if (x > 2 + px) {
            EXPECT_NEAR(r, unlit(x, 1.5), 1e-5) << x;
        }
    }
    block_m->transparency = 0.5f;
    for (double x : {0.3, 1.0, 1.8})
        EXPECT_NEAR(trace_down(f, x, 1.5).r, 0.5 * unlit(x, 1.5), 1e-5) << x;
    f.shadows = false;
    EXPECT_NEAR(trace_down(f, 1.0, 1.5).r, unlit(1.0, 1.5), 1e-5);
}

TEST(RtShade, MirrorShowsThePatchItsRayLandsOn) {
    RtArena a;
    auto mirror_m = matte(0, 0, 0), patch_m = matte(1, 0, 0);
    mirror_m->diffuse = 0;
    mirror_m->reflection_level = 1;
    patch_m->diffuse = 0;
    patch_m->self_illumination = 1;
    const double h = std::sqrt(0.5);
    // The mirror y + z = 0 sends rays coming down along +y; the patch stands at y = 5.
    RtUnion* mirror = quad(a, rt_v(0, 0, 0), rt_v(3, 0, 0), rt_v(0, 3 * h, -3 * h), mirror_m.get());
    RtUnion* patch = quad(a, rt_v(0, 5, 0), rt_v(1, 0, 0), rt_v(0, 0, 1), patch_m.get());
    RtFrame f;
    f.objects = rt_link({mirror, patch});
    RtColour in = trace_down(f, 0.5, 0), out = trace_down(f, 1.5, 0);
    EXPECT_NEAR(in.r, 1.0, 1e-6);
    EXPECT_NEAR(in.g, 0.0, 1e-6);
    EXPECT_NEAR(out.r, 0.0, 1e-6);
    f.reflections = false;
    EXPECT_NEAR(trace_down(f, 0.5, 0).r, 0.0, 1e-6);
}

TEST(RtShade, GlassSlabShiftsTheRay) {
    RtArena a;
    auto glass = matte(1, 1, 1), patch_m = matte(1, 0, 0);
    glass->diffuse = 0;
    glass->transparency = 1;
    glass->refraction = 1.5f;
    patch_m->diffuse = 0;
    patch_m->self_illumination = 1;
    // Slab between z = 0 (facing up) and z = -2 (facing down); a thin patch at z = -10
    // where the ray from (0, 0, 10) at 30 degrees lands once shifted.
    RtUnion* top = quad(a, rt_v(0, 0, 0), rt_v(50, 0, 0), rt_v(0, 50, 0), glass.get());
    RtUnion* bottom = quad(a, rt_v(0, 0, -2), rt_v(0, 50, 0), rt_v(50, 0, 0), glass.get());
    const double i = 30 * 3.141592653589793 / 180, r = std::asin(std::sin(i) / 1.5);
    double land = 20 * std::tan(i) - 2 * std::sin(i - r) / std::cos(r) / std::cos(i);
    RtUnion* patch = quad(a, rt_v(land, 0, -10), rt_v(0.05, 0, 0), rt_v(0, 1, 0), patch_m.get());
    RtFrame f;
    f.objects = rt_link({top, bottom, patch});
    RtThread t;
    t.frame = &f;
    RtRay ray{{0, 0, 10}, {std::sin(i), 0, -std::cos(i)}};
    t.level = -1;
    EXPECT_NEAR(rt_trace(t, ray).r, 1.0, 1e-5);
    glass->refraction = 1.0f;  // unbent, the ray passes beside the patch
    t.level = -1;
    EXPECT_NEAR(rt_trace(t, ray).r, 0.0, 1e-6);
}

TEST(RtShade, ElevenNestedPanesAreTracedThrough) {
    RtArena a;
    std::vector<std::unique_ptr<MaterialRecord>> mats;
    std::vector<RtObject*> objs;
    for (int k = 0; k < 11; ++k) {
        mats.push_back(matte(1, 1, 1));
        mats.back()->diffuse = 0;
        mats.back()->transparency = 1;
        mats.back()->refraction = 1.2f + 0.05f * k;
        objs.push_back(quad(a, rt_v(0, 0, -k), rt_v(10, 0, 0), rt_v(0, 10, 0), mats.back().get()));
    }
    auto floor_m = matte(0, 0, 0);
    floor_m->diffuse = 0;
    floor_m->self_illumination = 1;
    floor_m->colour[1] = 1;
    objs.push_back(quad(a, rt_v(0, 0, -20), rt_v(30, 0, 0), rt_v(0, 30, 0), floor_m.get()));
    RtFrame f;
    f.objects = rt_link(objs);
    f.max_level = 20;
    RtColour c = trace_down(f, 0.2, 0.3);
    EXPECT_NEAR(c.g, 1.0, 1e-5);
}
