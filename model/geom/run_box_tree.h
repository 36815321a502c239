// A box tree over runs of a point sequence: leaf j holds the points from j * kLeaf
// on, each inner node the union of its two children (node 1 the root, node k's
// children 2k and 2k + 1), each node counting its live points. Neighbours along a
// contour lie near each other, so the boxes stay tight, and it is built in one pass.
// A coordinate that is not a number widens no box.
//
// search() walks the nodes with live points depth first, lower runs first, so the
// points it hands over come in index order: a caller that stops at the first hit,
// or whose pruning only tightens as it goes, sees what a plain scan would see.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

class RunBoxTree {
  public:
    static constexpr int kLeaf = 16;

    struct Node {
        double lo[3] = {INFINITY, INFINITY, INFINITY};
        double hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        int live = 0;
    };

    // Points are anything with x, y and z; `live(i)` says whether point i counts
    // at the start. May throw std::bad_alloc.
    template <class Points, class Live>
    void build(const Points& pts, Live live) {
        n_ = static_cast<int>(pts.size());
        leaves_ = 1;
        while (int64_t(leaves_) * kLeaf < n_) leaves_ *= 2;
        nodes_.assign(size_t(2) * leaves_, Node{});
        for (int first = 0; first < n_; first += kLeaf) {
            const int last = std::min(n_, first + kLeaf);
            double lx = INFINITY, ly = INFINITY, lz = INFINITY, hx = -INFINITY, hy = -INFINITY, hz = -INFINITY;
            int count = 0;
            for (int i = first; i < last; ++i) {
                lx = std::min(lx, double(pts[i].x)), hx = std::max(hx, double(pts[i].x));
                ly = std::min(ly, double(pts[i].y)), hy = std::max(hy, double(pts[i].y));
                lz = std::min(lz, double(pts[i].z)), hz = std::max(hz, double(pts[i].z));
                count += live(i) ? 1 : 0;
            }
            nodes_[leaves_ + first / kLeaf] = Node{{lx, ly, lz}, {hx, hy, hz}, count};
        }
        for (int k = leaves_ - 1; k >= 1; --k) {
            const Node &l = nodes_[2 * k], &r = nodes_[2 * k + 1];
            Node& node = nodes_[k];
            for (int d = 0; d < 3; ++d) {
                node.lo[d] = std::min(l.lo[d], r.lo[d]);
                node.hi[d] = std::max(l.hi[d], r.hi[d]);
            }
            node.live = l.live + r.live;
        }
    }
    template <class Points>
    void build(const Points& pts) {
        build(pts, [](int) { return true; });
    }

    // The box of all points.
    const Node& root() const { return nodes_[1]; }

    // Point i stops or starts counting as live (the caller keeps track of which).
    void kill(int i) {
        for (int k = leaves_ + i / kLeaf; k >= 1; k /= 2) --nodes_[k].live;
    }
    void revive(int i) {
        for (int k = leaves_ + i / kLeaf; k >= 1; k /= 2) ++nodes_[k].live;
    }

    // Hands every point of every leaf that has live points and whose node and
    // ancestors `skip(node)` did not rule out to `visit(index)`, in index order,
    // dead points included. Stops and returns true as soon as `visit` does.
    template <class Skip, class Visit>
    bool search(Skip skip, Visit visit) const {
        return search_runs(skip, [&](int first, int last) {
            for (int j = first; j < last; ++j)
                if (visit(j)) return true;
            return false;
        });
    }

    // As search(), but hands each leaf's points as one run first..last - 1 to
    // `visit(first, last)`.
    template <class Skip, class VisitRun>
    bool search_runs(Skip skip, VisitRun visit) const {
        int stack[64];
        int top = 0;
        stack[top++] = 1;
        while (top > 0) {
            const int k = stack[--top];
            const Node& node = nodes_[k];
            if (node.live == 0 || skip(node)) continue;
            if (k < leaves_) {
                stack[top++] = 2 * k + 1;
                stack[top++] = 2 * k;
                continue;
            }
            const int first = (k - leaves_) * kLeaf;
            if (visit(first, std::min(n_, first + kLeaf))) return true;
        }
        return false;
    }

  private:
    int n_ = 0;
    int leaves_ = 1;
    std::vector<Node> nodes_ = std::vector<Node>(2);
};
