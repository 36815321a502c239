// Ray-tracer pools, hit lists and primitives: allocation classes, hit lists that never
// drop a hit, triangle hits against worked depths, a sphere mesh against the sphere,
// smooth normals and spot cones.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "render/raytrace/rt_error.h"
#include "rt_test_util.h"

TEST(RtPool, SeventeenthElementStartsASecondBlockAndAllIsFreed) {
    RtArena a;
    for (int i = 0; i < 16; ++i) a.pool_alloc(40);
    EXPECT_EQ(a.pool_blocks(40), 1);
    a.pool_alloc(40);
    EXPECT_EQ(a.pool_blocks(40), 2);
    a.pool_alloc(200);
    EXPECT_EQ(a.pool_classes(), 2);
    void* big = a.alloc(1 << 20);
    static_cast<char*>(big)[(1 << 20) - 1] = 1;
    a.free_all();
    EXPECT_EQ(a.pool_classes(), 0);
    EXPECT_EQ(a.pool_blocks(40), 0);
}

TEST(RtPool, FullHitListGrowsSoTheNearestHitSurvives) {
    RtArena a;
    RtHitList* l = a.hit_list_get();
    for (int i = 0; i < 65; ++i) {
        RtHit* h = a.hit_list_slot(l);
        h->depth = 100.0 - i;  // the 65th hit is the nearest
        h->object = nullptr;
        RtArena::hit_list_push(l);
    }
    EXPECT_EQ(l->count, 65u);
    double nearest = 1e30;
    RtHit h;
    while (RtArena::hit_list_pop(l, &h)) nearest = std::fmin(nearest, h.depth);
    EXPECT_EQ(nearest, 36.0);
    EXPECT_FALSE(RtArena::hit_list_pop(l, &h));
    EXPECT_EQ(l->count, 0u);
    a.hit_list_put(l);
    EXPECT_EQ(a.hit_list_get(), l);  // recycled
}

TEST(RtError, MessagesAreCutAt255Characters) {
    try {
        rt_error(kRtErrorGeneral, std::string(400, 'x').c_str());
        FAIL();
    } catch (const RtError& e) {
        EXPECT_EQ(e.code(), 153);
        EXPECT_EQ(std::string(e.what()).size(), 255u);
    }
}

// The unit square [-1,1]^2 at z = 0 as two triangles in a union.
static RtUnion* square(RtArena& a) {
    RtUnion* u = rt_union_new(a);
    rt_union_add(u, rt_tri(a, rt_f(-1, -1, 0), rt_f(1, -1, 0), rt_f(1, 1, 0)));
    rt_union_add(u, rt_tri(a, rt_f(-1, -1, 0), rt_f(1, 1, 0), rt_f(-1, 1, 0)));
    rt_union_bounds(u);
    return u;
}

TEST(RtTriangle, DepthLimitsAndParallelRays) {
    RtArena a;
    RtUnion* sq = square(a);
    struct Case {
        Vec3d o, d;
        bool hit;
        double depth;
    } cases[] = {
        {{0.3, 0.2, 5}, {0, 0, -1}, true, 5.0},
        {{0.3, 0.2, -5}, {0, 0, 1}, true, 5.0},         // from behind too
        {{0.3, 0.2, 0.0005}, {0, 0, -1}, false, 0},     // starts on the surface
        {{0.3, 0.2, 0.001}, {0, 0, -1}, true, 0.001},
        {{0.3, 0.2, 2e7}, {0, 0, -1}, false, 0},        // beyond 1e7
        {{0, 0, 2}, {0, 0, -2}, true, 1.0},             // depth in direction lengths
        {{-5, 0.1, 0}, {1, 0, 0}, false, 0},            // in the plane
        {{-5, 0.1, 0.0005}, {1, 0, -0.0009}, false, 0}, // |N.D| < 0.001
        {{0, 0, 5}, {0.22, 0.1, -1}, false, 0},         // lands at x 1.1
        {{0.99, 0.99, 3}, {0, 0, -1}, true, 3.0},
        {{1.01, 0.5, 3}, {0, 0, -1}, false, 0},
    };
    for (const Case& c : cases) {
        RtHit h{};
        bool hit = rt_nearest_hit(&h, sq, RtRay{c.o, c.d}, a);
        EXPECT_EQ(hit, c.hit) << c.o.x << " " << c.o.y << " " << c.o.z;
        if (hit && c.hit) {
            EXPECT_NEAR(h.depth, c.depth, 1e-12);
        }
    }
}

TEST(RtTriangle, PrimaryCacheGivesTheSameDepths) {
    RtArena a;
    RtUnion* sq = square(a);
    Vec3d eye{0.1, 0.2, 7};
    rt_primary_cache(sq, eye);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.5, 1.5);
    for (int i = 0; i < 500; ++i) {
        Vec3d d = rt_v(u(rng), u(rng), -3.0);
        RtHit h1{}, h2{};
        bool a1 = rt_nearest_hit(&h1, sq, RtRay{eye, d, true}, a);
        bool a2 = rt_nearest_hit(&h2, sq, RtRay{eye, d, false}, a);
        ASSERT_EQ(a1, a2);
        if (a1) {
            EXPECT_NEAR(h1.depth, h2.depth, 1e-12);
        }
    }
}

TEST(RtTriangle, SphereMeshDepthsWithinTheChordSag) {
    RtArena a;
    const double r = 1.0;
    RtUnion* s = rt_sphere_mesh(a, rt_v(0, 0, 0), r, 71, 71);  // about 10^4 triangles
    const double sag = r * (1 - std::cos(3.141592653589793 / 71));
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-1.2, 1.2);
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        double x = u(rng), y = u(rng);
        Vec3d o{x, y, 5};
        RtHit h{};
        bool hit = rt_nearest_hit(&h, s, RtRay{o, {0, 0, -1}}, a);
        double rr = x * x + y * y;
        if (rr < r * r * 0.95) {
            ASSERT_TRUE(hit);
            double exact = 5 - std::sqrt(r * r - rr);
            EXPECT_GE(h.depth, exact - 1e-9);
            // the flat facets lie inside the sphere by at most the sag; along a slanting ray
            // that grows with the secant of the incidence (twice, for the tilted facet)
            EXPECT_LE(h.depth - exact, 2 * sag / std::sqrt(1 - rr / (r * r)) + 1e-9);
            ++hits;
        } else if (rr > r * r) {
            EXPECT_FALSE(hit);
        }
    }
    EXPECT_GT(hits, 100);
}

TEST(RtSmoothTriangle, NormalsBlendBarycentrically) {
    RtArena a;
    double uv1[2] = {0, 0}, uv2[2] = {1, 0}, uv3[2] = {0, 1};
    Vec3 n1 = rt_f(0, 0, 1), n2 = rt_f(1, 0, 1), n3 = rt_f(0, 1, 1);
    RtSmoothTriangle* t = rt_smooth_triangle_new(a, rt_v(0, 0, 1), rt_f(0, 0, 0), rt_f(2, 0, 0), rt_f(0, 2, 0),
                                                 n1, n2, n3, uv1, uv2, uv3);
    Vec3d un[3] = {rt_unit(rt_v(n1)), rt_unit(rt_v(n2)), rt_unit(rt_v(n3))};
    struct Case {
        double b1, b2, b3;
    } cases[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1. / 3, 1. / 3, 1. / 3}, {0.5, 0.5, 0}, {0.2, 0.3, 0.5}};
    for (const Case& c : cases) {
        Vec3d p = rt_v(2 * c.b2, 2 * c.b3, 0);
        Vec3d n, uv;
        t->methods->normal(&n, &uv, t, p);
        Vec3d want = rt_unit(c.b1 * un[0] + c.b2 * un[1] + c.b3 * un[2]);
        EXPECT_NEAR(n.x, want.x, 1e-9);
        EXPECT_NEAR(n.y, want.y, 1e-9);
        EXPECT_NEAR(n.z, want.z, 1e-9);
        EXPECT_NEAR(uv.x, c.b2, 1e-6);
        EXPECT_NEAR(uv.y, c.b3, 1e-6);
        EXPECT_EQ(uv.z, 0.0);
    }
}

TEST(RtLight, SpotCone) {
    RtArena a;
    float white[4] = {1, 1, 1, 0};
    RtLight* spot = rt_light_create(a, kRtLightSpot, white, rt_f(0, 0, 10), rt_f(0, 0, 0), 1.0, 0.9, 0.8);
    RtLight* dead = rt_light_create(a, kRtLightSpot, white, rt_f(1, 1, 1), rt_f(1, 1, 1), 1.0, 0.9, 0.8);
    RtLight* point = rt_light_create(a, kRtLightPoint, white, rt_f(0, 0, 10), rt_f(9, 9, 9), 1.0, 0.9, 0.8);
    EXPECT_EQ(point->target.z, 1.0);  // a point light keeps the defaults
    EXPECT_EQ(point->spot_exponent, 10.0);
    auto toward = [](double c) { return rt_v(std::sqrt(1 - c * c), 0, c); };  // from the surface up to the light
    struct Case {
        const RtLight* l;
        Vec3d dir;
        double want;
    } cases[] = {
        {point, {0, 1, 0}, 1.0},
        {dead, {0, 0, 1}, 0.0},
        {spot, {0, 0, -1}, 0.0},  // behind
        {spot, toward(1.0), 1.0},
        {spot, toward(0.95), 0.95},
        {spot, toward(0.79), 0.0},
        {spot, toward(0.85), 0.85 * 0.5},
    };
    for (const Case& c : cases) EXPECT_NEAR(rt_spot_attenuation(c.l, c.dir), c.want, 1e-9);
}

TEST(RtUnion, ComplementTurnsAUnionIntoAnIntersectionAndBack) {
    RtArena a;
    RtUnion* u = rt_union_new(a);
    RtUnion* inner1 = rt_union_new(a);
    RtUnion* inner2 = rt_union_new(a);
    rt_union_add(inner1, rt_tri(a, rt_f(-1, -1, 0), rt_f(1, -1, 0), rt_f(0, 1, 0)));
    rt_union_add(inner2, rt_tri(a, rt_f(-1, -1, 1), rt_f(1, -1, 1), rt_f(0, 1, 1)));
    rt_union_add(u, inner1);
    rt_union_add(u, inner2);
    RtHit h{};
    RtRay down{{0, 0, 5}, {0, 0, -1}};
    ASSERT_TRUE(rt_nearest_hit(&h, u, down, a));
    EXPECT_NEAR(h.depth, 4.0, 1e-12);
    u->methods->complement(u);
    // triangles are never inside anything, so an intersection of them keeps no hit
    EXPECT_FALSE(rt_nearest_hit(&h, u, down, a));
    u->methods->complement(u);
    EXPECT_TRUE(rt_nearest_hit(&h, u, down, a));
}
