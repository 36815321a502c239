// The dialogs of the 2D drawing commands driven through the modal hook: the method
// choice (picture buttons, id = method + 100, Cancel stores nothing), the polygon
// count within 3 to 100, the text settings and the hatch style; and the commands
// answered by the real dialogs through the options key and the end of a contour.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QPushButton>

#include "../platform/qt_test_env.h"
#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/draw2d.h"
#include "dialogs/draw2d_dialogs.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/font/strokefont.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "scene.h"
#include "tests/platform/modal_script.h"

namespace {

TEST(MethodDialog, PictureButtonsChooseCancelStoresNothing) {
    const uint32_t choices[6] = {43950, 43951, 43952, 43953, 43954, 43955};
    int seen = 0;
    {
        ModalScript script([&](CDialog& d) {
            ++seen;
            EXPECT_EQ(d.windowTitle().toStdString().find("Line") != std::string::npos, true);
            for (int i = 0; i < 6; ++i) {
                auto* b = qobject_cast<QPushButton*>(d.GetDlgItem(100 + i));
                ASSERT_NE(b, nullptr);
                EXPECT_FALSE(b->icon().isNull());
                EXPECT_EQ(b->isChecked(), i == 4);
            }
            EXPECT_EQ(qobject_cast<QPushButton*>(d.GetDlgItem(101))->toolTip().toStdString(), "Connected segments");
            if (std::getenv("ZELO_SHOT_DIR"))
                d.grab().save(QDir(std::getenv("ZELO_SHOT_DIR")).filePath("method_line.png"));
            d.press(102);
        });
        EXPECT_EQ(method_dialog_run(nullptr, 40324, choices, 6, 4), 2);
    }
    {
        ModalScript script([](CDialog& d) { d.press(IDCANCEL); });
        EXPECT_EQ(method_dialog_run(nullptr, 40325, choices, 5, 0), -1);
    }
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(method_dialog_run(nullptr, 40324, choices, 0, 0), -1);
}

struct DialogScene {
    std::unique_ptr<FONTPATT> spare = rtc_make<FONTPATT>();
    Harness h;
    Draw2dDialogs* previous = draw2d_dialogs();
    std::vector<std::string> boxes;
    MsgBoxHook old_box = msgbox_set_hook([this](const MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return kIdOk;
    });
    DialogScene() {
        draw2d_dialogs_install();
        h.view()->projection.scale = 10;
    }
    ~DialogScene() {
        draw2d_set_dialogs(previous);
        msgbox_set_hook(old_box);
    }
};

TEST(PolygonDialog, CountHeldToItsRangeThroughTheOptionsKey) {
    DialogScene s;
    s.h.define(kCmdRegularPolygon, scene_command<cmd_regular_polygon>);
    int shown = 0;
    ModalScript script([&](CDialog& d) {
        ++shown;
        EXPECT_EQ(d.GetDlgItemText(kIdcPolygonCount), "6");
        d.SetDlgItemText(kIdcPolygonCount, "101");
        d.press(IDOK);  // refused: the dialog stays
        EXPECT_FALSE(d.ended());
        d.SetDlgItemText(kIdcPolygonCount, "5");
        d.press(IDOK);
    });
    s.h.options().click({10, 9, 0}).click({10, 12, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdRegularPolygon), -1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(s.boxes.size(), 1u);  // the range message
    EXPECT_EQ(s.h.view()->polygon_count, 5);
    EXPECT_EQ(s.h.shown_prompts(), (std::vector<int>{42096, 42096, 42097, 42096}));
}

TEST(PolygonDialog, ShowsTheLargestCountAsWritten) {
    DialogScene s;
    s.h.define(kCmdRegularPolygon, scene_command<cmd_regular_polygon>);
    s.h.view()->polygon_count = 100;
    std::string shown;
    ModalScript script([&](CDialog& d) {
        shown = d.GetDlgItemText(kIdcPolygonCount);
        d.press(IDCANCEL);
    });
    s.h.options().esc();
    EXPECT_EQ(s.h.run(kCmdRegularPolygon), -1);
    EXPECT_EQ(shown, "100");
    EXPECT_EQ(s.h.view()->polygon_count, 100);
}

TEST(TextSettingsDialog, OkWritesTheStyleCancelKeepsIt) {
    DialogScene s;
    VIEW* v = s.h.view();
    v->degrees = 1;
    {
        ModalScript script([](CDialog& d) {
            d.SetDlgItemText(kIdcTextHeight, "0");  // below the least height
            d.press(IDOK);
            d.SetDlgItemText(kIdcTextHeight, "20");
            d.SetDlgItemText(kIdcTextSlope, "90");
            d.press(IDOK);
        });
        EXPECT_TRUE(text_settings_dialog(v));
    }
    EXPECT_DOUBLE_EQ(v->text_height, 20);
    EXPECT_NEAR(v->text_slope, kPi / 2, 1e-9);
    {
        ModalScript script([](CDialog& d) {
            d.SetDlgItemText(kIdcTextHeight, "3");
            d.press(IDCANCEL);
        });
        EXPECT_FALSE(text_settings_dialog(v));
    }
    EXPECT_DOUBLE_EQ(v->text_height, 20);
}

TEST(HatchStyleDialog, PatternNoneScaleAngleAndCancelAtTheEndOfAContour) {
    DialogScene s;
    VIEW* v = s.h.view();
    s.h.define(kCmdHatch, scene_command<cmd_hatch>);
    auto patt = rtc_make<HATCHPATT>();
    patt->set_string(0, "Bricks");
    HATCHPATT* bricks = patt.get();
    ASSERT_EQ(model_insert_patt(s.h.model(), patt.release()), 1);
    {
        ModalScript script([](CDialog& d) {
            auto* box = qobject_cast<QComboBox*>(d.GetDlgItem(kIdcHatchPattern));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->itemText(0).toStdString(), "(none)");
            box->setCurrentIndex(box->findText("Bricks"));
            d.SetDlgItemText(kIdcHatchScale, "2.5");
            d.SetDlgItemText(kIdcHatchAngle, "45");
            d.press(IDOK);
        });
        EXPECT_EQ(hatch_style_settings(v), 0);
    }
    EXPECT_EQ(v->current_hatch, bricks);
    EXPECT_DOUBLE_EQ(v->hatch_scale, 2.5);
    EXPECT_NEAR(v->hatch_angle, kPi / 4, 1e-9);
    // Cancel at the end of a contour: no hatch.
    ModalScript script([](CDialog& d) { d.press(IDCANCEL); });
    s.h.click({1, 1, 0}).click({9, 1, 0}).click({9, 9, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdHatch), 0);
    LAYER* l = scene_layer(s.h.model());
    EXPECT_EQ(l->children, nullptr);
}

}  // namespace
