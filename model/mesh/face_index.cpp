// Vertex and edge tables of a face run (declared in face_index.h): linear probing
// over slots holding item indexes, the keys read from the block, deletion by
// shifting back the entries that follow.
#include "model/mesh/face_index.h"

#include <cstring>

namespace {

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

uint64_t vertex_hash(float x, float y, float z) {
    uint32_t w[3];
    const float xyz[3] = {x, y, z};
    std::memcpy(w, xyz, sizeof w);
    return mix((static_cast<uint64_t>(w[0]) << 32 | w[1]) ^ mix(w[2] + 0x9E3779B97F4A7C15ull));
}

uint64_t edge_hash(int32_t a, int32_t c) {
    const auto lo = static_cast<uint32_t>(a < c ? a : c);
    const auto hi = static_cast<uint32_t>(a < c ? c : a);
    return mix(static_cast<uint64_t>(lo) << 32 | hi);
}

bool same_bytes(const MeshVertex& v, float x, float y, float z) {
    const float a[3] = {v.x, v.y, v.z}, b[3] = {x, y, z};
    return std::memcmp(a, b, sizeof a) == 0;
}

bool same_pair(const MeshEdge& e, int32_t a, int32_t c) {
    return (e.v[0] == a && e.v[1] == c) || (e.v[0] == c && e.v[1] == a);
}

uint64_t hash_of_vertex(const MeshFaceBlock& b, int32_t i) {
    const MeshVertex& v = b.vertices[static_cast<size_t>(i)];
    return vertex_hash(v.x, v.y, v.z);
}

uint64_t hash_of_edge(const MeshFaceBlock& b, int32_t i) {
    const MeshEdge& e = b.edges[static_cast<size_t>(i)];
    return edge_hash(e.v[0], e.v[1]);
}

// Slot of the first entry for which `match` holds, or of the empty slot ending the
// probe. The table is never full.
template <class Match>
size_t probe(const std::vector<int32_t>& slots, uint64_t hash, Match match) {
    const size_t mask = slots.size() - 1;
    size_t s = static_cast<size_t>(hash) & mask;
    while (slots[s] != 0 && !match(slots[s] - 1)) s = (s + 1) & mask;
    return s;
}

// Makes room for one more entry (load at most one half), re-entering every item by
// its hash. May throw std::bad_alloc, leaving the table as it was.
template <class Hash>
void reserve_one(std::vector<int32_t>& slots, size_t used, Hash hash_of) {
    if (!slots.empty() && (used + 1) * 2 <= slots.size()) return;
    size_t size = slots.empty() ? 64 : slots.size() * 2;
    while ((used + 1) * 2 > size) size *= 2;
    std::vector<int32_t> grown(size, 0);
    const size_t mask = size - 1;
    for (int32_t item : slots) {
        if (item == 0) continue;
        size_t s = static_cast<size_t>(hash_of(item - 1)) & mask;
        while (grown[s] != 0) s = (s + 1) & mask;
        grown[s] = item;
    }
    slots.swap(grown);
}

template <class Hash>
void erase_slot(std::vector<int32_t>& slots, size_t hole, Hash hash_of) {
    const size_t mask = slots.size() - 1;
    slots[hole] = 0;
    for (size_t j = (hole + 1) & mask; slots[j] != 0; j = (j + 1) & mask) {
        const size_t home = static_cast<size_t>(hash_of(slots[j] - 1)) & mask;
        // The entry at j may move into the hole when its home is not in (hole, j].
        const bool stays = hole < j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (stays) continue;
        slots[hole] = slots[j];
        slots[j] = 0;
        hole = j;
    }
}

}  // namespace

void MeshFaceIndex::reset() {
    block = nullptr;
    vertex_count = edge_count = 0;
    vertices_ = Table{};
    edges_ = Table{};
}

void MeshFaceIndex::sync(const MeshFaceBlock& b) {
    if (block == &b && vertex_count == b.vertices.size() && edge_count == b.edges.size()) return;
    reset();
    block = &b;
    try {
        // In index order, entering only keys not yet in: each key leads to its lowest index.
        for (size_t i = 0; i < b.vertices.size(); ++i) {
            const MeshVertex& v = b.vertices[i];
            if (find_vertex({v.x, v.y, v.z}) < 0) add_vertex(static_cast<int32_t>(i));
        }
        for (size_t e = 0; e < b.edges.size(); ++e) {
            if (find_edge(b.edges[e].v[0], b.edges[e].v[1]) < 0) add_edge(static_cast<int32_t>(e));
        }
    } catch (...) {
        reset();
        throw;
    }
    vertex_count = b.vertices.size();
    edge_count = b.edges.size();
}

int32_t MeshFaceIndex::find_vertex(const Vec3& p) const {
    if (!block || vertices_.slots.empty()) return -1;
    const MeshFaceBlock& b = *block;
    const size_t s = probe(vertices_.slots, vertex_hash(p.x, p.y, p.z),
                           [&](int32_t i) { return same_bytes(b.vertices[static_cast<size_t>(i)], p.x, p.y, p.z); });
    return vertices_.slots[s] - 1;
}

int32_t MeshFaceIndex::find_edge(int32_t a, int32_t c) const {
    if (!block || edges_.slots.empty()) return -1;
    const MeshFaceBlock& b = *block;
    const size_t s = probe(edges_.slots, edge_hash(a, c),
                           [&](int32_t i) { return same_pair(b.edges[static_cast<size_t>(i)], a, c); });
    return edges_.slots[s] - 1;
}

void MeshFaceIndex::add_vertex(int32_t i) {
    const MeshFaceBlock& b = *block;
    reserve_one(vertices_.slots, vertices_.used, [&](int32_t k) { return hash_of_vertex(b, k); });
    const size_t s = probe(vertices_.slots, hash_of_vertex(b, i), [](int32_t) { return false; });
    vertices_.slots[s] = i + 1;
    ++vertices_.used;
}

void MeshFaceIndex::add_edge(int32_t i) {
    const MeshFaceBlock& b = *block;
    reserve_one(edges_.slots, edges_.used, [&](int32_t k) { return hash_of_edge(b, k); });
    const size_t s = probe(edges_.slots, hash_of_edge(b, i), [](int32_t) { return false; });
    edges_.slots[s] = i + 1;
    ++edges_.used;
}

void MeshFaceIndex::remove_vertex(int32_t i) {
    if (!block || vertices_.slots.empty()) return;
    const MeshFaceBlock& b = *block;
    const size_t s = probe(vertices_.slots, hash_of_vertex(b, i), [i](int32_t k) { return k == i; });
    if (vertices_.slots[s] == 0) return;
    erase_slot(vertices_.slots, s, [&](int32_t k) { return hash_of_vertex(b, k); });
    --vertices_.used;
}

void MeshFaceIndex::remove_edge(int32_t i) {
    if (!block || edges_.slots.empty()) return;
    const MeshFaceBlock& b = *block;
    const size_t s = probe(edges_.slots, hash_of_edge(b, i), [i](int32_t k) { return k == i; });
    if (edges_.slots[s] == 0) return;
    erase_slot(edges_.slots, s, [&](int32_t k) { return hash_of_edge(b, k); });
    --edges_.used;
}
