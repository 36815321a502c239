// The material sheet's sample: shapes, the latest change winning over a burst,
// destruction while painting, an image map shared with a render. With ZELO_SHOT_DIR
// set, the sample pictures are saved as PNGs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <algorithm>
#include <atomic>
#include <thread>

#include "dialogs/sample/material_sample.h"
#include "model/db/texture_map.h"
#include "model/material/image/matrpmmf.h"
#include "render/scanline/material_preview.h"
#include "render/surface/presets.h"
#include "tests/platform/qt_test_env.h"
#include "tests/scanline/scanline_test_util.h"

namespace {

constexpr int kWait = 60000;  // a bound for a stuck worker, not a measurement

// Whether the sample shows exactly the picture of m made on its own.
bool shows(const CMaterialSample& s, const MaterialRecord& m) {
    const QImage pic = s.picture();
    std::vector<uint8_t> row(size_t(pic.width()) * 3);
    for (int y = 0; y < pic.height(); ++y) {
        matpreview_paint_row(&m, s.shape(), pic.width(), pic.height(), y, row.data());
        if (!std::equal(row.begin(), row.end(), pic.constScanLine(y))) return false;
    }
    return !pic.isNull();
}

std::atomic<int> g_decodes{0};

int gif_decoder(const uint8_t*, uint32_t, int32_t, int32_t* w, int32_t* h, uint8_t** px) {
    g_decodes.fetch_add(1, std::memory_order_relaxed);
    *w = *h = 2;
    *px = new uint8_t[12];
    std::fill_n(*px, 12, 200);
    return 0;
}

std::unique_ptr<MATRPMMF> gif_on(std::initializer_list<MaterialRecord*> materials) {
    MATRPMMF_register();
    texture_image_set_decoder(kImageKindGif, gif_decoder);
    auto image = rtc_make<MATRPMMF>();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(image->set_data(kImageKindGif, "a.gif", bytes, 4), 0);
    for (MaterialRecord* m : materials) {
        m->slots[kSlotTexture].kind = kTextureImage;
        texture_mapping_init(&m->slots[kSlotTexture].mapping);
        m->slots[kSlotTexture].mapping.image = image.get();
    }
    return image;
}

}  // namespace

TEST(MaterialSample, ShapesPaintTheirSilhouettes) {
    // Chosen through the chooser, each shape covers the points at (x, y) x 160 from
    // the centre that it should: the shapes reach 1 / 2.2 of the side, the cylinder and
    // square fill that square, the sphere its disc. Outside, the checker shows.
    MaterialRecord m;
    m.colour[0] = m.colour[1] = m.colour[2] = 0.5f;
    m.self_illumination = 0.5f;
    CMaterialSample sample;
    sample.resize(160, 160);
    CMaterialSampleShapes chooser(&sample);
    EXPECT_TRUE(chooser.group()->button(kPreviewSphere)->isChecked());
    sample.set_material(m);
    const struct {
        int32_t shape;
        const char* text;
        bool corner_inside;  // (0.4, 0.4)
    } cases[] = {{kPreviewCylinder, "Cylinder", true},
                 {kPreviewSphere, "Sphere", false},
                 {kPreviewSquare, "Square", true}};
    for (const auto& c : cases) {
        QAbstractButton* button = chooser.group()->button(c.shape);
        EXPECT_EQ(button->text(), c.text);
        button->click();
        ASSERT_EQ(sample.shape(), c.shape);
        ASSERT_TRUE(sample.wait_ready(kWait));
        const QImage pic = sample.picture();
        auto grey = [&](int x, int y) {
            const QRgb p = pic.pixel(80 + x, 80 - y);
            return qRed(p) > 40 && qRed(p) < 255 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
        };
        EXPECT_TRUE(grey(0, 0) && grey(-64, 0) && grey(0, 64)) << c.text;
        EXPECT_EQ(grey(64, 64), c.corner_inside) << c.text;
        EXPECT_EQ(pic.pixel(80 + 77, 80), qRgb(0, 0, 0)) << c.text;  // checker (7 + 3) mod 5 = 0
    }
}

TEST(MaterialSample, BurstEndsWithTheLastMaterial) {
    // Forty changes in a row, as when typing: the sample ends showing the last
    // material, and keeps its own copy: each caller's record (with a ramp of its own)
    // is changed and freed at once.
    CMaterialSample sample;
    sample.resize(120, 90);
    MaterialRecord last;
    for (int i = 0; i < 40; ++i) {
        MaterialRecord* m = material_new();
        m->colour[0] = i / 40.0f;
        ASSERT_GE(texture_preset_apply(m, &kPresetsTexture, 6 + i % 3), 0);  // the marbles
        const ColourRamp* preset = m->slots[kSlotTexture].ramp;
        ASSERT_EQ(colour_ramp_new(&m->slots[kSlotTexture].ramp, preset->count), 0);
        colour_ramp_copy_keys(m->slots[kSlotTexture].ramp->keys, preset->keys, preset->count);
        if (i == 20) sample.set_shape(kPreviewCylinder);
        sample.set_material(*m);
        ASSERT_EQ(material_copy(&last, m), 0);
        m->colour[1] = 1.0f;
        m->slots[kSlotTexture].ramp->keys[0].r = 0.0f;
        material_free(&m);
    }
    ASSERT_TRUE(sample.wait_ready(kWait));
    EXPECT_TRUE(shows(sample, last));
}

TEST(MaterialSample, DestroyedWhilePainting) {
    // Once the worker holds the image of a large picture (it is about to paint), a
    // newer change comes and the widget is destroyed: nothing is left touching the
    // widget or the copies (ASan), and the image is no longer held.
    MaterialRecord m;
    auto image = gif_on({&m});
    ASSERT_GE(texture_preset_apply(&m, &kPresetsBump, 0), 0);
    m.transparency = 0.5f;
    auto sample = std::make_unique<CMaterialSample>();
    sample->resize(900, 900);
    sample->set_material(m);
    while (!image->pixels_held()) std::this_thread::yield();
    sample->set_shape(kPreviewSquare);
    sample.reset();
    EXPECT_FALSE(image->pixels_held());
    texture_image_set_decoder(kImageKindGif, nullptr);
}

TEST(MaterialSample, BesideARenderOfTheSameImage) {
    // A render on a worker thread and the sample ask for one undecoded image map at
    // once: it is decoded once, both finish and let go of it, and neither reads pixels
    // the other writes (ThreadSanitizer checks that). A few rounds, fresh images.
    for (int round = 0; round < 3; ++round) {
        TestScene s;
        MESH3* box = s.add_box({-5, -5, -5}, {5, 5, 5});
        MaterialRecord m;
        auto image = gif_on({&m, box->material});
        g_decodes = 0;
        s.settings.flags = kRenderPhong | kRenderTextures;
        CMaterialSample sample;
        sample.resize(64, 64);
        Image24 img(24, 24);
        int rendered = -1;
        std::thread worker([&] { rendered = s.render(img); });
        sample.set_material(m);
        EXPECT_TRUE(sample.wait_ready(kWait));
        worker.join();
        EXPECT_EQ(rendered, 0);
        EXPECT_EQ(g_decodes, 1) << round;
        EXPECT_FALSE(image->pixels_held());
        EXPECT_TRUE(shows(sample, m));
        box->material->slots[kSlotTexture].mapping.image = nullptr;
    }
    texture_image_set_decoder(kImageKindGif, nullptr);
}

TEST(MaterialSample, Pictures) {
    // A marble sphere, a bumped cylinder, a transparent square over the checker.
    MaterialRecord marble, bumped, glass;
    texture_preset_apply(&marble, &kPresetsTexture, 7);  // "Marble: White"
    marble.colour[0] = marble.colour[1] = marble.colour[2] = 0.8f;
    texture_preset_apply(&bumped, &kPresetsBump, 0);  // "Bumps", a seventh of the side across
    bumped.slots[kSlotBump].transform = std::make_unique<Transform>();
    bumped.slots[kSlotBump].transform->inv = {
        {1 / 0.14, 0, 0, 0, 1 / 0.14, 0, 0, 0, 1 / 0.14, 0, 0, 0}};
    bumped.slots[kSlotBump].transform->fwd = {{0.14, 0, 0, 0, 0.14, 0, 0, 0, 0.14, 0, 0, 0}};
    const float orange[3] = {0.8f, 0.5f, 0.2f}, blue[3] = {0.6f, 0.8f, 1.0f};
    std::copy_n(orange, 3, bumped.colour);
    std::copy_n(blue, 3, glass.colour);
    glass.transparency = 0.6f;
    const struct {
        const char* name;
        const MaterialRecord* m;
        int32_t shape;
    } shots[] = {{"marble_sphere", &marble, kPreviewSphere},
                 {"bump_cylinder", &bumped, kPreviewCylinder},
                 {"glass_square", &glass, kPreviewSquare}};
    CMaterialSample sample;
    sample.resize(200, 200);
    for (const auto& shot : shots) {
        sample.set_shape(shot.shape);
        sample.set_material(*shot.m);
        ASSERT_TRUE(sample.wait_ready(kWait));
        if (const char* dir = std::getenv("ZELO_SHOT_DIR"))
            sample.picture().save(QString("%1/material_sample_%2.png").arg(dir, shot.name));
    }
}
