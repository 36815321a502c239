// The main window's toolbars: docking as the table places them, commands and
// enabling through the callbacks, state kept per version, the customise dialog and
// the icon sets.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>

#include "model/services/profile.h"
#include "shell/core/toolbar_state.h"
#include "shell/customize_dialog.h"
#include "shell/toolbars.h"
#include "tests/platform/qt_test_env.h"

namespace {

Qt::ToolBarArea expected_area(DockSide side) {
    switch (side) {
        case DockSide::kTop: return Qt::TopToolBarArea;
        case DockSide::kBottom: return Qt::BottomToolBarArea;
        case DockSide::kLeft: return Qt::LeftToolBarArea;
        case DockSide::kRight: return Qt::RightToolBarArea;
    }
    return Qt::NoToolBarArea;
}

struct Frame {
    explicit Frame(const std::string& version) : bars(&window, version, nullptr, nullptr) {
        window.resize(1200, 800);
    }
    QMainWindow window;
    ToolbarSet bars;
};

}  // namespace

TEST(Toolbars, DockedAsTheTablePlacesThem) {
    std::vector<int> commands;
    QMainWindow window;
    ToolbarSet bars(&window, "9.9.1", [&](int id) { commands.push_back(id); },
                    [](int id, ToolbarItemState* st) {
                        st->enabled = id != 32785;
                        st->checked = id == 15000;
                    });
    ASSERT_TRUE(bars.create(0));
    ASSERT_EQ(bars.bars().size(), 11u);
    for (size_t i = 0; i < bars.bars().size(); ++i) {
        CCustomBar* bar = bars.bars()[i];
        const ToolbarDef& def = toolbar_table()[i];
        EXPECT_EQ(bar->def().bar_id, def.bar_id);
        EXPECT_EQ(window.toolBarArea(bar), expected_area(def.side)) << def.bar_id;
        EXPECT_EQ(bar->buttons(), toolbar_default_layout(def));
        EXPECT_EQ(bar->iconSize(), QSize(24, 24));
    }
    EXPECT_EQ(bars.bar(59392)->windowTitle(), "Standard");

    bars.bar(15906)->action_of(15001)->trigger();
    EXPECT_EQ(commands, std::vector<int>{15001});
    bars.update_actions();
    EXPECT_FALSE(bars.bar(59392)->action_of(32785)->isEnabled());
    EXPECT_TRUE(bars.bar(15906)->action_of(15000)->isChecked());
    EXPECT_FALSE(bars.bar(15906)->action_of(15001)->isChecked());

    QMenu menu;
    bars.fill_toolbars_menu(&menu);
    ASSERT_EQ(menu.actions().size(), 11);
    EXPECT_EQ(menu.actions()[9]->text(), "Object snap");
    window.show();
    bars.toggle_bar(15909);
    EXPECT_TRUE(bars.bar(15909)->isHidden());
    EXPECT_FALSE(menu.actions()[9]->isChecked());
    bars.toggle_bar(15909);
    EXPECT_FALSE(bars.bar(15909)->isHidden());

    bars.select_bitmap_set(1);
    EXPECT_EQ(bars.bar(15906)->iconSize(), QSize(16, 16));
}

TEST(Toolbars, FirstStartWritesItsStateAndEachVersionKeepsItsOwn) {
    {
        Frame f("7.1.A");
        f.bars.create(0);
        // The first start has no saved state: it writes what it shows.
        std::vector<int> ids;
        ASSERT_TRUE(toolbar_buttons_load("7.1.A", *toolbar_find(15906), &ids));
        EXPECT_EQ(ids, toolbar_default_layout(*toolbar_find(15906)));

        f.window.show();
        f.bars.bar(15906)->set_buttons({15009, 0, 15000});
        f.window.addToolBar(Qt::RightToolBarArea, f.bars.bar(15906));
        f.bars.bar(15900)->hide();
        f.bars.save_state();
    }
    {
        Frame f("7.1.A");
        f.bars.create(0);
        EXPECT_EQ(f.bars.bar(15906)->buttons(), (std::vector<int>{15009, 0, 15000}));
        EXPECT_EQ(f.window.toolBarArea(f.bars.bar(15906)), Qt::RightToolBarArea);
        EXPECT_TRUE(f.bars.bar(15900)->isHidden());
        EXPECT_EQ(f.window.toolBarArea(f.bars.bar(15909)), Qt::LeftToolBarArea);
    }
    {
        Frame f("7.2.0");  // another version: its own, default layout
        f.bars.create(0);
        EXPECT_EQ(f.bars.bar(15906)->buttons(), toolbar_default_layout(*toolbar_find(15906)));
        EXPECT_EQ(f.window.toolBarArea(f.bars.bar(15906)), Qt::LeftToolBarArea);
    }
    // A damaged value reads as absent and is written over with the current state.
    prof_put_string("7.3.0\\Custom", "TBx3E22", "15000,,");
    Frame f("7.3.0");
    f.bars.create(0);
    EXPECT_EQ(f.bars.bar(15906)->buttons(), toolbar_default_layout(*toolbar_find(15906)));
    EXPECT_EQ(app_profile_get_text("7.3.0\\Custom", "TBx3E22", ""),
              toolbar_buttons_format(toolbar_default_layout(*toolbar_find(15906))));
}

TEST(Toolbars, CustomiseDialogEditsTheBarAndResets) {
    Frame f("8.0.0");
    f.bars.create(0);
    CCustomBar* bar = f.bars.bar(15900);  // 3D Construction: 15800-15803
    std::vector<int> original = bar->buttons();
    CustomizeDialog dlg(bar, &f.window);
    EXPECT_EQ(dlg.available_list()->count(), 1);  // only the separator is left to add

    dlg.current_list()->setCurrentRow(-1);
    dlg.remove_button(1);  // 15801
    EXPECT_EQ(bar->buttons(), (std::vector<int>{15800, 15802, 15803}));
    ASSERT_EQ(dlg.available_list()->count(), 2);
    dlg.move_button(2, -1);
    EXPECT_EQ(bar->buttons(), (std::vector<int>{15800, 15803, 15802}));
    dlg.move_button(0, -1);  // nothing above the first
    dlg.current_list()->setCurrentRow(1);
    dlg.add_button(1);  // 15801 back, before the selected button
    EXPECT_EQ(bar->buttons(), (std::vector<int>{15800, 15801, 15803, 15802}));
    dlg.current_list()->setCurrentRow(1);
    dlg.add_button(0);  // a separator
    EXPECT_EQ(bar->buttons(), (std::vector<int>{15800, 0, 15801, 15803, 15802}));
    dlg.remove_button(99);
    dlg.reset();
    EXPECT_EQ(bar->buttons(), original);
}

TEST(Toolbars, CustomiseTargetIsClearedAfterUse) {
    Frame f("8.0.1");
    f.bars.create(0);
    EXPECT_EQ(f.bars.customize_target(), nullptr);
    f.bars.run_customize();  // no target: nothing happens
    EXPECT_EQ(f.bars.customize_target(), nullptr);
}

TEST(Toolbars, EveryButtonHasBothIconSetsAtBothScales) {
    for (int id : toolbar_icon_ids()) {
        for (bool large : {true, false}) {
            QIcon icon = toolbar_icon(id, large);
            ASSERT_FALSE(icon.isNull()) << id;
            int size = large ? 24 : 16;
            QPixmap one = icon.pixmap(QSize(size, size), 1.0);
            QPixmap two = icon.pixmap(QSize(size, size), 2.0);
            EXPECT_EQ(one.size(), QSize(size, size)) << id;
            EXPECT_EQ(two.size(), QSize(2 * size, 2 * size)) << id;
            // Drawn, not blank.
            QImage img = two.toImage();
            int inked = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) inked += qAlpha(img.pixel(x, y)) > 128;
            EXPECT_GT(inked, 4 * size) << id;
        }
    }
    EXPECT_TRUE(toolbar_icon(1, true).isNull());
}
