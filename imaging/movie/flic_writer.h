// FLC (0xAF12) writer for rendered animations. Frames arrive as 24-bit pixels and
// are spooled to a temporary file while one palette for the whole movie is counted
// (the exact colours while at most 256 occur, else median cut). When the last
// expected frame arrives, or when the writer is closed early, the movie is encoded:
// the first frame as a palette and byte runs, every later one as a line delta from
// the one before (byte runs when that is smaller), and a ring frame from the last
// back to the first. The target is replaced only when the whole file is written.
#pragma once

#include <cstdint>

#include "imaging/movie/movie_codes.h"

struct FlicWriter;

constexpr int kFlicMaxFrames = 4000;

// Opens a writer for `frames` frames (1..4000), `speed` frames per second (15 gives
// 67 ms a frame), width and height 1..65535. Null on failure with the code in *err:
// kMovieRefused for bad counts or sizes, 8, or the errno of the file.
FlicWriter* flic_open(const char* name, int frames, int speed, int width, int height, int* err = nullptr);
// Adds one frame (rows of width x 3 RGB bytes, top row first). After the last
// expected frame the movie is written and closed and `writer` becomes null; on any
// failure it is abandoned (old file kept) and becomes null too. 0, 8 or errno.
[[nodiscard]] int flic_add_frame(FlicWriter*& writer, const uint8_t* rgb);
// Closes an unfinished writer: the frames added so far become a complete movie (no
// frames: the old file is kept and kMovieRefused answered). `writer` becomes null.
[[nodiscard]] int flic_close(FlicWriter*& writer);
// Abandons the writer and keeps the old file.
void flic_abort(FlicWriter*& writer);
