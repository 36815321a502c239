// Exact sign tests: a filtered floating-point estimate first, then exact expansion
// arithmetic (sums of non-overlapping doubles, smallest first) when the estimate is
// too close to zero to trust.
#include "commands/boolean/csg_exact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace csg {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon() / 2;  // unit roundoff

// An exact real number as a sum of non-overlapping doubles of rising magnitude, held
// in place: the determinants here never need more than kMax components (each grow adds
// at most one: a difference has 2, a product of two differences 8, a 2x2 determinant
// 16, a row of the 3x3 one 64, the whole 192), and a sign test allocates nothing.
struct Expansion {
    static constexpr int kMax = 192;
    int n = 0;
    double c[kMax];

    Expansion() = default;
    Expansion(const Expansion& o) : n(o.n) { std::copy(o.c, o.c + o.n, c); }
    Expansion& operator=(const Expansion& o) {
        n = o.n;
        std::copy(o.c, o.c + o.n, c);
        return *this;
    }

    static Expansion of(double x) {
        Expansion e;
        if (x != 0) e.c[e.n++] = x;
        return e;
    }
    // Adds b exactly (the components stay non-overlapping and rising; zeros go).
    void grow(double b) {
        int out = 0;
        double q = b;
        for (int i = 0; i < n; ++i) {
            const double e = c[i];
            const double s = q + e;
            const double bv = s - q;
            const double err = (q - (s - bv)) + (e - bv);
            q = s;
            if (err != 0) c[out++] = err;
        }
        n = out;
        if (q != 0) c[n++] = q;
    }
    int sign() const { return n == 0 ? 0 : (c[n - 1] > 0 ? 1 : -1); }
};

Expansion operator+(Expansion a, const Expansion& b) {
    for (int i = 0; i < b.n; ++i) a.grow(b.c[i]);
    return a;
}

Expansion operator-(Expansion a, const Expansion& b) {
    for (int i = 0; i < b.n; ++i) a.grow(-b.c[i]);
    return a;
}

Expansion operator*(const Expansion& a, const Expansion& b) {
    Expansion r;
    for (int i = 0; i < a.n; ++i) {
        for (int j = 0; j < b.n; ++j) {
            const double x = a.c[i], y = b.c[j];
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

int sign_z(const mpz_class& z) {
    const int s = mpz_sgn(z.get_mpz_t());
    return s > 0 ? 1 : (s < 0 ? -1 : 0);
}

// The whole numbers the exact points, their motions and the in-plane tests are worked
// out in, one set per thread: once grown they are reused, so these allocate nothing
// but their results.
struct Scratch {
    mpz_class a[3], n[3], e[3], f[3], u[3];  // the plane: corner a, normal n; a direction u
    mpz_class dp, dq;                        // plane values
    mpz_class u0[2], v0[2];                  // differences of places, over Da Db and Da Dc
    mpz_class u1[2][3], v1[2][3];            // differences of motions, over Ea Eb and Ea Ec
    mpz_class fb, fc, t, r;
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

void set_whole(mpz_class& z, double x) {
    mpz_set_d(z.get_mpz_t(), std::ldexp(x, 149));
}

// The plane through a, b, c in whole units: w.a = a, w.n = (b - a) x (c - a).
void plane_whole(Scratch& w, const double* a, const double* b, const double* c) {
    for (int k = 0; k < 3; ++k) {
        set_whole(w.a[k], a[k]);
        set_whole(w.e[k], b[k]);
        w.e[k] -= w.a[k];
        set_whole(w.f[k], c[k]);
        w.f[k] -= w.a[k];
    }
    for (int k = 0; k < 3; ++k) {
        const int i = (k + 1) % 3, j = (k + 2) % 3;
        mpz_mul(w.n[k].get_mpz_t(), w.e[i].get_mpz_t(), w.f[j].get_mpz_t());
        mpz_submul(w.n[k].get_mpz_t(), w.e[j].get_mpz_t(), w.f[i].get_mpz_t());
    }
}

// r = n . (p - a) for the plane of plane_whole: ((b - a) x (c - a)) . (p - a).
void plane_value(mpz_class& r, Scratch& w, const double* p) {
    r = 0;
    for (int k = 0; k < 3; ++k) {
        set_whole(w.t, p[k]);
        w.t -= w.a[k];
        mpz_addmul(r.get_mpz_t(), w.n[k].get_mpz_t(), w.t.get_mpz_t());
    }
}

}  // namespace

ExactPoint exact_corner(const double* p) {
    ExactPoint x;
    for (int k = 0; k < 3; ++k) x.n[k] = whole(p[k]);
    x.d = 1;
    return x;
}

ExactPoint exact_crossing(const double* a, const double* b, const double* c, const double* p, const double* q) {
    Scratch& w = scratch();
    plane_whole(w, a, b, c);
    plane_value(w.dp, w, p);
    plane_value(w.dq, w, q);
    ExactPoint x;
    x.d = w.dp - w.dq;
    if (sign_z(x.d) == 0) {  // both on the plane: the middle, as the estimate takes it
        x.d = 2;
        for (int k = 0; k < 3; ++k) x.n[k] = whole(p[k]) + whole(q[k]);
        return x;
    }
    if (sign_z(x.d) < 0) {
        x.d = -x.d;
        w.dp = -w.dp;
        w.dq = -w.dq;
    }
    for (int k = 0; k < 3; ++k) {
        set_whole(w.t, q[k]);
        mpz_mul(x.n[k].get_mpz_t(), w.dp.get_mpz_t(), w.t.get_mpz_t());
        set_whole(w.t, p[k]);
        mpz_submul(x.n[k].get_mpz_t(), w.dq.get_mpz_t(), w.t.get_mpz_t());
    }
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
        Scratch& w = scratch();
        plane_whole(w, a, b, c);
        plane_value(w.dp, w, p);
        plane_value(w.dq, w, q);
        dp = w.dp.get_d();
        dq = w.dq.get_d();
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

Motion corner_motion(bool moves) {
    Motion m;
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) m.c[k][j] = moves && j == k ? 1 : 0;
    return m;
}

Motion crossing_motion(const double* a, const double* b, const double* c, const double* p, const double* q,
                       bool segment_moves) {
    Scratch& w = scratch();
    plane_whole(w, a, b, c);
    w.dp = 0;  // n . u
    for (int k = 0; k < 3; ++k) {
        set_whole(w.u[k], q[k]);
        set_whole(w.t, p[k]);
        w.u[k] -= w.t;
        mpz_addmul(w.dp.get_mpz_t(), w.n[k].get_mpz_t(), w.u[k].get_mpz_t());
    }
    const int flip = sign_z(w.dp);
    if (flip == 0) return corner_motion(false);  // a segment in the plane: never a crossing
    Motion m;
    mpz_abs(m.den.get_mpz_t(), w.dp.get_mpz_t());
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) {
            mpz_class& v = m.c[k][j];
            mpz_mul(v.get_mpz_t(), w.n[j].get_mpz_t(), w.u[k].get_mpz_t());  // flip n_j u_k, negated when the segment moves
            if ((flip < 0) != segment_moves) mpz_neg(v.get_mpz_t(), v.get_mpz_t());
            if (segment_moves && j == k) v += m.den;
        }
    return m;
}

namespace {

// The in-plane tests are taken first on doubles that carry a bound on their distance
// from the exact value (`Near`), and on the rationals only where a bound does not
// settle a sign. Most ties settle in doubles too: where every value involved is a
// double and every sum and product of the test is one as well (corners and crossings
// of boxes at modest coordinates), the bounds stay 0 and an exact zero is known as one.

constexpr int kUnsettled = 2;  // a sign the bound does not settle

// A double v within e of the real value it stands for; e is 0 only where v is that value.
struct Near {
    double v = 0, e = 0;
};

// A bound computed in doubles raised over its real value: each of the few roundings in
// computing it may lower it by a unit roundoff (the factor takes 32 of them), and below
// the normal range a rounding is absolute (the added term).
double raised(double e) {
    return e > 0 ? e * (1 + 0x1p-48) + 0x1p-1000 : e;
}

// The rounding error of a sum and of a product is itself a double, found exactly
// (two-sum, fma); a bound grows by it and by the operands' bounds carried through.
// Products close to the bottom of the range are not tracked (fma's remainder would
// round there): the bound becomes infinite and the sign is left to the rationals.
Near operator+(const Near& a, const Near& b) {
    const double s = a.v + b.v;
    const double bv = s - a.v;
    const double err = (a.v - (s - bv)) + (b.v - bv);
    return {s, raised(a.e + b.e + std::fabs(err))};
}

Near operator-(const Near& a, const Near& b) {
    return a + Near{-b.v, b.e};
}

Near operator*(const Near& a, const Near& b) {
    const double p = a.v * b.v;
    if (a.v != 0 && b.v != 0 && !(std::fabs(p) >= 0x1p-900)) return {p, std::numeric_limits<double>::infinity()};
    const double err = std::fma(a.v, b.v, -p);
    return {p, raised(std::fabs(a.v) * b.e + std::fabs(b.v) * a.e + a.e * b.e + std::fabs(err))};
}

// +1, -1, 0, or kUnsettled (also for a bound that is not finite or not a number).
int sign(const Near& x) {
    if (x.v > x.e) return 1;
    if (-x.v > x.e) return -1;
    return x.e == 0 && x.v == 0 ? 0 : kUnsettled;
}

int sign(const mpq_class& x) {
    const int s = sgn(x);
    return s > 0 ? 1 : (s < 0 ? -1 : 0);
}

int significant_bits(const mpz_t z) {
    return int(mpz_sizeinbase(z, 2) - mpz_scan1(z, 0));
}

// n / d times 2^shift, for d > 0. mpz_get_d_2exp truncates each to 53 bits (a relative
// error below two unit roundoffs), the quotient rounds once: within 5 unit roundoffs of
// the exact value, bounded by 8 of the estimate. Exact where n and d are doubles and
// so is their quotient. Exponents beyond +-960 are left to the rationals.
Near near_ratio(const mpz_t n, const mpz_t d, long shift) {
    if (mpz_sgn(n) == 0) return {};
    long en, ed;
    const double mn = mpz_get_d_2exp(&en, n), md = mpz_get_d_2exp(&ed, d);
    const double q = mn / md;  // 0.5 < |q| < 2
    const long ex = en - ed + shift;
    if (ex > 960 || ex < -960) return {q, std::numeric_limits<double>::infinity()};
    const double v = std::ldexp(q, int(ex));
    const bool exact = significant_bits(n) <= 53 && significant_bits(d) <= 53 && std::fma(q, md, -mn) == 0;
    return {v, exact ? 0 : raised(8 * kEps * std::fabs(v))};
}

// Coordinate k of an exact point, and coefficient j of the motion's coordinate k. Points
// are taken in model units (the scale is the same for every point, so no sign changes).
template <class T>
T place(const ExactPoint& p, int k);
template <class T>
T rate(const Motion& m, int k, int j);

template <>
Near place<Near>(const ExactPoint& p, int k) {
    return near_ratio(p.n[k].get_mpz_t(), p.d.get_mpz_t(), -149);
}

template <>
Near rate<Near>(const Motion& m, int k, int j) {
    return near_ratio(m.c[k][j].get_mpz_t(), m.den.get_mpz_t(), 0);
}

template <>
mpq_class place<mpq_class>(const ExactPoint& p, int k) {
    mpq_class v(p.n[k], p.d);
    v.canonicalize();
    return v;
}

template <>
mpq_class rate<mpq_class>(const Motion& m, int k, int j) {
    mpq_class v(m.c[k][j], m.den);
    v.canonicalize();
    return v;
}

// A polynomial in d, lowest power first: a place (degree 0), a motion (2) or the
// product of two motions (4). Coefficients beyond n are 0.
template <class T>
struct Poly {
    std::array<T, 5> c{};
    int n = 0;
};

template <class T>
Poly<T> operator-(const Poly<T>& a, const Poly<T>& b) {
    Poly<T> r;
    r.n = std::max(a.n, b.n);
    for (int i = 0; i < r.n; ++i) r.c[size_t(i)] = a.c[size_t(i)] - b.c[size_t(i)];
    return r;
}

template <class T>
Poly<T> operator+(const Poly<T>& a, const Poly<T>& b) {
    Poly<T> r;
    r.n = std::max(a.n, b.n);
    for (int i = 0; i < r.n; ++i) r.c[size_t(i)] = a.c[size_t(i)] + b.c[size_t(i)];
    return r;
}

template <class T>
Poly<T> operator*(const Poly<T>& a, const Poly<T>& b) {
    Poly<T> r;
    r.n = a.n + b.n - 1;
    for (int i = 0; i < a.n; ++i)
        for (int j = 0; j < b.n; ++j) r.c[size_t(i + j)] = r.c[size_t(i + j)] + a.c[size_t(i)] * b.c[size_t(j)];
    return r;
}

// The sign of the first non-zero coefficient (kUnsettled where one before it is unsettled).
template <class T>
int sign_rising(const Poly<T>& p) {
    for (int i = 0; i < p.n; ++i)
        if (const int s = sign(p.c[size_t(i)])) return s;
    return 0;
}

// A point of the plane coordinates ax, ay: place (constant) and motion (eps term).
template <class T>
struct Moving {
    Poly<T> x0, y0, x1, y1;
};

template <class T>
Moving<T> moving(const ExactPoint& p, const Motion& m, int ax, int ay) {
    Moving<T> r;
    r.x0.n = r.y0.n = 1;
    r.x0.c[0] = place<T>(p, ax);
    r.y0.c[0] = place<T>(p, ay);
    r.x1.n = r.y1.n = 3;
    for (int j = 0; j < 3; ++j) {
        r.x1.c[size_t(j)] = rate<T>(m, ax, j);
        r.y1.c[size_t(j)] = rate<T>(m, ay, j);
    }
    return r;
}

template <class T>
Moving<T> minus(const Moving<T>& a, const Moving<T>& b) {
    return {a.x0 - b.x0, a.y0 - b.y0, a.x1 - b.x1, a.y1 - b.y1};
}

// The eps and eps^2 terms of u0 (x) v0 + ... for u = u0 + eps u1, v = v0 + eps v1,
// where (x) is the 2D cross or dot product; signed by rising powers, the eps term first.
template <class T, class Product>
int moved_sign(const Moving<T>& u, const Moving<T>& v, Product product) {
    if (const int s = sign_rising(product(u.x0, u.y0, v.x1, v.y1) + product(u.x1, u.y1, v.x0, v.y0))) return s;
    return sign_rising(product(u.x1, u.y1, v.x1, v.y1));
}

const auto cross_product = [](const auto& ux, const auto& uy, const auto& vx, const auto& vy) {
    return ux * vy - uy * vx;
};

const auto dot_product = [](const auto& ux, const auto& uy, const auto& vx, const auto& vy) {
    return ux * vx + uy * vy;
};

template <class T>
int orient_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb, const ExactPoint& c,
                 const Motion& mc, int ax, int ay) {
    const Moving<T> pa = moving<T>(a, ma, ax, ay);
    return moved_sign(minus(moving<T>(b, mb, ax, ay), pa), minus(moving<T>(c, mc, ax, ay), pa), cross_product);
}

template <class T>
int dot_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me, const ExactPoint& w,
              const Motion& mw, int ax, int ay) {
    const Moving<T> ps = moving<T>(s, ms, ax, ay);
    return moved_sign(minus(moving<T>(w, mw, ax, ay), ps), minus(moving<T>(e, me, ax, ay), ps), dot_product);
}

template <class T>
int compare_moving(const Motion& ma, const Motion& mb, int k) {
    Poly<T> a, b;
    a.n = b.n = 3;
    for (int j = 0; j < 3; ++j) a.c[size_t(j)] = rate<T>(ma, k, j), b.c[size_t(j)] = rate<T>(mb, k, j);
    return sign_rising(a - b);
}

// r = x (x) y for the 2D cross or dot product.
void product(mpz_class& r, const mpz_class& x0, const mpz_class& x1, const mpz_class& y0, const mpz_class& y1,
             bool dot) {
    mpz_mul(r.get_mpz_t(), x0.get_mpz_t(), dot ? y0.get_mpz_t() : y1.get_mpz_t());
    if (dot) mpz_addmul(r.get_mpz_t(), x1.get_mpz_t(), y1.get_mpz_t());
    else mpz_submul(r.get_mpz_t(), x1.get_mpz_t(), y0.get_mpz_t());
}

// r = x_k b.d - y_k a.d style: the numerator of b - a over the denominators' product.
void numerator_of_difference(mpz_class& r, const mpz_class& xb, const mpz_class& da, const mpz_class& xa,
                             const mpz_class& db) {
    mpz_mul(r.get_mpz_t(), xb.get_mpz_t(), da.get_mpz_t());
    mpz_submul(r.get_mpz_t(), xa.get_mpz_t(), db.get_mpz_t());
}

// The eps and eps^2 terms of (b - a) (x) (c - a) for moving points, on whole numbers:
// each fraction is brought over a positive common denominator (the places' D, the
// motions' E), which leaves every sign as it is. With u = b - a and v = c - a, the eps
// term u0 (x) v1 + u1 (x) v0 times Da Db Dc Ea Eb Ec is U0 (x) V1 Eb Dc + U1 (x) V0 Db Ec,
// and the eps^2 term u1 (x) v1 times Ea^2 Eb Ec is U1 (x) V1.
int moved_whole(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb, const ExactPoint& c,
                const Motion& mc, int ax, int ay, bool dot) {
    Scratch& w = scratch();
    const int axes[2] = {ax, ay};
    for (int k = 0; k < 2; ++k) {
        const int q = axes[k];
        numerator_of_difference(w.u0[k], b.n[q], a.d, a.n[q], b.d);
        numerator_of_difference(w.v0[k], c.n[q], a.d, a.n[q], c.d);
        for (int j = 0; j < 3; ++j) {
            numerator_of_difference(w.u1[k][j], mb.c[q][j], ma.den, ma.c[q][j], mb.den);
            numerator_of_difference(w.v1[k][j], mc.c[q][j], ma.den, ma.c[q][j], mc.den);
        }
    }
    mpz_mul(w.fb.get_mpz_t(), mb.den.get_mpz_t(), c.d.get_mpz_t());
    mpz_mul(w.fc.get_mpz_t(), b.d.get_mpz_t(), mc.den.get_mpz_t());
    for (int j = 0; j < 3; ++j) {
        product(w.t, w.u0[0], w.u0[1], w.v1[0][j], w.v1[1][j], dot);
        mpz_mul(w.r.get_mpz_t(), w.t.get_mpz_t(), w.fb.get_mpz_t());
        product(w.t, w.u1[0][j], w.u1[1][j], w.v0[0], w.v0[1], dot);
        mpz_addmul(w.r.get_mpz_t(), w.t.get_mpz_t(), w.fc.get_mpz_t());
        if (const int s = sign_z(w.r)) return s;
    }
    for (int i = 0; i < 5; ++i) {
        w.r = 0;
        for (int j = std::max(0, i - 2); j <= std::min(2, i); ++j) {
            product(w.t, w.u1[0][j], w.u1[1][j], w.v1[0][i - j], w.v1[1][i - j], dot);
            w.r += w.t;
        }
        if (const int s = sign_z(w.r)) return s;
    }
    return 0;
}

int compare_moved_whole(const Motion& ma, const Motion& mb, int k) {
    Scratch& w = scratch();
    for (int j = 0; j < 3; ++j) {
        numerator_of_difference(w.r, ma.c[k][j], mb.den, mb.c[k][j], ma.den);
        if (const int s = sign_z(w.r)) return s;
    }
    return 0;
}

// One point given twice (one object, and one motion) is in line with any other however
// it moves; the splits ask that often, and the bounds of a crossing would not show it.
bool twice(const void* a, const void* b, const void* c) {
    return a == b || b == c || a == c;
}

}  // namespace

int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay) {
    if (twice(&a, &b, &c)) return 0;
    const Near xa = place<Near>(a, ax), ya = place<Near>(a, ay);
    const int s = sign(cross_product(place<Near>(b, ax) - xa, place<Near>(b, ay) - ya, place<Near>(c, ax) - xa,
                                     place<Near>(c, ay) - ya));
    return s != kUnsettled ? s : rational::orient2d(a, b, c, ax, ay);
}

int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay) {
    if (&s == &e || &s == &w) return 0;
    const Near xs = place<Near>(s, ax), ys = place<Near>(s, ay);
    const int d = sign(dot_product(place<Near>(w, ax) - xs, place<Near>(w, ay) - ys, place<Near>(e, ax) - xs,
                                   place<Near>(e, ay) - ys));
    return d != kUnsettled ? d : rational::dot2d(s, e, w, ax, ay);
}

int compare(const ExactPoint& a, const ExactPoint& b, int k) {
    if (&a == &b) return 0;
    const int s = sign(place<Near>(a, k) - place<Near>(b, k));
    return s != kUnsettled ? s : rational::compare(a, b, k);
}

int orient2d_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb,
                   const ExactPoint& c, const Motion& mc, int ax, int ay) {
    if ((&a == &b && &ma == &mb) || (&b == &c && &mb == &mc) || (&a == &c && &ma == &mc)) return 0;
    const int s = orient_moved<Near>(a, ma, b, mb, c, mc, ax, ay);
    return s != kUnsettled ? s : moved_whole(a, ma, b, mb, c, mc, ax, ay, false);
}

int dot2d_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me,
                const ExactPoint& w, const Motion& mw, int ax, int ay) {
    if ((&s == &e && &ms == &me) || (&s == &w && &ms == &mw)) return 0;
    const int d = dot_moved<Near>(s, ms, e, me, w, mw, ax, ay);
    return d != kUnsettled ? d : moved_whole(s, ms, w, mw, e, me, ax, ay, true);
}

int compare_moved(const Motion& ma, const Motion& mb, int k) {
    if (&ma == &mb) return 0;
    const int s = compare_moving<Near>(ma, mb, k);
    return s != kUnsettled ? s : compare_moved_whole(ma, mb, k);
}

namespace rational {

// (b - a) (x) (c - a) times Da^2 Db Dc.
int orient2d(const ExactPoint& a, const ExactPoint& b, const ExactPoint& c, int ax, int ay) {
    Scratch& w = scratch();
    for (int k = 0; k < 2; ++k) {
        const int q = k ? ay : ax;
        numerator_of_difference(w.u0[k], b.n[q], a.d, a.n[q], b.d);
        numerator_of_difference(w.v0[k], c.n[q], a.d, a.n[q], c.d);
    }
    product(w.r, w.u0[0], w.u0[1], w.v0[0], w.v0[1], false);
    return sign_z(w.r);
}

// (w - s) . (e - s) times Ds^2 Dw De.
int dot2d(const ExactPoint& s, const ExactPoint& e, const ExactPoint& w, int ax, int ay) {
    Scratch& z = scratch();
    for (int k = 0; k < 2; ++k) {
        const int q = k ? ay : ax;
        numerator_of_difference(z.u0[k], w.n[q], s.d, s.n[q], w.d);
        numerator_of_difference(z.v0[k], e.n[q], s.d, s.n[q], e.d);
    }
    product(z.r, z.u0[0], z.u0[1], z.v0[0], z.v0[1], true);
    return sign_z(z.r);
}

int compare(const ExactPoint& a, const ExactPoint& b, int k) {
    Scratch& w = scratch();
    numerator_of_difference(w.r, a.n[k], b.d, b.n[k], a.d);
    return sign_z(w.r);
}

int orient2d_moved(const ExactPoint& a, const Motion& ma, const ExactPoint& b, const Motion& mb,
                   const ExactPoint& c, const Motion& mc, int ax, int ay) {
    return orient_moved<mpq_class>(a, ma, b, mb, c, mc, ax, ay);
}

int dot2d_moved(const ExactPoint& s, const Motion& ms, const ExactPoint& e, const Motion& me,
                const ExactPoint& w, const Motion& mw, int ax, int ay) {
    return dot_moved<mpq_class>(s, ms, e, me, w, mw, ax, ay);
}

int compare_moved(const Motion& ma, const Motion& mb, int k) {
    return compare_moving<mpq_class>(ma, mb, k);
}

}  // namespace rational

}  // namespace csg
