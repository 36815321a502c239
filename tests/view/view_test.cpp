// The VIEW class: defaults, invalidation, placement saved at one size and restored at
// another, layer flags and drawing objects into the window.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/math/scalar.h"
#include "view_test_util.h"

namespace {

struct FakeWindow : ViewWindow {
    int width = 400, height = 300;
    int parent_width = 1000, parent_height = 800;
    FramePlacement frame;
    bool has_frame = true;
    std::vector<WindowRect> rects;
    int whole = 0, erased = 0, updates = 0, scrolls = 0;
    std::vector<std::pair<object*, int>> drawn;

    void client_size(int* w, int* h) const override { *w = width, *h = height; }
    void parent_client_size(int* w, int* h) const override {
        *w = parent_width, *h = parent_height;
    }
    bool get_placement(FramePlacement* out) const override {
        if (has_frame) *out = frame;
        return has_frame;
    }
    void set_placement(const FramePlacement& p) override { frame = p; }
    void adjust_frame_rect(WindowRect* r) const override {
        r->left -= 2, r->top -= 20, r->right += 2, r->bottom += 2;
    }
    void invalidate(const WindowRect* r, bool erase) override {
        if (r)
            rects.push_back(*r);
        else
            ++whole;
        erased += erase;
    }
    void update_now() override { ++updates; }
    void update_scroll_bars() override { ++scrolls; }
    void draw_object(object* obj, int colour) override { drawn.emplace_back(obj, colour); }
};

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        view_type_register();
        view = rtc_make<VIEW>();
        ASSERT_TRUE(view);
        view->window = &window;
    }
    std::unique_ptr<VIEW> view;
    FakeWindow window;
};

TEST_F(ViewTest, InitialValues) {
    EXPECT_STREQ(view->name, "<Viewport>");
    EXPECT_TRUE(view->selection);
    EXPECT_FALSE(buffer_has_objects(view->selection));
    EXPECT_EQ(view->projection.mode, kProjParallel);
    EXPECT_EQ(view->projection.scale, 1.0);
    EXPECT_EQ(view->projection.eye_distance, 1.0);
    EXPECT_EQ(view->flags, 0x82C);
    EXPECT_EQ(view->colours[15], 15);
    EXPECT_NEAR(view->accuracy_angular, kPi / 12, 1e-15);
    EXPECT_NEAR(view->dimension_values[2], kPi / 18, 1e-12);
    EXPECT_EQ(view->dimension_words[1], 7);
    EXPECT_EQ(view->drawing_area.x_min, -32000.0);
    EXPECT_EQ(view->drawing_area.flag, 1);
    EXPECT_EQ(view->placement.show_state, 0);
    EXPECT_TRUE(rtc_find_class("VIEW"));
    EXPECT_TRUE(rtc_is<ZSVIEW>(view.get()));
}

TEST_F(ViewTest, InvalidateBoxTurnsIntoWindowRows) {
    view->projection.origin_x = 0;
    view->projection.origin_y = 0;
    view->projection.scale = 2;
    const BBox box = {{10, 20, 0}, {30, 40, 5}};  // pixels x 20..60, y 40..80
    ASSERT_EQ(view_invalidate(view.get(), &box, 1 | 2), 0);
    ASSERT_EQ(window.rects.size(), 1u);
    const WindowRect& r = window.rects[0];
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.right, 65);
    EXPECT_EQ(r.top, 300 - 80 - 1 - 4);
    EXPECT_EQ(r.bottom, 300 - 40 + 4);
    EXPECT_EQ(window.erased, 1);
    EXPECT_EQ(window.updates, 1);

    // No box, or an image view: the whole window, scroll bars brought up to date.
    view_invalidate(view.get(), nullptr, 0);
    view->display_mode = 1;
    view_invalidate(view.get(), &box, 0);
    EXPECT_EQ(window.whole, 2);
    EXPECT_EQ(window.scrolls, 2);
    // The model's notification reaches the view through its slot.
    auto model = rtc_make<MODEL>();
    model_attach_view(model.get(), view.get());
    EXPECT_EQ(view_drawing(view.get()), model.get());
    model_notify_views(model.get(), nullptr, 0);
    EXPECT_EQ(window.whole, 3);
    view.reset();  // leaves the model's ring
    EXPECT_EQ(model->views, nullptr);
}

TEST_F(ViewTest, PlacementSavedAtOneSizeRestoredAtAnother) {
    window.frame.state = FramePlacement::kNormal;
    window.frame.min_x = -100;
    window.frame.min_y = 40;
    window.frame.normal = {100, 60, 500, 360};
    ASSERT_EQ(view_placement(view.get(), 0), 0);
    const ViewPlacement saved = view->placement;
    EXPECT_EQ(saved.show_state, 3);
    EXPECT_EQ(saved.parent_width, 1000);
    EXPECT_EQ(saved.width, 400);
    EXPECT_EQ(saved.height, 300);
    EXPECT_EQ(saved.saved, 1);

    // Both factors below 1: the smaller (0.5) halves position and size.
    view->projection.scale = 2;
    view->projection.origin_x = 10;
    window.parent_width = 500;
    window.parent_height = 400;
    ASSERT_EQ(view_placement(view.get(), 1), 0);
    EXPECT_EQ(window.frame.state, FramePlacement::kNormal);
    EXPECT_EQ(window.frame.min_x, -50);
    EXPECT_EQ(window.frame.normal.left, 50 - 2);  // then grown by the frame's borders
    EXPECT_EQ(window.frame.normal.top, 30 - 20);
    EXPECT_EQ(window.frame.normal.right, 50 + 200 + 2);
    EXPECT_EQ(window.frame.normal.bottom, 30 + 150 + 2);
    // Re-centred: origin x -= (400 / 2) * (0.5 - 1) * 0.5.
    EXPECT_DOUBLE_EQ(view->projection.origin_x, 10 + 50);

    // A larger parent in one direction only: the larger factor is taken; a width that
    // falls below 64 becomes 80.
    view->placement.width = 100;
    view->placement.height = 40;
    view->placement.show_state = 2;
    window.parent_width = 500;   // 0.5
    window.parent_height = 960;  // 1.2
    ASSERT_EQ(view_placement(view.get(), 1), 0);
    EXPECT_EQ(window.frame.state, FramePlacement::kMaximised);
    EXPECT_EQ(window.frame.normal.right - window.frame.normal.left, 120 + 4);
    view->placement.width = 50;
    window.parent_height = 400;
    ASSERT_EQ(view_placement(view.get(), 1), 0);
    EXPECT_EQ(window.frame.normal.right - window.frame.normal.left, 80 + 4);   // 25 -> 80
    EXPECT_EQ(window.frame.normal.bottom - window.frame.normal.top, 60 + 22);  // 20 -> 60

    // A placement saved in a parent of 1 x 1 pixel and restored in a large one: the
    // factor is huge, yet the rectangle stays a rectangle.
    view->placement = {3, 1, 1, 0, 0, 1 << 20, 1 << 20, 1 << 20, 1 << 20, 1};
    window.parent_width = 1920;
    window.parent_height = 1080;
    ASSERT_EQ(view_placement(view.get(), 1), 0);
    EXPECT_GT(window.frame.normal.right, window.frame.normal.left);
    EXPECT_GT(window.frame.normal.bottom, window.frame.normal.top);

    // Nothing saved, or no window: nothing applied.
    view->placement = ViewPlacement{};
    EXPECT_EQ(view_placement(view.get(), 1), 1);
    view->window = nullptr;
    EXPECT_EQ(view_placement(view.get(), 0), 1);
}

TEST_F(ViewTest, DrawingObjectsIntoTheWindow) {
    auto line = make_polyline({{0, 0, 0}, {1, 1, 0}});
    line->colour = 0;
    view_gdi_object(view.get(), line.get(), -1);
    view_gdi_object(view.get(), line.get(), 4);
    ASSERT_EQ(window.drawn.size(), 2u);
    EXPECT_EQ(window.drawn[0].second, colour_index_fix(0));
    EXPECT_EQ(window.drawn[1].second, 4);
    // An image view draws nothing; a mesh only has its box invalidated.
    view->display_mode = 1;
    view_gdi_object(view.get(), line.get(), 4);
    auto mesh = rtc_make<MESH3>();
    mesh->box = {{0, 0, 0}, {1, 1, 1}};
    view_gdi_object(view.get(), mesh.get(), 4);
    EXPECT_EQ(window.drawn.size(), 2u);
    EXPECT_EQ(window.whole, 1);
}

}  // namespace

TEST_F(ViewTest, CurrentLayerAndStylesFollowTheirReplacementOrGoWithThem) {
    auto model = rtc_make<MODEL>();
    ASSERT_TRUE(model);
    auto* dash = rtc_make<LINEPATT>().release();
    auto* dots = rtc_make<LINEPATT>().release();
    dash->set_string(0, "Dash");
    dots->set_string(0, "Dots");
    ASSERT_EQ(model_insert_patt(model.get(), dash), 1);
    ASSERT_EQ(model_insert_patt(model.get(), dots), 1);
    auto* layer = static_cast<LAYER*>(model->children);
    ASSERT_TRUE(rtc_is<LAYER>(layer));
    VIEW* v = view.release();
    model_attach_view(model.get(), v);
    v->current_line_style = dash;
    v->layer_state.line_style = dash;
    v->current_layer = layer;

    // A style replaced by another: the view takes the replacement.
    model_delete_patt(dash, dots);
    EXPECT_EQ(v->current_line_style, dots);
    EXPECT_EQ(v->layer_state.line_style, dots);
    // A style or layer that goes without one: the view keeps nothing dangling.
    model_delete_patt(dots, nullptr);
    EXPECT_EQ(v->current_line_style, nullptr);
    rtc_destroy(layer);
    EXPECT_EQ(v->current_layer, nullptr);
    rtc_destroy(v);
}
