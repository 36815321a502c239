// Planar contour toolkit of the 3D text builder: closed contours whose vertices live
// in the caller's vertex array, with their bounding box and turning sense, insetting
// into another ring of vertices, crossing tests, merging a hole into its outer
// contour through a bridge, and ear clipping that hands each triangle with its
// edge-visibility bits to a caller's routine.
//
// Geometry is in the x-y plane (z is carried along), in doubles. Vertex indices of
// the entries are relative to a ring base that the operations add. Results: 0 done,
// 1 (inset: the contour turned inside out; cross: a crossing), 8 out of memory, 34
// (set inset: a flipped contour, a crossing, or a position that is not finite).
#pragma once

#include <cstdint>
#include <vector>

// An inset the contours cannot take: it turns a contour inside out, makes two cross or
// gives a position that is not finite (for 3D text, a chamfer too large for a letter).
inline constexpr int kContourInsetFolds = 34;

// Reads (mode 0) or writes (mode 1) vertex `index` of `vertices` as x, y, z.
using ContourVertexIo = void (*)(void* vertices, int32_t index, double xyz[3], int mode);

// Entry flags: the edge from an entry to the next is a bridge edge when the first
// carries kBridgeFrom and the second kBridgeTo. Flagged entries are never chosen as
// the end of a further bridge.
inline constexpr uint16_t kBridgeFrom = 1;
inline constexpr uint16_t kBridgeTo = 2;

struct ContourEntry {
    int32_t vertex = 0;  // relative to the ring base
    uint16_t flags = 0;
};

struct ContourRecord {
    int32_t count = 0;                  // entries in use (entries.size())
    std::vector<ContourEntry> entries;  // the contour's vertices in order
    int32_t clockwise = 1;              // 1 clockwise (negative area), 0 not; 2 used as an outer
    double box_min[3] = {0, 0, 0};
    double box_max[3] = {0, 0, 0};
    int32_t first = 0;  // the contour's own vertex range first..last
    int32_t last = -1;
    void* vertices = nullptr;
    ContourVertexIo vertex_io = nullptr;
};

using ContourSet = std::vector<ContourRecord>;

// count = last - first + 1 entries first..last with flags 0; clockwise 1. 8 when the
// entries cannot be allocated (count 0 then), else 0.
[[nodiscard]] int contour_init_range(ContourRecord* rec, ContourVertexIo io, void* vertices,
                                     int32_t first, int32_t last);
// Frees the entries; count 0 (the range stays).
void contour_free(ContourRecord* rec);
void contour_set_free(ContourSet* set);

// Box and turning sense of the range first..last read at `base`: the box's z is the
// first vertex's; clockwise when twice the signed area (sum of x_prev y - x y_prev)
// is negative. A record with first >= last is left unchanged.
void contour_update_box(ContourRecord* rec, int32_t base);

// Writes the range first..last, inset by `d` (positive: into the material of an
// outer contour, away from a hole's inside) and lifted by `z_shift`, into the ring at
// `base`, reading the ring's current positions (all read before any is written). A
// vertex moves along the bisector of its two edges by d / sin(half angle), the half
// angle held to at least 0.15 rad; a coincident neighbour is skipped for the next
// distinct one, a spike moves along its edge's normal. Then the record's box is
// updated from the ring. 1 when the inset turned the contour inside out (its turning
// sense flipped, or an edge runs against its original direction), 2 when a position
// came out not finite, 8 when out of memory (nothing written), else 0. An outer's
// mark 2 is kept when it did not turn.
[[nodiscard]] int contour_inset(ContourRecord* rec, int32_t base, double d, double z_shift);

// contour_inset of every record, then the crossing test of each with itself and
// with every later one. 34 at the first flip, non-finite position or crossing, 8 when
// out of memory, else 0.
// Pairs marked in `crossed` (n x n, row i column j >= i, from contour_set_crossings
// before insetting) crossed already in the font's own outline and are not counted.
[[nodiscard]] int contour_set_inset(ContourSet* set, int32_t base, double d, double z_shift,
                                    const std::vector<char>* crossed = nullptr);
// The pairs of records (i <= j) whose ranges cross at `base`. Throws std::bad_alloc.
std::vector<char> contour_set_crossings(const ContourSet& set, int32_t base);

// 1 when a segment of a's range crosses a segment of b's range (both read at
// `base`); pairs sharing a vertex are skipped when a and b are the same record. A
// segment starting exactly on the other's line, and parallel segments, do not cross;
// one ending on it does. Throws std::bad_alloc.
int contours_cross(const ContourRecord& a, const ContourRecord& b, int32_t base);

// Merges `hole` into `outer`'s entry list through the closest pair of unflagged
// entries (distance above 0, read at base 0): hole 0..i, outer j..end, outer 0..j,
// hole i..end, with the bridge flags on the four bridge-end copies. The hole record
// is not freed. 8 when out of memory (outer unchanged), else 0.
[[nodiscard]] int contour_bridge_hole(ContourRecord* outer, const ContourRecord& hole);

// A triangle: face index, vertices (ring base added) and edge bits (1 a-b, 2 b-c,
// 4 c-a visible).
using ContourFaceFn = void (*)(void* context, int32_t face, int32_t a, int32_t b, int32_t c, int bits);

// Ear clipping of the entry list into count - 2 triangles, *face_counter growing by
// one per triangle. At base 0 (front face) a triangle goes out as (pred, ear, succ),
// at any other base as (pred, succ, ear) (back face, opposite winding). `tolerance`
// is the convexity and inside threshold (1e-6 for unit-sized contours). 8 when out
// of memory, else 0. A contour of fewer than three entries gives nothing.
[[nodiscard]] int contour_triangulate(void* context, int32_t* face_counter,
                                      const ContourRecord& rec, ContourFaceFn face, int32_t base,
                                      double tolerance = 1e-6);

double vec3d_dist(const double a[3], const double b[3]);
