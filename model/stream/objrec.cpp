// Object records: the class-name chunk, making an object of the named class, and the
// class-level save and load chains that write and read every level's data, root-most
// level first.
#include <cstring>
#include <string>
#include <unordered_map>

#include "model/db/find.h"
#include "model/db/zobj.h"
#include "model/stream/iostream.h"

void io_set_class_methods(RtcClass* cls, RtcIoMethod save, RtcIoMethod load) {
    if (!cls) return;
    cls->save = save;
    cls->load = load;
}

namespace {

inline RtcIoMethod level_save(const RtcClass* c) {
    return c->has_save ? c->save : nullptr;
}
inline RtcIoMethod level_load(const RtcClass* c) {
    return c->has_load ? c->load : nullptr;
}

int run_chain(IOstream* s, RTC* obj, RtcIoMethod (*pick)(const RtcClass*)) {
    if (!obj) return 0;
    const RtcClass* cls = obj->klass();
    const int depth = cls->depth.load(std::memory_order_acquire);
    for (int d = depth; d >= 0; --d) {
        if (RtcIoMethod m = pick(cls->ancestors[d])) return m(s, obj);
    }
    return 0;
}

int run_base(IOstream* s, RTC* obj, const RtcClass* cls, RtcIoMethod (*pick)(const RtcClass*)) {
    if (!cls || !rtc_is_a(obj, cls)) return 0;
    const int d = cls->depth.load(std::memory_order_acquire);
    if (d == 0) return 1;
    const RtcClass* base = obj->klass()->ancestors[d - 1];
    if (RtcIoMethod m = pick(base)) return m(s, obj);
    return 1;
}

}  // namespace

int rtc_save(IOstream* s, RTC* obj) {
    return run_chain(s, obj, &level_save);
}
int rtc_load(IOstream* s, RTC* obj) {
    return run_chain(s, obj, &level_load);
}
int rtc_save_base(IOstream* s, RTC* obj, const RtcClass* cls) {
    return run_base(s, obj, cls, &level_save);
}
int rtc_load_base(IOstream* s, RTC* obj, const RtcClass* cls) {
    return run_base(s, obj, cls, &level_load);
}

namespace {

// Class lookup by name for the reader, which asks for the same few names again and
// again. Only classes found are remembered: a class once set up stays set up.
RtcClass* find_class_cached(const std::string& name) {
    // Records of a few classes mostly follow each other: the last answers are tried
    // first.
    struct Recent {
        std::string name;
        RtcClass* cls = nullptr;
    };
    constexpr unsigned kRecent = 4;
    thread_local Recent recent[kRecent];
    thread_local unsigned next_slot = 0;
    for (const Recent& r : recent) {
        if (r.cls && r.name == name) return r.cls;
    }
    thread_local std::unordered_map<std::string, RtcClass*> cache;
    RtcClass* cls = nullptr;
    if (auto it = cache.find(name); it != cache.end()) {
        cls = it->second;
    } else {
        cls = rtc_find_class(name.c_str());
        if (!cls) return nullptr;
        cache.emplace(name, cls);
    }
    Recent& r = recent[next_slot++ % kRecent];
    r.name = name;
    r.cls = cls;
    return cls;
}

}  // namespace

bool io_is_drawing_class(const RtcClass* cls) {
    if (!cls) return false;
    if (rtc_class_is(cls, &ZSVIEW::rtc_class)) return true;
    return rtc_class_is(cls, &ZOBJ::rtc_class) && !rtc_class_is(cls, &MODEL::rtc_class);
}

int io_put_object(IOstream* s, RTC* obj, uint32_t tag) {
    if (!obj) io_raise(s, kBadArgument);
    // Chunks paired by hand: a raise between begin and end leaves them open, as
    // IoChunkWriter would, without its look-ups of the exception count.
    ChunkMark record, name;
    io_chunk_begin(s, &record, tag);
    io_chunk_begin(s, &name, kIoClassNameTag);
    io_put_string(s, obj->klass()->name);
    io_chunk_end(s);
    rtc_save(s, obj);
    io_chunk_end(s);
    return 0;
}

RtcClass* io_get_record_class(IOstream* s) {
    std::string name;
    {
        ChunkMark chunk;  // closed here; a raise leaves it open, as IoChunkReader does
        io_chunk_open(s, &chunk);
        if (chunk.tag != kIoClassNameTag) io_raise(s, kIoNoClassChunk);
        name = io_get_string(s);
        io_chunk_close(s);
    }
    // Every class is named in printable letters: an empty name, or one holding a zero
    // or other control byte, is a damaged record (zeroed bytes), never a class this
    // program merely does not know, so it is not skipped as one.
    if (name.empty()) io_raise(s, kBadArgument);
    for (unsigned char ch : name) {
        if (ch < 0x20 || ch >= 0x7f) io_raise(s, kBadArgument);
    }
    RtcClass* cls = find_class_cached(name);
    // A file may name any class; only the classes of a drawing are made from it.
    return cls && io_is_drawing_class(cls) ? cls : nullptr;
}

void io_get_object_of(IOstream* s, RtcClass* cls, std::unique_ptr<RTC>& out) {
    out.reset();
    std::unique_ptr<RTC> obj;
    const int r = rtc_init(obj, cls);
    if (r != 0) io_raise(s, r);
    rtc_load(s, obj.get());  // a raise destroys the half-read object with `obj`
    out = std::move(obj);
}

void io_get_object(IOstream* s, std::unique_ptr<RTC>& out) {
    out.reset();
    RtcClass* cls = io_get_record_class(s);
    if (!cls) io_raise(s, kIoUnknownClass);
    io_get_object_of(s, cls, out);
}
