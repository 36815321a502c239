// Shared pieces of the image file readers and writers: the decoded-image record,
// a bounds-checked reader over bytes in memory, a growing byte sink for encoders,
// and whole-file read and replace-by-rename write.
//
// Result codes: 0 success, 8 (kOutOfMemory) out of memory, 13 (kBadArgument) bad or
// unsupported data (including an image past the pixel cap); file operations give the
// C library's errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/math/result.h"

inline constexpr int kImageOk = 0;

// The one limit every reader applies before allocating: at most 2^26 pixels
// (8192 x 8192) and at most 65535 pixels a side.
inline constexpr uint64_t kImageMaxPixels = uint64_t{1} << 26;
inline constexpr int64_t kImageMaxSide = 65535;

// A decoded image: width x height pixels, 3 bytes each (red, green, blue), rows of
// width * 3 bytes without padding, top row first. Owns `pixels` (new[]).
struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t* pixels = nullptr;

    RgbImage() = default;
    RgbImage(const RgbImage&) = delete;
    RgbImage& operator=(const RgbImage&) = delete;
    ~RgbImage() { delete[] pixels; }
    // Hands the pixels to the caller (who frees them with delete[]).
    uint8_t* release() {
        uint8_t* p = pixels;
        pixels = nullptr;
        return p;
    }
    size_t bytes() const { return static_cast<size_t>(width) * static_cast<size_t>(height) * 3; }
};

// Whether width x height lies within the cap (both sides at least 1).
bool image_size_ok(int64_t width, int64_t height);
// Allocates the pixels of a width x height image, zeroed. 13 past the cap, 8 when
// memory runs out.
[[nodiscard]] int rgb_image_alloc(RgbImage* image, int64_t width, int64_t height);
// new (std::nothrow) uint8_t[n], not zeroed (null when memory runs out). A large block
// is backed by huge pages where the system allows it: the first touch of a fresh
// 48 MB image in 4 KiB pages costs about as much as decoding it.
uint8_t* rgb_pixels_new(size_t n);

// Reads little- and big-endian values from bytes in memory. A read past the end
// gives 0 and sets the failure flag, which stays set.
class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    uint8_t u8();
    uint16_t u16le();
    uint32_t u32le();
    uint16_t u16be();
    // Pointer to the next n bytes, moving past them; null (and failed) past the end.
    const uint8_t* take(size_t n);
    bool skip(uint64_t n);
    bool seek(uint64_t pos);
    size_t pos() const { return pos_; }
    size_t left() const { return size_ - pos_; }
    size_t size() const { return size_; }
    bool failed() const { return failed_; }
    const uint8_t* data() const { return data_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// An encoder's output. Never throws: when memory runs out it only sets `failed`.
class ByteSink {
  public:
    void u8(uint8_t v);
    void u16le(uint16_t v);
    void u32le(uint32_t v);
    void put(const void* bytes, size_t n);
    void fill(uint8_t v, size_t n);
    bool failed() const { return failed_; }
    const uint8_t* data() const { return buf_.data(); }
    size_t size() const { return buf_.size(); }
    std::vector<uint8_t>& buffer() { return buf_; }

  private:
    std::vector<uint8_t> buf_;
    bool failed_ = false;
};

// Reads a whole file (at most `limit` bytes; larger gives EFBIG) into new[] bytes. A
// name that is not a regular file is refused at once (model/services/safe_file.h).
[[nodiscard]] int image_file_read(const char* path, uint8_t** data, size_t* size, size_t limit);
// Writes the bytes to a temporary file in the target's folder, flushes and closes
// it, then renames it over `path`: the target is never left half written. 0 or the
// errno of the step that failed (the temporary file is then removed).
[[nodiscard]] int image_file_write(const char* path, const uint8_t* data, size_t size);
