// Mesh reduction to half the triangles. Speed: a 1,000,000-triangle grid, in triangles
// per second. Quality: closed meshes like scans (jittered corners, thin triangles, a
// knot), an open grid and real meshes (scans and CAD parts), as the symmetric Hausdorff
// distance between the input and the result (sampled); the made-up meshes also at 10%
// of their triangles (four calls: each keeps at least half). With ZELO_BENCH_PEERS beside meshoptimizer's simplifier
// (border locked) at the same triangle count, and CGAL's edge-collapse simplification
// for speed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>

#include "bench/cpu_time.h"
#include "bench/peer_mesh.h"
#include "bench/real_meshes.h"
#include "commands/boolean/mesh_reduce.h"
#include "tests/boolean/reduce_shapes.h"

#if defined(ZELO_BENCH_PEERS)
#include <meshoptimizer.h>
#endif

namespace {

using shapes::P3;
using Tri = std::array<P3, 3>;

// Processor seconds of our reduction per grid size, for the peer's ratio row.
std::map<int, double>& our_seconds() {
    static std::map<int, double> seconds;
    return seconds;
}

const PeerMesh& grid(int n) {
    static std::map<int, PeerMesh> cache;
    auto it = cache.find(n);
    if (it == cache.end()) it = cache.emplace(n, peer_grid(n)).first;
    return it->second;
}

void BM_Reduce(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    auto mesh = peer_to_mesh(g);
    size_t left = 0;
    const double start = thread_cpu_seconds();
    for (auto _ : state) {
        MESH3* r = mesh_reduce(mesh.get(), 50);
        if (r == mesh.get()) {
            state.SkipWithError("not reduced");
            break;
        }
        left = triangle_count(r);
        rtc_destroy(r);
    }
    our_seconds()[int(state.range(0))] = (thread_cpu_seconds() - start) / double(state.iterations());
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
// 707 x 707 cells: 999,698 triangles.
BENCHMARK(BM_Reduce)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);

#if defined(ZELO_BENCH_PEERS)
void BM_ReduceMeshopt(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    std::vector<uint32_t> out(g.triangles.size());
    size_t left = 0;
    const double start = thread_cpu_seconds();
    for (auto _ : state) {
        float error = 0;
        const size_t n = meshopt_simplify(out.data(), g.triangles.data(), g.triangles.size(), g.xyz.data(),
                                          g.xyz.size() / 3, sizeof(float) * 3, g.triangles.size() / 2, 1.0f,
                                          meshopt_SimplifyLockBorder, &error);
        left = n / 3;
    }
    // Its time over ours, both in processor time of this run (1 and up is the goal).
    const auto ours = our_seconds().find(int(state.range(0)));
    if (ours != our_seconds().end() && ours->second > 0)
        state.counters["ratio"] = (thread_cpu_seconds() - start) / double(state.iterations()) / ours->second;
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReduceMeshopt)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReduceCgal(benchmark::State& state) {
    const PeerMesh& g = grid(int(state.range(0)));
    size_t left = 0;
    for (auto _ : state) left = cgal_simplify(g, 0.5);
    state.counters["triangles_left"] = double(left);
    state.counters["triangles_per_second"] =
        benchmark::Counter(double(g.triangles.size() / 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReduceCgal)->Arg(100)->Arg(707)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

// ---- Quality: distance from points to a triangle set through a bounding-volume tree.

P3 sub(const P3& a, const P3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const P3& a, const P3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Squared distance from p to triangle abc (the closest feature by its Voronoi region).
double triangle_distance2(const P3& p, const Tri& t) {
    const P3 &a = t[0], &b = t[1], &c = t[2];
    const P3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    auto at = [&](double u, double v) {
        const P3 q = {a[0] + u * ab[0] + v * ac[0], a[1] + u * ab[1] + v * ac[1], a[2] + u * ab[2] + v * ac[2]};
        const P3 d = sub(p, q);
        return dot(d, d);
    };
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return at(0, 0);
    const P3 bp = sub(p, b);
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return at(1, 0);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return at(d1 / (d1 - d3), 0);
    const P3 cp = sub(p, c);
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return at(0, 1);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return at(0, d2 / (d2 - d6));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        return at(1 - w, w);
    }
    const double s = 1 / (va + vb + vc);
    return at(vb * s, vc * s);
}

class TriangleTree {
public:
    explicit TriangleTree(std::vector<Tri> tris) : tris_(std::move(tris)) {
        order_.resize(tris_.size());
        for (size_t i = 0; i < order_.size(); ++i) order_[i] = int(i);
        nodes_.resize(1);
        build(0, 0, int(order_.size()));
    }

    double distance2(const P3& p) const {
        double best = 1e300;
        std::vector<int> stack = {0};
        while (!stack.empty()) {
            const Node& n = nodes_[stack.back()];
            stack.pop_back();
            if (box_distance2(n, p) >= best) continue;
            if (n.count > 0) {
                for (int i = n.first; i < n.first + n.count; ++i)
                    best = std::min(best, triangle_distance2(p, tris_[order_[i]]));
                continue;
            }
            // The nearer child is searched first.
            const bool left_first = box_distance2(nodes_[n.first], p) <= box_distance2(nodes_[n.first + 1], p);
            stack.push_back(n.first + (left_first ? 1 : 0));
            stack.push_back(n.first + (left_first ? 0 : 1));
        }
        return best;
    }

private:
    struct Node {
        P3 lo, hi;
        int first, count;  // a leaf's triangles in order_, or (count 0) the first of two children
    };
    std::vector<Tri> tris_;
    std::vector<int> order_;
    std::vector<Node> nodes_;

    static double box_distance2(const Node& n, const P3& p) {
        double d = 0;
        for (int k = 0; k < 3; ++k) {
            const double e = std::max({n.lo[k] - p[k], 0.0, p[k] - n.hi[k]});
            d += e * e;
        }
        return d;
    }

    // Fills node `slot` with the triangles order_[begin, end), splitting at the median
    // of the longest axis down to four a leaf.
    void build(int slot, int begin, int end) {
        Node n{{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}, begin, end - begin};
        for (int i = begin; i < end; ++i)
            for (const P3& q : tris_[order_[i]])
                for (int k = 0; k < 3; ++k) {
                    n.lo[k] = std::min(n.lo[k], q[k]);
                    n.hi[k] = std::max(n.hi[k], q[k]);
                }
        if (end - begin > 4) {
            int axis = 0;
            for (int k = 1; k < 3; ++k)
                if (n.hi[k] - n.lo[k] > n.hi[axis] - n.lo[axis]) axis = k;
            const int mid = (begin + end) / 2;
            std::nth_element(order_.begin() + begin, order_.begin() + mid, order_.begin() + end, [&](int x, int y) {
                const Tri &s = tris_[x], &t = tris_[y];
                return s[0][axis] + s[1][axis] + s[2][axis] < t[0][axis] + t[1][axis] + t[2][axis];
            });
            n.count = 0;
            n.first = int(nodes_.size());
            nodes_.resize(nodes_.size() + 2);  // the two children lie side by side
            build(n.first, begin, mid);
            build(n.first + 1, mid, end);
        }
        nodes_[slot] = n;
    }
};

// Corners of every triangle and points spread over them by area (fixed seed).
std::vector<P3> samples(const std::vector<Tri>& tris, size_t count) {
    std::vector<double> area(tris.size());
    double total = 0;
    for (size_t i = 0; i < tris.size(); ++i) {
        const P3 u = sub(tris[i][1], tris[i][0]), w = sub(tris[i][2], tris[i][0]);
        const P3 n = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        total += std::sqrt(dot(n, n));
        area[i] = total;
    }
    std::vector<P3> out;
    for (const Tri& t : tris) out.insert(out.end(), t.begin(), t.end());
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0, 1);
    for (size_t s = 0; s < count; ++s) {
        const size_t i = std::min(size_t(std::lower_bound(area.begin(), area.end(), unit(rng) * total) - area.begin()),
                                  tris.size() - 1);
        double u = unit(rng), v = unit(rng);
        if (u + v > 1) u = 1 - u, v = 1 - v;
        const Tri& t = tris[i];
        out.push_back({t[0][0] + u * (t[1][0] - t[0][0]) + v * (t[2][0] - t[0][0]),
                       t[0][1] + u * (t[1][1] - t[0][1]) + v * (t[2][1] - t[0][1]),
                       t[0][2] + u * (t[1][2] - t[0][2]) + v * (t[2][2] - t[0][2])});
    }
    return out;
}

// Symmetric Hausdorff distance between two triangle sets, from the corners and 200,000
// points spread over each.
double hausdorff(const std::vector<Tri>& a, const std::vector<Tri>& b) {
    double worst = 0;
    for (int side = 0; side < 2; ++side) {
        const TriangleTree tree(side ? a : b);
        for (const P3& p : samples(side ? b : a, 200000)) worst = std::max(worst, tree.distance2(p));
    }
    return std::sqrt(worst);
}

std::vector<Tri> peer_triangles(const PeerMesh& m, const uint32_t* indices, size_t count) {
    std::vector<Tri> out(count / 3);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = indices[i];
        out[i / 3][i % 3] = {m.xyz[3 * v], m.xyz[3 * v + 1], m.xyz[3 * v + 2]};
    }
    return out;
}

PeerMesh peer_from(const shapes::TriMesh& t) {
    PeerMesh m;
    for (const P3& p : t.points)
        for (double x : p) m.xyz.push_back(float(x));
    for (const auto& f : t.faces)
        for (int k : f) m.triangles.push_back(uint32_t(k));
    return m;
}

struct Kind {
    const char* name;
    std::function<PeerMesh()> make;
    bool closed = true;
};

const std::vector<Kind>& kinds() {
    static const std::vector<Kind> list = {
        {"jittered_torus_52k", [] { return peer_from(shapes::jittered(shapes::torus(30, 10, 260, 100), 0.15, 1)); }},
        {"jittered_sphere_82k", [] { return peer_from(shapes::jittered(shapes::sphere(50, 6), 0.2, 2)); }},
        {"jittered_knot_38k", [] { return peer_from(shapes::jittered(shapes::trefoil(100, 6, 300, 64), 0.2, 3)); }},
        {"thin_torus_36k", [] { return peer_from(shapes::torus(30, 10, 1500, 12)); }},
        {"smooth_sphere_20k", [] { return peer_from(shapes::sphere(50, 5)); }},
        {"open_grid_20k", [] { return grid(100); }, false},
    };
    return list;
}

// The mesh reduced to `percent` of its triangles: mesh_reduce keeps at least half a
// call, so a smaller share takes calls in turn (10%: half three times, then 80%). A
// new mesh (the caller's), or the mesh itself when the first call reduced nothing.
MESH3* reduce_to(MESH3* mesh, double percent) {
    MESH3* at = mesh;
    for (double share = percent / 100;;) {
        MESH3* next = mesh_reduce(at, share < 0.5 ? 50 : share * 100);
        if (at != mesh && next != at) rtc_destroy(at);
        if (next == at) return at;
        at = next;
        if (share >= 0.5) return at;
        share *= 2;
    }
}

// Reduces `input` to `percent` of its triangles and gives the Hausdorff distance to
// the input; beside it meshoptimizer's at the same triangle count, the ratio of the
// two and its processor time. A closed 2-manifold must come back as one.
void reduce_and_compare(benchmark::State& state, const PeerMesh& input, bool closed, double percent) {
    const std::vector<Tri> original = peer_triangles(input, input.triangles.data(), input.triangles.size());
    auto mesh = peer_to_mesh(input);
    MESH3* r = nullptr;
    for (auto _ : state) {
        if (r && r != mesh.get()) rtc_destroy(r);
        r = reduce_to(mesh.get(), percent);
    }
    if (r == mesh.get()) {
        state.SkipWithError("not reduced");
        return;
    }
    const std::string broken = closed ? shapes::not_closed_manifold(*r->blocks) : "";
    std::vector<Tri> reduced;
    for (const auto& t : shapes::triangles(r)) reduced.push_back(t);
    rtc_destroy(r);
    if (!broken.empty()) {
        state.SkipWithError(("reduced, but no longer a closed 2-manifold: " + broken).c_str());
        return;
    }
    state.counters["triangles_in"] = double(original.size());
    state.counters["triangles_left"] = double(reduced.size());
    const double ours = hausdorff(original, reduced);
    state.counters["hausdorff"] = ours;
#if defined(ZELO_BENCH_PEERS)
    std::vector<uint32_t> out(input.triangles.size());
    const double start = thread_cpu_seconds();
    const size_t n = meshopt_simplify(out.data(), input.triangles.data(), input.triangles.size(), input.xyz.data(),
                                      input.xyz.size() / 3, sizeof(float) * 3, reduced.size() * 3, 1.0f,
                                      meshopt_SimplifyLockBorder, nullptr);
    state.counters["meshopt_ms"] = 1000 * (thread_cpu_seconds() - start);
    const double peer = hausdorff(original, peer_triangles(input, out.data(), n));
    state.counters["meshopt_left"] = double(n / 3);
    state.counters["meshopt_hausdorff"] = peer;
    if (peer > 1e-6) state.counters["ratio"] = ours / peer;  // none when it lies on the input
#endif
}

// Args: the kind, the percentage of triangles left (50, or 10 through four calls).
void BM_ReduceQuality(benchmark::State& state) {
    const Kind& kind = kinds()[size_t(state.range(0))];
    state.SetLabel(kind.name);
    reduce_and_compare(state, kind.make(), kind.closed, double(state.range(1)));
}
BENCHMARK(BM_ReduceQuality)
    ->ArgNames({"kind", "percent"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {50, 10}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// ---- Real meshes: each mesh of 1,000 triangles or more in the folder named by
// ZELO_REAL_MESHES (build/real_meshes by default; bench/fetch_real_meshes.sh fetches
// them), its corners of equal coordinates made one vertex and its faces wound alike.
// Those that are not closed 2-manifolds are named and skipped.

std::string real_mesh_folder() {
    const char* folder = std::getenv("ZELO_REAL_MESHES");
    return folder && *folder ? folder : "build/real_meshes";
}

struct RealMesh {
    std::string name;
    PeerMesh mesh;  // as read: scaled to 100 units, polygons as fans
};

const std::vector<RealMesh>& real_meshes() {
    static const std::vector<RealMesh> list = [] {
        std::vector<RealMesh> out;
        const std::string folder = real_mesh_folder();
        for (const std::string& f : off_files(folder)) {
            RealMesh m{f.substr(0, f.size() - 4), {}};
            if (!read_off(folder + "/" + f, &m.mesh))
                m.mesh = {};  // a row that says so
            else if (m.mesh.triangles.size() < 3 * 1000)
                continue;
            out.push_back(std::move(m));
        }
        return out;
    }();
    return list;
}

// The mesh with faces turned where needed so that each edge of two faces is run both
// ways (breadth first through such edges from each face not yet reached): some files
// wind their faces at random.
PeerMesh wound_alike(PeerMesh m) {
    std::vector<uint32_t>& t = m.triangles;
    const size_t nf = t.size() / 3;
    std::unordered_map<uint64_t, std::vector<size_t>> faces_at;  // by edge: its ends, the lesser first
    auto edge = [&](size_t f, int k) {
        const uint64_t a = t[3 * f + size_t(k)], b = t[3 * f + size_t(k + 1) % 3];
        return std::min(a, b) << 32 | std::max(a, b);
    };
    for (size_t f = 0; f < nf; ++f)
        for (int k = 0; k < 3; ++k) faces_at[edge(f, k)].push_back(f);
    std::vector<char> reached(nf, 0);
    for (size_t start = 0; start < nf; ++start) {
        if (reached[start]) continue;
        reached[start] = 1;
        std::vector<size_t> todo = {start};
        while (!todo.empty()) {
            const size_t f = todo.back();
            todo.pop_back();
            for (int k = 0; k < 3; ++k) {
                const std::vector<size_t>& two = faces_at[edge(f, k)];
                if (two.size() != 2) continue;
                const size_t g = two[0] == f ? two[1] : two[0];
                if (reached[g]) continue;
                reached[g] = 1;
                const uint32_t a = t[3 * f + size_t(k)], b = t[3 * f + size_t(k + 1) % 3];
                for (int j = 0; j < 3; ++j)
                    if (t[3 * g + size_t(j)] == a && t[3 * g + size_t(j + 1) % 3] == b) std::swap(t[3 * g + 1], t[3 * g + 2]);
                todo.push_back(g);
            }
        }
    }
    return m;
}

// A row per mesh, named after its file.
void BM_ReduceRealMesh(benchmark::State& state, size_t index) {
    const auto& list = real_meshes();
    if (list.empty()) {
        state.SkipWithError(("no meshes in " + real_mesh_folder() +
                             " (bench/fetch_real_meshes.sh fetches them; ZELO_REAL_MESHES names another folder)")
                                .c_str());
        return;
    }
    const PeerMesh& read = list[index].mesh;
    if (read.triangles.empty()) {
        state.SkipWithError("unreadable OFF file");
        return;
    }
    state.SetLabel(std::to_string(read.triangles.size() / 3) + " triangles");
    const PeerMesh welded = wound_alike(peer_of(tris_of(read)));
    const std::string unfit = shapes::not_closed_manifold(*peer_to_mesh(welded)->blocks);
    if (!unfit.empty()) {
        state.SkipWithError(("not a closed 2-manifold: " + unfit).c_str());
        return;
    }
    reduce_and_compare(state, welded, true, 50);
}

const bool real_mesh_rows = [] {
    const auto& list = real_meshes();
    for (size_t i = 0; i < std::max<size_t>(list.size(), 1); ++i) {
        const std::string name = "BM_ReduceRealMesh/" + (list.empty() ? std::string("none") : list[i].name);
        benchmark::RegisterBenchmark(name.c_str(), BM_ReduceRealMesh, i)->Unit(benchmark::kMillisecond)->Iterations(1);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
