// The 2D drawing commands in a real window system (run under xvfb-run): one session
// per family started from the Drawing toolbar, with clicks, keys and F10 on the
// drawing view; screenshots of text being typed and of a contour being traced.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QMdiArea>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <functional>

#include "app/startup/window_side.h"
#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "tests/commands/scene_rings.h"
#include "../app/app_session.h"
#include "commands/draw2d/draw2d.h"
#include "model/db/wire.h"
#include "model/services/profile.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/modal.h"
#include "platform/msgqueue.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"
#include "shell/toolbars.h"

namespace {

std::string g_dir;

class DrawGui : public ::testing::Test {
  protected:
    void SetUp() override {
        draw2d_register_commands([](int id, Draw2dCommandFn fn) { CSView::SetCommandFunction(id, fn); });
        app = std::make_unique<CMainApp>();
        ASSERT_NO_FATAL_FAILURE(gui_start_active(*app));
        v = app->main_frame()->active_view();
        ASSERT_NE(v, nullptr);
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        app_session_end(app, &gui_settle);
    }
    // Starts a drawing command from its toolbar button; the scheduled steps run while
    // it waits.
    void run(int id, std::vector<std::function<void()>> steps) {
        CCustomBar* bar = app->main_frame()->toolbars()->bar(15906);
        QAction* act = bar ? bar->action_of(id) : nullptr;
        QWidget* button = act ? bar->widgetForAction(act) : nullptr;
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isEnabled());
        gui_schedule(std::move(steps));
        QTest::mouseClick(button, Qt::LeftButton);
        gui_settle();
    }
    QPoint at(double fx, double fy) {
        return QPoint(int(v->viewport()->width() * fx), int(v->viewport()->height() * fy));
    }
    std::function<void()> click(double fx, double fy) {
        return [this, fx, fy] {
            QTest::mouseMove(v->viewport(), at(fx, fy));
            QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at(fx, fy));
        };
    }
    std::function<void()> key(Qt::Key k) {
        return [this, k] { QTest::keyClick(v, k); };
    }
    // Key presses carrying any characters (QTest's key clicks know only ASCII).
    void type_unicode(const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(v, &press);
        }
    }
    std::unique_ptr<CMainApp> app;
    CSView* v = nullptr;
};

TEST_F(DrawGui, LinesThroughF10AndPolygons) {
    // F10 opens the Line method dialog: connected segments.
    platform_set_modal_hook([](CDialog& d) { d.press(101); });
    run(15000, {click(0.2, 0.7), key(Qt::Key_F10), click(0.5, 0.3), click(0.7, 0.6), key(Qt::Key_Escape),
                key(Qt::Key_Escape)});
    EXPECT_EQ(v->view()->line_method, 1);
    auto lines = scene_objects_of<XPLINE>(v->document()->drawing());
    ASSERT_EQ(lines.size(), 2u);
    // Connected: the second starts where the first ended (the list prepends).
    EXPECT_EQ(lines[1]->control->next->x, lines[0]->control->x);
    run(15008, {click(0.5, 0.5), click(0.5, 0.2), key(Qt::Key_Escape)});
    lines = scene_objects_of<XPLINE>(v->document()->drawing());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(plist_count(lines[2]->control), 7);  // six segments, closed
}

TEST_F(DrawGui, CirclesArcsAndEllipses) {
    run(15001, {click(0.3, 0.5), click(0.4, 0.5), key(Qt::Key_Escape)});
    run(15002, {click(0.5, 0.5), click(0.7, 0.5), click(0.6, 0.4), key(Qt::Key_Escape)});
    run(15009, {click(0.5, 0.7), click(0.7, 0.8), key(Qt::Key_Escape)});
    const auto arcs = scene_objects_of<ELARC>(v->document()->drawing());
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_EQ(arcs[0]->flags, 3);
    EXPECT_EQ(arcs[1]->flags, 1);
    EXPECT_EQ(arcs[2]->flags, 2);
}

TEST_F(DrawGui, TextTypedInPlace) {
    v->view()->text_height = 30 / v->view()->projection.scale;
    v->view()->text_width = 20 / v->view()->projection.scale;
    run(15005, {[this] { QTest::mouseMove(v->viewport(), at(0.2, 0.4)); },
                [this] { QTest::keyClicks(v, "Zelo 3.0"); }, [] { gui_screenshot("draw2d_text_typing"); },
                key(Qt::Key_Return),
                [this] {
                    // The pointer went to the next line's start (Xvfb allows warping).
                    int dx, dy;
                    v->ToDevice(QPointF(v->viewport()->mapFromGlobal(QCursor::pos())), &dx, &dy);
                    EXPECT_EQ(dx, v->view()->cursor_pixel[0]);
                    EXPECT_EQ(dy, v->view()->cursor_pixel[1]);
                    type_unicode(QString::fromUtf8("d\u00e9j\u00e0"));
                },
                key(Qt::Key_Return), key(Qt::Key_Escape)});
    const auto texts = scene_objects_of<TEXT2>(v->document()->drawing());
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->text, "Zelo 3.0");
    EXPECT_EQ(texts[1]->text, "d\xE9j\xE0");
    EXPECT_NEAR(texts[0]->insert.y - texts[1]->insert.y, v->view()->text_height, 1e-3);
}

TEST_F(DrawGui, HatchTracedAndFilled) {
    // The style dialog at the end of the contour: OK.
    platform_set_modal_hook([](CDialog& d) { d.press(IDOK); });
    run(15006, {click(0.2, 0.2), click(0.6, 0.2), click(0.7, 0.6), [this] { QTest::mouseMove(v->viewport(), at(0.3, 0.7)); },
                [] { gui_screenshot("draw2d_contour_tracing"); }, click(0.3, 0.7), key(Qt::Key_Escape),
                key(Qt::Key_Escape)});
    run(15010, {click(0.75, 0.2), click(0.9, 0.2), click(0.9, 0.5), key(Qt::Key_Escape), key(Qt::Key_Escape)});
    const auto hatches = scene_objects_of<HATCH>(v->document()->drawing());
    ASSERT_EQ(hatches.size(), 2u);
    EXPECT_EQ(plist_count(static_cast<PointNode*>(hatches[0]->contours[0]->value)), 4);
    EXPECT_EQ(hatches[1]->pattern, nullptr);
    gui_settle();
    gui_screenshot("draw2d_hatch_and_fill");
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_draw2d_gui", &g_dir);
}
