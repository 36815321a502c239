// Floating property editor frame.
#include "shell/editor_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
#include <QVBoxLayout>

#include "model/services/strtab.h"
#include "shell/core/placement.h"

CEditorFrame::CEditorFrame(uint32_t owner_key, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), key_(owner_key) {
    setObjectName(QStringLiteral("EditorFrame"));
    setFocusPolicy(Qt::StrongFocus);
}

CEditorFrame::~CEditorFrame() {
    if (created_) SavePosition();
}

void CEditorFrame::SavePosition() const {
    QPoint p = frameGeometry().topLeft();
    layout_save(key_, p.x(), p.y());
}

int CEditorFrame::Create(uint32_t title_id, QWidget* hosted) {
    const char* title = res_find_string(title_id);
    if (!title || !hosted) {
        delete hosted;
        return 0;
    }
    hosted_ = hosted;
    setWindowTitle(QString::fromUtf8(title));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    hosted->setParent(this, Qt::Widget);
    layout->addWidget(hosted);
    hosted->show();
    adjustSize();

    int x = 0, y = 0;
    if (!layout_load(key_, &x, &y)) {
        QPoint c = QCursor::pos();
        x = c.x(), y = c.y();
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect full = screen ? screen->geometry() : QRect(0, 0, 1, 1);
    layout_clamp(&x, &y, full.width(), full.height());
    move(x, y);
    created_ = true;
    show();
    return 1;
}

bool CEditorFrame::HasFocusInside() const {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (w == this) return true;
        if (w->isWindow() && w != this) break;
    }
    return false;
}

void CEditorFrame::Hide() {
    if (auto* page = dynamic_cast<CDialog*>(hosted_)) page->UpdateData(true);
    hide();
}

void CEditorFrame::Toggle(int mode) {
    if (mode == 2 || isHidden()) {
        show();
        return;
    }
    if (mode == 1 || (mode == 0 && HasFocusInside())) {
        Hide();
        return;
    }
    raise();
    activateWindow();
    if (hosted_) hosted_->setFocus(Qt::OtherFocusReason);
    else setFocus(Qt::OtherFocusReason);
}

void CEditorFrame::closeEvent(QCloseEvent* event) {
    // Closing hides the frame (a window without delete-on-close is only hidden by an
    // accepted close): it lives as long as its owner. Accepting also lets the
    // application quit while the frame is open.
    if (auto* page = dynamic_cast<CDialog*>(hosted_)) page->UpdateData(true);
    event->accept();
}

void CEditorFrame::focusInEvent(QFocusEvent*) {
    if (hosted_) hosted_->setFocus(Qt::OtherFocusReason);
}

CEditorFrame* CEditorDlg::GetEditorFrame(QWidget* window) {
    return window ? dynamic_cast<CEditorFrame*>(window->parentWidget()) : nullptr;
}

void CEditorDlg::Prepare() {
    if (!prepared_) {
        prepared_ = true;
        CreateControls();
    }
    OnInitDialog();
}

void CEditorDlg::OnOK() { UpdateData(true); }

void CEditorDlg::OnCancel() {
    if (CEditorFrame* frame = GetEditorFrame(this)) frame->Toggle(0);
}
