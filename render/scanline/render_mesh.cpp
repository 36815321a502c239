// Face and corner normals of a face block (faceted, smooth, smoothing groups, smooth
// by crease angle) and the renderer's private copy of a block.
#include "render/scanline/render_mesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>

#include "model/db/solid.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scratch.h"

namespace {

constexpr int kPollEvery = 512;

Vec3d sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Unit vector, or zero for a vector without length (a face without area, or normals
// that cancel out): a zero normal shades as unlit instead of spreading NaN.
Vec3 unit_or_zero(const Vec3d& v) {
    const double len = std::sqrt(dot(v, v));
    if (!(len > 0.0) || !std::isfinite(len)) return {0, 0, 0};
    return {static_cast<float>(v.x / len), static_cast<float>(v.y / len),
            static_cast<float>(v.z / len)};
}

void grow(BBox* box, const Vec3d& p) {
    const auto x = static_cast<float>(p.x), y = static_cast<float>(p.y),
               z = static_cast<float>(p.z);
    box->min.x = std::min(box->min.x, x);
    box->min.y = std::min(box->min.y, y);
    box->min.z = std::min(box->min.z, z);
    box->max.x = std::max(box->max.x, x);
    box->max.y = std::max(box->max.y, y);
    box->max.z = std::max(box->max.z, z);
}

// Small union-find over the faces around one vertex.
struct Groups {
    std::vector<int32_t> parent;
    void reset(size_t n) {
        parent.resize(n);
        std::iota(parent.begin(), parent.end(), 0);
    }
    int32_t find(int32_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    }
    void join(int32_t a, int32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
};

struct Topology {
    const MeshFaceBlock* block;
    const Vec3d* pos;
    size_t nv;
};

// Corners a, b, c of face f; false when its edges name no valid triangle.
bool face_corners(const Topology& t, size_t f, int32_t out[3]) {
    const MeshFace& face = t.block->faces[f];
    const auto ne = static_cast<int64_t>(t.block->edges.size());
    for (int k = 0; k < 2; ++k)
        if (face.e[k] < 0 || face.e[k] >= ne) return false;
    const MeshEdge& e0 = t.block->edges[face.e[0]];
    const MeshEdge& e1 = t.block->edges[face.e[1]];
    const bool share = e0.v[0] == e1.v[0] || e0.v[0] == e1.v[1] || e0.v[1] == e1.v[0] ||
                       e0.v[1] == e1.v[1];
    if (!share) return false;
    edge_pair_vertices(e0, e1, &out[0], &out[1], &out[2]);
    for (int k = 0; k < 3; ++k)
        if (out[k] < 0 || static_cast<size_t>(out[k]) >= t.nv) return false;
    return true;
}

int poll(RenderStepFn step, void* ctx, int64_t count) {
    return step && step(ctx, count) != 0;
}

// Groups of the faces around vertex v (local group number per face in `group`, the
// count returned): one for all faces (smooth always), masks sharing bits (smoothing
// groups; a face without a mask alone), or runs of neighbours meeting at no more than
// the crease angle.
int32_t vertex_groups(const Topology& t, size_t v, const int32_t* fs, int32_t n,
                      const std::vector<Vec3d>& raw, bool by_angle, bool by_groups, double crease,
                      Groups& groups, int32_t* group) {
    groups.reset(static_cast<size_t>(n));
    if (by_angle) {
        for (int32_t i = 0; i < n; ++i) {
            const MeshFace& fi = t.block->faces[fs[i]];
            for (int32_t j = i + 1; j < n; ++j) {
                const MeshFace& fj = t.block->faces[fs[j]];
                bool neighbours = false;
                for (int a = 0; a < 3 && !neighbours; ++a)
                    for (int b = 0; b < 3 && !neighbours; ++b) {
                        if (fi.e[a] != fj.e[b] || fi.e[a] < 0 ||
                            fi.e[a] >= static_cast<int32_t>(t.block->edges.size()))
                            continue;
                        const MeshEdge& e = t.block->edges[fi.e[a]];
                        neighbours = e.v[0] == static_cast<int32_t>(v) ||
                                     e.v[1] == static_cast<int32_t>(v);
                    }
                if (!neighbours) continue;
                const double la = std::sqrt(dot(raw[fs[i]], raw[fs[i]]));
                const double lb = std::sqrt(dot(raw[fs[j]], raw[fs[j]]));
                double angle = 0.0;
                if (la >= 1e-20 && lb >= 1e-20)
                    angle = std::acos(std::clamp(dot(raw[fs[i]], raw[fs[j]]) / (la * lb), -1.0, 1.0));
                if (!(angle > crease)) groups.join(i, j);
            }
        }
    } else if (by_groups) {
        for (int32_t i = 0; i < n; ++i) {
            const auto mi = static_cast<uint32_t>(t.block->faces[fs[i]].word);
            if (!mi) continue;
            for (int32_t j = i + 1; j < n; ++j)
                if (mi & static_cast<uint32_t>(t.block->faces[fs[j]].word)) groups.join(i, j);
        }
    } else {
        for (int32_t i = 1; i < n; ++i) groups.join(0, i);
    }
    // Number the groups in order of their first face.
    int32_t count = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t r = groups.find(i);
        group[i] = r == i ? count++ : group[r];
    }
    return count;
}

// Runs fn(chunk) over chunks of `n` items: on `threads` threads when the caller's step
// callback is safe to call from them (the renderer's is), else in order on this one.
template <class Fn>
void chunked(int32_t threads, size_t n, size_t chunk, Fn&& fn) {
    const auto chunks = static_cast<int64_t>((n + chunk - 1) / chunk);
    if (threads <= 1) {
        for (int64_t c = 0; c < chunks; ++c) fn(c);
        return;
    }
    render_parallel_for(threads, chunks, fn);
}

int prepare_core(const Topology& t, const MaterialRecord* m, std::vector<ShadeRecord>* pool,
                 std::vector<int32_t>* corners, std::vector<Vec3>* face_normals,
                 RenderStepFn step, void* ctx, int64_t* running, bool faceted, bool force_angle,
                 const BoundsGrowth* bounds, int32_t threads) {
    const size_t nf = t.block->faces.size();
    const uint32_t flags = m ? m->flags : kMaterialSmoothAlways;
    if (!(flags & (kMaterialSmoothAlways | kMaterialSmoothByAngle)) && !force_angle)
        faceted = true;
    const int64_t base = running ? *running : 0;
    ScratchVector<int32_t> vtx_keep(nf * 3);
    ScratchVector<Vec3d> raw_keep(nf);
    std::vector<int32_t>& vtx = *vtx_keep;
    std::vector<Vec3d>& raw = *raw_keep;
    vtx.assign(nf * 3, -1);
    raw.resize(nf);
    pool->clear();
    corners->assign(nf * 3, -1);
    if (face_normals) face_normals->assign(nf, Vec3{0, 0, 0});
    // Corners and area-weighted face normals, in chunks of the polling interval.
    std::atomic<bool> stopped{false};
    chunked(threads, nf, kPollEvery, [&](int64_t c) {
        if (stopped) return;
        const size_t f0 = static_cast<size_t>(c) * kPollEvery;
        if (poll(step, ctx, base + static_cast<int64_t>(f0))) {
            stopped = true;
            return;
        }
        for (size_t f = f0; f < std::min(nf, f0 + kPollEvery); ++f) {
            int32_t cn[3];
            if (!face_corners(t, f, cn)) {
                raw[f] = {0, 0, 0};
                continue;
            }
            for (int k = 0; k < 3; ++k) vtx[f * 3 + k] = cn[k];
            const Vec3d& a = t.pos[cn[0]];
            raw[f] = cross(sub(t.pos[cn[1]], a), sub(t.pos[cn[2]], a));
            if (!std::isfinite(raw[f].x) || !std::isfinite(raw[f].y) || !std::isfinite(raw[f].z))
                raw[f] = {0, 0, 0};
            if (face_normals) (*face_normals)[f] = unit_or_zero(raw[f]);
        }
    });
    if (stopped) return -1;
    if (bounds && bounds->box)
        for (size_t f = 0; f < nf; ++f)
            for (int k = 0; k < 3 && vtx[f * 3] >= 0; ++k) {
                Vec3d p = t.pos[vtx[f * 3 + k]];
                if (bounds->matrix) mat_xform_point_d(&p, &p, bounds->matrix);
                if (vec3_finite_d(p))
                    grow(bounds->box, p);
            }
    if (faceted) {
        // One record per face (zero for a face that names no triangle).
        pool->resize(nf);
        chunked(threads, nf, 16384, [&](int64_t c) {
            for (size_t f = static_cast<size_t>(c) * 16384; f < std::min(nf, (c + 1) * size_t{16384}); ++f) {
                const Vec3 n = unit_or_zero(raw[f]);
                (*pool)[f].v[0] = n.x;
                (*pool)[f].v[1] = n.y;
                (*pool)[f].v[2] = n.z;
                if (vtx[f * 3] >= 0)
                    for (int k = 0; k < 3; ++k) (*corners)[f * 3 + k] = static_cast<int32_t>(f);
            }
        });
    } else {
        // Faces around each vertex (start offsets, then face numbers in face order).
        ScratchVector<int32_t> start_keep(t.nv + 1), around_keep(nf * 3), group_keep(nf * 3),
            records_keep(t.nv + 1);
        std::vector<int32_t>& start = *start_keep;
        start.assign(t.nv + 1, 0);
        for (size_t i = 0; i < nf * 3; ++i)
            if (vtx[i] >= 0) ++start[static_cast<size_t>(vtx[i]) + 1];
        for (size_t v = 0; v < t.nv; ++v) start[v + 1] += start[v];
        std::vector<int32_t>& around = *around_keep;
        around.resize(static_cast<size_t>(start[t.nv]));
        {
            std::vector<int32_t> fill(start.begin(), start.end() - 1);
            for (size_t i = 0; i < nf * 3; ++i)
                if (vtx[i] >= 0) around[fill[vtx[i]]++] = static_cast<int32_t>(i / 3);
        }
        const bool by_angle = (flags & kMaterialSmoothByAngle) || force_angle;
        const bool by_groups = !by_angle && (flags & kMaterialSmoothGroups);
        const double crease = m ? m->smoothing_angle : kDefaultSmoothingAngle;
        // Pass 1: the group of every face around every vertex, and the record count of
        // each vertex; pass 2 fills the records at their place in vertex order.
        std::vector<int32_t>& group = *group_keep;
        group.resize(around.size());
        std::vector<int32_t>& records = *records_keep;
        records.assign(t.nv + 1, 0);
        constexpr size_t kVertexChunk = 8192;
        chunked(threads, t.nv, kVertexChunk, [&](int64_t c) {
            Groups groups;
            for (size_t v = static_cast<size_t>(c) * kVertexChunk;
                 v < std::min(t.nv, (c + 1) * kVertexChunk); ++v) {
                const int32_t n = start[v + 1] - start[v];
                if (n == 0) continue;
                records[v + 1] = vertex_groups(t, v, around.data() + start[v], n, raw, by_angle,
                                               by_groups, crease, groups, group.data() + start[v]);
            }
        });
        for (size_t v = 0; v < t.nv; ++v) records[v + 1] += records[v];
        pool->resize(static_cast<size_t>(records[t.nv]));
        chunked(threads, t.nv, kVertexChunk, [&](int64_t c) {
            std::vector<Vec3d> sums;
            for (size_t v = static_cast<size_t>(c) * kVertexChunk;
                 v < std::min(t.nv, (c + 1) * kVertexChunk); ++v) {
                const int32_t n = start[v + 1] - start[v];
                const int32_t r = records[v + 1] - records[v];
                if (n == 0) continue;
                const int32_t* fs = around.data() + start[v];
                const int32_t* g = group.data() + start[v];
                sums.assign(static_cast<size_t>(r), Vec3d{0, 0, 0});
                for (int32_t i = 0; i < n; ++i) {
                    Vec3d& sum = sums[g[i]];
                    sum = {sum.x + raw[fs[i]].x, sum.y + raw[fs[i]].y, sum.z + raw[fs[i]].z};
                }
                for (int32_t k = 0; k < r; ++k) {
                    const Vec3 nn = unit_or_zero(sums[k]);
                    ShadeRecord& rec = (*pool)[records[v] + k];
                    rec.v[0] = nn.x;
                    rec.v[1] = nn.y;
                    rec.v[2] = nn.z;
                }
                for (int32_t i = 0; i < n; ++i) {
                    const auto f = static_cast<size_t>(fs[i]);
                    for (int k = 0; k < 3; ++k)
                        if (vtx[f * 3 + k] == static_cast<int32_t>(v))
                            (*corners)[f * 3 + k] = records[v] + g[i];
                }
            }
        });
    }
    if (running) *running += static_cast<int64_t>(nf);
    if (poll(step, ctx, running ? *running : static_cast<int64_t>(nf))) return -1;
    return 0;
}

}  // namespace

// Normals of large meshes kept from one render to the next while everything they
// were made from stays the same: the block's faces and edge ends, the vertex
// positions, the smoothing flags and angle (compared in full on every use).
struct PreparedNormals {
    const MeshFaceBlock* block = nullptr;
    bool has_material = false;
    uint32_t flags = 0;
    float angle = 0.0f;
    bool faceted = false;
    std::vector<Vec3d> pos;
    std::vector<MeshFace> faces;
    std::vector<int32_t> edge_ends;  // both vertices of every edge
    std::vector<ShadeRecord> pool;
    std::vector<int32_t> corners;
    std::vector<Vec3> normals;
    // The box the vertices grew by the image window, for one matrix and window.
    mutable std::mutex box_lock;
    mutable bool has_box = false;
    mutable Matrix43 box_matrix{};
    mutable double box_window[4] = {0, 0, 0, 0};
    mutable BBox box{};
};

namespace {

constexpr size_t kPreparedFaces = 65536;  // smaller meshes are quicker to prepare again
constexpr size_t kPreparedKeep = 2;
std::mutex g_prepared_lock;
std::vector<std::shared_ptr<const PreparedNormals>> g_prepared;  // most recent first
std::atomic<bool> g_prepared_on{true};
std::atomic<int64_t> g_prepared_reused{0}, g_prepared_kept{0};

// A block whose kept normals no longer fitted: it is kept again only once it is seen
// twice running with the same print, so a mesh that changes every frame is not copied
// every frame.
struct ChangingBlock {
    const MeshFaceBlock* block = nullptr;
    bool faceted = false;
    uint64_t print = 0;
};
constexpr size_t kChangingKeep = 8;
std::vector<ChangingBlock> g_changing;  // under g_prepared_lock, most recent first

// A quick print of what the normals are made from: the sizes, the smoothing settings
// and an even sample of the vertex positions, faces and edge ends. Equal prints only
// decide whether to keep; reuse still compares everything.
uint64_t prepared_print(const MeshFaceBlock* block, const MaterialRecord* m,
                        const std::vector<Vec3d>& pos) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    };
    const size_t sizes[3] = {pos.size(), block->faces.size(), block->edges.size()};
    mix(sizes, sizeof sizes);
    if (m) {
        mix(&m->flags, sizeof m->flags);
        mix(&m->smoothing_angle, sizeof m->smoothing_angle);
    }
    constexpr size_t kSamples = 4096;
    for (size_t i = 0; i < pos.size(); i += std::max<size_t>(1, pos.size() / kSamples))
        mix(&pos[i], sizeof pos[i]);
    for (size_t i = 0; i < block->faces.size(); i += std::max<size_t>(1, block->faces.size() / kSamples))
        mix(block->faces[i].e, sizeof block->faces[i].e);
    for (size_t i = 0; i < block->edges.size(); i += std::max<size_t>(1, block->edges.size() / kSamples))
        mix(block->edges[i].v, sizeof block->edges[i].v);
    return h;
}

// After a miss: whether to keep what is prepared now. A block seen for the first time
// is kept; one whose kept normals no longer fitted is dropped and marked as changing;
// a changing block is kept again when its print repeats.
bool keep_after_miss(const MeshFaceBlock* block, const MaterialRecord* m, bool faceted,
                     const std::vector<Vec3d>& pos, bool had) {
    const uint64_t print = prepared_print(block, m, pos);
    std::shared_ptr<const PreparedNormals> old;  // released after the lock
    std::lock_guard<std::mutex> lock(g_prepared_lock);
    auto mark = std::find_if(g_changing.begin(), g_changing.end(), [&](const ChangingBlock& c) {
        return c.block == block && c.faceted == faceted;
    });
    if (had) {
        for (auto it = g_prepared.begin(); it != g_prepared.end(); ++it)
            if ((*it)->block == block && (*it)->faceted == faceted) {
                old = std::move(*it);
                g_prepared.erase(it);
                break;
            }
    } else if (mark == g_changing.end()) {
        return true;
    } else if (mark->print == print) {
        g_changing.erase(mark);
        return true;
    }
    if (mark != g_changing.end()) g_changing.erase(mark);
    g_changing.insert(g_changing.begin(), ChangingBlock{block, faceted, print});
    if (g_changing.size() > kChangingKeep) g_changing.resize(kChangingKeep);
    return false;
}

// Copies n items from src to dst in chunks over the threads.
template <class T>
void copy_chunked(int32_t threads, const T* src, size_t n, T* dst) {
    constexpr size_t kChunk = 65536;
    chunked(threads, n, kChunk, [&](int64_t c) {
        const size_t a = static_cast<size_t>(c) * kChunk, b = std::min(n, a + kChunk);
        std::copy(src + a, src + b, dst + a);
    });
}

// True when n items at a and b hold the same bytes (compared in chunks over the threads).
bool same_bytes(int32_t threads, const void* a, const void* b, size_t bytes) {
    constexpr size_t kChunk = 1 << 20;
    std::atomic<bool> differ{false};
    chunked(threads, bytes, kChunk, [&](int64_t c) {
        if (differ) return;
        const size_t at = static_cast<size_t>(c) * kChunk, len = std::min(bytes, at + kChunk) - at;
        if (std::memcmp(static_cast<const char*>(a) + at, static_cast<const char*>(b) + at, len) != 0)
            differ = true;
    });
    return !differ;
}

// The kept normals of the block prepared faceted or smooth, when they still fit; *had
// says whether any were kept for it.
std::shared_ptr<const PreparedNormals> find_prepared(const MeshFaceBlock* block,
                                                     const MaterialRecord* m, bool faceted,
                                                     const std::vector<Vec3d>& pos,
                                                     int32_t threads, bool* had) {
    std::shared_ptr<const PreparedNormals> e;
    {
        std::lock_guard<std::mutex> lock(g_prepared_lock);
        for (const auto& k : g_prepared)
            if (k->block == block && k->faceted == faceted) e = k;
    }
    *had = e != nullptr;
    if (!e || e->has_material != (m != nullptr)) return nullptr;
    if (m && (e->flags != m->flags || std::memcmp(&e->angle, &m->smoothing_angle, sizeof e->angle) != 0))
        return nullptr;
    const size_t ne = block->edges.size();
    if (e->pos.size() != pos.size() || e->faces.size() != block->faces.size() ||
        e->edge_ends.size() != ne * 2)
        return nullptr;
    if (!same_bytes(threads, e->pos.data(), pos.data(), pos.size() * sizeof(Vec3d)) ||
        !same_bytes(threads, e->faces.data(), block->faces.data(), e->faces.size() * sizeof(MeshFace)))
        return nullptr;
    std::atomic<bool> differ{false};
    chunked(threads, ne, 65536, [&](int64_t c) {
        for (size_t i = static_cast<size_t>(c) * 65536; i < std::min(ne, (c + 1) * size_t{65536}) && !differ; ++i)
            if (e->edge_ends[i * 2] != block->edges[i].v[0] || e->edge_ends[i * 2 + 1] != block->edges[i].v[1])
                differ = true;
    });
    return differ ? nullptr : e;
}

std::shared_ptr<const PreparedNormals> keep_prepared(const MeshFaceBlock* block, const MaterialRecord* m, bool faceted,
                   const std::vector<Vec3d>& pos, const std::vector<ShadeRecord>& pool,
                   const std::vector<int32_t>& corners, const std::vector<Vec3>& normals,
                   int32_t threads) {
    auto e = std::make_shared<PreparedNormals>();
    e->block = block;
    e->has_material = m != nullptr;
    e->flags = m ? m->flags : 0;
    e->angle = m ? m->smoothing_angle : 0.0f;
    e->faceted = faceted;
    e->pos.resize(pos.size());
    copy_chunked(threads, pos.data(), pos.size(), e->pos.data());
    e->faces.resize(block->faces.size());
    copy_chunked(threads, block->faces.data(), block->faces.size(), e->faces.data());
    const size_t ne = block->edges.size();
    e->edge_ends.resize(ne * 2);
    for (size_t i = 0; i < ne; ++i) {
        e->edge_ends[i * 2] = block->edges[i].v[0];
        e->edge_ends[i * 2 + 1] = block->edges[i].v[1];
    }
    e->pool.resize(pool.size());
    copy_chunked(threads, pool.data(), pool.size(), e->pool.data());
    e->corners.resize(corners.size());
    copy_chunked(threads, corners.data(), corners.size(), e->corners.data());
    e->normals.resize(normals.size());
    copy_chunked(threads, normals.data(), normals.size(), e->normals.data());
    std::shared_ptr<const PreparedNormals> old;  // released after the lock
    std::lock_guard<std::mutex> lock(g_prepared_lock);
    for (auto it = g_prepared.begin(); it != g_prepared.end(); ++it)
        if ((*it)->block == block && (*it)->faceted == faceted) {
            old = std::move(*it);
            g_prepared.erase(it);
            break;
        }
    g_prepared.insert(g_prepared.begin(), e);
    if (g_prepared.size() > kPreparedKeep) g_prepared.resize(kPreparedKeep);
    g_prepared_kept.fetch_add(1, std::memory_order_relaxed);
    return e;
}

}  // namespace

bool render_mesh_window_box(const RenderMesh* mesh, const Matrix43& matrix,
                            const double window[4], BBox* box) {
    const PreparedNormals* e = mesh->prepared.get();
    if (!e) return false;
    std::lock_guard<std::mutex> lock(e->box_lock);
    if (!e->has_box || std::memcmp(&e->box_matrix, &matrix, sizeof matrix) != 0 ||
        std::memcmp(e->box_window, window, sizeof e->box_window) != 0)
        return false;
    *box = e->box;
    return true;
}

void render_mesh_keep_window_box(const RenderMesh* mesh, const Matrix43& matrix,
                                 const double window[4], const BBox& box) {
    const PreparedNormals* e = mesh->prepared.get();
    if (!e) return;
    std::lock_guard<std::mutex> lock(e->box_lock);
    e->has_box = true;
    e->box_matrix = matrix;
    std::memcpy(e->box_window, window, sizeof e->box_window);
    e->box = box;
}

namespace {

void drop_prepared() {
    std::vector<std::shared_ptr<const PreparedNormals>> gone;  // freed after the lock
    std::lock_guard<std::mutex> lock(g_prepared_lock);
    gone.swap(g_prepared);
    g_changing.clear();
}

}  // namespace

void render_mesh_keep_prepared(bool on) {
    g_prepared_on = on;
    if (!on) drop_prepared();
}

void render_release_kept() {
    drop_prepared();
    render_scratch_release();
}

RenderKeptStats render_kept_stats() {
    RenderKeptStats st;
    st.normals_reused = g_prepared_reused.load();
    st.normals_kept = g_prepared_kept.load();
    {
        std::lock_guard<std::mutex> lock(g_prepared_lock);
        st.meshes_kept = static_cast<int32_t>(g_prepared.size());
    }
    st.scratch_bytes = render_scratch_kept_bytes();
    return st;
}

int render_mesh_prepare(const MeshFaceBlock* block, const MaterialRecord* material,
                        std::vector<ShadeRecord>* pool, std::vector<int32_t>* corners,
                        RenderStepFn step, void* step_context, int64_t* running, bool faceted,
                        bool force_angle, const BoundsGrowth* bounds) {
    if (!block || !pool || !corners) return kBadArgument;
    try {
        std::vector<Vec3d> pos(block->vertices.size());
        for (size_t i = 0; i < pos.size(); ++i)
            pos[i] = {block->vertices[i].x, block->vertices[i].y, block->vertices[i].z};
        const Topology t{block, pos.data(), pos.size()};
        const int rc = prepare_core(t, material, pool, corners, nullptr, step, step_context,
                                    running, faceted, force_angle, bounds, 1);
        pool->shrink_to_fit();
        if (rc != 0) {
            pool->clear();
            corners->clear();
        }
        return rc;
    } catch (const std::bad_alloc&) {
        pool->clear();
        corners->clear();
        return kOutOfMemory;
    }
}

int render_mesh_prepare_record(RenderMesh* mesh, RenderStepFn step, void* step_context,
                               int64_t* running, bool faceted, int32_t threads, bool reuse) {
    if (!mesh || !mesh->block) return kBadArgument;
    try {
        const size_t nv = mesh->vertices.size();
        const size_t nf = mesh->triangles.size();
        ScratchVector<Vec3d> pos_keep(nv);
        ScratchVector<int32_t> corners_keep(nf * 3);
        ScratchVector<Vec3> normals_keep(nf);
        std::vector<Vec3d>& pos = *pos_keep;
        std::vector<int32_t>& corners = *corners_keep;
        std::vector<Vec3>& normals = *normals_keep;
        constexpr size_t kChunk = 16384;
        pos.resize(nv);
        chunked(threads, nv, kChunk, [&](int64_t c) {
            for (size_t i = static_cast<size_t>(c) * kChunk; i < std::min(nv, (c + 1) * kChunk); ++i)
                pos[i] = mesh->vertices[i].world;
        });
        const Topology t{mesh->block, pos.data(), pos.size()};
        if (mesh->shade.capacity() == 0) mesh->shade = RenderScratch<ShadeRecord>::take(nv);
        bool keep = reuse && g_prepared_on && mesh->block->faces.size() >= kPreparedFaces &&
                    nf == mesh->block->faces.size();
        bool had = false;
        const auto kept = keep ? find_prepared(mesh->block, mesh->material, faceted, pos, threads, &had)
                               : nullptr;
        if (keep && !kept) keep = keep_after_miss(mesh->block, mesh->material, faceted, pos, had);
        const int32_t* corner_of = nullptr;
        const Vec3* normal_of = nullptr;
        mesh->prepared = kept;
        if (kept) {
            g_prepared_reused.fetch_add(1, std::memory_order_relaxed);
            mesh->shade.resize(kept->pool.size());
            copy_chunked(threads, kept->pool.data(), kept->pool.size(), mesh->shade.data());
            corner_of = kept->corners.data();
            normal_of = kept->normals.data();
            if (running) *running += static_cast<int64_t>(nf);
            if (poll(step, step_context, running ? *running : static_cast<int64_t>(nf))) {
                mesh->shade.clear();
                return -1;
            }
        } else {
            const int rc = prepare_core(t, mesh->material, &mesh->shade, &corners, &normals, step,
                                        step_context, running, faceted, false, nullptr, threads);
            if (rc != 0) {
                mesh->shade.clear();
                return rc;
            }
            if (keep)
                mesh->prepared = keep_prepared(mesh->block, mesh->material, faceted, pos,
                                               mesh->shade, corners, normals, threads);
            corner_of = corners.data();
            normal_of = normals.data();
        }
        chunked(threads, nf, kChunk, [&](int64_t chunk) {
            for (size_t f = static_cast<size_t>(chunk) * kChunk; f < std::min(nf, (chunk + 1) * kChunk);
                 ++f) {
                RenderTriangle& tri = mesh->triangles[f];
                int32_t c[3];
                if (!face_corners(t, f, c) || corner_of[f * 3] < 0) {
                    tri.drawable = 0;
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    tri.corner[k] = c[k];
                    tri.shade[k] = corner_of[f * 3 + k];
                    if (!mesh->vertices[c[k]].finite) tri.drawable = 0;
                }
                tri.normal = normal_of[f];
                const MeshFace& face = mesh->block->faces[f];
                for (int k = 0; k < 3; ++k) tri.edge[k] = face.e[k];
                if (face.e[2] < 0 || face.e[2] >= static_cast<int32_t>(mesh->block->edges.size()))
                    tri.drawable = 0;
            }
        });
        return 0;
    } catch (const std::bad_alloc&) {
        mesh->shade.clear();
        return kOutOfMemory;
    }
}

RenderMesh* render_mesh_create(const MeshFaceBlock* block, const MaterialRecord* material,
                               const Matrix43* move, const MeshFaceBlock* key_a,
                               const MeshFaceBlock* key_b, double blend, int32_t threads) {
    if (!block) return nullptr;
    auto* mesh = new (std::nothrow) RenderMesh();
    if (!mesh) return nullptr;
    try {
        mesh->block = block;
        mesh->material = material;
        mesh->rows = block->rows;
        mesh->columns = block->columns;
        const size_t nv = block->vertices.size();
        mesh->vertices = RenderScratch<RenderVertex>::take(nv);
        mesh->vertices.resize(nv);
        mesh->has_vertex_uv = block->uv.size() >= nv * 2 && nv > 0;
        const bool blended = key_a && key_b && key_a->vertices.size() == nv &&
                             key_b->vertices.size() == nv;
        constexpr size_t kChunk = 16384;
        render_parallel_for(nv >= 4 * kChunk ? threads : 1,
                            static_cast<int64_t>((nv + kChunk - 1) / kChunk), [&](int64_t c) {
            for (size_t i = static_cast<size_t>(c) * kChunk; i < std::min(nv, (c + 1) * kChunk); ++i) {
                const MeshVertex& s = block->vertices[i];
                RenderVertex& d = mesh->vertices[i];
                d.world = {s.x, s.y, s.z};
                if (blended) {
                    const MeshVertex& a = key_a->vertices[i];
                    const MeshVertex& b = key_b->vertices[i];
                    d.world = {a.x * blend + b.x * (1.0 - blend), a.y * blend + b.y * (1.0 - blend),
                               a.z * blend + b.z * (1.0 - blend)};
                }
                if (move) mat_xform_point_d(&d.world, &d.world, move);
                d.finite = vec3_finite_d(d.world);
                if (mesh->has_vertex_uv) {
                    d.u = block->uv[i * 2];
                    d.v = block->uv[i * 2 + 1];
                }
            }
        });
        mesh->triangles = RenderScratch<RenderTriangle>::take(block->faces.size());
        mesh->triangles.resize(block->faces.size());
    } catch (const std::bad_alloc&) {
        delete mesh;
        return nullptr;
    }
    return mesh;
}

int render_mesh_edges(RenderMesh* mesh) {
    if (!mesh || !mesh->edges.empty() || !mesh->block) return 0;
    try {
        mesh->edges.resize(mesh->block->edges.size());
        for (size_t i = 0; i < mesh->edges.size(); ++i) {
            mesh->edges[i].v[0] = mesh->block->edges[i].v[0];
            mesh->edges[i].v[1] = mesh->block->edges[i].v[1];
        }
    } catch (const std::bad_alloc&) {
        mesh->edges.clear();
        return kOutOfMemory;
    }
    return 0;
}

RenderMesh::~RenderMesh() {
    RenderScratch<RenderVertex>::give(std::move(vertices));
    RenderScratch<RenderTriangle>::give(std::move(triangles));
    RenderScratch<ShadeRecord>::give(std::move(shade));
}

void render_mesh_release(RenderMesh** mesh) {
    if (!mesh) return;
    delete *mesh;
    *mesh = nullptr;
}

void render_mesh_list_free(RenderMesh** list) {
    if (!list) return;
    while (*list) {
        RenderMesh* next = (*list)->next;
        delete *list;
        *list = next;
    }
}
