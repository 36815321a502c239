// The drawing window's preview while the render sheet is open: the drawing seen
// through the chosen camera at a frame of its animation, or through a camera fitted
// to the viewport's meshes (or the selection) with the page's perspective value, or
// the viewport's own parallel view when perspective is off. The view's projection is
// saved when the previewer is made and put back by restore(); the drawing's current
// frame follows the preview and is -1 again after restore().
//
// Runs on the user-interface thread; the caller redraws the window when show()
// answers true.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/view/projection.h"

class CAMERA;
class VIEW;

// The perspective projection of a camera in a window of width x height pixels: the
// camera's frame as the view matrix, the eye distance its lens times the width, the
// view axis at the window's centre; origin, scale and callbacks kept from `vp`.
// 13 when the camera has no line of sight or no finite positive lens, or the window
// is empty (vp unchanged).
[[nodiscard]] int view_projection_from_camera(const CAMERA& camera, int32_t width, int32_t height, ViewProjection* vp);

struct RenderPreviewRequest {
    const char* camera_name = nullptr;  // a CAMERA of the drawing, or null for the viewport
    bool perspective = false;
    int32_t perspective_value = 0;      // 1..100, for the viewport's fitted camera
    bool selected_only = false;         // fit to the selection instead of the window's meshes
    int32_t frame = -1;                 // 0-based; -1 the rest pose
    bool force = false;                 // shown again even when equal to the last request
};

class RenderPreviewer {
  public:
    RenderPreviewer(VIEW* view, int32_t client_width, int32_t client_height);
    ~RenderPreviewer();
    RenderPreviewer(const RenderPreviewer&) = delete;
    RenderPreviewer& operator=(const RenderPreviewer&) = delete;

    // Shows the request; true when the view's projection or the drawing's frame
    // changed (the window must be redrawn). Nothing changes for a request equal to
    // the last one unless it is forced.
    bool show(const RenderPreviewRequest& request);
    // The saved projection back and the current frame -1; true when anything changed.
    bool restore();
    // The camera last fitted to the viewport (its lens -1 when nothing was there to
    // fit), or null when none was fitted: the render takes it for "<Viewport>".
    const CAMERA* viewport_camera() const;
    // The viewport's camera for a new camera to start from: `camera`'s position,
    // target, up vector and lens fitted as the preview fits them for `request` (its
    // perspective value and selection; its perspective flag and camera name aside),
    // whether or not the window shows it. Where nothing is there to fit, it looks at
    // the middle of the window at depth 0. What the window shows stays as it is.
    // 13 when the viewport cannot be fitted (camera unchanged).
    [[nodiscard]] int fit_new_camera(const RenderPreviewRequest& request, CAMERA* camera);

  private:
    bool fit_viewport(const RenderPreviewRequest& r);
    // Fits `camera` to the viewport: 0 to what was found, 1 with nothing found (as
    // fit_new_camera does), another code when the viewport cannot be fitted.
    [[nodiscard]] int fit(const RenderPreviewRequest& r, CAMERA* camera);

    VIEW* view_;
    int32_t width_, height_;
    ViewProjection saved_;
    std::unique_ptr<CAMERA> sheet_;  // the camera the window looks through
    bool fitted_ = false;
    bool changed_ = false;  // the projection is not the saved one
    bool shown_ = false;
    std::string last_name_;
    RenderPreviewRequest last_;
};
