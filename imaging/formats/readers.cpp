// The open / read / close shape of the readers: open decodes the whole image (a
// stream is first read into memory through its callbacks), read hands out copies.
#include <cstring>
#include <new>

#include "imaging/formats/image_formats.h"

struct ImageReader {
    RgbImage image;
    uint8_t* owned = nullptr;   // file bytes read from a stream
    const uint8_t* data = nullptr;  // the bytes (Animator: kept for each frame)
    size_t size = 0;
    ~ImageReader() { delete[] owned; }
};

namespace {

using Decode = int (*)(const uint8_t*, size_t, RgbImage*);

// Reads a stream whole, up to the largest file an image of the cap could need.
int slurp(ImageReadFn read, ImageSeekFn seek, void* context, ImageReader* r) {
    if (!read || (seek && seek(context, 0) != 0)) return kBadArgument;
    const size_t limit = kImageMaxPixels * 4 + (size_t{1} << 20);
    size_t cap = 1 << 16, n = 0;
    uint8_t* buf = new (std::nothrow) uint8_t[cap];
    if (!buf) return kOutOfMemory;
    for (;;) {
        if (n == cap) {
            if (cap >= limit) break;
            uint8_t* bigger = new (std::nothrow) uint8_t[cap * 2];
            if (!bigger) {
                delete[] buf;
                return kOutOfMemory;
            }
            std::memcpy(bigger, buf, n);
            delete[] buf;
            buf = bigger;
            cap *= 2;
        }
        const long got = read(context, buf + n, cap - n);
        if (got < 0) {
            delete[] buf;
            return kBadArgument;
        }
        if (got == 0) break;
        n += static_cast<size_t>(got);
    }
    r->owned = buf;
    r->data = buf;
    r->size = n;
    return 0;
}

// Hands out a reader whose open step answered `e`: the size on success, null and
// nothing left on failure.
ImageReader* finish_open(ImageReader* r, int e, int32_t* width, int32_t* height, int* error) {
    if (error) *error = e;
    if (e) {
        delete r;
        return nullptr;
    }
    if (width) *width = r->image.width;
    if (height) *height = r->image.height;
    return r;
}

ImageReader* open_stream(Decode decode, ImageReadFn read, ImageSeekFn seek, void* context,
                         int32_t* width, int32_t* height, int* error) {
    int e = kOutOfMemory;
    ImageReader* r = new (std::nothrow) ImageReader;
    if (r && (e = slurp(read, seek, context, r)) == 0) e = decode(r->data, r->size, &r->image);
    return finish_open(r, e, width, height, error);
}

int copy_out(ImageReader* r, uint8_t* pixels) {
    if (!r || !pixels || !r->image.pixels) return kBadArgument;
    std::memcpy(pixels, r->image.pixels, r->image.bytes());
    return 0;
}

}  // namespace

ImageReader* bmp_open_read_stream(ImageReadFn read, ImageSeekFn seek, void* context,
                                  int32_t* width, int32_t* height, int* error) {
    return open_stream(&bmp_decode, read, seek, context, width, height, error);
}

ImageReader* gif_open_read_stream(ImageReadFn read, ImageSeekFn seek, void* context,
                                  int32_t* width, int32_t* height, int* error) {
    return open_stream(&gif_decode, read, seek, context, width, height, error);
}

ImageReader* jpg_open_memory(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                             int* error) {
    int e = kOutOfMemory;
    ImageReader* r = new (std::nothrow) ImageReader;
    if (r) e = jpg_decode(data, size, &r->image);
    return finish_open(r, e, width, height, error);
}

ImageReader* cel_open_memory(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                             int* error) {
    int e = kOutOfMemory;
    ImageReader* r = new (std::nothrow) ImageReader;
    if (r && (e = cel_decode(data, size, 0, &r->image)) == 0) {
        r->data = data;  // kept for the other frames
        r->size = size;
    }
    return finish_open(r, e, width, height, error);
}

int bmp_read_rgb24(ImageReader* reader, uint8_t* pixels) { return copy_out(reader, pixels); }
int gif_read_rgb24(ImageReader* reader, uint8_t* pixels) { return copy_out(reader, pixels); }
int jpg_read_rgb24(ImageReader* reader, uint8_t* pixels) { return copy_out(reader, pixels); }

int cel_read_rgb24(ImageReader* reader, int32_t frame, uint8_t* pixels) {
    if (!reader || !pixels) return kBadArgument;
    if (frame > 0) {
        RgbImage img;
        if (int e = cel_decode(reader->data, reader->size, frame, &img)) return e;
        if (img.width != reader->image.width || img.height != reader->image.height) return kBadArgument;
        std::memcpy(pixels, img.pixels, img.bytes());
        return 0;
    }
    return copy_out(reader, pixels);
}

void bmp_close(ImageReader* reader) { delete reader; }
void gif_close(ImageReader* reader) { delete reader; }
void jpg_close(ImageReader* reader) { delete reader; }
void cel_close(ImageReader* reader) { delete reader; }
