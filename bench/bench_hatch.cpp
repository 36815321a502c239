// Solid fill of a contour of 10,000 vertices with 50 islands (star-shaped rings),
// and the same region hatched with a pattern. Peer in the same run: one pass over
// the same vertices taking their extent, the least any fill must do. Then a comb of
// 80,002 vertices, whose last cuts are long thin ears.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/db/wire.h"
#include "model/geom/hatch.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

namespace {

std::vector<Vec3> star(int n, double cx, double cy, double r0, double r1, unsigned seed) {
    std::vector<Vec3> p;
    unsigned s = seed;
    for (int i = 0; i < n; ++i) {
        s = s * 1103515245u + 12345u;
        double r = r0 + (r1 - r0) * ((s >> 16) & 0x7fff) / 32767.0;
        double a = kTwoPi * i / n;
        p.push_back({float(cx + r * std::cos(a)), float(cy + r * std::sin(a)), 0});
    }
    return p;
}

PtrNode* set_of(const std::vector<std::vector<Vec3>>& contours) {
    PtrNode* set = nullptr;
    for (const auto& c : contours) {
        PointNode* head = nullptr;
        for (auto it = c.rbegin(); it != c.rend(); ++it) (void)plist_add(&head, *it);
        (void)ptrlist_add(&set, head);
    }
    return set;
}

struct Region {
    std::vector<Vec3> outer;
    std::vector<std::vector<Vec3>> islands;
    Region() {
        outer = star(10000, 0, 0, 900, 1000, 1);
        for (int i = 0; i < 50; ++i) {
            double a = kTwoPi * i / 50, r = (i % 2) ? 350 : 650;
            islands.push_back(star(24, r * std::cos(a), r * std::sin(a), 15, 30, 100 + i));
        }
    }
};

const Region& region() {
    static Region r;
    return r;
}

void run_fill(benchmark::State& state, HATCHPATT* pattern) {
    rtc_register_all();
    const Region& r = region();
    auto h = rtc_make<HATCH>();
    h->contours[0] = set_of({r.outer});
    h->contours[1] = set_of(r.islands);
    h->pattern = pattern;
    h->values[0] = 1;
    for (auto _ : state) {
        Vec3d plane;
        if (hatch_regen(h.get(), &plane) != 0) state.SkipWithError("fill failed");
    }
    state.SetItemsProcessed(state.iterations() * (10000 + 50 * 24));
}

void BM_SolidFill10kWith50Islands(benchmark::State& state) {
    run_fill(state, nullptr);
}
BENCHMARK(BM_SolidFill10kWith50Islands)->Unit(benchmark::kMillisecond);

void BM_PatternFill10kWith50Islands(benchmark::State& state) {
    rtc_register_all();
    std::unique_ptr<RTC> p = rtc_new("bench", &HATCHPATT::rtc_class);
    HATCHPATT* patt = static_cast<HATCHPATT*>(p.get());
    patt->lines = {HatchLine{45, 0, 0, 0, 10, {}}, HatchLine{135, 0, 0, 0, 10, {20, 5}}};
    run_fill(state, patt);
}
BENCHMARK(BM_PatternFill10kWith50Islands)->Unit(benchmark::kMillisecond);

void BM_PeerExtentPass(benchmark::State& state) {
    const Region& r = region();
    auto extent = [](const std::vector<Vec3>& p, float* box) {
        for (const Vec3& v : p) {
            box[0] = std::min(box[0], v.x);
            box[1] = std::min(box[1], v.y);
            box[2] = std::max(box[2], v.x);
            box[3] = std::max(box[3], v.y);
        }
    };
    for (auto _ : state) {
        float box[4] = {1e30f, 1e30f, -1e30f, -1e30f};
        extent(r.outer, box);
        for (const auto& i : r.islands) extent(i, box);
        benchmark::DoNotOptimize(box);
    }
    state.SetItemsProcessed(state.iterations() * (10000 + 50 * 24));
}
BENCHMARK(BM_PeerExtentPass)->Unit(benchmark::kMicrosecond);

// A comb: 20,000 thin teeth on a low spine, 80,002 vertices. Long thin ears near
// the spine cover many grid cells, the hard case for the vertex lookup.
std::vector<Vec3> comb(int teeth) {
    std::vector<Vec3> p;
    p.push_back({0, 0, 0});
    p.push_back({float(2 * teeth), 0, 0});
    for (int k = teeth - 1; k >= 0; --k) {
        float x0 = float(2 * k), x1 = x0 + 1;
        p.push_back({x1, 1, 0});
        p.push_back({x1, 100, 0});
        p.push_back({x0, 100, 0});
        p.push_back({x0, 1, 0});
    }
    return p;
}

void BM_SolidFillComb80k(benchmark::State& state) {
    rtc_register_all();
    auto h = rtc_make<HATCH>();
    h->contours[0] = set_of({comb(20000)});
    h->values[0] = 1;
    for (auto _ : state) {
        Vec3d plane;
        if (hatch_regen(h.get(), &plane) != 0) state.SkipWithError("fill failed");
    }
    state.SetItemsProcessed(state.iterations() * 80002);
}
BENCHMARK(BM_SolidFillComb80k)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
