// The two built-in stroke fonts: static font records filled from the glyph
// tables in builtin_glyphs.cpp on first use (thread-safe, once). Their stroke
// arrays are allocated once and never freed.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "model/font/builtin_glyphs.h"
#include "model/font/strokefont.h"

namespace {

using namespace builtin_glyphs;

// Working-grid line segment; see builtin_glyphs.h for the grid.
struct Segment {
    int x1, y1, x2, y2;
};
using Shape = std::vector<Segment>;

constexpr int kBaseline = 6;
constexpr int kSpaceAdvance = 8;

StrokeFont g_builtin[2];

// Parses "x,y x,y;x,y ..." into segments joining successive points of each
// polyline. A lone point becomes a zero-length segment.
Shape parse_path(const char* path) {
    Shape shape;
    bool have_point = false;
    int px = 0, py = 0;
    const char* p = path;
    while (*p) {
        if (*p == ';') {
            if (have_point && (shape.empty() || shape.back().x2 != px || shape.back().y2 != py)) {
                shape.push_back({px, py, px, py});
            }
            have_point = false;
            ++p;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(*p))) {
            ++p;
            continue;
        }
        char* end = nullptr;
        int x = static_cast<int>(std::strtol(p, &end, 10));
        if (end == p || *end != ',') break;  // malformed: keep what was read
        p = end + 1;
        int y = static_cast<int>(std::strtol(p, &end, 10));
        if (end == p) break;
        p = end;
        if (have_point) shape.push_back({px, py, x, y});
        px = x;
        py = y;
        have_point = true;
    }
    return shape;
}

void extent_x(const Shape& shape, int* min_x, int* max_x) {
    *min_x = 0;
    *max_x = 0;
    bool first = true;
    for (const Segment& s : shape) {
        int lo = std::min(s.x1, s.x2), hi = std::max(s.x1, s.x2);
        *min_x = first ? lo : std::min(*min_x, lo);
        *max_x = first ? hi : std::max(*max_x, hi);
        first = false;
    }
}

// The base shape with the accent centred over it.
Shape with_accent(const Shape& base, Accent accent, int level) {
    Shape out = base;
    if (accent == Accent::kNone) return out;
    int lo = 0, hi = 0;
    extent_x(base, &lo, &hi);
    int cx = (lo + hi) / 2;
    int dy = accent == Accent::kCedilla ? 0 : level;
    for (Segment s : parse_path(accent_path(accent))) {
        out.push_back({s.x1 + cx, s.y1 + dy, s.x2 + cx, s.y2 + dy});
    }
    return out;
}

// Stretches a working-grid height by 3/2 about the baseline, rounding halves up.
int stretch_y(int y) {
    return kBaseline + static_cast<int>(std::floor((3.0 * (y - kBaseline) + 1.0) / 2.0));
}

int8_t to_byte(int v) {
    return static_cast<int8_t>(std::clamp(v, -128, 127));
}

// Stores a shape into a font slot with a left bearing of 1 and an advance of
// the stroke extent plus 3.
void store_glyph(StrokeFont* font, int code, const Shape& shape) {
    if (shape.empty()) return;
    int lo = 0, hi = 0;
    extent_x(shape, &lo, &hi);
    int shift = 1 - lo;
    FontGlyph& glyph = font->glyphs[code];
    if (glyph_alloc(&glyph, static_cast<int>(shape.size())) != 0) return;
    for (size_t i = 0; i < shape.size(); ++i) {
        const Segment& s = shape[i];
        glyph.strokes[i] = {to_byte(s.x1 + shift), to_byte(stretch_y(s.y1)), to_byte(s.x2 + shift),
                            to_byte(stretch_y(s.y2))};
    }
    font->advance[code] = hi - lo + 3;
}

void build_font(StrokeFont* font, Table<PathGlyph> drawn, Table<AccentGlyph> accented) {
    std::vector<Shape> shapes(kDotlessI + 1);
    for (Table<PathGlyph> t : {ascii_glyphs(), drawn}) {
        for (size_t i = 0; i < t.count; ++i) shapes[t.items[i].code] = parse_path(t.items[i].path);
    }
    shapes[kDotlessI] = parse_path("0,6 0,14");
    for (size_t i = 0; i < accented.count; ++i) {
        const AccentGlyph& a = accented.items[i];
        shapes[a.code] = with_accent(shapes[a.base], a.accent, a.level);
    }

    *font = StrokeFont{};
    for (FontGlyph& g : font->glyphs) g.last = -1;
    for (int c = 0; c < 256; ++c) store_glyph(font, c, shapes[c]);
    font->advance[0x20] = kSpaceAdvance;
    font->advance[0xA0] = kSpaceAdvance;  // no-break space
    font->design_width = 16;
    font->design_height = 24;
    font->char_width = 16;
    font->char_height = 16;
    font->dir_cos = 1000;
    font->dir_sin = 0;
    font->slant_y = 1000;
    font->slant_x = 0;
    font->magic = kStrokeFontMagic;
}

bool build_builtins() {
    build_font(&g_builtin[0], latin_glyphs(), latin_accented());
    build_font(&g_builtin[1], cyrillic_glyphs(), cyrillic_accented());
    return true;
}

}  // namespace

StrokeFont* font_builtin(int index) {
    static const bool built = build_builtins();
    (void)built;
    if (index < 0 || index > 1) return nullptr;
    return &g_builtin[index];
}

bool font_is_builtin(const StrokeFont* font) {
    return font == &g_builtin[0] || font == &g_builtin[1];
}
