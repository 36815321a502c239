// What the libraries below ask of the window side, and who fills it.
//
// A lower library that must reach a higher one declares a hook (a function pointer, a
// table of functions or a command slot) and leaves it empty; the window side fills it.
// app_start() fills every one of them in one place, before the application object
// starts, in the order of the library table of docs/architecture.md (the library of the
// installer, lowest first). Each hook stays declared in the library that calls it.
//
//   installer (its library)            fills (declared in)
//   beep_set_hook (services)           the engine's beep, through the view host
//   view_install_redraw_hook (view)    g_hook_second (model/db/tree.h): changed objects
//                                      redrawn in their views
//   units_install_hooks (units)        number_set_length_hooks, coord_dialog_set_converter
//                                      (model/services/numfmt.h)
//   model_hooks_install (input)        g_hook_object_changed, g_hook_add_layer
//                                      (model/db/tree.h), g_view_default_area
//                                      (graphics/view/view.h), snap tracking
//   input_install_hooks (input)        view_input_set_typed_hooks: typed text of input steps
//   texture_tables_init (surface)      the noise tables and the surface random seed
//   texture_presets_install (surface)  io_set_preset_ramp_finder (model/stream/matchunk.h):
//                                      preset ramps of materials read from drawings
//   rt_install (raytrace)              render_set_ray_tracer (render/scanline/render_scene.h):
//                                      render_scene's ray-tracing branch
//   shell_install_services (shell)     log_set_hook, wait_cursor_set_hook
//                                      (model/services/log.h), msgbox_set_hook
//                                      (model/services/msgbox.h),
//                                      platform_set_exchange_setup_hook
//                                      (platform/dialog.h): the dialogs' number format
//   CSView::SetToolFactory (shell)     pln_make_tool: the polyline editor's tools
//   CMainApp::SetImageOpener (shell)   image_window_open: image files open in image windows
//   render_command_install (imagewin)  CSView::SetCommandFunction(ID_RENDER),
//                                      mainframe_set_job_stopper
//   image_commands_install (imagewin)  frame_handler_set: Open Image, Print Setup
//   drawing_print_install (imagewin)   CSView::SetPrintHandler: page setup, print, preview
//   dialogs_install_services (dialogs) input_string_set_hook (model/services/msgbox.h),
//                                      app_set_typed_entry (shell/app_view_host.h)
//   draw2d_dialogs_install (dialogs)   draw2d_set_dialogs (commands/draw2d/dialog_hooks.h),
//                                      app_set_method_dialog (shell/app_view_host.h)
//   dim_dialogs_install (dialogs)      dim_set_text_dialog, dim_set_settings_dialog
//                                      (commands/dimension/dim_text.h),
//                                      dim_dialogs_set_colour_chooser
//   pln_dialogs_install (dialogs)      pln_set_frame_factory: the polyline editor's window
//   edit_dialogs_install (dialogs)     edit_dialogs() (commands/edit/): editing dialogs
//   draw3d_dialogs_install (dialogs)   g_draw3d_dialogs (commands/model3d/): 3D dialogs
//   settings_dialogs_install (dialogs) view_handler_set: settings dialogs as view commands;
//                                      frame_handler_set: Preferences, toolbars;
//                                      block_file_hooks() (commands/block/): block files
//   text3d_dialog_install (dialogs)    g_text3d_dialog (commands/model3d/text3d.h)
//   image_dialogs_install (dialogs)    image_window_dialogs() (shell/image/image_dialogs.h):
//                                      file dialogs and the render sheet
//   hide_command_install (dialogs)     CSView::SetCommandFunction(ID_HIDE)
//   glimpse_install (glpreview)        frame_handler_set: the preview window's command
//
// Filled elsewhere, by their owners:
//   view_host_install                  CMainApp's constructor, for its lifetime: view services
//   shell_set_main_window              CMainApp::InitInstance: the owner of message boxes
//   msg_set_idle_handler               the command processor, for its lifetime
//   glimpse_set_view_hook              the first preview window (CGLimpseView)
//   texture_image_set_decoder          texture_image_install_decoders, by the first image
//                                      document (CImgDoc)
//   texture tables and presets         also render_init_hooks, at the renderer's first use
//   mpeg_set_frame_source              the render job, for the movie it writes
// Left to tests: platform_set_modal_hook, platform_set_message_box_hook,
// platform_set_file_choice_hook, platform_set_beep_hook, xfile_set_test_hook,
// xfont_set_test_hook, render_job_set_frame_hook, print_set_new_page_hook and the
// printing dialogs' *_set_dialog_hook.
#pragma once

#include <string>

class CMainApp;

// The program's start, shared by its entry and the tests that run it: fills what the
// window side provides (above), then app.InitInstance(file). False ends the program.
bool app_start(CMainApp& app, const std::string& file);
