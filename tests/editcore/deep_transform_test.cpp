// A group chain as deep as a drawing file holds is transformed and regenerated
// on a small stack (the walks take no call per group level).
#include <gtest/gtest.h>

#include "commands/editcore/transform.h"
#include "edit_test_util.h"
#include "model/file/save_context.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "tests/small_stack.h"

namespace {

TEST(DeepTransform, TheDeepestGroupChainAFileHoldsMoves) {
    rtc_register_all();
    auto m = rtc_make<MODEL>();
    CONTAINER* outer = nullptr;
    CONTAINER* into = nullptr;
    ASSERT_NO_FATAL_FAILURE(nest_deepest_groups(first_layer(m.get()), &outer, &into));
    add_polyline(into, {{0, 0, 0}, {10, 10, 0}});
    Transform move;
    xform_translate(&move, 5, 0, 0);
    ASSERT_TRUE(run_on_small_stack([&] {
        EXPECT_EQ(transform_object(move, outer), 0);
        EXPECT_EQ(regen_object(outer), 0);
    }));
    EXPECT_FLOAT_EQ(outer->box.min.x, 5.0f);
    EXPECT_FLOAT_EQ(outer->box.max.x, 15.0f);
}

}  // namespace
