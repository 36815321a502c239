// Stroke fonts compiled from text source files in the shape-font notation:
// each glyph is a header line ("*code,count[,name]") followed by count byte
// values that move a pen, draw, scale, push and pop positions, draw octant
// and bulge arcs and call other glyphs as subshapes. Glyph 0 is the font
// header (above, below, mode). The strokes of each glyph are normalised into
// the 4-byte signed stroke form of strokefont.h; advance widths and the
// character size are derived from the strokes.
//
// Units are the source's design units. A glyph's box may span at most 127
// units in x and in y (the largest offset a signed stroke byte holds).
// Re-entrant: the parser keeps its state in a local object.
#pragma once

#include <cstddef>

#include "model/font/strokefont.h"

// Result codes besides 0, 8 (out of memory) and 13 (bad syntax or value,
// an empty file, a cyclic or too deeply nested subshape, a glyph of more than
// kFontMaxStrokes strokes): a glyph whose coordinates or extent are too large.
inline constexpr int kFontSourceTooLarge = -1;

// Largest source accepted, in bytes.
inline constexpr size_t kFontSourceMaxBytes = size_t{16} << 20;

// Reads the source file at path (opened read-only) into a new font. On
// success frees the caller's old *font and stores the new one; on any failure
// *font is untouched. Returns 0, 8, 13, -1, or the C library's error number
// when the file cannot be opened or read.
[[nodiscard]] int font_load_text(const char* path, StrokeFont** font);

// The same over size bytes of source text in memory.
[[nodiscard]] int font_parse_text(const char* text, size_t size, StrokeFont** font);
