// Shading oracles: a shadow's analytic extent and a transparent blocker halving the
// light, a 45-degree mirror showing the patch its reflected ray lands on, a glass slab
// shifting the ray by the analytic amount, and eleven nested panes traced through.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>

#include "model/material/material.h"
#include "render/raytrace/rt_loop.h"
#include "render/raytrace/rt_shade.h"
#include "render/raytrace/rt_slabs.h"
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

namespace {

// The light left by the blockers between (0, 0, 15) and a light straight above at
// (0, 0, 25), searched through the hierarchy (slabs) or object by object.
std::array<float, 3> light_through(RtFrame& f, bool slabs) {
    const bool on = f.slabs.on;
    f.slabs.on = on && slabs;
    RtThread t;
    t.frame = &f;
    std::array<float, 3> c{1, 1, 1};
    rt_shadow_test(t, nullptr, rt_v(0, 0, 15), rt_v(0, 0, 1), 10, c.data());
    f.slabs.on = on;
    return c;
}

}  // namespace

TEST(RtShade, ShadowRaysThroughTheHierarchyFilterAsTheObjectListDoes) {
    // Blockers over the light's path, placed at forty pairs of places among 300 random
    // triangles (which the path misses): two transparent panes at one depth tint by the
    // one earlier in the list; an opaque pane at that depth behind an earlier transparent
    // one is the same crossing; an opaque pane 0.0005 behind a transparent one is too, so
    // the opaque one 0.3 further on blocks the light.
    auto red = matte(1, 0.2f, 0.2f), blue = matte(0.2f, 0.2f, 1), wall = matte(1, 1, 1);
    red->transparency = blue->transparency = 1;
    struct Pane {
        double z;
        const MaterialRecord* m;
    };
    const struct {
        const char* name;
        std::vector<Pane> panes;  // in list order
        std::array<float, 3> light;
        bool one_union = false;  // the panes are the triangles of one union
    } cases[] = {
        {"two transparent at one depth", {{20, red.get()}, {20, blue.get()}}, {1, 0.2f, 0.2f}},
        {"transparent then opaque at one depth", {{20, red.get()}, {20, wall.get()}}, {1, 0.2f, 0.2f}},
        {"opaque just behind transparent, opaque beyond",
         {{20 - 0.0005, red.get()}, {20, wall.get()}, {20.3, wall.get()}},
         {0, 0, 0}},
        {"transparent then opaque of one union at one depth", {{20, red.get()}, {20, wall.get()}}, {1, 0.2f, 0.2f},
         true},
    };
    for (const auto& k : cases) {
        int differ = 0;
        for (int placing = 0; placing < 40; ++placing) {
            RtArena a;
            std::mt19937 rng(placing);
            std::vector<RtObject*> objs;
            for (int i = 0; i < 300; ++i) {
                std::uniform_real_distribution<double> c(-10, 10), e(-1, 1);
                const double x = c(rng), y = c(rng) + 13, z = c(rng) + 15;  // clear of x = y = 0
                objs.push_back(rt_tri(a, rt_f(x + e(rng), y + e(rng), z), rt_f(x + e(rng), y + e(rng), z + 1),
                                      rt_f(x + e(rng), y + e(rng), z - 1)));
            }
            // Each pane later in the list than the one before.
            size_t at = 0;
            std::vector<RtObject*> members;
            for (const Pane& p : k.panes) {
                RtTriangle* t = rt_tri(a, rt_f(-1, -1, p.z), rt_f(1, -1, p.z), rt_f(0, 1, p.z));
                t->material = p.m;
                if (k.one_union) {
                    members.push_back(t);
                    continue;
                }
                at = std::uniform_int_distribution<size_t>(at, objs.size())(rng);
                objs.insert(objs.begin() + std::ptrdiff_t(at++), t);
            }
            if (k.one_union) {
                RtUnion* u = rt_union_new(a);
                for (auto m = members.rbegin(); m != members.rend(); ++m) rt_union_add(u, *m);  // adds at the head
                rt_union_bounds(u);
                objs.insert(objs.begin() + std::ptrdiff_t(std::uniform_int_distribution<size_t>(0, objs.size())(rng)), u);
            }
            RtFrame f;
            f.objects = rt_link(objs);
            f.slabs = rt_build_slabs(f.objects, a);
            ASSERT_TRUE(f.slabs.on);
            const std::array<float, 3> plain = light_through(f, false), slabs = light_through(f, true);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(plain[size_t(c)], k.light[size_t(c)], 1e-6) << k.name;
            differ += plain != slabs;
        }
        EXPECT_EQ(differ, 0) << k.name;
    }
}
