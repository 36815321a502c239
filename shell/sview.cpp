// The drawing view: canvas painting, scroll bars over the drawing's extents,
// panning, and the VIEW's window side.
#include "shell/sview.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

#include "commands/input/cmdinput.h"
#include "commands/input/snap.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "graphics/view/colours.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "graphics/view/view_input.h"
#include "model/db/glimpse_notify.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/zobj.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "platform/modal.h"
#include "resources/string_ids.h"
#include "shell/app_view_host.h"
#include "shell/button_ex.h"
#include "shell/cmd_ids.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/edit_bar.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/readout_bar.h"
#include "shell/view_rules.h"

CSView::CSView(CDoc* doc, CMDIFrame* frame) : doc_(doc), frame_(frame) {
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Arrows and page clicks scroll by their share of the page whatever the bar's
    // range: the slider would stop at its end (the drawing's edge, or the fixed range
    // of an empty drawing) before the step could widen the range.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        QObject::connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) {
            const int page = bar->pageStep();
            const int amount = action == QAbstractSlider::SliderSingleStepAdd   ? page / 20
                               : action == QAbstractSlider::SliderSingleStepSub ? -(page / 20)
                               : action == QAbstractSlider::SliderPageStepAdd   ? page / 2
                               : action == QAbstractSlider::SliderPageStepSub   ? -(page / 2)
                                                                                : 0;
            if (amount == 0 || !view_ || view_->projection.mode == kProjPerspective) return;
            bar->setSliderPosition(bar->value());  // the slider's own, clamped step is dropped
            int w = 0, h = 0;
            client_size(&w, &h);
            const bool across = bar == horizontalScrollBar();
            const double units = scroll_amount_to_units(amount, view_->projection.scale, page, across ? w : h);
            if (units != 0.0) ScrollBy(across ? units : 0.0, across ? 0.0 : units, false);
        });
    }
    doc_->AddView(this);
}

CSView::~CSView() {
    if (CMainApp* app = CMainApp::instance()) app->WindowClosing(this);
    if (view_) {
        glimpse_activate_viewport(view_);
        view_->window = nullptr;
        model_detach_view(view_);
        rtc_destroy(view_);
        view_ = nullptr;
    }
    doc_->RemoveView(this);
    if (doc_->views().empty() && doc_->doc_template()) doc_->doc_template()->RemoveDocument(doc_);
}

double CSView::device_ratio() const { return viewport()->devicePixelRatioF(); }

bool CSView::OnInitialUpdate(VIEW* taken, const VIEW* copy_from) {
    MODEL* model = doc_->drawing();
    if (!model) return false;
    view_ = taken ? taken : view_new(model, copy_from);
    if (!view_) return false;
    view_->window = this;
    UpdateFrameTitle();
    QMdiArea* area = frame_->mdiArea();
    const bool restore = taken && view_->placement.show_state != 0;
    if (copy_from && copy_from->window) {
        auto* other = static_cast<CSView*>(copy_from->window);
        mdi_fit_inside(frame_, other->frame()->size());
    } else if (area && !restore) {
        frame_->fit_to_area();
    }
    if (restore) {
        stored_ = {true, view_->placement, view_->projection.origin_x, view_->projection.origin_y, 0, 0, 0};
        place_from_stored();
    }
    if (!taken) view_zoom_all(view_);
    FillLayerList();
    if (CEditBar* bar = frame_->edit_bar()) {
        bar->on_layer = [this](const std::string& name) {
            if (layer_set_state(view_, name.c_str(), true, true)) InvalidateAll();
        };
        bar->on_command = [](int id) {
            if (CMainApp* app = CMainApp::instance())
                if (app->main_frame()) app->main_frame()->route_command(id);
        };
    }
    SetScrollBars();
    InvalidateAll();
    return true;
}

void CSView::place_from_stored() {
    view_->placement = stored_.placement;
    view_->projection.origin_x = stored_.origin_x;
    view_->projection.origin_y = stored_.origin_y;
    view_placement(view_, 1);
    stored_.placed_x = view_->projection.origin_x;
    stored_.placed_y = view_->projection.origin_y;
    stored_.placed_scale = view_->projection.scale;
}

bool CSView::PlaceAgain() {
    if (!stored_.valid || !view_ || view_->projection.origin_x != stored_.placed_x ||
        view_->projection.origin_y != stored_.placed_y || view_->projection.scale != stored_.placed_scale)
        return false;
    // A maximised frame takes its normal rectangle only while shown normally.
    if (frame_->isMaximized() || frame_->isMinimized()) frame_->showNormal();
    place_from_stored();
    SetScrollBars();
    InvalidateAll();
    return true;
}

void CSView::FillLayerList() {
    MODEL* model = doc_->drawing();
    CEditBar* bar = frame_->edit_bar();
    if (!bar || !model || !view_) return;
    std::vector<std::string> names;
    if (ZDLIST* head = model->children) {
        ZDLIST* n = head;
        do {
            if (auto* l = rtc_cast<LAYER>(n)) names.push_back(l->name());
            n = n->next;
        } while (n && n != head);
    }
    bar->set_layers(names, view_->current_layer ? view_->current_layer->name() : "");
    bar->colour_button()->SetColour(view_->current_colour);
}

void CSView::UpdateFrameTitle() {
    frame_->setWindowTitle(QString::fromStdString(doc_->frame_title(this)));
}

void CSView::client_size(int* width, int* height) const {
    const double r = device_ratio();
    *width = int(std::lround(viewport()->width() * r));
    *height = int(std::lround(viewport()->height() * r));
}

void CSView::parent_client_size(int* width, int* height) const {
    QMdiArea* area = frame_->mdiArea();
    *width = area ? area->viewport()->width() : 0;
    *height = area ? area->viewport()->height() : 0;
}

bool CSView::get_placement(FramePlacement* out) const {
    out->state = frame_->isMaximized()   ? FramePlacement::kMaximised
                 : frame_->isMinimized() ? FramePlacement::kMinimised
                                         : FramePlacement::kNormal;
    const QRect r = frame_->normal_geometry();
    out->normal = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    out->min_x = r.left();
    out->min_y = r.top();
    return true;
}

void CSView::set_placement(const FramePlacement& p) {
    frame_->setGeometry(p.normal.left, p.normal.top, p.normal.right - p.normal.left,
                        p.normal.bottom - p.normal.top);
    if (p.state == FramePlacement::kMaximised)
        frame_->showMaximized();
    else if (p.state == FramePlacement::kMinimised)
        frame_->showMinimized();
    else
        frame_->showNormal();
}

void CSView::mark_dirty(const QRect& r) {
    dirty_ += r;
}

void CSView::invalidate(const WindowRect* rect, bool) {
    int w = 0, h = 0;
    client_size(&w, &h);
    const QRect all(0, 0, w, h);
    const QRect r = rect ? QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)) & all : all;
    if (r.isEmpty()) return;
    mark_dirty(r);
    const double k = device_ratio();
    viewport()->update(QRect(QPoint(int(std::floor(r.left() / k)), int(std::floor(r.top() / k))),
                             QPoint(int(std::ceil((r.right() + 1) / k)), int(std::ceil((r.bottom() + 1) / k)))));
}

void CSView::InvalidateAll() { invalidate(nullptr, true); }

void CSView::update_now() { viewport()->repaint(); }

void CSView::update_scroll_bars() { SetScrollBars(); }

void CSView::draw_object(object* obj, int colour) {
    if (!view_ || !canvas()) return;
    const bool shown = view_->cursor_shown != 0;
    if (shown) ShowMark(false);
    canvas_.set_pen(kDrawCopy, 0);
    canvas_.draw_object(view_, obj, colour);
    if (shown) ShowMark(true);
    viewport()->update();
}

Canvas* CSView::canvas() {
    repaint_dirty();
    viewport()->update();
    return canvas_.image() ? &canvas_ : nullptr;
}

bool CSView::is_command_view() const {
    CMainApp* app = CMainApp::instance();
    return app && app->command_window() == static_cast<const CmdWindow*>(this);
}

void CSView::ShowMark(bool show) {
    if (!view_ || (view_->cursor_shown != 0) == show || !canvas_.image()) return;
    CMainApp* app = CMainApp::instance();
    DocInputState* st = view_input_state(view_);
    CCmdInput* tool = app ? app->top_input() : nullptr;
    if (show) {
        mark_x_ = view_->cursor_pixel[0];
        mark_y_ = view_->cursor_pixel[1];
    }
    view_set_xor(view_);
    if (tool)
        tool->DrawMark(view_, mark_x_, mark_y_);
    else if (st && st->on_move)
        st->on_move(view_, mark_x_, mark_y_);
    view_->cursor_shown = show ? 1 : 0;
    viewport()->update();
}

void CSView::repaint_dirty() {
    int w = 0, h = 0;
    client_size(&w, &h);
    if (painting_) return;
    if (canvas_.width() != std::max(w, 1) || canvas_.height() != std::max(h, 1)) {
        if (view_) view_->cursor_shown = 0;
        if (canvas_.resize(std::max(w, 1), std::max(h, 1), display_background_word()) != 0) return;
        dirty_ = QRegion(0, 0, canvas_.width(), canvas_.height());
    }
    if (dirty_.isEmpty() || !view_ || painting_) return;
    painting_ = true;
    // The XOR mark leaves the picture before it changes and comes back after.
    const bool shown = view_->cursor_shown != 0;
    if (shown) ShowMark(false);
    CanvasPainter painter(canvas_.image());
    const QRegion dirty = dirty_;
    dirty_ = QRegion();
    for (const QRect& r : dirty)
        view_paint_rect(view_, painter, RasterRect{r.left(), r.top(), r.right(), r.bottom()});
    if (shown) ShowMark(true);
    painting_ = false;
}

void CSView::paintEvent(QPaintEvent*) {
    repaint_dirty();
    QPainter p(viewport());
    const RasterImage* im = canvas_.image();
    if (!im) {
        p.fillRect(viewport()->rect(), Qt::black);
        return;
    }
    QImage img(im->pixels, im->width, im->height, im->stride, QImage::Format_BGR888);
    img.setDevicePixelRatio(device_ratio());
    p.drawImage(QPointF(0, 0), img);
}

void CSView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    InvalidateAll();
    SetScrollBars();
    if (view_ && view_->projection.mode == kProjPerspective) viewport()->update();
}

void CSView::SetScrollBars() {
    if (!view_) return;
    const ViewProjection& vp = view_->projection;
    int w = 0, h = 0;
    client_size(&w, &h);
    const bool persp = vp.mode == kProjPerspective;
    const float* a = view_->scroll_area;
    const double vw = w / vp.scale, vh = h / vp.scale;
    const ScrollBarState sx = scroll_bar_for(persp, a[0], a[3], vp.origin_x, vw);
    // The vertical bar counts from the top: mirror the axis.
    const ScrollBarState sy = scroll_bar_for(persp, -double(a[4]), -double(a[1]), -(vp.origin_y + vh), vh);
    setting_bars_ = true;
    auto apply = [](QScrollBar* bar, const ScrollBarState& s) {
        bar->setEnabled(s.active);
        bar->setRange(s.minimum, std::max(s.minimum, s.maximum - s.page + 1));
        bar->setPageStep(std::max(s.page, 1));
        bar->setSingleStep(std::max(s.page / 20, 1));
        bar->setValue(s.position);
    };
    apply(horizontalScrollBar(), sx);
    apply(verticalScrollBar(), sy);
    setting_bars_ = false;
}

void CSView::scrollContentsBy(int dx, int dy) {
    if (setting_bars_ || !view_ || view_->projection.mode == kProjPerspective) return;
    int w = 0, h = 0;
    client_size(&w, &h);
    const double s = view_->projection.scale;
    const double ux = scroll_amount_to_units(-dx, s, horizontalScrollBar()->pageStep(), w);
    const double uy = scroll_amount_to_units(-dy, s, verticalScrollBar()->pageStep(), h);
    if (ux == 0.0 && uy == 0.0) return;
    ScrollBy(ux, uy, true);
}

void CSView::ScrollBy(double dx, double dy, bool from_bar) {
    if (!view_) return;
    ViewProjection& vp = view_->projection;
    if (vp.mode == kProjPerspective) return;
    const double px = std::floor(dx * vp.scale + 0.5), py = std::floor(dy * vp.scale + 0.5);
    const double nx = vp.origin_x + px / vp.scale, ny = vp.origin_y - py / vp.scale;
    // A scroll that would leave the origin non-finite (an empty window, a broken
    // scale) changes nothing: such an origin could not be saved and read back.
    if (!std::isfinite(px) || !std::isfinite(py) || !std::isfinite(nx) || !std::isfinite(ny)) return;
    if (px == 0 && py == 0) return;
    vp.origin_x = nx;
    vp.origin_y = ny;
    view_extents_reset(&vp);
    const int ix = int(std::clamp(px, -1e6, 1e6)), iy = int(std::clamp(py, -1e6, 1e6));
    const int w = canvas_.width(), h = canvas_.height();
    if (std::abs(ix) >= w || std::abs(iy) >= h) {
        InvalidateAll();
    } else {
        repaint_dirty();
        const bool shown = view_->cursor_shown != 0;
        if (shown) ShowMark(false);
        CanvasPainter(canvas_.image()).scroll(-ix, -iy);
        if (shown) ShowMark(true);
        if (ix > 0) mark_dirty(QRect(w - ix, 0, ix, h));
        if (ix < 0) mark_dirty(QRect(0, 0, -ix, h));
        if (iy > 0) mark_dirty(QRect(0, h - iy, w, iy));
        if (iy < 0) mark_dirty(QRect(0, 0, w, -iy));
        viewport()->update();
    }
    if (!from_bar) SetScrollBars();
}

void CSView::ToDevice(const QPointF& p, int* x, int* y) const {
    const double r = device_ratio();
    int w = 0, h = 0;
    client_size(&w, &h);
    *x = int(std::floor(p.x() * r));
    *y = h - 1 - int(std::floor(p.y() * r));
}

void CSView::mousePressEvent(QMouseEvent* e) {
    if (!view_) return;
    app_input_gate().input_seen();
    int x, y;
    ToDevice(e->position(), &x, &y);
    CMainApp* app = CMainApp::instance();
    CCmdInput* tool = app ? app->top_input() : nullptr;
    const bool left = e->button() == Qt::LeftButton, right = e->button() == Qt::RightButton;
    if (click_swallow_) {
        click_swallow_ = false;
        return;
    }
    if (tool && (left || right)) {
        ShowMark(false);
        Vec3 p;
        pixel_to_world(&view_->projection, x, y, view_->elevation, &p);
        const float pt[3] = {p.x, p.y, p.z};
        tool->OnUpdateViews(left ? kPointerLeftDown : kPointerRightDown, 0, x, y, pt);
        return;
    }
    if (is_command_view()) {
        // The step gets the position of the press itself, not of the last move.
        view_input_move(view_, x, y);
        if (left || right) view_input_button_up(view_, left ? kButtonLeft : kButtonRight);
        return;
    }
    if (left && view_->projection.mode != kProjPerspective) {
        panning_ = true;
        pan_last_ = QPoint(x, y);
    }
}

void CSView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && panning_) {
        panning_ = false;
        return;
    }
    CMainApp* app = CMainApp::instance();
    if (CCmdInput* tool = app ? app->top_input() : nullptr) {
        int x, y;
        ToDevice(e->position(), &x, &y);
        const float pt[3] = {float(view_->cursor[0]), float(view_->cursor[1]), float(view_->cursor[2])};
        tool->OnUpdateViews(kPointerUp, 0, x, y, pt);
    }
}

void CSView::mouseMoveEvent(QMouseEvent* e) {
    if (!view_) return;
    app_input_gate().input_seen();
    int x, y;
    ToDevice(e->position(), &x, &y);
    if (panning_) {
        if (view_->projection.mode != kProjPerspective && QPoint(x, y) != pan_last_) {
            const double s = view_->projection.scale;
            ScrollBy(-(x - pan_last_.x()) / s, (y - pan_last_.y()) / s, false);
            pan_last_ = QPoint(x, y);
        }
        return;
    }
    CMainApp* app = CMainApp::instance();
    // In the command view the cursor mark stands for the pointer.
    const Qt::CursorShape shape = is_command_view() && hasFocus() ? Qt::BlankCursor : Qt::CrossCursor;
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
    if (CCmdInput* tool = app ? app->top_input() : nullptr) {
        if (!is_command_view()) return;
        ShowMark(false);
        Vec3 p;
        pixel_to_world(&view_->projection, x, y, view_->elevation, &p);
        view_->cursor_pixel[0] = x;
        view_->cursor_pixel[1] = y;
        const float pt[3] = {p.x, p.y, p.z};
        tool->OnUpdateViews(kPointerMove, 0, x, y, pt);
        ShowMark(true);
        return;
    }
    view_input_move(view_, x, y);
    // The readout works in the axes the user types coordinates in: the view's own
    // (a front view shows the height) or the drawing's.
    if (is_command_view()) coord_readout_update(view_, g_prefs.coord_sys ? 1 : 0);
}

namespace {
// The character a key gives a command step (0: none).
int step_char(const QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape: return kKeyEsc;
        case Qt::Key_Return:
        case Qt::Key_Enter: return kKeyEnter;
        case Qt::Key_Backspace: return kKeyBackspace;
        default: break;
    }
    // One character, as its Unicode code point (text typed in place maps it to its
    // font's code page).
    const QList<uint> u = e->text().toUcs4();
    if (u.size() == 1 && u[0] >= 32 && u[0] != 127 && u[0] <= 0x10FFFF) return static_cast<int>(u[0]);
    return 0;
}
}  // namespace

void CSView::keyPressEvent(QKeyEvent* e) {
    app_input_gate().input_seen();
    const int ch = step_char(e);
    CMainApp* app = CMainApp::instance();
    if (!view_ || !ch || !app) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    if (CCmdInput* tool = app->top_input()) {
        tool->OnKey(ch, 1, 0);
        return;
    }
    if (!view_input_char(view_, ch)) QAbstractScrollArea::keyPressEvent(e);
}

void CSView::focusOutEvent(QFocusEvent* e) {
    if (is_command_view()) ShowMark(false);
    QAbstractScrollArea::focusOutEvent(e);
}

void CSView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    CMainApp* app = CMainApp::instance();
    if (!app) return;
    // The click that brings a view forward while a command runs only activates it:
    // the command moves here and waits for the next click.
    if (e->reason() == Qt::MouseFocusReason && app->command_running() && !is_command_view())
        click_swallow_ = true;
    app->ViewActivated(this);
}

int CSView::CloseGuard() {
    CMainApp* app = CMainApp::instance();
    if (doc_->render_busy && doc_->views().size() == 1) {
        platform_beep();
        return -1;
    }
    if (view_ && view_->nested_busy) {
        platform_beep();
        return -1;
    }
    if (!app || !view_ || app->command_window() != this) return 1;
    if (app->top_input()) {
        // A tool ends at once; the view may go.
        app->WindowClosing(this);
        return 1;
    }
    // A function command waits here: it is told to unwind, and the frame closes
    // once it has (never while its VIEW is still in use).
    view_input_closing(view_);
    return 0;
}

bool CSView::CommandAllowed() const {
    CMainApp* app = CMainApp::instance();
    return view_ && view_->projection.mode != kProjPerspective && !view_->nested_busy && !doc_->render_busy &&
           (!app || !app->command_window() || app->command_window() == static_cast<const CmdWindow*>(this));
}

namespace {
CSView::ToolFactory g_tool_factory = nullptr;
CSView::PrintHandler g_print_handler = nullptr;
// The key code a tool gets for the settings key (F10).
constexpr int kToolKeyF10 = 121;

// How the record answers now: the print and tool kinds keep their ids, an installed
// handler takes any other, and a tool id without a tool factory is a drawing command.
ViewCmdKind route_of(const ViewCommand& c) {
    if (c.kind == ViewCmdKind::kPrint) return c.kind;
    if (c.kind == ViewCmdKind::kTool && g_tool_factory) return c.kind;
    if (c.handler.run) return ViewCmdKind::kHandler;
    return c.kind == ViewCmdKind::kTool ? ViewCmdKind::kFunction : c.kind;
}
}  // namespace

void CSView::SetToolFactory(ToolFactory factory) { g_tool_factory = factory; }

CommandFn CSView::CommandFunction(int id) { return view_command(id).fn; }

void CSView::SetCommandFunction(int id, CommandFn fn) { view_command_set_function(id, fn); }

void CSView::SetPrintHandler(PrintHandler handler) { g_print_handler = handler; }

CSView::CommandState CSView::StateOf(const ViewCommand& c, ViewCmdKind route, int id) const {
    MODEL* model = doc_->drawing();
    CMainApp* app = CMainApp::instance();
    const bool allowed = CommandAllowed();
    const bool running = app && app->command_id() == uint32_t(id) && app->command_window();
    CommandState s;
    switch (route) {
        case ViewCmdKind::kNone: s.routed = false; break;
        case ViewCmdKind::kPrint: {
            // Not while a command of this drawing waits for input: it may change the
            // drawing. A camera (perspective) view prints its picture: printing draws
            // nothing into it.
            const bool print_allowed = view_ && !view_->nested_busy && !doc_->render_busy &&
                                       (!app || !app->command_window() ||
                                        app->command_window() == static_cast<const CmdWindow*>(this));
            s.enabled = g_print_handler && print_allowed && (!app || !app->command_running());
            break;
        }
        case ViewCmdKind::kTool:
            s.enabled = allowed;
            if (running) s.checked = true;
            break;
        case ViewCmdKind::kHandler: s.enabled = !c.handler.needs_test || allowed; break;
        case ViewCmdKind::kFunction:
            // One render job runs at a time.
            s.enabled = allowed && c.fn && !(c.one_job && app && app->GetBackgroundJob());
            if (running) s.checked = true;
            break;
        case ViewCmdKind::kClipboard:
            // Paste only while the clipboard holds a drawing.
            s.enabled = allowed && c.fn && (id == ID_EDIT_COPY || *clip_contents());
            break;
        case ViewCmdKind::kSnapToggle: s.checked = view_snap_checked(view_, uint32_t(id)) != 0; break;
        case ViewCmdKind::kKeepZ: s.checked = g_prefs.pled_keep_z != 0; break;
        case ViewCmdKind::kSettingsKey:
            // A tool with a floating editor leaves the key to the main frame.
            s.routed = !(app && app->top_input() && app->top_input()->tool_window);
            break;
        case ViewCmdKind::kZoomAll: s.enabled = allowed; break;
        case ViewCmdKind::kSaveGuard:
            s.routed = !allowed;
            s.enabled = false;
            break;
        case ViewCmdKind::kUndoRedo:
            s.enabled = allowed && (!app || !app->command_running()) && model &&
                        (id == ID_EDIT_UNDO ? model->undo_levels > 0 : model_redo_count(model) > 0);
            break;
        case ViewCmdKind::kCloseDrawing: s.enabled = allowed && !is_command_view(); break;
        case ViewCmdKind::kWindowCycle: break;
    }
    return s;
}

void CSView::Run(const ViewCommand& c, ViewCmdKind route, int id) {
    CMainApp* app = CMainApp::instance();
    switch (route) {
        case ViewCmdKind::kPrint: g_print_handler(this, id); break;
        case ViewCmdKind::kTool:
            if (!app) break;
            if (CCmdInput* tool = g_tool_factory(uint32_t(id)))
                app->SwitchCommand(this, uint32_t(id), tool);
            else
                msgbox_ids(kStrIdWarning, IDS_NO_MEMORY);
            break;
        case ViewCmdKind::kHandler: c.handler.run(this, id); break;
        case ViewCmdKind::kFunction:
        case ViewCmdKind::kClipboard:
            if (app) {
                void* arg = view_;
                app->RunViewCommand(this, id, c.fn, &arg);
            }
            break;
        case ViewCmdKind::kSnapToggle: view_toggle_snap(view_, uint32_t(id)); break;
        case ViewCmdKind::kKeepZ: g_prefs.pled_keep_z = g_prefs.pled_keep_z ? 0 : 1; break;
        case ViewCmdKind::kSettingsKey:
            if (!app) break;
            if (CCmdInput* tool = app->top_input())
                tool->OnKey(kToolKeyF10, 1, 0);
            else
                view_input_options_key(view_);
            break;
        case ViewCmdKind::kZoomAll: view_zoom_all(view_); break;
        case ViewCmdKind::kUndoRedo:
            if (id == ID_EDIT_UNDO)
                cmd_undo(view_);
            else
                cmd_redo(view_);
            break;
        case ViewCmdKind::kCloseDrawing:
            if (doc_->SaveModified()) {
                doc_->SetModifiedFlag(false);
                const std::vector<CSView*> views = doc_->views();
                for (CSView* v : views) v->frame()->close();
            }
            break;
        case ViewCmdKind::kWindowCycle: {
            QMdiArea* area = frame_->mdiArea();
            if (id == ID_CLOSE_WINDOW)
                frame_->close();
            else if (area && id == ID_NEXT_WINDOW)
                area->activateNextSubWindow();
            else if (area)
                area->activatePreviousSubWindow();
            break;
        }
        case ViewCmdKind::kNone:
        case ViewCmdKind::kSaveGuard: break;
    }
}

bool CSView::OnCmdMsg(int id, CCmdUI* ui) {
    const ViewCommand cmd = view_command(id);
    const ViewCmdKind route = route_of(cmd);
    // The view only disables saving while a command blocks it; the document saves.
    if (!ui && route == ViewCmdKind::kSaveGuard) return false;
    const CommandState s = StateOf(cmd, route, id);
    if (!s.routed) return false;
    if (ui) {
        if (s.enabled) ui->Enable(*s.enabled);
        if (s.checked) ui->SetCheck(*s.checked);
    } else if (s.enabled.value_or(true)) {
        Run(cmd, route, id);
    }
    return true;
}
