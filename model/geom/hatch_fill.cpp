// The hatch fill: the contours are copied into their own plane frame (normal on
// +Z), cleaned and made clockwise, each is triangulated, and with a pattern the
// pattern's lines are clipped to the region; the results are turned back into
// model space. Nothing of the hatch changes until every step has succeeded.
#include <cmath>

#include "model/db/wire.h"
#include "model/geom/hatch.h"
#include "model/geom/hatch_internal.h"
#include "model/geom/query.h"
#include "model/geom/regen_util.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/log.h"

namespace {

void xform_lists(PtrNode* lists, const Matrix43& m) {
    for (PtrNode* c = lists; c; c = (c->next == lists) ? nullptr : c->next)
        plist_xform(static_cast<PointNode*>(c->value), m);
}

// Owns the lists made during one fill until they are handed to the hatch.
struct FillLists {
    PtrNode* outer = nullptr;
    PtrNode* inner = nullptr;
    PtrNode* tri_outer = nullptr;
    PtrNode* tri_inner = nullptr;
    PtrNode* runs = nullptr;
    ~FillLists() {
        plist_list_free(&outer);
        plist_list_free(&inner);
        plist_list_free(&tri_outer);
        plist_list_free(&tri_inner);
        plist_list_free(&runs);
    }
};

// Triangulates every contour of a set; ear-clip codes become result codes.
int triangulate(PtrNode* set, PtrNode** out) {
    for (PtrNode* c = set; c; c = (c->next == set) ? nullptr : c->next) {
        PointNode* ring = static_cast<PointNode*>(c->value);
        if (!ring) continue;
        int rc = contour_ear_clip(ring, plist_count(ring), out);
        if (rc == kEarClipNoPlane) return kBadArgument;
        if (rc == kEarClipNoEar) return kHatchSelfCrossing;
        if (rc == kEarClipOutOfMemory) return kOutOfMemory;
        if (rc) return rc;
    }
    return 0;
}

void orient_set(PtrNode* set) {
    for (PtrNode* c = set; c; c = (c->next == set) ? nullptr : c->next) {
        PointNode* ring = static_cast<PointNode*>(c->value);
        if (ring) {
            contour_orient_cw(&ring);
            c->value = ring;
        }
    }
}

}  // namespace

void contours_clean(PtrNode* contours) {
    for (PtrNode* c = contours; c; c = (c->next == contours) ? nullptr : c->next) {
        PointNode* head = static_cast<PointNode*>(c->value);
        if (!head) continue;
        list_last(head)->next = nullptr;  // open it first
        PointNode* kept = head;
        while (PointNode* n = kept->next) {
            if (node_dist(*kept, *n) < 0.001) {
                kept->next = n->next;
                delete n;
            } else {
                kept = n;
            }
        }
        // The closing edge: a last point on top of the head goes too.
        if (kept != head && node_dist(*kept, *head) < 0.001) {
            PointNode* before = head;
            while (before->next != kept) before = before->next;
            before->next = nullptr;
            delete kept;
            kept = before;
        }
        kept->next = head;
    }
}

void contours_open(PtrNode* contours) {
    for (PtrNode* c = contours; c; c = (c->next == contours) ? nullptr : c->next) {
        PointNode* head = static_cast<PointNode*>(c->value);
        if (head) list_last(head)->next = nullptr;
    }
}

int hatch_fill(HATCH* hatch, Vec3d* plane) {
    const PtrNode* first = hatch->contours[0];
    const PointNode* first_contour = first ? static_cast<const PointNode*>(first->value) : nullptr;
    Vec3d normal{0, 0, 1};
    if (!chain_plane(first_contour, &normal, nullptr, nullptr, nullptr)) return kBadArgument;
    if (plane) *plane = normal;
    // The sign of that normal follows the turn at the contour's first corners
    // (its direction, and whether the corner is convex). The pattern is laid out
    // in the plane frame, so the frame is taken with the normal's largest component
    // positive: a hatch in the x-y plane is drawn at its angle in drawing
    // coordinates, however its contour was drawn, and neighbouring hatches line up.
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const double lead = (az >= ax && az >= ay) ? normal.z : (ay >= ax ? normal.y : normal.x);
    if (lead < 0) normal = Vec3d{-normal.x, -normal.y, -normal.z};

    FillLists f;
    if (plist_list_copy(&f.outer, hatch->contours[0]) || plist_list_copy(&f.inner, hatch->contours[1]))
        return kOutOfMemory;
    contours_clean(f.outer);
    contours_clean(f.inner);
    Matrix43 to_plane, from_plane;
    mat_align_z(&to_plane, nullptr, normal.x, normal.y, normal.z, 1);
    mat_align_z(&from_plane, nullptr, normal.x, normal.y, normal.z, 0);
    xform_lists(f.outer, to_plane);
    xform_lists(f.inner, to_plane);
    orient_set(f.outer);
    orient_set(f.inner);

    if (int rc = triangulate(f.outer, &f.tri_outer)) return rc;
    if (int rc = triangulate(f.inner, &f.tri_inner)) return rc;

    int families = 0;
    if (hatch->pattern && f.tri_outer) {
        const PointNode* p0 = static_cast<const PointNode*>(f.outer->value);
        const float z = p0 ? p0->z : 0.0f;
        if (int rc = hatch_lines(f.outer, f.inner, hatch->pattern, hatch->values[0],
                                 hatch->values[1], z, &f.runs, &families))
            return rc;
        xform_lists(f.runs, from_plane);
    }
    xform_lists(f.tri_outer, from_plane);
    xform_lists(f.tri_inner, from_plane);
    contours_open(f.tri_outer);
    contours_open(f.tri_inner);

    // Everything is made: hand it over.
    plist_list_free(&hatch->contours[2]);
    plist_list_free(&hatch->contours[3]);
    hatch->contours[2] = f.tri_outer;
    hatch->contours[3] = f.tri_inner;
    f.tri_outer = f.tri_inner = nullptr;
    hatch->pattern_degenerate = hatch->pattern && families == 0;
    if (hatch->pattern) {
        plist_list_free(&hatch->strokes);
        hatch->strokes = f.runs;
        f.runs = nullptr;
    } else {
        plist_list_free(&hatch->strokes);
    }
    contours_open(hatch->contours[0]);
    contours_open(hatch->contours[1]);
    return 0;
}

int hatch_regen(HATCH* hatch, Vec3d* plane) {
    if (!hatch) return kBadArgument;
    if (!hatch->contours[0]) return 0;
    WaitCursor wait;
    return hatch_fill(hatch, plane);
}
