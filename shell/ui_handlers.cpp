// Tables of the installed view and frame command handlers.
#include "shell/ui_handlers.h"

#include <map>

namespace {
std::map<int, ViewHandler>& view_table() {
    static std::map<int, ViewHandler> t;
    return t;
}
std::map<int, FrameHandler>& frame_table() {
    static std::map<int, FrameHandler> t;
    return t;
}
}  // namespace

void view_handler_set(int id, ViewHandler handler) {
    if (handler.run)
        view_table()[id] = handler;
    else
        view_table().erase(id);
}

ViewHandler view_handler(int id) {
    auto it = view_table().find(id);
    return it == view_table().end() ? ViewHandler{} : it->second;
}

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
