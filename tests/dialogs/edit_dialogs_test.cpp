// The editing dialogs driven through the modal hook: result codes of OK, Cancel and
// "All", the settings they store, and what they write into the edited records.
// With ZELO_SHOT_DIR set, each dialog is also saved there as a PNG when it opens.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <cmath>
#include <cstdlib>
#include <string>

#include "dialogs/edit_dialogs.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/math/scalar.h"
#include "model/services/prefs.h"
#include "platform/modal.h"

namespace {

class EditDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        saved_ = g_prefs;
        model_ = rtc_make<MODEL>();
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        g_prefs = saved_;
    }
    // Runs `drive` on the dialog when it opens (after saving its picture).
    void script(const char* shot, std::function<void(CDialog&)> drive) {
        platform_set_modal_hook([shot, drive](CDialog& d) {
            if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
                d.adjustSize();
                d.grab().save(QString::fromStdString(std::string(dir) + "/" + shot + ".png"));
            }
            drive(d);
        });
    }
    static void tick(CDialog& d, int id, bool on) {
        auto* c = qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
        ASSERT_NE(c, nullptr) << id;
        c->setChecked(on);
    }
    Preferences saved_;
    std::unique_ptr<MODEL> model_;
};

TEST_F(EditDialogs, TransformOptionsStoreTheirSettingsOnOkOnly) {
    struct Case {
        int kind;
        const char* caption;
        int press;
        int want_options;
    };
    for (const Case& c : {Case{kKindRotate, "Rotate", IDOK, 3}, Case{kKindMirror, "Mirror", IDOK, 3},
                          Case{kKindStretch, "Stretch", IDOK, 3}, Case{kKindRotate, "Rotate", IDCANCEL, 0}}) {
        SCOPED_TRACE(c.caption);
        g_prefs = saved_;
        g_prefs.rotation_mode = 14;
        const std::string shot = std::string("transform_options_") + c.caption;
        script(shot.c_str(), [&](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), c.caption);
            EXPECT_EQ(d.GetDlgItem(kIdcFirst + 2) != nullptr, c.kind == kKindRotate);
            tick(d, kIdcFirst, true);       // delete parents
            tick(d, kIdcFirst + 4, false);  // do not show again
            if (c.kind == kKindRotate) tick(d, kIdcFirst + 3, false);  // base point not asked
            d.press(c.press);
        });
        CTransformOptionsDlg dlg(nullptr, c.kind);
        const int r = dlg.DoModal();
        EXPECT_EQ(r, c.press);
        EXPECT_EQ(r == IDOK ? dlg.options() : 0, c.want_options);
        const bool ok = c.press == IDOK;
        EXPECT_EQ(g_prefs.delete_parents, ok ? 1 : 0);
        const int quiet = c.kind == kKindRotate ? g_prefs.turn : c.kind == kKindMirror ? g_prefs.mirror : g_prefs.resize;
        EXPECT_EQ(quiet, ok ? 1 : 0);
        EXPECT_EQ(g_prefs.rotation_mode, ok && c.kind == kKindRotate ? 1 | 2 : 14);
    }
}

TEST_F(EditDialogs, SelectCriteriaOkAllAndCancel) {
    PickWindow crit;
    crit.flags = kPickWindow;
    struct Case {
        int press;
        int want;
    };
    for (const Case& c : {Case{IDOK, IDOK}, Case{kIdcAll, kIdcAll}, Case{IDCANCEL, IDCANCEL}}) {
        crit.flags = kPickWindow;
        script("select_criteria", [&](CDialog& d) {
            EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.GetDlgItem(kIdcFirst + 2))->isChecked());  // window
            tick(d, kIdcFirst + 4, true);   // fence
            tick(d, kIdcFirst + 10, true);  // colour filter
            d.SetDlgItemText(kIdcFirst + 11, "5");
            d.press(c.press);
        });
        CSelectCriteriaDlg dlg(nullptr, model_.get(), &crit);
        EXPECT_EQ(dlg.DoModal(), c.want);
        if (c.press == IDCANCEL) {
            EXPECT_EQ(crit.flags, kPickWindow);
        } else {
            EXPECT_EQ(crit.flags, kPickFence | kPickColour);
            EXPECT_EQ(crit.colour, 5);
            EXPECT_EQ(crit.layer, model_->children);  // the first layer
        }
    }
}

TEST_F(EditDialogs, ChangeWhatIsPreTickedAndStored) {
    for (bool line : {false, true}) {
        SCOPED_TRACE(line);
        g_prefs.change_material = kMatApplyColour | kMatApplyShininess;
        g_prefs.change_linepat = 1 | 2;
        script(line ? "change_what_line" : "change_what", [&](CDialog& d) {
            // The first check is Colour (materials) or Width (lines): ticked.
            EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.GetDlgItem(kIdcFirst))->isChecked());
            tick(d, kIdcFirst, false);
            d.press(IDOK);
        });
        int32_t mask = 0;
        CChangeWhatDlg dlg(nullptr, line, &mask);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(mask, line ? 2 : kMatApplyShininess);
        EXPECT_EQ(line ? g_prefs.change_linepat : g_prefs.change_material, mask);
        script("change_what_cancel", [](CDialog& d) { d.press(IDCANCEL); });
        int32_t kept = 77;
        CChangeWhatDlg again(nullptr, line, &kept);
        EXPECT_EQ(again.DoModal(), IDCANCEL);
        EXPECT_EQ(kept, 77);
    }
}

TEST_F(EditDialogs, ChooseLayerAndLineStyle) {
    auto second = rtc_make<LAYER>();
    LAYER* l2 = second.get();
    ASSERT_EQ(model_hook_add_layer_default(model_.get(), second.release(), "Walls"), 0);
    script("choose_layer", [](CDialog& d) {
        auto* box = qobject_cast<QComboBox*>(d.GetDlgItem(kIdcFirst + 1));
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->currentText().toStdString(), "Walls");  // preselected
        d.press(IDOK);
    });
    CChooseLayerDlg layers(nullptr, model_.get(), l2);
    EXPECT_EQ(layers.DoModal(), IDOK);
    EXPECT_EQ(layers.chosen(), l2);

    auto font = rtc_make<FONTPATT>();
    font->set_string(0, "Mono");
    model_insert_patt(model_.get(), font.release());
    StyleValues v;
    v.width = 0.5;
    std::snprintf(v.text, sizeof v.text, "old");
    script("line_style_font", [](CDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(kIdcFirst + 31), "old");
        d.SetDlgItemText(kIdcFirst + 31, "new text");
        d.SetDlgItemText(kIdcFirst + 17, "2.5");  // height
        d.press(IDOK);
    });
    CLineStyleDlg style(nullptr, model_.get(), &FONTPATT::rtc_class, &v);
    EXPECT_EQ(style.DoModal(), IDOK);
    EXPECT_STREQ(v.text, "new text");
    EXPECT_DOUBLE_EQ(v.params[3], 2.5);
    ASSERT_NE(v.pattern, nullptr);
    EXPECT_STREQ(v.pattern->name(), "DEFAULT");  // the first font of the drawing
    for (const RtcClass* cls : {&LINEPATT::rtc_class, &HATCHPATT::rtc_class}) {
        StyleValues w;
        script(cls == &LINEPATT::rtc_class ? "line_style_line" : "line_style_hatch", [](CDialog& d) {
            d.press(IDOK);
        });
        CLineStyleDlg dlg(nullptr, model_.get(), cls, &w);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        if (cls == &HATCHPATT::rtc_class) { EXPECT_EQ(w.pattern, nullptr); }  // solid
    }
}

TEST_F(EditDialogs, CameraLightAndMaterialSheets) {
    auto cam = rtc_make<CAMERA>();
    cam->lens = 1.5;
    script("camera_settings", [](CDialog& d) {
        d.SetDlgItemText(kIdcFirst + 11, "2");
        d.press(IDCANCEL);
    });
    EXPECT_EQ(CCameraSettingsDlg(nullptr, cam.get()).DoModal(), IDCANCEL);
    EXPECT_DOUBLE_EQ(cam->lens, 1.5);
    script("camera_settings", [](CDialog& d) {
        d.SetDlgItemText(kIdcFirst + 11, "2");
        d.press(IDOK);
    });
    EXPECT_EQ(CCameraSettingsDlg(nullptr, cam.get()).DoModal(), IDOK);
    EXPECT_DOUBLE_EQ(cam->lens, 2);
    // The focal-blur aperture: a negative or infinite one keeps the dialog open; Cancel
    // keeps the old one, OK stores the new one.
    for (int button : {IDCANCEL, IDOK}) {
        script("camera_settings", [button](CDialog& d) {
            EXPECT_EQ(std::stod(d.GetDlgItemText(kIdcFirst + 13)), 0);
            for (const char* bad : {"-1", "1e39", "inf"}) {
                d.SetDlgItemText(kIdcFirst + 13, bad);
                d.press(IDOK);
                EXPECT_FALSE(d.ended()) << bad;
            }
            d.SetDlgItemText(kIdcFirst + 13, "0.75");
            d.press(button);
        });
        EXPECT_EQ(CCameraSettingsDlg(nullptr, cam.get()).DoModal(), button);
        EXPECT_EQ(cam->aperture(), button == IDOK ? 0.75f : 0.0f);
    }

    auto light = rtc_make<LIGHT>();
    script("light_settings", [](CDialog& d) {
        d.SetDlgItemText(kIdcFirst + 3, "0.5");
        d.press(IDOK);
    });
    EXPECT_EQ(CLightSettingsDlg(nullptr, light.get()).DoModal(), IDOK);
    EXPECT_FLOAT_EQ(light->light_colour[0], 0.5f);

    // A spot light's dialog also edits its target and cone angles (degrees, stored as
    // cosines); a hot spot wider than the fall-off keeps the dialog open.
    auto spot = rtc_make<SPOTLITE>();
    spot->cone_cos[0] = float(std::cos(15 * kPi / 180));
    spot->cone_cos[1] = float(std::cos(20 * kPi / 180));
    script("spot_light_settings", [](CDialog& d) {
        if (!d.GetDlgItem(kIdcFirst + 15) || !d.GetDlgItem(kIdcFirst + 17)) {
            ADD_FAILURE() << "no cone angles";
            d.press(IDCANCEL);
            return;
        }
        EXPECT_NEAR(std::stod(d.GetDlgItemText(kIdcFirst + 15)), 15, 1e-3);
        EXPECT_NEAR(std::stod(d.GetDlgItemText(kIdcFirst + 17)), 20, 1e-3);
        d.SetDlgItemText(kIdcFirst + 15, "30");
        d.press(IDOK);
        EXPECT_FALSE(d.ended());
        d.SetDlgItemText(kIdcFirst + 15, "10");
        d.SetDlgItemText(kIdcFirst + 17, "35");
        d.SetDlgItemText(kIdcFirst + 11, "4");
        d.press(IDOK);
    });
    EXPECT_EQ(CLightSettingsDlg(nullptr, spot.get()).DoModal(), IDOK);
    EXPECT_NEAR(spot->cone_cos[0], std::cos(10 * kPi / 180), 1e-6);
    EXPECT_NEAR(spot->cone_cos[1], std::cos(35 * kPi / 180), 1e-6);
    EXPECT_FLOAT_EQ(spot->target.x, 4);
    // A position or target beyond the float range went into the drawing as infinity:
    // refused, the dialog stays open.
    for (int field : {kIdcFirst + 7, kIdcFirst + 13}) {
        SCOPED_TRACE(field);
        script("spot_light_settings", [field](CDialog& d) {
            d.SetDlgItemText(field, "1e39");
            d.press(IDOK);
            EXPECT_FALSE(d.ended());
            d.SetDlgItemText(field, "-3e38");
            d.press(IDOK);
        });
        EXPECT_EQ(CLightSettingsDlg(nullptr, spot.get()).DoModal(), IDOK);
        EXPECT_FLOAT_EQ(field == kIdcFirst + 7 ? spot->position.x : spot->target.z, -3e38f);
    }
    script("light_settings_omni", [](CDialog& d) {
        EXPECT_EQ(d.GetDlgItem(kIdcFirst + 15), nullptr);  // no cone for an omni light
        d.press(IDCANCEL);
    });
    EXPECT_EQ(CLightSettingsDlg(nullptr, light.get()).DoModal(), IDCANCEL);

    for (int tmpl : {kDlgMaterialColour, kDlgMaterial, kDlgBackground}) {
        SCOPED_TRACE(tmpl);
        MaterialRecord m;
        material_init(&m);
        int32_t colour = 3;
        const char* shot = tmpl == kDlgMaterialColour ? "material_colour" : tmpl == kDlgMaterial ? "material" : "background";
        script(shot, [tmpl](CDialog& d) {
            d.SetDlgItemText(kIdcFirst + 1, "9");
            EXPECT_EQ(d.GetDlgItem(kIdcFirst + 15) != nullptr, tmpl != kDlgMaterialColour);  // shininess
            if (tmpl != kDlgMaterialColour) d.SetDlgItemText(kIdcFirst + 15, "0.75");
            d.press(IDOK);
        });
        EXPECT_EQ(CMaterialSheetDlg(nullptr, tmpl, &colour, &m).DoModal(), IDOK);
        EXPECT_EQ(colour, 9);
        EXPECT_FLOAT_EQ(m.shininess, tmpl == kDlgMaterialColour ? 0.4f : 0.75f);
        // A value out of range keeps the dialog open: Cancel then changes nothing.
        script("material_bad", [](CDialog& d) {
            d.SetDlgItemText(kIdcFirst + 3, "7");
            d.press(IDOK);
            EXPECT_FALSE(d.ended());
            d.press(IDCANCEL);
        });
        EXPECT_EQ(CMaterialSheetDlg(nullptr, tmpl, &colour, &m).DoModal(), IDCANCEL);
        EXPECT_EQ(colour, 9);
    }
}

}  // namespace
