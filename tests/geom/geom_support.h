// Helpers of the line-work tests: class registration, building point lists in
// order, reading runs back as vectors, and small drawing fixtures.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/math/plist.h"
#include "model/rtc/rtc.h"

class GeomTest : public ::testing::Test {
  protected:
    void SetUp() override { rtc_register_all(); }
};

// An open point list holding the points in the given order.
inline PointNode* make_list(std::initializer_list<Vec3> pts) {
    PointNode* head = nullptr;
    for (auto it = std::rbegin(pts); it != std::rend(pts); ++it) EXPECT_EQ(plist_add(&head, *it), 0);
    return head;
}
inline PointNode* make_list(const std::vector<Vec3>& pts) {
    PointNode* head = nullptr;
    for (auto it = pts.rbegin(); it != pts.rend(); ++it) EXPECT_EQ(plist_add(&head, *it), 0);
    return head;
}

// A list of point lists from contours (first contour first).
inline PtrNode* make_set(const std::vector<std::vector<Vec3>>& contours) {
    PtrNode* set = nullptr;
    for (auto it = contours.rbegin(); it != contours.rend(); ++it)
        EXPECT_EQ(ptrlist_add(&set, make_list(*it)), 0);
    return set;
}

struct Pt {
    float x, y, z;
    uint32_t flags;
};

inline std::vector<Pt> points_of(const PointNode* list) {
    std::vector<Pt> out;
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next)
        out.push_back(Pt{n->x, n->y, n->z, n->flags});
    return out;
}

inline std::vector<std::vector<Pt>> runs_of(const PtrNode* runs) {
    std::vector<std::vector<Pt>> out;
    for (const PtrNode* r = runs; r; r = (r->next == runs) ? nullptr : r->next)
        out.push_back(points_of(static_cast<const PointNode*>(r->value)));
    return out;
}

inline int count_lists(const PtrNode* lists) {
    int n = 0;
    for (const PtrNode* r = lists; r; r = (r->next == lists) ? nullptr : r->next) ++n;
    return n;
}

// A pattern owned by the test (not in a model).
template <class T>
std::unique_ptr<T> make_patt(const char* name) {
    std::unique_ptr<RTC> o = rtc_new(name, &T::rtc_class);
    return std::unique_ptr<T>(static_cast<T*>(o.release()));
}

inline std::unique_ptr<LINEPATT> make_linepatt(std::vector<double> dashes) {
    auto p = make_patt<LINEPATT>("test");
    p->dashes = std::move(dashes);
    return p;
}

// A hatch pattern of one family of lines.
inline std::unique_ptr<HATCHPATT> make_hatchpatt(std::vector<HatchLine> lines) {
    auto p = make_patt<HATCHPATT>("test");
    p->lines = std::move(lines);
    return p;
}

inline std::vector<Vec3> rect(float x0, float y0, float x1, float y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

// Signed area (x-y) of a polygon given as points.
inline double shoelace(const std::vector<Vec3>& p) {
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3& u = p[i];
        const Vec3& v = p[(i + 1) % p.size()];
        a += double(u.x) * v.y - double(v.x) * u.y;
    }
    return a / 2;
}
