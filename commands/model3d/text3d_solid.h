// Solid letters from TrueType outlines: each glyph's polygons are traced into
// contours, grouped into outer contours and holes, inset into up to four rings
// (front, chamfer, back), joined by side bands and capped by ear clipping. The text
// builder walks a UTF-8 string and hands each glyph's mesh arrays to a sink.
//
// Coordinates: outline points are em units (1.0 = text height H); output is
// (em + offset) x scale in drawing units, the front face at z 0 and the back at
// z -D. Results: 0, 6, 8, 13 (bad parameters), 34 (a chamfer that turns a contour
// inside out, makes contours cross or swallows an outer) and the font codes of
// glyph_outline.h.
#pragma once

#include <cstdint>
#include <vector>

#include "model/font_outline/glyph_outline.h"
#include "model/math/types.h"

struct Text3dParams {
    int line_steps = 1;   // pieces per straight segment
    int curve_steps = 2;  // pieces per quadratic piece
    double scale_x = 1, scale_y = 1;
    double pen_x = 0;     // x offset of the current glyph, em
    double offset_y = 0;  // em
    double glyph_gap = 0.1;
    double blank_advance = 0.4;
    double ring_inset[4] = {0, 0, 0, 0};   // inset of rings 0..3
    double ring_z_step[4] = {0, 0, 0, 0};  // z step to rings 0..3
    double tolerance = 1e-6;               // convexity and inside threshold of the caps
};

// Parameters of text height h, depth d and chamfer c: ring insets c, 0, 0, c, z
// steps 0, c, d - 2c, c, the cap tolerance 1e-6 h^2 (1e-6 em^2 at every size).
Text3dParams text3d_params(double h, double d, double c);

// One triangle of a glyph mesh: vertices and edge bits (1 a-b, 2 b-c, 4 c-a visible).
struct GlyphFace {
    int32_t a, b, c;
    int32_t bits;
};

// The arrays of one glyph: N x L vertices (ring k from k x N) and the faces.
struct GlyphMesh {
    std::vector<Vec3d> vertices;
    std::vector<GlyphFace> faces;
    int32_t rings = 0;
    int32_t ring_size = 0;
    std::vector<int32_t> contour_last;  // last ring-0 vertex of each traced contour
};

// Builds one glyph at params->pen_x and moves the pen to the glyph's right edge.
// 0, 8, 13 or 34.
[[nodiscard]] int glyph_solid_build(const GlyphOutline& outline, Text3dParams* params,
                                    GlyphMesh* out);

// Receives the glyphs of a text. begin (mode 1) before a glyph is built, finish
// (mode 0) with its arrays, which the sink then owns; end (mode 2) once, with the
// text's result, which the sink reports.
class Text3dSink {
  public:
    virtual ~Text3dSink() = default;
    [[nodiscard]] virtual int begin_glyph() = 0;
    [[nodiscard]] virtual int finish_glyph(GlyphMesh&& mesh) = 0;
    virtual void end(int code) = 0;
};

// Builds the text with an open font: per code point a glyph, or the blank advance
// for a character without outline. The first error stops it. Calls sink->end.
[[nodiscard]] int text_solids_build_font(GlyphFont* font, const char* text, Text3dParams* params,
                                         Text3dSink* sink);
// The same, opening the record's face first (its open error goes to sink->end).
[[nodiscard]] int text_solids_build(const TextFontRecord& font, const char* text,
                                    Text3dParams* params, Text3dSink* sink);

// Draws the text's outlines through `line` (two points in em units, pen offset
// included): lines as one segment, each quadratic piece as four; a blank advances
// 0.3 em, a glyph its box plus 0.1.
using GlyphLineFn = void (*)(void* context, double x0, double y0, double x1, double y1);
void glyph_preview_font(GlyphFont* font, const char* text, void* context, GlyphLineFn line);
// The same, opening the record's face once; nothing drawn when it cannot be opened.
void glyph_preview(const TextFontRecord& font, const char* text, void* context, GlyphLineFn line);
