// Shared pieces of the object records: kinds and name tags, point runs, headers,
// style references and the attribute chunks of the coded layout.
#include "model/file/records.h"

#include <cmath>

#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/math/plist.h"
#include "model/stream/iorec.h"
#include "model/stream/matchunk.h"

int32_t object_kind_code(const RTC* obj) {
    if (!obj) return -1;
    const RtcClass* k = obj->klass();
    if (k == &XPLINE::rtc_class) {
        const int32_t kind = static_cast<const XPLINE*>(obj)->kind;
        return kind >= 0 && kind <= 2 ? kind : -1;
    }
    if (k == &TEXT2::rtc_class) return kKindText;
    if (k == &MESH3::rtc_class) return kKindMesh;
    if (k == &HATCH::rtc_class) return kKindHatch;
    if (k == &ELARC::rtc_class) return kKindArc;
    if (k == &LINEPATT::rtc_class || k == &HATCHPATT::rtc_class || k == &FONTPATT::rtc_class ||
        k == &MATRPATT::rtc_class)
        return kKindStyle;
    if (k == &VPORT::rtc_class) return kKindViewport;
    if (k == &LIGHT::rtc_class || k == &SPOTLITE::rtc_class) return kKindLight;
    if (k == &CAMERA::rtc_class) return kKindCamera;
    if (k == &CONTAINER::rtc_class) return kKindContainer;
    if (k == &LAYER::rtc_class) return kKindLayer;
    if (k == &MODEL::rtc_class) return kKindModel;
    return -1;
}

uint32_t object_record_tag(const RTC* obj) {
    const int32_t kind = object_kind_code(obj);
    return kind < 0 ? kTagAnyClass : static_cast<uint32_t>(kind);
}

uint32_t name_chunk_tag(const RTC* obj) {
    return rtc_is<LAYER>(obj) || rtc_is<PATT>(obj) ? kTagName : kTagObjectName;
}

// ---- Writers

// The writers of every record pair io_chunk_begin and io_chunk_end themselves (a raise
// between them leaves the chunk open, as IoChunkWriter does, without its look-ups of
// the exception count).

void io_put_string_chunk(IOstream* s, const char* text, uint32_t tag) {
    ChunkMark c;
    io_chunk_begin(s, &c, tag);
    io_put_string(s, text);
    io_chunk_end(s);
}

int32_t io_width_fixed(float width) {
    if (width == 0.0f) return 0;  // most objects: spares the library's floor
    const double v = std::floor(static_cast<double>(width) * kAttributeScale + 0.5);
    if (!(v > -2147483648.0)) return INT32_MIN;  // also NaN
    if (v > 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(v);
}

void io_put_object_header(IOstream* s, const object* obj) {
    ChunkMark c;
    io_chunk_begin(s, &c, kTagObjectHeader);
    io_put_varint(s, static_cast<uint32_t>(obj->file_id));
    io_put_varint(s, static_cast<uint32_t>(io_width_fixed(obj->width)));
    io_put_varint(s, static_cast<uint32_t>(obj->colour));
    io_chunk_end(s);
}

void io_put_vec3(IOstream* s, const Vec3& p) {
    io_put_float(s, p.x);
    io_put_float(s, p.y);
    io_put_float(s, p.z);
}

Vec3 io_get_vec3(IOstream* s) {
    Vec3 p;
    p.x = static_cast<float>(io_get_float(s));
    p.y = static_cast<float>(io_get_float(s));
    p.z = static_cast<float>(io_get_float(s));
    return p;
}

void io_put_point_list(IOstream* s, const PointNode* list) {
    io_put_varint(s, static_cast<uint32_t>(plist_count(list)));
    const PointNode* n = list;
    while (n) {
        io_put_vec3(s, Vec3{n->x, n->y, n->z});
        n = n->next;
        if (n == list) break;
    }
}

void io_put_point_runs(IOstream* s, const PtrNode* lists, uint32_t tag) {
    if (!lists) return;
    IoChunkWriter c(s, tag);
    uint32_t count = 0;
    for (const PtrNode* l = lists; l; l = l->next) ++count;
    io_put_varint(s, count);
    for (const PtrNode* l = lists; l; l = l->next) {
        io_put_point_list(s, static_cast<const PointNode*>(l->value));
    }
}

namespace {

// Calls fn(first, count) for every run of points cut at kPointMoveNext; a node with
// the flag ends its run (it is the last point drawn before a move).
template <class Fn>
void for_each_run(const PointNode* list, Fn&& fn) {
    const PointNode* n = list;
    while (n) {
        const PointNode* first = n;
        uint32_t count = 0;
        for (;;) {
            ++count;
            const bool cut = n->flags & kPointMoveNext;
            n = n->next;
            if (n == list) n = nullptr;
            if (cut || !n) break;
        }
        fn(first, count);
    }
}

// A run's points that are finite (display geometry built from a damaged vertex may
// hold others; they are never written).
void put_run(IOstream* s, const PointNode* first, uint32_t count) {
    uint32_t kept = 0;
    const PointNode* n = first;
    for (uint32_t i = 0; i < count; ++i, n = n->next) kept += plist_point_finite(n) ? 1 : 0;
    io_put_varint(s, kept);
    n = first;
    for (uint32_t i = 0; i < count; ++i, n = n->next)
        if (plist_point_finite(n)) io_put_vec3(s, Vec3{n->x, n->y, n->z});
}

}  // namespace

void io_put_visible_runs(IOstream* s, const PtrNode* lists, const PointNode* single, uint32_t tag) {
    if (!lists && !single) return;
    ChunkMark c;
    io_chunk_begin(s, &c, tag);
    uint32_t runs = 0;
    auto count_runs = [&](const PointNode* l) {
        for_each_run(l, [&](const PointNode*, uint32_t) { ++runs; });
    };
    auto write_runs = [&](const PointNode* l) {
        for_each_run(l, [&](const PointNode* f, uint32_t n) { put_run(s, f, n); });
    };
    if (lists) {
        for (const PtrNode* l = lists; l; l = l->next)
            count_runs(static_cast<const PointNode*>(l->value));
        io_put_varint(s, runs);
        for (const PtrNode* l = lists; l; l = l->next)
            write_runs(static_cast<const PointNode*>(l->value));
    } else {
        count_runs(single);
        io_put_varint(s, runs);
        write_runs(single);
    }
    io_chunk_end(s);
}

bool io_wants_tracks(IOstream* s) {
    if (const IOrec* r = rtc_cast<IOrec>(s)) return !r->writing || r->tracks != 0;
    return true;
}

MODEL* io_target_model(IOstream* s) {
    const IOrec* r = rtc_cast<IOrec>(s);
    return r ? r->target_model : nullptr;
}

int32_t io_format_version(IOstream* s) {
    const IOrec* r = rtc_cast<IOrec>(s);
    return r ? r->version : -1;
}

bool io_find_chunk(IOstream* s, ChunkMark* mark, uint32_t tag) {
    while (io_chunk_inside(s)) {
        io_chunk_open(s, mark);
        if (mark->tag == tag) return true;
        io_chunk_close(s);
    }
    return false;
}

// ---- Readers

void io_get_points(IOstream* s, PointNode** list, uint64_t byte_count) {
    const uint64_t n = byte_count / 12;
    io_check_count(s, static_cast<int64_t>(n), 12);
    PendingPoints points;
    for (uint64_t i = 0; i < n; ++i) points.add(s, io_get_vec3(s));
    list_free(list);
    *list = points.release();
}

void io_get_point_lists(IOstream* s, PtrNode** lists) {
    const uint32_t runs = io_get_varint(s);
    io_check_count(s, runs, 1);  // every run takes at least its count byte
    // Appended in order: find the tail once.
    PtrNode** tail = lists;
    while (*tail) tail = &(*tail)->next;
    for (uint32_t r = 0; r < runs; ++r) {
        const uint32_t count = io_get_varint(s);
        io_check_count(s, count, 12);
        PendingPoints points;
        for (uint32_t i = 0; i < count; ++i) points.add(s, io_get_vec3(s));
        auto* node = new (std::nothrow) PtrNode{nullptr, nullptr};
        if (!node) io_raise(s, kOutOfMemory);
        node->value = points.release();
        *tail = node;
        tail = &node->next;
    }
}

void io_get_style_ref(IOstream* s, PATT** out, const RtcClass* cls) {
    io_get_style_by_name(s, io_target_model(s), out, cls);
}

namespace {

void read_header(IOstream* s, ZOBJ* obj, bool wire_double) {
    const int32_t id = io_get_varint_signed(s);
    const int32_t width = io_get_varint_signed(s);
    const int32_t colour = io_get_varint_signed(s);
    obj->file_id = id;
    load_note_object(obj);
    if (auto* o = rtc_cast<object>(obj)) {
        o->width = static_cast<float>(width / kAttributeScale);
        o->colour = colour;
    }
    if (wire_double) {
        if (auto* w = rtc_cast<WIRE>(obj)) w->curve_step = io_get_double(s);
    }
}

}  // namespace

void io_get_text(IOstream* s, ZOBJ* obj, int index) {
    const std::string text = io_get_string(s);
    if (text.empty() && !*obj->str(index)) return;  // most objects have no names
    if (obj->set_string(index, text.c_str()) != 0) io_raise(s, kOutOfMemory);
}

void io_get_attribute(IOstream* s, ZOBJ* obj, uint32_t tag) {
    if (tag == name_chunk_tag(obj)) {
        io_get_text(s, obj, 0);
        return;
    }
    switch (tag) {
        case kTagName: {  // 24 bytes, then the header of 1029
            if (auto* t = rtc_cast<TEXT2>(obj)) {
                for (float& f : t->pairs) f = static_cast<float>(io_get_float(s));
            } else {
                for (int i = 0; i < 3; ++i) io_get_double(s);
            }
            read_header(s, obj, true);
            break;
        }
        case kTagWireHeader:
            read_header(s, obj, true);
            break;
        case kTagObjectHeader:
            read_header(s, obj, false);
            break;
        case kTagRuns:
            if (auto* w = rtc_cast<WIRE>(obj); w && !rtc_is<XPLINE>(w) && !rtc_is<ELARC>(w)) {
                plist_list_free(&w->strokes);
                io_get_point_lists(s, &w->strokes);
            }
            break;
        case kTagLineStyle:
            if (auto* w = rtc_cast<WIRE>(obj)) {
                PATT* p = nullptr;
                io_get_style_ref(s, &p, &LINEPATT::rtc_class);
                w->line_style = static_cast<LINEPATT*>(p);
            }
            break;
        case kTagMaterial:
            if (auto* m = rtc_cast<MESH3>(obj)) {
                if (m->material) io_get_material(s, io_target_model(s), m->material);
            } else if (auto* c = rtc_cast<CAMERA>(obj)) {
                if (c->material) io_get_material(s, io_target_model(s), c->material);
            }
            break;
        case kTagTrack:
            if (auto* o = rtc_cast<object>(obj)) io_get_track(s, o);
            break;
        case kTagText1:
            io_get_text(s, obj, 1);
            break;
        case kTagText2:
            io_get_text(s, obj, 2);
            break;
        default:
            break;
    }
}
