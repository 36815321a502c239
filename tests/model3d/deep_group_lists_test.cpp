// The wires of a group chain as deep as a drawing file holds give their point lists in
// drawing order, on a small stack (the walk takes no call per group level).
#include <gtest/gtest.h>

#include "commands/model3d/model3d.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/save_context.h"
#include "model/math/plist.h"
#include "tests/small_stack.h"

namespace {

XPLINE* polyline(float x) {
    auto* w = rtc_make<XPLINE>().release();
    EXPECT_EQ(plist_add(&w->control, Vec3{x, 1, 0}), 0);
    EXPECT_EQ(plist_add(&w->control, Vec3{x, 0, 0}), 0);
    return w;
}

TEST(DeepGroupLists, WiresAtTheDeepestNestingComeInDrawingOrder) {
    rtc_register_all();
    // Built from the inside out, each group's box already its own, so that no insert
    // climbs or walks the whole chain.
    auto* inner = rtc_make<CONTAINER>().release();
    ASSERT_EQ(container_insert(inner, polyline(1)), 0);  // innermost: first in order
    for (int i = 0; i < kMaxRecordNesting - 3; ++i) {
        auto* g = rtc_make<CONTAINER>().release();
        ASSERT_EQ(container_insert_boxed(g, inner), 0);
        inner = g;
    }
    std::unique_ptr<CONTAINER> outer(rtc_make<CONTAINER>().release());
    ASSERT_EQ(container_insert_boxed(outer.get(), inner), 0);
    ASSERT_EQ(container_insert(outer.get(), polyline(2)), 0);  // after the whole chain
    std::vector<std::vector<BasePoint>> lists;
    ASSERT_TRUE(run_on_small_stack([&] { wire_point_lists(outer.get(), &lists); }));
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0][0].p.x, 1.0f);
    EXPECT_EQ(lists[1][0].p.x, 2.0f);
    EXPECT_EQ(lists[1][1].p.y, 1.0f);
}

}  // namespace
