// The rich drawing saved, loaded and saved again: identical bytes, plain and packed,
// and a loaded drawing equal to the one saved.
#include <algorithm>
#include <cstring>
#include <limits>

#include "file_support.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/geom/regen.h"
#include "model/material/image/matrpmmf.h"
#include "model/material/material.h"
#include "model/services/log.h"
#include "rich_drawing.h"

using RoundTripTest = FileTest;

TEST_F(RoundTripTest, RichDrawingSavesLoadsAndSavesAgainIdentically) {
    for (int pack : {0, 1}) {
        SCOPED_TRACE(pack ? "packed" : "plain");
        auto original = new_model();
        ASSERT_EQ(build_rich_drawing(original.get()), 0);
        const std::string first = path("first.qvm"), second = path("second.qvm");
        ASSERT_EQ(drawing_file_save(first.c_str(), original.get(), pack), 0);

        auto loaded = new_model();
        ASSERT_EQ(drawing_file_import(first.c_str(), loaded.get()), 0);
        EXPECT_EQ(dump_drawing(loaded.get()), dump_drawing(original.get()));

        ASSERT_EQ(drawing_file_save(second.c_str(), loaded.get(), pack), 0);
        EXPECT_EQ(read_bytes(first), read_bytes(second));
        drawing_file_drop_views(loaded.get());
    }
}

TEST_F(RoundTripTest, LoadedDrawingKeepsEveryKindOfThing) {
    auto original = new_model();
    ASSERT_EQ(build_rich_drawing(original.get()), 0);
    ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), original.get(), 0), 0);
    auto m = new_model();
    ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), m.get()), 0);

    // Every class came back, with its references resolved in the loaded drawing.
    for (const RtcClass* cls :
         {&XPLINE::rtc_class, &ELARC::rtc_class, &HATCH::rtc_class, &TEXT2::rtc_class,
          &MESH3::rtc_class, &CAMERA::rtc_class, &LIGHT::rtc_class, &SPOTLITE::rtc_class,
          &CONTAINER::rtc_class, &VPORT::rtc_class}) {
        bool found = false;
        for (ZOBJ* z = m.get(); z && !found; z = tree_next(z, m.get())) found = z->klass() == cls;
        EXPECT_TRUE(found) << cls->name;
    }
    auto* photo = rtc_cast<MATRPMMF>(model_find_patt(m.get(), "photo", &MATRPATT::rtc_class));
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->kind, kImageKindGif);
    EXPECT_STREQ(photo->file_name, "textures/photo.gif");
    ASSERT_EQ(photo->size, 12u);
    EXPECT_EQ(photo->data[11], 0x3B);

    auto* mesh = rtc_cast<MESH3>(find_named(m.get(), "mesh", &MESH3::rtc_class));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->material->slots[2].mapping.image, photo);
    EXPECT_EQ(mesh->material->slots[0].mapping.image,
              model_find_patt(m.get(), "Checker", &MATRPATT::rtc_class));

    auto* spot = rtc_cast<SPOTLITE>(find_named(m.get(), "Spot", &SPOTLITE::rtc_class));
    auto* omni = rtc_cast<LIGHT>(find_named(m.get(), "Omni", &LIGHT::rtc_class));
    ASSERT_TRUE(spot && omni && spot->tracks && spot->tracks->next_track);
    KeyframeTrack* target = spot->tracks->next_track;
    EXPECT_STREQ(target->name, "target");  // the written order is kept
    EXPECT_EQ(target->parent, omni->tracks);
    EXPECT_EQ(spot->tracks->parent, omni->tracks);
    EXPECT_EQ(omni->tracks->children, spot->tracks);  // sibling order kept
    ASSERT_EQ(target->objects.keys.size(), 2u);
    EXPECT_EQ(target->objects.keys[0].target, mesh);
    EXPECT_EQ(target->objects.keys[1].target, nullptr);
    EXPECT_EQ(m->frame_count, 51);
}

TEST_F(RoundTripTest, DrawingWithoutTracksHasNoFrames) {
    auto original = bare_model();
    ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), original.get(), 0), 0);
    auto m = new_model();
    m->frame_count = 99;
    ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), m.get()), 0);
    EXPECT_EQ(m->frame_count, 0);
}

// A spline with a NaN or infinite vertex cannot be rebuilt: saved, it made the whole
// drawing unreadable (8, "not enough memory"). The writer now leaves such a vertex
// out, and a file that holds one (as written before) opens without that spline.
TEST_F(RoundTripTest, NonFiniteSplineVerticesNeverCostTheDrawing) {
    const float inf = std::numeric_limits<float>::infinity(), marker = 12345.5f;
    auto bytes_of = [](float f) {
        Bytes b(4);
        std::memcpy(b.data(), &f, 4);
        return b;
    };
    auto polylines = [](MODEL* m) {
        int n = 0;
        for (ZOBJ* z = m; z; z = tree_next(z, m)) n += rtc_is<XPLINE>(z) ? 1 : 0;
        return n;
    };
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
        SCOPED_TRACE(bad);
        auto m = new_model();
        auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
        auto* line = rtc_make<XPLINE>().release();
        line->control = make_points({{0, 0, 0}, {10, 0, 0}});
        ASSERT_EQ(container_insert(layer, line), 0);
        auto* spline = rtc_make<XPLINE>().release();
        spline->kind = 1;
        spline->control = make_points({{0, 0, 0}, {5, marker, 0}, {10, 0, 0}});
        ASSERT_EQ(regen_object(spline), 0);
        ASSERT_EQ(container_insert(layer, spline), 0);
        ASSERT_EQ(drawing_file_save(path("good.qvm").c_str(), m.get(), 0), 0);
        // The bytes written before: the marker (the vertex, the curve through it) made bad.
        Bytes bytes = read_bytes(path("good.qvm"));
        const Bytes from = bytes_of(marker), to = bytes_of(bad);
        for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), from.begin(), from.end())) != bytes.end();)
            std::copy(to.begin(), to.end(), at);
        write_bytes(path("damaged.qvm"), bytes);
        auto opened = new_model();
        int32_t skipped = -1;
        ASSERT_EQ(drawing_file_import(path("damaged.qvm").c_str(), opened.get(), &skipped), 0);
        EXPECT_EQ(polylines(opened.get()), 1);  // the line
        EXPECT_EQ(skipped, 1);

        // Such a spline in memory saves without its bad vertex, saying so, and reads back.
        spline->control->next->y = bad;
        static int warnings;
        warnings = 0;
        const LogHook old = log_set_hook([](LogLevel level, const char* text) {
            warnings += level == LogLevel::warning && std::strstr(text, "not finite") ? 1 : 0;
        });
        ASSERT_EQ(drawing_file_save(path("saved.qvm").c_str(), m.get(), 0), 0);
        log_set_hook(old);
        EXPECT_EQ(warnings, 1);
        auto reread = new_model();
        ASSERT_EQ(drawing_file_import(path("saved.qvm").c_str(), reread.get(), &skipped), 0);
        EXPECT_EQ(polylines(reread.get()), 2);
        EXPECT_EQ(skipped, 0);
        const Bytes saved = read_bytes(path("saved.qvm"));
        EXPECT_EQ(std::search(saved.begin(), saved.end(), to.begin(), to.end()), saved.end());
    }
}
