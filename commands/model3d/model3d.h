// The 3D construction commands built so far and their registration in the drawing
// view's command table. Each takes the command's VIEW by reference (written back when
// the command moves to another view; null when its window closed) and returns 0, an
// engine code (8 out of memory) or the input code that ended it (-1, -2).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/math/types.h"
#include "resources/string_ids.h"

class VIEW;
class CAMERA;
class MESH3;
class buffer;
class LIGHT;

inline constexpr uint32_t kCmdBox3D = 15500;
inline constexpr uint32_t kCmdPyramid = 15501;
inline constexpr uint32_t kCmdSphere = 15503;
inline constexpr uint32_t kCmdCone = 15504;
inline constexpr uint32_t kCmdTorus = 15505;
inline constexpr uint32_t kCmdMesh = 15502;
inline constexpr uint32_t kCmdFaces3D = 15510;
inline constexpr uint32_t kCmdFractal = 15512;
inline constexpr uint32_t kCmdFlatPolygon = 15514;
inline constexpr uint32_t kCmdSpiral = 15509;
inline constexpr uint32_t kCmdExtrude = 15507;
inline constexpr uint32_t kCmdRevolution = 15506;
inline constexpr uint32_t kCmdRuled = 15508;
inline constexpr uint32_t kCmdTracked = 15511;
inline constexpr uint32_t kCmdProfiled = 15513;
inline constexpr uint32_t kCmdNewCamera = 15600;
inline constexpr uint32_t kCmdSpotLight = 15601;
inline constexpr uint32_t kCmdOmniLight = 15602;

// Prompts of the 3D commands.
inline constexpr uint32_t kPromptBoxCorner = IDS_BOX3D_CORNER;               // "Left down corner of 3D box"
inline constexpr uint32_t kPromptBoxWidth = IDS_BOX3D_WIDTH;                 // "Width of 3D box"
inline constexpr uint32_t kPromptBoxHeight = IDS_BOX3D_HEIGHT;               // "Height of 3D box"
inline constexpr uint32_t kPromptBoxDepth = IDS_BOX3D_DEPTH;                 // "Depth of 3D box"
inline constexpr uint32_t kPromptSphereCentre = IDS_SPHERE_CENTRE;           // "Sphere centre"
inline constexpr uint32_t kPromptSphereRadius = IDS_SPHERE_RADIUS;           // "Sphere radius"
inline constexpr uint32_t kPromptTorusCentre = IDS_TORUS_CENTRE;             // "Torus centre"
inline constexpr uint32_t kPromptTorusRadius = IDS_TORUS_RADIUS;             // "Torus radius"
inline constexpr uint32_t kPromptTorusTube = IDS_TORUS_TUBE;                 // "Torus tube radius"
inline constexpr uint32_t kPromptConeTop = IDS_CONE_TOP;                     // "Top point"
inline constexpr uint32_t kPromptConeBase = IDS_CONE_BASE;                   // "Centre of base"
inline constexpr uint32_t kPromptConeBaseRadius = IDS_CONE_BASE_RADIUS;      // "Base radius"
inline constexpr uint32_t kPromptConeTopRadius = IDS_CONE_TOP_RADIUS;        // "Top radius"
inline constexpr uint32_t kPromptCameraPosition = IDS_CAMERA_POSITION;       // "Camera position"
inline constexpr uint32_t kPromptCameraTarget = IDS_CAMERA_TARGET;           // "Camera target location"
inline constexpr uint32_t kPromptLightPosition = IDS_LIGHT_POSITION;         // "Light position"
inline constexpr uint32_t kPromptLightTarget = IDS_LIGHT_TARGET;             // "Light target"
inline constexpr uint32_t kPromptMeshCorner1 = IDS_MESH_CORNER1;             // "Mesh first corner"
inline constexpr uint32_t kPromptMeshCorner2 = IDS_MESH_CORNER2;             // "Mesh second corner"
inline constexpr uint32_t kPromptMeshCorner3 = IDS_MESH_CORNER3;             // "Mesh third corner"
inline constexpr uint32_t kPromptMeshCorner4 = IDS_MESH_CORNER4;             // "Mesh fourth corner"
inline constexpr uint32_t kPromptFacesFirst = IDS_FACES_FIRST;               // "First point"
inline constexpr uint32_t kPromptFacesSecond = IDS_FACES_SECOND;             // "Second point"
inline constexpr uint32_t kPromptFacesNext = IDS_FACES_NEXT;                 // "Next point"
inline constexpr uint32_t kPromptFractalThird = IDS_FRACTAL_THIRD;           // "Third point"
inline constexpr uint32_t kPromptSpiralCentre = IDS_SPIRAL_CENTRE;           // "Spiral centre point"
inline constexpr uint32_t kPromptSpiralStep = IDS_SPIRAL_STEP;               // "Spiral step"
inline constexpr uint32_t kPromptSpiralRadius = IDS_SPIRAL_RADIUS;           // "Spiral radius"
inline constexpr uint32_t kPromptSpiralTube = IDS_SPIRAL_TUBE;               // "Spiral tube radius"
inline constexpr uint32_t kPromptDirectionStart = IDS_DIRECTION_START;       // "Direction start point"
inline constexpr uint32_t kPromptDirectionEnd = IDS_DIRECTION_END;           // "Direction end point"
inline constexpr uint32_t kPromptRevolveSelect = IDS_REVOLVE_SELECT;         // "Select wire-frame objects to revolve"
inline constexpr uint32_t kPromptAxisStart = IDS_REVOLVE_AXIS_START;         // "Revolve axis start point"
inline constexpr uint32_t kPromptAxisEnd = IDS_REVOLVE_AXIS_END;             // "Revolve axis end point"
inline constexpr uint32_t kPromptExtrudeSelect = IDS_EXTRUDE_SELECT;         // "Select wire-frame objects to extrude"
inline constexpr uint32_t kPromptSelectTheContour = IDS_SELECT_THE_CONTOUR;  // "Select the contour"
inline constexpr uint32_t kPromptPathDirection = IDS_PATH_DIRECTION;         // "Specify closed path direction"
inline constexpr uint32_t kPromptTrackSelect = IDS_TRACK_SELECT;         // "Select contour to extrude along the track"
inline constexpr uint32_t kPromptPathCurve = IDS_SELECT_PATH_CURVE;      // "Select the path curve"
inline constexpr uint32_t kPromptSelectContour = IDS_SELECT_CONTOUR;     // "Select contour"
inline constexpr uint32_t kPromptPyramidBase = IDS_PYRAMID_BASE;         // "Choose pyramid base contour"
inline constexpr uint32_t kPromptFractalChoose = IDS_FRACTAL_CHOOSE;     // "Choose object to apply fractal"
inline constexpr uint32_t kPromptBasePoint3D = IDS_BASE_POINT_3D;        // "Base point"
inline constexpr uint32_t kStrContourNotFlat = IDS_CONTOUR_IS_NOT_FLAT;  // "Contour is not flat"
// "The new mesh is not a sound solid (%s).|Boolean operations will refuse it."
inline constexpr uint32_t kStrMeshNotSound = IDS_MESH_NOT_SOUND_SOLID;
inline constexpr uint32_t kStrNoMemory3D = IDS_NO_MEMORY;                // "Not enough memory to complete operation..."
inline constexpr uint32_t kTitleSpiral = IDD_SPIRAL;                     // "Spiral"
inline constexpr uint32_t kHelpRevolution = 40057;
inline constexpr uint32_t kHelpRuled = 40059;
inline constexpr uint32_t kHelpTracked = 40062;
inline constexpr uint32_t kHelpProfiled = 40064;
inline constexpr uint32_t kHelpFractal = 40063;
inline constexpr uint32_t kHelpPyramid = 40052;
inline constexpr uint32_t kHelpFlatPolygon = 40065;
inline constexpr uint32_t kHelpMesh = 40053;
inline constexpr uint32_t kHelpFaces3D = 40061;
inline constexpr uint32_t kHelpCamera = 40068;
inline constexpr uint32_t kHelpSpotLight = 40069;
inline constexpr uint32_t kHelpLight = 40070;
inline constexpr uint32_t kHelpBox3D = 40051;
inline constexpr uint32_t kHelpSphere = 40054;
inline constexpr uint32_t kHelpCone = 40055;
inline constexpr uint32_t kHelpTorus = 40056;
inline constexpr uint32_t kHelpSpiral = 40060;
inline constexpr uint32_t kHelpExtrude = 40058;

// The parameter dialogs of the commands, installed by the application (the Qt
// dialogs) or by tests. Each returns 1 when accepted, 0 when cancelled; it edits
// g_draw3d in place. Without a hook the command runs on the current settings.
struct Draw3dDialogs {
    int (*box)(VIEW* view) = nullptr;
    int (*sphere)(VIEW* view) = nullptr;
    int (*cone)(VIEW* view) = nullptr;
    int (*torus)(VIEW* view) = nullptr;
    int (*mesh)(VIEW* view) = nullptr;
    int (*faces3d)(VIEW* view) = nullptr;  // options key only
    int (*fractal)(VIEW* view) = nullptr;
    int (*pyramid)(VIEW* view) = nullptr;
    int (*spiral)(VIEW* view) = nullptr;
    int (*extrude)(VIEW* view) = nullptr;
    int (*revolution)(VIEW* view) = nullptr;
    int (*ruled)(VIEW* view) = nullptr;
    int (*tracked)(VIEW* view) = nullptr;
    int (*profiled)(VIEW* view) = nullptr;
    // The settings dialogs of a new camera or light (name, position, target, cone,
    // colour), shared with the adjusting commands; they edit the object. 1 on OK.
    int (*camera_settings)(VIEW* view, CAMERA* camera) = nullptr;
    int (*light_settings)(VIEW* view, LIGHT* light) = nullptr;
};
extern Draw3dDialogs g_draw3d_dialogs;
// Set by the dialogs' "&Query" box: when non-zero, commands start without their
// dialog. Process-wide, not saved.
extern int g_draw3d_query;

[[nodiscard]] int cmd_box(VIEW** view_ref);
[[nodiscard]] int cmd_sphere(VIEW** view_ref);
[[nodiscard]] int cmd_cone(VIEW** view_ref);
[[nodiscard]] int cmd_torus(VIEW** view_ref);

[[nodiscard]] int cmd_mesh(VIEW** view_ref);
[[nodiscard]] int cmd_faces3d(VIEW** view_ref);
[[nodiscard]] int cmd_fractal(VIEW** view_ref);
[[nodiscard]] int cmd_pyramid(VIEW** view_ref);
[[nodiscard]] int cmd_flat_polygon(VIEW** view_ref);
[[nodiscard]] int cmd_spiral(VIEW** view_ref);
[[nodiscard]] int cmd_extrude(VIEW** view_ref);
[[nodiscard]] int cmd_revolution(VIEW** view_ref);
[[nodiscard]] int cmd_ruled(VIEW** view_ref);
[[nodiscard]] int cmd_tracked(VIEW** view_ref);
[[nodiscard]] int cmd_profiled(VIEW** view_ref);

// Shared steps of the commands: the options key runs `dialog` and the step goes on
// where it was (0: the commands read the settings when they build); a command starts
// with its dialog unless the query flag is set (false: cancelled) and enters input
// mode.
int model3d_options(VIEW** view_ref, int (*dialog)(VIEW*));
bool model3d_start(VIEW** view_ref, int (*dialog)(VIEW*));
// Tells the user, under "Warning!", when a new closed mesh is no sound solid (no
// volume, or overlapping itself), which the boolean operations would refuse; the
// mesh is built all the same.
void warn_unsound_solid(const MESH3* mesh);
// Adds every built mesh to the drawing, each its own undo level, stopping at the first
// failure (the rest are freed), with the warning above for each; returns `build_code`
// when non-zero (the build stopped there, what it made before stays), else 0 or the
// adding failure.
[[nodiscard]] int add_meshes(VIEW* view, std::vector<std::unique_ptr<MESH3>>* meshes,
                             int build_code);
// Sweeps every stroke of the chosen line work along `path` (each object's strokes
// brought to "FacesM" segments and the path to "FacesN" unless "UsePattern"), one
// new mesh per stroke, under the wait cursor. 0, 8 or 13.
[[nodiscard]] int sweep_objects(VIEW* view, const buffer* chosen, std::vector<Vec3> path,
                                const Vec3& base, const Vec3& direction);
// The profiled surface without a window: the profile placed at each path's start
// (profile_place) and swept along it; paths of fewer than two points make nothing.
[[nodiscard]] int profiled_meshes(const std::vector<Vec3>& profile,
                                  const std::vector<std::vector<Vec3>>& paths,
                                  std::vector<std::unique_ptr<MESH3>>* out);
// The contour picking of the ruled surface: picks until Esc (0) and returns the
// contours, the last picked first; -2 or an engine code ends it.
[[nodiscard]] int ruled_pick_contours(VIEW** view_ref, std::vector<std::vector<Vec3>>* contours);
[[nodiscard]] int cmd_new_camera(VIEW** view_ref);
[[nodiscard]] int cmd_spot_light(VIEW** view_ref);
[[nodiscard]] int cmd_omni_light(VIEW** view_ref);

// A new mesh with a fractal surface over every face of every MESH3 the buffer refers
// to (other objects, containers too, are passed over). *out stays null when there was
// no face to build on. 0, 8 or 13; the first failure stops it.
[[nodiscard]] int fractal_from_meshes(const buffer* chosen, int levels, double roughness,
                                      std::unique_ptr<MESH3>* out);

// A base point of a pyramid: its position and whether the segment to the next point
// is left out (a pen-up stroke end).
struct BasePoint {
    Vec3 p;
    bool pen_up;
};
// Appends the point lists of a line-work object (a container's recursively) without
// repeated points (1e-6 on every axis); a closed list ends at its first point again.
// Objects without a list add nothing.
class object;
void wire_point_lists(const object* obj, std::vector<std::vector<BasePoint>>* out);
// One mesh per drawn stroke of each base: a face (start, end, top, top) per segment.
// 0, 8 or 13; on failure the meshes made so far are in *out, owned by the caller.
[[nodiscard]] int pyramid_meshes(const std::vector<std::vector<BasePoint>>& bases, const Vec3& top,
                                 int merge_edges, std::vector<std::unique_ptr<MESH3>>* out);

// Revolves the profiles into one new mesh (steps from "FacesN", 3 below 4) and adds it
// to the view's drawing as one undo level. The mesh is the command's until the
// drawing takes it; nothing is added when the build fails. 0, 8 or 13.
struct RevolveProfiles;
[[nodiscard]] int revolve_into_drawing(VIEW* view, const RevolveProfiles& profiles);

// One band per drawn stroke of each base, the stroke moved along `v` (a stroke back at
// its start within 0.001 makes a closed band). Strokes of one point make nothing.
// 0, 8 or 13; on failure the meshes made so far are in *out, owned by the caller.
[[nodiscard]] int extrude_meshes(const std::vector<std::vector<BasePoint>>& bases, const Vec3& v,
                                 std::vector<std::unique_ptr<MESH3>>* out);
using Model3dCommandFn = int (*)(void* arg);
void model3d_register_commands(void (*set)(int id, Model3dCommandFn fn));
