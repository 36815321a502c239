// The ray tracer's scene records: one header shared by every kind, a table of four
// operations per kind, and the kinds scenes are made of (lights with an optional
// visible shape, unions of triangles, flat and smooth triangles), with the nearest-hit
// query on one object. Records live in the frame's RtArena. Coordinates are model
// units in double; depths are multiples of the ray direction's length.
#pragma once

#include <cstdint>

#include "model/math/types.h"
#include "render/raytrace/rt_optics.h"
#include "render/raytrace/rt_pool.h"

struct MaterialRecord;
struct RtObject;

// A ray. primary: a camera ray from the shared camera origin, which may use the
// triangles' primary-ray cache (filled by rt_primary_cache before tracing). media: the
// refracting materials the ray is inside.
struct RtRay {
    Vec3d origin;
    Vec3d dir;
    bool primary = false;
    bool from_eye = false;  // a primary ray, with or without focal blur
    RtMedia media{};
    // What the ray's colour counts for in the pixel (1 for a primary ray); a ray that
    // can add less than a 512th is not traced.
    double weight = 1.0;
    // How far the eye lies behind the origin (fog counts depths from the eye): parallel
    // camera rays start near what they can hit.
    double before = 0.0;
};

struct RtMethods {
    // Adds every hit to the list; true when it added at least one.
    bool (*all_intersections)(const RtObject* o, const RtRay& ray, RtHitList* hits, RtArena& arena);
    bool (*inside)(const Vec3d& p, const RtObject* o);
    // Normal (unit) and texture coordinates at a point of the object; uv may be null.
    void (*normal)(Vec3d* n, Vec3d* uv, const RtObject* o, const Vec3d& p);
    void (*complement)(RtObject* o);
};

// Type bits.
inline constexpr uint16_t kRtFinite = 1;
inline constexpr uint16_t kRtFinite2 = 2;
inline constexpr uint16_t kRtComposite = 4;
inline constexpr uint16_t kRtLight = 8;
inline constexpr uint16_t kRtSlabNode = 16;
inline constexpr uint16_t kRtUnionChild = 64;
inline constexpr uint16_t kRtTwoSided = 128;  // lit from both sides (bump-mapped); else from the side seen
// Flag bits.
inline constexpr uint16_t kRtCastsShadow = 0x1000;
inline constexpr uint16_t kRtPrimaryCached = 16;  // triangles
inline constexpr uint16_t kRtIntersection = 0x100; // unions turned inside out

struct RtObject {
    const RtMethods* methods;
    uint16_t type;
    uint16_t flags;
    RtObject* next;
    const MaterialRecord* material;
    Vec3d box_min, box_max;
};

struct RtUnion : RtObject {
    RtObject* children;
};

struct RtTriangle : RtObject {
    Vec3d n;
    double d;             // n.P + d = 0 on the plane
    double primary_cache; // -(n.O + d) for the camera origin O
    Vec3d p1, p2, p3;
};

struct RtSmoothTriangle : RtTriangle {
    Vec3d n1, n2, n3;  // after set-up n2, n3 hold n2 - n1 and n3 - n2
    Vec3d w;
    double edge;
    float uv1[2], uv2[2], uv3[2];  // after set-up uv2, uv3 hold differences
};

inline constexpr int kRtLightPoint = 0;
inline constexpr int kRtLightSpot = 1;

struct RtLight : RtObject {
    RtObject* shape;
    RtLight* next_light;
    float colour[4];
    Vec3d position;
    Vec3d target;
    double spot_exponent;
    double spot_inner;
    double spot_outer;
    int index;         // 0..n-1 over the scene's lights (per-thread shadow caches)
    int on_screen;
    float visible_colour[4];
    int screen_x, screen_y;
};

RtLight* rt_light_create(RtArena& a, int kind, const float colour[4], const Vec3& position,
                         const Vec3& target, double exponent, double inner, double outer);
RtUnion* rt_union_new(RtArena& a);
// Adds a child at the head of the union's list and ORs its type bits in.
void rt_union_add(RtUnion* u, RtObject* child);
void rt_union_bounds(RtUnion* u);
RtTriangle* rt_triangle_new(RtArena& a, const Vec3d& normal, const Vec3& p1, const Vec3& p2, const Vec3& p3);
RtSmoothTriangle* rt_smooth_triangle_new(RtArena& a, const Vec3d& normal, const Vec3& p1, const Vec3& p2,
                                         const Vec3& p3, const Vec3& n1, const Vec3& n2, const Vec3& n3,
                                         const double uv1[2], const double uv2[2], const double uv3[2]);
// Hits count from this depth to the next (in ray direction lengths).
inline constexpr double kRtMinHitDepth = 0.001;
inline constexpr double kRtMaxHitDepth = 1e7;

// Depth of the triangle's hit along ray, or a negative value when it misses (or lies
// beyond max_depth, which a caller after the nearest hit may pass so as not to finish
// tests that cannot win). Inside means on the inner side of all three edges in the
// plane of the two axes other than the normal's dominant one (flag bits 0-1 hold that
// axis + 1).
inline double rt_triangle_hit(const RtRay& ray, const RtTriangle* t, double max_depth = kRtMaxHitDepth) {
    const double c = t->n.x * ray.dir.x + t->n.y * ray.dir.y + t->n.z * ray.dir.z;
    if (c > -0.001 && c < 0.001) return -1.0;
    const double num = (ray.primary && (t->flags & kRtPrimaryCached))
                           ? t->primary_cache
                           : -((t->n.x * ray.origin.x + t->n.y * ray.origin.y + t->n.z * ray.origin.z) + t->d);
    const double depth = num / c;
    if (!(depth >= kRtMinHitDepth && depth <= kRtMaxHitDepth && depth <= max_depth)) return -1.0;
    const Vec3d h{ray.origin.x + depth * ray.dir.x, ray.origin.y + depth * ray.dir.y, ray.origin.z + depth * ray.dir.z};
    const int axis = (t->flags & 3) - 1;
    // The plane's first coordinate is y for axis 0, else x; its second is y for axis 2, else z.
    const bool first_x = axis != 0, second_y = axis == 2;
    auto s_of = [first_x](const Vec3d& p) { return first_x ? p.x : p.y; };
    auto t_of = [second_y](const Vec3d& p) { return second_y ? p.y : p.z; };
    const double as = s_of(t->p1), at = t_of(t->p1), bs = s_of(t->p2), bt = t_of(t->p2);
    const double cs = s_of(t->p3), ct = t_of(t->p3), hs = s_of(h), ht = t_of(h);
    if ((bt - at) * (bs - hs) < (bs - as) * (bt - ht)) return -1.0;
    if ((ct - bt) * (cs - hs) < (cs - bs) * (ct - ht)) return -1.0;
    if ((at - ct) * (as - hs) < (as - cs) * (at - ht)) return -1.0;
    return depth;
}
// True for a flat or smooth triangle (its hits are rt_triangle_hit's alone).
bool rt_is_triangle(const RtObject* o);
// The nearest hit of object along ray (depth below 1e30); false when none.
bool rt_nearest_hit(RtHit* hit, const RtObject* o, const RtRay& ray, RtArena& arena);
// Fills every triangle's primary-ray cache for the camera origin (objects and unions of
// the list); done once before tracing, never while threads trace.
void rt_primary_cache(RtObject* list, const Vec3d& origin);
// Attenuation of light for a ray (unit direction) from a surface point towards it: 1 for a
// point light; the spot cone's factor for a spot light.
double rt_spot_attenuation(const RtLight* l, const Vec3d& dir);
