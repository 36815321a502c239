// Point cleaning of glyph outlines: points within a tolerance of their neighbour
// are merged by the rules of their on-curve flags, so that tracing meets no
// vanishing segments and ear clipping no hair-thin kinks.
#include <cmath>

#include "model/font_outline/glyph_outline.h"

namespace {

bool close(const OutlinePoint& a, const OutlinePoint& b, double tol) {
    return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol;
}

OutlinePoint mid(const OutlinePoint& a, const OutlinePoint& b) { return {1, (a.x + b.x) / 2, (a.y + b.y) / 2}; }

// Cleans one polygon in place; returns the points removed.
int clean_polygon(std::vector<OutlinePoint>& q, double tol) {
    const auto at = [&](long i) -> OutlinePoint& {
        const long n = static_cast<long>(q.size());
        return q[static_cast<size_t>(((i % n) + n) % n)];
    };
    if (q.size() < 4) return 0;
    const long n0 = static_cast<long>(q.size());
    for (long i = 0; i < n0; ++i)
        if (close(at(i), at(i + 1), tol) && close(at(i + 2), at(i + 3), tol)) at(i + 1).on = at(i + 2).on = 1;
    int removed = 0;
    bool changed = true;
    while (changed) {
        changed = false;
        long k = 0;
        // Once started, the walk may shrink the polygon below three points: the
        // reader then drops it.
        while (q.size() >= 3 && k < static_cast<long>(q.size())) {
            OutlinePoint &pp = at(k - 1), &p = at(k), &c = at(k + 1), &nx = at(k + 2);
            if (!close(p, c, tol)) {
                ++k;
                continue;
            }
            const int code = (pp.on ? 1 : 0) | (p.on ? 2 : 0) | (c.on ? 4 : 0) | (nx.on ? 8 : 0);
            bool remove_c = false;
            switch (code) {
                case 0:
                    remove_c = close(c, nx, tol);
                    break;
                case 1:
                    p.on = 1;
                    c = mid(c, nx);
                    changed = true;
                    break;
                case 2:
                case 3:
                    c = mid(c, nx);
                    changed = true;
                    break;
                case 4:
                case 12:
                    p = mid(p, pp);
                    changed = true;
                    break;
                case 8:
                    c.on = 1;
                    p = mid(p, pp);
                    changed = true;
                    break;
                case 5:
                case 9:
                case 13:
                    p.on = 1;
                    remove_c = true;
                    break;
                default:  // 6, 7, 10, 11, 14, 15
                    remove_c = true;
                    break;
            }
            if (remove_c) {
                const long n = static_cast<long>(q.size());
                q.erase(q.begin() + ((k + 1) % n));
                ++removed;
                changed = true;
                if ((k + 1) % n == 0) --k;  // the first point went: everything moved down
                if (k < 0) k = 0;
                continue;  // same place
            }
            ++k;
        }
    }
    return removed;
}

}  // namespace

int glyph_points_clean(GlyphOutline* outline, double tolerance) {
    std::vector<OutlinePoint> all;
    std::vector<int32_t> ends;
    all.reserve(outline->points.size());
    int removed = 0;
    int32_t first = 0;
    for (int32_t end : outline->ends) {
        if (end < first || end >= static_cast<int32_t>(outline->points.size())) break;
        std::vector<OutlinePoint> q(outline->points.begin() + first, outline->points.begin() + end + 1);
        removed += clean_polygon(q, tolerance);
        all.insert(all.end(), q.begin(), q.end());
        ends.push_back(static_cast<int32_t>(all.size()) - 1);
        first = end + 1;
    }
    outline->points.swap(all);
    outline->ends.swap(ends);
    return removed;
}
