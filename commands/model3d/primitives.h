// Geometry of the primitive solids, apart from any window or input: box corners in a
// view's frame, the profile chains of spheres, domes, dishes, tori and cones, and the
// meshes made from them. The commands (primitive_commands.cpp) only ask the points and
// hand the results to the drawing.
//
// Points are drawing coordinates (millimetres, floats) unless a name says "view".
// Results are the engine's codes: 0 done, 8 out of memory, 13 bad argument. A mesh
// handed back through a unique_ptr is owned by the caller until it goes into a
// drawing; on failure the pointer is left null.
#pragma once

#include <memory>
#include <vector>

#include "model/db/solid.h"
#include "model/math/types.h"

struct ViewProjection;
struct Draw3DSettings;

// Box faces by bit of "BoxFaces": 16 back (depth side), 32 front, 4 left, 8 right,
// 2 bottom, 1 top. Built in that order.
inline constexpr int kBoxAllFaces = 63;

// The eight corners P0..P7 of a box whose front lower-left corner is `corner`: P1 = P0
// + (w, 0, 0), P2 = P0 + (w, h, 0), P3 = P0 + (0, h, 0) and P4..P7 = P0..P3 + (0, 0, d)
// along the view's x, y and depth axes, brought back to drawing coordinates.
void box_corners(const ViewProjection& vp, const Vec3& corner, double w, double h, double d,
                 Vec3 out[8]);

// A negative size (typed) runs the other way from the corner: the corner moves to the
// box's low end on that view axis and the size turns positive, so the same box is
// built with its faces pointing outward and each face bit on its named side.
void box_normalise(const ViewProjection& vp, Vec3* corner, double size[3]);

// A new mesh with one 2 x 2 grid patch for each face bit of `box_faces`. With no face
// bit set, 0 and *out null (nothing to build). 8 or 13 (non-finite corners).
[[nodiscard]] int box_mesh(const Vec3 corners[8], int box_faces, std::unique_ptr<MESH3>* out);

// Sizes typed at the box's width step: commas count as blanks, then one to three
// locale-free reals, each times 25.4 when `inches`. Returns how many were read (1..3),
// 0 for unreadable text or any value that is not finite (sizes untouched).
int box_parse_sizes(const char* text, bool inches, double sizes[3]);

// The differences a - b of the two points' view coordinates, each truncated to an
// integer (held to the int range; 0 for a value not finite), for rubber bands drawn
// in view units.
void view_ref_deltas(const ViewProjection& vp, const Vec3& a, const Vec3& b, int* dy, int* dx, int* dz);

// A segment count from the settings as the revolved solids use it: below 4 gives 3;
// above `limit` gives `limit`.
int solid_segments(int count, int limit = 4096);

// Profile chains turned about one axis into one mesh.
struct RevolveProfiles {
    std::vector<std::vector<Vec3>> chains;  // in build order; the first makes the mesh
    Vec3 axis_a{}, axis_b{};                // axis from a towards b
    double angle = 6.283185307179586;      // total turn, radians
    double start = 0.0;                    // start angle, radians
};

// Sphere (ring radius 0, "Sphere" 0, 1 dome, 2 dish) or torus (ring > 0) about
// `centre`, turning about the view direction. The dome's cap runs from the centre out
// and the dish's from the rim in, so cap and bowl meet edge to edge. 13 for radii not
// finite, a radius not above 0 or a negative ring radius.
[[nodiscard]] int sphere_profiles(const ViewProjection& vp, const Vec3& centre, double ring,
                                  double radius, const Draw3DSettings& s, RevolveProfiles* out);

// Cone from `top` to the base centre `base` with base radius `rb` and top radius `rt`
// ("Cone" 1 makes the top a point, 2 uses rb at the top): side, then the base cap
// (Tops bit 0), then the top cap (Tops bit 1, never on a pointed top). 13 for
// coincident ends (in the view frame) or radii not finite or negative.
[[nodiscard]] int cone_profiles(const ViewProjection& vp, const Vec3& top, const Vec3& base,
                                double rb, double rt, const Draw3DSettings& s,
                                RevolveProfiles* out);

// Revolves every chain (by the profiles' angle from their start, `steps` steps) into one new mesh. Chains of fewer
// than two points are passed over. 8, 13 (from mesh_revolve), or 0 with *out set.
[[nodiscard]] int revolve_profiles_mesh(const RevolveProfiles& p, int steps,
                                        std::unique_ptr<MESH3>* out);
