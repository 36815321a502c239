// Throughput of the wire-frame driver: 1,000,000 segments of one polyline projected
// through a parallel and a perspective view, a third of them leaving the pixel range
// and clipped, handed to a line callback that only counts. Peer in the same run: the
// bare projection of the same points into an array (view matrix, scale, rounding),
// the least any driver must do per point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "graphics/view/driver.h"
#include "model/db/wire.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"

namespace {

constexpr int kSegments = 1000000;

// A zigzag whose every third point lies far outside the pixel range.
std::vector<Vec3> zigzag() {
    std::vector<Vec3> pts;
    pts.reserve(kSegments + 1);
    for (int i = 0; i <= kSegments; ++i) {
        const float x = static_cast<float>((i * 37) % 2000);
        const float y = (i % 3 == 0) ? 50000.0f : static_cast<float>((i * 11) % 1500);
        pts.push_back({x, y, static_cast<float>(-(i % 7) - 50)});
    }
    return pts;
}

std::unique_ptr<XPLINE> make_line(const std::vector<Vec3>& pts) {
    rtc_register_all();
    auto line = rtc_make<XPLINE>();
    PointNode* head = nullptr;
    for (size_t i = pts.size(); i-- > 0;) (void)plist_add(&head, pts[i]);
    line->control = head;
    line->own_box();
    return line;
}

ViewProjection projection(bool perspective) {
    ViewProjection vp;
    Transform t;
    xform_rotate_xyz(&t, 0.2, -0.1, 0.3);
    vp.view = t.fwd;
    vp.inverse = t.inv;
    vp.scale = 1.5;
    vp.origin_x = -100;
    vp.origin_y = -80;
    if (perspective) {
        vp.view.m[9] = -1000;  // the drawing in front of the eye
        vp.view.m[10] = -700;
        vp.view.m[11] = -60000;
        vp.mode = kProjPerspective;
        vp.eye_distance = 400;
        vp.centre_x = 640;
        vp.centre_y = 400;
    }
    vp.line = [](void* c, int, int, int, int) {
        ++*static_cast<long*>(c);
        return 0;
    };
    return vp;
}

void run_driver(benchmark::State& state, bool perspective) {
    static const std::vector<Vec3> pts = zigzag();
    static std::unique_ptr<XPLINE> line = make_line(pts);
    ViewProjection vp = projection(perspective);
    long drawn = 0;
    vp.context = &drawn;
    for (auto _ : state) {
        viewiter_draw_object(&vp, line.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSegments);
    state.counters["drawn"] = static_cast<double>(drawn) / static_cast<double>(state.iterations());
}

void BM_DriverParallel(benchmark::State& state) {
    run_driver(state, false);
}
BENCHMARK(BM_DriverParallel)->Unit(benchmark::kMillisecond);

void BM_DriverPerspective(benchmark::State& state) {
    run_driver(state, true);
}
BENCHMARK(BM_DriverPerspective)->Unit(benchmark::kMillisecond);

void BM_BareProjectionPeer(benchmark::State& state) {
    static const std::vector<Vec3> pts = zigzag();
    const ViewProjection vp = projection(false);
    std::vector<int> out(pts.size() * 2);
    for (auto _ : state) {
        for (size_t i = 0; i < pts.size(); ++i) {
            Vec3d v = {pts[i].x, pts[i].y, pts[i].z};
            mat_xform_point_d(&v, &v, &vp.view);
            out[2 * i] = static_cast<int>(std::floor((v.x - vp.origin_x) * vp.scale + 0.5));
            out[2 * i + 1] = static_cast<int>(std::floor((v.y - vp.origin_y) * vp.scale + 0.5));
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSegments);
}
BENCHMARK(BM_BareProjectionPeer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
