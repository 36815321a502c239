// Ray tracer: hierarchy build and primary rays (nearest hit, 1280 x 720) over 10^3 to
// 10^6 triangles of one generator (small triangles scattered over a sphere shell), on
// one core and on every core; a whole shaded frame with shadows and antialiasing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "model/material/material.h"
#include "render/raytrace/rt_loop.h"
#include "render/raytrace/rt_vec.h"

namespace {

Vec3 f3(const Vec3d& v) { return Vec3{float(v.x), float(v.y), float(v.z)}; }

// n triangles of size about 4 / sqrt(n) on the unit sphere shell, linked in a list.
RtObject* scene(RtArena& a, int n) {
    std::mt19937 rng(1);
    std::normal_distribution<double> g;
    const double s = 4.0 / std::sqrt(double(n));
    RtObject* head = nullptr;
    for (int i = 0; i < n; ++i) {
        Vec3d c = rt_unit(rt_v(g(rng), g(rng), g(rng)));
        Vec3d p1 = c + s * rt_v(g(rng), g(rng), g(rng)), p2 = c + s * rt_v(g(rng), g(rng), g(rng)),
              p3 = c + s * rt_v(g(rng), g(rng), g(rng));
        Vec3d nrm = rt_unit(rt_cross(p2 - p1, p3 - p1));
        if (rt_len(nrm) == 0) nrm = c;
        RtTriangle* t = rt_triangle_new(a, nrm, f3(p1), f3(p2), f3(p3));
        t->next = head;
        head = t;
    }
    return head;
}

void camera(RtFrame& f, int w, int h) {
    f.width = w;
    f.height = h;
    double aspect = double(w) / h;
    f.camera.location = rt_v(0, 0, 3);
    f.camera.direction = rt_v(0, 0, -aspect);
    f.camera.right = rt_v(aspect, 0, 0);
    f.camera.up = rt_v(0, 1, 0);
}

void BM_BuildSlabs(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto a = std::make_unique<RtArena>();
        RtObject* list = scene(*a, n);
        state.ResumeTiming();
        benchmark::DoNotOptimize(rt_build_slabs(list, *a).root);
        state.PauseTiming();
        a.reset();
        state.ResumeTiming();
    }
    state.counters["tri/s"] = benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PrimaryRays(benchmark::State& state) {
    const int n = int(state.range(0)), threads = int(state.range(1));
    RtArena a;
    RtFrame f;
    camera(f, 1280, 720);
    f.objects = scene(a, n);
    f.slabs = rt_build_slabs(f.objects, a);
    f.background = {0, 0, 0, 1};
    f.shade = [](RtThread&, const RtRay&, const RtHit& h, const RtObject*) {
        return RtColour{float(h.depth * 0.1), 0, 0, 0};
    };
    for (auto _ : state) benchmark::DoNotOptimize(rt_trace_rows(f, threads));
    state.counters["rays/s"] = benchmark::Counter(1280.0 * 720, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ShadedFrame(benchmark::State& state) {
    RtArena a;
    auto m = std::make_unique<MaterialRecord>();
    m->colour[0] = 0.8f;
    m->colour[1] = 0.6f;
    m->colour[2] = 0.4f;
    m->colour[3] = 0;
    RtFrame f;
    camera(f, 1280, 720);
    f.antialias = true;
    f.objects = scene(a, 100000);
    for (RtObject* o = f.objects; o; o = o->next) o->material = m.get();
    f.slabs = rt_build_slabs(f.objects, a);
    float white[4] = {1, 1, 1, 0};
    f.lights = rt_light_create(a, kRtLightPoint, white, Vec3{2, 3, 4}, Vec3{0, 0, 0}, 1, 0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(rt_trace_rows(f, int(state.range(0))));
    state.counters["pixels/s"] = benchmark::Counter(1280.0 * 720, benchmark::Counter::kIsIterationInvariantRate);
}

const int kAll = int(std::max(1u, std::thread::hardware_concurrency()));

}  // namespace

BENCHMARK(BM_BuildSlabs)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrimaryRays)
    ->ArgsProduct({{1000, 10000, 100000, 1000000}, {1, kAll}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ShadedFrame)->Arg(kAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
