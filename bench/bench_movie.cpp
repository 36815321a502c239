// Movie writers: FLC frames a second at 640 x 480 beside giflib writing the same
// quantised frames, Motion-JPEG AVI beside libavcodec's mjpeg encoder, uncompressed
// AVI throughput beside write(2) of the same bytes, MPEG-1 frames a second. Peers
// are built with ZELO_BENCH_PEERS.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/movie/avi_writer.h"
#include "imaging/movie/flic_writer.h"
#include "imaging/movie/mpeg_writer.h"
#include "imaging/quantize/quantize.h"

#if ZELO_BENCH_PEERS
#include <gif_lib.h>
extern "C" {
#include <libavcodec/avcodec.h>
}
#endif

namespace {

constexpr int kW = 640, kH = 480, kFrames = 16;

const std::vector<std::vector<uint8_t>>& frames() {
    static const std::vector<std::vector<uint8_t>> f = [] {
        std::vector<std::vector<uint8_t>> out;
        for (int i = 0; i < kFrames; ++i) {
            std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    uint8_t* p = &rgb[(size_t(y) * kW + x) * 3];
                    const bool ball = (x - 100 - i * 20) * (x - 100 - i * 20) + (y - 240) * (y - 240) < 80 * 80;
                    p[0] = uint8_t(ball ? 230 : x * 255 / kW);
                    p[1] = uint8_t(ball ? 40 : y * 255 / kH);
                    p[2] = uint8_t(ball ? 40 : 128);
                }
            out.push_back(std::move(rgb));
        }
        return out;
    }();
    return f;
}

std::string out_path(const char* name) { return "/tmp/zelo_bench_" + std::to_string(getpid()) + name; }

void BM_FlcWrite(benchmark::State& state) {
    const std::string path = out_path(".flc");
    for (auto _ : state) {
        FlicWriter* w = flic_open(path.c_str(), kFrames, 15, kW, kH);
        for (const auto& f : frames()) (void)flic_add_frame(w, f.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    std::remove(path.c_str());
}
BENCHMARK(BM_FlcWrite)->Unit(benchmark::kMillisecond);

void avi_run(benchmark::State& state, AviCodec codec, const char* ext) {
    const std::string path = out_path(ext);
    for (auto _ : state) {
        AviWriter avi;
        AviOptions o;
        o.codec = codec;
        (void)avi.open(path.c_str(), kW, kH, o);
        for (const auto& f : frames()) (void)avi.add_frame(f.data());
        (void)avi.close();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.SetBytesProcessed(state.iterations() * kFrames * int64_t(kW) * kH * 3);
    std::remove(path.c_str());
}
void BM_AviUncompressed(benchmark::State& state) { avi_run(state, AviCodec::Dib, ".avi"); }
void BM_AviMjpeg(benchmark::State& state) { avi_run(state, AviCodec::Mjpeg, "_mjpeg.avi"); }
BENCHMARK(BM_AviUncompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviMjpeg)->Unit(benchmark::kMillisecond);

// The same bytes straight through write(2).
void BM_WriteSameBytes(benchmark::State& state) {
    const std::string path = out_path(".raw");
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (const auto& f : frames())
            if (::write(fd, f.data(), f.size()) < 0) state.SkipWithError("write failed");
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * kFrames * int64_t(kW) * kH * 3);
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteSameBytes)->Unit(benchmark::kMillisecond);

int mpeg_source(int frame, int, uint8_t* rgb, void*) {
    std::memcpy(rgb, frames()[frame % kFrames].data(), size_t(kW) * kH * 3);
    return 0;
}

void BM_Mpeg1(benchmark::State& state) {
    const std::string path = out_path(".mpg");
    MpegParams p;
    p.frame_count = kFrames, p.width = kW, p.height = kH;
    std::snprintf(p.output, sizeof p.output, "%s", path.c_str());
    std::strcpy(p.pattern, "IPPP");
    mpeg_set_frame_source(mpeg_source);
    for (auto _ : state) {
        if (mpeg_setup(p) || mpeg_encode(nullptr)) state.SkipWithError("mpeg failed");
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    std::remove(path.c_str());
}
BENCHMARK(BM_Mpeg1)->Unit(benchmark::kMillisecond);

#if ZELO_BENCH_PEERS
// giflib writing the frames quantised to one palette, as the FLC holds them.
void BM_GiflibSameFrames(benchmark::State& state) {
    ColourCounter cc;
    cc.init();
    for (const auto& f : frames()) cc.add(f.data(), size_t(kW) * kH);
    Quantized q;
    cc.finish(&q);
    std::vector<std::vector<uint8_t>> idx;
    for (const auto& f : frames()) {
        idx.emplace_back(size_t(kW) * kH);
        cc.map(f.data(), idx.back().size(), idx.back().data());
    }
    GifColorType colours[256] = {};
    for (int i = 0; i < q.count; ++i)
        colours[i] = {q.palette[i * 3], q.palette[i * 3 + 1], q.palette[i * 3 + 2]};
    const std::string path = out_path(".gif");
    for (auto _ : state) {
        int err = 0;
        GifFileType* g = EGifOpenFileName(path.c_str(), false, &err);
        ColorMapObject* map = GifMakeMapObject(256, colours);
        EGifPutScreenDesc(g, kW, kH, 8, 0, map);
        for (auto& frame : idx) {
            EGifPutImageDesc(g, 0, 0, kW, kH, false, nullptr);
            for (int y = 0; y < kH; ++y) EGifPutLine(g, frame.data() + size_t(y) * kW, kW);
        }
        EGifCloseFile(g, &err);
        GifFreeMapObject(map);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    std::remove(path.c_str());
}
BENCHMARK(BM_GiflibSameFrames)->Unit(benchmark::kMillisecond);

// libavcodec's mjpeg encoder on the same frames (YUVJ 4:2:0, qscale 2).
void BM_LibavcodecMjpeg(benchmark::State& state) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    for (auto _ : state) {
        AVCodecContext* c = avcodec_alloc_context3(codec);
        c->width = kW, c->height = kH, c->time_base = {1, 15}, c->pix_fmt = AV_PIX_FMT_YUVJ420P;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * 2;
        avcodec_open2(c, codec, nullptr);
        AVFrame* f = av_frame_alloc();
        f->format = c->pix_fmt, f->width = kW, f->height = kH;
        av_frame_get_buffer(f, 0);
        AVPacket* pkt = av_packet_alloc();
        for (int i = 0; i < kFrames; ++i) {
            const uint8_t* rgb = frames()[i].data();
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const uint8_t* s = rgb + (size_t(y) * kW + x) * 3;
                    f->data[0][y * f->linesize[0] + x] = uint8_t((77 * s[0] + 150 * s[1] + 29 * s[2]) >> 8);
                }
            for (int y = 0; y < kH / 2; ++y)
                for (int x = 0; x < kW / 2; ++x) {
                    const uint8_t* s = rgb + (size_t(2 * y) * kW + 2 * x) * 3;
                    f->data[1][y * f->linesize[1] + x] = uint8_t(((-43 * s[0] - 85 * s[1] + 128 * s[2]) >> 8) + 128);
                    f->data[2][y * f->linesize[2] + x] = uint8_t(((128 * s[0] - 107 * s[1] - 21 * s[2]) >> 8) + 128);
                }
            f->pts = i;
            avcodec_send_frame(c, f);
            while (avcodec_receive_packet(c, pkt) == 0) av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
        av_frame_free(&f);
        avcodec_free_context(&c);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_LibavcodecMjpeg)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
