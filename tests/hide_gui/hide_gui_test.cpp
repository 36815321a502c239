// The Hide command in a real window system (run under xvfb-run), as a user tries it: a
// drawing with two boxes, one piercing the other, and a camera; the Hide dialog
// filled and started, its progress seen, the result drawing in a new window; the
// settings written back. Also line work alone, where the worker's question reaches
// the user and "No" ends the run with a message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "app/startup/window_side.h"
#include "../app/app_session.h"
#include "tests/commands/scene_rings.h"
#include "commands/input/zoom.h"
#include "dialogs/hide_dialog.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "render/hide/hide_pool.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/mesh/mesh_block.h"
#include "model/services/profile.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"
#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"

namespace {

std::string g_dir;
std::vector<std::string> g_boxes;  // message box texts
int g_answer = kIdOk;

LAYER* layer_named(MODEL* m, const char* name) {
    return static_cast<LAYER*>(model_find_named(m, name, &LAYER::rtc_class));
}

void add_box(MODEL* m, Vec3 lo, Vec3 hi) {
    auto mesh = rtc_make<MESH3>();
    const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                       {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& q : f)
        EXPECT_EQ(mesh_add_face(mesh.get(), &c[q[0]], &c[q[1]], &c[q[2]], &c[q[3]], 0), 0);
    mesh->own_box();
    EXPECT_EQ(container_insert(layer_named(m, "default"), mesh.release()), 0);
}

// What the test does with the open dialog.
struct Fill {
    std::string linear = "0.5", angular = "5", width = "200", height = "150";
    bool keep = true;
    int camera = 0;  // combo index: 0 none
    bool start = true;
    bool cancel = false;  // pressed at once after Start
    bool watch = false;   // wait for progress, take a picture, then cancel
    // When >= 0: Cancel pressed at the first change of the bar once the worker has
    // reported this many steps.
    int64_t cancel_after_steps = -1;
    bool cancel_pressed = false;  // ... before the dialog ended
    int bar_moves = 0;            // progress bar changes over the run
    int bar_moves_after_cancel = 0;
    int64_t steps = 0;            // progress steps the worker reported
    bool progress_seen = false;
    std::string status;  // read after the run
    int progress = -1;
    bool ended = false;
};
Fill* g_fill = nullptr;

void drive(CDialog& d) {
    auto* dlg = dynamic_cast<CHideDlg*>(&d);
    ASSERT_NE(dlg, nullptr);
    Fill& f = *g_fill;
    d.show();
    static_cast<QLineEdit*>(d.GetDlgItem(kIdcHideLinear))->setText(QString::fromStdString(f.linear));
    static_cast<QLineEdit*>(d.GetDlgItem(kIdcHideAngular))->setText(QString::fromStdString(f.angular));
    auto* combo = static_cast<QComboBox*>(d.GetDlgItem(kIdcHideCamera));
    combo->setCurrentIndex(f.camera);
    static_cast<QLineEdit*>(d.GetDlgItem(kIdcHideWidth))->setText(QString::fromStdString(f.width));
    static_cast<QLineEdit*>(d.GetDlgItem(kIdcHideHeight))->setText(QString::fromStdString(f.height));
    auto* keep = static_cast<QCheckBox*>(d.GetDlgItem(kIdcHideKeep));
    if (keep->isChecked() != f.keep) keep->click();
    QTest::qWait(50);
    gui_screenshot(f.camera ? "hide_dialog_camera" : "hide_dialog");
    if (!f.start) return;
    d.press(kIdcHideStart);
    EXPECT_FALSE(d.GetDlgItem(kIdcHideStart)->isEnabled());  // running
    if (f.cancel) {
        d.press(IDCANCEL);
        EXPECT_FALSE(d.ended());  // it ends when the worker has stopped
    }
    if (f.cancel_after_steps >= 0) {
        // Each change of the bar is a screen update of the dialog; the worker's steps
        // come far faster. Once the press has reached the worker it reports at most
        // one more step, so a dialog that shows the latest step (not each one in turn)
        // moves its bar at most twice more, however fast the machine.
        QObject guard;
        QObject::connect(static_cast<QProgressBar*>(d.GetDlgItem(kIdcHideProgress)), &QProgressBar::valueChanged,
                         &guard, [&] {
                             ++f.bar_moves;
                             if (f.cancel_pressed) {
                                 ++f.bar_moves_after_cancel;
                             } else if (dlg->steps_reported() >= f.cancel_after_steps && !d.ended()) {
                                 f.cancel_pressed = true;
                                 d.press(IDCANCEL);
                             }
                         });
        f.ended = QTest::qWaitFor([&] { return d.ended(); }, 300000);
        f.steps = dlg->steps_reported();
    }
    if (f.watch) {
        f.progress_seen = QTest::qWaitFor([&] { return dlg->progress_value() > 0 || d.ended(); }, 30000) &&
                          dlg->progress_value() > 0;
        gui_screenshot("hide_progress");
        if (!d.ended()) d.press(IDCANCEL);
    }
    f.ended = QTest::qWaitFor([&] { return d.ended(); }, 60000);
    f.status = dlg->status_text();
    f.progress = dlg->progress_value();
}

class HideGui : public ::testing::Test {
  protected:
    void SetUp() override {
        g_boxes.clear();
        g_answer = kIdOk;
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
        gui_flush();
        view = app->main_frame()->active_view();
        ASSERT_NE(view, nullptr);
        modal_ = platform_set_modal_hook([](CDialog& d) { drive(d); });
    }
    void TearDown() override {
        platform_set_modal_hook(modal_);
        app_session_end(app, &gui_flush);
    }
    MODEL* drawing() { return view_drawing(view->view()); }
    void look_from(Vec3d from) {
        const double l = std::sqrt(from.x * from.x + from.y * from.y + from.z * from.z);
        const Vec3d b{from.x / l, from.y / l, from.z / l};
        Vec3d x{-b.y, b.x, 0};
        const double xl = std::hypot(x.x, x.y);
        x = {x.x / xl, x.y / xl, 0};
        const Vec3d y{b.y * x.z - b.z * x.y, b.z * x.x - b.x * x.z, b.x * x.y - b.y * x.x};
        ViewProjection& p = view->view()->projection;
        p.view = {{x.x, y.x, b.x, x.y, y.y, b.y, x.z, y.z, b.z, 0, 0, 0}};
        mat_invert(&p.inverse, &p.view);
        view_zoom_all(view->view());
        view->viewport()->update();
    }
    void two_boxes_and_a_camera() {
        add_box(drawing(), {0, 0, 0}, {40, 40, 40});
        add_box(drawing(), {10, -20, 10}, {30, 20, 30});
        auto cam = rtc_make<CAMERA>();
        cam->position = {80, -160, 90};
        cam->target = {20, 0, 20};
        cam->up = {0, 0, 1};
        cam->lens = 1.0;
        EXPECT_EQ(obj_default_name(drawing(), cam.get(), 0, "Cam01"), 0);
        EXPECT_EQ(container_insert(layer_named(drawing(), "default"), cam.release()), 0);
        look_from({0.3, -1, 0.25});
        gui_flush();
    }
    void hide() {
        CCmdUI ui;
        ui.id = ID_HIDE;
        view->OnCmdMsg(ID_HIDE, &ui);
        EXPECT_TRUE(ui.enabled);
        view->OnCmdMsg(ID_HIDE, nullptr);
        gui_flush();
    }
    // Both windows side by side, each showing its whole drawing, for the screenshots.
    void tile() {
        app->main_frame()->mdi_area()->tileSubWindows();
        gui_flush();
        for (QMdiSubWindow* w : app->main_frame()->mdi_area()->subWindowList())
            if (auto* v = w->findChild<CSView*>()) {
                view_zoom_all(v->view());
                v->viewport()->update();
            }
        gui_flush();
    }
    int windows() { return int(app->main_frame()->mdi_area()->subWindowList().size()); }
    std::unique_ptr<CMainApp> app;
    CSView* view = nullptr;
    ModalDialogHook modal_;
};

TEST_F(HideGui, ParallelViewGivesANewDrawingWithHiddenLayer) {
    two_boxes_and_a_camera();
    gui_screenshot("hide_source");
    Fill fill;
    g_fill = &fill;
    const int before = windows();
    hide();
    EXPECT_TRUE(fill.ended);
    EXPECT_FALSE(fill.status.empty());
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
    ASSERT_EQ(windows(), before + 1);
    CSView* result = app->main_frame()->active_view();
    ASSERT_NE(result, view);
    MODEL* m = view_drawing(result->view());
    EXPECT_GE(scene_children_of<XPLINE>(layer_named(m, "default")).size(), 12u);
    EXPECT_GE(scene_children_of<XPLINE>(layer_named(m, "Hidden")).size(), 3u);
    EXPECT_TRUE(result->document()->IsModified());
    // Saved and read back like any drawing.
    const std::string path = g_dir + "/hidden.qvm";
    ASSERT_EQ(drawing_file_save(path.c_str(), m, 0), 0);
    auto back = rtc_make<MODEL>();
    ASSERT_EQ(drawing_file_import(path.c_str(), back.get()), 0);
    EXPECT_EQ(scene_children_of<XPLINE>(layer_named(back.get(), "default")).size(),
              scene_children_of<XPLINE>(layer_named(m, "default")).size());
    EXPECT_EQ(scene_children_of<XPLINE>(layer_named(back.get(), "Hidden")).size(),
              scene_children_of<XPLINE>(layer_named(m, "Hidden")).size());
    drawing_file_drop_views(back.get());
    tile();
    gui_screenshot("hide_result");
    // The settings went back to the settings file.
    EXPECT_DOUBLE_EQ(app_profile_get_double("Hide", "Linear", -1), 0.5);
    EXPECT_DOUBLE_EQ(app_profile_get_double("Hide", "Angular", -1), 5.0);
}

TEST_F(HideGui, CameraPictureFitsTheChosenSize) {
    two_boxes_and_a_camera();
    Fill fill;
    fill.camera = 1;
    fill.keep = false;
    g_fill = &fill;
    hide();
    EXPECT_TRUE(fill.ended);
    MODEL* m = view_drawing(app->main_frame()->active_view()->view());
    ASSERT_NE(m, drawing());
    EXPECT_EQ(layer_named(m, "Hidden"), nullptr);
    LAYER* layer = layer_named(m, "default");
    ASSERT_GE(scene_children_of<XPLINE>(layer).size(), 12u);
    for (XPLINE* l : scene_children_of<XPLINE>(layer))
        for (const PointNode* p = l->control; p; p = p->next) {
            EXPECT_GE(p->x, -1e-3f);
            EXPECT_LE(p->x, 200.001f);
            EXPECT_GE(p->y, -1e-3f);
            EXPECT_LE(p->y, 150.001f);
        }
    tile();
    gui_screenshot("hide_result_camera");
    EXPECT_DOUBLE_EQ(app_profile_get_double("Hide", "Hsize", -1), 200.0);
}

// Line work alone: the worker's question comes to the user on the window thread;
// "No" ends the run and says that nothing hides.
TEST_F(HideGui, LinesAloneAskAndNoEndsTheRun) {
    auto line = rtc_make<XPLINE>();
    EXPECT_EQ(plist_add(&line->control, {10, 10, 0}), 0);
    EXPECT_EQ(plist_add(&line->control, {0, 0, 0}), 0);
    EXPECT_EQ(container_insert(layer_named(drawing(), "default"), line.release()), 0);
    Fill fill;
    g_fill = &fill;
    g_answer = kIdNo;
    const int before = windows();
    hide();
    EXPECT_TRUE(fill.ended);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0], "There are no hidding objects.\nContinue?");
    EXPECT_EQ(g_boxes[1], "Nothing hides...");
    EXPECT_EQ(windows(), before);
}

// A large mesh: the bar moves while the worker runs, and a cancel in the middle ends it.
TEST_F(HideGui, ProgressMovesOnALargeMesh) {
    std::vector<Vec3d> pts;
    const int n = 180;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            pts.push_back({double(j), double(i), 3.0 * std::sin(j / 7.0) * std::cos(i / 9.0)});
    auto mesh = rtc_make<MESH3>();
    ASSERT_EQ(mesh_add_grid(mesh.get(), pts, n, n, false, false), 0);
    mesh->own_box();
    EXPECT_EQ(container_insert(layer_named(drawing(), "default"), mesh.release()), 0);
    look_from({0.3, -1, 0.6});
    Fill fill;
    fill.watch = true;
    fill.angular = "0";
    g_fill = &fill;
    hide();
    EXPECT_TRUE(fill.ended);
    EXPECT_TRUE(fill.progress_seen);
    // Cancelled in the middle (told, lines so far shown) or done before the cancel.
    for (const std::string& b : g_boxes) EXPECT_EQ(b, "Operarion canceled by user...");
}

// 300,000 triangles, Cancel pressed while the worker runs: the worker sees the
// cancel at its next step and the dialog, never behind its worker, ends as soon as
// the worker has (no backlog of progress steps to show after the press).
TEST_F(HideGui, CancelOnAHugeMeshEndsTheDialogWithTheWorker) {
    // Twenty stacked wavy sheets of 78 x 99 points: 301,840 triangles, each edge
    // over many sheets, a run of several seconds.
    const int nx = 78, ny = 99;
    for (int sheet = 0; sheet < 20; ++sheet) {
        std::vector<Vec3d> pts;
        for (int i = 0; i < ny; ++i)
            for (int j = 0; j < nx; ++j)
                pts.push_back({double(j), double(i), 4.0 * sheet + 3.0 * std::sin((j + sheet) / 5.0) * std::cos(i / 7.0)});
        auto mesh = rtc_make<MESH3>();
        ASSERT_EQ(mesh_add_grid(mesh.get(), pts, nx, ny, false, false), 0);
        mesh->own_box();
        EXPECT_EQ(container_insert(layer_named(drawing(), "default"), mesh.release()), 0);
    }
    look_from({0.2, -1, 0.8});
    Fill fill;
    fill.cancel_after_steps = 2000;
    fill.angular = "0";
    g_fill = &fill;
    const int before = windows();
    hide();
    EXPECT_TRUE(fill.ended);
    ASSERT_TRUE(fill.cancel_pressed) << "the run ended before the cancel";
    EXPECT_LE(fill.bar_moves_after_cancel, 2);
    // The screen shows the latest of many steps, not each step in turn.
    EXPECT_GE(fill.steps, 2000);
    EXPECT_LT(fill.bar_moves * 4, fill.steps) << fill.bar_moves << " bar moves";
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Operarion canceled by user...");
    EXPECT_GE(windows(), before);  // the lines made before the cancel are kept
}

// Out of memory in the worker: the user is told, no window is made, nothing leaks.
TEST_F(HideGui, OutOfMemorySaysSo) {
    two_boxes_and_a_camera();
    Fill fill;
    g_fill = &fill;
    const int before = windows();
    hide_pool_fail_after(2);
    hide();
    hide_pool_fail_after(0);
    EXPECT_TRUE(fill.ended);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Not enough memory to complete operation...");
    EXPECT_EQ(windows(), before);
}

// Cancel while the worker runs: it stops, nothing is asked, and the user is told.
TEST_F(HideGui, CancelStopsTheWorkerAndSaysSo) {
    auto line = rtc_make<XPLINE>();
    EXPECT_EQ(plist_add(&line->control, {10, 10, 0}), 0);
    EXPECT_EQ(plist_add(&line->control, {0, 0, 0}), 0);
    EXPECT_EQ(container_insert(layer_named(drawing(), "default"), line.release()), 0);
    Fill fill;
    fill.cancel = true;
    g_fill = &fill;
    g_answer = kIdYes;
    const int before = windows();
    hide();
    EXPECT_TRUE(fill.ended);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Operarion canceled by user...");
    EXPECT_EQ(windows(), before);
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_hide_gui", &g_dir, [] {
        platform_set_message_box_hook([](const MsgBoxRequest& b, QWidget*) {
            g_boxes.push_back(b.text);
            return (b.style & kMbButtonMask) ? g_answer : kIdOk;
        });
    });
}
