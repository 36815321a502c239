// The material sheet's sample: shapes, the latest change winning over a burst,
// destruction while painting, and sharing an image map with a render. With
// ZELO_SHOT_DIR set, the sample pictures are also saved as PNGs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/material_sample.h"
#include "model/db/texture_map.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "render/scanline/material_preview.h"
#include "render/surface/presets.h"
#include "tests/platform/qt_test_env.h"
#include "tests/scanline/scanline_test_util.h"

namespace {

constexpr int kWait = 60000;  // a bound for a stuck worker, not a measurement

// The sample picture of m made directly, as rgb rows.
std::vector<uint8_t> direct(const MaterialRecord& m, int32_t shape, int w, int h) {
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y) matpreview_paint_row(&m, shape, w, h, y, &rgb[size_t(y) * w * 3]);
    return rgb;
}

std::vector<uint8_t> bytes_of(const QImage& picture) {
    const QImage img = picture.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < img.height(); ++y)
        rgb.insert(rgb.end(), img.constScanLine(y), img.constScanLine(y) + img.width() * 3);
    return rgb;
}

// The checker colour behind sample point (x, y).
QRgb checker(float x, float y) {
    static const QRgb kColours[5] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0),
                                     qRgb(0, 0, 255), qRgb(255, 255, 255)};
    return kColours[(int((x + 0.5f) * 8) + int((y + 0.5f) * 8)) % 5];
}

}  // namespace

TEST(MaterialSample, ShapesPaintTheirSilhouettes) {
    // A grey self-lit material on each shape, chosen through the chooser: points well
    // inside are shaded grey, points well outside show the checker.
    MaterialRecord m;
    m.colour[0] = m.colour[1] = m.colour[2] = 0.5f;
    m.self_illumination = 0.5f;
    CMaterialSample sample;
    sample.resize(160, 160);
    CMaterialSampleShapes chooser(&sample);
    EXPECT_TRUE(chooser.group()->button(sample.shape())->isChecked());
    sample.set_material(m);
    struct Case {
        int32_t shape;
        const char* button;
        std::vector<std::pair<float, float>> inside, outside;
    };
    // The shapes reach 1 / 2.2 of the side from the centre: the cylinder and square
    // fill that square, the sphere the disc in it.
    const Case cases[] = {
        {kPreviewCylinder,
         "Cylinder",
         {{0, 0}, {0.4f, 0.4f}, {-0.4f, -0.4f}},
         {{0.48f, 0}, {0, -0.48f}}},
        {kPreviewSphere, "Sphere", {{0, 0}, {0.3f, 0.3f}, {-0.4f, 0}}, {{0.4f, 0.4f}, {-0.48f, 0}}},
        {kPreviewSquare,
         "Square",
         {{0, 0}, {0.4f, 0.4f}, {-0.4f, -0.4f}},
         {{0.48f, 0.2f}, {0, 0.48f}}},
    };
    for (const Case& c : cases) {
        QAbstractButton* button = chooser.group()->button(c.shape);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), c.button);
        button->click();
        EXPECT_EQ(sample.shape(), c.shape);
        ASSERT_TRUE(sample.wait_ready(kWait));
        const QImage pic = sample.picture();
        ASSERT_EQ(pic.size(), QSize(160, 160));
        for (bool inside : {true, false})
            for (auto [x, y] : inside ? c.inside : c.outside) {
                const int px = int(80 + x * 160), py = int(80 - y * 160);
                const QRgb p = pic.pixel(px, py);
                const QRgb behind = checker((px - 79.5f) / 160, (79.5f - py) / 160);
                if (!inside) {
                    EXPECT_EQ(p, behind) << c.button << " outside " << x << "," << y;
                    continue;
                }
                EXPECT_NE(p, behind) << c.button << " inside " << x << "," << y;
                EXPECT_TRUE(qRed(p) > 40 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p))
                    << c.button << " inside " << x << "," << y << ": " << std::hex << p;
            }
    }
}

TEST(MaterialSample, BurstEndsWithTheLastMaterial) {
    // Forty changes in a row (a user typing): the picture shown at the end is the one
    // of the last material, as made from it alone, and the sample owns its copy: the
    // caller's record (with a ramp of its own) is changed and freed at once.
    CMaterialSample sample;
    sample.resize(120, 90);
    int readies = 0;
    QObject::connect(&sample, &CMaterialSample::ready, [&] { ++readies; });
    MaterialRecord last;
    for (int i = 0; i < 40; ++i) {
        MaterialRecord* m = material_new();
        ASSERT_NE(m, nullptr);
        m->colour[0] = i / 40.0f;
        m->colour[2] = 1.0f - i / 40.0f;
        ASSERT_GE(texture_preset_apply(m, &kPresetsTexture, 6 + i % 3), 0);  // the marbles
        // A ramp of the record's own in place of the preset's static one.
        const ColourRamp* preset = m->slots[kSlotTexture].ramp;
        ASSERT_EQ(colour_ramp_new(&m->slots[kSlotTexture].ramp, preset->count), 0);
        colour_ramp_copy_keys(m->slots[kSlotTexture].ramp->keys, preset->keys, preset->count);
        if (i == 20) sample.set_shape(kPreviewCylinder);
        sample.set_material(*m);
        if (i == 39) {
            ASSERT_EQ(material_copy(&last, m), 0);
        }
        m->colour[1] = 1.0f;
        m->slots[kSlotTexture].ramp->keys[0].r = 0.0f;
        material_free(&m);
    }
    ASSERT_TRUE(sample.wait_ready(kWait));
    EXPECT_EQ(bytes_of(sample.picture()), direct(last, kPreviewCylinder, 120, 90));
    EXPECT_GE(readies, 1);
}

namespace {

// A GIF decoder for the image-map tests: two grey pixels, counted; with the gate
// closed it waits inside the decode until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false, entered = false;
};
Gate g_gate;
std::atomic<int> g_decodes{0};

int gated_decoder(const uint8_t*, uint32_t, int32_t, int32_t* w, int32_t* h, uint8_t** px) {
    g_decodes.fetch_add(1, std::memory_order_relaxed);
    {
        std::unique_lock<std::mutex> lock(g_gate.mutex);
        g_gate.entered = true;
        g_gate.changed.notify_all();
        g_gate.changed.wait(lock, [] { return !g_gate.closed; });
    }
    *w = *h = 2;
    *px = new uint8_t[12];
    for (int i = 0; i < 12; ++i) (*px)[i] = 200;
    return 0;
}

std::unique_ptr<MATRPMMF> gif_image() {
    MATRPMMF_register();
    texture_image_set_decoder(kImageKindGif, gated_decoder);
    auto image = rtc_make<MATRPMMF>();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(image->set_data(kImageKindGif, "a.gif", bytes, 4), 0);
    return image;
}

void map_image(MaterialRecord* m, MATRPATT* image) {
    m->slots[kSlotTexture].kind = kTextureImage;
    texture_mapping_init(&m->slots[kSlotTexture].mapping);
    m->slots[kSlotTexture].mapping.image = image;
}

}  // namespace

TEST(MaterialSample, DestroyedWhilePainting) {
    // A large textured, bumped picture is started on an image map and the widget is
    // destroyed as soon as the worker has decoded the image (a newer change already
    // waiting): no thread is left touching the widget or the copies, and the image is
    // no longer held.
    auto image = gif_image();
    MaterialRecord m;
    map_image(&m, image.get());
    ASSERT_GE(texture_preset_apply(&m, &kPresetsBump, 0), 0);  // "Bumps"
    m.transparency = 0.5f;
    {
        std::lock_guard<std::mutex> lock(g_gate.mutex);
        g_gate.closed = true;
        g_gate.entered = false;
    }
    {
        auto sample = std::make_unique<CMaterialSample>();
        sample->resize(900, 900);
        sample->set_material(m);
        {
            std::unique_lock<std::mutex> lock(g_gate.mutex);
            g_gate.changed.wait(lock, [] { return g_gate.entered; });
        }
        sample->set_shape(kPreviewSquare);
        {
            std::lock_guard<std::mutex> lock(g_gate.mutex);
            g_gate.closed = false;
        }
        g_gate.changed.notify_all();
        sample.reset();
    }
    EXPECT_FALSE(image->pixels_held());
    m.slots[kSlotTexture].mapping.image = nullptr;
    texture_image_set_decoder(kImageKindGif, nullptr);
}

TEST(MaterialSample, BesideARenderOfTheSameImage) {
    // A render on a worker thread and the sample ask for the same undecoded image map
    // at once: it is decoded once, both finish, neither holds it after, and neither
    // reads pixels the other is writing (ThreadSanitizer checks that).
    for (int round = 0; round < 3; ++round) {
        auto image = gif_image();
        g_decodes = 0;
        TestScene s;
        MESH3* box = s.add_box({-5, -5, -5}, {5, 5, 5});
        map_image(box->material, image.get());
        s.settings.flags = kRenderPhong | kRenderTextures;
        MaterialRecord m;
        map_image(&m, image.get());
        CMaterialSample sample;
        sample.resize(64, 64);
        int rendered = -1;
        Image24 img(24, 24);
        std::thread worker([&] { rendered = s.render(img); });
        sample.set_material(m);
        const bool ready = sample.wait_ready(kWait);
        worker.join();
        EXPECT_TRUE(ready);
        EXPECT_EQ(rendered, 0);
        EXPECT_EQ(g_decodes.load(), 1) << "round " << round;
        EXPECT_FALSE(image->pixels_held());
        EXPECT_EQ(bytes_of(sample.picture()), direct(m, kPreviewSphere, 64, 64));
        box->material->slots[kSlotTexture].mapping.image = nullptr;
        m.slots[kSlotTexture].mapping.image = nullptr;
    }
    texture_image_set_decoder(kImageKindGif, nullptr);
}

TEST(MaterialSample, Pictures) {
    // The three pictures the sheet's users first see: a marble sphere, a bumped
    // cylinder, a transparent square over the checker; saved when ZELO_SHOT_DIR is set.
    MaterialRecord marble, bumped, glass;
    ASSERT_GE(texture_preset_apply(&marble, &kPresetsTexture, 7), 0);  // "Marble: White"
    marble.colour[0] = marble.colour[1] = marble.colour[2] = 0.8f;
    bumped.colour[0] = 0.8f;
    bumped.colour[1] = 0.5f;
    bumped.colour[2] = 0.2f;
    bumped.flags = kMaterialSmoothAlways;
    ASSERT_GE(texture_preset_apply(&bumped, &kPresetsBump, 0), 0);  // "Bumps"
    // Bumps a seventh of the sample across: texture space is the point / 0.14.
    bumped.slots[kSlotBump].transform = std::make_unique<Transform>();
    bumped.slots[kSlotBump].transform->inv = {
        {1 / 0.14, 0, 0, 0, 1 / 0.14, 0, 0, 0, 1 / 0.14, 0, 0, 0}};
    bumped.slots[kSlotBump].transform->fwd = {{0.14, 0, 0, 0, 0.14, 0, 0, 0, 0.14, 0, 0, 0}};
    glass.colour[0] = 0.6f;
    glass.colour[1] = 0.8f;
    glass.colour[2] = 1.0f;
    glass.transparency = 0.6f;
    const struct {
        const char* name;
        const MaterialRecord* m;
        int32_t shape;
    } shots[] = {{"material_sample_marble_sphere", &marble, kPreviewSphere},
                 {"material_sample_bump_cylinder", &bumped, kPreviewCylinder},
                 {"material_sample_glass_square", &glass, kPreviewSquare}};
    const char* dir = std::getenv("ZELO_SHOT_DIR");
    if (dir) {
        // The sample beside its chooser as the sheet places them, shown. (Only for
        // the pictures: showing starts Qt's own pooled threads, whose hand-overs
        // ThreadSanitizer cannot see.)
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        auto* shown = new CMaterialSample(&host);
        layout->addWidget(shown);
        layout->addWidget(new CMaterialSampleShapes(shown, &host));
        shown->set_material(marble);
        host.show();
        ASSERT_TRUE(shown->wait_ready(kWait));
        host.grab().save(QString::fromStdString(std::string(dir) + "/material_sample_widget.png"));
    }
    CMaterialSample sample;
    sample.resize(200, 200);
    for (const auto& shot : shots) {
        sample.set_shape(shot.shape);
        sample.set_material(*shot.m);
        ASSERT_TRUE(sample.wait_ready(kWait));
        if (dir)
            sample.picture().save(
                QString::fromStdString(std::string(dir) + "/" + shot.name + ".png"));
    }
    // The glass square shows the checker through it: its centre takes the blue square
    // behind (4 + 4) mod 5 = 3, tinted by the glass.
    const QRgb centre = sample.picture().pixel(110, 90);
    EXPECT_GT(qBlue(centre), qRed(centre) + 40);
}
