// Linear subdivision and spline resampling of vertex chains (declared in chain.h).
#include "model/mesh/chain.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/geom/spline.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"

namespace {

// The nodes of a chain in order, once each.
std::vector<PointNode*> chain_nodes(VertexChain* chain) {
    std::vector<PointNode*> nodes;
    for (PointNode* n = chain; n; n = n->next == chain ? nullptr : n->next) nodes.push_back(n);
    return nodes;
}

// Number of parts segment j of s is cut into to make n in all.
int segment_parts(int j, int s, int n) {
    return n / s + (j < n % s ? 1 : 0);
}

void free_detached(std::vector<PointNode*>& nodes) {
    for (PointNode* n : nodes) delete n;
    nodes.clear();
}

}  // namespace

int chain_resample_points(const std::vector<Vec3d>& in, int n, std::vector<Vec3d>& out) {
    out.clear();
    if (in.empty() || n < 1) return 1;
    ChordSpline spline;
    const int r = chord_spline_fit(in.data(), static_cast<int>(in.size()), &spline);
    if (r != 0) return r == kOutOfMemory ? kOutOfMemory : 1;
    try {
        out.reserve(static_cast<size_t>(n) + 1);
        const double length = spline.length();
        // The last sample is the end itself, not a sum of rounded steps.
        for (int i = 0; i <= n; ++i)
            out.push_back(chord_spline_eval(spline, i == n ? length : length * i / n));
    } catch (const std::bad_alloc&) {
        out.clear();
        return kOutOfMemory;
    }
    return 0;
}

std::vector<Vec3d> chain_points(const VertexChain* chain) {
    std::vector<Vec3d> points;
    for (const PointNode* n = chain; n; n = n->next == chain ? nullptr : n->next)
        points.push_back(Vec3d{n->x, n->y, n->z});
    return points;
}

std::vector<Vec3d> polyline_subdivide(const std::vector<Vec3d>& points, bool closed, int n) {
    const int count = static_cast<int>(points.size());
    const int s = closed ? count : count - 1;
    std::vector<Vec3d> out;
    if (s < 1 || n < s) return points;
    out.reserve(static_cast<size_t>(n) + 1);
    for (int j = 0; j < s; ++j) {
        const Vec3d& a = points[j];
        const Vec3d& b = points[(j + 1) % count];
        const int parts = segment_parts(j, s, n);
        for (int k = 0; k < parts; ++k) out.push_back(mesh_lerp(a, b, static_cast<double>(k) / parts));
    }
    if (!closed) out.push_back(points.back());
    return out;
}

int chain_subdivide(VertexChain* chain, int n) {
    if (!chain) return 0;
    std::vector<PointNode*> nodes;
    try {
        nodes = chain_nodes(chain);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    const int count = static_cast<int>(nodes.size());
    const bool closed = count > 1 && plist_is_closed(chain);
    const int s = closed ? count : count - 1;
    if (s == n || s < 1) return 0;
    if (s > n || n > kChainMaxSegments) return 1;

    // Make every new node first, so running out of memory changes nothing.
    std::vector<PointNode*> made;
    try {
        made.reserve(static_cast<size_t>(n - s));
        for (int j = 0; j < s; ++j) {
            const PointNode* a = nodes[j];
            const PointNode* b = nodes[(j + 1) % count];
            const Vec3d from = {a->x, a->y, a->z}, to = {b->x, b->y, b->z};
            const int parts = segment_parts(j, s, n);
            for (int k = 1; k < parts; ++k) {
                const Vec3d q = mesh_lerp(from, to, static_cast<double>(k) / parts);
                made.push_back(new PointNode{nullptr, static_cast<float>(q.x), static_cast<float>(q.y),
                                             static_cast<float>(q.z), a->flags, 0});
            }
        }
    } catch (const std::bad_alloc&) {
        free_detached(made);
        return kOutOfMemory;
    }
    size_t next_made = 0;
    for (int j = 0; j < s; ++j) {
        PointNode* a = nodes[j];
        PointNode* after = a->next;
        const int parts = segment_parts(j, s, n);
        for (int k = 1; k < parts; ++k) {
            PointNode* p = made[next_made++];
            a->next = p;
            a = p;
        }
        a->next = after;
    }
    return 0;
}

int chain_spline_resample(VertexChain* chain, int n) {
    if (!chain || n < 1 || n > kChainMaxSegments) return 1;
    std::vector<PointNode*> nodes;
    std::vector<Vec3d> in, out;
    try {
        nodes = chain_nodes(chain);
        in = chain_points(chain);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    const bool closed = nodes.size() > 1 && plist_is_closed(chain);
    try {
        if (closed) in.push_back(in.front());
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (const int r = chain_resample_points(in, n, out)) return r;
    if (closed) out.pop_back();

    // Reuse the chain's nodes from the head on; make or free the difference.
    std::vector<PointNode*> made;
    const size_t need = out.size();
    try {
        nodes.reserve(need);
        made.reserve(need - std::min(need, nodes.size()));
        while (nodes.size() + made.size() < need) made.push_back(new PointNode{});
    } catch (const std::bad_alloc&) {
        free_detached(made);
        return kOutOfMemory;
    }
    for (PointNode* p : made) nodes.push_back(p);
    for (size_t i = nodes.size(); i-- > need;) delete nodes[i];
    nodes.resize(need);
    for (size_t i = 0; i < need; ++i) {
        PointNode* p = nodes[i];
        p->x = static_cast<float>(out[i].x);
        p->y = static_cast<float>(out[i].y);
        p->z = static_cast<float>(out[i].z);
        p->flags = 0;
        p->extra = 0;
        p->next = i + 1 < need ? nodes[i + 1] : (closed ? nodes[0] : nullptr);
    }
    return 0;
}

void chain_orient_to_point(const Matrix43* view, VertexChain** chain, const Vec3& point) {
    if (!chain || !*chain || plist_is_closed(*chain)) return;
    auto flat = [&](const PointNode* n) {
        Vec3 p{n->x, n->y, n->z};
        if (view) mat_xform_point(&p, &p, view);
        return p;
    };
    Vec3 pick = point;
    if (view) mat_xform_point(&pick, &point, view);
    double total = 0, upto = 0, best = INFINITY;
    Vec3 prev = flat(*chain);
    for (const PointNode* n = *chain; n; n = n->next) {
        const Vec3 p = flat(n);
        total += std::hypot(double(p.x) - prev.x, double(p.y) - prev.y);
        const double d = std::hypot(double(p.x) - pick.x, double(p.y) - pick.y);
        if (d < best) best = d, upto = total;
        prev = p;
    }
    if (2 * upto > total) *chain = list_reverse(*chain);
}
