// The main window: MDI area, menus and accelerators from the resource, status bar,
// placement and command routing.
#include "shell/mainframe.h"
#include "shell/ui_handlers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <vector>

#include "commands/input/cmdinput.h"
#include "menus_text.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "platform/modal.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/core/mdi_arrange.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/editor_frame.h"
#include "shell/mainapp.h"
#include "shell/mdiframe.h"
#include "shell/readout_bar.h"
#include "shell/recent_files.h"
#include "shell/sview.h"
#include "shell/toolbars.h"
#include "shell/window_list_dialog.h"

CMainFrame::CMainFrame() {
    setWindowTitle(QString::fromStdString(res_load_string(kStrIdAppName)));
    setWindowIcon(window_icon(128));
    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    setAcceptDrops(true);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) { on_subwindow_activated(w); });
    mdi_->viewport()->installEventFilter(this);
}

void CMainFrame::keep_fitted(CMDIFrame* frame) {
    if (frame) fitted_.push_back({frame, frame->normal_geometry(), frame->isMaximized(), frame->isMinimized()});
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (watched == mdi_->viewport() && e->type() == QEvent::Resize && !refitting_) {
        // Placing a window may resize the area again (its scroll bars): not re-entered.
        refitting_ = true;
        std::erase_if(fitted_, [](Fitted& f) {
            CMDIFrame* w = f.frame;
            // Moved, resized, maximised or restored by the user: it stays where it is.
            if (!w || w->normal_geometry() != f.normal || w->isMaximized() != f.maximised ||
                w->isMinimized() != f.minimised)
                return true;
            CSView* v = w->view();
            if (v && v->HasStoredPlacement()) {
                if (!v->PlaceAgain()) return true;
            } else {
                if (w->isMaximized() || w->isMinimized()) return true;
                w->fit_to_area();
            }
            f = {w, w->normal_geometry(), w->isMaximized(), w->isMinimized()};
            return false;
        });
        refitting_ = false;
    }
    return QMainWindow::eventFilter(watched, e);
}

CMainFrame::~CMainFrame() { recent_files().on_change = nullptr; }

bool CMainFrame::Create() {
    int line = 0;
    if (!menu_resource_parse(kMenusText, &resource_, &line)) return false;
    const MenuBar* b128 = resource_.bar(128);
    const MenuBar* b129 = resource_.bar(129);
    if (!b128 || !b129) return false;
    build_bar(*b128, &menus_128_);
    build_bar(*b129, &menus_129_);
    if (const MenuBar* b130 = resource_.bar(130)) build_bar(*b130, &menus_130_);
    for (const Accelerator& a : resource_.accelerators) {
        QAction* act = action(a.id);
        if (!act) act = make_action(a.id, "");
        QList<QKeySequence> keys = act->shortcuts();
        keys.append(QKeySequence(QString::fromStdString(a.key)));
        act->setShortcuts(keys);
        act->setShortcutContext(Qt::ApplicationShortcut);
        addAction(act);
    }
    // Readout along the top edge and the key-help bar along the bottom edge (above
    // the status line) first: toolbars docked later go inside them.
    readout_bar_install(this);
    key_help_bar_install(this);
    // Their panes do not set the window's minimum width: the bars shrink with the
    // window (a long key-help line is cut at the right edge), so that the window fits
    // small screens and large scale factors.
    for (QToolBar* b : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly))
        for (QAction* a : b->actions())
            if (QWidget* w = b->widgetForAction(a)) w->setSizePolicy(QSizePolicy::Ignored, w->sizePolicy().verticalPolicy());
    CMainApp* app = CMainApp::instance();
    toolbars_ = new ToolbarSet(
        this, app ? app->version_text() : std::string(), [this](int id) { route_command(id); },
        [this](int id, ToolbarItemState* st) {
            const CCmdUI ui = route_update(id);
            st->enabled = ui.enabled;
            st->checked = ui.checked;
            st->checkable = ui.checkable;
        });
    if (!toolbars_->create(g_prefs.bitmap_set)) return false;
    // The third item of each menu bar is the toolbars menu.
    for (auto* menus : {&menus_128_, &menus_129_, &menus_130_})
        if (menus->size() > 2) toolbars_->fill_toolbars_menu((*menus)[2]);
    message_ = new QLabel(this);
    statusBar()->addWidget(message_, 1);
    set_prompt(-1);
    // Every change of the list (open, Save, Save As, a stale entry dropped) shows at once.
    recent_files().on_change = [this] { update_recent_menu(); };
    update_recent_menu();
    show_bar(128);
    // Item states follow the routing whenever the program is idle.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        update_actions();
        toolbars_->update_actions();
    });
    timer->start(250);
    return true;
}

QAction* CMainFrame::make_action(int id, const std::string& text) {
    auto* act = new QAction(QString::fromStdString(text), this);
    act->setData(id);
    connect(act, &QAction::triggered, this, [this, id] { route_command(id); });
    actions_[id] = act;
    return act;
}

QAction* CMainFrame::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::fill_menu(QMenu* menu, const MenuNode& node) {
    for (const MenuNode& c : node.children) {
        switch (c.kind) {
            case MenuNode::separator: menu->addSeparator(); break;
            case MenuNode::recent: recent_menus_.push_back(menu); break;
            case MenuNode::popup: fill_menu(menu->addMenu(QString::fromStdString(c.text)), c); break;
            case MenuNode::item: {
                const QString text = QString::fromStdString(c.text);
                QAction* act = action(c.id);
                if (!act) act = make_action(c.id, c.text);
                if (act->text().isEmpty()) act->setText(text);
                if (act->text() != text) {
                    // The same command under another text in this bar ("Tile" of the
                    // drawing bar is "Tile Horizontally" here): an item of its own,
                    // routed and kept up to date like the shared one.
                    auto* own = new QAction(text, menu);
                    own->setData(c.id);
                    const int id = c.id;
                    connect(own, &QAction::triggered, this, [this, id] { route_command(id); });
                    own_texts_.push_back(own);
                    act = own;
                }
                menu->addAction(act);
                break;
            }
        }
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { update_actions(); });
}

void CMainFrame::build_bar(const MenuBar& bar, std::vector<QMenu*>* menus) {
    for (const MenuNode& p : bar.popups) {
        auto* m = new QMenu(QString::fromStdString(p.text), this);
        fill_menu(m, p);
        menus->push_back(m);
        // The Window menu (the one with Cascade) ends with the open windows.
        const bool window_menu = std::any_of(p.children.begin(), p.children.end(), [](const MenuNode& c) {
            return c.kind == MenuNode::item && c.id == ID_WINDOW_CASCADE;
        });
        if (window_menu) connect(m, &QMenu::aboutToShow, this, [this, m] { fill_window_list(m); });
    }
}

void CMainFrame::fill_window_list(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->property("zelo_window_item").toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    const QList<QMdiSubWindow*> wins = mdi_->subWindowList(QMdiArea::CreationOrder);
    if (wins.isEmpty()) return;
    auto mark = [](QAction* a) {
        a->setProperty("zelo_window_item", true);
        return a;
    };
    mark(menu->addSeparator());
    // Nine at the most, each with its digit as the key letter; the others are reached
    // through the list of every window.
    for (int i = 0; i < int(wins.size()) && i < kWindowItems; ++i) {
        QMdiSubWindow* w = wins[i];
        QAction* a = mark(menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(w->windowTitle())));
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        QPointer<QMdiSubWindow> target = w;
        connect(a, &QAction::triggered, this, [this, target] { activate_window(target); });
    }
    if (wins.size() > kWindowItems) {
        QAction* more = mark(menu->addAction(QString::fromStdString(res_load_string(IDS_MORE_WINDOWS))));
        connect(more, &QAction::triggered, this, [this] { choose_window(); });
    }
}

void CMainFrame::activate_window(QMdiSubWindow* w) {
    if (!w) return;
    if (w->isMinimized()) w->showNormal();
    mdi_->setActiveSubWindow(w);
}

void CMainFrame::choose_window() {
    const QList<QMdiSubWindow*> wins = mdi_->subWindowList(QMdiArea::CreationOrder);
    QStringList titles;
    std::vector<QPointer<QMdiSubWindow>> targets;
    for (QMdiSubWindow* w : wins) {
        titles << w->windowTitle();
        targets.emplace_back(w);
    }
    CWindowListDlg dlg(this, titles, int(wins.indexOf(mdi_->activeSubWindow())));
    if (dlg.DoModal() != IDOK) return;
    // A window closed while the list was open is no longer there to choose.
    const int i = dlg.chosen();
    if (i >= 0 && i < int(targets.size())) activate_window(targets[size_t(i)]);
}

void CMainFrame::show_bar(int id) {
    if (shown_bar_ == id) return;
    shown_bar_ = id;
    QMenuBar* mb = menuBar();
    for (QAction* a : mb->actions()) mb->removeAction(a);
    for (QMenu* m : id == 129 ? menus_129_ : id == 130 ? menus_130_ : menus_128_) mb->addMenu(m);
}

void CMainFrame::update_recent_menu() {
    // Taken out now, deleted later: the list may change under a recent item's own click.
    for (QAction* a : recent_actions_) {
        for (QMenu* m : recent_menus_) m->removeAction(a);
        a->deleteLater();
    }
    recent_actions_.clear();
    const auto& files = recent_files().entries();
    for (QMenu* m : recent_menus_) {
        // Recent files go before the separator that follows their place (before Exit).
        QList<QAction*> acts = m->actions();
        QAction* before = acts.size() >= 2 ? acts[acts.size() - 2] : nullptr;
        for (size_t i = 0; i < files.size(); ++i) {
            const int id = ID_FILE_MRU_FIRST + int(i);
            auto* act = new QAction(QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(files[i])), m);
            connect(act, &QAction::triggered, this, [this, id] { route_command(id); });
            m->insertAction(before, act);
            recent_actions_.push_back(act);
        }
    }
}

CMDIFrame* CMainFrame::active_frame() const {
    return dynamic_cast<CMDIFrame*>(mdi_->activeSubWindow());
}

CSView* CMainFrame::active_view() const {
    CMDIFrame* f = active_frame();
    return f ? f->view() : nullptr;
}

bool CMainFrame::add_frame(QMdiSubWindow* frame) {
    QMdiSubWindow* active = mdi_->activeSubWindow();
    const bool maximise = active && active->isMaximized();
    mdi_->addSubWindow(frame);
    frame->show();
    // The area maximises a window activated beside a maximised one before it has a size
    // of its own; resizing it then would leave it marked maximised at a wrong size.
    if (frame->isMaximized()) frame->showNormal();
    return maximise;
}

CCmdTarget* CMainFrame::active_other() const {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    return w && !dynamic_cast<CMDIFrame*>(w) ? dynamic_cast<CCmdTarget*>(w) : nullptr;
}

void CMainFrame::on_subwindow_activated(QMdiSubWindow* w) {
    // Image windows (and any other window answering commands) have their own bar.
    show_bar(active_view() ? 129 : active_other() && !menus_130_.empty() ? 130 : 128);
    update_actions();
    // The drawing brought forward takes the keys (Esc, typed numbers): its view, not
    // the first control of its window the area would give them to.
    if (CSView* v = active_view(); v && w && QApplication::focusWidget() != v)
        v->setFocus(Qt::ActiveWindowFocusReason);
}

bool CMainFrame::route_command(int id) {
    CSView* view = active_view();
    CCmdTarget* chain[] = {view, view ? static_cast<CCmdTarget*>(view->document()) : nullptr,
                           active_frame(), active_other(), this, CMainApp::instance()};
    for (CCmdTarget* t : chain) {
        if (!t) continue;
        CCmdUI ui;
        ui.id = id;
        if (t->OnCmdMsg(id, &ui)) {
            if (!ui.enabled) return false;
            t->OnCmdMsg(id, nullptr);
            return true;
        }
    }
    return false;
}

CCmdUI CMainFrame::route_update(int id) {
    CSView* view = active_view();
    CCmdTarget* chain[] = {view, view ? static_cast<CCmdTarget*>(view->document()) : nullptr,
                           active_frame(), active_other(), this, CMainApp::instance()};
    CCmdUI ui;
    ui.id = id;
    for (CCmdTarget* t : chain)
        if (t && t->OnCmdMsg(id, &ui)) return ui;
    ui.enabled = false;
    return ui;
}

void CMainFrame::update_actions() {
    std::vector<std::pair<int, QAction*>> all(actions_.begin(), actions_.end());
    for (QAction* a : own_texts_) all.emplace_back(a->data().toInt(), a);
    for (auto& [id, act] : all) {
        const CCmdUI ui = route_update(id);
        act->setEnabled(ui.enabled);
        // A command's item is checked only while it runs: the mark goes with it.
        act->setCheckable(ui.checkable || ui.checked);
        act->setChecked(ui.checked);
    }
}

void CMainFrame::set_prompt(int string_id) {
    const uint32_t id = string_id < 0 ? kStrIdHelpPrompt : uint32_t(string_id);
    set_message(res_load_string(id));
}

void CMainFrame::set_message(const std::string& text) {
    if (message_) message_->setText(QString::fromStdString(text));
}

bool CMainFrame::OnCmdMsg(int id, CCmdUI* ui) {
    switch (id) {
        case ID_WINDOW_CASCADE:
        case ID_WINDOW_TILE_HORZ:
        case ID_WINDOW_TILE_VERT:
        case ID_WINDOW_ARRANGE:
            if (ui) {
                ui->Enable(!mdi_->subWindowList().isEmpty());
            } else if (id == ID_WINDOW_ARRANGE) {
                mdi_->tileSubWindows();
            } else {
                arrange_windows(id);
            }
            return true;
        case ID_WINDOW_NEW: {
            CSView* v = active_view();
            if (ui) {
                ui->Enable(v != nullptr);
            } else if (v && CMainApp::instance()) {
                CMainApp::instance()->CreateDrawingFrame(v->document(), nullptr, v->view());
            }
            return true;
        }
        case ID_VIEW_STATUS_BAR:
            if (ui) {
                ui->SetCheck(statusBar()->isVisible());
            } else {
                statusBar()->setVisible(!statusBar()->isVisible());
            }
            return true;
        case ID_KEYS_INFO: return true;
        case ID_RESET_TOOLBARS:
            if (!ui) toolbars_->load_state();
            return true;
        case ID_CUSTOMIZE:
            if (ui)
                ui->Enable(toolbars_->customize_target() != nullptr);
            else
                toolbars_->run_customize();
            return true;
        case ID_OBJECT_SNAP_BAR:
        case ID_VIEW_TOOLBAR:
            if (ui) {
                CCustomBar* b = toolbars_->bar(id);
                ui->SetCheck(b && b->isVisible());
            } else {
                toolbars_->toggle_bar(id);
            }
            return true;
        case ID_SETTINGS_KEY: {
            // A tool with a floating editor: the key shows, focuses or hides it.
            CMainApp* app = CMainApp::instance();
            CCmdInput* tool = app ? app->top_input() : nullptr;
            auto* editor = tool ? dynamic_cast<CEditorFrame*>(tool->tool_window) : nullptr;
            if (!editor) return false;
            if (!ui) editor->Toggle(0);
            return true;
        }
        default: {
            const FrameHandler h = frame_handler(id);
            if (!h.run) return false;
            const bool can = !h.enabled || h.enabled(this, id);
            if (ui)
                ui->Enable(can);
            else if (can)
                h.run(this, id);
            return true;
        }
    }
}

void CMainFrame::arrange_windows(int id) {
    // Bottom first: in a cascade the window on top ends last, its title still in view.
    std::vector<QMdiSubWindow*> wins;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::StackingOrder))
        if (!w->isHidden() && !w->isMinimized()) wins.push_back(w);
    if (wins.empty()) return;
    for (QMdiSubWindow* w : wins)
        if (w->isMaximized()) w->showNormal();
    const QSize area = mdi_->viewport()->size();
    std::vector<PlacementRect> rects;
    if (id == ID_WINDOW_CASCADE) {
        QStyleOptionTitleBar opt;
        opt.initFrom(wins.front());
        const int step = wins.front()->style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, wins.front());
        rects = mdi_cascade(int(wins.size()), area.width(), area.height(), step);
    } else {
        rects = mdi_tile(int(wins.size()), area.width(), area.height(), id == ID_WINDOW_TILE_HORZ);
    }
    for (size_t i = 0; i < wins.size(); ++i)
        wins[i]->setGeometry(rects[i].left, rects[i].top, rects[i].width(), rects[i].height());
}

intptr_t CMainFrame::OnMessage(uint32_t message, intptr_t wparam, intptr_t) {
    if (message == WM_COMMAND) route_command(int(wparam));
    return 0;
}

void CMainFrame::record_placement() {
    CMainApp* app = CMainApp::instance();
    if (!app) return;
    WindowPlacement& p = app->placement();
    p.maximised = isMaximized();
    if (!isMaximized() && !isMinimized() && !isFullScreen()) {
        // The outer frame, decorations included; place_outer takes it back (the frame
        // it was given while the window manager has not framed it yet).
        const QRect r = outer_pending_.isValid() ? outer_pending_ : frameGeometry();
        p.rect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
}

void CMainFrame::place_outer(const QRect& outer) {
    move(outer.topLeft());
    resize(outer.size());
    outer_pending_ = outer;
}

void CMainFrame::fit_outer() {
    if (!outer_pending_.isValid() || isMaximized() || isMinimized()) return;
    const QRect outer = outer_pending_;
    // The decorations are known once the window manager has framed the window.
    const QSize decorations = frameGeometry().size() - size();
    if (decorations.width() <= 0 && decorations.height() <= 0) {
        // Unframed and placed elsewhere (by the user or a window manager that draws
        // no frame): nothing is left to take back.
        if (frameGeometry() != outer) outer_pending_ = QRect();
        return;
    }
    outer_pending_ = QRect();
    resize(outer.size() - decorations);
    move(outer.topLeft());
}

void CMainFrame::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    fit_outer();
    record_placement();
}

void CMainFrame::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    fit_outer();
    record_placement();
}

void CMainFrame::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) record_placement();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    CMainApp* app = CMainApp::instance();
    if (!app || app->command_running()) return;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) app->OpenDocumentFile(url.toLocalFile().toStdString());
    e->acceptProposedAction();
}

namespace {
void (*g_job_stopper)() = nullptr;
}  // namespace

void mainframe_set_job_stopper(void (*stop_and_wait)()) { g_job_stopper = stop_and_wait; }

void CMainFrame::closeEvent(QCloseEvent* e) {
    CMainApp* app = CMainApp::instance();
    // No close from any route (menu, keys, window manager) while a command waits.
    if (app && app->command_running()) {
        platform_beep();
        e->ignore();
        return;
    }
    // Every modified drawing is asked about first, before anything stops.
    if (CDocTemplate* t = app ? app->drawing_template() : nullptr) {
        std::vector<CDocument*> docs;
        for (const auto& d : t->documents()) docs.push_back(d.get());
        for (CDocument* d : docs)
            if (!d->SaveModified()) {
                e->ignore();
                return;
            }
    }
    // A render job still running is stopped, and waited for, before its window goes.
    if (app && app->GetBackgroundJob() && g_job_stopper) g_job_stopper();
    record_placement();
    if (app) window_placement_save(app->placement());
    toolbars_->save_state();
    recent_files().save();
    mdi_set_closing_all(true);
    mdi_->closeAllSubWindows();
    mdi_set_closing_all(false);
    QMainWindow::closeEvent(e);
}
