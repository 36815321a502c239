// Bevelled bitmap and colour buttons.
#include "shell/button_ex.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "graphics/view/colours.h"
#include "shell/command_text.h"

ButtonEx::ButtonEx(int control_id, unsigned flags, QWidget* parent)
    : QWidget(parent), id_(control_id), flags_(flags) {
    setFocusPolicy((flags & kButtonExDisabled) ? Qt::NoFocus : Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ButtonEx::set_flags(unsigned flags) {
    flags_ = flags & 0xFFFF;
    setFocusPolicy((flags_ & kButtonExDisabled) ? Qt::NoFocus : Qt::StrongFocus);
    update();
}

void ButtonEx::set_colour(const QColor& colour) {
    colour_ = colour;
    flags_ |= kButtonExColour;
    update();
}

void ButtonEx::set_pixmap(const QPixmap& pixmap) {
    pixmap_ = pixmap;
    flags_ &= ~unsigned(kButtonExColour);
    update();
}

void ButtonEx::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    QColor face = pal.color(QPalette::Button), frame = pal.color(QPalette::Shadow);
    QColor light = pal.color(QPalette::Light), shadow = pal.color(QPalette::Dark);
    QRect r = rect();
    auto ring = [&](const QColor& top_left, const QColor& bottom_right) {
        p.setPen(top_left);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottom_right);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        r.adjust(1, 1, -1, -1);
    };
    if (flags_ & kButtonEx3D) {
        if (flags_ & kButtonExPressed) {
            ring(shadow, light);
            ring(frame, face);
        } else {
            ring(face, frame);
            ring(light, shadow);
        }
    }
    ring(face, face);
    QRect focus = r;
    ring(face, face);  // the focus ring's place
    ring(face, face);
    if (flags_ & kButtonExColour) {
        p.fillRect(r, (flags_ & kButtonExDisabled) ? face : colour_);
    } else {
        if (pixmap_.isNull() || pixmap_.deviceIndependentSize().width() < r.width() ||
            pixmap_.deviceIndependentSize().height() < r.height())
            p.fillRect(r, face);
        p.setClipRect(r);
        p.drawPixmap(r.topLeft(), pixmap_);
        p.setClipping(false);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = focus;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
}

void ButtonEx::notify(int code) {
    if (!(flags_ & kButtonExDisabled) && on_notify) on_notify(id_, code);
}

void ButtonEx::mousePressEvent(QMouseEvent* e) {
    if (flags_ & kButtonExDisabled) return;
    switch (e->button()) {
        case Qt::LeftButton:
            setFocus(Qt::MouseFocusReason);
            if (flags_ & kButtonExPush) {
                // Qt grabs the mouse for the pressed widget until release.
                held_ = true;
                flags_ |= kButtonExPressed;
                update();
            } else if (flags_ & kButtonExToggle) {
                flags_ ^= kButtonExPressed;
                update();
                notify(0);
            } else {
                notify(0);
            }
            break;
        case Qt::RightButton: notify(1); break;
        case Qt::MiddleButton: notify(2); break;
        default: break;
    }
}

void ButtonEx::mouseReleaseEvent(QMouseEvent* e) {
    if (flags_ & kButtonExDisabled) return;
    switch (e->button()) {
        case Qt::LeftButton:
            if (held_) {
                held_ = false;
                flags_ &= ~unsigned(kButtonExPressed);
                update();
                if (rect().contains(e->position().toPoint())) notify(0);
            }
            break;
        case Qt::RightButton: notify(3); break;
        case Qt::MiddleButton: notify(4); break;
        default: break;
    }
}

void ButtonEx::focusInEvent(QFocusEvent*) {
    update();
    if (!(flags_ & kButtonExDisabled) && on_focus) on_focus(id_);
}

void ButtonEx::focusOutEvent(QFocusEvent*) { update(); }

CColourButton::CColourButton(QWidget* parent) : ButtonEx(15306, kButtonEx3D | kButtonExPush, parent) {
    setToolTip(QString::fromStdString(command_tip_text(15306)));
    SetColour(7);
}

void CColourButton::SetColour(int colour_index) {
    index_ = colour_index;
    const PaletteEntry& e = kDisplayPalette[size_t(colour_index_fix(colour_index) & 0xFF)];
    set_colour(QColor(e.red, e.green, e.blue));
}
