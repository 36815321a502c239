// RIFF AVI writer for rendered animations: one video stream ("vids"), 24-bit
// frames stored either as uncompressed DIBs (bottom-up BGR, rows padded to 4 bytes)
// or as Motion-JPEG (libjpeg), every frame a keyframe, an idx1 index in the first
// RIFF. Past the first RIFF's size limit the file goes on in OpenDML "AVIX" RIFFs
// with standard and super indexes, so no size ever wraps 32 bits. The file is
// written through a temporary file renamed over the target on close: a failure or
// an abandoned writer leaves the old file as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/formats/replace_file.h"
#include "imaging/movie/movie_codes.h"

enum class AviCodec { Dib = 0, Mjpeg = 1 };

struct AviOptions {
    AviCodec codec = AviCodec::Dib;
    int fps = 15;           // frames per second, 1..120
    int jpeg_quality = 90;  // Motion-JPEG quality, 1..100
};

// The largest width and height of a frame.
inline constexpr int32_t kAviMaxSide = 32767;
// The largest uncompressed frame (512 MiB), so that one frame stays well inside a RIFF.
inline constexpr uint64_t kAviMaxFrameBytes = 1ull << 29;
// Bytes of an uncompressed frame: rows of width x 3 bytes padded to 4, computed in 64 bits.
inline uint64_t avi_frame_bytes(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return 0;
    return ((static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t(3)) * static_cast<uint64_t>(height);
}

class AviWriter {
  public:
    // Width and height 1..kAviMaxSide, a frame of at most kAviMaxFrameBytes. 0,
    // kMovieRefused for sizes out of range, or the errno of the file.
    [[nodiscard]] int open(const char* path, int width, int height, const AviOptions& options);
    // One frame, rows of width x 3 RGB bytes top row first. 0, 8 or errno.
    [[nodiscard]] int add_frame(const uint8_t* rgb);
    // Finishes the indexes and headers and renames the file over the target.
    // A writer with no frames keeps the old file and answers kMovieRefused.
    [[nodiscard]] int close();
    void abort() { file_.abort(); }
    int frames() const { return total_frames_; }

  private:
    struct Entry {
        uint64_t offset;  // of the chunk header
        uint32_t size;    // of the data
    };
    [[nodiscard]] int begin_riff(bool first);
    [[nodiscard]] int end_riff();
    int put_fourcc(const char* cc);
    int put_u32(uint32_t v);

    ReplaceFile file_;
    AviOptions opt_;
    int width_ = 0, height_ = 0;
    uint32_t frame_bytes_ = 0;        // uncompressed DIB size
    uint32_t max_chunk_ = 0;
    int total_frames_ = 0, first_riff_frames_ = 0;
    uint64_t riff_start_ = 0, movi_start_ = 0;
    std::vector<Entry> riff_entries_;   // chunks of the current RIFF
    std::vector<Entry> idx1_;           // chunks of the first RIFF
    struct Super {
        uint64_t offset;
        uint32_t size, duration;
    };
    std::vector<Super> super_;
    uint64_t pos_avih_ = 0, pos_strh_ = 0, pos_indx_ = 0, pos_dmlh_ = 0;
    std::vector<uint8_t> buf_;
};

// Tests only: the byte size at which a RIFF is closed and the next begun (0 gives
// the normal limit of 1 GiB).
void avi_test_set_riff_limit(uint64_t bytes);
