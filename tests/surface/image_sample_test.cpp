// Image maps: projections, the four filters, tiling, key colour, and unusable images.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/surface/image_sample.h"
#include "render/surface/surface.h"
#include "surface_test_util.h"

namespace {

constexpr float kByte = 0.00392156862745098f;

struct ProjectionCase {
    int32_t selector;
    double x, y, z;
    double u, v;
};

}  // namespace

TEST(ImageMap, Projections) {
    TextureMapping m;
    texture_mapping_init(&m);
    const ProjectionCase cases[] = {
        {kProjectSphere, 1, 0, 0, 0.75, 0.5},     // +x on the equator
        {kProjectSphere, 0, 0, 0, 0.0, 0.0},      // the centre
        {kProjectSphere, 0, 0, 1, 0.5, 0.5},      // +z
        {kProjectCylinder, 0, 0.25, 1, 0.5, 0.25},
        {kProjectCylinder, 0, 0.25, 0, 0.0, 0.25},  // on the axis: s = 0, t = -0.75
        {kProjectCylinder, -1, 0, 0, 0.25, 0.5},
        {kProjectCentred, 0.25, 0.25, 0, 0.75, 0.25},
        {kProjectPlanar, 0.25, -0.5, 0, 0.25, 0.5},
        {kProjectRaw, 7.5, -3.25, 9, 7.5, -3.25},  // raw: no matrix, no wrap
        {9, 0.3, 0.3, 0.3, 0.0, 0.0},              // unknown selector: s = t = 0
    };
    for (const ProjectionCase& c : cases) {
        double u = -1, v = -1;
        ASSERT_EQ(texture_map_uv(c.x, c.y, c.z, c.selector, &m, &u, &v), 0) << c.selector;
        EXPECT_NEAR(u, c.u, 1e-12) << c.selector << " " << c.x << "," << c.y << "," << c.z;
        EXPECT_NEAR(v, c.v, 1e-12) << c.selector << " " << c.x << "," << c.y << "," << c.z;
    }
    // Arguments a hair beyond 1 from rounding keep acos and asin defined.
    double u, v;
    ASSERT_EQ(texture_map_uv(1e-300, 1.0, 1e-300, kProjectSphere, &m, &u, &v), 0);
    EXPECT_TRUE(std::isfinite(u) && std::isfinite(v));
}

TEST(ImageMap, ImporterCoordinates) {
    // No matrix and no wrap: (s, t) scaled by the tiling factors.
    TextureMapping m;
    texture_mapping_init(&m);
    m.u_scale = 2.0f;
    m.v_scale = 3.0f;
    m.matrix.m[9] = 100.0;  // ignored
    const struct {
        int32_t selector;
        float x, y, z;
        double u, v;
    } cases[] = {{kProjectCentred, 0.25f, 0.25f, 0, 1.5, -2.25},
                 {kProjectPlanar, 1.5f, -4.0f, 0, 3.0, -12.0},
                 {kProjectRaw, 1.5f, -4.0f, 0, 3.0, -12.0},
                 {kProjectSphere, 1, 0, 0, 1.5, 1.5},
                 {kProjectCylinder, 0, 0.25f, 1, 1.0, -2.25}};
    for (const auto& c : cases) {
        const float p[3] = {c.x, c.y, c.z};
        double u, v;
        texture_mapping_point_uv(p, c.selector, &m, &u, &v);
        EXPECT_NEAR(u, c.u, 1e-6) << c.selector;
        EXPECT_NEAR(v, c.v, 1e-6) << c.selector;
    }
}

TEST(ImageMap, NoTilingHitsOnlyTheUnitTile) {
    TextureMapping m;
    texture_mapping_init(&m);
    m.flags = kMappingNoTiling;
    double u, v;
    for (double x : {-0.5, 0.0, 0.5})
        for (double y : {-0.5, 0.0, 0.5}) EXPECT_EQ(texture_map_uv(x, y, 0, kProjectCentred, &m, &u, &v), 0);
    EXPECT_EQ(texture_map_uv(0.51, 0, 0, kProjectCentred, &m, &u, &v), 1);
    EXPECT_EQ(texture_map_uv(0, -0.51, 0, kProjectCentred, &m, &u, &v), 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(texture_map_uv(nan, 0, 0, kProjectCentred, &m, &u, &v), 1);
}

TEST(ImageMap, TextureCornersLandOnPixels) {
    // Pixel (i, j) of a planar map on the unit square lies at
    // (i / (w - 1) - 0.5, 0.5 - j / (h - 1)).
    const int w = 5, h = 4;
    auto img = distinct_image(w, h);
    for (uint16_t filter : {kSampleBilinear, kSampleInverseDistance}) {
        TextureSlot s;
        set_image_slot(&s, img.get(), kMappingModePlanar, filter);
        for (int j = 0; j + 1 < h; ++j)
            for (int i = 0; i + 1 < w; ++i) {
                const double p[3] = {double(i) / (w - 1) - 0.5, 0.5 - double(j) / (h - 1), 0};
                const float base[4] = {0, 0, 0, 0};
                float out[4];
                texture_eval_d(out, base, &s, p);
                EXPECT_NEAR(out[0], (20 * i + 1) * kByte, 1e-5) << filter << " " << i << "," << j;
                EXPECT_NEAR(out[1], (20 * j + 1) * kByte, 1e-5) << filter << " " << i << "," << j;
                EXPECT_NEAR(out[2], 7 * kByte, 1e-6);
            }
    }
}

TEST(ImageMap, FilterRules) {
    // A 5-pixel-wide image: rows are read unpadded.
    auto img = distinct_image(5, 3);
    const TexelSource src{img->pixels, 5, 3, false, nullptr};
    float t[4];
    texel_nearest(src, -0.5, 0, t);  // truncation towards zero: column 0
    EXPECT_FLOAT_EQ(t[0], 1 * kByte);
    texel_nearest(src, 4, 2, t);  // last pixel of the last row
    EXPECT_FLOAT_EQ(t[0], 81 * kByte);
    EXPECT_FLOAT_EQ(t[1], 41 * kByte);
    texel_nearest(src, -1, -1, t);  // Euclidean reduction: the last column and row
    EXPECT_FLOAT_EQ(t[0], 81 * kByte);
    EXPECT_FLOAT_EQ(t[1], 41 * kByte);
    texel_bilinear(src, 4.5, 0, t);  // the last column blends with column 0
    EXPECT_FLOAT_EQ(t[0], (81 + 1) * 0.5f * kByte);
    texel_bilinear(src, 0, 2.5, t);  // the last row with row 0
    EXPECT_FLOAT_EQ(t[1], (41 + 1) * 0.5f * kByte);
    texel_inverse_distance(src, 3, 1, t);  // an exact pixel position is that pixel
    EXPECT_FLOAT_EQ(t[0], 61 * kByte);
    EXPECT_FLOAT_EQ(t[1], 21 * kByte);
    // A coordinate a hair below a pixel edge leaves a fraction that rounds to 1: the
    // neighbour at distance 0 is the texel, not a 0/0 blend.
    const double edges[][2] = {{-1e-18, 0.0}, {0.0, -1e-18}, {-1e-18, -1e-18}, {-1e-18, 2.0}};
    for (const auto& c : edges) {
        texel_inverse_distance(src, c[0], c[1], t);
        float want[4];
        texel_nearest(src, std::round(c[0]), std::round(c[1]), want);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(t[k], want[k]) << c[0] << "," << c[1];
    }
    // Huge and non-finite raw coordinates are reduced into the image.
    const double huge[] = {1e17, -1e300, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
    for (double c : huge) {
        texel_nearest(src, c, c, t);
        texel_bilinear(src, c, c, t);
        texel_inverse_distance(src, c, -c, t);
        texel_blur(src, c, c, t);
        for (float x : t) EXPECT_TRUE(x >= 0.0f && x <= 1.0f) << c;
    }
}

TEST(ImageMap, BlurNeedsSixtyPixels) {
    // Under 60 pixels a side the blur is the bilinear filter; at 60 it averages.
    std::vector<uint8_t> rgb;
    for (int j = 0; j < 60; ++j)
        for (int i = 0; i < 60; ++i)
            for (int c = 0; c < 3; ++c) rgb.push_back(((i + j) & 1) ? 200 : 0);
    auto big = make_image(60, 60, rgb);
    const TexelSource b{big->pixels, 60, 60, false, nullptr};
    float blur[4], bil[4];
    texel_blur(b, 10, 10, blur);
    EXPECT_NEAR(blur[0], 100 * kByte, 1.5 * kByte);  // a 2 x 2 checker block averages
    auto small = make_image(59, 60, std::vector<uint8_t>(rgb.begin(), rgb.begin() + 59 * 60 * 3));
    const TexelSource s{small->pixels, 59, 60, false, nullptr};
    texel_blur(s, 10.25, 3.5, blur);
    texel_bilinear(s, 10.25, 3.5, bil);
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(blur[c], bil[c]);
}

TEST(ImageMap, KeyColour) {
    // Black keyed: black texels get coverage 1, one level off does not.
    auto img = make_image(3, 1, {0, 0, 0, 1, 0, 0, 0, 0, 1});
    TextureMapping m;
    texture_mapping_init(&m);
    m.image = img.get();
    m.interpolation = kSampleNearest;
    float t[4];
    for (uint16_t flags : {kMappingImageCoverage, kMappingDecal}) {
        m.flags = flags;
        ASSERT_TRUE(texture_sample(&m, 0, 0, t));
        EXPECT_EQ(t[3], 1.0f);
        texture_sample(&m, 1, 0, t);
        EXPECT_EQ(t[3], 0.0f);
        texture_sample(&m, 2, 0, t);
        EXPECT_EQ(t[3], 0.0f);
    }
    m.flags = 0;  // test off
    texture_sample(&m, 0, 0, t);
    EXPECT_EQ(t[3], 0.0f);
}

TEST(ImageMap, UnusableImagesLeaveTheBase) {
    TextureSlot s;
    set_image_slot(&s, nullptr, kMappingModePlanar, kSampleBilinear);
    const float base[4] = {0.25f, 0.5f, 0.75f, 0.125f};
    const double p[3] = {0.1, 0.2, 0.3};
    float out[4];
    texture_eval_d(out, base, &s, p);
    EXPECT_EQ(out[0], base[0]);
    EXPECT_EQ(out[2], base[2]);
    auto empty = make_image(0, 0, {});
    s.mapping.image = empty.get();
    texture_eval_d(out, base, &s, p);
    EXPECT_EQ(out[1], base[1]);
    EXPECT_FALSE(texture_sample(&s.mapping, 0, 0, out));
    EXPECT_EQ(texture_sample_height(&s.mapping, 0, 0), 0.0);
    // A bump map without an image leaves the normal.
    float n[3] = {0, 0, 1};
    const float at[3] = {0.1f, 0.2f, 0.3f};
    bump_eval(n, &s, at);
    EXPECT_EQ(n[2], 1.0f);
}

TEST(ImageMap, BlendAndFlags) {
    auto img = make_image(1, 1, {255, 0, 0});
    TextureSlot s;
    set_image_slot(&s, img.get(), kMappingModePlanar, kSampleNearest);
    const float base[4] = {0, 0, 1, 0.5f};
    const float p[3] = {0.5f, 0.5f, 0};
    float out[4];
    s.amount = 0.25f;
    texture_eval(out, base, &s, p);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[2], 0.75f);
    EXPECT_EQ(out[3], 0.0f);  // not a decal: no coverage
    s.mapping.flags = kMappingDecal;
    texture_eval(out, base, &s, p);
    EXPECT_FLOAT_EQ(out[3], 0.375f);  // 0.5 x 0.75 + 0 x 0.25
    // A non-tiled miss keeps the base, coverage cleared without the decal flag.
    s.mapping.flags = kMappingNoTiling;
    const float far[3] = {5, 5, 0};
    texture_eval(out, base, &s, far);
    EXPECT_EQ(out[2], 1.0f);
    EXPECT_EQ(out[3], 0.0f);
    // The luminance looked up in the ramp (inverted) picks the ramp colour.
    s.mapping.flags = kMappingRampLuminance | kMappingRampInvert;
    s.amount = 1.0f;
    EXPECT_EQ(colour_ramp_new(&s.ramp, 2), 0);
    s.ramp->keys[0] = {0.0, 0, 1, 0, 0};
    s.ramp->keys[1] = {1.0, 0, 1, 0, 0};
    texture_eval(out, base, &s, p);
    // t = 1 - 0.299 weighs the base; the ramp colour (green) the rest.
    EXPECT_NEAR(out[1], 0.299f, 1e-5);
    EXPECT_NEAR(out[2], 0.701f, 1e-5);
}
