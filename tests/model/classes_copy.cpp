// Copies of drawable objects and styles: a clone owns its own lists, arrays,
// material, keys and children (the source can die without harm to it) and shares
// only its references to styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "tests/model/classes_support.h"

namespace {

struct NodeValue {
    float x, y, z;
    uint32_t flags;
    bool operator==(const NodeValue&) const = default;
};

struct ListValue {
    std::vector<NodeValue> nodes;
    bool closed = false;
    bool operator==(const ListValue&) const = default;
};

ListValue dump(const PointNode* list) {
    ListValue v;
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next) {
        v.nodes.push_back({n->x, n->y, n->z, n->flags});
    }
    v.closed = plist_is_closed(list);
    return v;
}

std::vector<ListValue> dump(const PtrNode* lists) {
    std::vector<ListValue> v;
    for (const PtrNode* l = lists; l; l = (l->next == lists) ? nullptr : l->next) {
        v.push_back(dump(static_cast<const PointNode*>(l->value)));
    }
    return v;
}

// No node of `a` is a node of `b`.
bool disjoint(const PointNode* a, const PointNode* b) {
    for (const PointNode* n = a; n; n = (n->next == a) ? nullptr : n->next) {
        for (const PointNode* m = b; m; m = (m->next == b) ? nullptr : m->next) {
            if (n == m) return false;
        }
    }
    return true;
}

bool disjoint(const PtrNode* a, const PtrNode* b) {
    for (const PtrNode* n = a; n; n = (n->next == a) ? nullptr : n->next) {
        for (const PtrNode* m = b; m; m = (m->next == b) ? nullptr : m->next) {
            if (n == m || !disjoint(static_cast<const PointNode*>(n->value),
                                    static_cast<const PointNode*>(m->value)))
                return false;
        }
    }
    return true;
}

PointNode* sample_points() {
    return make_plist({{0, 0, 0}, {1, 2, 3}, {4, 5, 6}}, true, {0, kPointMoveNext, 7});
}
PtrNode* sample_lists() {
    return make_lists({make_plist({{1, 1, 1}, {2, 2, 2}}), make_plist({{3, 3, 3}}, true)});
}

// Styles the samples refer to; a clone shares them.
struct Styles {
    std::unique_ptr<LINEPATT> line = rtc_make<LINEPATT>();
    std::unique_ptr<HATCHPATT> hatch = rtc_make<HATCHPATT>();
    std::unique_ptr<FONTPATT> font = rtc_make<FONTPATT>();
    std::unique_ptr<MATRPATT> image = rtc_make<MATRPATT>();
};

// Fields of the named and drawable levels that every sample carries.
void fill_object(object* o) {
    o->set_string(0, "Sample");
    o->set_string(1, "one");
    o->set_string(2, "two");
    o->width = 1.5f;
    o->colour = 7;
    KeyframeTrack* second = track_new("rot", o);
    KeyframeTrack* first = track_new("pos", o);
    first->position.keys.push_back({3, {1, 2, 3, 4, 5}, {6, 7, 8}});
    first->next_track = second;
    o->tracks = first;
}

void check_object(const object* copy, const object* src) {
    EXPECT_STREQ(copy->str(0), "Sample");
    EXPECT_STREQ(copy->str(1), "one");
    EXPECT_STREQ(copy->str(2), "two");
    EXPECT_EQ(copy->width, 1.5f);
    EXPECT_EQ(copy->colour, 7);
    EXPECT_EQ(copy->parent, nullptr);
    ASSERT_NE(copy->tracks, nullptr);
    ASSERT_NE(copy->tracks->next_track, nullptr);
    EXPECT_STREQ(copy->tracks->name, "pos");
    EXPECT_STREQ(copy->tracks->next_track->name, "rot");
    EXPECT_EQ(copy->tracks->next_track->next_track, nullptr);
    for (const KeyframeTrack* t = copy->tracks; t; t = t->next_track) {
        EXPECT_EQ(t->owner, copy);
        EXPECT_EQ(t->parent, nullptr);
        EXPECT_EQ(t->cached_frame, -1);
        if (src) {
            for (const KeyframeTrack* s = src->tracks; s; s = s->next_track) {
                EXPECT_NE(t, s);
                EXPECT_NE(t->name, s->name);
            }
        }
    }
    ASSERT_EQ(copy->tracks->position.keys.size(), 1u);
    EXPECT_EQ(copy->tracks->position.keys[0].frame, 3);
    EXPECT_EQ(copy->tracks->position.keys[0].value[2], 8.0f);
}

ListValue dumped(PointNode* list) {
    ListValue v = dump(list);
    list_free(&list);
    return v;
}
std::vector<ListValue> dumped(PtrNode* lists) {
    std::vector<ListValue> v = dump(lists);
    plist_list_free(&lists);
    return v;
}

void fill_wire(WIRE* w, const Styles& s) {
    w->points = sample_points();
    w->strokes = sample_lists();
    w->line_style = s.line.get();
    w->curve_step = 2.5;
    w->second = 3.0;
}

void check_wire(const WIRE* copy, const WIRE* src, const Styles& s) {
    EXPECT_EQ(dump(copy->points), dumped(sample_points()));
    EXPECT_EQ(dump(copy->strokes), dumped(sample_lists()));
    EXPECT_EQ(copy->line_style, s.line.get());
    EXPECT_EQ(copy->curve_step, 2.5);
    EXPECT_EQ(copy->second, 3.0);
    if (src) {
        EXPECT_TRUE(disjoint(copy->points, src->points));
        EXPECT_TRUE(disjoint(copy->strokes, src->strokes));
    }
}

void fill_material(MaterialRecord* m, const Styles& s) {
    m->colour[0] = 0.25f;
    TextureSlot& t = m->slots[kSlotTexture];
    t.kind = kTextureImage;
    t.mapping.image = s.image.get();
    t.transform = std::make_unique<Transform>();
    t.transform->fwd.m[9] = 4.0;
    ASSERT_EQ(colour_ramp_new(&t.ramp, 2), 0);
    t.ramp->keys[1].position = 1.0;
    t.ramp->keys[1].g = 0.5f;
}

void check_material(const MaterialRecord* copy, const MaterialRecord* src, const Styles& s) {
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->colour[0], 0.25f);
    const TextureSlot& t = copy->slots[kSlotTexture];
    EXPECT_EQ(t.kind, kTextureImage);
    EXPECT_EQ(t.mapping.image, s.image.get());
    ASSERT_TRUE(t.transform);
    EXPECT_EQ(t.transform->fwd.m[9], 4.0);
    ASSERT_NE(t.ramp, nullptr);
    ASSERT_EQ(t.ramp->count, 2);
    EXPECT_EQ(t.ramp->keys[1].g, 0.5f);
    if (src) {
        EXPECT_NE(copy, src);
        EXPECT_NE(t.ramp, src->slots[kSlotTexture].ramp);
        EXPECT_NE(t.transform.get(), src->slots[kSlotTexture].transform.get());
    }
}

MeshFaceBlock* sample_block(float x) {
    auto* b = new MeshFaceBlock();
    b->vertices = {{x, 0, 0, {}}, {x, 1, 0, {}}, {x, 1, 1, {}}};
    b->uv = {0, 0, 1, 0, 1, 1};
    b->edges = {{{0, 1}, 0}, {{1, 2}, 0}, {{2, 0}, kEdgeHidden}};
    b->faces = {{{0, 1, 2}, 5}};
    return b;
}

struct CopyCase {
    const char* name;
    std::function<std::unique_ptr<RTC>(const Styles&)> build;
    // Called with the source alive, then again with src null after it died.
    std::function<void(const RTC* copy, const RTC* src, const Styles&)> check;
};

template <class T>
std::unique_ptr<RTC> made(std::unique_ptr<T> p) {
    return std::unique_ptr<RTC>(p.release());
}

const CopyCase kCases[] = {
    {"WIRE",
     [](const Styles& s) {
         auto w = rtc_make<WIRE>();
         fill_object(w.get());
         fill_wire(w.get(), s);
         return made(std::move(w));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         check_object(rtc_cast<object>(c), rtc_cast<object>(src));
         check_wire(rtc_cast<WIRE>(c), rtc_cast<WIRE>(src), s);
     }},
    {"XPLINE",
     [](const Styles& s) {
         auto x = rtc_make<XPLINE>();
         fill_object(x.get());
         fill_wire(x.get(), s);
         x->kind = 1;
         x->control = sample_points();
         return made(std::move(x));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         auto* x = rtc_cast<XPLINE>(c);
         check_object(x, rtc_cast<object>(src));
         check_wire(x, rtc_cast<WIRE>(src), s);
         EXPECT_EQ(x->kind, 1);
         EXPECT_EQ(dump(x->control), dumped(sample_points()));
         if (src) {
             EXPECT_TRUE(disjoint(x->control, rtc_cast<XPLINE>(src)->control));
         }
     }},
    {"ELARC",
     [](const Styles& s) {
         auto a = rtc_make<ELARC>();
         fill_object(a.get());
         fill_wire(a.get(), s);
         a->flags = kElarcCircular;
         a->centre = {1, 2, 3};
         a->axis1 = {4, 2, 3};
         a->axis2 = {1, 5, 3};
         a->start = 0.5;
         a->end = 1.5;
         return made(std::move(a));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         auto* a = rtc_cast<ELARC>(c);
         check_object(a, rtc_cast<object>(src));
         check_wire(a, rtc_cast<WIRE>(src), s);
         EXPECT_EQ(a->flags, kElarcCircular);
         EXPECT_EQ(a->axis2.y, 5.0f);
         EXPECT_EQ(a->start, 0.5);
         EXPECT_EQ(a->end, 1.5);
     }},
    {"HATCH",
     [](const Styles& s) {
         auto h = rtc_make<HATCH>();
         fill_object(h.get());
         fill_wire(h.get(), s);
         h->pattern = s.hatch.get();
         for (auto& c : h->contours) c = sample_lists();
         h->values[1] = 9.0;
         return made(std::move(h));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         auto* h = rtc_cast<HATCH>(c);
         check_object(h, rtc_cast<object>(src));
         check_wire(h, rtc_cast<WIRE>(src), s);
         EXPECT_EQ(h->pattern, s.hatch.get());
         EXPECT_EQ(h->values[1], 9.0);
         for (int i = 0; i < 4; ++i) {
             EXPECT_EQ(dump(h->contours[i]), dumped(sample_lists()));
             if (src) {
                 EXPECT_TRUE(disjoint(h->contours[i], rtc_cast<HATCH>(src)->contours[i]));
             }
         }
     }},
    {"TEXT2",
     [](const Styles& s) {
         auto t = rtc_make<TEXT2>();
         fill_object(t.get());
         fill_wire(t.get(), s);
         t->font = s.font.get();
         t->text = "A longer text than fits a small string buffer";
         t->insert = {1, 2, 3};
         t->pairs[5] = 6.0f;
         t->layout[5] = 7.0;
         t->word = 8;
         return made(std::move(t));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         auto* t = rtc_cast<TEXT2>(c);
         check_object(t, rtc_cast<object>(src));
         check_wire(t, rtc_cast<WIRE>(src), s);
         EXPECT_EQ(t->font, s.font.get());
         EXPECT_EQ(t->text, "A longer text than fits a small string buffer");
         EXPECT_EQ(t->insert.z, 3.0f);
         EXPECT_EQ(t->pairs[5], 6.0f);
         EXPECT_EQ(t->layout[5], 7.0);
         EXPECT_EQ(t->word, 8);
     }},
    {"MESH3",
     [](const Styles& s) {
         auto m = rtc_make<MESH3>();
         fill_object(m.get());
         fill_material(m->material, s);
         m->blocks = sample_block(1);
         m->blocks->next = sample_block(2);
         m->word1 = 11;
         m->word2 = 12;
         return made(std::move(m));
     },
     [](const RTC* c, const RTC* src, const Styles& s) {
         auto* m = rtc_cast<MESH3>(c);
         auto* sm = rtc_cast<MESH3>(src);
         check_object(m, sm);
         check_material(m->material, sm ? sm->material : nullptr, s);
         ASSERT_NE(m->blocks, nullptr);
         ASSERT_NE(m->blocks->next, nullptr);
         EXPECT_EQ(m->blocks->next->next, nullptr);
         EXPECT_EQ(m->blocks->vertices[0].x, 1.0f);  // source order kept
         EXPECT_EQ(m->blocks->next->vertices[0].x, 2.0f);
         EXPECT_EQ(m->blocks->uv.size(), 6u);
         EXPECT_EQ(m->blocks->edges[2].flags, kEdgeHidden);
         EXPECT_EQ(m->blocks->faces[0].word, 5);
         EXPECT_EQ(m->word1, 11);
         EXPECT_EQ(m->word2, 12);
         if (sm) {
             EXPECT_NE(m->blocks, sm->blocks);
             EXPECT_NE(m->blocks->next, sm->blocks->next);
         }
     }},
    {"CAMERA",
     [](const Styles& s) {
         auto c = rtc_make<CAMERA>();
         fill_object(c.get());
         fill_material(c->material, s);
         c->position = {1, 2, 3};
         c->target = {4, 5, 6};
         c->up = {0, 0, 1};
         c->side = {1, 0, 0};
         c->lens = 50;
         c->set_aperture(0.5f);  // focal blur travels with the camera
         c->roll = 0.25;
         c->fov = 0.75;
         c->keys = new CameraKeys();
         c->keys->channel[1].push_back({10, {0, 0, 0, 0, 0}, 0.5f});
         c->word = 4;
         return made(std::move(c));
     },
     [](const RTC* obj, const RTC* src, const Styles& s) {
         auto* c = rtc_cast<CAMERA>(obj);
         auto* sc = rtc_cast<CAMERA>(src);
         check_object(c, sc);
         check_material(c->material, sc ? sc->material : nullptr, s);
         EXPECT_EQ(c->target.y, 5.0f);
         EXPECT_EQ(c->side.x, 1.0f);
         EXPECT_EQ(c->lens, 50.0);
         EXPECT_EQ(c->aperture(), 0.5f);
         EXPECT_EQ(c->roll, 0.25);
         EXPECT_EQ(c->fov, 0.75);
         EXPECT_EQ(c->word, 4);
         ASSERT_NE(c->keys, nullptr);
         ASSERT_EQ(c->keys->channel[1].size(), 1u);
         EXPECT_EQ(c->keys->channel[1][0].value, 0.5f);
         if (sc) {
             EXPECT_NE(c->keys, sc->keys);
         }
     }},
    {"LIGHT",
     [](const Styles&) {
         auto l = rtc_make<LIGHT>();
         fill_object(l.get());
         l->light_colour[1] = 0.5f;
         l->position = {7, 8, 9};
         l->keys = new LightKeys();
         l->keys->colour.push_back({2, {0, 0, 0, 0, 0}, {1, 0, 0, 0}});
         return made(std::move(l));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* l = rtc_cast<LIGHT>(obj);
         check_object(l, rtc_cast<object>(src));
         EXPECT_EQ(l->light_colour[1], 0.5f);
         EXPECT_EQ(l->position.z, 9.0f);
         ASSERT_NE(l->keys, nullptr);
         ASSERT_EQ(l->keys->colour.size(), 1u);
         EXPECT_EQ(l->keys->colour[0].frame, 2);
         if (src) {
             EXPECT_NE(l->keys, rtc_cast<LIGHT>(src)->keys);
         }
     }},
    {"SPOTLITE",
     [](const Styles&) {
         auto l = rtc_make<SPOTLITE>();
         fill_object(l.get());
         l->position = {7, 8, 9};
         l->keys = new LightKeys();
         l->target = {1, 1, 1};
         l->word = 5;
         l->cone_cos[0] = 0.9f;
         l->cone_cos[1] = 0.8f;
         return made(std::move(l));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* l = rtc_cast<SPOTLITE>(obj);
         check_object(l, rtc_cast<object>(src));
         EXPECT_EQ(l->position.z, 9.0f);
         EXPECT_NE(l->keys, nullptr);
         EXPECT_EQ(l->target.x, 1.0f);
         EXPECT_EQ(l->word, 5);
         EXPECT_EQ(l->cone_cos[0], 0.9f);
         EXPECT_EQ(l->cone_cos[1], 0.8f);
     }},
    {"VPORT",
     [](const Styles&) {
         auto v = rtc_make<VPORT>();
         v->set_string(0, "Top");
         for (int i = 0; i < 6; ++i) v->params[i] = i + 0.5;
         return made(std::move(v));
     },
     [](const RTC* obj, const RTC*, const Styles&) {
         auto* v = rtc_cast<VPORT>(obj);
         EXPECT_STREQ(v->name(), "Top");
         for (int i = 0; i < 6; ++i) EXPECT_EQ(v->params[i], i + 0.5);
     }},
    {"LINEPATT",
     [](const Styles&) {
         auto l = rtc_make<LINEPATT>();
         l->set_string(0, "Dash");
         l->word = 3;
         l->dashes = {1.0, -0.5, 0.25};
         return made(std::move(l));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* l = rtc_cast<LINEPATT>(obj);
         EXPECT_STREQ(l->name(), "Dash");
         EXPECT_EQ(l->parent, nullptr);
         EXPECT_EQ(l->word, 3);
         EXPECT_EQ(l->dashes, (std::vector<double>{1.0, -0.5, 0.25}));
         if (src) {
             EXPECT_NE(l->dashes.data(), rtc_cast<LINEPATT>(src)->dashes.data());
         }
     }},
    {"HATCHPATT",
     [](const Styles&) {
         auto h = rtc_make<HATCHPATT>();
         h->set_string(0, "Brick");
         h->lines.push_back({0.5, 1, 2, 3, 4, {1.0, -1.0}});
         h->lines.push_back({1.5, 0, 0, 0, 1, {}});
         return made(std::move(h));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* h = rtc_cast<HATCHPATT>(obj);
         EXPECT_STREQ(h->name(), "Brick");
         ASSERT_EQ(h->lines.size(), 2u);
         EXPECT_EQ(h->lines[0].offset_y, 4.0);
         EXPECT_EQ(h->lines[0].dashes, (std::vector<double>{1.0, -1.0}));
         EXPECT_EQ(h->lines[1].angle, 1.5);
         if (src) {
             EXPECT_NE(h->lines[0].dashes.data(), rtc_cast<HATCHPATT>(src)->lines[0].dashes.data());
         }
     }},
    {"FONTPATT",
     [](const Styles&) {
         auto f = rtc_make<FONTPATT>();
         f->set_string(0, "Mine");
         f->font = font_copy(font_default());
         f->font->advance['A'] = 77;
         return made(std::move(f));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* f = rtc_cast<FONTPATT>(obj);
         EXPECT_STREQ(f->name(), "Mine");
         ASSERT_NE(f->font, nullptr);
         EXPECT_FALSE(font_is_builtin(f->font));
         EXPECT_EQ(f->font->advance['A'], 77);
         EXPECT_EQ(f->font->magic, kStrokeFontMagic);
         if (src) {
             EXPECT_NE(f->font, rtc_cast<FONTPATT>(src)->font);
         }
     }},
    {"MATRPATT",
     [](const Styles&) {
         auto m = rtc_make<MATRPATT>();
         m->set_string(0, "Wood");
         m->width = 2;
         m->height = 1;
         m->pixels = new uint8_t[6]{1, 2, 3, 4, 5, 6};
         return made(std::move(m));
     },
     [](const RTC* obj, const RTC* src, const Styles&) {
         auto* m = rtc_cast<MATRPATT>(obj);
         EXPECT_STREQ(m->name(), "Wood");
         ASSERT_EQ(m->width, 2);
         ASSERT_EQ(m->height, 1);
         EXPECT_EQ(std::memcmp(m->pixels, "\1\2\3\4\5\6", 6), 0);
         if (src) {
             EXPECT_NE(m->pixels, rtc_cast<MATRPATT>(src)->pixels);
         }
     }},
};

using ClassCopy = ClassTest;

TEST_F(ClassCopy, CloneIsDeepAndSurvivesItsSource) {
    for (const CopyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Styles styles;
        std::unique_ptr<RTC> src = c.build(styles);
        ASSERT_TRUE(src);
        ASSERT_STREQ(src->klass()->name, c.name);
        // The source sits in a group: its copy is free.
        auto group = rtc_make<CONTAINER>();
        if (!rtc_is<PATT>(src.get())) {
            ASSERT_EQ(container_insert(group.get(), static_cast<ZOBJ*>(src.get())), 0);
        }
        std::unique_ptr<RTC> copy;
        ASSERT_EQ(rtc_clone(&copy, src.get()), 0);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->klass(), src->klass());
        c.check(copy.get(), src.get(), styles);
        src.reset();  // leaves the group too
        EXPECT_EQ(group->children, nullptr);
        c.check(copy.get(), nullptr, styles);
    }
}

// A group copies its whole tree: new children in the same order, each inside the copy.
TEST_F(ClassCopy, ContainerCopiesItsTree) {
    for (RtcClass* cls : {&CONTAINER::rtc_class, &LAYER::rtc_class}) {
        SCOPED_TRACE(cls->name);
        Styles styles;
        std::unique_ptr<RTC> made_src;
        ASSERT_EQ(rtc_init(made_src, cls), 0);
        auto* src = static_cast<CONTAINER*>(made_src.get());
        const char* names[] = {"a", "b", "c"};
        for (const char* n : names) {
            auto w = rtc_make<WIRE>();
            w->set_string(0, n);
            fill_wire(w.get(), styles);
            EXPECT_EQ(container_insert(src, w.release()), 0);
        }
        auto inner = rtc_make<CONTAINER>();
        auto deep = rtc_make<LIGHT>();
        deep->position = {5, 5, 5};
        EXPECT_EQ(container_insert(inner.get(), deep.release()), 0);
        EXPECT_EQ(container_insert(src, inner.release()), 0);

        std::unique_ptr<RTC> made_copy;
        ASSERT_EQ(rtc_clone(&made_copy, src), 0);
        auto* copy = static_cast<CONTAINER*>(made_copy.get());
        const auto src_kids = children_of(src);
        made_src.reset();

        const auto kids = children_of(copy);
        ASSERT_EQ(kids.size(), 4u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_STREQ(kids[i]->name(), names[i]);
            EXPECT_EQ(kids[i]->parent, copy);
            EXPECT_EQ(std::count(src_kids.begin(), src_kids.end(), kids[i]), 0);
            check_wire(rtc_cast<WIRE>(kids[i]), nullptr, styles);
        }
        auto* inner_copy = rtc_cast<CONTAINER>(kids[3]);
        ASSERT_NE(inner_copy, nullptr);
        const auto deep_kids = children_of(inner_copy);
        ASSERT_EQ(deep_kids.size(), 1u);
        EXPECT_EQ(deep_kids[0]->parent, inner_copy);
        EXPECT_EQ(rtc_cast<LIGHT>(deep_kids[0])->position.x, 5.0f);
    }
}

TEST_F(ClassCopy, CloneOfNothingIsNothing) {
    std::unique_ptr<RTC> out = rtc_make<WIRE>();
    EXPECT_EQ(rtc_clone(&out, nullptr), 0);
    EXPECT_EQ(out, nullptr);
    auto w = rtc_make<WIRE>();
    EXPECT_EQ(rtc_clone(nullptr, w.get()), kBadArgument);
}

TEST_F(ClassCopy, ImageWithoutPixelsCopiesAsTheSharedPixel) {
    auto src = rtc_make<MATRPATT>();
    auto dst = rtc_make<MATRPATT>();
    dst->width = 1;
    dst->height = 2;
    dst->pixels = new uint8_t[6]{};
    ASSERT_EQ(rtc_copy(src.get(), dst.get()), 0);
    EXPECT_EQ(dst->width, 1);
    EXPECT_EQ(dst->height, 1);
    EXPECT_FALSE(dst->has_own_pixels());
    EXPECT_EQ(dst->pixels, src->pixels);
}

}  // namespace
