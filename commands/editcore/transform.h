// Transforming drawing objects: building a Transform from up to three picked points
// and a mode word, applying it to one object by class (points, derived values such as
// the text frame, the ellipse axes and the camera lens, keyframe track bases, texture
// placements), and applying it to a list of objects in place or to copies, as one
// undoable step or directly.
//
// Points are drawing coordinates (model units); the rotation angle is radians.
// Result codes: 0 success, 8 out of memory, 13 bad argument (a degenerate transform),
// or the error of regeneration or of the undo history passed up.
#pragma once

#include <cstdint>

#include "model/math/types.h"

class buffer;
class CAMERA;
class CONTAINER;
class ELARC;
class MESH3;
class object;
class TEXT2;

// Mode word: the kind in the low four bits, then two flags.
inline constexpr int32_t kXformMove = 0;       // by p2 - p1
inline constexpr int32_t kXformRotate = 1;     // about the axis p2 through p1 by the angle p3.x
inline constexpr int32_t kXformMirror = 2;     // in the plane through p1, p2, p3
inline constexpr int32_t kXformScale3 = 3;     // three-point scale about p1
inline constexpr int32_t kXformKindMask = 15;  // other kinds give the identity
inline constexpr int32_t kXformCopy = 32;      // work on copies; the sources stay
inline constexpr int32_t kXformNoUndo = 64;    // no undo recording, rollback or trimming

// A transform and whether it is applied to copies.
struct TransformJob {
    Transform transform;
    int copy = 0;
};

// Fills *t from the points by the mode's kind. 0; 13 (t left as it was) for a point
// that is not finite (p3 is not read by a move), for a mirror
// through (nearly) collinear or coincident points, and for a three-point scale whose
// points would give a zero or non-finite scale factor (coincident or collinear points,
// or p2 at right angles to p3 seen from p1).
[[nodiscard]] int xform_from_points(Transform* t, const Vec3& p1, const Vec3& p2, const Vec3& p3,
                                    int32_t mode);

// Moves every vertex of every face block of the mesh by the forward matrix.
void mesh_transform(MESH3* mesh, const Transform& t);
// Carries an arc, circle or ellipse through the transform: new centre, axis points
// (the axes of the image ellipse), start and end angles; the circular-arc flag is
// set exactly when the new axes agree within 0.0001. Regenerates the arc; returns
// its result.
[[nodiscard]] int elarc_transform(ELARC* arc, const Transform& t);
// Carries a text's base point and frame (width, height, direction, slant, plane
// normal) through the transform. Does not regenerate.
void text2_transform(TEXT2* text, const Transform& t);
// Carries a camera's position, target and up vector through the transform and
// derives its new lens and roll. Does not regenerate.
void camera_transform(CAMERA* cam, const Transform& t);

// Applies the transform to one object in place, by class, then regenerates it
// (containers: every child, the container itself is not regenerated). 0, or the
// first error of a child or of regen_object.
[[nodiscard]] int transform_object(const Transform& t, object* obj);

// Builds the transform from the points and mode and applies it to every drawing
// object referenced by `list` (an object whose group is also in the list moves with
// the group). Copies, or moved objects, go to `container` (a container under a
// MODEL): see the undoable and plain forms below. Each result object is added to
// `result` when it is not null. Without kXformNoUndo the whole list is one undo step
// (a new level when *new_level is set, or always when new_level is null; *new_level is
// cleared once a level is started); a failure rolls that level back, and afterwards
// the history is trimmed to `depth` levels (undo depth setting: 0 off, negative
// unlimited). 0, 8 (no memory for a temporary result buffer), 13 (bad arguments or a
// degenerate transform), or the first error.
[[nodiscard]] int transform_objects(CONTAINER* container, buffer* result, buffer* list,
                                    const Vec3& p1, const Vec3& p2, const Vec3& p3, int32_t mode,
                                    int* new_level, int depth);
// The same with a transform built by the caller (in double precision); the kind bits
// of `mode` are not read.
[[nodiscard]] int transform_objects_by(CONTAINER* container, buffer* result, buffer* list,
                                       const Transform& t, int32_t mode, int* new_level, int depth);
