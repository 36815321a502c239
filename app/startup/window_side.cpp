// The program's start: the window side filled before the main window opens.
#include "app/startup/window_side.h"

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
#include "render/raytrace/rt_render.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"
#include "shell/app_view_host.h"
#include "shell/image/drawing_print_cmd.h"
#include "shell/image/image_commands.h"
#include "shell/image/image_frame.h"
#include "shell/image/render_window.h"
#include "shell/sview.h"

// What the libraries below ask of the window side, filled here once before the main
// window opens, each line naming what it fills. CMainApp::InitInstance then adds the
// shell's own services (message boxes, the model's, units' and input hooks).
void install_window_side() {
    dialogs_install_services();   // typed entry and text prompts of the input routines
    draw2d_dialogs_install();     // the 2D commands' method and settings dialogs
    dim_dialogs_install();        // the dimension settings and text dialogs
    CSView::SetToolFactory(&pln_make_tool);  // the drawing view's input tools
    pln_dialogs_install();        // the polyline editor's floating window
    beep_set_hook([](int kind) {  // the engine's beep, through the view host
        if (ViewHost* host = view_host()) host->beep(kind);
    });
    edit_dialogs_install();       // the editing commands' dialogs
    draw3d_dialogs_install();     // the 3D commands' dialogs
    settings_dialogs_install();   // settings dialogs as view commands, preferences, block files
    glimpse_install();            // the preview window's menu command
    text3d_dialog_install();      // the 3D text dialog
    rt_install();                 // render_scene's ray-tracing branch
    render_command_install();     // the Render command and its stop at close
    image_dialogs_install();      // the image windows' file dialogs and the render sheet
    hide_command_install();       // the Hide command
    // Texture tables, and preset ramps of materials resolved as drawings are read.
    texture_tables_init();
    texture_presets_install();
    image_commands_install();     // opening images and the print set-up
    drawing_print_install();      // page setup, print and preview of drawing views
}
