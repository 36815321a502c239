// Chains swept into a new mesh (declared in sweep_surface.h).
#include "commands/model3d/sweep_surface.h"

#include <cmath>
#include <new>

#include "model/db/solid.h"
#include "model/math/plist.h"
#include "model/mesh/sweep.h"
#include "model/rtc/rtc.h"

namespace {

double gap(const Vec3& a, const Vec3& b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The chain without consecutive repeats (1e-6 on every axis).
std::vector<Vec3> without_repeats(const std::vector<Vec3>& in) {
    std::vector<Vec3> out;
    out.reserve(in.size());
    for (const Vec3& p : in)
        if (out.empty() || !vec3_near(out.back(), p)) out.push_back(p);
    return out;
}

// A point list owning its nodes, open or closed.
struct OwnedList {
    PointNode* head = nullptr;
    ~OwnedList() { list_free(&head); }
    // The first `count` points of `pts` in order, closed into a ring when `ring`.
    int fill(const std::vector<Vec3>& pts, size_t count, bool ring) {
        for (size_t i = count; i-- > 0;)
            if (plist_add(&head, pts[i]) != 0) return 8;
        if (ring && head) {
            PointNode* last = head;
            while (last->next) last = last->next;
            last->next = head;
        }
        return 0;
    }
};

}  // namespace

bool sweep_chain_closes(const std::vector<Vec3>& chain) {
    if (chain.size() < 4 || !(gap(chain.front(), chain.back()) < kSweepCloseGap)) return false;
    double length = 0;
    for (size_t i = 1; i < chain.size(); ++i) length += gap(chain[i - 1], chain[i]);
    return length >= 0.01;
}

int sweep_profile_mesh(const std::vector<Vec3>& profile, bool profile_closed, const std::vector<Vec3>& path,
                       const Vec3& base, const Vec3& direction, std::unique_ptr<MESH3>* out) {
    out->reset();
    if (path.empty()) return 0;
    try {
        std::vector<Vec3> prof = without_repeats(profile), line = without_repeats(path);
        if (profile_closed && prof.size() > 1 && vec3_near(prof.front(), prof.back())) prof.pop_back();
        const bool prof_ring = profile_closed || sweep_chain_closes(prof);
        const bool path_ring = sweep_chain_closes(line);
        OwnedList p, l;
        if (p.fill(prof, prof.size() - (prof_ring && !profile_closed ? 1 : 0), prof_ring) != 0 ||
            l.fill(line, line.size() - (path_ring ? 1 : 0), path_ring) != 0)
            return 8;
        auto mesh = rtc_make<MESH3>();
        if (!mesh) return 8;
        const int rc = mesh_sweep(mesh.get(), p.head, &base, &direction, l.head);
        if (rc != 0) return rc;
        *out = std::move(mesh);
    } catch (const std::bad_alloc&) {
        return 8;
    }
    return 0;
}
