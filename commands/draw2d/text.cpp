// The 2D Text command: lines of text typed in place in the view's current stroke
// font, drawn in XOR as they are typed with a cursor glyph behind the last
// character; Enter or a click fixes a line and the next starts one text height lower.
// Typed Unicode characters go into the font's 8-bit code page; a character the font
// cannot show beeps and the typing goes on.
#include <cmath>
#include <cstring>
#include <memory>

#include "commands/draw2d/dialog_hooks.h"
#include "commands/draw2d/internal.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_input.h"
#include "model/db/patt.h"
#include "model/font/code_page.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

using namespace draw2d;

namespace {

constexpr uint32_t kHelpText = 40016;
constexpr int kCursorGlyph = 127;
constexpr int kMaxPixelSize = 8192;  // character cells beyond this are drawn at this size

int g_options_flag = 0;  // the last step ended through the options callback

// The character hook while a line is typed: Backspace and characters the font holds
// go on to the core routine; others beep and are dropped.
int text_typed_char(VIEW* view, int ch) {
    if (ch == kKeyBackspace) return typed_input_char(view, ch);
    DocInputState* st = view_input_state(view);
    const int code = text_code_for_unicode(st ? st->text_font : nullptr, ch);
    if (code < 0) {
        if (ViewHost* h = view_host()) h->beep(-1);
        return 0;
    }
    return typed_input_char(view, code);
}

int text_feedback_line(void* context, int xa, int ya, int xb, int yb) {
    view_gdi_line(static_cast<VIEW*>(context), xa, ya, xb, yb);
    return 0;
}

int pixel_size(double scale, double value) {
    const double v = std::round(scale * value);
    if (!(v > 0)) return 0;
    return v > kMaxPixelSize ? kMaxPixelSize : static_cast<int>(v);
}

void set_layout(StrokeFont* f, const VIEW* v) {
    font_set_size(f, pixel_size(v->projection.scale, v->text_width), pixel_size(v->projection.scale, v->text_height));
    const double ob = std::isfinite(v->text_oblique) ? v->text_oblique : 0;
    const double sl = std::isfinite(v->text_slope) ? v->text_slope : 0;
    font_set_slant(f, static_cast<int>(std::sin(ob) * 100), static_cast<int>(std::cos(ob) * 100));
    font_set_direction(f, static_cast<int>(std::cos(sl) * 100), static_cast<int>(std::sin(sl) * 100));
}

}  // namespace

int text_code_for_unicode(const StrokeFont* font, int ch) {
    if (ch < 32 || ch == 127 || ch > 0xFFFF) return -1;
    const int b = font_page_byte(font, static_cast<uint32_t>(ch));
    if (b < 0) return -1;
    if (font && font->glyphs[b].last < 0 && font->advance[b] <= 0) return -1;  // nothing to show
    return b;
}

const StrokeFont* text_cursor_font() {
    static StrokeFont* font = [] {
        StrokeFont* f = font_new();
        if (!f) return f;
        f->design_width = 16;
        f->design_height = 24;
        // An I-beam from the baseline (y 6) to the cap height.
        if (glyph_alloc(&f->glyphs[kCursorGlyph], 3) == 0) {
            f->glyphs[kCursorGlyph].strokes[0] = {0, 4, 0, 24};
            f->glyphs[kCursorGlyph].strokes[1] = {-2, 4, 2, 4};
            f->glyphs[kCursorGlyph].strokes[2] = {-2, 24, 2, 24};
        }
        return f;
    }();
    return font;
}

void text_in_place_feedback(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    DocInputState* st = view_input_state(view);
    if (!st) return;
    StrokeFont* font = const_cast<StrokeFont*>(st->text_font);
    StrokeFont* cursor = const_cast<StrokeFont*>(text_cursor_font());
    if (font) set_layout(font, view);
    if (cursor) set_layout(cursor, view);
    int px = x, py = y;
    const TEXT2* t = st->text_object && rtc_is_a(st->text_object, &TEXT2::rtc_class)
                         ? static_cast<const TEXT2*>(st->text_object)
                         : nullptr;
    if (font && t)
        for (unsigned char c : t->text)
            (void)font_draw_char(view, &px, &py, font, c, text_feedback_line);
    if (cursor) (void)font_draw_char(view, &px, &py, cursor, kCursorGlyph, text_feedback_line);
}

void text_next_line_position(VIEW* view, const TEXT2* text) {
    if (!view || !text) return;
    const Vec3 p = to_view(view, text->insert);
    const double h = view->text_height, s = view->text_slope;
    const double X = p.x + std::sin(s) * h, Y = p.y - std::cos(s) * h;
    const ViewProjection& vp = view->projection;
    const double px = std::round((X - vp.origin_x) * vp.scale), py = std::round((Y - vp.origin_y) * vp.scale);
    if (!std::isfinite(px) || !std::isfinite(py) || std::fabs(px) > (1 << 24) || std::fabs(py) > (1 << 24)) return;
    view->cursor_pixel[0] = static_cast<int32_t>(px);
    view->cursor_pixel[1] = static_cast<int32_t>(py);
}

int input_text_in_place(VIEW** view_ref, const StrokeFont* font, int (*on_options)(VIEW**), TEXT2* text,
                        uint32_t help_id) {
    VIEW* view = view_ref ? *view_ref : nullptr;
    ViewHost* h = view_host();
    if (!text || !view || !h) {
        input_accepted = 0;
        input_error_code = kBadArgument;
        return kBadArgument;
    }
    input_accepted = 1;
    h->update_window(view);
    if (!input_accepted) return input_error_code;
    // The line starts at the view's cursor pixel (where the last line ended).
    Vec3 at;
    pixel_to_plane(&view->projection, view->cursor_pixel[0], view->cursor_pixel[1], view->elevation, &at);
    text->insert = to_world(view, at);
    view->saved_text.clear();
    DocInputState* st = view_input_state(view);
    if (st) {
        st->on_move = text_in_place_feedback;
        st->on_options = on_options;
        st->help_id = help_id;
        st->text_buffer = nullptr;
        st->text_capacity = 0;
        st->text_font = font;
        st->text_object = text;
    }
    // The pointer goes to the line's start where the window system allows it; the
    // line starts there either way, and the mark (crosshair, text and cursor glyph)
    // is shown there as a pointer move would show it.
    h->warp_pointer(view, view->cursor_pixel[0], view->cursor_pixel[1]);
    if (!view->cursor_shown) h->show_cursor_mark(view, true, true);
    const int code = h->wait_step();
    VIEW* now = h->command_view();
    *view_ref = now;
    if (now && now->cursor_shown) {
        h->show_cursor_mark(now, false, true);
        h->update_window(now);
    }
    if (DocInputState* s2 = now ? view_input_state(now) : st) {
        s2->text_object = nullptr;
        s2->text_font = nullptr;
    }
    if (code != 0) return code;
    if (!now) return kStepCancelled;
    pixel_to_plane(&now->projection, now->cursor_pixel[0], now->cursor_pixel[1], now->elevation, &at);
    text->insert = to_world(now, at);
    Vec3d dir;
    view_get_direction_d(&now->projection, &dir);
    text2_set_normal(*text, dir);
    return 0;
}

int text_options_callback(VIEW** view_ref) {
    g_options_flag = 1;
    text_settings_dialog(view_ref ? *view_ref : nullptr);
    return 1;
}

int cmd_text(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    FONTPATT* font = (*view_ref)->current_font;
    if (!font || !font->font) return kBadArgument;
    std::unique_ptr<TEXT2> t = rtc_make<TEXT2>();
    if (!t) return kOutOfMemory;
    view_set_input_mode(*view_ref, kInputActive);
    view_input_set_typed_hooks(text_typed_char, typed_input_submit);
    int code;
    for (;;) {
        g_options_flag = 0;
        VIEW* v = *view_ref;
        FONTPATT* f = v->current_font ? v->current_font : font;  // the dialog may change it
        code = input_text_in_place(view_ref, f->font, text_options_callback, t.get(), kHelpText);
        if (code != 0) {
            if (!g_options_flag || code == kStepCancelled || !*view_ref) break;
            continue;
        }
        v = *view_ref;
        text_next_line_position(v, t.get());
        if (t->text.empty()) continue;
        t->layout[kText2Width] = v->text_width;
        t->layout[kText2Height] = v->text_height;
        Vec3 dir;
        view_get_direction(&v->projection, &dir);
        double rot = v->text_slope - mat_twist_angle(&v->projection.view, dir.x, dir.y, dir.z);
        if (rot >= kTwoPi) rot -= kTwoPi;
        if (rot <= -kTwoPi) rot += kTwoPi;
        t->layout[kText2Direction] = rot;
        t->layout[kText2Slant] = v->text_oblique;
        t->font = v->current_font ? v->current_font : font;
        for (int i = 3; i < 6; ++i) t->pairs[i] = 0;
        if ((code = drawing_add_object(v, std::move(t), 1)) != 0) break;
        t = rtc_make<TEXT2>();
        if (!t) {
            code = kOutOfMemory;
            break;
        }
    }
    input_install_hooks();
    leave_input(view_ref);
    return code;
}
