// The pick device: modes, filters, groups, layers, triangles and segment finders.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/view/pick.h"
#include "model/db/buffer.h"
#include "view_test_util.h"

namespace {

class PickTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        model = rtc_make<MODEL>();
        layer = rtc_cast<LAYER>(model->first_child());
        vp = unit_projection();
    }

    XPLINE* add(CONTAINER* into, std::initializer_list<Vec3> pts, int kind = 0) {
        auto x = make_polyline(pts, kind);
        XPLINE* raw = x.get();
        EXPECT_EQ(container_insert(into, x.release()), 0);
        return raw;
    }

    std::vector<object*> hits(uint32_t flags, Vec3 p1, Vec3 p2 = {0, 0, 0}) {
        PickWindow w;
        w.flags = flags;
        w.p1 = p1;
        w.p2 = p2;
        return hits(w);
    }
    std::vector<object*> hits(PickWindow& w) {
        std::vector<object*> out;
        EXPECT_EQ(pick_object_in_window_ex(&vp, model.get(), &w, &collect, &out), 0);
        return out;
    }
    static int collect(object* obj, void* arg) {
        static_cast<std::vector<object*>*>(arg)->push_back(obj);
        return 0;
    }

    std::unique_ptr<MODEL> model;
    LAYER* layer = nullptr;
    ViewProjection vp;
};

using Hits = std::vector<object*>;

TEST_F(PickTest, PointPickWithinFourPixels) {
    XPLINE* line = add(layer, {{0, 0, 0}, {10, 0, 0}});
    EXPECT_EQ(hits(kPickPoint, {5, 3, 0}), Hits{line});
    EXPECT_EQ(hits(kPickPoint, {5, -4, 0}), Hits{line});
    EXPECT_EQ(hits(kPickPoint, {5, 5, 0}), Hits{});
    EXPECT_EQ(hits(kPickPoint, {15, 0, 0}), Hits{});
    // Zoomed in ten times, the same aperture is a tenth of the distance.
    vp.scale = 10;
    EXPECT_EQ(hits(kPickPoint, {5, 0.3f, 0}), Hits{line});
    EXPECT_EQ(hits(kPickPoint, {5, 0.6f, 0}), Hits{});
    // A wide line is picked farther out.
    line->width = 2;
    line->own_box();
    EXPECT_EQ(hits(kPickPoint, {5, 1.3f, 0}), Hits{line});
}

TEST_F(PickTest, WindowNeedsTheWholeObjectCrossingAnyPart) {
    XPLINE* inside = add(layer, {{1, 1, 0}, {2, 2, 0}});
    XPLINE* poking = add(layer, {{3, 3, 0}, {4, 4, 0}, {30, 4, 0}});
    XPLINE* through = add(layer, {{-10, 5, 0}, {30, 5, 0}});
    XPLINE* wide = add(layer, {{8, 8, 0}, {9, 8, 0}});
    wide->width = 4;
    wide->own_box();
    XPLINE* away = add(layer, {{50, 50, 0}, {60, 60, 0}});
    (void)away;
    EXPECT_EQ(hits(kPickWindow, {0, 0, 0}, {10, 10, 0}), Hits{inside});
    const Hits crossing = hits(kPickCrossing, {0, 0, 0}, {10, 10, 0});
    EXPECT_EQ(crossing, (Hits{inside, poking, through, wide}));
    // Crossing marks what lies wholly inside.
    EXPECT_EQ(inside->file_id, 1);
    EXPECT_EQ(through->file_id, 0);
    // An edge point counts as inside.
    EXPECT_EQ(hits(kPickWindow, {1, 1, 0}, {2, 2, 0}), Hits{inside});
}

TEST_F(PickTest, MeshInsideACrossingWindowIsMarked) {
    auto mesh = rtc_make<MESH3>();
    auto* b = new MeshFaceBlock;
    b->vertices = {{1, 1, 0, {}}, {2, 1, 0, {}}, {2, 2, 0, {}}};
    b->edges = {{{0, 1}, 0}, {{1, 2}, 0}, {{2, 0}, 0}};
    mesh->blocks = b;
    mesh->own_box();
    MESH3* m = mesh.get();
    EXPECT_EQ(container_insert(layer, mesh.release()), 0);
    m->file_id = 77;
    EXPECT_EQ(hits(kPickCrossing, {0, 0, 0}, {10, 10, 0}), Hits{m});
    EXPECT_EQ(m->file_id, 1);
}

TEST_F(PickTest, FencePicksSegmentsItCrosses) {
    XPLINE* a = add(layer, {{0, 0, 0}, {0, 10, 0}});
    XPLINE* b = add(layer, {{5, 0, 0}, {5, 10, 0}});
    add(layer, {{20, 0, 0}, {20, 10, 0}});
    EXPECT_EQ(hits(kPickFence, {-1, 5, 0}, {6, 5, 0}), (Hits{a, b}));
    // Touching an end counts.
    EXPECT_EQ(hits(kPickFence, {-1, 10, 0}, {0, 10, 0}), Hits{a});
}

TEST_F(PickTest, FiltersWithoutModeHitEveryMatchingObject) {
    XPLINE* red = add(layer, {{0, 0, 0}, {1, 0, 0}});
    red->colour = 1;
    XPLINE* blue = add(layer, {{100, 0, 0}, {101, 0, 0}});
    blue->colour = 13;
    auto light = rtc_make<LIGHT>();
    LIGHT* l = light.get();
    EXPECT_EQ(container_insert(layer, light.release()), 0);
    PickWindow w;
    w.flags = kPickColour;
    w.colour = 13;
    EXPECT_EQ(hits(w), Hits{blue});
    w.flags = kPickClass;
    w.filter_class = &LIGHT::rtc_class;
    EXPECT_EQ(hits(w), Hits{l});
    w.flags = kPickClass | kPickPoint;
    w.filter_class = &XPLINE::rtc_class;
    w.p1 = w.p2 = {100.5f, 0, 0};
    EXPECT_EQ(hits(w), Hits{blue});
    // A class that groups are not: members of a group are found one by one, and the
    // group itself is never reported.
    auto group = rtc_make<CONTAINER>();
    XPLINE* member = add(group.get(), {{100, 1, 0}, {101, 1, 0}});
    group->own_box();
    EXPECT_EQ(container_insert(layer, group.release()), 0);
    EXPECT_EQ(hits(w), (Hits{blue, member}));
}

TEST_F(PickTest, GroupReportedInsteadOfItsMember) {
    auto outer = rtc_make<CONTAINER>();
    auto inner = rtc_make<CONTAINER>();
    add(inner.get(), {{0, 0, 0}, {10, 0, 0}});
    add(outer.get(), {{50, 50, 0}, {60, 50, 0}});
    CONTAINER* in = inner.get();
    EXPECT_EQ(container_insert(outer.get(), inner.release()), 0);
    CONTAINER* g = outer.get();
    EXPECT_EQ(container_insert(layer, outer.release()), 0);
    XPLINE* loose = add(layer, {{0, 1, 0}, {10, 1, 0}});
    in->own_box();
    g->own_box();
    // Both the loose line and the nested member lie under the point: the outermost
    // group is reported, once, and the loose line after it.
    EXPECT_EQ(hits(kPickPoint, {5, 0.5f, 0}), (Hits{g, loose}));
    // In window mode a group must lie wholly inside.
    EXPECT_EQ(hits(kPickWindow, {-1, -1, 0}, {11, 2, 0}), Hits{loose});
    EXPECT_EQ(hits(kPickWindow, {-1, -1, 0}, {61, 51, 0}), (Hits{g, loose}));
}

TEST_F(PickTest, HiddenLayerSkippedMissingFlagVisible) {
    auto second = rtc_make<LAYER>();
    second->set_string(0, "second");
    LAYER* l2 = second.get();
    EXPECT_EQ(container_insert(model.get(), second.release()), 0);
    XPLINE* a = add(layer, {{0, 0, 0}, {10, 0, 0}});
    XPLINE* b = add(l2, {{0, 0, 0}, {10, 0, 0}});
    PickWindow w;
    w.flags = kPickPoint;
    w.p1 = w.p2 = {5, 0, 0};
    const int32_t first_hidden[2] = {0, 1};
    w.layer_flags = first_hidden;
    w.layer_flag_count = 2;
    EXPECT_EQ(hits(w), Hits{b});
    // Only one flag for two layers: the second layer has no entry and is visible.
    const int32_t only_first_visible[1] = {1};
    w.layer_flags = only_first_visible;
    w.layer_flag_count = 1;
    EXPECT_EQ(hits(w), (Hits{a, b}));
    const int32_t second_hidden[1] = {0};
    w.layer_flags = second_hidden;
    EXPECT_EQ(hits(w), Hits{b});  // the one flag belongs to the first layer
    // The layer filter.
    w.layer_flags = nullptr;
    w.flags = kPickPoint | kPickLayer;
    w.layer = l2;
    EXPECT_EQ(hits(w), Hits{b});
}

TEST_F(PickTest, FilledTriangleContainsThePointOnlyClockwise) {
    XPLINE* cw = add(layer, {{0, 0, 0}, {0, 10, 0}, {10, 0, 0}}, 2);
    EXPECT_EQ(hits(kPickPoint, {2, 2, 0}), Hits{cw});
    cw->control = list_reverse(cw->control);
    EXPECT_EQ(hits(kPickPoint, {2, 2, 0}), Hits{});
    // In window mode the corners must be inside.
    EXPECT_EQ(hits(kPickWindow, {-1, -1, 0}, {11, 11, 0}), Hits{cw});
}

TEST_F(PickTest, FlatTrianglesHoldOnlyTheirOwnPoints) {
    // A filled polygon whose points were clicked on top of each other: its fan is a
    // triangle collapsed to a point and one collapsed to the segment (0,0)-(10,10).
    XPLINE* flat = add(layer, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {10, 10, 0}}, 2);
    struct Case {
        Vec3 p;
        bool hit;
    } cases[] = {
        {{2, 8, 0}, false},  // inside its box, far from it
        {{9, 1, 0}, false},
        {{5, 5, 0}, true},  // on it
        {{0, 0, 0}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hits(kPickPoint, c.p), c.hit ? Hits{flat} : Hits{}) << c.p.x << "," << c.p.y;
}

TEST_F(PickTest, CallbackStopsTheWalk) {
    add(layer, {{0, 0, 0}, {10, 0, 0}});
    add(layer, {{0, 0, 0}, {10, 0, 0}});
    PickWindow w;
    w.flags = kPickPoint;
    w.p1 = w.p2 = {5, 0, 0};
    int calls = 0;
    auto stop_at_first = [](object*, void* arg) {
        ++*static_cast<int*>(arg);
        return 7;
    };
    EXPECT_EQ(pick_object_in_window_ex(&vp, model.get(), &w, stop_at_first, &calls), 7);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(pick_object_in_window(&vp, model.get(), &w), 1);
    EXPECT_DOUBLE_EQ(w.tolerance, 5.0);
}

TEST_F(PickTest, SegmentFinders) {
    XPLINE* line = add(layer, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    PointNode* node = nullptr;
    ASSERT_EQ(pick_polyline_segment(&vp, {10.5f, 5, 0}, line, &node), 1);
    EXPECT_EQ(node, line->control->next);
    Vec3 a, b;
    ASSERT_EQ(pick_segment_endpoints(&vp, {3, 0.5f, 0}, line->control, &a, &b, 0), 1);
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(b.x, 10);
    EXPECT_EQ(pick_path_segment(&vp, {50, 50, 0}, line->control, &node, 0), 0);
    EXPECT_EQ(pick_path_segment(&vp, {5, 0, 0}, nullptr, &node, 0), 0);
    line->kind = 2;
    EXPECT_EQ(pick_polyline_segment(&vp, {10.5f, 5, 0}, line, &node), 0);
}

TEST_F(PickTest, BuffersWalkedForDeselection) {
    XPLINE* a = add(layer, {{0, 0, 0}, {1, 1, 0}});
    XPLINE* b = add(layer, {{20, 20, 0}, {21, 21, 0}});
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, a), 0);
    EXPECT_EQ(buffer_add(sel, b), 0);
    PickWindow w;
    w.flags = kPickWindow;
    w.p1 = {-1, -1, 0};
    w.p2 = {5, 5, 0};
    auto clear = [](RefNode* n, void*) {
        n->ref = nullptr;
        return 0;
    };
    EXPECT_EQ(pick_for_each_hit(&vp, sel, &w, clear, nullptr), 0);
    int live = 0;
    for (RefNode* n = sel->refs; n; n = n->next) live += n->ref == b;
    EXPECT_EQ(live, 1);
    for (RefNode* n = sel->refs; n; n = n->next) EXPECT_NE(n->ref, a);
    buffer_free(&sel);
}

}  // namespace
