// Tabbed property sheets over the framework dialog.
#include "platform/prop_sheet.h"

#include <QGridLayout>
#include <QTabWidget>

CPropPage::CPropPage(int template_id, const std::string& title) : CDialog(template_id, nullptr), title_(title) {
    setWindowFlags(Qt::Widget);
}

CPropSheet::CPropSheet(int template_id, const std::string& caption, QWidget* parent)
    : CDialog(template_id, parent), caption_(caption) {}

void CPropSheet::AddPage(CPropPage* page) { pages_.push_back(page); }

void CPropSheet::CreateControls() {
    setWindowTitle(QString::fromStdString(caption_));
    tabs_ = new QTabWidget(this);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(tabs_, 0, 0, 1, 3);
    for (CPropPage* p : pages_) {
        p->build_controls();
        tabs_->addTab(p, QString::fromStdString(p->title()));
    }
    QObject::connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) {
        if (switching_ || i == active_) return;
        const int from = active_;
        if (!SetActivePage(i)) {
            switching_ = true;
            tabs_->setCurrentIndex(from);
            switching_ = false;
        }
    });
    add_ok_cancel(1, 3);
}

bool CPropSheet::OnInitDialog() {
    for (CPropPage* p : pages_) p->UpdateData(false);
    active_ = -1;
    if (!pages_.empty()) {
        active_ = 0;
        switching_ = true;
        tabs_->setCurrentIndex(0);
        switching_ = false;
        pages_[0]->OnSetActive();
    }
    return true;
}

bool CPropSheet::SetActivePage(int i) {
    if (i < 0 || i >= page_count()) return false;
    if (i == active_) return true;
    if (active_ >= 0 && !pages_[active_]->OnKillActive()) return false;
    active_ = i;
    if (tabs_ && tabs_->currentIndex() != i) {
        switching_ = true;
        tabs_->setCurrentIndex(i);
        switching_ = false;
    }
    pages_[i]->OnSetActive();
    return true;
}

void CPropSheet::OnOK() {
    if (active_ >= 0 && !pages_[active_]->OnKillActive()) return;
    for (int i = 0; i < page_count(); ++i) {
        if (i == active_) continue;
        if (!pages_[i]->UpdateData(true)) {
            SetActivePage(i);
            return;
        }
    }
    for (CPropPage* p : pages_) p->OnSheetClose();
    EndDialog(IDOK);
}

void CPropSheet::OnCancel() {
    for (CPropPage* p : pages_) p->OnSheetClose();
    EndDialog(IDCANCEL);
}
