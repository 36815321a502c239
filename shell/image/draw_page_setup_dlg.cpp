// The drawing page setup dialog.
#include "shell/image/draw_page_setup_dlg.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

#include "model/services/msgbox.h"
#include "model/services/numfmt.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

CDrawPageSetupDlg::CDrawPageSetupDlg(PrintLayout* layout, PageSetupModel* page, double min_x, double min_y,
                                     double max_x, double max_y, QWidget* parent)
    : CPageLayoutDlg(page, nullptr, 322, parent), target_(layout), layout_(*layout),
      area_{min_x, min_y, max_x, max_y}, visible_{min_x, min_y, max_x, max_y} {}

void CDrawPageSetupDlg::set_drawing(const double visible[4],
                                    std::function<DrawingSource(const double area[4])> source_of) {
    std::copy(visible, visible + 4, visible_);
    source_of_ = std::move(source_of);
    picture_of_ = -1;
}

const DrawingPicture* CDrawPageSetupDlg::picture() {
    if (!source_of_) return nullptr;
    if (picture_of_ != layout_.visible_only) {
        picture_of_ = layout_.visible_only;
        if (drawing_picture_collect(source_of_(area()), &picture_) != 0) return nullptr;
    }
    return &picture_;
}

bool CDrawPageSetupDlg::paint_printed(QPainter& p, const QRectF& r) {
    const DrawingPicture* pic = preview() ? picture() : nullptr;
    if (!pic) return false;
    paint_drawing_picture(p, *pic, area(), r, layout_.monochrome);
    return true;
}

void CDrawPageSetupDlg::CreateControls() {
    CPageLayoutDlg::CreateControls();
    auto text = [](uint32_t id) { return res_load_string(id); };
    add_check(kPageFit, text(kPageFit), 13, 0);
    add_check(kPageTile, text(kPageTile), 13, 1);
    add_check(kPageVisible, text(kPageVisible), 14, 0);
    add_check(kPageMonochrome, text(kPageMonochrome), 14, 1);
    add_static(0, text(IDS_PAGE_SCALE), 15, 0);
    add_edit(kPageScale, 15, 1);
    add_static(0, text(kPageXOffset), 16, 0);
    add_edit(kPageXOffset, 16, 1);
    add_static(0, text(kPageYOffset), 17, 0);
    add_edit(kPageYOffset, 17, 1);
    add_static(0, text(IDS_PAGE_COLUMNS), 18, 0);
    add_edit(kPageColumns, 18, 1)->setReadOnly(true);
    add_static(0, text(IDS_PAGE_ROWS), 19, 0);
    add_edit(kPageRows, 19, 1)->setReadOnly(true);
    for (int id : {kPageScale, kPageXOffset, kPageYOffset})
        connect(static_cast<QLineEdit*>(GetDlgItem(id)), &QLineEdit::editingFinished, this, [this] {
            read_layout_fields();
            refill();
        });
    for (int id : {kPageFit, kPageTile, kPageVisible, kPageMonochrome})
        if (auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id)))
            connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
}

bool CDrawPageSetupDlg::OnInitDialog() {
    CheckDlgButton(kPageFit, !layout_.tile);
    CheckDlgButton(kPageTile, layout_.tile);
    CheckDlgButton(kPageVisible, layout_.visible_only);
    CheckDlgButton(kPageMonochrome, layout_.monochrome);
    return CPageLayoutDlg::OnInitDialog();
}

void CDrawPageSetupDlg::read_layout_fields() {
    bool ok = false;
    double scale = QString::fromStdString(GetDlgItemText(kPageScale)).trimmed().toDouble(&ok);
    if (!ok || !(scale >= 0.000001)) scale = 0.000001;
    layout_.scale = std::min(scale, 1000000.0);
    const double xo = QString::fromStdString(GetDlgItemText(kPageXOffset)).trimmed().toDouble(&ok);
    layout_.x_offset = ok ? static_cast<int32_t>(std::clamp(page_units_to_internal(xo, work_.units), -1e9, 1e9)) : 0;
    const double yo = QString::fromStdString(GetDlgItemText(kPageYOffset)).trimmed().toDouble(&ok);
    layout_.y_offset = ok ? static_cast<int32_t>(std::clamp(page_units_to_internal(yo, work_.units), -1e9, 1e9)) : 0;
}

void CDrawPageSetupDlg::layout_changed() {
    if (busy_) return;
    busy_ = true;
    bool resettle = false;
    layout_.margins = work_.margins();
    layout_.minimum = work_.minimum;
    layout_.paper_w = static_cast<int32_t>(work_.paper_w);
    layout_.paper_h = static_cast<int32_t>(work_.paper_h);
    layout_.full_page = work_.full_page;
    layout_.centre = work_.centre;
    const double* a = area();
    result_ = print_layout_run(&layout_, a[0], a[1], a[2], a[3]);
    if (layout_.tile) {
        work_.image_w = work_.paper_w - work_.minimum.left - work_.minimum.right;
        work_.image_h = work_.paper_h - work_.minimum.top - work_.minimum.bottom;
    } else if (result_ == 0) {
        // The printed area's proportions are the ones the margins keep: when they
        // change (a new area), the margins follow them.
        resettle = work_.image_w != layout_.printed_w || work_.image_h != layout_.printed_h;
        work_.image_w = layout_.printed_w;
        work_.image_h = layout_.printed_h;
        if (resettle) work_.settle();
    }
    show_layout_fields();
    busy_ = false;
    if (resettle) refill();
}

void CDrawPageSetupDlg::show_layout_fields() {
    SetDlgItemText(kPageScale, number_format_real(layout_.scale, 6));
    SetDlgItemText(kPageXOffset, number_format_real(page_units_from_internal(layout_.x_offset, work_.units), 4));
    SetDlgItemText(kPageYOffset, number_format_real(page_units_from_internal(layout_.y_offset, work_.units), 4));
    SetDlgItemText(kPageColumns, std::to_string(layout_.columns));
    SetDlgItemText(kPageRows, std::to_string(layout_.rows));
    // Scale and offsets belong to tiling; full page, centring and visible area to fitting.
    for (int id : {kPageScale, kPageXOffset, kPageYOffset}) GetDlgItem(id)->setEnabled(layout_.tile);
    for (int id : {kPageFullPage, kPageCentre, kPageVisible}) GetDlgItem(id)->setEnabled(!layout_.tile);
}

void CDrawPageSetupDlg::OnCommand(int id) {
    switch (id) {
        case kPageFit:
        case kPageTile:
            layout_.tile = id == kPageTile;
            CheckDlgButton(kPageFit, !layout_.tile);
            CheckDlgButton(kPageTile, layout_.tile);
            if (layout_.tile) {
                // Tiling: full page, no centring, the whole drawing, scale 1.
                work_.full_page = true;
                work_.centre = false;
                layout_.visible_only = 0;
                layout_.scale = 1.0;
                CheckDlgButton(kPageFullPage, true);
                CheckDlgButton(kPageCentre, false);
                CheckDlgButton(kPageVisible, false);
                // Every page prints its whole printable area.
                work_.image_w = work_.paper_w - work_.minimum.left - work_.minimum.right;
                work_.image_h = work_.paper_h - work_.minimum.top - work_.minimum.bottom;
            }
            work_.settle();
            refill();
            break;
        case kPageVisible:
            layout_.visible_only = IsDlgButtonChecked(kPageVisible);
            refill();
            break;
        case kPageMonochrome:
            layout_.monochrome = IsDlgButtonChecked(kPageMonochrome);
            repaint_sample();
            break;
        default:
            CPageLayoutDlg::OnCommand(id);
    }
}

void CDrawPageSetupDlg::paint_sample(QPainter& p, const QRectF& pane) {
    if (!layout_.tile) {
        CPageLayoutDlg::paint_sample(p, pane);
        return;
    }
    // The sheet of all pages: each page's printable area side by side, the margins
    // around the whole.
    const double pw = work_.paper_w - work_.left - work_.right, ph = work_.paper_h - work_.top - work_.bottom;
    const double cols = std::max(1, layout_.columns), rows = std::max(1, layout_.rows);
    const double sw = pw * cols + work_.left + work_.right, sh = ph * rows + work_.top + work_.bottom;
    const double k = std::min((pane.width() - 16) / sw, (pane.height() - 16) / sh);
    if (sw * k < 1 || sh * k < 1) return;
    const QRectF sheet((pane.width() - sw * k) / 2, (pane.height() - sh * k) / 2, sw * k, sh * k);
    p.fillRect(sheet, Qt::white);
    const QRectF area(sheet.left() + work_.left * k, sheet.top() + work_.top * k, pw * cols * k, ph * rows * k);
    p.setPen(Qt::black);
    // The drawing under all the pages at the scale, or the crossed rectangle.
    const double unit_mm = 0.0254 / (layout_.scale > 0 ? layout_.scale : 1);  // drawing units per thousandth
    const double window[4] = {layout_.origin_x, layout_.origin_y, layout_.origin_x + pw * cols * unit_mm,
                              layout_.origin_y + ph * rows * unit_mm};
    const DrawingPicture* pic = preview() ? picture() : nullptr;
    if (pic) {
        paint_drawing_picture(p, *pic, window, area, layout_.monochrome);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
    } else {
        p.drawRect(area);
        p.drawLine(area.topLeft(), area.bottomRight());
        p.drawLine(area.topRight(), area.bottomLeft());
    }
    p.drawRect(area);
    p.drawRect(sheet);
    for (int c = 1; c < cols; ++c) p.drawLine(QPointF(area.left() + c * pw * k, area.top()), QPointF(area.left() + c * pw * k, area.bottom()));
    for (int r = 1; r < rows; ++r) p.drawLine(QPointF(area.left(), area.top() + r * ph * k), QPointF(area.right(), area.top() + r * ph * k));
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(area.adjusted(-2, -2, 2, 2));
}

void CDrawPageSetupDlg::OnOK() {
    read_layout_fields();
    layout_changed();
    if (result_ == kLayoutTooManyPages) {
        msgbox_printf(kStrIdWarning, res_load_string(IDS_PAGE_TOO_MANY).c_str(), static_cast<int>(kMaxPrintPages));
        return;  // the dialog stays open
    }
    if (!layout_.tile) layout_.x_offset = layout_.y_offset = 0;
    *target_ = layout_;
    CPageLayoutDlg::OnOK();
}
