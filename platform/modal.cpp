// Message boxes over QMessageBox, the beep and the wait cursor.
#include "platform/modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <utility>

#include "model/services/log.h"
#include "platform/app.h"

namespace {

PlatformMessageBoxHook& box_hook() {
    static PlatformMessageBoxHook hook;
    return hook;
}

BeepHook& beep_hook() {
    static BeepHook hook;
    return hook;
}

QMessageBox::Icon icon_of(unsigned style) {
    switch (style & kMbIconMask) {
        case kMbIconHand: return QMessageBox::Critical;
        case kMbIconQuestion: return QMessageBox::Question;
        case kMbIconExclamation: return QMessageBox::Warning;
        case kMbIconAsterisk: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// The classic button sets: 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel,
// 4 Yes/No, 5 Retry/Cancel.
QMessageBox::StandardButtons buttons_of(unsigned style) {
    switch (style & kMbButtonMask) {
        case 1: return QMessageBox::Ok | QMessageBox::Cancel;
        case 2: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case 3: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case 4: return QMessageBox::Yes | QMessageBox::No;
        case 5: return QMessageBox::Retry | QMessageBox::Cancel;
        default: return QMessageBox::Ok;
    }
}

int answer_of(int button) {
    switch (button) {
        case QMessageBox::Ok: return kIdOk;
        case QMessageBox::Cancel: return kIdCancel;
        case QMessageBox::Abort: return 3;
        case QMessageBox::Retry: return 4;
        case QMessageBox::Ignore: return 5;
        case QMessageBox::Yes: return kIdYes;
        case QMessageBox::No: return kIdNo;
        default: return kIdCancel;
    }
}

}  // namespace

PlatformMessageBoxHook platform_set_message_box_hook(PlatformMessageBoxHook hook) {
    return std::exchange(box_hook(), std::move(hook));
}

int platform_message_box(QWidget* owner, const MsgBoxRequest& box) {
    if (const PlatformMessageBoxHook& hook = box_hook()) return hook(box, owner);
    if (!platform_is_ui_thread()) {
        // Windows belong to the user-interface thread; a box asked for elsewhere (or
        // before the application exists) is logged and gets the cautious answer.
        log_message(LogLevel::warning, "%s: %s", box.caption.c_str(), box.text.c_str());
        unsigned buttons = box.style & kMbButtonMask;
        return buttons == 4 ? kIdNo : buttons == 0 ? kIdOk : kIdCancel;
    }
    QMessageBox mb(icon_of(box.style), QString::fromStdString(box.caption), QString::fromStdString(box.text),
                   buttons_of(box.style), owner);
    // Texts hold file and object names: a '<' must not turn them into markup, which
    // would also swallow the line feeds.
    mb.setTextFormat(Qt::PlainText);
    return answer_of(mb.exec());
}

BeepHook platform_set_beep_hook(BeepHook hook) { return std::exchange(beep_hook(), std::move(hook)); }

void platform_beep() {
    if (const BeepHook& hook = beep_hook()) {
        hook();
        return;
    }
    QApplication::beep();
}

void platform_wait_cursor(bool show) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    auto apply = [show] {
        if (show) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    };
    if (platform_is_ui_thread()) apply();
    else QMetaObject::invokeMethod(app, apply, Qt::QueuedConnection);
}
