// Reading drawing files and block files of every version: the header, the current
// chunked layout through the model's load chain, and the older layouts.
#include <cstring>

#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/file/old_reader.h"
#include "model/file/records.h"
#include "model/services/log.h"
#include "model/stream/iorec.h"

namespace {

constexpr int32_t kOldestVersion = 100;
constexpr int32_t kFirstCodedVersion = 107;

std::unique_ptr<IOrec> new_stream() {
    std::unique_ptr<RTC> made;
    if (rtc_init(made, &IOrecStd::rtc_class) != 0) return nullptr;
    return std::unique_ptr<IOrec>(static_cast<IOrec*>(made.release()));
}

// Where a load reads from: a file, or bytes in memory.
struct Source {
    const char* path = nullptr;
    const void* data = nullptr;
    size_t size = 0;
    const char* name() const { return path ? path : "(memory)"; }
    void open(IOrec* s) const {
        if (path)
            iorec_open(s, path, 0);
        else
            iorec_open_memory(s, data, size);
    }
};

int import_drawing(const Source& from, MODEL* model, int32_t* skipped = nullptr);
int load_block(const Source& from, char* label, size_t label_size, MODEL* model, buffer* selection,
               Vec3* base, int* new_level, int undo_depth);

}  // namespace

void iorec_read_header(std::unique_ptr<IOrec>& stream) {
    IOrec* s = stream.get();
    if (io_get_long(s) != 1) io_raise(s, kBadArgument);
    s->version = io_get_long(s);
    if (s->version > kIoFormatVersion || s->version < kOldestVersion) io_raise(s, kBadArgument);
    int32_t coding = 0;
    if (s->version >= kIoFormatVersion)
        coding = io_get_long(s);
    else if (s->version >= kFirstCodedVersion)
        coding = 1;
    if (coding == 1)
        iorec_to_lzw(stream);
    else if (coding != 0)
        io_raise(s, kBadArgument);
}

int drawing_file_import(const char* path, MODEL* model, int32_t* skipped) {
    if (!model || !path || !*path) return 0;
    Source from;
    from.path = path;
    return io_guarded_result([&] { return import_drawing(from, model, skipped); });
}

int drawing_file_import_memory(const void* data, size_t size, MODEL* model) {
    if (!model || (!data && size)) return 0;
    Source from;
    from.data = data;
    from.size = size;
    return io_guarded_result([&] { return import_drawing(from, model); });
}

int block_file_load(const char* path, char* label, size_t label_size, MODEL* model,
                    buffer* selection, Vec3* base, int* new_level, int undo_depth) {
    if (!path || !*path) return 0;
    Source from;
    from.path = path;
    return io_guarded_result(
        [&] { return load_block(from, label, label_size, model, selection, base, new_level, undo_depth); });
}

int block_file_load_memory(const void* data, size_t size, char* label, size_t label_size,
                           MODEL* model, buffer* selection, Vec3* base, int* new_level,
                           int undo_depth) {
    if (!data && size) return 0;
    Source from;
    from.data = data;
    from.size = size;
    return io_guarded_result(
        [&] { return load_block(from, label, label_size, model, selection, base, new_level, undo_depth); });
}

namespace {

int import_drawing(const Source& from, MODEL* model, int32_t* skipped) {
    drawing_file_register();
    WaitCursor wait;
    std::unique_ptr<IOrec> s = new_stream();
    if (!s) return kOutOfMemory;
    LoadScope scope;
    bool reading_body = false;
    int r = io_guarded([&] {
        from.open(s.get());
        iorec_read_header(s);
        reading_body = true;
        s->target_model = model;
        if (s->version >= kIoFormatVersion) {
            ChunkMark top;
            io_chunk_open(s.get(), &top);
            if (top.tag != kTagName) io_raise(s.get(), kIoWrongTopChunk);
            rtc_load(s.get(), model);
            io_chunk_close(s.get());
        } else {
            old_read_drawing(s.get(), model);
        }
        io_expect_end(s.get());
    });
    // Links of what was placed are resolved even after an error; a file refused by its
    // header leaves the drawing as it was. Resolving builds look-up tables: running out
    // of memory there is said like anywhere else in the load.
    if (reading_body) {
        const int t = io_guarded([&] { model->frame_count = tracks_resolve(model, model, 0); });
        if (r == 0) r = t;
    }
    s.reset();
    if (skipped) *skipped = scope.context.skipped;
    if (r != 0) log_message(LogLevel::warning, "drawing_file_import %s: error %d", from.name(), r);
    return r;
}

int load_block(const Source& from, char* label, size_t label_size, MODEL* model, buffer* selection,
               Vec3* base, int* new_level, int undo_depth) {
    drawing_file_register();
    WaitCursor wait;
    if (label && label_size) label[0] = '\0';
    std::unique_ptr<IOrec> s = new_stream();
    if (!s) return kOutOfMemory;
    const bool info_only = !model && !selection;
    s->info_only = info_only ? 1 : 0;
    LoadScope scope;
    int r = io_guarded([&] {
        from.open(s.get());
        iorec_read_header(s);
        if (s->version < kIoFormatVersion) {
            old_read_block(s.get(), model, selection, base, info_only);
            if (!info_only) io_expect_end(s.get());
            return;
        }
        ChunkMark top;
        io_chunk_open(s.get(), &top);
        // The tag first: a drawing file must not lend its bytes to a base point.
        if (top.tag != kTagBlockBody) io_raise(s.get(), kIoWrongTopChunk);
        int32_t words[3];
        io_get_longs(s.get(), words, 3);
        if (base) std::memcpy(base, words, sizeof words);
        s->target_model = model;
        std::unique_ptr<RTC> made;
        const int m = rtc_init(made, &MODEL::rtc_class);
        if (m != 0) io_raise(s.get(), kOutOfMemory);
        std::unique_ptr<MODEL> temp(static_cast<MODEL*>(made.release()));
        while (temp->children) rtc_destroy(static_cast<ZOBJ*>(temp->children));
        s->target_model = temp.get();
        s->label_buffer = label;
        s->label_size = label ? label_size : 0;
        const int nested = io_guarded([&] {
            rtc_load(s.get(), temp.get());
            io_chunk_close(s.get());
            io_expect_end(s.get());
            if (!info_only) {
                tracks_resolve(temp.get(), temp.get(), 0);
                block_merge(s.get(), model, temp.get(), selection, new_level, undo_depth);
            }
        });
        // Views belong to a drawing's windows: one a block file brought goes with the
        // scratch drawing, which only lets go of its views.
        drawing_file_drop_views(temp.get());
        temp.reset();
        if (nested != 0) io_raise(s.get(), nested);
    });
    if (info_only && r == kIoStopAfterLabel) r = 0;
    s.reset();
    if (r != 0) log_message(LogLevel::warning, "block_file_load %s: error %d", from.name(), r);
    return r;
}

}  // namespace
