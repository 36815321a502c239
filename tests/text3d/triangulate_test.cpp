// The contour toolkit: boxes and turning sense, insets (square, spikes, coincident
// neighbours), the crossing rules, hole bridges and ear clipping (triangle, convex
// hexagon, collinear runs, both winding orders and their edge bits).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "commands/model3d/triangulate.h"
#include "model/math/types.h"
#include "text3d_support.h"
#include "triangulate_reference.h"

namespace {

struct Tri {
    int32_t a, b, c;
    int bits;
    bool operator==(const Tri& o) const { return a == o.a && b == o.b && c == o.c && bits == o.bits; }
};

void collect(void* ctx, int32_t, int32_t a, int32_t b, int32_t c, int bits) {
    static_cast<std::vector<Tri>*>(ctx)->push_back({a, b, c, bits});
}

ContourRecord record(std::vector<Vec3d>* pts, int32_t first, int32_t last) {
    ContourRecord r;
    EXPECT_EQ(contour_init_range(&r, vector_vertex_io, pts, first, last), 0);
    contour_update_box(&r, 0);
    return r;
}

std::vector<Tri> triangulate(const ContourRecord& r, int32_t base = 0) {
    std::vector<Tri> out;
    int32_t n = 0;
    EXPECT_EQ(contour_triangulate(&out, &n, r, collect, base), 0);
    EXPECT_EQ(n, static_cast<int32_t>(out.size()));
    return out;
}

TEST(ContourBox, BoxAndTurningSense) {
    std::vector<Vec3d> cw = {{0, 0, 5}, {0, 2, 7}, {3, 2, 1}, {3, 0, 0}};
    ContourRecord r = record(&cw, 0, 3);
    EXPECT_EQ(r.clockwise, 1);
    EXPECT_EQ(r.box_min[0], 0);
    EXPECT_EQ(r.box_max[0], 3);
    EXPECT_EQ(r.box_max[1], 2);
    EXPECT_EQ(r.box_min[2], 5);  // z stays the first vertex's
    EXPECT_EQ(r.box_max[2], 5);
    std::vector<Vec3d> ccw(cw.rbegin(), cw.rend());
    EXPECT_EQ(record(&ccw, 0, 3).clockwise, 0);
    // Too short a range leaves the record alone.
    ContourRecord one;
    ASSERT_EQ(contour_init_range(&one, vector_vertex_io, &cw, 2, 2), 0);
    one.clockwise = 7;
    contour_update_box(&one, 0);
    EXPECT_EQ(one.clockwise, 7);
}

TEST(ContourTriangulate, TriangleIsOneFaceAllEdgesVisible) {
    std::vector<Vec3d> p = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
    ContourRecord r = record(&p, 0, 2);
    EXPECT_EQ(triangulate(r), (std::vector<Tri>{{2, 0, 1, 7}}));
}

TEST(ContourTriangulate, IndicesPast16Bits) {
    // A contour whose vertices sit past index 32767 keeps its indices.
    std::vector<Vec3d> p(70003);
    p[70000] = {0, 0, 0}, p[70001] = {0, 1, 0}, p[70002] = {1, 0, 0};
    ContourRecord r = record(&p, 70000, 70002);
    EXPECT_EQ(r.entries[2].vertex, 70002);
    EXPECT_EQ(triangulate(r), (std::vector<Tri>{{70002, 70000, 70001, 7}}));
}

TEST(ContourTriangulate, ConvexHexagonTakesEverySecondPosition) {
    // Clockwise and counter-clockwise hexagons give the same ears.
    for (int dir : {-1, 1}) {
        std::vector<Vec3d> p;
        for (int i = 0; i < 6; ++i) p.push_back({std::cos(dir * i * M_PI / 3), std::sin(dir * i * M_PI / 3), 0});
        p.resize(12);
        for (int i = 0; i < 6; ++i) p[6 + i] = p[i];
        ContourRecord r = record(&p, 0, 5);
        EXPECT_EQ(r.clockwise, dir < 0 ? 1 : 0);
        // Front (ring base 0): (pred, ear, succ), bits 1 and 4 exchanged.
        EXPECT_EQ(triangulate(r, 0), (std::vector<Tri>{{5, 0, 1, 3}, {1, 2, 3, 3}, {3, 4, 5, 3}, {5, 1, 3, 0}}));
        // Any other base: (pred, succ, ear), bits as found.
        EXPECT_EQ(triangulate(r, 6),
                  (std::vector<Tri>{{11, 7, 6, 6}, {7, 9, 8, 6}, {9, 11, 10, 6}, {11, 9, 7, 0}}));
    }
}

double area2(const std::vector<Vec3d>& p, const Tri& t) {
    const Vec3d &a = p[t.a], &b = p[t.b], &c = p[t.c];
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

TEST(ContourTriangulate, CollinearRunsAreConsumed) {
    // A clockwise square with two extra points on each side: 12 entries, 10 faces,
    // all of them the square's area, none reversed.
    std::vector<Vec3d> p;
    const double c[4][2] = {{0, 0}, {0, 3}, {3, 3}, {3, 0}};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 3; ++k) {
            const double* a = c[s];
            const double* b = c[(s + 1) % 4];
            p.push_back({a[0] + (b[0] - a[0]) * k / 3, a[1] + (b[1] - a[1]) * k / 3, 0});
        }
    ContourRecord r = record(&p, 0, 11);
    const std::vector<Tri> t = triangulate(r);
    ASSERT_EQ(t.size(), 10u);
    double sum = 0;
    for (const Tri& f : t) {
        const double a = area2(p, f);
        EXPECT_LE(a, 1e-12);  // clockwise or flat
        sum += a;
    }
    EXPECT_NEAR(sum, -18.0, 1e-9);
}

TEST(ContourTriangulate, ReflexVertexBlocksWrongEars) {
    // A clockwise arrow-head: vertex 2 is reflex; no face may cover the notch.
    std::vector<Vec3d> p = {{0, 0, 0}, {0, 4, 0}, {1, 2, 0}, {4, 4, 0}, {4, 0, 0}};
    // Make the notch real: (1,2) pokes into the square from the top edge.
    p = {{0, 0, 0}, {0, 4, 0}, {2, 1, 0}, {4, 4, 0}, {4, 0, 0}};
    ContourRecord r = record(&p, 0, 4);
    double sum = 0;
    for (const Tri& f : triangulate(r)) {
        EXPECT_LT(area2(p, f), 0);
        sum += area2(p, f);
    }
    EXPECT_NEAR(sum, -2 * 10.0, 1e-9);  // 16 less the notch's 6
}

TEST(ContourInset, SquareMovesEachCornerByTheDistance) {
    std::vector<Vec3d> p = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
    ContourRecord r = record(&p, 0, 3);
    EXPECT_EQ(contour_inset(&r, 0, 0.25, -1.0), 0);
    const Vec3d want[4] = {{0.25, 0.25, -1}, {0.25, 1.75, -1}, {1.75, 1.75, -1}, {1.75, 0.25, -1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[i].x, want[i].x, 1e-12);
        EXPECT_NEAR(p[i].y, want[i].y, 1e-12);
        EXPECT_EQ(p[i].z, -1);
    }
    EXPECT_NEAR(r.box_min[0], 0.25, 1e-12);
    // Distance 0 only lifts.
    EXPECT_EQ(contour_inset(&r, 0, 0, 2.0), 0);
    EXPECT_NEAR(p[0].x, 0.25, 1e-12);
    EXPECT_EQ(p[0].z, 1.0);
    // Too deep an inset turns a rectangle inside out (a square only turns round).
    std::vector<Vec3d> q = {{0, 0, 0}, {0, 1, 0}, {4, 1, 0}, {4, 0, 0}};
    ContourRecord rq = record(&q, 0, 3);
    EXPECT_EQ(contour_inset(&rq, 0, 0.75, 0), 1);
}

// An inset past a contour's middle turns it inside out even when its turning sense
// survives: the 10 x 10 square inset by 6 comes back as a 2 x 2 square turned half
// round. Outlines shrink with a positive inset, holes with a negative one.
TEST(ContourInset, InsetPastTheMiddleTurnsTheContourInsideOut) {
    const struct {
        bool hole;
        double d;
        int want;
    } cases[] = {{false, 6, kContourInsetFolds}, {false, 4.9, 0}, {true, -6, kContourInsetFolds}, {true, -4.9, 0},
                 {true, 6, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.hole) + " " + std::to_string(c.d));
        std::vector<Vec3d> p = {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}};
        if (c.hole) std::swap(p[1], p[3]);
        ContourSet set(1);
        set[0] = record(&p, 0, 3);
        ASSERT_EQ(set[0].clockwise, c.hole ? 0 : 1);
        EXPECT_EQ(contour_set_inset(&set, 0, c.d, 0), c.want);
    }
}

TEST(ContourInset, SpikesCoincidentNeighboursAndNoNaN) {
    const double d = 0.01;
    // A needle (1e-9 wide) and a repeated point: every vertex stays finite and moves
    // at most d / sin(0.15).
    std::vector<Vec3d> p = {{0, 0, 0}, {0, 1, 0}, {0, 1, 0}, {5, 0.5 + 1e-9, 0}, {1, 0.5, 0}, {5, 0.5, 0}, {1, 0, 0}};
    const std::vector<Vec3d> before = p;
    ContourRecord r = record(&p, 0, static_cast<int32_t>(p.size()) - 1);
    (void)contour_inset(&r, 0, d, 0);
    for (size_t i = 0; i < p.size(); ++i) {
        ASSERT_TRUE(std::isfinite(p[i].x) && std::isfinite(p[i].y)) << i;
        EXPECT_LE(std::hypot(p[i].x - before[i].x, p[i].y - before[i].y), d / std::sin(0.15) + 1e-12) << i;
    }
    // An exact spike (both neighbours on one ray) moves along its edge's normal.
    std::vector<Vec3d> s = {{0, 0, 0}, {2, 0, 0}, {1, 0, 0}};
    ContourRecord rs = record(&s, 0, 2);
    (void)contour_inset(&rs, 0, d, 0);
    EXPECT_NEAR(std::hypot(s[1].x - 2, s[1].y), d / std::sin(0.15), 1e-12);
    // Every point at one place: nothing moves, nothing divides by zero.
    std::vector<Vec3d> z(4, Vec3d{1, 1, 0});
    ContourRecord rz = record(&z, 0, 3);
    (void)contour_inset(&rz, 0, d, 0);
    for (const Vec3d& v : z) EXPECT_EQ(v.x, 1);
}

TEST(ContourInset, ReadsOriginalPositionsNotMovedNeighbours) {
    // Insetting into the same ring it reads equals insetting a copy.
    std::vector<Vec3d> a = {{0, 0, 0}, {0, 3, 0}, {1, 4, 0}, {4, 3, 0}, {3, 0, 0}};
    std::vector<Vec3d> b = a;
    b.insert(b.end(), a.begin(), a.end());
    ContourRecord ra = record(&a, 0, 4), rb = record(&b, 0, 4);
    (void)contour_inset(&ra, 0, 0.2, 0);
    (void)contour_inset(&rb, 5, 0.2, 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(a[i].x, b[5 + i].x);
        EXPECT_EQ(a[i].y, b[5 + i].y);
    }
}

TEST(ContourCross, Rules) {
    struct Case {
        Vec3d p0, p1, q0, q1;
        int want;
    } cases[] = {
        {{0, 0, 0}, {2, 2, 0}, {0, 2, 0}, {2, 0, 0}, 1},  // proper crossing
        {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, 0},  // parallel
        {{0, 0, 0}, {2, 0, 0}, {1, 2, 0}, {1, 0, 0}, 1},  // touches: one direction ends on the line
        {{0, 0, 0}, {2, 0, 0}, {1, 2, 0}, {1, 0.5, 0}, 0},  // stops short
        {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {3, -1, 0}, 0},  // beyond the end
        {{0, 0, 0}, {2, 0, 0}, {0, 0, 0}, {2, 0, 0}, 0},  // collinear overlap counts as parallel
        // Apart on one line, one end a rounding off it (the inset bottoms of two
        // serifs of a letter 1 high).
        {{0.004, 0.047757812499999996, 0}, {0.066714743828770823, 0.047757812499999996, 0},
         {0.47665625, 0.047757812499999996, 0}, {0.55951595452227321, 0.047757812500000003, 0}, 0},
    };
    for (const Case& c : cases) {
        // Two-point contours: their segment both ways (last to first, first to last).
        std::vector<Vec3d> a = {c.p0, c.p1}, b = {c.q0, c.q1};
        ContourRecord ra, rb;
        EXPECT_EQ(contour_init_range(&ra, vector_vertex_io, &a, 0, 1), 0);
        EXPECT_EQ(contour_init_range(&rb, vector_vertex_io, &b, 0, 1), 0);
        EXPECT_EQ(contours_cross(ra, rb, 0), c.want) << c.q0.x << "," << c.q0.y;
    }
    // A bow-tie crosses itself; a square does not.
    std::vector<Vec3d> bow = {{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}};
    ContourRecord rbow = record(&bow, 0, 3);
    EXPECT_EQ(contours_cross(rbow, rbow, 0), 1);
    std::vector<Vec3d> sq = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
    ContourRecord rsq = record(&sq, 0, 3);
    EXPECT_EQ(contours_cross(rsq, rsq, 0), 0);
    ContourSet set(2);
    set[0] = rsq;
    set[1] = rbow;
    EXPECT_EQ(contour_set_inset(&set, 0, 0, 0), kContourInsetFolds);
}

TEST(ContourBridge, SquareWithSquareHole) {
    std::vector<Vec3d> p = {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0},  // outer, clockwise
                            {4, 4, 0}, {6, 4, 0}, {6, 6, 0}, {4, 6, 0}};     // hole
    ContourRecord outer = record(&p, 0, 3), hole = record(&p, 4, 7);
    ASSERT_EQ(contour_bridge_hole(&outer, hole), 0);
    ASSERT_EQ(outer.count, 10);
    // Closest pair: hole entry 0 (4,4) and outer entry 0 (0,0), the first of the ties.
    const int32_t want_v[10] = {4, 0, 1, 2, 3, 0, 4, 5, 6, 7};
    const uint16_t want_f[10] = {kBridgeFrom, kBridgeTo, 0, 0, 0, kBridgeFrom, kBridgeTo, 0, 0, 0};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(outer.entries[i].vertex, want_v[i]) << i;
        EXPECT_EQ(outer.entries[i].flags, want_f[i]) << i;
    }
    outer.clockwise = 1;
    std::vector<Tri> t = triangulate(outer);
    ASSERT_EQ(t.size(), 8u);
    double sum = 0;
    for (const Tri& f : t) {
        sum += area2(p, f);
        // The bridge edges 4-0 / 0-4 are never visible.
        const int32_t v[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k) {
            const int32_t x = v[k], y = v[(k + 1) % 3];
            if ((x == 0 && y == 4) || (x == 4 && y == 0)) {
                EXPECT_FALSE(f.bits & (1 << k));
            }
        }
    }
    EXPECT_NEAR(sum, -2 * (100.0 - 4.0), 1e-9);
}

TEST(ContourInset, NotFinitePositionGives34) {
    // A hole (counter-clockwise) whose sense cannot flip: only the finiteness check
    // catches its NaN.
    std::vector<Vec3d> p = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {NAN, 1, 0}};
    ContourSet set(1);
    ASSERT_EQ(contour_init_range(&set[0], vector_vertex_io, &p, 0, 3), 0);
    contour_update_box(&set[0], 0);
    ASSERT_EQ(set[0].clockwise, 0);
    EXPECT_EQ(contour_set_inset(&set, 0, 0.1, 0), kContourInsetFolds);
}

TEST(ContourTriangulate, HostileContoursStayBounded) {
    // Degenerate and large contours (outer clockwise, holes bridged in): count - 2
    // faces, every index in range, the signed areas summing to the region's, no hang.
    auto circle = [](int n, double cx, double cy, double r, double dir) {
        std::vector<Vec3d> c;
        for (int i = 0; i < n; ++i) c.push_back({cx + r * std::cos(dir * 2 * M_PI * i / n), cy + r * std::sin(dir * 2 * M_PI * i / n), 0});
        return c;
    };
    std::vector<Vec3d> runs, dup, flat, star, spike = {{0, 0, 0}, {0, 1, 0}, {0.5, 1, 0}, {0.5, 3, 0}, {0.5, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 250; ++k) {
            const double t = k / 250.0;
            const double xy[4][2] = {{0, t}, {t, 1}, {1, 1 - t}, {1 - t, 0}};
            runs.push_back({xy[s][0], xy[s][1], 0});
        }
    for (const Vec3d& q : circle(40, 0, 0, 1, -1)) dup.insert(dup.end(), 3, q);
    for (int i = 0; i < 60; ++i) flat.push_back({double(i < 30 ? i : 60 - i), 0, 0});
    for (int i = 0; i < 2000; ++i) {
        const double a = -2 * M_PI * i / 2000, r = i % 2 ? 1 : 0.5;
        star.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
    const std::vector<Vec3d> square = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
    struct Case {
        const char* what;
        std::vector<std::vector<Vec3d>> contours;
    } cases[] = {
        {"collinear runs", {runs}},
        {"every point three times", {dup}},
        {"all collinear", {flat}},
        {"all at one point", {std::vector<Vec3d>(20, Vec3d{1, 1, 0})}},
        {"zero-area spike", {spike}},
        {"hole touching the outer's corner", {square, {{0, 0, 0}, {1, 0.5, 0}, {1, 1, 0}, {0.5, 1, 0}}}},
        {"hole touching the outer's side", {square, {{0, 1, 0}, {1, 0.5, 0}, {1.5, 1, 0}, {1, 1.5, 0}}}},
        {"hole inside a hole's box", {square, {{0.2, 0.2, 0}, {1.8, 0.2, 0}, {1.8, 1.8, 0}, {0.2, 1.8, 0}}, {{0.5, 0.5, 0}, {1, 0.5, 0}, {1, 1, 0}, {0.5, 1, 0}}}},
        {"2000-point star", {star}},
        {"512-gon with 8 holes", [&] {
             std::vector<std::vector<Vec3d>> c = {circle(512, 0, 0, 10, -1)};
             for (int h = 0; h < 8; ++h) c.push_back(circle(64, -6 + h * 1.7, 0, 0.7, 1));
             return c;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Vec3d> v;
        ContourSet set(c.contours.size());
        double region = 0;
        for (size_t k = 0; k < c.contours.size(); ++k) {
            const int32_t first = static_cast<int32_t>(v.size());
            v.insert(v.end(), c.contours[k].begin(), c.contours[k].end());
            const int32_t last = static_cast<int32_t>(v.size()) - 1;
            for (int32_t i = first, j = last; i <= last; j = i++) region += v[j].x * v[i].y - v[i].x * v[j].y;
            ASSERT_EQ(contour_init_range(&set[k], vector_vertex_io, &v, first, last), 0);
        }
        for (ContourRecord& r : set) contour_update_box(&r, 0);
        for (size_t k = 1; k < set.size(); ++k) ASSERT_EQ(contour_bridge_hole(&set[0], set[k]), 0);
        set[0].clockwise = 1;
        const std::vector<Tri> t = triangulate(set[0]);
        ASSERT_EQ(t.size(), static_cast<size_t>(set[0].count - 2));
        double sum = 0;
        for (const Tri& f : t) {
            for (int32_t x : {f.a, f.b, f.c}) ASSERT_TRUE(x >= 0 && x < static_cast<int32_t>(v.size()));
            sum += area2(v, f);
        }
        EXPECT_TRUE(std::isfinite(sum));
        EXPECT_NEAR(sum, region, 1e-9 * (1 + std::fabs(region)));
    }
}

// Random polygons with holes, many of them degenerate (points on a coarse grid, so
// collinear runs and coincident points; repeated points; holes touching the outer or
// each other; scattered points that cross themselves), at scales far from 1, both
// turning senses and both faces: the indexed bridge picks exactly the entries of the
// full pair scan, and the indexed clipper cuts exactly the triangles, in exactly the
// order and with exactly the edge bits, of the full scan it replaced.
TEST(ContourTriangulate, SameBridgesAndEarsAsTheFullScan) {
    std::mt19937 rng(20261208);
    auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
    for (int trial = 0; trial < 1500; ++trial) {
        SCOPED_TRACE(trial);
        const int kind = trial % 5;  // 0 smooth, 1 grid, 2 repeats, 3 touching holes, 4 scattered
        const double scale = std::pow(10.0, pick(-3, 3));
        const double grid = kind == 1 ? 1.0 / pick(2, 8) : 0;
        auto place = [&](double x, double y) {
            if (grid > 0) x = std::round(x / grid) * grid, y = std::round(y / grid) * grid;
            return Vec3d{x * scale, y * scale, 0};
        };
        // A star-shaped ring round (cx, cy); dir -1 clockwise.
        auto ring = [&](int n, double cx, double cy, double r, double dir) {
            std::vector<Vec3d> c;
            for (int i = 0; i < n; ++i) {
                const double a = dir * 2 * M_PI * (i + (kind == 0 ? 0 : uni(0, 0.9))) / n;
                const double rr = r * (kind == 4 ? uni(0.05, 1) : uni(0.6, 1));
                c.push_back(place(cx + rr * std::cos(a), cy + rr * std::sin(a)));
                if (kind == 2 && pick(0, 3) == 0) c.push_back(c.back());
                if (kind == 2 && pick(0, 5) == 0 && i > 0) {  // a point midway: a collinear run
                    const Vec3d& u = c[c.size() - 2];
                    c.insert(c.end() - 1, Vec3d{(u.x + c.back().x) / 2, (u.y + c.back().y) / 2, 0});
                }
            }
            return c;
        };
        std::vector<std::vector<Vec3d>> contours = {ring(pick(3, trial < 1400 ? 120 : 1500), 0, 0, 10, -1)};
        const int holes = pick(0, 6);
        for (int h = 0; h < holes; ++h) {
            const double a = uni(0, 2 * M_PI), d = uni(0, 5);
            contours.push_back(ring(pick(3, 24), d * std::cos(a), d * std::sin(a), uni(0.3, 2.5), 1));
            if (kind == 3) {  // share a point with the outer or with the previous hole
                const std::vector<Vec3d>& other = contours[pick(0, static_cast<int>(contours.size()) - 2)];
                contours.back()[0] = other[static_cast<size_t>(pick(0, static_cast<int>(other.size()) - 1))];
            }
        }
        std::vector<Vec3d> v;
        ContourSet set(contours.size());
        for (size_t k = 0; k < contours.size(); ++k) {
            const int32_t first = static_cast<int32_t>(v.size());
            v.insert(v.end(), contours[k].begin(), contours[k].end());
            ASSERT_EQ(contour_init_range(&set[k], vector_vertex_io, &v, first, static_cast<int32_t>(v.size()) - 1), 0);
        }
        ContourRecord bridged_before = set[0];
        for (size_t k = 1; k < set.size(); ++k) {
            ASSERT_EQ(contour_bridge_hole(&set[0], set[k]), 0);
            ASSERT_EQ(reference::reference_bridge_hole(&bridged_before, set[k]), 0);
            ASSERT_EQ(set[0].count, bridged_before.count);
            for (int32_t i = 0; i < set[0].count; ++i) {
                ASSERT_EQ(set[0].entries[i].vertex, bridged_before.entries[i].vertex) << "hole " << k << " entry " << i;
                ASSERT_EQ(set[0].entries[i].flags, bridged_before.entries[i].flags) << "hole " << k << " entry " << i;
            }
        }
        set[0].clockwise = trial % 7 == 3 ? 0 : 1;
        const int32_t base = trial % 2 ? 0 : 1;
        v.insert(v.begin(), v.front());  // base 1 reads the vertices one on
        if (base == 0) v.erase(v.begin());
        std::vector<Tri> got, want;
        int32_t got_n = 5, want_n = 5;
        // The 3D text passes a tolerance that grows with the square of the size.
        const double tolerance = trial % 3 ? 1e-6 * scale * scale : 1e-6;
        ASSERT_EQ(contour_triangulate(&got, &got_n, set[0], collect, base, tolerance), 0);
        ASSERT_EQ(reference::reference_triangulate(&want, &want_n, set[0], collect, base, tolerance), 0);
        ASSERT_EQ(got_n, want_n);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], want[i]) << "triangle " << i << " of " << got.size();
        }
    }
}

}  // namespace
