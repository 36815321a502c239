// The large test drawing of the picking and snapping benchmarks: short diagonal lines
// in a grid of cells 10 units apart, spread over four layers, every `circle_every`-th
// cell a small circle instead (0: none); a VIEW at 10 pixels per unit attached, and
// the objects' boxes in a flat array for the linear-scan peers.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

// A short diagonal line from (x, y) to (x + 6, y + 6), with its box.
inline std::unique_ptr<XPLINE> grid_short_line(float x, float y) {
    auto line = rtc_make<XPLINE>();
    PointNode* head = nullptr;
    (void)plist_add(&head, Vec3{x + 6, y + 6, 0});
    (void)plist_add(&head, Vec3{x, y, 0});
    line->control = head;
    line->own_box();
    return line;
}

struct GridDrawing {
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::vector<BBox> boxes;
};

inline GridDrawing make_grid_drawing(int objects, int columns, int circle_every) {
    rtc_register_all();
    view_type_register();
    GridDrawing out;
    out.model = rtc_make<MODEL>();
    LAYER* layers[4] = {rtc_cast<LAYER>(out.model->first_child()), nullptr, nullptr, nullptr};
    for (int i = 1; i < 4; ++i) {
        auto l = rtc_make<LAYER>();
        layers[i] = l.get();
        (void)container_insert(out.model.get(), l.release());
    }
    out.boxes.reserve(objects);
    for (int i = 0; i < objects; ++i) {
        const float x = static_cast<float>(i % columns) * 10, y = static_cast<float>(i / columns) * 10;
        object* o;
        if (circle_every > 0 && i % circle_every == circle_every / 2) {
            auto e = rtc_make<ELARC>();
            e->flags = kElarcCircular | kElarcWholeEllipse;
            e->centre = {x + 3, y + 3, 0};
            e->axis1 = {x + 6, y + 3, 0};
            e->axis2 = {x + 3, y + 6, 0};
            e->end = kTwoPi;
            (void)regen_object(e.get());
            o = e.release();
        } else {
            o = grid_short_line(x, y).release();
        }
        out.boxes.push_back(o->box);
        (void)container_insert(layers[i % 4], o);
    }
    out.view = rtc_make<VIEW>();
    out.view->projection.scale = 10;  // the 5-pixel aperture is half a unit
    return out;
}

// The grid's first layer (a quarter of its objects).
inline LAYER* grid_first_layer(GridDrawing& d) { return rtc_cast<LAYER>(d.model->first_child()); }

// ---- The first query after an edit

// The undo depth of the edits below.
constexpr int kGridUndoDepth = 100;

// One line added below the grid; true when the edit succeeded.
inline bool grid_add_line(GridDrawing& d) {
    return model_add_object(grid_first_layer(d), grid_short_line(-100, -100).release(), kGridUndoDepth, 1) == 0;
}

// One line of the grid deleted; true when the edit succeeded.
inline bool grid_delete_line(GridDrawing& d) {
    return model_delete_object(static_cast<object*>(grid_first_layer(d)->children->next), kGridUndoDepth, 1) == 0;
}

// Each iteration makes one undoable edit (not timed) and times `query` (true when it
// found something); the edit is undone afterwards and the query run again (not timed)
// so the indexes are up to date and every timed query follows exactly one edit. Stops
// with `failure` when the edit or the query fails; `objects` items per iteration.
template <typename Edit, typename Query>
void time_first_query_after(benchmark::State& state, GridDrawing& d, int objects, Edit edit, Query query,
                            const char* failure) {
    for (auto _ : state) {
        state.PauseTiming();
        const bool edited = edit(d);
        state.ResumeTiming();
        const bool found = query();
        state.PauseTiming();
        model_undo(d.model.get());
        query();
        state.ResumeTiming();
        if (!edited || !found) {
            state.SkipWithError(failure);
            break;
        }
    }
    model_drop_redo(d.model.get(), 0);
    state.SetItemsProcessed(state.iterations() * objects);
}

// Registers the benchmarks <prefix>Add and <prefix>Delete (in milliseconds): `run`
// with the state and grid_add_line or grid_delete_line. For a static initialiser.
template <typename Run>
bool register_first_query_benchmarks(const std::string& prefix, Run run) {
    benchmark::RegisterBenchmark((prefix + "Add").c_str(), [run](benchmark::State& state) {
        run(state, grid_add_line);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "Delete").c_str(), [run](benchmark::State& state) {
        run(state, grid_delete_line);
    })->Unit(benchmark::kMillisecond);
    return true;
}

// ---- The linear-scan peers

// Times appending one box to the flat array `boxes` and `scan` (true when it found
// something) over it; the box is taken off again untimed. Stops when nothing is found.
template <typename Scan>
void time_append_and_scan(benchmark::State& state, std::vector<BBox> boxes, int objects, Scan scan) {
    const size_t n = boxes.size();
    const BBox added = grid_short_line(-100, -100)->box;
    for (auto _ : state) {
        boxes.push_back(added);
        const bool found = scan(boxes);
        state.PauseTiming();
        boxes.resize(n);
        state.ResumeTiming();
        if (!found) {
            state.SkipWithError("nothing found");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * objects);
}

// Times blanking the second box of the flat array `boxes`, `scan` (true when it found
// something) over it and putting the box back. Stops when nothing is found.
template <typename Scan>
void time_blank_and_scan(benchmark::State& state, std::vector<BBox> boxes, int objects, Scan scan) {
    for (auto _ : state) {
        const BBox kept = boxes[1];
        boxes[1] = kEmptyBBox;
        const bool found = scan(boxes);
        boxes[1] = kept;
        if (!found) {
            state.SkipWithError("nothing found");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * objects);
}
