// The iterator base, the box-collecting iterator and the point-list reporters.
#include "model/db/iter.h"

RTC_CLASS_RECORD(ZITER, "ZITER", &RTC::rtc_class, 1, nullptr, nullptr, nullptr, false, false);
RTC_CLASS_RECORD(CLIPITER, "CLIPITER", &ZITER::rtc_class, 2, nullptr, nullptr, nullptr, false,
                 false);

int ZITER::visit(object*, int entering, int status) {
    return entering ? 0 : status;
}
int ZITER::move_to(double, double, double, int, int) {
    return 0;
}
int ZITER::line_to(double, double, double, int, int) {
    return 0;
}
int ZITER::triangle(const Vec3d&, const Vec3d&, const Vec3d&) {
    return 0;
}

void CLIPITER::add(double x, double y, double z) {
    const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
    if (fx < box.min.x) box.min.x = fx;
    if (fy < box.min.y) box.min.y = fy;
    if (fz < box.min.z) box.min.z = fz;
    if (fx > box.max.x) box.max.x = fx;
    if (fy > box.max.y) box.max.y = fy;
    if (fz > box.max.z) box.max.z = fz;
}

int CLIPITER::visit(object*, int, int) {
    return 0;
}
int CLIPITER::move_to(double x, double y, double z, int, int) {
    add(x, y, z);
    return 0;
}
int CLIPITER::line_to(double x, double y, double z, int, int) {
    add(x, y, z);
    return 0;
}
int CLIPITER::triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    add(a.x, a.y, a.z);
    add(b.x, b.y, b.z);
    add(c.x, c.y, c.z);
    return 0;
}

int ZITER::walk_points(const PointNode* list) {
    int r = move_to(list->x, list->y, list->z, 0, 0);
    if (r) return r;
    const PointNode* prev = list;
    for (const PointNode* n = list->next; n; n = n->next) {
        const bool move = (prev->flags & kPointMoveNext) != 0;
        r = move ? move_to(n->x, n->y, n->z, 0, 0) : line_to(n->x, n->y, n->z, 0, 0);
        if (r) return r;
        if (n == list) break;  // closed: back at the first point
        prev = n;
    }
    return 0;
}

int walk_plist(ZITER* it, const PointNode* list) {
    return list ? it->walk_points(list) : 0;
}

// Lists of lists may be closed too: stop on coming back to the head.
int walk_plist_list(ZITER* it, const PtrNode* lists) {
    for (const PtrNode* l = lists; l; l = (l->next == lists) ? nullptr : l->next) {
        if (int r = walk_plist(it, static_cast<const PointNode*>(l->value))) return r;
    }
    return 0;
}

int walk_fan(ZITER* it, const PointNode* list) {
    if (!list || !list->next) return 0;
    const Vec3d p0 = {list->x, list->y, list->z};
    const PointNode* a = list->next;
    for (const PointNode* b = a->next; b && b != list; a = b, b = b->next) {
        const Vec3d p1 = {a->x, a->y, a->z}, p2 = {b->x, b->y, b->z};
        if (int r = it->triangle(p0, p1, p2)) return r;
    }
    return 0;
}

int walk_fan_list(ZITER* it, const PtrNode* lists) {
    for (const PtrNode* l = lists; l; l = (l->next == lists) ? nullptr : l->next) {
        if (int r = walk_fan(it, static_cast<const PointNode*>(l->value))) return r;
    }
    return 0;
}
