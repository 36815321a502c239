// Exact sign tests: a filtered floating-point estimate first, then exact expansion
// arithmetic (sums of non-overlapping doubles, smallest first) when the estimate is
// too close to zero to trust.
#include "commands/boolean/csg_exact.h"

#include <cmath>
#include <limits>
#include <vector>

namespace csg {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon() / 2;  // unit roundoff

// An exact real number as a sum of non-overlapping doubles of rising magnitude.
struct Expansion {
    std::vector<double> c;

    static Expansion of(double x) {
        Expansion e;
        if (x != 0) e.c.push_back(x);
        return e;
    }
    // Adds b exactly (the components stay non-overlapping and rising; zeros go).
    void grow(double b) {
        size_t out = 0;
        double q = b;
        for (double e : c) {
            const double s = q + e;
            const double bv = s - q;
            const double err = (q - (s - bv)) + (e - bv);
            q = s;
            if (err != 0) c[out++] = err;
        }
        c.resize(out);
        if (q != 0) c.push_back(q);
    }
    int sign() const { return c.empty() ? 0 : (c.back() > 0 ? 1 : -1); }
};

Expansion operator+(Expansion a, const Expansion& b) {
    for (double x : b.c) a.grow(x);
    return a;
}

Expansion operator-(Expansion a, const Expansion& b) {
    for (double x : b.c) a.grow(-x);
    return a;
}

Expansion operator*(const Expansion& a, const Expansion& b) {
    Expansion r;
    for (double x : a.c) {
        for (double y : b.c) {
            const double p = x * y;
            r.grow(std::fma(x, y, -p));
            r.grow(p);
        }
    }
    return r;
}

Expansion diff(double a, double b) {
    Expansion e = Expansion::of(a);
    e.grow(-b);
    return e;
}

int sign_of(double x) {
    return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

}  // namespace

int orient3d(const double* a, const double* b, const double* c, const double* d) {
    // det[a - d, b - d, c - d] is the negative of the sign we give.
    const double adx = a[0] - d[0], bdx = b[0] - d[0], cdx = c[0] - d[0];
    const double ady = a[1] - d[1], bdy = b[1] - d[1], cdy = c[1] - d[1];
    const double adz = a[2] - d[2], bdz = b[2] - d[2], cdz = c[2] - d[2];
    const double bc = bdx * cdy, cb = cdx * bdy;
    const double ca = cdx * ady, ac = adx * cdy;
    const double ab = adx * bdy, ba = bdx * ady;
    const double det = adz * (bc - cb) + bdz * (ca - ac) + cdz * (ab - ba);
    const double permanent = (std::fabs(bc) + std::fabs(cb)) * std::fabs(adz) +
                             (std::fabs(ca) + std::fabs(ac)) * std::fabs(bdz) +
                             (std::fabs(ab) + std::fabs(ba)) * std::fabs(cdz);
    const double bound = (7.0 + 56.0 * kEps) * kEps * permanent;
    if (det > bound) return -1;
    if (-det > bound) return 1;
    const Expansion ex[3] = {diff(a[0], d[0]), diff(b[0], d[0]), diff(c[0], d[0])};
    const Expansion ey[3] = {diff(a[1], d[1]), diff(b[1], d[1]), diff(c[1], d[1])};
    const Expansion ez[3] = {diff(a[2], d[2]), diff(b[2], d[2]), diff(c[2], d[2])};
    const Expansion exact = ez[0] * (ex[1] * ey[2] - ex[2] * ey[1]) + ez[1] * (ex[2] * ey[0] - ex[0] * ey[2]) +
                            ez[2] * (ex[0] * ey[1] - ex[1] * ey[0]);
    return -exact.sign();
}

int cross2d(const double* a, const double* b, const double* c, const double* d) {
    const double ux = a[0] - b[0], uy = a[1] - b[1], vx = c[0] - d[0], vy = c[1] - d[1];
    const double l = ux * vy, r = uy * vx;
    const double det = l - r;
    const double bound = (4.0 + 32.0 * kEps) * kEps * (std::fabs(l) + std::fabs(r));
    if (std::fabs(det) > bound) return sign_of(det);
    return (diff(a[0], b[0]) * diff(c[1], d[1]) - diff(a[1], b[1]) * diff(c[0], d[0])).sign();
}

int orient2d(const double* a, const double* b, const double* c) {
    return cross2d(b, a, c, a);
}

}  // namespace csg
