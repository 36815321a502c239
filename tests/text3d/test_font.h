// A minimal TrueType font writer for the tests: glyphs of quadratic contours (points
// with on-curve flags, font units), a Unicode (or symbol, or Mac Roman) character
// map, horizontal metrics. Enough tables for FreeType: head, hhea, maxp, loca, glyf,
// cmap, hmtx, name, post.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TestPoint {
    int x, y;
    bool on = true;
};
using TestContour = std::vector<TestPoint>;

struct TestGlyph {
    std::vector<TestContour> contours;
    int advance = 1000;
};

enum class TestCmap { kUnicode, kSymbol, kMacRoman };

class TestFont {
  public:
    int units_per_em = 1000;
    TestCmap cmap = TestCmap::kUnicode;
    std::map<uint32_t, TestGlyph> glyphs;  // by character code

    std::vector<unsigned char> bytes() const {
        std::vector<uint32_t> codes;
        for (const auto& g : glyphs) codes.push_back(g.first);
        const int num_glyphs = static_cast<int>(codes.size()) + 1;  // .notdef first
        // glyf and loca
        Buf glyf;
        std::vector<uint32_t> loca = {0};
        int max_points = 0, max_contours = 0;
        for (uint32_t c : codes) {
            const TestGlyph& g = glyphs.at(c);
            if (!g.contours.empty()) {
                int xmin = 1 << 30, ymin = 1 << 30, xmax = -(1 << 30), ymax = -(1 << 30), n = 0;
                for (const TestContour& k : g.contours)
                    for (const TestPoint& p : k) {
                        xmin = std::min(xmin, p.x), ymin = std::min(ymin, p.y);
                        xmax = std::max(xmax, p.x), ymax = std::max(ymax, p.y);
                        ++n;
                    }
                max_points = std::max(max_points, n);
                max_contours = std::max(max_contours, static_cast<int>(g.contours.size()));
                glyf.s16(static_cast<int>(g.contours.size()));
                glyf.s16(xmin), glyf.s16(ymin), glyf.s16(xmax), glyf.s16(ymax);
                int end = -1;
                for (const TestContour& k : g.contours) glyf.u16(end += static_cast<int>(k.size()));
                glyf.u16(0);  // no instructions
                for (const TestContour& k : g.contours)
                    for (const TestPoint& p : k) glyf.u8(p.on ? 1 : 0);
                int last = 0;
                for (const TestContour& k : g.contours)
                    for (const TestPoint& p : k) glyf.s16(p.x - last), last = p.x;
                last = 0;
                for (const TestContour& k : g.contours)
                    for (const TestPoint& p : k) glyf.s16(p.y - last), last = p.y;
                while (glyf.b.size() % 4) glyf.u8(0);
            }
            loca.push_back(static_cast<uint32_t>(glyf.b.size()));
        }
        loca.insert(loca.begin(), 0);  // .notdef: empty
        Buf locab;
        for (uint32_t o : loca) locab.u32(o);
        Buf head;
        head.u32(0x00010000), head.u32(0x00010000), head.u32(0), head.u32(0x5F0F3CF5);
        head.u16(0), head.u16(units_per_em);
        for (int i = 0; i < 4; ++i) head.u32(0);
        head.s16(0), head.s16(0), head.s16(units_per_em), head.s16(units_per_em);
        head.u16(0), head.u16(8), head.s16(2), head.s16(1), head.s16(0);
        Buf hhea;
        hhea.u32(0x00010000), hhea.s16(units_per_em), hhea.s16(0), hhea.s16(0), hhea.u16(units_per_em);
        hhea.s16(0), hhea.s16(0), hhea.s16(units_per_em), hhea.s16(1), hhea.s16(0), hhea.s16(0);
        for (int i = 0; i < 4; ++i) hhea.s16(0);
        hhea.s16(0), hhea.u16(num_glyphs);
        Buf maxp;
        maxp.u32(0x00010000), maxp.u16(num_glyphs), maxp.u16(max_points), maxp.u16(max_contours);
        maxp.u16(0), maxp.u16(0), maxp.u16(2);
        for (int i = 0; i < 8; ++i) maxp.u16(0);
        Buf hmtx;
        hmtx.u16(units_per_em / 2), hmtx.s16(0);
        for (uint32_t c : codes) {
            const TestGlyph& g = glyphs.at(c);
            int xmin = 0;
            bool any = false;
            for (const TestContour& k : g.contours)
                for (const TestPoint& p : k) xmin = any ? std::min(xmin, p.x) : p.x, any = true;
            hmtx.u16(g.advance), hmtx.s16(xmin);
        }
        Buf cm;
        cm.u16(0), cm.u16(1);
        if (cmap == TestCmap::kMacRoman) {
            cm.u16(1), cm.u16(0), cm.u32(12);
            cm.u16(0), cm.u16(262), cm.u16(0);
            std::vector<unsigned char> map(256, 0);
            for (size_t i = 0; i < codes.size(); ++i)
                if (codes[i] < 256) map[codes[i]] = static_cast<unsigned char>(i + 1);
            for (unsigned char v : map) cm.u8(v);
        } else {
            cm.u16(3), cm.u16(cmap == TestCmap::kSymbol ? 0 : 1), cm.u32(12);
            const int segs = static_cast<int>(codes.size()) + 1;
            cm.u16(4), cm.u16(16 + 8 * segs), cm.u16(0), cm.u16(2 * segs);
            int sr = 2, es = 0;
            while (sr * 2 <= 2 * segs) sr *= 2, ++es;
            cm.u16(sr), cm.u16(es), cm.u16(2 * segs - sr);
            for (uint32_t c : codes) cm.u16(c);
            cm.u16(0xFFFF), cm.u16(0);
            for (uint32_t c : codes) cm.u16(c);
            cm.u16(0xFFFF);
            for (size_t i = 0; i < codes.size(); ++i) cm.u16((i + 1 - codes[i]) & 0xFFFF);
            cm.u16(1);
            for (int i = 0; i < segs; ++i) cm.u16(0);
        }
        Buf name;
        name.u16(0), name.u16(0), name.u16(6);
        Buf post;
        post.u32(0x00030000);
        for (int i = 0; i < 7; ++i) post.u32(0);
        const std::vector<std::pair<std::string, const Buf*>> tables = {
            {"cmap", &cm},     {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea}, {"hmtx", &hmtx},
            {"loca", &locab},  {"maxp", &maxp}, {"name", &name}, {"post", &post}};
        Buf out;
        const int nt = static_cast<int>(tables.size());
        out.u32(0x00010000), out.u16(nt), out.u16(128), out.u16(3), out.u16(nt * 16 - 128);
        uint32_t offset = 12 + 16 * nt;
        for (const auto& t : tables) {
            for (char ch : t.first) out.u8(static_cast<unsigned char>(ch));
            out.u32(0), out.u32(offset), out.u32(static_cast<uint32_t>(t.second->b.size()));
            offset += (static_cast<uint32_t>(t.second->b.size()) + 3) & ~3u;
        }
        for (const auto& t : tables) {
            out.b.insert(out.b.end(), t.second->b.begin(), t.second->b.end());
            while (out.b.size() % 4) out.u8(0);
        }
        return out.b;
    }

  private:
    struct Buf {
        std::vector<unsigned char> b;
        void u8(unsigned v) { b.push_back(static_cast<unsigned char>(v)); }
        void u16(unsigned v) { u8(v >> 8), u8(v); }
        void s16(int v) { u16(static_cast<unsigned>(v) & 0xFFFF); }
        void u32(uint32_t v) { u16(v >> 16), u16(v & 0xFFFF); }
    };
};

// The tests' font: 'A' a clockwise square, 'O' a square ring, 'C' a circle of only
// off-curve points, 'D' a square with a one-point contour, 'R' a counter-clockwise
// square, ' ' an empty glyph, 'L' a square with a 600-unit left bearing, 'T' a square
// with a contour that cleaning shrinks to nothing.
inline TestFont test_font() {
    TestFont f;
    const TestContour square = {{0, 0}, {0, 1000}, {1000, 1000}, {1000, 0}};
    f.glyphs['A'] = {{square}, 1000};
    f.glyphs['O'] = {{square, {{250, 250}, {750, 250}, {750, 750}, {250, 750}}}, 1000};
    TestContour circle;
    for (int i = 0; i < 8; ++i) {
        const double a = -i * 3.14159265358979 / 4;
        circle.push_back({500 + static_cast<int>(std::lround(500 * std::cos(a))),
                          500 + static_cast<int>(std::lround(500 * std::sin(a))), false});
    }
    f.glyphs['C'] = {{circle}, 1000};
    f.glyphs['D'] = {{square, {{500, 500}}}, 1000};
    f.glyphs['R'] = {{{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}}}, 1000};
    f.glyphs[' '] = {{}, 500};
    f.glyphs['L'] = {{{{600, 0}, {600, 1000}, {1600, 1000}, {1600, 0}}}, 1700};
    f.glyphs['T'] = {{square, {{500, 500}, {501, 500}, {501, 501}, {500, 501}}}, 1000};
    return f;
}
