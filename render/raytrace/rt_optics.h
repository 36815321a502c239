// Mirror and refraction directions of the ray tracer, and the stack of refracting
// materials a ray is inside (innermost last). The stack holds ten; a ray that enters
// more media passes through the deeper ones unbent instead of abandoning the frame.
#pragma once

#include "model/math/types.h"

struct MaterialRecord;

inline constexpr int kRtMediaDepth = 10;

struct RtMedia {
    int index = -1;      // innermost entry; -1 = in the outer medium (index 1.0)
    int overflow = 0;    // media entered beyond the ten held, passed unbent
    const MaterialRecord* material[kRtMediaDepth] = {};
    double ior[kRtMediaDepth] = {};
};

// D reflected about the plane of unit normal N (either facing): |R| = |D|, R.N = -D.N.
Vec3d rt_reflect_dir(const Vec3d& d, const Vec3d& n);

// Bends unit direction d at a surface of unit normal n (either facing) with the ratio of
// indices (outgoing side over incoming side inverted: n_in / n_out). False on total
// internal reflection, out untouched.
bool rt_refract_dir(const Vec3d& d, const Vec3d& n, double ratio, Vec3d* out);

// Passing a refracting surface of material m (index ior) with direction d and the
// surface's outward normal n: updates the media and gives the ratio of indices
// n_in / n_out for rt_refract_dir (1 when the surface is passed unbent).
double rt_media_cross(RtMedia* media, const MaterialRecord* m, double ior, const Vec3d& d, const Vec3d& n);
