// The preferences sheet: undo depth and display (page 0), the "do not ask again"
// choices of the commands (page 1), and the toolbars (page 2). A changed undo depth
// trims the history of every open drawing, never under a running command.
#include <QMdiArea>
#include <QToolBar>
#include <QMdiSubWindow>
#include <QTimer>

#include "commands/input/support.h"
#include "dialogs/settings_dialogs.h"
#include "graphics/view/view_host.h"
#include "model/db/undo.h"
#include "model/services/prefs.h"
#include "platform/prop_sheet.h"
#include "shell/cmdproc.h"
#include "shell/ddx.h"
#include "shell/edit_bar.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/toolbars.h"

namespace {

bool g_trim_pending = false;

bool command_holds_objects() {
    CmdProcessor* p = cmd_processor();
    return p && p->command_running();
}

// ---- Page 0: preferences

class CPrefPage : public CPropPage {
  public:
    explicit CPrefPage(Preferences* w) : CPropPage(kDlgPrefPage, "Preferences"), w_(w) {}

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "Undo:", 0, 0);
        add_radio(kIdcSet + 1, "&Off", 0, 1);
        add_radio(kIdcSet + 2, "&Unlimited", 0, 2);
        add_radio(kIdcSet + 3, "&Levels:", 1, 1);
        add_edit(kIdcSet + 4, 1, 2);
        add_check(kIdcSet + 5, "&Black background", 2, 0, 3);
        add_check(kIdcSet + 6, "Assign the current &material to new meshes", 3, 0, 3);
        add_check(kIdcSet + 7, "Typed coordinates relative to the &user axes", 4, 0, 3);
        add_check(kIdcSet + 8, "&Scale pattern previews", 5, 0, 3);
        add_check(kIdcSet + 9, "Polyline editor keeps the current &Z", 6, 0, 3);
    }
    void DoDataExchange(CDataExchange* dx) override {
        int off = w_->undo_mode == 0, unlimited = w_->undo_mode < 0, levels = w_->undo_mode > 0;
        DDX_Check(dx, kIdcSet + 1, off);
        DDX_Check(dx, kIdcSet + 2, unlimited);
        DDX_Check(dx, kIdcSet + 3, levels);
        // The depth in use when it is a number of levels, else the last number chosen.
        double count = w_->undo_mode > 0 ? w_->undo_mode : w_->undo_level > 0 ? w_->undo_level : 32;
        DDX_Double(dx, kIdcSet + 4, count);
        if (dx->saving() && levels) DDV_MinMaxDouble(dx, count, 1, 100000);
        DDX_Check(dx, kIdcSet + 5, w_->black_bkg);
        DDX_Check(dx, kIdcSet + 6, w_->material);
        DDX_Check(dx, kIdcSet + 7, w_->coord_sys);
        DDX_Check(dx, kIdcSet + 8, w_->pat_prev_scale);
        DDX_Check(dx, kIdcSet + 9, w_->pled_keep_z);
        if (!dx->saving()) return;
        if (count >= 1 && count <= 100000) w_->undo_level = int(count);
        w_->undo_mode = off ? 0 : unlimited ? -1 : w_->undo_level;
    }

  private:
    Preferences* w_;
};

// ---- Page 1: messages and questions of the commands

struct QuietRow {
    const char* text;
    int Preferences::*member;
};
constexpr QuietRow kQuiet[] = {
    {"Select: no criteria dialog", &Preferences::mark},
    {"Deselect: no criteria dialog", &Preferences::unmark},
    {"Move: no options", &Preferences::move},
    {"Copy: no options", &Preferences::copy},
    {"Delete: no question", &Preferences::erase},
    {"Stretch: no options dialog", &Preferences::resize},
    {"Mirror: no options dialog", &Preferences::mirror},
    {"Rotate: no options dialog", &Preferences::turn},
    {"3D objects: no settings dialog", &Preferences::draw_3d},
    {"Dimensions: no text dialog", &Preferences::dimension},
    {"Transformations delete the originals", &Preferences::delete_parents},
    {"Transformations link to the originals", &Preferences::link_parents},
};

class CPrefMessagesPage : public CPropPage {
  public:
    explicit CPrefMessagesPage(Preferences* w) : CPropPage(kDlgPrefMessages, "Messages"), w_(w) {}

  protected:
    void CreateControls() override {
        int row = 0;
        for (const QuietRow& r : kQuiet) {
            add_check(kIdcSet + 20 + row, r.text, row, 0);
            ++row;
        }
    }
    void DoDataExchange(CDataExchange* dx) override {
        int i = 0;
        for (const QuietRow& r : kQuiet) {
            int v = (w_->*r.member) ? 1 : 0;
            DDX_Check(dx, kIdcSet + 20 + i++, v);
            if (dx->saving() && ((w_->*r.member) != 0) != (v != 0)) w_->*r.member = v;
        }
    }

  private:
    Preferences* w_;
};

// ---- Page 2: toolbars

// The main window's toolbars: one check each (shown), applied on OK.
struct BarChoice {
    QToolBar* bar;
    std::string title;
    int shown;
};

std::vector<BarChoice> main_bars() {
    std::vector<BarChoice> out;
    CMainApp* app = CMainApp::instance();
    CMainFrame* frame = app ? app->main_frame() : nullptr;
    if (!frame || !frame->toolbars()) return out;
    for (CCustomBar* b : frame->toolbars()->bars()) out.push_back({b, b->windowTitle().toStdString(), !b->isHidden()});
    return out;
}

class CPrefToolbarsPage : public CPropPage {
  public:
    CPrefToolbarsPage(Preferences* w, std::vector<BarChoice>* bars)
        : CPropPage(kDlgPrefToolbars, "Toolbars"), w_(w), bars_(bars) {}

  protected:
    void CreateControls() override {
        add_check(kIdcSet + 40, "Show the &Edit toolbar in drawing windows", 0, 0, 2);
        add_static(kIdcSet + 41, "Buttons:", 1, 0);
        add_radio(kIdcSet + 42, "&Large", 1, 1);
        add_radio(kIdcSet + 43, "&Small", 2, 1);
        int row = 3;
        for (size_t i = 0; i < bars_->size(); ++i, ++row)
            add_check(kIdcSet + 50 + int(i), (*bars_)[i].title, row, 0, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Check(dx, kIdcSet + 40, w_->toolbar);
        int large = w_->bitmap_set == 0, small = w_->bitmap_set != 0;
        DDX_Check(dx, kIdcSet + 42, large);
        DDX_Check(dx, kIdcSet + 43, small);
        if (dx->saving()) w_->bitmap_set = small ? 1 : 0;
        for (size_t i = 0; i < bars_->size(); ++i) DDX_Check(dx, kIdcSet + 50 + int(i), (*bars_)[i].shown);
    }

  private:
    Preferences* w_;
    std::vector<BarChoice>* bars_;
};

// The toolbars follow the preferences.
void apply_toolbars(const Preferences& before) {
    CMainApp* app = CMainApp::instance();
    CMainFrame* frame = app ? app->main_frame() : nullptr;
    if (!frame) return;
    if (before.bitmap_set != g_prefs.bitmap_set && frame->toolbars())
        frame->toolbars()->select_bitmap_set(g_prefs.bitmap_set);
    if (before.toolbar != g_prefs.toolbar)
        for (QMdiSubWindow* w : frame->mdi_area()->subWindowList())
            if (auto* f = dynamic_cast<CMDIFrame*>(w))
                if (f->edit_bar()) f->edit_bar()->setVisible(g_prefs.toolbar != 0);
}

// The sheet opens on the page asked for.
class CPrefSheet : public CPropSheet {
  public:
    explicit CPrefSheet(int start) : CPropSheet(kDlgPreferences, "Preferences"), start_(start) {}

  protected:
    bool OnInitDialog() override {
        CPropSheet::OnInitDialog();
        if (start_ > 0 && start_ < page_count()) SetActivePage(start_);
        return true;
    }

  private:
    int start_;
};

void trim_now() {
    for (MODEL* m = first_document_drawing(); m; m = next_document_drawing()) model_undo_trim(m, g_prefs.undo_mode);
    invalidate_all_views();
}

void retry_trim() {
    if (!g_trim_pending) return;
    if (command_holds_objects()) {
        QTimer::singleShot(200, [] { retry_trim(); });
        return;
    }
    g_trim_pending = false;
    trim_now();
}

}  // namespace

int preferences_trim_open_drawings() {
    if (command_holds_objects()) {
        if (!g_trim_pending) {
            g_trim_pending = true;
            QTimer::singleShot(200, [] { retry_trim(); });
        }
        return 0;
    }
    g_trim_pending = false;
    int n = 0;
    for (MODEL* m = first_document_drawing(); m; m = next_document_drawing()) {
        model_undo_trim(m, g_prefs.undo_mode);
        ++n;
    }
    return n;
}

bool preferences_trim_pending() { return g_trim_pending; }

bool preferences_dialog(int start_page) {
    Preferences work = g_prefs;
    CPrefSheet sheet(start_page);
    sheet.AddPage(new CPrefPage(&work));
    sheet.AddPage(new CPrefMessagesPage(&work));
    std::vector<BarChoice> bars = main_bars();
    sheet.AddPage(new CPrefToolbarsPage(&work, &bars));
    if (sheet.DoModal() != IDOK) return false;
    const Preferences before = g_prefs;
    g_prefs = work;
    if (before.undo_mode != g_prefs.undo_mode) preferences_trim_open_drawings();
    if (before.black_bkg != g_prefs.black_bkg) {
        display_colours_update();
        invalidate_all_views();
    }
    apply_toolbars(before);
    for (const BarChoice& b : bars)
        if (b.bar->isHidden() == (b.shown != 0)) b.bar->setVisible(b.shown != 0);
    return true;
}
