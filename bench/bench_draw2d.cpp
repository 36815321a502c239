// The 2D drawing commands at scale. Following a 20,000-vertex polyline into a hatch
// contour (every vertex tested for flatness and for crossing the contour so far),
// with GEOS's simplicity test of the same ring beside it in the same run when the
// peers are built (ZELO_BENCH_PEERS, libgeos-dev). And the Line command driven by a
// script of clicks through the real input routines with every object snap on (each
// click looks for objects under the cursor right after the previous segment was
// added), adding 10,000 segments to a drawing of 1,000,000 objects: time per segment.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "bench/quiet_host.h"
#include "commands/draw2d/draw2d.h"
#include "commands/input/snap.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/plist_edit.h"
#include "model/math/scalar.h"
#include "model/services/prefs.h"

#if ZELO_BENCH_GEOS
#include <geos_c.h>
#endif

namespace {

constexpr int kRing = 20000;

// A star-shaped simple ring: radii alternate, angles rise.
std::vector<Vec3> star_ring() {
    std::vector<Vec3> pts;
    pts.reserve(kRing);
    for (int i = 0; i < kRing; ++i) {
        const double a = kTwoPi * i / kRing, r = (i % 2) ? 900.0 : 1000.0;
        pts.push_back({static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0});
    }
    return pts;
}

void BM_FollowPolylineIntoContour(benchmark::State& state) {
    rtc_register_all();
    view_type_register();
    auto view = rtc_make<VIEW>();
    const std::vector<Vec3> pts = star_ring();
    PointNode* polyline = nullptr;
    for (size_t i = pts.size(); i-- > 0;) (void)plist_add(&polyline, pts[i]);
    for (auto _ : state) {
        PointNode* run = nullptr;
        (void)plist_copy_unique(&run, polyline);
        Contour c;
        const int taken = contour_add_points(view.get(), &c, run);
        const int crosses = contour_crosses_itself(&c, pts.front());
        benchmark::DoNotOptimize(taken + crosses);
        if (taken != 1 || crosses != 0) state.SkipWithError("the ring was refused");
        list_free(&run);
        contour_clear(&c);
    }
    list_free(&polyline);
    state.SetItemsProcessed(state.iterations() * kRing);
}
BENCHMARK(BM_FollowPolylineIntoContour)->Unit(benchmark::kMillisecond);

#if ZELO_BENCH_GEOS
void BM_GeosIsSimplePeer(benchmark::State& state) {
    GEOSContextHandle_t h = GEOS_init_r();
    const std::vector<Vec3> pts = star_ring();
    for (auto _ : state) {
        GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, kRing + 1, 2);
        for (int i = 0; i <= kRing; ++i) {
            const Vec3& p = pts[static_cast<size_t>(i % kRing)];
            GEOSCoordSeq_setXY_r(h, seq, static_cast<unsigned>(i), p.x, p.y);
        }
        GEOSGeometry* ring = GEOSGeom_createLinearRing_r(h, seq);
        const char simple = GEOSisSimple_r(h, ring);
        if (simple != 1) state.SkipWithError("GEOS finds the ring not simple");
        GEOSGeom_destroy_r(h, ring);
    }
    GEOS_finish_r(h);
    state.SetItemsProcessed(state.iterations() * kRing);
}
BENCHMARK(BM_GeosIsSimplePeer)->Unit(benchmark::kMillisecond);
#endif

// ---- The Line command by script on a large drawing

constexpr int kObjects = 1000000;
constexpr int kSegments = 10000;

// A host that answers every step with a click at the next scripted point and ends
// the command when the script runs out.
struct ScriptHost : QuietViewHost {
    DrawingDocument doc;
    std::unique_ptr<MODEL> model;
    VIEW* view = nullptr;
    int clicks = 0, limit = 0;
    MODEL* first_drawing() override { return model.get(); }
    int wait_step() override {
        if (clicks >= limit) return kStepCancelled;
        // Connected segments along a zigzag below the drawing's grid.
        const double x = (clicks % 2000) * 5.0, y = -100.0 - (clicks / 2000) * 10.0 - (clicks % 2) * 3.0;
        view->cursor[0] = view->cursor_view[0] = x;
        view->cursor[1] = view->cursor_view[1] = y;
        view->cursor[2] = view->cursor_view[2] = 0;
        ++clicks;
        return kStepGiven;
    }
    VIEW* command_view() override { return view; }
    Canvas* canvas(VIEW*) override { return nullptr; }
};

size_t children(MODEL* m) {
    LAYER* l = rtc_cast<LAYER>(m->first_child());
    size_t n = 0;
    for (ZDLIST* p = l->children; p; p = p->next == l->children ? nullptr : p->next) ++n;
    return n;
}

void BM_LineCommandOnMillionObjects(benchmark::State& state) {
    rtc_register_all();
    view_type_register();
    static ScriptHost host;
    if (!host.model) {
        ScriptHost& h = host;
        h.model = rtc_make<MODEL>();
        h.model->document = &h.doc;
        LAYER* layer = rtc_cast<LAYER>(h.model->first_child());
        for (int i = 0; i < kObjects; ++i) {
            const float x = static_cast<float>(i % 1000) * 10, y = static_cast<float>(i / 1000) * 10;
            auto line = rtc_make<XPLINE>();
            (void)plist_add(&line->control, Vec3{x + 6, y + 6, 0});
            (void)plist_add(&line->control, Vec3{x, y, 0});
            line->own_box();
            (void)container_insert(layer, line.release());
        }
    }
    view_host_install(&host);
    g_prefs.undo_mode = 1;  // a bounded history, as a long session keeps it
    snap_track_changes();   // as model_hooks_install does at start-up
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto view = rtc_make<VIEW>();
        model_attach_view(host.model.get(), view.get());
        view->current_layer = rtc_cast<LAYER>(host.model->first_child());
        view->line_method = 1;  // connected segments: one click per segment
        view->input_flags = kSnapFree | kSnapLineEnd | kSnapCircleCentre | kSnapArcEnd | kSnapGravity |
                            kSnapIntersection | kSnapVertex;
        host.view = view.get();
        host.clicks = 0;
        host.limit = kSegments + 1;
        VIEW* v = view.get();
        // The drawing lives on between repetitions: count what this run adds.
        const size_t before = children(host.model.get());
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        const int code = cmd_line(&v);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        const bool all_added = children(host.model.get()) == before + kSegments;
        model_detach_view(view.get());
        if (code != kStepCancelled || !all_added) {
            // Skipped with the timer stopped: the loop ends without resuming it.
            state.SkipWithError(code != kStepCancelled ? "the command did not run to the end of its script"
                                                       : "the segments were not all added");
            break;
        }
        state.ResumeTiming();
    }
    view_host_install(nullptr);
    state.SetItemsProcessed(state.iterations() * kSegments);
    state.counters["ms_per_segment"] = 1000.0 * seconds / (static_cast<double>(kSegments) * state.iterations());
}
BENCHMARK(BM_LineCommandOnMillionObjects)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
