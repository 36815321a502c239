// The render sheet's pages, the light picker and the compressor choice, driven
// through the modal hook. With ZELO_SHOT_DIR set, each page is also saved as a PNG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <cstdlib>
#include <string>

#include "dialogs/render_pages.h"
#include "dialogs/scene_material_editor.h"
#include "dialogs/texture_slot_editor.h"
#include "model/material/material.h"
#include "render/surface/presets.h"
#include "model/services/msgbox.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "tests/platform/qt_test_env.h"

namespace {

class Script {
  public:
    explicit Script(ModalDialogHook hook) : old_(platform_set_modal_hook(std::move(hook))) {}
    ~Script() { platform_set_modal_hook(old_); }

  private:
    ModalDialogHook old_;
};

void shot(QWidget* w, const char* name) {
    if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
        w->show();
        QApplication::processEvents();
        w->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
    }
}

void type(CDialog& d, int id, const char* text) { static_cast<QLineEdit*>(d.GetDlgItem(id))->setText(text); }

CPropSheet& sheet_of(CDialog& d) { return static_cast<CPropSheet&>(d); }

const std::vector<RenderCameraChoice> kCameras = {{"Still", 1.2071, 1}, {"Flyby", 1.0, 30}};

TEST(RenderSheet, FillsFromTheSettingsAndStoresOnOk) {
    RenderSettings s;
    s.flags = 0x80 | 0x800;  // no method: the fifth button
    s.gamma = 20;
    RenderJobOptions o;
    o.size_mode = 12;
    std::vector<int> shown;
    Script script([&](CDialog& d) {
        CPropSheet& sh = sheet_of(d);
        auto* page = static_cast<CRenderPage*>(sh.page(0));
        shot(&d, "render_page");
        EXPECT_TRUE(page->IsDlgButtonChecked(2151));
        EXPECT_TRUE(page->IsDlgButtonChecked(2166));
        EXPECT_EQ(static_cast<QComboBox*>(page->GetDlgItem(2208))->currentIndex(), 10);
        EXPECT_EQ(page->GetDlgItemText(2199), "736");
        EXPECT_FALSE(page->GetDlgItem(2199)->isEnabled());
        EXPECT_EQ(page->GetDlgItemText(2207), "1");
        type(*page, 2207, "0.05");
        static_cast<QRadioButton*>(page->GetDlgItem(2153))->setChecked(true);
        d.press(IDOK);
    });
    ASSERT_TRUE(run_render_sheet(nullptr, &s, &o, kCameras, 640, 480, {}));
    EXPECT_FLOAT_EQ(s.gamma, 0.1f);
    EXPECT_EQ(s.flags & 0x8007u, 4u);
    EXPECT_EQ(o.size_mode, 10);
}

TEST(RenderSheet, ACameraDisablesPerspectiveAndOpensTheAnimation) {
    RenderSettings s;
    RenderJobOptions o;
    o.camera_name = "Flyby";
    Script script([&](CDialog& d) {
        CPropSheet& sh = sheet_of(d);
        auto* page = static_cast<CRenderPage*>(sh.page(0));
        EXPECT_FALSE(page->GetDlgItem(2161)->isEnabled());
        EXPECT_FALSE(page->GetDlgItem(2162)->isEnabled());
        EXPECT_EQ(page->GetDlgItemText(2168), "Camera setup");
        auto* combo = static_cast<QComboBox*>(page->GetDlgItem(2165));
        combo->setCurrentIndex(1);
        combo->activated(1);  // "Still": lens 1.2071
        EXPECT_EQ(page->GetDlgItemText(2162), "51");
        ASSERT_TRUE(sh.SetActivePage(1));
        auto* anim = static_cast<CAnimatPage*>(sh.page(1));
        EXPECT_FALSE(anim->GetDlgItem(2171)->isEnabled());  // one frame: no animation
        ASSERT_TRUE(sh.SetActivePage(0));
        combo->setCurrentIndex(2);
        combo->activated(2);  // "Flyby": 30 frames
        ASSERT_TRUE(sh.SetActivePage(1));
        EXPECT_TRUE(anim->GetDlgItem(2171)->isEnabled());
        static_cast<QCheckBox*>(anim->GetDlgItem(2171))->click();
        EXPECT_TRUE(anim->GetDlgItem(2359)->isEnabled());
        type(*anim, 2169, "3");
        type(*anim, 2170, "12");
        static_cast<QRadioButton*>(anim->GetDlgItem(2359))->click();
        ASSERT_TRUE(anim->UpdateData(true));  // the edits lose the focus
        anim->press(2297);  // play: the range is locked
        EXPECT_FALSE(anim->GetDlgItem(2169)->isEnabled());
        anim->press(2296);
        shot(&d, "animation_page");
        d.press(IDOK);
    });
    ASSERT_TRUE(run_render_sheet(nullptr, &s, &o, kCameras, 640, 480, {}));
    EXPECT_EQ(o.camera_name, "Flyby");
    EXPECT_EQ(o.animation, 1);
    EXPECT_EQ(o.first_frame, 3);
    EXPECT_EQ(o.last_frame, 12);
    EXPECT_EQ(o.frame_count, 30);
    EXPECT_EQ(o.output_kind, kOutputFlic);
}

// Playing a one-frame range still takes the drawing window to that frame on the
// timer, with the trackbar at its start.
TEST(RenderSheet, PlayingOneFrameShowsItOnTheTimer) {
    RenderSettings s;
    RenderJobOptions o;
    o.camera_name = "Flyby";
    std::vector<int32_t> frames;
    RenderPageHooks hooks;
    hooks.preview = [&](const RenderPreview& p) { frames.push_back(p.frame); };
    Script script([&](CDialog& d) {
        CPropSheet& sh = sheet_of(d);
        ASSERT_TRUE(sh.SetActivePage(1));
        auto* anim = static_cast<CAnimatPage*>(sh.page(1));
        static_cast<QCheckBox*>(anim->GetDlgItem(2171))->click();
        type(*anim, 2169, "5");
        type(*anim, 2170, "5");
        ASSERT_TRUE(anim->UpdateData(true));
        frames.clear();
        anim->OnMessage(WM_TIMER, CAnimatPage::kTimer, 0);  // stopped: nothing moves
        EXPECT_TRUE(frames.empty());
        anim->press(2297);
        anim->OnMessage(WM_TIMER, CAnimatPage::kTimer, 0);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back(), 4);  // 0-based frame of "5"
        EXPECT_EQ(anim->GetDlgItemText(2173), "5");
        EXPECT_EQ(static_cast<QSlider*>(anim->GetDlgItem(2293))->value(), 0);
        anim->press(2296);
        d.press(IDCANCEL);
    });
    EXPECT_FALSE(run_render_sheet(nullptr, &s, &o, kCameras, 640, 480, hooks));
}

TEST(RenderSheet, OutOfRangeKeepsTheSheetOpen) {
    std::vector<std::string> texts;
    msgbox_set_hook([&](const MsgBoxRequest& box) {
        texts.push_back(box.text);
        return kIdOk;
    });
    RenderSettings s;
    RenderJobOptions o;
    o.size_mode = 0;
    bool still_open = false;
    Script script([&](CDialog& d) {
        auto* page = sheet_of(d).page(0);
        type(*page, 2199, "3");
        d.press(IDOK);
        still_open = !d.ended();
        d.press(IDCANCEL);
    });
    EXPECT_FALSE(run_render_sheet(nullptr, &s, &o, {}, 640, 480, {}));
    msgbox_set_hook(nullptr);
    EXPECT_TRUE(still_open);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Please enter an integer between 4 and 32000.");
}

// The Scene page edits the scene material's fog and background on the sheet's copy:
// OK stores exactly what was set, Cancel or a refused value leaves the settings alone.
TEST(RenderSheet, ScenePageSetsFogAndBackgroundOnOkOnly) {
    texture_presets_install();
    using E = CSceneMaterialEditor;
    struct Case {
        const char* name;
        const char *red, *visibility, *haze;
        int preset;  // background preset row, -1 none
        int button;
        bool stored;
    } cases[] = {
        {"fog", "0.25", "0.4", "0.2", -1, IDOK, true},
        {"sky background", "0.5", "0.9", "0.1", 22, IDOK, true},  // "Sky: Blue I"
        {"cancelled", "0.25", "0.4", "0.2", 22, IDCANCEL, false},
        {"haze out of range", "0.25", "0.4", "2", 22, IDOK, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderSettings s;
        s.material.slots[kSlotTexture].amount = 0.7f;
        RenderJobOptions o;
        bool ended = false;
        Script script([&](CDialog& d) {
            CPropSheet& sh = sheet_of(d);
            ASSERT_EQ(sh.page_count(), 3);
            ASSERT_TRUE(sh.SetActivePage(2));
            CPropPage* page = sh.page(2);
            EXPECT_EQ(page->GetDlgItemText(E::kIdcFogHaze), "0.7");
            type(*page, E::kIdcFogColour, c.red);
            type(*page, E::kIdcFogVisibility, c.visibility);
            type(*page, E::kIdcFogHaze, c.haze);
            if (c.preset >= 0) {
                for (int control : {kSlotKind, kSlotPreset}) {
                    auto* box = static_cast<QComboBox*>(page->GetDlgItem(E::kIdcBackground + control));
                    const int row = control == kSlotKind ? int(kChoiceProcedural) : c.preset;
                    box->setCurrentIndex(row);
                    box->activated(row);
                }
            }
            if (c.stored && c.preset == 22) shot(&d, "render_sheet_scene");
            d.press(c.button);
            ended = d.ended();
            if (!ended) d.press(IDCANCEL);
        });
        EXPECT_EQ(run_render_sheet(nullptr, &s, &o, {}, 640, 480, {}), c.stored);
        EXPECT_EQ(ended, c.button == IDCANCEL || c.stored);
        const MaterialRecord& m = s.material;
        EXPECT_FLOAT_EQ(m.colour[0], c.stored ? std::stof(c.red) : 0.0f);
        EXPECT_FLOAT_EQ(m.slots[kSlotBump].amount, c.stored ? std::stof(c.visibility) : 1.0f);
        // The haze stays the texture slot's amount whatever the background.
        EXPECT_FLOAT_EQ(m.slots[kSlotTexture].amount, c.stored ? std::stof(c.haze) : 0.7f);
        const bool sky = c.stored && c.preset == 22;
        EXPECT_EQ(m.slots[kSlotTexture].kind != kTextureNone, sky);
        if (sky) {
            EXPECT_EQ(m.slots[kSlotTexture].ramp, texture_preset_find_ramp(&kPresetsTexture, -22));
        }
    }
}

TEST(LightPicker, LeftTogglesRightChoosesThroughTheHook) {
    RenderSettings s;
    RenderPageHooks hooks;
    DefaultLightPicker picker(&s, &hooks, nullptr);
    picker.resize(200, 140);
    auto click = [&](int light, Qt::MouseButton b, int dx = 0) {
        const PickerPoint p = light_picker_position(light, 200, 140);
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(p.x + dx, p.y), QPointF(p.x + dx, p.y), b, b, Qt::NoModifier);
        QApplication::sendEvent(&picker, &e);
    };
    click(3, Qt::LeftButton);
    EXPECT_EQ(s.light_mask, 1u << 3);
    click(3, Qt::RightButton);  // no colour chooser installed: nothing
    EXPECT_EQ(s.light_colours[3], 0);
    hooks.choose_colour = [](int32_t* c) {
        *c = 12;
        return true;
    };
    click(5, Qt::RightButton);
    EXPECT_EQ(s.light_colours[5], 12);
    EXPECT_EQ(s.light_mask, (1u << 3) | (1u << 5));
    click(0, Qt::RightButton, 30);  // between two markers
    EXPECT_EQ(s.light_mask, (1u << 3) | (1u << 5));
    s.light_mask = 0x8421;
    shot(&picker, "light_picker");
}

TEST(CompressorChoice, ChoosesOrCancels) {
    {
        Script script([](CDialog& d) {
            shot(&d, "compressor");
            static_cast<QRadioButton*>(d.GetDlgItem(44702))->setChecked(true);
            d.press(IDOK);
        });
        EXPECT_EQ(choose_avi_compressor(nullptr, 0), 1);
    }
    {
        Script script([](CDialog& d) { d.press(IDCANCEL); });
        EXPECT_EQ(choose_avi_compressor(nullptr, 1), -1);
    }
}

}  // namespace
