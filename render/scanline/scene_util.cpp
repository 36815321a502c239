// Frames, culling, bounds and texture coordinates of the scene preparation.
#include "render/scanline/scene_util.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/vec.h"
#include "render/scanline/between.h"
#include "render/scanline/clip_near.h"

namespace {

double dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
bool unit(Vec3d* v) {
    const double l = std::sqrt(dot(*v, *v));
    if (!(l > 1e-12) || !std::isfinite(l)) return false;
    *v = {v->x / l, v->y / l, v->z / l};
    return true;
}

}  // namespace

int camera_frame(const CAMERA& cam, Matrix43* m, Matrix43* inverse) {
    if (!vec3_finite(cam.position) || !vec3_finite(cam.target) || !std::isfinite(cam.lens) ||
        !(cam.lens > 0.0))
        return kBadArgument;
    Vec3d back = {double(cam.position.x) - cam.target.x, double(cam.position.y) - cam.target.y,
                  double(cam.position.z) - cam.target.z};
    if (!unit(&back)) return kBadArgument;
    Vec3d up = {cam.up.x, cam.up.y, cam.up.z};
    Vec3d x = cross(up, back);
    if (!vec3_finite(cam.up) || !unit(&x)) {
        // No usable up vector: world +Z, or +Y when looking along Z.
        up = std::fabs(back.z) > 0.999999 ? Vec3d{0, 1, 0} : Vec3d{0, 0, 1};
        x = cross(up, back);
        unit(&x);
    }
    const Vec3d y = cross(back, x);
    const Vec3d e = {cam.position.x, cam.position.y, cam.position.z};
    *m = {{x.x, y.x, back.x, x.y, y.y, back.y, x.z, y.z, back.z, -dot(e, x), -dot(e, y),
           -dot(e, back)}};
    if (mat_invert(inverse, m) == 0.0) return kBadArgument;
    return 0;
}

int parallel_frame(const ViewProjection& view, int32_t width, int32_t height, double draft,
                   Matrix43* m, Matrix43* inverse, double window[4]) {
    if (!std::isfinite(view.scale) || !(view.scale > 0.0) || !std::isfinite(view.origin_x) ||
        !std::isfinite(view.origin_y))
        return kBadArgument;
    Matrix43 t = view.view;
    Matrix43 step = kMatIdentity;
    step.m[9] = -view.origin_x;
    step.m[10] = -view.origin_y;
    mat_mul(&t, &t, &step);
    step = kMatIdentity;
    step.m[0] = step.m[4] = step.m[8] = view.scale;
    mat_mul(&t, &t, &step);
    step = kMatIdentity;
    step.m[9] = -width / 2.0;
    step.m[10] = -height / 2.0;
    mat_mul(&t, &t, &step);
    step = kMatIdentity;
    step.m[0] = step.m[4] = step.m[8] = draft;
    mat_mul(&t, &t, &step);
    for (double v : t.m)
        if (!std::isfinite(v)) return kBadArgument;
    *m = t;
    if (mat_invert(inverse, m) == 0.0) return kBadArgument;
    window[0] = -width / 2.0 * draft;
    window[1] = -height / 2.0 * draft;
    window[2] = width / 2.0 * draft;
    window[3] = height / 2.0 * draft;
    return 0;
}

void frustum_from_camera(Frustum* f, const Matrix43& matrix, double focal, int32_t width,
                         int32_t height) {
    f->matrix = matrix;
    // In camera space: a point (x, y, z) with -z > 0 shows at x focal / -z.
    const double a = width / 2.0 / focal, b = height / 2.0 / focal;
    f->normal[0] = {1, 0, -a};
    f->normal[1] = {-1, 0, -a};
    f->normal[2] = {0, 1, -b};
    f->normal[3] = {0, -1, -b};
    f->normal[4] = {0, 0, -1};
    for (int i = 0; i < 4; ++i) f->offset[i] = 0.0;
    f->offset[4] = -0.1;  // in front of the camera plane by 0.1
}

bool frustum_culls(const Frustum& f, const RenderMesh& mesh) {
    if (mesh.vertices.empty()) return true;
    std::vector<Vec3d> cam(mesh.vertices.size());
    for (size_t i = 0; i < cam.size(); ++i)
        mat_xform_point_d(&cam[i], &mesh.vertices[i].world, &f.matrix);
    for (int s = 0; s < 5; ++s) {
        bool all_out = true;
        for (size_t i = 0; i < cam.size() && all_out; ++i)
            if (!(dot(f.normal[s], cam[i]) + f.offset[s] < 0.0)) all_out = false;
        if (all_out) return true;
    }
    return false;
}

void bbox_grow(BBox* box, const Vec3d& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    const auto x = static_cast<float>(p.x), y = static_cast<float>(p.y),
               z = static_cast<float>(p.z);
    box->min = {std::min(box->min.x, x), std::min(box->min.y, y), std::min(box->min.z, z)};
    box->max = {std::max(box->max.x, x), std::max(box->max.y, y), std::max(box->max.z, z)};
}

void bbox_merge(BBox* box, const BBox& o) {
    if (bbox_is_empty(o)) return;
    bbox_grow(box, {o.min.x, o.min.y, o.min.z});
    bbox_grow(box, {o.max.x, o.max.y, o.max.z});
}

void grow_by_window(BBox* box, const RenderMesh& mesh, const Matrix43& matrix,
                    const double w[4], size_t first, size_t end, const Vec3d* through) {
    auto inside = [&](const Vec3d& p) {
        return p.x >= w[0] && p.x <= w[2] && p.y >= w[1] && p.y <= w[3];
    };
    const double corners[4][2] = {{w[0], w[1]}, {w[2], w[1]}, {w[2], w[3]}, {w[0], w[3]}};
    end = std::min(end, mesh.triangles.size());
    for (size_t i = first; i < end; ++i) {
        const RenderTriangle& t = mesh.triangles[i];
        Vec3d p[3];
        bool ok = true;
        for (int k = 0; k < 3; ++k) {
            if (t.corner[k] < 0 || static_cast<size_t>(t.corner[k]) >= mesh.vertices.size() ||
                !mesh.vertices[t.corner[k]].finite) {
                ok = false;
                break;
            }
            if (through)
                p[k] = through[t.corner[k]];
            else
                mat_xform_point_d(&p[k], &mesh.vertices[t.corner[k]].world, &matrix);
        }
        if (!ok) continue;
        for (int k = 0; k < 3; ++k)
            if (inside(p[k])) bbox_grow(box, p[k]);
        // Window corners inside the triangle (sub-areas adding up to its area), with
        // the depth of the triangle's plane there. The areas' rounding grows with the
        // square of the coordinates: a face far larger than the window is still seen.
        auto area = [](double ax, double ay, double bx, double by, double cx, double cy) {
            return std::fabs(twice_area(ax, ay, bx, by, cx, cy)) / 2.0;
        };
        const double whole = area(p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
        if (whole > 0.0)
            for (const auto& c : corners) {
                const double a0 = area(c[0], c[1], p[1].x, p[1].y, p[2].x, p[2].y);
                const double a1 = area(p[0].x, p[0].y, c[0], c[1], p[2].x, p[2].y);
                const double a2 = area(p[0].x, p[0].y, p[1].x, p[1].y, c[0], c[1]);
                if (std::fabs(a0 + a1 + a2 - whole) <= 0.0001 + 1e-9 * whole)
                    bbox_grow(box, {c[0], c[1], (a0 * p[0].z + a1 * p[1].z + a2 * p[2].z) / whole});
            }
        // Crossings of the edges with the window's sides.
        for (int k = 0; k < 3; ++k) {
            const Vec3d& a = p[k];
            const Vec3d& b = p[(k + 1) % 3];
            for (int axis = 0; axis < 2; ++axis) {
                const double a0 = axis ? a.y : a.x, b0 = axis ? b.y : b.x;
                if (std::fabs(b0 - a0) < 0.001) continue;
                for (int side = 0; side < 2; ++side) {
                    const double v = w[axis + side * 2];
                    const Between s = between_at(a0, b0, v);
                    if (!(s.s >= 0.0 && s.s1 >= 0.0)) continue;
                    const Vec3d q = {value_between(a.x, b.x, s), value_between(a.y, b.y, s),
                                     value_between(a.z, b.z, s)};
                    const Vec3d on = axis ? Vec3d{q.x, v, q.z} : Vec3d{v, q.y, q.z};
                    if (inside(on)) bbox_grow(box, on);
                }
            }
        }
    }
}

int mesh_texture_coordinates(const RenderContext* ctx, RenderMesh* mesh) {
    const MaterialRecord* m = mesh->material;
    if (mesh->has_vertex_uv) {
        for (RenderTriangle& t : mesh->triangles)
            for (int k = 0; k < 3; ++k)
                if (t.corner[k] >= 0 && static_cast<size_t>(t.corner[k]) < mesh->vertices.size()) {
                    t.uv[k * 2] = mesh->vertices[t.corner[k]].u;
                    t.uv[k * 2 + 1] = mesh->vertices[t.corner[k]].v;
                }
        return 0;
    }
    if (!(ctx->flags & kRenderTextures) || !m || !mesh->block) return 0;
    auto cell_mapped = [&](int s) {
        return m->slots[s].kind == kTextureImage && m->slots[s].mapping_mode == kMappingModePoint;
    };
    if (!cell_mapped(kSlotTexture) && !cell_mapped(kSlotBump)) return 0;
    std::vector<float> uv;
    const int rc = render_grid_uv(mesh->block, mesh->rows, mesh->columns, false, &uv);
    if (rc == kOutOfMemory) return kOutOfMemory;
    if (rc != 0) return 0;  // not a grid of that layout: no coordinates
    if (render_mesh_edges(mesh) != 0) return kOutOfMemory;
    const bool scale = !(m->flags & kMaterialMappingType);
    for (size_t e = 0; e < mesh->edges.size() && e * 4 + 3 < uv.size(); ++e)
        for (int k = 0; k < 4; ++k) {
            float v = uv[e * 4 + k];
            if (scale) v /= (k % 2 == 0) ? float(mesh->columns) : float(mesh->rows);
            mesh->edges[e].uv[k] = v;
        }
    mesh->has_edge_uv = true;
    // Corner coordinates from the face's edges ending at the corner.
    const MeshFaceBlock* b = mesh->block;
    for (size_t f = 0; f < mesh->triangles.size() && f < b->faces.size(); ++f) {
        RenderTriangle& t = mesh->triangles[f];
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 3; ++j) {
                const int32_t e = b->faces[f].e[j];
                if (e < 0 || static_cast<size_t>(e) >= mesh->edges.size()) continue;
                const RenderEdge& ed = mesh->edges[e];
                if (ed.v[0] == t.corner[k]) {
                    t.uv[k * 2] = ed.uv[0];
                    t.uv[k * 2 + 1] = ed.uv[1];
                    break;
                }
                if (ed.v[1] == t.corner[k]) {
                    t.uv[k * 2] = ed.uv[2];
                    t.uv[k * 2 + 1] = ed.uv[3];
                    break;
                }
            }
        }
    }
    return 0;
}
