// Primitives and chunks of the serialisation stream: varints, words, floats,
// doubles, strings and arrays, the chunk writer that patches lengths by seeking back,
// and the chunk reader that skips what its caller did not read.
#include "model/stream/iostream.h"

#include <cstdlib>
#include <cstring>
#include <limits>

RTC_CLASS_RECORD(IOstream, "IOstream", &RTC::rtc_class, 1, nullptr, nullptr, nullptr, false, false);

void IOstream::read(void*, size_t n) {
    if (n) io_raise(this, kBadArgument);
}
void IOstream::write(const void*, size_t n) {
    if (n) io_raise(this, kBadArgument);
}
int IOstream::seek(int64_t, int) {
    io_raise(this, kBadArgument);
}
uint64_t IOstream::tell() {
    io_raise(this, kBadArgument);
}
void* IOstream::alloc(size_t n) {
    if (n == 0) return nullptr;
    void* p = std::malloc(n);
    if (!p) io_raise(this, kOutOfMemory);
    return p;
}
void IOstream::free(void* p) {
    std::free(p);
}
uint64_t IOstream::available(uint64_t) {
    return std::numeric_limits<uint64_t>::max();
}
bool IOstream::ended_whole() {
    return true;
}

void io_raise(IOstream* s, int code) {
    if (code == 0) code = 1;
    if (s) s->error_code = code;
    throw IoError{code};
}

void* io_alloc(IOstream* s, size_t n) {
    return s->alloc(n);
}
void io_free(IOstream* s, void* p) {
    s->free(p);
}

// ---- Bounds

uint64_t io_bytes_left(IOstream* s) {
    if (!s->chunks) return std::numeric_limits<uint64_t>::max();
    const uint64_t pos = io_tell(s);
    return pos < s->chunks->end ? s->chunks->end - pos : 0;
}

void io_check_count(IOstream* s, int64_t count, uint64_t item_size) {
    if (count < 0) io_raise(s, kBadArgument);
    if (count == 0 || item_size == 0) return;
    const uint64_t n = static_cast<uint64_t>(count);
    if (n > std::numeric_limits<uint64_t>::max() / item_size) io_raise(s, kBadArgument);
    const uint64_t need = n * item_size;
    if (need > io_bytes_left(s)) io_raise(s, kBadArgument);
    // Bytes in the direct window are there to be delivered.
    if (need <= io_direct_room(s) && s->direct_get_end) return;
    if (s->available(need) < need) io_raise(s, kBadArgument);
}

void io_expect_end(IOstream* s) {
    if (s->available(1) != 0 || !s->ended_whole()) io_raise(s, kBadArgument);
}

// ---- Primitives

void io_write(IOstream* s, const void* buf, size_t n) {
    io_put_bytes(s, buf, n);
}
void io_read(IOstream* s, void* buf, size_t n) {
    io_get_bytes(s, buf, n);
}

void io_put_bytes_slow(IOstream* s, const void* buf, size_t n) {
    if (n) s->write(buf, n);
}
void io_get_bytes_slow(IOstream* s, void* buf, size_t n) {
    if (n) s->read(buf, n);
}

void io_put_varint_slow(IOstream* s, uint32_t value) {
    uint8_t b[5];
    const size_t n = io_encode_varint(b, value);
    io_put_bytes(s, b, n);
}

uint32_t io_get_varint_slow(IOstream* s) {
    uint32_t result = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        uint8_t byte;
        io_get_bytes(s, &byte, 1);
        result |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return result;
    }
    io_raise(s, kBadArgument);  // never written: more than five bytes
}

void io_put_string(IOstream* s, const char* text) {
    const size_t n = text ? std::strlen(text) : 0;
    if (n > std::numeric_limits<uint32_t>::max()) io_raise(s, kBadArgument);
    io_put_varint(s, static_cast<uint32_t>(n));
    io_put_bytes(s, text, n);
}

std::string io_get_string(IOstream* s) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 1);
    std::string text(n, '\0');
    io_get_bytes(s, text.data(), n);
    return text;
}

void io_put_varints(IOstream* s, const uint32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) io_put_varint(s, array[i]);
}
void io_get_varints(IOstream* s, uint32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) array[i] = io_get_varint(s);
}
void io_put_longs(IOstream* s, const int32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) io_put_long(s, array[i]);
}
void io_get_longs(IOstream* s, int32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) array[i] = io_get_long(s);
}
void io_put_pairs(IOstream* s, const int32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        uint8_t b[8];
        io_store_le32(b, static_cast<uint32_t>(array[2 * i]));
        io_store_le32(b + 4, static_cast<uint32_t>(array[2 * i + 1]));
        io_put_bytes(s, b, 8);
    }
}
void io_get_pairs(IOstream* s, int32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        uint8_t b[8];
        io_get_bytes(s, b, 8);
        array[2 * i] = static_cast<int32_t>(io_load_le32(b));
        array[2 * i + 1] = static_cast<int32_t>(io_load_le32(b + 4));
    }
}

// ---- Chunks

void io_chunk_begin(IOstream* s, ChunkMark* mark, uint32_t tag) {
    mark->tag = tag;
    if (io_direct_put_room(s) >= 9) {
        uint8_t* b = s->direct_cur;
        const size_t n = io_encode_varint(b, tag);
        io_store_le32(b + n, 0);
        s->direct_cur += n + 4;
    } else {
        uint8_t b[9];
        const size_t n = io_encode_varint(b, tag);
        io_store_le32(b + n, 0);
        io_put_bytes(s, b, n + 4);
    }
    mark->start = mark->end = io_tell(s);
    mark->length = 0;
    mark->next = s->chunks;
    s->chunks = mark;
}

int io_chunk_end(IOstream* s) {
    ChunkMark* mark = s->chunks;
    if (!mark) io_raise(s, kBadArgument);
    mark->end = io_tell(s);
    if (mark->end < mark->start) io_raise(s, kBadArgument);
    const uint64_t length = mark->end - mark->start;
    if (length > std::numeric_limits<uint32_t>::max()) io_raise(s, 27);  // EFBIG
    mark->length = static_cast<uint32_t>(length);
    int r = 0;
    if (s->direct_put_end && mark->start >= s->direct_pos + 4) {
        // The length field is still in the direct window: patched in place.
        io_store_le32(s->direct_base + (mark->start - 4 - s->direct_pos), mark->length);
    } else {
        s->seek(static_cast<int64_t>(mark->start) - 4, 0);
        io_put_long(s, static_cast<int32_t>(mark->length));
        r = s->seek(static_cast<int64_t>(mark->end), 0);
    }
    s->chunks = mark->next;
    return r;
}

void io_chunk_open(IOstream* s, ChunkMark* mark) {
    mark->tag = io_get_varint(s);
    mark->length = static_cast<uint32_t>(io_get_long(s));
    mark->start = io_tell(s);
    mark->end = mark->start + mark->length;
    // A chunk cannot reach beyond the one that holds it: reading it would read the
    // holder beyond its end, so that is said at once, before anything is read.
    if (mark->length > io_bytes_left(s)) io_raise(s, kIoChunkOverrun);
    // Zeroed bytes read as chunks are empty chunks of tag 0, one after another: no
    // writer puts two of them in a row, so the second is refused as damage.
    if (mark->tag == 0 && mark->length == 0) {
        if (s->empty_zero_chunk_end == mark->start - 5) io_raise(s, kBadArgument);
        s->empty_zero_chunk_end = mark->start;
    }
    mark->next = s->chunks;
    s->chunks = mark;
}

void io_chunk_close(IOstream* s) {
    ChunkMark* mark = s->chunks;
    if (!mark) io_raise(s, kBadArgument);
    const uint64_t p = io_tell(s);
    if (p > mark->end) io_raise(s, kIoChunkOverrun);
    if (p < mark->end) {
        if (s->direct_get_end && mark->end - p <= io_direct_room(s))
            s->direct_cur += mark->end - p;  // the rest of the chunk is in the window
        else
            s->seek(static_cast<int64_t>(mark->end), 0);
    }
    s->chunks = mark->next;
}
