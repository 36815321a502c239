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

#include "graphics/view/view.h"
#include "shell/cmd_target.h"
#include "shell/view_canvas.h"
#include "shell/view_paint.h"

class CDoc;
class CMDIFrame;

class CSView : public QAbstractScrollArea, public ViewWindow, public CCmdTarget {
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

    // Scroll bars from the VIEW's origin and scale.
    void SetScrollBars();
    // Moves the origin by (dx, dy) drawing units (dy downward on screen); the picture
    // follows by whole pixels. Nothing when the result would not be finite.
    void ScrollBy(double dx, double dy, bool from_bar);
    void InvalidateAll();
    void UpdateFrameTitle();

    // Window point (logical pixels, rows downward) to device pixels with rows upward.
    void ToDevice(const QPointF& p, int* x, int* y) const;
    const ViewCanvas& canvas() const { return canvas_; }
    double device_ratio() const;

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    void mark_dirty(const QRect& device_rect);
    void repaint_dirty();

    CDoc* doc_;
    CMDIFrame* frame_;
    VIEW* view_ = nullptr;  // owned (destroyed with the view)
    ViewCanvas canvas_;
    QRegion dirty_;         // device pixels still to paint into the canvas
    bool setting_bars_ = false;
    bool panning_ = false;
    QPoint pan_last_;       // device pixels, rows upward
};

// A new VIEW for the drawing, set up from `copy` when given (projection, drawing
// state and layer flags), else with the defaults (the first layer current); attached
// to the drawing. Null when it cannot be made.
VIEW* view_new(MODEL* model, const VIEW* copy);
// Sets the view's extents (its scroll area) to the drawing's box and updates its
// scroll bars.
void view_compute_extents(VIEW* view);
// Fits the whole drawing into the view (the previous window remembered).
void view_fit_all(VIEW* view);
