// The zooming, view point and user defined views dialogs, and the predefined view
// points.
#include <QComboBox>
#include <QGridLayout>
#include <QListWidget>
#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "commands/input/zoom.h"
#include "dialogs/settings_dialogs.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/math/matrix.h"
#include "model/services/prefs.h"
#include "shell/ddx.h"

namespace {

constexpr double kDefaultScale = 1.0;
constexpr double kDefaultZoomLimit = 1000.0;
constexpr double kDefaultRound = 0.01;

// The view shows its new projection.
void view_changed(VIEW* view) {
    view_extents_reset(&view->projection);
    view_refresh(view, 0);
    view_update_scrollbars_all(view);
}

int client_width(const VIEW* v) {
    int w = 0, h = 0;
    if (v->window) v->window->client_size(&w, &h);
    return w;
}
int client_height(const VIEW* v) {
    int w = 0, h = 0;
    if (v->window) v->window->client_size(&w, &h);
    return h;
}

// ---- Zooming

class CZoomingDlg : public CSettingsDlg {
  public:
    explicit CZoomingDlg(VIEW* v) : CSettingsDlg(kDlgZooming, nullptr), v_(v) {
        scale_ = positive_or(v->projection.scale, kDefaultScale);
        ox_ = finite_or(v->projection.origin_x, 0.0);
        oy_ = finite_or(v->projection.origin_y, 0.0);
        limit_ = positive_or(v->zoom_limit, kDefaultZoomLimit);
        round_ = positive_or(g_prefs.scale_round, kDefaultRound);
        relative_ = g_prefs.scale_x ? 1 : 0;
        keep_ = g_prefs.keep_centre ? 1 : 0;
        preview_ = g_prefs.scale_preview ? 1 : 0;
        if (relative_) factor_ = 1.0;
    }

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "&Scale (pixels per unit):", 0, 0);
        add_edit(kIdcSet + 1, 0, 1);
        add_check(kIdcSet + 2, "Scale as a &factor of the current one", 1, 0, 2);
        add_static(kIdcSet + 3, "Origin &X:", 2, 0);
        add_edit(kIdcSet + 4, 2, 1);
        add_static(kIdcSet + 5, "Origin &Y:", 3, 0);
        add_edit(kIdcSet + 6, 3, 1);
        add_static(kIdcSet + 7, "&Maximum scale:", 4, 0);
        add_edit(kIdcSet + 8, 4, 1);
        add_static(kIdcSet + 9, "Scale &rounding step:", 5, 0);
        add_edit(kIdcSet + 10, 5, 1);
        add_check(kIdcSet + 11, "&Keep the centre", 6, 0, 2);
        add_check(kIdcSet + 12, "&Preview scale", 7, 0, 2);
        add_ok_cancel(8, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        const bool save = dx->saving();
        if (!save || edited(kIdcSet + 2)) DDX_Check(dx, kIdcSet + 2, relative_);
        double shown = relative_ ? factor_ : scale_;
        if (!save || edited(kIdcSet + 1)) {
            DDX_Double(dx, kIdcSet + 1, shown);
            DDV_MinMaxDouble(dx, shown, 1e-9, 1e9);
        }
        // The origin is a drawing coordinate: within the float range.
        if (!save || edited(kIdcSet + 4)) {
            DDX_Length(dx, kIdcSet + 4, ox_);
            DDV_MinMaxLength(dx, ox_, -FLT_MAX, FLT_MAX);
        }
        if (!save || edited(kIdcSet + 6)) {
            DDX_Length(dx, kIdcSet + 6, oy_);
            DDV_MinMaxLength(dx, oy_, -FLT_MAX, FLT_MAX);
        }
        if (!save || edited(kIdcSet + 8)) {
            DDX_Double(dx, kIdcSet + 8, limit_);
            DDV_MinMaxDouble(dx, limit_, 1e-9, 1e12);
        }
        if (!save || edited(kIdcSet + 10)) {
            DDX_Double(dx, kIdcSet + 10, round_);
            DDV_MinMaxDouble(dx, round_, 1e-9, 1e6);
        }
        if (!save || edited(kIdcSet + 11)) DDX_Check(dx, kIdcSet + 11, keep_);
        if (!save || edited(kIdcSet + 12)) DDX_Check(dx, kIdcSet + 12, preview_);
        if (!save) return;
        apply(edited(kIdcSet + 1) ? shown : -1.0);
    }

  private:
    void apply(double typed) {
        if (edited(kIdcSet + 2)) g_prefs.scale_x = relative_;
        if (edited(kIdcSet + 11)) g_prefs.keep_centre = keep_;
        if (edited(kIdcSet + 12)) g_prefs.scale_preview = preview_;
        if (edited(kIdcSet + 10)) g_prefs.scale_round = round_;
        if (edited(kIdcSet + 8)) v_->zoom_limit = limit_;
        ViewProjection& vp = v_->projection;
        if (edited(kIdcSet + 4)) vp.origin_x = ox_;
        if (edited(kIdcSet + 6)) vp.origin_y = oy_;
        if (typed <= 0) return;
        double s = relative_ ? positive_or(vp.scale, kDefaultScale) * typed : typed;
        s = round_scale(positive_or(g_prefs.scale_round, kDefaultRound), s);
        const double limit = positive_or(v_->zoom_limit, kDefaultZoomLimit);
        if (s > limit) s = limit;
        if (!std::isfinite(s) || s <= 0) return;
        v_->previous_scale = vp.scale;
        v_->previous_origin_x = vp.origin_x;
        v_->previous_origin_y = vp.origin_y;
        const bool origin_typed = edited(kIdcSet + 4) || edited(kIdcSet + 6);
        if (g_prefs.keep_centre && !origin_typed && std::isfinite(vp.scale) && vp.scale > 0) {
            // The drawing point at the window's centre stays there.
            const double cx = vp.origin_x + client_width(v_) / 2.0 / vp.scale;
            const double cy = vp.origin_y + client_height(v_) / 2.0 / vp.scale;
            vp.origin_x = round_origin(s, cx - client_width(v_) / 2.0 / s);
            vp.origin_y = round_origin(s, cy - client_height(v_) / 2.0 / s);
        }
        vp.scale = s;
    }

    VIEW* v_;
    double scale_, factor_ = 1.0, ox_, oy_, limit_, round_;
    int relative_, keep_, preview_;
};

// ---- View point

class CViewPointDlg : public CSettingsDlg {
  public:
    explicit CViewPointDlg(VIEW* v) : CSettingsDlg(kDlgViewPoint, nullptr), v_(v) {
        view_direction_angles(v, &azimuth_, &elevation_);
        perspective_ = v->projection.mode == kProjPerspective ? 1 : 0;
        eye_ = positive_or(v->projection.eye_distance, 1.0);
        preview_ = g_prefs.preview_3d ? 1 : 0;
        accuracy_ = positive_or(g_prefs.accuracy_3d, 5.0 * M_PI / 180.0);
    }

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "&Azimuth:", 0, 0);
        add_edit(kIdcSet + 1, 0, 1);
        add_static(kIdcSet + 2, "&Elevation:", 1, 0);
        add_edit(kIdcSet + 3, 1, 1);
        add_check(kIdcSet + 4, "&Perspective", 2, 0, 2);
        add_static(kIdcSet + 5, "Eye &distance:", 3, 0);
        add_edit(kIdcSet + 6, 3, 1);
        add_static(kIdcSet + 7, "Angle &step:", 4, 0);
        add_edit(kIdcSet + 8, 4, 1);
        add_check(kIdcSet + 9, "3D p&review", 5, 0, 2);
        add_ok_cancel(6, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        const bool save = dx->saving();
        if (!save || edited(kIdcSet + 1)) {
            DDX_Units(dx, kIdcSet + 1, azimuth_);
            DDV_MinMaxUnits(dx, azimuth_, -360, 360);
        }
        if (!save || edited(kIdcSet + 3)) {
            DDX_Units(dx, kIdcSet + 3, elevation_);
            DDV_MinMaxUnits(dx, elevation_, -90, 90);
        }
        if (!save || edited(kIdcSet + 4)) DDX_Check(dx, kIdcSet + 4, perspective_);
        if (!save || edited(kIdcSet + 6)) {
            DDX_Length(dx, kIdcSet + 6, eye_);
            DDV_MinMaxDouble(dx, eye_, 1e-6, 1e12);
        }
        if (!save || edited(kIdcSet + 8)) {
            DDX_Units(dx, kIdcSet + 8, accuracy_);
            DDV_MinMaxUnits(dx, accuracy_, 0.01, 90);
        }
        if (!save || edited(kIdcSet + 9)) DDX_Check(dx, kIdcSet + 9, preview_);
        if (!save) return;
        if (edited(kIdcSet + 9)) g_prefs.preview_3d = preview_;
        if (edited(kIdcSet + 8)) g_prefs.accuracy_3d = accuracy_;
        if (edited(kIdcSet + 6)) v_->projection.eye_distance = eye_;
        if (edited(kIdcSet + 4)) v_->projection.mode = perspective_ ? kProjPerspective : kProjParallel;
        if (edited(kIdcSet + 1) || edited(kIdcSet + 3)) {
            const double c = std::cos(elevation_);
            turned_ = view_set_direction(v_, c * std::cos(azimuth_), c * std::sin(azimuth_), std::sin(elevation_));
        }
    }

  public:
    bool turned_ = false;

  private:
    VIEW* v_;
    double azimuth_, elevation_, eye_, accuracy_;
    int perspective_, preview_;
};

}  // namespace

// ---- User defined views: the drawing's stored viewports

std::vector<VPORT*> stored_views(MODEL* m) {
    std::vector<VPORT*> out;
    ZDLIST* p = m ? m->children : nullptr;
    if (!p) return out;
    do {
        if (auto* vp = rtc_cast<VPORT>(p)) out.push_back(vp);
        p = p->next;
    } while (p != m->children);
    return out;
}

namespace {

// The drawing's stored views. Save current and Delete change the dialog's list only;
// OK stores and deletes them as one undo level and applies the chosen view. Cancel
// keeps nothing.
class CUserViewsDlg : public CSettingsDlg {
  public:
    explicit CUserViewsDlg(VIEW* v) : CSettingsDlg(kDlgUserViews, nullptr), v_(v), m_(view_drawing(v)) {
        for (VPORT* p : stored_views(m_)) rows_.push_back(Row{p, nullptr});
    }
    VPORT* chosen = nullptr;

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "&Views:", 0, 0);
        register_control(kIdcSet + 1, new QListWidget(this));
        qobject_cast<QGridLayout*>(layout())->addWidget(GetDlgItem(kIdcSet + 1), 1, 0, 3, 2);
        add_static(kIdcSet + 2, "&Name:", 4, 0);
        add_edit(kIdcSet + 3, 4, 1);
        add_button(kIdcSet + 4, "&Save current", 5, 0);
        add_button(kIdcSet + 5, "&Delete", 5, 1);
        add_ok_cancel(6, 2);
    }
    bool OnInitDialog() override {
        fill();
        return CSettingsDlg::OnInitDialog();
    }
    void OnCommand(int id) override {
        if (id == kIdcSet + 4) {
            const std::string name = GetDlgItemText(kIdcSet + 3);
            if (std::unique_ptr<VPORT> p = vport_of_view(name)) rows_.push_back(Row{nullptr, std::move(p)});
        } else if (id == kIdcSet + 5) {
            auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
            const int row = list->currentRow();
            if (row >= 0 && row < int(rows_.size())) {
                if (rows_[size_t(row)].stored) deleted_.push_back(rows_[size_t(row)].stored);
                rows_.erase(rows_.begin() + row);
            }
        }
        fill();
    }
    void OnOK() override {
        auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
        const int row = list->currentRow();
        const Row* pick = row >= 0 && row < int(rows_.size()) ? &rows_[size_t(row)] : nullptr;
        VPORT* keep = pick ? (pick->stored ? pick->stored : pick->made.get()) : nullptr;
        int level = 1;  // the first change opens the undo level, the others join it
        for (VPORT* p : deleted_)
            if (model_delete_object(p, g_prefs.undo_mode, level) == 0) level = 0;
        for (Row& r : rows_) {
            if (!r.made) continue;
            // Named now, so two views saved under one name get numbers of their own.
            if (obj_default_name(m_, r.made.get(), 0, r.made->name()) != 0) continue;
            VPORT* p = r.made.get();
            if (model_add_object(m_, p, g_prefs.undo_mode, level) == 0) {
                r.made.release();
                level = 0;
            } else if (p == keep) {
                keep = nullptr;
            }
        }
        chosen = keep;
        EndDialog(IDOK);
    }

  private:
    struct Row {
        VPORT* stored;               // a view the drawing holds
        std::unique_ptr<VPORT> made;  // or one saved in this dialog, not yet added
    };
    void fill() {
        auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
        list->clear();
        for (const Row& r : rows_)
            list->addItem(QString::fromUtf8(r.stored ? r.stored->name() : r.made->name()));
    }
    // The view's current projection as a stored view named after `name`.
    std::unique_ptr<VPORT> vport_of_view(const std::string& name) const {
        if (!m_) return nullptr;
        auto p = rtc_make<VPORT>();
        if (!p) return nullptr;
        double ax = 0, ay = 0, az = 0;
        mat_to_xyz_angles(&v_->projection.view, &ax, &ay, &az);
        const double vals[6] = {ax, ay, az, v_->projection.origin_x, v_->projection.origin_y, v_->projection.scale};
        for (int i = 0; i < 6; ++i) p->params[i] = vals[i];
        if (obj_default_name(m_, p.get(), 0, name.c_str()) != 0) return nullptr;
        return p;
    }
    VIEW* v_;
    MODEL* m_;
    std::vector<Row> rows_;
    std::vector<VPORT*> deleted_;
};

}  // namespace

bool vport_apply(VIEW* view, const VPORT* p) {
    if (!view || !p) return false;
    for (double d : p->params)
        if (!std::isfinite(d)) return false;
    if (!(p->params[5] > 0)) return false;
    Matrix43 fwd, inv;
    mat_rotate_xyz(&fwd, &inv, p->params[0], p->params[1], p->params[2]);
    view->projection.view = fwd;
    view->projection.inverse = inv;
    view->projection.origin_x = p->params[3];
    view->projection.origin_y = p->params[4];
    view->projection.scale = p->params[5];
    return true;
}

bool zooming_dialog(VIEW* view) {
    if (!view) return false;
    CZoomingDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    view_changed(view);
    return true;
}

bool view_point_dialog(VIEW** view_ref) {
    VIEW* view = view_ref ? *view_ref : nullptr;
    if (!view) return false;
    CViewPointDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    if (dlg.turned_)
        view_zoom_all(view);
    view_changed(view);
    return true;
}

bool user_view_dialog(VIEW* view) {
    if (!view) return false;
    CUserViewsDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    if (dlg.chosen && vport_apply(view, dlg.chosen)) view_changed(view);
    return true;
}

bool view_point_preset(VIEW* view, int id) {
    static const double kDirs[6][3] = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, -1}};
    if (!view || id < 6010 || id > 6015) return false;
    const double* d = kDirs[id - 6010];
    view_set_direction(view, d[0], d[1], d[2]);
    view->projection.mode = kProjParallel;
    view_zoom_all(view);
    view_changed(view);
    return true;
}
