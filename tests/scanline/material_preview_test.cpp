// The material editor's sample pixels: background, layers, facets, transparency,
// independence from renders, and surface ids and held images in renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <set>
#include <thread>

#include "model/db/find.h"
#include "model/db/texture_map.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "render/scanline/material_preview.h"
#include "render/scanline/surface_detail.h"
#include "render/surface/presets.h"
#include "scanline_test_util.h"

namespace {

void shade(const MaterialRecord& m, float x, float y, int32_t shape, float out[4], int32_t layer = 0) {
    out[0] = out[1] = out[2] = out[3] = 0.0f;
    const float p[3] = {x, y, 0};
    matpreview_shade(layer, out, &m, p, 1.0f, shape);
}

}  // namespace

TEST(MaterialPreview, BackgroundAndLayers) {
    MaterialRecord m;
    float c[4];
    // Outside every shape: the checker, (7 + 0) mod 5 = 2, green.
    for (int32_t shape : {kPreviewCylinder, kPreviewSphere, kPreviewSquare, 7}) {
        shade(m, 0.49f, -0.49f, shape, c);
        EXPECT_EQ(c[0], 0.0f);
        EXPECT_EQ(c[1], 1.0f);
        EXPECT_EQ(c[2], 0.0f);
    }
    // Points off every range (and NaN) still get a checker colour.
    for (float v : {std::nanf(""), 1e30f, -1e30f}) {
        shade(m, v, v, kPreviewSphere, c);
        EXPECT_TRUE(c[0] >= 0.0f && c[0] <= 1.0f);
    }
    // Layer 2 is nothing: the checker at the centre, (4 + 4) mod 5 = 3, blue.
    shade(m, 0.0f, 0.0f, kPreviewSphere, c, 2);
    EXPECT_EQ(c[2], 1.0f);
    // A fully transparent sphere shows its back surface, then the checker.
    MaterialRecord glass;
    glass.colour[0] = glass.colour[1] = glass.colour[2] = 1.0f;
    glass.transparency = 1.0f;
    glass.shininess = 0.0f;
    glass.diffuse = 0.0f;
    shade(glass, 0.0f, 0.0f, kPreviewSphere, c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[2], 1.0f);
    // An opaque white sphere lit from the front: not the checker.
    MaterialRecord white;
    white.colour[0] = white.colour[1] = white.colour[2] = 1.0f;
    shade(white, -0.1f, 0.1f, kPreviewSphere, c);
    EXPECT_GT(c[0], 0.3f);
    EXPECT_NEAR(c[0], c[1], 1e-6);
}

TEST(MaterialPreview, FacetsAndGradients) {
    // Along a row of the cylinder, a faceted material jumps from band to band; a
    // smooth one changes gradually.
    MaterialRecord m;
    m.colour[0] = m.colour[1] = m.colour[2] = 0.8f;
    m.shininess = 0.0f;
    auto jumps = [&](uint32_t flags) {
        m.flags = flags;
        int n = 0;
        float last = -1.0f;
        for (int i = 0; i < 400; ++i) {
            float c[4];
            shade(m, -0.44f + i * 0.0022f, 0.1f, kPreviewCylinder, c);
            if (last >= 0.0f && std::fabs(c[0] - last) > 0.02f) ++n;
            last = c[0];
        }
        return n;
    };
    EXPECT_GE(jumps(0), 5);
    EXPECT_EQ(jumps(kMaterialSmoothAlways), 0);
    EXPECT_EQ(jumps(kMaterialSmoothByAngle), 0);
    EXPECT_DOUBLE_EQ(matpreview_band(2.0, 1.0), 1.0);
    EXPECT_NEAR(matpreview_band(-5.0, 1.0), std::cos(16 * M_PI / 17), 1e-12);
}

TEST(MaterialPreview, IndependentOfRendersAndThreads) {
    // The swatch uses its own ambient of 0 whatever a render set, and the same
    // colour from any thread.
    MaterialRecord m;
    m.colour[0] = 0.5f;
    float before[4], after[4], other[4];
    shade(m, 0.05f, 0.05f, kPreviewSquare, before);
    TestScene s;
    s.add_box({-5, -5, -5}, {5, 5, 5});
    s.settings.flags = kRenderGouraud | kRenderAmbient;
    Image24 img(8, 8);
    ASSERT_EQ(s.render(img), 0);
    shade(m, 0.05f, 0.05f, kPreviewSquare, after);
    std::thread t([&] { shade(m, 0.05f, 0.05f, kPreviewSquare, other); });
    t.join();
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(before[c], after[c]);
        EXPECT_EQ(before[c], other[c]);
    }
}

TEST(MaterialPreview, SwatchBesideARenderOfTheSameMaterial) {
    // The swatch and a render's band threads read one material (texture, bump and
    // reflection slots) at the same time: neither writes it, and the swatch comes out
    // as when shaded alone.
    TestScene s;
    MESH3* box = s.add_box({-5, -5, -5}, {5, 5, 5});
    MaterialRecord& m = *box->material;
    ASSERT_GE(texture_preset_apply(&m, &kPresetsTexture, 6), 0);     // "Marble: Red"
    ASSERT_GE(texture_preset_apply(&m, &kPresetsBump, 3), 0);        // "Ripples"
    ASSERT_GE(texture_preset_apply(&m, &kPresetsReflection, 25), 0);  // "Sky: Blue IV"
    m.slots[kSlotReflection].mapping_mode = kMappingModePoint;
    m.reflection_level = 0.5f;
    s.add_light({-20, 30, 60}, 1, 1, 1);
    s.settings.flags = kRenderPhong | kRenderTextures | kRenderPhongTextures;
    const float at[][2] = {{0.05f, 0.1f}, {-0.2f, 0.15f}, {0.3f, -0.25f}};
    float alone[3][4];
    for (int k = 0; k < 3; ++k) shade(m, at[k][0], at[k][1], kPreviewSphere, alone[k]);
    std::atomic<bool> done{false};
    int differ = 0;
    std::thread swatch([&] {
        while (!done.load()) {
            for (int k = 0; k < 3; ++k) {
                float c[4];
                shade(m, at[k][0], at[k][1], kPreviewSphere, c);
                for (int i = 0; i < 4; ++i) differ += c[i] != alone[k][i];
            }
        }
    });
    for (int r = 0; r < 3; ++r) {
        Image24 img(48, 48);
        EXPECT_EQ(s.render(img), 0);
    }
    done = true;
    swatch.join();
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(m.slots[kSlotReflection].mapping_mode, kMappingModePoint);
}

TEST(SurfaceRender, MeshesShadowEachOther) {
    // Two meshes: a small square over a floor under a spot. Each is numbered for
    // the map, so the floor below the square is dark and the square itself is lit.
    for (int radius : {0, 3}) {
        render_shadow_filter_for_tests(radius);
        TestScene s;
        s.view.origin_x = -20;
        s.view.origin_y = -20;
        const Vec3 f[4] = {{-40, -40, 0}, {40, -40, 0}, {40, 40, 0}, {-40, 40, 0}};
        s.add_mesh({f[0], f[1], f[2], f[0], f[2], f[3]});
        const Vec3 q[4] = {{-4, -4, 10}, {4, -4, 10}, {4, 4, 10}, {-4, 4, 10}};
        s.add_mesh({q[0], q[1], q[2], q[0], q[2], q[3]});
        auto l = rtc_make<SPOTLITE>();
        l->position = {0, 0, 40};
        l->target = {0, 0, 0};
        l->light_colour[0] = l->light_colour[1] = l->light_colour[2] = 1.0f;
        l->cone_cos[0] = 0.5f;
        l->cone_cos[1] = 0.4f;
        EXPECT_EQ(container_insert(s.layer, l.release()), 0);
        s.settings.flags = kRenderPhong;
        Image24 img(40, 40);
        ASSERT_EQ(s.render(img), 0);
        uint8_t centre[3], floor[3];
        img.rgb(20, 20, centre);   // the square
        img.rgb(20, 33, floor);    // floor beside the square's shadow
        EXPECT_GT(centre[0], 100) << radius;
        EXPECT_GT(floor[0], 100) << radius;
        // Beside the square, but inside its shadow (the spot is above its centre and
        // the floor 4/3 as far: the shadow reaches 5.3 units out).
        uint8_t shadowed[3];
        img.rgb(20 + 4, 20, shadowed);  // x = 4.5
        // Filtered, the edge of the shadow is partly lit.
        EXPECT_LT(shadowed[0], radius == 0 ? 20 : floor[0] * 0.7) << radius;
    }
    render_shadow_filter_for_tests(-1);
}

namespace {

int g_decodes = 0;

int counting_decoder(const uint8_t*, uint32_t, int32_t, int32_t* w, int32_t* h, uint8_t** px) {
    ++g_decodes;
    *w = *h = 2;
    *px = new uint8_t[12];
    for (int i = 0; i < 12; ++i) (*px)[i] = static_cast<uint8_t>(g_decodes * 40);
    return 0;
}

}  // namespace

TEST(SurfaceRender, AnimatedImagesStayWhileHeld) {
    // An animated image decodes at every request, except while a render holds its
    // pixels: then the pixels being sampled stay.
    MATRPMMF_register();
    texture_image_set_decoder(kImageKindAnimator, counting_decoder);
    auto image = rtc_make<MATRPMMF>();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    ASSERT_EQ(image->set_data(kImageKindAnimator, "a.flc", bytes, 4), 0);
    g_decodes = 0;
    ASSERT_EQ(image->make_image_ready(), 0);
    const uint8_t* first = image->pixels;
    image->hold_pixels();
    ASSERT_EQ(image->make_image_ready(), 0);
    EXPECT_EQ(image->pixels, first);
    EXPECT_EQ(g_decodes, 1);
    image->release_pixels();
    ASSERT_EQ(image->make_image_ready(), 0);
    EXPECT_EQ(g_decodes, 2);
    // A render of two meshes sharing the image decodes it once and lets go after.
    TestScene s;
    for (float x : {-10.0f, 10.0f}) {
        MESH3* b = s.add_box({x - 4, -4, -4}, {x + 4, 4, 4});
        b->material->slots[kSlotTexture].kind = kTextureImage;
        texture_mapping_init(&b->material->slots[kSlotTexture].mapping);
        b->material->slots[kSlotTexture].mapping.image = image.get();
    }
    s.settings.flags = kRenderPhong | kRenderTextures;
    Image24 img(16, 16);
    ASSERT_EQ(s.render(img), 0);
    EXPECT_EQ(g_decodes, 3);
    EXPECT_FALSE(image->pixels_held());
    texture_image_set_decoder(kImageKindAnimator, nullptr);
    for (ZOBJ* z = s.layer; z; z = tree_next(z, s.layer))
        if (auto* m = rtc_cast<MESH3>(z)) m->material->slots[kSlotTexture].mapping.image = nullptr;
}

namespace {

std::atomic<int> g_image_decodes{0};

// Relaxed, so that counting does not order the two threads for ThreadSanitizer.
int image_decoder(const uint8_t*, uint32_t, int32_t, int32_t* w, int32_t* h, uint8_t** px) {
    g_image_decodes.fetch_add(1, std::memory_order_relaxed);
    *w = *h = 2;
    *px = new uint8_t[12];
    for (int i = 0; i < 12; ++i) (*px)[i] = 200;
    return 0;
}

}  // namespace

TEST(SurfaceRender, RenderAndSwatchShareAnImageDecodedOnce) {
    // The window side attaches an image map to a keyed mapping (reading its first
    // pixel) or copies it, then lets a render start on a worker thread and, once the
    // render has the image, shows the material sample of it while the render samples
    // it too. A still image is decoded once for all of them; an animated one again
    // for a request while nobody holds it, never under a reader: ThreadSanitizer
    // checks that no thread frees or writes pixels another is reading. A few rounds
    // of each, each with a fresh image.
    struct Kind {
        int32_t kind;
        const char* file;
        bool animated;
    };
    const Kind kinds[] = {{kImageKindGif, "a.gif", false}, {kImageKindAnimator, "a.flc", true}};
    // What the window side does with the image before the render starts.
    struct Reader {
        const char* name;
        void (*read)(MATRPMMF* image);
    };
    const Reader readers[] = {
        {"attach to a keyed mapping",
         [](MATRPMMF* image) {
             TextureMapping keyed;
             texture_mapping_init(&keyed);
             keyed.flags |= kMappingImageCoverage;
             EXPECT_EQ(texture_mapping_set_image(&keyed, image), 0);
             EXPECT_FLOAT_EQ(keyed.key_colour[0], 200 / 255.0f);
         }},
        {"copy",
         [](MATRPMMF* image) {
             std::unique_ptr<RTC> copy;
             ASSERT_EQ(rtc_clone(&copy, image), 0);
             EXPECT_EQ(static_cast<MATRPATT*>(copy.get())->width, 2);
         }},
    };
    MATRPMMF_register();
    for (const Kind& k : kinds) {
        texture_image_set_decoder(k.kind, image_decoder);
        for (int round = 0; round < 8; ++round) {
            const Reader& reader = readers[round % 2];
            SCOPED_TRACE(std::string(k.file) + ", " + reader.name + ", round " + std::to_string(round));
            auto image = rtc_make<MATRPMMF>();
            const uint8_t bytes[4] = {1, 2, 3, 4};
            ASSERT_EQ(image->set_data(k.kind, k.file, bytes, 4), 0);
            TestScene s;
            MESH3* box = s.add_box({-5, -5, -5}, {5, 5, 5});
            MaterialRecord sample;
            for (MaterialRecord* m : {box->material, &sample}) {
                m->slots[kSlotTexture].kind = kTextureImage;
                texture_mapping_init(&m->slots[kSlotTexture].mapping);
            }
            box->material->slots[kSlotTexture].mapping.image = image.get();
            sample.slots[kSlotTexture].mapping.image = image.get();
            s.settings.flags = kRenderPhong | kRenderTextures;
            g_image_decodes = 0;
            // The render starts once the window side is through with its reading. A
            // relaxed gate: nothing but the image's own locking and
            // holding may order what the two threads do with its pixels.
            std::atomic<bool> go{false}, done{false};
            int rendered = -1;
            Image24 img(24, 24);
            std::thread worker([&] {
                while (!go.load(std::memory_order_relaxed)) std::this_thread::yield();
                rendered = s.render(img);
                done.store(true, std::memory_order_relaxed);
            });
            reader.read(image.get());
            go.store(true, std::memory_order_relaxed);
            // Once the render holds the image (or is through), the sample holds it
            // too while it shades, as a window showing it does.
            while (!image->pixels_held() && !done.load(std::memory_order_relaxed)) std::this_thread::yield();
            float lit = 0.0f;
            {
                const ImagePixelsHold hold(image.get());
                EXPECT_EQ(hold.code(), 0);
                for (int i = 0; i < 9; ++i) {
                    float c[4];
                    shade(sample, -0.4f + i * 0.1f, 0.0f, kPreviewSquare, c);
                    lit += c[0];
                }
            }
            worker.join();
            EXPECT_EQ(rendered, 0);
            if (!k.animated) {
                EXPECT_EQ(g_image_decodes.load(), 1);
            }
            EXPECT_GT(lit, 0.0f);
            EXPECT_FALSE(image->pixels_held());
            box->material->slots[kSlotTexture].mapping.image = nullptr;
            sample.slots[kSlotTexture].mapping.image = nullptr;
        }
        texture_image_set_decoder(k.kind, nullptr);
    }
}
