// Method choice, regular polygon, text settings and hatch style dialogs, and the
// hook set that hands them to the 2D drawing commands.
#include "dialogs/draw2d_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <cmath>

#include "commands/draw2d/dialog_hooks.h"
#include "graphics/view/view.h"
#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/app_view_host.h"
#include "shell/ddx.h"

namespace {

constexpr int kTemplatePolygon = IDS_REGULAR_POLYGON, kTemplateText = IDS_TEXT_SETTINGS,
              kTemplateHatch = IDS_HATCH_STYLE;
constexpr uint32_t kStrNone = IDS_HATCH_NONE;
constexpr int kPicture = 48;

// Line-art picture of one method: what the user clicks, as dots, and what is drawn.
QPixmap method_picture(uint32_t title_id, int method) {
    QPixmap pm(kPicture, kPicture);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    auto dot = [&](double x, double y) {
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QPointF(x, y), 3.5, 3.5);
        p.restore();
    };
    auto line = [&](double x1, double y1, double x2, double y2) { p.drawLine(QPointF(x1, y1), QPointF(x2, y2)); };
    switch (title_id) {
        case IDS_LINE:
            switch (method) {
                case 0: line(6, 38, 22, 10), line(26, 40, 42, 16), dot(6, 38), dot(22, 10), dot(26, 40), dot(42, 16); break;
                case 1: line(6, 40, 16, 10), line(16, 10, 30, 36), line(30, 36, 42, 8), dot(6, 40), dot(16, 10), dot(30, 36), dot(42, 8); break;
                case 2: line(6, 30, 30, 8), p.setPen(QPen(Qt::gray, 2)), line(18, 42, 42, 20), dot(18, 42), dot(42, 20); break;
                case 3: line(6, 30, 30, 8), p.setPen(QPen(Qt::gray, 2)), line(14, 14, 36, 38), dot(14, 14), dot(36, 38); break;
                case 4: p.drawEllipse(QPointF(24, 24), 16, 16), line(8, 24, 40, 24), line(24, 8, 24, 40), dot(24, 24), dot(40, 24); break;
                default: line(8, 40, 40, 40), line(8, 40, 36, 16), line(8, 40, 16, 8), dot(8, 40), dot(40, 40), dot(36, 16), dot(16, 8); break;
            }
            break;
        case IDS_BOX:
            if (method == 3) {
                QPolygonF q({QPointF(6, 38), QPointF(30, 38), QPointF(42, 12), QPointF(18, 12)});
                p.drawPolygon(q);
                dot(6, 38), dot(30, 38), dot(42, 12);
            } else {
                p.drawRect(QRectF(8, 12, 32, 24));
                if (method == 0) dot(8, 36), dot(40, 12);
                if (method == 1) dot(24, 24), dot(40, 12);
                if (method == 2) dot(40, 12), dot(24, 24);
            }
            break;
        case IDS_CIRCLE:
            p.drawEllipse(QPointF(24, 24), 16, 16);
            switch (method) {
                case 0: line(24, 24, 40, 24), dot(24, 24); break;
                case 1: dot(24, 24), dot(35.3, 12.7); break;
                case 2: dot(35.3, 12.7), dot(24, 24); break;
                case 3: line(8, 24, 40, 24), dot(8, 24), dot(40, 24); break;
                default: dot(8, 24), dot(24, 8), dot(35.3, 35.3); break;
            }
            break;
        case IDS_ARC: {
            QPainterPath path;
            path.arcMoveTo(QRectF(8, 8, 32, 32), 0);
            path.arcTo(QRectF(8, 8, 32, 32), 0, 160);
            p.drawPath(path);
            if (method == 2)
                line(24, 24, 40, 24), line(24, 24, 9, 18.5), dot(24, 24), dot(40, 24);
            else
                dot(40, 24), dot(24 + 16 * std::cos(1.4), 24 - 16 * std::sin(1.4)), dot(9, 18.5);
            break;
        }
        default:  // Ellipse
            p.drawEllipse(QPointF(24, 24), 18, 11);
            p.setPen(QPen(Qt::gray, 1, Qt::DashLine));
            p.drawRect(QRectF(6, 13, 36, 22));
            if (method == 0) dot(24, 24), dot(42, 13);
            if (method == 1) dot(42, 13), dot(24, 24);
            if (method == 2) dot(6, 35), dot(42, 13);
            break;
    }
    return pm;
}

// Fills a combo with names (and "(none)" first when asked) and selects `current`.
template <class T>
void fill_combo(QComboBox* box, const std::vector<T*>& items, bool with_none, const T* current) {
    box->clear();
    if (with_none) box->addItem(QString::fromStdString(res_load_string(kStrNone)));
    int select = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        box->addItem(QString::fromUtf8(items[i]->name()));
        if (items[i] == current) select = static_cast<int>(i) + (with_none ? 1 : 0);
    }
    box->setCurrentIndex(select);
}

template <class T>
std::vector<T*> patterns_of(const VIEW* view) {
    std::vector<T*> out;
    MODEL* m = view ? view_drawing(view) : nullptr;
    if (!m || !m->patterns) return out;
    ZDLIST* p = m->patterns;
    do {
        if (rtc_is_a(p, &T::rtc_class)) out.push_back(static_cast<T*>(p));
        p = p->next;
    } while (p && p != m->patterns);
    return out;
}

}  // namespace

// ---- Method choice

CMethodDlg::CMethodDlg(QWidget* parent, uint32_t title_id, const uint32_t* choice_ids, int count, int current)
    : CDlg(static_cast<int>(title_id), parent),
      title_id_(title_id),
      choices_(choice_ids, choice_ids + (count > 0 ? count : 0)),
      current_(current) {}

void CMethodDlg::CreateControls() {
    const int n = static_cast<int>(choices_.size());
    for (int i = 0; i < n; ++i) {
        QPushButton* b = add_button(kIdcMethodFirst + i, "", 0, i, i == current_);
        b->setIcon(QIcon(method_picture(title_id_, i)));
        b->setIconSize(QSize(kPicture, kPicture));
        b->setToolTip(QString::fromStdString(res_load_string(choices_[static_cast<size_t>(i)])));
        b->setAccessibleName(b->toolTip());
        b->setCheckable(true);
        b->setChecked(i == current_);
    }
    add_button(IDCANCEL, "Cancel", 1, n > 0 ? n - 1 : 0);
}

bool CMethodDlg::OnInitDialog() {
    CDlg::OnInitDialog();
    if (QWidget* b = GetDlgItem(kIdcMethodFirst + current_)) b->setFocus();
    return false;
}

void CMethodDlg::OnCommand(int id) {
    const int m = id - kIdcMethodFirst;
    if (m < 0 || m >= static_cast<int>(choices_.size())) return;
    chosen_ = m;
    EndDialog(IDOK);
}

int method_dialog_run(QWidget* parent, uint32_t title_id, const uint32_t* choice_ids, int count, int current) {
    if (!choice_ids || count <= 0) return -1;
    CMethodDlg dlg(parent, title_id, choice_ids, count, current);
    return dlg.DoModal() == IDOK ? dlg.chosen() : -1;
}

// ---- Regular polygon

CPolygonDlg::CPolygonDlg(QWidget* parent, int count) : CDlg(kTemplatePolygon, parent), count_(count), value_(count) {}

void CPolygonDlg::CreateControls() {
    add_static(IDS_POLYGON_SEGMENTS, res_load_string(IDS_POLYGON_SEGMENTS), 0, 0);
    add_edit(kIdcPolygonCount, 0, 1);
    add_ok_cancel(1, 2);
}

void CPolygonDlg::DoDataExchange(CDataExchange* dx) {
    // Whole counts up to 100 show as written ("%.*g" with precision 0 gives "1e+02").
    set_number_format_from(nullptr, 6, 64);
    DDX_Double(dx, kIdcPolygonCount, value_);
    DDV_MinMaxDouble(dx, value_, 3, 100);
    if (dx->saving()) count_ = static_cast<int>(std::lround(value_));
}

// ---- Text settings

CTextSettingsDlg::CTextSettingsDlg(QWidget* parent, VIEW* view)
    : CDlg(kTemplateText, parent),
      view_(view),
      fonts_(patterns_of<FONTPATT>(view)),
      height_(view->text_height),
      width_(view->text_width),
      oblique_(view->text_oblique),
      slope_(view->text_slope),
      line_width_(view->line_width) {}

void CTextSettingsDlg::CreateControls() {
    const int ids[6] = {kIdcTextFont, kIdcTextHeight, kIdcTextWidth, kIdcTextOblique, kIdcTextSlope, kIdcLineWidth};
    for (int i = 0; i < 6; ++i) {
        add_static(IDS_TEXT_FONT + i, res_load_string(IDS_TEXT_FONT + static_cast<uint32_t>(i)), i, 0);
        if (i == 0)
            add_combo(ids[i], i, 1);
        else
            add_edit(ids[i], i, 1);
    }
    add_ok_cancel(6, 2);
}

void CTextSettingsDlg::DoDataExchange(CDataExchange* dx) {
    set_number_format_from(view_, 4, 64);
    auto* box = qobject_cast<QComboBox*>(GetDlgItem(kIdcTextFont));
    if (!dx->saving() && box) fill_combo(box, fonts_, false, view_->current_font);
    DDX_Length(dx, kIdcTextHeight, height_);
    DDV_MinMaxLength(dx, height_, 0.001, 1e6);
    DDX_Length(dx, kIdcTextWidth, width_);
    DDV_MinMaxLength(dx, width_, 0.001, 1e6);
    DDX_Units(dx, kIdcTextOblique, oblique_);
    DDV_MinMaxUnits(dx, oblique_, -80, 80);
    DDX_Units(dx, kIdcTextSlope, slope_);
    DDV_MinMaxUnits(dx, slope_, -360, 360);
    DDX_Length(dx, kIdcLineWidth, line_width_);
    DDV_MinMaxLength(dx, line_width_, 0, 1e6);
    if (!dx->saving()) return;
    const int i = box ? box->currentIndex() : -1;
    if (i >= 0 && i < static_cast<int>(fonts_.size())) view_->current_font = fonts_[static_cast<size_t>(i)];
    view_->text_height = height_;
    view_->text_width = width_;
    view_->text_oblique = oblique_;
    view_->text_slope = slope_;
    view_->line_width = line_width_;
}

// ---- Hatch style

CHatchStyleDlg::CHatchStyleDlg(QWidget* parent, VIEW* view)
    : CDlg(kTemplateHatch, parent),
      view_(view),
      patterns_(patterns_of<HATCHPATT>(view)),
      scale_(view->hatch_scale),
      angle_(view->hatch_angle),
      line_width_(view->line_width) {}

void CHatchStyleDlg::CreateControls() {
    add_static(IDS_HATCH_PATTERN, res_load_string(IDS_HATCH_PATTERN), 0, 0);
    add_combo(kIdcHatchPattern, 0, 1);
    add_static(IDS_HATCH_SCALE, res_load_string(IDS_HATCH_SCALE), 1, 0);
    add_edit(kIdcHatchScale, 1, 1);
    add_static(IDS_HATCH_ANGLE, res_load_string(IDS_HATCH_ANGLE), 2, 0);
    add_edit(kIdcHatchAngle, 2, 1);
    add_static(IDS_LINE_WIDTH_LABEL, res_load_string(IDS_LINE_WIDTH_LABEL), 3, 0);
    add_edit(kIdcLineWidth, 3, 1);
    add_ok_cancel(4, 2);
}

void CHatchStyleDlg::DoDataExchange(CDataExchange* dx) {
    set_number_format_from(view_, 4, 64);
    auto* box = qobject_cast<QComboBox*>(GetDlgItem(kIdcHatchPattern));
    if (!dx->saving() && box) fill_combo(box, patterns_, true, view_->current_hatch);
    DDX_Double(dx, kIdcHatchScale, scale_);
    DDV_MinMaxDouble(dx, scale_, 0.001, 1e6);
    DDX_Units(dx, kIdcHatchAngle, angle_);
    DDV_MinMaxUnits(dx, angle_, -360, 360);
    DDX_Length(dx, kIdcLineWidth, line_width_);
    DDV_MinMaxLength(dx, line_width_, 0, 1e6);
    if (!dx->saving()) return;
    const int i = box ? box->currentIndex() : 0;
    view_->current_hatch = i >= 1 && i <= static_cast<int>(patterns_.size()) ? patterns_[static_cast<size_t>(i - 1)]
                                                                            : nullptr;
    view_->hatch_scale = scale_;
    view_->hatch_angle = angle_;
    view_->line_width = line_width_;
}

// ---- The hooks

namespace {

class QtDraw2dDialogs : public Draw2dDialogs {
  public:
    int polygon_count(VIEW*, int current) override {
        CPolygonDlg dlg(QApplication::activeWindow(), current);
        return dlg.DoModal() == IDOK ? dlg.count() : -1;
    }
    bool text_settings(VIEW* view) override {
        CTextSettingsDlg dlg(QApplication::activeWindow(), view);
        return dlg.DoModalHelp(40016) == IDOK;
    }
    int hatch_style(VIEW* view) override {
        CHatchStyleDlg dlg(QApplication::activeWindow(), view);
        return dlg.DoModalHelp(40017) == IDOK ? 0 : -1;
    }
};

int app_method_dialog(QWidget* owner, VIEW*, uint32_t title_id, const uint32_t* choices, int count, int current) {
    return method_dialog_run(owner, title_id, choices, count, current);
}

}  // namespace

void draw2d_dialogs_install() {
    static QtDraw2dDialogs dialogs;
    draw2d_set_dialogs(&dialogs);
    app_set_method_dialog(&app_method_dialog);
}
