// Reference images of surface detail (Phong, 160 x 120): image-map filters and
// projections, one preset per pattern kind, every bump kind, reflection maps, a
// box's shadow with and without filtering, and the material editor's swatches.
// ZELO_GOLDEN_OUT writes the images made now (see golden_support.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "render/scanline/material_preview.h"
#include "render/scanline/surface_detail.h"
#include "render/surface/presets.h"
#include "scanline_test_util.h"

namespace {

// Drawing (0, 0) at the image centre, y up, seen from +z.
ViewProjection centred_view() {
    ViewProjection vp;
    vp.origin_x = -80;
    vp.origin_y = -60;
    return vp;
}

MESH3* square(TestScene& s, float cx, float cy, float hx, float hy, float z = 0) {
    const Vec3 a = {cx - hx, cy - hy, z}, b = {cx + hx, cy - hy, z}, c = {cx + hx, cy + hy, z},
               d = {cx - hx, cy + hy, z};
    MESH3* m = s.add_mesh({a, b, c, a, c, d});
    m->material->shininess = 0.0f;
    return m;
}

// Texture space = (point - centre) / size.
void place(TextureSlot& slot, float cx, float cy, float cz, double size) {
    slot.transform = std::make_unique<Transform>();
    Matrix43& inv = slot.transform->inv;
    Matrix43& fwd = slot.transform->fwd;
    inv = {{1 / size, 0, 0, 0, 1 / size, 0, 0, 0, 1 / size, -cx / size, -cy / size, -cz / size}};
    fwd = {{size, 0, 0, 0, size, 0, 0, 0, size, cx, cy, cz}};
}

// A 64 x 64 picture: 8-pixel cells of four hues, a white diagonal, a black frame.
std::unique_ptr<MATRPATT> picture() {
    auto p = std::make_unique<MATRPATT>();
    p->release_image();
    const int n = 64;
    auto* px = new uint8_t[n * n * 3];
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            uint8_t* q = px + (j * n + i) * 3;
            const int cell = ((i / 8) + (j / 8)) & 3;
            const uint8_t hue[4][3] = {{230, 60, 40}, {40, 160, 230}, {250, 210, 40}, {60, 200, 90}};
            for (int c = 0; c < 3; ++c) q[c] = hue[cell][c];
            if (i == j || i + 1 == j) q[0] = q[1] = q[2] = 255;
            if (i == 0 || j == 0 || i == n - 1 || j == n - 1) q[0] = q[1] = q[2] = 0;
        }
    p->pixels = px;
    p->width = n;
    p->height = n;
    return p;
}

void image_slot(TextureSlot& slot, MATRPATT* img, int32_t mode, uint16_t filter) {
    slot.kind = kTextureImage;
    slot.amount = 1.0f;
    slot.mapping_mode = mode;
    texture_mapping_init(&slot.mapping);
    slot.mapping.interpolation = filter;
    slot.mapping.image = img;
}

void lit_scene(TestScene& s) {
    s.view = centred_view();
    s.add_light({-60, 80, 200}, 1, 1, 1);
    s.settings.flags = kRenderPhong | kRenderTextures | kRenderAmbient;
}

}  // namespace

TEST(SurfaceGolden, ImageFilters) {
    TestScene s;
    lit_scene(s);
    auto img = picture();
    const float cx[4] = {-40, 40, -40, 40}, cy[4] = {29, 29, -29, -29};
    for (int k = 0; k < 4; ++k) {
        MESH3* m = square(s, cx[k], cy[k], 38, 28);
        m->material->self_illumination = 0.4f;
        TextureSlot& t = m->material->slots[kSlotTexture];
        image_slot(t, img.get(), kMappingModePlanar, static_cast<uint16_t>(k));
        place(t, cx[k], cy[k], 0, 140);  // a quarter of the picture, magnified
    }
    golden_check("surface_filters", s, 160, 120);
}

TEST(SurfaceGolden, ImageProjections) {
    TestScene s;
    lit_scene(s);
    auto img = picture();
    struct Obj {
        float x, y;
        int32_t mode;
        double angle;
        bool mu, mv;
        uint16_t flags;
    } objs[4] = {{-40, 28, kMappingModeSpherical, 0, false, false, 0},
                 {40, 28, kMappingModeCylindrical, 30, true, false, 0},
                 {-40, -30, kMappingModePlanar, 45, false, true, 0},
                 {40, -30, kMappingModePlanar, 0, false, false, kMappingNoTiling}};
    for (int k = 0; k < 4; ++k) {
        const Obj& o = objs[k];
        MESH3* m = k < 2 ? s.add_sphere({o.x, o.y, 0}, 26, 16, 24) : square(s, o.x, o.y, 36, 26);
        m->material->self_illumination = 0.3f;
        TextureSlot& t = m->material->slots[kSlotTexture];
        image_slot(t, img.get(), o.mode, 1);
        t.mapping.flags = o.flags | (o.mu ? kMappingMirrorU : 0) | (o.mv ? kMappingMirrorV : 0);
        t.mapping.angle = static_cast<float>(o.angle);
        texture_mapping_build_matrix(&t.mapping.matrix, 1, 1, o.angle, o.mu, o.mv, 0, 0);
        place(t, o.x, o.y, 0, k < 2 ? 26 : (k == 2 ? 90 : 40));
    }
    golden_check("surface_projections", s, 160, 120);
}

TEST(SurfaceGolden, PatternKinds) {
    TestScene s;
    lit_scene(s);
    // Presets (row) or a kind of our own over a rainbow ramp (-kind), with the
    // texture-space size of a tile.
    const struct {
        int code;
        double size;
    } tiles[15] = {{36, 6},  {42, 6},  {33, 1.5}, {1, 6},  {9, 4},  {12, 2},  {6, 6},  {14, 8},
                   {28, 8},  {26, 6},  {-6, 2},   {-13, 6}, {-14, 8}, {-15, 3}, {-16, 5}};
    static ColourRampKey rainbow[4] = {
        {0.0, 0.9f, 0.2f, 0.2f, 0}, {0.33, 0.9f, 0.9f, 0.2f, 0}, {0.66, 0.2f, 0.6f, 0.9f, 0}, {1.0, 0.9f, 0.2f, 0.2f, 0}};
    for (int k = 0; k < 15; ++k) {
        const float cx = -64 + 32.0f * (k % 5), cy = 40 - 40.0f * (k / 5);
        MESH3* m = square(s, cx, cy, 15, 19);
        m->material->self_illumination = 0.4f;
        TextureSlot& t = m->material->slots[kSlotTexture];
        if (tiles[k].code >= 0) {
            texture_preset_apply(m->material, &kPresetsTexture, tiles[k].code);
        } else {
            t.kind = -tiles[k].code;
            pattern_params_init(&t.pattern);
            t.pattern.octaves = 24;
            EXPECT_EQ(colour_ramp_new(&t.ramp, 4), 0);
            std::copy(rainbow, rainbow + 4, t.ramp->keys);
        }
        place(t, cx, cy, 0, 30.0 / tiles[k].size);
        if (tiles[k].code == -15) place(t, cx + 8, cy, 0, 30.0 / tiles[k].size);
    }
    golden_check("surface_patterns", s, 160, 120);
}

TEST(SurfaceGolden, BumpKinds) {
    TestScene s;
    lit_scene(s);
    auto img = picture();
    for (int k = 0; k < 8; ++k) {
        const float cx = -60 + 40.0f * (k % 4), cy = 28 - 56.0f * (k / 4);
        MESH3* m = s.add_sphere({cx, cy, 0}, 18, 16, 24);
        m->material->colour[0] = 0.8f;
        m->material->colour[1] = 0.75f;
        m->material->colour[2] = 0.6f;
        TextureSlot& b = m->material->slots[kSlotBump];
        const int kind = k + 1;  // 8: no perturbation, the plain sphere
        if (kind == 1) {
            image_slot(b, img.get(), kMappingModeSpherical, 1);
            b.amount = 3.0f;
        } else {
            b.kind = kind;
            pattern_params_init(&b.pattern);
            b.amount = kind >= 5 && kind <= 6 ? 2.0f : 0.6f;
            b.pattern.frequency = kind >= 5 && kind <= 6 ? 3.0f : 1.0f;
        }
        place(b, cx, cy, 0, kind == 1 || kind == 5 || kind == 6 ? 18 : 4.5);
    }
    golden_check("surface_bumps", s, 160, 120);
}

TEST(SurfaceGolden, ReflectionMaps) {
    TestScene s;
    lit_scene(s);
    auto img = picture();
    MESH3* a = s.add_sphere({-40, 0, 0}, 36, 20, 32);
    MESH3* b = s.add_sphere({40, 0, 0}, 36, 20, 32);
    for (MESH3* m : {a, b}) {
        m->material->colour[0] = m->material->colour[1] = m->material->colour[2] = 0.2f;
        m->material->reflection_level = 0.8f;
    }
    image_slot(a->material->slots[kSlotReflection], img.get(), kMappingModeSpherical, 3);
    texture_preset_apply(b->material, &kPresetsReflection, 23);  // "Sky: Blue II"
    place(b->material->slots[kSlotReflection], 0, 0, 0, 0.5);
    golden_check("surface_reflection", s, 160, 120);
}

namespace {

void shadow_scene(TestScene& s) {
    s.view = centred_view();
    MESH3* floor = square(s, 0, 0, 90, 70, -20);
    floor->material->colour[1] = 0.9f;
    floor->material->colour[2] = 0.7f;
    MESH3* box = s.add_box({-25, -5, 10}, {5, 25, 30});
    box->material->colour[0] = 0.9f;
    box->material->colour[1] = 0.4f;
    box->material->colour[2] = 0.3f;
    auto l = rtc_make<SPOTLITE>();
    l->position = {-60, 70, 160};
    l->target = {0, 0, -20};
    l->light_colour[0] = l->light_colour[1] = l->light_colour[2] = 1.0f;
    l->cone_cos[0] = 0.85f;
    l->cone_cos[1] = 0.75f;
    EXPECT_EQ(container_insert(s.layer, l.release()), 0);
    s.settings.flags = kRenderPhong | kRenderAmbient;
}

}  // namespace

TEST(SurfaceGolden, BoxShadow) {
    for (int radius : {0, 3}) {
        TestScene s;
        shadow_scene(s);
        render_shadow_filter_for_tests(radius);
        golden_check(radius ? "surface_shadow_r3" : "surface_shadow_r0", s, 160, 120);
    }
    render_shadow_filter_for_tests(-1);
}

namespace {

std::vector<uint8_t> swatch(const MaterialRecord& m, int32_t shape) {
    std::vector<uint8_t> rgb(160 * 120 * 3);
    for (int py = 0; py < 120; ++py) matpreview_paint_row(&m, shape, 160, 120, py, &rgb[py * 160 * 3]);
    return rgb;
}

}  // namespace

TEST(SurfaceGolden, PreviewSwatches) {
    MaterialRecord faceted;
    faceted.flags = 0;
    texture_preset_apply(&faceted, &kPresetsTexture, 6);  // "Marble: Red"
    place(faceted.slots[kSlotTexture], 0, 0, 0, 0.5);
    golden_compare("preview_faceted", 160, 120, swatch(faceted, kPreviewSphere));

    MaterialRecord smooth;
    smooth.colour[0] = 0.3f;
    smooth.colour[1] = 0.6f;
    smooth.colour[2] = 0.9f;
    texture_preset_apply(&smooth, &kPresetsBump, 3);  // "Ripples"
    smooth.slots[kSlotBump].amount = 0.5f;
    smooth.slots[kSlotBump].pattern.frequency = 6.0f;
    golden_compare("preview_smooth", 160, 120, swatch(smooth, kPreviewCylinder));

    MaterialRecord glass;
    glass.colour[0] = 0.6f;
    glass.colour[1] = 0.9f;
    glass.colour[2] = 0.8f;
    glass.transparency = 0.7f;
    glass.shininess = 0.8f;
    golden_compare("preview_transparent", 160, 120, swatch(glass, kPreviewSphere));
}
