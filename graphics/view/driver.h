// The wire-frame driver: the iterator VIEWITER that an object's walk feeds with its
// points, lines and triangles, projected through a ViewProjection and handed to its
// callbacks, and the drawing of meshes with clipping at the pixel range and, in
// perspective, at the near plane.
//
// A driver lives for one drawing call. Mesh vertices are projected once per drawing
// into the driver's own scratch array, so a mesh is only read while it is drawn.
#pragma once

#include <vector>

#include "graphics/view/projection.h"
#include "model/db/iter.h"

class MESH3;

// One projected mesh vertex: its pixel (with the unrounded position for clipping),
// and its view coordinates before the perspective divide.
struct MeshVertexProjection {
    ProjectedPoint pixel;
    double view_x = 0.0, view_y = 0.0, depth = 0.0;
};

class VIEWITER : public ZITER {
  public:
    static RtcClass rtc_class;
    explicit VIEWITER(const ViewProjection* vp = nullptr);

    int visit(object* obj, int entering, int status) override;
    int move_to(double x, double y, double z, int dx, int dy) override;
    int line_to(double x, double y, double z, int dx, int dy) override;
    // Fills the triangle; corners outside the pixel range are clipped; a triangle with a
    // corner behind the eye is left out. Always 0, so the walk goes on.
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override;
    // move_to and line_to over a whole list in one loop, the projection inline.
    int walk_points(const PointNode* list) override;

    const ViewProjection* projection;  // not owned
    ProjectedPoint last;               // the previous point of the walk
    std::vector<MeshVertexProjection> scratch;
};

// Draws an object (and, for a container, everything in it) through the projection.
// Returns the walk's result.
int viewiter_draw_object(const ViewProjection* vp, object* obj);

// Draws the edges of a mesh (hidden edges left out). When the mesh's keyframe tracks
// apply at the drawing's current frame, it is drawn once per track, moved by it.
void view_draw_mesh(const ViewProjection* vp, MESH3* mesh);

// Selects the pen for an object through the pen callback (pen modes, projection.h).
void view_select_pen(const ViewProjection* vp, const object* obj);

// Fills a triangle given by three projected corners through the triangle callback,
// clipped to the pixel range (a fan of triangles when clipping cuts corners off).
void view_fill_triangle(const ViewProjection* vp, const ProjectedPoint* corners);
