// Surface detail: one scene (100,000 triangles, 640 x 480, Phong, one omni light)
// rendered plain and with each feature alone in the same run: each image filter, each
// procedural kind, each bump kind, a reflection map, and 1 and 4 shadowed spots at
// filter radius 0 and 3. Each reports ms per frame and its ratio to the plain frame.
// Also noise3 and turbulence rates and one 128 x 128 material swatch. With
// ZELO_BENCH_PEERS, libnoise's Perlin module runs on the same points.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "graphics/raster/raster.h"
#include "graphics/view/projection.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "render/scanline/material_preview.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scene.h"
#include "render/scanline/surface_detail.h"
#include "render/surface/noise.h"
#include "render/surface/presets.h"
#include "render/surface/surface.h"

#ifdef ZELO_BENCH_PEERS
#include <libnoise/noise.h>
#endif

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kColumns = 250, kRows = 200;  // 2 x 250 x 200 = 100,000 triangles
constexpr int kThreads = 4;

struct Scene {
    std::unique_ptr<MODEL> model;
    LAYER* layer = nullptr;
    MESH3* mesh = nullptr;
    buffer* objects = nullptr;
    RenderSettings settings;
    ViewProjection view;
    RasterImage* image = nullptr;
    ImageDC* dc = nullptr;
    std::unique_ptr<MATRPATT> picture;
    std::vector<LAYER*> spot_layers;  // one spot each
    std::vector<int32_t> filter;     // per layer of the ring: 1 kept
    RenderLayerFilter layers;
    Scene() {
        rtc_register_all();
        model = rtc_make<MODEL>();
        layer = static_cast<LAYER*>(static_cast<CONTAINER*>(model.get())->first_child());
        std::vector<Vec3d> pts;
        for (int r = 0; r <= kRows; ++r)
            for (int c = 0; c <= kColumns; ++c) {
                const double x = c * double(kWidth) / kColumns - kWidth / 2.0;
                const double y = r * double(kHeight) / kRows - kHeight / 2.0;
                pts.push_back({x, y, 15.0 * std::sin(x / 40.0) * std::cos(y / 30.0)});
            }
        auto m = rtc_make<MESH3>();
        (void)mesh_add_grid(m.get(), pts, kColumns + 1, kRows + 1, false, false);
        mesh = m.get();
        mesh->material->colour[0] = 0.8f;
        mesh->material->colour[1] = 0.7f;
        mesh->material->colour[2] = 0.5f;
        objects = buffer_create();
        (void)buffer_add(objects, mesh);
        (void)container_insert(layer, m.release());
        auto light = rtc_make<LIGHT>();
        light->position = {-200, 150, 600};
        light->light_colour[0] = light->light_colour[1] = light->light_colour[2] = 1.0f;
        (void)container_insert(layer, light.release());
        // Four spots, each in a layer of its own, kept by the layer filter on demand.
        for (int i = 0; i < 4; ++i) {
            auto s = rtc_make<SPOTLITE>();
            s->position = {-150.0f + 100 * i, 100, 400};
            s->target = {-150.0f + 100 * i, 0, 0};
            s->cone_cos[0] = 0.9f;
            s->cone_cos[1] = 0.8f;
            s->light_colour[0] = s->light_colour[1] = s->light_colour[2] = 1.0f;
            auto l = rtc_make<LAYER>();
            (void)container_insert(l.get(), s.release());
            spot_layers.push_back(l.get());
            (void)container_insert(model.get(), l.release());
        }
        settings.objects = objects;
        view.origin_x = -kWidth / 2.0;
        view.origin_y = -kHeight / 2.0;
        image = image_create_ex(kWidth, kHeight, 1, 24, nullptr);
        dc = image_dc_create(image);
        picture = std::make_unique<MATRPATT>();
        picture->release_image();
        picture->width = picture->height = 256;
        picture->pixels = new uint8_t[256 * 256 * 3];
        for (int i = 0; i < 256 * 256 * 3; ++i) picture->pixels[i] = uint8_t((i * 7) ^ (i >> 9));
    }
    ~Scene() {
        image_dc_free(dc);
        image_free(image);
        buffer_free(&objects);
    }
    // Each feature alone: a fresh material, and only the first `spots` spot layers.
    void reset(int spots) {
        material_init(mesh->material);
        mesh->material->colour[0] = 0.8f;
        mesh->material->colour[1] = 0.7f;
        mesh->material->colour[2] = 0.5f;
        filter.clear();
        ZDLIST* c = model->children;
        do {
            if (rtc_is<LAYER>(c)) {
                int32_t keep = 1;
                for (int i = 0; i < int(spot_layers.size()); ++i)
                    if (c == spot_layers[i]) keep = i < spots ? 1 : 0;
                filter.push_back(keep);
            }
            c = c->next;
        } while (c && c != model->children);
        layers.flags = filter.data();
        layers.count = filter.size();
    }
    double frame_ms() {
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = render_scene(dc, &settings, &view, model.get(), &layers, nullptr, nullptr,
                                    nullptr, nullptr);
        const auto t1 = std::chrono::steady_clock::now();
        return rc == 0 ? std::chrono::duration<double, std::milli>(t1 - t0).count() : -1.0;
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

double plain_ms() {
    static double ms = [] {
        Scene& s = scene();
        render_set_thread_count(kThreads);
        s.reset(0);
        s.settings.flags = kRenderPhong | kRenderTextures;
        double sum = 0;
        for (int i = 0; i < 3; ++i) sum += s.frame_ms();
        return sum / 3;
    }();
    return ms;
}

void place(TextureSlot& slot, double size) {
    slot.transform = std::make_unique<Transform>();
    slot.transform->inv = {{1 / size, 0, 0, 0, 1 / size, 0, 0, 0, 1 / size, 0, 0, 0}};
    slot.transform->fwd = {{size, 0, 0, 0, size, 0, 0, 0, size, 0, 0, 0}};
}

// Feature codes: 0 plain; 1..4 filter 0..3; 100 + kind procedural; 200 + kind bump;
// 300 reflection; 400 + 10 x spots + radius shadows.
void setup(Scene& s, int code) {
    s.reset(code >= 400 ? (code - 400) / 10 : 0);
    s.settings.flags = kRenderPhong | kRenderTextures;
    MaterialRecord* m = s.mesh->material;
    if (code >= 1 && code <= 4) {
        TextureSlot& t = m->slots[kSlotTexture];
        t.kind = kTextureImage;
        t.mapping_mode = kMappingModePlanar;
        texture_mapping_init(&t.mapping);
        t.mapping.interpolation = static_cast<uint16_t>(code - 1);
        t.mapping.image = s.picture.get();
        place(t, 200);
    } else if (code >= 100 && code < 200) {
        TextureSlot& t = m->slots[kSlotTexture];
        const int kind = code - 100;
        int row = -1;
        for (int i = 0; i < kPresetsTexture.count && row < 0; ++i)
            if (kPresetsTexture.rows[i].kind == kind) row = i;
        if (row >= 0) {
            texture_preset_apply(m, &kPresetsTexture, row);
        } else {
            t.kind = kind;
            pattern_params_init(&t.pattern);
            t.ramp = kPresetsTexture.rows[0].ramp.count ? &kPresetsTexture.rows[0].ramp : nullptr;
        }
        place(t, 40);
    } else if (code >= 200 && code < 300) {
        TextureSlot& b = m->slots[kSlotBump];
        const int kind = code - 200;
        if (kind == 1) {
            b.kind = kTextureImage;
            b.mapping_mode = kMappingModePlanar;
            texture_mapping_init(&b.mapping);
            b.mapping.image = s.picture.get();
        } else {
            b.kind = kind;
            pattern_params_init(&b.pattern);
        }
        b.amount = 0.5f;
        place(b, 40);
    } else if (code == 300) {
        m->reflection_level = 0.5f;
        texture_preset_apply(m, &kPresetsReflection, 23);
    } else if (code >= 400) {
        render_shadow_filter_for_tests(code % 10);
    }
}

void BM_SurfaceFrame(benchmark::State& state) {
    Scene& s = scene();
    const double plain = plain_ms();
    const int code = static_cast<int>(state.range(0));
    setup(s, code);
    double sum = 0;
    int n = 0;
    for (auto _ : state) {
        const double ms = s.frame_ms();
        if (ms < 0) {
            state.SkipWithError("render failed");
            break;
        }
        sum += ms;
        ++n;
    }
    render_shadow_filter_for_tests(-1);
    s.reset(0);
    if (n) {
        state.counters["ms/frame"] = sum / n;
        state.counters["x_plain"] = sum / n / plain;
    }
}
BENCHMARK(BM_SurfaceFrame)
    ->ArgName("feature")
    ->Arg(0)
    ->DenseRange(1, 4)
    ->Args({102})->Args({103})->Args({104})->Args({105})->Args({106})->Args({108})
    ->Args({109})->Args({110})->Args({111})->Args({112})->Args({113})->Args({114})
    ->Args({115})->Args({116})
    ->DenseRange(201, 207)
    ->Arg(300)
    ->Args({410})->Args({413})->Args({440})->Args({443})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

std::vector<double> points() {
    std::vector<double> p(3 * 1000000);
    uint64_t x = 99;
    for (double& v : p) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        v = double(x >> 11) / double(1ull << 53) * 200.0 - 100.0;
    }
    return p;
}

void BM_Noise3(benchmark::State& state) {
    const std::vector<double> p = points();
    double sum = 0;
    for (auto _ : state)
        for (size_t i = 0; i < p.size(); i += 3) sum += noise3(p[i], p[i + 1], p[i + 2]);
    benchmark::DoNotOptimize(sum);
    state.counters["points/s"] =
        benchmark::Counter(double(p.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Noise3)->Unit(benchmark::kMillisecond);

void BM_Turbulence4(benchmark::State& state) {
    const std::vector<double> p = points();
    double sum = 0;
    for (auto _ : state)
        for (size_t i = 0; i < p.size(); i += 3) sum += turbulence(p[i], p[i + 1], p[i + 2], 4);
    benchmark::DoNotOptimize(sum);
    state.counters["points/s"] =
        benchmark::Counter(double(p.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Turbulence4)->Unit(benchmark::kMillisecond);

#ifdef ZELO_BENCH_PEERS
// libnoise's Perlin module: 1 octave beside noise3, 4 beside turbulence.
void BM_LibnoisePerlin(benchmark::State& state) {
    const std::vector<double> p = points();
    noise::module::Perlin perlin;
    perlin.SetOctaveCount(static_cast<int>(state.range(0)));
    perlin.SetNoiseQuality(noise::QUALITY_STD);
    double sum = 0;
    for (auto _ : state)
        for (size_t i = 0; i < p.size(); i += 3) sum += perlin.GetValue(p[i], p[i + 1], p[i + 2]);
    benchmark::DoNotOptimize(sum);
    state.counters["points/s"] =
        benchmark::Counter(double(p.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LibnoisePerlin)->ArgName("octaves")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
#endif

void BM_Swatch128(benchmark::State& state) {
    MaterialRecord m;
    texture_preset_apply(&m, &kPresetsTexture, 6);
    texture_preset_apply(&m, &kPresetsBump, 0);
    m.slots[kSlotBump].amount = 0.3f;
    m.transparency = 0.3f;
    std::vector<float> out(128 * 128 * 4);
    for (auto _ : state) {
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const float p[3] = {(x + 0.5f) / 128 - 0.5f, 0.5f - (y + 0.5f) / 128, 0};
                float* c = &out[(y * 128 + x) * 4];
                c[0] = c[1] = c[2] = c[3] = 0;
                matpreview_shade(0, c, &m, p, 1.0f, kPreviewSphere);
            }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Swatch128)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
