// Resampling of vertex chains: linear subdivision and equal chord-length steps along
// a cubic spline.
#include "tests/mesh/mesh_support.h"

#include <limits>
#include <memory>

#include "alloc_fail.h"
#include "model/math/result.h"

namespace {

std::vector<double> xs(const Chain& c) {
    std::vector<double> out;
    for (const Vec3d& p : c.points()) out.push_back(p.x);
    return out;
}

std::vector<double> coords(const Chain& c) {
    std::vector<double> out;
    for (const Vec3d& p : c.points()) out.insert(out.end(), {p.x, p.y, p.z});
    return out;
}

TEST(ChainSubdivide, SpreadsTheExtraPointsFromTheFirstSegment) {
    struct Case {
        std::vector<Vec3> pts;
        bool closed;
        int n, result;
        std::vector<double> x;
    } cases[] = {
        // Three segments to seven: the first cut into 3, the others into 2.
        {{{0, 0, 0}, {3, 0, 0}, {6, 0, 0}, {9, 0, 0}}, false, 7, 0, {0, 1, 2, 3, 4.5, 6, 7.5, 9}},
        {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, 2, 0, {0, 1, 2}},   // already n
        {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, 1, 1, {0, 1, 2}},   // more than n
        {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, -4, 1, {0, 1, 2}},
        {{{5, 5, 5}}, false, 9, 0, {5}},                               // no segments
        {{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}, true, 6, 0, {0, 1, 2, 2, 2, 1}},  // a ring has 3
        {{{0, 0, 0}, {1, 0, 0}}, false, kChainMaxSegments + 1, 1, {0, 1}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.pts.size() << " points to " << k.n);
        Chain c(k.pts, k.closed);
        PointNode* head = c.get();
        EXPECT_EQ(chain_subdivide(head, k.n), k.result);
        EXPECT_EQ(c.get(), head);
        EXPECT_EQ(xs(c), k.x);
        EXPECT_EQ(plist_is_closed(c.get()), k.closed);
    }
    EXPECT_EQ(chain_subdivide(nullptr, 3), 0);
}

TEST(ChainSplineResample, EqualChordStepsAlongTheCurve) {
    // Uneven points on a straight line come out evenly spaced.
    Chain line({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {5, 0, 0}, {10, 0, 0}});
    ASSERT_EQ(chain_spline_resample(line.get(), 4), 0);
    EXPECT_EQ(xs(line), (std::vector<double>{0, 2.5, 5, 7.5, 10}));
    // Points on a quarter circle: the spline keeps close to the circle (a natural
    // spline has no curvature at its ends, so it strays most there).
    std::vector<Vec3> quarter;
    for (int i = 0; i <= 6; ++i)
        quarter.push_back(Vec3{static_cast<float>(std::cos(i * kPiD / 12)), static_cast<float>(std::sin(i * kPiD / 12)), 0});
    Chain arc(quarter);
    ASSERT_EQ(chain_spline_resample(arc.get(), 30), 0);
    const auto pts = arc.points();
    ASSERT_EQ(pts.size(), 31u);
    EXPECT_NEAR(pts.back().y, 1, 1e-6);
    for (size_t i = 1; i < pts.size(); ++i) {
        EXPECT_NEAR(std::hypot(pts[i].x, pts[i].y), 1.0, 4e-3);
        EXPECT_NEAR(std::hypot(pts[i].x - pts[i - 1].x, pts[i].y - pts[i - 1].y), kPiD / 60, 2e-3);
    }
    // A ring is sampled round its loop and stays a ring; a single point repeats.
    Chain ring({{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}}, true);
    ASSERT_EQ(chain_spline_resample(ring.get(), 12), 0);
    EXPECT_EQ(plist_count(ring.get()), 12);
    EXPECT_TRUE(plist_is_closed(ring.get()));
    Chain single({{3, 4, 5}});
    ASSERT_EQ(chain_spline_resample(single.get(), 3), 0);
    EXPECT_EQ(xs(single), (std::vector<double>{3, 3, 3, 3}));
}

TEST(ChainSplineResample, RefusesWhatItCannotDoAndLeavesTheChain) {
    Chain c({{0, 0, 0}, {1, 0, 0}});
    Chain bad({{0, 0, 0}, {std::numeric_limits<float>::quiet_NaN(), 0, 0}});
    EXPECT_EQ(chain_spline_resample(nullptr, 3), 1);
    EXPECT_EQ(chain_spline_resample(c.get(), 0), 1);
    EXPECT_EQ(chain_spline_resample(c.get(), -2), 1);
    EXPECT_EQ(chain_spline_resample(c.get(), kChainMaxSegments + 1), 1);
    EXPECT_EQ(chain_spline_resample(bad.get(), 3), 1);
    EXPECT_EQ(xs(c), (std::vector<double>{0, 1}));
    EXPECT_EQ(plist_count(bad.get()), 2);
}

// With the Nth allocation failing, for every N, both operations either finish or
// answer out of memory (8) with the chain as it was, open or closed.
TEST(ChainResampling, OutOfMemoryIsToldAsSuchAndLeavesTheChain) {
    const std::vector<Vec3> pts = {{0, 0, 0}, {3, 0, 0}, {3, 2, 0}, {1, 4, 0}, {0, 2, 0}};
    struct Case {
        const char* name;
        int (*op)(VertexChain*, int);
        bool closed;
        int n;
    } cases[] = {
        {"subdivide", chain_subdivide, false, 9},
        {"subdivide ring", chain_subdivide, true, 11},
        {"spline", chain_spline_resample, false, 7},
        {"spline ring", chain_spline_resample, true, 12},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<Chain> c = std::make_unique<Chain>(pts, k.closed);
        const std::vector<double> before = coords(*c);
        ASSERT_EQ(k.op(c->get(), k.n), 0);
        const std::vector<double> whole = coords(*c);
        const long runs = walk_failures(
            [&] { return k.op(c->get(), k.n); },
            [&](int r, bool, long n) {
                EXPECT_EQ(coords(*c), r == 0 ? whole : before) << "allocation " << n;
                if (r != 0) {
                    EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                }
                EXPECT_EQ(plist_is_closed(c->get()), k.closed);
            },
            [&] { c = std::make_unique<Chain>(pts, k.closed); });
        EXPECT_GT(runs, 1);
    }
}

}  // namespace
