// MPEG-1 video output (an elementary stream, ".mpg") over libavcodec's mpeg1video
// encoder. The caller fills MpegParams, installs a frame source and runs
// mpeg_setup then mpeg_encode; the encoder asks the source for each frame in turn.
// MPEG-1 has no 15 frames a second: the stream runs at 30 and every frame is coded
// twice (the copy as a P picture), so the movie keeps its timing (docs/renderjob.md).
// One MPEG output runs at a time. The target is replaced only when the stream is
// complete.
#pragma once

#include <cstdint>

#include "imaging/movie/movie_codes.h"

constexpr int kMpegOpenFailed = 1003;
constexpr int kMpegMaxSide = 4095;

struct MpegParams {
    int scale_b = 25, scale_p = 10, scale_i = 8;  // fixed quantiser scales (B is coded as P)
    int search_p = 1, search_b = 2;               // search selectors: not used by this encoder
    int frame_count = 0;                          // 1..
    int width = 0, height = 0;                    // 1..4095
    char output[256] = {};                        // output file name
    char pattern[256] = {};                       // picture types, e.g. "IPPP": the group length
    int search_range = 10;                        // motion search range in pixels
    int half_pel = 1;                             // always on in MPEG-1 here
};

enum MpegFrameType { kMpegFrameI = 1, kMpegFrameP = 2, kMpegFrameB = 3 };

// Fills `rgb` (width x height x 3, top row first) with frame `frame` (0-based) of
// picture type `type`; nonzero stops the encoding with that result. kMpegSourceStop
// after the first frame ends the movie there: the frames so far are written as a
// complete stream.
constexpr int kMpegSourceStop = -1;
using MpegFrameSource = int (*)(int frame, int type, uint8_t* rgb, void* context);

void mpeg_set_frame_source(MpegFrameSource source);
// Checks the parameters and opens the output: 0; kMovieRefused for bad parameters; 1003 when
// the output cannot be opened or another MPEG output is running.
[[nodiscard]] int mpeg_setup(const MpegParams& params);
// Encodes every frame, writes the stream and replaces the target; returns the first
// nonzero result (a source's, 8, kMovieRefused when the encoder refused a frame or
// nothing was set up, or an errno), the old file then kept, except a
// stop after the first frame (kMpegSourceStop, returned once the shorter movie is
// written). Releases
// what mpeg_setup took either way.
[[nodiscard]] int mpeg_encode(void* context);
// Releases a set-up that will not be encoded.
void mpeg_release();
// The errno behind the last 1003 (0 when the encoder itself refused).
int mpeg_last_open_errno();
