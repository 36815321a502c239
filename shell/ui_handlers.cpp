// The table of the installed frame command handlers (view handlers live in the
// records of the view's commands).
#include "shell/ui_handlers.h"

#include <map>

namespace {
std::map<int, FrameHandler>& frame_table() {
    static std::map<int, FrameHandler> t;
    return t;
}
}  // namespace

void frame_handler_set(int id, FrameHandler handler) {
    if (handler.run)
        frame_table()[id] = handler;
    else
        frame_table().erase(id);
}

FrameHandler frame_handler(int id) {
    auto it = frame_table().find(id);
    return it == frame_table().end() ? FrameHandler{} : it->second;
}
