// The pick device: the iterator SRCITER that finds the objects under a point, inside
// a window, across a window or across a fence line of a view. An object's walk feeds
// it the object's points, lines and triangles; the device tests them in view
// coordinates against a PickWindow, after filtering by class, colour, width, layer
// and style and culling by the projected box. Groups are units: a hit on a member
// reports the group (except in window mode, where the group must lie wholly inside).
//
// Coordinates: the PickWindow's points and box are view coordinates (world_to_view);
// tests are made in x and y and include their boundary. Tolerances are in view units:
// 4 pixels for segments (4 / scale), 5 pixels for the caller's own use (5 / scale).
//
// Scratch mark: the device clears the file-id word of every object it enters and sets
// it to 1 for an object that lies wholly inside the box in crossing mode. File ids are
// assigned anew by the drawing writer before anything refers to them, so the mark
// never reaches a file. Do not pick while a drawing is being read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/view/projection.h"
#include "model/db/iter.h"

class buffer;
class FONTPATT;
class HATCHPATT;
class LAYER;
class LINEPATT;
struct RefNode;

// Mode flags.
inline constexpr uint32_t kPickPoint = 1;     // segments near the first point
inline constexpr uint32_t kPickWindow = 2;    // the whole object inside the box
inline constexpr uint32_t kPickCrossing = 4;  // any part inside or crossing the box
inline constexpr uint32_t kPickFence = 8;     // segments crossing the fence line
inline constexpr uint32_t kPickModes = 15;
// Filter flags.
inline constexpr uint32_t kPickColour = 0x40;
inline constexpr uint32_t kPickLayer = 0x80;
inline constexpr uint32_t kPickLineStyle = 0x100;
inline constexpr uint32_t kPickHatch = 0x200;
inline constexpr uint32_t kPickFont = 0x400;
inline constexpr uint32_t kPickWidth = 0x800;
inline constexpr uint32_t kPickClass = 0x1000;

// A pick request, filled by the caller.
struct PickWindow {
    uint32_t flags = 0;
    double tolerance = 0.0;      // set by the entry points: 5 pixels in view units
    BBox pick_box = kEmptyBBox;  // set by the entry points from the two points
    const RtcClass* filter_class = nullptr;
    int32_t colour = 0;
    double max_width = 0.0, min_width = 0.0;
    Vec3 p1 = {0, 0, 0};  // pick point, window corner or fence start (view coordinates)
    Vec3 p2 = {0, 0, 0};  // other window corner or fence end
    LAYER* layer = nullptr;
    LINEPATT* line_style = nullptr;
    HATCHPATT* hatch = nullptr;
    FONTPATT* font = nullptr;
    int32_t word = 0;  // not read by the device
    // One flag per layer in walk order (0 skips the layer), or null. Entries beyond
    // the count are visible.
    const int32_t* layer_flags = nullptr;
    size_t layer_flag_count = 0;
};

// True for an object that draws lines beyond its own box: a camera, whose box holds
// its position alone, draws its frame and the strokes to its eye. A point pick culls
// it by the box of everything it draws, so that a click on those lines finds it, and
// walks into every group that holds a camera (ZOBJ::cameras), whatever its box.
bool pick_draws_beyond_box(const object* obj);

// Called for each object hit (outside a group under test); a non-zero result ends
// the walk and becomes the entry point's result.
using PickHitFn = int (*)(object* obj, void* arg);
// Called by pick_for_each_hit with the buffer node of each object hit.
using PickNodeFn = int (*)(RefNode* node, void* arg);

class SRCITER : public ZITER {
  public:
    static RtcClass rtc_class;
    SRCITER() { set_klass_setup(&rtc_class); }

    int visit(object* obj, int entering, int status) override;
    int move_to(double x, double y, double z, int dx, int dy) override;
    int line_to(double x, double y, double z, int dx, int dy) override;
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override;

    const ViewProjection* projection = nullptr;
    PickWindow* window = nullptr;
    PickHitFn callback = nullptr;
    void* arg = nullptr;
    size_t layer_index = 0;     // next entry of the window's layer flags
    Vec3 previous = {0, 0, 0};  // previous point, view coordinates
    BBox point_box = kEmptyBBox;
    std::vector<BBox> boxes;  // projected extents gathered per object being walked
    int stop = 0;
    int hit = 0;
    object* current = nullptr;
    object* group = nullptr;  // the outermost group under test

  private:
    int enter(object* obj);
    int leave(object* obj, int status);
    int box_test(object* obj);
    int walk_indexed(CONTAINER* c);
    void grow(const Vec3& v);
};

// Walks `obj` with the device; returns the hit flag.
int pick_object_in_window(const ViewProjection* vp, object* obj, PickWindow* win);
// The same with a hit callback; returns the callback's last non-zero result, 8 when
// memory ran out, else 0.
[[nodiscard]] int pick_object_in_window_ex(const ViewProjection* vp, object* obj, PickWindow* win,
                                           PickHitFn callback, void* arg);
// For each live drawable object of the buffer that the window hits, calls the
// callback with its node; a non-zero result ends the walk. A positive result is
// returned as it is; a negative one, or the end of the list, gives 0.
int pick_for_each_hit(const ViewProjection* vp, buffer* list, PickWindow* win, PickNodeFn callback,
                      void* arg);

// Segment finders of the polyline editing commands. The point is in drawing
// coordinates. 1 with the first node of the first segment passing within 4 pixels
// (plus half the width) of the point, else 0 (also for a missing list or output).
int pick_path_segment(const ViewProjection* vp, const Vec3& point, PointNode* first,
                      PointNode** out, double width);
// pick_path_segment over a polyline's control vertices with its width; 0 for a
// filled polygon (kind 2) or an object that is not an XPLINE.
int pick_polyline_segment(const ViewProjection* vp, const Vec3& point, object* xpline,
                          PointNode** out);
// As pick_path_segment, with the segment's two end points.
int pick_segment_endpoints(const ViewProjection* vp, const Vec3& point, PointNode* first, Vec3* a,
                           Vec3* b, double width);

// ---- Geometric tests in x and y, boundaries included

int box_contains_point(const BBox& box, const Vec3& p);
// The object box is not empty and lies inside the pick box.
int box_inside_box(const BBox& pick, const BBox& obj);
// Both non-empty and overlapping.
int box_overlaps_box(const BBox& a, const BBox& b);
double point_line_distance(double x1, double y1, double x2, double y2, double px, double py);
int point_near_segment(const Vec3& a, const Vec3& b, const Vec3& p, double width, double tolerance);
// Two segments share at least one point (parallel ones only when collinear within
// 1e-6 and overlapping).
int segment_crosses(const Vec3& a1, const Vec3& a2, const Vec3& b1, const Vec3& b2);
// The segment crosses one of the box's four edges.
int segment_crosses_box(const Vec3& a, const Vec3& b, const BBox& box);
// 1 when p lies strictly on the right of the edge a -> c (y up), else 0.
int point_edge_side(const Vec3& a, const Vec3& c, const Vec3& p);
