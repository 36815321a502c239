// Stroke runs of 2D text: every character of the text drawn through its stroke
// font at a size where the larger of width and height is 250 font units, scaled
// back to model units, with strokes that meet end to end joined into one run.
#include <cmath>

#include "model/db/patt.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {

struct TextPen {
    PtrNode** runs;
    double s;
    double x, y;
    int error = 0;
};

int add_stroke(void* context, int xa, int ya, int xb, int yb) {
    TextPen* pen = static_cast<TextPen*>(context);
    Vec3 a{static_cast<float>(xa / pen->s + pen->x), static_cast<float>(ya / pen->s + pen->y), 0};
    Vec3 b{static_cast<float>(xb / pen->s + pen->x), static_cast<float>(yb / pen->s + pen->y), 0};
    PtrNode* current = *pen->runs;
    if (current && current->value) {
        PointNode** run = reinterpret_cast<PointNode**>(&current->value);
        const PointNode* last = *run;  // runs are built by prepending: the head is the last point
        Vec3 lp{last->x, last->y, last->z};
        bool first_on = vec3_near(a, lp) != 0, second_on = vec3_near(b, lp) != 0;
        if (first_on && second_on) return 0;
        if (first_on) return plist_add(run, b);
        if (second_on) return plist_add(run, a);
    }
    PointNode* fresh = nullptr;
    if (plist_add(&fresh, a) || plist_add(&fresh, b) || ptrlist_add(pen->runs, fresh)) {
        list_free(&fresh);
        return kOutOfMemory;
    }
    return 0;
}

}  // namespace

Vec3d text2_normal(const TEXT2& text) {
    Vec3d n{text.pairs[0], text.pairs[1], text.pairs[2]};
    if (n.x == 0 && n.y == 0 && n.z == 0) n.z = 1;
    return n;
}

void text2_set_normal(TEXT2& text, const Vec3d& normal) {
    text.pairs[0] = static_cast<float>(normal.x);
    text.pairs[1] = static_cast<float>(normal.y);
    text.pairs[2] = static_cast<float>(normal.z);
}

int text2_regen_strokes(TEXT2* text) {
    if (!text) return kBadArgument;
    plist_list_free(&text->strokes);
    StrokeFont* font = text->font ? text->font->font : nullptr;
    if (!font || text->text.empty()) return 0;

    // Scale so that the larger of width and height becomes 250 font units. A size
    // that is negative or not finite draws nothing; one of them 0 is allowed.
    const double w = text->layout[kText2Width], h = text->layout[kText2Height];
    if (!std::isfinite(w) || !std::isfinite(h) || w < 0 || h < 0 || (w == 0 && h == 0)) return 0;
    const double s = std::fmin(w > 0 ? 250.0 / w : INFINITY, h > 0 ? 250.0 / h : INFINITY);
    if (!std::isfinite(s) || !(s > 0)) return 0;
    const double slant = text->layout[kText2Slant], dir = text->layout[kText2Direction];
    font_set_size(font, round_int(w * s), round_int(h * s));
    font_set_slant(font, round_int(std::sin(slant) * 100), round_int(std::cos(slant) * 100));
    font_set_direction(font, round_int(std::cos(dir) * 100), round_int(std::sin(dir) * 100));

    PtrNode* runs = nullptr;
    TextPen pen{&runs, s, text->insert.x, text->insert.y};
    for (unsigned char ch : text->text) {
        int x = 0, y = 0;
        if (int rc = font_draw_char(&pen, &x, &y, font, ch, add_stroke)) {
            plist_list_free(&runs);
            return rc;
        }
        pen.x += x / s;
        pen.y += y / s;
    }
    text->strokes = runs;
    return 0;
}
