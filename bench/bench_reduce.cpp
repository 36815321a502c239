// Mesh reduction of a 1,000,000-triangle grid to half its triangles, in triangles per
// second; with ZELO_BENCH_PEERS beside meshoptimizer's simplifier (border locked)
// and CGAL's edge-collapse simplification.
#include <benchmark/benchmark.h>

#include "bench/peer_mesh.h"
#include "commands/boolean/mesh_reduce.h"

#if defined(ZELO_BENCH_PEERS)
#include <meshoptimizer.h>
#endif

namespace {

const PeerMesh& grid(int n) {
    static std::map<int, PeerMesh> cache;
    auto it = cache.find(n);
    if (it == cache.end()) it = cache.emplace(n, peer_grid(n)).first;
    return it->second;
}

void BM_Reduce(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    auto mesh = peer_to_mesh(g);
    size_t left = 0;
    for (auto _ : state) {
        MESH3* r = mesh_reduce(mesh.get(), 50);
        if (r == mesh.get()) {
            state.SkipWithError("not reduced");
            break;
        }
        left = triangle_count(r);
        rtc_destroy(r);
    }
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
// 707 x 707 cells: 999,698 triangles.
BENCHMARK(BM_Reduce)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);

#if defined(ZELO_BENCH_PEERS)
void BM_ReduceMeshopt(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    std::vector<uint32_t> out(g.triangles.size());
    size_t left = 0;
    for (auto _ : state) {
        float error = 0;
        const size_t n = meshopt_simplify(out.data(), g.triangles.data(), g.triangles.size(), g.xyz.data(),
                                          g.xyz.size() / 3, sizeof(float) * 3, g.triangles.size() / 2, 1.0f,
                                          meshopt_SimplifyLockBorder, &error);
        left = n / 3;
    }
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReduceMeshopt)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReduceCgal(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    size_t left = 0;
    for (auto _ : state) left = cgal_simplify(g, 0.5);
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReduceCgal)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

}  // namespace

BENCHMARK_MAIN();
