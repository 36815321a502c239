// Primitives and chunks of the serialisation stream: varints, words, floats,
// doubles, strings and arrays, the chunk writer that patches lengths by seeking back,
// and the chunk reader that skips what its caller did not read.
#include "model/stream/iostream.h"

#include <cstdlib>
#include <cstring>
#include <limits>

RTC_CLASS_RECORD(IOstream, "IOstream", &RTC::rtc_class, 1, nullptr, nullptr, nullptr, false, false);

void IOstream::read(void*, size_t n) {
    if (n) io_raise(this, kIoBadData);
}
void IOstream::write(const void*, size_t n) {
    if (n) io_raise(this, kIoBadData);
}
int IOstream::seek(int64_t, int) {
    io_raise(this, kIoBadData);
}
uint64_t IOstream::tell() {
    io_raise(this, kIoBadData);
}
void* IOstream::alloc(size_t n) {
    if (n == 0) return nullptr;
    void* p = std::malloc(n);
    if (!p) io_raise(this, kIoOutOfMemory);
    return p;
}
void IOstream::free(void* p) {
    std::free(p);
}
uint64_t IOstream::available(uint64_t) {
    return std::numeric_limits<uint64_t>::max();
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
    const uint64_t pos = s->tell();
    return pos < s->chunks->end ? s->chunks->end - pos : 0;
}

void io_check_count(IOstream* s, int64_t count, uint64_t item_size) {
    if (count < 0) io_raise(s, kIoBadData);
    if (count == 0 || item_size == 0) return;
    const uint64_t n = static_cast<uint64_t>(count);
    if (n > std::numeric_limits<uint64_t>::max() / item_size) io_raise(s, kIoBadData);
    const uint64_t need = n * item_size;
    if (need > io_bytes_left(s)) io_raise(s, kIoBadData);
    if (s->available(need) < need) io_raise(s, kIoBadData);
}

// ---- Primitives

namespace {

inline void put_le32(uint8_t* b, uint32_t v) {
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t get_le32(const uint8_t* b) {
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

}  // namespace

void io_write(IOstream* s, const void* buf, size_t n) {
    if (n) s->write(buf, n);
}
void io_read(IOstream* s, void* buf, size_t n) {
    if (n) s->read(buf, n);
}

void io_put_varint(IOstream* s, uint32_t value) {
    uint8_t b[5];
    size_t n = 0;
    do {
        uint8_t byte = value & 0x7F;
        value >>= 7;
        if (value) byte |= 0x80;
        b[n++] = byte;
    } while (value);
    s->write(b, n);
}

uint32_t io_get_varint(IOstream* s) {
    uint32_t result = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        uint8_t byte;
        s->read(&byte, 1);
        result |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return result;
    }
    io_raise(s, kIoBadData);  // never written: more than five bytes
}

void io_put_long(IOstream* s, int32_t value) {
    uint8_t b[4];
    put_le32(b, static_cast<uint32_t>(value));
    s->write(b, 4);
}
int32_t io_get_long(IOstream* s) {
    uint8_t b[4];
    s->read(b, 4);
    return static_cast<int32_t>(get_le32(b));
}

void io_put_float(IOstream* s, double value) {
    const float f = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    uint8_t b[4];
    put_le32(b, bits);
    s->write(b, 4);
}
double io_get_float(IOstream* s) {
    uint8_t b[4];
    s->read(b, 4);
    const uint32_t bits = get_le32(b);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

void io_put_double(IOstream* s, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    uint8_t b[8];
    put_le32(b, static_cast<uint32_t>(bits));
    put_le32(b + 4, static_cast<uint32_t>(bits >> 32));
    s->write(b, 8);
}
double io_get_double(IOstream* s) {
    uint8_t b[8];
    s->read(b, 8);
    const uint64_t bits = uint64_t{get_le32(b)} | uint64_t{get_le32(b + 4)} << 32;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void io_put_string(IOstream* s, const char* text) {
    const size_t n = text ? std::strlen(text) : 0;
    if (n > std::numeric_limits<uint32_t>::max()) io_raise(s, kIoBadData);
    io_put_varint(s, static_cast<uint32_t>(n));
    if (n) s->write(text, n);
}

std::string io_get_string(IOstream* s) {
    const uint32_t n = io_get_varint(s);
    io_check_count(s, n, 1);
    std::string text(n, '\0');
    if (n) s->read(text.data(), n);
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
        put_le32(b, static_cast<uint32_t>(array[2 * i]));
        put_le32(b + 4, static_cast<uint32_t>(array[2 * i + 1]));
        s->write(b, 8);
    }
}
void io_get_pairs(IOstream* s, int32_t* array, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        uint8_t b[8];
        s->read(b, 8);
        array[2 * i] = static_cast<int32_t>(get_le32(b));
        array[2 * i + 1] = static_cast<int32_t>(get_le32(b + 4));
    }
}

// ---- Chunks

void io_chunk_begin(IOstream* s, ChunkMark* mark, uint32_t tag) {
    mark->tag = tag;
    uint8_t b[9];
    size_t n = 0;
    uint32_t v = tag;
    do {
        uint8_t byte = v & 0x7F;
        v >>= 7;
        if (v) byte |= 0x80;
        b[n++] = byte;
    } while (v);
    put_le32(b + n, 0);
    s->write(b, n + 4);
    mark->start = mark->end = s->tell();
    mark->length = 0;
    mark->next = s->chunks;
    s->chunks = mark;
}

int io_chunk_end(IOstream* s) {
    ChunkMark* mark = s->chunks;
    if (!mark) io_raise(s, kIoBadData);
    mark->end = s->tell();
    if (mark->end < mark->start) io_raise(s, kIoBadData);
    const uint64_t length = mark->end - mark->start;
    if (length > std::numeric_limits<uint32_t>::max()) io_raise(s, 27);  // EFBIG
    mark->length = static_cast<uint32_t>(length);
    s->seek(static_cast<int64_t>(mark->start) - 4, 0);
    io_put_long(s, static_cast<int32_t>(mark->length));
    const int r = s->seek(static_cast<int64_t>(mark->end), 0);
    s->chunks = mark->next;
    return r;
}

void io_chunk_open(IOstream* s, ChunkMark* mark) {
    mark->tag = io_get_varint(s);
    mark->length = static_cast<uint32_t>(io_get_long(s));
    mark->start = s->tell();
    mark->end = mark->start + mark->length;
    // A chunk cannot reach beyond the one that holds it: reading it would read the
    // holder beyond its end, so that is said at once, before anything is read.
    if (mark->length > io_bytes_left(s)) io_raise(s, kIoChunkOverrun);
    mark->next = s->chunks;
    s->chunks = mark;
}

void io_chunk_close(IOstream* s) {
    ChunkMark* mark = s->chunks;
    if (!mark) io_raise(s, kIoBadData);
    const uint64_t p = s->tell();
    if (p > mark->end) io_raise(s, kIoChunkOverrun);
    if (p < mark->end) s->seek(static_cast<int64_t>(mark->end), 0);
    s->chunks = mark->next;
}

bool io_chunk_inside(IOstream* s) {
    return s->chunks && s->tell() < s->chunks->end;
}
