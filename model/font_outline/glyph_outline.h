// TrueType glyph outlines for the 3D text builder: a font face found through
// fontconfig (or given as bytes), one glyph at a time read as polygons of on- and
// off-curve points in em units, and the point cleaning that removes tiny kinks. The
// UTF-8 walk of a text (utf8_next, utf8_cut) comes with it from model/services/utf8.h.
//
// Em units: font units divided by the face's units per em, so 1.0 is the text
// height. Outer contours run clockwise (y up), holes counter-clockwise.
// Result codes: 0 done, 1 no outline (the character is a blank), 6 not a usable
// TrueType outline (cubic curves, damaged data), 8 out of memory, 13 the font file
// cannot be opened, 19 unknown format, 202 no Unicode or Apple Roman character map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/services/utf8.h"

inline constexpr int kGlyphBlank = 1;           // no outline: the character is a blank
inline constexpr int kGlyphUnknownFormat = 19;  // not a font format the reader knows
inline constexpr int kGlyphNoCharMap = 202;     // no Unicode or Apple Roman character map

// The font the user chose: family, style, file and face index. An empty family and
// file stand for the default sans face. Lives as long as the program runs.
struct TextFontRecord {
    std::string family;
    std::string style;
    std::string file;  // when set, opened directly
    int index = 0;     // face inside the file
    int weight = 400;  // CSS-like weight
    bool italic = false;
};

struct OutlinePoint {
    int32_t on = 1;  // 1 on the curve, 0 a quadratic control point
    double x = 0, y = 0;
};

struct GlyphOutline {
    std::vector<OutlinePoint> points;
    std::vector<int32_t> ends;  // last point index of each polygon
    // Metrics in em units: black box and cell increments.
    double left = 0, bottom = 0, right = 0, top = 0;
    double advance_x = 0, advance_y = 0;
};

struct GlyphFontState;  // FreeType library and face
struct GlyphFont {
    std::unique_ptr<GlyphFontState> state;
    GlyphFont();
    ~GlyphFont();
    GlyphFont(GlyphFont&&) noexcept;
    GlyphFont& operator=(GlyphFont&&) noexcept;
};

// Finds the face of the record through fontconfig (TrueType faces only; an empty
// family gives the default sans face, whose family is then filled in) and fills file
// and index. false when none.
bool text_font_resolve(TextFontRecord* font);

// A weight on the 1 to 1000 scale (as Qt and CSS give it) as fontconfig's weight.
int fontconfig_weight(int css);

// The TrueType families fontconfig knows, sorted by name, with their styles.
struct TextFontFamily {
    std::string name;
    std::vector<std::string> styles;
};
std::vector<TextFontFamily> text_font_families();

// Opens the record's face (resolving it first when its file is empty). 0, 13, 19,
// 6, 202 or 8; the font is closed on failure.
[[nodiscard]] int glyph_font_open(GlyphFont* font, const TextFontRecord& record);
// The same from font bytes, which must outlive the font.
[[nodiscard]] int glyph_font_open_memory(GlyphFont* font, const unsigned char* data, size_t size,
                                         int index);
void glyph_font_close(GlyphFont* font);
bool glyph_font_is_open(const GlyphFont& font);

// Reads the outline of a character (Unicode code point), cleans it with
// glyph_points_clean (0.003 em) and drops polygons of fewer than three points.
// 0 outline ready, 1 no outline (a blank: space, a character the face lacks, or
// nothing left), 6, 8.
[[nodiscard]] int glyph_outline_read(GlyphOutline* out, GlyphFont* font, uint32_t code);

// Removes tiny kinks: points within `tolerance` of each other in x and y are merged
// by the rules of their on-curve flags (polygons of at least four points). Returns
// the number of points removed.
int glyph_points_clean(GlyphOutline* outline, double tolerance);

