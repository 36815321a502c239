// Toolbar tables and their saved state: button lists and dock places per version.
#include <gtest/gtest.h>

#include <set>

#include "model/services/profile.h"
#include "shell/core/toolbar_state.h"
#include "shell/core/toolbar_tables.h"

TEST(ToolbarTables, BarsAreWellFormed) {
    ASSERT_EQ(toolbar_table().size(), 11u);
    std::set<int> bar_ids, ids;
    for (const ToolbarDef& bar : toolbar_table()) {
        EXPECT_TRUE(bar_ids.insert(bar.bar_id).second);
        ASSERT_LE(size_t(bar.first + bar.count), bar.strip.size());
        for (const ToolButtonDef& b : toolbar_buttons(bar)) EXPECT_TRUE(ids.insert(b.command_id).second);
        std::vector<int> layout = toolbar_default_layout(bar);
        EXPECT_EQ(layout.size(), size_t(bar.count) + bar.separators.size());
        EXPECT_NE(layout.front(), 0);
        EXPECT_EQ(toolbar_buttons_sanitise(bar, layout), layout);
    }
    EXPECT_EQ(toolbar_table()[0].bar_id, 59392);
    EXPECT_EQ(toolbar_find(15909)->caption_id, 146);
    EXPECT_EQ(toolbar_find(1), nullptr);
    // Standard: three buttons, then a separator.
    std::vector<int> standard = toolbar_default_layout(toolbar_table()[0]);
    EXPECT_EQ(std::vector<int>(standard.begin(), standard.begin() + 5),
              (std::vector<int>{57600, 57601, 57603, 0, 57607}));
}

TEST(ToolbarState, ButtonTextRoundTripAndRefusals) {
    std::vector<int> ids;
    ASSERT_TRUE(toolbar_buttons_parse("57600,0,15000", &ids));
    EXPECT_EQ(ids, (std::vector<int>{57600, 0, 15000}));
    EXPECT_EQ(toolbar_buttons_format(ids), "57600,0,15000");
    ASSERT_TRUE(toolbar_buttons_parse("", &ids));
    EXPECT_TRUE(ids.empty());
    for (const char* bad : {",", "1,", ",1", "1,,2", " 1", "1 ", "-1", "65536", "123456", "+5", "0x10", "a"})
        EXPECT_FALSE(toolbar_buttons_parse(bad, &ids)) << bad;
    std::string many;
    for (size_t i = 0; i <= kToolbarMaxButtons; ++i) many += i ? ",1" : "1";
    EXPECT_FALSE(toolbar_buttons_parse(many, &ids));
}

TEST(ToolbarState, SanitiseKeepsOnlyTheBarsOwnButtons) {
    const ToolbarDef& drawing = *toolbar_find(15906);
    EXPECT_EQ(toolbar_buttons_sanitise(drawing, {0, 15001, 0, 0, 57600, 15001, 15000, 0}),
              (std::vector<int>{15001, 0, 15000}));
    EXPECT_TRUE(toolbar_buttons_sanitise(drawing, {0, 0, 99}).empty());
}

TEST(ToolbarState, PlacementText) {
    BarPlacement p;
    ASSERT_TRUE(bar_placement_parse("l 0 2 5", &p));
    EXPECT_EQ(p, (BarPlacement{DockSide::kLeft, false, 2, 5}));
    EXPECT_EQ(bar_placement_format(p), "l 0 2 5");
    for (const char* bad : {"", "x 1 0 0", "t1 0 0", "t 2 0 0", "t 1 -1 0", "t 1 0 64", "t 1 0", "t"})
        EXPECT_FALSE(bar_placement_parse(bad, &p)) << bad;
}

TEST(ToolbarState, EachVersionKeepsItsOwnState) {
    const ToolbarDef& snap = *toolbar_find(15909);
    std::vector<int> ids;
    EXPECT_FALSE(toolbar_buttons_load("3.0.14", snap, &ids));
    toolbar_buttons_save("3.0.14", snap.bar_id, {15821, 15825});
    toolbar_buttons_save("3.1.2", snap.bar_id, {15830});
    ASSERT_TRUE(toolbar_buttons_load("3.0.14", snap, &ids));
    EXPECT_EQ(ids, (std::vector<int>{15821, 15825}));
    ASSERT_TRUE(toolbar_buttons_load("3.1.2", snap, &ids));
    EXPECT_EQ(ids, (std::vector<int>{15830}));
    EXPECT_EQ(app_profile_get_text("3.0.14\\Custom", "TBx3E25", ""), "15821,15825");

    bar_placement_save("3.0.14", 15909, {DockSide::kRight, true, 1, 0});
    BarPlacement p;
    ASSERT_TRUE(bar_placement_load("3.0.14", 15909, &p));
    EXPECT_EQ(p.side, DockSide::kRight);
    EXPECT_FALSE(bar_placement_load("3.1.2", 15909, &p));
    // An emptied bar is a saved state of its own, not a missing one.
    toolbar_buttons_save("3.1.2", snap.bar_id, {});
    ASSERT_TRUE(toolbar_buttons_load("3.1.2", snap, &ids));
    EXPECT_TRUE(ids.empty());
}
