// Records of the line-work leaf classes (XPLINE, ELARC, TEXT2, HATCH) and of stored
// viewpoints (VPORT). Polylines and arcs rebuild their display geometry after
// loading; texts and hatches take it back from the file.
#include <cmath>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/file/records.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"
#include "model/services/log.h"

namespace {


// Rebuilds the display geometry and the box of what was read; the box then stands
// when the object is placed. An object whose geometry cannot be built (a point that
// is not finite) is dropped by the container reader, not the whole drawing.
void regenerate(IOstream* s, object* obj) {
    const int rc = regen_object(obj);
    if (rc == kOutOfMemory) io_raise(s, kOutOfMemory);
    if (rc != 0) io_raise(s, kIoObjectNotRebuilt);
    if (LoadContext* ctx = load_context()) ctx->boxed = obj;
}

}  // namespace

// ---- XPLINE

// A vertex that is not finite cannot be drawn and would make the record unreadable:
// it is left out of what is written (the object in memory keeps it), with a warning
// naming the object.
int xpline_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &XPLINE::rtc_class);
    auto* x = static_cast<XPLINE*>(obj);
    ChunkMark c;
    io_chunk_begin(s, &c, static_cast<uint32_t>(x->kind));
    int dropped = 0;
    for (const PointNode* n = x->control; n;) {
        if (plist_point_finite(n))
            io_put_vec3(s, Vec3{n->x, n->y, n->z});
        else
            ++dropped;
        n = n->next;
        if (n == x->control) break;
    }
    io_chunk_end(s);
    if (dropped)
        log_message(LogLevel::warning, "drawing file: %d vertices that are not finite left out of the polyline \"%s\"",
                    dropped, x->name());
    return 0;
}

int xpline_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &XPLINE::rtc_class);
    auto* x = static_cast<XPLINE*>(obj);
    const bool is_coded = object_kind_code(obj) >= 0;
    if (!io_chunk_inside(s)) return 0;
    bool subtype_read = false;
    read_record(s, x, is_coded, [&](uint32_t tag, const ChunkMark& m) {
        // Coded records carry the subtype 0 to 2 as the tag. In the wrapped layout the
        // first chunk left after the shared levels is the subtype chunk, whatever its
        // tag: the subtype is any 32-bit value (-1 is the tag FF FF FF FF 0F).
        const bool subtype_chunk = is_coded ? tag <= 2 : !subtype_read;
        if (subtype_chunk) {
            io_get_points(s, &x->control, m.length);
            x->kind = static_cast<int32_t>(tag);
            if (tag == 2) contour_make_cw(&x->control);
            subtype_read = true;
            return true;
        }
        if (tag == kTagSecondDouble) {
            x->second = io_get_double(s);
            return true;
        }
        return false;
    });
    // A polyline with a vertex that is not finite cannot be drawn or rebuilt.
    if (!plist_finite(x->control)) io_raise(s, kIoObjectNotRebuilt);
    regenerate(s, x);
    return 0;
}

// ---- ELARC

int elarc_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &ELARC::rtc_class);
    auto* a = static_cast<ELARC*>(obj);
    ChunkMark c;
    io_chunk_begin(s, &c, kKindArc);
    io_put_vec3(s, a->centre);
    io_put_vec3(s, a->axis1);
    io_put_vec3(s, a->axis2);
    io_put_double(s, a->start);
    io_put_double(s, a->end);
    io_put_varint(s, static_cast<uint32_t>(a->flags));
    io_chunk_end(s);
    return 0;
}

void elarc_read_body(IOstream* s, ELARC* a) {
    a->centre = io_get_vec3(s);
    a->axis1 = io_get_vec3(s);
    a->axis2 = io_get_vec3(s);
    a->start = io_get_double(s);
    a->end = io_get_double(s);
    a->flags = io_get_varint_signed(s);
    // Any finite angle is an arc (regeneration bounds its points); not finite is damage.
    if (!std::isfinite(a->start) || !std::isfinite(a->end)) io_raise(s, kBadArgument);
}

int elarc_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &ELARC::rtc_class);
    auto* a = static_cast<ELARC*>(obj);
    read_record(s, a, object_kind_code(obj) >= 0, [&](uint32_t tag, const ChunkMark&) {
        if (tag == kKindArc)
            elarc_read_body(s, a);
        else if (tag == kTagSecondDouble)
            a->second = io_get_double(s);
        else
            return false;
        return true;
    });
    regenerate(s, a);
    return 0;
}

// ---- TEXT2

int text2_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &TEXT2::rtc_class);
    auto* t = static_cast<TEXT2*>(obj);
    IoChunkWriter c(s, kKindText);
    io_put_vec3(s, t->insert);
    for (double d : t->layout) io_put_double(s, d);
    io_put_varint(s, static_cast<uint32_t>(t->word));
    if (object_kind_code(obj) < 0) {
        for (float f : t->pairs) io_put_float(s, f);
    }
    io_put_string_chunk(s, t->text.c_str(), 0);
    io_put_string_chunk(s, t->font ? t->font->name() : "", 1);
    return 0;
}

int text2_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &TEXT2::rtc_class);
    auto* t = static_cast<TEXT2*>(obj);
    const bool is_coded = object_kind_code(obj) >= 0;
    read_record(s, t, is_coded, [&](uint32_t tag, const ChunkMark&) {
        if (tag == kTagSecondDouble) {
            t->second = io_get_double(s);
            return true;
        }
        if (tag != kKindText) return false;
        t->insert = io_get_vec3(s);
        for (double& d : t->layout) d = io_get_double(s);
        t->word = io_get_varint_signed(s);
        if (!is_coded) {
            for (float& f : t->pairs) f = static_cast<float>(io_get_float(s));
        }
        while (io_chunk_inside(s)) {
            IoChunkReader sub(s);
            if (sub.tag() == 0) {
                t->text = io_get_string(s);
            } else if (sub.tag() == 1) {
                PATT* p = nullptr;
                io_get_style_ref(s, &p, &FONTPATT::rtc_class);
                t->font = static_cast<FONTPATT*>(p);
            }
        }
        return true;
    });
    // A font the drawing does not have (or none named at all) is the default font.
    if (!t->font)
        t->font = static_cast<FONTPATT*>(
            model_find_patt(io_target_model(s), "DEFAULT", &FONTPATT::rtc_class));
    return 0;
}

// ---- HATCH

int hatch_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &HATCH::rtc_class);
    auto* h = static_cast<HATCH*>(obj);
    IoChunkWriter c(s, kKindHatch);
    io_put_double(s, h->values[0]);
    io_put_double(s, h->values[1]);
    if (h->pattern) io_put_string_chunk(s, h->pattern->name(), 0);
    for (uint32_t i = 0; i < 4; ++i) io_put_point_runs(s, h->contours[i], i + 1);
    return 0;
}

int hatch_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &HATCH::rtc_class);
    auto* h = static_cast<HATCH*>(obj);
    read_record(s, h, object_kind_code(obj) >= 0, [&](uint32_t tag, const ChunkMark&) {
        if (tag == kTagSecondDouble) {
            h->second = io_get_double(s);
            return true;
        }
        if (tag != kKindHatch) return false;
        h->values[0] = io_get_double(s);
        h->values[1] = io_get_double(s);
        while (io_chunk_inside(s)) {
            IoChunkReader sub(s);
            if (sub.tag() == 0) {
                PATT* p = nullptr;
                io_get_style_ref(s, &p, &HATCHPATT::rtc_class);
                h->pattern = static_cast<HATCHPATT*>(p);
            } else if (sub.tag() >= 1 && sub.tag() <= 4) {
                PtrNode** set = &h->contours[sub.tag() - 1];
                plist_list_free(set);
                io_get_point_lists(s, set);
            }
        }
        return true;
    });
    // The strokes come from the file: a pattern that drew nothing shows the fill, as it
    // did before the hatch was saved.
    h->pattern_degenerate = h->pattern && !h->strokes;
    return 0;
}

// ---- VPORT

int vport_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &VPORT::rtc_class);
    auto* v = static_cast<VPORT*>(obj);
    IoChunkWriter c(s, kKindViewport);
    if (object_kind_code(obj) >= 0) io_put_string_chunk(s, v->name(), 0);
    IoChunkWriter params(s, 1);
    for (double d : v->params) io_put_double(s, d);
    return 0;
}

int vport_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &VPORT::rtc_class);
    auto* v = static_cast<VPORT*>(obj);
    read_record(s, v, object_kind_code(obj) >= 0, [&](uint32_t tag, const ChunkMark&) {
        if (tag != kKindViewport) return false;
        while (io_chunk_inside(s)) {
            IoChunkReader sub(s);
            if (sub.tag() == 0) {
                const std::string name = io_get_string(s);
                if (v->set_string(0, name.c_str()) != 0) io_raise(s, kOutOfMemory);
            } else if (sub.tag() == 1) {
                for (double& d : v->params) d = io_get_double(s);
            }
        }
        return true;
    });
    return 0;
}
