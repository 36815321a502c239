// The serialisation stream of the native drawing file: variable-length integers,
// 4-byte words and floats, 8-byte doubles, counted strings, nested length-prefixed
// chunks that a reader can skip, and object records (a chunk naming the object's
// class, then the data of every class level, root-most level first).
//
// `IOstream` is a class of the object system. It knows nothing of files: the byte
// transport (read, write, seek, tell, alloc, free) is supplied by its subclasses
// (model/stream/iorec.h).
//
// Wire form: all integers little-endian, floats IEEE 754.
//   varint   unsigned 32 bits in 7-bit groups, least significant first, bit 7 set on
//            every byte but the last; 1 to 5 bytes. A negative int32 is written as its
//            two's-complement form (-1 = FF FF FF FF 0F) and reads back negative.
//   long     4 bytes, two's complement.      float   4-byte single.   double  8 bytes.
//   string   varint byte count, then the bytes, no terminator.
//   chunk    varint tag, 4-byte content length, the content.
//
// Errors: every routine that reads or writes raises on failure by throwing IoError
// (io_raise), which also stores the code in the stream's error_code. Entry points of
// the file layer catch it with io_guarded() and turn it into the result code.
// Resources held while a raise passes through are released by their owners (RAII);
// nothing else is needed of a guard. Codes passing through:
//   8 out of memory; 13 unacceptable record content or a count larger than the bytes
//   left; 222 a chunk read past its end; -10 an object record without its class-name
//   chunk 127; -11 a class name that no drawing class bears; -153 stop after a block
//   label; transport codes of model/stream/iorec.h (errno, -1, 155).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "model/math/result.h"
#include "model/rtc/rtc.h"

// ---- Result codes raised through streams (besides those of model/math/result.h) -

inline constexpr int kIoWrongTopChunk = 11;
inline constexpr int kIoLzwEnded = -1;
inline constexpr int kIoRefusedSeek = 155;
inline constexpr int kIoChunkOverrun = 222;
inline constexpr int kIoNoClassChunk = -10;
inline constexpr int kIoUnknownClass = -11;
inline constexpr int kIoStopAfterLabel = -153;

// Tag of the class-name chunk that opens every object record.
inline constexpr uint32_t kIoClassNameTag = 127;

// The exception that carries a raised code to the nearest guard. Never leaves an
// engine entry point.
struct IoError {
    int code;
};

// One open chunk. A local of the routine that opened it; the stream links the open
// marks innermost first. Positions are byte offsets of the stream (64-bit here;
// a chunk's length on the wire is 32-bit).
struct ChunkMark {
    uint64_t start = 0;   // first content byte, just behind the length field
    uint64_t end = 0;     // just behind the content
    uint32_t length = 0;  // content length in bytes
    uint32_t tag = 0;
    ChunkMark* next = nullptr;  // the enclosing chunk's mark
};

class IOstream : public RTC {
  public:
    static RtcClass rtc_class;
    IOstream() { set_klass(&rtc_class); }

    // Transport methods. The base class has none: each raises 13.
    // Delivers exactly n bytes or raises; n = 0 does nothing.
    virtual void read(void* buf, size_t n);
    // Writes exactly n bytes or raises; n = 0 does nothing.
    virtual void write(const void* buf, size_t n);
    // whence 0 from the start, 1 from the current position, 2 from the end. Returns 0;
    // a seek that cannot be made raises.
    virtual int seek(int64_t offset, int whence);
    // Current byte position.
    virtual uint64_t tell();
    // n bytes of heap memory (malloc); null for n = 0; raises 8 when none is left.
    virtual void* alloc(size_t n);
    // Releases memory from alloc; null is allowed.
    virtual void free(void* p);
    // Reading: at least `want` when the transport can still deliver that many bytes,
    // else the exact number it can deliver (a coded stream decodes ahead to find out,
    // so ask only for what is about to be read). The base answers UINT64_MAX.
    virtual uint64_t available(uint64_t want);
    // Reading, once available() has found no more bytes: false when the transport
    // knows its data was cut short (coded data that ran out before its end code).
    // The base answers true.
    virtual bool ended_whole();

    ChunkMark* chunks = nullptr;  // innermost open chunk; null when none
    int error_code = 0;           // code of the last raise; 0 while none
    // Reading: where the last empty chunk of tag 0 ended (five zero bytes read as a
    // chunk header); none is ever written right behind another.
    uint64_t empty_zero_chunk_end = UINT64_MAX;

    // Direct window: a transport that holds its bytes in memory may lend them here, so
    // the primitives below copy in and out without a call. Stream positions from
    // direct_pos on lie at direct_base; the stream stands at direct_cur. Reading:
    // [direct_cur, direct_get_end) are bytes the stream delivers next. Writing:
    // [direct_cur, direct_put_end) is room to write into, and [direct_base, direct_cur)
    // holds bytes written and not yet handed on, which may still be patched in place.
    // The end of the other direction is null, so a primitive of the wrong direction
    // finds no room and goes to the transport, which refuses it. Every transport method
    // takes the cursor back from direct_cur first and lends the window again before it
    // returns (also on a raise); all null when the transport lends none.
    uint8_t* direct_base = nullptr;
    uint8_t* direct_cur = nullptr;
    uint8_t* direct_get_end = nullptr;
    uint8_t* direct_put_end = nullptr;
    uint64_t direct_pos = 0;
};

// Throws IoError{code} after storing it in s->error_code (s may be null). A code of
// 0 is raised as 1.
[[noreturn]] void io_raise(IOstream* s, int code);

// Runs body() and returns 0, or the code of a raise that escaped it: IoError gives
// its code, std::bad_alloc and std::length_error give 8, any other exception 1.
// Use at every entry point of the file layer; the body may replace the stream
// (iorec_to_lzw), so the guard itself never touches one.
template <class Body>
[[nodiscard]] int io_guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return 0;
    } catch (const IoError& e) {
        return e.code != 0 ? e.code : 1;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (const std::length_error&) {
        return kOutOfMemory;
    } catch (...) {
        return 1;
    }
}

// Runs body() and returns its result, or the code io_guarded gives for an exception
// that escaped it (8 when memory ran out). For entry points whose setup and tail
// (measuring, scopes, log lines) also allocate.
template <class Body>
[[nodiscard]] int io_guarded_result(Body&& body) noexcept {
    int r = 0;
    const int g = io_guarded([&] { r = std::forward<Body>(body)(); });
    return g != 0 ? g : r;
}

// ---- Memory through the stream -------------------------------------------------

void* io_alloc(IOstream* s, size_t n);  // raises 8
void io_free(IOstream* s, void* p);

// ---- Bounds for counts read from a file ------------------------------------------

// Bytes left up to the end of the innermost open chunk; UINT64_MAX when none is open.
uint64_t io_bytes_left(IOstream* s);

// Raises 13 unless `count` items of `item_size` bytes each fit into the bytes left in
// the innermost chunk and the transport can still deliver them (64-bit arithmetic; a
// negative count raises 13). Call it before allocating for any count read from a file.
void io_check_count(IOstream* s, int64_t count, uint64_t item_size);

// Raises 13 when the transport can still deliver a byte, or its data was cut short.
// A file's outermost structure ends where the file ends: bytes left over are what a
// damaged length or a zeroed tail leaves behind a part of the file.
void io_expect_end(IOstream* s);

// ---- Primitives ------------------------------------------------------------------
// The common case of each primitive (the bytes fit into the direct window) is inline;
// the rest goes through the transport's methods (io_*_slow, never called directly).

// Bytes the direct window holds to be read, and room it has to be written into; 0 in
// the direction the stream does not go (its end is null).
inline size_t io_direct_room_to(const uint8_t* end, const uint8_t* cur) {
    const auto e = reinterpret_cast<uintptr_t>(end), c = reinterpret_cast<uintptr_t>(cur);
    return e > c ? static_cast<size_t>(e - c) : 0;
}
inline size_t io_direct_room(const IOstream* s) {
    return io_direct_room_to(s->direct_get_end, s->direct_cur);
}
inline size_t io_direct_put_room(const IOstream* s) {
    return io_direct_room_to(s->direct_put_end, s->direct_cur);
}

// Current byte position (the transport's tell when it lends no window).
inline uint64_t io_tell(IOstream* s) {
    if (s->direct_base)
        return s->direct_pos + static_cast<uint64_t>(s->direct_cur - s->direct_base);
    return s->tell();
}

inline void io_store_le32(uint8_t* b, uint32_t v) {
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t io_load_le32(const uint8_t* b) {
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// A varint into b (at least 5 bytes); returns its length.
inline size_t io_encode_varint(uint8_t* b, uint32_t value) {
    size_t n = 0;
    while (value >= 0x80) {
        b[n++] = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    b[n++] = static_cast<uint8_t>(value);
    return n;
}

void io_put_varint_slow(IOstream* s, uint32_t value);
uint32_t io_get_varint_slow(IOstream* s);
void io_put_bytes_slow(IOstream* s, const void* buf, size_t n);
void io_get_bytes_slow(IOstream* s, void* buf, size_t n);

// n raw bytes (n may be 0).
inline void io_put_bytes(IOstream* s, const void* buf, size_t n) {
    if (io_direct_put_room(s) >= n) {
        if (n) std::memcpy(s->direct_cur, buf, n);
        s->direct_cur += n;
        return;
    }
    io_put_bytes_slow(s, buf, n);
}
inline void io_get_bytes(IOstream* s, void* buf, size_t n) {
    if (io_direct_room(s) >= n) {
        if (n) std::memcpy(buf, s->direct_cur, n);
        s->direct_cur += n;
        return;
    }
    io_get_bytes_slow(s, buf, n);
}

inline void io_put_varint(IOstream* s, uint32_t value) {
    if (io_direct_put_room(s) >= 5) {
        s->direct_cur += io_encode_varint(s->direct_cur, value);
        return;
    }
    io_put_varint_slow(s, value);
}
// More than 5 bytes raises 13.
inline uint32_t io_get_varint(IOstream* s) {
    if (io_direct_room(s) >= 1 && s->direct_cur[0] < 0x80) return *s->direct_cur++;
    return io_get_varint_slow(s);
}
// A varint read as a signed 32-bit value (-1 for FF FF FF FF 0F).
inline int32_t io_get_varint_signed(IOstream* s) {
    return static_cast<int32_t>(io_get_varint(s));
}

inline void io_put_long(IOstream* s, int32_t value) {
    uint8_t b[4];
    io_store_le32(b, static_cast<uint32_t>(value));
    io_put_bytes(s, b, 4);
}
inline int32_t io_get_long(IOstream* s) {
    uint8_t b[4];
    io_get_bytes(s, b, 4);
    return static_cast<int32_t>(io_load_le32(b));
}

// Rounded to single precision.
inline void io_put_float(IOstream* s, double value) {
    const float f = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    io_put_long(s, static_cast<int32_t>(bits));
}
inline double io_get_float(IOstream* s) {
    const uint32_t bits = static_cast<uint32_t>(io_get_long(s));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline void io_put_double(IOstream* s, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    uint8_t b[8];
    io_store_le32(b, static_cast<uint32_t>(bits));
    io_store_le32(b + 4, static_cast<uint32_t>(bits >> 32));
    io_put_bytes(s, b, 8);
}
inline double io_get_double(IOstream* s) {
    uint8_t b[8];
    io_get_bytes(s, b, 8);
    const uint64_t bits = uint64_t{io_load_le32(b)} | uint64_t{io_load_le32(b + 4)} << 32;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// A null text is written as the empty string.
void io_put_string(IOstream* s, const char* text);
inline void io_put_string(IOstream* s, const std::string& text) {
    io_put_string(s, text.c_str());
}
// The count is checked against the bytes left (13) before memory is taken.
std::string io_get_string(IOstream* s);

// Arrays of n 32-bit words: varints, 4-byte words, pairs of 4-byte words (8 bytes a
// pair, for arrays of two-float points; `array` holds 2n words). n <= 0 does nothing.
void io_put_varints(IOstream* s, const uint32_t* array, int64_t n);
void io_get_varints(IOstream* s, uint32_t* array, int64_t n);
void io_put_longs(IOstream* s, const int32_t* array, int64_t n);
void io_get_longs(IOstream* s, int32_t* array, int64_t n);
void io_put_pairs(IOstream* s, const int32_t* array, int64_t n);
void io_get_pairs(IOstream* s, int32_t* array, int64_t n);

// Raw bytes through the transport.
void io_write(IOstream* s, const void* buf, size_t n);
void io_read(IOstream* s, void* buf, size_t n);

// ---- Chunks ----------------------------------------------------------------------

// Writer: opens a chunk (tag, length placeholder) and pushes `mark`.
void io_chunk_begin(IOstream* s, ChunkMark* mark, uint32_t tag);
// Writer: patches the innermost chunk's length and pops it. Returns 0 (a failed seek
// raises). A chunk longer than 4 GiB - 1 raises 27.
int io_chunk_end(IOstream* s);

// Reader: reads the next chunk's tag and length into `mark` and pushes it. A length
// reaching beyond the enclosing chunk raises 222 before anything of the chunk is read
// (at top level the close finds it).
void io_chunk_open(IOstream* s, ChunkMark* mark);
// Reader: skips what was not read of the innermost chunk and pops it; raises 222 when
// the chunk was read beyond its end.
void io_chunk_close(IOstream* s);

// True while the stream is inside the innermost open chunk (position below its end);
// the readers' "while inside" loop. False when no chunk is open.
inline bool io_chunk_inside(IOstream* s) {
    return s->chunks && io_tell(s) < s->chunks->end;
}

// Chunk opened for reading and closed when the scope ends normally; on a raise the
// mark is simply dropped (the stream is not used again but to be closed).
class IoChunkReader {
  public:
    explicit IoChunkReader(IOstream* s) : s_(s) { io_chunk_open(s, &mark); }
    ~IoChunkReader() noexcept(false) {
        if (std::uncaught_exceptions() == pending_) io_chunk_close(s_);
    }
    IoChunkReader(const IoChunkReader&) = delete;
    IoChunkReader& operator=(const IoChunkReader&) = delete;
    uint32_t tag() const { return mark.tag; }
    ChunkMark mark;

  private:
    IOstream* s_;
    int pending_ = std::uncaught_exceptions();
};

// The same for writing: begun at construction, ended when the scope ends normally.
class IoChunkWriter {
  public:
    IoChunkWriter(IOstream* s, uint32_t tag) : s_(s) { io_chunk_begin(s, &mark, tag); }
    ~IoChunkWriter() noexcept(false) {
        if (std::uncaught_exceptions() == pending_) io_chunk_end(s_);
    }
    IoChunkWriter(const IoChunkWriter&) = delete;
    IoChunkWriter& operator=(const IoChunkWriter&) = delete;
    ChunkMark mark;

  private:
    IOstream* s_;
    int pending_ = std::uncaught_exceptions();
};

// ---- Object records and the class-level save and load chains ----------------------

// Installs a class level's save and load methods (either may be null). Called at
// start-up, before any stream is used; the record's has_save / has_load flags say
// whether the level has a method at all.
void io_set_class_methods(RtcClass* cls, RtcIoMethod save, RtcIoMethod load);

// Writes an object record: chunk `tag` { chunk 127 { class name }, rtc_save }.
// Returns 0 (failures raise).
int io_put_object(IOstream* s, RTC* obj, uint32_t tag);

// Reads an object record inside a chunk the caller has opened (and closes afterwards):
// chunk 127 with the class name (another tag raises -10), makes an object of that
// class (a name no drawing class bears raises -11; only drawing classes are made:
// kinds ZOBJ except MODEL, and view objects of kind ZSVIEW), and runs its load chain.
// On success `out` owns the object; on a raise `out` is null and the half-read object
// has been destroyed. A failing init raises its code.
void io_get_object(IOstream* s, std::unique_ptr<RTC>& out);

// io_get_object in two steps, for readers that treat some classes themselves: the
// class-name chunk (another tag raises -10) and the drawing class it names, or null
// when no drawing class bears the name; then an object of `cls` made and its load
// chain run (`out` as io_get_object leaves it).
RtcClass* io_get_record_class(IOstream* s);
void io_get_object_of(IOstream* s, RtcClass* cls, std::unique_ptr<RTC>& out);

// Whether io_get_object may make objects of `cls`.
bool io_is_drawing_class(const RtcClass* cls);

// Runs the object's save (load) chain: the first level, from the object's own class
// down to the root, whose method is set. Does nothing for a class never set up or
// an object without any such level. Returns that method's result, else 0.
int rtc_save(IOstream* s, RTC* obj);
int rtc_load(IOstream* s, RTC* obj);

// Called by a class's own save (load) method, first thing, for its own level `cls`:
// 0 when obj is null or not of kind cls; 1 when cls is the root; otherwise the result
// of the direct base's method when that base has one, else 1 (the chain ends).
int rtc_save_base(IOstream* s, RTC* obj, const RtcClass* cls);
int rtc_load_base(IOstream* s, RTC* obj, const RtcClass* cls);
