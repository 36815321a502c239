// Chains swept into a new mesh (declared in sweep_surface.h).
#include "commands/model3d/sweep_surface.h"

#include <cmath>
#include <new>

#include "commands/model3d/chains.h"
#include "commands/model3d/primitives.h"
#include "model/db/solid.h"
#include "model/geom/query.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/mesh/grid_builders.h"
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
        // A point swept, or a profile swept along no length, has no faces: nothing is made.
        if (prof.size() < 2 || line.size() < 2) return 0;
        const bool prof_ring = profile_closed || sweep_chain_closes(prof);
        const bool path_ring = sweep_chain_closes(line);
        OwnedChain p, l;
        if (p.fill(prof, prof.size() - (prof_ring && !profile_closed ? 1 : 0), prof_ring) != 0 ||
            l.fill(line, line.size() - (path_ring ? 1 : 0), path_ring) != 0)
            return kOutOfMemory;
        auto mesh = rtc_make<MESH3>();
        if (!mesh) return kOutOfMemory;
        const int rc = mesh_sweep(mesh.get(), p.head, &base, &direction, l.head);
        if (rc != 0) return rc;
        *out = std::move(mesh);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

void profile_place(std::vector<Vec3>* profile, const Vec3& at, const Vec3& direction) {
    auto& prof = *profile;
    if (prof.size() < 2) return;
    OwnedChain c;
    if (c.fill(prof) != 0) return;
    Matrix43 into;
    if (prof.size() == 2) {
        const Vec3d p1{prof[0].x, prof[0].y, prof[0].z}, p2{prof[1].x, prof[1].y, prof[1].z};
        Vec3d n;
        plane_normal_slope_d(&n, &p1, &p2, 1);
        mat_align_z(&into, nullptr, n.x, n.y, n.z, 1);
    } else if (!chain_plane(c.head, nullptr, &into, nullptr, nullptr)) {
        return;
    }
    Vec3 centre;
    if (!polyline_center(c.head, &centre)) return;
    Matrix43 turn, m;
    mat_align_z(&turn, nullptr, direction.x, direction.y, direction.z, 0);
    mat_mul(&m, &into, &turn);
    Vec3 mc;
    mat_xform_point(&mc, &centre, &m);
    const double ox = double(at.x) - mc.x, oy = double(at.y) - mc.y, oz = double(at.z) - mc.z;
    for (Vec3& p : prof) {
        Vec3 q;
        mat_xform_point(&q, &p, &m);
        p = Vec3{static_cast<float>(q.x + ox), static_cast<float>(q.y + oy), static_cast<float>(q.z + oz)};
    }
}

int sweep_strokes_meshes(const std::vector<std::vector<Vec3>>& strokes, const std::vector<Vec3>& path,
                         const Vec3& base, const Vec3& direction, std::vector<std::unique_ptr<MESH3>>* out) {
    out->clear();
    for (const auto& s : strokes) {
        std::unique_ptr<MESH3> mesh;
        const int r = sweep_profile_mesh(s, false, path, base, direction, &mesh);
        if (r != 0) return r;
        if (mesh) out->push_back(std::move(mesh));
    }
    return 0;
}

int revolve_strokes_meshes(const std::vector<std::vector<Vec3>>& strokes, const Vec3& a, const Vec3& b,
                           double angle, double start, int steps, std::vector<std::unique_ptr<MESH3>>* out) {
    out->clear();
    for (const auto& s : strokes) {
        if (s.size() < 2) continue;
        RevolveProfiles p;
        p.chains.push_back(s);
        p.axis_a = a;
        p.axis_b = b;
        p.angle = angle;
        p.start = start;
        std::unique_ptr<MESH3> mesh;
        const int r = revolve_profiles_mesh(p, steps, &mesh);
        if (r != 0) return r;
        out->push_back(std::move(mesh));
    }
    return 0;
}

int ruled_mesh(std::vector<std::vector<Vec3>> contours, int faces_m, int smooth, int faces_n,
               std::unique_ptr<MESH3>* out) {
    out->reset();
    if (contours.size() < 2) return 0;
    if (faces_m < 1 || faces_n < 1) return kBadArgument;
    try {
        std::vector<std::unique_ptr<OwnedChain>> chains;
        PtrNode* list = nullptr;
        struct FreeList {
            PtrNode** l;
            ~FreeList() { list_free(l); }
        } guard{&list};
        // The loft takes its rows in list order; prepending from the back keeps it.
        for (size_t i = contours.size(); i-- > 0;) {
            const int r = chain_resample(&contours[i], faces_m);
            if (r != 0) return r;
            chains.push_back(std::make_unique<OwnedChain>());
            if (chains.back()->fill(contours[i]) != 0 ||
                ptrlist_add(&list, chains.back()->head) != 0)
                return kOutOfMemory;
        }
        auto mesh = rtc_make<MESH3>();
        if (!mesh) return kOutOfMemory;
        const int r = mesh_add_loft(mesh.get(), list, smooth, faces_n);
        if (r != 0) return r;
        *out = std::move(mesh);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}
