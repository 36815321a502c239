// The boxes a load leaves: every object, group and layer of a loaded drawing carries
// the box a fresh computation over the whole tree gives, whether the drawing was
// read into an empty model, into one whose layer it merges with, or as a block.
#include <cstring>
#include <functional>
#include <vector>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/geom/regen.h"
#include "rich_drawing.h"

using LoadBoxesTest = FileTest;

namespace {

struct Boxed {
    const ZOBJ* obj;
    BBox box;
};

std::vector<Boxed> boxes_below(CONTAINER* root) {
    std::vector<Boxed> out;
    for (ZOBJ* z = root; z; z = tree_next(z, root)) {
        if (auto* o = rtc_cast<object>(z)) out.push_back({z, o->box});
    }
    return out;
}

bool same_box(const BBox& a, const BBox& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Compares the boxes below `root` with those a fresh computation gives.
void expect_fresh_boxes(CONTAINER* root) {
    const std::vector<Boxed> loaded = boxes_below(root);
    root->own_box();
    const std::vector<Boxed> fresh = boxes_below(root);
    ASSERT_EQ(loaded.size(), fresh.size());
    for (size_t i = 0; i < loaded.size(); ++i) {
        SCOPED_TRACE(loaded[i].obj->klass()->name);
        EXPECT_TRUE(same_box(loaded[i].box, fresh[i].box));
    }
}

// Line work in a layer and in groups nested in it, polylines and arcs in between.
void build_line_work(MODEL* m) {
    auto* layer = rtc_make<LAYER>().release();
    layer->set_string(0, "Lines");
    ASSERT_EQ(container_insert(m, layer), 0);
    CONTAINER* into = layer;
    for (int i = 0; i < 6; ++i) {
        const float f = float(i);
        auto* x = rtc_make<XPLINE>().release();
        x->control = make_points({{f, 0, 0}, {f + 1, 2, 0}, {f + 3, -1, 1}});
        x->width = i % 2 ? 0.25f : 0.0f;
        ASSERT_EQ(regen_object(x), 0);
        ASSERT_EQ(container_insert(into, x), 0);
        auto* a = rtc_make<ELARC>().release();
        a->flags = kElarcCircular;
        a->centre = {f, f, 0};
        a->axis1 = {f + 2, f, 0};
        a->axis2 = {f, f + 2, 0};
        a->end = 2.5;
        ASSERT_EQ(regen_object(a), 0);
        ASSERT_EQ(container_insert(into, a), 0);
        if (i % 2) {
            auto* g = rtc_make<CONTAINER>().release();
            ASSERT_EQ(container_insert(into, g), 0);
            into = g;
        }
    }
}

// The odd shapes: polylines without points and with one, splines and filled polygons
// (whose points the reader turns clockwise), whole and partial ellipses, widths.
void build_odd_shapes(MODEL* m) {
    auto* layer = rtc_make<LAYER>().release();
    layer->set_string(0, "Odd");
    ASSERT_EQ(container_insert(m, layer), 0);
    const std::vector<std::vector<Vec3>> point_sets = {
        {}, {{5, 5, 1}}, {{0, 0, 0}, {4, 0, 0}, {4, 3, 0}, {0, 3, 2}}};
    for (int kind = 0; kind < 3; ++kind) {
        for (const auto& pts : point_sets) {
            auto* x = rtc_make<XPLINE>().release();
            x->kind = kind;
            for (const Vec3& p : pts) EXPECT_EQ(plist_add(&x->control, p), 0);
            x->width = kind == 1 ? 0.5f : 0.0f;
            ASSERT_EQ(regen_object(x), 0);
            ASSERT_EQ(container_insert(layer, x), 0);
        }
    }
    for (int32_t flags : {0, kElarcWholeEllipse, kElarcCircular}) {
        auto* a = rtc_make<ELARC>().release();
        a->flags = flags;
        a->centre = {1, 2, 0};
        a->axis1 = {6, 2, 0};
        a->axis2 = {1, 4, 0};
        a->start = -0.7;
        a->end = 4.1;
        a->width = 1.5f;
        ASSERT_EQ(regen_object(a), 0);
        ASSERT_EQ(container_insert(layer, a), 0);
    }
}

// Layers inside a layer and inside a group below it, two of them namesakes (the
// second merges into the first as it is read), each holding line work.
void build_nested_layers(MODEL* m) {
    auto* outer = rtc_make<LAYER>().release();
    outer->set_string(0, "Outer");
    ASSERT_EQ(container_insert(m, outer), 0);
    auto* group = rtc_make<CONTAINER>().release();
    CONTAINER* homes[] = {outer, outer, group};
    for (int i = 0; i < 3; ++i) {
        auto* inner = rtc_make<LAYER>().release();
        inner->set_string(0, i < 2 ? "In" : "Deep");
        ASSERT_EQ(container_insert(homes[i], inner), 0);
        auto* x = rtc_make<XPLINE>().release();
        x->control = make_points({{float(-3 * i), 1, 0}, {2, float(4 * i), -1}});
        x->width = 0.5f * float(i);
        ASSERT_EQ(regen_object(x), 0);
        ASSERT_EQ(container_insert(inner, x), 0);
        if (i == 1) { ASSERT_EQ(container_insert(outer, group), 0); }
    }
}

}  // namespace

TEST_F(LoadBoxesTest, LoadedObjectsCarryFreshBoxes) {
    struct Case {
        const char* name;
        std::function<void(MODEL*)> build;
    };
    const Case cases[] = {
        {"rich", [](MODEL* m) { ASSERT_EQ(build_rich_drawing(m), 0); }},
        {"line work", build_line_work},
        {"odd shapes", build_odd_shapes},
        {"nested layers", build_nested_layers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes saved;
        {
            auto m = new_model();
            c.build(m.get());
            if (HasFatalFailure()) return;
            ASSERT_EQ(drawing_file_save_memory(&saved, m.get()), 0);
            drawing_file_drop_views(m.get());
        }
        // Into an empty model, then again into the same one: the layers merge with
        // their namesakes.
        auto loaded = new_model();
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(pass);
            ASSERT_EQ(drawing_file_import_memory(saved.data(), saved.size(), loaded.get()), 0);
            expect_fresh_boxes(loaded.get());
        }
        drawing_file_drop_views(loaded.get());

        // As a block: the selection's objects.
        Bytes block;
        {
            auto m = new_model();
            c.build(m.get());
            buffer* all = buffer_new();
            for (ZOBJ* z = m->first_child(); z;) {
                ZOBJ* next = tree_next_sibling(z, m.get());
                if (rtc_is<LAYER>(z)) {
                    auto* layer = static_cast<LAYER*>(z);
                    if (layer->children) {
                        ZDLIST* ch = layer->children;
                        do {
                            ASSERT_EQ(buffer_add(all, static_cast<ZOBJ*>(ch)), 0);
                            ch = ch->next;
                        } while (ch != layer->children);
                    }
                }
                z = next;
            }
            ASSERT_EQ(block_file_save_memory(&block, "b", m.get(), all, Vec3{0, 0, 0}), 0);
            buffer_free(&all);
            drawing_file_drop_views(m.get());
        }
        auto target = new_model();
        buffer* got = buffer_new();
        ASSERT_EQ(block_file_load_memory(block.data(), block.size(), nullptr, 0, target.get(), got,
                                         nullptr, nullptr, 0),
                  0);
        for (RefNode* n = got->refs; n; n = n->next) {
            auto* o = rtc_cast<object>(n->ref);
            if (!o) continue;
            const BBox was = o->box;
            if (auto* g = rtc_cast<CONTAINER>(o)) {
                expect_fresh_boxes(g);
            } else {
                o->own_box();
                EXPECT_TRUE(same_box(was, o->box)) << o->klass()->name;
            }
        }
        buffer_delete_objects_unlinked(got);
        buffer_free(&got);
    }
}
