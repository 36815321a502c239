// Writing drawing files and block files, plain or with the LZW pass.
#include <cstring>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/track.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/file/save_context.h"
#include "model/services/log.h"
#include "model/stream/iorec.h"

namespace {

// A plain file stream, or null when out of memory.
std::unique_ptr<IOrec> new_stream() {
    std::unique_ptr<RTC> made;
    if (rtc_init(made, &IOrecStd::rtc_class) != 0) return nullptr;
    return std::unique_ptr<IOrec>(static_cast<IOrec*>(made.release()));
}

void put_header(IOstream* s) {
    io_put_long(s, 1);
    io_put_long(s, kIoFormatVersion);
    io_put_long(s, 0);
}

void put_empty_chunk(IOstream* s, uint32_t tag) {
    IoChunkWriter c(s, tag);
}

template <class Fn>
void for_ring(ZDLIST* head, Fn&& fn) {
    if (!head) return;
    ZDLIST* n = head;
    do {
        ZDLIST* next = n->next;
        fn(n);
        n = next;
    } while (n != head);
}

// Runs `write(path)` through iorec_save_maybe_packed.
template <class Fn>
int save_with(const char* path, bool pack, Fn&& write) {
    return iorec_save_maybe_packed(
        path, pack,
        [](const char* target, void* context) { return (*static_cast<Fn*>(context))(target); },
        &write);
}

// Nesting deeper than the reader follows: refused before anything is written.
int refuse_too_deep(const char* path, const char* what) {
    log_message(LogLevel::warning, "%s %s: groups nest deeper than %d levels", what, path,
                kMaxRecordNesting);
    return kBadArgument;
}

// Opens `s` for writing the file at `path`, or memory when `path` is null.
void open_target(IOrec* s, const char* path, std::vector<uint8_t>* out) {
    if (path)
        iorec_open(s, path, 1);
    else
        iorec_open_memory_writer(s, out);
}

// The whole drawing file into `path` (memory when null) through an open save scope,
// the drawing measured and numbered by measure_drawing.
int write_drawing(const char* path, std::vector<uint8_t>* out, MODEL* model) {
    std::unique_ptr<IOrec> s = new_stream();
    if (!s) return int{kOutOfMemory};
    s->version = kIoFormatVersion;
    return io_guarded([&] {
        open_target(s.get(), path, out);
        s->tracks = 1;  // the objects were numbered by measure_drawing
        put_header(s.get());
        {
            IoChunkWriter body(s.get(), kTagName);
            put_empty_chunk(s.get(), kTagCurrentLayout);
            for_ring(model->patterns,
                     [&](ZDLIST* p) { io_put_object(s.get(), p, object_record_tag(p)); });
            SaveContext* ctx = save_context();
            for_ring(model->children, [&](ZDLIST* c) {
                const uint32_t tag = rtc_is<LAYER>(c)   ? kKindLayer
                                     : rtc_is<VPORT>(c) ? kKindViewport
                                                        : kTagAnyClass;
                save_write_enter(s.get(), static_cast<ZOBJ*>(c), 1);
                if (ctx) ctx->depth = 1;
                io_put_object(s.get(), c, tag);
            });
            for_ring(model->views, [&](ZDLIST* v) { io_put_object(s.get(), v, kTagAnyClass); });
        }
        iorec_commit(s.get());
    });  // an uncommitted temporary file goes with the stream
}

// The whole block file of `objects` into `path` (memory when null).
int write_block(const char* path, std::vector<uint8_t>* out, const char* label, MODEL* model,
                const std::vector<object*>& objects, const Vec3& base) {
    std::unique_ptr<IOrec> s = new_stream();
    if (!s) return int{kOutOfMemory};
    s->version = kIoFormatVersion;
    int w = io_guarded([&] {
        open_target(s.get(), path, out);
        s->tracks = 0;
        if (model) model_number_objects(model);
        put_header(s.get());
        IoChunkWriter body(s.get(), kTagBlockBody);
        const float b[3] = {base.x, base.y, base.z};
        int32_t words[3];
        std::memcpy(words, b, sizeof words);
        io_put_longs(s.get(), words, 3);
        put_empty_chunk(s.get(), kTagCurrentLayout);
        std::string text = label ? label : "";
        if (text.size() > kBlockLabelSize - 1) text.resize(kBlockLabelSize - 1);
        io_put_string_chunk(s.get(), text.c_str(), kTagLabel);
        // Only the styles some selected object (or anything inside it) refers to.
        if (model) {
            for_ring(model->patterns, [&](ZDLIST* p) {
                for (object* o : objects) {
                    if (o->replace_ref(p, p)) {
                        io_put_object(s.get(), p, object_record_tag(p));
                        break;
                    }
                }
            });
        }
        for (object* o : objects) io_put_object(s.get(), o, object_record_tag(o));
    });
    if (w == 0) w = io_guarded([&] { iorec_commit(s.get()); });
    return w;
}

// Measures what a drawing save writes into `scope` and, in the same walk, gives the
// model and everything in it their file ids and track numbers (model_number_objects
// from the model); false when it nests too deep. Without a keyframe track alive no
// record refers to another object of the drawing, so nothing needs a number before
// its own record is written: the writers then number and measure as they go (one walk
// of the drawing instead of two), in the same order.
bool measure_drawing(SaveScope& scope, MODEL* model) {
    if (track_live_count() == 0) {
        SaveContext& ctx = scope.context;
        ctx.number_while_writing = true;
        save_number_one(model, &ctx.numbering);
        for_ring(model->children, [&](ZDLIST* c) { ctx.tops.push_back(static_cast<ZOBJ*>(c)); });
        for_ring(model->patterns, [&](ZDLIST* p) {
            ctx.tops.push_back(static_cast<ZOBJ*>(p));
            ctx.deepest = 1;
        });
        return true;
    }
    SaveNumbering numbering;
    save_number_one(model, &numbering);
    for_ring(model->children, [&](ZDLIST* c) {
        save_context_add(&scope.context, static_cast<ZOBJ*>(c), &numbering);
    });
    for_ring(model->patterns,
             [&](ZDLIST* p) { save_context_add(&scope.context, static_cast<ZOBJ*>(p)); });
    return scope.context.deepest <= kMaxRecordNesting;
}

// The drawable objects of the selection, in buffer order.
std::vector<object*> block_objects(buffer* selection) {
    std::vector<object*> objects;
    for (RefNode* n = selection->refs; n; n = n->next) {
        if (auto* o = rtc_cast<object>(n->ref)) objects.push_back(o);
    }
    return objects;
}

bool measure_block(SaveScope& scope, const std::vector<object*>& objects) {
    for (object* o : objects) save_context_add(&scope.context, o);
    return scope.context.deepest <= kMaxRecordNesting;
}

}  // namespace

// Every entry point runs under io_guarded_result: measuring and numbering the drawing
// before the stream exists allocate too, and running out of memory anywhere is 8, the
// file already there left as it was.

int drawing_file_save(const char* path, MODEL* model, int pack) {
    if (!path || !*path || !model) return kBadArgument;
    drawing_file_register();
    WaitCursor wait;
    const int r = io_guarded_result([&] {
        SaveScope scope;
        if (!measure_drawing(scope, model)) return refuse_too_deep(path, "drawing_file_save");
        const int w = save_with(path, pack == 1, [&](const char* target) {
            return write_drawing(target, nullptr, model);
        });
        if (scope.context.too_deep) return refuse_too_deep(path, "drawing_file_save");
        return w;
    });
    if (r != 0) log_message(LogLevel::warning, "drawing_file_save %s: error %d", path, r);
    return r;
}

int drawing_file_save_memory(std::vector<uint8_t>* out, MODEL* model) {
    if (!out || !model) return kBadArgument;
    drawing_file_register();
    return io_guarded_result([&] {
        SaveScope scope;
        if (!measure_drawing(scope, model)) return refuse_too_deep("(memory)", "drawing_file_save");
        const int r = write_drawing(nullptr, out, model);
        if (scope.context.too_deep) return refuse_too_deep("(memory)", "drawing_file_save");
        return r;
    });
}

int block_file_save(const char* path, const char* label, MODEL* model, int mode, buffer* selection,
                    const Vec3& base) {
    drawing_file_register();
    if (!path || !*path) return kBadArgument;
    if (mode != 0 && mode != 1) return kBadArgument;
    if (!selection) return 0;
    WaitCursor wait;
    const int r = io_guarded_result([&] {
        const std::vector<object*> objects = block_objects(selection);
        SaveScope scope;
        if (!measure_block(scope, objects)) return refuse_too_deep(path, "block_file_save");
        return save_with(path, mode == 1, [&](const char* target) {
            return write_block(target, nullptr, label, model, objects, base);
        });
    });
    if (r != 0) log_message(LogLevel::warning, "block_file_save %s: error %d", path, r);
    return r;
}

int block_file_save_memory(std::vector<uint8_t>* out, const char* label, MODEL* model,
                           buffer* selection, const Vec3& base) {
    drawing_file_register();
    if (!out) return kBadArgument;
    if (!selection) return 0;
    return io_guarded_result([&] {
        const std::vector<object*> objects = block_objects(selection);
        SaveScope scope;
        if (!measure_block(scope, objects)) return refuse_too_deep("(memory)", "block_file_save");
        return write_block(nullptr, out, label, model, objects, base);
    });
}
