// The material editor's sample: a cylinder, sphere or flat square lit by one fixed
// white light, shaded with the renderer's Phong combination, textured and bumped by
// the material's own slots, seen through transparency down to a coloured checker.
// The editor's painter asks for each sample pixel.
//
// Threads: reads the material only; may run beside a render (the evaluators keep no
// shared state) and on several threads at once.
#pragma once

#include <cstdint>

struct MaterialRecord;

inline constexpr int32_t kPreviewCylinder = 0;
inline constexpr int32_t kPreviewSphere = 1;
inline constexpr int32_t kPreviewSquare = 2;  // any other value too

// Adds the colour of sample point (x, y) (each -0.5..0.5, y up; z unused) to `colour`
// (the caller starts from black) and clamps it to 0..1. `layer` is 0 for the front
// surface (1 the back, 2 or more nothing: the checker background); `scale` multiplies
// texture points (slots with mapping mode 1 take the point plus (0.5, 0.5, 0)).
void matpreview_shade(int32_t layer, float colour[4], const MaterialRecord* m, const float p[3],
                      float scale, int32_t shape);

// Paints row `row` (0 at the top) of a width x height sample into rgb (width x 3 bytes,
// red, green, blue): texture scale 1, the shape centred, the picture's smaller side
// spanning -0.5..0.5.
void matpreview_paint_row(const MaterialRecord* m, int32_t shape, int32_t width, int32_t height,
                          int32_t row, uint8_t* rgb);

// The first of scale x cos(k pi / 17), k = 0..16, that is not above value (the k = 16
// value when none is): the facets of the faceted samples.
double matpreview_band(double value, double scale);
