// Saving and loading a drawing of 1,000,000 line-work objects (polylines and arcs with
// their display geometry), plain and LZW-packed, in objects and bytes per second.
// Peer: writing and reading the same number of bytes as one plain file through stdio
// with the same fsync, the floor any writer of that file pays.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/line_work_drawing.h"
#include "model/services/log.h"

namespace {

using bench::line_work;
using bench::new_model;
constexpr int kObjects = bench::kLineWorkObjects;

std::string scratch(const char* name) {
    return "/tmp/zelo_bench_file_" + std::to_string(getpid()) + name;
}

uint64_t file_size(const std::string& path) {
    std::error_code ec;
    return std::filesystem::file_size(path, ec);
}

void BM_SaveDrawing(benchmark::State& state) {
    log_set_level(LogLevel::error);
    MODEL* m = line_work();
    const int pack = static_cast<int>(state.range(0));
    const std::string path = scratch(pack ? "_packed.qvm" : "_plain.qvm");
    for (auto _ : state) {
        if (drawing_file_save(path.c_str(), m, pack) != 0) state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file_size(path)));
    state.counters["file_MB"] = double(file_size(path)) / 1e6;
    std::remove(path.c_str());  // scratch files of 30 and 140 MB must not pile up
}

void BM_LoadDrawing(benchmark::State& state) {
    log_set_level(LogLevel::error);
    const int pack = static_cast<int>(state.range(0));
    const std::string path = scratch(pack ? "_packed.qvm" : "_plain.qvm");
    if (drawing_file_save(path.c_str(), line_work(), pack) != 0) state.SkipWithError("save failed");
    for (auto _ : state) {
        auto m = new_model();
        if (drawing_file_import(path.c_str(), m.get()) != 0) state.SkipWithError("load failed");
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file_size(path)));
    std::remove(path.c_str());
}

// Peer: the plain file's bytes written (with fsync) and read back through stdio.
void BM_PeerWriteRead(benchmark::State& state) {
    const std::string src = scratch("_plain.qvm"), dst = scratch("_peer.bin");
    if (drawing_file_save(src.c_str(), line_work(), 0) != 0) state.SkipWithError("save failed");
    std::vector<char> bytes(file_size(src));
    if (FILE* f = std::fopen(src.c_str(), "rb")) {
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
            state.SkipWithError("read failed");
        std::fclose(f);
    }
    const bool writing = state.range(0) == 0;
    for (auto _ : state) {
        if (writing) {
            FILE* f = std::fopen(dst.c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fflush(f);
            fsync(fileno(f));
            std::fclose(f);
        } else {
            FILE* f = std::fopen(src.c_str(), "rb");
            benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
            std::fclose(f);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
    std::remove(dst.c_str());
    std::remove(src.c_str());
}

BENCHMARK(BM_SaveDrawing)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("packed")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_LoadDrawing)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("packed")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_PeerWriteRead)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("read")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
