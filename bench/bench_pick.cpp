// Picking the object under a point in a drawing of 1,000,000 objects (short lines in
// a grid, in four layers): the whole drawing walked by the pick device through
// pick_object_at, as a click in a window does. Peer in the same run: a linear scan
// of all the same objects' boxes in a flat array in walk order (layer by layer), the
// least a pick without a spatial index can cost. A pick stops at its first hit, and
// so does the scan beside it; a click on nothing walks everything. The first pick
// after an undoable add and after an undoable delete: peer, the scan after appending
// (or blanking) one box.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/grid_drawing.h"
#include "commands/editcore/picking.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/math/plist.h"

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

// The picked object is held const so DoNotOptimize only reads it: through its
// read-write form GCC may keep the value in a register and leave the variable's
// stack slot unwritten, and the check after it would read garbage.
void BM_PickObjectAt(benchmark::State& state) {
    Drawing& d = drawing();
    const Vec3 point = {5003, 5003, 0};  // on the line of the middle cell
    for (auto _ : state) {
        object* const hit = pick_object_at(d.view.get(), point, nullptr, nullptr);
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
        object* const hit = pick_object_at(d.view.get(), point, nullptr, nullptr);
        benchmark::DoNotOptimize(hit);
        if (hit) state.SkipWithError("something picked");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_PickNothing)->Unit(benchmark::kMillisecond);

// The objects' boxes in the order the pick device meets them: layer by layer.
std::vector<BBox> walk_order_boxes(const Drawing& d) {
    std::vector<BBox> out;
    out.reserve(d.boxes.size());
    for (size_t layer = 0; layer < 4; ++layer)
        for (size_t i = layer; i < d.boxes.size(); i += 4) out.push_back(d.boxes[i]);
    return out;
}

// The first box holding the point (within the pick device's 1-unit box at this
// scale), or -1: a scan that stops at its first hit, as a pick does.
int first_box_hit(const std::vector<BBox>& boxes, const Vec3& p) {
    for (size_t i = 0; i < boxes.size(); ++i) {
        const BBox& b = boxes[i];
        if (p.x >= b.min.x - 1 && p.x <= b.max.x + 1 && p.y >= b.min.y - 1 && p.y <= b.max.y + 1)
            return static_cast<int>(i);
    }
    return -1;
}

void BM_BoxScanPeer(benchmark::State& state) {
    const std::vector<BBox> boxes = walk_order_boxes(drawing());
    const Vec3 p = {5003, 5003, 0};
    for (auto _ : state) {
        const int found = first_box_hit(boxes, p);
        benchmark::DoNotOptimize(found);
        if (found < 0) state.SkipWithError("nothing found");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_BoxScanPeer)->Unit(benchmark::kMillisecond);

// The scan of every box (a click on nothing).
void BM_BoxScanNothingPeer(benchmark::State& state) {
    const std::vector<BBox> boxes = walk_order_boxes(drawing());
    const Vec3 p = {5008, 5003, 0};
    for (auto _ : state) {
        const int found = first_box_hit(boxes, p);
        benchmark::DoNotOptimize(found);
        if (found >= 0) state.SkipWithError("something found");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_BoxScanNothingPeer)->Unit(benchmark::kMillisecond);

// ---- The first pick after an edit

// Every timed pick of the middle cell follows exactly one edit (time_first_query_after).
template <typename Edit>
void first_pick_after(benchmark::State& state, Edit edit) {
    Drawing& d = drawing();
    const Vec3 point = {5003, 5003, 0};
    pick_object_at(d.view.get(), point, nullptr, nullptr);
    time_first_query_after(state, d, kObjects, edit, [&] {
        object* const hit = pick_object_at(d.view.get(), point, nullptr, nullptr);
        benchmark::DoNotOptimize(hit);
        return hit != nullptr;
    }, "the edit failed or nothing was picked");
}

// One line added below the grid, and one line of the grid deleted.
[[maybe_unused]] const bool first_pick_registered = register_first_query_benchmarks(
    "BM_FirstPickAfter", [](benchmark::State& state, auto edit) { first_pick_after(state, edit); });

// Peers: one box appended to (or blanked in) the flat array, then the scan that stops
// at its first hit.
bool first_hit_found(const std::vector<BBox>& boxes) {
    const int found = first_box_hit(boxes, {5003, 5003, 0});
    benchmark::DoNotOptimize(found);
    return found >= 0;
}

void BM_AppendAndScanPeer(benchmark::State& state) {
    time_append_and_scan(state, walk_order_boxes(drawing()), kObjects, first_hit_found);
}
BENCHMARK(BM_AppendAndScanPeer)->Unit(benchmark::kMillisecond);

void BM_BlankAndScanPeer(benchmark::State& state) {
    time_blank_and_scan(state, walk_order_boxes(drawing()), kObjects, first_hit_found);
}
BENCHMARK(BM_BlankAndScanPeer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
