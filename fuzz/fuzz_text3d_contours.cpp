// Fuzz target for the contour toolkit: the input gives an outer polygon and up to
// four holes (16-bit coordinates), an inset distance and a tolerance choice. Holes
// are bridged into the outer, the set is inset into a second ring and the merged
// contour is triangulated at both ring bases. Checks: results are the documented
// codes; count - 2 faces at each base, every index in its ring; and when the input
// is simple (no crossing contours or bridges, holes inside the outer, turning senses
// right) the oracle holds: areas sum to outer less holes, each face runs like the
// outer with its centroid inside, and visible edges are contour edges.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "commands/model3d/triangulate.h"
#include "tests/text3d/oracle.h"

namespace {

// Aborts with the failed condition's line.
#define check(ok) ((ok) ? (void)0 : (std::fprintf(stderr, "check failed at line %d\n", __LINE__), std::abort()))

void io(void* v, int32_t i, double xyz[3], int mode) {
    Vec3d& p = (*static_cast<std::vector<Vec3d>*>(v))[static_cast<size_t>(i)];
    if (mode == 0)
        xyz[0] = p.x, xyz[1] = p.y, xyz[2] = p.z;
    else
        p = {xyz[0], xyz[1], xyz[2]};
}

void collect(void* ctx, int32_t, int32_t a, int32_t b, int32_t c, int bits) {
    static_cast<std::vector<OracleFace>*>(ctx)->push_back({a, b, c, bits});
}

bool proper_cross(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    const double d1 = oracle_area2(a, b, c), d2 = oracle_area2(a, b, d);
    const double d3 = oracle_area2(c, d, a), d4 = oracle_area2(c, d, b);
    if (d1 == 0 || d2 == 0 || d3 == 0 || d4 == 0) return true;  // touching: not simple
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0));
}

// Edges of the entry list (cyclic) cross each other anywhere but at shared ends.
bool entries_simple(const std::vector<Vec3d>& v, const ContourRecord& r) {
    const size_t n = r.entries.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) {
            const int32_t a = r.entries[i].vertex, b = r.entries[(i + 1) % n].vertex;
            const int32_t c = r.entries[j].vertex, d = r.entries[(j + 1) % n].vertex;
            if (a == c || a == d || b == c || b == d) continue;
            const Vec3d &pa = v[a], &pb = v[b], &pc = v[c], &pd = v[d];
            if ((pa.x == pc.x && pa.y == pc.y) || (pa.x == pd.x && pa.y == pd.y) || (pb.x == pc.x && pb.y == pc.y) ||
                (pb.x == pd.x && pb.y == pd.y))
                return false;
            if (proper_cross(pa, pb, pc, pd)) return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = 0;
    auto byte = [&]() -> unsigned { return at < size ? data[at++] : 0u; };
    auto coord = [&]() -> double {
        const unsigned lo = byte(), hi = byte();
        return static_cast<int16_t>(lo | (hi << 8)) / 64.0;
    };
    const double inset = (static_cast<int>(byte()) - 128) / 256.0;
    const double tol = byte() & 1 ? 1e-6 : 1e-10;
    std::vector<Vec3d> v;
    std::vector<OracleRange> rs;
    const int contours = 1 + static_cast<int>(byte() % 5);
    for (int c = 0; c < contours && at < size; ++c) {
        const int n = 3 + static_cast<int>(byte() % 24);
        const int32_t first = static_cast<int32_t>(v.size());
        for (int i = 0; i < n; ++i) v.push_back({coord(), coord(), 0});
        rs.push_back({first, static_cast<int32_t>(v.size()) - 1});
    }
    if (rs.empty()) return 0;
    const int32_t ring = static_cast<int32_t>(v.size());
    v.resize(2 * v.size());
    std::memcpy(&v[static_cast<size_t>(ring)], &v[0], sizeof(Vec3d) * static_cast<size_t>(ring));
    ContourSet set(rs.size());
    for (size_t i = 0; i < rs.size(); ++i) {
        check(contour_init_range(&set[i], io, &v, rs[i].first, rs[i].last) == 0);
        contour_update_box(&set[i], 0);
    }
    const bool oriented = set[0].clockwise == 1;
    bool holes_ok = true;
    for (size_t i = 1; i < set.size(); ++i) holes_ok = holes_ok && set[i].clockwise == 0;
    const std::vector<char> crossed = contour_set_crossings(set, 0);
    bool apart = true;
    for (char c : crossed) apart = apart && !c;
    ContourRecord outer = set[0];
    for (size_t i = 1; i < set.size(); ++i) check(contour_bridge_hole(&outer, set[i]) == 0);
    check(outer.count <= static_cast<int32_t>(ring + 2 * (set.size() - 1)));
    // Insetting writes the second ring only (all of it when it succeeds).
    const int r = contour_set_inset(&set, ring, inset, -1.0);
    check(r == 0 || r == 34);
    for (int32_t i = 0; i < ring; ++i) check(v[static_cast<size_t>(i)].z == 0);
    if (r == 0)
        for (int32_t i = 0; i < ring; ++i) check(v[static_cast<size_t>(ring + i)].z == -1.0);
    for (int32_t base : {0, ring}) {
        std::vector<OracleFace> faces;
        int32_t count = 0;
        outer.clockwise = 1;
        check(contour_triangulate(&faces, &count, outer, collect, base, tol) == 0);
        check(count == (outer.count >= 3 ? outer.count - 2 : 0));
        check(faces.size() == static_cast<size_t>(count));
        for (const OracleFace& f : faces)
            for (int32_t x : {f.a, f.b, f.c}) check(x >= base && x < base + ring);
        if (base != 0 || !oriented || !holes_ok || !apart || tol != 1e-6) continue;
        // The oracle on simple inputs: holes within the outer, bridges crossing nothing.
        bool inside = true;
        for (size_t h = 1; h < rs.size(); ++h)
            for (int32_t i = rs[h].first; i <= rs[h].last; ++i) {
                std::vector<OracleRange> only_outer = {rs[0]};
                inside = inside && oracle_inside(v, only_outer, v[i].x, v[i].y);
            }
        // Holes apart from each other (none inside another), and general position:
        // no three points on a line (small inputs only).
        for (size_t h = 1; h < rs.size() && inside; ++h)
            for (size_t k = 1; k < rs.size() && inside; ++k) {
                if (h == k) continue;
                std::vector<OracleRange> only = {rs[k]};
                inside = !oracle_inside(v, only, v[rs[h].first].x, v[rs[h].first].y);
            }
        if (!inside || ring > 48 || !entries_simple(v, outer)) continue;
        bool general = true;
        for (int32_t a = 0; a < ring && general; ++a)
            for (int32_t b = a + 1; b < ring && general; ++b)
                for (int32_t c = b + 1; c < ring && general; ++c) general = oracle_area2(v[a], v[b], v[c]) != 0;
        if (!general) continue;
        check(oracle_check(v, rs, faces, 512.0).empty());
    }
    return 0;
}
