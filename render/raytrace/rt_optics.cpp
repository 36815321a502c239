// Reflection and refraction directions and the media stack of the ray tracer.
#include "render/raytrace/rt_optics.h"

#include <cmath>

#include "render/raytrace/rt_vec.h"

Vec3d rt_reflect_dir(const Vec3d& d, const Vec3d& normal) {
    double c = rt_dot(d, normal);
    Vec3d n = normal;
    if (c >= 0) {
        n = normal * -1.0;
    } else {
        c = -c;
    }
    return d + (2 * c) * n;
}

bool rt_refract_dir(const Vec3d& d, const Vec3d& normal, double ratio, Vec3d* out) {
    double c = rt_dot(d, normal);
    Vec3d n = normal;
    if (c <= 0) {
        c = -c;
    } else {
        n = normal * -1.0;
    }
    double k = (c * c - 1) * ratio * ratio + 1;
    if (k < 0) return false;
    *out = rt_unit(ratio * d + (ratio * c - std::sqrt(k)) * n);
    return true;
}

double rt_media_cross(RtMedia* m, const MaterialRecord* mat, double ior, const Vec3d& d, const Vec3d& n) {
    if (m->overflow > 0) {
        // Inside media beyond the ten held: pass unbent, counting exits by the facing.
        if (rt_dot(d, n) > 0) {
            --m->overflow;
        } else {
            ++m->overflow;
        }
        return 1.0;
    }
    if (m->index >= 0 && m->material[m->index] == mat) {
        --m->index;
        double out = m->index >= 0 ? m->ior[m->index] : 1.0;
        return ior / out;
    }
    double in = m->index >= 0 ? m->ior[m->index] : 1.0;
    if (m->index + 1 >= kRtMediaDepth) {
        ++m->overflow;
        return 1.0;
    }
    ++m->index;
    m->material[m->index] = mat;
    m->ior[m->index] = ior;
    return in / ior;
}
