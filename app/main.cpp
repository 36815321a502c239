// Zelo: the program's entry. Makes the application, starts it with the file named on
// the command line (if any), runs the message loop and writes the settings at exit.
#include <QApplication>
#include <string>

#include "commands/pledit/pln_editor.h"
#include "dialogs/ask_string.h"
#include "dialogs/dim_dialogs.h"
#include "dialogs/draw2d_dialogs.h"
#include "dialogs/draw3d_dialogs.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/hide_command.h"
#include "dialogs/image_dialogs.h"
#include "dialogs/pln_dialog.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/text3d_dialog.h"
#include "dialogs/typed_input.h"
#include "glpreview/glimpse_view.h"
#include "graphics/view/view_host.h"
#include "model/services/beep.h"
#include "platform/app.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"
#include "shell/app_view_host.h"
#include "shell/core/crash_filter.h"
#include "shell/image/drawing_print_cmd.h"
#include "shell/image/image_commands.h"
#include "shell/image/image_frame.h"
#include "shell/image/render_window.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/single_instance.h"
#include "shell/sview.h"

int main(int argc, char** argv) {
    crash_filter_install();
    std::unique_ptr<QApplication> qt = platform_create_application(argc, argv);
    const std::string file = argc > 1 ? argv[1] : "";
    // A second start hands its file to the running program and ends.
    SingleInstance instance;
    if (instance.start(QString::fromStdString(file)) == SingleInstance::Start::kHandedOver) return 0;
    dialogs_install_services();
    draw2d_dialogs_install();
    dim_dialogs_install();
    CSView::SetToolFactory(&pln_make_tool);
    pln_dialogs_install();
    beep_set_hook([](int kind) {
        if (ViewHost* host = view_host()) host->beep(kind);
    });
    edit_dialogs_install();
    draw3d_dialogs_install();
    settings_dialogs_install();
    glimpse_install();
    text3d_dialog_install();
    render_command_install();
    image_dialogs_install();
    hide_command_install();
    // Texture tables, and preset ramps of materials resolved as drawings are read.
    texture_tables_init();
    texture_presets_install();
    CMainApp app;
    app.SetImageOpener(&image_window_open);
    image_commands_install();
    drawing_print_install();
    instance.on_open = [&app](const QString& path) {
        if (!path.isEmpty()) app.OpenDocumentFile(path.toStdString());
        if (CMainFrame* f = app.main_frame()) {
            f->raise();
            f->activateWindow();
        }
    };
    if (!app.InitInstance(file)) return 1;
    const int code = qt->exec();
    const int exit_code = app.ExitInstance();
    return code != 0 ? code : exit_code;
}
