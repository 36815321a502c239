// One-time tables and the two raster hooks of the renderer.
#include "render/scanline/render_hooks.h"

#include <cmath>
#include <mutex>

#include "graphics/raster/raster.h"
#include "graphics/view/colours.h"
#include "model/math/result.h"
#include "render/scanline/render_context.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"

namespace {
std::once_flag g_once;
double g_band[18];
}  // namespace

void render_init_hooks() {
    std::call_once(g_once, [] {
        for (int k = 0; k <= 17; ++k) g_band[k] = std::cos(k * 3.14159265358979323846 / 17.0);
        texture_tables_init();
        texture_presets_install();
    });
}

const double* render_band_table() {
    render_init_hooks();
    return g_band;
}

int render_line_hook(RenderContext* ctx, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                     int32_t colour) {
    ImageDC* dc = ctx ? ctx->render_target : nullptr;
    if (!dc || !dc->segment) return 0;
    float rgba[4];
    colour_index_rgb(rgba, colour_index_fix(colour));
    RasterPen pen;
    pen.op = 0x80000003u;
    pen.colour = static_cast<uint32_t>(rgba[0] * 255.0f) |
                 (static_cast<uint32_t>(rgba[1] * 255.0f) << 8) |
                 (static_cast<uint32_t>(rgba[2] * 255.0f) << 16);
    pen.clip = {0, 0, ctx->width - 1, ctx->height - 1};
    const int32_t seg[4] = {x0, y0, x1, y1};
    std::lock_guard<std::recursive_mutex> lock(ctx->progress->lock);
    dc->segment(dc, &pen, 1, 1, seg, 1, 0xFFFFFFFFu);
    return 0;
}

int render_row_hook(RenderContext* ctx, int32_t row, int32_t width, const uint32_t* pixels) {
    ImageDC* dc = ctx ? ctx->render_target : nullptr;
    if (!dc || !pixels || row < 0 || row >= ctx->height || width < 1 || width > ctx->width)
        return kBadArgument;
    std::lock_guard<std::recursive_mutex> lock(ctx->progress->lock);
    dc->write_row(dc, 0, row, width, pixels, static_cast<size_t>(width) * 4, 3);
    return 0;
}
