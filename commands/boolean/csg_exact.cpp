// Exact sign tests: a filtered floating-point estimate first, then exact expansion
// arithmetic (sums of non-overlapping doubles, smallest first) when the estimate is
// too close to zero to trust.
#include "commands/boolean/csg_exact.h"

#include <algorithm>
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

// ((b - a) x (c - a)) . (p - a) estimated in double, with a bound on its error.
double plane_estimate(const double* a, const double* b, const double* c, const double* p, double* bound) {
    const double adx = a[0] - p[0], bdx = b[0] - p[0], cdx = c[0] - p[0];
    const double ady = a[1] - p[1], bdy = b[1] - p[1], cdy = c[1] - p[1];
    const double adz = a[2] - p[2], bdz = b[2] - p[2], cdz = c[2] - p[2];
    const double bc = bdx * cdy, cb = cdx * bdy;
    const double ca = cdx * ady, ac = adx * cdy;
    const double ab = adx * bdy, ba = bdx * ady;
    const double det = adz * (bc - cb) + bdz * (ca - ac) + cdz * (ab - ba);
    const double permanent = (std::fabs(bc) + std::fabs(cb)) * std::fabs(adz) +
                             (std::fabs(ca) + std::fabs(ac)) * std::fabs(bdz) +
                             (std::fabs(ab) + std::fabs(ba)) * std::fabs(cdz);
    *bound = (7.0 + 56.0 * kEps) * kEps * permanent;
    return -det;
}

}  // namespace

int orient3d(const double* a, const double* b, const double* c, const double* d) {
    double bound;
    const double v = plane_estimate(a, b, c, d, &bound);
    if (v > bound) return 1;
    if (-v > bound) return -1;
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

namespace {

mpz_class whole(double x) {
    mpz_class z;
    mpz_set_d(z.get_mpz_t(), std::ldexp(x, 149));
    return z;
}

// ((b - a) x (c - a)) . (p - a) in whole units.
mpz_class plane_value(const mpz_class a[3], const mpz_class b[3], const mpz_class c[3], const mpz_class p[3]) {
    const mpz_class u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const mpz_class v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const mpz_class w[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    return (u[1] * v[2] - u[2] * v[1]) * w[0] + (u[2] * v[0] - u[0] * v[2]) * w[1] + (u[0] * v[1] - u[1] * v[0]) * w[2];
}

int sign_z(const mpz_class& z) {
    const int s = mpz_sgn(z.get_mpz_t());
    return s > 0 ? 1 : (s < 0 ? -1 : 0);
}

}  // namespace

ExactPoint exact_corner(const double* p) {
    ExactPoint x;
    for (int k = 0; k < 3; ++k) x.n[k] = whole(p[k]);
    x.d = 1;
    return x;
}

ExactPoint exact_crossing(const double* a, const double* b, const double* c, const double* p, const double* q) {
    mpz_class za[3], zb[3], zc[3], zp[3], zq[3];
    for (int k = 0; k < 3; ++k) za[k] = whole(a[k]), zb[k] = whole(b[k]), zc[k] = whole(c[k]), zp[k] = whole(p[k]), zq[k] = whole(q[k]);
    mpz_class dp = plane_value(za, zb, zc, zp), dq = plane_value(za, zb, zc, zq);
    ExactPoint x;
    x.d = dp - dq;
    if (sign_z(x.d) == 0) {  // both on the plane: the middle, as the estimate takes it
        x.d = 2;
        for (int k = 0; k < 3; ++k) x.n[k] = zp[k] + zq[k];
        return x;
    }
    if (sign_z(x.d) < 0) {
        x.d = -x.d;
        dp = -dp;
        dq = -dq;
    }
    for (int k = 0; k < 3; ++k) x.n[k] = dp * zq[k] - dq * zp[k];
    return x;
}

double crossing_estimate(const double* a, const double* b, const double* c, const double* p, const double* q,
                         double x[3]) {
    double bp, bq;
    double dp = plane_estimate(a, b, c, p, &bp), dq = plane_estimate(a, b, c, q, &bq);
    // Relative errors of the two values; where the estimate is too coarse (a corner
    // nearly on the plane) the value is taken from its exact form.
    constexpr double kCoarse = 1e-8;
    double rp = std::fabs(dp) > 0 ? bp / std::fabs(dp) : 1, rq = std::fabs(dq) > 0 ? bq / std::fabs(dq) : 1;
    if (rp > kCoarse || rq > kCoarse) {
        mpz_class za[3], zb[3], zc[3], zp[3], zq[3];
        for (int k = 0; k < 3; ++k)
            za[k] = whole(a[k]), zb[k] = whole(b[k]), zc[k] = whole(c[k]), zp[k] = whole(p[k]), zq[k] = whole(q[k]);
        dp = plane_value(za, zb, zc, zp).get_d();
        dq = plane_value(za, zb, zc, zq).get_d();
        rp = rq = 4 * kEps;  // truncated to double; any scale is the same for t
    }
    double t = 0.5, rt = 0;
    if (dp != dq) {
        t = std::clamp(dp / (dp - dq), 0.0, 1.0);
        rt = rp + std::max(rp, rq) + 4 * kEps;
    }
    double size = 0;
    for (int k = 0; k < 3; ++k) {
        x[k] = p[k] + (q[k] - p[k]) * t;
        size = std::max(size, std::fabs(p[k]) + std::fabs(q[k]));
    }
    return size * (2 * rt + 8 * kEps);
}

int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay) {
    const mpz_class det = a.n[ax] * (b.n[ay] * c.d - c.n[ay] * b.d) - b.n[ax] * (a.n[ay] * c.d - c.n[ay] * a.d) +
                          c.n[ax] * (a.n[ay] * b.d - b.n[ay] * a.d);
    return sign_z(det);
}

int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay) {
    mpz_class sum = 0;
    for (int k : {ax, ay}) sum += (w.n[k] * s.d - s.n[k] * w.d) * (e.n[k] * s.d - s.n[k] * e.d);
    return sign_z(sum);
}

int compare(const ExactPoint& a, const ExactPoint& b, int k) {
    return sign_z(mpz_class(a.n[k] * b.d - b.n[k] * a.d));
}

Motion corner_motion(bool moves) {
    Motion m;
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) m.c[k][j] = moves && j == k ? 1 : 0;
    return m;
}

Motion crossing_motion(const double* a, const double* b, const double* c, const double* p, const double* q,
                       bool segment_moves) {
    mpz_class za[3], zb[3], zc[3], u[3];
    for (int k = 0; k < 3; ++k) za[k] = whole(a[k]), zb[k] = whole(b[k]), zc[k] = whole(c[k]), u[k] = whole(q[k]) - whole(p[k]);
    const mpz_class e[3] = {zb[0] - za[0], zb[1] - za[1], zb[2] - za[2]};
    const mpz_class f[3] = {zc[0] - za[0], zc[1] - za[1], zc[2] - za[2]};
    const mpz_class n[3] = {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
    mpz_class nu = n[0] * u[0] + n[1] * u[1] + n[2] * u[2];
    Motion m;
    if (sign_z(nu) == 0) return corner_motion(false);  // a segment in the plane: never a crossing
    const int flip = sign_z(nu);
    if (flip < 0) nu = -nu;
    m.den = nu;
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) {
            mpz_class v = flip * n[j] * u[k];
            m.c[k][j] = segment_moves ? mpz_class((j == k ? nu : mpz_class(0)) - v) : v;
        }
    return m;
}

namespace {

// A polynomial in d with rational coefficients, lowest power first.
using Poly = std::vector<mpq_class>;

Poly poly_of(const Motion& m, int k) {
    Poly r(3);
    for (int j = 0; j < 3; ++j) {
        r[size_t(j)] = mpq_class(m.c[k][j], m.den);
        r[size_t(j)].canonicalize();
    }
    return r;
}

Poly operator-(const Poly& a, const Poly& b) {
    Poly r(std::max(a.size(), b.size()));
    for (size_t i = 0; i < r.size(); ++i) r[i] = (i < a.size() ? a[i] : 0) - (i < b.size() ? b[i] : 0);
    return r;
}

Poly operator+(const Poly& a, const Poly& b) {
    Poly r(std::max(a.size(), b.size()));
    for (size_t i = 0; i < r.size(); ++i) r[i] = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
    return r;
}

Poly operator*(const Poly& a, const Poly& b) {
    Poly r(a.size() + b.size() - 1);
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) r[i + j] += a[i] * b[j];
    return r;
}

Poly constant(const ExactPoint& x, int k) {
    mpq_class v(x.n[k], x.d);
    v.canonicalize();
    return Poly{v};
}

// The sign of the first non-zero coefficient.
int sign_rising(const Poly& p) {
    for (const mpq_class& v : p)
        if (const int s = sgn(v)) return s > 0 ? 1 : -1;
    return 0;
}

// A point of the plane coordinates ax, ay: place (constant) and motion (eps term).
struct Moving {
    Poly x0, y0, x1, y1;
};

Moving moving(const ExactPoint& p, const Motion& m, int ax, int ay) {
    return {constant(p, ax), constant(p, ay), poly_of(m, ax), poly_of(m, ay)};
}

// The eps and eps^2 terms of u0 (x) v0 + ... for u = u0 + eps u1, v = v0 + eps v1,
// where (x) is the 2D cross or dot product; signed by rising powers, the eps term first.
template <class Product>
int moved_sign(const Moving& u, const Moving& v, Product product) {
    const Poly first = product(u.x0, u.y0, v.x1, v.y1) + product(u.x1, u.y1, v.x0, v.y0);
    if (const int s = sign_rising(first)) return s;
    return sign_rising(product(u.x1, u.y1, v.x1, v.y1));
}

Moving minus(const Moving& a, const Moving& b) {
    return {a.x0 - b.x0, a.y0 - b.y0, a.x1 - b.x1, a.y1 - b.y1};
}

}  // namespace

int orient2d_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb,
                   const ExactPoint& c, const Motion& mc, int ax, int ay) {
    const Moving pa = moving(a, ma, ax, ay);
    const Moving u = minus(moving(b, mb, ax, ay), pa), v = minus(moving(c, mc, ax, ay), pa);
    return moved_sign(u, v, [](const Poly& ux, const Poly& uy, const Poly& vx, const Poly& vy) {
        return ux * vy - uy * vx;
    });
}

int dot2d_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me,
                const ExactPoint& w, const Motion& mw, int ax, int ay) {
    const Moving ps = moving(s, ms, ax, ay);
    const Moving u = minus(moving(w, mw, ax, ay), ps), v = minus(moving(e, me, ax, ay), ps);
    return moved_sign(u, v, [](const Poly& ux, const Poly& uy, const Poly& vx, const Poly& vy) {
        return ux * vx + uy * vy;
    });
}

int compare_moved(const Motion& ma, const Motion& mb, int k) {
    return sign_rising(poly_of(ma, k) - poly_of(mb, k));
}

}  // namespace csg
