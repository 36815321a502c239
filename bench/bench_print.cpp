// A tiled PDF print of a drawing of 1,000,000 segments (2 x 2 A4 pages) beside
// QPdfWriter drawing the same segments on one page without tiling or clipping, and a
// tiled print of the 1,000,000-object grid drawing through the wire-frame driver
// with its pens.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cstdio>
#include <vector>

#include "grid_drawing.h"
#include "shell/image/drawing_print.h"

namespace {

constexpr int kSegments = 1000000;

const std::vector<double>& segments() {
    static std::vector<double> s = [] {
        std::vector<double> v;
        v.reserve(kSegments * 4);
        uint32_t r = 12345;
        auto next = [&] { return (r = r * 1664525u + 1013904223u) >> 8; };
        for (int i = 0; i < kSegments; ++i) {
            const double x = next() % 36000 / 100.0, y = next() % 50000 / 100.0;
            v.insert(v.end(), {x, y, x + (next() % 200) / 100.0, y + (next() % 200) / 100.0});
        }
        return v;
    }();
    return s;
}

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "bench_print";
    static char* argv[] = {name, nullptr};
    static QGuiApplication a(argc, argv);
    return a;
}

void BM_TiledPrint(benchmark::State& state) {
    app();
    const auto& s = segments();
    for (auto _ : state) {
        PrintLayout l;
        l.tile = 1;
        l.margins = {500, 500, 500, 500};
        l.scale = 1.0;
        (void)print_layout_run(&l, 0, 0, 362, 502);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName("/tmp/zelo_bench_tiles.pdf");
        const int r = print_drawing(&printer, l, [&](const DrawingSink& put) {
            for (size_t i = 0; i < s.size(); i += 4) put.line(s[i], s[i + 1], s[i + 2], s[i + 3]);
        });
        if (r) state.SkipWithError("print failed");
        state.counters["pages"] = static_cast<double>(print_layout_pages(l));
    }
    std::remove("/tmp/zelo_bench_tiles.pdf");
}
BENCHMARK(BM_TiledPrint)->Name("TiledPdf1M/zelo")->Unit(benchmark::kMillisecond)->Iterations(2);

// The grid drawing (1,000,000 lines and circles, 1000 x 1000 cells of 10 units) at
// 0.05 mm a unit: 500 x 500 mm over 3 x 2 A4 pages, every object through the driver.
void BM_TiledPrintObjects(benchmark::State& state) {
    app();
    static GridDrawing g = make_grid_drawing(1000000, 1000, 7);
    for (auto _ : state) {
        PrintLayout l;
        l.tile = 1;
        l.margins = {500, 500, 500, 500};
        l.scale = 0.05;
        (void)print_layout_run(&l, 0, 0, 10000, 10000);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName("/tmp/zelo_bench_objects.pdf");
        ViewProjection vp;
        vp.mode = kProjPlan;
        const int r = print_drawing(&printer, l, drawing_source_of(g.model.get(), vp, 0, 0, 10000, 10000));
        if (r) state.SkipWithError("print failed");
        state.counters["pages"] = static_cast<double>(print_layout_pages(l));
    }
    std::remove("/tmp/zelo_bench_objects.pdf");
}
BENCHMARK(BM_TiledPrintObjects)->Name("TiledPdf1MObjects/zelo")->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_QPdfWriter(benchmark::State& state) {
    app();
    const auto& s = segments();
    for (auto _ : state) {
        QPdfWriter pdf("/tmp/zelo_bench_qpdf.pdf");
        pdf.setPageSize(QPageSize(QPageSize::A4));
        QPainter p(&pdf);
        const double k = pdf.resolution() / 25.4 / 2;
        for (size_t i = 0; i < s.size(); i += 4) p.drawLine(QPointF(s[i] * k, s[i + 1] * k), QPointF(s[i + 2] * k, s[i + 3] * k));
    }
    std::remove("/tmp/zelo_bench_qpdf.pdf");
}
BENCHMARK(BM_QPdfWriter)->Name("OnePage1M/QPdfWriter")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
