// Cascade and tile arrangements of the windows in the main window's area.
#include <gtest/gtest.h>

#include "shell/core/mdi_arrange.h"

TEST(MdiArrange, CascadeKeepsTwoThirdsAndStartsAgainWhenARunIsFull) {
    // 900 x 600, title bars 30 high: a run holds 7 windows (600 - 6 * 30 = 420 >= 400).
    const auto r = mdi_cascade(9, 900, 600, 30);
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[0], (PlacementRect{0, 0, 720, 420}));
    EXPECT_EQ(r[6], (PlacementRect{180, 180, 900, 600}));
    EXPECT_EQ(r[7], r[0]);
    // Two windows: each the area less one step.
    EXPECT_EQ(mdi_cascade(2, 900, 600, 30)[1], (PlacementRect{30, 30, 900, 600}));
    // A tiny area still gives windows of at least a pixel; no window, no rectangle.
    EXPECT_EQ(mdi_cascade(3, 0, 0, 30)[2], (PlacementRect{0, 0, 1, 1}));
    EXPECT_TRUE(mdi_cascade(0, 900, 600, 30).empty());
}

TEST(MdiArrange, TilesFillTheArea) {
    struct Case {
        int count;
        bool horizontal;
        std::vector<PlacementRect> want;
    } cases[] = {
        {1, true, {{0, 0, 600, 400}}},
        {2, true, {{0, 0, 600, 200}, {0, 200, 600, 400}}},      // one above the other
        {2, false, {{0, 0, 300, 400}, {300, 0, 600, 400}}},     // side by side
        {3, false, {{0, 0, 200, 400}, {200, 0, 400, 400}, {400, 0, 600, 400}}},
        // Five in three rows: the last rows hold the extra windows.
        {5, true, {{0, 0, 600, 133}, {0, 133, 300, 266}, {300, 133, 600, 266}, {0, 266, 300, 400},
                   {300, 266, 600, 400}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mdi_tile(c.count, 600, 400, c.horizontal), c.want) << c.count << " " << c.horizontal;
    EXPECT_TRUE(mdi_tile(0, 600, 400, true).empty());
}
