// RIFF AVI writer: header lists, movi chunks, idx1, OpenDML AVIX continuation.
#include "imaging/movie/avi_writer.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "imaging/formats/image_buffer.h"
#include "imaging/formats/image_formats.h"
#include "model/math/result.h"

namespace {

constexpr uint64_t kNormalRiffLimit = 1ull << 30;
constexpr uint32_t kSuperEntries = 256;  // 256 RIFFs of up to 1 GiB
constexpr uint32_t kIndxBytes = 24 + 16 * kSuperEntries;
constexpr uint32_t kStrlBytes = 4 + (8 + 56) + (8 + 40) + (8 + kIndxBytes);
constexpr uint32_t kOdmlBytes = 4 + 8 + 248;
constexpr uint32_t kHdrlBytes = 4 + (8 + 56) + (8 + kStrlBytes) + (8 + kOdmlBytes);
std::atomic<uint64_t> g_riff_limit{0};

void le16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void le32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
void le64(uint8_t* p, uint64_t v) { for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i)); }

uint64_t riff_limit() {
    const uint64_t l = g_riff_limit;
    return l ? l : kNormalRiffLimit;
}

}  // namespace

void avi_test_set_riff_limit(uint64_t bytes) { g_riff_limit = bytes; }

int AviWriter::put_fourcc(const char* cc) { return file_.write(cc, 4); }

int AviWriter::put_u32(uint32_t v) {
    uint8_t b[4];
    le32(b, v);
    return file_.write(b, 4);
}

int AviWriter::open(const char* path, int width, int height, const AviOptions& options) {
    if (width < 1 || height < 1 || width > kAviMaxSide || height > kAviMaxSide) return kMovieRefused;
    opt_ = options;
    if (opt_.fps < 1 || opt_.fps > 120) opt_.fps = 15;
    if (opt_.jpeg_quality < 1 || opt_.jpeg_quality > 100) opt_.jpeg_quality = 90;
    const uint64_t bytes = avi_frame_bytes(width, height);
    if (bytes > kAviMaxFrameBytes) return kMovieRefused;
    width_ = width, height_ = height;
    frame_bytes_ = static_cast<uint32_t>(bytes);
    total_frames_ = first_riff_frames_ = 0;
    max_chunk_ = 0;
    riff_entries_.clear(), idx1_.clear(), super_.clear();
    if (int err = file_.open(path)) return err;
    return begin_riff(true);
}

int AviWriter::begin_riff(bool first) {
    riff_start_ = file_.size();
    put_fourcc("RIFF");
    put_u32(0);
    put_fourcc(first ? "AVI " : "AVIX");
    if (first) {
        const bool mjpg = opt_.codec == AviCodec::Mjpeg;
        uint8_t h[8 + kHdrlBytes] = {};
        uint8_t* p = h;
        auto cc = [&](const char* s) { std::memcpy(p, s, 4), p += 4; };
        auto u32 = [&](uint32_t v) { le32(p, v), p += 4; };
        auto u16 = [&](uint32_t v) { le16(p, v), p += 2; };
        cc("LIST"), u32(kHdrlBytes), cc("hdrl");
        cc("avih"), u32(56);
        pos_avih_ = file_.size() + (p - h);
        u32(1000000 / opt_.fps), u32(0), u32(0), u32(0x10), u32(0), u32(0), u32(1), u32(0);
        u32(width_), u32(height_), p += 16;
        cc("LIST"), u32(kStrlBytes), cc("strl");
        cc("strh"), u32(56);
        pos_strh_ = file_.size() + (p - h);
        cc("vids"), cc(mjpg ? "MJPG" : "DIB "), u32(0), u16(0), u16(0), u32(0), u32(1), u32(opt_.fps);
        u32(0), u32(0), u32(0), u32(0xFFFFFFFFu), u32(0);
        u16(0), u16(0), u16(width_), u16(height_);
        cc("strf"), u32(40);
        u32(40), u32(width_), u32(height_), u16(1), u16(24);
        if (mjpg) cc("MJPG"); else u32(0);
        u32(mjpg ? static_cast<uint32_t>(width_ * height_ * 3) : frame_bytes_), u32(0), u32(0), u32(0), u32(0);
        cc("indx"), u32(kIndxBytes);
        pos_indx_ = file_.size() + (p - h);
        u16(4), *p++ = 0, *p++ = 0, u32(0), cc(mjpg ? "00dc" : "00db");
        p += 12 + 16 * kSuperEntries;
        cc("LIST"), u32(kOdmlBytes), cc("odml"), cc("dmlh"), u32(248);
        pos_dmlh_ = file_.size() + (p - h);
        p += 248;
        file_.write(h, sizeof h);
    }
    put_fourcc("LIST");
    put_u32(0);
    movi_start_ = file_.size();
    put_fourcc("movi");
    riff_entries_.clear();
    return file_.error();
}

int AviWriter::end_riff() {
    const bool first = super_.empty();
    const uint32_t n = static_cast<uint32_t>(riff_entries_.size());
    const char* ckid = opt_.codec == AviCodec::Mjpeg ? "00dc" : "00db";
    // Standard index of this RIFF's chunks, at the end of its movi list.
    const uint64_t ix_pos = file_.size();
    std::vector<uint8_t> ix;
    ix.assign(8 + 24 + 8 * static_cast<size_t>(n), 0);
    uint8_t* p = ix.data();
    std::memcpy(p, "ix00", 4), le32(p + 4, 24 + 8 * n);
    le16(p + 8, 2), p[10] = 0, p[11] = 1, le32(p + 12, n), std::memcpy(p + 16, ckid, 4);
    le64(p + 20, movi_start_);
    for (uint32_t i = 0; i < n; ++i) {
        le32(p + 32 + 8 * i, static_cast<uint32_t>(riff_entries_[i].offset + 8 - movi_start_));
        le32(p + 36 + 8 * i, riff_entries_[i].size);
    }
    file_.write(ix.data(), ix.size());
    super_.push_back({ix_pos, static_cast<uint32_t>(ix.size()), n});
    uint8_t b[4];
    le32(b, static_cast<uint32_t>(file_.size() - movi_start_));
    file_.write_at(movi_start_ - 4, b, 4);
    if (first) {
        ix.assign(8 + 16 * static_cast<size_t>(n), 0);
        p = ix.data();
        std::memcpy(p, "idx1", 4), le32(p + 4, 16 * n);
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t* e = p + 8 + 16 * i;
            std::memcpy(e, ckid, 4), le32(e + 4, 0x10);
            le32(e + 8, static_cast<uint32_t>(riff_entries_[i].offset - movi_start_));
            le32(e + 12, riff_entries_[i].size);
        }
        file_.write(ix.data(), ix.size());
        first_riff_frames_ = static_cast<int>(n);
    }
    le32(b, static_cast<uint32_t>(file_.size() - riff_start_ - 8));
    file_.write_at(riff_start_ + 4, b, 4);
    return file_.error();
}

int AviWriter::add_frame(const uint8_t* rgb) {
    if (!file_.is_open()) return EBADF;
    if (file_.error()) return file_.error();
    const int w = width_, h = height_;
    uint32_t data_size;
    try {
        if (opt_.codec == AviCodec::Mjpeg) {
            ByteSink sink;
            if (int err = jpg_encode(rgb, w, h, opt_.jpeg_quality, &sink)) return err;
            buf_.swap(sink.buffer());
            data_size = static_cast<uint32_t>(buf_.size());
        } else {
            const size_t stride = frame_bytes_ / h;
            buf_.assign(frame_bytes_, 0);
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = rgb + static_cast<size_t>(h - 1 - y) * w * 3;
                uint8_t* d = buf_.data() + y * stride;
                for (int x = 0; x < w; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
            }
            data_size = frame_bytes_;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    const uint64_t chunk = 8 + ((data_size + 1ull) & ~1ull);
    const uint64_t n = riff_entries_.size() + 1;
    const uint64_t index_bytes = 32 + 8 * n + (super_.empty() ? 8 + 16 * n : 0);
    if (!riff_entries_.empty() && file_.size() - riff_start_ + chunk + index_bytes > riff_limit()) {
        if (super_.size() + 1 >= kSuperEntries) return EFBIG;
        if (int err = end_riff()) return err;
        if (int err = begin_riff(false)) return err;
    }
    const Entry e{file_.size(), data_size};
    put_fourcc(opt_.codec == AviCodec::Mjpeg ? "00dc" : "00db");
    put_u32(data_size);
    if (data_size & 1) buf_.push_back(0);
    file_.write(buf_.data(), buf_.size());
    if (file_.error()) return file_.error();
    try {
        riff_entries_.push_back(e);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (data_size > max_chunk_) max_chunk_ = data_size;
    ++total_frames_;
    return 0;
}

int AviWriter::close() {
    if (!file_.is_open()) return EBADF;
    if (total_frames_ == 0) {
        file_.abort();
        return kMovieRefused;
    }
    if (int err = end_riff()) {
        file_.abort();
        return err;
    }
    uint8_t b[4];
    auto patch = [&](uint64_t at, uint32_t v) { le32(b, v), file_.write_at(at, b, 4); };
    patch(pos_avih_ + 4, max_chunk_ * static_cast<uint32_t>(opt_.fps));
    patch(pos_avih_ + 16, static_cast<uint32_t>(first_riff_frames_));
    patch(pos_avih_ + 28, max_chunk_ + 8);
    patch(pos_strh_ + 32, static_cast<uint32_t>(total_frames_));
    patch(pos_strh_ + 36, max_chunk_ + 8);
    patch(pos_indx_ + 4, static_cast<uint32_t>(super_.size()));
    for (size_t i = 0; i < super_.size(); ++i) {
        uint8_t e[16];
        le64(e, super_[i].offset), le32(e + 8, super_[i].size), le32(e + 12, super_[i].duration);
        file_.write_at(pos_indx_ + 24 + 16 * i, e, 16);
    }
    patch(pos_dmlh_, static_cast<uint32_t>(total_frames_));
    return file_.commit();
}
