// CMainFrame: the main window. An MDI area of drawing windows, the menu bars built
// from the menu resource (one QAction per command id, shared by the bars), the
// accelerators, the status bar with the prompt, the placement kept in the settings,
// and the routing of every command id: active view, its document, its frame, the
// main frame, the application.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>

#include "platform/msgqueue.h"
#include "shell/cmd_target.h"
#include "shell/menu_resource.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QMdiSubWindow;
class CMDIFrame;
class CSView;
class ToolbarSet;

class CMainFrame : public QMainWindow, public CCmdTarget, public MsgTarget {
  public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds menus, accelerators and bars. False when the menu resource is missing
    // or unreadable.
    bool Create();

    QMdiArea* mdi_area() const { return mdi_; }
    CMDIFrame* active_frame() const;
    CSView* active_view() const;
    // The active window when it is not a drawing window but answers commands itself
    // (an image window); null otherwise.
    CCmdTarget* active_other() const;
    // Adds a window to the MDI area and shows it as a normal window. True when the
    // window active before is maximised: the caller maximises the new one once it has
    // its normal size, so that a window opened beside a maximised one is maximised too.
    bool add_frame(QMdiSubWindow* frame);

    // Runs a command id through the routing; false when no target handled it.
    bool route_command(int id);
    // The item state of an id as the routing decides it (disabled when no target
    // handles it).
    CCmdUI route_update(int id);
    // Brings every action's state up to date.
    void update_actions();
    QAction* action(int id) const;
    ToolbarSet* toolbars() const { return toolbars_; }

    // A drawing window made at start-up takes its size again whenever the window area
    // changes size (as when the window manager places a maximised main window after
    // the window was made), until the user moves, resizes or zooms it: a new drawing's
    // window is fitted to the area, a window read from a drawing is placed again from
    // its stored placement (CSView::PlaceAgain).
    void keep_fitted(CMDIFrame* frame);

    // Shows a string-table text in the status line's message pane (-1: the help
    // prompt).
    void set_prompt(int string_id);
    // Shows a text in the same pane.
    void set_message(const std::string& text);
    // Places the window with its outer frame (decorations included) on `outer`, as
    // "Frame" stores it: the size is taken down by the decorations once the window
    // manager has framed the window.
    void place_outer(const QRect& outer);

    // Rebuilds the recent-file items.
    void update_recent_menu();

    bool OnCmdMsg(int id, CCmdUI* ui) override;
    // WM_COMMAND posted to the frame (a command re-started after the running one
    // unwound) is routed like a menu command.
    intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    // Files dropped on the window open as if chosen in Open.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void build_bar(const MenuBar& bar, std::vector<QMenu*>* menus);
    // Ends a Window menu with one item per open window (nine at the most), the active
    // one checked, and with more windows "More Windows...", the list of all of them;
    // choosing one activates it.
    void fill_window_list(QMenu* menu);
    static constexpr int kWindowItems = 9;
    // Brings a window forward (a minimised one restored first); null does nothing.
    void activate_window(QMdiSubWindow* w);
    // Runs the list of every window and activates the one chosen.
    void choose_window();
    void fill_menu(QMenu* menu, const MenuNode& node);
    QAction* make_action(int id, const std::string& text);
    void on_subwindow_activated(QMdiSubWindow* w);
    void show_bar(int id);
    // Cascade (57650), Tile Horizontally (57651) or Tile Vertically (57652) of the
    // windows that are neither hidden nor minimised.
    void arrange_windows(int id);
    void record_placement();
    void fit_outer();

    QMdiArea* mdi_ = nullptr;
    QLabel* message_ = nullptr;
    MenuResource resource_;
    std::map<int, QAction*> actions_;
    std::vector<QAction*> own_texts_;  // items whose text differs from the shared action's
    std::vector<QMenu*> menus_128_, menus_129_, menus_130_;
    std::vector<QMenu*> recent_menus_;
    std::vector<QAction*> recent_actions_;
    int shown_bar_ = 0;
    // See keep_fitted: each window with its normal rectangle and state as last placed.
    struct Fitted {
        QPointer<CMDIFrame> frame;
        QRect normal;
        bool maximised = false, minimised = false;
    };
    std::vector<Fitted> fitted_;
    bool refitting_ = false;
    QRect outer_pending_;  // see place_outer
    ToolbarSet* toolbars_ = nullptr;  // owned through Qt
};

// The stop-and-wait of a running background job, called when the main window closes
// (after the drawings were offered for saving). Installed by the render command.
void mainframe_set_job_stopper(void (*stop_and_wait)());
