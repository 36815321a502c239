// The triangulation oracle over random polygons with holes and over the ASCII and
// Latin-1 glyphs of DejaVu Sans, Serif and Sans Mono at three sizes: areas, turning
// sense, centroids, visible edges, no overlap (sampled), and the same indices at
// every size.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "commands/model3d/triangulate.h"
#include "oracle.h"
#include "text3d_support.h"

namespace {

void collect(void* ctx, int32_t, int32_t a, int32_t b, int32_t c, int bits) {
    static_cast<std::vector<OracleFace>*>(ctx)->push_back({a, b, c, bits});
}

bool proper_cross(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    const double d1 = oracle_area2(a, b, c), d2 = oracle_area2(a, b, d);
    const double d3 = oracle_area2(c, d, a), d4 = oracle_area2(c, d, b);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

TEST(TriangulationOracle, RandomPolygonsWithHoles) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(0, 1);
    int checked = 0;
    for (int round = 0; round < 300; ++round) {
        const int n = 5 + static_cast<int>(u(rng) * 40);
        std::vector<Vec3d> v;
        std::vector<OracleRange> rs;
        // Star-shaped outer, clockwise.
        for (int i = 0; i < n; ++i) {
            const double a = -2 * M_PI * (i + 0.8 * u(rng)) / n, r = 0.7 + 0.3 * u(rng);
            v.push_back({r * std::cos(a), r * std::sin(a), 0});
        }
        rs.push_back({0, n - 1});
        // Holes: small counter-clockwise polygons apart from each other.
        const int k = static_cast<int>(u(rng) * 4);
        std::vector<std::array<double, 3>> placed;
        for (int h = 0; h < k; ++h) {
            const double cx = (u(rng) - 0.5) * 0.8, cy = (u(rng) - 0.5) * 0.8, r = 0.05 + 0.08 * u(rng);
            bool ok = true;
            for (const auto& p : placed) ok = ok && std::hypot(p[0] - cx, p[1] - cy) > p[2] + r + 0.02;
            if (!ok) continue;
            placed.push_back({cx, cy, r});
            const int m = 3 + static_cast<int>(u(rng) * 6);
            const int32_t first = static_cast<int32_t>(v.size());
            for (int i = 0; i < m; ++i) {
                const double a = 2 * M_PI * (i + 0.5 * u(rng)) / m;
                v.push_back({cx + r * std::cos(a), cy + r * std::sin(a), 0});
            }
            rs.push_back({first, static_cast<int32_t>(v.size()) - 1});
        }
        ContourSet set(rs.size());
        for (size_t i = 0; i < rs.size(); ++i) {
            ASSERT_EQ(contour_init_range(&set[i], vector_vertex_io, &v, rs[i].first, rs[i].last), 0);
            contour_update_box(&set[i], 0);
        }
        ASSERT_EQ(set[0].clockwise, 1);
        for (size_t i = 1; i < set.size(); ++i) {
            ASSERT_EQ(set[i].clockwise, 0);
            ASSERT_EQ(contour_bridge_hole(&set[0], set[i]), 0);
        }
        ASSERT_EQ(set[0].count, static_cast<int32_t>(v.size() + 2 * (rs.size() - 1)));
        // Only inputs whose bridges cross no edge are simple enough to judge.
        bool simple = true;
        const auto& e = set[0].entries;
        for (size_t i = 0; i < e.size() && simple; ++i) {
            const size_t j = (i + 1) % e.size();
            if (!((e[i].flags & kBridgeFrom) && (e[j].flags & kBridgeTo))) continue;
            for (size_t a = 0; a < e.size() && simple; ++a) {
                const size_t b = (a + 1) % e.size();
                simple = !proper_cross(v[e[i].vertex], v[e[j].vertex], v[e[a].vertex], v[e[b].vertex]);
            }
        }
        if (!simple) continue;
        std::vector<OracleFace> faces;
        int32_t count = 0;
        ASSERT_EQ(contour_triangulate(&faces, &count, set[0], collect, 0), 0);
        ASSERT_EQ(faces.size(), static_cast<size_t>(set[0].count - 2));
        std::string why = oracle_check(v, rs, faces, 1.0);
        if (why.empty()) why = oracle_sampled_cover(v, rs, faces, 16);
        EXPECT_EQ(why, "") << "round " << round;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

// Builds a flat glyph at `size` and checks it; returns its faces.
std::vector<OracleFace> glyph_faces(GlyphFont* font, uint32_t code, double size, bool sample, std::string* why,
                                    bool* overlapping) {
    GlyphOutline o;
    if (glyph_outline_read(&o, font, code) != 0) return {};
    Text3dParams p = text3d_params(size, 0, 0);
    GlyphMesh g;
    EXPECT_EQ(glyph_solid_build(o, &p, &g), 0);
    std::vector<OracleRange> rs;
    int32_t first = 0;
    for (int32_t last : g.contour_last) {
        if (last - first + 1 >= 3) rs.push_back({first, last});
        first = last + 1;
    }
    std::vector<OracleFace> faces;
    for (const GlyphFace& f : g.faces) faces.push_back({f.a, f.b, f.c, f.bits});
    // Overlapping components (a cedilla on its letter) make no region to judge.
    ContourSet set(rs.size());
    for (size_t i = 0; i < rs.size(); ++i)
        EXPECT_EQ(
            contour_init_range(&set[i], vector_vertex_io, &g.vertices, rs[i].first, rs[i].last), 0);
    for (char c : contour_set_crossings(set, 0))
        if (c) {
            *overlapping = true;
            return faces;
        }
    *why = oracle_check(g.vertices, rs, faces, size);
    // No overlap and no gap, sampled.
    if (why->empty() && sample) *why = oracle_sampled_cover(g.vertices, rs, faces, 24);
    return faces;
}

TEST(TriangulationOracle, DejaVuGlyphsAtThreeSizes) {
    const char* files[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"};
    for (const char* file : files) {
        TextFontRecord r;
        r.file = file;
        GlyphFont font;
        ASSERT_EQ(glyph_font_open(&font, r), 0) << file;
        int glyphs = 0, skipped = 0;
        for (uint32_t code = 33; code < 256; ++code) {
            if (code >= 127 && code < 161) continue;
            std::string why;
            bool overlapping = false;
            const std::vector<OracleFace> ref = glyph_faces(&font, code, 1.0, true, &why, &overlapping);
            skipped += overlapping ? 1 : 0;
            EXPECT_EQ(why, "") << file << " U+" << std::hex << code;
            for (double size : {0.01, 100.0}) {
                const std::vector<OracleFace> other = glyph_faces(&font, code, size, false, &why, &overlapping);
                EXPECT_EQ(why, "") << file << " U+" << std::hex << code << " size " << size;
                bool same = other.size() == ref.size();
                for (size_t i = 0; same && i < ref.size(); ++i)
                    same = ref[i].a == other[i].a && ref[i].b == other[i].b && ref[i].c == other[i].c &&
                           ref[i].bits == other[i].bits;
                EXPECT_TRUE(same) << file << " U+" << std::hex << code << " size " << size;
            }
            glyphs += ref.empty() ? 0 : 1;
        }
        EXPECT_GT(glyphs, 180) << file;
        EXPECT_LE(skipped, 6) << file;
    }
}

}  // namespace
