// Helpers of the editing tests: drawings with a few objects, on top of the drawing
// class tests' helpers (make_plist, children_of).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "../model/classes_support.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"

using EditTest = ClassTest;

inline std::vector<Vec3> points_of(const PointNode* list) {
    std::vector<Vec3> out;
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next)
        out.push_back({n->x, n->y, n->z});
    return out;
}

inline LAYER* first_layer(MODEL* m) {
    return rtc_cast<LAYER>(m->first_child());
}

// A polyline in `into` (not owned by the caller once inserted).
inline XPLINE* add_polyline(CONTAINER* into, std::initializer_list<Vec3> pts,
                            const char* name = nullptr) {
    auto x = rtc_make<XPLINE>();
    x->control = make_plist(pts);
    if (name) x->set_string(0, name);
    XPLINE* raw = x.get();
    EXPECT_EQ(container_insert(into, x.release()), 0);
    EXPECT_EQ(regen_object(raw), 0);
    return raw;
}

// A selection buffer freed with the test.
struct Selection {
    buffer* buf = buffer_new();
    ~Selection() { buffer_free(&buf); }
    Selection() = default;
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
};

inline void expect_vec(const Vec3& got, const Vec3& want, double tol = 1e-4) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}
