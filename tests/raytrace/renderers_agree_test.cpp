// Both renderers on what a new user draws: image maps on the program's own grid
// meshes, a picture background under focal blur.
// With RT_DUMP set, the pictures are written to /tmp/agree_<name>.ppm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/mesh/grid_builders.h"
#include "render/raytrace/rt_render.h"
#include "render/surface/image_sample.h"
#include "../scanline/scanline_test_util.h"

namespace {

// A w x h picture whose pixel (i, j) is colour(i, j, rgb).
template <typename F>
std::unique_ptr<MATRPATT> picture(int w, int h, F colour) {
    auto p = std::make_unique<MATRPATT>();
    auto* px = new uint8_t[size_t(w) * h * 3];
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) colour(i, j, px + (size_t(j) * w + i) * 3);
    p->release_image();
    p->pixels = px, p->width = w, p->height = h;
    return p;
}

int red(const Image24& img, int x, int y) {
    uint8_t p[3];
    img.rgb(x, y, p);
    return p[0];
}

// Along row y of the lit part: how often runs of two pixels or more change between
// lighter and darker than the row's mean.
int cell_changes(const Image24& img, int y) {
    int x0 = 0, x1 = img.width() - 1, changes = 0, run = 0;
    while (x0 < x1 && red(img, x0, y) == 0) ++x0;
    while (x1 > x0 && red(img, x1, y) == 0) --x1;
    double mean = 0;
    for (int x = x0; x <= x1; ++x) mean += red(img, x, y) / double(x1 - x0 + 1);
    bool light = red(img, x0, y) > mean, counted = light;
    for (int x = x0; x <= x1; ++x, light = red(img, x - 1, y) > mean) {
        run = (red(img, x, y) > mean) == light ? run + 1 : 1;
        if (run == 2 && light != counted) ++changes, counted = light;
    }
    EXPECT_GT(x1 - x0, 150);
    return changes;
}

}  // namespace

TEST(RenderersAgree, ImageMapsOnTheProgramsGridMeshesShowCleanCellsInBoth) {
    // An 8 x 8 checker (nearest texels: seven cells a tile show) "as given" once across
    // the box command's 2 x 2 front patch and four times across a 24 x 24 floor, and
    // once on the floor with the mapping a new image map starts on.
    struct Case {
        Vec3 c[4];
        int cells;
        int32_t mode;
        float tiling;
        Vec3 eye, up;
        double lens;
    } cases[] = {{{{-100, -100, 0}, {100, -100, 0}, {100, -100, 200}, {-100, -100, 200}}, 2, kMappingModePoint, 1,
                  {0, -800, 100}, {0, 0, 1}, 2.8},
                 {{{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}}, 24, kMappingModePoint, 4,
                  {0, -1, 400}, {0, 1, 0}, 1.8},
                 {{{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}}, 24, kMappingModeNewImage, 1,
                  {0, -1, 400}, {0, 1, 0}, 1.8}};
    auto checker = picture(8, 8, [](int i, int j, uint8_t* q) { q[0] = q[1] = q[2] = (i + j) & 1 ? 255 : 96; });
    for (const Case& c : cases) {
        int changes[2][3];
        for (int trace = 0; trace < 2; ++trace) {
            SCOPED_TRACE(testing::Message() << "tiling " << c.tiling << " mode " << c.mode << " traced " << trace);
            rt_install();
            TestScene s;
            MESH3* m = s.add_mesh({});
            ASSERT_EQ(mesh_add_grid_patch(m, &c.c[0], &c.c[1], &c.c[2], &c.c[3], c.cells, c.cells), 0);
            TextureSlot& t = m->material->slots[kSlotTexture];
            t.kind = kTextureImage, t.mapping_mode = c.mode;
            texture_mapping_init(&t.mapping);
            t.mapping.image = checker.get(), t.mapping.interpolation = kSampleNearest;
            texture_mapping_build_matrix(&t.mapping.matrix, c.tiling, c.tiling, 0, false, false, 0, 0);
            s.add_light({0, -800, 800}, 1, 1, 1);
            s.settings.light_mask = 0;
            s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderPhong | kRenderTextures | kRenderPerspective;
            Image24 img(240, 180);
            ASSERT_EQ(s.render(img, s.add_camera(c.eye, {0, 0, c.c[2].z / 2}, c.lens, c.up)), 0);
            if (std::getenv("RT_DUMP"))
                write_ppm("/tmp/agree_" + std::to_string(c.cells) + "_" + std::to_string(int(c.tiling)) + "_" +
                              std::to_string(c.mode) + "_" + std::to_string(trace) + ".ppm", 240, 180, img.bytes());
            for (int r = 0; r < 3; ++r) {
                changes[trace][r] = cell_changes(img, 60 + 30 * r);
                EXPECT_GE(changes[trace][r], 6 * c.tiling - 1) << "row " << r;
                EXPECT_LE(changes[trace][r], 8 * c.tiling) << "row " << r;
            }
        }
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(changes[1][r], changes[0][r], 1) << c.cells << " row " << r;
    }
}

TEST(RenderersAgree, FocalBlurMakesEveryPixelFromTheBackgroundPicture) {
    // A gradient picture behind a box, a pale background colour, a camera with aperture
    // 5: a band of 5 pixels along each edge holds what the sharp picture holds there.
    auto image = picture(64, 48, [](int i, int j, uint8_t* q) { q[0] = 60 + 2 * i, q[1] = 60 + 2 * j, q[2] = 90; });
    double band[2][4] = {};
    for (int blur = 0; blur < 2; ++blur) {
        rt_install();
        TestScene s;
        s.add_box({-5, -5, -5}, {5, 5, 5});
        s.add_light({0, -80, 80}, 1, 1, 1);
        s.settings.light_mask = 0;
        s.settings.flags = kRenderRayTrace | kRenderPhong | kRenderTextures | kRenderPerspective;
        for (float& c : s.settings.material.colour) c = 1.0f;
        TextureSlot& bg = s.settings.material.slots[kSlotTexture];
        bg.kind = kTextureImage;
        texture_mapping_init(&bg.mapping);
        bg.mapping.image = image.get();
        CAMERA* cam = s.add_camera({0, -100, 0}, {0, 0, 0}, 1.0, {0, 0, 1});
        cam->set_aperture(blur ? 5 : 0);
        Image24 img(96, 72);
        ASSERT_EQ(s.render(img, cam), 0);
        if (std::getenv("RT_DUMP")) write_ppm("/tmp/agree_background_" + std::to_string(blur) + ".ppm", 96, 72, img.bytes());
        double n[4] = {};  // green along the top and bottom, red along the sides
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 96; ++x) {
                uint8_t p[3];
                img.rgb(x, y, p);
                const bool in[4] = {y < 5, x >= 91, y >= 67, x < 5};
                for (int e = 0; e < 4; ++e)
                    if (in[e]) band[blur][e] += e % 2 ? p[0] : p[1], ++n[e];
            }
        for (int e = 0; e < 4; ++e) band[blur][e] /= n[e];
    }
    for (int e = 0; e < 4; ++e) EXPECT_NEAR(band[1][e], band[0][e], 12) << "edge " << e;
}
