// The polyline editor in a real window system (run under xvfb-run): a fillet made
// with the Fillet tool by a click on a corner; a screenshot of the result.
#include <gtest/gtest.h>

#include <QTest>
#include <functional>

#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "../app/app_session.h"
#include "commands/input/support.h"
#include "commands/pledit/pln_editor.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/db/wire.h"
#include "model/math/plist.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

namespace {

std::string g_dir;

TEST(PleditGui, AFilletRunsRoundTheCornerFromOneLegToTheOther) {
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(gui_start(*app));
    CSView* v = app->main_frame()->active_view();
    ASSERT_NE(v, nullptr);
    VIEW* view = v->view();
    // A right angle with its corner low on the left and legs half the window high.
    const int w = v->viewport()->width(), h = v->viewport()->height();
    const int cx = w * 3 / 10, cy = h * 3 / 10;
    Vec3 corner;
    pixel_to_world(&view->projection, cx, cy, 0, &corner);
    const float leg = float(0.5 * h / view->projection.scale);
    auto line = rtc_make<XPLINE>();
    for (const Vec3& p : {Vec3{corner.x, corner.y + leg, 0}, Vec3{corner.x, corner.y, 0}, Vec3{corner.x + leg, corner.y, 0}})
        ASSERT_EQ(plist_add(&line->control, p), 0);
    ASSERT_EQ(drawing_add_object(view, std::move(line), 1), 0);
    view->values3[kPlnFilletRadius] = leg / 2;
    const QPoint at(cx, h - 1 - cy);
    gui_schedule({[&] { QTest::mouseMove(v->viewport(), at); },
                  [&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at); },
                  [&] { QTest::mouseMove(v->viewport(), at + QPoint(w / 4, -h / 4)); },
                  [] { gui_screenshot("pledit_fillet"); }, [&] { QTest::keyClick(v, Qt::Key_Escape); }});
    v->OnCmdMsg(kCmdFillet, nullptr);
    gui_settle();
    // One polyline: along the first leg, round the corner, along the second leg.
    auto* layer = rtc_cast<LAYER>(v->document()->drawing()->first_child());
    ASSERT_NE(layer, nullptr);
    auto* result = rtc_cast<XPLINE>(static_cast<ZOBJ*>(layer->children));
    ASSERT_NE(result, nullptr);
    int points = 0;
    for (const PointNode* n = result->control; n && n->next; n = n->next, ++points) {
        EXPECT_LE(n->next->x, n->x + 1e-3f) << points;
        EXPECT_GE(n->next->y, n->y - 1e-3f) << points;
    }
    EXPECT_GT(points, 4);
    // The tool ended and freed before the session ends.
    if (app->command_running()) app->PostCmdCode(1);
    while (app->OnIdle(0)) {
    }
    EXPECT_FALSE(app->command_running());
    app_session_end(app, &gui_settle);
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_pledit_gui", &g_dir);
}
