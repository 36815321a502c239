// The toolbar customise dialog: moves buttons between the bar's offer and the bar,
// adds separators, reorders and resets. The bar changes as the user edits; Reset
// returns it to the state it had when the dialog opened.
#pragma once

#include <QDialog>
#include <vector>

class CCustomBar;
class QListWidget;
class QListWidgetItem;

class CustomizeDialog : public QDialog {
  public:
    CustomizeDialog(CCustomBar* bar, QWidget* parent);

    // Editing steps, also used by the tests: the row of the available or the
    // current list.
    void add_button(int available_row);
    void remove_button(int current_row);
    void move_button(int current_row, int delta);
    void reset();
    QListWidget* available_list() const { return available_; }
    QListWidget* current_list() const { return current_; }

  private:
    void refill();
    void apply(const std::vector<int>& ids);
    QListWidgetItem* make_item(int id) const;

    CCustomBar* bar_;
    std::vector<int> saved_;
    QListWidget* available_;
    QListWidget* current_;
};
