// The records of the drawing view's commands.
#include "shell/view_commands.h"

#include <map>

#include "commands/boolean/boolean_commands.h"
#include "commands/dimension/dim_command.h"
#include "commands/draw2d/draw2d.h"
#include "commands/edit/edit.h"
#include "commands/input/zoom.h"
#include "commands/model3d/model3d.h"
#include "shell/cmd_ids.h"

namespace {
int zoom_window_fn(void* arg) { return zoom_window_command(static_cast<VIEW**>(arg)); }

std::map<int, ViewCommand>& table();

void set_fn(int id, CommandFn fn) { table()[id].fn = fn; }

void fill(std::map<int, ViewCommand>& t) {
    auto kind = [&t](int id, ViewCmdKind k) { t[id].kind = k; };
    // Every id of the drawing ranges runs through the processor; the ones not built
    // yet keep an empty function and stay disabled.
    for (const CmdRange& r : kDrawingRanges)
        for (int id = r.first; id <= r.last; ++id) kind(id, ViewCmdKind::kFunction);
    for (int id = ID_TOOL_FIRST; id <= ID_TOOL_LAST; ++id) kind(id, ViewCmdKind::kTool);
    kind(ID_ZOOM_ALL, ViewCmdKind::kZoomAll);
    t[ID_RENDER].one_job = true;
    for (int id : {ID_FILE_PAGE_SETUP, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW})
        kind(id, ViewCmdKind::kPrint);
    for (int id : {ID_EDIT_COPY, ID_EDIT_PASTE}) kind(id, ViewCmdKind::kClipboard);
    for (int id = ID_SNAP_PROJECTIONS; id <= ID_SNAP_LAST; ++id) kind(id, ViewCmdKind::kSnapToggle);
    kind(ID_KEEP_Z, ViewCmdKind::kKeepZ);
    kind(ID_SETTINGS_KEY, ViewCmdKind::kSettingsKey);
    for (int id : {ID_FILE_SAVE, ID_FILE_SAVE_AS}) kind(id, ViewCmdKind::kSaveGuard);
    for (int id : {ID_EDIT_UNDO, ID_EDIT_REDO}) kind(id, ViewCmdKind::kUndoRedo);
    kind(ID_FILE_CLOSE, ViewCmdKind::kCloseDrawing);
    for (int id : {ID_NEXT_WINDOW, ID_PREV_WINDOW, ID_CLOSE_WINDOW})
        kind(id, ViewCmdKind::kWindowCycle);

    // The command functions of the libraries below the shell (a later one replaces
    // an earlier one of the same id).
    set_fn(ID_ZOOM_WINDOW, &zoom_window_fn);
    set_fn(int(kCmdSubtraction), &cmd_subtraction);
    set_fn(int(kCmdIntersection), &cmd_intersection);
    set_fn(int(kCmdUnion), &cmd_union);
    set_fn(int(kCmdJoinMeshes), &cmd_join_meshes);
    draw2d_register_commands([](int id, Draw2dCommandFn fn) { set_fn(id, fn); });
    dim_register_commands([](int id, DimCommandFn fn) { set_fn(id, fn); });
    // The editing commands: transformations, properties, selection, the clipboard.
    for (uint32_t id : {kCmdMove, kCmdCopy, uint32_t(ID_TOOLBAR_COPY_CLIPBOARD), kCmdMirror, kCmdRotate, kCmdStretch,
                        kCmdGroup, kCmdSplitGroup, kCmdChangeMaterial, kCmdChangeLineStyle, kCmdChangeLayer,
                        kCmdAdjustCamera, kCmdAdjustLight, kCmdChangeHatch, kCmdChangeText, kCmdChangeLabel,
                        kCmdSelect, kCmdDeselect, kCmdDelete, kCmdCopyClipboard, kCmdPaste})
        set_fn(int(id), edit_command_for(id));
    model3d_register_commands([](int id, Model3dCommandFn fn) { set_fn(id, fn); });
}

std::map<int, ViewCommand>& table() {
    static std::map<int, ViewCommand> t;
    static bool filled = false;
    if (!filled) {
        filled = true;
        fill(t);
    }
    return t;
}
}  // namespace

ViewCommand view_command(int id) {
    auto it = table().find(id);
    return it == table().end() ? ViewCommand{} : it->second;
}

void view_command_set_function(int id, CommandFn fn) {
    set_fn(id, fn);
}

void view_handler_set(int id, ViewHandler handler) {
    table()[id].handler = handler.run ? handler : ViewHandler{};
}

ViewHandler view_handler(int id) {
    return view_command(id).handler;
}
