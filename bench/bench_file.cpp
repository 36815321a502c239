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

#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/geom/regen.h"
#include "model/services/log.h"

namespace {

constexpr int kObjects = 1000000;

std::string scratch(const char* name) {
    return "/tmp/zelo_bench_file_" + std::to_string(getpid()) + name;
}

std::unique_ptr<MODEL> new_model() {
    std::unique_ptr<RTC> m;
    if (rtc_init(m, &MODEL::rtc_class) != 0) return nullptr;
    return std::unique_ptr<MODEL>(static_cast<MODEL*>(m.release()));
}

PointNode* polyline_points(float x, float y) {
    PointNode* head = nullptr;
    plist_add(&head, Vec3{x + 1, y + 1, 0});
    plist_add(&head, Vec3{x + 1, y, 0});
    plist_add(&head, Vec3{x, y, 0});
    return head;
}

// Polylines and arcs spread over ten layers, display geometry regenerated.
MODEL* line_work() {
    static std::unique_ptr<MODEL> model = [] {
        drawing_file_register();
        auto m = new_model();
        std::vector<LAYER*> layers;
        for (int i = 0; i < 10; ++i) {
            auto* l = rtc_make<LAYER>().release();
            l->set_string(0, ("Layer " + std::to_string(i)).c_str());
            container_insert(m.get(), l);
            layers.push_back(l);
        }
        for (int i = 0; i < kObjects; ++i) {
            const float x = float(i % 1000), y = float(i / 1000);
            object* o;
            if (i % 4 == 3) {
                auto* a = rtc_make<ELARC>().release();
                a->flags = kElarcCircular;
                a->centre = {x, y, 0};
                a->axis1 = {x + 0.5f, y, 0};
                a->axis2 = {x, y + 0.5f, 0};
                a->end = 1.5;
                o = a;
            } else {
                auto* p = rtc_make<XPLINE>().release();
                p->control = polyline_points(x, y);
                o = p;
            }
            o->colour = i % 16;
            regen_object(o);
            container_insert(layers[i % layers.size()], o);
        }
        return m;
    }();
    return model.get();
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
