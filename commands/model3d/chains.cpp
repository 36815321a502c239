// Picked curves for the swept-surface commands (declared in chains.h).
#include "commands/model3d/chains.h"

#include <cmath>
#include <new>

#include "commands/model3d/model3d.h"
#include "model/math/plist_edit.h"
#include "model/math/result.h"
#include "model/mesh/chain.h"

int OwnedChain::fill(const std::vector<Vec3>& pts, size_t count, bool ring) {
    list_free(&head);
    if (count > pts.size()) count = pts.size();
    for (size_t i = count; i-- > 0;)
        if (plist_add(&head, pts[i]) != 0) {
            list_free(&head);
            return kOutOfMemory;
        }
    if (ring && head) {
        PointNode* last = head;
        while (last->next) last = last->next;
        last->next = head;
    }
    return 0;
}

std::vector<Vec3> chain_to_vector(const PointNode* list) {
    std::vector<Vec3> out;
    for (const PointNode* p = list; p; p = p->next == list ? nullptr : p->next) out.push_back({p->x, p->y, p->z});
    return out;
}

int chain_resample(std::vector<Vec3>* chain, int n) {
    if (n < 1 || chain->empty()) return kBadArgument;
    if (n > kChainMaxSegments) return kBadArgument;
    for (const Vec3& p : *chain)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return kBadArgument;
    try {
        OwnedChain c;
        if (c.fill(*chain) != 0) return kOutOfMemory;
        plist_remove_repeats(&c.head);
        const int segments = plist_count(c.head) - 1;
        int r = 0;
        if (segments > n) r = chain_spline_resample(c.head, n);
        else if (segments < n && segments > 0) r = chain_subdivide(c.head, n);
        // The limits were checked above: what is left is memory (or points not finite).
        if (r != 0) return kOutOfMemory;
        plist_remove_repeats(&c.head);
        *chain = chain_to_vector(c.head);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

std::vector<std::vector<Vec3>> base_strokes(const std::vector<std::vector<BasePoint>>& bases) {
    std::vector<std::vector<Vec3>> out;
    for (const auto& base : bases) {
        std::vector<Vec3> stroke;
        for (size_t i = 0; i < base.size(); ++i) {
            stroke.push_back(base[i].p);
            // A pen-up point or the base's end closes the stroke.
            if (!base[i].pen_up && i + 1 < base.size()) continue;
            if (stroke.size() >= 2) out.push_back(std::move(stroke));
            stroke.clear();
        }
    }
    return out;
}

int wire_strokes(const object* obj, int count, std::vector<std::vector<Vec3>>* out) {
    try {
        std::vector<std::vector<BasePoint>> bases;
        wire_point_lists(obj, &bases);
        for (auto& s : base_strokes(bases)) {
            if (count >= 0) {
                const int r = chain_resample(&s, count);
                if (r != 0) return r;
            }
            out->push_back(std::move(s));
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}
