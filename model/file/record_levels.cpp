// The shared class levels of every drawing record: ZOBJ (file id, name and two more
// texts), object (width, colour, keyframe tracks) and WIRE (resolution, line style,
// display runs, pattern scale), in the coded and the wrapped layout.
#include "model/db/patt.h"
#include "model/db/wire.h"
#include "model/file/load_context.h"
#include "model/file/records.h"

namespace {

bool coded(const RTC* obj) {
    return object_kind_code(obj) >= 0;
}

}  // namespace

// ---- ZOBJ

int zobj_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &ZOBJ::rtc_class);
    auto* z = static_cast<ZOBJ*>(obj);
    const bool wrapped = !coded(obj);
    ChunkMark mark;
    if (wrapped) {
        io_chunk_begin(s, &mark, kTagWrapped);
        io_put_varint(s, static_cast<uint32_t>(z->file_id));
    }
    io_put_string_chunk(s, z->str(0), name_chunk_tag(obj));
    io_put_string_chunk(s, z->str(1), kTagText1);
    io_put_string_chunk(s, z->str(2), kTagText2);
    return wrapped ? io_chunk_end(s) : 0;
}

int zobj_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &ZOBJ::rtc_class);
    auto* z = static_cast<ZOBJ*>(obj);
    ChunkMark level;
    if (auto* x = rtc_cast<XPLINE>(obj); x && s->chunks && s->chunks->tag == kTagAnyClass) {
        // A polyline's layout follows its subtype, which is read only later: a record
        // without a kind tag tells by its first chunk (the wrapped layout's level chunk
        // 0, or the coded layout's name).
        if (!io_chunk_inside(s)) return 0;
        io_chunk_open(s, &level);
        if (level.tag != kTagWrapped) {
            io_get_attribute(s, z, level.tag);
            io_chunk_close(s);
            return 0;
        }
        x->kind = -1;  // wrapped until its subtype chunk says which
    } else {
        if (coded(obj)) return 0;
        if (!io_find_chunk(s, &level, kTagWrapped)) return 0;
    }
    z->file_id = io_get_varint_signed(s);
    load_note_object(z);
    const uint32_t name_tag = name_chunk_tag(obj);
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        if (c.tag() == name_tag)
            io_get_text(s, z, 0);
        else if (c.tag() == kTagText1)
            io_get_text(s, z, 1);
        else if (c.tag() == kTagText2)
            io_get_text(s, z, 2);
    }
    io_chunk_close(s);
    return 0;
}

// ---- object

int object_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &object::rtc_class);
    auto* o = static_cast<object*>(obj);
    if (coded(obj)) {
        if (io_wants_tracks(s)) io_put_tracks(s, o);
        return 0;
    }
    IoChunkWriter level(s, kTagWrapped);
    io_put_float(s, o->width);
    io_put_varint(s, static_cast<uint32_t>(o->colour));
    if (io_wants_tracks(s)) io_put_tracks(s, o);
    return 0;
}

int object_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &object::rtc_class);
    if (coded(obj)) return 0;
    auto* o = static_cast<object*>(obj);
    ChunkMark level;
    if (!io_find_chunk(s, &level, kTagWrapped)) return 0;
    o->width = static_cast<float>(io_get_float(s));
    o->colour = io_get_varint_signed(s);
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        if (c.tag() == kTagTrack) io_get_track(s, o);
    }
    io_chunk_close(s);
    return 0;
}

// ---- WIRE

int wire_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &WIRE::rtc_class);
    auto* w = static_cast<WIRE*>(obj);
    const bool wrapped = !coded(obj);
    ChunkMark mark;
    if (wrapped) {
        io_chunk_begin(s, &mark, kTagWrapped);
        io_put_float(s, w->curve_step);
    }
    if (w->line_style) io_put_string_chunk(s, w->line_style->name(), kTagLineStyle);
    if (rtc_is<XPLINE>(w) || rtc_is<ELARC>(w)) {
        io_put_visible_runs(s, w->strokes, w->strokes ? nullptr : w->points, kTagRuns);
    } else {
        io_put_point_runs(s, w->strokes, kTagRuns);
    }
    if (wrapped) {
        // The pattern scale goes into a chunk of its own inside the level chunk, where
        // the reader looks for it.
        {
            IoChunkWriter c(s, kTagSecondDouble);
            io_put_double(s, w->second);
        }
        return io_chunk_end(s);
    }
    // Chunks paired by hand (see io_put_string_chunk).
    const bool boxed = rtc_is<TEXT2>(w) || rtc_is<HATCH>(w);
    io_chunk_begin(s, &mark, boxed ? kTagName : kTagWireHeader);
    if (boxed) {
        if (auto* t = rtc_cast<TEXT2>(w)) {
            for (float f : t->pairs) io_put_float(s, f);
        } else {
            for (int i = 0; i < 3; ++i) io_put_double(s, 0.0);
        }
    }
    io_put_varint(s, static_cast<uint32_t>(w->file_id));
    io_put_varint(s, static_cast<uint32_t>(io_width_fixed(w->width)));
    io_put_varint(s, static_cast<uint32_t>(w->colour));
    io_put_double(s, w->curve_step);
    io_chunk_end(s);
    io_chunk_begin(s, &mark, kTagSecondDouble);
    io_put_double(s, w->second);
    io_chunk_end(s);
    return 0;
}

int wire_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &WIRE::rtc_class);
    if (coded(obj)) return 0;
    auto* w = static_cast<WIRE*>(obj);
    ChunkMark level;
    if (!io_find_chunk(s, &level, kTagWrapped)) return 0;
    w->curve_step = io_get_float(s);
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        switch (c.tag()) {
            case kTagRuns:
                plist_list_free(&w->strokes);
                io_get_point_lists(s, &w->strokes);
                break;
            case kTagLineStyle: {
                PATT* p = nullptr;
                io_get_style_ref(s, &p, &LINEPATT::rtc_class);
                w->line_style = static_cast<LINEPATT*>(p);
                break;
            }
            case kTagSecondDouble:
                w->second = io_get_double(s);
                break;
            default:
                break;
        }
    }
    io_chunk_close(s);
    return 0;
}
