// Lookup tables of one free face block for a run of mesh_add_face calls: vertices by
// their 12 coordinate bytes and edges by their unordered vertex pair, each leading to
// the lowest index with that key (what a scan from the start of the block finds).
//
// Open-addressing tables of indexes into the block (the keys are read from the block
// itself), so the memory is two int32 slots per vertex and per edge at most four
// times over. Hold one MeshFaceIndex for one run over one mesh; it rebuilds itself
// from the block when it meets another block or sizes it did not make. Call reset()
// after anything moved the block's vertices or changed its edges (transforms, file
// reading, booleans) before using it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/db/solid.h"
#include "model/math/types.h"

struct MeshFaceIndex {
    const MeshFaceBlock* block = nullptr;  // the block the tables describe; not owned
    size_t vertex_count = 0;               // its sizes when the tables were last brought up to date
    size_t edge_count = 0;

    void reset();
    // Brings the tables to `b`: kept when it is the same block with the sizes last
    // seen, else rebuilt from it. May throw std::bad_alloc (the index is then reset).
    void sync(const MeshFaceBlock& b);

    // Lowest vertex of the block with the coordinate bytes of p, or -1.
    int32_t find_vertex(const Vec3& p) const;
    // Lowest edge joining a and c in either direction, or -1.
    int32_t find_edge(int32_t a, int32_t c) const;
    // Enters the block's vertex or edge i, which must be new to the table. May throw
    // std::bad_alloc (the table is unchanged).
    void add_vertex(int32_t i);
    void add_edge(int32_t i);
    // Takes the block's vertex or edge i out (nothing when it is not in).
    void remove_vertex(int32_t i);
    void remove_edge(int32_t i);

    size_t vertex_entries() const { return vertices_.used; }
    size_t edge_entries() const { return edges_.used; }

  private:
    struct Table {
        std::vector<int32_t> slots;  // item index + 1, 0 empty; size a power of two
        size_t used = 0;
    };
    Table vertices_, edges_;
};
