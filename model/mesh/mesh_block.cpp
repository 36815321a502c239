// Face blocks of a MESH3: block chain upkeep, triangles with shared edges, grid
// layout and single faces with vertex merging (declared in mesh_block.h).
#include "model/mesh/mesh_block.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/mesh/face_index.h"
#include "model/mesh/grid_builders.h"
#include "model/services/log.h"

namespace {

// Key of an unordered vertex pair, as the hash of mesh_add_triangle spreads it.
uint32_t edge_bucket(int32_t a, int32_t b, size_t bucket_count) {
    const int64_t lo = a < b ? a : b;
    const int64_t hi = a < b ? b : a;
    return static_cast<uint32_t>(static_cast<uint64_t>(hi + 4 * lo) % bucket_count);
}

bool same_edge(const MeshEdge& e, int32_t a, int32_t b) {
    return (e.v[0] == a && e.v[1] == b) || (e.v[0] == b && e.v[1] == a);
}

// The edge a-b of the block, or -1.
int32_t find_edge(const MeshFaceBlock& block, int32_t a, int32_t b, const MeshEdgeHash* hash) {
    if (hash && !hash->buckets.empty()) {
        // Entries beyond the block's edges (a hash made for another block) end the chain.
        int32_t k = hash->buckets[edge_bucket(a, b, hash->buckets.size())];
        while (k > 0 && static_cast<size_t>(k) <= block.edges.size() &&
               static_cast<size_t>(k) <= hash->next.size()) {
            const int32_t e = k - 1;
            if (same_edge(block.edges[e], a, b)) return e;
            k = hash->next[e];
        }
        return -1;
    }
    for (size_t e = 0; e < block.edges.size(); ++e) {
        if (same_edge(block.edges[e], a, b)) return static_cast<int32_t>(e);
    }
    return -1;
}

// Appends edge a-b (flags 0) and enters it in the hash. May throw std::bad_alloc.
int32_t append_edge(MeshFaceBlock& block, int32_t a, int32_t b, MeshEdgeHash* hash) {
    const auto e = static_cast<int32_t>(block.edges.size());
    if (hash && !hash->buckets.empty()) {
        hash->next.resize(static_cast<size_t>(e) + 1);
        block.edges.push_back(MeshEdge{{a, b}, 0});
        int32_t& head = hash->buckets[edge_bucket(a, b, hash->buckets.size())];
        hash->next[e] = head;
        head = e + 1;
    } else {
        block.edges.push_back(MeshEdge{{a, b}, 0});
    }
    return e;
}

// Index of the vertex whose coordinate bytes equal p, appending it when new.
// May throw std::bad_alloc.
int32_t merge_vertex(MeshFaceBlock& block, const Vec3& p) {
    const float xyz[3] = {p.x, p.y, p.z};
    for (size_t i = 0; i < block.vertices.size(); ++i) {
        const MeshVertex& v = block.vertices[i];
        const float w[3] = {v.x, v.y, v.z};
        if (std::memcmp(xyz, w, sizeof xyz) == 0) return static_cast<int32_t>(i);
    }
    block.vertices.push_back(MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}});
    return static_cast<int32_t>(block.vertices.size() - 1);
}

bool distinct3(int32_t a, int32_t b, int32_t c) {
    return a != b && b != c && a != c;
}

bool is_grid(const MeshFaceBlock& b) {
    return b.rows != 0 && b.columns != 0;
}

}  // namespace

bool mesh_grid_fits(int64_t points_per_row, int64_t rows) {
    if (points_per_row < 1 || rows < 1) return false;
    if (points_per_row <= kMeshMaxGridVertices / rows) return true;
    log_message(LogLevel::warning, "mesh grid of %lld x %lld points refused (limit %d)",
                static_cast<long long>(points_per_row), static_cast<long long>(rows),
                kMeshMaxGridVertices);
    return false;
}

int mesh_edge_hash_init(MeshEdgeHash* hash, const MeshFaceBlock* block, int32_t bucket_count) {
    if (!hash) return kBadArgument;
    hash->buckets.clear();
    hash->next.clear();
    try {
        hash->buckets.assign(bucket_count > 0 ? static_cast<size_t>(bucket_count) : 1u, 0);
        if (block) {
            hash->next.assign(block->edges.size(), 0);
            for (size_t e = 0; e < block->edges.size(); ++e) {
                const MeshEdge& ed = block->edges[e];
                int32_t& head = hash->buckets[edge_bucket(ed.v[0], ed.v[1], hash->buckets.size())];
                hash->next[e] = head;
                head = static_cast<int32_t>(e) + 1;
            }
        }
    } catch (const std::bad_alloc&) {
        hash->buckets.clear();
        hash->next.clear();
        return kOutOfMemory;
    }
    return 0;
}

int32_t mesh_find_drawn_edge(const MeshFaceBlock& block, int32_t a, int32_t b,
                             const MeshEdgeHash& hash) {
    if (hash.buckets.empty()) return -1;
    // A bucket's chain runs from the newest edge to the oldest: the last match wins.
    int32_t first = -1, drawn = -1;
    int32_t k = hash.buckets[edge_bucket(a, b, hash.buckets.size())];
    while (k > 0 && static_cast<size_t>(k) <= block.edges.size() &&
           static_cast<size_t>(k) <= hash.next.size()) {
        const int32_t e = k - 1;
        if (same_edge(block.edges[e], a, b)) {
            first = e;
            if (!(block.edges[e].flags & kEdgeHidden)) drawn = e;
        }
        k = hash.next[e];
    }
    return drawn >= 0 ? drawn : first;
}

MeshFaceBlock* mesh_face_block(MESH3* mesh, int find_room) {
    if (!mesh) return nullptr;
    if (find_room) {
        for (MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
            if (b->vertices.empty() || !is_grid(*b)) return b;
        }
    }
    auto* b = new (std::nothrow) MeshFaceBlock();
    if (!b) return nullptr;
    b->next = mesh->blocks;
    mesh->blocks = b;
    return b;
}

void mesh_drop_block(MESH3* mesh, MeshFaceBlock* block) {
    if (!mesh || !block) return;
    for (MeshFaceBlock** link = &mesh->blocks; *link; link = &(*link)->next) {
        if (*link == block) {
            *link = block->next;
            delete block;
            return;
        }
    }
}

void mesh_blocks_free(MeshFaceBlock* first) {
    while (first) {
        MeshFaceBlock* next = first->next;
        delete first;
        first = next;
    }
}

int mesh_add_triangle(MeshFaceBlock* block, int32_t a, int32_t b, int32_t c, MeshEdgeHash* hash) {
    if (!block) return kBadArgument;
    const auto nv = static_cast<int64_t>(block->vertices.size());
    for (int32_t v : {a, b, c}) {
        if (v < 0 || v >= nv) return kBadArgument;
    }
    const size_t old_edges = block->edges.size();
    const size_t old_next = hash ? hash->next.size() : 0;
    try {
        const int32_t ends[4] = {a, b, c, a};
        MeshFace f{{0, 0, 0}, 0};
        for (int i = 0; i < 3; ++i) {
            int32_t e = find_edge(*block, ends[i], ends[i + 1], hash);
            if (e < 0) e = append_edge(*block, ends[i], ends[i + 1], hash);
            f.e[i] = e;
        }
        block->faces.push_back(f);
    } catch (const std::bad_alloc&) {
        // Take the new edges back out of the hash chains, newest first.
        if (hash && !hash->buckets.empty()) {
            for (size_t e = block->edges.size(); e-- > old_edges;) {
                const MeshEdge& ed = block->edges[e];
                int32_t& head = hash->buckets[edge_bucket(ed.v[0], ed.v[1], hash->buckets.size())];
                if (head == static_cast<int32_t>(e) + 1) head = hash->next[e];
            }
            hash->next.resize(old_next);
        }
        block->edges.resize(old_edges);
        return kOutOfMemory;
    }
    return 0;
}

int mesh_grid_build(MeshFaceBlock* block, int32_t points, int32_t row_count, bool closed_columns,
                    bool closed_rows) {
    if (!block || points < 1 || row_count < 1) return kBadArgument;
    if (static_cast<int64_t>(points) * row_count != static_cast<int64_t>(block->vertices.size()))
        return kBadArgument;
    const bool wrap_c = closed_columns && points >= 3;
    const bool wrap_r = closed_rows && row_count >= 3;
    const int64_t W = points;
    const int64_t C = wrap_c ? W : W - 1;
    const int64_t S = wrap_r ? row_count : row_count - 1;  // row steps
    const int64_t edge_count = C + S * (3 * C + 1);
    const int64_t face_count = 2 * C * S;
    if (edge_count > INT32_MAX || face_count > INT32_MAX) return kBadArgument;

    std::vector<MeshEdge> edges;
    std::vector<MeshFace> faces;
    try {
        edges.reserve(static_cast<size_t>(edge_count));
        faces.reserve(static_cast<size_t>(face_count));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    auto vtx = [W](int64_t row, int64_t i) { return static_cast<int32_t>(row * W + i % W); };
    auto edge = [&edges](int32_t a, int32_t b, uint16_t flags) {
        edges.push_back(MeshEdge{{a, b}, flags});
        return static_cast<int32_t>(edges.size() - 1);
    };
    for (int64_t i = 0; i < C; ++i) edge(vtx(0, i), vtx(0, i + 1), 0);
    int64_t along_a = 0;  // first edge along row A; successive ones step by `along_step`
    int64_t along_step = 1;
    for (int64_t s = 1; s <= S; ++s) {
        const int64_t A = s - 1;
        const int64_t B = s % row_count;
        const int64_t base = static_cast<int64_t>(edges.size());
        for (int64_t i = 0; i < C; ++i) {
            edge(vtx(B, i), vtx(A, i), 0);
            edge(vtx(B, i), vtx(B, i + 1), 0);
            edge(vtx(B, i + 1), vtx(A, i), kEdgeHidden);
        }
        edge(vtx(B, C), vtx(A, C), 0);
        for (int64_t i = 0; i < C; ++i) {
            const auto between = static_cast<int32_t>(base + 3 * i);
            const auto between_next = static_cast<int32_t>(base + 3 * (i + 1));
            const auto along_b = static_cast<int32_t>(base + 3 * i + 1);
            const auto diagonal = static_cast<int32_t>(base + 3 * i + 2);
            const auto along = static_cast<int32_t>(along_a + along_step * i);
            faces.push_back(MeshFace{{between, along_b, diagonal}, 0});
            faces.push_back(MeshFace{{diagonal, between_next, along}, 0});
        }
        along_a = base + 1;
        along_step = 3;
    }
    block->rows = static_cast<int32_t>(S);
    block->columns = static_cast<int32_t>(C);
    block->edges.swap(edges);
    block->faces.swap(faces);
    return 0;
}

int mesh_add_grid(MESH3* mesh, const std::vector<Vec3d>& points, int32_t points_per_row,
                  int32_t row_count, bool closed_columns, bool closed_rows) {
    if (!mesh || !mesh_grid_fits(points_per_row, row_count)) return kBadArgument;
    if (int64_t{points_per_row} * row_count != static_cast<int64_t>(points.size()))
        return kBadArgument;
    for (const Vec3d& p : points) {
        // Stored as floats: beyond their range a coordinate is as bad as NaN.
        if (!(std::fabs(p.x) <= FLT_MAX && std::fabs(p.y) <= FLT_MAX && std::fabs(p.z) <= FLT_MAX))
            return kBadArgument;
    }
    MeshFaceBlock* block = mesh_face_block(mesh, 0);
    if (!block) return kOutOfMemory;
    try {
        block->vertices.resize(points.size());
    } catch (const std::bad_alloc&) {
        mesh_drop_block(mesh, block);
        return kOutOfMemory;
    }
    for (size_t i = 0; i < points.size(); ++i) {
        block->vertices[i] = MeshVertex{static_cast<float>(points[i].x),
                                        static_cast<float>(points[i].y),
                                        static_cast<float>(points[i].z),
                                        {0, 0, 0, 0, 0, 0}};
    }
    const int r = mesh_grid_build(block, points_per_row, row_count, closed_columns, closed_rows);
    if (r != 0) mesh_drop_block(mesh, block);
    return r;
}

namespace {

// The vertex and edge lookups of one mesh_add_face call, through the index or by a
// scan of the block, with a record of the edge flags it changed so a failed face can
// be undone.
class FaceEditor {
  public:
    FaceEditor(MeshFaceBlock& block, MeshFaceIndex* index) : block_(block), index_(index) {}

    // Index of the vertex whose coordinate bytes equal p, appending it when new.
    int32_t vertex(const Vec3& p) {
        if (!index_) return merge_vertex(block_, p);
        const int32_t found = index_->find_vertex(p);
        if (found >= 0) return found;
        const auto next = static_cast<int32_t>(block_.vertices.size());
        block_.vertices.push_back(MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}});
        index_->add_vertex(next);
        index_->vertex_count = block_.vertices.size();
        return next;
    }

    int32_t find_edge(int32_t a, int32_t b) const {
        return index_ ? index_->find_edge(a, b) : ::find_edge(block_, a, b, nullptr);
    }

    // Appends the face (a, b, c) with shared edges, as mesh_add_triangle does.
    void triangle(int32_t a, int32_t b, int32_t c) {
        if (!index_) {
            if (mesh_add_triangle(&block_, a, b, c) != 0) throw std::bad_alloc();
            return;
        }
        const int32_t ends[4] = {a, b, c, a};
        MeshFace f{{0, 0, 0}, 0};
        for (int i = 0; i < 3; ++i) {
            int32_t e = find_edge(ends[i], ends[i + 1]);
            if (e < 0) {
                e = static_cast<int32_t>(block_.edges.size());
                block_.edges.push_back(MeshEdge{{ends[i], ends[i + 1]}, 0});
                index_->add_edge(e);
                index_->edge_count = block_.edges.size();
            }
            f.e[i] = e;
        }
        block_.faces.push_back(f);
    }

    void set_flags(int32_t e, uint16_t flags) {
        if (block_.edges[e].flags == flags) return;
        changed_.push_back({e, block_.edges[e].flags});
        block_.edges[e].flags = flags;
    }

    // Puts the block (and the index) back to the given sizes and the old flags.
    void undo(size_t vertices, size_t edges, size_t faces) {
        for (auto it = changed_.rbegin(); it != changed_.rend(); ++it)
            if (static_cast<size_t>(it->first) < edges) block_.edges[it->first].flags = it->second;
        if (index_) {
            // Entries of the vertices and edges made by this call, newest first.
            for (size_t v = block_.vertices.size(); v-- > vertices;) index_->remove_vertex(static_cast<int32_t>(v));
            for (size_t e = block_.edges.size(); e-- > edges;) index_->remove_edge(static_cast<int32_t>(e));
        }
        block_.vertices.resize(vertices);
        block_.edges.resize(edges);
        block_.faces.resize(faces);
        if (index_) {
            index_->vertex_count = vertices;
            index_->edge_count = edges;
        }
    }

  private:
    MeshFaceBlock& block_;
    MeshFaceIndex* index_;
    std::vector<std::pair<int32_t, uint16_t>> changed_;
};

}  // namespace

int mesh_add_face(MESH3* mesh, const Vec3* p1, const Vec3* p2, const Vec3* p3, const Vec3* p4,
                  int split, MeshFaceIndex* index) {
    if (!mesh || !p1 || !p2 || !p3) return kBadArgument;
    for (const Vec3* p : {p1, p2, p3, p4}) {
        if (p && !vec3_finite(*p)) return kBadArgument;
    }
    if (split && p4) return mesh_add_grid_patch(mesh, p1, p2, p3, p4, 1, 1);

    MeshFaceBlock* block = nullptr;
    for (MeshFaceBlock* b = mesh->blocks; b && !block; b = b->next) {
        if (!is_grid(*b)) block = b;
    }
    const bool made = block == nullptr;
    if (made && !(block = mesh_face_block(mesh, 0))) return kOutOfMemory;

    const size_t old_vertices = block->vertices.size();
    const size_t old_edges = block->edges.size();
    const size_t old_faces = block->faces.size();
    FaceEditor ed(*block, index);
    try {
        if (index) index->sync(*block);
        const int32_t i1 = ed.vertex(*p1);
        const int32_t i2 = ed.vertex(*p2);
        const int32_t i3 = ed.vertex(*p3);
        const int32_t i4 = p4 ? ed.vertex(*p4) : -1;
        const bool first = distinct3(i1, i2, i3);
        const bool second = p4 && distinct3(i1, i3, i4);
        // The diagonal p1-p3 is hidden only when both halves exist and it is new.
        const bool hide_diagonal = first && second && ed.find_edge(i1, i3) < 0;
        auto show = [&](int32_t a, int32_t b) {
            const int32_t e = ed.find_edge(a, b);
            if (e >= 0) ed.set_flags(e, static_cast<uint16_t>(block->edges[e].flags & ~kEdgeHidden));
        };
        if (first) ed.triangle(i1, i2, i3);
        if (second) ed.triangle(i1, i3, i4);
        if (first) {
            show(i1, i2);
            show(i2, i3);
        }
        if (second) {
            show(i3, i4);
            show(i4, i1);
        }
        if (first != second) show(i1, i3);
        if (hide_diagonal) {
            const int32_t e = ed.find_edge(i1, i3);
            ed.set_flags(e, static_cast<uint16_t>(block->edges[e].flags | kEdgeHidden));
        }
        if (!first && !second) ed.undo(old_vertices, old_edges, old_faces);  // nothing to keep
    } catch (const std::bad_alloc&) {
        try {
            ed.undo(old_vertices, old_edges, old_faces);
        } catch (...) {
            if (index) index->reset();
        }
        if (made) {
            if (index) index->reset();
            mesh_drop_block(mesh, block);
        }
        return kOutOfMemory;
    }
    if (made && block->faces.empty()) {
        if (index && index->block == block) index->reset();
        mesh_drop_block(mesh, block);
    }
    return 0;
}
