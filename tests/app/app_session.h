// Ending an application session in a test: the test command slot emptied, the file
// choice hook removed, every drawing closed unasked (tests leave them unsaved), the
// main window closed and the settings written.
#pragma once

#include <QMdiArea>
#include <functional>
#include <memory>

#include "platform/file_choice.h"
#include "shell/doc_template.h"
#include "shell/document.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

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
