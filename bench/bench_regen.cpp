// Regeneration of 100,000 mixed line-work objects in one layer: dashed polylines,
// splines, circular arcs, ellipses, 2D texts and small patterned hatches, in equal
// shares. Peer in the same run: deep-copying the display lists that regeneration
// produced, the memory traffic any rebuild of them must at least cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/font/strokefont.h"
#include "model/geom/patterns.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

namespace {

constexpr int kObjects = 100000;

PointNode* list_of(std::initializer_list<Vec3> pts) {
    PointNode* head = nullptr;
    for (auto it = std::rbegin(pts); it != std::rend(pts); ++it) (void)plist_add(&head, *it);
    return head;
}

struct Drawing {
    std::unique_ptr<MODEL> model;
    CONTAINER* layer = nullptr;

    Drawing() {
        rtc_register_all();
        model = rtc_make<MODEL>();
        layer = static_cast<CONTAINER*>(model->first_child());
        (void)patt_load_builtin(model.get(), &LINEPATT::rtc_class);
        (void)patt_load_builtin(model.get(), &HATCHPATT::rtc_class);
        LINEPATT* dashed = static_cast<LINEPATT*>(model_find_patt(model.get(), "Dashdot", &LINEPATT::rtc_class));
        HATCHPATT* net = static_cast<HATCHPATT*>(model_find_patt(model.get(), "net", &HATCHPATT::rtc_class));
        FONTPATT* font = static_cast<FONTPATT*>(model_find_patt(model.get(), "DEFAULT", &FONTPATT::rtc_class));
        for (int i = 0; i < kObjects; ++i) {
            const float x = float(i % 300) * 40, y = float(i / 300) * 40;
            object* o = nullptr;
            switch (i % 6) {
                case 0: {
                    auto p = rtc_make<XPLINE>();
                    p->control = list_of({{x, y, 0}, {x + 30, y, 0}, {x + 30, y + 20, 0}, {x, y + 30, 0}});
                    p->line_style = dashed;
                    o = p.release();
                    break;
                }
                case 1: {
                    auto p = rtc_make<XPLINE>();
                    p->kind = 1;
                    p->curve_step = 1.0;
                    p->control = list_of({{x, y, 0}, {x + 10, y + 20, 0}, {x + 20, y, 0}, {x + 30, y + 25, 0}});
                    o = p.release();
                    break;
                }
                case 2:
                case 3: {
                    auto e = rtc_make<ELARC>();
                    e->flags = (i % 6 == 2) ? kElarcCircular : kElarcWholeEllipse;
                    e->centre = {x + 15, y + 15, 0};
                    e->axis1 = {x + 30, y + 15, 0};
                    e->axis2 = {x + 15, y + (i % 6 == 2 ? 30.0f : 22.0f), 0};
                    e->end = 4.0;
                    e->line_style = dashed;
                    o = e.release();
                    break;
                }
                case 4: {
                    auto t = rtc_make<TEXT2>();
                    t->font = font;
                    t->text = "Line work 42";
                    t->insert = {x, y, 0};
                    t->layout[kText2Width] = 2;
                    t->layout[kText2Height] = 3;
                    o = t.release();
                    break;
                }
                default: {
                    auto h = rtc_make<HATCH>();
                    PtrNode* set = nullptr;
                    (void)ptrlist_add(&set, list_of({{x, y, 0},
                                                     {x + 30, y, 0},
                                                     {x + 30, y + 30, 0},
                                                     {x + 15, y + 20, 0},
                                                     {x, y + 30, 0}}));
                    h->contours[0] = set;
                    h->pattern = net;
                    h->values[0] = 1;
                    o = h.release();
                    break;
                }
            }
            (void)container_insert(layer, o);
        }
    }
};

Drawing& drawing() {
    static Drawing d;
    return d;
}

void BM_RegenMixedLineWork(benchmark::State& state) {
    Drawing& d = drawing();
    for (auto _ : state) {
        int rc = regen_object(d.layer);
        if (rc) state.SkipWithError("regeneration failed");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_RegenMixedLineWork)->Unit(benchmark::kMillisecond);

// Peer: copy every object's display lists (what regeneration writes).
void BM_PeerCopyDisplayLists(benchmark::State& state) {
    Drawing& d = drawing();
    (void)regen_object(d.layer);
    std::vector<WIRE*> wires;
    ZDLIST* head = d.layer->children;
    for (ZDLIST* n = head; n; n = (n->next == head) ? nullptr : n->next) wires.push_back(static_cast<WIRE*>(n));
    for (auto _ : state) {
        for (WIRE* w : wires) {
            PointNode* pts = nullptr;
            PtrNode* runs = nullptr;
            (void)plist_copy(&pts, w->points);
            (void)plist_list_copy(&runs, w->strokes);
            benchmark::DoNotOptimize(pts);
            list_free(&pts);
            plist_list_free(&runs);
        }
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_PeerCopyDisplayLists)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
