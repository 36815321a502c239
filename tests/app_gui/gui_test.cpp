// The program in a real window system (run under xvfb-run), driven as a new user
// would: start, a command button, clicks in the canvas, Esc, Save As, close,
// reopen; Ctrl+F4 while a step waits; two tiled windows for the screenshot. Run it
// also with QT_SCALE_FACTOR=2: clicks land on the same drawing points.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <cmath>
#include <filesystem>
#include <functional>

#include "app/startup/window_side.h"
#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "tests/commands/scene_rings.h"
#include "../app/app_session.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/pledit/pln_editor.h"
#include "dialogs/pln_dialog.h"
#include "graphics/view/canvas.h"
#include "model/db/wire.h"
#include "model/math/plist.h"
#include "model/services/profile.h"
#include "platform/app.h"
#include "platform/file_choice.h"
#include "platform/modal.h"
#include "platform/msgqueue.h"
#include "shell/cmd_ids.h"
#include "shell/core/placement.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/sview.h"
#include "shell/toolbars.h"
#include "shell/view_paint.h"

namespace {

std::string g_dir;
std::vector<Vec3> g_points;  // the points the command was given

// The line command as it will behave: points until Esc, a line between each pair.
int polyline_steps(void* arg) {
    VIEW* view = *static_cast<VIEW**>(arg);
    Vec3 a, b;
    if (input_point(&view, 42002, &cursor_draw_crosshair, nullptr, &a, 0) != 0) return -1;
    g_points.push_back(a);
    input_set_point(view, a, 0);
    while (input_point(&view, 42003, &cursor_draw_rubber_line, nullptr, &b, 0) == 0) {
        g_points.push_back(b);
        std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
        EXPECT_EQ(plist_add(&line->control, b), 0);
        EXPECT_EQ(plist_add(&line->control, a), 0);
        if (drawing_add_object(view, std::move(line), 1) != 0) return -1;
        a = b;
        input_set_point(view, a, 0);
    }
    return 0;
}

void screenshot(const char* name) {
    const char* out = getenv("ZELO_SCREENSHOT_DIR");
    if (!out) return;
    QScreen* s = QGuiApplication::primaryScreen();
    const double k = getenv("QT_SCALE_FACTOR") ? atof(getenv("QT_SCALE_FACTOR")) : 1.0;
    s->grabWindow(0).save(QString("%1/%2%3.png").arg(out, name, k > 1 ? "_x2" : ""));
}

QPoint canvas_point(CSView* v, double fx, double fy) {
    return QPoint(int(v->viewport()->width() * fx), int(v->viewport()->height() * fy));
}

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CSView::SetCommandFunction(15000, &polyline_steps);
        g_points.clear();
        app = std::make_unique<CMainApp>();
        ASSERT_NO_FATAL_FAILURE(gui_start_active(*app));
    }
    void TearDown() override { app_session_end(app, &gui_settle); }
    CMainFrame* frame() { return app->main_frame(); }
    int windows() { return app_window_count(app.get()); }
    QWidget* line_button() {
        CCustomBar* bar = frame()->toolbars()->bar(15906);
        QAction* act = bar ? bar->action_of(15000) : nullptr;
        return act ? bar->widgetForAction(act) : nullptr;
    }
    std::unique_ptr<CMainApp> app;
};

TEST_F(GuiTest, DrawSaveCloseReopen) {
    CSView* v = frame()->active_view();
    ASSERT_NE(v, nullptr);
    QWidget* button = line_button();
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    const QPoint p1 = canvas_point(v, 0.25, 0.7), p2 = canvas_point(v, 0.7, 0.3);
    // The clicks come while the command waits inside the button's click.
    // The pointer was last moved elsewhere: the step takes the press's own position.
    gui_schedule({[&] { QTest::mouseMove(v->viewport(), p2); },
                  [&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p1); },
                  [&] { QTest::mouseMove(v->viewport(), p2); },
                  [&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p2); },
                  [&] { QTest::keyClick(v, Qt::Key_Escape); }});
    QTest::mouseClick(button, Qt::LeftButton);
    gui_settle();
    ASSERT_EQ(g_points.size(), 2u);
    // Each click gave the drawing point under it, in device pixels.
    int dx, dy;
    v->ToDevice(QPointF(p1), &dx, &dy);
    Vec3 want;
    pixel_to_world(&v->view()->projection, dx, dy, v->view()->elevation, &want);
    EXPECT_NEAR(g_points[0].x, want.x, 1e-3);
    EXPECT_NEAR(g_points[0].y, want.y, 1e-3);
    MODEL* m = v->document()->drawing();
    auto* layer = rtc_cast<LAYER>(m->first_child());
    ASSERT_EQ(scene_children(layer).size(), 1u);
    // The line is in the canvas: the pixel under the middle of the segment is not
    // the background.
    Canvas* c = v->canvas();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->width(), int(std::lround(v->viewport()->width() * v->device_ratio())));
    int mx, my;
    v->ToDevice(QPointF((p1 + p2) / 2), &mx, &my);
    bool found = false;
    for (int oy = -2; oy <= 2 && !found; ++oy)
        for (int ox = -2; ox <= 2 && !found; ++ox) {
            const uint8_t* px = c->row(c->height() - 1 - (my + oy)) + 3 * (mx + ox);
            const uint32_t word = px[2] | px[1] << 8 | px[0] << 16;
            found = word != display_background_word();
        }
    EXPECT_TRUE(found);

    const std::string path = g_dir + "/drawn.qvm";
    platform_set_file_choice_hook([&](const FileChoiceRequest&, std::string* out) {
        *out = path;
        return true;
    });
    ASSERT_TRUE(frame()->route_command(ID_FILE_SAVE_AS));
    const QRect placed = v->frame()->geometry();
    v->frame()->close();
    gui_settle();
    ASSERT_EQ(windows(), 0);
    CDocument* doc = app->OpenDocumentFile(path);
    ASSERT_NE(doc, nullptr);
    gui_settle();
    ASSERT_EQ(windows(), 1);
    CSView* back = frame()->active_view();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(scene_children(rtc_cast<LAYER>(static_cast<CDoc*>(doc)->drawing()->first_child())).size(), 1u);
    // The window comes back where its VIEW was.
    EXPECT_EQ(back->frame()->geometry(), placed);

    // A second window on the drawing, tiled beside the first: the screenshot.
    frame()->route_command(ID_WINDOW_NEW);
    gui_settle();
    frame()->route_command(ID_WINDOW_TILE_HORZ);
    gui_settle();
    for (QMdiSubWindow* w : frame()->mdi_area()->subWindowList()) {
        frame()->mdi_area()->setActiveSubWindow(w);
        gui_settle();
        frame()->route_command(ID_ZOOM_ALL);
    }
    gui_settle();
    screenshot("two_windows");
}

// Chamfer opens its Corner page; the user moves the page, points at the drawing and
// presses Esc: the tool goes at once, its page with it, saving the page's place under
// "Layout", where the next Chamfer opens it (not at the pointer). Exit afterwards
// (the fixture's end) runs under the leak and address checks.
TEST_F(GuiTest, CornerPageGoesWithItsToolAndReopensWhereItWas) {
    CSView* v = frame()->active_view();
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(frame()->route_command(kCmdChamfer));
    gui_settle();
    CCmdInput* tool = app->top_input();
    ASSERT_NE(tool, nullptr);
    QPointer<CPlnCornerFrame> page = dynamic_cast<CPlnCornerFrame*>(tool->tool_window);
    ASSERT_FALSE(page.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.data()));
    const QPoint placed(123, 145);
    page->move(placed);
    gui_settle();
    const QPoint saved = page->frameGeometry().topLeft();
    QTest::mouseMove(v->viewport(), canvas_point(v, 0.5, 0.5));
    QTest::keyClick(v, Qt::Key_Escape);
    EXPECT_EQ(app->top_input(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.isNull(); }, 10000));
    int x = 0, y = 0;
    ASSERT_TRUE(layout_load(kCmdChamfer, &x, &y));
    EXPECT_EQ(QPoint(x, y), saved);

    QTest::mouseMove(v->viewport(), canvas_point(v, 0.2, 0.8));
    ASSERT_TRUE(frame()->route_command(kCmdChamfer));
    gui_settle();
    ASSERT_NE(app->top_input(), nullptr);
    QPointer<CPlnCornerFrame> again = dynamic_cast<CPlnCornerFrame*>(app->top_input()->tool_window);
    ASSERT_FALSE(again.isNull());
    EXPECT_EQ(again->frameGeometry().topLeft(), saved);
    QTest::keyClick(v, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.isNull(); }, 10000));
    CSView::SetToolFactory(nullptr);
}

TEST_F(GuiTest, CtrlF4WhileAStepWaitsClosesAfterUnwinding) {
    CSView* v = frame()->active_view();
    ASSERT_NE(v, nullptr);
    QWidget* button = line_button();
    ASSERT_NE(button, nullptr);
    const QPoint p1 = canvas_point(v, 0.5, 0.5);
    bool open_during_wait = false;
    gui_schedule({[&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p1); },
                  [&] { QTest::keyClick(frame()->windowHandle(), Qt::Key_F4, Qt::ControlModifier); },
                  [&] { open_during_wait = windows() == 1; }});
    QTest::mouseClick(button, Qt::LeftButton);
    gui_settle();
    EXPECT_EQ(g_points.size(), 1u);
    EXPECT_EQ(windows(), 0);
    (void)open_during_wait;
}

// A stored 800-pixel frame opens 800 wide, within the screen (1024 x 768 at scale 1,
// 1920 x 1080 at scale 2), with every bar inside the window; so does the maximised
// window, and its first drawing window lies inside the window area.
TEST(GuiStart, TheMainWindowFitsTheScreenWithEveryBarInside) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (int maxed : {0, 1}) {
        prof_put_int("Settings", "Maxed", maxed);
        prof_put_string("Settings", "Frame", "0 800 0 600");
        auto app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        CMainFrame* f = app->main_frame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        gui_settle();
        // The readout filled as the pointer moves over the drawing.
        CSView* v = f->active_view();
        ASSERT_NE(v, nullptr);
        QTest::mouseMove(v->viewport(), canvas_point(v, 0.5, 0.5));
        gui_settle();
        if (maxed == 0 && screen.width() >= 800) {
            EXPECT_EQ(f->width(), 800);
        }
        EXPECT_TRUE(screen.contains(f->frameGeometry())) << maxed;
        const QRect inside = f->rect();
        for (QToolBar* bar : f->findChildren<QToolBar*>()) {
            if (bar->isHidden()) continue;
            const QRect r(bar->mapTo(f, QPoint(0, 0)), bar->size());
            EXPECT_TRUE(inside.contains(r)) << bar->objectName().toStdString();
        }
        QRect room(QPoint(0, 0), f->mdi_area()->viewport()->size());
        EXPECT_TRUE(room.contains(v->frame()->geometry())) << maxed;
        screenshot(maxed ? "start_maximised" : "start_800");
        // A window manager places the maximised window after it was made, smaller
        // than the screen (its panels): the first drawing window follows.
        if (maxed) {
            f->setGeometry(screen.adjusted(0, 0, 0, -screen.height() / 4));
            gui_settle();
            room = QRect(QPoint(0, 0), f->mdi_area()->viewport()->size());
            EXPECT_TRUE(room.contains(v->frame()->geometry()));
        }
        app_session_end(app, &gui_settle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_gui_test", &g_dir);
}
