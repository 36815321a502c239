// The image-map texture pattern: kept image file bytes decoded on demand.
#include "render/material/matrpmmf.h"

#include <cstring>
#include <new>

#include "model/db/tree.h"

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
}

MATRPMMF::~MATRPMMF() {
    release_image();
    delete[] file_name;
    delete[] data;
}

int MATRPMMF::set_data(int32_t image_kind, const char* name, const uint8_t* bytes, uint32_t count) {
    char* n = nullptr;
    if (name && !(n = dup_text(name))) return 8;
    uint8_t* d = nullptr;
    if (bytes && count) {
        d = new (std::nothrow) uint8_t[count];
        if (!d) {
            delete[] n;
            return 8;
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
    if (rtc_copy_base(&src, this, &MATRPMMF::rtc_class) != 0) return 8;
    if (this == &src) return 0;
    return set_data(src.kind, src.file_name, src.data, src.size);
}

int MATRPMMF::make_image_ready() {
    return texture_image_decode(this);
}

int texture_image_decode(MATRPMMF* p) {
    if (!p) return 13;
    if (p->kind != kImageKindAnimator && p->has_own_pixels()) return 0;
    if (p->kind < 0 || p->kind > 4 || p->kind == kImageKindTarga) return 0;
    int32_t frame = 0;
    if (MODEL* m = obj_model(p)) frame = m->current_frame;
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
