// Building a grid of n x n quadrilaterals one face at a time with mesh_add_face (faces
// per second), with the face index and, at the smallest size, with the plain scan;
// beside mesh_add_grid laying out the same grid in one call and, with
// ZELO_BENCH_PEERS, meshoptimizer's vertex remap of the same triangle soup.
#include <benchmark/benchmark.h>

#include <vector>

#include "commands/model3d/flat_polygon.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"

#if defined(ZELO_BENCH_PEERS)
#include <meshoptimizer.h>
#endif

namespace {

Vec3 corner(int i, int j) {
    return {static_cast<float>(i), static_cast<float>(j), static_cast<float>((i * 7 + j * 3) % 5)};
}

void add_quads(benchmark::State& state, bool indexed) {
    rtc_register_all();
    const int n = static_cast<int>(state.range(0));
    size_t vertices = 0;
    for (auto _ : state) {
        auto mesh = rtc_make<MESH3>();
        MeshFaceIndex index;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const Vec3 p[4] = {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1)};
                if (mesh_add_face(mesh.get(), &p[0], &p[1], &p[2], &p[3], 0, indexed ? &index : nullptr) != 0) {
                    state.SkipWithError("mesh_add_face failed");
                    return;
                }
            }
        }
        vertices = mesh->blocks->vertices.size();
    }
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["faces_per_second"] =
        benchmark::Counter(double(n) * n, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AddFaceIndexed(benchmark::State& state) {
    add_quads(state, true);
}
// 100 x 100, 316 x 316 and 1000 x 1000 cells: 10k, about 100k and 1M quadrilaterals.
BENCHMARK(BM_AddFaceIndexed)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_AddFaceScan(benchmark::State& state) {
    add_quads(state, false);
}
BENCHMARK(BM_AddFaceScan)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_AddGrid(benchmark::State& state) {
    rtc_register_all();
    const int n = static_cast<int>(state.range(0));
    std::vector<Vec3d> points;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const Vec3 c = corner(i, j);
            points.push_back({c.x, c.y, c.z});
        }
    for (auto _ : state) {
        auto mesh = rtc_make<MESH3>();
        if (mesh_add_grid(mesh.get(), points, n + 1, n + 1, false, false) != 0) {
            state.SkipWithError("mesh_add_grid failed");
            return;
        }
    }
    state.counters["faces_per_second"] =
        benchmark::Counter(double(n) * n, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AddGrid)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

// A flat polygon of 100 x 100 = 10,000 vertices from its fill triangles (two per
// cell, every corner listed once per triangle), in triangles per second.
void BM_FlatPolygon(benchmark::State& state) {
    rtc_register_all();
    const int n = static_cast<int>(state.range(0));
    PtrNode* triangles = nullptr;
    auto tri = [&](Vec3 a, Vec3 b, Vec3 c) {
        PointNode* l = nullptr;
        (void)plist_add(&l, c);
        (void)plist_add(&l, b);
        (void)plist_add(&l, a);
        (void)ptrlist_add(&triangles, l);
    };
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const Vec3 p{float(i), float(j), 0}, q{float(i + 1), float(j), 0}, r{float(i + 1), float(j + 1), 0},
                s{float(i), float(j + 1), 0};
            tri(p, q, r);
            tri(p, r, s);
        }
    size_t vertices = 0;
    for (auto _ : state) {
        std::unique_ptr<MESH3> mesh;
        if (flat_polygon_mesh(triangles, &mesh) != 0 || !mesh) {
            state.SkipWithError("flat_polygon_mesh failed");
            break;
        }
        vertices = mesh->blocks->vertices.size();
    }
    plist_list_free(&triangles);
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["triangles_per_second"] =
        benchmark::Counter(2.0 * (n - 1) * (n - 1), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FlatPolygon)->Arg(100)->Unit(benchmark::kMillisecond);

#if defined(ZELO_BENCH_PEERS)
// The same quadrilaterals as a triangle soup (six corners each), merged by position.
void BM_MeshoptRemap(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<float> soup;
    soup.reserve(static_cast<size_t>(n) * n * 18);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Vec3 p[4] = {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1)};
            for (int k : {0, 1, 2, 0, 2, 3}) soup.insert(soup.end(), {p[k].x, p[k].y, p[k].z});
        }
    const size_t count = soup.size() / 3;
    std::vector<unsigned int> remap(count);
    size_t unique = 0;
    for (auto _ : state) {
        unique = meshopt_generateVertexRemap(remap.data(), nullptr, count, soup.data(), count, sizeof(float) * 3);
        benchmark::DoNotOptimize(remap.data());
    }
    state.counters["vertices"] = static_cast<double>(unique);
    state.counters["faces_per_second"] =
        benchmark::Counter(double(n) * n, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MeshoptRemap)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

}  // namespace

BENCHMARK_MAIN();
