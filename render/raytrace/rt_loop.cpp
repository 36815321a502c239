// Ray-trace loop: primary rays, tracing, antialiasing, row output, bands on every core.
#include "render/raytrace/rt_loop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "model/material/material.h"
#include "render/raytrace/rt_error.h"
#include "render/raytrace/rt_shade.h"
#include "render/raytrace/rt_vec.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"

namespace {

constexpr int kGrid = 3;              // samples per axis when supersampling
constexpr double kSpread = 1.0;
constexpr double kThreshold = 0.15;

double distance3(const RtColour& a, const RtColour& b) {
    return std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b);
}

float clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }  // NaN gives 0

RtColour clamp(const RtColour& c) { return {clamp01(c.r), clamp01(c.g), clamp01(c.b), clamp01(c.f)}; }

// Jitter in [0, 1) fixed by the pixel and the sample, so supersamples repeat exactly.
double jitter(int x, int y, int k) {
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^
                 static_cast<uint32_t>(k) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xFFFF) / 65536.0;
}

// A camera ray with its nearest hit found beforehand (with its neighbours').
struct Traced {
    RtRay ray;
    RtHit hit;
    const RtObject* object;
    bool found;
};

// Camera rays per packet along a row.
constexpr int kPacket = kRtPacketRays;

// The camera rays of pixels x .. x + count - 1 of row y and their nearest hits, found
// together.
void trace_packet(RtThread& t, int x, int y, int count, Traced* out) {
    const RtRay* rays[kPacket];
    RtHit hits[kPacket];
    const RtObject* objects[kPacket];
    for (int i = 0; i < count; ++i) {
        rt_primary_ray(t, &out[i].ray, x + i, y);
        rays[i] = &out[i].ray;
        hits[i].depth = 1e30;
        objects[i] = nullptr;
    }
    const uint32_t found = rt_slab_intersect_packet(t.frame->slabs.root, rays, count, hits, objects, t.queue, t.arena);
    for (int i = 0; i < count; ++i) {
        out[i].hit = hits[i];
        out[i].object = objects[i];
        out[i].found = (found >> i & 1) != 0;
    }
}

RtColour trace_ray(RtThread& t, const RtRay& ray, const Traced* pre);

// The colour of the pixel at (x, y) seen along ray; pre: the ray traced beforehand.
RtColour pixel_colour(RtThread& t, double x, double y, const RtRay& ray, const Traced* pre) {
    t.level = -1;
    t.budget = kRtRayBudget;
    RtColour c = trace_ray(t, ray, pre);
    const RtFrame& f = *t.frame;
    if (f.halo.intensity > 0.0f) {
        float rgb[3] = {c.r, c.g, c.b};
        for (const RtLight* l = f.lights; l; l = l->next_light)
            if (l->on_screen) halo_add(&f.halo, x, y, l->screen_x, l->screen_y, l->visible_colour, rgb);
        c.r = rgb[0], c.g = rgb[1], c.b = rgb[2];
    }
    return c;
}

RtColour trace_pixel(RtThread& t, double x, double y) {
    RtRay ray;
    rt_primary_ray(t, &ray, x, y);
    return pixel_colour(t, x, y, ray, nullptr);
}

RtColour supersample(RtThread& t, int x, int y) {
    RtColour sum{0, 0, 0, 0};
    const double s = kSpread / kGrid, w = 1.0 / (kGrid * kGrid);
    int k = 0;
    for (int oy = -1; oy <= 1; ++oy) {
        for (int ox = -1; ox <= 1; ++ox, ++k) {
            double j1 = jitter(x, y, 2 * k) - 0.5, j2 = jitter(x, y, 2 * k + 1) - 0.5;
            RtColour c = trace_pixel(t, x + (j1 + ox) * s, y + (j2 + oy) * s);
            sum.r += static_cast<float>(c.r * w);
            sum.g += static_cast<float>(c.g * w);
            sum.b += static_cast<float>(c.b * w);
        }
    }
    return sum;
}

// Rows of one band, traced into pixel rows; the previous row serves the antialiasing.
struct BandRows {
    std::vector<RtColour> cur, prev;
    std::vector<char> cur_mark, prev_mark;
};

void trace_row(RtThread& t, BandRows& b, int r, bool has_prev) {
    const RtFrame& f = *t.frame;
    // Without focal blur neighbouring camera rays run close together: they search the
    // hierarchy in packets.
    const bool packets = f.slabs.on && f.camera.aperture == 0.0;
    Traced traced[kPacket];
    for (int c = 0; c < f.width; ++c) {
        if (packets && c % kPacket == 0) trace_packet(t, c, r, std::min(kPacket, f.width - c), traced);
        RtColour col = packets ? pixel_colour(t, c, r, traced[c % kPacket].ray, &traced[c % kPacket]) : trace_pixel(t, c, r);
        b.cur[c] = col;
        if (f.antialias) {
            b.cur_mark[c] = 0;
            bool need = false;
            if (c > 0 && distance3(b.cur[c - 1], col) >= kThreshold) {
                need = true;
                if (!b.cur_mark[c - 1]) {
                    b.cur[c - 1] = supersample(t, c - 1, r);
                    b.cur_mark[c - 1] = 1;
                }
            }
            if (has_prev && distance3(b.prev[c], col) >= kThreshold) {
                need = true;
                if (!b.prev_mark[c]) {
                    b.prev[c] = supersample(t, c, r - 1);
                    b.prev_mark[c] = 1;
                }
            }
            if (need) {
                b.cur[c] = supersample(t, c, r);
                b.cur_mark[c] = 1;
            }
        }
    }
}

// The index in cam.start of the tile holding pixel (x, y).
size_t tile_of(const RtCamera& cam, double x, double y) {
    const int columns = cam.tile_columns, rows = static_cast<int>(cam.start.size()) / columns;
    auto tile = [](double at, int count) {
        return static_cast<int>(std::clamp(std::floor(at / kRtTile), 0.0, double(count - 1)));
    };
    return static_cast<size_t>(tile(y, rows)) * columns + tile(x, columns);
}

}  // namespace

void rt_primary_ray(RtThread& t, RtRay* ray, double x, double y) {
    const RtFrame& f = *t.frame;
    const RtCamera& cam = f.camera;
    double u = (x - f.width / 2.0) / f.width, v = -(y - f.height / 2.0) / f.height;
    Vec3d offset = u * cam.right + v * cam.up;
    ray->origin = cam.location;
    ray->dir = cam.direction;
    ray->before = 0.0;
    if (cam.orthographic) {
        ray->origin = ray->origin + offset;
        if (cam.tile_columns > 0 && !cam.start.empty()) {
            ray->before = cam.start[tile_of(cam, x, y)];
            ray->origin = ray->origin + ray->before * ray->dir;
        }
    } else {
        ray->dir = ray->dir + offset;
        if (cam.tile_columns > 0 && !cam.start.empty() && cam.aperture == 0.0) {
            // The depth where the tile's rays start, along this ray.
            const double depth = cam.start[tile_of(cam, x, y)];
            if (depth > 0) {
                const double along = depth / rt_len(cam.direction);
                ray->origin = ray->origin + along * ray->dir;
                ray->before = along * rt_len(ray->dir);
            }
        }
    }
    if (cam.aperture != 0.0) {
        double a = ((t.rand15() & 0xFFFF) / 32768.0 - 1) * cam.aperture * 2;
        double b = ((t.rand15() & 0xFFFF) / 32768.0 - 1) * cam.aperture * 2;
        Vec3d lens = b * cam.up + a * cam.right;
        ray->origin = ray->origin + lens;
        ray->dir = ray->dir * cam.focal_distance - lens;
    }
    ray->dir = rt_unit(ray->dir);
    ray->primary = !cam.orthographic && cam.aperture == 0.0 && ray->before == 0.0;
    ray->from_eye = true;
}

bool rt_find_hit(RtThread& t, const RtRay& ray, RtHit* hit, const RtObject** object) {
    const RtFrame& f = *t.frame;
    hit->depth = 1e30;
    *object = nullptr;
    if (f.slabs.on) return rt_slab_intersect(f.slabs.root, ray, hit, object, t.queue, t.arena);
    bool found = false;
    for (const RtObject* o = f.objects; o; o = o->next) {
        RtHit h;
        if (rt_nearest_hit(&h, o, ray, t.arena) && h.depth < hit->depth) {
            *hit = h;
            *object = o;
            found = true;
        }
    }
    return found;
}

RtColour rt_trace(RtThread& t, const RtRay& ray) { return trace_ray(t, ray, nullptr); }

namespace {

RtColour trace_ray(RtThread& t, const RtRay& ray, const Traced* pre) {
    const RtFrame& f = *t.frame;
    if (t.level >= f.max_level || !(ray.weight >= kRtMinWeight) || t.budget <= 0) return {0, 0, 0, 0};
    --t.budget;
    ++t.level;
    RtHit hit;
    const RtObject* obj = nullptr;
    RtColour c;
    bool found;
    if (pre) {
        found = pre->found;
        hit = pre->hit;
        obj = pre->object;
    } else {
        found = rt_find_hit(t, ray, &hit, &obj);
    }
    if (found) {
        c = f.shade ? f.shade(t, ray, hit, obj) : rt_shade(t, ray, hit, obj);
    } else {
        c = rt_background(f, ray);
        c.f = 1.0f;
        if (f.fog.flags & kFogOn) {
            float rgb[3] = {c.r, c.g, c.b};
            fog_far(&f.fog, rgb);
            c = {rgb[0], rgb[1], rgb[2], 1.0f};
        }
    }
    --t.level;
    return c;
}

}  // namespace

bool rt_background_uv(const RtFrame& f, const RtRay& ray, double uv[2]) {
    const RtCamera& cam = f.camera;
    double u, v;
    if (cam.orthographic) {
        // Parallel rays: where the ray crosses the image plane, as a fraction of it.
        const double r2 = rt_dot(cam.right, cam.right), u2 = rt_dot(cam.up, cam.up);
        if (r2 == 0 || u2 == 0 || rt_dot(ray.dir, cam.direction) < 1 - 1e-9) return false;
        const Vec3d p = ray.origin - cam.location;
        u = rt_dot(p, cam.right) / r2 + 0.5;
        v = 0.5 - rt_dot(p, cam.up) / u2;
    } else {
        // Right, up and the line of sight as the axes; the image's corner gives its extent.
        const Vec3d corner = rt_unit(cam.up + cam.direction + cam.right);
        const double cz = rt_dot(corner, cam.direction);
        const double sx = rt_dot(corner, cam.right) / cz, sy = rt_dot(corner, cam.up) / cz;
        const double pz = rt_dot(ray.dir, cam.direction);
        if (pz <= 1e-10 || sx == 0 || sy == 0) return false;
        u = rt_dot(ray.dir, cam.right) / (pz * sx) + 0.5;
        v = 0.5 - rt_dot(ray.dir, cam.up) / (pz * sy);
    }
    // A procedural pattern goes on past the image's edges; a picture does not. A ray
    // from the eye that leaves just past the edge (the lens of focal blur moves it)
    // takes the picture's edge, so every pixel is made from the picture.
    const MaterialRecord* m = f.scene_material;
    const bool pattern = m && m->slots[kSlotTexture].kind >= kTexturePatternFirst;
    if (!std::isfinite(u) || !std::isfinite(v)) return false;
    if (ray.from_eye && !pattern) {
        u = std::clamp(u, 0.0, 1.0);
        v = std::clamp(v, 0.0, 1.0);
    }
    if (!pattern && !(std::fabs(u) <= 1 && std::fabs(v) <= 1)) return false;
    uv[0] = u;
    uv[1] = v;
    return true;
}

RtColour rt_background(const RtFrame& f, const RtRay& ray) {
    RtColour c = f.background;
    const MaterialRecord* m = f.scene_material;
    if (!m) return c;
    const float base[4] = {c.r, c.g, c.b, c.f};
    float out[4];
    double uv[2];
    TextureCall call;
    if (rt_background_uv(f, ray, uv)) {
        const TextureSlot& slot = m->slots[kSlotTexture];
        double p[3] = {uv[0], uv[1], 0};
        if (slot.kind >= kTexturePatternFirst) {
            // Patterns keep their size in the image whatever its shape.
            const double r = texture_preset_ref_size(&kPresetsTexture, m);
            const double aspect = static_cast<double>(f.width) / f.height;
            p[0] *= aspect <= 1 ? r : aspect * r;
            p[1] *= aspect <= 1 ? r / aspect : r;
        }
        call.amount = 1.0f;
        texture_eval_d(out, base, &slot, p, &call);
    } else {
        const double d[3] = {ray.dir.x, ray.dir.y, ray.dir.z};
        call.mapping_mode = kMappingModeSpherical;
        texture_eval_d(out, base, &m->slots[kSlotReflection], d, &call);
    }
    return {out[0], out[1], out[2], 1.0f};
}

namespace {

// A channel of 0..1 as a byte through the power 2/3. The small addend keeps white at 255
// through the grey weights' rounding.
uint32_t channel_byte(double v) {
    return static_cast<uint32_t>(std::min(255.0, std::pow(v, 2.0 / 3.0) * 255.0 + 1e-6));
}

// For a float channel the same byte from a table: the least float giving each byte.
// The power rises with its argument and the library's pow errs by far less than the
// step between neighbouring floats' powers, so the byte never falls as the float rises.
struct ByteSteps {
    float least[256];
    ByteSteps() {
        least[0] = 0.0f;
        for (int b = 1; b < 256; ++b) {
            uint32_t lo = 0, hi = 0x3F800000u;  // bit patterns of 0 and 1
            while (lo < hi) {
                const uint32_t mid = lo + (hi - lo) / 2;
                float v;
                std::memcpy(&v, &mid, sizeof v);
                if (channel_byte(v) >= uint32_t(b))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            std::memcpy(&least[b], &lo, sizeof lo);
        }
    }
    uint32_t byte(float v) const {
        uint32_t b = 0;
        for (uint32_t step = 128; step; step >>= 1)
            if (least[b + step] <= v) b += step;
        return b;
    }
};

}  // namespace

uint32_t rt_pixel(const RtColour& in, bool grey) {
    RtColour c = clamp(in);
    if (grey) {
        uint32_t g = channel_byte(std::min(1.0, 0.299 * c.r + 0.587 * c.g + 0.114 * c.b));
        return g << 16 | g << 8 | g;
    }
    static const ByteSteps steps;
    return steps.byte(c.r) << 16 | steps.byte(c.g) << 8 | steps.byte(c.b);
}

void rt_prepare_lights(const RtFrame& f) {
    const RtCamera& cam = f.camera;
    const double dlen = rt_len(cam.direction), rlen = rt_len(cam.right), ulen = rt_len(cam.up);
    RtThread t;
    t.frame = &f;
    for (RtLight* l = f.lights; l; l = l->next_light) {
        l->on_screen = 0;
        if (cam.orthographic || !(f.halo.intensity > 0.0f) || dlen == 0 || rlen == 0 || ulen == 0) continue;
        const Vec3d to = l->position - cam.location;
        const double dist = rt_len(to);
        if (dist == 0) continue;
        const Vec3d dir = to * (1.0 / dist);
        const double att = rt_spot_attenuation(l, dir);
        float c[3] = {static_cast<float>(l->colour[0] * att), static_cast<float>(l->colour[1] * att),
                      static_cast<float>(l->colour[2] * att)};
        fog_attenuate(&f.fog, dist, c);
        const double depth = rt_dot(to, cam.direction) / dlen;  // along the line of sight
        if (!(c[0] >= 0.003 || c[1] >= 0.003 || c[2] >= 0.003) || depth < 1e-10) continue;
        if (f.shadows) rt_shadow_test(t, nullptr, cam.location, dir, dist, c);
        if (!(c[0] >= 0.003 || c[1] >= 0.003 || c[2] >= 0.003)) continue;
        // The light's place on the image plane: to = s (direction + u right + v up).
        const double s = depth / dlen;
        const double u = rt_dot(to, cam.right) / rlen / (s * rlen);
        const double v = rt_dot(to, cam.up) / ulen / (s * ulen);
        if (std::fabs(u) > 1 || std::fabs(v) > 1) continue;
        l->on_screen = 1;
        for (int k = 0; k < 3; ++k) l->visible_colour[k] = c[k];
        l->screen_x = static_cast<int>(std::lround(f.width * (u + 0.5)));
        l->screen_y = static_cast<int>(std::lround(f.height * (0.5 - v)));
    }
}

int rt_trace_rows(const RtFrame& f, int threads) {
    if (f.width <= 0 || f.height <= 0) return 0;
    const int bands = (f.height + kRtBandRows - 1) / kRtBandRows;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, bands);

    std::vector<uint32_t> pixels(static_cast<size_t>(f.width) * f.height);
    std::vector<char> ready(f.height, 0);
    std::atomic<int> next_band{0};
    std::atomic<bool> stop{false};
    std::mutex out_mutex;
    int next_row = 0;
    bool stopped = false;
    std::exception_ptr error;

    // Hands every finished row from next_row on to the writer, in order.
    auto flush = [&] {
        std::lock_guard<std::mutex> lock(out_mutex);
        while (!stopped && next_row < f.height && ready[next_row]) {
            int r = next_row++;
            if (f.row_writer) f.row_writer(r, f.width, &pixels[static_cast<size_t>(r) * f.width]);
            if (f.row_done && f.row_done(r) != 0) {
                stopped = true;
                stop = true;
            }
        }
    };

    auto stopping = [&] { return stop.load() || (f.stop && f.stop->load()); };
    auto worker = [&] {
        RtThread t;
        t.frame = &f;
        BandRows b;
        b.cur.resize(f.width);
        b.prev.resize(f.width);
        b.cur_mark.resize(f.width);
        b.prev_mark.resize(f.width);
        try {
            for (int band; !stopping() && (band = next_band++) < bands;) {
                int first = band * kRtBandRows, last = std::min(f.height, first + kRtBandRows) - 1;
                t.seed = 1u + static_cast<uint32_t>(band);
                t.arena.free_all();
                t.shadow_cache.assign(static_cast<size_t>(std::max(0, f.light_count)), nullptr);
                int start = f.antialias ? first - 1 : first;
                for (int r = start; r <= last && !stopping(); ++r) {
                    trace_row(t, b, r, r > start);
                    if (r >= first) {
                        // Under antialiasing a row is final once the row below has been traced.
                        if (!f.antialias) {
                            for (int c = 0; c < f.width; ++c)
                                pixels[static_cast<size_t>(r) * f.width + c] = rt_pixel(b.cur[c], f.grey);
                            { std::lock_guard<std::mutex> lock(out_mutex); ready[r] = 1; }
                            flush();
                        } else if (r > first) {
                            for (int c = 0; c < f.width; ++c)
                                pixels[static_cast<size_t>(r - 1) * f.width + c] = rt_pixel(b.prev[c], f.grey);
                            { std::lock_guard<std::mutex> lock(out_mutex); ready[r - 1] = 1; }
                            flush();
                        }
                    }
                    std::swap(b.cur, b.prev);
                    std::swap(b.cur_mark, b.prev_mark);
                }
                if (f.antialias && !stopping()) {
                    for (int c = 0; c < f.width; ++c)
                        pixels[static_cast<size_t>(last) * f.width + c] = rt_pixel(b.prev[c], f.grey);
                    { std::lock_guard<std::mutex> lock(out_mutex); ready[last] = 1; }
                    flush();
                }
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(out_mutex);
            if (!error) error = std::current_exception();
            stop = true;
        }
    };

    std::vector<std::thread> pool;
    for (int i = 1; i < threads; ++i) {
        // A thread the system refuses leaves its bands to the others: the same image.
        try {
            pool.emplace_back(worker);
        } catch (...) {
            break;
        }
    }
    worker();
    for (auto& th : pool) th.join();
    if (error) std::rethrow_exception(error);
    return stopped || (f.stop && f.stop->load()) ? -1 : 0;
}
