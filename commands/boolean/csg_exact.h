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

// The in-plane tests below take doubles with error bounds first and the whole numbers
// only where a bound does not settle the sign; `rational::` holds the same tests
// without the double stage (the moved ones on reduced fractions), to check them by.

// orient2d of three exact points in the coordinates ax, ay (in that order).
int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay);
// Sign of (w - s) . (e - s) in the coordinates ax, ay.
int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay);
// Sign of a[k] - b[k].
int compare(const ExactPoint& a, const ExactPoint& b, int k);

// How a point moves under the tie-break, B moved by eps * (1, d, d^2): it stands at
// p + eps * m(d), each coordinate of m a polynomial in d of degree 2 (c[k][j] is the
// coefficient of d^j in coordinate k) over the positive whole number den. Every point
// of the cut moves that way exactly: a corner of A stands still, a corner of B moves
// by the step, and a crossing slides along its edge as the plane or the edge moves.
struct Motion {
    mpz_class c[3][3];
    mpz_class den = 1;
};

// A corner of A (still) or of B (moving by the step).
Motion corner_motion(bool moves);
// The crossing of segment p-q with the plane of a, b, c: when the segment moves (an edge
// of B through a face of A) it slides by t - (n.t / n.u) u, else (the plane moves) by
// (n.t / n.u) u, for the plane's normal n, the segment's direction u and t = (1, d, d^2).
Motion crossing_motion(const double* a, const double* b, const double* c, const double* p, const double* q,
                       bool segment_moves);

// The tests above for moving points, where the exact sign is 0: the sign of the eps term
// (a polynomial in d, by rising powers), then of the eps^2 term. 0 only where the points
// stay in line (or at one place, or at one coordinate) however they move.
int orient2d_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb,
                   const ExactPoint& c, const Motion& mc, int ax, int ay);
int dot2d_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me,
                const ExactPoint& w, const Motion& mw, int ax, int ay);
int compare_moved(const Motion& ma, const Motion& mb, int k);

namespace rational {
int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay);
int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay);
int compare(const ExactPoint& a, const ExactPoint& b, int k);
int orient2d_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb,
                   const ExactPoint& c, const Motion& mc, int ax, int ay);
int dot2d_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me,
                const ExactPoint& w, const Motion& mw, int ax, int ay);
int compare_moved(const Motion& ma, const Motion& mb, int k);
}  // namespace rational

}  // namespace csg
