// Throughput of the matrix product, point transformation and arc point generation.
// Peers in the same run: a plain 4x4 homogeneous product and transform (what a
// general-purpose graphics library does), and arc points written into a reserved
// array instead of a linked list.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"

namespace {

Matrix43 sample_matrix(double angle) {
    Matrix43 m;
    Vec3 pivot = {1, 2, 3}, scale = {1.5f, 0.5f, 2};
    mat_rotate_axis(&m, &pivot, 0.3, -0.4, 0.8, angle, &scale);
    return m;
}

void BM_MatMul(benchmark::State& state) {
    Matrix43 a = sample_matrix(0.3), b = sample_matrix(1.1), c;
    for (auto _ : state) {
        mat_mul(&c, &a, &b);
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatMul);

void BM_Mat4MulPeer(benchmark::State& state) {
    double a[4][4] = {}, b[4][4] = {}, c[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) a[i][j] = b[j][i] = 0.1 * (i + 1) + 0.01 * j;
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                c[i][j] =
                    a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Mat4MulPeer);

void BM_MatXformPoint(benchmark::State& state) {
    Matrix43 m = sample_matrix(0.7);
    std::vector<Vec3> pts(state.range(0));
    for (size_t i = 0; i < pts.size(); ++i) pts[i] = {float(i), float(i % 7), float(i % 13)};
    for (auto _ : state) {
        for (Vec3& p : pts) mat_xform_point(&p, &p, &m);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MatXformPoint)->Arg(1 << 12)->Arg(1 << 16);

void BM_Mat4XformPeer(benchmark::State& state) {
    Matrix43 m43 = sample_matrix(0.7);
    float m[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) m[4 * i + j] = float(m43.m[3 * i + j]);
        m[4 * i + 3] = i == 3 ? 1.f : 0.f;
    }
    std::vector<Vec3> pts(state.range(0));
    for (size_t i = 0; i < pts.size(); ++i) pts[i] = {float(i), float(i % 7), float(i % 13)};
    for (auto _ : state) {
        for (Vec3& p : pts) {
            float x = p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12];
            float y = p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13];
            float z = p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14];
            float w = p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15];
            p = {x / w, y / w, z / w};
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Mat4XformPeer)->Arg(1 << 12)->Arg(1 << 16);

void BM_ArcPoints(benchmark::State& state) {
    const double step = kTwoPi / double(state.range(0));
    Vec3 c = {10, 20, 0};
    PointNode* list = nullptr;
    for (auto _ : state) {
        (void)arc_points(c, 5, 0.1, 0.1 + kTwoPi - 0.2, step, &list);
        benchmark::DoNotOptimize(list);
    }
    list_free(&list);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ArcPoints)->Arg(64)->Arg(4096);

void BM_ArcPointsArrayPeer(benchmark::State& state) {
    const double step = kTwoPi / double(state.range(0));
    std::vector<Vec3> pts;
    pts.reserve(state.range(0) + 2);
    for (auto _ : state) {
        pts.clear();
        for (double a = 0.1; a < 0.1 + kTwoPi - 0.2; a += step)
            pts.push_back({float(10 + 5 * std::cos(a)), float(20 + 5 * std::sin(a)), 0});
        benchmark::DoNotOptimize(pts.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ArcPointsArrayPeer)->Arg(64)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
