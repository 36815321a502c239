// Settling and ending an application session in a test. Ending: the test command
// slot emptied, the file choice hook removed, every drawing closed unasked (tests
// leave them unsaved), the main window closed and the settings written.
#pragma once

#include <QCoreApplication>
#include <QMdiArea>
#include <functional>
#include <memory>

#include "platform/file_choice.h"
#include "platform/msgqueue.h"
#include "shell/doc_template.h"
#include "shell/document.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

// Runs posted work and deferred deletes (the offscreen suites: a few rounds, no wait).
inline void app_session_settle() {
    for (int i = 0; i < 3; ++i) {
        msg_dispatch_pending();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

inline void app_session_end(std::unique_ptr<CMainApp>& app, const std::function<void()>& settle) {
    CSView::SetCommandFunction(15000, nullptr);
    platform_set_file_choice_hook(nullptr);
    if (app->main_frame()) {
        for (const auto& d : app->drawing_template()->documents()) d->SetModifiedFlag(false);
        app->main_frame()->close();
    }
    settle();
    app->ExitInstance();
    app.reset();
}

inline int app_window_count(CMainApp* app) { return int(app->main_frame()->mdi_area()->subWindowList().size()); }
