// The application's view host: the engine's view services over the real windows.
#include "shell/app_view_host.h"

#include <QCursor>
#include <cmath>

#include "graphics/view/view.h"
#include "model/db/zobj.h"
#include "platform/modal.h"
#include "shell/doc_template.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/readout_bar.h"
#include "shell/sview.h"

CSView* view_window_of(const VIEW* view) {
    return view ? dynamic_cast<CSView*>(view->window) : nullptr;
}

namespace {
TypedEntryFn g_typed_entry = nullptr;
MethodDialogFn g_method_dialog = nullptr;
CDoc* doc_of(const VIEW* view) { return CDoc::of(view_drawing(view)); }
}  // namespace

MODEL* AppViewHost::first_drawing() {
    walk_ = 0;
    return next_drawing();
}

MODEL* AppViewHost::next_drawing() {
    CDocTemplate* t = app_->drawing_template();
    if (!t) return nullptr;
    const auto& docs = t->documents();
    while (walk_ < docs.size()) {
        auto* d = dynamic_cast<CDoc*>(docs[walk_++].get());
        if (d && d->drawing()) return d->drawing();
    }
    return nullptr;
}

std::string AppViewHost::doc_path(VIEW* view) {
    CDoc* d = doc_of(view);
    return d ? d->path() : std::string();
}

void AppViewHost::set_modified(VIEW* view, int flag) {
    if (CDoc* d = doc_of(view)) d->SetModifiedFlag(flag != 0);
}

void AppViewHost::doc_update_all(VIEW* view) {
    if (CDoc* d = doc_of(view)) d->UpdateAllViews();
}

int AppViewHost::fill_layer_lists(VIEW* view) {
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v))
        if (CSView* w = view_window_of(v)) w->FillLayerList();
    return 0;
}

void AppViewHost::status_prompt(int string_id) {
    if (CMainFrame* f = app_->main_frame()) f->set_prompt(string_id);
}

void AppViewHost::status_message(const std::string& text) {
    if (CMainFrame* f = app_->main_frame()) f->set_message(text);
}

void AppViewHost::readout_update(VIEW* view, int mode) { coord_readout_update(view, mode); }

void AppViewHost::beep(int) { platform_beep(); }

void AppViewHost::help(uint32_t) {}

int AppViewHost::wait_step() { return app_->WaitCmdMessage(kMsgCmdStep); }

void AppViewHost::post_code(int code) { app_->PostCmdCode(code); }

VIEW* AppViewHost::command_view() {
    CmdWindow* w = app_->command_window();
    return w ? w->cmd_view() : nullptr;
}

bool AppViewHost::command_running() { return app_->command_running(); }

VIEW* AppViewHost::set_command_view(VIEW* view) {
    VIEW* previous = command_view();
    if (!view)
        app_->NestInput(nullptr);
    else if (CSView* v = view_window_of(view))
        app_->NestInput(v);
    return previous;
}

void AppViewHost::show_cursor_mark(VIEW* view, bool show, bool this_only) {
    if (CSView* v = view_window_of(view)) v->ShowMark(show);
    if (this_only) return;
    for (VIEW* other = drawing_first_view(view_drawing(view)); other; other = drawing_next_view(other))
        if (other != view)
            if (CSView* v = view_window_of(other)) v->ShowMark(show);
}

void AppViewHost::update_window(VIEW* view) {
    if (CSView* v = view_window_of(view)) v->viewport()->repaint();
}

InputGate& app_input_gate() {
    static InputGate gate;
    return gate;
}

bool AppViewHost::input_pending() { return app_input_gate().pending(); }

void AppViewHost::feedback_started(VIEW*) { app_input_gate().draw_begin(); }

Canvas* AppViewHost::canvas(VIEW* view) {
    CSView* v = view_window_of(view);
    return v ? v->canvas() : nullptr;
}

void AppViewHost::update_scroll_bars(VIEW* view) {
    if (CSView* v = view_window_of(view)) v->SetScrollBars();
}

bool AppViewHost::typed_entry_dialog(VIEW* view, int point, uint32_t prompt_id, char* buffer,
                                     size_t capacity) {
    if (!buffer || capacity == 0) return false;
    // The dialog keeps the text to the buffer's real capacity.
    return g_typed_entry && g_typed_entry(view_window_of(view), view, point, prompt_id, buffer, capacity);
}

void app_set_typed_entry(TypedEntryFn fn) { g_typed_entry = fn; }

int AppViewHost::method_dialog(VIEW* view, uint32_t title_id, const uint32_t* choice_ids, int count, int current) {
    return g_method_dialog ? g_method_dialog(view_window_of(view), view, title_id, choice_ids, count, current) : -1;
}

void app_set_method_dialog(MethodDialogFn fn) { g_method_dialog = fn; }

void AppViewHost::warp_pointer(VIEW* view, int x, int y) {
    CSView* v = view_window_of(view);
    if (!v || !v->isVisible()) return;
    int w = 0, h = 0;
    v->client_size(&w, &h);
    const double r = v->device_ratio();
    const QPoint local(int(std::floor((x + 0.5) / r)), int(std::floor((h - 1 - y + 0.5) / r)));
    QCursor::setPos(v->viewport()->mapToGlobal(local));  // refused quietly where warping is not allowed
}
