// Shading of a ray's nearest hit: the pigment, the lights that reach the point (spot
// cones, shadows filtered by transparent blockers), diffuse and two highlight terms,
// reflection and refraction by tracing further rays. The surface constants are the hit
// object's MaterialRecord; an object without one shades with the default material.
#pragma once

#include "render/raytrace/rt_loop.h"

RtColour rt_shade(RtThread& t, const RtRay& ray, const RtHit& hit, const RtObject* object);

// Filters the light colour c (red, green, blue) by every shadow-casting surface between
// the point and the light at distance dist along unit direction dir. Black: shadowed.
// The object that last blocked the light completely is tested first (t's per-light
// cache, kept for one band); light may be null (no cache).
void rt_shadow_test(RtThread& t, const RtLight* light, const Vec3d& point, const Vec3d& dir, double dist,
                    float c[3]);
