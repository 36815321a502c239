// Boolean operations on closed triangle meshes: union, intersection and subtraction
// of two MESH3 objects, and the join of several meshes into one.
//
// The inputs are only read. Every call works in a context of its own (no global
// state), so calls on different threads do not meet. Coordinates are model units.
//
// The contract, in short (csg_tolerance.h states it in full, with every threshold and
// why it has its value):
// - Exact. A call first takes both meshes as they are (corners are one vertex only
//   where their float coordinates are equal) and decides every sign exactly on those
//   coordinates (csg_exact.h), ties settled by one symbolic perturbation. Crossings are
//   made once, shared and held exactly; the only rounding is of the crossings to float,
//   as a mesh stores them. Ties in a face's plane (two crossings at one exact point, a
//   corner exactly on the curve) are ordered by the same perturbation. Where faces of
//   both solids lying on each other would both be kept (a sheet of no thickness), where
//   ties or rounding left a result that would be refused as input, or where a curve
//   crosses itself inside a face, the exact cut gives way. A triangle of any height is
//   taken, so every result of this cut is taken again as input.
// - Welded. Only where the exact cut gives way (a tie it cannot order, a solid open or
//   with an edge of three faces, a result that fails its check, solids that only touch
//   over an area) does the call start again with the cut of tolerances: corners closer
//   than kCsgTolerance (0.01) are welded into one, points within it of a plane or an
//   edge count as on it, and triangles too low to give a normal are refused there.
// - Refused. Input that is no solid, with a reason naming the object ("First
//   object: ...", "Second object: ..."): a coordinate that is not finite, a triangle
//   whose corners lie exactly on one line, a closed solid that encloses no volume, a
//   part of a closed solid whose faces cross each other or overlap in one plane deeper
//   than rounding can make, parts of one solid that cross each other when the cut of
//   tolerances cannot take them either. A result whose check fails (not closed, a face
//   without area, faces of the cut of tolerances standing off the input triangles they
//   are pieces of by more than kDepartureLimit of |A| + |B| in volume, a volume the
//   operation cannot give within the rounding to float and that departure) is refused
//   rather than returned. That check, in both cuts, writes each seam vertex of B at the
//   nearest seam vertex of A within kCsgTolerance (in the exact cut they stand at one
//   point, or a few float steps apart).
//
// Result codes of a failed call (CsgStatus::code):
//   42189  input that is no solid, as above ("Unable to perform boolean operation: an
//          object is not a sound solid." and the reason)
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

// The distance below which the cut of tolerances takes two points for one (and the
// reach of the seam join); see csg_tolerance.h.
inline constexpr double kCsgTolerance = 0.01;

inline constexpr int kCsgNoUsableFace = IDS_CSG_NO_USABLE_FACE;

// What a call ended with: 0 and an empty text on success, else one of the codes above
// and the engine's diagnostic (for logs and tests; the user sees the string-table
// message of the code).
struct CsgStatus {
    int code = 0;
    std::string diagnostic;
    // Why the exact cut gave way to the cut of tolerances (empty when it did not):
    // for logs and measurements.
    std::string gave_way;
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

// Shows the message of a failed call's status (its code's text and the engine's
// reason, which names the object for refused input); nothing for success or 42194.
void csg_show_failure(const CsgStatus& status);

// Why a closed mesh is no sound solid, in the words of a refused boolean ("Solid
// encloses no volume", "Solid overlaps itself"), or an empty text for a sound solid
// and for a mesh that is not closed (a surface, not meant as a solid). Shows nothing.
std::string csg_solid_fault(const MESH3* mesh);

// All triangles of the MESH3 objects referenced from `head` on (other objects are
// passed by) in one new mesh: coinciding vertices (within the tolerance) merged,
// triangles without area dropped. Null on failure or when no triangle is left
// (status code kCsgNoUsableFace, not an out-of-memory failure); shows no message.
std::unique_ptr<MESH3> csg_join_meshes(const RefNode* head, CsgStatus* status = nullptr);
// The same over a list of meshes (null entries passed by).
std::unique_ptr<MESH3> csg_join_mesh_list(const std::vector<const MESH3*>& meshes,
                                          CsgStatus* status = nullptr);
