// Geometry of the spiral command apart from any window: the path of the spiral's
// centre line and the tube circle swept along it. The spiral's axis is the view's x
// axis; the path starts at the tube circle's centre.
//
// Points are drawing coordinates (millimetres, floats). Results are the engine's codes:
// 0 done, 8 out of memory, 13 bad argument (nothing handed back).
#pragma once

#include <memory>
#include <vector>

#include "model/math/types.h"

struct ViewProjection;

// The spiral's centre line about `centre` with radius `radius`, advancing `step` along
// the view's x axis per turn, "FacesM" = `m` points per turn and `rounds` turns: for
// i below n = int(rounds * m), view x = C.x + i * step / m and angle t = i * 2 pi / m
// (negated when `negative`), y = C.y + R cos t, z = C.z - R sin t; then a last point at
// rounds * step and rounds * 2 pi. 13 when a value is not finite, m is below 1 or
// rounds * m is negative, not finite or above kChainMaxSegments (path untouched).
[[nodiscard]] int spiral_path(const ViewProjection& vp, const Vec3& centre, double step,
                              double radius, double rounds, int m, bool negative,
                              std::vector<Vec3>* path);

// The tube circle: radius `tube` in the view plane about view point (C.x, C.y + R, C.z),
// `n` segments from angle 0 to 2 pi (n + 1 points, the last repeating the first).
// 13 for non-finite values or n out of the arc range; 8 out of memory.
[[nodiscard]] int spiral_tube(const ViewProjection& vp, const Vec3& centre, double radius,
                              double tube, int n, std::vector<Vec3>* circle);

class MESH3;

// Sweeps the closed `circle` (without or with its repeated last point) along `path`
// into one new mesh, the profile placed at the path's first point and turned to its
// first segment. 13 for fewer than two path points or three circle points; the mesh
// builder's codes otherwise. On failure *out is null.
[[nodiscard]] int spiral_mesh(const std::vector<Vec3>& circle, const std::vector<Vec3>& path,
                              std::unique_ptr<MESH3>* out);
