// The MODEL: what a new drawing holds, how a whole drawing is copied (styles,
// references, layers, order), and how it and its styles are destroyed.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "tests/model/classes_support.h"

namespace {

using ClassModel = ClassTest;

// (class name, object name) of each pattern in ring order.
std::vector<std::pair<std::string, std::string>> pattern_keys(const MODEL* m) {
    std::vector<std::pair<std::string, std::string>> keys;
    for (ZOBJ* p : patterns_of(m)) keys.emplace_back(p->klass()->name, p->name());
    return keys;
}

LAYER* layer_named(MODEL* m, const char* name) {
    for (ZOBJ* c : children_of(m)) {
        if (rtc_is<LAYER>(c) && std::string(c->name()) == name) return static_cast<LAYER*>(c);
    }
    return nullptr;
}

template <class T>
T* add_patt(MODEL* m, const char* name) {
    auto p = rtc_make<T>();
    p->set_string(0, name);
    T* raw = p.get();
    EXPECT_EQ(container_insert(m, p.release()), 0);
    return raw;
}

TEST_F(ClassModel, NewModelHoldsOneLayerAndTheThreeStyles) {
    auto m = rtc_make<MODEL>();
    ASSERT_TRUE(m);
    const auto kids = children_of(m.get());
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_TRUE(rtc_is<LAYER>(kids[0]));
    EXPECT_STREQ(kids[0]->name(), "default");
    EXPECT_EQ(kids[0]->parent, m.get());

    using Key = std::pair<std::string, std::string>;
    EXPECT_EQ(
        pattern_keys(m.get()),
        (std::vector<Key>{{"LINEPATT", "Solid"}, {"MATRPATT", "<NONE>"}, {"FONTPATT", "DEFAULT"}}));
    for (ZOBJ* p : patterns_of(m.get())) EXPECT_EQ(p->parent, m.get());

    auto* font = rtc_cast<FONTPATT>(model_find_patt(m.get(), "DEFAULT", &FONTPATT::rtc_class));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->font, nullptr);
    EXPECT_NE(font->font, font_default());  // its own copy, freed with the pattern
    EXPECT_FALSE(font_is_builtin(font->font));
    EXPECT_EQ(font->font->design_height, font_default()->design_height);

    EXPECT_EQ(m->current_frame, -1);
    EXPECT_EQ(m->get_modified(), 0);
    EXPECT_EQ(m->parent, nullptr);
}

// A drawing with styles of its own, objects on two layers that use them, and a mesh
// whose texture is one of its images.
struct Drawing {
    std::unique_ptr<MODEL> m = rtc_make<MODEL>();
    LINEPATT* solid = nullptr;
    LINEPATT* dash = nullptr;
    HATCHPATT* brick = nullptr;
    FONTPATT* font = nullptr;
    MATRPATT* wood = nullptr;
    WIRE* wire = nullptr;
    HATCH* hatch = nullptr;
    TEXT2* text = nullptr;
    MESH3* mesh = nullptr;

    Drawing() {
        solid = static_cast<LINEPATT*>(model_find_patt(m.get(), "Solid", &LINEPATT::rtc_class));
        font = static_cast<FONTPATT*>(model_find_patt(m.get(), "DEFAULT", &FONTPATT::rtc_class));
        dash = add_patt<LINEPATT>(m.get(), "Dash");
        dash->dashes = {1.0, -1.0};
        brick = add_patt<HATCHPATT>(m.get(), "Brick");
        wood = add_patt<MATRPATT>(m.get(), "Wood");

        LAYER* base = layer_named(m.get(), "default");
        auto walls = rtc_make<LAYER>();
        walls->set_string(0, "walls");
        LAYER* second = walls.get();
        EXPECT_EQ(container_insert(m.get(), walls.release()), 0);

        auto w = rtc_make<WIRE>();
        w->set_string(0, "w");
        w->line_style = dash;
        wire = w.get();
        auto h = rtc_make<HATCH>();
        h->set_string(0, "h");
        h->line_style = solid;
        h->pattern = brick;
        hatch = h.get();
        auto t = rtc_make<TEXT2>();
        t->set_string(0, "t");
        t->font = font;
        text = t.get();
        auto me = rtc_make<MESH3>();
        me->set_string(0, "m");
        me->material->slots[0].kind = kTextureImage;
        me->material->slots[0].mapping.image = wood;
        mesh = me.get();
        EXPECT_EQ(container_insert(base, w.release()), 0);
        EXPECT_EQ(container_insert(base, h.release()), 0);
        EXPECT_EQ(container_insert(second, t.release()), 0);
        EXPECT_EQ(container_insert(second, me.release()), 0);
    }
};

TEST_F(ClassModel, CopyHoldsEachStyleOnceAndUsesItsOwn) {
    Drawing d;
    const auto src_keys = pattern_keys(d.m.get());
    const auto src_patts = patterns_of(d.m.get());

    std::unique_ptr<RTC> made;
    ASSERT_EQ(rtc_clone(&made, d.m.get()), 0);
    auto* copy = rtc_cast<MODEL>(made.get());
    ASSERT_NE(copy, nullptr);

    // The source is as it was.
    EXPECT_EQ(pattern_keys(d.m.get()), src_keys);
    EXPECT_EQ(patterns_of(d.m.get()), src_patts);
    EXPECT_EQ(d.wire->line_style, d.dash);
    EXPECT_EQ(d.mesh->material->slots[0].mapping.image, d.wood);

    // One of each (class, name), none of them the source's.
    using KeySet = std::set<std::pair<std::string, std::string>>;
    const auto keys = pattern_keys(copy);
    const KeySet unique(keys.begin(), keys.end());
    EXPECT_EQ(unique.size(), keys.size());
    EXPECT_EQ(unique, KeySet(src_keys.begin(), src_keys.end()));
    for (ZOBJ* p : patterns_of(copy)) {
        EXPECT_EQ(std::count(src_patts.begin(), src_patts.end(), p), 0);
        EXPECT_EQ(p->parent, copy);
    }
    auto* dash = rtc_cast<LINEPATT>(model_find_patt(copy, "Dash", &LINEPATT::rtc_class));
    ASSERT_NE(dash, nullptr);
    EXPECT_EQ(dash->dashes, (std::vector<double>{1.0, -1.0}));

    // One "default" layer, then "walls"; children in the source order.
    const auto layers = children_of(copy);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_STREQ(layers[0]->name(), "default");
    EXPECT_STREQ(layers[1]->name(), "walls");
    const auto base = children_of(rtc_cast<CONTAINER>(layers[0]));
    const auto walls = children_of(rtc_cast<CONTAINER>(layers[1]));
    ASSERT_EQ(base.size(), 2u);
    ASSERT_EQ(walls.size(), 2u);
    EXPECT_STREQ(base[0]->name(), "w");
    EXPECT_STREQ(base[1]->name(), "h");
    EXPECT_STREQ(walls[0]->name(), "t");
    EXPECT_STREQ(walls[1]->name(), "m");

    // The copied objects refer to the copy's styles.
    auto find = [copy](const char* name, const RtcClass* cls) {
        return static_cast<RTC*>(model_find_patt(copy, name, cls));
    };
    EXPECT_EQ(rtc_cast<WIRE>(base[0])->line_style, find("Dash", &LINEPATT::rtc_class));
    EXPECT_EQ(rtc_cast<HATCH>(base[1])->line_style, find("Solid", &LINEPATT::rtc_class));
    EXPECT_EQ(rtc_cast<HATCH>(base[1])->pattern, find("Brick", &HATCHPATT::rtc_class));
    EXPECT_EQ(rtc_cast<TEXT2>(walls[0])->font, find("DEFAULT", &FONTPATT::rtc_class));
    const MaterialRecord* mat = rtc_cast<MESH3>(walls[1])->material;
    EXPECT_EQ(mat->slots[0].kind, kTextureImage);
    EXPECT_EQ(static_cast<RTC*>(mat->slots[0].mapping.image), find("Wood", &MATRPATT::rtc_class));

    // Nothing of the copy depends on the source.
    d.m.reset();
    auto* font = rtc_cast<FONTPATT>(find("DEFAULT", &FONTPATT::rtc_class));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->font->magic, kStrokeFontMagic);
    EXPECT_EQ(rtc_cast<WIRE>(base[0])->line_style->dashes.size(), 2u);
}

TEST_F(ClassModel, CopyOfAFreshModelIsAFreshModel) {
    auto m = rtc_make<MODEL>();
    std::unique_ptr<RTC> made;
    ASSERT_EQ(rtc_clone(&made, m.get()), 0);
    auto* copy = rtc_cast<MODEL>(made.get());
    EXPECT_EQ(pattern_keys(copy), pattern_keys(m.get()));
    const auto kids = children_of(copy);
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_STREQ(kids[0]->name(), "default");
}

TEST_F(ClassModel, DestroyingAStyleClearsEveryReference) {
    const struct {
        const char* name;
        void (*destroy)(Drawing&);
        void (*check)(const Drawing&);
    } cases[] = {
        {"line style", [](Drawing& d) { rtc_destroy(d.dash); },
         [](const Drawing& d) { EXPECT_EQ(d.wire->line_style, nullptr); }},
        {"hatch pattern", [](Drawing& d) { rtc_destroy(d.brick); },
         [](const Drawing& d) {
             EXPECT_EQ(d.hatch->pattern, nullptr);
             EXPECT_EQ(d.hatch->line_style, d.solid);
         }},
        {"font", [](Drawing& d) { rtc_destroy(d.font); },
         [](const Drawing& d) { EXPECT_EQ(d.text->font, nullptr); }},
        {"image", [](Drawing& d) { rtc_destroy(d.wood); },
         [](const Drawing& d) { EXPECT_EQ(d.mesh->material->slots[0].kind, kTextureNone); }},
        {"deleted with a replacement", [](Drawing& d) { model_delete_patt(d.dash, d.solid); },
         [](const Drawing& d) { EXPECT_EQ(d.wire->line_style, d.solid); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing d;
        const size_t before = patterns_of(d.m.get()).size();
        c.destroy(d);
        EXPECT_EQ(patterns_of(d.m.get()).size(), before - 1);
        c.check(d);
    }
}

// Counts the redraw requests the model passes on.
class CountingView : public ZSVIEW {
  public:
    int view_slot(const BBox*, int flags) override {
        calls += flags;
        return 0;
    }
    bool has_view_slot() const override { return true; }
    int calls = 0;
};

TEST_F(ClassModel, DestroyingAFullModelWithViews) {
    for (bool views_first : {false, true}) {
        SCOPED_TRACE(views_first);
        auto d = std::make_unique<Drawing>();
        auto a = std::make_unique<CountingView>();
        auto b = std::make_unique<CountingView>();
        model_attach_view(d->m.get(), a.get());
        model_attach_view(d->m.get(), b.get());
        model_notify_views(d->m.get(), &kEmptyBBox, 1);
        EXPECT_EQ(a->calls + b->calls, 2);
        buffer* sel = buffer_new();
        EXPECT_EQ(buffer_add(sel, d->wire), 0);
        EXPECT_EQ(buffer_add(sel, d->mesh), 0);
        if (views_first) {
            a.reset();
            EXPECT_EQ(d->m->views, b.get());
            d.reset();
            EXPECT_EQ(b->model, nullptr);
        } else {
            d.reset();
            EXPECT_EQ(a->model, nullptr);
            EXPECT_EQ(b->model, nullptr);
        }
        EXPECT_EQ(buffer_has_objects(sel), 0);
        buffer_free(&sel);
    }
}

TEST_F(ClassModel, StyleMovedToAnotherModelIsNoLongerReferenced) {
    Drawing d;
    auto other = rtc_make<MODEL>();
    ASSERT_EQ(container_insert(other.get(), d.dash), 0);
    EXPECT_EQ(d.dash->parent, other.get());
    EXPECT_EQ(d.wire->line_style, nullptr);
    EXPECT_EQ(model_find_patt(d.m.get(), "Dash", &LINEPATT::rtc_class), nullptr);
}

TEST_F(ClassModel, SecondStyleOfTheSameClassAndNameIsRefused) {
    auto m = rtc_make<MODEL>();
    auto again = rtc_make<LINEPATT>();
    again->set_string(0, "Solid");
    EXPECT_EQ(container_insert(m.get(), again.get()), kBadArgument);
    EXPECT_EQ(again->parent, nullptr);
    auto other = rtc_make<HATCHPATT>();
    other->set_string(0, "Solid");
    EXPECT_EQ(container_insert(m.get(), other.release()), 0);
    EXPECT_EQ(patterns_of(m.get()).size(), 4u);
}

// A style inserted anywhere in a drawing goes to the drawing's styles, not into a layer.
TEST_F(ClassModel, StyleInsertedIntoALayerJoinsTheModelsStyles) {
    auto m = rtc_make<MODEL>();
    auto* layer = rtc_cast<CONTAINER>(children_of(m.get())[0]);
    auto dash = rtc_make<LINEPATT>();
    dash->set_string(0, "Dash");
    LINEPATT* p = dash.get();
    ASSERT_EQ(container_insert(layer, dash.release()), 0);
    EXPECT_EQ(p->parent, m.get());
    EXPECT_TRUE(children_of(layer).empty());
    EXPECT_EQ(patterns_of(m.get()).back(), p);

    auto loose = rtc_make<CONTAINER>();
    auto stray = rtc_make<LINEPATT>();
    EXPECT_EQ(container_insert(loose.get(), stray.get()), kBadArgument);  // no drawing to hold it
    EXPECT_EQ(stray->parent, nullptr);
}

}  // namespace
