// The running application offscreen: start-up settings, documents opened and saved,
// the enabling rules of the drawing commands, layer routines, scrolling and the
// closing guards.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QComboBox>
#include <QDialog>
#include <QTimer>
#include <QToolBar>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/startup/window_side.h"
#include "app_env.h"
#include "app_session.h"
#include "commands/input/feedback.h"
#include "dialogs/ask_string.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/typed_input.h"
#include "platform/dialog.h"
#include "commands/input/input.h"
#include "graphics/view/canvas.h"
#include "graphics/view/colours.h"
#include "graphics/view/projection.h"
#include "commands/input/support.h"
#include "graphics/view/view_host.h"
#include "graphics/view/view_input.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/math/plist.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "platform/file_choice.h"
#include "platform/msgqueue.h"
#include "shell/cmd_ids.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/core/readout.h"
#include "shell/edit_bar.h"
#include "shell/readout_bar.h"
#include "shell/recent_files.h"
#include "shell/sview.h"
#include "shell/view_rules.h"
#include "shell/view_paint.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A key pressed and released on a widget, through Qt's event delivery.
void key_click(QWidget* w, Qt::Key key, const char* text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString::fromLatin1(text));
    QApplication::sendEvent(w, &release);
}

// A two-point command: a line between two picked points.
int two_point_command(void* arg) {
    VIEW* view = *static_cast<VIEW**>(arg);
    Vec3 a, b;
    if (input_point(&view, 42002, nullptr, nullptr, &a, 0) != 0) return -1;
    if (input_point(&view, 42003, nullptr, nullptr, &b, 0) != 0) return -1;
    std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
    EXPECT_EQ(plist_add(&line->control, b), 0);
    EXPECT_EQ(plist_add(&line->control, a), 0);
    return drawing_add_object(view, std::move(line), 1);
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The tests replace the real commands 15000 and 15002; put them back after,
        // so later tests in the same process see the program's own commands.
        saved_line_ = CSView::CommandFunction(15000);
        saved_polyline_ = CSView::CommandFunction(15002);
        CSView::SetCommandFunction(15000, &two_point_command);
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        msg_dispatch_pending();
    }
    void TearDown() override {
        app_session_end(app, [] { msg_dispatch_pending(); });
        CSView::SetCommandFunction(15000, saved_line_);
        CSView::SetCommandFunction(15002, saved_polyline_);
    }
    CMainFrame* frame() { return app->main_frame(); }
    CommandFn saved_line_ = nullptr, saved_polyline_ = nullptr;
    CSView* active() { return frame()->active_view(); }
    int windows() { return app_window_count(app.get()); }
    // Adds a line to the drawing of `view` on its current layer.
    static void add_line(CSView* view, Vec3 a, Vec3 b) {
        std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
        EXPECT_EQ(plist_add(&line->control, b), 0);
        EXPECT_EQ(plist_add(&line->control, a), 0);
        ASSERT_EQ(drawing_add_object(view->view(), std::move(line), 1), 0);
    }

    std::unique_ptr<CMainApp> app;
};

TEST_F(AppTest, StartsWithANewDrawingInItsWindow) {
    ASSERT_EQ(windows(), 1);
    ASSERT_NE(active(), nullptr);
    EXPECT_EQ(active()->document()->title(), "Zelo1");
    EXPECT_NE(active()->view()->current_layer, nullptr);
    EXPECT_EQ(frame()->windowTitle(), "Zelo");
    // The drawing menu bar is up, with the drawing commands that exist enabled.
    EXPECT_TRUE(frame()->route_update(15000).enabled);
    EXPECT_TRUE(frame()->route_update(15001).enabled);
    EXPECT_FALSE(frame()->route_update(15604).enabled);  // no command there: an empty slot
    EXPECT_TRUE(frame()->route_update(ID_FILE_SAVE).enabled);
    EXPECT_FALSE(frame()->route_update(ID_EDIT_UNDO).enabled);
    // The swept surfaces: revolution, ruled, tracked and profiled.
    for (int id : {15506, 15508, 15511, 15513}) EXPECT_TRUE(frame()->route_update(id).enabled) << id;
}

TEST_F(AppTest, SettingsWrittenAtFirstStartReadBackIdentical) {
    EXPECT_EQ(settings_flush(), 0);
    const std::string first = read_file(settings_path());
    ASSERT_FALSE(first.empty());
    for (const char* key : {"[Draw_3D]", "[dimension]", "[Main]"})
        EXPECT_NE(first.find(key), std::string::npos) << key;
    int draw3d = 0, dim = 0;
    std::istringstream in(first);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            section = line;
            continue;
        }
        if (line.find('=') == std::string::npos) continue;
        draw3d += section == "[Draw_3D]";
        dim += section == "[dimension]";
    }
    EXPECT_EQ(draw3d, 22);
    EXPECT_EQ(dim, 5);
    // A second start reads and writes the same values.
    TearDown();
    SetUp();
    EXPECT_EQ(settings_flush(), 0);
    std::string second = read_file(settings_path());
    // The window placement and toolbar state follow the first run's window.
    auto strip = [](std::string s) {
        std::istringstream in(s);
        std::string line, out, section;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] == '[') section = line;
            if (section == "[Draw_3D]" || section == "[dimension]" || section == "[Main]" || section == "[Verbosity]")
                out += line + "\n";
        }
        return out;
    };
    EXPECT_EQ(strip(first), strip(second));
}

TEST_F(AppTest, FailedOpenShowsTheCodeOnceAndOpensNothing) {
    BoxRecorder boxes;
    EXPECT_EQ(app->OpenDocumentFile(AppTestEnvironment::file("missing.qvm")), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Can't load data...\n" + AppTestEnvironment::file("missing.qvm") + " (2: no such file or folder)");
    EXPECT_EQ(boxes.boxes[0].caption, "Zelo [ERROR]");
    EXPECT_EQ(app->drawing_template()->documents().size(), 1u);
    // A type without a reader says so once.
    boxes.boxes.clear();
    std::ofstream(AppTestEnvironment::file("part.dxf")) << "0\nEOF\n";
    EXPECT_EQ(app->OpenDocumentFile(AppTestEnvironment::file("part.dxf")), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("not supported yet"), std::string::npos);
    EXPECT_EQ(windows(), 1);
}

TEST_F(AppTest, SaveAsOpenAndReopenKeepObjectsAndWindows) {
    CSView* v = active();
    add_line(v, {0, 0, 0}, {100, 50, 0});
    add_line(v, {10, 10, 0}, {20, 80, 0});
    EXPECT_TRUE(v->document()->IsModified());
    const std::string path = AppTestEnvironment::file("two.qvm");
    std::string proposed;
    platform_set_file_choice_hook([&](const FileChoiceRequest& r, std::string* out) {
        proposed = r.initial;
        *out = path;
        return true;
    });
    ASSERT_TRUE(frame()->route_command(ID_FILE_SAVE_AS));
    EXPECT_EQ(proposed, "Zelo1.qvm");
    EXPECT_FALSE(v->document()->IsModified());
    EXPECT_EQ(v->document()->path(), path);
    // Opening the open file gives the same document.
    EXPECT_EQ(app->OpenDocumentFile(path), v->document());
    // Closed and opened again: the same objects, one window per stored view.
    v->frame()->close();
    app_session_settle();
    EXPECT_EQ(windows(), 0);
    CDocument* doc = app->OpenDocumentFile(path);
    ASSERT_NE(doc, nullptr);
    app_session_settle();
    ASSERT_EQ(windows(), 1);
    MODEL* m = static_cast<CDoc*>(doc)->drawing();
    auto* layer = rtc_cast<LAYER>(m->first_child());
    ASSERT_NE(layer, nullptr);
    int count = 0;
    for (ZDLIST* n = layer->children; n; n = n->next == layer->children ? nullptr : n->next) ++count;
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AppTest, FailedSaveSaysSoOnceAndKeepsTheOldFile) {
    CSView* v = active();
    add_line(v, {0, 0, 0}, {10, 0, 0});
    const std::string path = AppTestEnvironment::file("keep.qvm");
    std::ofstream(path) << "old contents";
    BoxRecorder boxes;
    // A folder that does not exist cannot take the file.
    EXPECT_FALSE(v->document()->OnSaveDocument((AppTestEnvironment::file("no/such/dir.qvm")).c_str()));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("no/such/dir.qvm"), std::string::npos);
    EXPECT_NE(boxes.boxes[0].text.find("(2: no such file or folder)"), std::string::npos);
    EXPECT_TRUE(v->document()->IsModified());
    // Save As to a foreign type refuses without writing.
    boxes.boxes.clear();
    platform_set_file_choice_hook([&](const FileChoiceRequest&, std::string* out) {
        *out = AppTestEnvironment::file("keep.dxf");
        return true;
    });
    EXPECT_FALSE(v->document()->DoSave(nullptr, true));
    EXPECT_FALSE(std::filesystem::exists(AppTestEnvironment::file("keep.dxf")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("keep.dxf (22: this file type is not supported)"), std::string::npos)
        << boxes.boxes[0].text;
    EXPECT_EQ(read_file(path), "old contents");
}

TEST_F(AppTest, SavingOverAFileAnotherRunChangedAsksFirst) {
    const std::string path = AppTestEnvironment::file("shared.qvm");
    CDocument* doc = active()->document();
    add_line(active(), {0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(doc->OnSaveDocument(path.c_str()));
    // Another run saves the file; this one's save asks, and No saves nothing.
    std::ofstream(path, std::ios::binary) << "the other run's drawing";
    add_line(active(), {0, 5, 0}, {10, 5, 0});
    BoxRecorder boxes;
    boxes.answer = kIdNo;
    EXPECT_FALSE(doc->OnSaveDocument(path.c_str()));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("changed on disk"), std::string::npos);
    EXPECT_EQ(read_file(path), "the other run's drawing");
    EXPECT_TRUE(doc->IsModified());
    boxes.answer = kIdYes;
    EXPECT_TRUE(doc->OnSaveDocument(path.c_str()));
    EXPECT_NE(read_file(path), "the other run's drawing");
    // Saved here last: the next save asks nothing.
    add_line(active(), {0, 9, 0}, {10, 9, 0});
    EXPECT_TRUE(doc->OnSaveDocument(path.c_str()));
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(AppTest, EnablingRules) {
    CSView* first = active();
    frame()->route_command(ID_WINDOW_NEW);  // a second window on the drawing
    app_session_settle();
    ASSERT_EQ(windows(), 2);
    CSView* second = active();
    ASSERT_NE(second, first);
    EXPECT_EQ(second->document(), first->document());
    add_line(first, {0, 0, 0}, {5, 5, 0});
    EXPECT_TRUE(frame()->route_update(ID_EDIT_UNDO).enabled);
    // A command waiting in the first view: the second view's commands, Undo and
    // Redo are disabled.
    struct Probe {
        AppTest* t;
        CSView* first;
        CSView* second;
        bool undo = true, other = true, own = false;
    } probe{this, first, second};
    static Probe* p;
    p = &probe;
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        CMainApp::instance()->main_frame()->mdi_area()->setActiveSubWindow(p->second->frame());
        p->other = p->second->CommandAllowed();
        p->own = p->first->CommandAllowed();
        CCmdUI ui;
        p->second->OnCmdMsg(ID_EDIT_UNDO, &ui);
        p->undo = ui.enabled;
        command_post_code(kStepRefused);
        Vec3 pt;
        return input_point(&view, 42002, nullptr, nullptr, &pt, 0);
    });
    first->OnCmdMsg(15002, nullptr);  // runs until the posted cancel below
    // (the command returned: the wait ended when no result could come)
    EXPECT_FALSE(probe.other);
    EXPECT_TRUE(probe.own);
    EXPECT_FALSE(probe.undo);
    CSView::SetCommandFunction(15002, nullptr);
    // A render job holding the drawing disables its commands.
    first->document()->render_busy = true;
    EXPECT_FALSE(first->CommandAllowed());
    first->document()->render_busy = false;
    // A perspective view runs no drawing command.
    first->view()->projection.mode = kProjPerspective;
    CCmdUI ui;
    first->OnCmdMsg(15000, &ui);
    EXPECT_FALSE(ui.enabled);
    first->view()->projection.mode = kProjParallel;
}

TEST_F(AppTest, LayerRoutines) {
    CSView* v = active();
    VIEW* view = v->view();
    MODEL* m = view_drawing(view);
    BoxRecorder boxes;
    ASSERT_EQ(layer_new(view, "Walls"), 1);
    LAYER* walls = layer_find(m, "Walls");
    ASSERT_NE(walls, nullptr);
    // The name again: the existing layer and what it holds stay; one message.
    layer_set_state(view, "Walls", true, true);
    add_line(v, {0, 0, 0}, {1, 1, 0});
    EXPECT_EQ(layer_new(view, "Walls"), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "A layer of this name exists already.");
    EXPECT_EQ(layer_find(m, "Walls"), walls);
    EXPECT_NE(walls->children, nullptr);
    // The current layer is not deleted.
    VIEW* holder = nullptr;
    EXPECT_EQ(layer_delete_by_name(view, "Walls", true, &holder), kLayerIsCurrent);
    EXPECT_EQ(holder, view);
    view->current_layer = rtc_cast<LAYER>(m->first_child());
    // Holding objects: No keeps it, Yes deletes it as one undo level.
    boxes.boxes.clear();
    boxes.answer = kIdNo;
    EXPECT_EQ(layer_delete_by_name(view, "Walls", true, &holder), kLayerKept);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "The layer \"Walls\" holds objects. Delete it anyway?");
    boxes.answer = kIdYes;
    const size_t flags = view->layer_state.flags.size();
    EXPECT_EQ(layer_delete_by_name(view, "Walls", true, &holder), kLayerDeleted);
    EXPECT_EQ(layer_find(m, "Walls"), nullptr);
    EXPECT_EQ(view->layer_state.flags.size(), flags - 1);
    EXPECT_EQ(layer_delete_by_name(view, "Walls", true, &holder), kLayerNotFound);
    // Visibility: hiding changes the view's flag, selecting shows and makes current.
    ASSERT_EQ(layer_new(view, "Doors"), 1);
    EXPECT_EQ(layer_set_state(view, "Doors", false, false), 1);
    EXPECT_EQ(view_layer_flag(view, layer_index_of(m, layer_find(m, "Doors"))), 0);
    EXPECT_EQ(layer_set_state(view, "Doors", true, false), 1);
    EXPECT_EQ(view->current_layer, layer_find(m, "Doors"));
}

// New Layer gives each view one flag; Undo and Redo of a layer deletion bring the
// name back to, and take it from, the Edit-bar lists of both windows.
TEST_F(AppTest, NewLayerAddsOneFlagAndUndoRefillsTheLayerLists) {
    CSView* first = active();
    frame()->route_command(ID_WINDOW_NEW);
    app_session_settle();
    ASSERT_EQ(windows(), 2);
    CSView* second = active();
    ASSERT_NE(second, first);
    ASSERT_EQ(first->view()->layer_state.flags.size(), 1u);
    ASSERT_EQ(layer_new(first->view(), "walls"), 1);
    for (CSView* v : {first, second}) EXPECT_EQ(v->view()->layer_state.flags.size(), 2u);
    auto listed = [](CSView* v) { return v->frame()->edit_bar()->layer_list()->findText("walls") >= 0; };
    EXPECT_TRUE(listed(first) && listed(second));
    ASSERT_EQ(layer_delete_by_name(first->view(), "walls", true, nullptr), kLayerDeleted);
    for (CSView* v : {first, second}) EXPECT_EQ(v->view()->layer_state.flags.size(), 1u);
    EXPECT_FALSE(listed(first) || listed(second));
    cmd_undo(first->view());
    ASSERT_NE(layer_find(view_drawing(first->view()), "walls"), nullptr);
    EXPECT_TRUE(listed(first) && listed(second));
    cmd_redo(first->view());
    EXPECT_FALSE(listed(first) || listed(second));
}

TEST_F(AppTest, ScrollingNeverLeavesTheOriginNonFinite) {
    CSView* v = active();
    VIEW* view = v->view();
    const double ox = view->projection.origin_x, oy = view->projection.origin_y;
    v->ScrollBy(INFINITY, 0, false);
    v->ScrollBy(NAN, NAN, true);
    EXPECT_EQ(view->projection.origin_x, ox);
    EXPECT_EQ(view->projection.origin_y, oy);
    // A real scroll moves by whole pixels.
    const double s = view->projection.scale;
    v->ScrollBy(10.3 / s, -4.0 / s, false);
    EXPECT_NEAR((view->projection.origin_x - ox) * s, 10.0, 1e-9);
    EXPECT_NEAR((view->projection.origin_y - oy) * s, 4.0, 1e-9);
    // An empty drawing has the fixed empty range.
    EXPECT_EQ(v->horizontalScrollBar()->pageStep(), 32766);
}

// The arrows and page clicks of the bars scroll by their share of the page even
// where the slider has no room left: at the drawing's edge (extents 0..100, origin
// 50, scale 4: the right arrow moves the origin by a twentieth of the window and the
// range widens) and in an empty drawing.
TEST_F(AppTest, ScrollBarArrowsScrollPastTheDrawingsEdge) {
    CSView* v = active();
    VIEW* view = v->view();
    int w = 0, h = 0;
    v->client_size(&w, &h);
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    struct Case {
        const char* what;
        bool empty;
        QAbstractSlider::SliderAction action;
        bool across;
        int divisor, sign;  // the step is sign * (page / divisor) bar units
    };
    const Case cases[] = {
        {"right arrow at the edge", false, QAbstractSlider::SliderSingleStepAdd, true, 20, 1},
        {"page right at the edge", false, QAbstractSlider::SliderPageStepAdd, true, 2, 1},
        {"down arrow, empty drawing", true, QAbstractSlider::SliderSingleStepAdd, false, 20, 1},
        {"left arrow, empty drawing", true, QAbstractSlider::SliderSingleStepSub, true, 20, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const float extents[6] = {0, 0, 0, 100, 100, 0};
        for (int i = 0; i < 6; ++i) view->scroll_area[i] = c.empty ? (i < 3 ? 5.0f : -5.0f) : extents[i];
        view->projection.scale = 4;
        view->projection.origin_x = 50;
        view->projection.origin_y = 50;
        v->SetScrollBars();
        QScrollBar* bar = c.across ? v->horizontalScrollBar() : v->verticalScrollBar();
        const int range_before = bar->maximum() - bar->minimum();
        const int page = bar->pageStep();
        // Bar units to window pixels, rounded to whole pixels as scrolling does; the
        // vertical bar counts from the top.
        const double pixels = std::floor(c.sign * (page / c.divisor) / double(page) * (c.across ? w : h) + 0.5);
        bar->triggerAction(c.action);
        const double moved = c.across ? view->projection.origin_x - 50 : 50 - view->projection.origin_y;
        EXPECT_NEAR(moved, pixels / 4, 1e-9);
        EXPECT_NE(moved, 0.0);
        if (!c.empty) {
            EXPECT_GT(bar->maximum() - bar->minimum(), range_before);
        }
    }
}

// In a front view the readout works in the axes the user types coordinates in: the
// view's own by default (the second value is the height under the pointer), the
// drawing's when the user chose those.
TEST_F(AppTest, ReadoutFollowsTheAxesOfTypedCoordinates) {
    static CSView* sv;
    static std::string second;
    sv = active();
    VIEW* view = sv->view();
    ASSERT_TRUE(view_point_preset(view, 6010));
    view->projection.origin_y = 100;  // every height in the window is above 100
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* v = *static_cast<VIEW**>(arg);
        view_set_input_mode(v, 1);
        QWidget* vp = sv->viewport();
        const QPointF at(vp->width() * 0.3, vp->height() * 0.2);
        QCoreApplication::postEvent(vp, new QMouseEvent(QEvent::MouseMove, at, vp->mapToGlobal(at), Qt::NoButton,
                                                        Qt::NoButton, Qt::NoModifier));
        QCoreApplication::postEvent(sv, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        Vec3 p;
        (void)input_point(&v, 42002, nullptr, nullptr, &p, 0);
        second = readout_bar() ? readout_bar()->pane_text(32794) : "<no bar>";
        view_set_input_mode(v, 0);
        return 0;
    });
    const int saved = g_prefs.coord_sys;
    for (int axes : {1, 0}) {
        SCOPED_TRACE(axes);
        g_prefs.coord_sys = axes;
        second.clear();
        sv->OnCmdMsg(15002, nullptr);
        app_session_settle();
        EXPECT_GT(view->cursor_view[1], 100.0);
        EXPECT_NEAR(view->cursor[1], 0.0, 1e-6);  // the drawing's y in a front view: the depth
        const double want = axes ? view->cursor_view[1] : view->cursor[1];
        EXPECT_EQ(second, readout_value_text(" ", want, ReadoutFormat::kLength, view));
    }
    g_prefs.coord_sys = saved;
    CSView::SetCommandFunction(15002, nullptr);
}

TEST_F(AppTest, ClosingTheCommandViewWaitsForTheCommandToUnwind) {
    CSView* v = active();
    CMDIFrame* f = v->frame();
    static CMDIFrame* target;
    static bool closed_during;
    target = f;
    closed_during = true;
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        target->close();  // the window asks to close while the step waits
        closed_during = target->isVisible() == false;
        Vec3 pt;
        const int r = input_point(&view, 42002, nullptr, nullptr, &pt, 0);
        // The VIEW is still alive while the command unwinds.
        EXPECT_TRUE(view == nullptr || view->model != nullptr);
        return r;
    });
    v->OnCmdMsg(15002, nullptr);
    EXPECT_FALSE(closed_during);
    app_session_settle();
    EXPECT_EQ(windows(), 0);
    CSView::SetCommandFunction(15002, nullptr);
}

TEST_F(AppTest, MainWindowRefusesToCloseWhileACommandWaits) {
    CSView* v = active();
    static CMainFrame* mf;
    static bool visible_after;
    static int beeps;
    mf = frame();
    beeps = 0;
    BeepHook old = platform_set_beep_hook([] { ++beeps; });
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        mf->route_command(ID_APP_EXIT);
        visible_after = mf->isVisible();
        command_post_code(kStepRefused);
        Vec3 pt;
        return input_point(&view, 42002, nullptr, nullptr, &pt, 0);
    });
    v->OnCmdMsg(15002, nullptr);
    EXPECT_TRUE(visible_after);
    EXPECT_EQ(beeps, 1);
    platform_set_beep_hook(old);
    CSView::SetCommandFunction(15002, nullptr);
}

TEST_F(AppTest, BlockFileGoesIntoTheActiveDrawingAsOneUndoLevel) {
    // A block of two lines saved from another drawing.
    std::unique_ptr<MODEL> src = rtc_make<MODEL>();
    auto* src_layer = rtc_cast<LAYER>(src->first_child());
    buffer* sel = buffer_create();
    for (float y : {0.0f, 5.0f}) {
        std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
        EXPECT_EQ(plist_add(&line->control, {10, y, 0}), 0);
        EXPECT_EQ(plist_add(&line->control, {0, y, 0}), 0);
        line->own_box();
        EXPECT_EQ(buffer_add(sel, line.get()), 0);
        ASSERT_EQ(container_insert(src_layer, line.release()), 0);
    }
    const std::string path = AppTestEnvironment::file("pair.mcr");
    ASSERT_EQ(block_file_save(path.c_str(), "pair", src.get(), 0, sel, {0, 0, 0}), 0);
    buffer_free(&sel);

    CSView* v = active();
    MODEL* m = view_drawing(v->view());
    CONTAINER* layer = v->view()->current_layer;
    ASSERT_NE(layer, nullptr);
    const int levels = m->undo_levels;
    EXPECT_EQ(app->OpenDocumentFile(path), nullptr);
    int count = 0;
    for (ZDLIST* n = layer->children; n; n = n->next == layer->children ? nullptr : n->next) ++count;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(m->undo_levels, levels + 1);
    EXPECT_TRUE(v->document()->IsModified());
    cmd_undo(v->view());
    EXPECT_EQ(layer->children, nullptr);
}

// A selection stored with the drawing comes back shown as selected: every window of
// the reopened drawing draws the selected lines in the highlight colour, the others
// in their own, whatever repaints it.
TEST_F(AppTest, ReopenedDrawingShowsItsStoredSelection) {
    CSView* v = active();
    add_line(v, {0, 0, 0}, {100, 50, 0});
    add_line(v, {0, 30, 0}, {100, 30, 0});
    add_line(v, {0, 40, 0}, {100, 40, 0});
    std::vector<XPLINE*> lines;
    auto* layer = rtc_cast<LAYER>(v->document()->drawing()->first_child());
    ASSERT_NE(layer, nullptr);
    for (ZDLIST* n = layer->children; n; n = n->next == layer->children ? nullptr : n->next)
        if (auto* l = rtc_cast<XPLINE>(n)) lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u);
    for (XPLINE* l : lines) l->colour = 1;
    ASSERT_EQ(buffer_add(v->view()->selection, lines[0]), 0);
    ASSERT_EQ(buffer_add(v->view()->selection, lines[1]), 0);
    ASSERT_TRUE(frame()->route_command(ID_ZOOM_ALL));
    const std::string path = AppTestEnvironment::file("selected.qvm");
    platform_set_file_choice_hook([&](const FileChoiceRequest&, std::string* out) {
        *out = path;
        return true;
    });
    ASSERT_TRUE(frame()->route_command(ID_FILE_SAVE_AS));
    v->frame()->close();
    app_session_settle();
    ASSERT_EQ(windows(), 0);
    CDocument* doc = app->OpenDocumentFile(path);
    ASSERT_NE(doc, nullptr);
    app_session_settle();
    CSView* back = active();
    ASSERT_NE(back, nullptr);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round ? "after a zoom" : "opened");
        if (round) ASSERT_TRUE(frame()->route_command(ID_ZOOM_ALL));
        back->InvalidateAll();
        back->update_now();
        Canvas* c = back->canvas();
        ASSERT_NE(c, nullptr);
        // The colour under the middle of each line (the nearest non-background pixel).
        auto colour_at = [&](const Vec3& p) {
            int x, y;
            world_to_pixel(&back->view()->projection, p, &x, &y);
            for (int d = 0; d <= 2; ++d)
                for (int oy = -d; oy <= d; ++oy)
                    for (int ox = -d; ox <= d; ++ox) {
                        if (x + ox < 0 || x + ox >= c->width() || y + oy < 0 || y + oy >= c->height()) continue;
                        const uint8_t* px = c->row(c->height() - 1 - (y + oy)) + 3 * (x + ox);
                        const uint32_t word = px[2] | px[1] << 8 | px[0] << 16;
                        if (word != display_background_word()) return word;
                    }
            return display_background_word();
        };
        EXPECT_EQ(colour_at({50, 25, 0}), display_colour_word(g_display.highlight_colour));
        EXPECT_EQ(colour_at({20, 30, 0}), display_colour_word(g_display.highlight_colour));
        EXPECT_EQ(colour_at({20, 40, 0}), display_colour_word(1));
    }
}

TEST_F(AppTest, CursorMarkShownThenHiddenLeavesTheCanvasUnchanged) {
    CSView* v = active();
    Canvas* c = v->canvas();
    ASSERT_NE(c, nullptr);
    DocInputState* st = view_input_state(v->view());
    ASSERT_NE(st, nullptr);
    st->on_move = &cursor_draw_crosshair;
    v->view()->cursor_pixel[0] = 40;
    v->view()->cursor_pixel[1] = 30;
    auto bytes = [c] {
        std::string out;
        for (int y = 0; y < c->height(); ++y) out.append(reinterpret_cast<const char*>(c->row(y)), 3 * c->width());
        return out;
    };
    const std::string before = bytes();
    v->ShowMark(true);
    EXPECT_NE(bytes(), before);
    // The pointer moves on while the mark is shown: it is erased where it was drawn.
    v->view()->cursor_pixel[0] = 90;
    v->ShowMark(false);
    EXPECT_EQ(bytes(), before);
    st->on_move = nullptr;
}

// A drawing opened by a name relative to the working folder (a command-line start)
// is known by its full path: the recent-file list still finds it after the folder
// changes, and the same file named either way is one document.
TEST_F(AppTest, ARelativeNameIsKeptAsItsFullPath) {
    add_line(active(), {0, 0, 0}, {10, 10, 0});
    const std::string full = AppTestEnvironment::file("rel.qvm");
    platform_set_file_choice_hook([&](const FileChoiceRequest&, std::string* out) {
        *out = full;
        return true;
    });
    ASSERT_TRUE(frame()->route_command(ID_FILE_SAVE_AS));
    active()->frame()->close();
    app_session_settle();
    const std::filesystem::path old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(full).parent_path());
    CDocument* doc = app->OpenDocumentFile("./rel.qvm");
    std::filesystem::current_path(old_cwd);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->path(), full);
    EXPECT_EQ(recent_files().entries().front(), full);
    EXPECT_EQ(app->OpenDocumentFile(full), doc);
}

// Every object-snap toggle and Keep current Z reach the drawing view from the menus
// and keys: enabled, checked as their state, flipped by the command.
TEST_F(AppTest, SnapTogglesAndKeepZAreRoutedAndChecked) {
    VIEW* view = active()->view();
    struct Case {
        int id;
        std::function<bool()> state;
    };
    const Case cases[] = {
        {15820, [view] { return view->keep_depth != 0; }},
        {15826, [view] { return (view->input_flags & 0x004) != 0; }},
        {15840, [] { return g_prefs.pled_keep_z != 0; }},
    };
    for (const Case& c : cases) {
        const bool before = c.state();
        CCmdUI ui = frame()->route_update(c.id);
        EXPECT_TRUE(ui.enabled) << c.id;
        EXPECT_TRUE(ui.checkable) << c.id;
        EXPECT_EQ(ui.checked, before) << c.id;
        EXPECT_TRUE(frame()->route_command(c.id)) << c.id;
        EXPECT_NE(c.state(), before) << c.id;
        EXPECT_EQ(frame()->route_update(c.id).checked, !before) << c.id;
        frame()->route_command(c.id);
        EXPECT_EQ(c.state(), before) << c.id;
    }
}

// Typing during a command step opens the typed-entry dialog on the step's own
// buffer: the whole text of a long buffer comes back (not the first 64 bytes), a
// short buffer's edit takes no more than fits.
TEST_F(AppTest, TypedEntryKeepsToTheStepBuffersCapacity) {
    static std::string typed;
    static size_t capacity;
    static int max_length;
    static std::string got;
    static CSView* sv;
    sv = active();
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        std::vector<char> buffer(capacity, 'x');
        QCoreApplication::postEvent(sv, new QKeyEvent(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, "1"));
        const int r = input_wait(&view, 42083, nullptr, nullptr, buffer.data(), buffer.size(), 0, 0);
        got = r == kStepGiven ? std::string(buffer.data(), strnlen(buffer.data(), buffer.size())) : "<cancelled>";
        return r == kStepGiven ? 0 : -1;
    });
    ModalDialogHook old = platform_set_modal_hook([](CDialog& d) {
        auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(kIdcTypedText));
        max_length = edit ? edit->maxLength() : -1;
        if (edit) edit->setText(QString::fromStdString(typed));  // as typed: the edit keeps to its limit
        d.press(IDOK);
    });
    struct Case {
        size_t capacity;
        std::string typed, expected;
    };
    const std::string long_number = "1" + std::string(149, '0');
    for (const Case& c : {Case{200, long_number, long_number}, Case{8, "123456789", "1234567"}}) {
        capacity = c.capacity;
        typed = c.typed;
        got.clear();
        active()->OnCmdMsg(15002, nullptr);
        app_session_settle();
        EXPECT_EQ(max_length, int(c.capacity - 1)) << c.capacity;
        EXPECT_EQ(got, c.expected) << c.capacity;
    }
    platform_set_modal_hook(old);
    CSView::SetCommandFunction(15002, nullptr);
}

// "50" typed at a number step (a circle's radius): the first key opens Enter Number
// with "5", and the next key goes on after it instead of replacing it.
TEST_F(AppTest, EnterNumberKeepsTheDigitThatOpenedIt) {
    static double got;
    static int code;
    static CSView* sv;
    static QString shown;
    sv = active();
    got = -1;
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        QTimer::singleShot(0, [] {
            // Runs inside the dialog's own loop, once it is on screen.
            QTimer::singleShot(0, [] {
                QWidget* modal = QApplication::activeModalWidget();
                auto* d = dynamic_cast<CDialog*>(modal);
                auto* edit = d ? qobject_cast<QLineEdit*>(d->GetDlgItem(kIdcTypedText)) : nullptr;
                if (!edit) {
                    // Not Enter Number: what is on screen is closed and the step
                    // cancelled, so the command returns and the test reports it.
                    ADD_FAILURE() << "no Enter Number edit; on screen: "
                                  << (modal ? "\"" + modal->windowTitle().toStdString() + "\"" : "no dialog");
                    if (auto* q = qobject_cast<QDialog*>(modal)) q->reject();
                    else if (modal) modal->close();
                    QCoreApplication::postEvent(sv, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                    return;
                }
                key_click(edit, Qt::Key_0, "0");
                shown = edit->text();
                key_click(edit, Qt::Key_Return, "\r");
                if (d->isVisible()) d->press(IDOK);
            });
            key_click(sv, Qt::Key_5, "5");
        });
        code = input_distance(&view, Vec3{0, 0, 0}, 42083, 0, nullptr, nullptr, &got, 0);
        return 0;
    });
    active()->OnCmdMsg(15002, nullptr);
    app_session_settle();
    EXPECT_EQ(shown, "50");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(got, 50.0);
    CSView::SetCommandFunction(15002, nullptr);
}

// At a number step "." opens Enter Number as a digit does; a text that is no usable
// number is refused with a message and the number asked again (answered "5").
TEST_F(AppTest, EnterNumberTakesAPointAndRefusesWhatIsNoNumber) {
    struct Case {
        std::string keys;
        double want;
        int boxes;
    };
    static std::vector<std::string> rounds;
    static CSView* sv;
    static double got;
    static int code;
    sv = active();
    // Types the next round: its first key on the view, the rest in the dialog's edit.
    static std::function<void()> type_round = [] {
        if (rounds.empty()) return;
        const std::string keys = rounds.front();
        rounds.erase(rounds.begin());
        auto key_of = [](char c) { return Qt::Key(std::toupper(static_cast<unsigned char>(c))); };
        QTimer::singleShot(0, [keys, key_of] {
            QTimer::singleShot(0, [keys, key_of] {
                auto* d = dynamic_cast<CDialog*>(QApplication::activeModalWidget());
                auto* edit = d ? qobject_cast<QLineEdit*>(d->GetDlgItem(kIdcTypedText)) : nullptr;
                if (!edit) {
                    ADD_FAILURE() << "no Enter Number for " << keys;
                    QCoreApplication::postEvent(sv, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                    return;
                }
                for (char c : keys.substr(1)) key_click(edit, key_of(c), std::string(1, c).c_str());
                key_click(edit, Qt::Key_Return, "\r");
            });
            key_click(sv, key_of(keys[0]), keys.substr(0, 1).c_str());
        });
    };
    CSView::SetCommandFunction(15002, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        type_round();
        code = input_distance(&view, Vec3{0, 0, 0}, 42083, 0, nullptr, nullptr, &got, 0);
        return 0;
    });
    for (const Case& c : {Case{".5", 0.5, 0}, Case{"1e400", 5, 1}, Case{"-inf", 5, 1}, Case{"1x", 5, 1}}) {
        SCOPED_TRACE(c.keys);
        // The next round is typed once the refusal's message is up.
        static std::vector<std::string> boxes;
        boxes.clear();
        const PlatformMessageBoxHook old = platform_set_message_box_hook([](const MsgBoxRequest& b, QWidget*) {
            boxes.push_back(b.text);
            type_round();
            return kIdOk;
        });
        rounds = {c.keys};
        if (c.boxes) rounds.push_back("5");
        got = -1;
        active()->OnCmdMsg(15002, nullptr);
        app_session_settle();
        EXPECT_EQ(code, 0);
        EXPECT_EQ(got, c.want);
        platform_set_message_box_hook(old);
        EXPECT_EQ(boxes, std::vector<std::string>(c.boxes, "Please enter the value correctly"));
    }
    CSView::SetCommandFunction(15002, nullptr);
}

// The key-help bar lies along the bottom edge, below every toolbar docked at the
// bottom and on a line of its own, by default, after a saved layout is loaded (also
// one that moved a bottom toolbar away) and after the toolbars are reset.
TEST_F(AppTest, KeyHelpBarStaysAtTheBottomEdgeOnItsOwnLine) {
    auto check = [this](const char* when) {
        frame()->resize(1000, 700);
        frame()->show();
        app_session_settle();
        QToolBar* help = frame()->findChild<QToolBar*>(QStringLiteral("KeyHelp"));
        ASSERT_NE(help, nullptr) << when;
        ASSERT_EQ(frame()->toolBarArea(help), Qt::BottomToolBarArea) << when;
        int bottom_bars = 0;
        for (QToolBar* b : frame()->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
            if (b == help || !b->isVisible() || frame()->toolBarArea(b) != Qt::BottomToolBarArea) continue;
            ++bottom_bars;
            EXPECT_LE(b->geometry().bottom(), help->geometry().top()) << when << " " << b->objectName().toStdString();
        }
        EXPECT_GE(bottom_bars, 1) << when;
    };
    check("first start");
    frame()->route_command(32772);  // reset toolbars
    check("reset");
    // One bottom toolbar moved to the top; the layout is saved and read at the next start.
    QToolBar* moved = frame()->findChild<QToolBar*>(QStringLiteral("TB15908"));
    ASSERT_NE(moved, nullptr);
    frame()->addToolBar(Qt::TopToolBarArea, moved);
    TearDown();
    SetUp();
    check("saved layout");
    EXPECT_EQ(frame()->toolBarArea(frame()->findChild<QToolBar*>(QStringLiteral("TB15908"))), Qt::TopToolBarArea);
}

}  // namespace

TEST_F(AppTest, EditingCommandsHaveTheirSlotsAndPasteFollowsTheClipboard) {
    for (int id : {15100, 15101, 15102, 15103, 15104, 15105, 15106, 15107, 15400, 15407, 15701, 15702, 15703,
                   ID_EDIT_COPY})
        EXPECT_TRUE(frame()->route_update(id).enabled) << id;
    ASSERT_EQ(*clip_contents(), nullptr);
    EXPECT_FALSE(frame()->route_update(ID_EDIT_PASTE).enabled);
    *clip_contents() = rtc_make<MODEL>().release();
    EXPECT_TRUE(frame()->route_update(ID_EDIT_PASTE).enabled);
    app->ExitInstance();  // frees the clipboard drawing
    EXPECT_EQ(*clip_contents(), nullptr);
    // Delete of the selection through the view's table: one undo level.
    add_line(active(), {0, 0, 0}, {10, 0, 0});
    MODEL* m = active()->document()->drawing();
    EXPECT_EQ(buffer_add(active()->view()->selection,
                         static_cast<ZOBJ*>(active()->view()->current_layer->children->prev)),
              0);
    msgbox_set_hook([](const MsgBoxRequest&) { return kIdYes; });
    const int levels = m->undo_levels;
    ASSERT_TRUE(frame()->route_command(15703));
    app_session_settle();
    msgbox_set_hook(nullptr);
    EXPECT_EQ(m->undo_levels, levels + 1);
    EXPECT_FALSE(buffer_has_objects(active()->view()->selection));
}
