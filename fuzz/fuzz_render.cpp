// Fuzz target for the renderers: a drawing file rendered at 32 x 24 (8 x 6 when ray
// traced) with settings taken from the input's first 16 bytes (flags, gamma,
// perspective value, default-light mask, camera choice, thread count and trace depth);
// flag 0x8000 ray traces it. Any input renders or is refused with a documented code
// (0, 1, 8, 13, 153 with a message, or -1 when the work limit stops it), without
// crashing, hanging or tripping the sanitizers, and leaves the drawing as it was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/drawing_setup.h"
#include "graphics/raster/raster.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/services/log.h"
#include "render/raytrace/rt_render.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scene.h"

namespace {

constexpr size_t kHeader = 16;

// Stops a render after this many progress and row calls: no input may hang.
int limit_progress(int32_t, int32_t, int32_t, void* c) {
    return ++*static_cast<long*>(c) > 200000;
}
int limit_rows(ImageDC*, int32_t, int32_t, void* c) {
    return ++*static_cast<long*>(c) > 200000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz_drawing_setup();
        rt_install();
        return true;
    }();
    (void)ready;
    if (size < kHeader) return 0;
    uint32_t flags, light_mask16;
    float gamma;
    int32_t perspective;
    std::memcpy(&flags, data, 4);
    std::memcpy(&gamma, data + 4, 4);
    std::memcpy(&perspective, data + 8, 4);
    light_mask16 = static_cast<uint32_t>(data[12]) | (static_cast<uint32_t>(data[13]) << 8);
    const bool use_camera = data[14] & 1;
    render_set_thread_count(1 + data[15] % 4);
    const int32_t trace_depth = data[15] >> 2;  // 0..63; the page allows up to 1053

    std::unique_ptr<RTC> m;
    if (rtc_init(m, &MODEL::rtc_class) != 0) std::abort();
    std::unique_ptr<MODEL> model(static_cast<MODEL*>(m.release()));
    if (drawing_file_import_memory(data + kHeader, size - kHeader, model.get()) == 0) {
        buffer* objects = buffer_create();
        CAMERA* camera = nullptr;
        for (ZOBJ* z = model.get(); z; z = tree_next(z, model.get())) {
            if (rtc_is<MESH3>(z)) (void)buffer_add(objects, z);
            if (!camera) camera = rtc_cast<CAMERA>(z);
        }
        RenderSettings settings;
        settings.objects = objects;
        settings.flags = flags;
        settings.gamma = gamma;
        settings.perspective = perspective;
        settings.light_mask = light_mask16;
        settings.trace_depth = trace_depth == 63 ? 1053 : trace_depth;
        for (int i = 0; i < 16; ++i) settings.light_colours[i] = 7 + i;
        // Ray tracing runs at 8 x 6: up to 64 rays a sample, each with its shadow rays
        // through every transparent surface, cost seconds an input at 32 x 24.
        const bool traced = flags & kRenderRayTrace;
        const int32_t width = traced ? 8 : 32, height = traced ? 6 : 24;
        ViewProjection view;
        view.origin_x = -width / 2;
        view.origin_y = -height / 2;
        RasterImage* image = image_create(width, height, 1, 24, nullptr);
        ImageDC* dc = image_dc_create(image);
        long calls = 0;
        const int rc = render_scene(dc, &settings, &view, model.get(), nullptr,
                                    use_camera ? camera : nullptr, limit_progress, limit_rows,
                                    &calls);
        if (rc != 0 && rc != 1 && rc != 8 && rc != 13 && rc != -1 && rc != 153) std::abort();
        if (rc == 153 && !*render_last_message()) std::abort();
        image_dc_free(dc);
        image_free(image);
        buffer_free(&objects);
    }
    drawing_file_drop_views(model.get());
    render_set_thread_count(0);
    return 0;
}
