// Bevelled buttons that show a bitmap or a solid colour and report which mouse button
// was used ("ButtonEx"), and the drawing window's current-colour button built on them.
//
// Flags (low word of the button's style):
//   1 the button shows a colour (else its pixmap), 4 toggle button, 8 push button with
//   capture (pressed while the mouse is held), 16 pressed, 32 3D frame, 64 disabled
//   (clicks, focus and notifications are ignored).
// Notification codes: 0 left click, 1 right button down, 3 right button up, 2 middle
// button down, 4 middle button up.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <functional>

enum ButtonExFlag : unsigned {
    kButtonExColour = 1,
    kButtonExToggle = 4,
    kButtonExPush = 8,
    kButtonExPressed = 16,
    kButtonEx3D = 32,
    kButtonExDisabled = 64,
};

class ButtonEx : public QWidget {
  public:
    explicit ButtonEx(int control_id, unsigned flags = kButtonEx3D | kButtonExPush, QWidget* parent = nullptr);

    int control_id() const { return id_; }
    unsigned flags() const { return flags_; }
    // Replaces the flags and repaints.
    void set_flags(unsigned flags);
    QColor colour() const { return colour_; }
    // Shows a colour (sets flag 1) or a pixmap (clears it).
    void set_colour(const QColor& colour);
    void set_pixmap(const QPixmap& pixmap);

    // Called with (control id, code) for every notification.
    std::function<void(int id, int code)> on_notify;
    // Called with the control id when the button gains the focus.
    std::function<void(int id)> on_focus;

    QSize sizeHint() const override { return {24, 24}; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

  private:
    void notify(int code);
    int id_;
    unsigned flags_;
    QColor colour_;
    QPixmap pixmap_;
    bool held_ = false;
};

// The current-colour button of the drawing window's "Edit" bar (command 15306).
class CColourButton : public ButtonEx {
  public:
    explicit CColourButton(QWidget* parent = nullptr);
    // Shows a drawing colour index as the display shows it (colour_index_fix, then
    // the low byte picks the palette entry).
    void SetColour(int colour_index);
    int colour_index() const { return index_; }

  private:
    int index_ = 7;
};
