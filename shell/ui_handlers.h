// Handlers of menu commands that the program installs from libraries above the shell
// (settings dialogs, preview windows): a drawing view's own commands, run on its VIEW
// without the command processor, and commands of the main frame.
//
// A view handler marked `needs_test` runs (and its item is enabled) only when the view
// passes its availability test; others always. User-interface thread only.
#pragma once

class CSView;
class CMainFrame;

using ViewHandlerFn = void (*)(CSView* view, int id);
struct ViewHandler {
    ViewHandlerFn run = nullptr;
    bool needs_test = true;
};
// Installs (null `run`: removes) the handler of `id` in every drawing view.
void view_handler_set(int id, ViewHandler handler);
// The handler of `id` (run null when none).
ViewHandler view_handler(int id);

// Main-frame commands: `enabled` may be null (always enabled).
using FrameHandlerFn = void (*)(CMainFrame* frame, int id);
using FrameEnabledFn = bool (*)(CMainFrame* frame, int id);
struct FrameHandler {
    FrameHandlerFn run = nullptr;
    FrameEnabledFn enabled = nullptr;
};
void frame_handler_set(int id, FrameHandler handler);
FrameHandler frame_handler(int id);
