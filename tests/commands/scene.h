// Small builders of drawing objects for the command tests, and a probe command that
// runs whatever the test gives it.
#pragma once

#include <cmath>
#include <functional>
#include <initializer_list>
#include <vector>

#include "harness.h"
#include "scene_rings.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"

// A harness command that runs an engine command taking the command's VIEW.
template <int (*F)(VIEW**)>
int scene_command(void* arg) {
    return F(static_cast<VIEW**>(arg));
}

inline PointNode* scene_plist(std::initializer_list<Vec3> pts) {
    PointNode* head = nullptr;
    std::vector<Vec3> v(pts);
    for (size_t i = v.size(); i-- > 0;) (void)plist_add(&head, v[i]);
    return head;
}

template <class T>
T* scene_add(CONTAINER* into, T* raw) {
    (void)regen_object(raw);
    (void)container_insert(into, raw);
    return raw;
}

inline XPLINE* scene_line(CONTAINER* into, std::initializer_list<Vec3> pts) {
    auto x = rtc_make<XPLINE>();
    x->control = scene_plist(pts);
    return scene_add(into, x.release());
}

inline ELARC* scene_ellipse(CONTAINER* into, const Vec3& c, double r, double start, double end, bool closed) {
    auto e = rtc_make<ELARC>();
    e->flags = kElarcCircular | (closed ? kElarcWholeEllipse : 0);
    e->centre = c;
    e->axis1 = {static_cast<float>(c.x + r), c.y, c.z};
    e->axis2 = {c.x, static_cast<float>(c.y + r), c.z};
    e->start = start;
    e->end = end;
    return scene_add(into, e.release());
}

// The probe command: runs g_probe with the command's VIEW.
inline std::function<int(VIEW**)> g_probe;
inline int cmd_probe(void* arg) { return g_probe ? g_probe(static_cast<VIEW**>(arg)) : 0; }
inline constexpr uint32_t kProbe = 15999;

inline void expect_near3(const Vec3& got, const Vec3& want, double tol = 1e-4) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}
