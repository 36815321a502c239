// Picking the object under a point in a drawing of 1,000,000 objects (short lines in
// a grid, in four layers): the whole drawing walked by the pick device through
// pick_object_at, as a click in a window does. Peer in the same run: a linear scan
// of all the same objects' boxes in a flat array, the least a pick without a spatial
// index can cost. A pick stops at its first hit; a click on nothing walks everything.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/edit/picking.h"

namespace {

constexpr int kObjects = 1000000;
constexpr int kColumns = 1000;

struct Drawing {
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::vector<BBox> boxes;
};

Drawing& drawing() {
    static Drawing d = [] {
        rtc_register_all();
        view_type_register();
        Drawing out;
        out.model = rtc_make<MODEL>();
        LAYER* layers[4] = {rtc_cast<LAYER>(out.model->first_child()), nullptr, nullptr, nullptr};
        for (int i = 1; i < 4; ++i) {
            auto l = rtc_make<LAYER>();
            layers[i] = l.get();
            container_insert(out.model.get(), l.release());
        }
        out.boxes.reserve(kObjects);
        for (int i = 0; i < kObjects; ++i) {
            const float x = static_cast<float>(i % kColumns) * 10,
                        y = static_cast<float>(i / kColumns) * 10;
            auto line = rtc_make<XPLINE>();
            PointNode* head = nullptr;
            plist_add(&head, Vec3{x + 6, y + 6, 0});
            plist_add(&head, Vec3{x, y, 0});
            line->control = head;
            line->own_box();
            out.boxes.push_back(line->box);
            container_insert(layers[i % 4], line.release());
        }
        out.view = rtc_make<VIEW>();
        out.view->projection.scale = 10;  // the 5-pixel aperture is half a unit
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
