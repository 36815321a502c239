// Connects the settings dialogs, the drawing report and the block and text commands
// to the drawing views' and the main frame's menu commands.
#include <cstdio>

#include "commands/block/block_commands.h"
#include "commands/edit/edit.h"
#include "dialogs/settings_dialogs.h"
#include "exchange/file_type.h"
#include "graphics/view/view.h"
#include "shell/cmd_ids.h"
#include "shell/mainapp.h"
#include "shell/sview.h"
#include "shell/ui_handlers.h"

void export_command(CSView* v);

int export_view_to(VIEW* view, const std::string& path, int type) {
    ExportFileRequest r;
    std::snprintf(r.path, sizeof r.path, "%s", path.c_str());
    r.type = type;
    return export_file_by_type(view, &r);
}

// The file choices of the block commands (dialogs/xfile.h).
bool choose_block_file(std::string* name, const char* pattern, bool save);

namespace {

void run_settings(CSView* v, int id) {
    VIEW* view = v->view();
    switch (id) {
        case ID_ZOOM_CUSTOM: zooming_dialog(view); break;
        case ID_VIEWPOINT: view_point_dialog(&view); break;
        case ID_USER_VIEWS:
            v->ShowMark(false);
            user_view_dialog(view);
            v->ShowMark(true);
            break;
        case ID_COLOUR_MATERIAL: {
            EditDialogs& d = edit_dialogs();
            int32_t colour = view->current_colour;
            // The view's material is no undo level's: its images join the drawing for good.
            if (d.material_sheet && d.material_sheet(view, &colour, &view->material, false, nullptr)) {
                view->current_colour = colour;
                v->FillLayerList();
            }
            break;
        }
        case ID_LINE_STYLE: line_style_settings(view); break;
        case ID_LAYERS:
            layers_dialog(view);
            v->FillLayerList();
            break;
        case ID_GRID: grid_settings_dialog(view); break;
        case ID_DRAWING_AIDS: {
            // The mark leaves with the arms it was drawn with: the dialog may turn them.
            const bool shown = view->cursor_shown != 0;
            if (shown) v->ShowMark(false);
            drawing_aids_dialog(&view);
            if (shown) v->ShowMark(true);
            break;
        }
        case ID_COORDINATES: coordinate_system_dialog(view); break;
        case ID_REPORT: report_dialog_show(view); break;
        case ID_EXPORT: export_command(v); break;
        default:
            if (id >= ID_VIEW_PRESET_FIRST && id <= ID_VIEW_PRESET_LAST) {
                v->ShowMark(false);
                view_point_preset(view, id);
                v->ShowMark(true);
            }
            break;
    }
    v->InvalidateAll();
}

void run_command(CSView* v, int id) {
    CMainApp* app = CMainApp::instance();
    if (!app) return;
    CommandFn fn = id == ID_LOAD_BLOCK ? &cmd_load_block_ask : id == ID_SAVE_BLOCK ? &cmd_save_block : &cmd_import_text;
    void* arg = v->view();
    app->RunViewCommand(v, id, fn, &arg);
}

}  // namespace

void settings_dialogs_install() {
    // The report is open to every view; the others need the view's availability test.
    for (int id : {ID_ZOOM_CUSTOM, ID_VIEWPOINT, ID_USER_VIEWS, ID_COLOUR_MATERIAL, ID_LINE_STYLE, ID_LAYERS, ID_GRID,
                   ID_DRAWING_AIDS, ID_COORDINATES, ID_EXPORT})
        view_handler_set(id, {&run_settings, true});
    for (int id = ID_VIEW_PRESET_FIRST; id <= ID_VIEW_PRESET_LAST; ++id) view_handler_set(id, {&run_settings, true});
    view_handler_set(ID_REPORT, {&run_settings, false});
    for (int id : {ID_LOAD_BLOCK, ID_SAVE_BLOCK, ID_IMPORT_TEXT}) view_handler_set(id, {&run_command, true});
    frame_handler_set(ID_PREFERENCES, {[](CMainFrame*, int) { preferences_dialog(0); }, nullptr});
    frame_handler_set(ID_TOGGLE_TOOLBARS, {[](CMainFrame*, int) { preferences_dialog(2); }, nullptr});
    block_file_hooks().choose_file = &choose_block_file;
}
