// Texture image files: kind by extension, load into patterns, save by kind, CMYK.
#include "imaging/texture/texture_image.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "imaging/formats/image_formats.h"
#include "model/db/patt.h"
#include "model/math/result.h"
#include "model/material/image/matrpmmf.h"
#include "model/rtc/rtc.h"

namespace {

// The largest image file read: enough for any image under the pixel cap.
constexpr size_t kMaxFileBytes = kImageMaxPixels * 4 + (size_t{1} << 20);

int decode_kind(int32_t kind, const uint8_t* data, size_t size, int32_t frame, RgbImage* img) {
    switch (kind) {
        case kImageKindBmp: return bmp_decode(data, size, img);
        case kImageKindGif: return gif_decode(data, size, img);
        case kImageKindJpeg: return jpg_decode(data, size, img);
        case kImageKindTarga: return tga_decode(data, size, img);
        case kImageKindAnimator: return cel_decode(data, size, frame, img);
        default: return kBadArgument;
    }
}

template <int32_t Kind>
int decoder(const uint8_t* data, uint32_t size, int32_t frame, int32_t* w, int32_t* h,
            uint8_t** pixels) {
    RgbImage img;
    if (int e = decode_kind(Kind, data, size, frame, &img)) return e;
    *w = img.width;
    *h = img.height;
    *pixels = img.release();
    return 0;
}

// Bits per pixel of a BMP file's header, 0 when too short.
int bmp_bits(const uint8_t* data, size_t size) {
    if (size < 30) return 0;
    const uint32_t header = data[14] | (data[15] << 8) | (data[16] << 16) | (static_cast<uint32_t>(data[17]) << 24);
    const size_t at = header == 12 ? 24 : 28;
    return data[at] | (data[at + 1] << 8);
}

int encode_kind(int32_t kind, const uint8_t* rgb, int32_t w, int32_t h, ByteSink* out) {
    switch (kind) {
        case kImageKindBmp: return bmp_encode(rgb, w, h, out);
        case kImageKindGif: return gif_encode(rgb, w, h, out);
        case kImageKindJpeg: return jpg_encode(rgb, w, h, kJpegSaveQuality, out);
        case kImageKindTarga: return tga_encode24(rgb, w, h, out);
        default: return kBadArgument;
    }
}

}  // namespace

int32_t texture_image_kind(const char* file_name) {
    if (!file_name) return -1;
    const char* base = std::strrchr(file_name, '/');
    base = base ? base + 1 : file_name;
    const char* dot = std::strrchr(base, '.');
    if (!dot) return -1;
    char ext[5] = {};
    for (int i = 0; i < 4 && dot[i]; ++i) ext[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(dot[i])));
    static const struct {
        const char* ext;
        int32_t kind;
    } kKinds[] = {{".BMP", 0}, {".GIF", 1}, {".JPG", 2}, {".JIF", 2}, {".TGA", 3},
                  {".PIC", 4}, {".CEL", 4}, {".FLC", 4}, {".FLI", 4}};
    for (const auto& k : kKinds)
        if (std::strcmp(ext, k.ext) == 0) return k.kind;
    return -1;
}

namespace {

// Runs body() and returns its result; running out of memory part way is 8.
template <class Body>
int out_of_memory_as_code(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

int load_image(MATRPATT** out, const char* path, const char* name) {
    const int32_t kind = texture_image_kind(path);
    if (kind < 0) return kBadArgument;
    uint8_t* bytes = nullptr;
    size_t size = 0;
    if (int e = image_file_read(path, &bytes, &size, kMaxFileBytes)) return e == ENOMEM ? kOutOfMemory : e;
    std::unique_ptr<uint8_t[]> hold(bytes);
    RgbImage img;
    if (int e = decode_kind(kind, bytes, size, 0, &img)) return e;
    const bool decode_now = kind == kImageKindTarga || (kind == kImageKindBmp && bmp_bits(bytes, size) >= 24);
    if (decode_now) {
        auto p = rtc_make<MATRPATT>();
        if (!p) return kOutOfMemory;
        p->release_image();
        p->width = img.width;
        p->height = img.height;
        p->pixels = img.release();
        if (p->set_string(0, name) != 0) return kOutOfMemory;
        *out = p.release();
        return 0;
    }
    auto p = rtc_make<MATRPMMF>();
    if (!p) return kOutOfMemory;
    if (p->set_data(kind, path, bytes, static_cast<uint32_t>(size)) != 0 || p->set_string(0, name) != 0)
        return kOutOfMemory;
    *out = p.release();
    return 0;
}

int save_image(MATRPATT* pattern, const char* path) {
    if (!pattern) return kBadArgument;
    const int32_t kind = texture_image_kind(path);
    if (kind < 0) return kBadArgument;
    if (auto* mm = rtc_cast<MATRPMMF>(pattern); mm && mm->kind == kind && mm->data && mm->size)
        return image_file_write(path, mm->data, mm->size);
    if (kind == kImageKindAnimator) return kBadArgument;
    const ImagePixelsHold hold(pattern);  // a render may decode another frame meanwhile
    if (int e = hold.code()) return e;
    ByteSink sink;
    if (int e = encode_kind(kind, pattern->pixels, pattern->width, pattern->height, &sink)) return e;
    return image_file_write(path, sink.data(), sink.size());
}

}  // namespace

int texture_image_load(MATRPATT** out, const char* path, const char* name) {
    if (!out) return EINVAL;
    *out = nullptr;
    return out_of_memory_as_code([&] { return load_image(out, path, name); });
}

int texture_image_save(MATRPATT* pattern, const char* path) {
    return out_of_memory_as_code([&] { return save_image(pattern, path); });
}

namespace {
std::string plate_path(const char* path, int index) {
    std::string stem = path ? path : "";
    const size_t slash = stem.rfind('/');
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.resize(dot);
    static const char kPlates[4] = {'c', 'm', 'y', 'k'};
    return stem + "_" + kPlates[index & 3] + ".tga";
}

// The four plates of cmyk_save_image (its arguments checked).
int save_plates(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
    const size_t n = static_cast<size_t>(width) * height;
    std::unique_ptr<uint8_t[]> plate(new (std::nothrow) uint8_t[n]);
    if (!plate) return kOutOfMemory;
    int first = 0;
    for (int p = 0; p < 4; ++p) {
        for (size_t i = 0; i < n; ++i) {
            const int r = rgb[i * 3], g = rgb[i * 3 + 1], b = rgb[i * 3 + 2];
            const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
            const int k = 255 - mx;
            int v = k;
            if (p < 3) {
                const int c = p == 0 ? r : p == 1 ? g : b;
                v = mx == 0 ? 0 : ((mx - c) * 255 + mx / 2) / mx;
            }
            plate[i] = static_cast<uint8_t>(v);
        }
        ByteSink sink;
        int e = tga_encode_grey(plate.get(), width, height, &sink);
        if (!e) {
            e = image_file_write(plate_path(path, p).c_str(), sink.data(), sink.size());
        }
        if (e && !first) first = e;
    }
    return first;
}

}  // namespace

void cmyk_plate_name(const char* path, int index, char* out, unsigned capacity) {
    if (!out || capacity == 0) return;
    const std::string name = plate_path(path, index);
    std::strncpy(out, name.c_str(), capacity - 1);
    out[capacity - 1] = 0;
}

int cmyk_save_image(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
    if (!path || !rgb || !image_size_ok(width, height)) return kBadArgument;
    return out_of_memory_as_code([&] { return save_plates(path, rgb, width, height); });
}

void texture_image_install_decoders() {
    texture_image_set_decoder(kImageKindBmp, &decoder<kImageKindBmp>);
    texture_image_set_decoder(kImageKindGif, &decoder<kImageKindGif>);
    texture_image_set_decoder(kImageKindJpeg, &decoder<kImageKindJpeg>);
    texture_image_set_decoder(kImageKindAnimator, &decoder<kImageKindAnimator>);
}
