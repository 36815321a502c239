// Hidden-line removal throughput: a torus of about 100,000 triangles and a fractal
// terrain of 98,304, in parallel projection and through a camera, with Keep hidden on
// and off: seconds per run, edges per second and candidate triangles tested per edge;
// the candidate grid against a scan of every triangle on a smaller torus.
// With ZELO_BENCH_PEERS, OCCT meshes the torus and its polygonal hidden-line algorithm
// (HLRBRep_PolyAlgo) runs on that triangulation in the same run; the torus of the
// Zelo runs is a MESH3 holding the same triangles.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/math/matrix.h"
#include "model/mesh/face_index.h"
#include "model/mesh/fractal.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "render/hide/hide_job.h"

#ifdef ZELO_BENCH_PEERS
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <HLRAlgo_Projector.hxx>
#include <HLRBRep_PolyAlgo.hxx>
#include <HLRBRep_PolyHLRToShape.hxx>
#include <StlAPI_Writer.hxx>
#include <TopExp_Explorer.hxx>
#include <gp_Ax2.hxx>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#endif

namespace {

struct Quiet : HideHost {
    void progress(int, const char*) override {}
    bool continue_without_hiding() override { return true; }
};

using Tri = std::array<Vec3, 3>;

LAYER* default_layer(MODEL* m) {
    return static_cast<LAYER*>(model_find_named(m, "default", &LAYER::rtc_class));
}

// A mesh of the given triangles, every edge drawn (shared edges once).
void add_triangles(MODEL* m, const std::vector<Tri>& tris) {
    auto mesh = rtc_make<MESH3>();
    MeshFaceIndex index;
    for (const Tri& t : tris)
        (void)mesh_add_face(mesh.get(), &t[0], &t[1], &t[2], nullptr, 0, &index);
    mesh->own_box();
    (void)container_insert(default_layer(m), mesh.release());
}

// The torus (radii 2 and 0.7) as a grid of n x k quadrilaterals.
std::vector<Tri> grid_torus(int n, int k) {
    auto at = [&](int i, int j) {
        const double a = 2 * M_PI * i / n, b = 2 * M_PI * j / k, r = 2 + 0.7 * std::cos(b);
        return Vec3{float(r * std::cos(a)), float(r * std::sin(a)), float(0.7 * std::sin(b))};
    };
    std::vector<Tri> out;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < k; ++j) {
            const Vec3 p = at(i, j), q = at(i + 1, j), r = at(i + 1, j + 1), s = at(i, j + 1);
            out.push_back({p, q, r});
            out.push_back({p, r, s});
        }
    return out;
}

#ifdef ZELO_BENCH_PEERS
struct Peer {
    TopoDS_Shape shape;
    std::vector<Tri> tris;
};
Peer& occt_torus() {
    static Peer p = [] {
        Peer q;
        q.shape = BRepPrimAPI_MakeTorus(2.0, 0.7).Shape();
        BRepMesh_IncrementalMesh mesher(q.shape, 0.0007, false, 0.05);
        // The triangles come out through OCCT's STL writer (ASCII), so that the
        // benchmark needs none of its triangulation headers.
        const std::string path = "/tmp/zelo_bench_hide_" + std::to_string(getpid()) + ".stl";
        StlAPI_Writer writer;
        writer.ASCIIMode() = Standard_True;
        writer.Write(q.shape, path.c_str());
        std::ifstream in(path);
        std::string word;
        Tri tri;
        int corner = 0;
        while (in >> word) {
            if (word != "vertex") continue;
            in >> tri[corner].x >> tri[corner].y >> tri[corner].z;
            if (++corner == 3) q.tris.push_back(tri), corner = 0;
        }
        std::remove(path.c_str());
        return q;
    }();
    return p;
}
#endif

const std::vector<Tri>& torus_triangles() {
#ifdef ZELO_BENCH_PEERS
    return occt_torus().tris;
#else
    static const std::vector<Tri> t = grid_torus(250, 200);
    return t;
#endif
}

// 24 fractal triangles of 4,096 faces each over a 4 x 3 grid of squares.
void add_terrain(MODEL* m) {
    mesh_random_seed(7);
    auto mesh = rtc_make<MESH3>();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const Vec3 a{x * 10.0f, y * 10.0f, 0}, b{x * 10.0f + 10, y * 10.0f, 0},
                c{x * 10.0f + 10, y * 10.0f + 10, 0}, d{x * 10.0f, y * 10.0f + 10, 0};
            (void)mesh_fractal_surface(mesh.get(), &a, &b, &c, 7, 0.5);
            (void)mesh_fractal_surface(mesh.get(), &a, &c, &d, 7, 0.5);
        }
    mesh->own_box();
    (void)container_insert(default_layer(m), mesh.release());
}

Matrix43 look_from(double x, double y, double z) {
    const double l = std::sqrt(x * x + y * y + z * z);
    const double bx = x / l, by = y / l, bz = z / l;
    double ux = -by, uy = bx;
    const double ul = std::hypot(ux, uy);
    ux /= ul, uy /= ul;
    const double vx = -bz * uy, vy = bz * ux, vz = bx * uy - by * ux;
    return {{ux, vx, bx, uy, vy, by, 0, vz, bz, 0, 0, 0}};
}

struct Scene {
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::unique_ptr<CAMERA> camera;
    explicit Scene(int which) {
        rtc_register_all();
        model = rtc_make<MODEL>();
        view = rtc_make<VIEW>();
        if (which == 0) add_triangles(model.get(), torus_triangles());
        else if (which == 1) add_terrain(model.get());
        else add_triangles(model.get(), grid_torus(50, 50));
        const bool terrain = which == 1;
        view->projection.view = look_from(0.3, -1, terrain ? 0.6 : 0.8);
        mat_invert(&view->projection.inverse, &view->projection.view);
        camera = rtc_make<CAMERA>();
        if (terrain) camera->position = {20, -30, 25}, camera->target = {20, 15, 0};
        else camera->position = {2.4f, -8, 6.4f}, camera->target = {0, 0, 0};
        camera->up = {0, 0, 1};
        camera->lens = 1.0;
    }
    ~Scene() { model_detach_view(view.get()); }
};

Scene& scene(int which) {
    static std::unique_ptr<Scene> s[3];
    if (!s[which]) s[which] = std::make_unique<Scene>(which);
    return *s[which];
}

// Arguments: scene (0 torus, 1 terrain, 2 small torus), camera, keep hidden, scan.
void BM_Hide(benchmark::State& state) {
    Scene& s = scene(int(state.range(0)));
    int64_t edges = 0, tested = 0, lines = 0;
    for (auto _ : state) {
        Quiet host;
        auto result = rtc_make<MODEL>();
        HideJob job;
        job.source = s.view.get();
        job.drawing = s.model.get();
        job.result_drawing = result.get();
        job.camera = state.range(1) ? s.camera.get() : nullptr;
        job.settings.linear = 0.0;
        // Smooth surfaces show their outline; the grid-against-scan pair keeps every edge.
        job.settings.angular = state.range(0) == 2 ? 0.0 : 10 * M_PI / 180;
        job.candidate_scan = state.range(3) != 0;
        job.host = &host;
        (void)hide_job_layers(&job, state.range(2) != 0);
        if (hlr_run(&job) != 0) state.SkipWithError("run failed");
        edges += job.counts.edges;
        tested += job.candidates_tested;
        lines += job.lines_visible + job.lines_hidden;
        state.counters["triangles"] = job.counts.triangles;
    }
    state.counters["edges_per_s"] = benchmark::Counter(double(edges), benchmark::Counter::kIsRate);
    state.counters["candidates_per_edge"] = edges ? double(tested) / edges : 0.0;
    state.counters["lines"] = double(lines) / state.iterations();
}

void args(benchmark::internal::Benchmark* b) {
    for (int scene : {0, 1})
        for (int cam : {0, 1})
            for (int keep : {0, 1}) b->Args({scene, cam, keep, 0});
    // The grid against a scan of every triangle, on the smaller torus.
    for (int scan : {0, 1}) b->Args({2, 0, 1, scan});
    b->ArgNames({"scene", "camera", "keep", "scan"});
}

#ifdef ZELO_BENCH_PEERS
void BM_OcctPolyHlr(benchmark::State& state) {
    Peer& p = occt_torus();
    int64_t edges = 0;
    for (auto _ : state) {
        Handle(HLRBRep_PolyAlgo) algo = new HLRBRep_PolyAlgo();
        algo->Load(p.shape);
        const double l = std::sqrt(0.09 + 1 + 0.64);
        algo->Projector(HLRAlgo_Projector(gp_Ax2(gp_Pnt(0, 0, 0), gp_Dir(0.3 / l, -1 / l, 0.8 / l))));
        algo->Update();
        HLRBRep_PolyHLRToShape out;
        out.Update(algo);
        TopoDS_Shape visible = out.VCompound();
        TopoDS_Shape outline = out.OutLineVCompound();
        TopoDS_Shape hidden = state.range(0) ? out.HCompound() : TopoDS_Shape();
        for (TopExp_Explorer ex(visible, TopAbs_EDGE); ex.More(); ex.Next()) ++edges;
        for (TopExp_Explorer ex(outline, TopAbs_EDGE); ex.More(); ex.Next()) ++edges;
        benchmark::DoNotOptimize(hidden);
    }
    state.counters["triangles"] = double(p.tris.size());
    state.counters["result_edges"] = double(edges) / state.iterations();
}
BENCHMARK(BM_OcctPolyHlr)->Arg(0)->Arg(1)->ArgName("keep")->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK(BM_Hide)->Apply(args)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
