// The drawing view's input rules while a command step waits: pointer, keys, the
// options key, help and closing, turned into step results for the command.
#include "graphics/view/view_input.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>

#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"

namespace {

TypedCharFn g_typed_char = nullptr;
TypedSubmitFn g_typed_submit = nullptr;

bool is_command_view(VIEW* view) {
    ViewHost* h = view_host();
    return h && view && h->command_running() && h->command_view() == view;
}

void show_mark(VIEW* view, bool show) {
    ViewHost* h = view_host();
    if (h && view) h->show_cursor_mark(view, show, false);
}

void post(int code) {
    if (ViewHost* h = view_host()) h->post_code(code);
}

void set_cursor(VIEW* v, int x, int y, const Vec3& world) {
    v->cursor_pixel[0] = x;
    v->cursor_pixel[1] = y;
    v->cursor[0] = world.x;
    v->cursor[1] = world.y;
    v->cursor[2] = world.z;
    Vec3 vv;
    world_to_view(&v->projection, world, &vv);
    v->cursor_view[0] = vv.x;
    v->cursor_view[1] = vv.y;
    v->cursor_view[2] = vv.z;
}

// The drawing's other views get the drawing point `world` as their cursor.
void place_in_other_views(VIEW* view, const Vec3& world) {
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v)) {
        if (v == view) continue;
        int px, py;
        world_to_pixel(&v->projection, world, &px, &py);
        set_cursor(v, px, py, world);
    }
}

// Cursor places of given steps that have not reached the command, oldest first. A
// step that never does (its command cancelled) leaves its place behind: the oldest
// go once there are more than a handful.
struct KeptPlace {
    intptr_t mark = 0;
    VIEW* view = nullptr;  // only compared: it may be gone by the time the step is taken
    int32_t pixel[2] = {0, 0};
    double cursor[3] = {0, 0, 0}, cursor_view[3] = {0, 0, 0};
};
constexpr size_t kMaxKeptPlaces = 64;
std::deque<KeptPlace> g_kept;
intptr_t g_last_mark = 0;

}  // namespace

void view_input_set_typed_hooks(TypedCharFn char_fn, TypedSubmitFn submit_fn) {
    g_typed_char = char_fn;
    g_typed_submit = submit_fn;
}

void view_input_move(VIEW* view, int x, int y) {
    if (!view) return;
    const bool command = is_command_view(view);
    const bool shown = view->cursor_shown != 0;
    if (command && shown) show_mark(view, false);
    Vec3 world;
    pixel_to_world(&view->projection, x, y, view->elevation, &world);
    set_cursor(view, x, y, world);
    if (command) {
        place_in_other_views(view, world);
        show_mark(view, true);
    }
}

intptr_t view_input_keep_place(VIEW* view) {
    if (!view) return 0;
    KeptPlace k;
    k.mark = ++g_last_mark;
    k.view = view;
    std::copy_n(view->cursor_pixel, 2, k.pixel);
    std::copy_n(view->cursor, 3, k.cursor);
    std::copy_n(view->cursor_view, 3, k.cursor_view);
    try {
        if (g_kept.size() >= kMaxKeptPlaces) g_kept.pop_front();
        g_kept.push_back(k);
    } catch (const std::bad_alloc&) {
        return 0;  // the step reads the cursor as it then stands
    }
    return k.mark;
}

void view_input_take_place(intptr_t mark, VIEW* view) {
    while (!g_kept.empty() && g_kept.front().mark <= mark) {
        const KeptPlace k = g_kept.front();
        g_kept.pop_front();
        if (k.mark != mark || !view || k.view != view) continue;
        std::copy_n(k.pixel, 2, view->cursor_pixel);
        std::copy_n(k.cursor, 3, view->cursor);
        std::copy_n(k.cursor_view, 3, view->cursor_view);
        place_in_other_views(view, Vec3{static_cast<float>(k.cursor[0]), static_cast<float>(k.cursor[1]),
                                        static_cast<float>(k.cursor[2])});
    }
}

int view_input_button_up(VIEW* view, int button) {
    if (!is_command_view(view)) return 0;
    show_mark(view, false);
    post(button == kButtonRight ? kStepRefused : kStepGiven);
    return 1;
}

int view_input_char(VIEW* view, int ch) {
    if (!is_command_view(view)) return 0;
    DocInputState* st = view_input_state(view);
    if (ch == kKeyEsc) {
        show_mark(view, false);
        post(kStepRefused);
        return 1;
    }
    if (!st) return 0;
    if (ch == kKeyEnter) {
        if (!view->cursor_shown) return 0;
        if (st->text_buffer && st->text_capacity) st->text_buffer[0] = 0;
        show_mark(view, false);
        post(kStepGiven);
        return 1;
    }
    if (st->text_object && view->cursor_shown) {
        show_mark(view, false);
        int r = g_typed_char ? g_typed_char(view, ch) : kStepRefused;
        if (r != 0)
            post(r);
        else
            show_mark(view, true);
        return 1;
    }
    if (view_starts_typed_input(ch)) {
        if (!st->text_buffer || st->text_capacity < 2) return 0;
        const bool was_shown = view->cursor_shown != 0;
        show_mark(view, false);
        st->text_buffer[0] = static_cast<char>(ch);
        st->text_buffer[1] = 0;
        ViewHost* h = view_host();
        bool ok = h && h->typed_entry_dialog(view, st->flags & 1, st->prompt_id, st->text_buffer, st->text_capacity);
        if (ok) {
            st->text_buffer[st->text_capacity - 1] = 0;
            post(kStepGiven);
        } else {
            st->text_buffer[0] = 0;
            if (was_shown) show_mark(view, true);
        }
        return 1;
    }
    return 0;
}

bool view_starts_typed_input(int ch) {
    return (ch >= '0' && ch <= '9') || ch == '.' || ch == '-' || ch == '+' || ch == '@';
}

int view_input_options_key(VIEW* view) {
    if (!is_command_view(view)) return 0;
    DocInputState* st = view_input_state(view);
    if (!st || !st->on_options || !g_typed_submit) return 0;
    const bool was_shown = view->cursor_shown != 0;
    show_mark(view, false);
    VIEW* v = view;
    int r = g_typed_submit(&v);
    if (r != 0)
        post(kStepRefused);
    else if (was_shown)
        show_mark(view, true);
    return 1;
}

uint32_t view_input_help_id(VIEW* view) {
    if (!is_command_view(view)) return 0;
    DocInputState* st = view_input_state(view);
    return st ? st->help_id : 0;
}

void view_input_closing(VIEW* view) {
    if (!is_command_view(view)) return;
    show_mark(view, false);
    post(kStepCancelled);
}
