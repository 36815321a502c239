// The 3D Text command in a real window system (run under xvfb-run): the dialog
// answered by the modal hook, the outline following the pointer, one click placing
// the solid letters; screenshots of the preview and of the placed text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "tests/commands/scene_rings.h"
#include "../app/app_session.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/text3d.h"
#include "model/db/solid.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

namespace {

std::string g_dir;

TEST(Text3dGui, PreviewFollowsThePointerAndAClickPlacesTheLetters) {
    g_text3d_font = TextFontRecord{};
    g_text3d_font.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(gui_start(*app));
    CSView* v = app->main_frame()->active_view();
    ASSERT_NE(v, nullptr);
    // Letters a quarter of the window high, a quarter of that deep.
    const double h = 0.25 * v->viewport()->height() / v->view()->projection.scale;
    g_draw3d.font_height = h;
    g_draw3d.font_depth = h / 4;
    g_draw3d.font_chamfer = h / 40;
    draw3d_set_text("Zelo");
    int shown = 0;
    platform_set_modal_hook([&](CDialog& d) { d.press(++shown == 1 ? IDOK : IDCANCEL); });
    auto at = [v](double fx, double fy) {
        return QPoint(int(v->viewport()->width() * fx), int(v->viewport()->height() * fy));
    };
    gui_schedule({[&] { QTest::mouseMove(v->viewport(), at(0.15, 0.6)); },
                  [&] { QTest::mouseMove(v->viewport(), at(0.2, 0.6)); },
                  [] { gui_screenshot("text3d_preview"); },
                  [&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at(0.2, 0.6)); }});
    v->OnCmdMsg(kCmdText3D, nullptr);
    gui_settle();
    gui_screenshot("text3d_placed");
    EXPECT_EQ(shown, 2);
    MODEL* m = v->document()->drawing();
    auto* layer = rtc_cast<LAYER>(m->first_child());
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->children, nullptr);
    auto* group = rtc_cast<CONTAINER>(static_cast<ZOBJ*>(layer->children));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(scene_children_of<MESH3>(group).size(), 4u);
    EXPECT_EQ(m->undo_levels, 1);
    platform_set_modal_hook(nullptr);
    app_session_end(app, &gui_settle);
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_text3d_gui", &g_dir);
}
