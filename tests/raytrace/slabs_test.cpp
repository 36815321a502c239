// Bounding slabs against the linear search, the threshold, the root of small scenes,
// lights without a shape, and a queue that must grow (a fan of triangles round a ray).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_slabs.h"
#include "rt_test_util.h"

namespace {

std::vector<RtObject*> random_triangles(RtArena& a, int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> c(-10, 10), e(-1, 1);
    std::vector<RtObject*> out;
    for (int i = 0; i < n; ++i) {
        double x = c(rng), y = c(rng), z = c(rng);
        out.push_back(rt_tri(a, rt_f(x + e(rng), y + e(rng), z + e(rng)), rt_f(x + e(rng), y + e(rng), z + e(rng)),
                             rt_f(x + e(rng), y + e(rng), z + e(rng))));
    }
    return out;
}

double linear_nearest(RtObject* list, const RtRay& ray, RtArena& a) {
    double best = 1e30;
    for (RtObject* o = list; o; o = o->next) {
        RtHit h{};
        if (rt_nearest_hit(&h, o, ray, a) && h.depth < best) best = h.depth;
    }
    return best;
}

}  // namespace

TEST(RtSlabs, HierarchyAgreesWithLinearSearch) {
    for (int n : {24, 25, 10000}) {
        RtArena a;
        RtObject* list = rt_link(random_triangles(a, n, 100 + n));
        RtSlabs s = rt_build_slabs(list, a);
        EXPECT_EQ(s.on, n >= 25);
        EXPECT_EQ(s.placed, n);
        RtQueue q;
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> u(-12, 12);
        int rays = n > 1000 ? 3000 : 20000, hits = 0;
        for (int i = 0; i < rays; ++i) {
            RtRay ray{rt_v(u(rng), u(rng), u(rng)), rt_unit(rt_v(u(rng), u(rng), u(rng)))};
            RtHit best{};
            best.depth = 1e30;
            const RtObject* obj = nullptr;
            bool found = rt_slab_intersect(s.root, ray, &best, &obj, q, a);
            double want = linear_nearest(list, ray, a);
            ASSERT_EQ(found, want < 1e30) << n << " ray " << i;
            if (found) {
                ASSERT_EQ(best.depth, want);
                ++hits;
            }
        }
        EXPECT_GT(hits, 50) << n;
    }
}

TEST(RtSlabs, SmallScenesHaveOneRootAndShapelessLightsAreLeftOut) {
    RtArena a;
    auto tris = random_triangles(a, 4, 7);
    float white[4] = {1, 1, 1, 0};
    RtLight* bare = rt_light_create(a, kRtLightPoint, white, rt_f(0, 0, 0), rt_f(0, 0, 1), 1, 0, 0);
    RtLight* shaped = rt_light_create(a, kRtLightPoint, white, rt_f(0, 0, 0), rt_f(0, 0, 1), 1, 0, 0);
    shaped->shape = tris[3];
    std::vector<RtObject*> objs = {tris[0], bare, tris[1], tris[2], shaped};
    RtSlabs s = rt_build_slabs(rt_link(objs), a);
    EXPECT_EQ(s.placed, 4);
    ASSERT_NE(s.root, nullptr);
    ASSERT_TRUE(s.root->type & kRtSlabNode);
    auto* root = static_cast<RtSlabNode*>(s.root);
    EXPECT_EQ(root->count, 4);
    bool has_shape = false;
    for (int k = 0; k < root->count; ++k) {
        EXPECT_NE(root->children[k], bare);
        has_shape |= root->children[k] == tris[3];
    }
    EXPECT_TRUE(has_shape);
    EXPECT_EQ(rt_build_slabs(nullptr, a).root, nullptr);
}

TEST(RtSlabs, BoxChecksFromInsideAndAlongAnAxis) {
    RtArena a;
    RtTriangle* t = rt_tri(a, rt_f(0, 0, 0), rt_f(2, 0, 0), rt_f(0, 2, 2));
    RtQueue q;
    rt_slab_check(q, RtRay{{1, 1, 1}, {1, 0, 0}}, t);  // inside the box: negative entry depth
    ASSERT_EQ(q.size(), 1u);
    EXPECT_LT(q.pop().depth, 0.0);
    rt_slab_check(q, RtRay{{1, 3, 1}, {1, 0, 0}}, t);  // parallel to x, outside the y slab
    rt_slab_check(q, RtRay{{5, 1, 1}, {1, 0, 0}}, t);  // box behind the ray
    EXPECT_TRUE(q.empty());
    rt_slab_check(q, RtRay{{-3, 1, 1}, {1, 0, 0}}, t);
    ASSERT_EQ(q.size(), 1u);
    EXPECT_NEAR(q.pop().depth, 3.0, 1e-12);
    try {
        q.pop();
        FAIL();
    } catch (const RtError& e) {
        EXPECT_EQ(e.code(), kRtErrorGeneral);
    }
}

TEST(RtSlabs, RayAlongTheAxisOfAFanOfTwoThousandTriangles) {
    // Every triangle's box contains the z axis, so every box is queued at once.
    RtArena a;
    std::vector<RtObject*> fan;
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        double ph = 2 * 3.141592653589793 * i / n;
        double z = 1 + i * 0.01;
        fan.push_back(rt_tri(a, rt_f(-0.1 * std::cos(ph), -0.1 * std::sin(ph), z),
                             rt_f(std::cos(ph), std::sin(ph), z), rt_f(std::cos(ph + 0.5), std::sin(ph + 0.5), z + 0.3)));
    }
    RtObject* list = rt_link(fan);
    RtSlabs s = rt_build_slabs(list, a);
    RtQueue q;
    RtRay ray{{0, 0, -5}, {0, 0, 1}};
    RtHit best{};
    best.depth = 1e30;
    const RtObject* obj = nullptr;
    bool found = rt_slab_intersect(s.root, ray, &best, &obj, q, a);
    double want = linear_nearest(list, ray, a);
    ASSERT_LT(want, 1e30);
    ASSERT_TRUE(found);
    EXPECT_EQ(best.depth, want);
    // A ray that misses everything inside every box opens the whole fan.
    RtRay up{{0.0, 0.0, 100}, {0, 0, -1}};
    best.depth = 1e30;
    EXPECT_EQ(rt_slab_intersect(s.root, up, &best, &obj, q, a), linear_nearest(list, up, a) < 1e30);
}

TEST(RtSlabs, BoxesOpenedPerRayGrowLikeTheLogarithmOfTheTriangles) {
    // Small triangles on a unit sphere shell seen from (0, 0, 3): a hundred times the
    // triangles opens only a few times the boxes (log n), never a hundred times.
    double per_ray[3] = {0, 0, 0};
    const int counts[3] = {1000, 10000, 100000};
    for (int k = 0; k < 3; ++k) {
        const int n = counts[k];
        RtArena a;
        std::mt19937 rng(7);
        std::normal_distribution<double> g;
        const double s = 4.0 / std::sqrt(double(n));
        std::vector<RtObject*> tris;
        for (int i = 0; i < n; ++i) {
            const Vec3d c = rt_unit(rt_v(g(rng), g(rng), g(rng)));
            tris.push_back(rt_tri(a, rt_f(c.x + s * g(rng), c.y + s * g(rng), c.z + s * g(rng)),
                                  rt_f(c.x + s * g(rng), c.y + s * g(rng), c.z + s * g(rng)),
                                  rt_f(c.x + s * g(rng), c.y + s * g(rng), c.z + s * g(rng))));
        }
        RtSlabs slabs = rt_build_slabs(rt_link(tris), a);
        RtQueue q;
        std::uniform_real_distribution<double> u(-0.6, 0.6);
        std::mt19937 rays(3);
        const int kRays = 2000;
        for (int i = 0; i < kRays; ++i) {
            RtRay ray{rt_v(0, 0, 3), rt_unit(rt_v(u(rays), u(rays), -3))};
            RtHit best{};
            best.depth = 1e30;
            const RtObject* o = nullptr;
            rt_slab_intersect(slabs.root, ray, &best, &o, q, a);
        }
        per_ray[k] = double(q.opened) / kRays;
    }
    EXPECT_GT(per_ray[0], 1.0);
    EXPECT_LT(per_ray[1], 3 * per_ray[0]);
    EXPECT_LT(per_ray[2], 3 * per_ray[1]);
    EXPECT_LT(per_ray[2], 6 * per_ray[0]) << per_ray[0] << " " << per_ray[1] << " " << per_ray[2];
}
