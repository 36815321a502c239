// Glyph solids on the tests' own font: exact vertex and face counts by depth and
// chamfer, ring depths and insets, the pen, blanks, and the chamfer refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "alloc_fail.h"
#include "commands/model3d/triangulate.h"
#include "model/math/result.h"
#include "text3d_support.h"

namespace {

struct Counts {
    size_t vertices, faces;
};

TEST(GlyphSolid, ExactCountsOnTheTestFont) {
    MemoryFont m(test_font());
    // Depth, chamfer -> rings: (0, 0) 1, (2, 0) 2, (0.2, 0.1) 3, (1, 0.1) 4.
    const double dc[4][2] = {{0, 0}, {2, 0}, {0.2, 0.1}, {1, 0.1}};
    struct Row {
        char glyph;
        Counts want[4];
    } rows[] = {
        {'A', {{4, 2}, {8, 12}, {12, 20}, {16, 28}}},
        {'D', {{4, 2}, {8, 12}, {12, 20}, {16, 28}}},         // one-point contour dropped
        {'O', {{8, 8}, {16, 32}, {24, 48}, {32, 64}}},        // hole bridged: 10 entries
        {'C', {{16, 14}, {32, 60}, {48, 92}, {64, 124}}},     // 8 curve pieces of 2
        {'R', {{4, 0}, {8, 8}, {12, 16}, {16, 24}}},          // reversed: sides only
    };
    for (const Row& r : rows)
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(std::string(1, r.glyph) + " case " + std::to_string(k));
            GlyphOutline o;
            ASSERT_EQ(glyph_outline_read(&o, &m.font, static_cast<uint32_t>(r.glyph)), 0);
            Text3dParams p = text3d_params(1, dc[k][0], dc[k][1]);
            GlyphMesh g;
            ASSERT_EQ(glyph_solid_build(o, &p, &g), 0);
            EXPECT_EQ(g.rings, k + 1);
            EXPECT_EQ(g.vertices.size(), r.want[k].vertices);
            EXPECT_EQ(g.faces.size(), r.want[k].faces);
            for (const GlyphFace& f : g.faces)
                for (int32_t v : {f.a, f.b, f.c}) ASSERT_TRUE(v >= 0 && v < static_cast<int32_t>(g.vertices.size()));
        }
}

TEST(GlyphSolid, RingDepthsAndInsetsHolesToo) {
    MemoryFont m(test_font());
    GlyphOutline o;
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'O'), 0);
    const double H = 10, D = 3, C = 0.5;
    Text3dParams p = text3d_params(H, D, C);
    GlyphMesh g;
    ASSERT_EQ(glyph_solid_build(o, &p, &g), 0);
    ASSERT_EQ(g.rings, 4);
    const double z[4] = {0, -C, -(D - C), -D};
    const double inset[4] = {C, 0, 0, C};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < g.ring_size; ++i) {
            const Vec3d& v = g.vertices[static_cast<size_t>(k * g.ring_size + i)];
            EXPECT_EQ(v.z, z[k]) << k << " " << i;
            // Outer square 0..10 shrinks, the hole 2.5..7.5 grows, by the inset.
            const double lo = i < 4 ? inset[k] : 2.5 - inset[k], hi = i < 4 ? 10 - inset[k] : 7.5 + inset[k];
            EXPECT_NEAR(std::fmin(std::fabs(v.x - lo), std::fabs(v.x - hi)), 0, 1e-9) << k << " " << i;
        }
    // Front faces all at z 0 facing one way, back faces at -D the other; no face
    // covers the hole's centre.
    for (const GlyphFace& f : g.faces) {
        const Vec3d &a = g.vertices[f.a], &b = g.vertices[f.b], &c = g.vertices[f.c];
        const double cx = (a.x + b.x + c.x) / 3, cy = (a.y + b.y + c.y) / 3;
        EXPECT_FALSE(cx > 2.5 && cx < 7.5 && cy > 2.5 && cy < 7.5 && a.z == b.z && b.z == c.z);
    }
}

// With the Nth allocation failing, for every N, a glyph with a hole and a chamfer is
// built whole or answers out of memory (8), never a refusal of its chamfer; the hole
// bridge alone answers 8 with the outer as it was.
TEST(GlyphSolid, OutOfMemoryIsToldAsSuch) {
    MemoryFont m(test_font());
    GlyphOutline o;
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'O'), 0);
    const Text3dParams p = text3d_params(10, 3, 0.5);
    GlyphMesh whole;
    Text3dParams q = p;
    ASSERT_EQ(glyph_solid_build(o, &q, &whole), 0);
    walk_failures(
        [&] {
            q = p;
            GlyphMesh g;
            const int r = glyph_solid_build(o, &q, &g);
            if (r == 0) {
                EXPECT_EQ(g.faces.size(), whole.faces.size());
            }
            return r;
        },
        [](int r, bool, long n) { EXPECT_TRUE(r == 0 || r == kOutOfMemory) << r << " at allocation " << n; });

    std::vector<Vec3d> v = {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}, {4, 4, 0}, {6, 4, 0}, {6, 6, 0}, {4, 6, 0}};
    ContourRecord outer, hole;
    ASSERT_EQ(contour_init_range(&hole, vector_vertex_io, &v, 4, 7), 0);
    walk_failures([&] { return contour_init_range(&outer, vector_vertex_io, &v, 0, 3); },
                  [&](int r, bool, long n) {
                      EXPECT_EQ(r == 0 ? 4 : 0, outer.count) << "allocation " << n;
                      if (r != 0) {
                          EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                      }
                  });
    walk_failures([&] { return contour_bridge_hole(&outer, hole); },
                  [&](int r, bool, long n) {
                      EXPECT_EQ(outer.count, r == 0 ? 10 : 4) << "allocation " << n;
                      if (r != 0) {
                          EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                      }
                  },
                  [&] { ASSERT_EQ(contour_init_range(&outer, vector_vertex_io, &v, 0, 3), 0); });
    ASSERT_EQ(contour_init_range(&outer, vector_vertex_io, &v, 0, 3), 0);
    ASSERT_EQ(contour_bridge_hole(&outer, hole), 0);
    std::vector<GlyphFace> faces;
    int32_t counter = 0;
    auto sink = [](void* to, int32_t, int32_t a, int32_t b, int32_t c, int bits) {
        static_cast<std::vector<GlyphFace>*>(to)->push_back({a, b, c, bits});
    };
    walk_failures([&] { return contour_triangulate(&faces, &counter, outer, sink, 0); },
                  [&](int r, bool, long n) {
                      EXPECT_EQ(faces.size(), r == 0 ? 8u : 0u) << "allocation " << n;
                      if (r != 0) {
                          EXPECT_EQ(r, kOutOfMemory) << "allocation " << n;
                      }
                  },
                  [&] { faces.clear(), faces.reserve(16); });
}

TEST(GlyphSolid, ChamferThatFoldsALetterIsRefused) {
    MemoryFont m(test_font());
    GlyphOutline o;
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'O'), 0);
    Text3dParams p = text3d_params(1, 1, 0.3);  // the hole grows over the shrinking outer
    GlyphMesh g;
    EXPECT_EQ(glyph_solid_build(o, &p, &g), kContourInsetFolds);
    // A small hole grown round its outer without crossing it.
    GlyphOutline s;
    s.points = {{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}, {1, 0.45, 0.45}, {1, 0.55, 0.45}, {1, 0.55, 0.55},
                {1, 0.45, 0.55}};
    s.ends = {3, 7};
    s.right = s.top = 1;
    p = text3d_params(1, 1, 0.3);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), kContourInsetFolds);
    p = text3d_params(1, 1, 0.01);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), 0);
    // Negative z steps (a chamfer above half the depth) fold the rings back.
    p = text3d_params(1, 0.1, 0.2);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), kContourInsetFolds);
}

// Why a glyph solid is no sound solid, or empty: every directed edge must meet its
// reverse exactly once (closed), and no two faces without a common corner may cross
// (one's edge passing through the other's inside).
std::string unsound_solid(const GlyphMesh& g) {
    std::map<std::pair<int32_t, int32_t>, int> directed;
    for (const GlyphFace& f : g.faces) {
        const int32_t v[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k) ++directed[{v[k], v[(k + 1) % 3]}];
    }
    for (const auto& [e, n] : directed) {
        const auto rev = directed.find({e.second, e.first});
        if (n != 1 || rev == directed.end() || rev->second != 1) return "open or doubled edge";
    }
    auto orient = [](const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
        const Vec3d u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z},
            w{d.x - a.x, d.y - a.y, d.z - a.z};
        const double det = u.x * (v.y * w.z - v.z * w.y) - u.y * (v.x * w.z - v.z * w.x) +
                           u.z * (v.x * w.y - v.y * w.x);
        return det > 0 ? 1 : det < 0 ? -1 : 0;
    };
    // Segment p-q through the inside of triangle a, b, c.
    auto pierces = [&](const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b,
                       const Vec3d& c) {
        const int sp = orient(a, b, c, p), sq = orient(a, b, c, q);
        if (sp == 0 || sq == 0 || sp == sq) return false;
        const int s1 = orient(p, q, a, b), s2 = orient(p, q, b, c), s3 = orient(p, q, c, a);
        return s1 != 0 && s1 == s2 && s2 == s3;
    };
    struct Box {
        double lo[3], hi[3];
        size_t face;
    };
    std::vector<Box> boxes;
    for (size_t i = 0; i < g.faces.size(); ++i) {
        const GlyphFace& f = g.faces[i];
        Box b{{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}, i};
        for (int32_t v : {f.a, f.b, f.c}) {
            const double c[3] = {g.vertices[v].x, g.vertices[v].y, g.vertices[v].z};
            for (int k = 0; k < 3; ++k)
                b.lo[k] = std::fmin(b.lo[k], c[k]), b.hi[k] = std::fmax(b.hi[k], c[k]);
        }
        boxes.push_back(b);
    }
    std::sort(boxes.begin(), boxes.end(),
              [](const Box& a, const Box& b) { return a.lo[0] < b.lo[0]; });
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size() && boxes[j].lo[0] <= boxes[i].hi[0]; ++j) {
            const Box &p = boxes[i], &q = boxes[j];
            if (p.lo[1] > q.hi[1] || q.lo[1] > p.hi[1] || p.lo[2] > q.hi[2] || q.lo[2] > p.hi[2])
                continue;
            const GlyphFace &f = g.faces[p.face], &h = g.faces[q.face];
            const int32_t fv[3] = {f.a, f.b, f.c}, hv[3] = {h.a, h.b, h.c};
            bool shared = false;
            for (int32_t x : fv)
                for (int32_t y : hv) shared = shared || x == y;
            if (shared) continue;
            for (int k = 0; k < 3; ++k) {
                const Vec3d &f0 = g.vertices[fv[k]], &f1 = g.vertices[fv[(k + 1) % 3]];
                const Vec3d &h0 = g.vertices[hv[k]], &h1 = g.vertices[hv[(k + 1) % 3]];
                if (pierces(f0, f1, g.vertices[hv[0]], g.vertices[hv[1]], g.vertices[hv[2]]) ||
                    pierces(h0, h1, g.vertices[fv[0]], g.vertices[fv[1]], g.vertices[fv[2]]))
                    return "faces cross";
            }
        }
    return {};
}

// Whether contours of a glyph cross in the font's own outline (a cedilla drawn over
// its letter): its solid crosses itself whatever the chamfer.
bool overlapping_components(const GlyphOutline& o) {
    Text3dParams flat = text3d_params(1, 0, 0);
    GlyphMesh g;
    if (glyph_solid_build(o, &flat, &g) != 0) return true;
    ContourSet set;
    int32_t first = 0;
    for (int32_t last : g.contour_last) {
        set.emplace_back();
        EXPECT_EQ(contour_init_range(&set.back(), vector_vertex_io, &g.vertices, first, last), 0);
        first = last + 1;
    }
    for (char c : contour_set_crossings(set, 0))
        if (c) return true;
    return false;
}

// Twice the signed area of the ring first..last of v.
double ring_area2(const std::vector<Vec3d>& v, int32_t first, int32_t last) {
    double a = 0;
    for (int32_t i = first, j = last; i <= last; j = i++) a += v[j].x * v[i].y - v[i].x * v[j].y;
    return a;
}

// What makes the chamfer inset `d` of the glyph at `size` unbuildable, measured on
// the rings themselves: a contour whose turning sense flips or one of whose edges
// runs backwards by far more than rounding, or contours that cross after the inset
// but not in the font. Empty when none.
std::string refusal_cause(const GlyphOutline& o, double size, double d) {
    Text3dParams flat = text3d_params(size, 0, 0);
    GlyphMesh g;
    if (glyph_solid_build(o, &flat, &g) != 0) return "";
    std::vector<Vec3d> ring = g.vertices;
    ContourSet set;
    int32_t first = 0;
    for (int32_t last : g.contour_last) {
        set.emplace_back();
        EXPECT_EQ(contour_init_range(&set.back(), vector_vertex_io, &ring, first, last), 0);
        first = last + 1;
    }
    const std::vector<char> before = contour_set_crossings(set, 0);
    for (ContourRecord& r : set) {
        if (r.last - r.first < 2) continue;
        (void)contour_inset(&r, 0, d, 0);
        const double a0 = ring_area2(g.vertices, r.first, r.last), a1 = ring_area2(ring, r.first, r.last);
        if ((a0 < 0) != (a1 < 0)) return "turning sense flipped";
        for (int32_t i = r.first, j = r.last; i <= r.last; j = i++) {
            const Vec3d &s0 = g.vertices[j], &s1 = g.vertices[i], &t0 = ring[j], &t1 = ring[i];
            const double ex = s1.x - s0.x, ey = s1.y - s0.y;
            if ((t1.x - t0.x) * ex + (t1.y - t0.y) * ey < -1e-6 * (ex * ex + ey * ey)) return "an edge runs backwards";
        }
    }
    const std::vector<char> after = contour_set_crossings(set, 0);
    for (size_t k = 0; k < after.size(); ++k)
        if (after[k] && !before[k]) return "contours cross";
    // A hole grown out of the box of an outer that held it.
    auto within = [](const std::vector<Vec3d>& v, const ContourRecord& in, const ContourRecord& out) {
        double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
        for (int32_t i = out.first; i <= out.last; ++i)
            lo[0] = std::fmin(lo[0], v[i].x), lo[1] = std::fmin(lo[1], v[i].y), hi[0] = std::fmax(hi[0], v[i].x),
            hi[1] = std::fmax(hi[1], v[i].y);
        for (int32_t i = in.first; i <= in.last; ++i)
            if (v[i].x < lo[0] || v[i].y < lo[1] || v[i].x > hi[0] || v[i].y > hi[1]) return false;
        return true;
    };
    for (const ContourRecord& h : set)
        for (const ContourRecord& c : set)
            if (h.last - h.first >= 2 && c.last - c.first >= 2 && ring_area2(g.vertices, h.first, h.last) > 0 &&
                ring_area2(g.vertices, c.first, c.last) < 0 && within(g.vertices, h, c) && !within(ring, h, c))
                return "a hole outgrew its outer";
    return "";
}

// The glyphs of real fonts at two sizes and three chamfers: a chamfer is refused or
// gives a closed solid that does not cross itself. A chamfer wider than a dot turned
// the dot's front ring half round, its chamfer faces through each other. A narrow
// chamfer builds every glyph, and a wider one is refused only for a cause seen on
// the inset rings.
TEST(GlyphSolid, ChamferedDejaVuGlyphsAreRefusedOrSound) {
    TextFontRecord r;
    r.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    GlyphFont sans;
    ASSERT_EQ(glyph_font_open(&sans, r), 0);
    GlyphOutline dot;
    ASSERT_EQ(glyph_outline_read(&dot, &sans, '.'), 0);
    Text3dParams p = text3d_params(100, 30, 7.2);
    GlyphMesh g;
    EXPECT_EQ(glyph_solid_build(dot, &p, &g), kContourInsetFolds);
    EXPECT_EQ(refusal_cause(dot, 100, 7.2), "an edge runs backwards");
    for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"}) {
        r.file = file;
        GlyphFont font;
        ASSERT_EQ(glyph_font_open(&font, r), 0) << file;
        int accepted = 0, refused = 0;
        for (uint32_t code = 33; code < 256; ++code) {
            if (code >= 127 && code < 161) continue;
            GlyphOutline o;
            if (glyph_outline_read(&o, &font, code) != 0 || overlapping_components(o)) continue;
            for (double size : {1.0, 100.0})
                for (double chamfer : {0.004, 0.02, 0.072}) {
                    SCOPED_TRACE(::testing::Message() << file << " U+" << std::hex << code << std::dec << " size "
                                                      << size << " chamfer " << chamfer);
                    p = text3d_params(size, 0.3 * size, chamfer * size);
                    const int result = glyph_solid_build(o, &p, &g);
                    if (chamfer == 0.004) {
                        EXPECT_EQ(result, 0);
                    }
                    if (result == kContourInsetFolds) {
                        ++refused;
                        EXPECT_NE(refusal_cause(o, size, chamfer * size), "");
                        continue;
                    }
                    ASSERT_EQ(result, 0);
                    ++accepted;
                    EXPECT_EQ(unsound_solid(g), "");
                }
        }
        // The widest chamfer is wider than most strokes; the narrower ones pass.
        EXPECT_GT(accepted, refused) << file;
    }
}

double min_x(const GlyphMesh& g) {
    double x = 1e30;
    for (const Vec3d& v : g.vertices) x = std::fmin(x, v.x);
    return x;
}
double max_x(const GlyphMesh& g) {
    double x = -1e30;
    for (const Vec3d& v : g.vertices) x = std::fmax(x, v.x);
    return x;
}

TEST(TextSolids, PenGapsBlanksAndCharacters) {
    MemoryFont m(test_font());
    struct Case {
        const char* text;
        std::vector<double> starts;  // left edge of each glyph, em
    } cases[] = {
        {"AA", {0, 1.1}},
        {"A A", {0, 1.5}},       // blank advance 0.4
        {"LL", {0, 1.1}},        // a left bearing of 0.6 em does not overlap
        {"A\xC3\xA9" "A", {0, 1.5}},  // é is one character, missing here: one blank
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        KeepSink sink;
        Text3dParams p = text3d_params(1, 0, 0);
        EXPECT_EQ(text_solids_build_font(&m.font, c.text, &p, &sink), 0);
        EXPECT_EQ(sink.ended, 1);
        EXPECT_EQ(sink.code, 0);
        ASSERT_EQ(sink.meshes.size(), c.starts.size());
        for (size_t i = 0; i < c.starts.size(); ++i) {
            EXPECT_NEAR(min_x(sink.meshes[i]), c.starts[i], 1e-12) << i;
            EXPECT_NEAR(max_x(sink.meshes[i]), c.starts[i] + 1, 1e-12) << i;
        }
    }
    // The first error stops the text and reaches the sink.
    KeepSink sink;
    Text3dParams p = text3d_params(1, 1, 0.3);
    EXPECT_EQ(text_solids_build_font(&m.font, "AOA", &p, &sink), kContourInsetFolds);
    EXPECT_EQ(sink.meshes.size(), 1u);
    EXPECT_EQ(sink.code, kContourInsetFolds);
    // With a face that has it, é is one glyph.
    TextFontRecord dejavu;
    dejavu.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    KeepSink s1;
    Text3dParams p1 = text3d_params(1, 0.2, 0.01);
    EXPECT_EQ(text_solids_build(dejavu, "\xC3\xA9", &p1, &s1), 0);
    EXPECT_EQ(s1.meshes.size(), 1u);
    // An unopenable face is reported, not swallowed.
    TextFontRecord missing;
    missing.file = "/nonexistent.ttf";
    KeepSink s2;
    EXPECT_EQ(text_solids_build(missing, "A", &p, &s2), kBadArgument);
    EXPECT_EQ(s2.code, kBadArgument);
    // A glyph that cannot be read (here: no face behind the font) stops the text
    // with its code; it is no blank.
    GlyphFont closed;
    KeepSink s3;
    Text3dParams p3 = text3d_params(1, 0, 0);
    EXPECT_EQ(text_solids_build_font(&closed, "A", &p3, &s3), kWrongKind);
    EXPECT_EQ(s3.code, kWrongKind);
    EXPECT_EQ(s3.begun, 0);
    EXPECT_EQ(p3.pen_x, 0);
}

TEST(TextSolids, PreviewSpaceAndBox) {
    MemoryFont m(test_font());
    struct Seg {
        double x0, y0, x1, y1;
    };
    std::vector<Seg> segs;
    auto collect = [](void* ctx, double x0, double y0, double x1, double y1) {
        static_cast<std::vector<Seg>*>(ctx)->push_back({x0, y0, x1, y1});
    };
    glyph_preview_font(&m.font, "A A", &segs, collect);
    ASSERT_EQ(segs.size(), 8u);  // two squares
    double second = 1e30;
    for (size_t i = 4; i < 8; ++i) second = std::fmin(second, std::fmin(segs[i].x0, segs[i].x1));
    EXPECT_NEAR(second, 1.0 + 0.1 + 0.3, 1e-12);  // the preview's blank is 0.3 em
    segs.clear();
    glyph_preview_font(&m.font, "C", &segs, collect);
    EXPECT_EQ(segs.size(), 32u);  // 8 curve pieces of four lines
}

}  // namespace
