// The MDI child frame of drawing windows and its closing guard.
#include "shell/mdiframe.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <algorithm>

#include "shell/edit_bar.h"

#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/sview.h"
#include "shell/view_paint.h"
#include "shell/toolbars.h"

namespace {
// Set while the main frame closes every window after asking about every document.
bool g_closing_all = false;
}  // namespace

void mdi_set_closing_all(bool on) { g_closing_all = on; }

CMDIFrame::CMDIFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The window keys (Ctrl+F4, Ctrl+F6) are the program's own accelerators; the
    // frame's system menu would take them too and make them ambiguous.
    setSystemMenu(nullptr);
    setWindowIcon(window_icon(129));
}

CMDIFrame::~CMDIFrame() = default;

void CMDIFrame::set_view(CSView* view) {
    view_ = view;
    inner_ = new QMainWindow();
    inner_->setWindowFlags(Qt::Widget);
    edit_bar_ = new CEditBar(inner_);
    inner_->addToolBar(Qt::TopToolBarArea, edit_bar_);
    inner_->setCentralWidget(view);
    setWidget(inner_);
}

QRect CMDIFrame::normal_geometry() const {
    if (!isMaximized() && !isMinimized()) return geometry();
    return normal_.isValid() ? normal_ : geometry();
}

void CMDIFrame::fit_to_area() {
    QMdiArea* area = mdiArea();
    if (!area || !view_) return;
    int w = 0, h = 0;
    new_view_client_size(area->viewport()->width(), area->viewport()->height(), &w, &h);
    const QSize border = size() - view_->viewport()->size();
    // The frame stays inside the area whatever its borders measure.
    mdi_fit_inside(this, QSize(w, h) + (border.isValid() && border.width() >= 0 ? border : QSize(0, 0)));
}

void mdi_fit_inside(QMdiSubWindow* w, QSize want) {
    if (!w || w->isMaximized() || w->isMinimized()) return;
    if (QMdiArea* area = w->mdiArea()) want = want.boundedTo(area->viewport()->size());
    w->resize(want);
    mdi_keep_inside(w);
}

void mdi_keep_inside(QMdiSubWindow* w) {
    QMdiArea* area = w ? w->mdiArea() : nullptr;
    if (!area || w->isMaximized() || w->isMinimized()) return;
    const QSize room = area->viewport()->size();
    w->move(std::max(0, std::min(w->x(), room.width() - w->width())),
            std::max(0, std::min(w->y(), room.height() - w->height())));
}

void CMDIFrame::moveEvent(QMoveEvent* e) {
    QMdiSubWindow::moveEvent(e);
    if (!isMaximized() && !isMinimized()) normal_ = geometry();
}

void CMDIFrame::resizeEvent(QResizeEvent* e) {
    QMdiSubWindow::resizeEvent(e);
    if (!isMaximized() && !isMinimized()) normal_ = geometry();
}

void CMDIFrame::closeEvent(QCloseEvent* e) {
    const int guard = view_ ? view_->CloseGuard() : 1;
    if (guard <= 0) {
        // 0: the command was told to unwind; the application closes the frame then.
        close_pending_ = guard == 0;
        e->ignore();
        return;
    }
    CDoc* doc = view_ ? view_->document() : nullptr;
    if (doc && !g_closing_all && doc->views().size() == 1 && !doc->SaveModified()) {
        e->ignore();
        return;
    }
    close_pending_ = false;
    QMdiSubWindow::closeEvent(e);
}

bool CMDIFrame::OnCmdMsg(int, CCmdUI*) { return false; }
