// Pattern lines of a hatch: each family of the pattern is laid out over the
// extent of the outer contours (in the plane frame), every line is clipped to the
// region (outer contours count +1, islands -1), and the inside pieces are cut
// into the family's dashes with the phase of the family's origin.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "model/db/patt.h"
#include "model/geom/hatch.h"
#include "model/geom/hatch_internal.h"
#include "model/math/arcgeom.h"
#include "model/math/result.h"
#include "model/math/scalar.h"

namespace {


struct D2 {
    double x, y;
};
D2 operator+(D2 a, D2 b) {
    return {a.x + b.x, a.y + b.y};
}
D2 operator-(D2 a, D2 b) {
    return {a.x - b.x, a.y - b.y};
}
D2 operator*(D2 a, double s) {
    return {a.x * s, a.y * s};
}

// Moves r by whole steps of `step` so that side(r) lies in (-side(step), 0]:
// r += step while side(r) < 0, then r -= step while side(r) > 0. side(step) must be
// positive. The jump is computed first so that far origins cost nothing.
template <class Side>
bool settle(D2* r, D2 step, Side side) {
    const double per = side(step);
    double j = std::floor(-side(*r) / per) - 1;
    if (!std::isfinite(j)) return false;
    *r = *r + step * j;
    for (int guard = 0; side(*r) < 0; ++guard) {
        if (guard > 8) return false;
        *r = *r + step;
    }
    for (int guard = 0; side(*r) > 0; ++guard) {
        if (guard > 8) return false;
        *r = *r - step;
    }
    return true;
}

// How often `step` must be added to d until side(d) >= 0. The division is right to a
// step or two; when d is so large that adding a step no longer changes it, walking
// one step at a time would never arrive, so a walk of more than a few steps fails
// like the division's own overflow does.
template <class Side>
bool count_steps(D2 d, D2 step, Side side, long long limit, long long* out) {
    const double per = side(step);
    double m = side(d) >= 0 ? 0 : std::ceil(-side(d) / per);
    if (!std::isfinite(m) || m > double(limit)) return false;
    long long k = static_cast<long long>(m);
    for (int guard = 0; side(d + step * double(k)) < 0; ++guard) {
        if (guard > 8 || ++k > limit) return false;
    }
    for (int guard = 0; k > 0 && side(d + step * double(k - 1)) >= 0; ++guard) {
        if (guard > 8) return false;
        --k;
    }
    *out = k;
    return true;
}

}  // namespace

int hatchpatt_family_lines(const HATCHPATT* pattern, double angle, double scale, int family,
                           double x0, double y0, double x1, double y1, HatchFamilyLayout* out) {
    if (!pattern || family < 0 || family >= static_cast<int>(pattern->lines.size()))
        return kBadArgument;
    const HatchLine& f = pattern->lines[family];
    const double s = scale;
    double A = std::fmod(angle, kTwoPi);
    if (A < 0) A += kTwoPi;
    D2 o{(f.origin_x * std::cos(A) - f.origin_y * std::sin(A)) * s,
               (f.origin_x * std::sin(A) + f.origin_y * std::cos(A)) * s};
    double t = std::fmod(deg_to_rad(f.angle) + A, kTwoPi);
    if (t < 0) t += kTwoPi;
    const D2 dir{std::cos(t), std::sin(t)};
    double L = 0;
    for (double d : f.dashes) L += std::fabs(d * s);
    if (L < 0.001) L = 1;
    const D2 P = dir * L;
    D2 O{(f.offset_x * std::cos(t) - f.offset_y * std::sin(t)) * s,
         (f.offset_y * std::cos(t) + f.offset_x * std::sin(t)) * s};
    if (O.y < 0) O = O * -1.0;
    if (!std::isfinite(o.x + o.y + O.x + O.y + P.x + P.y)) return kBadArgument;
    // Lines parallel to their offset (or no offset) never advance across the region.
    const double across = std::fabs(P.x * O.y - P.y * O.x) / L;  // spacing of the lines
    if (!(across > 1e-9 * (1 + std::fabs(x1 - x0) + std::fabs(y1 - y0)))) return kBadArgument;

    const int q = (O.y * P.x <= O.x * P.y ? 1 : 0) + (O.x < 0 ? 2 : 0);
    const bool odd = q & 1;

    // Along the lines: whole pattern lengths keep the origin's dash phase.
    const D2 Oq = odd ? O * -1.0 : O;
    auto along = [&](D2 r) { return r.x * Oq.y - r.y * Oq.x; };
    const D2 Pq = odd ? P * -1.0 : P;
    auto side = [&](D2 v) { return v.y * Pq.x - v.x * Pq.y; };

    // The origin moved by whole patterns along and whole offsets across is the
    // same pattern: bring it next to the origin of the plane first, so that an
    // origin far away costs no precision in the steps below.
    {
        const double a = along(o) / along(P), b = side(o) / side(O);
        o = P * (a - std::round(a)) + O * (b - std::round(b));
        if (!std::isfinite(o.x + o.y)) return kBadArgument;
    }
    static const int kCornerC[4][2] = {{0, 1}, {1, 0}, {0, 0}, {1, 1}};
    auto corner = [&](int cx, int cy) { return D2{cx ? x1 : x0, cy ? y1 : y0}; };
    D2 C = corner(kCornerC[q][0], kCornerC[q][1]);
    D2 D = corner(!kCornerC[q][0], !kCornerC[q][1]);
    D2 r = o - C;
    if (!settle(&r, P, along)) return kBadArgument;
    long long m = 0;
    if (!count_steps(C + r - D, P, along, 1LL << 40, &m)) return kBadArgument;
    const D2 S = C + r;

    // Across the lines: whole offsets from the first line before the start corner.
    C = D2{Pq.y <= 0 ? x0 : x1, Pq.x >= 0 ? y0 : y1};
    D = D2{Pq.y <= 0 ? x1 : x0, Pq.x >= 0 ? y1 : y0};
    r = S - C;
    if (!settle(&r, O, side)) return kBadArgument;
    long long k = 0;
    if (!count_steps(C + r - D, O, side, kHatchMaxLines, &k)) return kBadArgument;

    out->direction = Vec3d{dir.x, dir.y, 0};
    out->start = Vec3d{C.x + r.x, C.y + r.y, 0};
    out->pattern = Vec3d{P.x, P.y, 0};
    out->offset = Vec3d{O.x, O.y, 0};
    out->m = m;
    out->k = k;
    return 0;
}

HatchClipper::HatchClipper(const PtrNode* outer, const PtrNode* inner) {
    add_set(outer, +1);
    add_set(inner, -1);
}

void HatchClipper::add_set(const PtrNode* set, int weight) {
    for (const PtrNode* c = set; c; c = (c->next == set) ? nullptr : c->next) {
        const PointNode* head = static_cast<const PointNode*>(c->value);
        if (!head) continue;
        Contour con;
        con.weight = weight;
        for (const PointNode* n = head; n; n = (n->next == head) ? nullptr : n->next)
            con.pts.push_back(Vec3{n->x, n->y, n->z});
        edges_ += con.pts.size();
        contours_.push_back(std::move(con));
    }
}

// Vertices closer than this to a hatch line count as lying on it.
constexpr double kOnLine = 0.001;

int HatchClipper::clip(const Vec3& S, const Vec3& E, float z, PtrNode** segments) {
    std::vector<HatchCrossing>& xs = crossings_;
    xs.clear();
    double la, lb, lc;
    line_coeffs(S, E, &la, &lb, &lc);
    const double norm = std::hypot(la, lb);
    if (!(norm > 0) || !std::isfinite(norm)) return 0;  // no line, nothing inside
    // Signed distance of a vertex from the line, and its side (0: on the line).
    auto dist_of = [&](const Vec3& p) { return (la * p.x + lb * p.y + lc) / norm; };
    auto side_of = [&](double d) { return std::fabs(d) < kOnLine ? 0 : (d > 0 ? 1 : -1); };
    // Crossings are ordered by their signed place along S-E: the start may lie
    // anywhere on the line, before the region, inside it or past it.
    const double ux = (double(E.x) - S.x), uy = (double(E.y) - S.y);
    auto add = [&](double x, double y, int weight, int ci) {
        const Vec3 at{static_cast<float>(x), static_cast<float>(y), z};
        const double along = ((double(at.x) - S.x) * ux + (double(at.y) - S.y) * uy) / norm;
        xs.push_back(HatchCrossing{at, weight, along, ci});
    };
    // A vertex on the line, moved onto it exactly.
    auto add_on_line = [&](const Vec3& p, int weight, int ci) {
        const double d = dist_of(p);
        add(p.x - la / norm * d, p.y - lb / norm * d, weight, ci);
    };
    for (int ci = 0; ci < static_cast<int>(contours_.size()); ++ci) {
        const Contour& con = contours_[ci];
        const int n = static_cast<int>(con.pts.size());
        if (n < 2) continue;
        // The contour is walked from a vertex off the line, once round. Between two
        // vertices on opposite sides it crosses the line once: inside an edge, or,
        // where it meets the line at a vertex or runs along it for a while, at the
        // first vertex on the line. Where it comes back to the side it came from,
        // it only touches the line: the two crossings at the ends of the touching
        // vertices enclose no inside (or only the contour's own edges).
        int start = -1;
        for (int i = 0; i < n && start < 0; ++i)
            if (side_of(dist_of(con.pts[i])) != 0) start = i;
        if (start < 0) continue;  // the whole contour lies on the line
        int a = start;
        double da = dist_of(con.pts[a]);
        int run_first = -1, run_last = -1;
        for (int step = 1; step <= n; ++step) {
            const int v = (start + step) % n;
            const double dv = dist_of(con.pts[v]);
            if (side_of(dv) == 0) {
                if (run_first < 0) run_first = v;
                run_last = v;
                continue;
            }
            const bool crosses = side_of(da) != side_of(dv);
            if (run_first < 0) {
                if (crosses) {
                    const Vec3& p = con.pts[a];
                    const Vec3& q = con.pts[v];
                    const double t = da / (da - dv);
                    add(p.x + (double(q.x) - p.x) * t, p.y + (double(q.y) - p.y) * t, con.weight, ci);
                }
            } else {
                add_on_line(con.pts[run_first], con.weight, ci);
                if (!crosses) add_on_line(con.pts[run_last], con.weight, ci);
            }
            a = v;
            da = dv;
            run_first = run_last = -1;
        }
    }
    std::stable_sort(xs.begin(), xs.end(),
                     [](const HatchCrossing& a, const HatchCrossing& b) { return a.dist < b.dist; });
    // Alternate the signs per contour in distance order.
    parity_.assign(contours_.size(), 0);
    for (HatchCrossing& c : xs) {
        if (parity_[c.contour]++ & 1) c.weight = -c.weight;
    }
    int sum = 0;
    const HatchCrossing* open = nullptr;
    for (const HatchCrossing& c : xs) {
        sum += c.weight;
        if (c.weight > 0 && sum == 1) {
            open = &c;
        } else if (c.weight < 0 && sum == 0 && open) {
            if (vec2_dist(open->point, c.point) >= 0.001) {
                PointNode* seg = nullptr;
                if (plist_add(&seg, c.point) || plist_add(&seg, open->point) ||
                    ptrlist_add(segments, seg)) {
                    list_free(&seg);
                    return kOutOfMemory;
                }
            }
            open = nullptr;
        }
    }
    return 0;
}

namespace {

struct DashTable {
    // total: the pattern's length up to the end of each dash or gap; reach: the
    // largest total so far, non-decreasing even where lengths are negative.
    std::vector<double> len, total, reach;
    std::vector<D2> vec;
    double period = 0;
};

// Cuts the inside segments of one line into dashes; the result runs are linked
// in front of *runs. The segments are freed.
int dash_segments(PtrNode* segments, const DashTable& t, D2 unit, const Vec3& S, float z,
                  PtrNode** runs) {
    int rc = 0;
    const int count = static_cast<int>(t.len.size());
    for (PtrNode* sn = segments; sn && rc == 0; sn = sn->next) {
        const PointNode* s = static_cast<const PointNode*>(sn->value);
        Vec3 a{s->x, s->y, z}, b{s->next->x, s->next->y, z};
        // Signed places along the line from its start, which need not come before
        // the piece: a start past the region keeps its phase all the same.
        auto at = [&](const Vec3& p) { return (double(p.x) - S.x) * unit.x + (double(p.y) - S.y) * unit.y; };
        double d0 = at(a), d1 = at(b);
        if (d0 > d1) {
            std::swap(a, b);
            std::swap(d0, d1);
        }
        double phase = std::fmod(d0, t.period);
        if (phase < 0) phase += t.period;
        if (phase >= t.period) phase = 0;  // a tiny negative place rounded up to a whole period
        // The first dash or gap whose end reaches the phase, found by halving: a
        // scan from the start per inside piece is slow for long dash lists.
        int k = static_cast<int>(std::lower_bound(t.reach.begin(), t.reach.end(), phase) -
                                 t.reach.begin());
        if (k == count) {
            k = 0;
            phase = 0;
        }
        const double rem = t.total[k] - phase;
        D2 cur{a.x, a.y};
        double pos;
        PointNode* run = nullptr;
        auto add = [&](D2 p) { return plist_add(&run, Vec3{float(p.x), float(p.y), z}); };
        if ((k & 1) == 0) {
            pos = d0 - (t.len[k] - rem);
            cur = cur - unit * (t.len[k] - rem);
            rc = plist_add(&run, a);
        } else {
            pos = d0 + rem;
            cur = cur + unit * rem;
            k = (k + 1) % count;
            rc = add(cur);
        }
        bool finished_last = false;
        while (rc == 0 && pos < d1) {
            cur = cur + t.vec[k];
            if ((rc = add(cur))) break;
            finished_last = false;
            if ((k & 1) == 0) {
                if (t.len[k] == 0) {
                    list_free(&run);
                } else {
                    if ((rc = ptrlist_add(runs, run))) break;
                    finished_last = true;
                    run = nullptr;
                }
            }
            pos += t.len[k];
            k = (k + 1) % count;
        }
        if (rc == 0 && finished_last && pos != d1) {
            PointNode* last = static_cast<PointNode*>((*runs)->value);  // head: the dash's end
            last->x = b.x;
            last->y = b.y;
        }
        list_free(&run);  // a run left open: a gap ended beyond b
    }
    plist_list_free(&segments);
    return rc == 0 ? 0 : kOutOfMemory;
}

}  // namespace

int hatch_family(HatchClipper& clipper, const HATCHPATT* pattern, int family, double scale,
                 const HatchFamilyLayout& lay, float z, HatchBudget* budget, PtrNode** runs,
                 int* drawn) {
    const HatchLine& f = pattern->lines[family];
    // Lines too dense for the region to be drawn in reasonable time: left out.
    const double work = double(lay.k) * double(clipper.edges());
    if (!(double(lay.k) <= budget->lines) || !(work <= budget->clip_work)) return 0;
    budget->lines -= double(lay.k);
    budget->clip_work -= work;
    ++*drawn;
    DashTable table;
    bool dashed = f.dashes.size() >= 2;
    if (dashed) {
        try {
            double total = 0;
            for (double d : f.dashes) {
                double l = d * scale;
                total += l;
                table.len.push_back(l);
                table.total.push_back(total);
                table.reach.push_back(table.reach.empty() ? total
                                                          : std::max(table.reach.back(), total));
                table.vec.push_back(D2{lay.direction.x * l, lay.direction.y * l});
            }
            table.period = total;
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        // Dashes too short to draw, or too many of them: continuous lines.
        const double line_len = double(lay.m) * std::hypot(lay.pattern.x, lay.pattern.y);
        const double dashes = line_len / table.period * double(f.dashes.size()) * double(lay.k);
        if (!(table.period > 1e-9) || !(dashes <= budget->dashes))
            dashed = false;
        else
            budget->dashes -= dashes;
    }
    const D2 O{lay.offset.x, lay.offset.y};
    const D2 span = D2{lay.pattern.x, lay.pattern.y} * double(lay.m);
    D2 start{lay.start.x, lay.start.y};
    for (long long j = 0; j < lay.k; ++j) {
        D2 st = start + O * double(j);
        D2 en = st + span;
        Vec3 S{float(st.x), float(st.y), z}, E{float(en.x), float(en.y), z};
        PtrNode* segments = nullptr;
        if (int rc = clipper.clip(S, E, z, &segments)) {
            plist_list_free(&segments);
            return rc;
        }
        if (!segments) continue;
        if (!dashed) {
            PtrNode* tail = segments;
            while (tail->next) tail = tail->next;
            tail->next = *runs;
            *runs = segments;
        } else if (int rc = dash_segments(segments, table, D2{lay.direction.x, lay.direction.y},
                                          S, z, runs)) {
            return rc;
        }
    }
    return 0;
}

int hatch_lines(const PtrNode* outer, const PtrNode* inner, const HATCHPATT* pattern, double scale,
                double angle, float z, PtrNode** runs, int* drawn) {
    *runs = nullptr;
    int families = 0;
    if (drawn) *drawn = 0;
    if (!pattern || pattern->lines.empty() || !std::isfinite(scale) || !std::isfinite(angle))
        return 0;
    if (scale < 0) {  // a negative scale mirrors through the origin: a half turn
        scale = -scale;
        angle += kPi;
    }
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const PtrNode* c = outer; c; c = (c->next == outer) ? nullptr : c->next) {
        const PointNode* head = static_cast<const PointNode*>(c->value);
        for (const PointNode* n = head; n; n = (n->next == head) ? nullptr : n->next) {
            x0 = std::min(x0, double(n->x));
            y0 = std::min(y0, double(n->y));
            x1 = std::max(x1, double(n->x));
            y1 = std::max(y1, double(n->y));
        }
    }
    if (!(x0 <= x1) || !(y0 <= y1)) return 0;
    try {
        HatchClipper clipper(outer, inner);
        HatchBudget budget;
        for (int i = 0; i < static_cast<int>(pattern->lines.size()); ++i) {
            HatchFamilyLayout lay;
            if (hatchpatt_family_lines(pattern, angle, scale, i, x0, y0, x1, y1, &lay) != 0)
                continue;  // this family cannot be laid out: left out
            if (int rc = hatch_family(clipper, pattern, i, scale, lay, z, &budget, runs, &families)) {
                plist_list_free(runs);
                return rc;
            }
        }
    } catch (const std::bad_alloc&) {
        plist_list_free(runs);
        return kOutOfMemory;
    }
    if (drawn) *drawn = families;
    return 0;
}
