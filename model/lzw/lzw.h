// LZW coder shared by the native drawing file and the image formats.
//
// Code stream: codes of `initial width` bits growing to `maximum width` (12) bits;
// the literals are 0 .. 2^(initial-1) - 1, then the clear code 2^(initial-1) (256 for
// width 9), the end code (clear + 1), and the table's free codes from clear + 2 up to
// 4095. An encoded stream begins with a clear code and ends with the end code; when
// the table is full the encoder emits a clear code and starts again.
//
// Flags:
//   bit order    0: codes packed least significant bit first (the drawing file);
//                1: most significant bit first.
//   early change 0: the code width grows when the decoder's next free code reaches
//                the current width's limit, 2^width (the GIF rule); 1: one code
//                earlier, 2^width - 1 (the TIFF rule).
//
// Byte transport: one callback, called as (buffer, count, count or 1, context).
//   encoder: (buffer, count, 1, context) hands over count bytes of output (buffered in
//            blocks of 1024); a result other than count is a write failure: the
//            coder then refuses further input (lzw_write gives 0, lzw_flush non-zero).
//   decoder: (buffer, count, count, context) asks for up to count (1024) bytes; the
//            result is the number delivered, 0 (or less) meaning the end of the input.
//
// Memory: a coder holds about 90 KiB; a decoder adds the bytes decoded since the last
// clear code (64 KiB at first; at most 16 MiB with 3-bit literals, 8 MiB with 9-bit,
// however long a stream runs without a clear).
//
// A coder belongs to one thread at a time. Records carry the magic "S$x6" and are
// checked on every call.
#pragma once

#include <cstddef>
#include <cstdint>

struct LzwCoder;

using LzwCallback = int (*)(uint8_t* buffer, int count, int count_or_one, void* context);

inline constexpr int kLzwDecode = 0;
inline constexpr int kLzwEncode = 1;
inline constexpr int kLzwBlockSize = 1024;

// A new coder, or null for a bad argument (no callback, a maximum width other than
// 12, an initial width outside 3..12, a mode other than 0 or 1) or out of memory.
LzwCoder* lzw_create(LzwCallback callback, void* context, int initial_width, int max_width,
                     int mode, int msb_first, int early_change);

// Decoder: delivers up to n bytes; fewer only when the code stream ended (end code,
// end of the input, or a code that cannot occur in a valid stream). 0 for a coder
// that is not a decoder.
size_t lzw_read(LzwCoder* coder, void* buffer, size_t n);

// Encoder: takes n bytes into the code stream (the first write of a fresh stream
// emits a clear code first). Returns n, or 0 when the coder is no encoder, n is 0, a
// byte is not a literal of the initial width, or the callback failed.
size_t lzw_write(LzwCoder* coder, const void* buffer, size_t n);

// Encoder: emits the pending code and the end code, writes the remaining bits (the
// last byte padded) and returns to its start state, so that the next write begins a
// new code stream; nothing is emitted when no byte was written since the start.
// Decoder: back to its start state (code table and input buffer). Returns 0, or -1
// when the callback failed (the encoder is reset all the same).
int lzw_flush(LzwCoder* coder);

// Back to the start state without emitting anything (an abandoned code stream).
void lzw_reset(LzwCoder* coder);

// Flushes as lzw_flush and releases the coder. Nothing for null or a block that is
// not a coder.
void lzw_close(LzwCoder* coder);

// The context word handed to the callback; its user may replace it between uses.
void lzw_set_context(LzwCoder* coder, void* context);
void* lzw_context(const LzwCoder* coder);

// Whether `p` is a live coder, and whether it encodes.
bool lzw_is_coder(const void* p);
bool lzw_is_encoder(const LzwCoder* coder);

// Decoder: whether it stopped at a code that cannot occur in a valid stream.
bool lzw_corrupt(const LzwCoder* coder);
// Decoder: whether its data ended with the end code (rather than the input running
// out before it, as in a cut or zeroed file).
bool lzw_end_code_met(const LzwCoder* coder);
