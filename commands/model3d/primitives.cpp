// Geometry of the primitive solids (declared in primitives.h).
#include "commands/model3d/primitives.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "commands/model3d/chains.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/units/length_text.h"
#include "graphics/view/projection.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"

namespace {


Vec3 vec(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

Vec3 to_view(const ViewProjection& vp, const Vec3& p) {
    Vec3 out;
    world_to_view(&vp, p, &out);
    return out;
}

Vec3 to_world(const ViewProjection& vp, const Vec3& p) {
    Vec3 out;
    view_to_world(&vp, p, &out);
    return out;
}

}  // namespace

void box_corners(const ViewProjection& vp, const Vec3& corner, double w, double h, double d,
                 Vec3 out[8]) {
    const Vec3 p0 = to_view(vp, corner);
    const Vec3 front[4] = {p0, vec(p0.x + w, p0.y, p0.z), vec(p0.x + w, p0.y + h, p0.z), vec(p0.x, p0.y + h, p0.z)};
    for (int i = 0; i < 4; ++i) {
        out[i] = to_world(vp, front[i]);
        out[i + 4] = to_world(vp, vec(front[i].x, front[i].y, front[i].z + d));
    }
}

void box_normalise(const ViewProjection& vp, Vec3* corner, double size[3]) {
    if (!(size[0] < 0) && !(size[1] < 0) && !(size[2] < 0)) return;
    Vec3 p = to_view(vp, *corner);
    float* axis[3] = {&p.x, &p.y, &p.z};
    for (int k = 0; k < 3; ++k) {
        if (!(size[k] < 0)) continue;
        *axis[k] = static_cast<float>(*axis[k] + size[k]);
        size[k] = -size[k];
    }
    *corner = to_world(vp, p);
}

void view_ref_deltas(const ViewProjection& vp, const Vec3& a, const Vec3& b, int* dy, int* dx, int* dz) {
    const Vec3 va = to_view(vp, a), vb = to_view(vp, b);
    auto trunc = [](double d) {
        if (!std::isfinite(d)) return 0;
        if (d >= 2147483647.0) return 2147483647;
        if (d <= -2147483648.0) return -2147483647 - 1;
        return static_cast<int>(d);
    };
    *dy = trunc(double(va.y) - vb.y);
    *dx = trunc(double(va.x) - vb.x);
    *dz = trunc(double(va.z) - vb.z);
}

int box_mesh(const Vec3 c[8], int box_faces, std::unique_ptr<MESH3>* out) {
    out->reset();
    if ((box_faces & kBoxAllFaces) == 0) return 0;
    for (int i = 0; i < 8; ++i)
        if (!vec3_finite(c[i])) return kBadArgument;
    auto mesh = rtc_make<MESH3>();
    if (!mesh) return kOutOfMemory;
    struct Face {
        int bit, a, b, c, d;
    };
    static constexpr Face kFaces[] = {{16, 4, 5, 6, 7}, {32, 0, 3, 2, 1}, {4, 0, 4, 7, 3},
                                      {8, 1, 2, 6, 5},  {2, 0, 1, 5, 4},  {1, 2, 3, 7, 6}};
    for (const Face& f : kFaces) {
        if (!(box_faces & f.bit)) continue;
        const int r = mesh_add_grid_patch(mesh.get(), &c[f.a], &c[f.b], &c[f.c], &c[f.d], 2, 2);
        if (r != 0) return r;
    }
    *out = std::move(mesh);
    return 0;
}

int box_parse_sizes(const char* text, bool inches, double sizes[3]) {
    if (!text) return 0;
    std::string s(text);
    for (char& ch : s)
        if (ch == ',') ch = ' ';
    double v[3];
    int n = 0;
    size_t i = 0;
    while (true) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size()) break;
        size_t j = i;
        while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j]))) ++j;
        if (n == 3) break;  // text after the third number is not read, as with a format read
        if (!plain_real_parse(s.data() + i, s.data() + j, &v[n])) return 0;
        if (inches) v[n] *= 25.4;
        if (!std::isfinite(v[n])) return 0;
        ++n;
        i = j;
    }
    for (int k = 0; k < n; ++k) sizes[k] = v[k];
    return n;
}

int solid_segments(int count, int limit) {
    if (count < 4) return 3;
    return count > limit ? limit : count;
}

int sphere_profiles(const ViewProjection& vp, const Vec3& centre, double ring, double radius,
                    const Draw3DSettings& s, RevolveProfiles* out) {
    out->chains.clear();
    if (!vec3_finite(centre) || !std::isfinite(ring) || !std::isfinite(radius) || !(radius > 0) || ring < 0)
        return kBadArgument;
    const Vec3 c = to_view(vp, centre);
    double from = -kPi / 2, to = kPi / 2;
    bool cap = false, cap_inward = false;
    if (ring > 0) {
        to = 3 * kPi / 2;
    } else if (s.sphere == 1) {
        from = 0;
        cap = (s.tops & 1) != 0;
    } else if (s.sphere != 0) {
        to = 0;
        cap = (s.tops & 2) != 0;
        cap_inward = true;
    }
    const int n = solid_segments(s.faces_m);
    PointNode* arc = nullptr;
    const int r = arc_points_n(vec(c.x + ring, c.y, c.z), radius, from, to, n, &arc);
    if (r != 0) return r;
    std::vector<Vec3> profile;
    for (PointNode* p = arc; p; p = p->next) profile.push_back({p->x, p->y, p->z});
    list_free(&arc);
    // arc_points_n prepends: its list runs from the end angle back.
    const std::vector<Vec3> forward(profile.rbegin(), profile.rend());
    out->chains.push_back(forward);
    if (cap) {
        std::vector<Vec3> chain = {c, vec(c.x + radius, c.y, c.z)};
        if (cap_inward) std::swap(chain[0], chain[1]);
        out->chains.push_back(chain);
    }
    // Into the plane through the view direction, then back to drawing coordinates.
    Matrix43 turn;
    mat_rotate_axis(&turn, &c, 1, 0, 0, kPi / 2, nullptr);
    for (auto& chain : out->chains)
        for (Vec3& p : chain) {
            Vec3 q;
            mat_xform_point(&q, &p, &turn);
            p = to_world(vp, q);
        }
    Vec3 dir;
    view_get_direction(&vp, &dir);
    out->axis_a = centre;
    out->axis_b = vec(centre.x + dir.x, centre.y + dir.y, centre.z + dir.z);
    return 0;
}

int cone_profiles(const ViewProjection& vp, const Vec3& top, const Vec3& base, double rb, double rt,
                  const Draw3DSettings& s, RevolveProfiles* out) {
    out->chains.clear();
    if (!vec3_finite(top) || !vec3_finite(base) || !std::isfinite(rb) || !std::isfinite(rt) || rb < 0 || rt < 0)
        return kBadArgument;
    if (s.cone == 1) rt = 0;
    if (s.cone == 2) rt = rb;
    const Vec3 t = to_view(vp, top), b = to_view(vp, base);
    if (std::hypot(t.x - b.x, t.y - b.y, t.z - b.z) < 1e-6) return kBadArgument;
    const double a = angle_about(t, b);
    auto rim = [&](const Vec3& p, double q) {
        return to_world(vp, vec(p.x - std::sin(a) * q, p.y + std::cos(a) * q, p.z));
    };
    const bool pointed = s.cone == 1 || rt == 0;
    const Vec3 top_rim = pointed ? top : rim(t, rt);
    const Vec3 base_rim = rim(b, rb);
    // A chain whose two points came out equal (a radius too small for floats) would
    // only revolve faces without area: left out.
    auto add = [out](const Vec3& p, const Vec3& q) {
        if (std::memcmp(&p, &q, sizeof p) != 0) out->chains.push_back({p, q});
    };
    add(top_rim, base_rim);
    if (s.tops & 1) add(base_rim, base);
    if ((s.tops & 2) && !pointed) add(top, top_rim);
    out->axis_a = top;
    out->axis_b = base;
    return 0;
}

int revolve_profiles_mesh(const RevolveProfiles& p, int steps, std::unique_ptr<MESH3>* out) {
    out->reset();
    auto mesh = rtc_make<MESH3>();
    if (!mesh) return kOutOfMemory;
    for (const auto& chain : p.chains) {
        if (chain.size() < 2) continue;
        OwnedChain c;
        if (c.fill(chain) != 0) return kOutOfMemory;
        const int r = mesh_revolve(mesh.get(), c.head, &p.axis_a, &p.axis_b, p.angle, p.start, steps);
        if (r != 0) return r;
    }
    *out = std::move(mesh);
    return 0;
}
