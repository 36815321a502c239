// Helpers shared by the drawing class tests: a recording iterator, point-list
// builders and a fixture that registers the classes.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "model/db/iter.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/plist.h"

class ClassTest : public ::testing::Test {
  protected:
    void SetUp() override { rtc_register_all(); }
};

// One call an object's walk made on the iterator.
struct WalkEvent {
    char op = 0;  // 'E' entering visit, 'X' leaving visit, 'M' move, 'L' line, 'T' triangle
    object* obj = nullptr;
    int status = 0;  // the status a leaving visit received
    Vec3d p[3] = {};
    int dx = 0, dy = 0;
};

// Logs every call. Visits answer from per-object tables; the geometry call with
// index `fail_at` (0-based, counting moves, lines and triangles) answers `fail_code`.
class RecordingIter : public ZITER {
  public:
    explicit RecordingIter(uint32_t f = 0) { flags = f; }

    int visit(object* obj, int entering, int status) override {
        WalkEvent e;
        e.op = entering ? 'E' : 'X';
        e.obj = obj;
        e.status = status;
        events.push_back(e);
        auto& table = entering ? on_enter : on_leave;
        auto it = table.find(obj);
        if (it != table.end()) return it->second;
        return entering ? 0 : status;
    }
    int move_to(double x, double y, double z, int dx, int dy) override {
        return point('M', x, y, z, dx, dy);
    }
    int line_to(double x, double y, double z, int dx, int dy) override {
        return point('L', x, y, z, dx, dy);
    }
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override {
        WalkEvent e;
        e.op = 'T';
        e.p[0] = a;
        e.p[1] = b;
        e.p[2] = c;
        return geometry(e);
    }

    // The geometry calls only (moves, lines, triangles) in order.
    std::vector<WalkEvent> geometry_events() const {
        std::vector<WalkEvent> g;
        for (const auto& e : events) {
            if (e.op == 'M' || e.op == 'L' || e.op == 'T') g.push_back(e);
        }
        return g;
    }
    // The operation letters of the geometry calls, e.g. "MLLL".
    std::string ops() const {
        std::string s;
        for (const auto& e : geometry_events()) s += e.op;
        return s;
    }
    // Every call's letter, visits included, e.g. "EMLX".
    std::string trace() const {
        std::string s;
        for (const auto& e : events) s += e.op;
        return s;
    }

    std::vector<WalkEvent> events;
    std::map<const object*, int> on_enter;
    std::map<const object*, int> on_leave;
    int fail_at = -1;
    int fail_code = 0;
    int geometry_count = 0;
    // A walk that never ends (a list that loops) is cut off here.
    static constexpr int kMaxGeometry = 10000;

  private:
    int point(char op, double x, double y, double z, int dx, int dy) {
        WalkEvent e;
        e.op = op;
        e.p[0] = {x, y, z};
        e.dx = dx;
        e.dy = dy;
        return geometry(e);
    }
    int geometry(const WalkEvent& e) {
        events.push_back(e);
        const int index = geometry_count++;
        if (index == fail_at) return fail_code;
        if (geometry_count >= kMaxGeometry) return 99;
        return 0;
    }
};

// An open (or closed) point list holding the points in the given order; flags[i] is
// the flag word of node i when given.
inline PointNode* make_plist(std::initializer_list<Vec3> pts, bool closed = false,
                             std::vector<uint32_t> flags = {}) {
    std::vector<Vec3> v(pts);
    PointNode* head = nullptr;
    PointNode* last = nullptr;
    for (size_t i = v.size(); i-- > 0;) {
        EXPECT_EQ(plist_add(&head, v[i]), 0);
        if (i < flags.size()) head->flags = flags[i];
        if (!last) last = head;
    }
    if (closed && last) last->next = head;
    return head;
}

// A list of point lists in the given order (open unless `closed`).
inline PtrNode* make_lists(std::initializer_list<PointNode*> lists, bool closed = false) {
    std::vector<PointNode*> v(lists);
    PtrNode* head = nullptr;
    PtrNode* last = nullptr;
    for (size_t i = v.size(); i-- > 0;) {
        EXPECT_EQ(ptrlist_add(&head, v[i]), 0);
        if (!last) last = head;
    }
    if (closed && last) last->next = head;
    return head;
}

inline Vec3d vd(const Vec3& v) {
    return {v.x, v.y, v.z};
}

inline void expect_point(const Vec3d& got, const Vec3d& want, const char* what = "") {
    EXPECT_NEAR(got.x, want.x, 1e-5) << what;
    EXPECT_NEAR(got.y, want.y, 1e-5) << what;
    EXPECT_NEAR(got.z, want.z, 1e-5) << what;
}

// The children of a container in ring order.
inline std::vector<ZOBJ*> children_of(const CONTAINER* c) {
    std::vector<ZOBJ*> out;
    if (!c->children) return out;
    ZDLIST* n = c->children;
    do {
        out.push_back(static_cast<ZOBJ*>(n));
        n = n->next;
    } while (n != c->children);
    return out;
}

// The patterns of a model in ring order.
inline std::vector<ZOBJ*> patterns_of(const MODEL* m) {
    std::vector<ZOBJ*> out;
    if (!m->patterns) return out;
    ZDLIST* n = m->patterns;
    do {
        out.push_back(static_cast<ZOBJ*>(n));
        n = n->next;
    } while (n != m->patterns);
    return out;
}

// Records the object-changed hook's calls while alive; restores the old hook after.
class ChangedHookRecorder {
  public:
    ChangedHookRecorder() : saved_(g_hook_object_changed) {
        calls().clear();
        g_hook_object_changed = &record;
    }
    ~ChangedHookRecorder() { g_hook_object_changed = saved_; }
    ChangedHookRecorder(const ChangedHookRecorder&) = delete;
    ChangedHookRecorder& operator=(const ChangedHookRecorder&) = delete;

    static std::vector<std::pair<ZOBJ*, int>>& calls() {
        static std::vector<std::pair<ZOBJ*, int>> c;
        return c;
    }

  private:
    static int record(ZOBJ* obj, int what) {
        calls().emplace_back(obj, what);
        return 0;
    }
    ObjectChangedHook saved_;
};
