// Render job settings of a viewport and the rules of sizes, frames and names.
#include "render/job/job_options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "graphics/view/view.h"
#include "imaging/formats/image_buffer.h"
#include "imaging/movie/avi_writer.h"
#include "imaging/movie/flic_writer.h"
#include "imaging/movie/mpeg_writer.h"
#include "model/math/result.h"
#include "model/services/strtab.h"
#include "model/services/error_text.h"
#include "resources/string_ids.h"

void render_job_options_read(const VIEW& view, RenderJobOptions* out) {
    out->camera_name.assign(view.name, strnlen(view.name, sizeof view.name));
    out->first_frame = view.words5[1];
    out->last_frame = view.words5[2];
    out->frame_count = view.words5[3];
    out->animation = view.words5[4];
    out->output_kind = std::clamp(view.words4[0], 0, 7);
    out->typed_width = view.words4[1];
    out->typed_height = view.words4[2];
    out->size_mode = view.words4[3];
}

void render_job_options_write(VIEW* view, const RenderJobOptions& o) {
    std::snprintf(view->name, sizeof view->name, "%s", o.camera_name.c_str());
    view->words5[1] = o.first_frame;
    view->words5[2] = o.last_frame;
    view->words5[3] = o.frame_count;
    view->words5[4] = o.animation;
    view->words4[0] = o.output_kind;
    view->words4[1] = o.typed_width;
    view->words4[2] = o.typed_height;
    view->words4[3] = o.size_mode;
}

int render_job_image_size(const RenderJobOptions& o, int32_t client_width, int32_t client_height,
                          int32_t* width, int32_t* height) {
    static const int32_t kSizes[kRenderSizeLast + 1][2] = {
        {0, 0},     {0, 0},     {1600, 1200}, {1280, 1024}, {1024, 768}, {800, 600},
        {640, 480}, {480, 360}, {320, 240},   {736, 578},   {736, 486}};
    const int mode = std::clamp(o.size_mode, 0, static_cast<int>(kRenderSizeLast));
    int64_t w = kSizes[mode][0], h = kSizes[mode][1];
    if (mode == kRenderSizeTyped) w = o.typed_width, h = o.typed_height;
    if (mode == kRenderSizeWindow) w = client_width, h = client_height;
    if (w < 1 || h < 1) w = kRenderDefaultWidth, h = kRenderDefaultHeight;
    if (!image_size_ok(w, h)) return kOutOfMemory;
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return 0;
}

bool render_job_frame_range(int32_t first_frame, int32_t last_frame, int32_t count, int32_t* first,
                            int32_t* end) {
    // 64-bit: a stored first frame of INT32_MIN has no predecessor in 32 bits.
    *first = static_cast<int32_t>(std::max<int64_t>(int64_t{first_frame} - 1, 0));
    *end = std::min(last_frame, count);
    return *end > *first;
}

int render_job_frame_digits(int32_t n) {
    int digits = 1;
    for (int64_t limit = 10; digits < 7 && n >= limit; limit *= 10) ++digits;
    return digits;
}

std::string render_job_frame_name(const std::string& output, int32_t frame_count, int32_t frame) {
    const size_t slash = output.find_last_of('/');
    const size_t dot = output.find_last_of('.');
    const size_t cut = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : output.size();
    char number[32];
    std::snprintf(number, sizeof number, "%0*d", render_job_frame_digits(frame_count), frame);
    return output.substr(0, cut) + number + output.substr(cut);
}

const char* render_job_frame_extension(int32_t kind) {
    switch (kind) {
        case kOutputTarga: return ".tga";
        case kOutputJpeg: return ".jpg";
        case kOutputGif: return ".gif";
        case kOutputBmp: return ".bmp";
        default: return "";
    }
}

std::string render_job_timing_text(const std::string& label, int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, " | %lld min, %lld sec", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return label + buf;
}

namespace {

constexpr uint32_t kStrNoMemory = IDS_NO_MEMORY;
constexpr uint32_t kStrWriteFailed = IDS_RENDER_WRITE_FAILED;  // "%s could not be written (%s)."
constexpr uint32_t kStrBadSettings = IDS_RENDER_BAD_SETTINGS;  // "The render settings cannot be used (error %d)."
constexpr uint32_t kStrFlicFrames = IDS_RENDER_FLIC_FRAMES;    // "... at most %d frames; the animation has %d."
constexpr uint32_t kStrMovieWidth = IDS_RENDER_MOVIE_WIDTH;    // "%s movies are at most %d pixels wide; ..."
constexpr uint32_t kStrMovieHeight = IDS_RENDER_MOVIE_HEIGHT;
constexpr uint32_t kStrEncoderUnavailable = IDS_RENDER_ENCODER_UNAVAILABLE;
constexpr uint32_t kStrMovieRefused = IDS_RENDER_MOVIE_REFUSED;     // "the movie writer refused the frames"
constexpr uint32_t kStrAviFrameBytes = IDS_RENDER_AVI_FRAME_BYTES;  // "An AVI frame holds at most %llu bytes; ..."

// printf of a string-table format (its arguments as the entry names them).
template <class... A>
std::string format(uint32_t id, A... args) {
    const std::string fmt = res_load_string(id);
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt.c_str(), args...);
    return buf;
}

}  // namespace

std::string render_job_limit_text(int32_t kind, int32_t frames, int32_t width, int32_t height) {
    if (kind == kOutputFlic && frames > kFlicMaxFrames) return format(kStrFlicFrames, kFlicMaxFrames, frames);
    const char* name = kind == kOutputMpeg ? "MPEG-1" : kind == kOutputAvi ? "AVI" : nullptr;
    const int32_t side = kind == kOutputMpeg ? kMpegMaxSide : kAviMaxSide;
    if (name && width > side) return format(kStrMovieWidth, name, side, width);
    if (name && height > side) return format(kStrMovieHeight, name, side, height);
    if (kind == kOutputAvi && avi_frame_bytes(width, height) > kAviMaxFrameBytes)
        return format(kStrAviFrameBytes, static_cast<unsigned long long>(kAviMaxFrameBytes),
                      static_cast<unsigned long long>(avi_frame_bytes(width, height)));
    return std::string();
}

std::string render_job_failure_text(int code, const std::string& file) {
    if (file.empty()) return code == kOutOfMemory ? res_load_string(kStrNoMemory) : format(kStrBadSettings, code);
    // The writers answer the system's error numbers for files and a few codes of their
    // own, which the system's table would misread (8 is "Exec format error" there).
    // The number and the reason, as every file message gives them.
    std::string why;
    if (code == kMpegOpenFailed) why = std::to_string(code) + ": " + res_load_string(kStrEncoderUnavailable);
    else if (code == kMovieRefused) why = std::to_string(code) + ": " + res_load_string(kStrMovieRefused);
    else why = error_code_text(code, file.c_str(), FileAccess::write);
    return format(kStrWriteFailed, file.c_str(), why.c_str());
}
