// Records of containers, layers and the model: their children as object records,
// the block label, the sign of the current layout (chunk 125), and the records of
// the older layout of version 112 files written before that sign existed.
#include <cstring>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/file/record_util.h"
#include "model/file/save_context.h"
#include "model/stream/iorec.h"

namespace {

constexpr int32_t kCurrentLayout = 113;
// Records nest no deeper than the writers write; deeper nesting is refused (13)
// rather than followed until the reader runs out of stack.
constexpr int kMaxNesting = kMaxRecordNesting;
thread_local int g_nesting = 0;

struct NestingGuard {
    explicit NestingGuard(IOstream* s) {
        if (++g_nesting > kMaxNesting) {
            --g_nesting;
            io_raise(s, kIoBadData);
        }
    }
    ~NestingGuard() { --g_nesting; }
};

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
    if (!made) io_raise(s, kIoBadData);
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
    if (!style) io_raise(s, kIoBadData);
    if (static_cast<ZOBJ*>(style.get())->set_string(0, name.c_str()) != 0)
        io_raise(s, kIoOutOfMemory);
    return style;
}

// One child record (the caller opened its chunk with `tag`).
void read_child(IOstream* s, CONTAINER* c, uint32_t tag, bool in_group) {
    IOrec* rec = rtc_cast<IOrec>(s);
    if (rec && rec->info_only) return;
    NestingGuard nesting(s);
    std::unique_ptr<RTC> child;
    if (tag == kTagAnyClass || io_format_version(s) >= kCurrentLayout) {
        ChunkMark* const open = s->chunks;
        const int r = io_guarded([&] { io_get_object(s, child); });
        if (r == kIoUnknownClass) {
            // A class this program does not know (or may not make from a file): skip
            // the record and read on.
            s->chunks = open;
            s->error_code = 0;
            return;
        }
        if (r != 0) io_raise(s, r);
    } else if (tag == kKindLight) {
        child = read_older_light(s);
    } else if (tag == kKindStyle) {
        if (in_group) return;
        child = read_older_style(s);
    } else {
        RtcClass* cls = older_class(tag);
        if (!cls) return;
        const int r = rtc_init(child, cls);
        if (r != 0) io_raise(s, r);
        rtc_load(s, child.get());
    }
    load_place_object(s, c, std::move(child));
}

void store_label(IOstream* s) {
    const std::string label = io_get_string(s);
    IOrec* rec = rtc_cast<IOrec>(s);
    if (!rec) return;
    if (rec->label_buffer && rec->label_size > 0) {
        const size_t n = std::min(label.size(), rec->label_size - 1);
        std::memcpy(rec->label_buffer, label.data(), n);
        rec->label_buffer[n] = '\0';
    }
    if (rec->info_only) io_raise(s, kIoStopAfterLabel);
}

}  // namespace

int container_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &CONTAINER::rtc_class);
    auto* c = static_cast<CONTAINER*>(obj);
    const int32_t kind = object_kind_code(obj);
    if (kind >= 0) io_put_object_header(s, c);
    auto put_children = [&] {
        if (!c->children) return;
        ZDLIST* n = c->children;
        do {
            io_put_object(s, n, object_record_tag(n));
            n = n->next;
        } while (n != c->children);
    };
    if (kind == kKindContainer) {
        IoChunkWriter group(s, kKindContainer);
        put_children();
    } else {
        put_children();
    }
    return 0;
}

int container_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &CONTAINER::rtc_class);
    auto* c = static_cast<CONTAINER*>(obj);
    const int32_t kind = object_kind_code(obj);
    const uint32_t name_tag = name_chunk_tag(obj);
    while (io_chunk_inside(s)) {
        IoChunkReader ch(s);
        const uint32_t tag = ch.tag();
        if (tag == name_tag) {
            const std::string name = io_get_string(s);
            if (c->set_string(0, name.c_str()) != 0) io_raise(s, kIoOutOfMemory);
        } else if (tag == kTagCurrentLayout) {
            if (IOrec* rec = rtc_cast<IOrec>(s)) rec->version = kCurrentLayout;
        } else if (tag == kKindContainer && kind == kKindContainer) {
            while (io_chunk_inside(s)) {
                IoChunkReader sub(s);
                if (sub.tag() == kTagAnyClass ||
                    (is_kind_tag(sub.tag()) && sub.tag() != kKindStyle))
                    read_child(s, c, sub.tag(), true);
            }
        } else if (tag == kTagAnyClass || is_kind_tag(tag)) {
            read_child(s, c, tag, false);
        } else if (tag == kTagLabel) {
            store_label(s);
        } else if (kind >= 0) {
            io_get_attribute(s, c, tag);
        }
    }
    return 0;
}
