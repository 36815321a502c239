// Boolean operations on two icospheres of 1,280 to 1,310,720 triangles each, in
// several placements: overlapping, moved further, nearly touching from outside, a
// turned copy of the first, touching face to face (the second mirrored across a face
// of the first) and touching at one corner (the second moved along a corner's
// direction until the opposite corner meets it). Each row times the engine's union,
// intersection or subtraction and, with ZELO_BENCH_PEERS, runs CGAL's corefinement on
// the same triangles in the same row (cgal_ms, cgal_volume). Counters give the
// result's triangles, its volume, the figure it should have (the common volume exact
// by clipping the convex meshes up to 20,480 triangles, else estimated by lines,
// within expected_err), the error in percent of |A| + |B|, the directed edges not
// matched once by their reverse between the same corners (open_edges), faces without
// area, and whether the engine refused or never ended. The label gives the placement,
// the operation and the verdict of the engine's answer and of CGAL's (right, refused,
// wrong, never ends): right is closed, no face without area, pointing outward and of
// the figure's volume, where the solids touch within the engine's welding distance
// times the smaller surface.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

#include "bench/csg_child.h"
#include "bench/peer_mesh.h"
#include "commands/boolean/csg.h"
#include "tests/boolean/solid_check.h"

namespace {

enum PlacementKind { kBall, kTurned, kMirrored, kCornerToCorner };

struct Placement {
    const char* name;
    PlacementKind kind;
    double centre[3];
    double radius;
};
const Placement kPlacements[] = {
    {"overlap", kBall, {30, 17, 9}, 45},
    {"further", kBall, {25, 20, 5}, 45},
    {"nearly touching", kBall, {95.001, 0, 0}, 45},
    {"turned copy", kTurned, {0, 0, 0}, 50},
    {"face contact", kMirrored, {0, 0, 0}, 50},
    {"corner contact", kCornerToCorner, {0, 0, 0}, 50},
};
constexpr int kPlacementCount = int(sizeof kPlacements / sizeof kPlacements[0]);

struct Pair {
    PeerMesh a, b;
    std::unique_ptr<MESH3> ma, mb;
    solidcheck::Expected expect;
    double slack = 0;  // volume a right answer may stray beyond the figure's tolerance
};

PeerMesh turned(PeerMesh m, double angle) {
    // Rodrigues' rotation about the unit axis (1, 2, 3) / sqrt(14).
    const double k[3] = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0)};
    const double c = std::cos(angle), s = std::sin(angle);
    for (size_t i = 0; i < m.xyz.size(); i += 3) {
        const double v[3] = {m.xyz[i], m.xyz[i + 1], m.xyz[i + 2]};
        const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
        const double x[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
        for (int j = 0; j < 3; ++j) m.xyz[i + j] = float(v[j] * c + x[j] * s + k[j] * kv * (1 - c));
    }
    return m;
}

// `m` mirrored across the plane of its first triangle, wound back outward; the
// triangle's own corners are kept bit for bit, so the two meshes share that face.
PeerMesh mirrored(PeerMesh m) {
    const uint32_t* t = m.triangles.data();
    const solidcheck::P3 p[3] = {{m.xyz[t[0] * 3], m.xyz[t[0] * 3 + 1], m.xyz[t[0] * 3 + 2]},
                                 {m.xyz[t[1] * 3], m.xyz[t[1] * 3 + 1], m.xyz[t[1] * 3 + 2]},
                                 {m.xyz[t[2] * 3], m.xyz[t[2] * 3 + 1], m.xyz[t[2] * 3 + 2]}};
    solidcheck::P3 n = solidcheck::cross(solidcheck::sub(p[1], p[0]), solidcheck::sub(p[2], p[0]));
    const double l = std::sqrt(solidcheck::dot(n, n));
    n = {n[0] / l, n[1] / l, n[2] / l};
    const uint32_t keep[3] = {t[0], t[1], t[2]};
    for (uint32_t i = 0; i < m.xyz.size() / 3; ++i) {
        if (i == keep[0] || i == keep[1] || i == keep[2]) continue;
        const solidcheck::P3 q = {m.xyz[i * 3], m.xyz[i * 3 + 1], m.xyz[i * 3 + 2]};
        const double d = solidcheck::dot(n, solidcheck::sub(q, p[0]));
        for (int k = 0; k < 3; ++k) m.xyz[i * 3 + k] = float(q[k] - 2 * d * n[k]);
    }
    for (size_t i = 0; i < m.triangles.size(); i += 3) std::swap(m.triangles[i + 1], m.triangles[i + 2]);
    return m;
}

// `m` (symmetric about its centre at the origin) moved by twice its first corner, so
// the opposite corner lands exactly on that corner.
PeerMesh corner_to_corner(PeerMesh m) {
    const float s[3] = {2 * m.xyz[0], 2 * m.xyz[1], 2 * m.xyz[2]};
    for (size_t i = 0; i < m.xyz.size(); i += 3)
        for (int k = 0; k < 3; ++k) m.xyz[i + size_t(k)] += s[k];
    return m;
}

solidcheck::Soup soup_of(const PeerMesh& m) {
    solidcheck::Soup s;
    for (size_t i = 0; i < m.xyz.size(); i += 3) s.v.push_back({m.xyz[i], m.xyz[i + 1], m.xyz[i + 2]});
    for (size_t i = 0; i < m.triangles.size(); i += 3)
        s.t.push_back({int(m.triangles[i]), int(m.triangles[i + 1]), int(m.triangles[i + 2])});
    return s;
}

const Pair& pair_at(int level, int placement) {
    static std::map<std::pair<int, int>, Pair> cache;
    auto it = cache.find({level, placement});
    if (it == cache.end()) {
        const Placement& pl = kPlacements[placement];
        Pair p;
        p.a = peer_icosphere(0, 0, 0, 50, level);
        switch (pl.kind) {
            case kBall: p.b = peer_icosphere(pl.centre[0], pl.centre[1], pl.centre[2], pl.radius, level); break;
            case kTurned: p.b = turned(p.a, 0.3); break;
            case kMirrored: p.b = mirrored(p.a); break;
            case kCornerToCorner: p.b = corner_to_corner(p.a); break;
        }
        p.ma = peer_to_mesh(p.a);
        p.mb = peer_to_mesh(p.b);
        const solidcheck::Soup sa = soup_of(p.a), sb = soup_of(p.b);
        p.expect = solidcheck::expected_volumes(sa, sb, level <= 5, 400);
        if (pl.kind == kMirrored || pl.kind == kCornerToCorner)
            p.slack = kCsgTolerance * std::min(solidcheck::surface_area(sa), solidcheck::surface_area(sb));
        it = cache.emplace(std::make_pair(level, placement), std::move(p)).first;
    }
    return it->second;
}

// Each operation runs in a child process with a time limit (ZELO_BENCH_BOOLEAN_LIMIT
// seconds, 300 by default): the row's time is the child's CPU time, or the limit
// with never_ends set.
void BM_Boolean(benchmark::State& state) {
    const Pair& p = pair_at(int(state.range(0)), int(state.range(2)));
    const int op = int(state.range(1));
    const char* env = std::getenv("ZELO_BENCH_BOOLEAN_LIMIT");
    const double limit = env ? std::atof(env) : 300;
    CsgChildOutcome o;
    bool ended = true;
    for (auto _ : state) {
        ended = csg_in_child(p.ma.get(), p.mb.get(), op, limit, &o, &p.expect, op, p.slack);
        state.SetIterationTime(ended ? o.cpu : limit);
    }
    const double want = p.expect.of(op), scale = p.expect.a + p.expect.b;
    state.counters["input_triangles"] = double(p.a.triangles.size() / 3);
    state.counters["expected"] = want;
    state.counters["expected_err"] = p.expect.tolerance;
    state.counters["never_ends"] = ended ? 0 : 1;
    state.counters["refused"] = ended && !o.has_mesh ? 1 : 0;
    state.counters["result_triangles"] = o.triangles;
    state.counters["open_edges"] = o.unmatched;
    state.counters["no_area"] = o.no_area;
    state.counters["volume"] = o.volume;
    state.counters["error_pct"] = o.has_mesh ? 100 * (o.volume - want) / scale : 0;
    const bool right = ended && o.verdict == solidcheck::Verdict::right;
    state.counters["right"] = right ? 1 : 0;
    state.counters["wrong"] = ended && o.verdict == solidcheck::Verdict::wrong ? 1 : 0;
    static const char* const kOperations[] = {"union", "intersection", "A-B"};
    std::string label = std::string(kPlacements[state.range(2)].name) + " " + kOperations[op] + ": " +
                        (ended ? solidcheck::verdict_name(o.verdict) : "never ends");
#if defined(ZELO_BENCH_PEERS)
    double enclosed = 0;
    size_t triangles = 0;
    const std::clock_t c0 = std::clock();
    const bool ok = cgal_boolean(p.a, p.b, op, &enclosed, &triangles);
    state.counters["cgal_ms"] = 1000.0 * double(std::clock() - c0) / CLOCKS_PER_SEC;
    state.counters["cgal_volume"] = ok ? enclosed : -1;
    state.counters["cgal_error_pct"] = ok ? 100 * (enclosed - want) / scale : 0;
    // CGAL's volume is unsigned and its mesh is not looked at: right by volume alone.
    label += std::string(", CGAL ") +
             (!ok ? "refused" : std::fabs(enclosed - want) <= p.expect.tolerance + p.slack ? "right" : "wrong");
#endif
    state.SetLabel(label);
}

// Levels 3 to 8 (1,280 to 1,310,720 triangles), every placement, the three operations.
// The contact rows alone: --benchmark_filter='placement:[345]/'.
void operations(benchmark::internal::Benchmark* b) {
    for (int level = 3; level <= 8; ++level)
        for (int placement = 0; placement < kPlacementCount; ++placement)
            for (int op = 0; op < 3; ++op) b->Args({level, op, placement});
    b->ArgNames({"level", "op", "placement"})->Unit(benchmark::kMillisecond)->Iterations(1);
}
BENCHMARK(BM_Boolean)->Apply(operations)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
