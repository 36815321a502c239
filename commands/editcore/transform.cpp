// Building transforms from picked points and applying them to single objects by
// class. The ellipse of an arc is carried as its shape matrix: for the linear part L
// of the map between the old and the new plane frame, the image ellipse has the
// shape L diag(r1^2, r2^2) L^T, whose eigenvectors are its new axes.
#include "commands/editcore/transform.h"

#include <cfloat>
#include <cmath>

#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"

namespace {

Vec3d to_d(const Vec3& v) {
    return {v.x, v.y, v.z};
}
Vec3 to_f(const Vec3d& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}
Vec3d sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

void xform_in_place(Vec3& p, const Transform& t) {
    xform_point(&p, &p, &t, 0);
}

// The image of a direction under the forward matrix (the translation left out).
Vec3d xform_direction(const Transform& t, const Vec3d& d) {
    const double* m = t.fwd.m;
    return {d.x * m[0] + d.y * m[3] + d.z * m[6], d.x * m[1] + d.y * m[4] + d.z * m[7],
            d.x * m[2] + d.y * m[5] + d.z * m[8]};
}

void xform_list(PointNode* list, const Transform& t) {
    for (PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next) {
        Vec3 p = {n->x, n->y, n->z};
        xform_in_place(p, t);
        n->x = p.x;
        n->y = p.y;
        n->z = p.z;
    }
}

void xform_lists(PtrNode* lists, const Transform& t) {
    for (PtrNode* l = lists; l; l = (l->next == lists) ? nullptr : l->next)
        xform_list(static_cast<PointNode*>(l->value), t);
}

Transform inverse_of(const Transform& t) {
    return Transform{t.inv, t.fwd};
}

// F: translation by -p1, then the turn taking `normal` onto +Z.
Transform plane_frame(const Vec3& p1, const Vec3d& normal) {
    Transform move, turn, f;
    xform_translate(&move, -p1.x, -p1.y, -p1.z);
    mat_align_z(&turn.fwd, nullptr, normal.x, normal.y, normal.z, 1);
    mat_align_z(&turn.inv, nullptr, normal.x, normal.y, normal.z, 0);
    xform_compose(&f, &move, &turn);
    return f;
}

// F, then S, then F inverse.
Transform conjugate(const Transform& f, const Transform& s) {
    Transform a, r;
    const Transform fi = inverse_of(f);
    xform_compose(&a, &f, &s);
    xform_compose(&r, &a, &fi);
    return r;
}

bool usable_factor(double f) {
    return std::isfinite(f) && std::fabs(f) >= 1e-6;
}

// Sine of the angle at p1 between p2 and p3; 0 when either point lies on p1.
double sine_at(const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    Vec3d n;
    plane_normal_3pt(&n, &p1, &p2, &p3);
    const double l2 = vec3_dist(p2, p1), l3 = vec3_dist(p3, p1);
    if (!(l2 * l3 > 1e-12)) return 0.0;
    return vec3_len_d(&n) / (l2 * l3);
}

}  // namespace

int xform_from_points(Transform* t, const Vec3& p1, const Vec3& p2, const Vec3& p3, int32_t mode) {
    if (!t) return kBadArgument;
    // A point that is not a number would spread into every coordinate it touches.
    const int kind = mode & kXformKindMask;
    if (kind <= kXformScale3 &&
        (!vec3_finite(p1) || !vec3_finite(p2) || (kind != kXformMove && !vec3_finite(p3))))
        return kBadArgument;
    Transform r;
    switch (kind) {
        case kXformMove:
            xform_translate(&r, double(p2.x) - p1.x, double(p2.y) - p1.y, double(p2.z) - p1.z);
            break;
        case kXformRotate:
            mat_rotate_axis(&r.fwd, &p1, p2.x, p2.y, p2.z, p3.x, nullptr);
            mat_rotate_axis(&r.inv, &p1, p2.x, p2.y, p2.z, -double(p3.x), nullptr);
            break;
        case kXformMirror: {
            // The plane must be defined: three distinct points not on one line.
            if (sine_at(p1, p2, p3) < 1e-6) return kBadArgument;
            Vec3d n;
            plane_normal_3pt(&n, &p1, &p3, &p2);  // (p3 - p1) x (p2 - p1)
            Transform s;
            xform_scale(&s, 1, 1, -1);
            r = conjugate(plane_frame(p1, n), s);
            break;
        }
        case kXformScale3: {
            const double a = vec3_angle(p1, p2, p3);
            const double l2 = vec3_dist(p2, p1), l3 = vec3_dist(p3, p1);
            const double sx = l2 * std::cos(a), sy = l2 * std::sin(a), sz = l3;
            if (!usable_factor(sx) || !usable_factor(sy) || !usable_factor(sz)) return kBadArgument;
            Vec3d n;
            plane_normal_3pt(&n, &p1, &p3, &p2);
            Transform f = plane_frame(p1, n);
            // Turn about Z so that the image of p3 lies on +X.
            Vec3 q;
            xform_point(&q, &p3, &f, 0);
            const Vec3 origin = {0, 0, 0}, x_axis = {1, 0, 0};
            double b = vec3_angle(origin, x_axis, Vec3{q.x, q.y, 0});
            if (q.y > 0) b = -b;
            Transform turn, fz;
            mat_rotate_axis(&turn.fwd, nullptr, 0, 0, 1, b, nullptr);
            mat_rotate_axis(&turn.inv, nullptr, 0, 0, 1, -b, nullptr);
            xform_compose(&fz, &f, &turn);
            Transform s;
            xform_scale(&s, sx, sy, sz);
            r = conjugate(fz, s);
            break;
        }
        default:
            mat_identity(&r.fwd);
            mat_identity(&r.inv);
            break;
    }
    *t = r;
    return 0;
}

void mesh_transform(MESH3* mesh, const Transform& t) {
    for (MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
        for (MeshVertex& v : b->vertices) {
            Vec3 p = {v.x, v.y, v.z};
            xform_in_place(p, t);
            v.x = p.x;
            v.y = p.y;
            v.z = p.z;
        }
    }
}

void text2_transform(TEXT2* text, const Transform& t) {
    const double w = text->layout[kText2Width], h = text->layout[kText2Height];
    const double dir = text->layout[kText2Direction], slant = text->layout[kText2Slant];
    const Vec3d n = text2_normal(*text);
    Matrix43 to_space;
    mat_align_z(&to_space, nullptr, n.x, n.y, n.z, 0);
    // A width or height of 0 is carried as a unit vector, so that such a text keeps
    // its plane and direction; the size itself stays 0.
    const double wu = w != 0 ? w : 1.0, hu = h != 0 ? h : 1.0;
    Vec3d u = {wu * std::cos(dir), wu * std::sin(dir), 0};
    Vec3d v = {-hu * std::sin(dir - slant), hu * std::cos(dir - slant), 0};
    mat_xform_point_d(&u, &u, &to_space);
    mat_xform_point_d(&v, &v, &to_space);
    u = xform_direction(t, u);
    v = xform_direction(t, v);
    Vec3d n2;
    vec3_cross_d(&n2, &u, &v);
    text->layout[kText2Width] = w != 0 ? vec3_len_d(&u) : 0.0;
    text->layout[kText2Height] = h != 0 ? vec3_len_d(&v) : 0.0;
    Matrix43 to_plane;
    mat_align_z(&to_plane, nullptr, n2.x, n2.y, n2.z, 1);
    mat_xform_point_d(&u, &u, &to_plane);
    mat_xform_point_d(&v, &v, &to_plane);
    const Vec3d o = {0, 0, 0};
    const double new_dir = angle_about_d(o, u);
    text->layout[kText2Direction] = new_dir;
    double slant_new = kPi / 2 - (angle_about_d(o, v) - new_dir);
    while (slant_new > kPi) slant_new -= kTwoPi;  // the angles about o wrap at 2 pi
    while (slant_new <= -kPi) slant_new += kTwoPi;
    text->layout[kText2Slant] = slant_new;
    text2_set_normal(*text, n2);
    xform_in_place(text->insert, t);
}

int elarc_transform(ELARC* arc, const Transform& t) {
    const Vec3d o = to_d(arc->centre);
    const Vec3d d1 = sub(to_d(arc->axis1), o), d2 = sub(to_d(arc->axis2), o);
    const double r1 = vec3_len_d(&d1), r2 = vec3_len_d(&d2);

    // Old local frame: origin at the centre, X toward the first axis point, Z along
    // the plane normal.
    Vec3d ex = d1, ez;
    vec3_cross_d(&ez, &d1, &d2);
    if (vec3_normalize_d(&ex, &ex) <= 0) ex = {1, 0, 0};
    if (vec3_normalize_d(&ez, &ez) <= 0) ez = {0, 0, 1};
    Vec3d ey;
    vec3_cross_d(&ey, &ez, &ex);
    const Matrix43 local_to_world = {
        {ex.x, ex.y, ex.z, ey.x, ey.y, ey.z, ez.x, ez.y, ez.z, o.x, o.y, o.z}};

    // New frame: the image centre, the normal of the image axis points.
    Vec3 c2 = arc->centre, a1 = arc->axis1, a2 = arc->axis2;
    xform_in_place(c2, t);
    xform_in_place(a1, t);
    xform_in_place(a2, t);
    const Vec3d o2 = to_d(c2), e1 = sub(to_d(a1), o2), e2 = sub(to_d(a2), o2);
    Vec3d n2;
    vec3_cross_d(&n2, &e1, &e2);
    if (!(vec3_len_d(&n2) > 0)) n2 = xform_direction(t, ez);
    Matrix43 world_to_new, turn;
    mat_identity(&world_to_new);
    world_to_new.m[9] = -o2.x;
    world_to_new.m[10] = -o2.y;
    world_to_new.m[11] = -o2.z;
    mat_align_z(&turn, nullptr, n2.x, n2.y, n2.z, 1);
    mat_mul(&world_to_new, &world_to_new, &turn);
    Matrix43 m;
    mat_mul(&m, &local_to_world, &t.fwd);
    mat_mul(&m, &m, &world_to_new);

    // Linear part in the plane: columns are the images of the local X and Y.
    const double l00 = m.m[0], l10 = m.m[1], l01 = m.m[3], l11 = m.m[4];
    const double s1 = r1 * r1, s2 = r2 * r2;
    const double ca = l00 * l00 * s1 + l01 * l01 * s2;
    const double cb = l10 * l10 * s1 + l11 * l11 * s2;
    const double ch = l00 * l10 * s1 + l01 * l11 * s2;
    const double mean = (ca + cb) * 0.5;
    const double w = std::sqrt(((ca - cb) * 0.5) * ((ca - cb) * 0.5) + ch * ch);
    const double big = std::sqrt(std::fmax(mean + w, 0.0));
    const double small = std::sqrt(std::fmax(mean - w, 0.0));

    // Radii that agree to within what float coordinates of this size can hold are one
    // radius: a circle far from the origin stays a circle however often it is moved.
    const double reach =
        std::fmax(std::fmax(std::fabs(o2.x), std::fabs(o2.y)), std::fmax(std::fabs(o2.z), big));
    const double same_radius = std::fmax(1e-4, 16.0 * FLT_EPSILON * reach);

    // Image of the old first axis: the new first axis is the principal axis nearest it.
    double ix = l00 * r1, iy = l10 * r1;
    double ux, uy, nr1, nr2;
    if (big - small < same_radius) {
        const double len = std::hypot(ix, iy);
        ux = len > 0 ? ix / len : 1.0;
        uy = len > 0 ? iy / len : 0.0;
        nr1 = nr2 = big;
    } else {
        const double phi = std::atan2(2 * ch, ca - cb) * 0.5;
        const double mx = std::cos(phi), my = std::sin(phi);
        const double dot_major = mx * ix + my * iy, dot_minor = -my * ix + mx * iy;
        if (std::fabs(dot_major) >= std::fabs(dot_minor)) {
            ux = dot_major < 0 ? -mx : mx;
            uy = dot_major < 0 ? -my : my;
            nr1 = big;
            nr2 = small;
        } else {
            ux = dot_minor < 0 ? my : -my;
            uy = dot_minor < 0 ? -mx : mx;
            nr1 = small;
            nr2 = big;
        }
    }

    if (!(arc->flags & kElarcWholeEllipse)) {
        auto image_angle = [&](double angle) {
            float q[2];
            ellipse_point(r1, r2, 0, 0, angle, q);
            Vec3d p = {q[0], q[1], 0};
            mat_xform_point_d(&p, &p, &m);
            return angle_between_d(Vec3d{0, 0, 0}, Vec3d{ux, uy, 0}, Vec3d{p.x, p.y, 0});
        };
        double sweep = arc->end - arc->start;
        if (sweep < 0) {
            sweep = std::fmod(sweep, kTwoPi);  // not turn by turn: far angles took ages
            if (sweep < 0) sweep += kTwoPi;
        }
        double start = image_angle(arc->start);
        if (start >= kTwoPi - 1e-9) start = 0.0;
        const double end = sweep >= kTwoPi - 1e-9 ? start + kTwoPi : image_angle(arc->end);
        arc->start = start;
        arc->end = end;
    }

    Matrix43 back;
    mat_align_z(&back, nullptr, n2.x, n2.y, n2.z, 0);
    Vec3d p1 = {ux * nr1, uy * nr1, 0}, p2 = {-uy * nr2, ux * nr2, 0};
    mat_xform_point_d(&p1, &p1, &back);
    mat_xform_point_d(&p2, &p2, &back);
    arc->centre = c2;
    arc->axis1 = to_f(Vec3d{p1.x + o2.x, p1.y + o2.y, p1.z + o2.z});
    arc->axis2 = to_f(Vec3d{p2.x + o2.x, p2.y + o2.y, p2.z + o2.z});
    if (std::fabs(nr1 - nr2) >= same_radius)
        arc->flags &= ~kElarcCircular;
    else
        arc->flags |= kElarcCircular;
    return regen_object(arc);
}

void camera_transform(CAMERA* cam, const Transform& t) {
    const Vec3d pos = to_d(cam->position), tgt = to_d(cam->target);
    const Vec3d d = sub(tgt, pos);
    const double old_lens = cam->lens;
    const bool lens_ok = std::isfinite(old_lens) && old_lens > 0;
    const double k = lens_ok ? vec3_len_d(&d) / old_lens * 0.5 : 0.0;
    Vec3 u_plus = to_f(Vec3d{tgt.x + cam->up.x * k, tgt.y + cam->up.y * k, tgt.z + cam->up.z * k});
    Vec3 u_minus = to_f(Vec3d{tgt.x - cam->up.x * k, tgt.y - cam->up.y * k, tgt.z - cam->up.z * k});
    Vec3 v_plus =
        to_f(Vec3d{tgt.x + cam->side.x * k, tgt.y + cam->side.y * k, tgt.z + cam->side.z * k});
    Vec3 v_minus =
        to_f(Vec3d{tgt.x - cam->side.x * k, tgt.y - cam->side.y * k, tgt.z - cam->side.z * k});
    for (Vec3* p : {&u_plus, &u_minus, &v_plus, &v_minus, &cam->position, &cam->target})
        xform_in_place(*p, t);

    if (lens_ok && k > 0) {
        auto half = [&](const Vec3& a, const Vec3& b) {
            const double h = vec3_angle(cam->position, a, b) * 0.5;
            return std::fmin(std::fmax(h, 0.001), kPi / 2 - 0.001);
        };
        const double au = half(u_plus, u_minus), av = half(v_plus, v_minus);
        const double r = std::atan(0.5 / old_lens);
        const double a = std::fabs(r - au) <= std::fabs(r - av) ? av : au;
        cam->lens = 0.5 / std::tan(a);
    }

    const Vec3d d2 = sub(to_d(cam->target), to_d(cam->position));
    Vec3d up = xform_direction(t, to_d(cam->up));
    Vec3d side;
    vec3_cross_d(&side, &d2, &up);
    if (vec3_normalize_d(&side, &side) > 0) {
        vec3_cross_d(&up, &side, &d2);
        vec3_normalize_d(&up, &up);
        cam->side = to_f(side);
        cam->up = to_f(up);
    }
    cam->roll = camera_roll(cam);
}

namespace {

// One object's own part of transform_object: its tracks and its geometry (a group has
// none of its own; transform_object walks its members).
int transform_one(const Transform& t, object* obj) {
    if (!rtc_is<CAMERA>(obj) && !rtc_is<LIGHT>(obj)) {
        const Transform ti = inverse_of(t);
        for (KeyframeTrack* k = obj->tracks; k; k = k->next_track) {
            xform_compose(&k->base, &ti, &k->base);
            track_invalidate(k);
        }
    }
    if (auto* mesh = rtc_cast<MESH3>(obj)) {
        if (MaterialRecord* mat = mesh->material) {
            for (int i = 0; i < kMaterialSlotCount; ++i) {
                TextureSlot& s = mat->slots[i];
                if (s.transform && (i < kSlotReflection || s.kind >= kTexturePatternFirst))
                    xform_compose(s.transform.get(), s.transform.get(), &t);
            }
        }
        mesh_transform(mesh, t);
    } else if (auto* arc = rtc_cast<ELARC>(obj)) {
        return elarc_transform(arc, t);
    } else if (auto* text = rtc_cast<TEXT2>(obj)) {
        text2_transform(text, t);
    } else if (auto* line = rtc_cast<XPLINE>(obj)) {
        xform_list(line->control, t);
    } else if (auto* hatch = rtc_cast<HATCH>(obj)) {
        for (PtrNode* c : hatch->contours) xform_lists(c, t);
    } else if (auto* light = rtc_cast<LIGHT>(obj)) {
        xform_in_place(light->position, t);
        if (auto* spot = rtc_cast<SPOTLITE>(obj)) xform_in_place(spot->target, t);
    } else if (auto* cam = rtc_cast<CAMERA>(obj)) {
        camera_transform(cam, t);
    } else if (rtc_is<CONTAINER>(obj)) {
        return 0;
    }
    return regen_object(obj);
}

}  // namespace

int transform_object(const Transform& t, object* obj) {
    if (!obj) return 0;
    // The object, then everything below it in pre-order (no recursion: groups nest as
    // deep as a file may hold); the first failure ends the walk.
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        if (auto* o = rtc_cast<object>(z)) {
            if (int rc = transform_one(t, o)) return rc;
        }
    }
    return 0;
}
