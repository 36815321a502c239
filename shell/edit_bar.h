// The drawing window's "Edit" bar: the current-colour button (command 15306), the
// layer list (control 2380) and the Layers button (15308), and the history combo box
// that keeps the last 15 texts entered.
#pragma once

#include <QComboBox>
#include <QToolBar>
#include <functional>
#include <string>
#include <vector>

class CColourButton;

// An editable combo box: Enter puts the edited text first (selected) and drops the
// oldest entries beyond 15. The key is consumed.
class CHistoryCombo : public QComboBox {
  public:
    static constexpr int kMaxEntries = 15;
    explicit CHistoryCombo(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CEditBar : public QToolBar {
  public:
    explicit CEditBar(QWidget* parent = nullptr);

    CColourButton* colour_button() const { return colour_; }
    QComboBox* layer_list() const { return layers_; }
    // Fills the layer list and selects `current` (no selection when absent).
    void set_layers(const std::vector<std::string>& names, const std::string& current);
    // True while laid out for vertical docking.
    bool vertical() const { return orientation() == Qt::Vertical; }

    // Command ids 15306 (colour button) and 15308 (Layers button).
    std::function<void(int command_id)> on_command;
    // A layer name chosen in the list.
    std::function<void(const std::string& name)> on_layer;

  private:
    CColourButton* colour_;
    QComboBox* layers_;
};
