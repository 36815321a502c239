// CMDIFrame: the MDI child frame of a drawing window. It holds the drawing view,
// shows the document's title, and guards its closing: a view whose command waits
// cancels the command and closes once it has unwound; a refused close beeps.
#pragma once

#include <QMdiSubWindow>

#include "shell/cmd_target.h"

class CSView;
class CDoc;
class CEditBar;
class QMainWindow;

class CMDIFrame : public QMdiSubWindow, public CCmdTarget {
  public:
    explicit CMDIFrame(QWidget* parent = nullptr);
    ~CMDIFrame() override;

    CSView* view() const { return view_; }
    // Puts the view in the frame under the frame's Edit bar.
    void set_view(CSView* view);
    CEditBar* edit_bar() const { return edit_bar_; }

    // Closes the frame once the command running in its view has unwound; set by
    // the closing guard.
    bool close_pending() const { return close_pending_; }
    void set_close_pending(bool on) { close_pending_ = on; }

    // The frame's rectangle when last shown normally, in the MDI area.
    QRect normal_geometry() const;
    // Gives the frame the size of a new drawing window for the MDI area's present
    // size, inside the area.
    void fit_to_area();

    bool OnCmdMsg(int id, CCmdUI* ui) override;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    CSView* view_ = nullptr;
    QMainWindow* inner_ = nullptr;  // holds the Edit bar and the view
    CEditBar* edit_bar_ = nullptr;
    bool close_pending_ = false;
    QRect normal_;
};

// While set, closing a drawing's last window does not ask to save it (the main
// frame has asked about every document already).
void mdi_set_closing_all(bool on);

// Moves a normal window of the MDI area back inside the area where it passes its
// right or bottom edge (never beyond its left or top edge).
void mdi_keep_inside(QMdiSubWindow* window);
// Gives a normal window of the MDI area the size `want`, no larger than the area,
// and keeps it inside the area (mdi_keep_inside).
void mdi_fit_inside(QMdiSubWindow* window, QSize want);
