// Gradient noise, turbulence, table waves, crease noise and their fixed tables.
#include "render/surface/noise.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <mutex>

namespace {

// The fixed tables: a permutation of 0..255 and two tables of values in [-1, 1]. The
// leading entries are fixed; the rest come from a fixed 64-bit generator, so every
// build and every renderer reads the same numbers.
struct FixedTables {
    uint8_t P[256];
    float G[268];  // gradients: read at h .. h + 11 (h <= 255)
    float V[268];  // crease-noise corner values
};

constexpr FixedTables make_fixed_tables() {
    FixedTables t{};
    uint64_t x = 0x5EED5EED12345677ull;
    auto next = [&x]() {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return x >> 33;  // 31 bits
    };
    auto unit = [&next]() { return float(double(next()) / 1073741823.5 - 1.0); };
    for (int i = 0; i < 256; ++i) t.P[i] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i) {
        const int j = static_cast<int>(next() % uint64_t(i + 1));
        const uint8_t s = t.P[i];
        t.P[i] = t.P[j];
        t.P[j] = s;
    }
    const float g0[8] = {-1.0f, -0.4456092f, -0.2529488f, 0.9631953f,
                         0.4367285f, -0.1083543f, 0.0293431f, 0.7102007f};
    for (int i = 0; i < 268; ++i) t.G[i] = i < 8 ? g0[i] : unit();
    const float v0[5] = {0.0f, 1.0f, 0.4456092f, 0.2529488f, 0.9631953f};
    for (int i = 0; i < 268; ++i) t.V[i] = i < 5 ? v0[i] : unit();
    for (int i = 0; i < 268; ++i) {
        t.G[i] = t.G[i] < -1.0f ? -1.0f : (t.G[i] > 1.0f ? 1.0f : t.G[i]);
        t.V[i] = t.V[i] < -1.0f ? -1.0f : (t.V[i] > 1.0f ? 1.0f : t.V[i]);
    }
    return t;
}

constexpr FixedTables kFixed = make_fixed_tables();
constexpr const uint8_t* P = kFixed.P;
constexpr const float* G = kFixed.G;
constexpr const float* V = kFixed.V;

constexpr double kWaveFactors[10] = {0.906817, 0.025076, 0.980702, 0.456181, 0.0718,
                                     0.438846, 0.119684, 0.317871, 0.102929, 0.102715};

struct StartTables {
    float sine[1000];
    float ripple[10][3];
};

StartTables g_start;
std::once_flag g_start_once;
std::atomic<bool> g_start_ready{false};

inline void start_tables() {
    if (!g_start_ready.load(std::memory_order_acquire)) noise_tables_ready();
}

thread_local uint8_t t_counter = 0;
thread_local uint32_t t_rand_state = 0;

// NaN counts as 0; infinities are held at +-1e300 so that scaled coordinates stay
// finite.
inline double sane(double v) {
    if (!(v == v)) return 0.0;
    return std::clamp(v, -1e300, 1e300);
}

// An integer-valued t modulo 256 (Euclidean): through a 64-bit integer where t fits
// one, in floating point beyond.
inline int mod256(double t) {
    if (std::fabs(t) < 4e18) return static_cast<int>(static_cast<int64_t>(t) & 255);
    double r = std::fmod(t, 256.0);
    if (r < 0.0) r += 256.0;
    return static_cast<int>(r) & 255;
}

// Lattice cell of one coordinate: the integer part (towards zero) of v + 10000
// reduced modulo 256, and the fraction left over.
inline void lattice(double v, int* i, double* f) {
    v = sane(v) + 10000.0;
    const double t = std::trunc(v);
    *f = v - t;
    *i = mod256(t);
}

// The same at floor(v), without the offset (crease noise).
inline void lattice_floor(double v, int* i, double* f) {
    v = sane(v);
    const double t = std::floor(v);
    *f = v - t;
    *i = mod256(t);
}

inline double scurve(double f) {
    return f * f * (3.0 - 2.0 * f);
}

inline int hash3(int i, int j, int k) {
    return P[P[P[i & 255] ^ (j & 255)] ^ (k & 255)];
}

// The hashes of the eight corners of cell (i, j, k), corner c = x + 2 y + 4 z, with
// the shared inner lookups made once.
inline void corner_hashes(int i, int j, int k, int h[8]) {
    const int pi[2] = {P[i & 255], P[(i + 1) & 255]};
    const int j0 = j & 255, j1 = (j + 1) & 255, k0 = k & 255, k1 = (k + 1) & 255;
    for (int ox = 0; ox < 2; ++ox) {
        const int a = P[pi[ox] ^ j0], b = P[pi[ox] ^ j1];
        h[ox] = P[a ^ k0];
        h[ox + 2] = P[b ^ k0];
        h[ox + 4] = P[a ^ k1];
        h[ox + 6] = P[b ^ k1];
    }
}

inline double lerp(double a, double b, double s) {
    return a + (b - a) * s;
}

// A point's lattice cell: fractions, their s-curves and the corner hashes.
struct Cell {
    double fx, fy, fz, sx, sy, sz;
    int hs[8];
    explicit Cell(double x, double y, double z) {
        int ix, iy, iz;
        lattice(x, &ix, &fx);
        lattice(y, &iy, &fy);
        lattice(z, &iz, &fz);
        sx = scurve(fx), sy = scurve(fy), sz = scurve(fz);
        corner_hashes(ix, iy, iz, hs);
    }
    // Trilinear weight of corner c (c = x + 2 y + 4 z).
    double weight(int ox, int oy, int oz) const {
        return (ox ? sx : 1.0 - sx) * (oy ? sy : 1.0 - sy) * (oz ? sz : 1.0 - sz);
    }
};

}  // namespace

void noise_tables_ready() {
    std::call_once(g_start_once, [] {
        for (int i = 0; i < 1000; ++i) g_start.sine[i] = float(std::sin(i * 0.00628318530718));
        for (int i = 0; i < 10; ++i) {
            double v[3];
            noise3_vec(v, i, 0, 0);
            const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            for (int c = 0; c < 3; ++c) g_start.ripple[i][c] = l > 0.0 ? float(v[c] / l) : 0.0f;
        }
        g_start_ready.store(true, std::memory_order_release);
    });
}

double noise3(double x, double y, double z) {
    const Cell cell(x, y, z);
    double sum = 0.0;
    for (int c = 0; c < 8; ++c) {
        const int ox = c & 1, oy = (c >> 1) & 1, oz = (c >> 2) & 1;
        const int h = cell.hs[c];
        const double dx = cell.fx - ox, dy = cell.fy - oy, dz = cell.fz - oz;
        const double value = G[h] * 0.5 + G[h + 1] * dx + G[h + 2] * dy + G[h + 3] * dz;
        const double w = cell.weight(ox, oy, oz);
        sum += w * value;
    }
    return std::clamp(sum + 0.5, 0.0, 1.0);
}

double noise1(double t) {
    int k;
    double f;
    lattice(t, &k, &f);
    const int p0 = P[P[0]];
    const int h0 = P[(k & 255) ^ p0], h1 = P[((k + 1) & 255) ^ p0];
    const double a = G[h0] * 0.5 + G[h0 + 3] * f;
    const double b = G[h1] * 0.5 + G[h1 + 3] * (f - 1.0);
    return std::clamp(lerp(a, b, scurve(f)) + 0.5, 0.0, 1.0);
}

void noise3_vec(double out[3], double x, double y, double z) {
    const Cell cell(x, y, z);
    out[0] = out[1] = out[2] = 0.0;
    for (int c = 0; c < 8; ++c) {
        const int ox = c & 1, oy = (c >> 1) & 1, oz = (c >> 2) & 1;
        const int h = cell.hs[c];
        const double dx = cell.fx - ox, dy = cell.fy - oy, dz = cell.fz - oz;
        const double w = cell.weight(ox, oy, oz);
        for (int k = 0; k < 3; ++k) {
            const float* g = G + h + 4 * k;
            out[k] += w * (g[0] * 0.5 + g[1] * dx + g[2] * dy + g[3] * dz);
        }
    }
}

double turbulence(double x, double y, double z, int octaves) {
    x = sane(x);
    y = sane(y);
    z = sane(z);
    double sum = noise3(x, y, z);
    const int n = std::max(octaves, 2);
    double scale = 1.0;
    for (int k = 1; k < n; ++k) {
        scale *= 2.0;
        sum += noise3(scale * x, scale * y, scale * z) / scale;
    }
    return sum;
}

void turbulence_vec(double out[3], double x, double y, double z, int octaves) {
    x = sane(x);
    y = sane(y);
    z = sane(z);
    noise3_vec(out, x, y, z);
    double scale = 1.0;
    for (int k = 1; k < octaves; ++k) {
        scale *= 2.0;
        double v[3];
        noise3_vec(v, scale * x, scale * y, scale * z);
        for (int c = 0; c < 3; ++c) out[c] += v[c] / scale;
    }
}

double wave_sin(double t) {
    start_tables();
    if (!std::isfinite(t)) return 0.0;
    const double a = std::fabs(t);
    const int i = std::min(static_cast<int>((a - std::floor(a)) * 1000.0), 999);
    return t >= 0.0 ? g_start.sine[i] : -g_start.sine[i];
}

double wave_triangle(double t) {
    if (!std::isfinite(t)) return 0.0;
    const double f = t >= 0.0 ? t - std::floor(t) : t - (-1.0 - std::floor(std::fabs(t)));
    return f < 0.5 ? 2.0 * f : 2.0 * (1.0 - f);
}

double crease_noise(double x, double y, double z) {
    int ix, iy, iz;
    double fx, fy, fz;
    lattice_floor(x, &ix, &fx);
    lattice_floor(y, &iy, &fy);
    lattice_floor(z, &iz, &fz);
    const double sx = scurve(fx), sy = scurve(fy), sz = scurve(fz);
    auto crease = [](double a, double b, double s) { return std::fabs((a + b) * s - a); };
    double along_z[2][2];
    for (int ox = 0; ox < 2; ++ox)
        for (int oy = 0; oy < 2; ++oy)
            along_z[ox][oy] = crease(V[hash3(ix + ox, iy + oy, iz)], V[hash3(ix + ox, iy + oy, iz + 1)], sz);
    const double a = crease(along_z[0][0], along_z[0][1], sy);
    const double b = crease(along_z[1][0], along_z[1][1], sy);
    return crease(a, b, sx);
}

void crease_noise_gradient(double out[3], double x, double y, double z) {
    out[0] = (crease_noise(x + 0.01, y, z) - crease_noise(x - 0.01, y, z)) * 50.0;
    out[1] = (crease_noise(x, y + 0.01, z) - crease_noise(x, y - 0.01, z)) * 50.0;
    out[2] = (crease_noise(x, y, z + 0.01) - crease_noise(x, y, z - 0.01)) * 50.0;
}

double noise_table_random(int a, int b) {
    t_counter = static_cast<uint8_t>((t_counter + 1 + b) & 255);
    return G[P[(t_counter ^ a) & 255]];
}

void surface_srand(uint32_t seed) {
    t_rand_state = seed;
}

int32_t surface_rand() {
    t_rand_state = t_rand_state * 1103515245u + 12345u;
    return static_cast<int32_t>((t_rand_state >> 16) & 0x7FFF);
}

const float* noise_ripple_centre(int i) {
    start_tables();
    return g_start.ripple[std::clamp(i, 0, 9)];
}

double noise_wave_factor(int i) {
    return kWaveFactors[std::clamp(i, 0, 9)];
}
