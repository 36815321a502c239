// Raster library throughput. Solid fill and copy blit of a 4096 x 4096 24-bit
// image beside memset and memcpy of the same bytes (the memory-bandwidth
// limit); 1,000,000 one-pixel lines into a 1920 x 1080 24-bit image beside
// Qt's raster engine drawing the same lines into a QImage of the same format
// (when the benchmark was built with Qt).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/raster/raster.h"

#ifdef ZELO_BENCH_QT
#include <QImage>
#include <QLine>
#include <QPainter>
#include <QPen>
#endif

namespace {

constexpr int kSide = 4096;
constexpr size_t kBytes = size_t{kSide} * kSide * 3;
constexpr int kLineWidth = 1920, kLineHeight = 1080, kLines = 1000000;

struct Image {
    RasterImage* img;
    ImageDC* dc;
    Image(int w, int h) : img(image_create_ex(w, h, 1, 24, nullptr)), dc(image_dc_create(img)) {}
    ~Image() {
        image_dc_free(dc);
        image_free(img);
    }
};

void BM_FillSolid24(benchmark::State& state) {
    Image a(kSide, kSide);
    RasterFill fill{0, 0x123456, 0, 0, 0, 0, 0, nullptr};
    for (auto _ : state) {
        image_dc_blit(a.dc, 0, 0, kSide, kSide, &fill, 0, 0, 0x40000003u);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_FillSolid24)->Unit(benchmark::kMillisecond);

void BM_MemsetPeer(benchmark::State& state) {
    std::vector<uint8_t> a(kBytes);
    for (auto _ : state) {
        std::memset(a.data(), 0x56, kBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_MemsetPeer)->Unit(benchmark::kMillisecond);

// Writes every byte of the image's pixels, so a benchmark reads real pages: a
// calloc'd buffer that was never written maps the kernel's one zero page and reads
// from the cache whatever its size.
void touch(Image& im, uint8_t value) {
    std::memset(im.img->pixels, value, size_t(im.img->stride) * size_t(im.img->height) * size_t(im.img->planes));
}

void BM_CopyBlit24(benchmark::State& state) {
    Image a(kSide, kSide), b(kSide, kSide);
    touch(a, 0);
    touch(b, 1);
    for (auto _ : state) {
        image_dc_blit(a.dc, 0, 0, kSide, kSide, b.dc, 0, 0, 3);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_CopyBlit24)->Unit(benchmark::kMillisecond);

void BM_MemcpyPeer(benchmark::State& state) {
    std::vector<uint8_t> a(kBytes), b(kBytes, 1);
    for (auto _ : state) {
        std::memcpy(a.data(), b.data(), kBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_MemcpyPeer)->Unit(benchmark::kMillisecond);

// The same random short lines for both engines: ends within the image, each
// line up to 32 pixels along either axis.
const std::vector<int32_t>& line_ends() {
    static const std::vector<int32_t> ends = [] {
        std::mt19937 rng(42);
        std::vector<int32_t> v;
        v.reserve(size_t{kLines} * 4);
        for (int i = 0; i < kLines; ++i) {
            const int x0 = int(rng() % (kLineWidth - 64)) + 32, y0 = int(rng() % (kLineHeight - 64)) + 32;
            v.insert(v.end(), {x0, y0, x0 + int(rng() % 65) - 32, y0 + int(rng() % 65) - 32});
        }
        return v;
    }();
    return ends;
}

void BM_Lines1M(benchmark::State& state) {
    Image a(kLineWidth, kLineHeight);
    const RasterPen pen{0x80000003u, 0x00FF8040u, {0, 0, kLineWidth - 1, kLineHeight - 1}};
    const std::vector<int32_t>& ends = line_ends();
    for (auto _ : state) {
        a.dc->segment(a.dc, &pen, 1, 1, ends.data(), kLines, 0xFFFFFFFFu);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(BM_Lines1M)->Unit(benchmark::kMillisecond);

#ifdef ZELO_BENCH_QT
void BM_Lines1MQtPeer(benchmark::State& state) {
    QImage image(kLineWidth, kLineHeight, QImage::Format_RGB888);
    image.fill(Qt::black);
    const std::vector<int32_t>& ends = line_ends();
    std::vector<QLine> lines;
    lines.reserve(kLines);
    for (int i = 0; i < kLines; ++i) lines.emplace_back(ends[4 * i], ends[4 * i + 1], ends[4 * i + 2], ends[4 * i + 3]);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(0x40, 0x80, 0xFF), 0));  // cosmetic one-pixel pen
        painter.drawLines(lines.data(), kLines);
        painter.end();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}
BENCHMARK(BM_Lines1MQtPeer)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
