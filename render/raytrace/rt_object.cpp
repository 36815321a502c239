// Ray-tracer primitives: lights, unions, flat and smooth triangles, nearest hit.
#include "render/raytrace/rt_object.h"

#include <cmath>

#include "render/raytrace/rt_vec.h"

namespace {


void init_header(RtObject* o, const RtMethods* m, uint16_t type, uint16_t flags) {
    o->methods = m;
    o->type = type;
    o->flags = flags;
    o->next = nullptr;
    o->material = nullptr;
    o->box_min = rt_v(-5e29, -5e29, -5e29);
    o->box_max = rt_v(5e29, 5e29, 5e29);
}

// Dominant axis: z when |z| wins over the larger of |x|, |y|; ties go to the later axis.
int dominant_axis(const Vec3d& v) {
    double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    if (ay >= ax) return az >= ay ? 2 : 1;
    return az >= ax ? 2 : 0;
}

void project(const Vec3d& p, int axis, double* s, double* t) {
    if (axis == 0) { *s = p.y; *t = p.z; }
    else if (axis == 1) { *s = p.x; *t = p.z; }
    else { *s = p.x; *t = p.y; }
}

bool light_all(const RtObject* o, const RtRay& ray, RtHitList* hits, RtArena& a) {
    auto* l = static_cast<const RtLight*>(o);
    return l->shape && l->shape->methods->all_intersections(l->shape, ray, hits, a);
}
bool light_inside(const Vec3d& p, const RtObject* o) {
    auto* l = static_cast<const RtLight*>(o);
    return l->shape && l->shape->methods->inside(p, l->shape);
}
void light_normal(Vec3d* n, Vec3d* uv, const RtObject* o, const Vec3d& p) {
    auto* l = static_cast<const RtLight*>(o);
    if (l->shape && l->shape->methods->normal) l->shape->methods->normal(n, uv, l->shape, p);
}
void light_complement(RtObject* o) {
    auto* l = static_cast<RtLight*>(o);
    if (l->shape) l->shape->methods->complement(l->shape);
}

bool union_inside(const Vec3d& p, const RtObject* o) {
    auto* u = static_cast<const RtUnion*>(o);
    bool all = (u->flags & kRtIntersection) != 0;
    for (const RtObject* c = u->children; c; c = c->next) {
        bool in = c->methods->inside(p, c);
        if (!all && in) return true;
        if (all && !in) return false;
    }
    return all && u->children;
}
bool union_all(const RtObject* o, const RtRay& ray, RtHitList* hits, RtArena& a) {
    auto* u = static_cast<const RtUnion*>(o);
    bool any = false;
    for (const RtObject* c = u->children; c; c = c->next) {
        uint32_t before = hits->count;
        if (!c->methods->all_intersections(c, ray, hits, a)) continue;
        if (!(u->flags & kRtIntersection)) {
            any = true;
            continue;
        }
        // An intersection keeps a child's hit only inside every other child.
        uint32_t keep = before;
        for (uint32_t i = before; i < hits->count; ++i) {
            bool ok = true;
            for (const RtObject* other = u->children; other && ok; other = other->next)
                if (other != c && !other->methods->inside(hits->hits[i].point, other)) ok = false;
            if (ok) hits->hits[keep++] = hits->hits[i];
        }
        hits->count = keep;
        any = any || keep > before;
    }
    return any;
}
void union_complement(RtObject* o) {
    auto* u = static_cast<RtUnion*>(o);
    for (RtObject* c = u->children; c; c = c->next) c->methods->complement(c);
    u->flags ^= kRtIntersection;
}

bool tri_all(const RtObject* o, const RtRay& ray, RtHitList* hits, RtArena& a) {
    auto* t = static_cast<const RtTriangle*>(o);
    double depth = rt_triangle_hit(ray, t);
    if (depth < 0.0) return false;
    RtHit* h = a.hit_list_slot(hits);
    h->depth = depth;
    h->point = ray.origin + depth * ray.dir;
    h->object = o;
    RtArena::hit_list_push(hits);
    return true;
}
bool never_inside(const Vec3d&, const RtObject*) { return false; }
void nothing(RtObject*) {}

void tri_normal(Vec3d* n, Vec3d* uv, const RtObject* o, const Vec3d& p) {
    *n = static_cast<const RtTriangle*>(o)->n;
    if (uv) *uv = p;
}

void smooth_normal(Vec3d* n, Vec3d* uv, const RtObject* o, const Vec3d& h) {
    auto* t = static_cast<const RtSmoothTriangle*>(o);
    Vec3d q = h - t->p1;
    double s = rt_dot(t->w, q);
    if (s < 1e-9) {
        *n = t->n1;
        if (uv) *uv = rt_v(t->uv1[0], t->uv1[1], 0);
        return;
    }
    Vec3d x = t->p1 + q * (1.0 / s);
    int ax = ((t->flags >> 2) & 3) - 1;
    double b = (rt_comp(x, ax) - rt_comp(t->p2, ax)) / t->edge;
    *n = rt_unit(t->n1 + s * t->n2 + (s * b) * t->n3);
    if (uv)
        *uv = rt_v(t->uv1[0] + s * t->uv2[0] + s * b * t->uv3[0], t->uv1[1] + s * t->uv2[1] + s * b * t->uv3[1], 0);
}

const RtMethods kLightMethods = {light_all, light_inside, light_normal, light_complement};
const RtMethods kUnionMethods = {union_all, union_inside, nullptr, union_complement};
const RtMethods kTriangleMethods = {tri_all, never_inside, tri_normal, nothing};
const RtMethods kSmoothMethods = {tri_all, never_inside, smooth_normal, nothing};

void triangle_setup(RtTriangle* t, RtSmoothTriangle* smooth) {
    t->d = -rt_dot(t->n, t->p1);
    int axis = dominant_axis(t->n);
    t->flags = static_cast<uint16_t>((t->flags & ~3) | (axis + 1));
    double s1, t1, s2, t2, s3, t3;
    project(t->p1, axis, &s1, &t1);
    project(t->p2, axis, &s2, &t2);
    project(t->p3, axis, &s3, &t3);
    if ((t2 - t3) * (s2 - s1) > (s2 - s3) * (t2 - t1)) {
        std::swap(t->p1, t->p2);
        if (smooth) {
            std::swap(smooth->n1, smooth->n2);
            std::swap(smooth->uv1[0], smooth->uv2[0]);
            std::swap(smooth->uv1[1], smooth->uv2[1]);
        }
    }
    if (smooth) {
        Vec3d e = t->p3 - t->p2;
        int ea = dominant_axis(e);
        smooth->flags = static_cast<uint16_t>((smooth->flags & ~12) | ((ea + 1) << 2));
        smooth->edge = rt_comp(e, ea);
        Vec3d w = t->p1 - t->p3;
        Vec3d a = rt_unit(t->p2 - t->p3);
        Vec3d W = rt_unit(rt_dot(a, w) * a - w);
        double den = -rt_dot(W, w);
        smooth->w = den != 0.0 ? W * (1.0 / den) : rt_v(0, 0, 0);
        smooth->n3 = smooth->n3 - smooth->n2;
        smooth->n2 = smooth->n2 - smooth->n1;
        for (int k = 0; k < 2; ++k) {
            smooth->uv3[k] -= smooth->uv2[k];
            smooth->uv2[k] -= smooth->uv1[k];
        }
    }
    t->box_min = rt_v(std::fmin(std::fmin(t->p1.x, t->p2.x), t->p3.x), std::fmin(std::fmin(t->p1.y, t->p2.y), t->p3.y),
                      std::fmin(std::fmin(t->p1.z, t->p2.z), t->p3.z));
    t->box_max = rt_v(std::fmax(std::fmax(t->p1.x, t->p2.x), t->p3.x) + 1e-10,
                      std::fmax(std::fmax(t->p1.y, t->p2.y), t->p3.y) + 1e-10,
                      std::fmax(std::fmax(t->p1.z, t->p2.z), t->p3.z) + 1e-10);
}

}  // namespace

RtLight* rt_light_create(RtArena& a, int kind, const float colour[4], const Vec3& position, const Vec3& target,
                         double exponent, double inner, double outer) {
    auto* l = a.make<RtLight>();
    init_header(l, &kLightMethods, 13, static_cast<uint16_t>(kind & 7));
    for (int k = 0; k < 4; ++k) l->colour[k] = colour[k];
    for (int k = 0; k < 4; ++k) l->visible_colour[k] = k < 3 ? 1.0f : 0.0f;
    l->index = -1;
    l->position = rt_v(position);
    l->target = rt_v(0, 0, 1);
    l->spot_exponent = 10.0;
    l->spot_inner = 0.35;
    l->spot_outer = 0.35;
    if (kind == kRtLightSpot) {
        l->target = rt_v(target);
        l->spot_exponent = exponent;
        l->spot_inner = inner;
        l->spot_outer = outer;
    }
    return l;
}

RtUnion* rt_union_new(RtArena& a) {
    auto* u = a.make<RtUnion>();
    init_header(u, &kUnionMethods, 4, kRtCastsShadow);
    u->children = nullptr;
    return u;
}

void rt_union_add(RtUnion* u, RtObject* child) {
    child->type |= kRtUnionChild;
    u->type |= child->type & (kRtFinite | kRtFinite2);
    child->next = u->children;
    u->children = child;
}

void rt_union_bounds(RtUnion* u) {
    Vec3d lo = rt_v(1e30, 1e30, 1e30), hi = rt_v(-1e30, -1e30, -1e30);
    for (const RtObject* c = u->children; c; c = c->next) {
        lo = rt_v(std::fmin(lo.x, c->box_min.x), std::fmin(lo.y, c->box_min.y), std::fmin(lo.z, c->box_min.z));
        hi = rt_v(std::fmax(hi.x, c->box_max.x), std::fmax(hi.y, c->box_max.y), std::fmax(hi.z, c->box_max.z));
    }
    u->box_min = lo;
    u->box_max = hi;
}

RtTriangle* rt_triangle_new(RtArena& a, const Vec3d& normal, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    auto* t = a.make<RtTriangle>();
    init_header(t, &kTriangleMethods, kRtFinite, kRtCastsShadow);
    t->n = normal;
    t->p1 = rt_v(p1);
    t->p2 = rt_v(p2);
    t->p3 = rt_v(p3);
    triangle_setup(t, nullptr);
    return t;
}

RtSmoothTriangle* rt_smooth_triangle_new(RtArena& a, const Vec3d& normal, const Vec3& p1, const Vec3& p2,
                                         const Vec3& p3, const Vec3& n1, const Vec3& n2, const Vec3& n3,
                                         const double uv1[2], const double uv2[2], const double uv3[2]) {
    auto* t = a.make<RtSmoothTriangle>();
    init_header(t, &kSmoothMethods, kRtFinite, kRtCastsShadow);
    t->n = normal;
    t->p1 = rt_v(p1);
    t->p2 = rt_v(p2);
    t->p3 = rt_v(p3);
    t->n1 = rt_unit(rt_v(n1));
    t->n2 = rt_unit(rt_v(n2));
    t->n3 = rt_unit(rt_v(n3));
    for (int k = 0; k < 2; ++k) {
        t->uv1[k] = static_cast<float>(uv1[k]);
        t->uv2[k] = static_cast<float>(uv2[k]);
        t->uv3[k] = static_cast<float>(uv3[k]);
    }
    triangle_setup(t, t);
    return t;
}

bool rt_is_triangle(const RtObject* o) { return o->methods == &kTriangleMethods || o->methods == &kSmoothMethods; }

bool rt_nearest_hit(RtHit* hit, const RtObject* o, const RtRay& ray, RtArena& arena) {
    RtHitList* list = arena.hit_list_get();
    if (!o->methods->all_intersections(o, ray, list, arena)) {
        arena.hit_list_put(list);
        return false;
    }
    double best = 1e30;
    bool found = false;
    RtHit h;
    while (RtArena::hit_list_pop(list, &h)) {
        if (h.depth < best) {
            best = h.depth;
            *hit = h;
            found = true;
        }
    }
    arena.hit_list_put(list);
    return found;
}

void rt_primary_cache(RtObject* list, const Vec3d& origin) {
    for (RtObject* o = list; o; o = o->next) {
        if (o->methods == &kTriangleMethods || o->methods == &kSmoothMethods) {
            auto* t = static_cast<RtTriangle*>(o);
            t->primary_cache = -(rt_dot(t->n, origin) + t->d);
            t->flags |= kRtPrimaryCached;
        } else if (o->methods == &kUnionMethods) {
            rt_primary_cache(static_cast<RtUnion*>(o)->children, origin);
        } else if (o->methods == &kLightMethods && static_cast<RtLight*>(o)->shape) {
            RtObject* s = static_cast<RtLight*>(o)->shape;
            RtObject* keep = s->next;
            s->next = nullptr;
            rt_primary_cache(s, origin);
            s->next = keep;
        }
    }
}

double rt_spot_attenuation(const RtLight* l, const Vec3d& dir) {
    if ((l->flags & 7) != kRtLightSpot) return 1.0;
    Vec3d axis = l->target - l->position;
    if (rt_len(axis) == 0.0) return 0.0;
    double c = -rt_dot(rt_unit(axis), dir);
    if (c <= 0.0) return 0.0;
    double a = std::pow(c, l->spot_exponent);
    if (l->spot_inner > 0.0) {
        if (c < l->spot_outer) return 0.0;
        if (c >= l->spot_inner) return a;
        double x = (c - l->spot_outer) / (l->spot_inner - l->spot_outer);
        a *= x * x * (3.0 - 2.0 * x);
    }
    return std::isfinite(a) ? a : 0.0;  // cones or a target from a file that are not numbers
}
