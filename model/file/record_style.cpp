// Records of the named styles: line styles (dash lists), hatch patterns (families of
// dashed lines), fonts (the binary stroke-font form) and texture images (RGB pixels).
#include <cstring>

#include "model/db/patt.h"
#include "model/file/record_util.h"
#include "model/font/strokefont.h"

namespace {

constexpr int32_t kCurrentLayout = 113;
constexpr uint32_t kTagRgb = 24;
constexpr uint32_t kTagIndexed = 8;
constexpr uint32_t kTagPalette = 1024;

// Styles read their own chunks only from records of the current layout.
bool reads_styles(IOstream* s) {
    const int32_t v = io_format_version(s);
    return v < 0 || v >= kCurrentLayout;
}

// Reads the style's own chunk `own_tag` with `fn`: in the coded layout every chunk of
// the record is looked at (the shared levels' chunks go to io_get_attribute); in the
// wrapped layout only up to the level's own chunk, so a subclass finds its own after.
template <class Fn>
void read_style(IOstream* s, ZOBJ* obj, uint32_t own_tag, Fn&& fn) {
    if (!reads_styles(s) || !io_chunk_inside(s)) return;
    if (object_kind_code(obj) >= 0) {
        read_record(s, obj, true, [&](uint32_t tag, const ChunkMark&) {
            if (tag != own_tag) return false;
            fn();
            return true;
        });
        return;
    }
    ChunkMark mark;
    if (!io_find_chunk(s, &mark, own_tag)) return;
    fn();
    io_chunk_close(s);
}

void put_dashes(IOstream* s, const std::vector<double>& dashes) {
    IoChunkWriter c(s, kTagDashes);
    io_put_varint(s, static_cast<uint32_t>(dashes.size()));
    for (double d : dashes) io_put_double(s, d);
}

int font_to_stream(void* handle, const void* buffer, size_t count) {
    auto* s = static_cast<IOstream*>(handle);
    return io_guarded([&] { io_write(s, buffer, count); });
}

int font_from_stream(void* handle, void* buffer, size_t count) {
    auto* s = static_cast<IOstream*>(handle);
    return io_guarded([&] {
        io_check_count(s, static_cast<int64_t>(count), 1);  // never past the chunk
        io_read(s, buffer, count);
    });
}

}  // namespace

void linepatt_read_dashes(IOstream* s, std::vector<double>* dashes) {
    IoChunkReader c(s);
    if (c.tag() != kTagDashes) io_raise(s, kBadArgument);
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 8);
    dashes->resize(n);
    for (double& d : *dashes) d = io_get_double(s);
}

void hatchpatt_read_lines(IOstream* s, HATCHPATT* p) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 5 * 8 + 6);  // five doubles and an empty dash chunk at least
    std::vector<HatchLine> lines(n);
    for (HatchLine& l : lines) {
        l.angle = io_get_double(s);
        l.origin_x = io_get_double(s);
        l.origin_y = io_get_double(s);
        l.offset_x = io_get_double(s);
        l.offset_y = io_get_double(s);
        linepatt_read_dashes(s, &l.dashes);
    }
    p->lines.swap(lines);
}

void fontpatt_read_font(IOstream* s, FONTPATT* p) {
    if (!io_chunk_inside(s)) return;  // a style whose font was missing when it was saved
    io_get_font(s, p);
}

void io_get_font(IOstream* s, FONTPATT* p) {
    StrokeFont* font = nullptr;
    const int r = font_read(&font, s, &font_from_stream);
    if (r != 0) io_raise(s, r);
    font_free(&p->font);
    p->font = font;
}

void matrpatt_read_image(IOstream* s, MATRPATT* p) {
    const int32_t w = io_get_varint_signed(s);
    const int32_t h = io_get_varint_signed(s);
    if (w < 0 || h < 0) io_raise(s, kBadArgument);
    const uint64_t count = uint64_t(uint32_t(w)) * uint64_t(uint32_t(h));
    std::unique_ptr<uint8_t[]> rgb, indexed, palette;
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        std::unique_ptr<uint8_t[]>* into = nullptr;
        uint64_t need = 0;
        switch (c.tag()) {
            case kTagRgb:
                into = &rgb;
                need = count * 3;
                break;
            case kTagIndexed:
                into = &indexed;
                need = count;
                break;
            case kTagPalette:
                into = &palette;
                need = 768;
                break;
            default:
                continue;
        }
        if (c.mark.length != need) io_raise(s, kBadArgument);
        io_check_count(s, static_cast<int64_t>(need), 1);
        into->reset(new (std::nothrow) uint8_t[need ? need : 1]);
        if (!*into) io_raise(s, kOutOfMemory);
        io_read(s, into->get(), need);
    }
    if (count == 0) return;  // no image: the shared black pixel stays
    if (palette && !indexed) io_raise(s, kBadArgument);
    if (!rgb && indexed) {
        // Indices through the palette; without a palette they are taken as grey levels.
        rgb.reset(new (std::nothrow) uint8_t[count * 3]);
        if (!rgb) io_raise(s, kOutOfMemory);
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t v = indexed[i];
            for (int k = 0; k < 3; ++k) rgb[i * 3 + k] = palette ? palette[v * 3 + k] : v;
        }
    }
    if (!rgb) io_raise(s, kBadArgument);
    p->release_image();
    // A single black pixel is what the shared pixel is written as: it stays shared.
    if (count == 1 && rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0) return;
    p->width = w;
    p->height = h;
    p->pixels = rgb.release();
}

// ---- Methods

int linepatt_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &LINEPATT::rtc_class);
    IoChunkWriter c(s, 0);
    put_dashes(s, static_cast<LINEPATT*>(obj)->dashes);
    return 0;
}

int linepatt_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &LINEPATT::rtc_class);
    auto* p = static_cast<LINEPATT*>(obj);
    read_style(s, p, 0, [&] { linepatt_read_dashes(s, &p->dashes); });
    return 0;
}

int hatchpatt_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &HATCHPATT::rtc_class);
    const auto* p = static_cast<HATCHPATT*>(obj);
    IoChunkWriter c(s, 1);
    io_put_varint(s, static_cast<uint32_t>(p->lines.size()));
    for (const HatchLine& l : p->lines) {
        io_put_double(s, l.angle);
        io_put_double(s, l.origin_x);
        io_put_double(s, l.origin_y);
        io_put_double(s, l.offset_x);
        io_put_double(s, l.offset_y);
        put_dashes(s, l.dashes);
    }
    return 0;
}

int hatchpatt_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &HATCHPATT::rtc_class);
    auto* p = static_cast<HATCHPATT*>(obj);
    read_style(s, p, 1, [&] { hatchpatt_read_lines(s, p); });
    return 0;
}

int fontpatt_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &FONTPATT::rtc_class);
    const auto* p = static_cast<FONTPATT*>(obj);
    IoChunkWriter c(s, 2);
    if (p->font) {
        const int r = font_write(p->font, s, &font_to_stream);
        if (r != 0) io_raise(s, r);
    }
    return 0;
}

int fontpatt_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &FONTPATT::rtc_class);
    auto* p = static_cast<FONTPATT*>(obj);
    read_style(s, p, 2, [&] { fontpatt_read_font(s, p); });
    return 0;
}

int matrpatt_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &MATRPATT::rtc_class);
    auto* p = static_cast<MATRPATT*>(obj);
    // A pattern that decodes on demand writes its pixels too, held while they are
    // written (a render may decode another frame of the image meanwhile).
    const ImagePixelsHold hold(p);
    IoChunkWriter c(s, 3);
    if (!p->has_own_pixels() || p->width <= 0 || p->height <= 0) {
        if (p->klass() != &MATRPATT::rtc_class) {
            // A subclass keeps its image elsewhere (an image file's bytes): no pixels
            // of its own to write.
            io_put_varint(s, 0);
            io_put_varint(s, 0);
            return 0;
        }
        // The shared black pixel: written as the 1 x 1 black image it shows (an image
        // of size 0 would be dropped on reading, switching off the slots that use it).
        static const uint8_t kBlack[3] = {0, 0, 0};
        io_put_varint(s, 1);
        io_put_varint(s, 1);
        IoChunkWriter image(s, kTagRgb);
        io_write(s, kBlack, sizeof kBlack);
        return 0;
    }
    io_put_varint(s, static_cast<uint32_t>(p->width));
    io_put_varint(s, static_cast<uint32_t>(p->height));
    IoChunkWriter image(s, kTagRgb);
    io_write(s, p->pixels, static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 3);
    return 0;
}

int matrpatt_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &MATRPATT::rtc_class);
    auto* p = static_cast<MATRPATT*>(obj);
    read_style(s, p, 3, [&] { matrpatt_read_image(s, p); });
    return 0;
}
