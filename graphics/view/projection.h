// The view projection: how drawing coordinates become view coordinates and pixels,
// in parallel or perspective, and the device callbacks every drawing goes through.
// Also the segment clipping to the 16-bit pixel range, the drawing of vertex lists
// and the culling of objects outside the visible part of a view.
//
// Coordinates: drawing coordinates are model units; view coordinates are the drawing
// coordinates after the view matrix (x right, y up, depth z, the eye looking down -z);
// pixels are integers with y growing upward (the window side flips rows). Parallel:
// pixel = floor((view - origin) * scale + 0.5). Perspective (mode -1): a point with
// depth below -0.1 is in front of the eye and its pixel is view / (-depth / eye
// distance) + screen centre, truncated toward zero.
//
// Every callback receives the projection's `context` first, so that any number of
// devices (windows, plot devices, raster images, tests) can draw at once without
// process-wide drawing state. Nothing here calls a window-system function.
#pragma once

#include <cstdint>

#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/types.h"

class object;

// Drawable pixel range on both axes, inclusive.
inline constexpr int kPixelMin = -16384;
inline constexpr int kPixelMax = 16383;

// A point in perspective is in front of the eye when its depth is below this.
inline constexpr double kNearDepth = -0.1;

// Pen modes: how an object's width becomes a pen width.
inline constexpr int32_t kPenModeScaled = 0;     // trunc(scale * width), at least 1
inline constexpr int32_t kPenModeThreshold = 2;  // 2 at or above the width threshold, else 1
inline constexpr int32_t kPenModePlot = 3;       // as mode 0
inline constexpr int32_t kPenModeNoRange = 4;    // as mode 0, and no pixel-range test at all

// Projection modes.
inline constexpr int32_t kProjPerspective = -1;
inline constexpr int32_t kProjPlan = 0;      // parallel plan view: pixel_to_world skips the matrix
inline constexpr int32_t kProjParallel = 1;  // parallel with the view matrix

// Device callbacks. Results are not examined by the driver.
using ViewLineFn = int (*)(void* context, int x1, int y1, int x2, int y2);
using ViewTriangleFn = int (*)(void* context, int x1, int y1, int x2, int y2, int x3, int y3);
// Selects the pen for the next object: colour index as stored in the object, pen
// width in x and in y (pixels, at least 1).
using ViewPenFn = int (*)(void* context, int colour, int width_x, int width_y);

struct ViewProjection {
    double origin_x = 0.0;  // view coordinate shown at pixel 0 (parallel)
    double origin_y = 0.0;
    double scale = 1.0;  // pixels per view unit, > 0
    double reserved[3] = {0, 0, 0};
    double eye_distance = 1.0;  // perspective: eye to projection plane, > 0
    double centre_x = 0.0;      // perspective: pixel position of the view axis
    double centre_y = 0.0;
    double reserved2 = 0.0;
    Matrix43 view = kMatIdentity;     // drawing -> view
    Matrix43 inverse = kMatIdentity;  // view -> drawing
    int32_t mode = kProjParallel;
    ViewLineFn line = nullptr;
    ViewTriangleFn triangle = nullptr;
    ViewPenFn pen = nullptr;
    void* context = nullptr;  // handed to every callback; not owned
    int32_t pen_mode = kPenModeScaled;
    double width_threshold = 0.0;
    int32_t word = 0;
    // Visible part of the view in view coordinates; objects wholly outside it in x or
    // y are culled. Unbounded after view_extents_reset.
    Vec3 extents_min = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    Vec3 extents_max = {FLT_MAX, FLT_MAX, FLT_MAX};
};

// Whether `scale` can be a projection's scale: positive and finite with a finite
// inverse (the origin transforms use both ways, and a save must write what a load
// accepts).
bool view_scale_usable(double scale);

// One projected point: its pixel, whether it can be drawn, and the unrounded pixel
// coordinates and front flag the clipper needs.
struct ProjectedPoint {
    int x = 0;
    int y = 0;
    int not_drawable = 1;  // behind the eye, or outside the pixel range (unless pen mode 4)
    int behind = 0;        // perspective: not in front of the eye
    double fx = 0.0;       // unrounded pixel x (parallel: (x' - origin) * scale)
    double fy = 0.0;
};

// ---- Coordinate conversions

// View matrix, then floor((v - origin) * scale + 0.5); no perspective, no range test.
void world_to_pixel(const ViewProjection* vp, const Vec3& p, int* x, int* y);
void vertex_to_pixel(const ViewProjection* vp, const PointNode* node, int* x, int* y);
// View matrix; in perspective with depth below -0.1, x and y become pixels.
void world_to_view(const ViewProjection* vp, const Vec3& p, Vec3* out);
void world_to_view_d(const ViewProjection* vp, const Vec3d& p, Vec3d* out);
// Inverse view matrix.
void view_to_world(const ViewProjection* vp, const Vec3& p, Vec3* out);
// Origin and scale only: floor((x - origin) * scale + 0.5).
void plane_to_pixel(const ViewProjection* vp, const Vec3& p, int* x, int* y);
// x / scale + origin x, y / scale + origin y, z as given; no matrix.
void pixel_to_plane(const ViewProjection* vp, int x, int y, double z, Vec3* out);
// pixel_to_plane, then the inverse view matrix unless the mode is 0 (plan view).
void pixel_to_world(const ViewProjection* vp, int x, int y, double z, Vec3* out);
// Viewing direction in drawing coordinates (inverse matrix applied to +Z, as a vector).
void view_get_direction(const ViewProjection* vp, Vec3* out);
void view_get_direction_d(const ViewProjection* vp, Vec3d* out);

// The driver's projection of one point, with an offset in pixels added after it.
void view_project_point(const ViewProjection* vp, double x, double y, double z, int dx, int dy,
                        ProjectedPoint* out);

// The same for a point already in view coordinates (x', y', depth).
void view_project_view_point(const ViewProjection* vp, double vx, double vy, double vz, int dx,
                             int dy, ProjectedPoint* out);
// The integer pixel of an unrounded pixel coordinate as the projection makes it:
// rounded in parallel, truncated toward zero in perspective.
int view_pixel_of(const ViewProjection* vp, double v);

// ---- Segments and lists

// Clips the segment between two unrounded pixel positions to the pixel range:
// 1 with the clipped integer ends in out[0..3]; 0 when it lies wholly outside, with
// every end at (-16384, -16384).
int view_clip_segment(double x1, double y1, double x2, double y2, int out[4]);
// Hands one segment to the line callback: as it is when both ends are in range (or
// under pen mode 4), clipped otherwise.
void view_draw_segment(const ViewProjection* vp, const ProjectedPoint& a, const ProjectedPoint& b);
// Draws an open vertex list (PointNode chain) as a polyline; segments with an end
// behind the eye are left out. Null draws nothing.
void view_draw_vertex_list(const ViewProjection* vp, const PointNode* first);

// ---- Culling

// The box in view coordinates of a drawing box (of its eight corners through
// world_to_view); the empty box for an empty one.
void view_project_bbox(const ViewProjection* vp, const BBox& box, BBox* out);

// 1 when the object's box lies wholly outside the visible extents (x or y), else 0.
// Never in perspective, never for lights, never for an object with an empty box.
int view_cull_object(const ViewProjection* vp, const object* obj);
// Makes the visible extents unbounded: nothing is culled.
void view_extents_reset(ViewProjection* vp);
