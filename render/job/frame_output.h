// Where the frames of a render job go: numbered Targa, JPEG, GIF or BMP files, a
// FLIC, an AVI or nothing (the screen only). MPEG-1 pulls its frames through the
// encoder instead and is run by the job itself. Every file is replaced only when it
// is complete; a stopped run still closes its movie with the frames it finished.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/movie/avi_writer.h"
#include "imaging/movie/flic_writer.h"
#include "render/job/job_options.h"

class FrameOutput {
  public:
    ~FrameOutput();
    // Opens the movie for `frames` frames of width x height. 0, 13 or the writer's code;
    // *failed_name is the file that failed.
    [[nodiscard]] int open(const RenderJobOptions& options, int32_t width, int32_t height, int32_t frames,
                           std::string* failed_name);
    // One frame (RGB rows, top first) with its 0-based frame number.
    [[nodiscard]] int add(const uint8_t* rgb, int32_t frame, std::string* failed_name);
    // After the last frame or a stop: closes the movie with what it holds.
    [[nodiscard]] int close(std::string* failed_name);
    // After a failure: the old movie file stays.
    void abort();

  private:
    RenderJobOptions opt_;
    int32_t width_ = 0, height_ = 0;
    FlicWriter* flic_ = nullptr;
    AviWriter avi_;
    bool avi_open_ = false;
};
