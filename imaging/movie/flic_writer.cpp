// FLC writer: spooled frames, one palette, byte-run first frame, line deltas.
#include "imaging/movie/flic_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/formats/replace_file.h"
#include "imaging/quantize/quantize.h"
#include "model/math/result.h"

namespace {

void put16(std::vector<uint8_t>& v, uint32_t x) { v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8)); }
void set16(uint8_t* p, uint32_t x) { p[0] = uint8_t(x), p[1] = uint8_t(x >> 8); }
void set32(uint8_t* p, uint32_t x) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(x >> (8 * i)); }

// Byte runs of one line: a positive count repeats the next byte, a negative one
// copies that many bytes.
void byte_run_line(const uint8_t* s, int w, std::vector<uint8_t>& out) {
    out.push_back(0);  // packet count, unused by readers
    int x = 0;
    while (x < w) {
        int run = 1;
        while (x + run < w && run < 127 && s[x + run] == s[x]) ++run;
        if (run >= 3 || x + run == w) {
            out.push_back(uint8_t(run)), out.push_back(s[x]);
            x += run;
            continue;
        }
        int lit = 0;
        while (x + lit < w && lit < 127) {
            if (x + lit + 2 < w && s[x + lit] == s[x + lit + 1] && s[x + lit] == s[x + lit + 2]) break;
            ++lit;
        }
        out.push_back(uint8_t(-lit));
        out.insert(out.end(), s + x, s + x + lit);
        x += lit;
    }
}

// Line delta of `cur` against `prev`: false when a line needs more than 255
// packets (the caller then writes byte runs).
bool line_delta(const uint8_t* prev, const uint8_t* cur, int w, int h, std::vector<uint8_t>& out) {
    int top = 0, bottom = h - 1;
    while (top < h && std::memcmp(prev + size_t(top) * w, cur + size_t(top) * w, w) == 0) ++top;
    if (top == h) return true;  // nothing changed: no chunk at all
    while (std::memcmp(prev + size_t(bottom) * w, cur + size_t(bottom) * w, w) == 0) --bottom;
    put16(out, top), put16(out, bottom - top + 1);
    for (int y = top; y <= bottom; ++y) {
        const uint8_t* a = prev + size_t(y) * w;
        const uint8_t* b = cur + size_t(y) * w;
        const size_t count_at = out.size();
        out.push_back(0);
        int packets = 0, x = 0;
        while (true) {
            int skip = 0;
            while (x < w && a[x] == b[x]) ++x, ++skip;
            if (x == w) break;
            while (skip > 255) {  // a long unchanged stretch: copy one byte to go on
                out.push_back(254), out.push_back(1), out.push_back(b[x - skip + 254]);
                skip -= 255, ++packets;
            }
            // Changed bytes up to the next stretch of 4 unchanged ones.
            int end = x;
            while (end < w && end - x < 127) {
                if (a[end] == b[end]) {
                    int same = 0;
                    while (end + same < w && same < 4 && a[end + same] == b[end + same]) ++same;
                    if (same == 4 || end + same == w) break;
                    end += same;
                    continue;
                }
                ++end;
            }
            if (end - x > 127) end = x + 127;
            const int n = end - x;
            int run = 1;
            while (run < n && b[x + run] == b[x]) ++run;
            out.push_back(uint8_t(skip));
            if (run == n && n >= 3) {
                out.push_back(uint8_t(-n)), out.push_back(b[x]);
            } else {
                out.push_back(uint8_t(n));
                out.insert(out.end(), b + x, b + end);
            }
            x = end;
            ++packets;
        }
        if (packets > 255) return false;
        out[count_at] = uint8_t(packets);
    }
    return true;
}

}  // namespace

struct FlicWriter {
    ReplaceFile file;
    std::FILE* spool = nullptr;
    ColourCounter colours;
    int expected = 0, added = 0, speed_ms = 67, width = 0, height = 0;
    ~FlicWriter() {
        if (spool) std::fclose(spool);
    }
    int encode();
    int write_frame(const std::vector<uint8_t>& chunks, int count);
};

int FlicWriter::write_frame(const std::vector<uint8_t>& chunks, int count) {
    uint8_t h[16] = {};
    set32(h, uint32_t(16 + chunks.size()));
    set16(h + 4, 0xF1FA), set16(h + 6, count);
    if (file.write(h, 16)) return file.error();
    return file.write(chunks.data(), chunks.size());
}

int FlicWriter::encode() {
    const size_t pixels = size_t(width) * height;
    std::vector<uint8_t> rgb, first, prev, cur, body, sub;
    try {
        rgb.resize(pixels * 3), first.resize(pixels), prev.resize(pixels), cur.resize(pixels);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    Quantized q;
    colours.finish(&q);
    uint8_t header[128] = {};
    file.write(header, sizeof header);
    if (std::fseek(spool, 0, SEEK_SET) != 0) return errno ? errno : EIO;
    uint32_t oframe[2] = {0, 0};
    auto add_sub = [&](int type, const std::vector<uint8_t>& data) {
        const size_t at = body.size();
        body.resize(at + 6);
        body.insert(body.end(), data.begin(), data.end());
        if (body.size() & 1) body.push_back(0);
        set32(body.data() + at, uint32_t(body.size() - at)), set16(body.data() + at + 4, type);
    };
    try {
        for (int f = 0; f <= added; ++f) {  // frame `added` is the ring frame
            body.clear();
            int chunks = 0;
            if (f < added) {
                if (std::fread(rgb.data(), 1, rgb.size(), spool) != rgb.size()) return EIO;
                colours.map(rgb.data(), pixels, cur.data());
            } else {
                cur = first;
            }
            if (f == 0) {
                sub.assign({1, 0, 0, 0});  // one packet: skip 0, 256 colours
                sub.insert(sub.end(), q.palette, q.palette + 768);
                add_sub(4, sub), ++chunks;
                first = cur;
            }
            sub.clear();
            const bool delta = f > 0 && line_delta(prev.data(), cur.data(), width, height, sub);
            if (delta && !sub.empty() && sub.size() < pixels) {
                add_sub(12, sub), ++chunks;
            } else if (f == 0 || prev != cur) {
                sub.clear();
                for (int y = 0; y < height; ++y) byte_run_line(cur.data() + size_t(y) * width, width, sub);
                add_sub(15, sub), ++chunks;
            }
            if (f < 2) oframe[f] = uint32_t(file.size());
            if (int err = write_frame(body, chunks)) return err;
            prev.swap(cur);
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (file.size() > 0xFFFFFFFFull) return EFBIG;
    set32(header, uint32_t(file.size()));
    set16(header + 4, 0xAF12), set16(header + 6, added), set16(header + 8, width), set16(header + 10, height);
    set16(header + 12, 8), set16(header + 14, 3), set32(header + 16, speed_ms);
    set16(header + 38, 1), set16(header + 40, 1);
    set32(header + 80, oframe[0]), set32(header + 84, oframe[1]);
    file.write_at(0, header, sizeof header);
    return file.commit();
}

FlicWriter* flic_open(const char* name, int frames, int speed, int width, int height, int* err) {
    int dummy;
    int& e = err ? *err : dummy;
    if (frames < 1 || frames > kFlicMaxFrames || width < 1 || height < 1 || width > 65535 || height > 65535) {
        e = kMovieRefused;
        return nullptr;
    }
    auto* w = new (std::nothrow) FlicWriter;
    if (!w || w->colours.init()) {
        delete w;
        e = kOutOfMemory;
        return nullptr;
    }
    w->expected = frames, w->width = width, w->height = height;
    w->speed_ms = speed > 0 && speed <= 1000 ? (1000 + speed / 2) / speed : 67;
    if ((e = w->file.open(name)) != 0) {
        delete w;
        return nullptr;
    }
    w->spool = std::tmpfile();
    if (!w->spool) {
        e = errno ? errno : EIO;
        delete w;
        return nullptr;
    }
    e = 0;
    return w;
}

int flic_add_frame(FlicWriter*& writer, const uint8_t* rgb) {
    if (!writer) return EBADF;
    const size_t bytes = size_t(writer->width) * writer->height * 3;
    int err = writer->colours.add(rgb, bytes / 3);
    if (!err && std::fwrite(rgb, 1, bytes, writer->spool) != bytes) err = errno ? errno : EIO;
    if (!err && ++writer->added == writer->expected) {
        if (std::fflush(writer->spool) != 0) err = errno ? errno : EIO;
        if (!err) err = writer->encode();
        delete writer;
        writer = nullptr;
        return err;
    }
    if (err) flic_abort(writer);
    return err;
}

int flic_close(FlicWriter*& writer) {
    if (!writer) return 0;
    int err = writer->added ? 0 : kMovieRefused;
    if (!err && std::fflush(writer->spool) != 0) err = errno ? errno : EIO;
    if (!err) err = writer->encode();
    delete writer;
    writer = nullptr;
    return err;
}

void flic_abort(FlicWriter*& writer) {
    delete writer;
    writer = nullptr;
}
