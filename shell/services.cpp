// Engine service hooks shown through the platform, and window boxes.
#include "shell/services.h"

#include <QPointer>
#include <QWidget>
#include <QtGlobal>
#include <new>

#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "platform/dialog.h"
#include "platform/modal.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

namespace {

QPointer<QWidget>& main_window() {
    static QPointer<QWidget> window;
    return window;
}

// The VIEW of the drawing window in front, or null (no window, or an image window).
const VIEW* active_drawing_view() {
    CMainApp* app = CMainApp::instance();
    CMainFrame* frame = app ? app->main_frame() : nullptr;
    CSView* view = frame ? frame->active_view() : nullptr;
    return view ? view->view() : nullptr;
}

}  // namespace

void shell_set_main_window(QWidget* window) { main_window() = window; }

QWidget* shell_main_window() { return main_window().data(); }

void shell_install_services() {
    // Engine log lines join Qt's logging (thread-safe; its rules and handler apply).
    log_set_hook([](LogLevel level, const char* text) {
        switch (level) {
            case LogLevel::debug: qDebug("%s", text); break;
            case LogLevel::info: qInfo("%s", text); break;
            case LogLevel::warning: qWarning("%s", text); break;
            case LogLevel::error: qCritical("%s", text); break;
        }
    });
    msgbox_set_hook([](const MsgBoxRequest& box) { return platform_message_box(shell_main_window(), box); });
    wait_cursor_set_hook([](bool show) { platform_wait_cursor(show); });
    // Every exchange of a dialog starts from the dialogs' own format in the units of the
    // drawing in front; a dialog whose fields want other digits sets them in its own
    // exchange. No dialog shows what the one before it left behind.
    platform_set_exchange_setup_hook(
        [](CDialog&) { set_number_format_from(active_drawing_view(), kDialogDigits, kDialogFraction); });
}

void window_get_box(const QWidget* window, WinBox* box, int mode) {
    if (!window || !box) return;
    switch (mode) {
        case 0: {
            QRect r = window->frameGeometry();
            *box = WinBox{r.x(), r.y(), r.width(), r.height()};
            break;
        }
        case 1: {
            QRect r = window->frameGeometry();
            *box = WinBox{0, 0, r.width(), r.height()};
            break;
        }
        case 2: *box = WinBox{0, 0, window->width(), window->height()}; break;
        default: break;
    }
}

void shell_tell_out_of_memory() {
    try {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
    } catch (const std::bad_alloc&) {
        log_message(LogLevel::error, "out of memory");
    }
}
