// Throughput and memory of the undo history: adding a million polylines as undoable
// steps (unlimited depth, one level each), deleting them as undoable steps, and
// undoing those steps. Memory is counted by a global operator new/delete hook in this
// program and reported per object. Peer in the same run: the same insertions into
// the drawing with a flat log of (object, container) records in a std::vector, the
// least an undo log can cost.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"

// ---- Counting allocator: net bytes in use, as the C library sizes the blocks.

namespace {
std::atomic<long long> g_bytes{0};

[[gnu::noinline]] void* counted_alloc(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (p)
        g_bytes.fetch_add(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}
// Out of line, so that the compiler does not pair an inlined delete with free().
[[gnu::noinline]] void counted_free(void* p) {
    if (!p) return;
    g_bytes.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = counted_alloc(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return counted_alloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return counted_alloc(size);
}
void operator delete(void* p) noexcept {
    counted_free(p);
}
void operator delete[](void* p) noexcept {
    counted_free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    counted_free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    counted_free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    counted_free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    counted_free(p);
}

namespace {

constexpr int kObjects = 1000000;

struct Drawing {
    MODEL* model = nullptr;
    LAYER* layer = nullptr;
    std::vector<ZOBJ*> objs;

    explicit Drawing(int n) {
        rtc_register_all();
        model = rtc_make<MODEL>().release();
        layer = static_cast<LAYER*>(model->first_child());
        objs.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) objs.push_back(rtc_make<XPLINE>().release());
    }
    ~Drawing() {
        // Objects never inserted belong to no one else.
        for (ZOBJ* o : objs) {
            if (!o->parent) rtc_destroy(o);
        }
        rtc_destroy(model);
    }
    void insert_all() {
        for (ZOBJ* o : objs) container_insert(layer, o);
    }
    void add_all_undoable() {
        for (ZOBJ* o : objs) model_add_object(layer, o, -1, 1);
    }
    void delete_all_undoable() {
        for (ZOBJ* o : objs) model_delete_object(o, -1, 1);
    }
};

void report(benchmark::State& state, long long objects, long long history_bytes,
            long long total_bytes) {
    state.SetItemsProcessed(objects);
    state.counters["history_B_per_obj"] =
        benchmark::Counter(static_cast<double>(history_bytes) / static_cast<double>(objects));
    state.counters["total_B_per_obj"] =
        benchmark::Counter(static_cast<double>(total_bytes) / static_cast<double>(objects));
}

// Times `step` on a fresh drawing of range(0) objects made ready by `prepare`, and
// counts the bytes the step allocates (its history) and the drawing's total.
template <class Prepare, class Step>
void measure_recording(benchmark::State& state, Prepare prepare, Step step) {
    const int n = static_cast<int>(state.range(0));
    long long items = 0, history = 0, total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long long start = g_bytes.load();
        auto* d = new Drawing(n);
        prepare(*d);
        const long long made = g_bytes.load();
        state.ResumeTiming();
        step(*d);
        state.PauseTiming();
        history += g_bytes.load() - made;
        total += g_bytes.load() - start;
        items += n;
        delete d;
        state.ResumeTiming();
    }
    report(state, items, history, total);
}

void BM_AddWithUndo(benchmark::State& state) {
    measure_recording(
        state, [](Drawing&) {}, [](Drawing& d) { d.add_all_undoable(); });
}

void BM_DeleteWithUndo(benchmark::State& state) {
    measure_recording(
        state, [](Drawing& d) { d.insert_all(); }, [](Drawing& d) { d.delete_all_undoable(); });
}

// Undoes the deletions of a drawing whose objects were added and then deleted, each
// as a step of its own: the objects return to the layer in their old order.
void BM_UndoDeletes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    long long items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto* d = new Drawing(n);
        d->add_all_undoable();
        d->delete_all_undoable();
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) model_undo(d->model);
        state.PauseTiming();
        items += n;
        delete d;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(items);
}

// Peer: the same insertions with a flat log of (object, container) pairs.
void BM_PeerFlatLog(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    long long items = 0, history = 0, total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long long start = g_bytes.load();
        auto* d = new Drawing(n);
        auto* log = new std::vector<std::pair<ZOBJ*, CONTAINER*>>();
        const long long made = g_bytes.load();
        state.ResumeTiming();
        for (ZOBJ* o : d->objs) {
            container_insert(d->layer, o);
            log->emplace_back(o, d->layer);
        }
        state.PauseTiming();
        history += g_bytes.load() - made;
        total += g_bytes.load() - start;
        items += n;
        delete log;
        delete d;
        state.ResumeTiming();
    }
    report(state, items, history, total);
}

BENCHMARK(BM_AddWithUndo)->Arg(kObjects)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteWithUndo)->Arg(kObjects)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoDeletes)->Arg(kObjects)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerFlatLog)->Arg(kObjects)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
