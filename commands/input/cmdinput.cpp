// CCmdInput: the base behaviour of a command-input tool (attach and detach on
// notices, Esc and typed entry on keys, the last picked point on pointer events).
#include "commands/input/cmdinput.h"

#include <cstdio>
#include <cstring>

#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "graphics/view/view_input.h"

CCmdInput::CCmdInput(uint32_t id) : command_id(id) {}

CCmdInput::~CCmdInput() { delete tool_window; }

void CCmdInput::DrawMark(VIEW*, int, int) {}

void CCmdInput::ShowMark(bool show) {
    ViewHost* h = view_host();
    if (h && view && (view->cursor_shown != 0) != show) h->show_cursor_mark(view, show, true);
}

int CCmdInput::OnKey(int key, int repeat, int flags) {
    if (key == kKeyEsc) {
        ShowMark(false);
        command_post_code(kStepToolEsc);
        return 0;
    }
    if (!text || capacity == 0 || key == kKeyEnter) return 0;
    const bool was_shown = view && view->cursor_shown;
    ShowMark(false);
    if (input_kind == kCmdInputText) {
        // Room for the character and the terminator, never past the buffer.
        if (text_length + 1 < capacity && key > 0 && key < 256) {
            text[text_length++] = static_cast<char>(key);
            text[text_length] = 0;
        } else if (ViewHost* h = view_host()) {
            h->beep(-1);
        }
    } else if (view_starts_typed_input(key)) {
        text[0] = static_cast<char>(key);
        if (capacity > 1) text[1] = 0;
        ViewHost* h = view_host();
        bool ok = h && h->typed_entry_dialog(view, input_kind == kCmdInputPoint ? 1 : 0, prompt_id, text, capacity);
        if (!ok) {
            text_length = 0;
            text[0] = 0;
        } else {
            text[capacity - 1] = 0;
            text_length = static_cast<uint32_t>(std::strlen(text));
        }
        return OnKey(kKeyEnter, 1, 0);
    }
    (void)repeat;
    (void)flags;
    if (was_shown) ShowMark(true);
    return 1;
}

void CCmdInput::OnUpdateViews(int code, int, int, int, const float point[3]) {
    if (code != kPointerPoint || !view || !point) return;
    MODEL* m = view_drawing(view);
    for (VIEW* v = drawing_first_view(m); v; v = drawing_next_view(v)) v->last_point = Vec3{point[0], point[1], point[2]};
}

int CCmdInput::OnNotify(InputNotice* n) {
    switch (n->code) {
        case kNoticeStepGiven:
        case kNoticeStepEnded:
        case kNoticeOtherWindow:
            ShowMark(false);
            if (view) view_set_input_mode(view, kInputIdle);
            active = 0;
            break;
        case kNoticeStart:
        case kNoticeOtherView:
        case kNoticeViewInactive:
            view = n->view;
            active = 1;
            if (view) view_set_input_mode(view, kInputActive);
            break;
        default:
            break;
    }
    return 0;
}

void CCmdInput::GetViewTransform(Transform* out, int mode) const {
    if (!out || !view) return;
    if (mode == 0) {
        out->fwd = view->projection.view;
        out->inv = view->projection.inverse;
    }
}

int CCmdInput::GetPoint(float point[3]) const {
    if (!active || !text || !point) return 0;
    double x, y, z;
    if (std::sscanf(text, "%lg %lg %lg", &x, &y, &z) != 3) return 0;
    point[0] = static_cast<float>(x);
    point[1] = static_cast<float>(y);
    point[2] = static_cast<float>(z);
    return 1;
}
