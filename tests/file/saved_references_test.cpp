// What a save writes for things it does not write itself, read back: references to
// objects the undo history holds, a fresh image style's shared black pixel, and arc
// angles far from the circle.
#include <cmath>
#include <cstring>

#include "file_support.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "rich_drawing.h"

using SavedReferencesTest = FileTest;

namespace {

template <class T>
T* add(CONTAINER* into, const char* name) {
    auto* t = rtc_make<T>().release();
    t->set_string(0, name);
    EXPECT_EQ(container_insert(into, t), 0);
    return t;
}

XPLINE* add_line(CONTAINER* into, const char* name) {
    auto* x = add<XPLINE>(into, name);
    x->control = make_points({{0, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(regen_object(x), 0);
    return x;
}

KeyframeTrack* add_track(object* o) {
    KeyframeTrack* t = track_new(nullptr, o);
    t->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 0}}};
    o->tracks = t;
    return t;
}

KeyframeTrack* find_track(const object* o, const char* name) {
    for (KeyframeTrack* t = o->tracks; t; t = t->next_track)
        if (t->name && std::strcmp(t->name, name) == 0) return t;
    return nullptr;
}

}  // namespace

// The spot light's target key points at "mesh"; "mesh" is deleted undoably and three
// polylines take the numbers after it. The key must not come back naming "box".
TEST_F(SavedReferencesTest, KeysToObjectsTheHistoryHoldsAreWrittenAsNone) {
    auto m = new_model();
    ASSERT_EQ(build_rich_drawing(m.get()), 0);
    ASSERT_EQ(drawing_file_save(path("first.qvm").c_str(), m.get(), 0), 0);  // numbers "mesh"
    ZOBJ* mesh = find_named(m.get(), "mesh", &MESH3::rtc_class);
    ASSERT_NE(mesh, nullptr);
    auto* layer = mesh->parent;
    ASSERT_EQ(model_delete_object(mesh, -1, 1), 0);
    for (const char* name : {"p1", "p2", "p3"}) add_line(layer, name);
    ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), m.get(), 0), 0);

    auto loaded = new_model();
    ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), loaded.get()), 0);
    auto* spot = rtc_cast<SPOTLITE>(find_named(loaded.get(), "Spot", &SPOTLITE::rtc_class));
    ASSERT_NE(spot, nullptr);
    KeyframeTrack* target = find_track(spot, "target");
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->objects.keys.size(), 2u);
    EXPECT_EQ(target->objects.keys[0].target, nullptr);
    drawing_file_drop_views(loaded.get());
}

// Objects p, q and c with tracks, c's a child of p's. After p is deleted undoably, c's
// link must not name q's track (which took the number p's track had).
TEST_F(SavedReferencesTest, TrackLinksToTheHistoryAreWrittenAsNone) {
    struct Case {
        const char* deleted;
        const char* expect_parent;  // of c's track after reopening; null for none
    } cases[] = {
        {"p", nullptr},
        {"q", "p"},  // a live parent keeps its link
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.deleted);
        auto m = new_model();
        auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
        XPLINE* p = add_line(layer, "p");
        XPLINE* q = add_line(layer, "q");
        XPLINE* c = add_line(layer, "c");
        KeyframeTrack* tp = add_track(p);
        add_track(q)->position.keys[0].value[0] = 7;
        ASSERT_EQ(track_link_child(tp, add_track(c)), 0);
        ASSERT_EQ(drawing_file_save(path("a.qvm").c_str(), m.get(), 0), 0);
        ZOBJ* gone = std::strcmp(cs.deleted, "p") == 0 ? static_cast<ZOBJ*>(p) : q;
        ASSERT_EQ(model_delete_object(gone, -1, 1), 0);
        ASSERT_EQ(drawing_file_save(path("b.qvm").c_str(), m.get(), 0), 0);

        auto loaded = new_model();
        ASSERT_EQ(drawing_file_import(path("b.qvm").c_str(), loaded.get()), 0);
        auto* lc = rtc_cast<object>(find_named(loaded.get(), "c", &XPLINE::rtc_class));
        ASSERT_NE(lc, nullptr);
        ASSERT_NE(lc->tracks, nullptr);
        const KeyframeTrack* parent = lc->tracks->parent;
        if (!cs.expect_parent) {
            EXPECT_EQ(parent, nullptr);
        } else {
            ASSERT_NE(parent, nullptr);
            EXPECT_STREQ(static_cast<const ZOBJ*>(parent->owner)->name(), cs.expect_parent);
        }
    }
}

// A fresh image style (and the drawing's own "<NONE>") shows the shared black pixel.
// Written as a 1 x 1 image it comes back, and the texture slots using it stay on.
TEST_F(SavedReferencesTest, ImageStylesShowingTheSharedPixelStayInUse) {
    for (const char* name : {"Blank", "<NONE>"}) {
        SCOPED_TRACE(name);
        auto m = new_model();
        auto* style = rtc_cast<MATRPATT>(model_find_patt(m.get(), name, &MATRPATT::rtc_class));
        if (!style) style = add<MATRPATT>(m.get(), name);
        ASSERT_FALSE(style->has_own_pixels());
        auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
        auto* mesh = add<MESH3>(layer, "mesh");
        TextureSlot& slot = mesh->material->slots[kSlotTexture];
        slot.kind = kTextureImage;
        texture_mapping_init(&slot.mapping);
        slot.mapping.image = style;
        ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), m.get(), 0), 0);

        auto loaded = new_model();
        ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), loaded.get()), 0);
        auto* back = rtc_cast<MATRPATT>(model_find_patt(loaded.get(), name, &MATRPATT::rtc_class));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->width, 1);
        EXPECT_EQ(back->height, 1);
        auto* lm = rtc_cast<MESH3>(find_named(loaded.get(), "mesh", &MESH3::rtc_class));
        ASSERT_NE(lm, nullptr);
        EXPECT_EQ(lm->material->slots[kSlotTexture].kind, kTextureImage);
        EXPECT_EQ(lm->material->slots[kSlotTexture].mapping.image, back);
        // Saved again: the same bytes.
        ASSERT_EQ(drawing_file_save(path("again.qvm").c_str(), loaded.get(), 0), 0);
        EXPECT_EQ(read_bytes(path("d.qvm")), read_bytes(path("again.qvm")));
    }
}

// An arc far from the circle (start 2e6 rad, end one radian on) regenerates, saves
// and reads back the same arc, whatever the angles; so does one written by hand
// (older files) with such angles.
TEST_F(SavedReferencesTest, ArcAnglesFarFromTheCircleReadBack) {
    const double far[][2] = {{2e6, 2e6 + 1}, {1e5, 1e5 + 1}, {-2e6, -2e6 - 1}, {1e300, -1e300}};
    for (const auto& a : far) {
        SCOPED_TRACE(a[0]);
        auto m = new_model();
        auto* layer = static_cast<CONTAINER*>(static_cast<ZOBJ*>(m->children));
        auto* arc = add<ELARC>(layer, "arc");
        arc->flags = kElarcCircular;
        arc->centre = {0, 0, 0};
        arc->axis1 = {4, 0, 0};
        arc->axis2 = {0, 4, 0};
        arc->start = a[0];
        arc->end = a[1];
        const double sweep_before = std::remainder(a[1] - a[0], 2 * M_PI);
        ASSERT_EQ(regen_object(arc), 0);
        EXPECT_GE(arc->start, 0);
        EXPECT_LT(arc->start, 2 * M_PI);
        EXPECT_NEAR(std::remainder(arc->end - arc->start, 2 * M_PI), sweep_before, 1e-6);
        if (std::fabs(a[0]) < 1e7) {
            // The drawn arc starts where it did.
            EXPECT_NEAR(std::cos(arc->start), std::cos(a[0]), 1e-6);
            EXPECT_NEAR(std::sin(arc->start), std::sin(a[0]), 1e-6);
        }
        ASSERT_EQ(drawing_file_save(path("d.qvm").c_str(), m.get(), 0), 0);
        auto loaded = new_model();
        ASSERT_EQ(drawing_file_import(path("d.qvm").c_str(), loaded.get()), 0);
        auto* back = rtc_cast<ELARC>(find_named(loaded.get(), "arc", &ELARC::rtc_class));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->start, arc->start);
        EXPECT_EQ(back->end, arc->end);
    }
}
