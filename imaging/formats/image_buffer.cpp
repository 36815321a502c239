// Decoded-image record, bounded byte reader and sink, whole-file read and write.
#include "imaging/formats/image_buffer.h"

#include "imaging/formats/replace_file.h"
#include "model/services/safe_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

bool image_size_ok(int64_t width, int64_t height) {
    if (width < 1 || height < 1 || width > kImageMaxSide || height > kImageMaxSide) return false;
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kImageMaxPixels;
}

uint8_t* rgb_pixels_new(size_t n) {
    auto* p = new (std::nothrow) uint8_t[n];
#ifdef MADV_HUGEPAGE
    // Only the whole pages inside the block; a refusal leaves ordinary pages.
    constexpr size_t kHugeFrom = size_t{8} << 20;
    if (p && n >= kHugeFrom) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t start = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~(page - 1);
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#endif
    return p;
}

int rgb_image_alloc(RgbImage* image, int64_t width, int64_t height) {
    if (!image_size_ok(width, height)) return kBadArgument;
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    uint8_t* p = rgb_pixels_new(n);
    if (!p) return kOutOfMemory;
    std::memset(p, 0, n);
    delete[] image->pixels;
    image->pixels = p;
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    return kImageOk;
}

uint8_t ByteReader::u8() {
    if (pos_ >= size_) {
        failed_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t ByteReader::u16le() {
    const uint8_t* p = take(2);
    return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint32_t ByteReader::u32le() {
    const uint8_t* p = take(4);
    return p ? static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24)
             : 0;
}

uint16_t ByteReader::u16be() {
    const uint8_t* p = take(2);
    return p ? static_cast<uint16_t>((p[0] << 8) | p[1]) : 0;
}

const uint8_t* ByteReader::take(size_t n) {
    if (n > left()) {
        failed_ = true;
        pos_ = size_;
        return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
}

bool ByteReader::skip(uint64_t n) {
    if (n > left()) {
        failed_ = true;
        pos_ = size_;
        return false;
    }
    pos_ += static_cast<size_t>(n);
    return true;
}

bool ByteReader::seek(uint64_t pos) {
    if (pos > size_) {
        failed_ = true;
        return false;
    }
    pos_ = static_cast<size_t>(pos);
    return true;
}

void ByteSink::put(const void* bytes, size_t n) {
    if (failed_ || n == 0) return;
    try {
        const auto* b = static_cast<const uint8_t*>(bytes);
        buf_.insert(buf_.end(), b, b + n);
    } catch (...) {
        failed_ = true;
    }
}

void ByteSink::fill(uint8_t v, size_t n) {
    if (failed_ || n == 0) return;
    try {
        buf_.insert(buf_.end(), n, v);
    } catch (...) {
        failed_ = true;
    }
}

void ByteSink::u8(uint8_t v) { put(&v, 1); }

void ByteSink::u16le(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    put(b, 2);
}

void ByteSink::u32le(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    put(b, 4);
}

int image_file_read(const char* path, uint8_t** data, size_t* size, size_t limit) {
    *data = nullptr;
    *size = 0;
    if (!path) return EINVAL;
    int err = 0;
    uint64_t n = 0;
    FILE* f = safe_fopen_read(path, &err, &n);
    if (!f) return err;
    uint8_t* buf = nullptr;
    if (n > limit) {
        err = EFBIG;
    } else {
        buf = new (std::nothrow) uint8_t[n > 0 ? n : 1];
        if (!buf) {
            err = ENOMEM;
        } else if (n > 0 && std::fread(buf, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) {
            err = std::ferror(f) ? (errno ? errno : EIO) : EIO;
        }
    }
    std::fclose(f);
    if (err) {
        delete[] buf;
        return err;
    }
    *data = buf;
    *size = static_cast<size_t>(n);
    return 0;
}

int image_file_write(const char* path, const uint8_t* data, size_t size) {
    ReplaceFile f;
    if (int err = f.open(path)) return err;
    if (int err = f.write(data, size)) return err;
    return f.commit();
}
