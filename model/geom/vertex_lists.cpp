// Flatness of point lists and the point list of a line-work object.
#include "model/geom/vertex_lists.h"

#include <cmath>

#include "model/db/wire.h"
#include "model/geom/query.h"
#include "model/math/matrix.h"

int plist_is_planar(const PointNode* list) {
    Matrix43 to_plane;
    double depth = 0;
    if (!chain_plane(list, nullptr, &to_plane, nullptr, &depth)) return 1;
    const PointNode* p = list;
    do {
        Vec3 in{p->x, p->y, p->z}, q;
        mat_xform_point(&q, &in, &to_plane);
        if (!(std::fabs(q.z - depth) <= kPlanarTolerance)) return 0;
        p = p->next;
    } while (p && p != list);
    return 1;
}

const PointNode* wire_point_list(const object* obj) {
    if (!obj || !rtc_is_a(obj, &WIRE::rtc_class)) return nullptr;
    const WIRE* w = static_cast<const WIRE*>(obj);
    if (w->points) return w->points;
    if (rtc_is_a(obj, &XPLINE::rtc_class)) return static_cast<const XPLINE*>(obj)->control;
    return nullptr;
}
