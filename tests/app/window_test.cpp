// The windows of the running application offscreen: the recent files of the File
// menu, window titles and icons, the Window menu's list, Cascade and the two tiles,
// maximised windows, check marks of commands, and dialog captions.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/startup/window_side.h"
#include "app_env.h"
#include "app_session.h"
#include "commands/input/input.h"
#include "dialogs/typed_input.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "platform/dialog.h"
#include "platform/file_choice.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/sview.h"
#include "shell/toolbars.h"
#include "shell/window_list_dialog.h"

namespace {

// Each test starts from a settings file of its own (the window placement, recent
// files and preferences a session writes at its end stay with it) and gives back the
// preferences, the settings file, the command slot it may replace and the modal hook.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_settings_ = settings_path();
        saved_prefs_ = g_prefs;
        saved_command_ = CSView::CommandFunction(15500);
        saved_modal_ = platform_set_modal_hook(nullptr);
        platform_set_modal_hook(saved_modal_);
        const std::string own = AppTestEnvironment::dir() + "/config/" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        ASSERT_EQ(settings_open(own), 0);
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        app_session_settle();
    }
    void TearDown() override {
        if (app) app_session_end(app, &app_session_settle);
        platform_set_modal_hook(saved_modal_);
        CSView::SetCommandFunction(15500, saved_command_);
        EXPECT_EQ(settings_open(saved_settings_), 0);
        g_prefs = saved_prefs_;
    }
    CMainFrame* frame() { return app->main_frame(); }
    QMdiArea* area() { return frame()->mdi_area(); }
    // The menu of the menu bar shown now whose title is `title`.
    QMenu* menu(const QString& title) {
        for (QAction* a : frame()->menuBar()->actions())
            if (a->menu() && a->text() == title) return a->menu();
        return nullptr;
    }
    // Texts of a menu's items, the menu brought up to date as when it opens.
    QStringList texts(QMenu* m) {
        Q_EMIT m->aboutToShow();
        QStringList out;
        for (QAction* a : m->actions())
            if (!a->isSeparator()) out << a->text();
        return out;
    }
    // Saves the active drawing as `name` through Save As.
    std::string save_as(const std::string& name) {
        const std::string path = AppTestEnvironment::file(name);
        platform_set_file_choice_hook([path](const FileChoiceRequest&, std::string* out) {
            *out = path;
            return true;
        });
        EXPECT_TRUE(frame()->route_command(ID_FILE_SAVE_AS));
        return path;
    }
    std::unique_ptr<CMainApp> app;

  private:
    std::string saved_settings_;
    Preferences saved_prefs_;
    CommandFn saved_command_ = nullptr;
    ModalDialogHook saved_modal_;
};

TEST_F(WindowTest, RecentFilesFollowSaveAsOpenAndSave) {
    const std::string one = save_as("one.qvm");
    ASSERT_NE(app->NewDrawing(), nullptr);
    const std::string two = save_as("two.qvm");
    QStringList file = texts(menu("&File"));
    EXPECT_TRUE(file.contains(QString("&1 %1").arg(QString::fromStdString(two)))) << file.join('|').toStdString();
    EXPECT_TRUE(file.contains(QString("&2 %1").arg(QString::fromStdString(one))));
    // Opening the drawing that is open already puts it first.
    ASSERT_NE(app->OpenDocumentFile(one), nullptr);
    file = texts(menu("&File"));
    EXPECT_TRUE(file.contains(QString("&1 %1").arg(QString::fromStdString(one))));
    // So does Save (Ctrl+S) on the other.
    for (QMdiSubWindow* w : area()->subWindowList())
        if (w->windowTitle() == "two.qvm") area()->setActiveSubWindow(w);
    ASSERT_EQ(frame()->active_view()->document()->path(), two);
    ASSERT_TRUE(frame()->action(ID_FILE_SAVE)->shortcuts().contains(QKeySequence("Ctrl+S")));
    frame()->action(ID_FILE_SAVE)->trigger();
    file = texts(menu("&File"));
    EXPECT_TRUE(file.contains(QString("&1 %1").arg(QString::fromStdString(two))));
}

TEST_F(WindowTest, TitlesIconsAndTheWindowMenuNameEveryWindow) {
    save_as("one.qvm");
    CSView* first = frame()->active_view();
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
    app_session_settle();
    CSView* second = frame()->active_view();
    ASSERT_NE(second, first);
    EXPECT_EQ(first->frame()->windowTitle(), "one.qvm:1");
    EXPECT_EQ(second->frame()->windowTitle(), "one.qvm:2");
    // The program's own icon, not the toolkit's.
    const QImage want = window_icon(129).pixmap(16).toImage();
    EXPECT_FALSE(want.isNull());
    EXPECT_EQ(first->frame()->windowIcon().pixmap(16).toImage(), want);
    EXPECT_FALSE(frame()->windowIcon().isNull());

    // The Window menu ends with the windows, the active one checked; choosing one
    // activates it.
    QMenu* win = menu("&Window");
    ASSERT_NE(win, nullptr);
    const QStringList items = texts(win);
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items.mid(items.size() - 2), (QStringList{"&1 one.qvm:1", "&2 one.qvm:2"}));
    QAction* pick = win->actions()[win->actions().size() - 2];
    EXPECT_FALSE(pick->isChecked());
    EXPECT_TRUE(win->actions().back()->isChecked());
    pick->trigger();
    EXPECT_EQ(frame()->active_view(), first);

    // One window closed: the title loses its number.
    second->frame()->close();
    app_session_settle();
    EXPECT_EQ(first->frame()->windowTitle(), "one.qvm");
}

// Past nine windows the menu ends with "More Windows...": the list of every window,
// the active one chosen first; the one chosen (the eleventh, no item of its own) comes forward.
TEST_F(WindowTest, MoreWindowsReachesEveryWindowPastTheNinth) {
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
    app_session_settle();
    const QList<QMdiSubWindow*> wins = area()->subWindowList(QMdiArea::CreationOrder);
    area()->setActiveSubWindow(wins[3]);
    QMenu* win = menu("&Window");
    ASSERT_EQ(texts(win).back(), "&More Windows...");
    platform_set_modal_hook([&](CDialog& d) {
        auto* list = static_cast<QListWidget*>(d.GetDlgItem(CWindowListDlg::kIdcList));
        EXPECT_EQ(list->currentRow(), 3);
        ASSERT_EQ(list->count(), 11);
        EXPECT_EQ(list->item(10)->text(), wins[10]->windowTitle());
        list->setCurrentRow(10);
        d.press(IDOK);
    });
    win->actions().back()->trigger();
    EXPECT_EQ(area()->activeSubWindow(), wins[10]);
}

TEST_F(WindowTest, CascadeKeepsWindowsLargeAndTheTilesDiffer) {
    frame()->resize(1000, 800);
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
    app_session_settle();
    const QSize room = area()->viewport()->size();
    const QList<QMdiSubWindow*> wins = area()->subWindowList();
    ASSERT_EQ(wins.size(), 3);
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_CASCADE));
    for (QMdiSubWindow* w : wins) {
        EXPECT_GE(w->width(), room.width() * 2 / 3);
        EXPECT_GE(w->height(), room.height() * 2 / 3);
        EXPECT_TRUE(QRect(QPoint(0, 0), room).contains(w->geometry()));
    }
    // Tile Horizontally: one above the other, as wide as the area; Tile Vertically:
    // side by side, as high as the area.
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_TILE_HORZ));
    for (QMdiSubWindow* w : wins) EXPECT_EQ(w->width(), room.width());
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_TILE_VERT));
    for (QMdiSubWindow* w : wins) EXPECT_EQ(w->height(), room.height());
}

TEST_F(WindowTest, ANewWindowBesideAMaximisedOneIsMaximisedAndSoIsAViewSavedMaximised) {
    CSView* first = frame()->active_view();
    first->frame()->showMaximized();
    ASSERT_TRUE(app->NewDrawing());
    app_session_settle();
    CSView* second = frame()->active_view();
    ASSERT_NE(second, first);
    EXPECT_TRUE(second->frame()->isMaximized());
    EXPECT_EQ(second->frame()->size(), area()->viewport()->size());
    second->frame()->close();
    app_session_settle();
    // The first of two views saved maximised: it reopens maximised, its neighbour made
    // after it notwithstanding.
    ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
    app_session_settle();
    area()->setActiveSubWindow(first->frame());
    first->frame()->showMaximized();
    const std::string path = save_as("max.qvm");
    for (const auto& d : app->drawing_template()->documents()) d->SetModifiedFlag(false);
    area()->closeAllSubWindows();
    app_session_settle();
    ASSERT_EQ(app_window_count(app.get()), 0);
    auto* doc = static_cast<CDoc*>(app->OpenDocumentFile(path));
    ASSERT_NE(doc, nullptr);
    app_session_settle();
    ASSERT_EQ(doc->views().size(), 2u);
    EXPECT_TRUE(doc->views()[0]->frame()->isMaximized());
    EXPECT_EQ(area()->activeSubWindow(), doc->views()[0]->frame());
}

TEST_F(WindowTest, ACommandsCheckMarkGoesWhenItEnds) {
    static CMainFrame* mf;
    static bool checked_while_running;
    mf = frame();
    CSView::SetCommandFunction(15500, [](void* arg) -> int {
        VIEW* view = *static_cast<VIEW**>(arg);
        mf->update_actions();
        checked_while_running = mf->action(15500)->isChecked();
        command_post_code(kStepRefused);
        Vec3 pt;
        return input_point(&view, 42002, nullptr, nullptr, &pt, 0);
    });
    ASSERT_TRUE(frame()->route_command(15500));
    app_session_settle();
    EXPECT_TRUE(checked_while_running);
    frame()->update_actions();
    EXPECT_FALSE(frame()->action(15500)->isChecked());
}

TEST_F(WindowTest, DialogsAreWideEnoughForTheirCaptions) {
    int width = 0;
    QString caption;
    const ModalDialogHook old = platform_set_modal_hook([&](CDialog& d) {
        d.adjustSize();
        width = d.width();
        caption = d.windowTitle();
    });
    char buffer[64] = "5";
    CCoordDlg dlg(frame()->active_view(), frame()->active_view()->view(), buffer, sizeof buffer);
    dlg.DoModalHelp(kHelpTypedInput);
    platform_set_modal_hook(old);
    EXPECT_EQ(caption, "Enter Coordinate");
    // The whole caption in a title bar's face (the one the toolkit draws titles in,
    // bold as window managers have it), with room beside it for the window's icon
    // and three buttons of about 24 pixels each.
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true);
    EXPECT_GE(width, QFontMetrics(title).horizontalAdvance(caption) + 4 * 24) << caption.toStdString();
}

// New windows of a drawing open inside the window area, whatever the size of the
// window they copy.
TEST_F(WindowTest, NewWindowsOpenInsideTheArea) {
    frame()->resize(1000, 800);
    app_session_settle();
    const QRect room(QPoint(0, 0), area()->viewport()->size());
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(frame()->route_command(ID_WINDOW_NEW));
        app_session_settle();
        const QRect placed = area()->activeSubWindow()->geometry();
        EXPECT_TRUE(room.contains(placed)) << i << ": " << placed.x() << "," << placed.y() << " " << placed.width()
                                           << "x" << placed.height();
    }
    if (const char* out = std::getenv("ZELO_SCREENSHOT_DIR"))
        frame()->grab().save(QString("%1/new_windows.png").arg(out));
}

}  // namespace
