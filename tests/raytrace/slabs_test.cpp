// Bounding slabs against the linear search, the threshold, the root of small scenes,
// lights without a shape, and a queue that must grow (a fan of triangles round a ray);
// ties between coincident surfaces, and the same answers from hierarchies built on any
// number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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

namespace {

// The linear search's answer: the nearest hit, of equal ones the object first in the list.
const RtObject* linear_pick(RtObject* list, const RtRay& ray, RtArena& a, double* depth) {
    const RtObject* pick = nullptr;
    *depth = 1e30;
    for (RtObject* o = list; o; o = o->next) {
        RtHit h{};
        if (rt_nearest_hit(&h, o, ray, a) && h.depth < *depth) *depth = h.depth, pick = o;
    }
    return pick;
}

// Every hit below the nearest ending hit, those at its depth of objects earlier in the
// list, and that hit (the first object's of several at its depth), from the list in order.
std::vector<RtObjectHit> linear_collect(RtObject* list, const RtRay& ray, double max_depth, RtArena& a,
                                        RtHitEndsFn ends, void* context) {
    std::vector<RtObjectHit> all;
    RtHitList* hits = a.hit_list_get();
    for (RtObject* o = list; o; o = o->next) {
        hits->count = 0;
        if (o->methods->all_intersections(o, ray, hits, a))
            for (uint32_t i = 0; i < hits->count; ++i)
                if (hits->hits[i].depth < max_depth) all.push_back({hits->hits[i], o});
    }
    a.hit_list_put(hits);
    size_t end = all.size();
    for (size_t i = 0; i < all.size(); ++i)
        if (ends(all[i], context) && (end == all.size() || all[i].hit.depth < all[end].hit.depth)) end = i;
    if (end == all.size()) return all;
    std::vector<RtObjectHit> out;
    for (size_t i = 0; i < all.size(); ++i)
        if (i <= end ? all[i].hit.depth <= all[end].hit.depth : all[i].hit.depth < all[end].hit.depth)
            out.push_back(all[i]);
    return out;
}

void by_depth(std::vector<RtObjectHit>* v) {
    std::sort(v->begin(), v->end(), [](const RtObjectHit& x, const RtObjectHit& y) {
        return x.hit.depth != y.hit.depth ? x.hit.depth < y.hit.depth : x.object < y.object;
    });
}

// Ends on the triangles of the set (context).
bool ends_on(const RtObjectHit& h, void* context) {
    const auto& set = *static_cast<const std::vector<const RtObject*>*>(context);
    return std::find(set.begin(), set.end(), h.object) != set.end();
}

}  // namespace

TEST(RtSlabs, CoincidentSurfacesGoToTheObjectFirstInTheList) {
    // Thirty copies of one triangle among random ones: whatever the hierarchy, a ray
    // through them finds the copy the linear search finds, the first in the list, and
    // a search ending on every copy appends that one alone at its depth.
    for (int threads : {1, 4}) {
        RtArena a;
        std::vector<RtObject*> objs = random_triangles(a, 200, 5);
        std::vector<const RtObject*> copies;
        for (int i = 0; i < 30; ++i) {
            RtTriangle* t = rt_tri(a, rt_f(-1, -1, 20), rt_f(1, -1, 20), rt_f(0, 1, 20));
            objs.insert(objs.begin() + 7 * i + 3, t);
            copies.push_back(t);
        }
        const RtObject* first = nullptr;
        RtObject* list = rt_link(objs);
        for (RtObject* o = list; o && !first; o = o->next)
            if (std::find(copies.begin(), copies.end(), o) != copies.end()) first = o;
        RtSlabs s = rt_build_slabs(list, a, threads);
        RtQueue q;
        for (const Vec3d& from : {rt_v(0, 0, 30), rt_v(0.2, -0.3, 40), rt_v(0, 0, 10)}) {
            const RtRay ray{from, rt_unit(rt_v(0.1, 0.05, 20) - from)};
            RtHit best{};
            best.depth = 1e30;
            const RtObject* obj = nullptr;
            ASSERT_TRUE(rt_slab_intersect(s.root, ray, &best, &obj, q, a)) << threads;
            double want = 0;
            EXPECT_EQ(linear_pick(list, ray, a, &want), first);
            EXPECT_EQ(obj, first) << threads;
            EXPECT_EQ(best.depth, want);
            std::vector<RtObjectHit> got;
            rt_slab_collect(s.root, ray, 1e30, &got, q, a, ends_on, &copies);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].object, first);
        }
    }
}

TEST(RtSlabs, SearchesMatchTheLinearSearchHitForHitOnAnyThreadCount) {
    // Random triangles, one in five repeated later in the list (ties), through
    // hierarchies built on one and on four threads.
    for (int n : {300, 20000}) {
        RtArena a;
        std::vector<RtObject*> objs = random_triangles(a, n, 11 + n);
        std::vector<const RtObject*> opaque;
        for (int i = 0; i < n; i += 5) {
            auto* t = static_cast<RtTriangle*>(objs[size_t(i)]);
            RtTriangle* copy = rt_triangle_new(a, t->n, rt_f(t->p1.x, t->p1.y, t->p1.z),
                                               rt_f(t->p2.x, t->p2.y, t->p2.z), rt_f(t->p3.x, t->p3.y, t->p3.z));
            objs.push_back(copy);
            opaque.push_back(i % 2 ? copy : objs[size_t(i)]);
        }
        RtObject* list = rt_link(objs);
        RtSlabs one = rt_build_slabs(list, a, 1), four = rt_build_slabs(list, a, 4);
        RtQueue q;
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> u(-12, 12);
        int hits = 0;
        for (int i = 0; i < 2000; ++i) {
            const RtRay ray{rt_v(u(rng), u(rng), u(rng)), rt_unit(rt_v(u(rng), u(rng), u(rng)))};
            double want = 0;
            const RtObject* pick = linear_pick(list, ray, a, &want);
            std::vector<RtObjectHit> expect = linear_collect(list, ray, 15, a, ends_on, &opaque);
            by_depth(&expect);
            for (const RtSlabs* s : {&one, &four}) {
                RtHit best{};
                best.depth = 1e30;
                const RtObject* obj = nullptr;
                ASSERT_EQ(rt_slab_intersect(s->root, ray, &best, &obj, q, a), pick != nullptr) << n << " " << i;
                ASSERT_EQ(obj, pick) << n << " ray " << i;
                if (pick) {
                    ASSERT_EQ(best.depth, want);
                }
                std::vector<RtObjectHit> got;
                rt_slab_collect(s->root, ray, 15, &got, q, a, ends_on, &opaque);
                by_depth(&got);
                ASSERT_EQ(got.size(), expect.size()) << n << " ray " << i;
                for (size_t k = 0; k < got.size(); ++k) {
                    ASSERT_EQ(got[k].object, expect[k].object) << n << " ray " << i;
                    ASSERT_EQ(got[k].hit.depth, expect[k].hit.depth);
                }
            }
            hits += pick != nullptr;
        }
        EXPECT_GT(hits, 100) << n;
    }
}

TEST(RtSlabs, PacketsFindWhatEachRayFindsAlone) {
    // Random triangles with repeated ones (ties) and two meshes; packets of 1 to 8 rays
    // from one point in close directions (camera rays) and from scattered points
    // (directions of either sign on an axis go one by one).
    RtArena a;
    std::vector<RtObject*> objs = random_triangles(a, 3000, 7);
    for (int i = 0; i < 3000; i += 3) {
        auto* t = static_cast<RtTriangle*>(objs[size_t(i)]);
        objs.push_back(rt_tri(a, rt_f(t->p1.x, t->p1.y, t->p1.z), rt_f(t->p2.x, t->p2.y, t->p2.z),
                              rt_f(t->p3.x, t->p3.y, t->p3.z)));
    }
    objs.push_back(rt_sphere_mesh(a, rt_v(0, 0, 0), 3, 8, 12));
    objs.push_back(rt_sphere_mesh(a, rt_v(4, 4, -4), 2, 6, 10));
    RtObject* list = rt_link(objs);
    RtSlabs s = rt_build_slabs(list, a, 2);
    RtQueue q;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-12, 12), spread(-0.02, 0.02);
    int seen = 0;
    for (int p = 0; p < 3000; ++p) {
        const int count = 1 + p % kRtPacketRays;
        const bool scattered = p % 3 == 0;
        const Vec3d from = rt_v(u(rng), u(rng), u(rng)), toward = rt_unit(rt_v(u(rng), u(rng), u(rng)));
        RtRay rays[kRtPacketRays];
        const RtRay* ptrs[kRtPacketRays];
        RtHit hits[kRtPacketRays];
        const RtObject* got[kRtPacketRays] = {};
        for (int i = 0; i < count; ++i) {
            rays[i].origin = scattered ? rt_v(u(rng), u(rng), u(rng)) : from;
            rays[i].dir = scattered ? rt_unit(rt_v(u(rng), u(rng), u(rng)))
                                    : rt_unit(toward + rt_v(spread(rng), spread(rng), spread(rng)));
            ptrs[i] = &rays[i];
            hits[i].depth = 1e30;
        }
        const uint32_t found = rt_slab_intersect_packet(s.root, ptrs, count, hits, got, q, a);
        for (int i = 0; i < count; ++i) {
            RtHit alone{};
            alone.depth = 1e30;
            const RtObject* want = nullptr;
            ASSERT_EQ((found >> i & 1) != 0, rt_slab_intersect(s.root, rays[i], &alone, &want, q, a)) << p;
            ASSERT_EQ(got[i], want) << p << " ray " << i;
            if (!want) continue;
            ++seen;
            EXPECT_EQ(hits[i].depth, alone.depth);
            EXPECT_EQ(hits[i].point.x, alone.point.x);
            EXPECT_EQ(hits[i].point.y, alone.point.y);
            EXPECT_EQ(hits[i].point.z, alone.point.z);
            EXPECT_EQ(hits[i].object, alone.object);
        }
    }
    EXPECT_GT(seen, 3000);
}

TEST(RtSlabs, TheSameHierarchyNodeForNodeOnAnyThreadCount) {
    // Enough triangles that subtrees cut off for the workers are cut again.
    RtArena a;
    RtObject* list = rt_link(random_triangles(a, 100000, 9));
    const auto* one = static_cast<const RtSlabNode*>(rt_build_slabs(list, a, 1).root);
    const auto* eight = static_cast<const RtSlabNode*>(rt_build_slabs(list, a, 8).root);
    ASSERT_EQ(one->levels, eight->levels);
    std::vector<const RtSlabNode*> todo{one};
    size_t nodes = 0;
    while (!todo.empty()) {
        const RtSlabNode* n = todo.back();
        todo.pop_back();
        const size_t number = size_t(n - one);
        ASSERT_EQ(std::memcmp(&one->boxes[number], &eight->boxes[number], sizeof(RtSlabBoxes)), 0) << number;
        for (int k = 0; k < n->count; ++k)
            if (n->children[k]->type & kRtSlabNode) todo.push_back(static_cast<const RtSlabNode*>(n->children[k]));
        ++nodes;
    }
    EXPECT_GT(nodes, 30000u);
    EXPECT_EQ(std::memcmp(one->ranks, eight->ranks, sizeof(uint32_t) * 100000), 0);
}
