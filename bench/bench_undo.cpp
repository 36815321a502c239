// Throughput and memory of the undo history: adding a million polylines as undoable
// steps (unlimited depth, one level each), deleting them as undoable steps, and
// undoing those steps. Memory is counted by a global operator new/delete hook in this
// program and reported per object. Peer in the same run: the same insertions into
// the drawing with a flat log of (object, container) records in a std::vector, the
// least an undo log can cost.
//
// Every measured run happens in a child process of its own, forked from a parent that
// never builds a drawing: a run inherits no memory freed by an earlier run (the heap
// hands freed blocks back without page faults), whichever benchmark ran before it.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
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
        for (ZOBJ* o : objs) (void)container_insert(layer, o);
    }
    void add_all_undoable() {
        for (ZOBJ* o : objs) (void)model_add_object(layer, o, -1, 1);
    }
    void delete_all_undoable() {
        for (ZOBJ* o : objs) (void)model_delete_object(o, -1, 1);
    }
};

// What one run measured in its child process.
struct RunResult {
    double seconds = 0;
    long long history = 0;  // bytes the timed step allocated
    long long total = 0;    // bytes the drawing and the step hold
    int ok = 0;
};

// Runs `run` in a forked child and hands back what it measured; ok is 0 when the
// child failed.
template <class Run>
RunResult in_child(Run run) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (pid == 0) {
        close(fds[0]);
        RunResult r = run();
        r.ok = 1;
        const ssize_t w = write(fds[1], &r, sizeof r);
        _exit(w == static_cast<ssize_t>(sizeof r) ? 0 : 1);
    }
    close(fds[1]);
    RunResult r;
    size_t got = 0;
    while (got < sizeof r) {
        const ssize_t k = read(fds[0], reinterpret_cast<char*>(&r) + got, sizeof r - got);
        if (k <= 0) break;
        got += static_cast<size_t>(k);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof r || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return r;
}

// Times `step` in a child process on a fresh drawing of range(0) objects made ready
// by `prepare`, and counts the bytes the step allocates (its history) and the
// drawing's total.
template <class Prepare, class Step>
void measure_recording(benchmark::State& state, Prepare prepare, Step step) {
    const int n = static_cast<int>(state.range(0));
    long long items = 0, history = 0, total = 0;
    for (auto _ : state) {
        const RunResult r = in_child([&] {
            RunResult res;
            const long long start = g_bytes.load();
            auto* d = new Drawing(n);
            prepare(*d);
            const long long made = g_bytes.load();
            const auto t0 = std::chrono::steady_clock::now();
            step(*d);
            const auto t1 = std::chrono::steady_clock::now();
            res.seconds = std::chrono::duration<double>(t1 - t0).count();
            res.history = g_bytes.load() - made;
            res.total = g_bytes.load() - start;
            return res;
        });
        if (!r.ok) {
            state.SkipWithError("the child run failed");
            break;
        }
        state.SetIterationTime(r.seconds);
        history += r.history;
        total += r.total;
        items += n;
    }
    state.SetItemsProcessed(items);
    if (items == 0) return;
    state.counters["history_B_per_obj"] =
        benchmark::Counter(static_cast<double>(history) / static_cast<double>(items));
    state.counters["total_B_per_obj"] =
        benchmark::Counter(static_cast<double>(total) / static_cast<double>(items));
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
    measure_recording(
        state,
        [](Drawing& d) {
            d.add_all_undoable();
            d.delete_all_undoable();
        },
        [](Drawing& d) {
            for (size_t i = 0; i < d.objs.size(); ++i) model_undo(d.model);
        });
}

// Peer: the same insertions with a flat log of (object, container) pairs.
void BM_PeerFlatLog(benchmark::State& state) {
    std::vector<std::pair<ZOBJ*, CONTAINER*>>* log = nullptr;
    measure_recording(
        state, [&](Drawing&) { log = new std::vector<std::pair<ZOBJ*, CONTAINER*>>(); },
        [&](Drawing& d) {
            for (ZOBJ* o : d.objs) {
                (void)container_insert(d.layer, o);
                log->emplace_back(o, d.layer);
            }
        });
}

BENCHMARK(BM_AddWithUndo)->Arg(kObjects)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteWithUndo)->Arg(kObjects)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoDeletes)->Arg(kObjects)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerFlatLog)->Arg(kObjects)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
