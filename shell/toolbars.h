// The main window's customisable toolbars: the eleven bars of the toolbar table,
// their icons (two sets: large 24 and small 16 pixels, each at 1x and 2x), the
// toolbars menu, the customise dialog and the state kept per program version.
//
// Wiring by the main frame:
//   ToolbarSet bars(frame, version_text, on_command, on_update);
//   bars.create(prefs BitmapSet);        // after readout_bar_install and
//                                        // key_help_bar_install, before show
//   bars.fill_toolbars_menu(menu);       // the main menu's third item
//   bars.update_actions();               // from idle: enabling and check marks
//   bars.save_state();                   // when the frame closes
//   command 32772 -> bars.load_state(); 32771 -> bars.run_customize();
//   15909 -> bars.toggle_bar(15909)
#pragma once

#include <QIcon>
#include <QObject>
#include <QToolBar>
#include <functional>
#include <string>
#include <vector>

#include "shell/core/toolbar_tables.h"

class QMainWindow;
class QMenu;

// The icon of a command id from the built-in sets (an empty icon when none).
QIcon toolbar_icon(int command_id, bool large);
// The icon of a kind of window, every size of both sets: 128 the program (main
// window), 129 drawing windows, 130 image windows.
QIcon window_icon(int id);

// What the update callback answers for a command id.
struct ToolbarItemState {
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
};

class CCustomBar : public QToolBar {
  public:
    CCustomBar(const ToolbarDef& def, QWidget* parent);
    const ToolbarDef& def() const { return *def_; }
    // Replaces the buttons: command ids, 0 for a separator (ids the bar does not
    // offer are dropped).
    void set_buttons(const std::vector<int>& ids);
    std::vector<int> buttons() const;
    // 0: large images, 1: small images.
    void SelectBitmapSet(int index);
    int bitmap_set() const { return bitmap_set_; }
    // The action of a command id on this bar, or null.
    QAction* action_of(int command_id) const;

    std::function<void(int command_id)> on_command;

  private:
    const ToolbarDef* def_;
    int bitmap_set_ = -1;
};

class ToolbarSet : public QObject {
  public:
    using CommandFn = std::function<void(int command_id)>;
    using UpdateFn = std::function<void(int command_id, ToolbarItemState* state)>;

    // `version_text` keys the saved state ("%d.%d.%X" of the program's version).
    ToolbarSet(QMainWindow* frame, std::string version_text, CommandFn on_command, UpdateFn on_update);

    // Creates and docks the eleven bars in table order with the bitmap set (0 large,
    // 1 small), then loads the saved state; a bar without saved state has its
    // current state written. False when a bar could not be made.
    bool create(int bitmap_set);
    void load_state();
    void save_state() const;
    void select_bitmap_set(int index);

    // Runs the update callback for every button and applies the answers.
    void update_actions();
    // Appends one checkable item per bar (showing or hiding it).
    void fill_toolbars_menu(QMenu* menu);
    // Shows a hidden bar, hides a shown one.
    void toggle_bar(int bar_id);
    CCustomBar* bar(int bar_id) const;
    const std::vector<CCustomBar*>& bars() const { return bars_; }

    // The bar last right-clicked (cleared by run_customize), or null.
    CCustomBar* customize_target() const { return target_; }
    // Opens the customise dialog of the target (if any) and clears it.
    void run_customize();
    // Opens the customise dialog of a bar (modal; the bar changes as the user edits).
    void customize(CCustomBar* bar);

    // Fills the popup shown on a right click over a bar (the main menu's third item);
    // unset, the bar toggles of fill_toolbars_menu. "Customi&ze" is appended to it.
    std::function<void(QMenu* menu)> fill_context_menu;

  private:
    void show_context_menu(CCustomBar* bar, const QPoint& global);

    QMainWindow* frame_;
    std::string version_;
    CommandFn on_command_;
    UpdateFn on_update_;
    std::vector<CCustomBar*> bars_;
    CCustomBar* target_ = nullptr;
};
