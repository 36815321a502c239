// Near-plane clipping of the render meshes and grid texture coordinates.
#include "render/scanline/clip_near.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>

#include "model/db/solid.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "render/scanline/between.h"
#include "render/scanline/render_context.h"

namespace {

struct Crossing {
    double t = 0.0;          // along the edge from its first vertex
    int32_t vertex = -1;     // new vertex index
};

bool vertex_behind(const RenderVertex& v) {
    // NaN counts as behind: such a corner is never drawn.
    return !(v.image.z <= kNearPlane);
}

// The index of the triangle's edge joining vertices a and b, or -1.
int32_t edge_between(const RenderMesh& m, const RenderTriangle& tri, int32_t a, int32_t b) {
    for (int k = 0; k < 3; ++k) {
        const int32_t e = tri.edge[k];
        if (e < 0 || e >= static_cast<int32_t>(m.edges.size())) continue;
        const RenderEdge& ed = m.edges[e];
        if ((ed.v[0] == a && ed.v[1] == b) || (ed.v[0] == b && ed.v[1] == a)) return e;
    }
    return -1;
}

ShadeRecord mix(const ShadeRecord& a, const ShadeRecord& b, double s) {
    ShadeRecord r;
    for (int i = 0; i < 3; ++i) r.v[i] = static_cast<float>((1.0 - s) * a.v[i] + s * b.v[i]);
    return r;
}

int clip_mesh(RenderMesh* m, RenderMesh** out) {
    *out = nullptr;
    const size_t ne = m->edges.size();
    const size_t nv = m->vertices.size();
    std::vector<uint8_t> status(ne, kNearBehind);
    std::vector<Crossing> cross(ne);
    bool any_behind = false;
    for (size_t e = 0; e < ne; ++e) {
        const RenderEdge& ed = m->edges[e];
        if (ed.v[0] < 0 || ed.v[1] < 0 || static_cast<size_t>(ed.v[0]) >= nv ||
            static_cast<size_t>(ed.v[1]) >= nv)
            continue;  // an edge naming no vertex is never drawn
        const bool b0 = vertex_behind(m->vertices[ed.v[0]]);
        const bool b1 = vertex_behind(m->vertices[ed.v[1]]);
        status[e] = static_cast<uint8_t>((b0 ? 1 : 0) | (b1 ? 2 : 0));
        if (status[e] != kNearFront) any_behind = true;
    }
    for (const RenderTriangle& t : m->triangles)
        for (int k = 0; k < 3; ++k)
            if (t.drawable && vertex_behind(m->vertices[t.corner[k]])) any_behind = true;
    if (!any_behind) return 0;

    auto* n = new RenderMesh();
    std::unique_ptr<RenderMesh> owner(n);
    n->material = m->material;
    n->block = m->block;
    n->tag = m->tag;
    n->rows = m->rows;
    n->columns = m->columns;
    n->has_vertex_uv = m->has_vertex_uv;
    n->has_edge_uv = m->has_edge_uv;
    n->shade = m->shade;
    std::vector<int32_t> renumber(nv, -1);
    auto keep_vertex = [&](int32_t v) {
        if (renumber[v] < 0) {
            renumber[v] = static_cast<int32_t>(n->vertices.size());
            n->vertices.push_back(m->vertices[v]);
        }
        return renumber[v];
    };
    // Crossings and kept edges.
    for (size_t e = 0; e < ne; ++e) {
        const RenderEdge& ed = m->edges[e];
        if (status[e] == kNearBehind) continue;
        if (status[e] == kNearFront) {
            RenderEdge k = ed;
            k.v[0] = keep_vertex(ed.v[0]);
            k.v[1] = keep_vertex(ed.v[1]);
            n->edges.push_back(k);
            continue;
        }
        const RenderVertex& a = m->vertices[ed.v[0]];
        const RenderVertex& b = m->vertices[ed.v[1]];
        // The crossing is measured from the corner nearer to it: the other may lie very
        // far away, and a position taken from there would carry its rounding.
        RenderVertex x = status[e] == kNearFirstBehind ? b : a;  // records of the front
        double t = 0.0;  // from a
        if (std::fabs(b.image.z - a.image.z) >= 1e-6) {
            Between p = between_at(a.image.z, b.image.z, kNearPlane);
            if (p.s < 0.0) p = {0.0, 1.0};
            if (p.s1 < 0.0) p = {1.0, 0.0};
            if (!(p.s >= 0.0 && p.s1 >= 0.0))  // not a number: at the front corner
                p = status[e] == kNearFirstBehind ? Between{1.0, 0.0} : Between{0.0, 1.0};
            x.image = {value_between(a.image.x, b.image.x, p), value_between(a.image.y, b.image.y, p),
                       kNearPlane};
            t = p.s;
        } else {
            t = status[e] == kNearFirstBehind ? 1.0 : 0.0;
        }
        x.u = static_cast<float>(a.u + (b.u - a.u) * t);
        x.v = static_cast<float>(a.v + (b.v - a.v) * t);
        cross[e].t = t;
        cross[e].vertex = static_cast<int32_t>(n->vertices.size());
        n->vertices.push_back(x);
        const int32_t front = status[e] == kNearFirstBehind ? ed.v[1] : ed.v[0];
        RenderEdge k = ed;
        k.v[0] = keep_vertex(front);
        k.v[1] = cross[e].vertex;
        n->edges.push_back(k);
    }
    // Faces by class.
    for (const RenderTriangle& t : m->triangles) {
        if (!t.drawable) continue;
        bool behind[3];
        int front_count = 0;
        for (int k = 0; k < 3; ++k) {
            behind[k] = vertex_behind(m->vertices[t.corner[k]]);
            front_count += !behind[k];
        }
        if (front_count == 3) {
            RenderTriangle c = t;
            for (int k = 0; k < 3; ++k) c.corner[k] = keep_vertex(t.corner[k]);
            for (int k = 0; k < 3; ++k) c.edge[k] = -1;
            n->triangles.push_back(c);
            continue;
        }
        if (front_count == 0) continue;
        // The crossing on the edge from corner i to corner j: its new vertex, shading
        // record and texture coordinates, mixed from i toward j.
        struct Cut {
            int32_t vertex;
            int32_t shade;
            float u, v;
        };
        auto cut = [&](int i, int j, Cut* out) {
            const int32_t e = edge_between(*m, t, t.corner[i], t.corner[j]);
            if (e < 0 || cross[e].vertex < 0) return false;
            const double s = m->edges[e].v[0] == t.corner[i] ? cross[e].t : 1.0 - cross[e].t;
            out->vertex = cross[e].vertex;
            out->shade = -1;
            if (t.shade[i] >= 0 && t.shade[j] >= 0) {
                out->shade = static_cast<int32_t>(n->shade.size());
                n->shade.push_back(mix(m->shade[t.shade[i]], m->shade[t.shade[j]], s));
            }
            out->u = static_cast<float>(t.uv[i * 2] + (t.uv[j * 2] - t.uv[i * 2]) * s);
            out->v = static_cast<float>(t.uv[i * 2 + 1] + (t.uv[j * 2 + 1] - t.uv[i * 2 + 1]) * s);
            return true;
        };
        auto make = [&](int32_t v0, int32_t s0, float u0, float w0, int32_t v1, int32_t s1,
                        float u1, float w1, int32_t v2, int32_t s2, float u2, float w2) {
            RenderTriangle c = t;
            c.corner[0] = v0;
            c.corner[1] = v1;
            c.corner[2] = v2;
            c.shade[0] = s0;
            c.shade[1] = s1;
            c.shade[2] = s2;
            const float uv[6] = {u0, w0, u1, w1, u2, w2};
            for (int k = 0; k < 6; ++k) c.uv[k] = uv[k];
            for (int k = 0; k < 3; ++k) c.edge[k] = -1;
            n->triangles.push_back(c);
        };
        if (front_count == 1) {
            const int f = !behind[0] ? 0 : !behind[1] ? 1 : 2;
            const int g = (f + 1) % 3, h = (f + 2) % 3;
            Cut x1, x2;
            if (!cut(f, g, &x1) || !cut(f, h, &x2)) {
                log_message(LogLevel::debug, "near clip: face without its cut edges dropped");
                continue;
            }
            make(keep_vertex(t.corner[f]), t.shade[f], t.uv[f * 2], t.uv[f * 2 + 1], x1.vertex,
                 x1.shade, x1.u, x1.v, x2.vertex, x2.shade, x2.u, x2.v);
            n->edges.push_back(RenderEdge{{x1.vertex, x2.vertex}, {x1.u, x1.v, x2.u, x2.v}});
        } else {
            const int b = behind[0] ? 0 : behind[1] ? 1 : 2;
            const int p = (b + 1) % 3, q = (b + 2) % 3;  // the front corners, in order
            Cut xq, xp;  // on q->b and on p->b
            if (!cut(q, b, &xq) || !cut(p, b, &xp)) {
                log_message(LogLevel::debug, "near clip: face without its cut edges dropped");
                continue;
            }
            const int32_t vp = keep_vertex(t.corner[p]), vq = keep_vertex(t.corner[q]);
            // Quadrilateral p, q, xq, xp (the winding of p, q, b).
            make(vp, t.shade[p], t.uv[p * 2], t.uv[p * 2 + 1], vq, t.shade[q], t.uv[q * 2],
                 t.uv[q * 2 + 1], xq.vertex, xq.shade, xq.u, xq.v);
            make(vp, t.shade[p], t.uv[p * 2], t.uv[p * 2 + 1], xq.vertex, xq.shade, xq.u, xq.v,
                 xp.vertex, xp.shade, xp.u, xp.v);
            n->edges.push_back(RenderEdge{{xq.vertex, xp.vertex}, {xq.u, xq.v, xp.u, xp.v}});
            n->edges.push_back(RenderEdge{{vp, xq.vertex}, {}});
        }
    }
    *out = owner.release();
    return 0;
}

}  // namespace

int render_clip_near(RenderMesh** list, const Matrix43* matrix, const Matrix43* inverse,
                     int32_t threads) {
    RenderMesh** link = list;
    while (*link) {
        RenderMesh* m = *link;
        constexpr size_t kChunk = 16384;
        const size_t nv = m->vertices.size();
        std::atomic<bool> any_behind{false};
        render_parallel_for(nv >= 4 * kChunk ? threads : 1,
                            static_cast<int64_t>((nv + kChunk - 1) / kChunk), [&](int64_t c) {
            bool behind = false;
            for (size_t i = static_cast<size_t>(c) * kChunk; i < std::min(nv, (c + 1) * kChunk); ++i) {
                RenderVertex& v = m->vertices[i];
                mat_xform_point_d(&v.image, &v.world, matrix);
                behind = behind || vertex_behind(v);
            }
            if (behind) any_behind = true;
        });
        const bool behind = any_behind;
        RenderMesh* clipped = nullptr;
        try {
            if (behind && render_mesh_edges(m) != 0) return kOutOfMemory;
            if (behind) clip_mesh(m, &clipped);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        if (clipped) {
            // Crossings were made in the image frame; give them drawing coordinates.
            for (RenderVertex& v : clipped->vertices)
                if (v.image.z == kNearPlane) mat_xform_point_d(&v.world, &v.image, inverse);
            clipped->next = m->next;
            *link = clipped;
            delete m;
            m = clipped;
        }
        if (m->triangles.empty() || m->vertices.empty()) {
            *link = m->next;
            delete m;
            continue;
        }
        link = &m->next;
    }
    return 0;
}

int render_grid_uv(const MeshFaceBlock* block, int32_t rows, int32_t columns, bool length_mode,
                   std::vector<float>* edge_uv) {
    if (!block || !edge_uv) return kBadArgument;
    edge_uv->clear();
    const int64_t R = rows, C = columns;
    if (R < 1 || C < 1) return kBadArgument;
    const int64_t expected = C + R * (3 * C + 1);
    if (static_cast<int64_t>(block->edges.size()) != expected) return kBadArgument;
    try {
        edge_uv->assign(static_cast<size_t>(expected) * 4, 0.0f);
        // Grid position (column, row) of each end of each edge, by the layout.
        std::vector<int32_t> ends(static_cast<size_t>(expected) * 4);
        auto set = [&](int64_t e, int64_t c0, int64_t r0, int64_t c1, int64_t r1) {
            ends[e * 4] = static_cast<int32_t>(c0);
            ends[e * 4 + 1] = static_cast<int32_t>(r0);
            ends[e * 4 + 2] = static_cast<int32_t>(c1);
            ends[e * 4 + 3] = static_cast<int32_t>(r1);
        };
        int64_t e = 0;
        for (int64_t i = 0; i < C; ++i) set(e++, i, 0, i + 1, 0);
        for (int64_t r = 1; r <= R; ++r) {
            for (int64_t i = 0; i < C; ++i) {
                set(e++, i, r, i, r - 1);
                set(e++, i, r, i + 1, r);
                set(e++, i + 1, r, i, r - 1);
            }
            set(e++, C, r, C, r - 1);
        }
        if (!length_mode) {
            for (size_t k = 0; k < ends.size(); ++k) (*edge_uv)[k] = static_cast<float>(ends[k]);
            return 0;
        }
        // Vertex at each grid position, from the edges.
        const auto nv = static_cast<int64_t>(block->vertices.size());
        std::vector<int32_t> at(static_cast<size_t>((R + 1) * (C + 1)), -1);
        for (int64_t k = 0; k < expected; ++k) {
            const MeshEdge& me = block->edges[k];
            at[ends[k * 4 + 1] * (C + 1) + ends[k * 4]] = me.v[0];
            at[ends[k * 4 + 3] * (C + 1) + ends[k * 4 + 2]] = me.v[1];
        }
        auto dist = [&](int32_t a, int32_t b) {
            if (a < 0 || b < 0 || a >= nv || b >= nv) return 0.0;
            const MeshVertex& p = block->vertices[a];
            const MeshVertex& q = block->vertices[b];
            const double d = std::sqrt((double(p.x) - q.x) * (double(p.x) - q.x) +
                                       (double(p.y) - q.y) * (double(p.y) - q.y) +
                                       (double(p.z) - q.z) * (double(p.z) - q.z));
            return std::isfinite(d) ? d : 0.0;
        };
        std::vector<double> u((R + 1) * (C + 1)), v((R + 1) * (C + 1));
        for (int64_t r = 0; r <= R; ++r) {
            double run = 0.0;
            std::vector<double> acc(C + 1, 0.0);
            for (int64_t i = 1; i <= C; ++i) {
                run += dist(at[r * (C + 1) + i - 1], at[r * (C + 1) + i]);
                acc[i] = run;
            }
            for (int64_t i = 0; i <= C; ++i)
                u[r * (C + 1) + i] = run < 1e-6 ? double(i) / C : acc[i] / run;
        }
        for (int64_t i = 0; i <= C; ++i) {
            double run = 0.0;
            std::vector<double> acc(R + 1, 0.0);
            for (int64_t r = 1; r <= R; ++r) {
                run += dist(at[(r - 1) * (C + 1) + i], at[r * (C + 1) + i]);
                acc[r] = run;
            }
            for (int64_t r = 0; r <= R; ++r)
                v[r * (C + 1) + i] = run < 1e-6 ? double(r) / R : acc[r] / run;
        }
        for (int64_t k = 0; k < expected; ++k)
            for (int end = 0; end < 2; ++end) {
                const int64_t g = ends[k * 4 + end * 2 + 1] * (C + 1) + ends[k * 4 + end * 2];
                (*edge_uv)[k * 4 + end * 2] = static_cast<float>(u[g]);
                (*edge_uv)[k * 4 + end * 2 + 1] = static_cast<float>(v[g]);
            }
        return 0;
    } catch (const std::bad_alloc&) {
        edge_uv->clear();
        return kOutOfMemory;
    }
}
