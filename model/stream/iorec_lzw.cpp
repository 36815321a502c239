// LZW-coded file streams: the two shared coders, turning a plain stream into a coded
// one in place, the coded transport (forward-only seeks while reading) and the
// read-ahead that lets counts be checked against the bytes the code stream still
// holds.
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include "model/lzw/lzw.h"
#include "model/stream/iorec.h"

RTC_CLASS_RECORD(IOrecLzw, "IOrecLzw", &IOrec::rtc_class, 3, nullptr, nullptr, nullptr, false,
                 false);

namespace {

struct SharedCoder {
    LzwCoder* coder = nullptr;
    bool busy = false;
};

std::mutex g_codec_mutex;
SharedCoder g_decoder, g_encoder;

SharedCoder& shared_for(int writing) {
    return writing ? g_encoder : g_decoder;
}

// Encoder output into the context stream's file. A failure is kept in the stream
// and reported as a short write, which makes the coder refuse further input.
int write_callback(uint8_t* buffer, int count, int, void* context) {
    auto* s = static_cast<IOrecLzw*>(context);
    if (!s) return count;  // a coder at rest: nothing to keep
    if (!s->file || s->saved_errno) return 0;
    const auto n = static_cast<size_t>(count);
    if (s->write_limit >= 0 && s->written + n > static_cast<uint64_t>(s->write_limit)) {
        s->saved_errno = ENOSPC;
        return 0;
    }
    errno = 0;
    if (fwrite_unlocked(buffer, 1, n, s->file) != n) {
        s->saved_errno = errno != 0 ? errno : EIO;
        return 0;
    }
    s->written += n;
    return count;
}

// Decoder input from the context stream's file; 0 at the end of the file.
int read_callback(uint8_t* buffer, int count, int, void* context) {
    auto* s = static_cast<IOrecLzw*>(context);
    if (!s || !s->file) return 0;
    errno = 0;
    const size_t got = fread_unlocked(buffer, 1, static_cast<size_t>(count), s->file);
    if (got == 0 && ferror(s->file)) s->saved_errno = errno != 0 ? errno : EIO;
    return static_cast<int>(got);
}

LzwCoder* make_coder(int writing, void* context) {
    return lzw_create(writing ? &write_callback : &read_callback, context, 9, 12,
                      writing ? kLzwEncode : kLzwDecode, 0, 0);
}

// Attaches a coder of the stream's direction: the shared one when it is free (made
// now when it does not exist yet), else a private one. False when none can be made.
bool attach_coder(IOrecLzw* s) {
    std::lock_guard<std::mutex> lock(g_codec_mutex);
    SharedCoder& shared = shared_for(s->writing);
    if (!shared.coder) {
        shared.coder = make_coder(s->writing, s);
        if (!shared.coder) return false;
        shared.busy = true;
        s->coder = shared.coder;
        return true;
    }
    if (shared.busy) {
        s->coder = make_coder(s->writing, s);
        return s->coder != nullptr;
    }
    lzw_reset(shared.coder);
    lzw_set_context(shared.coder, s);
    shared.busy = true;
    s->coder = shared.coder;
    return true;
}

}  // namespace

int lzw_codecs_init() {
    std::lock_guard<std::mutex> lock(g_codec_mutex);
    if (!g_decoder.coder) g_decoder.coder = make_coder(0, nullptr);
    if (!g_encoder.coder) g_encoder.coder = make_coder(1, nullptr);
    return g_decoder.coder && g_encoder.coder ? 0 : kOutOfMemory;
}

void lzw_codecs_release() {
    std::lock_guard<std::mutex> lock(g_codec_mutex);
    for (SharedCoder* sc : {&g_decoder, &g_encoder}) {
        if (sc->coder && !sc->busy) {
            lzw_reset(sc->coder);
            lzw_close(sc->coder);
            sc->coder = nullptr;
        }
    }
}

LzwCodecState lzw_codecs_state() {
    std::lock_guard<std::mutex> lock(g_codec_mutex);
    return {g_decoder.coder != nullptr, g_encoder.coder != nullptr, g_decoder.busy, g_encoder.busy};
}

std::unique_ptr<IOrec>& iorec_to_lzw(std::unique_ptr<IOrec>& stream) {
    IOrec* old = stream.get();
    if (!old) throw IoError{kBadArgument};
    if (auto* lzw = rtc_cast<IOrecLzw>(old)) {
        if (!lzw->coder && !attach_coder(lzw)) io_raise(old, kOutOfMemory);
        return stream;
    }
    std::unique_ptr<IOrecLzw> fresh = rtc_make<IOrecLzw>();
    if (!fresh) io_raise(old, kOutOfMemory);
    fresh->writing = old->writing;
    // What the plain stream still holds goes to the file before the coder's output;
    // a reading stream leaves the file where the coded part begins.
    old->finish_transport();
    if (!attach_coder(fresh.get())) io_raise(old, kOutOfMemory);
    fresh->take_over(*old);
    stream = std::move(fresh);  // destroys the old stream, which no longer owns anything
    return stream;
}

// ---- IOrecLzw

IOrecLzw::~IOrecLzw() {
    if (!coder) return;
    // A committed encoder has been flushed; anything else is abandoned.
    lzw_reset(coder);
    std::lock_guard<std::mutex> lock(g_codec_mutex);
    SharedCoder& shared = shared_for(writing);
    if (coder == shared.coder) {
        lzw_set_context(coder, nullptr);
        shared.busy = false;
    } else {
        lzw_close(coder);
    }
    coder = nullptr;
}

void IOrecLzw::finish_transport() {
    if (!writing || !coder) return;
    if (lzw_flush(coder) != 0 || saved_errno)
        io_raise(this, saved_errno ? saved_errno : kIoLzwEnded);
}

void IOrecLzw::take_back_direct() {
    if (!direct_base) return;
    ahead_pos = static_cast<size_t>(direct_cur - direct_base);
    position = direct_pos + ahead_pos;
}

void IOrecLzw::lend_direct() {
    if (writing || !coder || !file || !ahead) {
        direct_base = direct_cur = direct_get_end = direct_put_end = nullptr;
        direct_pos = 0;
        return;
    }
    direct_base = ahead.get();
    direct_pos = position - ahead_pos;
    direct_cur = direct_base + ahead_pos;
    direct_get_end = direct_base + ahead_size;
    direct_put_end = nullptr;
}

void IOrecLzw::read(void* buf, size_t n) {
    if (n == 0) return;
    if (writing || !coder) io_raise(this, kBadArgument);
    DirectWindowScope direct(this);
    auto* out = static_cast<uint8_t*>(buf);
    size_t got = 0;
    if (ahead_pos < ahead_size) {
        got = std::min(n, ahead_size - ahead_pos);
        std::memcpy(out, ahead.get() + ahead_pos, got);
        ahead_pos += got;
    }
    if (ahead_pos == ahead_size) ahead_pos = ahead_size = 0;
    if (got < n && !coder_ended) {
        const size_t rest = n - got;
        if (rest >= kReadAhead) {  // a large read goes straight to the caller
            const size_t r = lzw_read(coder, out + got, rest);
            if (r < rest) coder_ended = true;
            got += r;
        } else {
            // Decode a piece ahead into the (empty) buffer and hand out the front.
            if (ahead_cap < kReadAhead) {
                std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[kReadAhead]);
                if (!grown) io_raise(this, kOutOfMemory);
                ahead = std::move(grown);
                ahead_cap = kReadAhead;
            }
            const size_t r = lzw_read(coder, ahead.get(), kReadAhead);
            if (r < kReadAhead) coder_ended = true;
            ahead_size = r;
            const size_t take = std::min(rest, r);
            std::memcpy(out + got, ahead.get(), take);
            ahead_pos = take;
            got += take;
        }
    }
    if (got != n) io_raise(this, saved_errno ? saved_errno : kIoLzwEnded);
    position += n;
}

void IOrecLzw::write(const void* buf, size_t n) {
    if (n == 0) return;
    if (!writing || !coder) io_raise(this, kBadArgument);
    if (lzw_write(coder, buf, n) != n) io_raise(this, saved_errno ? saved_errno : kIoLzwEnded);
}

int IOrecLzw::seek(int64_t offset, int whence) {
    if (writing) io_raise(this, kIoRefusedSeek);
    DirectWindowScope direct(this);
    int64_t target;
    if (whence == 0) {
        target = offset;
    } else if (whence == 1) {
        target = static_cast<int64_t>(position) + offset;
    } else {
        io_raise(this, kIoRefusedSeek);
    }
    if (target < 0 || static_cast<uint64_t>(target) < position) io_raise(this, kIoRefusedSeek);
    uint8_t scratch[4096];
    while (position < static_cast<uint64_t>(target)) {
        const uint64_t step =
            std::min<uint64_t>(sizeof scratch, static_cast<uint64_t>(target) - position);
        read(scratch, static_cast<size_t>(step));
    }
    if (position != static_cast<uint64_t>(target)) io_raise(this, kIoRefusedSeek);
    return 0;
}

uint64_t IOrecLzw::tell() {
    take_back_direct();
    return position;
}

uint64_t IOrecLzw::available(uint64_t want) {
    if (writing) return std::numeric_limits<uint64_t>::max();
    DirectWindowScope direct(this);
    uint64_t have = ahead_size - ahead_pos;
    while (have < want && !coder_ended && coder) {
        // Keep what is buffered at the front, then decode the next piece behind it.
        if (ahead_pos > 0) {
            std::memmove(ahead.get(), ahead.get() + ahead_pos, ahead_size - ahead_pos);
            ahead_size -= ahead_pos;
            ahead_pos = 0;
        }
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(want - have, 1u << 16));
        if (ahead_size + piece > ahead_cap) {
            size_t cap = ahead_cap ? ahead_cap : 1u << 16;
            while (cap < ahead_size + piece) cap *= 2;
            std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[cap]);
            if (!grown) io_raise(this, kOutOfMemory);
            if (ahead_size) std::memcpy(grown.get(), ahead.get(), ahead_size);
            ahead = std::move(grown);
            ahead_cap = cap;
        }
        const size_t r = lzw_read(coder, ahead.get() + ahead_size, piece);
        if (r < piece) coder_ended = true;
        ahead_size += r;
        have += r;
    }
    return have;
}

bool IOrecLzw::ended_whole() {
    return writing || (coder && lzw_end_code_met(coder));
}
