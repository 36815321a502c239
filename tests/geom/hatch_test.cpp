// Hatch fill: triangulation by ear clipping (checked against a plain reference
// and by the area oracle), pattern lines clipped to contours with islands, the
// dash phase across islands, vertex crossings, failures that keep the old fill,
// and degenerate patterns that must finish with a sound result.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "geom_support.h"
#include "model/math/result.h"
#include "tests/model/classes_support.h"
#include "model/geom/hatch.h"
#include "model/geom/hatch_internal.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

namespace {

double tri_area(const std::vector<Pt>& t) {
    return ((double(t[1].x) - t[0].x) * (double(t[2].y) - t[0].y) -
            (double(t[2].x) - t[0].x) * (double(t[1].y) - t[0].y)) / 2;
}

double sum_abs_area(const PtrNode* tris) {
    double a = 0;
    for (const auto& t : runs_of(tris)) a += std::fabs(tri_area(t));
    return a;
}

// The ear clipping rule tested the plain way: every vertex against every other
// after each cut. Returns the triangles as coordinates in the order cut, or
// nothing when no ear is found.
std::vector<std::array<Vec3, 3>> reference_ear_clip(std::vector<Vec3> p, bool* ok) {
    std::vector<std::array<Vec3, 3>> out;
    double nz = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3& a = p[i];
        const Vec3& b = p[(i + 1) % p.size()];
        nz += (double(a.y) + b.y) * (double(a.x) - b.x);
    }
    // Planar contours at z = 0: the Newell normal is (0, 0, nz), d = 0, so the
    // order is kept and the points are shifted by +Z (or -Z when nz < 0).
    const double shift = nz > 0 ? 1 : -1;
    auto dot = [](const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    auto S = [&](const Vec3& v) { return Vec3d{v.x, v.y, v.z + shift}; };
    auto convex = [&](const Vec3& a, const Vec3& b, const Vec3& c) {
        Vec3d A = S(a), B = S(b), C = S(c);
        Vec3d x{B.y * C.z - B.z * C.y, B.z * C.x - B.x * C.z, B.x * C.y - B.y * C.x};
        return dot(A, x) > 0;
    };
    auto outside = [&](const Vec3& q, const Vec3& a, const Vec3& b, const Vec3& c) {
        Vec3d u{double(a.x) - q.x, double(a.y) - q.y, 0}, v{double(b.x) - q.x, double(b.y) - q.y, 0},
            w{double(c.x) - q.x, double(c.y) - q.y, 0};
        double uv = dot(u, v), vw = dot(v, w), wu = dot(w, u);
        return uv * vw - dot(v, v) * wu < 0 || wu * vw - dot(w, w) * uv < 0 ||
               wu * uv - dot(u, u) * vw < 0;
    };
    *ok = true;
    while (p.size() > 2) {
        const size_t n = p.size();
        double best = 1e30;
        size_t win = n;
        for (size_t i = 0; i < n; ++i) {
            const Vec3& a = p[(i + n - 1) % n];
            const Vec3& b = p[i];
            const Vec3& c = p[(i + 1) % n];
            if (!convex(a, b, c)) continue;
            bool clear = true;
            for (size_t j = 0; j < n && clear; ++j)
                if (j != i && j != (i + 1) % n && j != (i + n - 1) % n && !outside(p[j], a, b, c))
                    clear = false;
            if (!clear) continue;
            double dx = double(c.x) - a.x, dy = double(c.y) - a.y;
            if (dx * dx + dy * dy < best) {
                best = dx * dx + dy * dy;
                win = i;
            }
        }
        if (win == n) {
            *ok = false;
            return out;
        }
        out.push_back({p[(win + n - 1) % n], p[win], p[(win + 1) % n]});
        p.erase(p.begin() + win);
    }
    return out;
}

// A star-shaped polygon: sorted angles, radii from a small fixed generator.
std::vector<Vec3> star(int n, uint32_t seed, float cx = 0, float cy = 0) {
    std::vector<Vec3> p;
    uint32_t s = seed;
    auto rnd = [&] {
        s = s * 1103515245u + 12345u;
        return ((s >> 16) & 0x7fff) / 32767.0;
    };
    for (int i = 0; i < n; ++i) {
        double a = kTwoPi * i / n;
        double r = 2 + 8 * rnd();
        p.push_back({float(cx + r * std::cos(a)), float(cy + r * std::sin(a)), 0});
    }
    return p;
}

class HatchTest : public GeomTest {
  protected:
    std::unique_ptr<HATCH> hatch(const std::vector<std::vector<Vec3>>& outer,
                                 const std::vector<std::vector<Vec3>>& inner = {}) {
        auto h = rtc_make<HATCH>();
        h->contours[0] = make_set(outer);
        if (!inner.empty()) h->contours[1] = make_set(inner);
        h->values[0] = 1;
        return h;
    }
    // Inside pieces of the runs that lie on the line y = y0 (sorted by x).
    static std::vector<std::pair<double, double>> pieces_at(const PtrNode* runs, double y0) {
        std::vector<std::pair<double, double>> out;
        for (const auto& r : runs_of(runs)) {
            if (r.size() != 2 || std::fabs(r[0].y - y0) > 1e-4 || std::fabs(r[1].y - y0) > 1e-4)
                continue;
            out.push_back({std::min(r[0].x, r[1].x), std::max(r[0].x, r[1].x)});
        }
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(HatchTest, SquareGivesTwoTrianglesSharingAnInnerDiagonal) {
    for (bool repeated : {false, true}) {
        std::vector<Vec3> sq = rect(0, 0, 4, 4);
        if (repeated) sq.insert(sq.begin() + 2, Vec3{4.0005f, 0, 0});  // closer than 0.001
        auto h = hatch({sq});
        Vec3d plane;
        ASSERT_EQ(regen_object(h.get()), 0);
        ASSERT_EQ(hatch_regen(h.get(), &plane), 0);
        EXPECT_EQ(plane.x, 0);
        EXPECT_EQ(plane.y, 0);
        EXPECT_NE(plane.z, 0);
        auto tris = runs_of(h->contours[2]);
        ASSERT_EQ(tris.size(), 2u);
        for (const auto& t : tris) {
            ASSERT_EQ(t.size(), 3u);  // opened again after the work
            int inner = 0;
            for (const Pt& p : t) inner += (p.flags & kPointInnerDiagonal) ? 1 : 0;
            EXPECT_EQ(inner, 1);
            EXPECT_NEAR(std::fabs(tri_area(t)), 8.0, 1e-4);
        }
        EXPECT_EQ(h->strokes, nullptr);
        EXPECT_EQ(h->contours[3], nullptr);
        EXPECT_FALSE(plist_is_closed(static_cast<PointNode*>(h->contours[0]->value)));
    }
}

TEST_F(HatchTest, SolidFillAreaMatchesTheRegion) {
    struct Case {
        const char* name;
        std::vector<std::vector<Vec3>> outer, inner;
    };
    std::vector<Vec3> comb;
    for (int i = 0; i < 6; ++i) {
        comb.push_back({float(2 * i), 0, 0});
        comb.push_back({float(2 * i + 1), 0, 0});
        comb.push_back({float(2 * i + 1), 5, 0});
    }
    comb.push_back({12, 0, 0});
    comb.push_back({12, 8, 0});
    comb.push_back({0, 8, 0});
    std::reverse(comb.begin(), comb.end());  // any orientation is accepted
    std::vector<Vec3> spiral = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {2, 10, 0}, {2, 4, 0},
                                {6, 4, 0}, {6, 6, 0},  {4, 6, 0},   {4, 8, 0},  {8, 8, 0},
                                {8, 2, 0}, {0, 2, 0}};
    std::vector<Case> cases = {
        {"square", {rect(0, 0, 3, 3)}, {}},
        {"L shape", {{{0, 0, 0}, {6, 0, 0}, {6, 2, 0}, {2, 2, 0}, {2, 6, 0}, {0, 6, 0}}}, {}},
        {"comb", {comb}, {}},
        {"spiral", {spiral}, {}},
        {"star", {star(64, 7)}, {}},
        {"square with islands", {rect(0, 0, 20, 20)}, {rect(2, 2, 5, 5), rect(10, 10, 18, 12)}},
        {"star with star island", {star(40, 3, 0, 0)}, {star(12, 9, 0, 0)}},
        {"two outers", {rect(0, 0, 2, 2), rect(5, 5, 9, 6)}, {}},
    };
    // The island star lies inside the outer one: scale it down.
    for (Vec3& v : cases[6].inner[0]) {
        v.x *= 0.15f;
        v.y *= 0.15f;
    }
    for (const Case& c : cases) {
        auto h = hatch(c.outer, c.inner);
        ASSERT_EQ(regen_object(h.get()), 0) << c.name;
        double expect = 0;
        for (const auto& o : c.outer) expect += std::fabs(shoelace(o));
        for (const auto& i : c.inner) expect -= std::fabs(shoelace(i));
        double got = sum_abs_area(h->contours[2]) - sum_abs_area(h->contours[3]);
        EXPECT_NEAR(got, expect, 1e-3 * (1 + std::fabs(expect))) << c.name;
    }
}

// A comb: thin teeth of uneven height on a low spine, the spine's top edge made of
// collinear points; its last cuts are long thin ears across all the teeth.
std::vector<Vec3> comb(int teeth, uint32_t seed) {
    std::vector<Vec3> p{{0, 0, 0}, {float(2 * teeth), 0, 0}};
    uint32_t s = seed;
    for (int k = teeth - 1; k >= 0; --k) {
        s = s * 1103515245u + 12345u;
        const float x0 = float(2 * k), x1 = x0 + 1, top = float(5 + (s >> 16) % 60);
        p.insert(p.end(), {{x1, 1, 0}, {x1, top, 0}, {x0, top, 0}, {x0, 1, 0}});
    }
    return p;
}

TEST_F(HatchTest, EarClippingFollowsTheShortestDiagonalRule) {
    std::vector<std::pair<std::string, std::vector<Vec3>>> polys;
    for (uint32_t seed = 1; seed <= 40; ++seed)
        polys.emplace_back("star " + std::to_string(seed), star(8 + seed % 23, seed));
    // Larger ones, where ears cover many cells of the vertex lookup.
    for (uint32_t seed = 1; seed <= 6; ++seed)
        polys.emplace_back("big star " + std::to_string(seed), star(120 + 30 * seed, seed));
    for (uint32_t seed = 1; seed <= 6; ++seed)
        polys.emplace_back("comb " + std::to_string(seed), comb(10 * int(seed), seed));
    for (size_t n = 0; n < polys.size(); ++n) {
        auto& [name, poly] = polys[n];
        if (n % 2 == 0) std::reverse(poly.begin(), poly.end());
        bool ok = false;
        auto expect = reference_ear_clip(poly, &ok);
        ASSERT_TRUE(ok) << name;
        PointNode* ring = make_list(poly);
        PointNode* last = ring;
        while (last->next) last = last->next;
        last->next = ring;
        PtrNode* tris = nullptr;
        ASSERT_EQ(contour_ear_clip(ring, int(poly.size()), &tris), 0) << name;
        auto got = runs_of(tris);
        std::reverse(got.begin(), got.end());  // prepended: last cut first
        ASSERT_EQ(got.size(), expect.size()) << name;
        for (size_t i = 0; i < got.size(); ++i) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(got[i][k].x, expect[i][k].x) << name << " triangle " << i;
                EXPECT_EQ(got[i][k].y, expect[i][k].y) << name << " triangle " << i;
            }
        }
        plist_list_free(&tris);
        list_free(&ring);
    }
}

// A contour in a tilted plane far from the origin, its float points off the plane
// by their rounding: the vertex lookup must judge them where they lie, or it passes
// over a vertex that blocks an ear and the clipping runs out of ears.
TEST_F(HatchTest, EarClippingOfATiltedContourFarFromTheOrigin) {
    const std::vector<Vec3> poly = {
        {-2125293.75f, -2171912.75f, -2156202.25f}, {-2125293.75f, -2171912.75f, -2156202.5f},
        {-2125293.75f, -2171912.25f, -2156202.75f}, {-2125293.75f, -2171913.25f, -2156202.5f},
        {-2125293.5f, -2171912.75f, -2156202.75f},  {-2125293.25f, -2171913.25f, -2156202.25f},
        {-2125293.25f, -2171912.5f, -2156202.5f},   {-2125293.25f, -2171912.75f, -2156202.5f},
        {-2125293.75f, -2171913.25f, -2156203.25f}, {-2125293.5f, -2171913, -2156203},
        {-2125293.25f, -2171913.25f, -2156202.75f}, {-2125293.25f, -2171913, -2156203},
        {-2125293.25f, -2171912.75f, -2156203.25f}, {-2125292.75f, -2171913, -2156202.5f},
        {-2125293, -2171913, -2156203},             {-2125292.75f, -2171913.25f, -2156203},
        {-2122712, -2172331.25f, -2157852.75f},     {-2126867.75f, -2171386, -2155476.5f},
        {-2128023.5f, -2171469.75f, -2154458.25f}};
    PointNode* ring = make_list(poly);
    PointNode* last = ring;
    while (last->next) last = last->next;
    last->next = ring;
    PtrNode* tris = nullptr;
    EXPECT_EQ(contour_ear_clip(ring, int(poly.size()), &tris), 0);
    EXPECT_EQ(runs_of(tris).size(), poly.size() - 2);
    plist_list_free(&tris);
    list_free(&ring);
}

TEST_F(HatchTest, FigureEightFailsAndKeepsTheOldFill) {
    auto h = hatch({rect(0, 0, 2, 2)});
    ASSERT_EQ(regen_object(h.get()), 0);
    PtrNode* before = h->contours[2];
    plist_list_free(&h->contours[0]);
    h->contours[0] = make_set({{{0, 0, 0}, {4, 4, 0}, {4, 0, 0}, {0, 4, 0}}});
    int rc = regen_object(h.get());
    EXPECT_TRUE(rc == kHatchSelfCrossing || rc == kBadArgument) << rc;
    EXPECT_EQ(h->contours[2], before);
    // A contour without a plane (all points on a line) fails with 13.
    plist_list_free(&h->contours[0]);
    h->contours[0] = make_set({{{0, 0, 0}, {1, 1, 0}, {2, 2, 0}}});
    EXPECT_EQ(regen_object(h.get()), kBadArgument);
}

TEST_F(HatchTest, IslandsInterruptLinesAndTheDashPhaseRunsOn) {
    // Horizontal lines one unit apart, dash 2 gap 1 from x = 0.
    auto patt = make_hatchpatt({HatchLine{0, 0, 0, 0, 1, {2, 1}}});
    auto h = hatch({rect(0, 0, 12, 10)}, {rect(4.5f, 2.5f, 7.5f, 7.5f)});
    h->pattern = patt.get();
    ASSERT_EQ(regen_object(h.get()), 0);
    EXPECT_NE(h->contours[2], nullptr);
    auto at5 = pieces_at(h->strokes, 5);
    const std::vector<std::pair<double, double>> expect5 = {
        {0, 2}, {3, 4.5}, {7.5, 8}, {9, 11}};
    ASSERT_EQ(at5.size(), expect5.size());
    for (size_t i = 0; i < at5.size(); ++i) {
        EXPECT_NEAR(at5[i].first, expect5[i].first, 1e-4);
        EXPECT_NEAR(at5[i].second, expect5[i].second, 1e-4);
    }
    // Below the island the pattern runs on across the whole width.
    auto at1 = pieces_at(h->strokes, 1);
    ASSERT_EQ(at1.size(), 4u);
    EXPECT_NEAR(at1[3].first, 9, 1e-4);
    EXPECT_NEAR(at1[3].second, 11, 1e-4);

    // Continuous lines stop at the island's edges.
    auto plain = make_hatchpatt({HatchLine{0, 0, 0, 0, 1, {}}});
    h->pattern = plain.get();
    ASSERT_EQ(regen_object(h.get()), 0);
    at5 = pieces_at(h->strokes, 5);
    ASSERT_EQ(at5.size(), 2u);
    EXPECT_NEAR(at5[0].second, 4.5, 1e-4);
    EXPECT_NEAR(at5[1].first, 7.5, 1e-4);
    EXPECT_NEAR(at5[1].second, 12, 1e-4);

    // Taking the pattern away leaves only the fill.
    h->pattern = nullptr;
    ASSERT_EQ(regen_object(h.get()), 0);
    EXPECT_EQ(h->strokes, nullptr);
}

TEST_F(HatchTest, LinesThroughVerticesCountOnce) {
    auto plain = make_hatchpatt({HatchLine{0, 0, 0, 0, 1, {}}});
    // A diamond: the line y = 5 crosses it at two vertices.
    auto d = hatch({{{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}}});
    d->pattern = plain.get();
    ASSERT_EQ(regen_object(d.get()), 0);
    auto at5 = pieces_at(d->strokes, 5);
    ASSERT_EQ(at5.size(), 1u);
    EXPECT_NEAR(at5[0].first, 0, 1e-4);
    EXPECT_NEAR(at5[0].second, 10, 1e-4);
    // A notch whose tip touches y = 5 from above: no spurious piece.
    auto n = hatch({{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {6, 10, 0}, {5, 5, 0}, {4, 10, 0},
                     {0, 10, 0}}});
    n->pattern = plain.get();
    ASSERT_EQ(regen_object(n.get()), 0);
    at5 = pieces_at(n->strokes, 5);
    double covered = 0;
    for (auto& p : at5) {
        EXPECT_GE(p.first, -1e-4);
        EXPECT_LE(p.second, 10 + 1e-4);
        covered += p.second - p.first;
    }
    EXPECT_NEAR(covered, 10, 1e-3);
    auto at7 = pieces_at(n->strokes, 7);
    ASSERT_EQ(at7.size(), 2u);  // the notch splits the line

    // A step whose inner edge lies on y = 3: the contour passes through the line
    // along that edge, so the inside beyond it, x 5 to 10, is still hatched,
    // whichever way the contour and the lines run.
    const std::vector<Vec3> step = {{0, 0, 0}, {10, 0, 0}, {10, 6, 0}, {5, 6, 0}, {5, 3, 0}, {0, 3, 0}};
    for (bool reversed : {false, true}) {
        for (double turn : {0.0, kPi}) {
            std::vector<Vec3> c = step;
            if (reversed) std::reverse(c.begin(), c.end());
            auto s = hatch({c});
            s->pattern = plain.get();
            s->values[1] = turn;
            ASSERT_EQ(regen_object(s.get()), 0);
            double inside = 0;
            for (auto& p : pieces_at(s->strokes, 3)) {
                EXPECT_GE(p.first, -1e-4);
                EXPECT_LE(p.second, 10 + 1e-4);
                inside += std::max(0.0, std::min(p.second, 10.0) - std::max(p.first, 5.0));
            }
            EXPECT_NEAR(inside, 5, 1e-3) << "reversed " << reversed << " turn " << turn;
        }
    }
}

TEST_F(HatchTest, PatternDoesNotDependOnHowTheContourRuns) {
    // An L shape given counter-clockwise, clockwise, and starting at its inner
    // (reflex) corner: the same 45-degree lines, in drawing coordinates.
    const std::vector<Vec3> ell = {{0, 0, 0}, {6, 0, 0}, {6, 2, 0}, {2, 2, 0}, {2, 6, 0}, {0, 6, 0}};
    std::vector<std::vector<Vec3>> forms = {ell, ell, ell};
    std::reverse(forms[1].begin(), forms[1].end());
    std::rotate(forms[2].begin(), forms[2].begin() + 3, forms[2].end());
    auto patt = make_hatchpatt({HatchLine{45, 0.5, 0, 0, 1, {2, 1}}});
    std::vector<std::vector<float>> seen;
    for (const auto& c : forms) {
        auto h = hatch({c});
        h->pattern = patt.get();
        ASSERT_EQ(regen_object(h.get()), 0);
        std::vector<float> ends;
        for (const auto& r : runs_of(h->strokes)) {
            ASSERT_EQ(r.size(), 2u);
            EXPECT_NEAR(r[1].x - r[0].x, r[1].y - r[0].y, 1e-4);  // along 45 degrees
            for (const Pt& p : r) {
                ends.push_back(std::round(p.x * 1000) / 1000);
                ends.push_back(std::round(p.y * 1000) / 1000);
            }
        }
        std::sort(ends.begin(), ends.end());
        seen.push_back(ends);
    }
    ASSERT_FALSE(seen[0].empty());
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[2], seen[0]);
}

TEST_F(HatchTest, TiltedHatchStaysInItsPlane) {
    // A square in the plane x + z = 10 with a 45-degree pattern.
    std::vector<Vec3> sq = {{0, 0, 10}, {5, 0, 5}, {5, 5, 5}, {0, 5, 10}};
    auto patt = make_hatchpatt({HatchLine{45, 0, 0, 0, 0.5, {}}});
    auto h = hatch({sq});
    h->pattern = patt.get();
    ASSERT_EQ(regen_object(h.get()), 0);
    ASSERT_NE(h->strokes, nullptr);
    for (const auto& r : runs_of(h->strokes))
        for (const Pt& p : r) EXPECT_NEAR(p.x + p.z, 10, 1e-3);
    for (const auto& t : runs_of(h->contours[2]))
        for (const Pt& p : t) EXPECT_NEAR(p.x + p.z, 10, 1e-3);
}

TEST_F(HatchTest, DegeneratePatternsFinishWithASoundResult) {
    struct Case {
        const char* name;
        HatchLine line;
        double scale, angle;
        bool lines;
    } cases[] = {
        {"scale 0", {0, 0, 0, 0, 1, {1, 1}}, 0.0, 0, false},
        {"scale not a number", {0, 0, 0, 0, 1, {}}, NAN, 0, false},
        {"offset 0", {0, 0, 0, 0, 0, {1, 1}}, 1, 0, false},
        {"offset along the lines", {0, 0, 0, 5, 0, {}}, 1, 0, false},
        {"far too dense", {0, 0, 0, 0, 1e-9, {}}, 1, 0, false},
        {"tiny dashes", {0, 0, 0, 0, 1, {1e-12, 1e-12}}, 1, 0, true},
        {"origin far away", {30, 1e30, -1e30, 0, 1, {1, 1}}, 1, 0, true},
        {"negative scale", {0, 0, 0, 0, 1, {1, 1}}, -1, 0, true},
        {"angle many turns", {0, 0, 0, 0, 1, {}}, 1, 1e12, true},
    };
    for (const Case& c : cases) {
        auto patt = make_hatchpatt({c.line});
        auto h = hatch({rect(0, 0, 10, 10)});
        h->pattern = patt.get();
        h->values[0] = c.scale;
        h->values[1] = c.angle;
        ASSERT_EQ(regen_object(h.get()), 0) << c.name;
        EXPECT_EQ(runs_of(h->contours[2]).size(), 2u) << c.name;
        EXPECT_EQ(h->strokes != nullptr, c.lines) << c.name;
        // A pattern that cannot be drawn shows the solid fill instead of nothing.
        RecordingIter walk;
        ASSERT_EQ(h->walk(&walk), 0) << c.name;
        EXPECT_EQ(walk.ops(), c.lines ? walk.ops() : std::string("TT")) << c.name;
        EXPECT_EQ(h->pattern_degenerate, !c.lines) << c.name;
        for (const auto& r : runs_of(h->strokes))
            for (const Pt& p : r) {
                EXPECT_TRUE(p.x >= -1e-3 && p.x <= 10.001 && p.y >= -1e-3 && p.y <= 10.001)
                    << c.name << " " << p.x << "," << p.y;
            }
    }
}

TEST_F(HatchTest, RowsShiftedAlongBeyondPrecisionFinish) {
    // Each row shifted along by 3.7e16, where one step of the pattern (5,300) is lost
    // in the rounding: counting whole patterns across the region one at a time never
    // ended. Such a family is left out; the others of the pattern still draw.
    auto patt = make_hatchpatt({HatchLine{120, 10, 8.66025, -36666666666626664, 51.9615, {10, 5230, 10, 50}},
                                HatchLine{45, 0, 0, 0, 0.5, {}}});
    auto h = hatch({rect(0, 0, 2, 2)});
    h->pattern = patt.get();
    ASSERT_EQ(regen_object(h.get()), 0);
    ASSERT_NE(h->strokes, nullptr);
    for (const auto& r : runs_of(h->strokes)) {
        ASSERT_EQ(r.size(), 2u);
        EXPECT_NEAR(r[1].y - r[0].y, r[1].x - r[0].x, 1e-3);  // only the 45-degree lines
        for (const Pt& p : r) EXPECT_TRUE(p.x >= -1e-3 && p.x <= 2.001 && p.y >= -1e-3 && p.y <= 2.001);
    }
}

TEST_F(HatchTest, LinesFarApartStayInsideTheirRegion) {
    // Lines 7.8e32 apart, turned by a half turn: the line through the region is
    // reached from the one before it, and the step there and back lost the start's
    // place along the line, which then lay past the region's near side; the dashes
    // were cut the wrong way from it and ran out of the region.
    for (double spacing : {7.8e32, 1e20, 10.0}) {
        auto patt = make_hatchpatt({HatchLine{180, 5, 0, -30, spacing, {2, 18, 26, 18}}});
        auto h = hatch({rect(0, 0, 2, 2)});
        h->pattern = patt.get();
        ASSERT_EQ(regen_object(h.get()), 0) << spacing;
        for (const auto& r : runs_of(h->strokes))
            for (const Pt& p : r)
                EXPECT_TRUE(p.x >= -1e-3 && p.x <= 2.001 && p.y >= -1e-3 && p.y <= 2.001)
                    << spacing << ": " << p.x << "," << p.y;
    }
}

TEST_F(HatchTest, WhereALineStartsAlongItselfChangesNoStroke) {
    // A line's start moved by whole patterns keeps its dash phase, so the strokes
    // are the same wherever the start lies: before the region, inside it or past
    // it (an L with an island, so the crossings come in several pieces per line).
    const std::vector<Vec3> ell = {{0, 0, 0}, {8, 0, 0}, {8, 3, 0}, {3, 3, 0}, {3, 9, 0}, {0, 9, 0}};
    auto patt = make_hatchpatt({HatchLine{20, 0.3, 0.1, 0.2, 0.7, {0.9, 0.4, 0.3, 0.25}}});
    PtrNode* outer = make_set({ell});
    PtrNode* inner = make_set({rect(1, 1, 2, 6)});
    struct Free {
        PtrNode** sets[2];
        ~Free() {
            for (PtrNode** s : sets) plist_list_free(s);
        }
    } free_sets{{&outer, &inner}};
    HatchFamilyLayout lay;
    ASSERT_EQ(hatchpatt_family_lines(patt.get(), 0, 1, 0, 0, 0, 8, 9, &lay), 0);
    auto strokes = [&](double shift) {
        HatchFamilyLayout moved = lay;
        moved.start.x += lay.pattern.x * shift;
        moved.start.y += lay.pattern.y * shift;
        HatchClipper clipper(outer, inner);
        HatchBudget budget;
        PtrNode* runs = nullptr;
        int drawn = 0;
        EXPECT_EQ(hatch_family(clipper, patt.get(), 0, 1, moved, 0, &budget, &runs, &drawn), 0);
        std::vector<std::array<double, 4>> out;
        for (const auto& r : runs_of(runs)) {
            EXPECT_EQ(r.size(), 2u);
            std::array<double, 4> s{r.front().x, r.front().y, r.back().x, r.back().y};
            if (std::make_pair(s[0], s[1]) > std::make_pair(s[2], s[3]))
                s = {s[2], s[3], s[0], s[1]};
            out.push_back(s);
        }
        plist_list_free(&runs);
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto expect = strokes(0);
    ASSERT_GT(expect.size(), 50u);
    for (double shift : {-3.0, 2.0, 5.0, double(lay.m), double(lay.m) + 4, 40.0}) {
        const auto got = strokes(shift);
        ASSERT_EQ(got.size(), expect.size()) << shift;
        for (size_t i = 0; i < got.size(); ++i)
            for (int c = 0; c < 4; ++c) ASSERT_NEAR(got[i][c], expect[i][c], 2e-3) << shift << " " << i;
    }
}

TEST_F(HatchTest, DashListsThatRunBackFindTheirPhase) {
    // Negative entries make the running length go back: a piece starting after an
    // island picks the first entry whose end reaches its phase, as a scan would.
    auto patt = make_hatchpatt({HatchLine{0, 0, 0, 0, 1, {3, -1, 2, 1}}});
    const std::vector<std::pair<float, std::vector<std::pair<double, double>>>> cases = {
        {2.5f, {{0, 1.5}, {2, 4}, {2.5, 3}, {5, 8}, {7, 9}, {10, 12}}},
        {7.9f, {{0, 1.5}, {7, 9}, {7.9, 8}, {10, 12}}}};
    for (const auto& [x, expect] : cases) {
        auto h = hatch({rect(0, 0, 12, 2)}, {rect(1.5f, 0.5f, x, 1.5f)});
        h->pattern = patt.get();
        ASSERT_EQ(regen_object(h.get()), 0);
        const auto got = pieces_at(h->strokes, 1);
        ASSERT_EQ(got.size(), expect.size()) << x;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].first, expect[i].first, 1e-4) << x;
            EXPECT_NEAR(got[i].second, expect[i].second, 1e-4) << x;
        }
    }
}

TEST_F(HatchTest, LinesFillTheRegionAtTheirSpacing) {
    // Continuous lines a spacing apart cover a region so that their total length
    // times the spacing is its area (one missing line would be off by 4 here).
    const std::vector<Vec3> ell = {{0, 0, 0}, {8, 0, 0}, {8, 3, 0}, {3, 3, 0}, {3, 9, 0}, {0, 9, 0}};
    for (double angle : {0.0, 17.0, 45.0, 90.0, 133.0, 200.0, 315.0}) {
        for (double turn : {0.0, 1.0}) {
            auto patt = make_hatchpatt({HatchLine{angle, 0.3, 0.7, 0.25, 0.5, {}}});
            auto h = hatch({ell});
            h->pattern = patt.get();
            h->values[1] = turn;
            ASSERT_EQ(regen_object(h.get()), 0);
            double length = 0;
            for (const auto& r : runs_of(h->strokes))
                length += std::hypot(r[1].x - r[0].x, r[1].y - r[0].y);
            EXPECT_NEAR(length * 0.5, 42.0, 1.0) << angle << " turned " << turn;
        }
    }
    // The first line starts a whole number of patterns and offsets from the
    // family's origin, so every hatch of a pattern lines up with the others.
    auto patt = make_hatchpatt({HatchLine{30, 0.5, 0.25, 0.4, 1, {2, 1}}});
    HatchFamilyLayout lay;
    ASSERT_EQ(hatchpatt_family_lines(patt.get(), 0, 1, 0, 0, 0, 10, 4, &lay), 0);
    const double dx = lay.start.x - 0.5, dy = lay.start.y - 0.25;
    const double det = lay.pattern.x * lay.offset.y - lay.pattern.y * lay.offset.x;
    const double a = (dx * lay.offset.y - dy * lay.offset.x) / det;
    const double b = (lay.pattern.x * dy - lay.pattern.y * dx) / det;
    EXPECT_NEAR(a, std::round(a), 1e-9);
    EXPECT_NEAR(b, std::round(b), 1e-9);
    EXPECT_GE(double(lay.m) * 3, 10.0);
    EXPECT_GE(double(lay.k), 4.0);
}

}  // namespace
