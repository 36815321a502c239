// Natural cubic splines over the chord-length parameter (see spline.h). The
// second derivatives come from the usual tridiagonal system with zero curvature
// at both ends, solved by forward elimination and back substitution.
#include "model/geom/spline.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/math/result.h"
#include "model/math/vec.h"

namespace {

double dist(const Vec3d& a, const Vec3d& b) {
    double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

Vec3d lincomb(const Vec3d& a, double s, const Vec3d& b, double t) {
    return {a.x * s + b.x * t, a.y * s + b.y * t, a.z * s + b.z * t};
}

}  // namespace

int chord_spline_fit(const Vec3d* points, int n, ChordSpline* out) {
    if (!out || !points || n < 1) return kBadArgument;
    try {
        out->t.clear();
        out->p.clear();
        out->m.clear();
        out->t.reserve(n);
        out->p.reserve(n);
        for (int i = 0; i < n; ++i) {
            if (!vec3_finite_d(points[i])) return kBadArgument;
            if (out->p.empty()) {
                out->t.push_back(0.0);
                out->p.push_back(points[i]);
                continue;
            }
            double d = dist(out->p.back(), points[i]);
            if (!(d > 1e-9)) continue;
            out->t.push_back(out->t.back() + d);
            out->p.push_back(points[i]);
        }
        const int k = static_cast<int>(out->p.size());
        out->m.assign(k, Vec3d{0, 0, 0});
        if (k < 3) return 0;
        // Rows 1..k-2: h[i-1]*m[i-1] + 2(h[i-1]+h[i])*m[i] + h[i]*m[i+1] = 6*(slope differences).
        std::vector<double> diag(k, 0.0), upper(k, 0.0);
        std::vector<Vec3d> rhs(k, Vec3d{0, 0, 0});
        const auto& t = out->t;
        const auto& p = out->p;
        for (int i = 1; i < k - 1; ++i) {
            double h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i];
            Vec3d s0 = lincomb(p[i], 1.0 / h0, p[i - 1], -1.0 / h0);
            Vec3d s1 = lincomb(p[i + 1], 1.0 / h1, p[i], -1.0 / h1);
            diag[i] = 2.0 * (h0 + h1);
            upper[i] = h1;
            rhs[i] = lincomb(s1, 6.0, s0, -6.0);
        }
        // Forward elimination (the sub-diagonal of row i is h[i-1]).
        for (int i = 2; i < k - 1; ++i) {
            double lower = t[i] - t[i - 1];
            double f = lower / diag[i - 1];
            diag[i] -= f * upper[i - 1];
            rhs[i] = lincomb(rhs[i], 1.0, rhs[i - 1], -f);
        }
        for (int i = k - 2; i >= 1; --i) {
            Vec3d r = rhs[i];
            if (i + 1 < k - 1) r = lincomb(r, 1.0, out->m[i + 1], -upper[i]);
            out->m[i] = lincomb(r, 1.0 / diag[i], r, 0.0);
        }
    } catch (const std::bad_alloc&) {
        out->t.clear();
        out->p.clear();
        out->m.clear();
        return kOutOfMemory;
    }
    return 0;
}

Vec3d chord_spline_eval(const ChordSpline& s, double u) {
    const int k = static_cast<int>(s.p.size());
    if (k == 0) return {0, 0, 0};
    if (k == 1) return s.p[0];
    const auto& t = s.t;
    // Beyond the ends: along the end tangent.
    if (u <= t[0] || u >= t[k - 1]) {
        int i = u <= t[0] ? 0 : k - 2;
        double h = t[i + 1] - t[i];
        Vec3d slope;
        if (i == 0) {
            // derivative at t0: (p1 - p0)/h - h*(2 m0 + m1)/6
            slope = lincomb(lincomb(s.p[1], 1.0 / h, s.p[0], -1.0 / h), 1.0,
                            lincomb(s.m[0], 2.0, s.m[1], 1.0), -h / 6.0);
            return lincomb(s.p[0], 1.0, slope, u - t[0]);
        }
        // derivative at t(k-1): (p1 - p0)/h + h*(m0 + 2 m1)/6
        slope = lincomb(lincomb(s.p[k - 1], 1.0 / h, s.p[k - 2], -1.0 / h), 1.0,
                        lincomb(s.m[k - 2], 1.0, s.m[k - 1], 2.0), h / 6.0);
        return lincomb(s.p[k - 1], 1.0, slope, u - t[k - 1]);
    }
    int i = static_cast<int>(std::upper_bound(t.begin(), t.end(), u) - t.begin()) - 1;
    i = std::clamp(i, 0, k - 2);
    double h = t[i + 1] - t[i];
    double a = (t[i + 1] - u) / h, b = (u - t[i]) / h;
    double ca = (a * a * a - a) * h * h / 6.0, cb = (b * b * b - b) * h * h / 6.0;
    const Vec3d& p0 = s.p[i];
    const Vec3d& p1 = s.p[i + 1];
    const Vec3d& m0 = s.m[i];
    const Vec3d& m1 = s.m[i + 1];
    return {a * p0.x + b * p1.x + ca * m0.x + cb * m1.x, a * p0.y + b * p1.y + ca * m0.y + cb * m1.y,
            a * p0.z + b * p1.z + ca * m0.z + cb * m1.z};
}
