// Image maps: projection of a texture-space point to (u, v) through a slot's
// projection selector and its mapping matrix, and filtered reading of the image's
// texels (nearest, bilinear, inverse distance, blur) with the key-colour test.
//
// Images are the mapping's MATRPATT: width x height pixels of three bytes (red,
// green, blue), rows of exactly width pixels back to back, row 0 at the top. Texel
// indices are always reduced into the image (Euclidean modulo), whatever u and v.
#pragma once

#include <cstdint>

struct TextureMapping;

// Projection selectors (a slot's mapping mode).
inline constexpr int32_t kProjectRaw = 0;
inline constexpr int32_t kProjectPlanar = 1;
inline constexpr int32_t kProjectCentred = 2;
inline constexpr int32_t kProjectCylinder = 3;
inline constexpr int32_t kProjectSphere = 4;

// Sampling kinds (TextureMapping::interpolation); other values sample nearest.
inline constexpr uint16_t kSampleNearest = 0;
inline constexpr uint16_t kSampleBilinear = 1;
inline constexpr uint16_t kSampleInverseDistance = 2;
inline constexpr uint16_t kSampleBlur = 3;

// (u, v) of a texture-space point: 0, or 1 when a map without tiling misses it. On
// success u and v lie in [0, 1), except for selector 0 (raw x and y).
int texture_map_uv(double x, double y, double z, int32_t selector, const TextureMapping* m,
                   double* u, double* v);

// The importers' form: no matrix and no wrap; u = u_scale s, v = v_scale t.
void texture_mapping_point_uv(const float p[3], int32_t selector, const TextureMapping* m,
                              double* u, double* v);

// Whether the mapping has an image of at least one pixel to sample.
bool texture_image_usable(const TextureMapping* m);

// The filtered texel at (u, v) in pixels (the caller has scaled by width - 1 and
// height - 1): four components, the fourth 1 where the key-colour test matches.
// Leaves out untouched and answers false when the image is not usable.
bool texture_sample(const TextureMapping* m, double u, double v, float out[4]);
// Luminance 0.299 r + 0.587 g + 0.114 b of the filtered texel (0 without an image).
double texture_sample_height(const TextureMapping* m, double u, double v);

// The four filters over an image of width x height pixels (both >= 1).
struct TexelSource {
    const uint8_t* pixels;
    int32_t width, height;
    bool keyed;           // key-colour test on
    const float* key;     // three components
};
void texel_nearest(const TexelSource& s, double u, double v, float out[4]);
void texel_bilinear(const TexelSource& s, double u, double v, float out[4]);
void texel_inverse_distance(const TexelSource& s, double u, double v, float out[4]);
void texel_blur(const TexelSource& s, double u, double v, float out[4]);
