// Reading a hatch-pattern library of 1,000 to 10,000 patterns (two definition lines
// each) into a new drawing. Every pattern read is first looked up by name in the
// drawing, so the time per pattern stays flat only while the lookup does. Peer in the
// same run: one pass over the same text filing each name in a hash set, the least a
// reader that refuses names it already holds must do.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/geom/patterns.h"

namespace {

std::string library(int patterns) {
    std::string text;
    for (int i = 0; i < patterns; ++i) {
        text += "*pattern" + std::to_string(i) + ",generated\n";
        text += "45,0,0,0,6,3,-1.5\n";
        text += "135,0,0,0,6\n";
    }
    return text;
}

void BM_ReadPatternLibrary(benchmark::State& state) {
    rtc_register_all();
    const int n = static_cast<int>(state.range(0));
    const std::string text = library(n);
    for (auto _ : state) {
        state.PauseTiming();
        auto model = rtc_make<MODEL>();
        state.ResumeTiming();
        const int rc = patt_read_text(model.get(), text.data(), text.size(), &HATCHPATT::rtc_class);
        benchmark::DoNotOptimize(rc);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ReadPatternLibrary)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_Peer_FileNamesInHashSet(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text = library(n);
    for (auto _ : state) {
        std::unordered_set<std::string> names;
        std::string_view rest(text);
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (line.empty() || line[0] != '*') continue;
            names.emplace(line.substr(1, line.find(',') - 1));
        }
        benchmark::DoNotOptimize(names.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_Peer_FileNamesInHashSet)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
