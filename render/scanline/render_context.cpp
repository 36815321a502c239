// The render context's lifetime, the scene light list, thread count, the progress
// record's routines and the step callback of the stages.
#include "render/scanline/render_context.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <random>
#include <thread>

#include "graphics/raster/raster.h"
#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"
#include "render/scanline/surface_detail.h"

namespace {
std::atomic<int32_t> g_thread_count{0};
}

RenderContext::~RenderContext() {
    render_mesh_list_free(&meshes);
    render_lights_free(this);
    if (draft_image) {
        if (render_target && render_target != target) image_dc_free(render_target);
        image_free(draft_image);
    }
    draft_image = nullptr;
    render_target = nullptr;
    for (MATRPATT* p : held_images) p->release_pixels();
    // Private copies: no parent link, so they leave no container behind.
    for (auto& c : copies)
        if (auto* z = dynamic_cast<ZOBJ*>(c.get())) z->parent = nullptr;
}

RenderLight* render_light_add(RenderContext* ctx, const Vec3* position, const float colour[4]) {
    auto* l = new (std::nothrow) RenderLight();
    if (!l) return nullptr;
    if (position) l->position = *position;
    if (colour)
        for (int i = 0; i < 4; ++i) l->colour[i] = colour[i];
    l->next = ctx->lights;
    ctx->lights = l;
    return l;
}

void render_lights_free(RenderContext* ctx) {
    while (ctx->lights) {
        RenderLight* n = ctx->lights->next;
        render_shadow_free(ctx->lights);
        delete ctx->lights;
        ctx->lights = n;
    }
}

void render_set_thread_count(int32_t n) {
    g_thread_count = std::max(0, n);
}

namespace {
// Default-light directions in the image frame (z toward the viewer); the lower ring has
// no (0, -2, 0).
constexpr int kDefaultLightDir[16][3] = {
    {-2, -2, 2}, {0, -2, 2}, {2, -2, 2}, {-2, 0, 2}, {0, 0, 2},  {2, 0, 2},
    {-2, 2, 2},  {0, 2, 2},  {2, 2, 2},  {-2, -2, 0}, {-2, 0, 0}, {-2, 2, 0},
    {0, 2, 0},   {2, 2, 0},  {2, 0, 0},  {2, -2, 0}};
}  // namespace

Vec3 render_default_light_position(const BBox& b, int light, const Matrix43& inverse) {
    const int* d = kDefaultLightDir[std::clamp(light, 0, 15)];
    // A quarter of the largest float leaves room for the differences shading takes.
    constexpr double kFar = std::numeric_limits<float>::max() / 4.0;
    auto fit = [&](double x) { return std::clamp(x, -kFar, kFar); };
    // A box grown by a vertex whose image overflowed a float reaches no farther than that.
    const Vec3d lo = {fit(b.min.x), fit(b.min.y), fit(b.min.z)}, hi = {fit(b.max.x), fit(b.max.y), fit(b.max.z)};
    const double dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    const double diag = std::sqrt(dx * dx + dy * dy + dz * dz);
    Vec3d c = {(hi.x + lo.x) / 2, (hi.y + lo.y) / 2, (hi.z + lo.z) / 2};
    Vec3d p = {c.x + d[0] * diag, c.y + d[1] * diag, c.z + d[2] * diag};
    mat_xform_point_d(&p, &p, &inverse);
    mat_xform_point_d(&c, &c, &inverse);
    c = {fit(c.x), fit(c.y), fit(c.z)};
    double t = 1.0;
    for (double Vec3d::*a : {&Vec3d::x, &Vec3d::y, &Vec3d::z}) {
        const double off = p.*a - c.*a;
        if (!std::isfinite(off)) t = 0.0;
        else if (std::fabs(c.*a + off * t) > kFar) t = std::min(t, (std::copysign(kFar, off) - c.*a) / off);
    }
    p = {fit(c.x + (p.x - c.x) * t), fit(c.y + (p.y - c.y) * t), fit(c.z + (p.z - c.z) * t)};
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

uint32_t render_next_noise_seed() {
    // A counter started from the system's entropy, each value mixed (splitmix).
    static std::atomic<uint64_t> state{(uint64_t(std::random_device{}()) << 32) ^
                                       std::random_device{}()};
    uint64_t x = state.fetch_add(0x9E3779B97F4A7C15ull) + 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(x ^ (x >> 31));
}

int32_t render_thread_count() {
    const int32_t n = g_thread_count.load();
    if (n > 0) return n;
    const unsigned hw = std::thread::hardware_concurrency();
    return hw ? static_cast<int32_t>(std::min(hw, 256u)) : 1;
}

namespace {
int report_work(RenderContext* ctx, int64_t items) {
    RenderProgress* p = ctx->progress;
    if (!p) return 0;
    if (render_stopped(p)) return 1;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    ctx->running += std::max<int64_t>(items, 0);
    const int64_t current = std::min<int64_t>(ctx->running, std::max(p->total, 0));
    return render_progress_set_current(p, static_cast<int32_t>(current));
}
}  // namespace

int render_step(void* c, int64_t) {
    return report_work(static_cast<RenderContext*>(c), 0);
}

int render_work(RenderContext* ctx, int64_t items) {
    return ctx ? report_work(ctx, items) : 0;
}

int render_progress_set(RenderProgress* p, int32_t current, int32_t total, int32_t phase) {
    if (!p) return 0;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    p->current = current;
    p->total = total;
    p->phase = phase;
    if (!p->progress) return 0;
    const int r = p->progress(current, total, phase, p->context);
    if (r) p->stop = true;
    return r;
}

int render_progress_step(RenderProgress* p) {
    if (!p) return 0;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    return render_progress_set(p, p->current + 1, p->total, p->phase);
}

int render_progress_set_current(RenderProgress* p, int32_t current) {
    if (!p) return 0;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    return render_progress_set(p, current, p->total, p->phase);
}

int render_progress_rows(RenderProgress* p, int32_t first, int32_t last) {
    if (!p || !p->row_done) return 0;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    const int r = p->row_done(p->target, first, last, p->context);
    if (r) p->stop = true;
    return r;
}
