// Fractal triangle surfaces by recursive midpoint displacement, and their seeded
// generator (declared in fractal.h). The generator is the classic linear
// congruential one (multiplier 1103515245, increment 12345) returning bits 16..30.
#include "model/mesh/fractal.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "model/db/solid.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/mesh/mesh_block.h"

namespace {

thread_local uint32_t g_random_state = 1;
thread_local double g_roughness = 0.25;

constexpr int kMaxLevels = 7;
constexpr int kWorkSide = 65;  // grid positions 0..64 a side

struct GridPos {
    int i, j;
};

// The state of one surface under construction. Corners stand at grid positions
// p1 (0, 0), p2 (0, n), p3 (n, n), so every point has i <= j.
struct FractalWork {
    MeshFaceBlock* block;
    MeshEdgeHash hash;
    int n;
    double roughness;
    int32_t index[kWorkSide][kWorkSide];

    bool on_border(GridPos a, GridPos b) const {
        return (a.i == 0 && b.i == 0) || (a.j == n && b.j == n) || (a.i == a.j && b.i == b.j);
    }

    // The vertex at the midpoint of a-b, made (and displaced) on first use.
    int32_t midpoint(GridPos a, GridPos b) {
        const GridPos m = {(a.i + b.i) / 2, (a.j + b.j) / 2};
        int32_t& slot = index[m.i][m.j];
        if (slot >= 0) return slot;
        const MeshVertex& va = block->vertices[index[a.i][a.j]];
        const MeshVertex& vb = block->vertices[index[b.i][b.j]];
        double x = (double{va.x} + vb.x) / 2, y = (double{va.y} + vb.y) / 2;
        double z = (double{va.z} + vb.z) / 2;
        if (!on_border(a, b)) {
            const double length = std::hypot(double{vb.x} - va.x, double{vb.y} - va.y,
                                             double{vb.z} - va.z);
            const double d = roughness * 0.6 * length / 32767.0;
            const int r1 = mesh_random();
            const int r2 = mesh_random();
            const int r3 = mesh_random();
            z += r1 * d;
            y += r2 * d * 0.1;
            x += r3 * d * 0.1;
        }
        block->vertices.push_back(MeshVertex{static_cast<float>(x), static_cast<float>(y),
                                             static_cast<float>(z), {0, 0, 0, 0, 0, 0}});
        slot = static_cast<int32_t>(block->vertices.size() - 1);
        return slot;
    }

    // Splits a, b, c `depth` more times; at the last level adds the face. May throw
    // std::bad_alloc.
    void subdivide(GridPos a, GridPos b, GridPos c, int depth) {
        if (depth == 0) {
            if (mesh_add_triangle(block, index[a.i][a.j], index[b.i][b.j], index[c.i][c.j],
                                  &hash) != 0)
                throw std::bad_alloc();
            return;
        }
        midpoint(a, b);
        midpoint(b, c);
        midpoint(c, a);
        const GridPos ab = {(a.i + b.i) / 2, (a.j + b.j) / 2};
        const GridPos bc = {(b.i + c.i) / 2, (b.j + c.j) / 2};
        const GridPos ca = {(c.i + a.i) / 2, (c.j + a.j) / 2};
        subdivide(a, ab, ca, depth - 1);
        subdivide(ab, b, bc, depth - 1);
        subdivide(ca, bc, c, depth - 1);
        subdivide(ab, bc, ca, depth - 1);
    }
};

}  // namespace

void mesh_random_seed(uint32_t seed) {
    g_random_state = seed;
}

int mesh_random() {
    g_random_state = g_random_state * 1103515245u + 12345u;
    return static_cast<int>((g_random_state >> 16) & 0x7FFF);
}

double mesh_fractal_roughness() {
    return g_roughness;
}

int mesh_fractal_surface(MESH3* mesh, const Vec3* p1, const Vec3* p2, const Vec3* p3, int levels,
                         double roughness) {
    if (!mesh || !p1 || !p2 || !p3) return kBadArgument;
    if (!vec3_finite(*p1) || !vec3_finite(*p2) || !vec3_finite(*p3)) return kBadArgument;
    g_roughness = (roughness >= -1.0 && roughness <= 1.0) ? roughness : 0.25;
    levels = std::clamp(levels, 1, kMaxLevels);

    auto work = std::unique_ptr<FractalWork>(new (std::nothrow) FractalWork());
    if (!work) return kOutOfMemory;
    work->n = 1 << (levels - 1);
    work->roughness = g_roughness;
    for (auto& row : work->index) std::fill(std::begin(row), std::end(row), -1);
    const int n = work->n;
    const size_t vertex_count = static_cast<size_t>(n + 1) * (n + 2) / 2;
    const size_t edge_count = static_cast<size_t>(3) * n * (n + 1) / 2;

    MeshFaceBlock* block = mesh_face_block(mesh, 0);
    if (!block) return kOutOfMemory;
    work->block = block;
    try {
        block->vertices.reserve(vertex_count);
        block->edges.reserve(edge_count);
        block->faces.reserve(static_cast<size_t>(n) * n);
        if (mesh_edge_hash_init(&work->hash, block, static_cast<int32_t>(edge_count)) != 0)
            throw std::bad_alloc();
        const GridPos c1 = {0, 0}, c2 = {0, n}, c3 = {n, n};
        for (const auto& [pos, p] : {std::pair{c1, p1}, std::pair{c2, p2}, std::pair{c3, p3}}) {
            block->vertices.push_back(MeshVertex{p->x, p->y, p->z, {0, 0, 0, 0, 0, 0}});
            work->index[pos.i][pos.j] = static_cast<int32_t>(block->vertices.size() - 1);
        }
        work->subdivide(c1, c2, c3, levels - 1);
    } catch (const std::bad_alloc&) {
        mesh_drop_block(mesh, block);
        return kOutOfMemory;
    }
    return 0;
}
