// The boolean engine's contract: what it decides exactly, what it welds and by how
// much, what it refuses and at what threshold, and every tolerance that remains, with
// the reason for its value. The engine's files take these numbers from here; grid
// cell sizes and the error bounds of floating-point filters are no part of the
// contract and are named where they are derived (see the end of this file).
// Private to commands/boolean/; kCsgTolerance, the one public value, is in csg.h.
#pragma once

#include <algorithm>

#include "commands/boolean/csg.h"

namespace csg {

// ---- Exact: the exact cut, tried first (csg_load.cpp, csg_exact.*, csg_corefine.cpp)
//
// A call first takes both meshes as they are: corners are one vertex only where their
// float coordinates are equal (no weld), and a triangle of any height is taken; only
// three corners exactly on one line are refused ("Triangle without area"). Every sign
// (side of a plane, order along a line, orientation of each part of a solid, inside or
// outside) is decided exactly on the float coordinates, ties settled by one symbolic
// perturbation (B moved by an infinitely small step along (1, d, d^2)). Each crossing
// of an edge with a face is made once, shared by every face on it, and held exactly
// (whole numbers over whole numbers); faces are split in their planes by exact tests
// on those points. The one rounding is of the crossings to float, as a mesh stores
// them: crossings that round to one point (or onto a corner of a cut face) become one
// vertex, the pieces between them collapsing, and a piece that rounding leaves flat is
// mended by splitting its neighbour across the long edge. Where the split meets a tie
// it cannot order (two crossings at one exact point, a corner exactly on the curve),
// or a solid is open or has an edge of three faces, or the result check below refuses,
// or the solids only touch over an area, the exact cut gives way to the cut of
// tolerances. The exact cut itself uses no tolerance: the numbers it meets are the
// refusals of unsound input and the result check below, which both cuts share.

// ---- Welded: the cut of tolerances, the fallback (csg_load.cpp, csg_cut.cpp,
// csg_geom.cpp, csg_classify.cpp)
//
// Every decision there is taken in floats, each with a reach of the tolerance.

// Points closer than this are one point: the weld of corners at load (to the nearest
// vertex; a triangle whose corners weld together is dropped), the snap of a curve point
// to a face's corner or onto its edge, the order of segment ends along the line of two
// planes, the overlap of boxes and intervals, the split of a cut edge by the other
// solid's curve point, and the merge of two curve ends. As a distance along a ray it
// decides a hit behind the start and a face the ray starts in. The join of meshes
// (csg_join_mesh_list) welds as this cut loads. A hundredth of a model unit: well
// above float rounding at drawing coordinates (a float step is 0.001 at 10,000 units),
// well below the features drawn.
inline constexpr double kTol = kCsgTolerance;

// A corner of one face counts as lying on the other face's plane when it is closer to it
// than the tolerance times the sine of the planes' angle: its place then lies within the
// tolerance of the line where the planes meet. The plain tolerance let a corner on a
// plane meeting its own at a slant lie up to 0.02 beyond the face being cut.
inline double on_plane_reach(double sine) { return kTol * std::min(1.0, sine); }

// Two ends of the intersection curve (vertices with an odd number of cut edges) closer
// than the tolerance become the older one; closer than this, where their faces meet
// across one edge, one new vertex halfway. A cut across slivers thinner than the
// tolerance can put one curve point in twice, each copy up to a tolerance from the
// point.
inline constexpr double kCurveGapReach = 2 * kTol;

// Refused by the cut of tolerances: a triangle whose smallest height (distance of a
// corner from the line through the other two) is below kMinHeight plus
// kMinHeightPerCoordinate times its largest coordinate ("Height of the tria is zero").
// Its normal would be noise: the cut takes planes from float corners, and a millionth
// of the largest coordinate is four to eight float steps there. The exact cut takes such
// triangles; where it had taken the input, its reason is the one reported.
inline constexpr double kMinHeight = 1e-4;
inline constexpr double kMinHeightPerCoordinate = 1e-6;
inline double min_height(double largest) { return kMinHeight + kMinHeightPerCoordinate * largest; }

// A face lies on a face of the other solid (kept or dropped as a shared face, and not
// cut along it when every corner of each lies within kTol of the other's plane) only
// when their normals agree to this cosine (about 0.8 degrees); a face that merely
// starts in another's plane at an angle looks past it.
inline constexpr double kOnFaceCosine = 0.9999;

// A ray whose direction makes a cosine below this with a face's normal (within about
// 0.57 degrees of the face's plane) runs in that plane: when the face's plane also
// passes within the tolerance of the ray's start, the ray is ambiguous. The same number
// as the tolerance, but a cosine, not a length.
inline constexpr double kGrazingCosine = 0.01;

// An ambiguous ray is turned by this fraction of its length along each axis (either
// way, by the context's seeded generator) and cast again, at most kMaxRecasts times.
inline constexpr double kRayNudge = 0.01;

// ---- Refused: input that is no solid, in both cuts (csg_load.cpp, csg_build.cpp,
// csg_self.cpp)
//
// Each refusal names the object ("First object: ...", "Second object: ...") under code
// 42189: a coordinate that is not finite, a triangle whose corners lie exactly on one
// line (in the cut of tolerances: lower than min_height, above), a closed solid that
// encloses no volume, a part of a closed solid whose faces cross each other or overlap
// in one plane, and parts of one solid that cross each other when the cut of
// tolerances, whose weld may have made them, cannot take them either.

// A closed solid encloses no volume ("Solid encloses no volume": a box of width 0, a
// shell and its reversed copy) when |volume| is at most this times its box's largest
// side cubed: far below what rounding corners to float can take from a solid.
inline constexpr double kNoVolume = 1e-12;

// One step between floats at magnitude x is at most x times this.
inline constexpr double kFloatStep = 0x1p-23;
// Faces of one part that cross ("Solid overlaps itself") by less than this times the
// solid's largest coordinate (four float steps there) beyond an edge of either face are
// taken as the work of rounding corners to float, not as an overlap: the engine's own
// results, whose cut points are rounded so, hold such crossings and are taken again.
inline constexpr double kShallowOverlap = 4 * kFloatStep;
// Faces of one solid that rounding left crossing (a sliver rounded over its neighbour)
// are parted before the exact cut tries again, by moving one of their corners to a float
// at most this many steps away along each axis (csg_corefine.cpp, nudge_folds): the
// crossings are a fraction of a step deep, and two steps is half the allowance within
// which the input check already takes faces crossing as rounding's work, so the solid
// moves within what is taken as rounding's. Four steps at once parted some more folds
// in the campaign's chains at three times the cost, and some otherwise than two steps
// had, which broke cuts two steps had mended.
inline constexpr int kNudgeSteps = 2;
// Where the cut still gives way after those moves, the folds left are parted again by
// moves of at most this many steps: the whole allowance of the input check (a corner
// moved by both passes may stand up to six steps from where it was given). Walls of a thin part
// crossing within a float step (a shifted or near copy's difference, rounded) often need
// more than two steps to part.
inline constexpr int kFarNudgeSteps = 4;

// ---- The result check, in both cuts (csg_verify.cpp)
//
// When both solids are closed, the kept faces are checked before anything is built; a
// result that fails is refused with 42191 rather than returned (and the exact cut gives
// way to the cut of tolerances). Closed (every edge used once each way by vertex
// identity, or in the exact cut twice each way where pieces of a sliver's two walls
// meet on one edge; by the coordinates written, once or twice each way, four faces running
// each way in turn where parts touch along an edge; in the cut of tolerances no two
// corners written at one point that are not one vertex) and no face without area are
// decided exactly; two numbers remain.

// Seam join: each vertex of a used cut edge of B takes as twin the nearest vertex of a
// used cut edge of A within this reach (one at the very point first), and B's faces are
// written at the twin's coordinates, so both solids carry the seam at the same points.
// In the cut of tolerances the two sides' copies of the curve differ by up to the
// tolerance. In the exact cut they are one float point nearly always; where the two
// solids' copies of a crossing rounded apart they are a few float steps apart, and the
// twin moves B's vertex by that much.
inline constexpr double kSeamReach = kTol;

// Departure: in the cut of tolerances each face remembers the input triangle it is a
// piece of; the sum over kept faces of area times the distance of its written corners
// from that plane, beyond four float steps at the largest coordinate, is the volume the
// weld, the corner merges and the seam join moved. Beyond this fraction of |va| + |vb|
// (about what rounding the corners of both inputs to float gives) the result is
// another solid's and is refused ("Result leaves the input surfaces"): the weld thinned
// a sliver away, or curve points snapped across an edge near a contact. Results 1.5e-4
// to 2e-4 of |va| + |vb| off once passed a looser volume check.
inline constexpr double kDepartureLimit = 3e-6;
// The result's volume must lie within what the operation can give from the inputs'
// volumes va and vb (union max(va, vb) to va + vb, intersection 0 to min(va, vb),
// subtraction va - vb to va), give or take the rounding of new points to float (four
// float steps at the largest coordinate times the kept faces' area) and the departure.

// ---- Not part of the contract: named where they are derived
//
// Grid cells (they set how pairs are found, not a distance of the contract): the weld
// grid (kWeldCell, kWeldReach in csg_load.cpp), the face index and the conformance grid
// (csg_cut.cpp), the pair grid of the exact cut (csg_corefine.cpp), the self-overlap
// grid (csg_self.cpp), the seam grid (csg_verify.cpp). Error bounds of the
// floating-point filters in front of exact tests: csg_exact.cpp (kEps, kCoarse) and the
// in-plane orientation of estimated crossings (csg_corefine.cpp).

}  // namespace csg
