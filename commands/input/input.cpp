// The input routines of commands: the step wait and points, distances, angles,
// boxes and objects taken from it; typed text of in-place entry and the options key.
#include "commands/input/input.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/snap.h"
#include "commands/units/length_text.h"
#include "graphics/view/view.h"
#include "graphics/view/view_input.h"
#include "model/db/buffer.h"
#include "model/db/wire.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

int input_accepted = 1;
int input_error_code = 0;

namespace {

ViewHost* host() { return view_host(); }

// The VIEW that runs the command now (null when there is none).
VIEW* current_view(VIEW* fallback) {
    ViewHost* h = host();
    if (!h) return fallback;
    return h->command_view();
}

// Is `buf` the selection of any VIEW of the drawing?
bool is_selection(VIEW* view, const buffer* buf) {
    if (!buf || !view) return false;
    if (view->selection == buf) return true;
    MODEL* m = view_drawing(view);
    if (!m || !m->views) return false;
    ZDLIST* p = m->views;
    do {
        if (rtc_is_a(p, &VIEW::rtc_class) && static_cast<VIEW*>(p)->selection == buf) return true;
        p = p->next;
    } while (p && p != m->views);
    return false;
}

int no_options(VIEW**) { return 0; }

constexpr uint32_t kTextEnterCorrectly = IDS_ENTER_VALUE_CORRECTLY;  // "Please enter the value correctly"

bool in_float_range(double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }

bool refuse_typed() {
    input_refuse_typed();
    return false;
}

}  // namespace

void input_refuse_typed() {
    const std::string text = res_load_string(kTextEnterCorrectly);
    msgbox_show(0, text.c_str(), kMbOk | kMbIconExclamation);
}

bool input_view_attached(const MODEL* m, const VIEW* view) {
    if (!m || !m->views || !view) return false;
    const ZDLIST* p = m->views;
    do {
        if (p == view) return true;
        p = p->next;
    } while (p && p != m->views);
    return false;
}

bool input_typed_values_usable(const double* values, int count) {
    for (int i = 0; i < count; ++i)
        if (!in_float_range(values[i])) return refuse_typed();
    return true;
}

bool input_typed_length_usable(const Vec3& base, double length) {
    if (!in_float_range(length)) return refuse_typed();
    for (float c : {base.x, base.y, base.z})
        if (!in_float_range(std::fabs(static_cast<double>(c)) + std::fabs(length))) return refuse_typed();
    return true;
}

int input_wait(VIEW** view_ref, uint32_t prompt_id, InputMoveFn on_move, InputOptionsFn on_options, char* text,
               size_t capacity, int32_t flags, uint32_t help_id) {
    VIEW* view = *view_ref;
    ViewHost* h = host();
    if (!view || !h) return kStepCancelled;
    if (text && capacity) text[0] = 0;
    h->update_window(view);
    if (DocInputState* st = view_input_state(view)) {
        st->prompt_id = prompt_id;
        st->on_move = on_move;
        st->on_options = on_options;
        st->flags = flags;
        st->text_buffer = text;
        st->text_capacity = text ? capacity : 0;
        st->help_id = help_id;
        st->text_font = nullptr;
        st->text_object = nullptr;
    }
    status_prompt(static_cast<int>(prompt_id));
    // The drawing outlives the wait; the VIEW may not (its window can close once the
    // command has moved to another view).
    MODEL* drawing = view_drawing(view);
    int code = h->wait_step();
    VIEW* now = current_view(nullptr);
    *view_ref = now;
    // Marks still shown go from every view of the drawing: a step cancelled by another
    // command or by quitting was not ended by the view, which would have hidden them.
    for (VIEW* v = drawing_first_view(drawing); v; v = drawing_next_view(v)) {
        if (!v->cursor_shown) continue;
        h->show_cursor_mark(v, false, true);
        h->update_window(v);
    }
    status_prompt(-1);
    return code;
}

int input_point(VIEW** view_ref, uint32_t prompt_id, InputMoveFn on_move, InputOptionsFn on_options, Vec3* out,
                uint32_t help_id) {
    for (;;) {
        char text[kTypedTextSize];
        int code = input_wait(view_ref, prompt_id, on_move, on_options, text, sizeof text, 1, help_id);
        if (code != 0) return code;
        VIEW* view = *view_ref;
        if (!view) return kStepCancelled;
        if (text[0]) {
            double p[3];
            if (std::sscanf(text, "%lg %lg %lg", &p[0], &p[1], &p[2]) == 3 && input_typed_values_usable(p, 3)) {
                *out = Vec3{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
                view->last_point = *out;
                return 0;
            }
            continue;
        }
        Vec3 p;
        if (input_resolve_point(view, &p)) {
            *out = p;
            view->last_point = p;
            return 0;
        }
    }
}

int input_distance(VIEW** view_ref, const Vec3& base, uint32_t prompt_id, int mode, InputMoveFn on_move,
                   InputOptionsFn on_options, double* out, uint32_t help_id, bool* typed) {
    if (typed) *typed = false;
    char text[kTypedTextSize];
    int code = input_wait(view_ref, prompt_id, on_move, on_options, text, sizeof text, 0, help_id);
    if (code != 0) return code;
    VIEW* view = *view_ref;
    if (!view) return kStepCancelled;
    while (text[0]) {
        // A plain number is in the view's unit (inches give 25.4 each); feet-and-inch
        // text is read as such, into millimetres.
        double v;
        bool read = true;
        if (plain_real_parse_text(text, &v)) {
            if (view->length_unit != kLengthDecimal) v *= 25.4;
        } else {
            read = typed_distance_parse(text, &v);
        }
        if (!read) {
            refuse_typed();
        } else if (input_typed_length_usable(base, v)) {
            *out = v;
            if (typed) *typed = true;
            return 0;
        }
        // No number, or one beyond the drawing's range: asked again.
        code = input_wait(view_ref, prompt_id, on_move, on_options, text, sizeof text, 0, help_id);
        if (code != 0) return code;
        view = *view_ref;
        if (!view) return kStepCancelled;
    }
    Vec3 p;
    if (!input_resolve_point(view, &p)) return kStepRefused;
    Vec3 a, b;
    world_to_view(&view->projection, base, &a);
    world_to_view(&view->projection, p, &b);
    double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    switch (mode) {
        case 0: *out = std::sqrt(dx * dx + dy * dy); break;
        case 1: *out = std::fabs(dy); break;
        case 2: *out = std::fabs(dx); break;
        default: *out = 0.0; break;
    }
    view->last_point = p;
    return 0;
}

int input_angle(VIEW** view_ref, const Vec3& centre, const Vec3& reference, uint32_t prompt_id, InputMoveFn on_move,
                InputOptionsFn on_options, double* out, uint32_t help_id) {
    for (;;) {
        char text[kTypedTextSize];
        int code = input_wait(view_ref, prompt_id, on_move, on_options, text, sizeof text, 0, help_id);
        if (code != 0) return code;
        VIEW* view = *view_ref;
        if (!view) return kStepCancelled;
        if (text[0]) {
            // One number, blanks around it allowed; anything else (1,5 or 12abc) is
            // refused whole, never read up to the first stray character.
            double v;
            if (!plain_real_parse_text(text, &v)) {
                refuse_typed();
                continue;
            }
            // An angle past the float range turns nothing the drawing can hold.
            if (!input_typed_values_usable(&v, 1)) continue;
            *out = view->degrees ? deg_to_rad(v) : v;
            return 0;
        }
        Vec3 p;
        if (!input_resolve_point(view, &p)) continue;
        Vec3 c, r, q;
        world_to_view(&view->projection, centre, &c);
        world_to_view(&view->projection, reference, &r);
        world_to_view(&view->projection, p, &q);
        c.z = r.z = q.z = 0;
        view->last_point = p;
        *out = angle_between(c, r, q);
        return 0;
    }
}

int input_box(VIEW** view_ref, InputOptionsFn on_options, Vec3* c1, Vec3* c2, uint32_t help_id) {
    int code = input_point(view_ref, kPromptFirstCorner, cursor_draw_crosshair, on_options, c1, help_id);
    if (code != 0) return code;
    input_set_point(*view_ref, *c1, 0);
    return input_point(view_ref, kPromptOtherCorner, cursor_draw_rubber_box, on_options, c2, help_id);
}

int input_object(VIEW** view_ref, buffer** buf, Vec3* point) {
    VIEW* view = *view_ref;
    if (!view) return kStepCancelled;
    if (*buf) {
        // What an earlier pass took is let go: a selection stays with its VIEW (unless
        // that VIEW has gone), a picked buffer is freed. A hold kept past its pass
        // would outlive the command, which may now work in another view.
        const bool drop = view_selection_orphaned(*buf) || !is_selection(view, *buf);
        view_release_selection(*buf);
        if (drop) buffer_free(buf);
    }
    *buf = nullptr;
    if (view->selection && buffer_has_objects(view->selection)) {
        *buf = view->selection;
        view_hold_selection(*buf);
        return 0;
    }
    int code = 0;
    *buf = input_pick_objects(view_ref, point, &code);
    return code;
}

buffer* input_pick_objects(VIEW** view_ref, Vec3* point, int* code) {
    VIEW* view = *view_ref;
    *code = 0;
    if (!view) {
        *code = kStepCancelled;
        return nullptr;
    }
    buffer* buf = buffer_new();
    if (!buf) {
        *code = kOutOfMemory;
        return nullptr;
    }
    // Exact clicks: no grid, no snaps. The settings go back to this VIEW, wherever
    // the command ends.
    VIEW* owner = view;
    MODEL* drawing = view_drawing(view);
    const int32_t grid = owner->grid_on, flags = owner->input_flags, step = owner->step_select;
    owner->grid_on = 0;
    owner->input_flags = kSnapFree;
    owner->step_select = 0;
    int c = 0;
    while (!buffer_has_objects(buf)) {
        c = input_point(view_ref, kPromptSelectObject, cursor_draw_snap_box, no_options, point, kHelpSelectObject);
        if (c != 0) break;
        c = pick_objects_at(*view_ref, buf, *point, nullptr);
        if (c != 0) break;
    }
    if (input_view_attached(drawing, owner)) {
        owner->grid_on = grid;
        owner->input_flags = flags;
        owner->step_select = step;
    }
    if (!buffer_has_objects(buf)) buffer_free(&buf);
    input_report_picked(buf);
    *code = c != 0 ? c : (buf ? 0 : 2);
    return buf;
}

void input_report_picked(const buffer* buf) {
    int count = 0;
    for (const RefNode* n = buf ? buf->refs : nullptr; n; n = n->next)
        if (n->ref) ++count;
    if (count == 0) return;
    if (count == 1) return status_message(res_load_string(IDS_ONE_OBJECT_PICKED));
    char text[128];
    std::snprintf(text, sizeof text, res_load_string(IDS_OBJECTS_PICKED).c_str(), count);
    status_message(text);
}

void input_finish(VIEW* view, buffer* buf) {
    // A held selection is known without the VIEW (which is null after a cancel):
    // kept while a VIEW owns it, freed once its VIEW has gone.
    const bool keep = view_selection_held(buf) ? !view_selection_orphaned(buf) : is_selection(view, buf);
    view_release_selection(buf);
    if (buf && !keep) buffer_free(&buf);
    if (view) view_set_input_mode(view, kInputIdle);
}

int input_set_point(VIEW* view, const Vec3& point, int slot) {
    DocInputState* st = view_input_state(view);
    if (!st || slot < 0 || slot >= kInputPoints) return kBadArgument;
    st->points[slot] = point;
    return 0;
}

void input_clear_last_point(VIEW* view) {
    if (DocInputState* st = view_input_state(view)) st->phantom_objects = nullptr;
}

void input_set_last_point(VIEW* view, RTC* objects, const Vec3& base) {
    if (DocInputState* st = view_input_state(view)) {
        st->phantom_objects = objects;
        st->phantom_base = base;
    }
    input_accepted = 1;
}

int typed_input_char(VIEW* view, int ch) {
    input_accepted = 1;
    DocInputState* st = view_input_state(view);
    if (!st || !st->text_object || !rtc_is_a(st->text_object, &TEXT2::rtc_class)) return 0;
    TEXT2* t = static_cast<TEXT2*>(st->text_object);
    try {
        if (ch == kKeyBackspace) {
            if (!t->text.empty()) t->text.pop_back();
        } else {
            t->text.push_back(static_cast<char>(ch));
        }
    } catch (...) {
        input_accepted = 0;
        input_error_code = kOutOfMemory;
        return kStepRefused;
    }
    return 0;
}

int typed_input_submit(VIEW** view_ref) {
    VIEW* view = view_ref ? *view_ref : nullptr;
    DocInputState* st = view_input_state(view);
    if (!st || !st->on_options) {
        input_error_code = kBadArgument;
        return 0;
    }
    TEXT2* t = st->text_object && rtc_is_a(st->text_object, &TEXT2::rtc_class) ? static_cast<TEXT2*>(st->text_object)
                                                                                 : nullptr;
    if (t) view->saved_text = t->text;
    int changed = st->on_options(view_ref);
    if (changed) {
        if (t) t->text = view->saved_text;
        return 1;
    }
    view->saved_text.clear();
    return 0;
}

void input_install_hooks() { view_input_set_typed_hooks(typed_input_char, typed_input_submit); }
