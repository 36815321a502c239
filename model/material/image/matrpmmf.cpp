// The image-map texture pattern: kept image file bytes decoded on demand, and its
// record in the drawing file.
#include "model/material/image/matrpmmf.h"

#include <cstring>
#include <mutex>
#include <new>

#include "model/db/tree.h"
#include "model/math/result.h"
#include "model/stream/iostream.h"

RTC_CLASS_RECORD(MATRPMMF, "MATRPMMF", &MATRPATT::rtc_class, 5, nullptr, &rtc_copy_slot<MATRPMMF>,
                 nullptr, true, true);

namespace {
ImageDecoder g_decoders[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};

char* dup_text(const char* text) {
    if (!text) return nullptr;
    const size_t n = std::strlen(text);
    char* copy = new (std::nothrow) char[n + 1];
    if (copy) std::memcpy(copy, text, n + 1);
    return copy;
}
}  // namespace

void texture_image_set_decoder(int32_t kind, ImageDecoder decoder) {
    if (kind >= 0 && kind < 5) g_decoders[kind] = decoder;
}

void MATRPMMF_register() {
    rtc_class_setup(&MATRPMMF::rtc_class);
    io_set_class_methods(&MATRPMMF::rtc_class, &MATRPMMF_save, &MATRPMMF_load);
}

int MATRPMMF_save(IOstream* s, RTC* obj) {
    rtc_save_base(s, obj, &MATRPMMF::rtc_class);
    const auto* p = static_cast<const MATRPMMF*>(obj);
    IoChunkWriter c(s, 0);
    io_put_long(s, p->kind);
    io_put_string(s, p->file_name);
    const uint32_t size = p->data ? p->size : 0;
    io_put_long(s, static_cast<int32_t>(size));
    io_write(s, p->data, size);
    return 0;
}

int MATRPMMF_load(IOstream* s, RTC* obj) {
    rtc_load_base(s, obj, &MATRPMMF::rtc_class);
    auto* p = static_cast<MATRPMMF*>(obj);
    // The base levels have taken their chunks; this level's is the next chunk 0.
    while (io_chunk_inside(s)) {
        IoChunkReader c(s);
        if (c.tag() != 0) continue;
        const int32_t kind = io_get_long(s);
        const std::string name = io_get_string(s);
        const int32_t size = io_get_long(s);
        io_check_count(s, size, 1);  // negative or more than the chunk holds: 13
        std::unique_ptr<uint8_t[]> bytes;
        if (size > 0) {
            bytes.reset(new (std::nothrow) uint8_t[size]);
            if (!bytes) io_raise(s, kOutOfMemory);
            io_read(s, bytes.get(), static_cast<size_t>(size));
        }
        char* n = dup_text(name.c_str());
        if (!n) io_raise(s, kOutOfMemory);
        delete[] p->file_name;
        delete[] p->data;
        p->file_name = n;
        p->data = bytes.release();
        p->size = p->data ? static_cast<uint32_t>(size) : 0;
        p->kind = kind;
        break;
    }
    return 0;
}

MATRPMMF::~MATRPMMF() {
    release_image();
    delete[] file_name;
    delete[] data;
}

int MATRPMMF::set_data(int32_t image_kind, const char* name, const uint8_t* bytes, uint32_t count) {
    char* n = nullptr;
    if (name && !(n = dup_text(name))) return kOutOfMemory;
    uint8_t* d = nullptr;
    if (bytes && count) {
        d = new (std::nothrow) uint8_t[count];
        if (!d) {
            delete[] n;
            return kOutOfMemory;
        }
        std::memcpy(d, bytes, count);
    }
    delete[] file_name;
    delete[] data;
    file_name = n;
    data = d;
    size = d ? count : 0;
    kind = image_kind;
    return 0;
}

int MATRPMMF::copy_level(const MATRPMMF& src) {
    if (rtc_copy_base(&src, this, &MATRPMMF::rtc_class) != 0) return kOutOfMemory;
    if (this == &src) return 0;
    return set_data(src.kind, src.file_name, src.data, src.size);
}

int MATRPMMF::make_image_ready() {
    return texture_image_decode(this);
}

int texture_image_decode(MATRPMMF* p) {
    if (!p) return kBadArgument;
    // One decode at a time: a second request waits, then finds the pixels made.
    std::lock_guard<std::recursive_mutex> lock(p->image_lock);
    if (p->kind != kImageKindAnimator && p->has_own_pixels()) return 0;
    // A render is sampling the current pixels: they stay until it ends.
    if (p->pixels_held() && p->has_own_pixels()) return 0;
    if (p->kind < 0 || p->kind > 4 || p->kind == kImageKindTarga) return 0;
    int32_t frame = 0;
    if (MODEL* m = obj_model(p)) frame = m->current_frame.load(std::memory_order_relaxed);
    ImageDecoder decode = g_decoders[p->kind];
    if (!decode) return 1;
    int32_t w = 0, h = 0;
    uint8_t* pixels = nullptr;
    const int r = decode(p->data, p->size, frame, &w, &h, &pixels);
    if (r != 0) return r;
    if (!pixels || w <= 0 || h <= 0) {
        delete[] pixels;
        return 1;
    }
    p->release_image();
    p->width = w;
    p->height = h;
    p->pixels = pixels;
    return 0;
}
