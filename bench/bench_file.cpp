// Saving and loading a drawing of 1,000,000 line-work objects (polylines and arcs with
// their display geometry), plain and LZW-packed, in objects and bytes per second.
// Peer: writing and reading the same number of bytes as one plain file through stdio
// with the same fsync, the floor any writer of that file pays.
// The plain rows run the peer in every iteration beside our code and print the pair:
// the save against write + fsync by wall time (both wait for the disk), the load
// against the read by CPU time of the thread (pin the program with taskset). The first
// load of a process also pays the system's zeroing of fresh memory: `first_cpu_ms`.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
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

double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double wall_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::vector<char> file_bytes(const std::string& path) {
    std::vector<char> bytes(file_size(path));
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
    return bytes;
}

// The peer's work: the bytes written to a new file and synced, or the file read.
void peer_write(const std::vector<char>& bytes, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
}

void peer_read(std::vector<char>& bytes, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
}

// Arguments: packed or plain, then whether the drawing saved is the one built in
// memory (0) or the same drawing as read back from its plain file (1), whose objects
// lie in the order of the file.
void BM_SaveDrawing(benchmark::State& state) {
    log_set_level(LogLevel::error);
    MODEL* m = line_work();
    std::unique_ptr<MODEL> read_back;
    if (state.range(1)) {
        const std::string from = scratch("_from.qvm");
        read_back = new_model();
        if (drawing_file_save(from.c_str(), m, 0) != 0 || drawing_file_import(from.c_str(), read_back.get()) != 0)
            state.SkipWithError("read back failed");
        std::remove(from.c_str());
        m = read_back.get();
    }
    const int pack = static_cast<int>(state.range(0));
    const std::string path = scratch(pack ? "_packed.qvm" : "_plain.qvm");
    const std::string peer = scratch("_peer.bin");
    std::vector<char> bytes;
    double save = 0, peer_time = 0;
    for (auto _ : state) {
        const double start = wall_ms();
        if (drawing_file_save(path.c_str(), m, pack) != 0) state.SkipWithError("save failed");
        save += wall_ms() - start;
        if (pack) continue;
        state.PauseTiming();
        if (bytes.empty()) bytes = file_bytes(path);
        const double peer_start = wall_ms();
        peer_write(bytes, peer);
        peer_time += wall_ms() - peer_start;
        state.ResumeTiming();
    }
    if (!pack) {
        state.counters["save_ms"] = save / double(state.iterations());
        state.counters["write_fsync_ms"] = peer_time / double(state.iterations());
        state.counters["x_write_fsync"] = save / peer_time;
        std::remove(peer.c_str());
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
    std::vector<char> bytes(pack ? 0 : file_size(path));
    double load = 0, first = -1, read = 0;
    for (auto _ : state) {
        const double start = thread_cpu_ms();
        auto m = new_model();
        if (drawing_file_import(path.c_str(), m.get()) != 0) state.SkipWithError("load failed");
        const double spent = thread_cpu_ms() - start;
        load += spent;
        if (first < 0) first = spent;
        state.PauseTiming();
        m.reset();
        if (!pack) {
            const double read_start = thread_cpu_ms();
            peer_read(bytes, path);
            read += thread_cpu_ms() - read_start;
        }
        state.ResumeTiming();
    }
    state.counters["cpu_ms"] = load / double(state.iterations());
    state.counters["first_cpu_ms"] = first;
    if (!pack) {
        state.counters["read_cpu_ms"] = read / double(state.iterations());
        state.counters["x_read"] = load / read;
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file_size(path)));
    std::remove(path.c_str());
}

// Peer: the plain file's bytes written (with fsync) and read back through stdio.
void BM_PeerWriteRead(benchmark::State& state) {
    const std::string src = scratch("_plain.qvm"), dst = scratch("_peer.bin");
    if (drawing_file_save(src.c_str(), line_work(), 0) != 0) state.SkipWithError("save failed");
    std::vector<char> bytes = file_bytes(src);
    if (bytes.size() != file_size(src)) state.SkipWithError("read failed");
    const bool writing = state.range(0) == 0;
    for (auto _ : state) {
        if (writing)
            peer_write(bytes, dst);
        else
            peer_read(bytes, src);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
    std::remove(dst.c_str());
    std::remove(src.c_str());
}

BENCHMARK(BM_SaveDrawing)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->ArgNames({"packed", "read_back"})
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
