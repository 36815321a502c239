// The grid, drawing aids, coordinate system, line style and layers dialogs of a
// drawing view.
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>

#include "commands/input/support.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/glimpse_notify.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/services/msgbox.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"
#include "shell/view_paint.h"
#include "shell/view_rules.h"

namespace {

constexpr double kDefaultStep = 10.0;
constexpr double kDefaultFineStep = 0.1;
constexpr double kMaxOrigin = 1e12;  // user origin coordinates, drawing units

// Exchanges a control only while filling it or when the user changed it.
#define IF_SHOWN_OR_EDITED(id) if (!dx->saving() || edited(id))

// ---- Grid

class CGridDlg : public CSettingsDlg {
  public:
    explicit CGridDlg(VIEW* v) : CSettingsDlg(kDlgGrid, nullptr), v_(v) {
        const double defaults[4] = {kDefaultStep, kDefaultStep, kDefaultFineStep, kDefaultFineStep};
        for (int i = 0; i < 4; ++i) steps_[i] = positive_or(v->grid_steps[i], defaults[i]);
        show_ = (v->flags & kViewFlagGrid) ? 1 : 0;
        lines_ = (v->flags & kViewFlagGridLines) ? 1 : 0;
        snap_ = v->grid_on ? 1 : 0;
        first_ = v->step_select ? 1 : 0;
        second_ = 1 - first_;
    }

  protected:
    void CreateControls() override {
        add_check(kIdcSet, "&Show grid", 0, 0, 2);
        add_check(kIdcSet + 1, "As &lines", 1, 0, 2);
        add_check(kIdcSet + 2, "S&nap to grid steps", 2, 0, 2);
        add_radio(kIdcSet + 3, "&Coarse steps", 3, 0);
        add_radio(kIdcSet + 4, "&Fine steps", 3, 1);
        add_static(kIdcSet + 5, "Coarse step &X:", 4, 0);
        add_edit(kIdcSet + 6, 4, 1);
        add_static(kIdcSet + 7, "Coarse step &Y:", 5, 0);
        add_edit(kIdcSet + 8, 5, 1);
        add_static(kIdcSet + 9, "Fine step X:", 6, 0);
        add_edit(kIdcSet + 10, 6, 1);
        add_static(kIdcSet + 11, "Fine step Y:", 7, 0);
        add_edit(kIdcSet + 12, 7, 1);
        add_ok_cancel(8, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        IF_SHOWN_OR_EDITED(kIdcSet) DDX_Check(dx, kIdcSet, show_);
        IF_SHOWN_OR_EDITED(kIdcSet + 1) DDX_Check(dx, kIdcSet + 1, lines_);
        IF_SHOWN_OR_EDITED(kIdcSet + 2) DDX_Check(dx, kIdcSet + 2, snap_);
        IF_SHOWN_OR_EDITED(kIdcSet + 3) DDX_Check(dx, kIdcSet + 3, first_);
        IF_SHOWN_OR_EDITED(kIdcSet + 4) DDX_Check(dx, kIdcSet + 4, second_);
        for (int i = 0; i < 4; ++i) {
            const int id = kIdcSet + 6 + 2 * i;
            IF_SHOWN_OR_EDITED(id) {
                DDX_Length(dx, id, steps_[i]);
                DDV_MinMaxLength(dx, steps_[i], 1e-6, 1e9);
            }
        }
        if (!dx->saving()) return;
        if (edited(kIdcSet)) v_->flags = show_ ? (v_->flags | kViewFlagGrid) : (v_->flags & ~kViewFlagGrid);
        if (edited(kIdcSet + 1))
            v_->flags = lines_ ? (v_->flags | kViewFlagGridLines) : (v_->flags & ~kViewFlagGridLines);
        if (edited(kIdcSet + 2)) v_->grid_on = snap_;
        if (edited(kIdcSet + 3) || edited(kIdcSet + 4)) v_->step_select = IsDlgButtonChecked(kIdcSet + 3) ? 1 : 0;
        for (int i = 0; i < 4; ++i)
            if (edited(kIdcSet + 6 + 2 * i)) v_->grid_steps[i] = steps_[i];
    }

  private:
    VIEW* v_;
    double steps_[4];
    int show_, lines_, snap_, first_, second_;
};

// ---- Drawing aids

class CDrawingAidsDlg : public CSettingsDlg {
  public:
    explicit CDrawingAidsDlg(VIEW* v) : CSettingsDlg(kDlgDrawingAids, nullptr), v_(v) {
        elevation_ = finite_or(v->elevation, 0.0);
        angle_ = finite_or(v->cursor_angle, 0.0);
        scales_[0] = positive_or(v->drawing_scales[0], 1.0);
        scales_[1] = positive_or(v->drawing_scales[1], 1.0);
        linear_ = positive_or(v->accuracy_linear, 5.0);
        angular_ = positive_or(v->accuracy_angular, M_PI / 12);
        ortho_ = v->orthogonal ? 1 : 0;
        keep_depth_ = v->keep_depth ? 1 : 0;
        dir_first_ = v->direction ? 1 : 0;
        dir_second_ = 1 - dir_first_;
    }

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "&Elevation:", 0, 0);
        add_edit(kIdcSet + 1, 0, 1, 2);
        add_static(kIdcSet + 2, "C&ursor angle:", 1, 0);
        add_edit(kIdcSet + 3, 1, 1, 2);
        add_static(kIdcSet + 4, "&Scale:", 2, 0);
        add_edit(kIdcSet + 5, 2, 1);
        add_edit(kIdcSet + 6, 2, 2);
        add_static(kIdcSet + 7, "&Linear accuracy:", 3, 0);
        add_edit(kIdcSet + 8, 3, 1, 2);
        add_static(kIdcSet + 9, "&Angular accuracy:", 4, 0);
        add_edit(kIdcSet + 10, 4, 1, 2);
        add_check(kIdcSet + 11, "&Orthogonal", 5, 0, 3);
        add_check(kIdcSet + 12, "&Keep the depth of snapped points", 6, 0, 3);
        add_static(kIdcSet + 13, "Direction:", 7, 0);
        add_radio(kIdcSet + 14, "&Horizontal", 7, 1);
        add_radio(kIdcSet + 15, "&Aligned", 7, 2);
        add_ok_cancel(8, 3);
    }
    void DoDataExchange(CDataExchange* dx) override {
        IF_SHOWN_OR_EDITED(kIdcSet + 1) {
            DDX_Length(dx, kIdcSet + 1, elevation_);
            DDV_MinMaxLength(dx, elevation_, -FLT_MAX, FLT_MAX);  // it becomes the z of picked points
        }
        IF_SHOWN_OR_EDITED(kIdcSet + 3) DDX_Units(dx, kIdcSet + 3, angle_);
        for (int i = 0; i < 2; ++i) IF_SHOWN_OR_EDITED(kIdcSet + 5 + i) {
                DDX_Double(dx, kIdcSet + 5 + i, scales_[i]);
                DDV_MinMaxDouble(dx, scales_[i], 1e-9, 1e9);
            }
        IF_SHOWN_OR_EDITED(kIdcSet + 8) {
            DDX_Length(dx, kIdcSet + 8, linear_);
            DDV_MinMaxLength(dx, linear_, 1e-6, 1e9);
        }
        IF_SHOWN_OR_EDITED(kIdcSet + 10) {
            DDX_Units(dx, kIdcSet + 10, angular_);
            DDV_MinMaxUnits(dx, angular_, 0.01, 90);
        }
        IF_SHOWN_OR_EDITED(kIdcSet + 11) DDX_Check(dx, kIdcSet + 11, ortho_);
        IF_SHOWN_OR_EDITED(kIdcSet + 12) DDX_Check(dx, kIdcSet + 12, keep_depth_);
        IF_SHOWN_OR_EDITED(kIdcSet + 14) DDX_Check(dx, kIdcSet + 14, dir_first_);
        IF_SHOWN_OR_EDITED(kIdcSet + 15) DDX_Check(dx, kIdcSet + 15, dir_second_);
        if (!dx->saving()) return;
        if (edited(kIdcSet + 1)) v_->elevation = elevation_;
        if (edited(kIdcSet + 3)) v_->cursor_angle = angle_;
        for (int i = 0; i < 2; ++i)
            if (edited(kIdcSet + 5 + i)) v_->drawing_scales[i] = scales_[i];
        if (edited(kIdcSet + 8)) v_->accuracy_linear = linear_;
        if (edited(kIdcSet + 10)) v_->accuracy_angular = angular_;
        if (edited(kIdcSet + 11)) v_->orthogonal = ortho_;
        if (edited(kIdcSet + 12)) v_->keep_depth = keep_depth_;
        if (edited(kIdcSet + 14) || edited(kIdcSet + 15)) v_->direction = IsDlgButtonChecked(kIdcSet + 14) ? 1 : 0;
    }

  private:
    VIEW* v_;
    double elevation_, angle_, scales_[2], linear_, angular_;
    int ortho_, keep_depth_, dir_first_, dir_second_;
};

// ---- Coordinate system

class CCoordinatesDlg : public CSettingsDlg {
  public:
    explicit CCoordinatesDlg(VIEW* v) : CSettingsDlg(kDlgCoordinates, nullptr), v_(v) {
        for (int i = 0; i < 3; ++i) type_[i] = v->coordinate_type == i ? 1 : 0;
        if (v->coordinate_type < 0 || v->coordinate_type > 2) type_[0] = 1;
        for (int i = 0; i < 3; ++i) unit_[i] = v->length_unit == i ? 1 : 0;
        if (v->length_unit < kLengthDecimal || v->length_unit > kLengthFractions) unit_[0] = 1;
        cartesian_ = v->cartesian ? 1 : 0;
        degrees_ = v->degrees ? 1 : 0;
        origin_[0] = finite_or(v->user_origin.x, 0.0);
        origin_[1] = finite_or(v->user_origin.y, 0.0);
        origin_[2] = finite_or(v->user_origin.z, 0.0);
    }

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "Coordinates:", 0, 0);
        add_radio(kIdcSet + 1, "&World", 0, 1);
        add_radio(kIdcSet + 2, "&User origin", 0, 2);
        add_radio(kIdcSet + 3, "&Reference", 0, 3);
        add_static(kIdcSet + 4, "Units:", 1, 0);
        add_radio(kIdcSet + 5, "&Decimal", 1, 1);
        add_radio(kIdcSet + 6, "&Inches", 1, 2);
        add_radio(kIdcSet + 7, "&Feet and inches", 1, 3);
        add_check(kIdcSet + 8, "&Cartesian", 2, 1);
        add_check(kIdcSet + 9, "De&grees", 2, 2);
        add_static(kIdcSet + 10, "User &origin:", 3, 0);
        for (int i = 0; i < 3; ++i) add_edit(kIdcSet + 11 + i, 3, 1 + i);
        add_ok_cancel(4, 4);
        radio_group(this, {kIdcSet + 1, kIdcSet + 2, kIdcSet + 3});
        radio_group(this, {kIdcSet + 5, kIdcSet + 6, kIdcSet + 7});
    }
    void DoDataExchange(CDataExchange* dx) override {
        for (int i = 0; i < 3; ++i) {
            IF_SHOWN_OR_EDITED(kIdcSet + 1 + i) DDX_Check(dx, kIdcSet + 1 + i, type_[i]);
            IF_SHOWN_OR_EDITED(kIdcSet + 5 + i) DDX_Check(dx, kIdcSet + 5 + i, unit_[i]);
            IF_SHOWN_OR_EDITED(kIdcSet + 11 + i) {
                // The view keeps the origin in single precision.
                DDX_Length(dx, kIdcSet + 11 + i, origin_[i]);
                DDV_MinMaxLength(dx, origin_[i], -kMaxOrigin, kMaxOrigin);
            }
        }
        IF_SHOWN_OR_EDITED(kIdcSet + 8) DDX_Check(dx, kIdcSet + 8, cartesian_);
        IF_SHOWN_OR_EDITED(kIdcSet + 9) DDX_Check(dx, kIdcSet + 9, degrees_);
        if (!dx->saving()) return;
        if (edited(kIdcSet + 1) || edited(kIdcSet + 2) || edited(kIdcSet + 3))
            for (int i = 0; i < 3; ++i)
                if (IsDlgButtonChecked(kIdcSet + 1 + i)) v_->coordinate_type = i;
        if (edited(kIdcSet + 5) || edited(kIdcSet + 6) || edited(kIdcSet + 7))
            for (int i = 0; i < 3; ++i)
                if (IsDlgButtonChecked(kIdcSet + 5 + i)) v_->length_unit = i;
        if (edited(kIdcSet + 8)) v_->cartesian = cartesian_;
        if (edited(kIdcSet + 9)) v_->degrees = degrees_;
        float* o[3] = {&v_->user_origin.x, &v_->user_origin.y, &v_->user_origin.z};
        for (int i = 0; i < 3; ++i)
            if (edited(kIdcSet + 11 + i)) *o[i] = float(origin_[i]);
    }

  private:
    VIEW* v_;
    int type_[3], unit_[3], cartesian_, degrees_;
    double origin_[3];
};

// ---- Layers: visibility in this view, the current layer, new and deleted layers.
// Nothing reaches the drawing before OK: New and Delete change the dialog's list, and
// OK deletes (each deletion one undo level), then adds, then sets visibility and the
// current layer. Cancel keeps nothing.

class CLayersDlg : public CSettingsDlg {
  public:
    explicit CLayersDlg(VIEW* v) : CSettingsDlg(kDlgLayers, nullptr), v_(v), m_(view_drawing(v)) {}

  protected:
    void CreateControls() override {
        add_static(kIdcSet, "&Layers (ticked: visible):", 0, 0, 2);
        auto* list = new QListWidget(this);
        register_control(kIdcSet + 1, list);
        qobject_cast<QGridLayout*>(layout())->addWidget(list, 1, 0, 4, 2);
        add_static(kIdcSet + 2, "&Name:", 5, 0);
        add_edit(kIdcSet + 3, 5, 1);
        add_button(kIdcSet + 4, "&New", 6, 0);
        add_button(kIdcSet + 5, "&Delete", 6, 1);
        add_button(kIdcSet + 6, "Make &current", 7, 0);
        add_ok_cancel(8, 2);
    }
    bool OnInitDialog() override {
        current_ = v_->current_layer ? v_->current_layer->name() : "";
        fill();
        return CSettingsDlg::OnInitDialog();
    }
    void OnCommand(int id) override {
        auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
        const std::string name = GetDlgItemText(kIdcSet + 3);
        const std::string sel = list->currentItem() ? list->currentItem()->text().toStdString() : "";
        keep_ticks();
        if (id == kIdcSet + 4 && !name.empty()) {
            if (listed(name))
                msgbox_ids(kStrIdError, IDS_LAYER_EXISTS);  // as layer_new says it
            else
                added_.push_back(name);
        } else if (id == kIdcSet + 5 && !sel.empty() && sel != current_) {
            auto it = std::find(added_.begin(), added_.end(), sel);
            if (it != added_.end()) {
                added_.erase(it);
                ticks_.erase(sel);
            } else if (layer_delete_allowed(v_, sel.c_str(), true, nullptr) == kLayerDeleted) {
                deleted_.push_back(sel);
                ticks_.erase(sel);
            }
        } else if (id == kIdcSet + 6 && !sel.empty()) {
            current_ = sel;
        }
        fill();
    }
    void OnOK() override {
        keep_ticks();
        if (!m_) return EndDialog(IDOK);
        for (const std::string& name : deleted_) layer_delete_by_name(v_, name.c_str(), false, nullptr);
        for (const std::string& name : added_) layer_new(v_, name.c_str());
        for (const auto& [name, visible] : ticks_) {
            LAYER* l = layer_find(m_, name.c_str());
            if (!l) continue;
            const int i = layer_index_of(m_, l);
            const bool was = i < 0 || size_t(i) >= v_->layer_state.flags.size() || v_->layer_state.flags[size_t(i)] != 0;
            if (was != visible) layer_set_state(v_, name.c_str(), false, visible);
        }
        const std::string now = v_->current_layer ? v_->current_layer->name() : "";
        if (!current_.empty() && current_ != now) layer_set_state(v_, current_.c_str(), true, true);
        glimpse_notify_viewport(m_);
        view_refresh(v_, 0);
        EndDialog(IDOK);
    }

  private:
    // The drawing's layers as OK would leave them: those not deleted, then the new.
    std::vector<std::pair<std::string, bool>> names_shown() const {
        std::vector<std::pair<std::string, bool>> out;  // name, visible in the view now
        if (m_ && m_->children) {
            ZDLIST* p = m_->children;
            size_t index = 0;
            do {
                if (auto* l = rtc_cast<LAYER>(p)) {
                    const std::string name = l->name();
                    const bool shown = index >= v_->layer_state.flags.size() || v_->layer_state.flags[index] != 0;
                    if (std::find(deleted_.begin(), deleted_.end(), name) == deleted_.end())
                        out.emplace_back(name, shown);
                    ++index;
                }
                p = p->next;
            } while (p != m_->children);
        }
        for (const std::string& name : added_) out.emplace_back(name, true);
        return out;
    }
    bool listed(const std::string& name) const {
        for (const auto& [n, shown] : names_shown())
            if (n == name) return true;
        return false;
    }
    void keep_ticks() {
        auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
        for (int i = 0; i < list->count(); ++i)
            ticks_[list->item(i)->text().toStdString()] = list->item(i)->checkState() == Qt::Checked;
    }
    void fill() {
        auto* list = qobject_cast<QListWidget*>(GetDlgItem(kIdcSet + 1));
        list->clear();
        for (const auto& [name, shown] : names_shown()) {
            auto it = ticks_.find(name);
            auto* item = new QListWidgetItem(QString::fromUtf8(name.c_str()), list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState((it != ticks_.end() ? it->second : shown) ? Qt::Checked : Qt::Unchecked);
            if (name == current_) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
                list->setCurrentItem(item);
            }
        }
    }
    VIEW* v_;
    MODEL* m_;
    std::string current_;
    std::map<std::string, bool> ticks_;
    std::vector<std::string> added_, deleted_;  // waiting for OK, in the order asked
};

// ---- Line style: the style dialog of the editing commands on the view's current
// line style, width, arc and curve steps and pattern scale.

class CLineStyleSettingsDlg : public CLineStyleDlg {
  public:
    using CLineStyleDlg::CLineStyleDlg;
    bool edited(int id) const {
        QWidget* w = GetDlgItem(id);
        for (const auto& [sid, text] : shown_)
            if (sid == id) return w && control_state(w) != text;
        return false;
    }

  protected:
    bool OnInitDialog() override {
        CLineStyleDlg::OnInitDialog();
        for (const auto& [id, w] : controls()) shown_.emplace_back(id, control_state(w));
        return true;
    }

  private:
    std::vector<std::pair<int, std::string>> shown_;
};

}  // namespace

bool grid_settings_dialog(VIEW* view) {
    if (!view) return false;
    CGridDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    view_refresh(view, 0);
    return true;
}

bool drawing_aids_dialog(VIEW** view_ref) {
    VIEW* view = view_ref ? *view_ref : nullptr;
    if (!view) return false;
    CDrawingAidsDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    // The cross-hair is drawn with the arms of the angle, not with the angle itself.
    view_set_cursor_angle(view, view->cursor_angle);
    view_refresh(view, 0);
    return true;
}

bool coordinate_system_dialog(VIEW* view) {
    if (!view) return false;
    CCoordinatesDlg dlg(view);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    view_refresh(view, 0);
    return true;
}

bool layers_dialog(VIEW* view) {
    if (!view) return false;
    CLayersDlg dlg(view);
    return dlg.DoModalHelp(0) == IDOK;
}

bool line_style_settings(VIEW* view) {
    MODEL* m = view ? view_drawing(view) : nullptr;
    if (!m) return false;
    StyleValues v;
    v.pattern = view->current_line_style;
    v.width = view->line_width >= 0 && std::isfinite(view->line_width) ? view->line_width : 0.0;
    v.params[0] = positive_or(view->accuracy_angular, M_PI / 12);
    v.params[1] = positive_or(view->accuracy_linear, 5.0);
    v.params[4] = positive_or(view->line_style_scale, 1.0);
    CLineStyleSettingsDlg dlg(nullptr, m, &LINEPATT::rtc_class, &v);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    constexpr int kFirst = kIdcFirst;
    if (dlg.edited(kFirst + 1)) view->current_line_style = rtc_cast<LINEPATT>(v.pattern);
    if (dlg.edited(kFirst + 3) && v.width >= 0) view->line_width = v.width;
    if (dlg.edited(kFirst + 11) && v.params[0] > 0) view->accuracy_angular = v.params[0];
    if (dlg.edited(kFirst + 13) && v.params[1] > 0) view->accuracy_linear = v.params[1];
    if (dlg.edited(kFirst + 19) && v.params[4] > 0) view->line_style_scale = v.params[4];
    return true;
}
