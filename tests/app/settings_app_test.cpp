// The settings commands in the running application offscreen: every item of a
// drawing window's menus does something, the preferences sheet's undo depth trims
// every open drawing (and waits while a command holds objects), and its values go
// through the settings file and back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "app/startup/window_side.h"
#include "app_env.h"
#include "app_session.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "graphics/view/view_host.h"
#include "model/db/solid.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/material/material.h"
#include "model/math/plist.h"
#include "model/math/scalar.h"
#include "model/services/numfmt.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "platform/dialog.h"
#include "platform/prop_sheet.h"
#include "shell/mainframe.h"
#include "shell/toolbars.h"
#include "shell/sview.h"
#include "shell/drawing_doc.h"
#include "platform/msgqueue.h"
#include "shell/menu_resource.h"

namespace {

class SettingsApp : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = g_prefs;
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        msg_dispatch_pending();
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        app_session_end(app, [] { msg_dispatch_pending(); });
        g_prefs = saved;
    }
    CMainFrame* frame() { return app->main_frame(); }
    static void add_lines(CSView* view, int n) {
        for (int i = 0; i < n; ++i) {
            std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
            EXPECT_EQ(plist_add(&line->control, Vec3{float(i), 1, 0}), 0);
            EXPECT_EQ(plist_add(&line->control, Vec3{float(i), 0, 0}), 0);
            ASSERT_EQ(drawing_add_object(view->view(), std::move(line), 1), 0);
        }
    }
    // The sheet answered with undo kept to `levels` levels.
    static void answer_undo_levels(int levels) {
        platform_set_modal_hook([levels](CDialog& d) {
            if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
                d.adjustSize();
                d.grab().save(QString("%1/preferences.png").arg(dir));
            }
            CPropPage* page = static_cast<CPropSheet&>(d).page(0);
            qobject_cast<QAbstractButton*>(page->GetDlgItem(kIdcSet + 3))->setChecked(true);
            qobject_cast<QLineEdit*>(page->GetDlgItem(kIdcSet + 4))->setText(QString::number(levels));
            d.press(IDOK);
        });
    }
    std::unique_ptr<CMainApp> app;
    Preferences saved;
};

TEST_F(SettingsApp, EveryItemOfADrawingWindowDoesSomething) {
    std::ifstream f(std::string(ZELO_TEST_DATA) + "/../../resources/menus.txt");
    std::stringstream text;
    text << f.rdbuf();
    MenuResource menus;
    int line = 0;
    ASSERT_TRUE(menu_resource_parse(text.str(), &menus, &line));
    ASSERT_NE(menus.bar(129), nullptr);
    // Items that wait for commands being built elsewhere, those enabled only in a
    // state this drawing lacks (nothing to undo, redo or paste, no recent file), and
    // those whose handlers the program's entry installs (images, printing, rendering,
    // the polyline editor, the preview window).
    const std::set<int> waiting = {15506, 15508, 15509, 15511, 15513, 15515, 15605, 32784, 32785, 32783,
                                   57616, 57617, 57618, 57619, 32778, 57605, 57606, 57607, 57609, 15603,
                                   15841, 15842, 15843, 15844, 15845, 15846, 15847, 15848, 15849, 15704};
    std::vector<int> disabled;
    for (int id : menu_item_ids(*menus.bar(129)))
        if (!waiting.count(id) && !frame()->route_update(id).enabled) disabled.push_back(id);
    EXPECT_EQ(disabled, std::vector<int>{});
    for (int id : {15303, 15304, 15305, 15307, 15308, 15309, 15310, 15311, 6010, 6015, 32776, 32777, 32779, 32781,
                   32773, 32789})
        EXPECT_TRUE(frame()->route_update(id).enabled) << id;
}

TEST_F(SettingsApp, UndoDepthTrimsEveryOpenDrawingAndGoesThroughTheSettingsFile) {
    g_prefs.undo_mode = -1;
    CSView* first = frame()->active_view();
    add_lines(first, 3);
    ASSERT_NE(app->NewDrawing(), nullptr);
    msg_dispatch_pending();
    CSView* second = frame()->active_view();
    ASSERT_NE(second, first);
    add_lines(second, 4);
    MODEL* a = first->document()->drawing();
    MODEL* b = second->document()->drawing();
    ASSERT_EQ(a->undo_levels, 3);
    ASSERT_EQ(b->undo_levels, 4);
    // Cancel changes nothing.
    platform_set_modal_hook([](CDialog& d) { d.press(IDCANCEL); });
    EXPECT_FALSE(preferences_dialog(0));
    EXPECT_EQ(a->undo_levels, 3);
    answer_undo_levels(2);
    EXPECT_TRUE(preferences_dialog(0));
    EXPECT_EQ(g_prefs.undo_mode, 2);
    EXPECT_EQ(g_prefs.undo_level, 2);
    EXPECT_EQ(a->undo_levels, 2);
    EXPECT_EQ(b->undo_levels, 2);
    // Written to the settings file and read back.
    prefs_table_io(0);
    EXPECT_EQ(settings_flush(), 0);
    g_prefs = Preferences{};
    prefs_table_io(1);
    EXPECT_EQ(g_prefs.undo_mode, 2);
    EXPECT_EQ(g_prefs.undo_level, 2);
}

// A depth of 5 levels with 32 as the remembered "UndoLevel": the sheet shows 5, and
// OK with nothing touched keeps 5.
TEST_F(SettingsApp, SheetShowsAndKeepsTheUndoDepthInUse) {
    g_prefs.undo_mode = 5;
    g_prefs.undo_level = 32;
    QString shown;
    platform_set_modal_hook([&shown](CDialog& d) {
        CPropPage* page = static_cast<CPropSheet&>(d).page(0);
        shown = qobject_cast<QLineEdit*>(page->GetDlgItem(kIdcSet + 4))->text();
        d.press(IDOK);
    });
    EXPECT_TRUE(preferences_dialog(0));
    EXPECT_EQ(shown, "5");
    EXPECT_EQ(g_prefs.undo_mode, 5);
}

TEST_F(SettingsApp, TrimWaitsWhileACommandHoldsObjects) {
    g_prefs.undo_mode = -1;
    CSView* view = frame()->active_view();
    add_lines(view, 3);
    MODEL* m = view->document()->drawing();
    static int levels_seen;
    static bool pending_seen;
    levels_seen = -1;
    pending_seen = false;
    answer_undo_levels(1);
    CSView::SetCommandFunction(15000, [](void* arg) -> int {
        VIEW* v = *static_cast<VIEW**>(arg);
        preferences_dialog(0);  // the sheet opened while the command waits
        pending_seen = preferences_trim_pending();
        levels_seen = view_drawing(v)->undo_levels;
        command_post_code(kStepRefused);
        Vec3 p;
        return input_point(&v, 42002, nullptr, nullptr, &p, 0);
    });
    view->OnCmdMsg(15000, nullptr);
    EXPECT_TRUE(pending_seen);
    EXPECT_EQ(levels_seen, 3);  // nothing dropped under the command
    for (int i = 0; i < 100 && preferences_trim_pending(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    EXPECT_FALSE(preferences_trim_pending());
    EXPECT_EQ(m->undo_levels, 1);
}

TEST_F(SettingsApp, SheetOpensOnTheToolbarsPageAndAppliesItsChoices) {
    g_prefs.bitmap_set = 0;
    g_prefs.toolbar = 1;
    platform_set_modal_hook([](CDialog& d) {
        auto& sheet = static_cast<CPropSheet&>(d);
        EXPECT_EQ(sheet.active_index(), 2);
        if (const char* dir = std::getenv("ZELO_SHOT_DIR")) {
            d.adjustSize();
            d.grab().save(QString("%1/preferences_toolbars.png").arg(dir));
        }
        qobject_cast<QAbstractButton*>(sheet.page(2)->GetDlgItem(kIdcSet + 43))->setChecked(true);
        qobject_cast<QAbstractButton*>(sheet.page(2)->GetDlgItem(kIdcSet + 40))->setChecked(false);
        // The first main toolbar, shown, is unticked.
        auto* first = qobject_cast<QAbstractButton*>(sheet.page(2)->GetDlgItem(kIdcSet + 50));
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->isChecked());
        first->setChecked(false);
        d.press(IDOK);
    });
    ASSERT_FALSE(frame()->toolbars()->bars().empty());
    QToolBar* bar = frame()->toolbars()->bars().front();
    ASSERT_FALSE(bar->isHidden());
    frame()->OnCmdMsg(32789, nullptr);
    EXPECT_EQ(g_prefs.bitmap_set, 1);
    EXPECT_EQ(g_prefs.toolbar, 0);
    EXPECT_TRUE(bar->isHidden());
}


// Whatever digits the dialog before left in the shared format (the 3D settings six,
// the dimension settings five), a dialog shows four, in the units of the drawing in front.
TEST_F(SettingsApp, DialogNumbersDoNotFollowTheDialogBefore) {
    VIEW* view = frame()->active_view()->view();
    auto cam = rtc_make<CAMERA>();
    cam->position = {0, 0, 200};
    cam->lens = 1.18934;
    MaterialRecord m;
    material_init(&m);
    m.colour[0] = 192.0f / 255.0f;
    m.smoothing_angle = float(deg_to_rad(33.333));
    int32_t colour = 3;
    for (const auto& [digits, unit, z] : {std::tuple{5, kLengthDecimal, "200.0000"}, {6, kLengthInches, "7.8740\""}}) {
        view->length_unit = unit;
        std::vector<int> ids = {kIdcFirst + 5, kIdcFirst + 11};  // camera: position z, lens
        std::vector<std::string> seen;
        platform_set_modal_hook([&](CDialog& d) { for (int id : ids) seen.push_back(d.GetDlgItemText(id)); });
        set_number_format(1, 0, digits, 64);
        CCameraSettingsDlg(nullptr, cam.get()).DoModal();
        ids = {kIdcFirst + 3, CMaterialSheetDlg::kIdcSmoothing};  // material: red, smoothing angle
        set_number_format(1, 0, digits, 64);
        CMaterialSheetDlg(nullptr, kDlgMaterial, &colour, &m).DoModal();
        EXPECT_EQ(seen, (std::vector<std::string>{z, "1.189", "0.7529", "33.33"})) << digits;
    }
}

}  // namespace
