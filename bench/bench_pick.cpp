// Picking the object under a point in a drawing of 1,000,000 objects (short lines in
// a grid, in four layers): the whole drawing walked by the pick device through
// pick_object_at, as a click in a window does. Peer in the same run: a linear scan
// of all the same objects' boxes in a flat array, the least a pick without a spatial
// index can cost. A pick stops at its first hit; a click on nothing walks everything.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/grid_drawing.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/edit/picking.h"

namespace {

constexpr int kObjects = 1000000;
constexpr int kColumns = 1000;

using Drawing = GridDrawing;

Drawing& drawing() {
    static Drawing d = [] {
        Drawing out = make_grid_drawing(kObjects, kColumns, 0);
        model_attach_view(out.model.get(), out.view.get());
        return out;
    }();
    return d;
}

void BM_PickObjectAt(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 point = {5003, 5003, 0};  // on the line of the middle cell
    for (auto _ : state) {
        object* hit = pick_object_at(d.view.get(), point, nullptr, nullptr);
        benchmark::DoNotOptimize(hit);
        if (!hit) state.SkipWithError("nothing picked");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_PickObjectAt)->Unit(benchmark::kMillisecond);

// A click where nothing lies: every object of the drawing is looked at.
void BM_PickNothing(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 point = {5008, 5003, 0};  // between the lines of two cells
    for (auto _ : state) {
        object* hit = pick_object_at(d.view.get(), point, nullptr, nullptr);
        benchmark::DoNotOptimize(hit);
        if (hit) state.SkipWithError("something picked");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_PickNothing)->Unit(benchmark::kMillisecond);

void BM_BoxScanPeer(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 p = {5003, 5003, 0};
    for (auto _ : state) {
        int found = -1;
        for (size_t i = 0; i < d.boxes.size(); ++i) {
            const BBox& b = d.boxes[i];
            if (p.x >= b.min.x - 2 && p.x <= b.max.x + 2 && p.y >= b.min.y - 2 &&
                p.y <= b.max.y + 2)
                found = static_cast<int>(i);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_BoxScanPeer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
