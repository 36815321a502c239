// The main window under a window manager that draws decorations (run through
// tests/scripts/with_window_manager.sh inside xvfb-run): the stored "Frame" is the
// outer frame, decorations included, both when the window is placed with it and when
// the program writes it at exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"
#include "../app/app_session.h"
#include "model/services/profile.h"
#include "shell/core/placement.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"

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
    ASSERT_TRUE(app->InitInstance(""));
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

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_framed_test", &g_dir);
}
