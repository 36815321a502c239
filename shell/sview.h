// CSView: the drawing view, the window of one VIEW. It keeps the VIEW's picture in
// a canvas of device pixels, paints the dirty parts of it through the wire-frame
// driver, shows it, maps the scroll bars onto the drawing's extents, pans with the
// mouse, and turns pointer positions into device pixels (rows upward) before the
// VIEW sees them. It owns its VIEW.
//
// The window side of a VIEW (ViewWindow) is implemented here. Sizes the VIEW reads
// are device pixels; the frame placement is in the MDI area's coordinates.
#pragma once

#include <QAbstractScrollArea>
#include <QRegion>
#include <memory>
#include <optional>

#include "graphics/view/canvas.h"
#include "graphics/view/view.h"
#include "platform/msgqueue.h"
#include "shell/core/page_layout.h"
#include "shell/cmd_target.h"
#include "shell/cmdproc.h"
#include "shell/view_commands.h"
#include "shell/view_paint.h"

class CDoc;
class CMDIFrame;

class CCmdInput;

class CSView : public QAbstractScrollArea,
               public ViewWindow,
               public CCmdTarget,
               public CmdWindow,
               public MsgTarget {
  public:
    // A view of `doc` in `frame` (its widget). OnInitialUpdate chooses the VIEW.
    CSView(CDoc* doc, CMDIFrame* frame);
    ~CSView() override;

    CDoc* document() const { return doc_; }
    CMDIFrame* frame() const { return frame_; }
    VIEW* view() const { return view_; }

    // Takes `taken` (a VIEW of the drawing without a window, ownership passes) or,
    // when null, a new VIEW copied from `copy_from` (may be null); sizes the frame;
    // fits a new VIEW to the drawing. False when no VIEW could be made.
    bool OnInitialUpdate(VIEW* taken, const VIEW* copy_from);

    // ViewWindow.
    void client_size(int* width, int* height) const override;
    void parent_client_size(int* width, int* height) const override;
    bool get_placement(FramePlacement* out) const override;
    void set_placement(const FramePlacement& placement) override;
    void invalidate(const WindowRect* rect, bool erase) override;
    void update_now() override;
    void update_scroll_bars() override;
    void draw_object(object* obj, int colour) override;

    // A window whose VIEW was read with a stored placement is placed again from it
    // against the window area's size now (the main window is placed by the window
    // manager only after a drawing named at start opened): the same stored place in
    // a different area would otherwise be scaled and its drawing re-centred for good.
    // False once the user has zoomed or scrolled it, or it has no stored placement.
    bool PlaceAgain();
    bool HasStoredPlacement() const { return stored_.valid; }

    // Scroll bars from the VIEW's origin and scale.
    void SetScrollBars();
    // Moves the origin by (dx, dy) drawing units (dy downward on screen); the picture
    // follows by whole pixels. Nothing when the result would not be finite.
    void ScrollBy(double dx, double dy, bool from_bar);
    void InvalidateAll();
    void UpdateFrameTitle();
    // Fills the frame's layer list with the drawing's layers, the VIEW's current one
    // selected, and shows its current colour.
    void FillLayerList();

    // Window point (logical pixels, rows downward) to device pixels with rows upward.
    void ToDevice(const QPointF& p, int* x, int* y) const;
    // The canvas, brought up to date (what is dirty painted, the cursor mark kept).
    Canvas* canvas();
    double device_ratio() const;

    // Shows or hides the cursor mark in this view (XOR into the canvas).
    void ShowMark(bool show);
    // The closing guard: -1 refused (with a beep), 0 the running command was told to
    // unwind and the close is to wait for it, 1 the view may close.
    int CloseGuard();
    // A drawing command may start here: parallel projection, no nested pick, the
    // drawing not held by a render job, and no other view running a command.
    bool CommandAllowed() const;
    // The command function behind an id (null: not built yet).
    static CommandFn CommandFunction(int id);
    // Test seam: puts a function in a command slot (null empties it).
    static void SetCommandFunction(int id, CommandFn fn);
    // Makes the input tool of a tool command (the polyline editor, 15841..15849);
    // null when memory runs out. Installed at start-up.
    using ToolFactory = CCmdInput* (*)(uint32_t id);
    static void SetToolFactory(ToolFactory factory);

    // CmdWindow.
    WinId cmd_win_id() const override { return win_id(); }
    VIEW* cmd_view() const override { return view_; }
    // MsgTarget: the view gets its step results through the processor's wait.
    intptr_t OnMessage(uint32_t, intptr_t, intptr_t) override { return 0; }

    bool OnCmdMsg(int id, CCmdUI* ui) override;

    // The print settings of this view: the layout its page setup edits and its
    // prints use, and the orientation its margins belong to.
    PrintLayout print_layout;
    int print_orientation = kPortrait;
    // Page Setup, Print and Print Preview of drawing views are carried out by a
    // handler the program installs (printing sits above the shell); without one the
    // items stay disabled. The handler answers whether the command was done.
    using PrintHandler = bool (*)(CSView* view, int id);
    static void SetPrintHandler(PrintHandler handler);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

  private:
    // The placement and origin the VIEW was read with, and the origin it was placed at.
    struct StoredPlacement {
        bool valid = false;
        ViewPlacement placement;
        double origin_x = 0, origin_y = 0, placed_x = 0, placed_y = 0, placed_scale = 0;
    };
    StoredPlacement stored_;
    void place_from_stored();
    void mark_dirty(const QRect& device_rect);
    void repaint_dirty();
    bool is_command_view() const;
    // The state of a command's item now: `routed` false passes the id on; an
    // unset `enabled` or `checked` leaves the item as it is. The command runs only
    // when it would be shown enabled.
    struct CommandState {
        bool routed = true;
        std::optional<bool> enabled;
        std::optional<bool> checked;
    };
    CommandState StateOf(const ViewCommand& c, ViewCmdKind route, int id) const;
    void Run(const ViewCommand& c, ViewCmdKind route, int id);

    CDoc* doc_;
    CMDIFrame* frame_;
    VIEW* view_ = nullptr;  // owned (destroyed with the view)
    Canvas canvas_;
    bool painting_ = false;
    int mark_x_ = 0, mark_y_ = 0;  // where the shown mark was drawn
    QRegion dirty_;         // device pixels still to paint into the canvas
    bool setting_bars_ = false;
    bool panning_ = false;
    QPoint pan_last_;       // device pixels, rows upward
    bool click_swallow_ = false;  // the click that activated the window
};
