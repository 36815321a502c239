// The image page setup dialog.
#include "shell/image/page_setup_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QRadioButton>

#include "model/services/numfmt.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

const QPageSize::PageSizeId kPapers[] = {QPageSize::A4, QPageSize::A3, QPageSize::A5, QPageSize::Letter,
                                         QPageSize::Legal};

// Thousandths of an inch of a paper size, portrait.
QSizeF paper_thousandths(QPageSize::PageSizeId id) {
    const QSizeF in = QPageSize(id).size(QPageSize::Inch);
    return {in.width() * 1000, in.height() * 1000};
}

class SamplePane : public QWidget {
  public:
    explicit SamplePane(CPageLayoutDlg* dlg) : dlg_(dlg) { setMinimumSize(180, 200); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        dlg_->paint_sample(p, QRectF(rect()));
    }

  private:
    CPageLayoutDlg* dlg_;
};

}  // namespace

CPageLayoutDlg::CPageLayoutDlg(PageSetupModel* model, const QImage* image, int template_id, QWidget* parent)
    : CDialog(template_id, parent), work_(*model), model_(model), image_(image) {
    landscape_ = work_.paper_w > work_.paper_h;
    setWindowTitle(QString::fromStdString(res_load_string(static_cast<uint32_t>(template_id))));
}

void CPageLayoutDlg::paint_sample(QPainter& p, const QRectF& pane) {
    const PageSetupModel& m = work_;
    // The paper, fitted into the pane with a shadow.
    const double k = std::min((pane.width() - 16) / m.paper_w, (pane.height() - 16) / m.paper_h);
    const QRectF page((pane.width() - m.paper_w * k) / 2, (pane.height() - m.paper_h * k) / 2, m.paper_w * k,
                      m.paper_h * k);
    p.fillRect(page.translated(3, 3), Qt::darkGray);
    p.fillRect(page, Qt::white);
    p.setPen(Qt::black);
    p.drawRect(page);
    const QRectF r = sample_image_rect(m, page);
    if (r.width() < 1 || r.height() < 1) return;
    if (!paint_printed(p, r)) {
        p.drawRect(r);
        p.drawLine(r.topLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomLeft());
    }
}

bool CPageLayoutDlg::paint_printed(QPainter& p, const QRectF& r) {
    if (!preview_ || !image_ || image_->isNull()) return false;
    p.drawImage(r, *image_);
    return true;
}

void CPageLayoutDlg::repaint_sample() {
    if (sample_) sample_->update();
}

QRectF CPageLayoutDlg::sample_image_rect(const PageSetupModel& m, const QRectF& page) {
    const double k = page.width() / m.paper_w;
    const QRectF area(page.left() + m.left * k, page.top() + m.top * k, std::max(0.0, m.area_w()) * k,
                      std::max(0.0, m.area_h()) * k);
    // The image's proportions fitted into the printed area.
    const double iw = m.image_w > 0 ? m.image_w : 1, ih = m.image_h > 0 ? m.image_h : 1;
    const double f = std::min(area.width() / iw, area.height() / ih);
    return {area.left(), area.top(), iw * f, ih * f};
}

int CPageLayoutDlg::paper_index() const { return paper_ ? paper_->currentIndex() : 0; }

void CPageLayoutDlg::CreateControls() {
    auto text = [](uint32_t id) { return res_load_string(id); };
    add_static(0, text(IDS_PAGE_PAPER), 0, 0);
    paper_ = add_combo(kPagePaper, 0, 1, 2);
    for (QPageSize::PageSizeId id : kPapers) paper_->addItem(QPageSize::name(id));
    // Two groups of radio buttons: orientation and units.
    auto* orientation = new QButtonGroup(this);
    orientation->addButton(add_radio(kPagePortrait, text(IDS_PAGE_PORTRAIT), 1, 1));
    orientation->addButton(add_radio(kPageLandscape, text(IDS_PAGE_LANDSCAPE), 1, 2));
    const uint32_t labels[6] = {IDS_PAGE_LEFT,   IDS_PAGE_RIGHT, IDS_PAGE_TOP,
                                IDS_PAGE_BOTTOM, IDS_PAGE_WIDTH, IDS_PAGE_HEIGHT};
    for (int i = 0; i < 6; ++i) {
        add_static(0, text(labels[i]), 2 + i % 2 + (i / 2) * 2, 0);
        fields_[i] = add_edit(kPageFieldIds[i], 2 + i % 2 + (i / 2) * 2, 1);
        connect(fields_[i], &QLineEdit::editingFinished, this, [this, i] { typed(i); });
    }
    auto* units = new QButtonGroup(this);
    units->addButton(add_radio(kPageMillimetres, text(IDS_MILLIMETRES), 8, 0));
    units->addButton(add_radio(kPageInches, text(IDS_INCHES), 8, 1));
    add_check(kPageFullPage, text(IDS_PAGE_FULL_PAGE), 9, 0, 2);
    add_check(kPageCentre, text(IDS_PAGE_CENTRE), 10, 0, 2);
    add_check(kPagePreview, text(IDS_PREVIEW), 11, 0, 2);
    sample_ = register_control(kPageSample, new SamplePane(this));
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(sample_, 0, 3, 12, 1);
    add_ok_cancel(20, 4);
    connect(paper_, &QComboBox::activated, this, [this] { paper_changed(); });
    for (int id : {kPagePortrait, kPageLandscape, kPageMillimetres, kPageInches, kPageFullPage, kPageCentre,
                   kPagePreview})
        if (auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(id)))
            connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
}

bool CPageLayoutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The paper matching the model's size, else A4.
    for (int i = 0; i < static_cast<int>(std::size(kPapers)); ++i) {
        const QSizeF s = paper_thousandths(kPapers[i]);
        if (std::abs(std::min(s.width(), s.height()) - std::min(work_.paper_w, work_.paper_h)) < 20 &&
            std::abs(std::max(s.width(), s.height()) - std::max(work_.paper_w, work_.paper_h)) < 20)
            paper_->setCurrentIndex(i);
    }
    CheckDlgButton(landscape_ ? kPageLandscape : kPagePortrait, true);
    CheckDlgButton(work_.units ? kPageInches : kPageMillimetres, true);
    CheckDlgButton(kPageFullPage, work_.full_page);
    CheckDlgButton(kPageCentre, work_.centre);
    work_.settle();
    refill();
    return true;
}

void CPageLayoutDlg::refill(int except) {
    for (int i = 0; i < 6; ++i) {
        if (i == except) continue;
        fields_[i]->setText(QString::fromStdString(number_format_real(work_.field(i), 4)));
        // Margins are the printer's minimum while the full page is used.
        fields_[i]->setEnabled(!work_.full_page);
    }
    layout_changed();
    repaint_sample();
}

void CPageLayoutDlg::typed(int field) {
    bool ok = false;
    const double v = fields_[field]->text().trimmed().toDouble(&ok);
    work_.type(field, ok ? v : 0);
    refill();
}

void CPageLayoutDlg::paper_changed() {
    const QSizeF s = paper_thousandths(kPapers[std::clamp(paper_->currentIndex(), 0, 4)]);
    const double w = landscape_ ? s.height() : s.width(), h = landscape_ ? s.width() : s.height();
    work_.set_paper(w, h);
    refill();
}

void CPageLayoutDlg::OnCommand(int id) {
    switch (id) {
        case kPagePortrait:
        case kPageLandscape: {
            const bool land = id == kPageLandscape;
            if (land != landscape_) {
                landscape_ = land;
                Margins m = work_.margins();
                int stored = land ? kPortrait : kLandscape;
                margins_follow_orientation(&m, &stored, land ? kLandscape : kPortrait);
                Margins min = work_.minimum;
                int stored_min = land ? kPortrait : kLandscape;
                margins_follow_orientation(&min, &stored_min, land ? kLandscape : kPortrait);
                work_.minimum = min;
                work_.left = m.left, work_.top = m.top, work_.right = m.right, work_.bottom = m.bottom;
                paper_changed();
            }
            break;
        }
        case kPageMillimetres:
        case kPageInches:
            work_.set_units(id == kPageInches ? 1 : 0);
            refill();
            break;
        case kPageFullPage:
        case kPageCentre:
            work_.full_page = IsDlgButtonChecked(kPageFullPage);
            work_.centre = IsDlgButtonChecked(kPageCentre);
            work_.settle();
            refill();
            break;
        case kPagePreview:
            preview_ = IsDlgButtonChecked(kPagePreview);
            repaint_sample();
            break;
        default: break;
    }
}

void CPageLayoutDlg::OnOK() {
    for (int i = 0; i < 6; ++i)
        if (fields_[i]->hasFocus()) typed(i);
    *model_ = work_;
    CDialog::OnOK();
}
