// Boolean operations on closed triangle meshes: union, intersection and subtraction
// of two MESH3 objects, and the join of several meshes into one.
//
// The inputs are only read. Every call works in a context of its own (no global
// state), so calls on different threads do not meet. Coordinates are model units;
// points closer than kCsgTolerance (0.01) count as one.
//
// Result codes of a failed call (CsgStatus::code):
//   42189  degenerate input: a triangle without height, or a coordinate that is not
//          finite ("Unable to perform boolean operation due to unsupported version
//          of object geometry")
//   42191  the geometry could not be resolved: zero normal, ambiguous rays that do
//          not settle, runaway cutting ("CSG: unknown problem...")
//   42194  the user answered No to the dangling-faces question (no message)
//   43807  a join found no triangle worth keeping: every one had corners within the
//          tolerance (kCsgNoUsableFace)
//   8      out of memory
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/db/solid.h"
#include "resources/string_ids.h"

struct RefNode;

inline constexpr int kCsgUnion = 0;
inline constexpr int kCsgIntersection = 1;
inline constexpr int kCsgSubtraction = 2;  // A minus B

inline constexpr double kCsgTolerance = 0.01;

inline constexpr int kCsgNoUsableFace = IDS_CSG_NO_USABLE_FACE;

// What a call ended with: 0 and an empty text on success, else one of the codes above
// and the engine's diagnostic (for logs and tests; the user sees the string-table
// message of the code).
struct CsgStatus {
    int code = 0;
    std::string diagnostic;
};

// The combination of a and b by `operation` (kCsgUnion, kCsgIntersection or
// kCsgSubtraction) as a new mesh with no name and the class's default material, or
// null. On an engine failure the message of its code is shown (msgbox_printf under
// "ERROR"; nothing for 42194) unless `status` is given, which then receives the code
// and no box is shown. Null meshes or an unknown operation give null with code 13.
// Results hold up to two face blocks (the kept parts of B at the head, then of A);
// cut edges are visible (flags 0), edges made by splitting faces are hidden.
std::unique_ptr<MESH3> csg_boolean(const MESH3* a, const MESH3* b, int operation,
                                   CsgStatus* status = nullptr);

// All triangles of the MESH3 objects referenced from `head` on (other objects are
// passed by) in one new mesh: coinciding vertices (within the tolerance) merged,
// triangles without area dropped. Null on failure or when no triangle is left
// (status code kCsgNoUsableFace, not an out-of-memory failure); shows no message.
std::unique_ptr<MESH3> csg_join_meshes(const RefNode* head, CsgStatus* status = nullptr);
// The same over a list of meshes (null entries passed by).
std::unique_ptr<MESH3> csg_join_mesh_list(const std::vector<const MESH3*>& meshes,
                                          CsgStatus* status = nullptr);
