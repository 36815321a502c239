// The preview window: an MDI child holding the preview bar (view points, camera
// commands, playback) over the preview view. It closes itself when its drawing
// closes.
#pragma once

#include <QMdiSubWindow>

class CGLimpseView;
class CGlimpseBar;
class MODEL;
class VIEW;

class CGlimpseFrame : public QMdiSubWindow {
  public:
    CGlimpseFrame(MODEL* model, const VIEW* source, const std::string& title, QWidget* parent = nullptr);
    CGLimpseView* view() const { return view_; }
    CGlimpseBar* bar() const { return bar_; }
    // Runs a bar command (32787, 32788, 32802 to 32808).
    void command(int id);
    // The detail dialog of the Properties button; true on OK.
    bool properties();

  private:
    void fill_list();
    CGLimpseView* view_;
    CGlimpseBar* bar_;
};
