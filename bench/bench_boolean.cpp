// Boolean operations on two icospheres of 1,280 to 1,310,720 triangles each, in
// several placements (overlapping, moved further, nearly touching from outside, and a
// turned copy of the first): union, intersection and subtraction by the engine, and
// (with ZELO_BENCH_PEERS) by CGAL's corefinement on the same triangles. Counters give
// each result's triangles, volume, the figure it should have (from the balls'
// common volume, scaled to the meshes), the error in percent, and for the engine the
// edges not used once each way between the same corner coordinates and whether it
// refused.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <unordered_map>

#include "bench/peer_mesh.h"
#include "commands/boolean/csg.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Placement {
    const char* name;
    double centre[3];
    double radius;
    double turn;  // radians about (1, 2, 3) for the turned copy, 0 otherwise
};
const Placement kPlacements[] = {
    {"overlap", {30, 17, 9}, 45, 0},
    {"further", {25, 20, 5}, 45, 0},
    {"nearly touching", {95.001, 0, 0}, 45, 0},
    {"turned copy", {0, 0, 0}, 50, 0.3},
};

struct Pair {
    PeerMesh a, b;
    std::unique_ptr<MESH3> ma, mb;
    double expect[3];
};

double ball(double r) {
    return 4.0 / 3 * kPi * r * r * r;
}

// Common volume of balls of radii r1, r2 whose centres lie d apart.
double lens(double r1, double r2, double d) {
    if (d >= r1 + r2) return 0;
    if (d <= std::fabs(r1 - r2)) return ball(std::min(r1, r2));
    return kPi * std::pow(r1 + r2 - d, 2) * (d * d + 2 * d * (r1 + r2) - 3 * (r1 - r2) * (r1 - r2)) / (12 * d);
}

PeerMesh turned(PeerMesh m, double angle) {
    // Rodrigues' rotation about the unit axis (1, 2, 3) / sqrt(14).
    const double k[3] = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0)};
    const double c = std::cos(angle), s = std::sin(angle);
    for (size_t i = 0; i < m.xyz.size(); i += 3) {
        const double v[3] = {m.xyz[i], m.xyz[i + 1], m.xyz[i + 2]};
        const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
        const double x[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
        for (int j = 0; j < 3; ++j) m.xyz[i + j] = float(v[j] * c + x[j] * s + k[j] * kv * (1 - c));
    }
    return m;
}

const Pair& pair_at(int level, int placement) {
    static std::map<std::pair<int, int>, Pair> cache;
    auto it = cache.find({level, placement});
    if (it == cache.end()) {
        const Placement& pl = kPlacements[placement];
        Pair p;
        p.a = peer_icosphere(0, 0, 0, 50, level);
        p.b = pl.turn != 0 ? turned(p.a, pl.turn) : peer_icosphere(pl.centre[0], pl.centre[1], pl.centre[2], pl.radius, level);
        p.ma = peer_to_mesh(p.a);
        p.mb = peer_to_mesh(p.b);
        const double va = volume(p.ma.get()), vb = volume(p.mb.get());
        const double d = std::hypot(pl.centre[0], pl.centre[1], pl.centre[2]);
        const double vi = lens(50, pl.radius, d) * std::min(va / ball(50), vb / ball(pl.radius));
        p.expect[0] = va + vb - vi;
        p.expect[1] = vi;
        p.expect[2] = va - vi;
        it = cache.emplace(std::make_pair(level, placement), std::move(p)).first;
    }
    return it->second;
}

// Directed edges not matched once by their reverse, corners told apart by their
// coordinates across the result's blocks.
size_t open_edges(const MESH3* m) {
    struct Key {
        float c[6];
        bool operator==(const Key& o) const { return std::equal(c, c + 6, o.c); }
    };
    struct Hash {
        size_t operator()(const Key& k) const {
            size_t h = 0;
            for (float f : k.c) h = h * 0x9E3779B97F4A7C15ull + std::hash<float>()(f);
            return h;
        }
    };
    std::unordered_map<Key, int, Hash> directed;
    for (const auto& t : shapes::triangles(m)) {
        for (int k = 0; k < 3; ++k) {
            const auto& p = t[k];
            const auto& q = t[(k + 1) % 3];
            ++directed[Key{{float(p[0]), float(p[1]), float(p[2]), float(q[0]), float(q[1]), float(q[2])}}];
        }
    }
    size_t open = 0;
    for (const auto& [k, n] : directed) {
        const Key r{{k.c[3], k.c[4], k.c[5], k.c[0], k.c[1], k.c[2]}};
        const auto it = directed.find(r);
        if (n != 1 || it == directed.end() || it->second != 1) ++open;
    }
    return open;
}

void report(benchmark::State& state, const Pair& p, int op, size_t triangles, double enclosed) {
    state.counters["input_triangles"] = double(p.a.triangles.size() / 3);
    state.counters["result_triangles"] = double(triangles);
    state.counters["volume"] = enclosed;
    state.counters["expected"] = p.expect[op];
    state.counters["error_pct"] = 100 * (enclosed - p.expect[op]) / p.expect[0];
}

void BM_Boolean(benchmark::State& state) {
    const Pair& p = pair_at(int(state.range(0)), int(state.range(2)));
    const int op = int(state.range(1));
    std::unique_ptr<MESH3> r;
    for (auto _ : state) {
        CsgStatus status;
        r = csg_boolean(p.ma.get(), p.mb.get(), op, &status);
    }
    state.counters["refused"] = r ? 0 : 1;
    state.counters["open_edges"] = r ? double(open_edges(r.get())) : 0;
    report(state, p, op, r ? triangle_count(r.get()) : 0, r ? volume(r.get()) : 0);
}

// Levels 3 to 6 (1,280 to 81,920 triangles) in every placement; 7 and 8 (327,680 and
// 1,310,720) overlapping.
void operations(benchmark::internal::Benchmark* b) {
    for (int level = 3; level <= 8; ++level)
        for (int placement = 0; placement < (level <= 6 ? 4 : 1); ++placement)
            for (int op = 0; op < 3; ++op) b->Args({level, op, placement});
    b->ArgNames({"level", "op", "placement"})->Unit(benchmark::kMillisecond)->Iterations(1);
}
BENCHMARK(BM_Boolean)->Apply(operations);

#if defined(ZELO_BENCH_PEERS)
void BM_BooleanCgal(benchmark::State& state) {
    const Pair& p = pair_at(int(state.range(0)), int(state.range(2)));
    const int op = int(state.range(1));
    double enclosed = 0;
    size_t triangles = 0;
    for (auto _ : state) {
        if (!cgal_boolean(p.a, p.b, op, &enclosed, &triangles)) {
            state.SkipWithError("CGAL failed");
            break;
        }
    }
    report(state, p, op, triangles, enclosed);
}
BENCHMARK(BM_BooleanCgal)->Apply(operations);
#endif

}  // namespace

BENCHMARK_MAIN();
