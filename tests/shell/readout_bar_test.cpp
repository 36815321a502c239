// The readout bar: panes filled from a VIEW, blanks without input, the prompt line.
#include "graphics/view/view.h"
#include "model/db/zobj.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include "shell/core/readout.h"
#include "shell/readout_bar.h"
#include "tests/platform/qt_test_env.h"

TEST(ReadoutBar, FillsItsPanesFromTheView) {
    VIEW view;
    coord_readout_update(&view, 0);  // no bar yet: nothing happens
    QMainWindow frame;
    CReadoutBar* bar = readout_bar_install(&frame);
    ASSERT_EQ(readout_bar(), bar);

    LAYER layer;
    EXPECT_EQ(layer.set_string(0, "Walls"), 0);
    view.current_layer = &layer;
    view.input_mode = 1;
    view.current_colour = 7;
    view.projection.scale = 1.0;
    view.cursor_pixel[0] = 30, view.cursor_pixel[1] = 40;
    coord_readout_update(&view, 0);
    EXPECT_EQ(bar->pane_text(32793), " 30.00");
    EXPECT_EQ(bar->pane_text(32794), " 40.00");
    EXPECT_EQ(bar->pane_text(32797), "r=50.00");
    EXPECT_EQ(bar->pane_text(32800), " 007 ");
    EXPECT_EQ(bar->pane_text(32799), "Layer:\"Walls\"");
    // 53.1301 degrees: the minute it lies in.
    EXPECT_EQ(QString::fromStdString(bar->pane_text(32798)), QString::fromUtf8("a=53\u00B0 7'"));
    // Number panes keep at least 14 digits' width.
    auto* first = bar->findChild<QLabel*>("Pane32793");
    ASSERT_NE(first, nullptr);
    EXPECT_GE(first->width(), 14 * bar->digit_width());

    view.current_layer = nullptr;
    coord_readout_update(&view, 0);
    EXPECT_EQ(bar->pane_text(32799), "Layer:\"\"");

    view.input_mode = 0;
    coord_readout_update(&view, 0);
    for (int id : kReadoutPaneIds) EXPECT_EQ(bar->pane_text(id), " ") << id;

    readout_status_prompt(42114);
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Layer");
}

TEST(ReadoutBar, KeyHelpBarShowsItsText) {
    QMainWindow frame;
    CReadoutBar* help = key_help_bar_install(&frame);
    EXPECT_EQ(help->bar_id(), 15911);
    EXPECT_EQ(help->pane_text(32801).rfind("F1-Help F2-Colour", 0), 0u);
    help->status_pane_set(4242, "unknown pane", 10);  // ignored
    EXPECT_EQ(help->pane_text(4242), "");
}
