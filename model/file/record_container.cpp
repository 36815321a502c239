// Records of containers, layers and the model: their children as object records,
// the block label, the sign of the current layout (chunk 125), and the records of
// the older layout of version 112 files written before that sign existed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/file/save_context.h"
#include "model/services/log.h"
#include "model/services/utf8.h"
#include "model/stream/iorec.h"

namespace {

constexpr int32_t kCurrentLayout = 113;
// Records nest no deeper than the writers write; deeper nesting is refused (13)
// rather than read. The count covers every open record of the thread's current load.
constexpr int kMaxNesting = kMaxRecordNesting;
thread_local int g_nesting = 0;

void enter_record(IOstream* s) {
    if (++g_nesting > kMaxNesting) {
        --g_nesting;
        io_raise(s, kBadArgument);
    }
}

bool is_kind_tag(uint32_t tag) {
    switch (tag) {
        case 0:
        case 1:
        case 2:
        case 5:
        case 6:
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
        case 16:
        case 17:
            return true;
        default:
            return false;
    }
}

RtcClass* older_class(uint32_t kind) {
    switch (kind) {
        case 0:
        case 1:
        case 2:
            return &XPLINE::rtc_class;
        case 5:
            return &TEXT2::rtc_class;
        case 6:
            return &MESH3::rtc_class;
        case 8:
            return &HATCH::rtc_class;
        case 9:
            return &ELARC::rtc_class;
        case 11:
            return &VPORT::rtc_class;
        case 13:
            return &CAMERA::rtc_class;
        case 16:
            return &CONTAINER::rtc_class;
        case 17:
            return &LAYER::rtc_class;
        default:
            return nullptr;
    }
}

// A kind 12 record of the older layout: the light is made by its chunk 12.
std::unique_ptr<RTC> read_older_light(IOstream* s) {
    std::unique_ptr<RTC> made;
    int32_t id = 0, width = 0, colour = 0;
    bool header = false;
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        switch (c.tag()) {
            case kKindLight:
                light_read_chunk12(s, nullptr, &made);
                break;
            case kTagName:
                for (int i = 0; i < 3; ++i) io_get_double(s);
                [[fallthrough]];
            case kTagWireHeader:
            case kTagObjectHeader:
                id = io_get_varint_signed(s);
                width = io_get_varint_signed(s);
                colour = io_get_varint_signed(s);
                if (c.tag() != kTagObjectHeader) io_get_double(s);
                header = true;
                break;
            default:
                break;
        }
    }
    if (!made) io_raise(s, kBadArgument);
    auto* light = static_cast<LIGHT*>(made.get());
    if (header) {
        light->file_id = id;
        light->width = static_cast<float>(width / kAttributeScale);
        light->colour = colour;
    }
    load_note_object(light);
    return made;
}

// A kind 10 record of the older layout: the style is made by its body chunk.
std::unique_ptr<RTC> read_older_style(IOstream* s) {
    std::unique_ptr<RTC> style;
    std::string name;
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        RtcClass* cls = nullptr;
        switch (c.tag()) {
            case kTagName:
                name = io_get_string(s);
                continue;
            case 0:
                cls = &LINEPATT::rtc_class;
                break;
            case 1:
                cls = &HATCHPATT::rtc_class;
                break;
            case 2:
                cls = &FONTPATT::rtc_class;
                break;
            case 3:
                cls = &MATRPATT::rtc_class;
                break;
            default:
                continue;
        }
        std::unique_ptr<RTC> made;
        const int r = rtc_init(made, cls);
        if (r != 0) io_raise(s, r);
        switch (c.tag()) {
            case 0:
                linepatt_read_dashes(s, &static_cast<LINEPATT*>(made.get())->dashes);
                break;
            case 1:
                hatchpatt_read_lines(s, static_cast<HATCHPATT*>(made.get()));
                break;
            case 2:
                fontpatt_read_font(s, static_cast<FONTPATT*>(made.get()));
                break;
            default:
                matrpatt_read_image(s, static_cast<MATRPATT*>(made.get()));
                break;
        }
        style = std::move(made);
    }
    if (!style) io_raise(s, kBadArgument);
    if (static_cast<ZOBJ*>(style.get())->set_string(0, name.c_str()) != 0)
        io_raise(s, kOutOfMemory);
    return style;
}

void store_label(IOstream* s) {
    const std::string label = io_get_string(s);
    IOrec* rec = rtc_cast<IOrec>(s);
    if (!rec) return;
    if (rec->label_buffer && rec->label_size > 0) {
        utf8_copy(rec->label_buffer, rec->label_size, label);
    }
    if (rec->info_only) io_raise(s, kIoStopAfterLabel);
}

// Groups and layers are read by one loop with a frame per open container record, not
// by a call per nesting level: records nest as deep as a file may hold (kMaxRecordNesting)
// on any stack. The loop reads what the recursive form would, in the same order, with
// the same results:
//  - a child record is read whole (its own record chunk, its children) and then placed
//    into its container (load_place_object); a record that fails is not placed;
//  - a record of the current layout whose class no drawing bears, or whose reading
//    raises -11 anywhere that no inner record of the current layout catches, is
//    skipped and reading goes on after it;
//  - every other raise ends the load.
struct ReadFrame {
    CONTAINER* c = nullptr;
    std::unique_ptr<RTC> owned;  // the container read (null for the outermost)
    int32_t kind = -1;
    uint32_t name_tag = 0;
    ChunkMark* open = nullptr;  // the stream's open chunks when the record began
    bool guarded = false;       // a current-layout record: -11 inside skips it
    bool in_group = false;      // inside the container's group chunk (kind 16)
    ChunkMark a, b;             // the open chunk of this level and of its group chunk
};

class ContainerReader {
  public:
    explicit ContainerReader(IOstream* s) : s_(s), entry_nesting_(g_nesting) {}
    ~ContainerReader() { g_nesting = entry_nesting_; }

    void run(CONTAINER* top) {
        frames_.emplace_back();
        ReadFrame& f = frames_.back();
        f.c = top;
        f.kind = object_kind_code(top);
        f.name_tag = name_chunk_tag(top);
        while (!frames_.empty()) {
            try {
                step(frames_.back());
            } catch (const IoError& e) {
                if (e.code != kIoUnknownClass || !skip_guarded()) throw;
            }
        }
    }

  private:
    // One chunk of the innermost frame, or its end.
    void step(ReadFrame& f) {
        if (f.in_group) {
            if (!io_chunk_inside(s_)) {
                io_chunk_close(s_);  // the group chunk
                f.in_group = false;
                return;
            }
            io_chunk_open(s_, &f.b);
            const uint32_t tag = f.b.tag;
            if (tag == kTagAnyClass || (is_kind_tag(tag) && tag != kKindStyle)) {
                if (read_child(f, tag, true)) return;  // its chunk closes when it is done
            }
            io_chunk_close(s_);
            return;
        }
        if (!io_chunk_inside(s_)) {
            finish();
            return;
        }
        io_chunk_open(s_, &f.a);
        const uint32_t tag = f.a.tag;
        if (tag == f.name_tag) {
            const std::string name = io_get_string(s_);
            if (f.c->set_string(0, name.c_str()) != 0) io_raise(s_, kOutOfMemory);
        } else if (tag == kTagCurrentLayout) {
            if (IOrec* rec = rtc_cast<IOrec>(s_)) rec->version = kCurrentLayout;
        } else if (tag == kKindContainer && f.kind == kKindContainer) {
            f.in_group = true;  // the chunk stays open for its children
            return;
        } else if (tag == kTagAnyClass || is_kind_tag(tag)) {
            if (read_child(f, tag, false)) return;
        } else if (tag == kTagLabel) {
            store_label(s_);
        } else if (f.kind >= 0) {
            io_get_attribute(s_, f.c, tag);
        }
        io_chunk_close(s_);
    }

    // The innermost frame's record is complete: place it and close the chunk that held
    // it in its container's record.
    void finish() {
        std::unique_ptr<RTC> done = std::move(frames_.back().owned);
        frames_.pop_back();
        if (frames_.empty()) return;  // the outermost container: its caller closes
        --g_nesting;
        load_place_object(s_, frames_.back().c, std::move(done));
        io_chunk_close(s_);
    }

    // After -11 inside a current-layout record: that record (and what it was reading)
    // is dropped and reading goes on after it. False when no such record is open.
    bool skip_guarded() {
        size_t i = frames_.size();
        while (i > 1 && !frames_[i - 1].guarded) --i;
        if (i <= 1) return false;
        ChunkMark* open = frames_[i - 1].open;
        while (frames_.size() >= i) {
            frames_.pop_back();
            --g_nesting;
        }
        s_->chunks = open;
        s_->error_code = 0;
        io_chunk_close(s_);  // the chunk that held the record
        return true;
    }

    // A child record in the chunk just opened with `tag`. True when it opened a frame
    // (a group or layer, read by the loop); otherwise it is read and placed here and
    // the caller closes its chunk.
    bool read_child(ReadFrame& f, uint32_t tag, bool in_group) {
        IOrec* rec = rtc_cast<IOrec>(s_);
        if (rec && rec->info_only) return false;
        enter_record(s_);
        struct Leave {
            bool armed = true;
            ~Leave() {
                if (armed) --g_nesting;
            }
        } leave;
        std::unique_ptr<RTC> child;
        if (LoadContext* ctx = load_context()) ctx->boxed = nullptr;  // none read yet
        if (tag == kTagAnyClass || io_format_version(s_) >= kCurrentLayout) {
            ChunkMark* const open = s_->chunks;
            RtcClass* cls = io_get_record_class(s_);
            if (cls && is_read_by_loop(cls)) {
                push(cls, open, true);
                leave.armed = false;  // the frame holds the count now
                rtc_load_base(s_, frames_.back().c, &CONTAINER::rtc_class);
                return true;
            }
            const int r = io_guarded([&] {
                if (!cls) io_raise(s_, kIoUnknownClass);
                io_get_object_of(s_, cls, child);
            });
            if (r == kIoUnknownClass || r == kIoObjectNotRebuilt) {
                // A class this program does not know (or may not make from a file), or an
                // object that cannot be rebuilt: skip the record and read on.
                if (r == kIoObjectNotRebuilt) load_note_skipped(cls->name);
                s_->chunks = open;
                s_->error_code = 0;
                return false;
            }
            if (r != 0) io_raise(s_, r);
        } else if (tag == kKindLight) {
            child = read_older_light(s_);
        } else if (tag == kKindStyle) {
            if (in_group) return false;
            child = read_older_style(s_);
        } else {
            RtcClass* cls = older_class(tag);
            if (!cls) return false;
            // Every record of this layout carries its levels' chunks: an empty one is
            // zeroed bytes, not an object.
            if (s_->chunks->length == 0) io_raise(s_, kBadArgument);
            if (is_read_by_loop(cls)) {
                push(cls, s_->chunks, false);
                leave.armed = false;  // the frame holds the count now
                rtc_load_base(s_, frames_.back().c, &CONTAINER::rtc_class);
                return true;
            }
            const int r = rtc_init(child, cls);
            if (r != 0) io_raise(s_, r);
            ChunkMark* const open = s_->chunks;
            const int l = io_guarded([&] { rtc_load(s_, child.get()); });
            if (l == kIoObjectNotRebuilt) {
                load_note_skipped(cls->name);
                s_->chunks = open;
                s_->error_code = 0;
                return false;
            }
            if (l != 0) io_raise(s_, l);
        }
        load_place_object(s_, f.c, std::move(child));
        return false;
    }

    // Groups and layers: their load chain is the container level's alone.
    static bool is_read_by_loop(const RtcClass* cls) {
        return cls == &CONTAINER::rtc_class || cls == &LAYER::rtc_class;
    }

    // Makes the container and opens its frame; the caller reads the levels below the
    // container's.
    void push(RtcClass* cls, ChunkMark* open, bool guarded) {
        std::unique_ptr<RTC> made;
        const int r = rtc_init(made, cls);
        if (r != 0) io_raise(s_, r);
        frames_.emplace_back();
        ReadFrame& f = frames_.back();
        f.c = static_cast<CONTAINER*>(made.get());
        f.owned = std::move(made);
        f.kind = object_kind_code(f.c);
        f.name_tag = name_chunk_tag(f.c);
        f.open = open;
        f.guarded = guarded;
    }

    IOstream* s_;
    int entry_nesting_;
    std::deque<ReadFrame> frames_;  // a deque: the stream links the open marks
};

// Asks for the first cache lines of the object after `n` in its ring, and for the
// first point nodes of the one after `n` when it is line work: the walk over a large
// drawing goes from one scattered object to the next, and writing one record takes
// about as long as fetching the next from memory, so the fetch is started a record
// ahead (two for the object itself).
// A point list made right after its object (regeneration and reading make them so)
// lies between the object's end and its head when it was built by prepending, as
// flattened arcs are: the nodes after the head are then known without following the
// links, and that span is asked for too when it is short. Otherwise only the head.
template <class Obj>
void prefetch_list(const Obj* obj, const PointNode* head) {
    const uintptr_t end = reinterpret_cast<uintptr_t>(obj) + sizeof(Obj);
    const uintptr_t h = reinterpret_cast<uintptr_t>(head);
    constexpr uintptr_t kSpan = 1024;
    if (h < end || h - end > kSpan) {
        prefetch_line(head);
        return;
    }
    const uintptr_t last = (h + sizeof(PointNode) - 1) & ~uintptr_t{63};
    for (uintptr_t p = end & ~uintptr_t{63}; p <= last; p += 64)
        prefetch_line(reinterpret_cast<const void*>(p));
}

void prefetch_ahead(const ZDLIST* n) {
    const ZDLIST* next = n->next;
    // Addresses as integers: the lines may lie past the object's end, where pointer
    // arithmetic would be undefined (a prefetch of any address is harmless).
    const uintptr_t line = reinterpret_cast<uintptr_t>(next->next);
    for (uintptr_t i = 0; i < 5; ++i) prefetch_line(reinterpret_cast<const void*>(line + 64 * i));
    const RtcClass* k = next->klass();
    if (k == &ELARC::rtc_class) {
        const auto* a = static_cast<const ELARC*>(static_cast<const ZOBJ*>(next));
        prefetch_list(a, a->points);
        prefetch_line(a->strokes);
    } else if (k == &XPLINE::rtc_class) {
        const auto* x = static_cast<const XPLINE*>(static_cast<const ZOBJ*>(next));
        prefetch_line(x->points);
        prefetch_line(x->strokes);
        prefetch_list(x, x->control);
    }
}

// Writes the children of `top` (and, for a group, its group chunk) with a frame per
// open container record instead of a call per nesting level, in the order and with
// the bytes of the recursive form: a group or layer child's record is begun, its
// levels below the container's written, then its children, then its chunks ended.
// Each child is announced to the save (save_write_enter) before its record begins.
void put_children(IOstream* s, CONTAINER* top, int32_t top_kind) {
    struct Frame {
        CONTAINER* c;
        ZDLIST* at;  // the next child to write; null when done
        bool record, group;
        ChunkMark record_mark, group_mark;
    };
    SaveContext* ctx = save_context();
    const int top_depth = ctx ? ctx->depth : 0;
    std::deque<Frame> frames;  // a deque: the stream links the open marks
    auto open = [&](CONTAINER* c, int32_t kind, bool record) {
        frames.push_back(Frame{c, c->children, record, kind == kKindContainer, {}, {}});
        if (frames.back().group) io_chunk_begin(s, &frames.back().group_mark, kKindContainer);
    };
    open(top, top_kind, false);
    while (!frames.empty()) {
        Frame& f = frames.back();
        if (!f.at) {
            if (f.group) io_chunk_end(s);
            if (f.record) io_chunk_end(s);
            frames.pop_back();
            if (!frames.empty()) {
                Frame& p = frames.back();
                p.at = p.at->next == p.c->children ? nullptr : p.at->next;
            }
            continue;
        }
        ZDLIST* n = f.at;
        prefetch_ahead(n);
        const int depth = top_depth + static_cast<int>(frames.size());
        save_write_enter(s, static_cast<ZOBJ*>(n), depth);
        if (n->klass() == &CONTAINER::rtc_class || n->klass() == &LAYER::rtc_class) {
            // io_put_object with the container level's save, the children left to the loop.
            auto* g = static_cast<CONTAINER*>(static_cast<ZOBJ*>(n));
            frames.push_back(Frame{g, nullptr, true, false, {}, {}});
            io_chunk_begin(s, &frames.back().record_mark, object_record_tag(n));
            {
                IoChunkWriter name(s, kIoClassNameTag);
                io_put_string(s, g->klass()->name);
            }
            rtc_save_base(s, g, &CONTAINER::rtc_class);
            const int32_t kind = object_kind_code(g);
            if (kind >= 0) io_put_object_header(s, g);
            Frame& nf = frames.back();
            nf.at = g->children;
            nf.group = kind == kKindContainer;
            if (nf.group) io_chunk_begin(s, &nf.group_mark, kKindContainer);
            continue;
        }
        if (ctx) ctx->depth = depth;  // a model among the children writes its own
        io_put_object(s, n, object_record_tag(n));
        if (ctx) ctx->depth = top_depth;
        f.at = n->next == f.c->children ? nullptr : n->next;
    }
}

}  // namespace

int container_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &CONTAINER::rtc_class);
    auto* c = static_cast<CONTAINER*>(obj);
    const int32_t kind = object_kind_code(obj);
    if (kind >= 0) io_put_object_header(s, c);
    put_children(s, c, kind);
    return 0;
}

int container_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &CONTAINER::rtc_class);
    ContainerReader reader(s);
    reader.run(static_cast<CONTAINER*>(obj));
    return 0;
}
