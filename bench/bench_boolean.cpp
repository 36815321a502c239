// Boolean operations on two offset icospheres of 1,280 to 81,920 triangles each:
// union, intersection and subtraction by the engine, and (with ZELO_BENCH_PEERS) by
// CGAL's corefinement on the same triangles. Counters give the result's triangles
// and volume, so both answers can be compared.
#include <benchmark/benchmark.h>

#include "bench/peer_mesh.h"
#include "commands/boolean/csg.h"

namespace {

struct Pair {
    PeerMesh a, b;
    std::unique_ptr<MESH3> ma, mb;
};

const Pair& pair_at(int level) {
    static std::map<int, Pair> cache;
    auto it = cache.find(level);
    if (it == cache.end()) {
        Pair p;
        p.a = peer_icosphere(0, 0, 0, 50, level);
        p.b = peer_icosphere(30, 17, 9, 45, level);
        p.ma = peer_to_mesh(p.a);
        p.mb = peer_to_mesh(p.b);
        it = cache.emplace(level, std::move(p)).first;
    }
    return it->second;
}

void BM_Boolean(benchmark::State& state) {
    const Pair& p = pair_at(int(state.range(0)));
    const int op = int(state.range(1));
    double enclosed = 0;
    size_t triangles = 0;
    for (auto _ : state) {
        CsgStatus status;
        auto r = csg_boolean(p.ma.get(), p.mb.get(), op, &status);
        if (!r) {
            state.SkipWithError("engine failed");
            break;
        }
        triangles = triangle_count(r.get());
        enclosed = volume(r.get());
    }
    state.counters["input_triangles"] = double(p.a.triangles.size() / 3);
    state.counters["result_triangles"] = double(triangles);
    state.counters["volume"] = enclosed;
}

void operations(benchmark::internal::Benchmark* b) {
    for (int level = 3; level <= 6; ++level)
        for (int op = 0; op < 3; ++op) b->Args({level, op});
    b->ArgNames({"level", "op"})->Unit(benchmark::kMillisecond)->Iterations(1);
}
BENCHMARK(BM_Boolean)->Apply(operations);

#if defined(ZELO_BENCH_PEERS)
void BM_BooleanCgal(benchmark::State& state) {
    const Pair& p = pair_at(int(state.range(0)));
    const int op = int(state.range(1));
    double enclosed = 0;
    size_t triangles = 0;
    for (auto _ : state) {
        if (!cgal_boolean(p.a, p.b, op, &enclosed, &triangles)) {
            state.SkipWithError("CGAL failed");
            break;
        }
    }
    state.counters["input_triangles"] = double(p.a.triangles.size() / 3);
    state.counters["result_triangles"] = double(triangles);
    state.counters["volume"] = enclosed;
}
BENCHMARK(BM_BooleanCgal)->Apply(operations);
#endif

}  // namespace

BENCHMARK_MAIN();
