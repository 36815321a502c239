// Connects the settings dialogs, the drawing report and the block and text commands
// to the drawing views' and the main frame's menu commands.
#include <cstdio>

#include "commands/block/block_commands.h"
#include "commands/edit/edit.h"
#include "dialogs/settings_dialogs.h"
#include "exchange/file_type.h"
#include "graphics/view/view.h"
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
        case 15303: zooming_dialog(view); break;
        case 15304: view_point_dialog(&view); break;
        case 15305:
            v->ShowMark(false);
            user_view_dialog(view);
            v->ShowMark(true);
            break;
        case 15306: {
            EditDialogs& d = edit_dialogs();
            int32_t colour = view->current_colour;
            // The view's material is no undo level's: its images join the drawing for good.
            if (d.material_sheet && d.material_sheet(view, &colour, &view->material, false, nullptr)) {
                view->current_colour = colour;
                v->FillLayerList();
            }
            break;
        }
        case 15307: line_style_settings(view); break;
        case 15308:
            layers_dialog(view);
            v->FillLayerList();
            break;
        case 15309: grid_settings_dialog(view); break;
        case 15310: {
            // The mark leaves with the arms it was drawn with: the dialog may turn them.
            const bool shown = view->cursor_shown != 0;
            if (shown) v->ShowMark(false);
            drawing_aids_dialog(&view);
            if (shown) v->ShowMark(true);
            break;
        }
        case 15311: coordinate_system_dialog(view); break;
        case 32779: report_dialog_show(view); break;
        case 32774: export_command(v); break;
        default:
            if (id >= 6010 && id <= 6015) {
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
    CommandFn fn = id == 32776 ? &cmd_load_block_ask : id == 32777 ? &cmd_save_block : &cmd_import_text;
    void* arg = v->view();
    app->RunViewCommand(v, id, fn, &arg);
}

}  // namespace

void settings_dialogs_install() {
    for (int id = 15303; id <= 15311; ++id)
        view_handler_set(id, {&run_settings, true});
    for (int id = 6010; id <= 6015; ++id) view_handler_set(id, {&run_settings, true});
    view_handler_set(32779, {&run_settings, false});
    view_handler_set(32774, {&run_settings, true});
    for (int id : {32776, 32777, 32781}) view_handler_set(id, {&run_command, true});
    frame_handler_set(32773, {[](CMainFrame*, int) { preferences_dialog(0); }, nullptr});
    frame_handler_set(32789, {[](CMainFrame*, int) { preferences_dialog(2); }, nullptr});
    block_file_hooks().choose_file = &choose_block_file;
}
