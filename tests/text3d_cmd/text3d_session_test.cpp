// The 3D Text command through the scripted-input harness with its dialog answered
// by the modal hook: one click builds a group of glyph meshes at the point, turned to
// the view, as one undo level; Esc at the position shows the dialog again; Cancel
// ends with 0; the dialog refuses size 0, a chamfer above half the depth and a 129th
// character, and takes depth 0. Failures leave the drawing and its history as they
// were, also when a group is current.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <cmath>

#include "commands/input/support.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/text3d.h"
#include "dialogs/text3d_dialog.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/db/undo.h"
#include "model/math/matrix.h"
#include "model/services/msgbox.h"
#include "platform/dialog.h"
#include "scene.h"
#include "../platform/qt_test_env.h"
#include "tests/platform/modal_script.h"

namespace {

struct Boxes {
    std::vector<std::string> texts;
    MsgBoxHook old;
    Boxes() {
        old = msgbox_set_hook([this](const MsgBoxRequest& r) {
            texts.push_back(r.text);
            return kIdOk;
        });
    }
    ~Boxes() { msgbox_set_hook(old); }
};

QLineEdit* edit(CDialog& d, int id) { return qobject_cast<QLineEdit*>(d.GetDlgItem(id + kText3DEditOffset)); }

void fill(CDialog& d, const char* size, const char* depth, const char* chamfer, const std::string& text) {
    edit(d, kIdcText3DSize)->setText(size);
    edit(d, kIdcText3DDepth)->setText(depth);
    edit(d, kIdcText3DChamfer)->setText(chamfer);
    edit(d, kIdcText3DText)->setText(QString::fromStdString(text));
}

struct FontSetup {
    FontSetup() {
        g_draw3d = Draw3DSettings{};
        g_text3d_font = TextFontRecord{};
        g_text3d_font.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        text3d_dialog_install();
    }
    ~FontSetup() { g_text3d_dialog = nullptr; }
};

TEST(Text3dSession, OneClickBuildsAGroupTurnedToTheView) {
    FontSetup setup;
    Harness h;
    h.define(kCmdText3D, scene_command<cmd_text3d>);
    // A view turned about x and y: the text must face it.
    ViewProjection& vp = h.view()->projection;
    mat_rotate_xyz(&vp.view, &vp.inverse, 0.4, -0.3, 0);
    int shown = 0;
    ModalScript s([&](CDialog& d) {
        if (++shown == 1) {
            EXPECT_EQ(d.windowTitle().toStdString(), "3D Text");
            fill(d, "10", "2", "0.2", "AB");
            d.press(IDOK);
        } else {
            d.press(IDCANCEL);
        }
    });
    Vec3 at;
    view_to_world(&vp, {30, 40, 5}, &at);
    h.click(at);
    EXPECT_EQ(h.run(kCmdText3D), 0);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(h.model()->undo_levels, 1);
    EXPECT_EQ(g_draw3d.font_height, 10);
    EXPECT_STREQ(g_draw3d.text, "AB");
    const std::vector<object*> top = scene_children(scene_layer(h.model()));
    ASSERT_EQ(top.size(), 1u);
    ASSERT_TRUE(rtc_is_a(top[0], &CONTAINER::rtc_class));
    const std::vector<object*> glyphs = scene_children(static_cast<CONTAINER*>(top[0]));
    ASSERT_EQ(glyphs.size(), 2u);
    double zmin = 1e30, zmax = -1e30;
    for (ZOBJ* g : glyphs) {
        ASSERT_TRUE(rtc_is_a(g, &MESH3::rtc_class));
        const MESH3* m = static_cast<MESH3*>(g);
        ASSERT_NE(m->material, nullptr);
        EXPECT_TRUE(m->material->flags & kMaterialSmoothByAngle);
        // In view coordinates the letters stand in front of the point, depth 2 behind it.
        for (const MeshFaceBlock* b = m->blocks; b; b = b->next)
            for (const MeshVertex& v : b->vertices) {
                Vec3 p;
                world_to_view(&vp, {v.x, v.y, v.z}, &p);
                EXPECT_GE(p.x, 30 - 1e-3);
                EXPECT_LT(p.x, 30 + 20);
                EXPECT_GE(p.y, 40 - 1e-3);
                EXPECT_LE(p.y, 40 + 10);
                zmin = std::fmin(zmin, p.z), zmax = std::fmax(zmax, p.z);
            }
    }
    // The front face on the view's drawing plane, the depth along the view direction.
    EXPECT_NEAR(zmax - zmin, 2.0, 1e-4);
    // One undo step takes the whole text away.
    cmd_undo(h.view());
    EXPECT_TRUE(scene_children(scene_layer(h.model())).empty());
}

TEST(Text3dSession, EscShowsTheDialogAgainCancelEnds) {
    FontSetup setup;
    Harness h;
    h.define(kCmdText3D, scene_command<cmd_text3d>);
    int shown = 0;
    ModalScript s([&](CDialog& d) {
        if (++shown <= 2) {
            fill(d, "10", "0", "0", "Zelo");  // depth 0: flat text is accepted
            d.press(IDOK);
            EXPECT_TRUE(d.ended());
        } else {
            d.press(IDCANCEL);
        }
    });
    h.esc().esc();
    EXPECT_EQ(h.run(kCmdText3D), 0);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_TRUE(scene_children(scene_layer(h.model())).empty());
    EXPECT_EQ(h.view()->input_mode, 0);
    EXPECT_NE(std::find(h.prompts.begin(), h.prompts.end(), int(kPromptTextPosition)), h.prompts.end());
}

// 128 characters of two or three bytes each: the whole text is built, the second
// run of the dialog offers it whole, and only the "3DText" setting is cut (on a
// character boundary, so the settings file stays UTF-8 text).
TEST(Text3dSession, LongTextIsBuiltWholeOnlyTheSettingIsCut) {
    struct Case {
        const char* character;
        size_t stored;  // whole characters that fit the 255 bytes of the setting
    } cases[] = {{"\xE2\x82\xAC", 85}, {"\xC3\xA9", 127}};  // euro sign, e acute
    for (const Case& c : cases) {
        SCOPED_TRACE(c.character);
        FontSetup setup;
        Harness h;
        h.define(kCmdText3D, scene_command<cmd_text3d>);
        std::string typed;
        for (int i = 0; i < 128; ++i) typed += c.character;
        std::string offered;
        int shown = 0;
        ModalScript s([&](CDialog& d) {
            if (++shown == 1) {
                fill(d, "1", "0", "0", typed);
                d.press(IDOK);
            } else {
                offered = edit(d, kIdcText3DText)->text().toStdString();
                d.press(IDCANCEL);
            }
        });
        h.click({0, 0, 0});
        EXPECT_EQ(h.run(kCmdText3D), 0);
        const std::vector<object*> top = scene_children(scene_layer(h.model()));
        ASSERT_EQ(top.size(), 1u);
        EXPECT_EQ(scene_children(static_cast<CONTAINER*>(top[0])).size(), 128u);
        EXPECT_EQ(offered, typed);
        std::string stored;
        for (size_t i = 0; i < c.stored; ++i) stored += c.character;
        EXPECT_EQ(std::string(g_draw3d.text), stored);
        EXPECT_EQ(text3d_current_text(), typed);
    }
}

TEST(Text3dDialog, RangesAndTheTextLimit) {
    FontSetup setup;
    Boxes boxes;
    struct Case {
        const char *size, *depth, *chamfer;
        bool ok;
    } cases[] = {
        {"0", "2", "0", false},      // size 0 refused
        {"10", "0", "0", true},      // depth 0 accepted
        {"10", "2", "1", true},      // chamfer of half the depth
        {"10", "2", "1.5", false},   // a chamfer above half the depth folds the letters
        {"10", "2", "-0.1", false},  // so does a negative one
        {"10", "20000", "0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.size) + " " + c.depth + " " + c.chamfer);
        bool ended = false;
        ModalScript s([&](CDialog& d) {
            fill(d, c.size, c.depth, c.chamfer, "x");
            d.press(IDOK);
            ended = d.ended();
            if (!ended) d.press(IDCANCEL);
        });
        char text[256] = "old";
        double h = 1, dd = 1, ch = 0;
        TextFontRecord font;
        EXPECT_EQ(text3d_dialog(nullptr, g_draw3d.font, sizeof g_draw3d.font, text, sizeof text, &font, &h, &dd, &ch),
                  c.ok);
        EXPECT_EQ(ended, c.ok);
        EXPECT_STREQ(text, c.ok ? "x" : "old");  // written back on OK only
    }
    // 128 characters fit, the 129th is refused by the edit.
    std::string got;
    ModalScript s([&](CDialog& d) {
        fill(d, "10", "2", "0", std::string(129, 'w'));
        got = edit(d, kIdcText3DText)->text().toStdString();
        // The family list holds TrueType faces only, DejaVu Sans among them.
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(kIdcText3DFamilies));
        ASSERT_NE(list, nullptr);
        EXPECT_FALSE(list->findItems("DejaVu Sans", Qt::MatchExactly).isEmpty());
        if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
            edit(d, kIdcText3DText)->setText("Zelo");
            d.grab().save(QDir(dir).filePath("text3d_dialog.png"));
        }
        d.press(IDOK);
    });
    char text[256] = "";
    double h = 1, dd = 1, ch = 0;
    TextFontRecord font;
    ASSERT_TRUE(text3d_dialog(nullptr, g_draw3d.font, sizeof g_draw3d.font, text, sizeof text, &font, &h, &dd, &ch));
    EXPECT_EQ(got.size(), 128u);
    EXPECT_FALSE(font.file.empty());  // the chosen face is resolved
}

TEST(Text3dDialog, ChosenFaceLandsInTheSharedRecord) {
    FontSetup setup;
    ModalScript s([](CDialog& d) {
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(kIdcText3DFamilies));
        auto* styles = qobject_cast<QListWidget*>(d.GetDlgItem(kIdcText3DStyles));
        ASSERT_TRUE(list && styles);
        const auto fam = list->findItems("DejaVu Serif", Qt::MatchExactly);
        ASSERT_FALSE(fam.isEmpty());
        list->setCurrentItem(fam[0]);
        const auto bold = styles->findItems("Bold", Qt::MatchExactly);
        ASSERT_FALSE(bold.isEmpty());
        styles->setCurrentItem(bold[0]);
        fill(d, "10", "2", "0", "x");
        d.press(IDOK);
    });
    char text[256] = "";
    double h = 1, dd = 1, ch = 0;
    TextFontRecord font;
    ASSERT_TRUE(text3d_dialog(nullptr, g_draw3d.font, sizeof g_draw3d.font, text, sizeof text, &font, &h, &dd, &ch));
    EXPECT_EQ(font.family, "DejaVu Serif");
    EXPECT_EQ(font.style, "Bold");
    EXPECT_NE(font.file.find("DejaVuSerif-Bold"), std::string::npos) << font.file;
    // The stored face name is kept, not taken from the dialog.
    EXPECT_STREQ(g_draw3d.font, "<INTERNAL>");
}

TEST(Text3dPlace, FailuresLeaveDrawingAndHistory) {
    FontSetup setup;
    Harness h;
    Boxes boxes;
    MODEL* m = h.model();
    // The user's last action: a line, one undo level.
    auto line = rtc_make<XPLINE>();
    line->control = scene_plist({{0, 0, 0}, {5, 5, 0}});
    ASSERT_EQ(drawing_add_object(h.view(), std::move(line), 1), 0);
    ASSERT_EQ(m->undo_levels, 1);
    struct Case {
        const char* what;
        std::string file;
        double H, D, C;
        int code;
        const char* message;
    } cases[] = {
        {"chamfer above half the depth", g_text3d_font.file, 10, 1, 0.6, 34, "Chamfer size is too large"},
        {"negative chamfer", g_text3d_font.file, 10, 1, -0.1, 34, "Chamfer size is too large"},
        {"chamfer folding the letter", g_text3d_font.file, 10, 8, 3, 34, "Chamfer size is too large"},
        {"font that cannot be opened", "/nonexistent.ttf", 10, 1, 0, 13, "Can't open file..."},
        {"size 0", g_text3d_font.file, 0, 1, 0, 13, nullptr},
    };
    for (bool group_current : {false, true}) {
        CONTAINER* current = nullptr;
        LAYER* layer = h.view()->current_layer;
        if (group_current) {
            auto g = rtc_make<CONTAINER>();
            current = g.get();
            ASSERT_EQ(drawing_add_object(h.view(), std::move(g), 1), 0);
            h.view()->current_layer = reinterpret_cast<LAYER*>(current);
        }
        const int levels = m->undo_levels;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (group_current ? " (group current)" : ""));
            boxes.texts.clear();
            TextFontRecord f;
            f.file = c.file;
            const size_t before = scene_children(scene_layer(m)).size();
            EXPECT_EQ(text3d_place(h.view(), {0, 0, 0}, f, "B8", c.H, c.D, c.C), c.code);
            ASSERT_EQ(boxes.texts.size(), c.message ? 1u : 0u);
            if (c.message) { EXPECT_EQ(boxes.texts[0], c.message); }
            EXPECT_EQ(m->undo_levels, levels);
            EXPECT_EQ(scene_children(scene_layer(m)).size(), before);
            if (current) { EXPECT_TRUE(scene_children(current).empty()); }
        }
        // A good text inside the current group goes in without an undo level.
        if (group_current) {
            EXPECT_EQ(text3d_place(h.view(), {0, 0, 0}, g_text3d_font, "B8", 10, 1, 0.1), 0);
            EXPECT_EQ(m->undo_levels, levels);
            ASSERT_EQ(scene_children(current).size(), 1u);
            EXPECT_EQ(scene_children(static_cast<CONTAINER*>(scene_children(current)[0])).size(), 2u);
        }
        h.view()->current_layer = layer;
    }
    // Nothing at all for an empty text.
    EXPECT_EQ(text3d_place(h.view(), {0, 0, 0}, g_text3d_font, "", 10, 1, 0), 0);
    EXPECT_EQ(text3d_error_text(77), "Unknown error  #77\n");
}

}  // namespace
