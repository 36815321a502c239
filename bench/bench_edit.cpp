// Editing many objects: window-selecting 10^4 to 10^6 lines into a view's selection,
// moving the selection as one undo level (clones added, sources deleted, the
// selection switched to the clones), undoing that move, and deleting the selection.
// Floors in the same run: a flat scan of the same boxes into a vector, and
// mat_xform_point over the same vertices. Items are objects.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "commands/editcore/picking.h"
#include "commands/editcore/transform.h"
#include "commands/input/support.h"
#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"

namespace {

struct Scene {
    std::unique_ptr<MODEL> model;
    VIEW* view = nullptr;
    LAYER* layer = nullptr;
    PickWindow window;
};

// A drawing of n short lines on a square grid and a view over all of it.
Scene& scene(size_t n) {
    static std::map<size_t, std::unique_ptr<Scene>> scenes;
    auto& s = scenes[n];
    if (s) return *s;
    static bool registered = [] {
        rtc_register_all();
        view_type_register();
        return true;
    }();
    (void)registered;
    s = std::make_unique<Scene>();
    s->model = rtc_make<MODEL>();
    s->layer = static_cast<LAYER*>(s->model->children);
    size_t side = 1;
    while (side * side < n) ++side;
    for (size_t i = 0; i < n; ++i) {
        auto x = rtc_make<XPLINE>();
        const float px = float(i % side) * 4, py = float(i / side) * 4;
        (void)plist_add(&x->control, {px + 2, py + 1, 0});
        (void)plist_add(&x->control, {px, py, 0});
        (void)regen_object(x.get());
        (void)container_insert(s->layer, x.release());
    }
    s->view = view_new(s->model.get(), nullptr);
    s->window.flags = kPickWindow;
    s->window.p1 = {-1, -1, 0};
    s->window.p2 = {float(side) * 4 + 1, float(side) * 4 + 1, 0};
    return *s;
}

void select_all(Scene& s) {
    buffer_clear(s.view->selection);
    (void)pick_objects_region(s.view, s.view->selection, &s.window, 1);
}

// The replace-move of the selection, as Move does it.
int move_selection(Scene& s, float dx) {
    buffer* made = buffer_new();
    int level = 1;
    const Vec3 a = {0, 0, 0}, b = {dx, 0, 0};
    const int rc = transform_objects(s.layer, made, s.view->selection, a, b, b, kXformMove, &level, -1);
    if (rc == 0) buffer_swap_refs(s.view->selection, made);
    buffer_free(&made);
    return rc;
}

void BM_WindowSelect(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    for (auto _ : state) select_all(s);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ScanFloor(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    BBox win;
    bbox_of_points(s.window.p1, s.window.p2, &win);
    for (auto _ : state) {
        std::vector<const object*> found;
        ZDLIST* p = s.layer->children;
        do {
            const auto* o = static_cast<const object*>(p);
            if (o->box.min.x >= win.min.x && o->box.max.x <= win.max.x && o->box.min.y >= win.min.y &&
                o->box.max.y <= win.max.y)
                found.push_back(o);
            p = p->next;
        } while (p != s.layer->children);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MoveSelection(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    select_all(s);
    for (auto _ : state) {
        if (move_selection(s, 1) != 0) state.SkipWithError("move failed");
        state.PauseTiming();
        model_undo(s.model.get());
        model_drop_redo(s.model.get(), 0);
        select_all(s);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_UndoMove(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        select_all(s);
        move_selection(s, 1);
        state.ResumeTiming();
        model_undo(s.model.get());
        state.PauseTiming();
        model_drop_redo(s.model.get(), 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DeleteSelection(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        select_all(s);
        state.ResumeTiming();
        int level = 1;
        for (RefNode* n = s.view->selection->refs; n; n = n->next) {
            if (!n->ref) continue;
            (void)model_delete_object(n->ref, -1, level);
            level = 0;
        }
        state.PauseTiming();
        model_undo(s.model.get());
        model_drop_redo(s.model.get(), 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_XformFloor(benchmark::State& state) {
    Scene& s = scene(size_t(state.range(0)));
    std::vector<Vec3> pts;
    ZDLIST* p = s.layer->children;
    do {
        for (PointNode* q = static_cast<XPLINE*>(p)->control; q; q = q->next) pts.push_back({q->x, q->y, q->z});
        p = p->next;
    } while (p != s.layer->children);
    Transform t;
    xform_translate(&t, 1, 0, 0);
    for (auto _ : state) {
        for (Vec3& v : pts) mat_xform_point(&v, &v, &t.fwd);
        benchmark::DoNotOptimize(pts.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

#define EDIT_SIZES ->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_WindowSelect) EDIT_SIZES;
BENCHMARK(BM_ScanFloor) EDIT_SIZES;
BENCHMARK(BM_MoveSelection) EDIT_SIZES->Iterations(3);
BENCHMARK(BM_UndoMove) EDIT_SIZES->Iterations(3);
BENCHMARK(BM_DeleteSelection) EDIT_SIZES->Iterations(3);
BENCHMARK(BM_XformFloor) EDIT_SIZES;

}  // namespace

BENCHMARK_MAIN();
