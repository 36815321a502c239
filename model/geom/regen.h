// Regeneration of display geometry: the flattened point lists and dashed runs that
// line-work objects keep beside their defining data and report through their walk.
// regen_object is called after any change of an object: creation, editing,
// transformation, loading, a change of line style or pattern scale.
//
// Fields read (model/db/wire.h): WIRE::curve_step is the resolution (radians for
// arcs and ellipses, drawing units for splines), WIRE::second the pattern scale,
// WIRE::points the flattened list, WIRE::strokes the runs (a list of point lists;
// empty when the style has no pattern). TEXT2 values: see text2_* below.
//
// Parameters that come from files are made safe rather than trusted: a resolution
// that is not a finite positive number takes the class default (15 degrees for
// arcs, 5 units for splines); a curve never gets more than kRegenMaxPoints points;
// a dash pattern whose scaled length is not a finite positive number, or that
// would cut a chain into more than kRegenMaxDashes dashes, falls back to a solid
// line (empty runs).
//
// Result codes: 0 success, 1 the dash cutter ran out of memory, 8 out of memory,
// 13 bad argument. On failure an object keeps its previous display geometry.
// Not reentrant: text regeneration sets the size of the font it draws with.
#pragma once

#include "model/math/plist.h"
#include "model/math/types.h"

class object;
class LINEPATT;
class XPLINE;
class ELARC;
class TEXT2;
class CAMERA;

inline constexpr int kRegenMaxPoints = 65536;   // points of one flattened curve
inline constexpr int kRegenMaxDashes = 250000;  // dashes of one chain

// Rebuilds the display geometry of an object by class (containers: every child in
// ring order, stopping at the first error). On success the object's box is
// recomputed and its model marked modified. Null object: 0.
[[nodiscard]] int regen_object(object* obj);

// Cuts a chain of vertices (in list order) into dashes of the style scaled by
// `scale`; *runs receives one point list whose dash ends carry kPointMoveNext.
// No pattern, fewer than two elements or a degenerate pattern: 0 with empty runs.
// 0, or 1 when out of memory (runs freed). *runs is overwritten, not freed.
[[nodiscard]] int wire_apply_dashes(const LINEPATT* pattern, double scale, PtrNode** runs,
                                    const PointNode* vertices);

// Flattens a spline polyline into xpline->points (a natural cubic spline over the
// chord length, sampled every `step` units, the last control vertex exact) and
// dashes it into *runs (overwritten). 0, 8.
[[nodiscard]] int xpline_regen_spline(const LINEPATT* pattern, PtrNode** runs, XPLINE* xpline,
                                      double step);

// Flattens a whole ellipse or elliptical arc in its local frame (centre at its own
// place, first axis along +X): xelarc->points and dashed runs. *angle receives the
// turn that wire_lists_to_plane applies about +Z, *normal the plane normal
// (unnormalised). 0, 8 (nothing to draw), 13 null object.
[[nodiscard]] int elarc_regen_ellipse(const LINEPATT* pattern, ELARC* elarc, double* angle,
                                      Vec3d* normal);
// Flattens a circular arc in place (points and runs in model space). 0, 8, 13.
[[nodiscard]] int elarc_regen_arc(const LINEPATT* pattern, ELARC* elarc, Vec3d* normal);

// The angle by which the frame of mat_align_z(normal) must turn about its normal
// so that +X points at the arc's first axis point (0 when that point lies within
// 1e-6 of the frame's x axis). regen uses the negated value.
double elarc_plane_transform(const ELARC* elarc, const Vec3d& normal);

// Builds the stroke runs of a text in its own plane (z = 0, base point at its x and
// y). No font or no text: 0 with empty runs. 0, 8, 13 (null), or the first error of
// a character.
[[nodiscard]] int text2_regen_strokes(TEXT2* text);

// Updates a camera's derived values (up and side vectors, keyed lens channels).
// Always 0.
int camera_regen(CAMERA* camera);

// Carries a flattened list and runs made in a local x-y frame into model space:
// every point gets z = base.z, is turned by `angle` about +Z through the base point
// (when the angle is not 0) and then tilted so that +Z becomes `normal`, about the
// base point.
void wire_lists_to_plane(const Vec3d& normal, const Vec3& base, double angle, PointNode* flat,
                         PtrNode* runs);

// TEXT2's stored values as regeneration and transformation read them:
// layout[0] character width, layout[1] character height (model units),
// layout[2] direction angle, layout[3] slant angle (radians, 0 upright),
// pairs[0..2] the plane normal (all zero: +Z).
Vec3d text2_normal(const TEXT2& text);
void text2_set_normal(TEXT2& text, const Vec3d& normal);
inline constexpr int kText2Width = 0;
inline constexpr int kText2Height = 1;
inline constexpr int kText2Direction = 2;
inline constexpr int kText2Slant = 3;
