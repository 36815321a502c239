// Fuzz target for the render job's set-up: hostile viewport words (size mode, typed
// size, frame range, frame count, animation flag, output kind), a camera name, an
// output name and the drawing's frame count come from the input; the job runs with a
// stub renderer into a private folder (in memory when /dev/shm is there, removed after
// every input). Every input starts and finishes a job or is
// refused with a code, without crashing, hanging or leaking, and the drawing's
// current frame is -1 afterwards.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "graphics/raster/raster.h"
#include "graphics/view/view.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/rtc/rtc.h"
#include "render/job/render_job.h"

namespace {

int stub_render(ImageDC* dc, RenderSettings*, const ViewProjection*, MODEL*, const RenderLayerFilter*,
                const CAMERA*, RenderProgressFn progress, RenderRowDoneFn rows, void* ctx) {
    if (progress(0, dc->height, 0, ctx)) return -1;
    return rows(dc, 0, dc->height - 1, ctx) ? -1 : 0;
}

struct NullSink : RenderJobSink {
    void rows(int32_t, int32_t, const uint8_t*, int32_t) override {}
    void caption(const std::string&) override {}
    void error(int, const std::string&) override {}
    void done(int, const std::string&) override {}
};

int32_t word(const uint8_t*& p, const uint8_t* end) {
    int32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | (p < end ? *p++ : 0);
    return v;
}

std::string text(const uint8_t*& p, const uint8_t* end, size_t max) {
    std::string s;
    while (p < end && *p && s.size() < max) s.push_back(static_cast<char>(*p++));
    if (p < end) ++p;
    return s;
}

// Removes the folder and what the job wrote, so nothing is left between inputs.
void remove_quietly(const std::string& d) {
    std::error_code ec;
    std::filesystem::remove_all(d, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
        "/zelo_fuzz_renderjob_" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    struct Remove {
        ~Remove() { remove_quietly(dir); }
    } remove_after;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    auto model = rtc_make<MODEL>();
    if (!model) return 0;
    VIEW view;
    for (int i = 1; i < 5; ++i) view.words5[i] = word(p, end);
    for (int i = 0; i < 4; ++i) view.words4[i] = word(p, end);
    view.flags = word(p, end);
    model->frame_count = word(p, end) % 8;
    const std::string camera_name = text(p, end, 40);
    std::string name = text(p, end, 300);
    for (char& c : name)
        if (c == '/') c = '_';
    std::memset(view.name, 0, sizeof view.name);
    std::memcpy(view.name, camera_name.data(), std::min(camera_name.size(), sizeof view.name - 1));

    RenderJobSetup setup;
    render_job_options_read(view, &setup.options);
    setup.options.output = dir + "/" + name;
    setup.options.avi_codec = view.flags & 1;
    // Keep the images small so that every input runs quickly.
    int32_t w = 0, h = 0;
    if (render_job_image_size(setup.options, 64, 48, &w, &h) == 0 && int64_t(w) * h > 128 * 128) return 0;
    auto camera = rtc_make<CAMERA>();
    camera->lens = (view.flags & 2) ? -1.0 : 1.0;
    NullSink sink;
    setup.drawing = model.get();
    setup.view = &view;
    setup.camera = camera.get();
    setup.sink = &sink;
    setup.render = stub_render;
    setup.client_width = 64, setup.client_height = 48;
    RenderJob job;
    if (job.start(setup) == 0) {
        if (view.flags & 4) job.request_stop();
        (void)job.finish();
    }
    if (model->current_frame != -1) __builtin_trap();
    return 0;
}
