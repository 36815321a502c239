// The flat polygon's mesh: fill triangles (three-node point lists; bit 31 of a node's
// flags marks the edge to the next node as an inner diagonal, drawn hidden) turned
// into one face block, points within 1e-6 on every axis sharing one vertex (the lowest
// index among them).
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "model/db/solid.h"
#include "model/math/plist.h"

// Lists of fewer than three points are passed over; *out stays null without any
// triangle. 0, 8 or 13 (a point not finite).
[[nodiscard]] int flat_polygon_mesh(const PtrNode* triangles, std::unique_ptr<MESH3>* out);

// Vertex lookup by nearness: points within 1e-6 on every axis (vec3_near) find the
// lowest index entered among them, through a grid of 1e-6 cells probing the 27 cells
// around a point.
class NearPointIndex {
  public:
    // Index of the first point entered near p, or -1.
    int32_t find(const Vec3& p) const;
    // Enters p as the next index; returns it. May throw std::bad_alloc.
    int32_t add(const Vec3& p);
    size_t size() const { return points_.size(); }

  private:
    struct Cell {
        long long x, y, z;
        bool operator==(const Cell&) const = default;
    };
    struct CellHash {
        size_t operator()(const Cell& c) const noexcept;
    };
    static Cell cell_of(const Vec3& p);
    std::vector<Vec3> points_;
    std::vector<int32_t> next_;                          // next index in the same cell, -1 at the end
    std::unordered_map<Cell, int32_t, CellHash> heads_;  // newest index of each cell
};
