// Shadow maps: the outline of an occluder's shadow, filtering, self-shadowing, the
// clipper and scan conversion, the light matrix and hostile lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "render/surface/shadow_map.h"

namespace {

struct Scene {
    ShadowMap map;
    Scene() { shadow_map_init(&map); }
    ~Scene() { shadow_map_free(&map); }
    ShadowFace& face() { return map.faces[0]; }
};

struct Writer {
    ShadowFace* face;
    uint32_t id;
};

void write_depth(int32_t col, int32_t row, const ShadowVertex* v, void* w, void*) {
    auto* t = static_cast<Writer*>(w);
    const size_t k = size_t(row) * t->face->n + col;
    if (v->f[3] < t->face->depth[k]) {
        t->face->depth[k] = v->f[3];
        t->face->ids[k] = t->id;
    }
}

void draw_quad(ShadowFace& f, uint32_t id, double h, double z) {
    // Two triangles of the square |x|, |y| <= h at height z.
    const double q[4][3] = {{-h, -h, z}, {h, -h, z}, {h, h, z}, {-h, h, z}};
    const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
    Writer w{&f, id};
    for (const auto& t : tris) {
        ShadowPolygon p;
        p.count = 3;
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c) p.v[k].f[4 + c] = q[t[k]][c];
        shadow_polygon_draw(&p, f.m, f.n, f.n, false, 0, &write_depth, &w, nullptr);
    }
}

// A spot at (0, 0, 10) aimed at the origin with a 45 degree cone, a square occluder
// of half-size 1 at z = 5 (id 2) over a floor of half-size 20 at z = 0 (id 1).
void build(Scene& s) {
    ASSERT_EQ(shadow_face_alloc(&s.face(), 256), 0);
    const double from[3] = {0, 0, 10}, to[3] = {0, 0, 0};
    ASSERT_EQ(shadow_face_aim(&s.face(), from, to, nullptr, std::cos(M_PI / 4)), 0);
    draw_quad(s.face(), 1, 20, 0);
    draw_quad(s.face(), 2, 1, 5);
}

double lit(const Scene& s, double x, double y, int radius, double bias = 1.0, uint32_t id = 1) {
    const float p[3] = {float(x), float(y), 0.0f};
    return shadow_lookup(&s.map.faces[0], p, bias, radius, id);
}

}  // namespace

TEST(Shadow, OutlineOfASquareOccluder) {
    Scene s;
    build(s);
    for (double t : {0.0, 0.5, 1.0, 1.5, 1.9}) {
        EXPECT_EQ(lit(s, t, 0, 0), 0.0) << t;
        EXPECT_EQ(lit(s, -t, t, 0), 0.0) << t;
        EXPECT_EQ(lit(s, 1.9, -1.9, 0), 0.0);
    }
    for (double t : {2.1, 3.0, 6.0}) {
        EXPECT_EQ(lit(s, t, 0, 0), 1.0) << t;
        EXPECT_EQ(lit(s, 0, -t, 0), 1.0) << t;
    }
    // Filtered: the lit fraction never falls across the edge.
    double last = -1.0;
    for (double x = 1.0; x <= 3.0; x += 0.01) {
        const double f = lit(s, x, 0.3, 3);
        EXPECT_GE(f, last - 1e-12) << x;
        EXPECT_GE(f, 0.0);
        EXPECT_LE(f, 1.0);
        last = f;
    }
    EXPECT_EQ(lit(s, 0, 0, 3), 0.0);
    EXPECT_EQ(lit(s, 5, 5, 3), 1.0);
}

TEST(Shadow, NoSurfaceShadowsItself) {
    Scene s;
    build(s);
    // The occluder's own points, even at bias 0, and the floor outside the shadow.
    for (double x : {-0.9, 0.0, 0.7}) {
        const float p[3] = {float(x), 0.3f, 5.0f};
        EXPECT_EQ(shadow_lookup(&s.face(), p, 0.0, 0, 2), 1.0);
        EXPECT_EQ(shadow_lookup(&s.face(), p, 0.0, 3, 2), 1.0);
    }
    EXPECT_EQ(lit(s, 4, 4, 0, 0.0), 1.0);
    EXPECT_EQ(lit(s, 4, 4, 3, 0.0), 1.0);
}

TEST(Shadow, LookupEdges) {
    Scene s;
    build(s);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Behind the light, on it, not finite, outside the map: lit.
    const float points[][3] = {{0, 0, 20}, {0, 0, 10}, {float(nan), 0, 0}, {float(inf), 0, 0},
                               {100, 0, 0}};
    for (const auto& p : points)
        for (int r : {0, 1, 3, 1000000}) EXPECT_EQ(shadow_lookup(&s.face(), p, 1.0, r, 9), 1.0);
    // A hostile matrix (w of 0, NaN) and an empty face stay lit.
    ShadowFace bad = s.face();
    for (auto& row : bad.m)
        for (double& v : row) v = nan;
    const float p[3] = {0, 0, 0};
    EXPECT_EQ(shadow_lookup(&bad, p, 1.0, 3, 1), 1.0);
    for (auto& row : bad.m)
        for (double& v : row) v = 0.0;
    EXPECT_EQ(shadow_lookup(&bad, p, 1.0, 0, 1), 1.0);
    ShadowFace none;
    EXPECT_EQ(shadow_lookup(&none, p, 1.0, 0, 1), 1.0);
    // Radius 1 with the point on a texel corner reads that texel alone.
    ShadowFace one;
    ASSERT_EQ(shadow_face_alloc(&one, 4), 0);
    mat4_identity_proj(one.m, 1);
    one.depth[1 * 4 + 2] = -5.0;  // texel (2, 1) in front of everything
    one.ids[1 * 4 + 2] = 7;
    // Identity: u = (x / 1 + 1) x 2: x = 0 gives column 2; y = -0.5 gives row 1.
    const float corner[3] = {0.0f, -0.5f, 0.0f};
    EXPECT_EQ(shadow_lookup(&one, corner, 0.0, 1, 1), 0.0);
    EXPECT_EQ(shadow_lookup(&one, corner, 0.0, 0, 1), 0.0);
    const float right_edge[3] = {1.0f, -0.5f, 0.0f};  // u = n exactly
    EXPECT_EQ(shadow_lookup(&one, right_edge, 0.0, 0, 1), 1.0);
    ShadowMap m;
    shadow_map_init(&m);
    m.faces[0] = one;
    one.depth = nullptr;
    one.ids = nullptr;
    shadow_map_free(&m);
    shadow_map_free(&m);  // twice: nothing freed twice
}

TEST(Shadow, AimRules) {
    ShadowFace f;
    const double from[3] = {1, 2, 3};
    EXPECT_EQ(shadow_face_aim(&f, from, from, nullptr, 0.7), 1);  // no direction
    EXPECT_EQ(f.m[0][0], 1.0);
    const double to[3] = {1, 2, -7};
    // Cone cosines at and beyond the ends still give a finite, usable matrix.
    for (double c : {1.0, 1.5, 0.0, -0.5, std::nan("")}) {
        ASSERT_EQ(shadow_face_aim(&f, from, to, nullptr, c), 0) << c;
        double q[3], w;
        const double p[3] = {1.5, 2, 0};
        mat4_xform_point_w(q, &w, p, f.m);
        EXPECT_TRUE(std::isfinite(q[0]) && w > 0.0) << c;
    }
    // A point at the half angle off the axis projects to x / w = 1.
    ASSERT_EQ(shadow_face_aim(&f, from, to, nullptr, std::cos(M_PI / 6)), 0);
    double q[3], w;
    const double edge[3] = {1 + 10 * std::tan(M_PI / 6), 2, -7};
    mat4_xform_point_w(q, &w, edge, f.m);
    EXPECT_NEAR(std::fabs(std::max(std::fabs(q[0]), std::fabs(q[1])) / w), 1.0, 1e-9);
}

namespace {

struct Hits {
    std::vector<std::pair<int, int>> cells;
};

void record(int32_t col, int32_t row, const ShadowVertex*, void* h, void*) {
    static_cast<Hits*>(h)->cells.push_back({col, row});
}

ShadowPolygon triangle(const double a[4], const double b[4], const double c[4]) {
    ShadowPolygon p;
    p.count = 3;
    const double* v[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i) p.v[k].f[4 + i] = v[k][i];
    return p;
}

}  // namespace

TEST(Shadow, ClipAndScan) {
    double id[4][4];
    mat4_identity_proj(id, 1);
    // Inside the clip volume: drawn with its vertices unchanged (bar the divide).
    const double a[3] = {-0.5, -0.5, 0.5}, b[3] = {0.5, -0.5, 0.5}, c[3] = {0, 0.5, 0.5};
    ShadowPolygon p = triangle(a, b, c);
    Hits h;
    EXPECT_EQ(shadow_polygon_draw(&p, id, 8, 8, false, 0, &record, &h, nullptr), 1);
    EXPECT_EQ(p.count, 3);
    EXPECT_FALSE(h.cells.empty());
    // All behind (z < 0): dropped.
    const double a2[3] = {0, 0, -1}, b2[3] = {0.5, 0, -1}, c2[3] = {0, 0.5, -2};
    p = triangle(a2, b2, c2);
    h.cells.clear();
    EXPECT_EQ(shadow_polygon_draw(&p, id, 8, 8, false, 0, &record, &h, nullptr), 0);
    EXPECT_TRUE(h.cells.empty());
    // Straddling z = 0: cut there (a quadrilateral is left).
    const double a3[3] = {-0.5, -0.5, 1}, b3[3] = {0.5, -0.5, 1}, c3[3] = {0, 0.5, -1};
    p = triangle(a3, b3, c3);
    EXPECT_EQ(shadow_polygon_draw(&p, id, 8, 8, false, 0, &record, &h, nullptr), 1);
    EXPECT_EQ(p.count, 4);
    for (int i = 0; i < p.count; ++i) EXPECT_GE(p.v[i].f[2], 0.0);
    // Beyond the far bound (z > w with w = 1): still drawn.
    const double a4[3] = {-0.5, -0.5, 5}, b4[3] = {0.5, -0.5, 5}, c4[3] = {0, 0.5, 5};
    p = triangle(a4, b4, c4);
    h.cells.clear();
    EXPECT_EQ(shadow_polygon_draw(&p, id, 8, 8, false, 0, &record, &h, nullptr), 1);
    EXPECT_FALSE(h.cells.empty());
    // A horizontal edge exactly on a row of pixel centres (y = 4.5 pixels): every
    // cell once, no division by zero.
    const double a5[3] = {-0.75, 0.125, 0.5}, b5[3] = {0.75, 0.125, 0.5}, c5[3] = {0, 0.875, 0.5};
    p = triangle(a5, b5, c5);
    h.cells.clear();
    EXPECT_EQ(shadow_polygon_draw(&p, id, 8, 8, true, 0, &record, &h, nullptr), 1);
    std::vector<std::pair<int, int>> sorted = h.cells;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const auto& cell : h.cells) {
        EXPECT_GE(cell.second, 4);
        EXPECT_LT(cell.second, 8);
    }
}

// A vertex whose divide overflows (a huge depth over a tiny w) drops the polygon:
// the span callback never sees a non-finite value.
TEST(Shadow, OverflowingDivideDropped) {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 1e10, 0}};
    const double a[3] = {0, 0, 1e-300}, b[3] = {0.5, 0, 1}, c[3] = {0, 0.5, 1};
    ShadowPolygon p = triangle(a, b, c);
    Hits h;
    EXPECT_EQ(shadow_polygon_draw(&p, m, 8, 8, false, 0, &record, &h, nullptr), 0);
    EXPECT_TRUE(h.cells.empty());
}

TEST(Shadow, AllocationLimits) {
    ShadowFace f;
    EXPECT_EQ(shadow_face_alloc(&f, 0), 1);
    EXPECT_EQ(shadow_face_alloc(&f, -3), 1);
    EXPECT_EQ(shadow_face_alloc(&f, 100000), 1);
    EXPECT_EQ(f.n, 0);
    EXPECT_EQ(f.depth, nullptr);
}
