// Small helpers shared by the regeneration and hatch code: walking the segments
// of an open or closed point list, appending to a point list in order, distances
// between nodes, and the checks that make resolutions from files safe.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"

// Calls fn(a, b) for each segment of the list in order (a ring includes its
// closing segment); stops when fn returns false.
template <class Fn>
void for_each_segment(const PointNode* list, Fn fn) {
    if (!list) return;
    const PointNode* n = list;
    while (n->next) {
        if (!fn(*n, *n->next)) return;
        if (n->next == list) return;
        n = n->next;
    }
}

// The last node of an open list or ring (the one before the head in a ring).
inline PointNode* list_last(PointNode* head) {
    PointNode* n = head;
    while (n->next && n->next != head) n = n->next;
    return n;
}

// Transforms every point of an open list or ring in place.
inline void plist_xform(PointNode* list, const Matrix43& m) {
    for (PointNode* p = list; p; p = (p->next == list) ? nullptr : p->next) {
        Vec3 v{p->x, p->y, p->z};
        mat_xform_point(&v, &v, &m);
        p->x = v.x;
        p->y = v.y;
        p->z = v.z;
    }
}

inline double node_dist(const PointNode& a, const PointNode& b) {
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Appends points to an open list in order, keeping a tail pointer.
class PointAppender {
  public:
    explicit PointAppender(PointNode** head) : head_(head), tail_(nullptr) {
        for (PointNode* n = *head; n; n = n->next) tail_ = n;
    }
    // 0, or 8 when out of memory (the list so far stays valid).
    [[nodiscard]] int add(const Vec3& p, uint32_t flags) {
        PointNode* node = nullptr;
        if (plist_add(&node, p) != 0) return kOutOfMemory;
        node->flags = flags;
        if (tail_)
            tail_->next = node;
        else
            *head_ = node;
        tail_ = node;
        return 0;
    }
    PointNode* tail() const { return tail_; }

  private:
    PointNode** head_;
    PointNode* tail_;
};

// A resolution (curve step) fit for use: the value when finite and positive,
// else the fallback.
inline double usable_step(double step, double fallback) {
    return (std::isfinite(step) && step > 0) ? step : fallback;
}
