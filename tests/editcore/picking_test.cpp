// Picking objects in a VIEW: cycling through overlapping objects, collecting into
// buffers with highlighting, deselecting a window, hidden layers.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "commands/editcore/picking.h"
#include "edit_test_util.h"
#include "graphics/view/colours.h"
#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "model/math/result.h"

namespace {

// A window that records what the VIEW asks it to draw.
struct FakeWindow : ViewWindow {
    std::vector<std::pair<object*, int>> drawn;
    void client_size(int* w, int* h) const override { *w = 400, *h = 300; }
    void parent_client_size(int* w, int* h) const override { *w = 800, *h = 600; }
    bool get_placement(FramePlacement*) const override { return false; }
    void set_placement(const FramePlacement&) override {}
    void invalidate(const WindowRect*, bool) override {}
    void update_now() override {}
    void draw_object(object* obj, int colour) override { drawn.emplace_back(obj, colour); }
};

class PickingTest : public EditTest {
  protected:
    void SetUp() override {
        EditTest::SetUp();
        model = rtc_make<MODEL>();
        view = rtc_make<VIEW>();
        ASSERT_TRUE(view);
        view->window = &window;
        model_attach_view(model.get(), view.get());
        layer = first_layer(model.get());
    }
    void TearDown() override { view.reset(); }

    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    FakeWindow window;
    LAYER* layer = nullptr;
};

TEST_F(PickingTest, CyclingThroughThreeOverlappingObjects) {
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {10, 0, 0}});
    XPLINE* b = add_polyline(layer, {{5, -5, 0}, {5, 5, 0}});
    XPLINE* c = add_polyline(layer, {{0, -1, 0}, {10, 1, 0}});
    add_polyline(layer, {{50, 50, 0}, {60, 50, 0}});
    const Vec3 p = {5, 0, 0};
    object* first = pick_object_at(view.get(), p, nullptr, nullptr);
    EXPECT_EQ(first, a);
    object* second = pick_object_at(view.get(), p, nullptr, first);
    EXPECT_EQ(second, b);
    object* third = pick_object_at(view.get(), p, nullptr, second);
    EXPECT_EQ(third, c);
    EXPECT_EQ(pick_object_at(view.get(), p, nullptr, third), nullptr);
    // A previous pick that is not under the point gives nothing either.
    EXPECT_EQ(pick_object_at(view.get(), {55, 50, 0}, nullptr, a), nullptr);
    // With a filter class only objects of that class are found.
    EXPECT_EQ(pick_object_at(view.get(), p, &ELARC::rtc_class, nullptr), nullptr);
    EXPECT_EQ(pick_object_at(view.get(), p, &WIRE::rtc_class, nullptr), a);
}

TEST_F(PickingTest, ApertureIsFivePixelsAtAnyZoom) {
    add_polyline(layer, {{0, 0, 0}, {10, 0, 0}});
    view->projection.scale = 10;
    EXPECT_NE(pick_object_at(view.get(), {5, 0.35f, 0}, nullptr, nullptr), nullptr);
    EXPECT_EQ(pick_object_at(view.get(), {5, 0.6f, 0}, nullptr, nullptr), nullptr);
    view->projection.scale = 0.1;
    EXPECT_NE(pick_object_at(view.get(), {5, 35, 0}, nullptr, nullptr), nullptr);
}

// A camera is found by the lines it draws (its frame, the strokes to its eye), not
// only at its position marker. Top view, scale 1: frame corners (100, -50) and (100, 50).
TEST_F(PickingTest, ACameraIsFoundByItsLines) {
    auto cam = rtc_make<CAMERA>();
    cam->target = {100, 0, 0};
    cam->up = {0, 1, 0};
    cam->side = {0, 0, 1};
    cam->lens = 1;
    CAMERA* camera = cam.get();
    ASSERT_EQ(container_insert(layer, cam.release()), 0);
    ASSERT_EQ(regen_object(camera), 0);
    for (auto [at, want] : {std::pair{Vec3{0, 0, 0}, camera}, {Vec3{100, 20, 0}, camera}, {Vec3{50, 25, 0}, camera},
                            {Vec3{50, 45, 0}, nullptr}}) {
        EXPECT_EQ(pick_object_at(view.get(), at, nullptr, nullptr), want) << at.x << ", " << at.y;
    }
}

// Inside groups (whose boxes hold its position alone) as well, the outer group standing
// for it. Groups without a camera are still passed over by their boxes (one kept stale).
TEST_F(PickingTest, ACameraInGroupsIsFoundByItsLines) {
    CONTAINER* groups[2] = {rtc_make<CONTAINER>().release(), rtc_make<CONTAINER>().release()};
    ASSERT_EQ(container_insert(layer, groups[0]), 0);
    ASSERT_EQ(container_insert(groups[0], groups[1]), 0);
    CAMERA* camera = rtc_make<CAMERA>().release();
    ASSERT_EQ(container_insert(groups[1], camera), 0);
    camera->target = {100, 0, 0}, camera->up = {0, 1, 0}, camera->side = {0, 0, 1}, camera->lens = 1;
    ASSERT_EQ(regen_object(camera), 0);
    for (Vec3 at : {Vec3{50, 25, 0}, {100, 20, 0}}) EXPECT_EQ(pick_object_at(view.get(), at, nullptr, nullptr), groups[0]);
    ASSERT_EQ(container_insert(layer, camera), 0);
    add_polyline(groups[1], {{300, 200, 0}, {320, 200, 0}});
    groups[0]->box = {{0, 0, 0}, {1, 1, 0}};
    EXPECT_EQ(pick_object_at(view.get(), {310, 200, 0}, nullptr, nullptr), nullptr);
}

TEST_F(PickingTest, CollectingHighlightsOnlyTheSelection) {
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {10, 0, 0}});
    XPLINE* b = add_polyline(layer, {{5, -5, 0}, {5, 5, 0}});
    Selection other;
    ASSERT_EQ(pick_objects_at(view.get(), other.buf, {5, 0, 0}, nullptr), 0);
    EXPECT_TRUE(window.drawn.empty());
    int count = 0;
    for (RefNode* n = other.buf->refs; n; n = n->next) count += n->ref != nullptr;
    EXPECT_EQ(count, 2);

    ASSERT_EQ(pick_objects_at(view.get(), view->selection, {5, 0, 0}, nullptr), 0);
    ASSERT_EQ(pick_objects_at(view.get(), view->selection, {5, 0, 0}, nullptr), 0);
    count = 0;
    for (RefNode* n = view->selection->refs; n; n = n->next) count += n->ref != nullptr;
    EXPECT_EQ(count, 2);  // not added twice
    ASSERT_GE(window.drawn.size(), 2u);
    EXPECT_EQ(window.drawn[0], std::make_pair(static_cast<object*>(a), g_display.highlight_colour));
    EXPECT_EQ(window.drawn[1], std::make_pair(static_cast<object*>(b), g_display.highlight_colour));
}

TEST_F(PickingTest, DeselectingAWindowClearsExactlyItsObjects) {
    XPLINE* a = add_polyline(layer, {{0, 0, 0}, {1, 1, 0}});
    XPLINE* b = add_polyline(layer, {{20, 20, 0}, {21, 21, 0}});
    a->colour = 3;
    PickWindow all;
    all.flags = kPickWindow;
    all.p1 = {-5, -5, 0};
    all.p2 = {30, 30, 0};
    ASSERT_EQ(pick_objects_region(view.get(), view->selection, &all, 1), 0);
    window.drawn.clear();

    PickWindow part;
    part.flags = kPickWindow;
    part.p1 = {-1, -1, 0};
    part.p2 = {5, 5, 0};
    ASSERT_EQ(pick_objects_region(view.get(), view->selection, &part, 0), 0);
    std::vector<ZOBJ*> left;
    for (RefNode* n = view->selection->refs; n; n = n->next)
        if (n->ref) left.push_back(n->ref);
    EXPECT_EQ(left, std::vector<ZOBJ*>{b});
    ASSERT_EQ(window.drawn.size(), 1u);
    EXPECT_EQ(window.drawn[0].first, a);
    EXPECT_EQ(window.drawn[0].second, colour_index_fix(3));

    EXPECT_EQ(pick_objects_region(nullptr, view->selection, &part, 0), kBadArgument);
    EXPECT_EQ(pick_objects_region(view.get(), view->selection, nullptr, 1), kBadArgument);
    EXPECT_EQ(pick_objects_region(view.get(), nullptr, &part, 0), 0);
}

TEST_F(PickingTest, LayersHiddenInTheViewAreSkipped) {
    auto second = rtc_make<LAYER>();
    second->set_string(0, "second");
    LAYER* l2 = second.get();
    EXPECT_EQ(container_insert(model.get(), second.release()), 0);
    add_polyline(layer, {{0, 0, 0}, {10, 0, 0}});
    XPLINE* b = add_polyline(l2, {{0, 0, 0}, {10, 0, 0}});
    ASSERT_EQ(view_push_layer_flag(view.get(), 0), 0);
    EXPECT_EQ(pick_object_at(view.get(), {5, 0, 0}, nullptr, nullptr), b);
    EXPECT_EQ(view_layer_flag(view.get(), 0), 0);
    EXPECT_EQ(view_layer_flag(view.get(), 1), 1);  // no entry: visible
    EXPECT_EQ(view_layer_flag(view.get(), -3), 1);
}

}  // namespace
