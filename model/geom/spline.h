// Natural cubic splines through points over their chord-length parameter, the
// curve of spline polylines and of spline resampling of vertex chains.
//
// The parameter of point i is the running sum of the distances between
// consecutive points (model units). Points closer than 1e-9 to the previous
// one add no knot (they lie on the curve already). Outside the knot range the
// curve continues along its end tangents.
#pragma once

#include <vector>

#include "model/math/types.h"

struct ChordSpline {
    std::vector<double> t;      // knot parameters, ascending, t[0] = 0
    std::vector<Vec3d> p;       // knot points
    std::vector<Vec3d> m;       // second derivatives at the knots (0 at both ends)
    double length() const { return t.empty() ? 0.0 : t.back(); }
};

// Fits the spline through n points. 0; 13 for n < 1 or a non-finite point;
// 8 when out of memory.
[[nodiscard]] int chord_spline_fit(const Vec3d* points, int n, ChordSpline* out);

// The point at parameter u (u outside 0..length extrapolates along the end
// tangents). The spline must have been fitted.
Vec3d chord_spline_eval(const ChordSpline& s, double u);
