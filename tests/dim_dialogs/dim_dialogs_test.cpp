// The dimension dialogs driven through the modal hook: the text dialog shows the
// degree sign and only the part behind a diameter sign, enables the tolerance edits
// by their switches and gives the edited text back in the stroke font's code page;
// the settings dialog shows millimetres as inches, checks no button for a style
// outside its row, and its OK reaches the VIEW. With ZELO_SHOT_DIR set, each dialog
// is also written there as a PNG.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdlib>

#include "commands/dimension/dim_geometry.h"
#include "commands/dimension/dim_settings.h"
#include "dialogs/dim_dialogs.h"
#include "graphics/view/view.h"
#include "model/rtc/rtc.h"
#include "model/services/prefs.h"
#include "../platform/qt_test_env.h"
#include "tests/platform/modal_script.h"

namespace {

void shot(CDialog& d, const char* name) {
    if (const char* dir = std::getenv("ZELO_SHOT_DIR")) d.grab().save(QDir(dir).filePath(name));
}

std::string edit_text(CDialog& d, int id) {
    auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(id));
    return e ? e->text().toStdString() : "<none>";
}
void set_edit(CDialog& d, int id, const char* text) {
    if (auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(id))) e->setText(QString::fromUtf8(text));
}

class DimDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            rtc_register_all();
            view_type_register();
            registered = true;
        }
        view_ = rtc_make<VIEW>();
        dim_dialogs_install();
        g_prefs.dimension = 0;
        for (auto* set : {dim_set_text_mode, dim_set_arrows, dim_set_leader, dim_set_dframe, dim_set_lframe}) set(0);
    }
    void TearDown() override {
        dim_set_text_dialog(nullptr);
        dim_set_settings_dialog(nullptr);
        g_prefs.dimension = 0;
    }
    std::unique_ptr<VIEW> view_;
};

TEST_F(DimDialogs, AngleTextShowsTheDegreeSignAndReturnsByteSeven) {
    std::string text, lower, upper;
    ModalScript script([&](CDialog& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Angle ( deg )");
        EXPECT_EQ(edit_text(d, kIdcDimText), "20\xC2\xB0 0'");
        EXPECT_TRUE(d.IsDlgButtonChecked(kIdcDimQuery));
        d.CheckDlgButton(kIdcDimLowerOn, false);
        EXPECT_FALSE(d.GetDlgItem(kIdcDimLower)->isEnabled());
        EXPECT_TRUE(d.GetDlgItem(kIdcDimUpper)->isEnabled());
        set_edit(d, kIdcDimText, "45\xC2\xB0 30'");
        set_edit(d, kIdcDimUpper, "+0\xC2\xB0 5'");
        shot(d, "dim_text_313.png");
        d.press(IDOK);
    });
    ASSERT_EQ(dim_text_query(view_.get(), 20 * 3.14159265358979 / 180, 7, &text, &lower, &upper), 1);
    EXPECT_EQ(text, "45\x07 30'");
    EXPECT_EQ(upper, "+0\x07 5'");
    EXPECT_EQ(lower, "");
    EXPECT_EQ(view_->dimension_words[kDimLowerTolerance], 0);
}

TEST_F(DimDialogs, DiameterEditsBehindTheSignAndCancelEndsTheDimension) {
    std::string text, lower, upper;
    {
        ModalScript script([&](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Diameter ( mm )");
            EXPECT_EQ(edit_text(d, kIdcDimText), "20.00");
            d.press(IDOK);
        });
        ASSERT_EQ(dim_text_query(view_.get(), 20, 5, &text, &lower, &upper), 1);
        EXPECT_EQ(text, "\x04" "20.00");
    }
    ModalScript script([&](CDialog& d) { d.press(IDCANCEL); });
    EXPECT_EQ(dim_text_query(view_.get(), 20, 5, &text, &lower, &upper), 0);
}

TEST_F(DimDialogs, SettingsInInchesReachTheView) {
    view_->length_unit = 1;
    dim_set_arrows(3);
    ModalScript script([&](CDialog& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Dimension settings");
        EXPECT_EQ(edit_text(d, kIdcDimTextHeight), "0.19685");
        EXPECT_TRUE(d.IsDlgButtonChecked(kIdcDimArrowsFirst + 3));
        EXPECT_TRUE(d.IsDlgButtonChecked(kIdcDimStyleFirst));
        EXPECT_TRUE(d.IsDlgButtonChecked(kIdcDimLeaderFirst));  // the leader row is its own group
        shot(d, "dim_settings_314.png");
        set_edit(d, kIdcDimTextHeight, "1");
        d.CheckDlgButton(kIdcDimFrameFirst + 2, true);
        d.CheckDlgButton(kIdcDimStyleFirst + 2, true);
        d.CheckDlgButton(kIdcDimQuery, false);
        d.press(IDOK);
    });
    dim_settings_edit(view_.get());
    EXPECT_NEAR(view_->dimension_values[kDimTextHeight], 25.4, 1e-9);
    EXPECT_NEAR(view_->dimension_values[kDimTextWidth], 15.698393077, 1e-8);
    EXPECT_EQ(dim_get_dframe(), 2);
    EXPECT_EQ(dim_get_arrows(), 3);
    EXPECT_EQ(dim_get_text_mode(), 1);
    EXPECT_EQ(g_prefs.dimension, 1);
}

TEST_F(DimDialogs, StylesFromTheFileOutsideTheirRowsCheckNothingAndStay) {
    // The settings file is read without the setters' bounds.
    dim_set_lframe(0);
    ModalScript script([&](CDialog& d) {
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(d.IsDlgButtonChecked(kIdcDimLFrameFirst + i));
        set_edit(d, kIdcDimTextHeight, "-1");  // out of range: the dialog stays open
        d.press(IDOK);
        set_edit(d, kIdcDimTextHeight, "5");
        d.press(IDOK);
    });
    DimSettingsValues v = dim_settings_load(view_.get());
    v.lframe = -1;  // as a row value outside 0..3 shows
    bool ok = false;
    {
        CDimSettingsDlg dlg(nullptr, &v);
        ok = dlg.DoModal() == IDOK;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(v.lframe, -1);
    EXPECT_EQ(v.text_height, 5);
}

}  // namespace
