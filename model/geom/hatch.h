// Hatch fill: the solid-fill triangles and the pattern lines of a HATCH, built in
// the plane of its contours.
//
// HATCH fields (model/db/wire.h): contours[0] the outer contours, contours[1] the
// inner ones (islands), contours[2] and contours[3] the fill triangles of each set,
// strokes the pattern's line runs, values[0] the pattern scale, values[1] the
// pattern angle (radians), pattern the HATCHPATT or null (solid).
//
// A fill triangle is a three-node point list a, b, c; bit 31 (kPointInnerDiagonal)
// of a node's flags is set when the edge from that node to the next is an inner
// diagonal of the triangulation, clear when it lies on the contour.
//
// Robustness: every contour is triangulated on its own by ear clipping (the ear
// with the shortest diagonal first); a contour that crosses itself fails with 6,
// one without a plane with 13. Pattern families whose lines would be parallel to
// their offset, or denser than one hatch may draw (kHatchMaxLines lines over all
// its families), are left out; a family whose dashes would be too short or too
// many (kHatchMaxDashes over all families) gets continuous lines; a pattern scale
// that is not finite draws no lines. On any failure the hatch keeps its previous
// triangles and runs.
#pragma once

#include <cstdint>

#include "model/math/plist.h"
#include "model/math/types.h"

class HATCH;
class HATCHPATT;

inline constexpr uint32_t kPointInnerDiagonal = 1u << 31;
inline constexpr int kHatchMaxLines = 100000;   // lines of one hatch
inline constexpr int kHatchMaxDashes = 500000;  // dashes of one hatch
inline constexpr int kHatchSelfCrossing = 6;    // a contour crosses itself

// Rebuilds the hatch's fill (and pattern lines). 0 without outer contours;
// otherwise hatch_fill under the wait cursor. 0, 6 (kHatchSelfCrossing), 8, 13.
[[nodiscard]] int hatch_regen(HATCH* hatch, Vec3d* plane);
// The work of hatch_regen; *plane receives the normal of the first outer contour.
[[nodiscard]] int hatch_fill(HATCH* hatch, Vec3d* plane);

// Triangulates one closed ring of `points` nodes by ear clipping; the triangles
// are prepended to *out as three-node rings. 0; 1 no plane (zero normal) or an ear
// off the plane; 2 no ear found (the ring crosses itself); 3 out of memory.
inline constexpr int kEarClipNoPlane = 1;
inline constexpr int kEarClipNoEar = 2;
inline constexpr int kEarClipOutOfMemory = 3;
[[nodiscard]] int contour_ear_clip(const PointNode* ring, int points, PtrNode** out);

// Layout of one family of a pattern over the extent [x0, x1] x [y0, y1] of the
// plane frame: line j runs from start + j*offset to start + j*offset + m*pattern.
struct HatchFamilyLayout {
    Vec3d direction;  // unit direction of the lines
    Vec3d start;      // start of the first line
    Vec3d pattern;    // one pattern length along the line
    Vec3d offset;     // from one line to the next
    long long m = 0;  // pattern lengths per line
    long long k = 0;  // number of lines
};
// 0 with the layout; 13 when the family cannot be laid out (offset zero or
// parallel to the lines, non-finite values, more than kHatchMaxLines lines).
[[nodiscard]] int hatchpatt_family_lines(const HATCHPATT* pattern, double angle, double scale,
                                         int family, double x0, double y0, double x1, double y1,
                                         HatchFamilyLayout* out);

// Closes every point list of a contour set into a ring, dropping points closer
// than 0.001 to their predecessor; contours_open opens rings again.
void contours_clean(PtrNode* contours);
void contours_open(PtrNode* contours);
