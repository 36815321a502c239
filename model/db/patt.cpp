// Named styles: line styles, hatch patterns, fonts, texture images; stored viewpoints.
#include "model/db/patt.h"

#include <cstring>
#include <new>

#include "model/db/tree.h"
#include "model/font/strokefont.h"
#include "model/math/result.h"

RTC_CLASS_RECORD(PATT, "PATT", &ZOBJ::rtc_class, 3, nullptr, &rtc_copy_slot<ZOBJ>, nullptr, true,
                 true);
RTC_CLASS_RECORD(VPORT, "VPORT", &ZOBJ::rtc_class, 3, nullptr, &rtc_copy_slot<VPORT>, nullptr, true,
                 true);
RTC_CLASS_RECORD(LINEPATT, "LINEPATT", &PATT::rtc_class, 4, nullptr, &rtc_copy_slot<LINEPATT>,
                 nullptr, true, true);
RTC_CLASS_RECORD(HATCHPATT, "HATCHPATT", &PATT::rtc_class, 4, nullptr, &rtc_copy_slot<HATCHPATT>,
                 nullptr, true, true);
RTC_CLASS_RECORD(FONTPATT, "FONTPATT", &PATT::rtc_class, 4, nullptr, &rtc_copy_slot<FONTPATT>,
                 nullptr, true, true);
RTC_CLASS_RECORD(MATRPATT, "MATRPATT", &PATT::rtc_class, 4, nullptr, &rtc_copy_slot<MATRPATT>,
                 nullptr, true, true);

namespace {
// The pixel of every texture image that has none of its own. Never freed or written.
uint8_t g_black_pixel[3] = {0, 0, 0};
}  // namespace

PATT::~PATT() {
    model_remove_patt(this, nullptr);
}

int PATT::set_string(int index, const char* text) {
    return index == 0 ? patt_set_name(this, text) : ZOBJ::set_string(index, text);
}

int VPORT::copy_level(const VPORT& src) {
    if (rtc_copy_base(&src, this, &VPORT::rtc_class) != 0) return kOutOfMemory;
    std::memcpy(params, src.params, sizeof params);
    return 0;
}

int LINEPATT::copy_level(const LINEPATT& src) {
    if (rtc_copy_base(&src, this, &LINEPATT::rtc_class) != 0) return kOutOfMemory;
    try {
        dashes = src.dashes;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    word = src.word;
    return 0;
}

int HATCHPATT::copy_level(const HATCHPATT& src) {
    if (rtc_copy_base(&src, this, &HATCHPATT::rtc_class) != 0) return kOutOfMemory;
    try {
        lines = src.lines;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

FONTPATT::~FONTPATT() {
    font_free(&font);
}

int FONTPATT::copy_level(const FONTPATT& src) {
    if (rtc_copy_base(&src, this, &FONTPATT::rtc_class) != 0) return kOutOfMemory;
    StrokeFont* copy = nullptr;
    if (src.font) {
        copy = font_copy(src.font);
        if (!copy) return kOutOfMemory;
    }
    font_free(&font);
    font = copy;
    return 0;
}

MATRPATT::MATRPATT() : pixels(g_black_pixel) {
    set_klass(&rtc_class);
}

MATRPATT::~MATRPATT() {
    release_image();
}

bool MATRPATT::has_own_pixels() const {
    return pixels && pixels != g_black_pixel;
}

int MATRPATT::make_image_ready() {
    return 0;
}

int MATRPATT::make_image_ready_and_hold() {
    std::lock_guard<std::recursive_mutex> lock(image_lock);
    const int r = make_image_ready();
    hold_pixels();
    return r;
}

void MATRPATT::release_image() {
    if (has_own_pixels()) delete[] pixels;
    pixels = g_black_pixel;
    width = 1;
    height = 1;
}

int MATRPATT::copy_level(const MATRPATT& src) {
    if (rtc_copy_base(&src, this, &MATRPATT::rtc_class) != 0) return kOutOfMemory;
    if (this == &src) return 0;
    // Decoding may be needed before the pixels can be copied; they are held while
    // they are, so that a render's decode of another frame does not free them.
    const ImagePixelsHold hold(const_cast<MATRPATT*>(&src));
    if (!src.has_own_pixels()) {
        release_image();
        return 0;
    }
    const size_t bytes = static_cast<size_t>(src.width) * static_cast<size_t>(src.height) * 3;
    auto* copy = new (std::nothrow) uint8_t[bytes];
    if (!copy) return kOutOfMemory;
    std::memcpy(copy, src.pixels, bytes);
    release_image();
    width = src.width;
    height = src.height;
    pixels = copy;
    return 0;
}
