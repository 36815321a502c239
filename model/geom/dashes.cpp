// Cutting a chain of vertices into the dashes of a line style. The dash state
// (element index and the remainder of an element cut short by a vertex) carries
// from one segment to the next, so a pattern runs on around corners.
#include <cmath>

#include "model/db/patt.h"
#include "model/geom/regen.h"
#include "model/geom/regen_util.h"

namespace {

struct DashState {
    int index = 0;
    double remainder = 0.0;
    double scale = 1.0;
    int count = 0;
    const double* lengths = nullptr;
};

// Total length of a chain (closing segment included for a ring); NaN passes through.
double chain_length(const PointNode* v, int* segments) {
    double total = 0.0;
    int n = 0;
    for_each_segment(v, [&](const PointNode& a, const PointNode& b) {
        total += node_dist(a, b);
        ++n;
        return true;
    });
    *segments = n;
    return total;
}

}  // namespace

int wire_apply_dashes(const LINEPATT* pattern, double scale, PtrNode** runs,
                      const PointNode* vertices) {
    *runs = nullptr;
    if (!pattern || pattern->dashes.size() < 2) return 0;

    DashState st;
    st.count = static_cast<int>(pattern->dashes.size()) & ~1;
    st.lengths = pattern->dashes.data();
    st.scale = scale;

    // A pattern that cannot advance, or that would make more dashes than can be
    // drawn, falls back to a solid line.
    double period = 0.0;
    for (int i = 0; i < st.count; ++i) period += std::fabs(st.lengths[i] * scale);
    if (!(period > 1e-12) || !std::isfinite(period)) return 0;
    int segments = 0;
    double total = chain_length(vertices, &segments);
    double estimate = total / period * (st.count / 2) + segments + 1;
    if (!(estimate <= kRegenMaxDashes)) return 0;
    const long long max_steps = static_cast<long long>(estimate) * 2 + 2LL * st.count * (segments + 1);

    PtrNode* out = nullptr;
    if (ptrlist_add(&out, nullptr) != 0) return 1;
    PointAppender run(reinterpret_cast<PointNode**>(&out->value));
    long long steps = 0;
    bool failed = false, overrun = false;

    for_each_segment(vertices, [&](const PointNode& a, const PointNode& b) {
        const Vec3d p{a.x, a.y, a.z};
        const Vec3d d{b.x - p.x, b.y - p.y, b.z - p.z};
        const double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        auto at = [&](double s) {
            double f = len > 0 ? s / len : 0.0;
            return Vec3{static_cast<float>(p.x + d.x * f), static_cast<float>(p.y + d.y * f),
                        static_cast<float>(p.z + d.z * f)};
        };
        double pos = 0.0;
        double element;
        if (st.remainder != 0.0) {
            element = st.remainder;
            st.remainder = 0.0;
        } else {
            element = st.lengths[st.index] * st.scale;
        }
        for (;;) {
            if (++steps > max_steps) {
                overrun = true;
                return false;
            }
            double end = std::fabs(element) + pos;
            if (end > len) {
                st.remainder = end - len;
                end = len;
            }
            if ((st.index & 1) == 0) {
                if (run.add(at(pos), 0) || run.add(at(end), kPointMoveNext)) {
                    failed = true;
                    return false;
                }
            }
            pos = end;
            if (!(end < len)) break;
            st.index = (st.index + 1) % st.count;
            element = st.lengths[st.index] * st.scale;
        }
        return true;
    });

    if (failed) {
        plist_list_free(&out);
        return 1;
    }
    if (overrun) {  // rounding kept the pattern from advancing: draw solid
        plist_list_free(&out);
        return 0;
    }
    *runs = out;
    return 0;
}
