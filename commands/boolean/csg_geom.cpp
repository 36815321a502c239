// Boolean engine: the error exit, the storage pool and the geometric predicates with
// their tolerance.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/boolean/csg_internal.h"
#include "model/math/result.h"

namespace csg {

void raise(Context& ctx, int code, const char* text) {
    // Refused input names the object it is about.
    if (ctx.subject && code == IDS_UNABLE_TO_PERFORM_BOOLEAN)
        std::snprintf(ctx.text, sizeof ctx.text, "%s: %s", ctx.subject, text);
    else
        std::snprintf(ctx.text, sizeof ctx.text, "%s", text);
    ctx.code = code;
    throw Jump{code};
}

void raise_no_memory(Context& ctx, const char* text) {
    raise(ctx, kOutOfMemory, text);
}

// ---- Pool ------------------------------------------------------------------------

void* block_alloc(Context& ctx, size_t size) {
    void* p = std::calloc(1, size ? size : 1);
    if (!p) raise_no_memory(ctx, "Allocate");
    try {
        ctx.pool.blocks.push_back(p);
    } catch (...) {
        std::free(p);
        raise_no_memory(ctx, "Allocate");
    }
    return p;
}

namespace {
constexpr size_t kFirstFragment = 16;
constexpr size_t kLargestFragment = 4096;
}

void* pool_alloc(Context& ctx, size_t size) {
    size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    PoolHead* head = nullptr;
    for (PoolHead& h : ctx.pool.pools) {
        if (h.size == size) {
            head = &h;
            break;
        }
    }
    if (!head) {
        try {
            ctx.pool.pools.push_back(PoolHead{size, nullptr});
        } catch (...) {
            raise_no_memory(ctx, "heap");
        }
        head = &ctx.pool.pools.back();
    }
    Fragment* f = head->fragments;
    if (!f || f->used == f->capacity) {
        const size_t elements = f ? std::min(f->capacity * 2, kLargestFragment) : kFirstFragment;
        Fragment* grown = static_cast<Fragment*>(std::calloc(1, offsetof(Fragment, data) + elements * size));
        if (!grown) raise_no_memory(ctx, "heap fragment");
        f = grown;
        f->capacity = elements;
        f->next = head->fragments;
        head->fragments = f;
    }
    return f->data + size * f->used++;
}

void heap_free(Context& ctx) {
    for (void* p : ctx.pool.blocks) std::free(p);
    ctx.pool.blocks.clear();
    for (PoolHead& h : ctx.pool.pools) {
        for (Fragment* f = h.fragments; f;) {
            Fragment* next = f->next;
            std::free(f);
            f = next;
        }
    }
    ctx.pool.pools.clear();
}

// ---- Predicates ------------------------------------------------------------------

double length(D3 a) {
    return std::sqrt(dot(a, a));
}

D3 get_normal(Context& ctx, D3 a0, D3 a1, D3 a2) {
    const D3 n = cross(a2 - a0, a1 - a0);
    const double len = length(n);
    if (!(len > 0.0)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "Normal is zero in get_normal()");
    return n * (1.0 / len);
}

Plane face_plane(Context& ctx, const Face* f) {
    const D3 a0 = pos(f->v[0]);
    const D3 n = get_normal(ctx, a0, pos(f->v[1]), pos(f->v[2]));
    return {n, -dot(n, a0)};
}

const Plane& face_plane_of(Context& ctx, Face* f) {
    if (!f->has_plane) {
        f->plane = face_plane(ctx, f);
        f->has_plane = true;
    }
    return f->plane;
}

double dist_to_line(Context& ctx, D3 p, D3 o, D3 u) {
    const double len = length(u);
    if (!(len > 0.0)) raise(ctx, IDS_CSG_UNKNOWN_PROBLEM_CAN, "VECTOR is zero in dist_to_line()");
    return length(cross(p - o, u)) / len;
}

bool points_coincide(D3 a, D3 b) {
    return length(a - b) < kTol;
}

bool box_contains(const float box[6], D3 p) {
    const float pb[6] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                         static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    return boxes_overlap(box, pb);
}

int point_in_triangle(const Face* g, D3 m, D3 p) {
    bool on_edge = false;
    for (int i = 0; i < 3; ++i) {
        const D3 gi = pos(g->v[i]);
        const D3 e = gi - pos(g->v[(i + 1) % 3]);
        const double s = dot(p - gi, cross(m, e));
        if (s < 0.0) return kPitOutside;
        if (s == 0.0) on_edge = true;
    }
    return on_edge ? kPitEdge : kPitInside;
}

D3 face_centroid(const Face* f) {
    const D3 s = pos(f->v[0]) + pos(f->v[1]) + pos(f->v[2]);
    return s * 0.3333333333333333;
}

// xorshift64*: the context's own generator, so answers never depend on the clock.
static uint64_t next_random(Context& ctx) {
    ctx.rng ^= ctx.rng >> 12;
    ctx.rng ^= ctx.rng << 25;
    ctx.rng ^= ctx.rng >> 27;
    return (ctx.rng * 0x2545F4914F6CDD1Dull) >> 32;
}

void perturb_ray(Context& ctx, D3& d) {
    const double step = kRayNudge * length(d);
    d.x += (next_random(ctx) & 1) ? step : -step;
    d.y += (next_random(ctx) & 1) ? step : -step;
    d.z += (next_random(ctx) & 1) ? step : -step;
}

D3 interpolate(D3 a, D3 b, double da, double db) {
    return a + (b - a) * (std::fabs(da) / std::fabs(db - da));
}

void face_box(Face* f) {
    for (int k = 0; k < 3; ++k) {
        f->box[k] = 1e30f;
        f->box[k + 3] = -1e30f;
    }
    for (const Vertex* v : f->v) {
        const float c[3] = {v->x, v->y, v->z};
        for (int k = 0; k < 3; ++k) {
            if (c[k] < f->box[k]) f->box[k] = c[k];
            if (c[k] > f->box[k + 3]) f->box[k + 3] = c[k];
        }
    }
}

}  // namespace csg
