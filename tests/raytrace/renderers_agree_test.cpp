// The scan-line renderer and the ray tracer against each other on what a new user
// draws: image maps on the program's own meshes, a far vertex beside a parallel view
// and a picture background seen through focal blur.
// With RT_DUMP set, the pictures are written to /tmp/agree_<name>.ppm.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/mesh/grid_builders.h"
#include "render/raytrace/rt_render.h"
#include "render/surface/image_sample.h"
#include "../scanline/scanline_test_util.h"

namespace {

void dump(const Image24& img, const std::string& name) {
    if (std::getenv("RT_DUMP")) write_ppm("/tmp/agree_" + name + ".ppm", img.width(), img.height(), img.bytes());
}

// An in-memory picture of w x h pixels from a colour function.
template <typename F>
std::unique_ptr<MATRPATT> picture(int w, int h, F colour) {
    auto p = std::make_unique<MATRPATT>();
    p->release_image();
    auto* px = new uint8_t[size_t(w) * h * 3];
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) colour(i, j, px + (size_t(j) * w + i) * 3);
    p->pixels = px;
    p->width = w;
    p->height = h;
    return p;
}

std::unique_ptr<MATRPATT> checker8() {
    return picture(8, 8, [](int i, int j, uint8_t* q) { q[0] = q[1] = q[2] = ((i + j) & 1) ? 255 : 96; });
}

MESH3* add_to(TestScene& s, std::unique_ptr<MESH3> m) {
    for (int i = 0; i < 4; ++i) m->material->colour[i] = i < 3 ? 1.0f : 0.0f;
    m->material->shininess = 0.0f;
    MESH3* raw = m.get();
    container_insert(s.layer, m.release());
    buffer_add(s.objects, raw);
    return raw;
}

// The box command's mesh: a 2 x 2 grid patch on each side.
MESH3* program_box(TestScene& s, Vec3 lo, Vec3 hi) {
    const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                       {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int faces[6][4] = {{4, 5, 6, 7}, {0, 3, 2, 1}, {0, 4, 7, 3}, {1, 2, 6, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};
    auto m = rtc_make<MESH3>();
    for (const auto& f : faces) EXPECT_EQ(mesh_add_grid_patch(m.get(), &c[f[0]], &c[f[1]], &c[f[2]], &c[f[3]], 2, 2), 0);
    return add_to(s, std::move(m));
}

// The Mesh command's n x n floor of side 200 at z = 0.
MESH3* program_floor(TestScene& s, int n) {
    const Vec3 c[4] = {{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}};
    auto m = rtc_make<MESH3>();
    EXPECT_EQ(mesh_add_grid_patch(m.get(), &c[0], &c[1], &c[2], &c[3], n, n), 0);
    return add_to(s, std::move(m));
}

void image_map(MESH3* m, MATRPATT* image, int32_t mode, float tiling) {
    TextureSlot& t = m->material->slots[kSlotTexture];
    t.kind = kTextureImage;
    t.amount = 1.0f;
    t.mapping_mode = mode;
    texture_mapping_init(&t.mapping);
    t.mapping.image = image;
    t.mapping.interpolation = kSampleNearest;  // sharp cells
    t.mapping.u_scale = t.mapping.v_scale = tiling;
    texture_mapping_build_matrix(&t.mapping.matrix, tiling, tiling, 0, false, false, 0, 0);
}

int red(const Image24& img, int x, int y) {
    uint8_t p[3];
    img.rgb(x, y, p);
    return p[0];
}

// Light and dark cells along row y between x0 and x1 (the row's mean parts them):
// how often a run of at least two pixels changes from one to the other.
int cell_changes(const Image24& img, int y, int x0, int x1) {
    double mean = 0;
    for (int x = x0; x < x1; ++x) mean += red(img, x, y);
    mean /= (x1 - x0);
    int changes = 0, run = 0;
    bool light = red(img, x0, y) > mean, counted = light;
    for (int x = x0; x < x1; ++x) {
        const bool l = red(img, x, y) > mean;
        run = l == light ? run + 1 : 1;
        light = l;
        if (run == 2 && l != counted) ++changes, counted = l;
    }
    return changes;
}

}  // namespace

TEST(RenderersAgree, ImageMapsOnTheProgramsMeshesShowTheirCellsInBothRenderers) {
    // An 8 x 8 checker (nearest texels, so seven cells a tile show: the last texel
    // column is an edge): once across the box's front face "as given", four times
    // across a 24 x 24 floor, and once on the floor with the mapping a new image map
    // starts on. Both renderers show the same clean cells along three rows.
    struct Case {
        const char* name;
        bool box;
        int32_t mode;
        float tiling;
    } cases[] = {{"box", true, kMappingModePoint, 1},
                 {"floor_tiled", false, kMappingModePoint, 4},
                 {"floor_new_map", false, kMappingModeNewImage, 1}};
    auto image = checker8();
    for (const Case& c : cases) {
        int changes[2][3] = {};
        for (bool trace : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (trace ? " ray traced" : " scan lines"));
            rt_install();
            TestScene s;
            MESH3* m = c.box ? program_box(s, {-100, -100, 0}, {100, 100, 200}) : program_floor(s, 24);
            image_map(m, image.get(), c.mode, c.tiling);
            s.add_light({0, -800, 800}, 1, 1, 1);
            s.settings.light_mask = 0;
            s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderPhong | kRenderTextures | kRenderPerspective;
            CAMERA* cam = c.box ? s.add_camera({0, -800, 100}, {0, 0, 100}, 2.8, {0, 0, 1})
                                : s.add_camera({0, -1, 400}, {0, 0, 0}, 1.8, {0, 1, 0});
            Image24 img(240, 180);
            ASSERT_EQ(s.render(img, cam), 0);
            dump(img, std::string(c.name) + (trace ? "_traced" : "_scanline"));
            for (int r = 0; r < 3; ++r) {
                const int y = 60 + 30 * r;
                int x0 = -1, x1 = 0;  // the face's extent along the row
                for (int x = 0; x < img.width(); ++x)
                    if (red(img, x, y) > 0) x0 = x0 < 0 ? x : x0, x1 = x;
                ASSERT_GT(x1 - x0, 150);
                changes[trace][r] = cell_changes(img, y, x0 + 2, x1 - 1);
                EXPECT_GE(changes[trace][r], 6 * c.tiling - 1) << "row " << y;
                EXPECT_LE(changes[trace][r], 8 * c.tiling) << "row " << y;
            }
        }
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(changes[1][r], changes[0][r], 1) << c.name << " row " << r;
    }
}

TEST(RenderersAgree, FarVertexBesideAParallelViewLeavesTheNearBoxInThePicture) {
    // A 20-unit box at the origin, one light, and a triangle reaching 1e8 along x; the
    // view turned so that x goes into the depth as well as across: the ray tracer shows
    // the box as the scan-line renderer does.
    const double k = std::sqrt(0.5);
    int lit[2] = {0, 0};
    for (bool trace : {false, true}) {
        rt_install();
        TestScene s;
        s.add_box({-10, -10, -10}, {10, 10, 10});
        s.add_mesh({{0, 0, 0}, {1, 0, 0}, {1e8f, 5, 5}});
        s.add_light({-30, 40, 200}, 1, 1, 1);
        s.settings.light_mask = 0;
        s.settings.flags = (trace ? kRenderRayTrace : 0) | kRenderGouraud;
        s.view.view = {{k, 0, k, 0, 1, 0, -k, 0, k, 0, 0, 0}};
        mat_invert(&s.view.inverse, &s.view.view);
        s.view.scale = 2;
        s.view.origin_x = s.view.origin_y = -20;
        Image24 img(80, 80);
        ASSERT_EQ(s.render(img), 0);
        dump(img, trace ? "far_parallel_traced" : "far_parallel_scanline");
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) lit[trace] += red(img, x, y) > 0;
    }
    EXPECT_GT(lit[0], 400);
    EXPECT_NEAR(lit[1], lit[0], lit[0] / 10);
}

TEST(RenderersAgree, FocalBlurMakesEveryPixelFromTheBackgroundPicture) {
    // A picture background (a gentle gradient), a pale background colour, a box and a
    // camera with aperture 5: the bands along each edge of the blurred picture hold
    // what the sharp one holds there.
    auto image = picture(64, 48, [](int i, int j, uint8_t* q) {
        q[0] = uint8_t(60 + 2 * i);
        q[1] = uint8_t(60 + 2 * j);
        q[2] = 90;
    });
    auto draw = [&](float aperture, Image24& img) {
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
        cam->set_aperture(aperture);
        ASSERT_EQ(s.render(img, cam), 0);
    };
    Image24 sharp(96, 72), blurred(96, 72);
    draw(0, sharp);
    draw(5, blurred);
    dump(sharp, "background_sharp");
    dump(blurred, "background_blurred");
    // Mean of the green (rows) and red (columns) in a band of 5 pixels along each edge.
    auto band = [](const Image24& img, int edge) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const bool in = edge == 0 ? y < 5 : edge == 1 ? x >= img.width() - 5 : edge == 2 ? y >= img.height() - 5 : x < 5;
                if (!in) continue;
                uint8_t p[3];
                img.rgb(x, y, p);
                sum += edge % 2 ? p[0] : p[1];
                ++n;
            }
        return sum / n;
    };
    for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR(band(blurred, edge), band(sharp, edge), 12) << "edge " << edge;
}
