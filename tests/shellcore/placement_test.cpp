// Window placement texts: "Frame" and "Maxed" of the main window, "Layout" of the
// tool windows, and fitting a saved rectangle to the screen.
#include <gtest/gtest.h>

#include "model/services/profile.h"
#include "shell/core/placement.h"

TEST(Placement, FrameTextReadsLeftRightTopBottom) {
    PlacementRect r;
    ASSERT_TRUE(frame_text_parse("10 800 20 600", &r));
    EXPECT_EQ(r, (PlacementRect{10, 20, 800, 600}));
    EXPECT_EQ(frame_text_format(r), "10 800 20 600");
    // Trailing text is ignored as the "%d" reader would; leading blanks are skipped.
    ASSERT_TRUE(frame_text_parse("  -5 100 7 90 junk", &r));
    EXPECT_EQ(r, (PlacementRect{-5, 7, 100, 90}));
}

TEST(Placement, FrameTextWithoutFourNumbersIsEmpty) {
    for (const char* bad : {"", "1 2 3", "a 1 2 3 4", "1,2,3,4", "1 2 3 99999999999", "- 1 2 3"}) {
        PlacementRect r{1, 2, 3, 4};
        EXPECT_FALSE(frame_text_parse(bad, &r)) << bad;
        EXPECT_TRUE(r.empty()) << bad;
    }
}

TEST(Placement, FitToScreen) {
    struct Case {
        PlacementRect in, out;
    } cases[] = {
        {{100, 100, 900, 700}, {100, 100, 900, 700}},    // wholly on screen
        {{-200, 50, 300, 400}, {0, 50, 300, 400}},       // cut at the left edge
        {{1915, 100, 2500, 400}, {}},                    // 5 pixels on screen: too narrow
        {{100, 1075, 400, 1400}, {}},                    // 5 pixels high
        {{1910, 1070, 3000, 3000}, {1910, 1070, 1920, 1080}},  // exactly 10 by 10
        {{-2147483647, -2147483647, 2147483647, 2147483647}, {0, 0, 1920, 1080}},
    };
    for (const Case& c : cases) EXPECT_EQ(placement_fit_screen(c.in, 1920, 1080), c.out);
    EXPECT_TRUE(placement_on_screen({0, 0, 1920, 1080}, 1920, 1080));
    EXPECT_FALSE(placement_on_screen({-1, 0, 100, 100}, 1920, 1080));
    EXPECT_FALSE(placement_on_screen({100, 100, 2000, 500}, 1920, 1080));
    EXPECT_FALSE(placement_on_screen({}, 1920, 1080));
}

TEST(Placement, LoadAndSaveThroughTheSettings) {
    prof_put_string("Settings", "Frame", "1 2 3");
    prof_put_string("Settings", "Maxed", "0");
    WindowPlacement p = window_placement_load(1920, 1080);
    EXPECT_TRUE(p.rect.empty());
    EXPECT_FALSE(p.maximised);

    window_placement_save({{50, 60, 850, 660}, true});
    EXPECT_EQ(app_profile_get_text("Settings", "Frame", ""), "50 850 60 660");
    p = window_placement_load(1920, 1080);
    EXPECT_EQ(p.rect, (PlacementRect{50, 60, 850, 660}));
    EXPECT_TRUE(p.maximised);
    // A smaller screen cuts the rectangle.
    EXPECT_EQ(window_placement_load(640, 480).rect, (PlacementRect{50, 60, 640, 480}));
}

TEST(Placement, LayoutKeysPositionsAndClamp) {
    EXPECT_EQ(layout_key(0x1234ABu), "0x001234AB");
    layout_save(1, 30, 40);
    layout_save(2, 500, 600);
    int x = 0, y = 0;
    ASSERT_TRUE(layout_load(1, &x, &y));
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    ASSERT_TRUE(layout_load(2, &x, &y));
    EXPECT_EQ(x, 500);
    prof_put_string("Layout", layout_key(3).c_str(), "12");
    EXPECT_FALSE(layout_load(3, &x, &y));
    EXPECT_FALSE(layout_load(4, &x, &y));

    x = 5000, y = -3;
    layout_clamp(&x, &y, 1920, 1080);
    EXPECT_EQ(x, 1919);
    EXPECT_EQ(y, 0);
    layout_clamp(&x, &y, 0, 0);
    EXPECT_EQ(x, 0);
}
