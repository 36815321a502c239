// The preview window's bar: Properties, New camera, Update camera, the view-point
// list (a 150-pixel list while docked horizontally, an ordinary button while
// docked at a side), Play, Pause, Stop, Previous and Next.
#pragma once

#include <QToolBar>
#include <functional>
#include <string>
#include <vector>

class QComboBox;

class CGlimpseBar : public QToolBar {
  public:
    explicit CGlimpseBar(QWidget* parent = nullptr);

    QComboBox* view_points() const { return list_; }
    void set_view_points(const std::vector<std::string>& names);
    // While playing: the view-point list and 32803, 32787, 32788, 32804, 32807 and
    // 32808 are disabled, Pause (32805) and Stop (32806) enabled; the reverse after.
    void SetPlaying(bool playing);
    bool vertical() const { return orientation() == Qt::Vertical; }
    QAction* action_of(int command_id) const;

    // Button commands; 32802 when the view-point button is used while vertical.
    std::function<void(int command_id)> on_command;
    // A view point chosen in the list.
    std::function<void(const std::string& name)> on_view_point;

  private:
    void relayout(Qt::Orientation orientation);
    QComboBox* list_;
    QAction* list_action_ = nullptr;  // the list on the bar
    QAction* list_button_ = nullptr;  // its stand-in button while vertical
};
