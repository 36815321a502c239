// Stroke fonts: vector fonts whose glyphs are short line segments in a small
// integer design grid. This header holds the font record, its binary file
// format (read and written through caller-supplied callbacks), the text output
// geometry (size, baseline direction, slant, advance) and the two built-in fonts.
//
// Arithmetic is integer throughout; direction and slant factors are fixed point
// with 1024 standing for 1.0. Output coordinates are whatever units the caller
// draws in ("output units"); the character size maps the design grid onto them.
//
// Failures are returned as result codes and also recorded in a module-wide
// last-error pair (font_ok / font_last_error): 6 bad font (null or wrong magic),
// 8 out of memory, 13 bad input; readers and writers may return their own codes
// (the file reader returns the C library's error number). Not reentrant: the
// last-error pair and the default font are module globals, and a font's
// direction, slant and size are changed in place by whoever draws with it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kStrokeFontMagic = 20308;

// Largest number of strokes one glyph may hold. Larger glyphs are refused by
// glyph_alloc and by font_read (as bad input), so a hostile file cannot make
// the reader allocate more than 256 * kFontMaxStrokes * 4 bytes.
inline constexpr int kFontMaxStrokes = 4096;

// One line segment in design units, from (x1, y1) to (x2, y2); y points up.
struct FontStroke {
    int8_t x1, y1, x2, y2;
};

// A glyph slot. last is the index of the last stroke (the glyph has last + 1
// strokes); -1 means an empty glyph, in which case strokes is null. The stroke
// array is allocated with new[] and owned by the font holding the slot.
struct FontGlyph {
    FontStroke* strokes;
    int32_t last;
};

// A stroke font. Created by font_new, font_copy, font_read and the text loader,
// owned by whoever holds the pointer, freed by font_free. The two built-in
// fonts live in static storage and are never freed.
struct StrokeFont {
    int32_t design_width;   // width of the design grid (> 0); horizontal divisor
    int32_t design_height;  // height of the design grid (> 0); vertical divisor
    int32_t advance[256];   // advance width per character code, design units
    FontGlyph glyphs[256];  // per character code
    int32_t char_width;     // output units per design width
    int32_t char_height;    // output units per design height
    int32_t dir_sin;        // sine of the baseline direction * 1024
    int32_t dir_cos;        // cosine of the baseline direction * 1024
    int32_t slant_y;        // slant y factor * 1024 (1024 upright)
    int32_t slant_x;        // slant x factor * 1024 (0 upright)
    int32_t magic;          // kStrokeFontMagic while the font is alive
};

// Byte stream callbacks: move exactly count bytes, return 0 or an error code.
using FontReadFn = int (*)(void* handle, void* buffer, size_t count);
using FontWriteFn = int (*)(void* handle, const void* buffer, size_t count);

// Segment callback of font_draw_char, in output units; a non-zero result stops
// the drawing and is returned.
using FontSegmentFn = int (*)(void* context, int xa, int ya, int xb, int yb);

// Last-error pair: font_ok() is 1 after a success and 0 after a failure;
// font_last_error() is the code of the most recent failure.
int font_ok();
int font_last_error();

// A new font: all glyphs empty, advance widths 0, design units and character
// size 1 x 1, direction and slant factors 0. Null (error 8) when out of memory.
StrokeFont* font_new();

// Frees *font and nulls the pointer, unless it is null, has a wrong magic
// (error 6) or is a built-in font (left alone, pointer kept).
void font_free(StrokeFont** font);

// A deep copy of every glyph, the advance widths, design units, size, direction
// and slant. Null on a bad font (6) or when out of memory (8).
StrokeFont* font_copy(const StrokeFont* font);

// Character size in output units per design cell.
void font_set_size(StrokeFont* font, int width, int height);
// Character size back to the design units, upright, no slant.
void font_reset_layout(StrokeFont* font);

// Baseline direction from the vector (dx, dy); (0, 0) means along +x.
void font_set_direction(StrokeFont* font, int dx, int dy);

// Slant from the vector (a, b) (a across, b up); (0, 0) and (0, 1) are upright.
void font_set_slant(StrokeFont* font, int a, int b);

// Rotates (*x, *y) by the font's baseline direction.
void font_rotate(const StrokeFont* font, int* x, int* y);

// Width of a 0-terminated byte string in output units along the baseline:
// character width * (sum of advance widths) / design width. 0 on a bad font.
int font_text_width(const StrokeFont* font, const char* text);

// Draws one glyph with its origin at (*x, *y) (output units), calling segment
// once per stroke, then advances (*x, *y). Returns the first non-zero callback
// result (leaving (*x, *y) unchanged), 6 for a bad font, 13 for a null
// argument, else 0.
[[nodiscard]] int font_draw_char(void* context, int* x, int* y, const StrokeFont* font,
                                 unsigned char ch, FontSegmentFn segment);

// Reads the binary format into a new font. On success frees the caller's old
// *font and stores the new one; on failure *font is untouched and everything
// read so far is freed. Returns 0, 8, 13 (bad value in the stream, null reader,
// or no font pointer given, the last recording error 6) or the reader's error.
[[nodiscard]] int font_read(StrokeFont** font, void* handle, FontReadFn reader);

// Writes the binary format. Returns 0, 6 (bad font, nothing written), 13 (null
// writer or a glyph too large to be read back) or the writer's error.
[[nodiscard]] int font_write(const StrokeFont* font, void* handle, FontWriteFn writer);

// Reads a binary font file. Returns 0, 6 (no font pointer), 13 (null path or
// the file ends early), or the C library's error number when the file cannot
// be opened or read.
[[nodiscard]] int font_load_binary(StrokeFont** font, const char* path);

// Allocates count zeroed strokes into an empty or filled slot (any old array
// is freed first); count 0 leaves the slot empty. Returns 0, 8 or 13 (count
// below 0 or above kFontMaxStrokes).
[[nodiscard]] int glyph_alloc(FontGlyph* glyph, int count);

// Built-in fonts: 0 the Latin font (windows-1252 layout), 1 the Cyrillic font
// (windows-1251 layout). Both have design units 16 x 24 with the baseline at
// y = 6. Null for any other index.
StrokeFont* font_builtin(int index);

// True for the two built-in fonts.
bool font_is_builtin(const StrokeFont* font);

// The current default font; never null (built-in font 0 until fonts_init).
StrokeFont* font_default();

// Which built-in font suits a C library locale name: 1 for a Russian locale (a
// name beginning with "Russian", or with the language code "ru" as in
// "ru_RU.UTF-8"), else 0 (also for null).
int font_builtin_for_locale(const char* locale_name);

// Start-up choice of the default font from the environment's locale (the C
// library locale is left as "C"), then sets the default font's direction to
// (100, 0), slant to (0, 100) and size to 10 x 10.
void fonts_init();
