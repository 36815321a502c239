// The program's start: the window side filled in the order window_side.h lists it.
#include "app/startup/window_side.h"

#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/pledit/pln_editor.h"
#include "commands/units/units_hooks.h"
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
#include "glpreview/glimpse_view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/services/beep.h"
#include "render/raytrace/rt_render.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"
#include "shell/image/drawing_print_cmd.h"
#include "shell/image/image_commands.h"
#include "shell/image/image_frame.h"
#include "shell/image/render_window.h"
#include "shell/mainapp.h"
#include "shell/services.h"
#include "shell/sview.h"

bool app_start(CMainApp& app, const std::string& file) {
    // services
    beep_set_hook([](int kind) {
        if (ViewHost* host = view_host()) host->beep(kind);
    });
    // view, units, input
    view_install_redraw_hook();
    units_install_hooks();
    model_hooks_install();
    input_install_hooks();
    // surface, raytrace
    texture_tables_init();
    texture_presets_install();
    rt_install();
    // shell
    shell_install_services();
    CSView::SetToolFactory(&pln_make_tool);
    app.SetImageOpener(&image_window_open);
    // imagewin
    render_command_install();
    image_commands_install();
    drawing_print_install();
    // dialogs
    dialogs_install_services();
    draw2d_dialogs_install();
    dim_dialogs_install();
    pln_dialogs_install();
    edit_dialogs_install();
    draw3d_dialogs_install();
    settings_dialogs_install();
    text3d_dialog_install();
    image_dialogs_install();
    hide_command_install();
    // glpreview
    glimpse_install();
    return app.InitInstance(file);
}
