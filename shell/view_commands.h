// The commands of a drawing view, one record per id: how the view answers it (its
// kind), and the command function or handler behind it. CSView::OnCmdMsg reads the
// record both to show the item's state and to run the command, so the two never
// disagree.
//
// The table starts with the drawing commands built into the libraries below the
// shell; the program fills the rest at start-up through CSView::SetCommandFunction
// and view_handler_set. User-interface thread only.
#pragma once

#include <cstdint>

#include "shell/cmdproc.h"
#include "shell/ui_handlers.h"

enum class ViewCmdKind : uint8_t {
    kNone,         // not a command of the view: routing goes on
    kPrint,        // page setup, print, print preview: the installed print handler
    kTool,         // an input tool (the polyline editor) made by the tool factory
    kHandler,      // an installed handler (settings dialogs) run on the VIEW itself
    kFunction,     // a drawing command run by the command processor
    kClipboard,    // copy and paste: a drawing command that needs the clipboard
    kSnapToggle,   // an object-snap toggle: a check mark only
    kKeepZ,        // Keep current Z: a check mark only
    kSettingsKey,  // F10: the running command's settings
    kZoomAll,
    kSaveGuard,     // save: disabled while a command blocks it, run by the document
    kUndoRedo,
    kCloseDrawing,  // closes every window of the drawing
    kWindowCycle,   // next, previous, close window
};

struct ViewCommand {
    ViewCmdKind kind = ViewCmdKind::kNone;
    CommandFn fn = nullptr;  // kFunction, kClipboard; null: not built yet (item disabled)
    ViewHandler handler;     // when installed, it takes the id (kind kHandler) from
                             // every kind but print and tool
    bool one_job = false;    // disabled while a background job runs (one render at a time)
};

// The record of `id` (kind kNone and nothing installed: not a view command).
ViewCommand view_command(int id);
// Puts `fn` in the record of `id` (null empties it).
void view_command_set_function(int id, CommandFn fn);
