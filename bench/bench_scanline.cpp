// Scan-line renderer throughput: 10,000, 100,000 and 1,000,000 triangles (a wavy grid
// filling the frame) at 1920 x 1080, Gouraud-shaded under one omni light, with and
// without antialiasing, on 1, 2, 4 and all threads, in triangles per second (the whole
// render: mesh preparation, clipping, light pass, scan-line loop, rows written).
// BM_Scanline renders a still mesh: an unchanged mesh of 65,536 faces and more keeps
// its prepared normals from frame to frame. BM_ScanlineMoving moves the vertices
// before every frame, so everything is prepared again.
// With ZELO_BENCH_PEERS, Mesa's llvmpipe renders the same triangles in the same run:
// EGL surfaceless, a framebuffer object with a depth buffer, one vertex buffer lit per
// vertex by the fixed-function light, glFinish and glReadPixels counted. BM_Llvmpipe
// uploads the vertex buffer once (the peer of a still mesh); BM_LlvmpipeUpload uploads
// it in every frame (the peer of a moving mesh). The peer's raster threads are
// LP_NUM_THREADS (0: Mesa's default, one a core); its front end (vertex stage, binning)
// is one thread whatever that number.
// CPU time is the whole process's (every thread), so a one-thread row pinned to one
// core compares in CPU time; rows on all cores compare in wall time. After the runs a
// table pairs each row with its peer: still with upload-once, moving with per-frame
// upload (with repetitions, medians). Still rows (ours and the peer's) leave out a
// second of warm-up frames and time at least three seconds of frames.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "graphics/raster/raster.h"
#include "graphics/view/projection.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scene.h"

#ifdef ZELO_BENCH_PEERS
#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#endif

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// Grid cells across and down for a triangle count (two triangles a cell).
struct GridSize {
    int columns, rows;
};
GridSize grid_size(int64_t triangles) {
    switch (triangles) {
        case 10000: return {100, 50};
        case 100000: return {250, 200};
        default: return {1000, 500};
    }
}

double wave(double x, double y) {
    return 20.0 * std::sin(x / 50.0) * std::cos(y / 40.0);
}

std::vector<Vec3d> grid_points(GridSize g) {
    std::vector<Vec3d> pts;
    pts.reserve(size_t(g.columns + 1) * (g.rows + 1));
    for (int r = 0; r <= g.rows; ++r)
        for (int c = 0; c <= g.columns; ++c) {
            const double x = c * double(kWidth) / g.columns, y = r * double(kHeight) / g.rows;
            pts.push_back({x, y, wave(x, y)});
        }
    return pts;
}

struct Scene {
    std::unique_ptr<MODEL> model;
    buffer* objects = nullptr;
    RenderSettings settings;
    ViewProjection view;
    RasterImage* image = nullptr;
    ImageDC* dc = nullptr;
    explicit Scene(GridSize g) {
        rtc_register_all();
        model = rtc_make<MODEL>();
        auto* layer = static_cast<LAYER*>(static_cast<CONTAINER*>(model.get())->first_child());
        auto mesh = rtc_make<MESH3>();
        (void)mesh_add_grid(mesh.get(), grid_points(g), g.columns + 1, g.rows + 1, false, false);
        mesh->material->colour[0] = 0.8f;
        mesh->material->colour[1] = 0.7f;
        mesh->material->colour[2] = 0.5f;
        objects = buffer_create();
        (void)buffer_add(objects, mesh.get());
        auto light = rtc_make<LIGHT>();
        light->position = {kWidth / 3.0f, kHeight / 3.0f, 800.0f};
        light->light_colour[0] = light->light_colour[1] = light->light_colour[2] = 1.0f;
        (void)container_insert(layer, mesh.release());
        (void)container_insert(layer, light.release());
        settings.objects = objects;
        settings.flags = kRenderGouraud;
        image = image_create_ex(kWidth, kHeight, 1, 24, nullptr);
        dc = image_dc_create(image);
    }
    ~Scene() {
        image_dc_free(dc);
        image_free(image);
        buffer_free(&objects);
    }
};

Scene& scene(int64_t triangles) {
    static std::map<int64_t, std::unique_ptr<Scene>> scenes;
    auto& s = scenes[triangles];
    if (!s) s = std::make_unique<Scene>(grid_size(triangles));
    return *s;
}

// Renders scene `tris` into its image at every iteration on `threads` threads (0: all
// cores) with `flags`; `before_frame` runs untimed before each frame.
template <typename BeforeFrame>
void render_rows(benchmark::State& state, int64_t tris, int64_t threads_arg, uint32_t flags,
                 BeforeFrame before_frame) {
    Scene& s = scene(tris);
    int threads = static_cast<int>(threads_arg);
    if (threads == 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    render_set_thread_count(threads);
    s.settings.flags = flags;
    for (auto _ : state) {
        state.PauseTiming();
        before_frame(s);
        state.ResumeTiming();
        const int rc = render_scene(s.dc, &s.settings, &s.view, s.model.get(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr);
        if (rc != 0) state.SkipWithError("render failed");
    }
    render_set_thread_count(0);
    // A print of the picture, to check that a change to the renderer keeps every byte.
    std::vector<uint32_t> row(kWidth);
    uint32_t print = 2166136261u;
    for (int y = 0; y < kHeight; ++y) {
        s.dc->read_row(s.dc, 0, y, kWidth, row.data(), row.size() * 4, 3);
        for (uint32_t p : row) print = (print ^ p) * 16777619u;
    }
    char label[32];
    std::snprintf(label, sizeof label, "picture %08x", print);
    state.SetLabel(label);
    state.counters["triangles/s"] =
        benchmark::Counter(double(tris), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["threads"] = threads;
}

void BM_Scanline(benchmark::State& state) {
    const bool aa = state.range(1) != 0;
    render_rows(state, state.range(0), state.range(2), kRenderGouraud | (aa ? kRenderAntialias : 0),
                [](Scene&) {});
}
// A still frame is timed after a second of warm-up frames (the first frame prepares
// the normals the later ones keep, and on a busy machine one slow frame must not make
// the figure) and over at least three seconds of frames; the peer's still rows alike.
constexpr double kStillWarmUp = 1.0, kStillTime = 3.0;
BENCHMARK(BM_Scanline)
    ->ArgNames({"tris", "aa", "threads"})
    ->Args({10000, 0, 1})
    ->Args({10000, 0, 0})
    ->Args({100000, 0, 1})
    ->Args({100000, 0, 0})
    ->Args({1000000, 0, 1})
    ->Args({1000000, 0, 2})
    ->Args({1000000, 0, 4})
    ->Args({1000000, 0, 0})
    ->Args({1000000, 1, 1})
    ->Args({1000000, 1, 4})
    ->Args({1000000, 1, 0})
    ->MinWarmUpTime(kStillWarmUp)
    ->MinTime(kStillTime)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same render of a mesh whose vertices move every frame (an animated deformation):
// its normals are prepared every frame and must not be copied to be kept.
// Args: triangles, threads (0: all cores).
void BM_ScanlineMoving(benchmark::State& state) {
    float step = 0.5f;
    render_rows(state, state.range(0), state.range(1), kRenderGouraud, [&step](Scene& s) {
        auto* mesh = rtc_cast<MESH3>(s.objects->refs->ref);
        for (MeshVertex& v : mesh->blocks->vertices) v.z += step;
        step = -step;
    });
}
BENCHMARK(BM_ScanlineMoving)
    ->ArgNames({"tris", "threads"})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

#ifdef ZELO_BENCH_PEERS
// The same triangles through Mesa's llvmpipe (fixed-function per-vertex lighting).
// Args: triangles, raster threads (0: Mesa's default), upload the vertex buffer in
// every frame (1) or once (0).
void llvmpipe_run(benchmark::State& state, bool upload_each_frame) {
    const double triangles = double(state.range(0));
    const GridSize g = grid_size(state.range(0));
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    // Read when the display's screen is made, which eglTerminate below ends.
    if (state.range(1) > 0)
        setenv("LP_NUM_THREADS", std::to_string(state.range(1)).c_str(), 1);
    else
        unsetenv("LP_NUM_THREADS");
    auto get_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = get_display ? get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY,
                                               nullptr)
                                 : EGL_NO_DISPLAY;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr) ||
        !eglBindAPI(EGL_OPENGL_API)) {
        state.SkipWithError("no EGL surfaceless display");
        return;
    }
    EGLContext ctx = eglCreateContext(dpy, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
        state.SkipWithError("no OpenGL context");
        eglTerminate(dpy);
        return;
    }
    const std::vector<Vec3d> pts = grid_points(g);
    std::vector<float> data;  // position, normal per vertex; two triangles a cell
    data.reserve(size_t(triangles) * 3 * 6);
    auto put = [&](int r, int c) {
        const Vec3d& p = pts[size_t(r) * (g.columns + 1) + c];
        const double e = 0.5;
        const double dx = (wave(p.x + e, p.y) - wave(p.x - e, p.y)) / (2 * e);
        const double dy = (wave(p.x, p.y + e) - wave(p.x, p.y - e)) / (2 * e);
        const double len = std::sqrt(dx * dx + dy * dy + 1);
        const float v[6] = {float(p.x), float(p.y), float(p.z),
                            float(-dx / len), float(-dy / len), float(1 / len)};
        data.insert(data.end(), v, v + 6);
    };
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c) {
            put(r, c), put(r + 1, c), put(r + 1, c + 1);
            put(r, c), put(r + 1, c + 1), put(r, c + 1);
        }
    GLuint fbo, colour, depth, vbo;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, 0, kHeight, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat light_pos[4] = {kWidth / 3.0f, kHeight / 3.0f, 800.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light_pos);
    glShadeModel(GL_SMOOTH);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), nullptr);
    glNormalPointer(GL_FLOAT, 6 * sizeof(float), reinterpret_cast<void*>(3 * sizeof(float)));
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        if (upload_each_frame)
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), data.data(),
                         GL_STATIC_DRAW);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(triangles * 3));
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    }
    state.counters["triangles/s"] =
        benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["threads"] = double(state.range(1));
    state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    glDeleteBuffers(1, &vbo);
    glDeleteRenderbuffers(1, &colour);
    glDeleteRenderbuffers(1, &depth);
    glDeleteFramebuffers(1, &fbo);
    eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(dpy, ctx);
    eglTerminate(dpy);
}
void BM_Llvmpipe(benchmark::State& state) { llvmpipe_run(state, false); }
void BM_LlvmpipeUpload(benchmark::State& state) { llvmpipe_run(state, true); }
#define ZELO_LLVMPIPE_ARGS                                                                  \
    ArgNames({"tris", "threads"})                                                           \
        ->Args({10000, 0})                                                                  \
        ->Args({100000, 0})                                                                 \
        ->Args({1000000, 0})                                                                \
        ->Args({1000000, 1})                                                                \
        ->Unit(benchmark::kMillisecond)                                                     \
        ->MeasureProcessCPUTime()                                                           \
        ->UseRealTime()
BENCHMARK(BM_Llvmpipe)->ZELO_LLVMPIPE_ARGS->MinWarmUpTime(kStillWarmUp)->MinTime(kStillTime);
BENCHMARK(BM_LlvmpipeUpload)->ZELO_LLVMPIPE_ARGS;
#endif

// The console report, then the side-by-side table of the rows whose peer ran too.
class PairReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
            if (single || (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"))
                times_[r.run_name.function_name + "/" + r.run_name.args] = {
                    r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        struct Pair {
            const char* row;
            const char* ours;
            const char* peer;
            bool cpu;  // one thread pinned: CPU time; else wall time
        };
        static const Pair kPairs[] = {
            {"still 10k, all cores", "BM_Scanline/tris:10000/aa:0/threads:0",
             "BM_Llvmpipe/tris:10000/threads:0", false},
            {"still 100k, all cores", "BM_Scanline/tris:100000/aa:0/threads:0",
             "BM_Llvmpipe/tris:100000/threads:0", false},
            {"still 1M, all cores", "BM_Scanline/tris:1000000/aa:0/threads:0",
             "BM_Llvmpipe/tris:1000000/threads:0", false},
            {"still 1M, 1 thread", "BM_Scanline/tris:1000000/aa:0/threads:1",
             "BM_Llvmpipe/tris:1000000/threads:1", true},
            {"moving 1M, all cores", "BM_ScanlineMoving/tris:1000000/threads:0",
             "BM_LlvmpipeUpload/tris:1000000/threads:0", false},
            {"moving 1M, 1 thread", "BM_ScanlineMoving/tris:1000000/threads:1",
             "BM_LlvmpipeUpload/tris:1000000/threads:1", true},
        };
        bool header = false;
        for (const Pair& p : kPairs) {
            const auto a = times_.find(p.ours), b = times_.find(p.peer);
            if (a == times_.end() || b == times_.end()) continue;
            if (!header) {
                std::printf("\nSide by side (still: llvmpipe uploads once; moving: llvmpipe "
                            "uploads every frame; ratio above 1: the project is slower)\n");
                std::printf("%-24s %-6s %12s %12s %8s\n", "row", "time", "project ms",
                            "llvmpipe ms", "ratio");
                header = true;
            }
            const double ours = p.cpu ? a->second.cpu : a->second.real;
            const double peer = p.cpu ? b->second.cpu : b->second.real;
            std::printf("%-24s %-6s %12.2f %12.2f %8.2f\n", p.row, p.cpu ? "CPU" : "wall", ours,
                        peer, ours / peer);
        }
        std::fflush(stdout);
    }

  private:
    struct Times {
        double real, cpu;
    };
    std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    PairReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
