// Iterators that an object's walk feeds with its points, lines and triangles, and
// the helpers that report point lists, lists of point lists and triangle fans.
//
// Walk status: 0 go on; a positive value stops the whole walk; a negative value
// stops only the current object.
#pragma once

#include <cstdint>

#include "model/db/zobj.h"

inline constexpr uint32_t kIterPointsOnly = 1u << 0;  // report positions, not drawings
inline constexpr uint32_t kIterTriangles = 1u << 1;   // report filled faces too

class ZITER : public RTC {
  public:
    static RtcClass rtc_class;
    // Iterators are often made on the stack rather than through rtc_init: their
    // classes are set up on first use either way, so kind tests work on them.
    ZITER() { set_klass_setup(&rtc_class); }

    // Called with entering 1 before an object's geometry and with entering 0 and
    // the status so far after it; the leaving call's result is the walk's result.
    virtual int visit(object* obj, int entering, int status);
    // Move to / line to a point, with an offset in pixels; 0 go on, non-zero stop.
    virtual int move_to(double x, double y, double z, int dx, int dy);
    virtual int line_to(double x, double y, double z, int dx, int dy);
    virtual int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c);
    // A whole point list (non-null): move_to the first point, then line_to (move_to
    // after a point flagged kPointMoveNext) each next one, stopping at the first
    // non-zero result or back at the head of a closed list. An iterator may do the
    // same work in one loop of its own.
    virtual int walk_points(const PointNode* list);

    bool points_only() const { return (flags & kIterPointsOnly) != 0; }
    bool wants_triangles() const { return (flags & kIterTriangles) != 0; }

    int32_t words[2] = {0, 0};
    uint32_t flags = 0;
};

// Collects the box of everything it is given.
class CLIPITER : public ZITER {
  public:
    static RtcClass rtc_class;
    CLIPITER() { set_klass_setup(&rtc_class); }

    int visit(object* obj, int entering, int status) override;
    int move_to(double x, double y, double z, int dx, int dy) override;
    int line_to(double x, double y, double z, int dx, int dy) override;
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override;

    void add(double x, double y, double z);

    BBox box = kEmptyBBox;
};

// Reports a point list: move to the first point, then a line (or a move after a
// node with the move bit) to each next one; a closed list returns to its first
// point. The first non-zero result ends the list and is returned.
int walk_plist(ZITER* it, const PointNode* list);
// Reports each point list in turn; stops at the first non-zero result.
int walk_plist_list(ZITER* it, const PtrNode* lists);
// Reports the triangles (p0, p1, p2), (p0, p2, p3) ... of an open point list.
int walk_fan(ZITER* it, const PointNode* list);
// Reports every list of a list of point lists as a triangle fan.
int walk_fan_list(ZITER* it, const PtrNode* lists);
