// The main window under a window manager that draws decorations (run through
// tests/scripts/with_window_manager.sh inside xvfb-run): the stored "Frame" is the
// outer frame, decorations included, both when the window is placed with it and when
// the program writes it at exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>

#include "app/startup/window_side.h"
#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "../app/app_session.h"
#include "model/services/profile.h"
#include "shell/core/placement.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"
#include "shell/mdiframe.h"
#include "dialogs/typed_input.h"
#include "platform/dialog.h"
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include "commands/input/input.h"
#include "graphics/view/view_host.h"
#include "commands/input/support.h"
#include "model/db/wire.h"
#include "model/math/plist.h"
#include "platform/file_choice.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"

// Rectangles in failure messages as x, y, width x height.
void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height();
}

namespace {

std::string g_dir;

QRect to_qrect(const PlacementRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

bool framed(const QWidget* w) { return w->frameGeometry().size() != w->size(); }

TEST(FramedStart, FrameIsTheOuterFrameWhenPlacedAndWhenStored) {
    if (!std::getenv("ZELO_WINDOW_MANAGER"))
        GTEST_SKIP() << "no window manager: run through tests/scripts/with_window_manager.sh";
    const QRect outer(100, 80, 800, 600);
    prof_put_int("Settings", "Maxed", 0);
    prof_put_string("Settings", "Frame", "100 900 80 680");
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app_start(*app, ""));
    CMainFrame* f = app->main_frame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    // The manager frames the window, then the window takes its size down by the
    // decorations.
    (void)QTest::qWaitFor([&] { return framed(f) && f->frameGeometry() == outer; }, 10000);
    gui_settle();
    gui_screenshot("framed_start");
    ASSERT_TRUE(framed(f)) << "the window manager drew no decorations";
    EXPECT_EQ(f->frameGeometry(), outer);

    const QPoint moved = outer.topLeft() + QPoint(60, 40);
    f->move(moved);
    (void)QTest::qWaitFor([&] { return f->frameGeometry().topLeft() == moved; }, 10000);
    gui_settle();
    const QRect at_close = f->frameGeometry();
    EXPECT_EQ(at_close.topLeft(), moved);
    app_session_end(app, &gui_settle);
    PlacementRect stored;
    ASSERT_TRUE(frame_text_parse(app_profile_get_text("Settings", "Frame", ""), &stored));
    EXPECT_EQ(to_qrect(stored), at_close);
    EXPECT_EQ(prof_get_int("Settings", "Maxed", 1), 0);
}

// The Enter Coordinate dialog framed by the manager: as wide as its caption in bold
// with room for six squares of the title bar's height beside it (the window's icon,
// three buttons, and the gaps and the caption's margins the manager keeps).
TEST(FramedStart, EnterCoordinateIsWideEnoughForItsCaption) {
    if (!std::getenv("ZELO_WINDOW_MANAGER"))
        GTEST_SKIP() << "no window manager: run through tests/scripts/with_window_manager.sh";
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app_start(*app, ""));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
    gui_settle();
    CSView* v = app->main_frame()->active_view();
    ASSERT_NE(v, nullptr);
    QRect outer, inner;
    QString caption;
    {
        char buffer[64] = "5";
        CCoordDlg dlg(v, v->view(), buffer, sizeof buffer);
        QTimer::singleShot(0, [&] {
            (void)QTest::qWaitFor([&] { return dlg.isVisible() && framed(&dlg); }, 10000);
            gui_flush();
            gui_screenshot("enter_coordinate_framed");
            outer = dlg.frameGeometry();
            inner = dlg.geometry();
            caption = dlg.windowTitle();
            dlg.press(IDCANCEL);
        });
        dlg.DoModalHelp(kHelpTypedInput);
    }
    app_session_end(app, &gui_settle);
    ASSERT_NE(outer.size(), inner.size()) << "the window manager drew no decorations";
    const int title_bar = inner.top() - outer.top();
    QFont bold = QApplication::font();
    bold.setBold(true);
    EXPECT_EQ(caption, "Enter Coordinate");
    EXPECT_GE(outer.width(), QFontMetrics(bold).horizontalAdvance(caption) + 6 * title_bar)
        << "title bar " << title_bar;
}

// Under the manager: a drawing chosen from the Window menu (opened and chosen with
// keys) among maximised windows takes the keys that follow; Esc ends the step its
// command waits in.
TEST(FramedStart, TheDrawingChosenInTheWindowMenuTakesTheKeys) {
    if (!std::getenv("ZELO_WINDOW_MANAGER"))
        GTEST_SKIP() << "no window manager: run through tests/scripts/with_window_manager.sh";
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app_start(*app, ""));
    CMainFrame* f = app->main_frame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    static CSView* first;
    first = f->active_view();
    first->frame()->showMaximized();
    ASSERT_TRUE(app->NewDrawing());
    gui_settle();
    QMenu* win = nullptr;
    for (QAction* a : f->menuBar()->actions())
        if (a->menu() && a->text() == "&Window") win = a->menu();
    ASSERT_NE(win, nullptr);
    static int code;
    static QWidget* keys_to;
    code = 1;
    keys_to = nullptr;
    CSView::SetCommandFunction(15500, [](void* arg) -> int {
        VIEW* v = *static_cast<VIEW**>(arg);
        QTimer::singleShot(0, [] {
            keys_to = QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWindow(), Qt::Key_Escape);
            if (keys_to != first) QTest::keyClick(first, Qt::Key_Escape);  // the step ends either way
        });
        Vec3 p;
        code = input_point(&v, 42002, nullptr, nullptr, &p, 0);
        return 0;
    });
    // The menu opened with its key, the first drawing chosen by its digit.
    QTest::keyClick(f->windowHandle(), Qt::Key_W, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return win->isVisible(); }, 5000));
    QTest::keyClick(win, Qt::Key_1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !win->isVisible() && f->active_view() == first; }, 5000));
    gui_settle();
    first->OnCmdMsg(15500, nullptr);
    gui_settle();
    CSView::SetCommandFunction(15500, nullptr);
    EXPECT_EQ(code, kStepRefused);
    EXPECT_EQ(keys_to, first);
    app_session_end(app, &gui_settle);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Under the manager, a drawing named at start (as on the command line) and saved
// unchanged keeps its bytes, cycle after cycle: its view and its window's place and
// size come back as stored, though the manager frames (and maximises) the main window
// only after the drawing opened. Drawing windows sized by the user and maximised, in
// a main window shown normally and maximised.
TEST(FramedStart, DrawingNamedAtStartAndSavedUnchangedKeepsItsBytes) {
    if (!std::getenv("ZELO_WINDOW_MANAGER"))
        GTEST_SKIP() << "no window manager: run through tests/scripts/with_window_manager.sh";
    for (int maxed : {0, 1})
        for (int child_maxed : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "main maximised " << maxed << ", drawing maximised " << child_maxed);
            prof_put_int("Settings", "Maxed", maxed);
            prof_put_string("Settings", "Frame", "40 940 30 730");
            const std::string path = g_dir + "/cycle.qvm";
            {
                auto app = std::make_unique<CMainApp>();
                ASSERT_TRUE(gui_start(*app));
                CSView* v = app->main_frame()->active_view();
                ASSERT_NE(v, nullptr);
                std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
                ASSERT_EQ(plist_add(&line->control, Vec3{10, 10, 0}), 0);
                ASSERT_EQ(plist_add(&line->control, Vec3{120, 90, 0}), 0);
                ASSERT_EQ(drawing_add_object(v->view(), std::move(line), 1), 0);
                v->frame()->setGeometry(30, 20, 430, 310);
                if (child_maxed) v->frame()->showMaximized();
                gui_settle();
                platform_set_file_choice_hook([&](const FileChoiceRequest&, std::string* out) {
                    *out = path;
                    return true;
                });
                ASSERT_TRUE(app->main_frame()->route_command(ID_FILE_SAVE_AS));
                app_session_end(app, &gui_settle);
            }
            const std::string stored = file_bytes(path);
            ASSERT_FALSE(stored.empty());
            for (int cycle = 0; cycle < 3; ++cycle) {
                auto app = std::make_unique<CMainApp>();
                ASSERT_TRUE(app_start(*app, path));
                ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
                (void)QTest::qWaitFor([&] { return framed(app->main_frame()); }, 10000);
                gui_settle();
                CSView* v = app->main_frame()->active_view();
                ASSERT_NE(v, nullptr);
                if (cycle == 0) gui_screenshot(child_maxed ? "named_at_start_maximised" : "named_at_start");
                v->document()->SetModifiedFlag(true);
                ASSERT_TRUE(app->main_frame()->route_command(ID_FILE_SAVE));
                app_session_end(app, &gui_settle);
                EXPECT_TRUE(file_bytes(path) == stored) << "cycle " << cycle;
            }
        }
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_framed_test", &g_dir);
}
