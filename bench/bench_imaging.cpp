// Image file speed: 4096 x 4096 decodes beside a peer in the same run (BMP beside
// QImage; GIF beside giflib and JPEG beside TurboJPEG when the peers are built), and
// GIF encoding beside giflib.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "imaging/formats/image_formats.h"

#if ZELO_BENCH_QT
#include <QImage>
#endif
#if ZELO_BENCH_PEERS
#include <gif_lib.h>
#include <turbojpeg.h>
#endif

namespace {

constexpr int kSide = 4096;

const std::vector<uint8_t>& picture(bool few_colours) {
    static std::vector<uint8_t> rich, pal;
    std::vector<uint8_t>& p = few_colours ? pal : rich;
    if (p.empty()) {
        p.resize(size_t{kSide} * kSide * 3);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                uint8_t* d = &p[(size_t{1} * y * kSide + x) * 3];
                if (few_colours) {
                    const int c = ((x / 16) ^ (y / 16)) & 255;
                    d[0] = static_cast<uint8_t>(c), d[1] = static_cast<uint8_t>(c * 3), d[2] = static_cast<uint8_t>(c * 7);
                } else {
                    d[0] = static_cast<uint8_t>(x >> 4), d[1] = static_cast<uint8_t>(y >> 4),
                    d[2] = static_cast<uint8_t>((x + y) >> 5);
                }
            }
    }
    return p;
}

std::vector<uint8_t> encoded(int kind) {
    ByteSink s;
    const auto& p = picture(kind == 1);
    if (kind == 0) (void)bmp_encode(p.data(), kSide, kSide, &s);
    if (kind == 1) (void)gif_encode(p.data(), kSide, kSide, &s);
    if (kind == 2) (void)jpg_encode(p.data(), kSide, kSide, 90, &s);
    return std::vector<uint8_t>(s.data(), s.data() + s.size());
}

template <int Kind>
void BM_Decode(benchmark::State& state) {
    static const std::vector<uint8_t> file = encoded(Kind);
    for (auto _ : state) {
        RgbImage img;
        const int r = Kind == 0 ? bmp_decode(file.data(), file.size(), &img)
                    : Kind == 1 ? gif_decode(file.data(), file.size(), &img)
                                : jpg_decode(file.data(), file.size(), &img);
        if (r) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(img.pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 3);
}
BENCHMARK(BM_Decode<0>)->Name("BmpDecode/zelo")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode<1>)->Name("GifDecode/zelo")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode<2>)->Name("JpegDecode/zelo")->Unit(benchmark::kMillisecond);

void BM_GifEncode(benchmark::State& state) {
    const auto& p = picture(true);
    for (auto _ : state) {
        ByteSink s;
        (void)gif_encode(p.data(), kSide, kSide, &s);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_GifEncode)->Name("GifEncode/zelo")->Unit(benchmark::kMillisecond);

#if ZELO_BENCH_QT
void BM_BmpQImage(benchmark::State& state) {
    static const std::vector<uint8_t> file = encoded(0);
    for (auto _ : state) {
        QImage img;
        img.loadFromData(file.data(), static_cast<int>(file.size()), "BMP");
        benchmark::DoNotOptimize(img.constBits());
    }
}
BENCHMARK(BM_BmpQImage)->Name("BmpDecode/QImage")->Unit(benchmark::kMillisecond);
#endif

#if ZELO_BENCH_PEERS
struct MemRead {
    const std::vector<uint8_t>* data;
    size_t pos;
};
int gif_mem_read(GifFileType* g, GifByteType* buf, int n) {
    auto* m = static_cast<MemRead*>(g->UserData);
    const size_t k = std::min<size_t>(n, m->data->size() - m->pos);
    std::memcpy(buf, m->data->data() + m->pos, k);
    m->pos += k;
    return static_cast<int>(k);
}
void BM_GifGiflib(benchmark::State& state) {
    static const std::vector<uint8_t> file = encoded(1);
    std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3);
    for (auto _ : state) {
        MemRead m{&file, 0};
        int err = 0;
        GifFileType* g = DGifOpen(&m, &gif_mem_read, &err);
        if (!g || DGifSlurp(g) != GIF_OK) state.SkipWithError("giflib failed");
        const SavedImage& im = g->SavedImages[0];
        const ColorMapObject* cm = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : g->SColorMap;
        for (size_t i = 0; i < size_t{kSide} * kSide; ++i) {
            const GifColorType& c = cm->Colors[im.RasterBits[i]];
            rgb[i * 3] = c.Red, rgb[i * 3 + 1] = c.Green, rgb[i * 3 + 2] = c.Blue;
        }
        DGifCloseFile(g, &err);
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_GifGiflib)->Name("GifDecode/giflib")->Unit(benchmark::kMillisecond);

void BM_JpegTurbo(benchmark::State& state) {
    static const std::vector<uint8_t> file = encoded(2);
    std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3);
    tjhandle h = tjInitDecompress();
    for (auto _ : state) {
        tjDecompress2(h, file.data(), file.size(), rgb.data(), kSide, 0, kSide, TJPF_RGB, 0);
        benchmark::DoNotOptimize(rgb.data());
    }
    tjDestroy(h);
}
BENCHMARK(BM_JpegTurbo)->Name("JpegDecode/tjDecompress2")->Unit(benchmark::kMillisecond);

struct MemWrite {
    std::vector<uint8_t> out;
};
int gif_mem_write(GifFileType* g, const GifByteType* buf, int n) {
    static_cast<MemWrite*>(g->UserData)->out.insert(static_cast<MemWrite*>(g->UserData)->out.end(), buf, buf + n);
    return n;
}
void BM_GifEncodeGiflib(benchmark::State& state) {
    const auto& p = picture(true);
    // The same palette work is ours to do first: give giflib the indices ready.
    std::vector<GifByteType> idx(size_t{kSide} * kSide);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = p[i * 3];
    GifColorType colours[256];
    for (int c = 0; c < 256; ++c)
        colours[c] = {static_cast<GifByteType>(c), static_cast<GifByteType>(c * 3), static_cast<GifByteType>(c * 7)};
    for (auto _ : state) {
        MemWrite m;
        int err = 0;
        GifFileType* g = EGifOpen(&m, &gif_mem_write, &err);
        ColorMapObject* cm = GifMakeMapObject(256, colours);
        EGifPutScreenDesc(g, kSide, kSide, 8, 0, cm);
        EGifPutImageDesc(g, 0, 0, kSide, kSide, false, nullptr);
        for (int y = 0; y < kSide; ++y) EGifPutLine(g, &idx[size_t{1} * y * kSide], kSide);
        EGifCloseFile(g, &err);
        GifFreeMapObject(cm);
        benchmark::DoNotOptimize(m.out.data());
    }
}
BENCHMARK(BM_GifEncodeGiflib)->Name("GifEncode/giflib")->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
