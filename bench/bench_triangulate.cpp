// Contour triangulation and 3D text: flat glyph builds of DejaVu Sans (glyphs/s),
// n-gons with k holes bridged and ear-clipped (vertices/s; up to 1M vertices with
// 8 holes), with earcut on the same polygons as a peer when ZELO_BENCH_PEERS is on
// (a Python helper timing its own loop in processor time, as the rate here is, run
// beside every run of ours, its triangle count beside ours), a 128-character text
// build, and the 3D Text preview: tracing a text once per position step, and drawing
// it per mouse move.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/cpu_time.h"
#include "commands/model3d/text3d_solid.h"
#include "commands/model3d/triangulate.h"
#include "graphics/view/canvas.h"
#include "model/font_outline/glyph_outline.h"

namespace {

const char* kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

TextFontRecord sans() {
    TextFontRecord r;
    r.file = kSans;
    return r;
}

void BM_GlyphCaps(benchmark::State& state) {
    GlyphFont font;
    if (glyph_font_open(&font, sans()) != 0) {
        state.SkipWithError("DejaVu Sans missing (fonts-dejavu-core)");
        return;
    }
    std::vector<GlyphOutline> glyphs;
    for (uint32_t c = 33; c < 127; ++c) {
        GlyphOutline o;
        if (glyph_outline_read(&o, &font, c) == 0) glyphs.push_back(std::move(o));
    }
    int64_t built = 0;
    for (auto _ : state) {
        for (const GlyphOutline& o : glyphs) {
            Text3dParams p = text3d_params(1, 0, 0);
            GlyphMesh g;
            benchmark::DoNotOptimize(glyph_solid_build(o, &p, &g));
            ++built;
        }
    }
    state.counters["glyphs/s"] = benchmark::Counter(static_cast<double>(built), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GlyphCaps)->Unit(benchmark::kMicrosecond);

void io(void* v, int32_t i, double xyz[3], int mode) {
    Vec3d& p = (*static_cast<std::vector<Vec3d>*>(v))[static_cast<size_t>(i)];
    if (mode == 0)
        xyz[0] = p.x, xyz[1] = p.y, xyz[2] = p.z;
    else
        p = {xyz[0], xyz[1], xyz[2]};
}

void count_face(void* ctx, int32_t, int32_t, int32_t, int32_t, int) { ++*static_cast<int64_t*>(ctx); }

// A clockwise n-gon of radius 1 with a gentle wobble and k small counter-clockwise
// 16-gons on a ring inside it.
struct Polygon {
    std::vector<Vec3d> v;
    std::vector<int32_t> sizes;
};

Polygon ngon_with_holes(int n, int k) {
    Polygon p;
    for (int i = 0; i < n; ++i) {
        const double a = -2 * M_PI * i / n, r = 1 + 0.02 * std::sin(7.0 * a);
        p.v.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
    p.sizes.push_back(n);
    for (int h = 0; h < k; ++h) {
        const double ca = 2 * M_PI * h / k, cx = 0.55 * std::cos(ca), cy = 0.55 * std::sin(ca);
        const double r = std::fmin(0.15, 0.5 * std::sin(M_PI / std::max(k, 2)));
        for (int i = 0; i < 16; ++i) {
            const double a = 2 * M_PI * i / 16;
            p.v.push_back({cx + r * std::cos(a), cy + r * std::sin(a), 0});
        }
        p.sizes.push_back(16);
    }
    return p;
}

#if ZELO_BENCH_PEERS
// Runs the earcut helper on the polygon: its vertices/s (-1 when it failed) and the
// triangles it made.
struct EarcutRun {
    double rate = -1;
    int64_t triangles = -1;
};
EarcutRun earcut_run(const Polygon& p) {
    EarcutRun run;
    char path[] = "/tmp/zelo_bench_earcut_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return run;
    FILE* f = fdopen(fd, "w");
    std::fprintf(f, "rings");
    for (int32_t s : p.sizes) std::fprintf(f, " %d", s);
    std::fprintf(f, "\n");
    for (const Vec3d& q : p.v) std::fprintf(f, "%.17g %.17g\n", q.x, q.y);
    std::fclose(f);
    const std::string cmd = std::string("/usr/bin/python3 ") + ZELO_BENCH_SOURCE_DIR + "/earcut_peer.py " + path + " 0.5";
    if (FILE* out = popen(cmd.c_str(), "r")) {
        char line[256] = "";
        std::string all;
        while (std::fgets(line, sizeof line, out)) all += line;  // read to the end before closing
        pclose(out);
        long long triangles = -1;
        if (std::sscanf(all.c_str(), "%lf %lld", &run.rate, &triangles) != 2) run.rate = -1;
        run.triangles = triangles;
    }
    std::remove(path);
    return run;
}
#endif

void BM_NgonWithHoles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), k = static_cast<int>(state.range(1));
    Polygon p = ngon_with_holes(n, k);
    int64_t faces = 0;
    const double start = thread_cpu_seconds();
    for (auto _ : state) {
        ContourSet set(p.sizes.size());
        int32_t first = 0;
        for (size_t i = 0; i < p.sizes.size(); ++i) {
            (void)contour_init_range(&set[i], io, &p.v, first, first + p.sizes[i] - 1);
            first += p.sizes[i];
        }
        for (size_t i = 1; i < set.size(); ++i) (void)contour_bridge_hole(&set[0], set[i]);
        int32_t counter = 0;
        (void)contour_triangulate(&faces, &counter, set[0], count_face, 0);
    }
    const double seconds = thread_cpu_seconds() - start;
    state.counters["vertices/s"] =
        benchmark::Counter(static_cast<double>(p.v.size()) * state.iterations(), benchmark::Counter::kIsRate);
    const int64_t triangles = state.iterations() > 0 ? faces / state.iterations() : 0;
    state.counters["triangles"] = static_cast<double>(triangles);
#if ZELO_BENCH_PEERS
    // The peer runs beside every run of ours (each repetition), on the same polygon.
    const EarcutRun peer = earcut_run(p);
    state.counters["earcut vertices/s"] = peer.rate;
    state.counters["earcut triangles"] = static_cast<double>(peer.triangles);
    if (peer.triangles != triangles) state.SetLabel("triangle counts differ");
    // Ours over earcut's, both in processor time (0.5 and up is the goal).
    if (peer.rate > 0 && seconds > 0)
        state.counters["ratio"] = static_cast<double>(p.v.size()) * static_cast<double>(state.iterations()) / seconds / peer.rate;
#else
    (void)seconds;
#endif
}
BENCHMARK(BM_NgonWithHoles)
    ->ArgsProduct({{64, 512, 4096}, {1, 8}})
    ->Args({1000, 8})
    ->Args({10000, 8})
    ->Args({100000, 8})
    ->Args({1000000, 8})
    ->Unit(benchmark::kMillisecond);

class CountSink : public Text3dSink {
  public:
    int64_t faces = 0;
    int begin_glyph() override { return 0; }
    int finish_glyph(GlyphMesh&& m) override {
        faces += static_cast<int64_t>(m.faces.size());
        return 0;
    }
    void end(int) override {}
};

void BM_Text128(benchmark::State& state) {
    std::string text;
    const char* words = "Zelo builds solid letters from TrueType outlines ";
    while (text.size() < 128) text += words;
    text.resize(128);
    GlyphFont font;
    if (glyph_font_open(&font, sans()) != 0) {
        state.SkipWithError("DejaVu Sans missing");
        return;
    }
    for (auto _ : state) {
        CountSink sink;
        Text3dParams p = text3d_params(10, 2, 0.1);
        benchmark::DoNotOptimize(text_solids_build_font(&font, text.c_str(), &p, &sink));
    }
    state.SetItemsProcessed(state.iterations() * 128);
}
BENCHMARK(BM_Text128)->Unit(benchmark::kMillisecond);

struct Segments {
    std::vector<double> s;
};

void BM_PreviewTrace(benchmark::State& state) {
    for (auto _ : state) {
        Segments seg;
        glyph_preview(sans(), "Zelo 3D Text", &seg, [](void* c, double a, double b, double x, double y) {
            static_cast<Segments*>(c)->s.insert(static_cast<Segments*>(c)->s.end(), {a, b, x, y});
        });
        benchmark::DoNotOptimize(seg.s.data());
    }
}
BENCHMARK(BM_PreviewTrace)->Unit(benchmark::kMicrosecond);

void BM_PreviewPerMouseMove(benchmark::State& state) {
    Segments seg;
    glyph_preview(sans(), "Zelo 3D Text", &seg, [](void* c, double a, double b, double x, double y) {
        static_cast<Segments*>(c)->s.insert(static_cast<Segments*>(c)->s.end(), {a, b, x, y});
    });
    Canvas canvas;
    (void)canvas.resize(1200, 800, 0);
    canvas.set_pen(kDrawXor, 0xFFFFFF);
    const double k = 60;
    int x = 100;
    for (auto _ : state) {
        // Erase at the old place, draw at the new one, as the position step does.
        for (int pass = 0; pass < 2; ++pass) {
            const int cx = x + pass, cy = 300;
            for (size_t i = 0; i + 3 < seg.s.size(); i += 4)
                canvas.line(static_cast<int>(std::lround(cx + seg.s[i] * k)), static_cast<int>(std::lround(cy + seg.s[i + 1] * k)),
                            static_cast<int>(std::lround(cx + seg.s[i + 2] * k)),
                            static_cast<int>(std::lround(cy + seg.s[i + 3] * k)));
        }
        x = 100 + (x + 1) % 50;
    }
    state.counters["segments"] = static_cast<double>(seg.s.size() / 4);
}
BENCHMARK(BM_PreviewPerMouseMove)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
