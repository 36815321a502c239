// Resolving a click into a point with every object snap on, in a drawing of
// 1,000,000 objects (short lines in a grid, every hundredth a circle, four layers):
// the cursor on a line end, on a circle, and on nothing; and the first click after an
// undoable add and after an undoable delete. Peers in the same run: one
// pick_object_at that finds nothing (the walk a snap kind took before), a linear scan
// of the same objects' boxes in a flat array, and that scan after appending (or
// blanking) one box.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/grid_drawing.h"
#include "commands/editcore/picking.h"
#include "commands/input/snap.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"
#include "model/math/scalar.h"

namespace {

constexpr int kObjects = 1000000;
constexpr int kColumns = 1000;

using Drawing = GridDrawing;

Drawing& drawing() {
    static Drawing d = [] {
        Drawing out = make_grid_drawing(kObjects, kColumns, 100);
        snap_track_changes();
        out.view->input_flags = kSnapFree | kSnapLineEnd | kSnapCircleCentre | kSnapArcEnd | kSnapGravity |
                                kSnapIntersection | kSnapVertex;
        model_attach_view(out.model.get(), out.view.get());
        return out;
    }();
    return d;
}

void resolve_at(benchmark::State& state, double x, double y) {
    Drawing& d = drawing();
    d.view->cursor[0] = x;
    d.view->cursor[1] = y;
    for (auto _ : state) {
        Vec3 p;
        benchmark::DoNotOptimize(input_resolve_point(d.view.get(), &p));
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}

void BM_ResolveLineEnd(benchmark::State& state) { resolve_at(state, 5006.2, 5006.1); }
BENCHMARK(BM_ResolveLineEnd)->Unit(benchmark::kMillisecond);

void BM_ResolveCircle(benchmark::State& state) { resolve_at(state, 506.0, 5003.0); }  // on the circle of cell 500050
BENCHMARK(BM_ResolveCircle)->Unit(benchmark::kMillisecond);

void BM_ResolveNothing(benchmark::State& state) { resolve_at(state, 5008.0, 5003.0); }
BENCHMARK(BM_ResolveNothing)->Unit(benchmark::kMillisecond);

void BM_PickNothingPeer(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 point = {5008, 5003, 0};
    for (auto _ : state) benchmark::DoNotOptimize(pick_object_at(d.view.get(), point, nullptr, nullptr));
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_PickNothingPeer)->Unit(benchmark::kMillisecond);

// Every box that holds the point (the scan does not stop: a snap looks at every
// object under the cursor); the last one found.
int scan_boxes(const std::vector<BBox>& boxes, const Vec3& p) {
    int found = -1;
    for (size_t i = 0; i < boxes.size(); ++i) {
        const BBox& b = boxes[i];
        if (p.x >= b.min.x - 0.5f && p.x <= b.max.x + 0.5f && p.y >= b.min.y - 0.5f && p.y <= b.max.y + 0.5f)
            found = static_cast<int>(i);
    }
    return found;
}

void BM_BoxScanPeer(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 p = {5003, 5003, 0};
    for (auto _ : state) benchmark::DoNotOptimize(scan_boxes(d.boxes, p));
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_BoxScanPeer)->Unit(benchmark::kMillisecond);

// ---- The first click after an edit

// Every timed click on a line end follows exactly one edit (time_first_query_after).
template <typename Edit>
void first_click_after(benchmark::State& state, Edit edit) {
    Drawing& d = drawing();
    d.view->cursor[0] = 5006.2;
    d.view->cursor[1] = 5006.1;
    Vec3 p;
    input_resolve_point(d.view.get(), &p);
    time_first_query_after(state, d, kObjects, edit, [&] {
        const int hit = input_resolve_point(d.view.get(), &p);
        benchmark::DoNotOptimize(p);
        return hit != 0;
    }, "the edit failed or the click found nothing");
}

[[maybe_unused]] const bool first_snap_registered = register_first_query_benchmarks(
    "BM_FirstSnapAfter", [](benchmark::State& state, auto edit) { first_click_after(state, edit); });

// Peers: one box appended to (or blanked in) the flat array, then the scan.
// The scan of the snapping peers always counts as a find.
bool scanned(const std::vector<BBox>& boxes) {
    benchmark::DoNotOptimize(scan_boxes(boxes, {5006.2f, 5006.1f, 0}));
    return true;
}

void BM_AppendAndScanPeer(benchmark::State& state) {
    time_append_and_scan(state, drawing().boxes, kObjects, scanned);
}
BENCHMARK(BM_AppendAndScanPeer)->Unit(benchmark::kMillisecond);

void BM_BlankAndScanPeer(benchmark::State& state) {
    time_blank_and_scan(state, drawing().boxes, kObjects, scanned);
}
BENCHMARK(BM_BlankAndScanPeer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
