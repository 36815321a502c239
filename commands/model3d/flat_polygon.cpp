// The flat polygon's mesh and the nearness lookup of its vertices (flat_polygon.h).
#include "commands/model3d/flat_polygon.h"

#include <cmath>
#include <new>

#include "commands/draw2d/draw2d.h"
#include "commands/input/support.h"
#include "commands/model3d/model3d.h"
#include "graphics/view/view_host.h"
#include "model/db/wire.h"
#include "model/geom/hatch.h"
#include "model/math/result.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"

namespace {

constexpr double kNear = 1e-6;

long long cell_coord(double v) {
    const double c = std::floor(v / kNear);
    // Far coordinates share the end cells: still correct (candidates are compared), only slower.
    if (c > 4e18) return 4000000000000000000LL;
    if (c < -4e18) return -4000000000000000000LL;
    return static_cast<long long>(c);
}

}  // namespace

size_t NearPointIndex::CellHash::operator()(const Cell& c) const noexcept {
    uint64_t h = static_cast<uint64_t>(c.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(c.y) + 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(c.z) + 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
}

NearPointIndex::Cell NearPointIndex::cell_of(const Vec3& p) {
    return {cell_coord(p.x), cell_coord(p.y), cell_coord(p.z)};
}

int32_t NearPointIndex::find(const Vec3& p) const {
    const Cell c = cell_of(p);
    int32_t best = -1;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz) {
                const auto it = heads_.find({c.x + dx, c.y + dy, c.z + dz});
                if (it == heads_.end()) continue;
                for (int32_t i = it->second; i >= 0; i = next_[static_cast<size_t>(i)])
                    if ((best < 0 || i < best) && vec3_near(points_[static_cast<size_t>(i)], p)) best = i;
            }
    return best;
}

int32_t NearPointIndex::add(const Vec3& p) {
    const auto i = static_cast<int32_t>(points_.size());
    points_.reserve(points_.size() + 1);
    next_.reserve(next_.size() + 1);
    auto [it, added] = heads_.try_emplace(cell_of(p), -1);
    points_.push_back(p);
    next_.push_back(it->second);
    it->second = i;
    return i;
}

int flat_polygon_mesh(const PtrNode* triangles, std::unique_ptr<MESH3>* out) {
    out->reset();
    auto mesh = rtc_make<MESH3>();
    if (!mesh) return kOutOfMemory;
    MeshFaceBlock* block = mesh_face_block(mesh.get(), 0);
    if (!block) return kOutOfMemory;
    int64_t listed = 0;
    for (const PtrNode* t = triangles; t; t = t->next) ++listed;
    MeshEdgeHash hash;
    const int64_t buckets = listed * 2 + 16;
    if (mesh_edge_hash_init(&hash, block, static_cast<int32_t>(buckets < (1 << 24) ? buckets : (1 << 24))) != 0)
        return kOutOfMemory;
    NearPointIndex near;
    try {
        for (const PtrNode* t = triangles; t; t = t->next) {
            const auto* head = static_cast<const PointNode*>(t->value);
            const PointNode* n[3] = {nullptr, nullptr, nullptr};
            int count = 0;
            for (const PointNode* p = head; p && count < 3; p = p->next == head ? nullptr : p->next) n[count++] = p;
            if (count < 3) continue;  // not a triangle
            int32_t v[3];
            for (int k = 0; k < 3; ++k) {
                const Vec3 p{n[k]->x, n[k]->y, n[k]->z};
                if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                    return kBadArgument;
                v[k] = near.find(p);
                if (v[k] >= 0) continue;
                // A new vertex: the block and the lookup keep the same order.
                block->vertices.push_back(MeshVertex{p.x, p.y, p.z, {0, 0, 0, 0, 0, 0}});
                v[k] = near.add(p);
            }
            if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) continue;  // merged into a sliver
            const int r = mesh_add_triangle(block, v[0], v[1], v[2], &hash);
            if (r != 0) return r;
            const MeshFace& f = block->faces.back();
            for (int k = 0; k < 3; ++k)
                if (n[k]->flags & kPointInnerDiagonal) block->edges[static_cast<size_t>(f.e[k])].flags |= kEdgeHidden;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (block->faces.empty()) return 0;
    *out = std::move(mesh);
    return 0;
}

// ---- The Flat polygon command: closed contours picked as for a fill, each filled
// and turned into one flat mesh.

int cmd_flat_polygon(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    int code;
    for (;;) {
        Contour c;
        code = contour_ask(view_ref, &c, nullptr, kHelpFlatPolygon);
        if (code != 0 || !*view_ref || !c.vertices) {
            contour_clear(&c);
            if (code == 0 && !*view_ref) code = kStepCancelled;
            break;
        }
        WaitCursor wait;
        HATCH* fill = nullptr;
        int made = 0;
        code = fill_from_contour(*view_ref, &fill, &c, &made, 0);  // takes the contour over
        if (code != 0) break;
        if (!fill) continue;
        std::unique_ptr<MESH3> mesh;
        code = flat_polygon_mesh(fill->contours[2], &mesh);
        rtc_destroy(fill);  // the temporary fill never reaches the drawing
        if (code != 0) break;
        if (mesh) code = drawing_add_object(*view_ref, std::move(mesh), 1);
        if (code != 0) break;
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}
