// The render job's own settings of a viewport (camera name, frame range, output file
// and kind, image size) and the small rules around them: the image size of each size
// mode, the frame range of an animation, the names of numbered frame files and the
// timing text. Plain data and pure functions; no threads, no drawing.
#pragma once

#include <cstdint>
#include <string>

class VIEW;

enum RenderOutputKind : int32_t {
    kOutputScreen = 0, kOutputFlic = 1, kOutputAvi = 2, kOutputMpeg = 3,
    kOutputTarga = 4, kOutputJpeg = 5, kOutputGif = 6, kOutputBmp = 7,
};

// The image size of a render: typed, the drawing window's, or one of the fixed sizes
// of the modes after those up to kRenderSizeLast (render_job_image_size).
enum RenderSizeMode : int32_t {
    kRenderSizeTyped = 0,
    kRenderSizeWindow = 1,
    kRenderSizeLast = 10,
};

struct RenderJobOptions {
    std::string camera_name = "<Viewport>";  // "<Viewport>" or a CAMERA's name
    int32_t first_frame = 1, last_frame = 1;  // counted from 1
    int32_t frame_count = 0;                  // sets the digits of frame file names
    int32_t animation = 0;                    // render the frame range
    std::string output;                       // movie file, or the pattern of frame files
    int32_t output_kind = kOutputScreen;      // RenderOutputKind, 0..7
    int32_t typed_width = 0, typed_height = 0;
    int32_t size_mode = 8;                    // RenderSizeMode, 0..10
    int32_t avi_codec = 0;                    // 0 uncompressed, 1 Motion-JPEG
};

// The options as a viewport stores them: the camera name in the view's name, the
// frame range, frame count and animation flag in words5[1..4], output kind, typed
// size and size mode in words4[0..3]. The output name and the AVI compressor are not
// stored with the drawing.
void render_job_options_read(const VIEW& view, RenderJobOptions* out);
void render_job_options_write(VIEW* view, const RenderJobOptions& options);

inline constexpr int32_t kRenderDefaultWidth = 320, kRenderDefaultHeight = 240;

// The image size of the options' size mode (clamped to 0..10 first). Mode 0 with a
// typed size below 1, or mode 1 with an empty client area, gives 320 x 240. 0, or 8
// when the image would pass the image size cap (computed in 64 bits).
[[nodiscard]] int render_job_image_size(const RenderJobOptions& options, int32_t client_width,
                                        int32_t client_height, int32_t* width, int32_t* height);

// Whether a frame count makes an animation: two frames or more. Below that the job
// renders one image whatever animation flag the view kept, no movie is named, and
// the Animation page offers no "&Animation".
inline bool render_job_animates(int32_t frame_count) { return frame_count >= 2; }

// The frames an animation renders, 0-based: first .. end - 1 with first = the first
// frame - 1 (at least 0) and end = min(last frame, count). False when nothing is left.
bool render_job_frame_range(int32_t first_frame, int32_t last_frame, int32_t count,
                            int32_t* first, int32_t* end);

// Digits of frame numbers in file names: 1 below 10 frames, 2 below 100, ... 7 from
// 1,000,000 (a count below 1 gives 1).
int render_job_frame_digits(int32_t frame_count);
// "dir/name7.tga" from "dir/name.tga", frame count 9 and frame 7 (the extension is
// the last '.' of the file part; none: the number goes at the end).
std::string render_job_frame_name(const std::string& output, int32_t frame_count, int32_t frame);
// The extension the output kind writes (".tga", ".jpg", ".gif", ".bmp"); "" for movies.
const char* render_job_frame_extension(int32_t output_kind);

// "<label> | <m> min, <s> sec".
std::string render_job_timing_text(const std::string& label, int64_t seconds);

// The limit an animation passes for its output kind, told with its value (an FLC of
// more than 4000 frames, an MPEG-1 side over 4095, an AVI side over 32767 or an AVI
// frame over 512 MiB); "" when the movie can hold it.
std::string render_job_limit_text(int32_t output_kind, int32_t frames, int32_t width, int32_t height);

// The message of a failed render job: without a file, out of memory or settings that
// cannot be used (the code); with a file, "<file> could not be written (<why>)", where
// the program's own codes (8 out of memory, 1003 the encoder unavailable, 1004 the
// movie writer refused) read their
// texts from the string table and anything else is the system's error number.
std::string render_job_failure_text(int code, const std::string& file);
