// Sign tests on double coordinates that are never wrong: a floating-point estimate
// with a bound on its rounding error, and where the bound does not settle the sign,
// the same expression evaluated exactly as a sum of non-overlapping doubles.
// Private to commands/boolean/.
#pragma once

#include <gmpxx.h>

namespace csg {

// Sign (+1, 0, -1) of ((b - a) x (c - a)) . (d - a): positive when d lies on the side
// the normal of the counter-clockwise triangle a, b, c points to.
int orient3d(const double* a, const double* b, const double* c, const double* d);

// Sign of (b - a) x (c - a) for 2D points: positive when a, b, c turn left.
int orient2d(const double* a, const double* b, const double* c);

// Sign of (a - b) x (c - d) for 2D points.
int cross2d(const double* a, const double* b, const double* c, const double* d);

// A point of a cut held exactly: n / d with d > 0, in units of 2^-149 (every float is
// a whole multiple of it, so a corner and the crossing of an edge with a plane are
// whole numbers over whole numbers).
struct ExactPoint {
    mpz_class n[3];
    mpz_class d;
};

// A corner given by float coordinates.
ExactPoint exact_corner(const double* p);
// The crossing of segment p-q with the plane of a, b, c (all float coordinates; p and q
// not strictly on one side of the plane).
ExactPoint exact_crossing(const double* a, const double* b, const double* c, const double* p, const double* q);
// An estimate x of that crossing; returns a bound on |x[k] - exact[k]| for every k.
double crossing_estimate(const double* a, const double* b, const double* c, const double* p, const double* q,
                         double x[3]);

// orient2d of three exact points in the coordinates ax, ay (in that order).
int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay);
// Sign of (w - s) . (e - s) in the coordinates ax, ay.
int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay);
// Sign of a[k] - b[k].
int compare(const ExactPoint& a, const ExactPoint& b, int k);

}  // namespace csg
