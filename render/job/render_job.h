// The render job: renders one image or the frames of a camera animation on a worker
// thread and writes them to frame files or a movie.
//
// Threads: start() runs on the user-interface thread. It makes the job's private copy
// of the drawing (with the selection mapped onto the copy), of the settings, the view
// projection, the layer flags and the camera, and opens the output; the worker only
// ever touches that copy. The worker reports through the sink (rows, caption, error
// text, the end) and must not be given anything of the user interface. A stop is one
// atomic flag, polled by the renderer's callbacks. finish() on the user-interface
// thread waits for the worker and sets the drawing's current frame to -1.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "graphics/view/view.h"
#include "render/job/frame_output.h"
#include "render/job/job_options.h"
#include "render/scanline/render_scene.h"

class CAMERA;
class MODEL;
class RTC;
struct RasterImage;

// Results: 0, 8 out of memory, 13 bad settings, -1 stopped, or a writer's errno.
inline constexpr int kRenderJobStopped = -1;

// What the worker tells the user interface. Every call comes from the worker thread;
// an implementation copies what it needs and posts it on.
class RenderJobSink {
  public:
    virtual ~RenderJobSink() = default;
    // Rows y0..y1 (inclusive) of the image are finished: RGB rows, top first.
    virtual void rows(int32_t y0, int32_t y1, const uint8_t* rgb, int32_t width) = 0;
    // The image frame's caption for the frame being rendered.
    virtual void caption(const std::string& text) = 0;
    // A failure the user must see: the file and what went wrong.
    virtual void error(int code, const std::string& file) = 0;
    // A failure the renderer described itself (render_last_message); by default told
    // as a failure without a file.
    virtual void error_text(int code, const std::string& text) {
        (void)text;
        error(code, std::string());
    }
    // The last call: the result and, on success, the timing text.
    virtual void done(int result, const std::string& timing) = 0;
};

using RenderFn = int (*)(ImageDC* target, RenderSettings* settings, const ViewProjection* view,
                         MODEL* drawing, const RenderLayerFilter* layers, const CAMERA* camera,
                         RenderProgressFn progress, RenderRowDoneFn row_done, void* context);

struct RenderJobSetup {
    MODEL* drawing = nullptr;        // read on the calling thread only
    const VIEW* view = nullptr;      // settings, projection, layer flags, selection
    const CAMERA* camera = nullptr;  // the job camera as the sheet set it up
    RenderJobOptions options;
    int32_t client_width = 0, client_height = 0;  // drawing window, for size mode 1
    std::string title;               // the image document's title, for captions
    std::string timing_label = "Rendering time";
    RenderJobSink* sink = nullptr;
    RenderFn render = render_scene;
};

// The render settings a viewport stores (flags, default lights, background colour,
// perspective, trace depth, gamma) read from and written back to the VIEW.
void render_settings_read(const VIEW& view, RenderSettings* settings);
void render_settings_write(VIEW* view, const RenderSettings& settings);

// The frames an animation of the drawing renders through `camera_object` (a CAMERA
// of the drawing, or null for "<Viewport>"): the camera's own animation
// (object_frame_count), or the drawing's frame count for the viewport. A count that
// does not animate (render_job_animates) renders one image.
int32_t render_job_frame_count(const MODEL* drawing, const CAMERA* camera_object);

class RenderJob;
// Called on the worker as each frame of an animation starts (its caption told), with
// the 0-based frame: tests hold a job at a frame with it (wait_for_stop) instead of
// racing it. Set it while no job runs; returns the hook it replaces.
using RenderJobFrameHook = std::function<void(RenderJob& job, int32_t frame)>;
RenderJobFrameHook render_job_set_frame_hook(RenderJobFrameHook hook);

class RenderJob {
  public:
    RenderJob();
    ~RenderJob();  // stops and waits
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // User-interface thread. 0 when the worker runs; else nothing was started and no
    // file was touched (8, 13, or the output's errno, also told to the sink).
    [[nodiscard]] int start(const RenderJobSetup& setup);
    void request_stop();
    bool stop_requested() const { return stop_.load(); }
    // Blocks until a stop is asked (request_stop; the destructor asks one too).
    void wait_for_stop() const;
    bool running() const { return running_.load(); }
    // User-interface thread: waits for the worker, resets the drawing's current frame
    // to -1 and answers the result.
    [[nodiscard]] int finish();

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // The frames the run renders (1 for a single image).
    int32_t frames() const { return end_ - first_; }
    // The last finished image, RGB top first; read it after finish().
    const std::vector<uint8_t>& picture() const { return rgb_; }

  private:
    void run();
    [[nodiscard]] int render_frame(int32_t frame);
    static int poll(int32_t, int32_t, int32_t, void* self);
    static int rows_done(ImageDC*, int32_t y0, int32_t y1, void* self);
    static int mpeg_source(int frame, int type, uint8_t* rgb, void* self);
    void copy_rows(int32_t y0, int32_t y1);

    RenderJobSetup setup_;
    MODEL* original_ = nullptr;
    std::unique_ptr<RTC> copy_;  // the private drawing
    MODEL* drawing_ = nullptr;   // = copy_
    buffer* objects_ = nullptr;  // in the copy; owned
    RenderSettings settings_;
    ViewProjection projection_;
    std::vector<int32_t> layer_flags_;
    RenderLayerFilter layers_;
    std::unique_ptr<RTC> camera_;      // the job camera
    CAMERA* camera_object_ = nullptr;  // the named camera in the copy, or null
    RasterImage* image_ = nullptr;
    ImageDC* dc_ = nullptr;
    std::vector<uint8_t> rgb_;
    int32_t width_ = 0, height_ = 0, first_ = 0, end_ = 1;
    bool animation_ = false;
    FrameOutput output_;
    std::thread worker_;
    std::atomic<bool> stop_{false}, running_{false};
    int result_ = 0;
    std::string message_;  // the renderer's own text of the last failure
    bool no_light_ = false;  // some frame found no light at all
    int64_t start_time_ = 0;
};
