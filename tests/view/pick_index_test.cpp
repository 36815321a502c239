// Point picks through the layers' box indexes give what walking every object gives:
// the same hits in the same order, after edits, under turned views and while the
// hit callback changes the drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/view/pick.h"
#include "graphics/view/pick_index.h"
#include "model/math/matrix.h"
#include "view_test_util.h"

namespace {

using Hits = std::vector<object*>;

int collect(object* obj, void* arg) {
    static_cast<Hits*>(arg)->push_back(obj);
    return 0;
}

class PickIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        model = rtc_make<MODEL>();
        layers.push_back(rtc_cast<LAYER>(model->first_child()));
        for (int i = 0; i < 2; ++i) {
            auto l = rtc_make<LAYER>();
            layers.push_back(l.get());
            EXPECT_EQ(container_insert(model.get(), l.release()), 0);
        }
        vp = unit_projection();
        // Short lines in a grid over three layers, a group every seventh cell.
        for (int i = 0; i < 60; ++i) {
            const float x = float(i % 10) * 4, y = float(i / 10) * 4;
            CONTAINER* into = layers[i % 3];
            if (i % 7 == 3) {
                auto g = rtc_make<CONTAINER>();
                auto m = make_polyline({{x, y, 0}, {x + 2, y + 1, 0}});
                EXPECT_EQ(container_insert(g.get(), m.release()), 0);
                g->own_box();
                EXPECT_EQ(container_insert(into, g.release()), 0);
            } else {
                auto l = make_polyline({{x, y, 0}, {x + 2, y + 2, 0}});
                EXPECT_EQ(container_insert(into, l.release()), 0);
            }
        }
    }

    Hits picked(Vec3 p) {
        PickWindow w;
        w.flags = kPickPoint;
        w.p1 = p;
        Hits out;
        EXPECT_EQ(pick_object_in_window_ex(&vp, model.get(), &w, &collect, &out), 0);
        return out;
    }
    // Every top-level object of every layer tested on its own, in walk order.
    Hits one_by_one(Vec3 p) {
        Hits out;
        for (LAYER* l : layers) {
            for (ZOBJ* z : children_of(l)) {
                PickWindow w;
                w.flags = kPickPoint;
                w.p1 = p;
                auto* o = rtc_cast<object>(z);
                if (o && pick_object_in_window(&vp, o, &w)) out.push_back(o);
            }
        }
        return out;
    }
    void expect_same_everywhere(const char* when) {
        int total = 0;
        for (float y = -2; y <= 26; y += 0.75f) {
            for (float x = -2; x <= 42; x += 0.75f) {
                Vec3 v;
                world_to_view(&vp, Vec3{x, y, 0}, &v);
                const Hits want = one_by_one(v);
                total += static_cast<int>(want.size());
                ASSERT_EQ(picked(v), want) << when << " at " << x << ", " << y;
            }
        }
        EXPECT_GT(total, 100) << when;  // the grid is really under the points
    }

    std::unique_ptr<MODEL> model;
    std::vector<LAYER*> layers;
    ViewProjection vp;
};

TEST_F(PickIndexTest, SameHitsAsTestingEveryObject) {
    expect_same_everywhere("first picks");
    // Moving, removing and adding objects between picks.
    auto* moved = rtc_cast<XPLINE>(layers[1]->first_child());
    ASSERT_NE(moved, nullptr);
    for (PointNode* n = moved->control; n; n = n->next == moved->control ? nullptr : n->next)
        n->x += 17.5f;
    moved->own_box();
    expect_same_everywhere("after a move");
    rtc_destroy(layers[2]->first_child()->next);
    EXPECT_EQ(container_insert(layers[0], make_polyline({{-1, 20, 0}, {41, 3, 0}}).release()), 0);
    expect_same_everywhere("after a removal and an addition");
    // A zoomed, turned and tilted view.
    vp.scale = 3;
    Matrix43 fwd, inv;
    mat_rotate_xyz(&fwd, &inv, 0.3, 0.2, 0.7);
    vp.view = fwd;
    vp.inverse = inv;
    expect_same_everywhere("in a turned view");
    vp.mode = kProjPerspective;
    vp.eye_distance = 500;
    mat_rotate_xyz(&fwd, &inv, 0.0, 0.0, 0.4);
    fwd.m[11] -= 200;
    vp.view = fwd;
    expect_same_everywhere("in perspective");
}

TEST_F(PickIndexTest, CallbackChangingTheDrawingSeesEveryLaterHit) {
    // Two lines on the same spot in one layer with another one between them.
    LAYER* l = layers[0];
    XPLINE* a = make_polyline({{100, 100, 0}, {110, 100, 0}}).release();
    XPLINE* between = make_polyline({{300, 300, 0}, {310, 300, 0}}).release();
    XPLINE* b = make_polyline({{100, 101, 0}, {110, 101, 0}}).release();
    for (XPLINE* x : {a, between, b}) EXPECT_EQ(container_insert(l, x), 0);
    ASSERT_EQ(picked({105, 100.5f, 0}), (Hits{a, b}));
    Hits seen;
    PickWindow w;
    w.flags = kPickPoint;
    w.p1 = {105, 100.5f, 0};
    // Each hit deletes the object hit: the walk goes on and still finds the second.
    EXPECT_EQ(pick_object_in_window_ex(
                  &vp, model.get(), &w,
                  [](object* obj, void* arg) {
                      static_cast<Hits*>(arg)->push_back(obj);
                      rtc_destroy(obj);
                      return 0;
                  },
                  &seen),
              0);
    EXPECT_EQ(seen, (Hits{a, b}));
    EXPECT_EQ(picked({105, 100.5f, 0}), Hits{});
    EXPECT_EQ(picked({305, 300, 0}), Hits{between});
}

TEST(PickBoxIndex, RebuiltWhenTheTreeOrTheProjectionChanges) {
    rtc_register_all();
    auto layer = rtc_make<LAYER>();
    EXPECT_EQ(container_insert(layer.get(), make_polyline({{0, 0, 0}, {1, 1, 0}}).release()), 0);
    ViewProjection vp = unit_projection();
    auto first = pick_box_index(layer.get(), &vp);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->children.size(), 1u);
    EXPECT_EQ(pick_box_index(layer.get(), &vp), first);  // kept while nothing changes
    vp.view.m[9] = 5;
    auto shifted = pick_box_index(layer.get(), &vp);
    ASSERT_NE(shifted, first);
    EXPECT_EQ(shifted->boxes[0], 5.0f);
    EXPECT_EQ(container_insert(layer.get(), make_polyline({{2, 2, 0}, {3, 3, 0}}).release()), 0);
    EXPECT_EQ(pick_box_index(layer.get(), &vp)->children.size(), 2u);
    vp.mode = kProjPerspective;
    EXPECT_EQ(pick_box_index(layer.get(), &vp), nullptr);
    pick_box_index_release();
}

}  // namespace
