// Grid patches, surfaces of revolution and lofts (declared in grid_builders.h). Each
// computes its rows of points in double and hands them to mesh_add_grid.
#include "model/mesh/grid_builders.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/mesh/mesh_block.h"

namespace {

Vec3d to_d(const Vec3& p) {
    return {p.x, p.y, p.z};
}

bool all_finite(const std::vector<Vec3d>& points) {
    for (const Vec3d& p : points) {
        if (!vec3_finite_d(p)) return false;
    }
    return true;
}

}  // namespace

int mesh_add_grid_patch(MESH3* mesh, const Vec3* c1, const Vec3* c2, const Vec3* c3,
                        const Vec3* c4, int m, int n) {
    if (!mesh || !c1 || !c2 || !c3 || !c4 || m < 1 || n < 1) return kBadArgument;
    if (!mesh_grid_fits(int64_t{m} + 1, int64_t{n} + 1)) return kBadArgument;
    const Vec3d p1 = to_d(*c1), p2 = to_d(*c2), p3 = to_d(*c3), p4 = to_d(*c4);
    std::vector<Vec3d> points;
    try {
        points.reserve(static_cast<size_t>(m + 1) * static_cast<size_t>(n + 1));
        for (int k = 0; k <= n; ++k) {
            for (int i = 0; i <= m; ++i) {
                const double u = static_cast<double>(i) / m;
                points.push_back(mesh_lerp(mesh_lerp(p1, p2, u), mesh_lerp(p4, p3, u),
                                            static_cast<double>(k) / n));
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return mesh_add_grid(mesh, points, m + 1, n + 1, false, false);
}

int mesh_revolve(MESH3* mesh, const VertexChain* profile, const Vec3* a, const Vec3* b,
                 double angle, double start, int steps) {
    if (!mesh || !profile || !a || !b || steps < 1) return kBadArgument;
    if (angle == 0 || !std::isfinite(angle) || !std::isfinite(start)) return kBadArgument;
    if (!vec3_finite(*a) || !vec3_finite(*b)) return kBadArgument;
    const double ax = double{b->x} - a->x, ay = double{b->y} - a->y, az = double{b->z} - a->z;
    if (std::sqrt(ax * ax + ay * ay + az * az) < 1e-6) return kBadArgument;

    const bool full_turn = std::fabs(angle) == kTwoPi;
    const int64_t rows = full_turn ? steps : int64_t{steps} + 1;
    std::vector<Vec3d> shape, points;
    try {
        shape = chain_points(profile);
        if (!mesh_grid_fits(static_cast<int64_t>(shape.size()), rows)) return kBadArgument;
        if (!all_finite(shape)) return kBadArgument;
        points.reserve(shape.size() * static_cast<size_t>(rows));
        for (int64_t k = 0; k < rows; ++k) {
            Matrix43 m;
            mat_rotate_axis(&m, a, ax, ay, az, start + static_cast<double>(k) * angle / steps,
                            nullptr);
            for (const Vec3d& p : shape) {
                Vec3d q;
                points.push_back(*mat_xform_point_d(&q, &p, &m));
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    const bool closed = plist_is_closed(profile);
    return mesh_add_grid(mesh, points, static_cast<int32_t>(shape.size()),
                         static_cast<int32_t>(rows), closed, full_turn);
}

int mesh_add_loft(MESH3* mesh, const PtrNode* contours, int resample, int n) {
    if (!mesh || n < 1) return kBadArgument;
    std::vector<std::vector<Vec3d>> rows;
    bool all_closed = true;
    size_t width = 0;
    try {
        for (const PtrNode* c = contours; c; c = c->next == contours ? nullptr : c->next) {
            const auto* chain = static_cast<const VertexChain*>(c->value);
            if (!chain) return kBadArgument;
            rows.push_back(chain_points(chain));
            if (!all_finite(rows.back())) return kBadArgument;
            // A one-point contour (a loft's apex) neither opens nor closes the rows.
            if (rows.back().size() > 1) all_closed = all_closed && plist_is_closed(chain);
            width = std::max(width, rows.back().size());
        }
        if (rows.size() < 2) return kBadArgument;
        if (!mesh_grid_fits(static_cast<int64_t>(width), static_cast<int64_t>(rows.size())))
            return kBadArgument;
        // Bring every contour to `width` points.
        for (std::vector<Vec3d>& row : rows) {
            if (row.size() == width) continue;
            if (row.size() == 1) {
                row.assign(width, row.front());
            } else {
                const auto w = static_cast<int>(width);
                row = polyline_subdivide(row, all_closed, all_closed ? w : w - 1);
            }
        }
        if (resample) {
            if (!mesh_grid_fits(static_cast<int64_t>(width), int64_t{n} + 1)) return kBadArgument;
            std::vector<std::vector<Vec3d>> smooth(static_cast<size_t>(n) + 1,
                                                   std::vector<Vec3d>(width));
            std::vector<Vec3d> across, out;
            for (size_t i = 0; i < width; ++i) {
                across.clear();
                for (const std::vector<Vec3d>& row : rows) across.push_back(row[i]);
                const int r = chain_resample_points(across, n, out);
                if (r != 0) return r == kOutOfMemory ? kOutOfMemory : kBadArgument;
                for (size_t k = 0; k < out.size(); ++k) smooth[k][i] = out[k];
            }
            rows.swap(smooth);
        }
        std::vector<Vec3d> points;
        points.reserve(width * rows.size());
        for (const std::vector<Vec3d>& row : rows) points.insert(points.end(), row.begin(), row.end());
        return mesh_add_grid(mesh, points, static_cast<int32_t>(width),
                             static_cast<int32_t>(rows.size()), all_closed, false);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}
