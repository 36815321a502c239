// Zelo: the program's entry. Makes the application, starts it with the file named on
// the command line (if any), runs the message loop and writes the settings at exit.
#include <QApplication>
#include <string>

#include "app/startup/window_side.h"
#include "platform/app.h"
#include "shell/core/crash_filter.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/single_instance.h"

int main(int argc, char** argv) {
    (void)crash_filter_install();  // without the handlers the program runs as it would
    std::unique_ptr<QApplication> qt = platform_create_application(argc, argv);
    const std::string file = argc > 1 ? argv[1] : "";
    // A second start hands its file to the running program and ends.
    SingleInstance instance;
    if (instance.start(QString::fromStdString(file)) == SingleInstance::Start::kHandedOver) return 0;
    CMainApp app;
    instance.on_open = [&app](const QString& path) {
        if (!path.isEmpty()) app.OpenDocumentFile(path.toStdString());
        if (CMainFrame* f = app.main_frame()) {
            f->raise();
            f->activateWindow();
        }
    };
    if (!app_start(app, file)) return 1;
    const int code = qt->exec();
    const int exit_code = app.ExitInstance();
    return code != 0 ? code : exit_code;
}
