// Adding distinct objects to a selection buffer (as selecting many objects does):
// buffer_add with its duplicate check, for 10^4 to 10^6 objects. Peer in the same
// run: inserting the same pointers into a std::unordered_set.
#include <benchmark/benchmark.h>

#include <memory>
#include <unordered_set>
#include <vector>

#include "model/db/buffer.h"
#include "model/db/zobj.h"

namespace {

std::vector<ZOBJ*>& objects() {
    static std::vector<ZOBJ*> pool = [] {
        rtc_register_all();
        std::vector<ZOBJ*> v;
        for (int i = 0; i < 1000000; ++i) v.push_back(rtc_make<ZOBJ>().release());
        return v;
    }();
    return pool;
}

void BM_BufferAdd(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    std::vector<ZOBJ*>& pool = objects();
    for (auto _ : state) {
        buffer* b = buffer_new();
        for (size_t i = 0; i < n; ++i) (void)buffer_add(b, pool[i]);
        // Every object once more: all duplicates.
        for (size_t i = 0; i < n; ++i) (void)buffer_add(b, pool[i]);
        state.PauseTiming();
        buffer_free(&b);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(2 * n));
}
BENCHMARK(BM_BufferAdd)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_UnorderedSetPeer(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    std::vector<ZOBJ*>& pool = objects();
    for (auto _ : state) {
        std::unordered_set<const ZOBJ*> s;
        for (size_t i = 0; i < n; ++i) s.insert(pool[i]);
        for (size_t i = 0; i < n; ++i) s.insert(pool[i]);
        benchmark::DoNotOptimize(s.size());
        state.PauseTiming();
        s = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(2 * n));
}
BENCHMARK(BM_UnorderedSetPeer)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
