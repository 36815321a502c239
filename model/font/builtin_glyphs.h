// Source tables of the two built-in stroke fonts (internal to zelo_font).
//
// Glyphs are written on a square working grid: baseline y = 6, x-height 14,
// cap height and ascenders 18, descenders down to 2, letters starting near
// x = 0. A path is a list of points "x,y" separated by blanks; ';' starts a new
// polyline. builtin_fonts.cpp turns the paths into strokes, stretches y by 3/2
// about the baseline into the 16 x 24 design cell (so that the built-in 16 x 16
// character size draws them in proportion), moves every glyph to a left
// bearing of 1 and derives the advance widths from the stroke extent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace builtin_glyphs {

// A glyph drawn from a path.
struct PathGlyph {
    int code;
    const char* path;
};

enum class Accent : uint8_t {
    kNone,  // plain copy of the base glyph
    kGrave,
    kAcute,
    kCircumflex,
    kTilde,
    kDiaeresis,
    kRing,
    kCaron,
    kBreve,
    kCedilla,  // hangs below the baseline under the base's centre
};

// Working-grid heights at which accents sit over capitals and small letters.
inline constexpr int kCapLevel = 20;
inline constexpr int kSmallLevel = 16;

// Base code of the dotless i, which only serves as a base for accents.
inline constexpr int kDotlessI = 256;

// A glyph built from an earlier glyph of the same font plus an accent placed
// over the centre of the base's horizontal extent.
struct AccentGlyph {
    int code;
    int base;
    Accent accent;
    int level;
};

template <typename T>
struct Table {
    const T* items;
    size_t count;
};

// Printable ASCII, the degree sign (127), plus-or-minus (128) and the diameter
// sign (129): shared by both fonts.
Table<PathGlyph> ascii_glyphs();
// Font 0: the drawn glyphs and the accented letters of codes 130..255 (and code 7,
// the degree sign again, which angle texts write; font 1 has it too).
Table<PathGlyph> latin_glyphs();
Table<AccentGlyph> latin_accented();
// Font 1: the drawn Cyrillic letters, then the letters shared with Latin or
// carrying accents.
Table<PathGlyph> cyrillic_glyphs();
Table<AccentGlyph> cyrillic_accented();
// Accent shapes centred on x = 0, resting on y = 0 (the cedilla in absolute
// working-grid heights).
const char* accent_path(Accent accent);

}  // namespace builtin_glyphs
