// Sign tests on double coordinates that are never wrong: a floating-point estimate
// with a bound on its rounding error, and where the bound does not settle the sign,
// the same expression evaluated exactly as a sum of non-overlapping doubles.
// Private to commands/boolean/.
#pragma once

namespace csg {

// Sign (+1, 0, -1) of ((b - a) x (c - a)) . (d - a): positive when d lies on the side
// the normal of the counter-clockwise triangle a, b, c points to.
int orient3d(const double* a, const double* b, const double* c, const double* d);

// Sign of (b - a) x (c - a) for 2D points: positive when a, b, c turn left.
int orient2d(const double* a, const double* b, const double* c);

// Sign of (a - b) x (c - d) for 2D points.
int cross2d(const double* a, const double* b, const double* c, const double* d);

}  // namespace csg
