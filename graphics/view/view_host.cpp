// View services over the installed window side: navigation between views,
// documents and drawings, the status line, refresh, input modes and nested input.
#include "graphics/view/view_host.h"

#include "graphics/view/view.h"
#include "model/db/zobj.h"

namespace {
ViewHost* g_host = nullptr;
Vec3 g_clip_base = {0, 0, 0};
MODEL* g_clip_drawing = nullptr;
}  // namespace

Vec3* clip_buffer() { return &g_clip_base; }
MODEL** clip_contents() { return &g_clip_drawing; }

int g_length_format_mode = 0;
int g_angle_format_mode = 3;

ViewHost* view_host_install(ViewHost* host) {
    ViewHost* old = g_host;
    g_host = host;
    return old;
}

ViewHost* view_host() { return g_host; }

DrawingDocument* drawing_document(const MODEL* model) {
    return model ? static_cast<DrawingDocument*>(model->document) : nullptr;
}

DocInputState* view_input_state(const VIEW* view) {
    DrawingDocument* d = drawing_document(view_drawing(view));
    return d ? d->current : nullptr;
}

float* view_params(VIEW* view) { return view ? view->scroll_area : nullptr; }

std::string view_doc_path(VIEW* view) { return g_host && view ? g_host->doc_path(view) : std::string(); }

namespace {
// The first VIEW with a window in the ring from `start` (inclusive) up to the head.
VIEW* next_window_view(const MODEL* m, ZDLIST* start) {
    if (!m || !m->views || !start) return nullptr;
    ZDLIST* p = start;
    do {
        if (rtc_is_a(p, &VIEW::rtc_class)) {
            VIEW* v = static_cast<VIEW*>(p);
            if (v->window) return v;
        }
        p = p->next;
    } while (p && p != m->views);
    return nullptr;
}
}  // namespace

VIEW* drawing_first_view(const MODEL* model) { return model ? next_window_view(model, model->views) : nullptr; }

VIEW* drawing_next_view(const VIEW* view) {
    if (!view || !view->model) return nullptr;
    const MODEL* m = view->model;
    if (!view->next || view->next == m->views) return nullptr;
    return next_window_view(m, view->next);
}

MODEL* first_document_drawing() { return g_host ? g_host->first_drawing() : nullptr; }
MODEL* next_document_drawing() { return g_host ? g_host->next_drawing() : nullptr; }

void status_prompt(int id) {
    if (g_host) g_host->status_prompt(id);
}

void status_message(const std::string& text) {
    if (g_host) g_host->status_message(text);
}

void view_set_modified(VIEW* view, int flag) {
    if (g_host && view) g_host->set_modified(view, flag);
}

void view_doc_update_all(VIEW* view) {
    if (g_host && view) g_host->doc_update_all(view);
}

void view_update_scrollbars_all(VIEW* view) {
    if (!g_host || !view) return;
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v)) g_host->update_scroll_bars(v);
}

void view_notify_all(VIEW* view, const BBox* box, int erase) {
    if (!view) return;
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v))
        view_invalidate(v, box, erase ? 1 : 0);
}

void view_refresh(VIEW* view, int now) {
    if (!view) return;
    view_extents_reset(&view->projection);
    if (g_host) g_host->update_scroll_bars(view);
    view_invalidate(view, nullptr, 1 | (now ? 2 : 0));
}

void view_refresh_deferred(VIEW* view) { view_refresh(view, 0); }

void invalidate_all_views() {
    for (MODEL* m = first_document_drawing(); m; m = next_document_drawing())
        for (VIEW* v = drawing_first_view(m); v; v = drawing_next_view(v)) view_invalidate(v, nullptr, 1);
}

void command_post_code(int code) {
    if (g_host) g_host->post_code(code);
}

namespace {
void set_format_modes(const VIEW* v, bool for_input) {
    g_angle_format_mode = v->degrees ? 3 : 4;
    if (for_input)
        g_length_format_mode = v->length_unit == kLengthFractions ? 5 : v->length_unit == kLengthInches ? 1 : 0;
    else
        g_length_format_mode = v->length_unit != kLengthDecimal ? 1 : 0;
}
}  // namespace

void view_set_input_mode(VIEW* view, int mode) {
    if (!view) return;
    set_format_modes(view, true);
    view->input_mode = mode;
    if (mode == kInputIdle && g_host) g_host->readout_update(view, 0);
}

void view_restore_input_mode(VIEW* view) {
    if (!view) return;
    set_format_modes(view, false);
    if (g_host) g_host->readout_update(view, view->readout_mode);
}

void view_begin_nested_input(VIEW* view, DocInputState* state) {
    DrawingDocument* d = drawing_document(view_drawing(view));
    if (!d || !state) return;
    view->nested_busy = 1;
    d->current->saved_mode = view->input_mode;
    *state = *d->current;
    state->previous = d->current;
    state->previous_command_view = g_host ? g_host->set_command_view(view) : nullptr;
    d->current = state;
}

void view_end_nested_input(VIEW* view) {
    DrawingDocument* d = drawing_document(view_drawing(view));
    if (!d || !d->current->previous) return;
    DocInputState* cur = d->current;
    view->nested_busy = 0;
    if (g_host) g_host->set_command_view(cur->previous_command_view);
    d->current = cur->previous;
    view_set_input_mode(view, d->current->saved_mode);
}
