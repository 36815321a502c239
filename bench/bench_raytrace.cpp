// Ray tracer: hierarchy build and primary rays (nearest hit, 1280 x 720) over 10^4,
// 10^5 and 10^6 triangles of one generator (small triangles scattered over a sphere
// shell), on one core and on every core; boxes opened per ray and bytes per triangle; a
// whole shaded frame with shadows and antialiasing. With ZELO_BENCH_PEERS (and Embree 3
// found) the same triangles and rays through Embree: rtcCommitScene alone (the device
// and the geometry made outside the timing) on one thread and on every thread, and
// rtcIntersect1 on the same threads, for the ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if ZELO_BENCH_EMBREE
#include <embree3/rtcore.h>
#endif

#include "model/material/material.h"
#include "render/raytrace/rt_loop.h"
#include "render/raytrace/rt_vec.h"

namespace {

Vec3 f3(const Vec3d& v) { return Vec3{float(v.x), float(v.y), float(v.z)}; }

// n triangles of size about 4 / sqrt(n) on the unit sphere shell: three corners each.
std::vector<Vec3> triangles(int n) {
    std::mt19937 rng(1);
    std::normal_distribution<double> g;
    const double s = 4.0 / std::sqrt(double(n));
    std::vector<Vec3> out;
    out.reserve(size_t(n) * 3);
    for (int i = 0; i < n; ++i) {
        Vec3d c = rt_unit(rt_v(g(rng), g(rng), g(rng)));
        for (int k = 0; k < 3; ++k) out.push_back(f3(c + s * rt_v(g(rng), g(rng), g(rng))));
    }
    return out;
}

// The same triangles as ray-tracer records, linked in a list.
RtObject* scene(RtArena& a, int n) {
    const std::vector<Vec3> v = triangles(n);
    RtObject* head = nullptr;
    for (int i = 0; i < n; ++i) {
        const Vec3d p1 = rt_v(v[3 * i]), p2 = rt_v(v[3 * i + 1]), p3 = rt_v(v[3 * i + 2]);
        Vec3d nrm = rt_unit(rt_cross(p2 - p1, p3 - p1));
        if (rt_len(nrm) == 0) nrm = rt_unit(p1);
        RtTriangle* t = rt_triangle_new(a, nrm, v[3 * i], v[3 * i + 1], v[3 * i + 2]);
        t->next = head;
        head = t;
    }
    return head;
}

int count_nodes(const RtObject* o) {
    if (!o || !(o->type & kRtSlabNode)) return 0;
    auto* n = static_cast<const RtSlabNode*>(o);
    int c = 1;
    for (int k = 0; k < n->count; ++k) c += count_nodes(n->children[k]);
    return c;
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
    const int n = int(state.range(0)), threads = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto a = std::make_unique<RtArena>();
        RtObject* list = scene(*a, n);
        state.ResumeTiming();
        benchmark::DoNotOptimize(rt_build_slabs(list, *a, threads).root);
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

// Boxes of the hierarchy opened per primary ray (one core), and the bytes a triangle
// costs with its share of the hierarchy.
void BM_BoxesPerRay(benchmark::State& state) {
    const int n = int(state.range(0));
    RtArena a;
    RtFrame f;
    camera(f, 1280, 720);
    f.objects = scene(a, n);
    f.slabs = rt_build_slabs(f.objects, a);
    RtThread t;
    t.frame = &f;
    uint64_t rays = 0;
    for (auto _ : state) {
        for (int y = 0; y < 720; y += 8)
            for (int x = 0; x < 1280; x += 8, ++rays) {
                RtRay ray;
                rt_primary_ray(t, &ray, x, y);
                RtHit best{};
                best.depth = 1e30;
                const RtObject* o = nullptr;
                benchmark::DoNotOptimize(rt_slab_intersect(f.slabs.root, ray, &best, &o, t.queue, t.arena));
            }
    }
    state.counters["boxes/ray"] = double(t.queue.opened) / double(rays);
    // Per node its record and its boxes; per object its place in the object array, rank
    // and the search's copy of the triangle.
    state.counters["bytes/tri"] =
        (double(sizeof(RtTriangle) + sizeof(RtObject*) + sizeof(uint32_t) + sizeof(RtSlabTriangle)) * n +
         double(sizeof(RtSlabNode) + sizeof(RtSlabBoxes)) * count_nodes(f.slabs.root)) / n;
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

#if ZELO_BENCH_EMBREE
struct EmbreeScene {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    ~EmbreeScene() {
        if (scene) rtcReleaseScene(scene);
        if (device) rtcReleaseDevice(device);
    }
};

// The scene's geometry on the device, not yet committed.
void embree_scene(EmbreeScene& e, const std::vector<Vec3>& v) {
    e.scene = rtcNewScene(e.device);
    RTCGeometry g = rtcNewGeometry(e.device, RTC_GEOMETRY_TYPE_TRIANGLE);
    const size_t n = v.size() / 3;
    auto* vb = static_cast<float*>(
        rtcSetNewGeometryBuffer(g, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), v.size()));
    auto* ib = static_cast<unsigned*>(
        rtcSetNewGeometryBuffer(g, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), n));
    for (size_t i = 0; i < v.size(); ++i) vb[3 * i] = v[i].x, vb[3 * i + 1] = v[i].y, vb[3 * i + 2] = v[i].z;
    for (size_t i = 0; i < v.size(); ++i) ib[i] = unsigned(i);
    rtcCommitGeometry(g);
    rtcAttachGeometry(e.scene, g);
    rtcReleaseGeometry(g);
}

void embree_build(EmbreeScene& e, const std::vector<Vec3>& v) {
    e.device = rtcNewDevice(nullptr);
    embree_scene(e, v);
    rtcCommitScene(e.scene);
}

// The build alone: one device (with one thread, or every thread) for every iteration,
// the geometry set up outside the timing, rtcCommitScene timed.
void BM_EmbreeBuild(benchmark::State& state) {
    const std::vector<Vec3> v = triangles(int(state.range(0)));
    const int threads = int(state.range(1));
    const std::string config = "threads=" + std::to_string(threads);
    EmbreeScene e;
    e.device = rtcNewDevice(config.c_str());
    for (auto _ : state) {
        state.PauseTiming();
        if (e.scene) rtcReleaseScene(e.scene);
        e.scene = nullptr;
        embree_scene(e, v);
        state.ResumeTiming();
        rtcCommitScene(e.scene);
        benchmark::DoNotOptimize(e.scene);
    }
    state.counters["tri/s"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

// The primary rays of rt_primary_ray for the benchmark camera, nearest hit by
// rtcIntersect1, rows dealt out in bands of 8 to the threads as the ray tracer does.
void BM_EmbreePrimaryRays(benchmark::State& state) {
    const int n = int(state.range(0)), threads = int(state.range(1));
    EmbreeScene e;
    embree_build(e, triangles(n));
    RtFrame f;
    camera(f, 1280, 720);
    const RtCamera& cam = f.camera;
    for (auto _ : state) {
        std::atomic<int> next{0};
        std::atomic<uint64_t> hits{0};
        auto work = [&] {
            RTCIntersectContext ctx;
            rtcInitIntersectContext(&ctx);
            uint64_t mine = 0;
            for (int band; (band = next++) < 90;) {
                for (int y = band * 8; y < band * 8 + 8; ++y)
                    for (int x = 0; x < 1280; ++x) {
                        const double u = (x - 640.0) / 1280, v = -(y - 360.0) / 720;
                        const Vec3d d = rt_unit(cam.direction + u * cam.right + v * cam.up);
                        RTCRayHit rh{};
                        rh.ray.org_x = float(cam.location.x), rh.ray.org_y = float(cam.location.y);
                        rh.ray.org_z = float(cam.location.z);
                        rh.ray.dir_x = float(d.x), rh.ray.dir_y = float(d.y), rh.ray.dir_z = float(d.z);
                        rh.ray.tnear = 0.001f;
                        rh.ray.tfar = 1e7f;
                        rh.ray.mask = ~0u;
                        rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
                        rtcIntersect1(e.scene, &ctx, &rh);
                        mine += rh.hit.geomID != RTC_INVALID_GEOMETRY_ID;
                    }
            }
            hits += mine;
        };
        std::vector<std::thread> pool;
        for (int i = 1; i < threads; ++i) pool.emplace_back(work);
        work();
        for (auto& th : pool) th.join();
        benchmark::DoNotOptimize(hits.load());
    }
    state.counters["rays/s"] = benchmark::Counter(1280.0 * 720, benchmark::Counter::kIsIterationInvariantRate);
}
#endif

const int kAll = int(std::max(1u, std::thread::hardware_concurrency()));

}  // namespace

BENCHMARK(BM_BuildSlabs)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, kAll}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#if ZELO_BENCH_EMBREE
BENCHMARK(BM_EmbreeBuild)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, kAll}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif
BENCHMARK(BM_PrimaryRays)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, kAll}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#if ZELO_BENCH_EMBREE
BENCHMARK(BM_EmbreePrimaryRays)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, kAll}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif
BENCHMARK(BM_BoxesPerRay)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShadedFrame)->Arg(kAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

namespace {

// The console report, then the side-by-side rows: each of our timings against Embree's
// of the same size and threads from this run (one-thread rows by CPU time, pin them with
// taskset; all-thread rows by wall time), medians of the repetitions and the range of
// the ratios of repetitions taken in turn.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                times_[r.run_name.str()].push_back({r.GetAdjustedCPUTime(), r.GetAdjustedRealTime()});
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nSide by side with Embree (ratio: ours over Embree's time for the build, our rays over Embree's for rays)\n");
        std::printf("%-26s %12s %12s %8s %17s\n", "row", "ours", "Embree", "ratio", "range");
        for (const char* what : {"build", "rays"})
            for (int n : {10000, 100000, 1000000})
                for (int threads : {1, kAll}) row(what, n, threads);
    }

private:
    using Times = std::vector<std::pair<double, double>>;  // CPU, wall per repetition
    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    void row(const std::string& what, int n, int threads) {
        const bool build = what == "build";
        const std::string tail = "/" + std::to_string(n) + "/" + std::to_string(threads) + "/real_time";
        const auto ours = times_.find((build ? "BM_BuildSlabs" : "BM_PrimaryRays") + tail);
        const auto peer = times_.find((build ? "BM_EmbreeBuild" : "BM_EmbreePrimaryRays") + tail);
        if (ours == times_.end() || peer == times_.end()) return;
        auto pick = [threads](const Times& t) {
            std::vector<double> v;
            for (const auto& [cpu, wall] : t) v.push_back(threads == 1 ? cpu : wall);
            return v;
        };
        const std::vector<double> a = pick(ours->second), b = pick(peer->second);
        auto ratio = [build](double x, double y) { return build ? x / y : y / x; };
        double lo = 1e300, hi = 0;
        for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            lo = std::min(lo, ratio(a[i], b[i]));
            hi = std::max(hi, ratio(a[i], b[i]));
        }
        const double ma = median(a), mb = median(b);
        const std::string name = what + " " + std::to_string(n / 1000) + "k, " +
                                 (threads == 1 ? std::string("1 thread") : std::to_string(threads) + " threads");
        const char* unit = threads == 1 ? "ms cpu" : "ms wall";
        std::printf("%-26s %9.1f %-2s %9.1f %-2s %7.2fx  %6.2fx - %5.2fx  (%s)\n", name.c_str(), ma, "", mb, "",
                    ratio(ma, mb), lo, hi, unit);
    }
    std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
