// The children of the drawing's rings as vectors: the first layer, a container's
// children (all or those of a class), a point list's points. Free of the harness, so
// that the real-window programs use them too.
#pragma once

#include <vector>

#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/plist.h"

inline LAYER* scene_layer(MODEL* m) {
    ZDLIST* p = m->children;
    do {
        if (rtc_is_a(p, &LAYER::rtc_class)) return static_cast<LAYER*>(p);
        p = p->next;
    } while (p != m->children);
    return nullptr;
}

// The children of a container in ring order (none for a null or empty one).
inline std::vector<object*> scene_children(const CONTAINER* c) {
    std::vector<object*> out;
    if (!c || !c->children) return out;
    ZDLIST* p = c->children;
    do {
        out.push_back(static_cast<object*>(p));
        p = p->next;
    } while (p != c->children);
    return out;
}

// Those of them of class T (or derived from it).
template <class T>
std::vector<T*> scene_children_of(const CONTAINER* c) {
    std::vector<T*> out;
    for (object* o : scene_children(c))
        if (rtc_is_a(o, &T::rtc_class)) out.push_back(static_cast<T*>(o));
    return out;
}

// The objects of the drawing's first layer in order (none without a layer), all or
// those of class T.
inline std::vector<object*> scene_objects(MODEL* m) { return scene_children(scene_layer(m)); }
template <class T>
std::vector<T*> scene_objects_of(MODEL* m) {
    return scene_children_of<T>(scene_layer(m));
}

// The points of a point list in order (a closed list is read once round).
inline std::vector<Vec3> scene_points(const PointNode* n) {
    std::vector<Vec3> out;
    for (const PointNode* p = n; p; p = p->next == n ? nullptr : p->next) out.push_back({p->x, p->y, p->z});
    return out;
}
