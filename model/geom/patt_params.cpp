// Bulk change of a tree's style and style parameters (the property commands):
// every object below the root takes the new style where its class fits and the
// values the caller gave, then is regenerated.
#include <cmath>

#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"

namespace {

// Angles may be negative; values at or below this leave an angle unchanged.
constexpr double kAngleUnset = -4.0;

struct WalkState {
    PattParams params;
    int first_error = 0;
};

void apply_style(object* obj, const PattParams& p) {
    if (HATCH* h = rtc_cast<HATCH>(obj)) {
        if (rtc_is<HATCHPATT>(p.style)) h->pattern = static_cast<HATCHPATT*>(p.style);
        if (p.c >= 0) h->values[0] = p.c;
        if (p.b > kAngleUnset) h->values[1] = p.b;
    } else if (TEXT2* t = rtc_cast<TEXT2>(obj)) {
        if (rtc_is<FONTPATT>(p.style)) t->font = static_cast<FONTPATT*>(p.style);
        if (p.c > kAngleUnset) t->layout[kText2Slant] = p.c;
        if (p.b > kAngleUnset) t->layout[kText2Direction] = p.b;
        if (p.d >= 0) t->layout[kText2Width] = p.d;
        if (p.e >= 0) t->layout[kText2Height] = p.e;
    }
    if (WIRE* w = rtc_cast<WIRE>(obj); w && rtc_is<LINEPATT>(p.style))
        w->line_style = static_cast<LINEPATT*>(p.style);
}

// True when the values would change nothing regeneration reads.
bool wire_unchanged(const WIRE* w, const PattParams& p) {
    if (w->curve_step != p.c) return false;
    if (p.f >= 0 && p.f != w->second) return false;
    if (rtc_is<ELARC>(w) && p.b >= 0 && p.b != w->curve_step) return false;
    return true;
}

int visit(ZOBJ* zobj, void* arg) {
    WalkState* st = static_cast<WalkState*>(arg);
    object* obj = rtc_cast<object>(zobj);
    if (!obj) return 0;
    const PattParams& p = st->params;
    if (p.style) apply_style(obj, p);
    if (p.a >= 0) obj->width = static_cast<float>(p.a);
    if (WIRE* w = rtc_cast<WIRE>(obj)) {
        if (!p.style && wire_unchanged(w, p)) {
            obj_update_bbox(obj);
            return 0;
        }
        if (rtc_is<ELARC>(w)) {
            if (p.b >= 0) w->curve_step = p.b;
        } else {
            if (p.c >= 0) w->curve_step = p.c;
            if (p.f >= 0) w->second = p.f;
        }
    }
    int rc = regen_object(obj);
    st->params.last = rc;
    if (rc && !st->first_error) st->first_error = rc;
    return 0;  // go on with the other objects
}

}  // namespace

int objects_set_patt_params(ZOBJ* tree, PATT* style, double a, double b, double c, double d,
                            double e, double f) {
    if (!tree) return 0;
    if (!style && a < 0 && b == 0 && c == 0) return 0;
    WalkState st;
    PattParams& p = st.params;
    p.style = style;
    auto take = [](double v) { return v >= 0 ? v : -1.0; };
    // Angles are taken as given (a negative angle is a real angle).
    auto take_angle = [](double v) { return std::isfinite(v) ? v : -1.0; };
    p.a = take(a);
    if (rtc_is<HATCH>(tree)) {
        p.c = take(c);
        p.b = take_angle(b);
    } else if (rtc_is<TEXT2>(tree)) {
        p.c = take_angle(c);
        p.b = take_angle(b);
        p.d = take(d);
        p.e = take(e);
    } else {
        p.f = take(f);
        p.b = take(b);
        p.c = take(c);
    }
    container_walk(tree, visit, &st, true);
    return st.first_error ? st.first_error : p.last;
}
