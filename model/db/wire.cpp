// Line work classes: their fields' lifetimes, style references, copies and walks.
#include "model/db/wire.h"

#include "model/db/iter.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

RTC_CLASS_RECORD(WIRE, "WIRE", &object::rtc_class, 4, nullptr, &rtc_copy_slot<WIRE>,
                 &rtc_move_slot<WIRE>, true, true);
RTC_CLASS_RECORD(XPLINE, "XPLINE", &WIRE::rtc_class, 5, nullptr, &rtc_copy_slot<XPLINE>, nullptr,
                 true, true);
RTC_CLASS_RECORD(ELARC, "ELARC", &WIRE::rtc_class, 5, nullptr, &rtc_copy_slot<ELARC>, nullptr, true,
                 true);
RTC_CLASS_RECORD(HATCH, "HATCH", &WIRE::rtc_class, 5, nullptr, &rtc_copy_slot<HATCH>, nullptr, true,
                 true);
RTC_CLASS_RECORD(TEXT2, "TEXT2", &WIRE::rtc_class, 5, nullptr, &rtc_copy_slot<TEXT2>, nullptr, true,
                 true);

// Widens `box` by every node of an open or closed list: the points a walk of the list
// reports (walk_plist) as the box iterator takes them.
static void widen_by_list(const PointNode* list, BBox* box) {
    for (const PointNode* n = list; n; n = n->next == list ? nullptr : n->next) {
        if (n->x < box->min.x) box->min.x = n->x;
        if (n->y < box->min.y) box->min.y = n->y;
        if (n->z < box->min.z) box->min.z = n->z;
        if (n->x > box->max.x) box->max.x = n->x;
        if (n->y > box->max.y) box->max.y = n->y;
        if (n->z > box->max.z) box->max.z = n->z;
    }
}

// The same for every list of a list of point lists (walk_plist_list).
static void widen_by_lists(const PtrNode* lists, BBox* box) {
    for (const PtrNode* l = lists; l; l = l->next == lists ? nullptr : l->next)
        widen_by_list(static_cast<const PointNode*>(l->value), box);
}

static void notify_changed(ZOBJ* obj) {
    if (g_hook_object_changed) g_hook_object_changed(obj, 1);
}

// Replaces a line style and a second style reference of an object, each when it
// equals `old_ref`. A new reference is stored only where its class fits (null
// clears); the object-changed hook hears of any change. 1 when either referred to
// `old_ref` (also in the query form, new equal to old).
template <class Second>
static int replace_style_pair(ZOBJ* self, LINEPATT*& style, Second*& second, RTC* old_ref,
                              RTC* new_ref) {
    if (!old_ref) return 0;
    int found = 0;
    bool changed = false;
    if (static_cast<RTC*>(style) == old_ref) {
        found = 1;
        if (new_ref != old_ref && (!new_ref || rtc_is<LINEPATT>(new_ref))) {
            style = static_cast<LINEPATT*>(new_ref);
            changed = true;
        }
    }
    if (static_cast<RTC*>(second) == old_ref) {
        found = 1;
        if (new_ref != old_ref && (!new_ref || rtc_is<Second>(new_ref))) {
            second = static_cast<Second*>(new_ref);
            changed = true;
        }
    }
    if (changed) notify_changed(self);
    return found;
}

// ---- WIRE

WIRE::~WIRE() {
    list_free(&points);
    plist_list_free(&strokes);
}

int WIRE::replace_ref(RTC* old_ref, RTC* new_ref) {
    if (!old_ref || static_cast<RTC*>(line_style) != old_ref) return 0;
    if (new_ref == old_ref) return 1;
    if (!new_ref || rtc_is<LINEPATT>(new_ref)) {
        line_style = static_cast<LINEPATT*>(new_ref);
        notify_changed(this);
    }
    return 1;
}

int WIRE::report(ZITER* it) {
    if (strokes) return walk_plist_list(it, strokes);
    return walk_plist(it, points);
}

int WIRE::copy_level(const WIRE& src) {
    if (rtc_copy_base(&src, this, &WIRE::rtc_class) != 0) return kOutOfMemory;
    curve_step = src.curve_step;
    line_style = src.line_style;
    second = src.second;
    PointNode* pts = nullptr;
    PtrNode* strk = nullptr;
    if (plist_copy(&pts, src.points) != 0) return kOutOfMemory;
    if (plist_list_copy(&strk, src.strokes) != 0) {
        list_free(&pts);
        return kOutOfMemory;
    }
    list_free(&points);
    plist_list_free(&strokes);
    points = pts;
    strokes = strk;
    return 0;
}

void WIRE::move_level(WIRE& src) {
    curve_step = src.curve_step;
    line_style = src.line_style;
    second = src.second;
    list_free(&points);
    plist_list_free(&strokes);
    points = src.points;
    strokes = src.strokes;
    src.points = nullptr;
    src.strokes = nullptr;
}

// ---- XPLINE

XPLINE::~XPLINE() {
    list_free(&control);
}

int XPLINE::report(ZITER* it) {
    if (kind == 2) return walk_fan(it, control);
    if (strokes) return walk_plist_list(it, strokes);
    if (points) return walk_plist(it, points);
    return walk_plist(it, control);
}

void XPLINE::own_box() {
    BBox b = kEmptyBBox;
    if (kind == 2) {
        // A fan reports its points only when it makes a first triangle (walk_fan).
        const PointNode* c = control;
        if (c && c->next && c->next->next && c->next->next != c) widen_by_list(c, &b);
    } else if (strokes) {
        widen_by_lists(strokes, &b);
    } else {
        widen_by_list(points ? points : control, &b);
    }
    set_walked_box(b);
}

int XPLINE::copy_level(const XPLINE& src) {
    if (rtc_copy_base(&src, this, &XPLINE::rtc_class) != 0) return kOutOfMemory;
    PointNode* c = nullptr;
    if (plist_copy(&c, src.control) != 0) return kOutOfMemory;
    list_free(&control);
    control = c;
    kind = src.kind;
    return 0;
}

// ---- ELARC

ELARC::ELARC() {
    set_klass(&rtc_class);
    curve_step = deg_to_rad(15.0);
}

void ELARC::own_box() {
    BBox b = kEmptyBBox;
    if (strokes)
        widen_by_lists(strokes, &b);
    else
        widen_by_list(points, &b);
    set_walked_box(b);
}

int ELARC::copy_level(const ELARC& src) {
    if (rtc_copy_base(&src, this, &ELARC::rtc_class) != 0) return kOutOfMemory;
    flags = src.flags;
    centre = src.centre;
    axis1 = src.axis1;
    axis2 = src.axis2;
    start = src.start;
    end = src.end;
    return 0;
}

// ---- HATCH

HATCH::~HATCH() {
    for (auto& c : contours) plist_list_free(&c);
}

int HATCH::replace_ref(RTC* old_ref, RTC* new_ref) {
    return replace_style_pair(this, line_style, pattern, old_ref, new_ref);
}

int HATCH::report(ZITER* it) {
    if (it->points_only()) {
        if (strokes) return walk_plist_list(it, strokes);
        for (int i : {2, 0, 3, 1}) {
            if (int r = walk_fan_list(it, contours[i])) return r;
        }
        return 0;
    }
    if (pattern && !pattern_degenerate) return walk_plist_list(it, strokes);
    return walk_fan_list(it, contours[2]);
}

int HATCH::copy_level(const HATCH& src) {
    if (rtc_copy_base(&src, this, &HATCH::rtc_class) != 0) return kOutOfMemory;
    PtrNode* copies[4] = {nullptr, nullptr, nullptr, nullptr};
    for (int i = 0; i < 4; ++i) {
        if (plist_list_copy(&copies[i], src.contours[i]) != 0) {
            for (auto& c : copies) plist_list_free(&c);
            return kOutOfMemory;
        }
    }
    for (int i = 0; i < 4; ++i) {
        plist_list_free(&contours[i]);
        contours[i] = copies[i];
    }
    pattern = src.pattern;
    pattern_degenerate = src.pattern_degenerate;
    values[0] = src.values[0];
    values[1] = src.values[1];
    return 0;
}

// ---- TEXT2

int TEXT2::replace_ref(RTC* old_ref, RTC* new_ref) {
    return replace_style_pair(this, line_style, font, old_ref, new_ref);
}

int TEXT2::copy_level(const TEXT2& src) {
    if (rtc_copy_base(&src, this, &TEXT2::rtc_class) != 0) return kOutOfMemory;
    try {
        text = src.text;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    font = src.font;
    insert = src.insert;
    for (int i = 0; i < 6; ++i) {
        pairs[i] = src.pairs[i];
        layout[i] = src.layout[i];
    }
    word = src.word;
    return 0;
}
