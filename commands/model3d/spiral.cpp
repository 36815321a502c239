// Spiral path and tube circle in a view's frame.
#include "commands/model3d/spiral.h"

#include <cmath>
#include <new>

#include "commands/model3d/sweep_surface.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/math/arcgeom.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "model/mesh/chain.h"

namespace {

constexpr double kTwoPi = 6.28318530717958647692;

Vec3 view_vec(double x, double y, double z) {
    Vec3 v;
    v.x = static_cast<float>(x);
    v.y = static_cast<float>(y);
    v.z = static_cast<float>(z);
    return v;
}

}  // namespace

int spiral_path(const ViewProjection& vp, const Vec3& centre, double step, double radius,
                double rounds, int m, bool negative, std::vector<Vec3>* path) {
    if (!path || m < 1 || !vec3_finite(centre) || !std::isfinite(step) || !std::isfinite(radius) ||
        !std::isfinite(rounds))
        return kBadArgument;
    const double count = rounds * m;
    if (!std::isfinite(count) || count < 0 || count > kChainMaxSegments) return kBadArgument;
    const int n = static_cast<int>(count);
    Vec3 c;
    world_to_view(&vp, centre, &c);
    const double sign = negative ? -1.0 : 1.0;
    try {
        std::vector<Vec3> out;
        out.reserve(static_cast<size_t>(n) + 1);
        auto add = [&](double x, double t) {
            Vec3 w;
            view_to_world(&vp, view_vec(x, c.y + radius * std::cos(t), c.z - radius * std::sin(t)), &w);
            out.push_back(w);
        };
        for (int i = 0; i < n; ++i) add(c.x + i * step / m, sign * i * kTwoPi / m);
        add(c.x + rounds * step, sign * rounds * kTwoPi);
        for (const Vec3& p : out)
            if (!vec3_finite(p)) return kBadArgument;
        path->swap(out);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

int spiral_tube(const ViewProjection& vp, const Vec3& centre, double radius, double tube, int n,
                std::vector<Vec3>* circle) {
    if (!circle || !vec3_finite(centre) || !std::isfinite(radius) || !std::isfinite(tube))
        return kBadArgument;
    Vec3 c;
    world_to_view(&vp, centre, &c);
    PointNode* list = nullptr;
    int rc = arc_points_n(view_vec(c.x, c.y + radius, c.z), tube, 0.0, kTwoPi, n, &list);
    if (rc != 0) {
        list_free(&list);
        return rc;
    }
    try {
        std::vector<Vec3> out;
        for (const PointNode* p = list; p; p = p->next) {
            Vec3 w;
            view_to_world(&vp, view_vec(p->x, p->y, p->z), &w);
            out.push_back(w);
            if (p->next == list) break;
        }
        list_free(&list);
        circle->swap(out);
    } catch (const std::bad_alloc&) {
        list_free(&list);
        return kOutOfMemory;
    }
    return 0;
}

int spiral_mesh(const std::vector<Vec3>& circle, const std::vector<Vec3>& path,
                std::unique_ptr<MESH3>* out) {
    out->reset();
    if (path.size() < 2 || circle.size() < 3) return kBadArgument;
    Vec3 dir;
    dir.x = path[1].x - path[0].x;
    dir.y = path[1].y - path[0].y;
    dir.z = path[1].z - path[0].z;
    return sweep_profile_mesh(circle, true, path, path[0], dir, out);
}
