// MPEG-1 encoding through libavcodec: RGB to 4:2:0, fixed quantisers, I/P groups.
#include "imaging/movie/mpeg_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include "imaging/formats/replace_file.h"
#include "model/math/result.h"

namespace {

struct Session {
    MpegParams params;
    ReplaceFile file;
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t pts = 0;
    void release() {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        av_packet_free(&packet);
        file.abort();
    }
};

std::mutex g_mutex;
Session* g_session = nullptr;
MpegFrameSource g_source = nullptr;
std::atomic<int> g_open_errno{0};

// BT.601 studio range, chroma averaged over 2 x 2 pixels (odd edges repeat).
void rgb_to_yuv420(const uint8_t* rgb, int w, int h, AVFrame* f) {
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = rgb + size_t(y) * w * 3;
        uint8_t* d = f->data[0] + size_t(y) * f->linesize[0];
        for (int x = 0; x < w; ++x, s += 3)
            d[x] = uint8_t(((66 * s[0] + 129 * s[1] + 25 * s[2] + 128) >> 8) + 16);
    }
    for (int y = 0; y < (h + 1) / 2; ++y) {
        uint8_t* u = f->data[1] + size_t(y) * f->linesize[1];
        uint8_t* v = f->data[2] + size_t(y) * f->linesize[2];
        for (int x = 0; x < (w + 1) / 2; ++x) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int yy = std::min(2 * y + dy, h - 1), xx = std::min(2 * x + dx, w - 1);
                    const uint8_t* p = rgb + (size_t(yy) * w + xx) * 3;
                    r += p[0], g += p[1], b += p[2];
                }
            u[x] = uint8_t(((-38 * r - 74 * g + 112 * b + 512) >> 10) + 128);
            v[x] = uint8_t(((112 * r - 94 * g - 18 * b + 512) >> 10) + 128);
        }
    }
}

int drain(Session& s) {
    while (true) {
        const int r = avcodec_receive_packet(s.ctx, s.packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
        if (r < 0) return kMovieRefused;
        const int err = s.file.write(s.packet->data, size_t(s.packet->size));
        av_packet_unref(s.packet);
        if (err) return err;
    }
}

int send(Session& s, int type, int scale) {
    if (av_frame_make_writable(s.frame) < 0) return kOutOfMemory;
    s.frame->pict_type = type == kMpegFrameI ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_P;
    s.frame->quality = FF_QP2LAMBDA * scale;
    s.frame->pts = s.pts++;
    if (avcodec_send_frame(s.ctx, s.frame) < 0) return kMovieRefused;
    return drain(s);
}

}  // namespace

void mpeg_set_frame_source(MpegFrameSource source) { g_source = source; }
int mpeg_last_open_errno() { return g_open_errno; }

int mpeg_setup(const MpegParams& p) {
    g_open_errno = 0;
    if (p.frame_count < 1 || p.width < 1 || p.height < 1 || p.width > kMpegMaxSide || p.height > kMpegMaxSide ||
        !std::memchr(p.output, 0, sizeof p.output) || !std::memchr(p.pattern, 0, sizeof p.pattern) || !p.output[0])
        return kMovieRefused;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_session) return kMpegOpenFailed;
    auto* s = new (std::nothrow) Session;
    if (!s) return kOutOfMemory;
    s->params = p;
    if (!s->params.pattern[0] || s->params.pattern[0] != 'I') std::strcpy(s->params.pattern, "IPPP");
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    s->ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    s->frame = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (!s->ctx || !s->frame || !s->packet) {
        s->release();
        delete s;
        return codec ? kOutOfMemory : kMpegOpenFailed;
    }
    av_log_set_level(AV_LOG_ERROR);
    const int group = int(std::strlen(s->params.pattern));
    s->ctx->width = p.width;
    s->ctx->height = p.height;
    s->ctx->time_base = AVRational{1, 30};
    s->ctx->framerate = AVRational{30, 1};
    s->ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    s->ctx->gop_size = 2 * group;
    s->ctx->max_b_frames = 0;
    s->ctx->flags |= AV_CODEC_FLAG_QSCALE;
    s->ctx->global_quality = FF_QP2LAMBDA * (p.scale_p > 0 && p.scale_p <= 31 ? p.scale_p : 10);
    s->ctx->me_range = p.search_range > 0 ? p.search_range : 10;
    s->ctx->thread_count = 1;
    s->frame->format = AV_PIX_FMT_YUV420P;
    s->frame->width = p.width;
    s->frame->height = p.height;
    if (avcodec_open2(s->ctx, codec, nullptr) < 0 || av_frame_get_buffer(s->frame, 0) < 0) {
        s->release();
        delete s;
        return kMpegOpenFailed;
    }
    if (int err = s->file.open(p.output)) {
        g_open_errno = err;
        s->release();
        delete s;
        return kMpegOpenFailed;
    }
    g_session = s;
    return 0;
}

int mpeg_encode(void* context) {
    Session* s;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        s = g_session;
    }
    if (!s) return kMovieRefused;
    const MpegParams& p = s->params;
    const int group = int(std::strlen(p.pattern));
    auto clamp_scale = [](int q, int fallback) { return q > 0 && q <= 31 ? q : fallback; };
    const int qi = clamp_scale(p.scale_i, 8), qp = clamp_scale(p.scale_p, 10);
    int err = 0;
    std::vector<uint8_t> rgb;
    try {
        rgb.resize(size_t(p.width) * p.height * 3);
    } catch (const std::bad_alloc&) {
        err = kOutOfMemory;
    }
    int stopped = 0;  // a stop after the first frame: the movie ends there
    for (int f = 0; !err && f < p.frame_count; ++f) {
        const char c = p.pattern[f % group];
        const int type = c == 'I' ? kMpegFrameI : c == 'B' ? kMpegFrameB : kMpegFrameP;
        err = g_source ? g_source(f, type, rgb.data(), context) : kMovieRefused;
        if (err == kMpegSourceStop && f > 0) {
            stopped = err;
            err = 0;
            break;
        }
        if (err) break;
        rgb_to_yuv420(rgb.data(), p.width, p.height, s->frame);
        err = send(*s, type, type == kMpegFrameI ? qi : qp);
        if (!err) err = send(*s, kMpegFrameP, qp);  // the copy that keeps 15 frames a second at 30
    }
    if (!err) {
        if (avcodec_send_frame(s->ctx, nullptr) < 0) err = kMovieRefused;
        if (!err) err = drain(*s);
        static const uint8_t kEnd[4] = {0, 0, 1, 0xB7};
        if (!err) err = s->file.write(kEnd, 4);
        if (!err) err = s->file.commit();
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    s->release();
    delete s;
    g_session = nullptr;
    return err ? err : stopped;
}

void mpeg_release() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_session) return;
    g_session->release();
    delete g_session;
    g_session = nullptr;
}
