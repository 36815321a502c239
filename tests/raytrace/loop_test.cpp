// The frame loop: pixel conversion, silhouettes against the camera's projection, images
// identical on any number of threads, a stop that ends the frame, rows in order, and an
// error raised on a worker reaching the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>

#include "model/material/material.h"
#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_loop.h"
#include "rt_test_util.h"

namespace {

// A 160 x 120 perspective frame looking down -z from (0, 0, 10) with lens scale 1.
RtFrame frame_for(RtObject* list, RtArena& a) {
    RtFrame f;
    f.width = 160;
    f.height = 120;
    double aspect = 160.0 / 120.0;
    f.camera.location = rt_v(0, 0, 10);
    f.camera.direction = rt_v(0, 0, -aspect);
    f.camera.right = rt_v(aspect, 0, 0);
    f.camera.up = rt_v(0, 1, 0);
    f.objects = list;
    f.slabs = rt_build_slabs(list, a);
    f.background = {0.5f, 0.25f, 1.0f, 1.0f};
    // Shade by the facing of the hit normal, so edges and facets differ.
    f.shade = [](RtThread&, const RtRay& ray, const RtHit& h, const RtObject*) {
        Vec3d n;
        h.object->methods->normal(&n, nullptr, h.object, h.point);
        float v = static_cast<float>(std::fabs(rt_dot(n, ray.dir)));
        return RtColour{v, v * 0.5f, 0.2f, 0};
    };
    return f;
}

std::vector<uint32_t> render(const RtFrame& f0, int threads, int* rc = nullptr) {
    RtFrame f = f0;
    std::vector<uint32_t> img(static_cast<size_t>(f.width) * f.height, 0xDEADBEEF);
    int expect = 0;
    f.row_writer = [&](int row, int w, const uint32_t* px) {
        EXPECT_EQ(row, expect++);  // in order, each once
        std::copy(px, px + w, img.begin() + static_cast<long>(row) * w);
    };
    int r = rt_trace_rows(f, threads);
    if (rc) *rc = r;
    return img;
}

int count_not(const std::vector<uint32_t>& img, uint32_t bg) {
    int n = 0;
    for (uint32_t p : img) n += p != bg;
    return n;
}

}  // namespace

TEST(RtLoop, PixelConversion) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        RtColour c;
        bool grey;
        uint32_t want;
    } cases[] = {
        {{0.5f, 0.25f, 1.0f, 0}, false, (160u << 16) | (101u << 8) | 255u},
        {{3.0f, -2.0f, nan, 0}, false, 255u << 16},
        {{4.0f, 4.0f, 4.0f, 0}, true, 0xFFFFFFu},
        {{nan, nan, nan, 0}, true, 0u},
        {{1.0f, 0.0f, 0.0f, 0}, true, 0x727272u},  // 0.299^(2/3) x 255 = 114.04
    };
    for (const Case& c : cases) EXPECT_EQ(rt_pixel(c.c, c.grey), c.want);
}

TEST(RtLoop, PixelBytesAreThePowerTwoThirdsOfEveryChannel) {
    // Random channels and the floats either side of every step from one byte to the next.
    auto want = [](float v) { return uint32_t(std::min(255.0, std::pow(double(v), 2.0 / 3.0) * 255.0 + 1e-6)); };
    std::vector<float> values;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int i = 0; i < 30000; ++i) values.push_back(u(rng));
    for (int b = 1; b < 256; ++b) {
        float v = float(std::pow((b - 1e-6) / 255.0, 1.5));
        for (int k = 0; k < 4; ++k) v = std::nextafter(v, 0.0f);
        for (int k = 0; k < 9; ++k, v = std::nextafter(v, 2.0f)) values.push_back(std::min(v, 1.0f));
    }
    for (size_t i = 0; i + 2 < values.size(); ++i) {
        const float r = values[i], g = values[i + 1], b = values[i + 2];
        ASSERT_EQ(rt_pixel({r, g, b, 0}, false), want(r) << 16 | want(g) << 8 | want(b)) << r << " " << g << " " << b;
    }
}

TEST(RtLoop, EmptySceneIsTheBackgroundThroughThePowerTwoThirds) {
    RtArena a;
    RtFrame f = frame_for(nullptr, a);
    std::vector<uint32_t> img = render(f, 2);
    for (uint32_t p : img) ASSERT_EQ(p, (160u << 16) | (101u << 8) | 255u);
}

TEST(RtLoop, SilhouettesMatchTheProjection) {
    RtArena a;
    const uint32_t bg = (160u << 16) | (101u << 8) | 255u;
    // A square of side 2 at distance 10 spans 2 x 1 x 160 / 10 = 32 pixels each way.
    RtUnion* sq = rt_union_new(a);
    rt_union_add(sq, rt_tri(a, rt_f(-1, -1, 0), rt_f(1, -1, 0), rt_f(1, 1, 0)));
    rt_union_add(sq, rt_tri(a, rt_f(-1, -1, 0), rt_f(1, 1, 0), rt_f(-1, 1, 0)));
    rt_union_bounds(sq);
    EXPECT_NEAR(count_not(render(frame_for(sq, a), 1), bg), 32 * 32, 2 * 32);
    // A unit sphere at distance 10: a disc of radius 160 tan(asin 0.1) pixels.
    RtUnion* s = rt_sphere_mesh(a, rt_v(0, 0, 0), 1.0, 40, 80);
    double rad = 160 * std::tan(std::asin(0.1));
    EXPECT_NEAR(count_not(render(frame_for(s, a), 1), bg), 3.141592653589793 * rad * rad, 2 * 3.1416 * rad);
}

TEST(RtLoop, AnyThreadCountGivesTheSameBytes) {
    RtArena a;
    std::vector<RtObject*> objs;
    for (int i = 0; i < 30; ++i)  // enough objects for the hierarchy
        objs.push_back(rt_sphere_mesh(a, rt_v((i % 6) - 2.5, (i / 6) - 2.0, -(i % 3)), 0.45, 8, 12));
    RtObject* list = rt_link(objs);
    for (bool aa : {false, true}) {
        for (double aperture : {0.0, 0.05}) {
            RtFrame f = frame_for(list, a);
            ASSERT_TRUE(f.slabs.on);
            f.antialias = aa;
            f.camera.aperture = aperture;
            f.camera.focal_distance = 10;
            std::vector<uint32_t> one = render(f, 1);
            EXPECT_EQ(render(f, 2), one) << aa << " " << aperture;
            EXPECT_EQ(render(f, 0), one) << aa << " " << aperture;
            EXPECT_GT(count_not(one, (160u << 16) | (101u << 8) | 255u), 1000);
        }
    }
}

TEST(RtLoop, StopEndsTheFrameOnEveryThread) {
    RtArena a;
    RtFrame f = frame_for(rt_sphere_mesh(a, rt_v(0, 0, 0), 1.0, 12, 24), a);
    for (int threads : {1, 4}) {
        int rows = 0;
        f.row_done = [&](int row) {
            ++rows;
            return row == 30 ? 1 : 0;
        };
        int rc = 0;
        render(f, threads, &rc);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(rows, 31) << threads;  // nothing is written after the stop
    }
}

TEST(RtLoop, ErrorOnAWorkerReachesTheCaller) {
    RtArena a;
    RtFrame f = frame_for(rt_sphere_mesh(a, rt_v(0, 0, 0), 1.0, 12, 24), a);
    f.shade = [](RtThread&, const RtRay&, const RtHit&, const RtObject*) -> RtColour {
        rt_error(kRtErrorGeneral, "shade failed");
    };
    try {
        (void)rt_trace_rows(f, 4);
        FAIL();
    } catch (const RtError& e) {
        EXPECT_EQ(e.code(), kRtErrorGeneral);
        EXPECT_STREQ(e.what(), "shade failed");
    }
}

TEST(RtLoop, TraceLevelLimitsNesting) {
    RtArena a;
    RtFrame f = frame_for(nullptr, a);
    RtThread t;
    t.frame = &f;
    f.max_level = 0;
    t.level = -1;
    RtRay ray{{0, 0, 0}, {0, 0, 1}};
    EXPECT_EQ(rt_trace(t, ray).f, 1.0f);  // the primary ray is traced
    t.level = 0;
    EXPECT_EQ(rt_trace(t, ray).f, 0.0f);  // deeper rays are black
}

TEST(RtLoop, StopFlagReachesEveryBandWithinARow) {
    // A square filling the view: every pixel is shaded once. Once the flag is up, each
    // of the four workers may finish at most the row it is on.
    RtArena a;
    RtObject* quad = rt_link({rt_tri(a, rt_f(-50, -50, 0), rt_f(50, -50, 0), rt_f(50, 50, 0)),
                              rt_tri(a, rt_f(-50, -50, 0), rt_f(50, 50, 0), rt_f(-50, 50, 0))});
    RtFrame f = frame_for(quad, a);
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0}, after{0};
    f.stop = &stop;
    f.shade = [&](RtThread&, const RtRay&, const RtHit&, const RtObject*) {
        if (stop.load()) ++after;
        if (++calls == f.width + 1) stop = true;  // early in a band's second row
        return RtColour{1, 1, 1, 0};
    };
    int rc = 0;
    render(f, 4, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_LE(after.load(), 4 * f.width);
    EXPECT_LT(calls.load(), f.width * f.height / 2);
}

TEST(RtLoop, PatternedBackgroundGoesOnPastTheImageEdges) {
    RtArena a;
    RtFrame f = frame_for(nullptr, a);
    MaterialRecord m;
    f.scene_material = &m;
    const RtRay inside{{0, 0, 10}, rt_unit(rt_v(0.1, 0.1, -1))};
    const RtRay beyond{{0, 0, 10}, rt_unit(rt_v(3, 0, -1))};
    const RtRay behind{{0, 0, 10}, rt_v(0, 0, 1)};
    struct Case {
        int32_t kind;
        bool inside, beyond;
    } cases[] = {{kTextureNone, true, false}, {kTextureImage, true, false}, {kTexturePatternFirst, true, true}};
    for (const Case& c : cases) {
        m.slots[kSlotTexture].kind = c.kind;
        double uv[2] = {-9, -9};
        EXPECT_EQ(rt_background_uv(f, inside, uv), c.inside) << c.kind;
        EXPECT_EQ(rt_background_uv(f, beyond, uv), c.beyond) << c.kind;
        if (c.beyond) {
            EXPECT_GT(uv[0], 1.0);
        }
        EXPECT_FALSE(rt_background_uv(f, behind, uv)) << c.kind;
    }
}
