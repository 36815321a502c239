// Glyph solids on the tests' own font: exact vertex and face counts by depth and
// chamfer, ring depths and insets, the pen, blanks, and the chamfer refusals.
#include <gtest/gtest.h>

#include <cmath>

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

TEST(GlyphSolid, ChamferThatFoldsALetterIsRefused) {
    MemoryFont m(test_font());
    GlyphOutline o;
    ASSERT_EQ(glyph_outline_read(&o, &m.font, 'O'), 0);
    Text3dParams p = text3d_params(1, 1, 0.3);  // the hole grows over the shrinking outer
    GlyphMesh g;
    EXPECT_EQ(glyph_solid_build(o, &p, &g), 34);
    // A small hole grown round its outer without crossing it.
    GlyphOutline s;
    s.points = {{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}, {1, 0.45, 0.45}, {1, 0.55, 0.45}, {1, 0.55, 0.55},
                {1, 0.45, 0.55}};
    s.ends = {3, 7};
    s.right = s.top = 1;
    p = text3d_params(1, 1, 0.3);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), 34);
    p = text3d_params(1, 1, 0.01);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), 0);
    // Negative z steps (a chamfer above half the depth) fold the rings back.
    p = text3d_params(1, 0.1, 0.2);
    EXPECT_EQ(glyph_solid_build(s, &p, &g), 34);
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
    EXPECT_EQ(text_solids_build_font(&m.font, "AOA", &p, &sink), 34);
    EXPECT_EQ(sink.meshes.size(), 1u);
    EXPECT_EQ(sink.code, 34);
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
    EXPECT_EQ(text_solids_build(missing, "A", &p, &s2), 13);
    EXPECT_EQ(s2.code, 13);
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
