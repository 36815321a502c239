// Image-map projection and texel filters.
#include "render/surface/image_sample.h"

#include <algorithm>
#include <cmath>

#include "model/db/patt.h"
#include "model/material/material.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kByte = 0.00392156862745098f;  // 1 / 255, as the key colour is made

// Euclidean reduction of an integer-valued coordinate into 0..n-1, in floating point
// so that no out-of-range conversion happens (NaN and infinities count as 0).
inline int32_t reduce(double c, int32_t n) {
    if (!std::isfinite(c)) return 0;
    double r = std::fmod(c, double(n));
    if (r < 0.0) r += n;
    const auto i = static_cast<int32_t>(r);
    return i >= n ? 0 : i;
}

inline double finite_or_zero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

void fetch(const TexelSource& s, int32_t x, int32_t y, float out[4]) {
    const uint8_t* px = s.pixels + (size_t(y) * size_t(s.width) + size_t(x)) * 3;
    for (int c = 0; c < 3; ++c) out[c] = px[c] * kByte;
    out[3] = (s.keyed && out[0] == s.key[0] && out[1] == s.key[1] && out[2] == s.key[2]) ? 1.0f
                                                                                          : 0.0f;
}

// Angle around the y axis as a fraction of a turn: 0.5 at +z, 0.75 at +x, 0.25 at -x.
double around_y(double x, double z, double r) {
    if (r == 0.0) return 0.0;
    if (x == 0.0) return z > 0.0 ? 0.5 : 0.0;
    const double a = std::acos(std::clamp(z / r, -1.0, 1.0)) / (2.0 * kPi);
    return x > 0.0 ? 0.5 + a : 0.5 - a;
}

void cylinder_st(double x, double y, double z, double* s, double* t) {
    *t = -0.5 - y;
    *s = around_y(x, z, std::sqrt(x * x + z * z));
}

void sphere_st(double x, double y, double z, double* s, double* t) {
    const double r = std::sqrt(x * x + y * y + z * z);
    if (!(r > 0.0) || !std::isfinite(r)) {
        *s = *t = 0.0;
        return;
    }
    const double nx = x / r, ny = y / r, nz = z / r;
    *t = 0.5 - std::asin(std::clamp(ny, -1.0, 1.0)) / kPi;
    *s = around_y(nx, nz, std::sqrt(nx * nx + nz * nz));
}

TexelSource source_of(const TextureMapping* m) {
    const MATRPATT* img = m->image;
    return {img->pixels, img->width, img->height,
            (m->flags & (kMappingDecal | kMappingImageCoverage)) != 0, m->key_colour};
}

}  // namespace

int texture_map_uv(double x, double y, double z, int32_t selector, const TextureMapping* m,
                   double* u, double* v) {
    double s = 0.0, t = 0.0;
    switch (selector) {
        case kProjectRaw:
            *u = x;
            *v = y;
            return 0;
        case kProjectPlanar:
            s = x;
            t = y;
            break;
        case kProjectCentred:
            s = x + 0.5;
            t = -0.5 - y;
            break;
        case kProjectCylinder:
            cylinder_st(x, y, z, &s, &t);
            break;
        case kProjectSphere:
            sphere_st(x, y, z, &s, &t);
            break;
        default:
            break;
    }
    const double* a = m->matrix.m;
    double uu = a[0] * s + a[3] * t + a[9];
    double vv = a[1] * s + a[4] * t + a[10];
    if ((m->flags & kMappingNoTiling) && !(uu >= 0.0 && uu <= 1.0 && vv >= -1.0 && vv <= 0.0))
        return 1;
    uu = finite_or_zero(uu);
    vv = finite_or_zero(vv);
    uu -= std::floor(uu);
    vv -= std::floor(vv);
    // A value a hair below an integer can round up to it.
    *u = uu < 1.0 ? uu : 0.0;
    *v = vv < 1.0 ? vv : 0.0;
    return 0;
}

void texture_mapping_point_uv(const float p[3], int32_t selector, const TextureMapping* m,
                              double* u, double* v) {
    double s = p[0], t = p[1];
    if (selector == kProjectCentred) {
        s = p[0] + 0.5;
        t = -p[1] - 0.5;
    } else if (selector == kProjectCylinder) {
        cylinder_st(p[0], p[1], p[2], &s, &t);
    } else if (selector == kProjectSphere) {
        sphere_st(p[0], p[1], p[2], &s, &t);
    }
    *u = m->u_scale * s;
    *v = m->v_scale * t;
}

bool texture_image_usable(const TextureMapping* m) {
    const MATRPATT* img = m ? m->image : nullptr;
    return img && img->pixels && img->width >= 1 && img->height >= 1;
}

void texel_nearest(const TexelSource& s, double u, double v, float out[4]) {
    fetch(s, reduce(std::trunc(finite_or_zero(u)), s.width),
          reduce(std::trunc(finite_or_zero(v)), s.height), out);
}

void texel_bilinear(const TexelSource& s, double u, double v, float out[4]) {
    u = finite_or_zero(u);
    v = finite_or_zero(v);
    const double ix = std::floor(u), iy = std::floor(v);
    const double fx = u - ix, fy = v - iy;
    const int32_t x0 = reduce(ix, s.width), y0 = reduce(iy, s.height);
    const int32_t x1 = x0 + 1 < s.width ? x0 + 1 : 0;
    const int32_t y1 = y0 + 1 < s.height ? y0 + 1 : 0;
    float c00[4], c10[4], c01[4], c11[4];
    fetch(s, x0, y0, c00);
    fetch(s, x1, y0, c10);
    fetch(s, x0, y1, c01);
    fetch(s, x1, y1, c11);
    for (int c = 0; c < 4; ++c)
        out[c] = float(c00[c] * (1 - fx) * (1 - fy) + c10[c] * fx * (1 - fy) +
                       c01[c] * (1 - fx) * fy + c11[c] * fx * fy);
}

void texel_inverse_distance(const TexelSource& s, double u, double v, float out[4]) {
    u = finite_or_zero(u);
    v = finite_or_zero(v);
    const double ix = std::floor(u), iy = std::floor(v);
    const double fx = u - ix, fy = v - iy;
    float t[4][4];
    texel_nearest(s, ix, iy, t[0]);
    if (fx == 0.0 && fy == 0.0) {
        std::copy(t[0], t[0] + 4, out);
        return;
    }
    texel_nearest(s, ix + 1, iy, t[1]);
    texel_nearest(s, ix, iy + 1, t[2]);
    texel_nearest(s, ix + 1, iy + 1, t[3]);
    const double d2[4] = {fx * fx + fy * fy, (1 - fx) * (1 - fx) + fy * fy,
                          fx * fx + (1 - fy) * (1 - fy), (1 - fx) * (1 - fx) + (1 - fy) * (1 - fy)};
    // A fraction that rounded up to 1 (a coordinate a hair below a pixel edge) puts
    // the point on a neighbour: that texel, not an infinite weight.
    for (int k = 1; k < 4; ++k)
        if (d2[k] == 0.0) {
            std::copy(t[k], t[k] + 4, out);
            return;
        }
    double w[4], sum = 0.0;
    for (int k = 0; k < 4; ++k) sum += (w[k] = 1.0 / d2[k]);
    for (int c = 0; c < 4; ++c) {
        double acc = 0.0;
        for (int k = 0; k < 4; ++k) acc += t[k][c] * w[k];
        out[c] = float(acc / sum);
    }
}

namespace {

// Integer mean of a bw x bh block from (x, y), wrapping at the right and bottom edges.
void box_average(const TexelSource& s, int32_t x, int32_t y, int32_t bw, int32_t bh,
                 uint8_t out[3]) {
    bw %= s.width + 1;
    bh %= s.height + 1;
    x = reduce(x, s.width);
    y = reduce(y, s.height);
    if (bw < 1 || bh < 1) {
        const uint8_t* px = s.pixels + (size_t(y) * s.width + x) * 3;
        std::copy(px, px + 3, out);
        return;
    }
    uint64_t sum[3] = {0, 0, 0};
    for (int32_t j = 0; j < bh; ++j) {
        const int32_t yy = (y + j) % s.height;
        for (int32_t i = 0; i < bw; ++i) {
            const int32_t xx = (x + i) % s.width;
            const uint8_t* px = s.pixels + (size_t(yy) * s.width + xx) * 3;
            for (int c = 0; c < 3; ++c) sum[c] += px[c];
        }
    }
    const uint64_t n = uint64_t(bw) * uint64_t(bh);
    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / n);
}

}  // namespace

void texel_blur(const TexelSource& s, double u, double v, float out[4]) {
    const int32_t bw = s.width / 30, bh = s.height / 30;
    if (bw < 2 || bh < 2) {
        texel_bilinear(s, u, v, out);
        return;
    }
    u = finite_or_zero(u);
    v = finite_or_zero(v);
    const int32_t x0 = reduce(double(s.width) + std::trunc(u) - bw / 2, s.width);
    const int32_t y0 = reduce(double(s.height) + std::trunc(v) - bh / 2, s.height);
    uint8_t scratch[12];
    box_average(s, x0, y0, bw, bh, scratch);
    box_average(s, x0 + 1, y0, bw, bh, scratch + 3);
    box_average(s, x0, y0 + 1, bw, bh, scratch + 6);
    box_average(s, x0 + 1, y0 + 1, bw, bh, scratch + 9);
    const TexelSource small{scratch, 2, 2, s.keyed, s.key};
    texel_bilinear(small, u - std::floor(u), v - std::floor(v), out);
}

bool texture_sample(const TextureMapping* m, double u, double v, float out[4]) {
    if (!texture_image_usable(m)) return false;
    const TexelSource s = source_of(m);
    switch (m->interpolation) {
        case kSampleBilinear: texel_bilinear(s, u, v, out); break;
        case kSampleInverseDistance: texel_inverse_distance(s, u, v, out); break;
        case kSampleBlur: texel_blur(s, u, v, out); break;
        default: texel_nearest(s, u, v, out); break;
    }
    return true;
}

double texture_sample_height(const TextureMapping* m, double u, double v) {
    float t[4];
    if (!texture_sample(m, u, v, t)) return 0.0;
    return 0.299 * t[0] + 0.587 * t[1] + 0.114 * t[2];
}
