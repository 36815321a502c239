// The coordinate-readout bar of the main window and its update from a VIEW.
//
// CReadoutBar is a one-line bar of text panes addressed by id, each as wide as its
// text or a minimum width. The main frame makes two: the readout bar (id 15912, the
// eight panes of kReadoutPaneIds, installed at the top) and the key-help bar (id
// 15911, one pane 32801, at the bottom). coord_readout_update fills the readout bar
// from a drawing view; it does nothing when no readout bar exists.
#pragma once

#include <QWidget>
#include <span>
#include <string>
#include <vector>

class QLabel;
class QMainWindow;
class QToolBar;
class VIEW;

class CReadoutBar : public QWidget {
  public:
    CReadoutBar(int bar_id, std::span<const int> pane_ids, QWidget* parent = nullptr);
    ~CReadoutBar() override;

    int bar_id() const { return bar_id_; }
    // Sets a pane's text (UTF-8) and its width: the larger of the text's width and
    // `min_width` pixels. Unknown ids are ignored.
    void status_pane_set(int pane_id, const std::string& text, int min_width);
    std::string pane_text(int pane_id) const;
    // Width of "0" in the bar's font: the unit of the minimum widths.
    int digit_width() const;

  private:
    struct Pane {
        int id;
        QLabel* label;
    };
    int bar_id_;
    std::vector<Pane> panes_;
};

// Makes the readout bar (id 15912) in its own fixed tool bar at the top of `frame`,
// followed by a tool-bar break, and registers it for coord_readout_update. Call
// before the toolbars are created so that it sits above them.
CReadoutBar* readout_bar_install(QMainWindow* frame);
// Makes the key-help bar (id 15911, pane 32801 showing string 32801) at the bottom.
// Call before the toolbars are created so that it sits below them, at the edge.
CReadoutBar* key_help_bar_install(QMainWindow* frame);
// The registered readout bar, or null.
CReadoutBar* readout_bar();

// Refreshes the eight panes from the VIEW (readout_texts), number panes at least 14
// digits wide. Also recomputes the VIEW's cursor.
void coord_readout_update(VIEW* view, int mode);
// Shows the string-table text in the main window's status line (a blank when empty).
void readout_status_prompt(unsigned string_id);
