// The walks of a drawing at the deepest nesting a drawing file holds: drawing through
// the driver, picking, copying, regenerating and freeing a group chain as deep as a
// file may bring in (the edit suite transforms one).
#include <gtest/gtest.h>

#include "graphics/view/driver.h"
#include "graphics/view/pick.h"
#include "graphics/view/projection.h"
#include "model/db/tree.h"
#include "model/file/save_context.h"
#include "model/geom/regen.h"
#include "tests/small_stack.h"
#include "view_test_util.h"

namespace {

TEST(DeepWalk, TheDeepestGroupChainAFileHoldsIsWalked) {
    rtc_register_all();
    auto layer = rtc_make<LAYER>();
    CONTAINER* outer = nullptr;
    CONTAINER* into = nullptr;
    ASSERT_NO_FATAL_FAILURE(nest_deepest_groups(layer.get(), &outer, &into));
    ASSERT_EQ(container_insert(into, make_polyline({{0, 0, 0}, {10, 10, 0}}).release()), 0);
    ASSERT_EQ(regen_object(layer.get()), 0);

    // On a small stack: a walk taking a call per group level overflows it.
    ASSERT_TRUE(run_on_small_stack([&] {
        ViewProjection vp = unit_projection();
        RecordingDevice dev;
        dev.attach(&vp);
        viewiter_draw_object(&vp, layer.get());
        EXPECT_EQ(dev.lines.size(), 1u);
        if (!dev.lines.empty()) {
            EXPECT_EQ(dev.lines[0], (RecordedLine{0, 0, 10, 10}));
        }

        PickWindow w;
        w.flags = kPickCrossing;
        w.p1 = {-1, -1, 0};
        w.p2 = {20, 20, 0};
        EXPECT_NE(pick_object_in_window(&vp, layer.get(), &w), 0);

        std::unique_ptr<RTC> copy;
        EXPECT_EQ(rtc_clone(&copy, outer), 0);
        EXPECT_EQ(regen_object(static_cast<object*>(copy.get())), 0);
        EXPECT_FLOAT_EQ(static_cast<object*>(copy.get())->box.max.x, 10.0f);
        rtc_destroy(copy.release());
    }));
}

}  // namespace
