// The render sheet's preview in the drawing window.
#include "render/job/render_preview.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "commands/editcore/picking.h"
#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/track_eval.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "render/scanline/render_scene.h"
#include "render/scanline/scene_util.h"

int view_projection_from_camera(const CAMERA& camera, int32_t width, int32_t height, ViewProjection* vp) {
    if (!vp || width < 1 || height < 1) return kBadArgument;
    Matrix43 m, inv;
    if (camera_frame(camera, &m, &inv) != 0) return kBadArgument;
    const double eye = camera.lens * width;
    if (!std::isfinite(eye) || !(eye > 0)) return kBadArgument;
    vp->view = m;
    vp->inverse = inv;
    vp->mode = kProjPerspective;
    vp->eye_distance = eye;
    vp->centre_x = width / 2.0;
    vp->centre_y = height / 2.0;
    view_extents_reset(vp);
    return 0;
}

RenderPreviewer::RenderPreviewer(VIEW* view, int32_t client_width, int32_t client_height)
    : view_(view), width_(client_width), height_(client_height) {
    if (view_) saved_ = view_->projection;
    if (width_ < 1 || height_ < 1) width_ = 320, height_ = 240;  // as the render takes an empty window
}

RenderPreviewer::~RenderPreviewer() = default;

const CAMERA* RenderPreviewer::viewport_camera() const {
    return fitted_ ? sheet_.get() : nullptr;
}

bool RenderPreviewer::restore() {
    if (!view_) return false;
    bool changed = changed_;
    if (changed_) {
        // Only the view's looking changes back: callbacks stay as the window set them.
        ViewProjection& vp = view_->projection;
        const ViewProjection keep = vp;
        vp = saved_;
        vp.line = keep.line, vp.triangle = keep.triangle, vp.pen = keep.pen, vp.context = keep.context;
        changed_ = false;
    }
    if (MODEL* m = view_drawing(view_); m && m->current_frame != -1) {
        m->current_frame = -1;
        changed = true;
    }
    shown_ = false;
    return changed;
}

bool RenderPreviewer::fit_viewport(const RenderPreviewRequest& r) {
    if (!sheet_) sheet_ = rtc_make<CAMERA>();
    if (!sheet_) return false;
    fitted_ = true;
    // Nothing to look at: a render without perspective.
    if (fit(r, sheet_.get()) != 0) {
        sheet_->lens = -1.0;
        return false;
    }
    return true;
}

int RenderPreviewer::fit_new_camera(const RenderPreviewRequest& r, CAMERA* camera) {
    if (!camera) return kBadArgument;
    const int rc = fit(r, camera);
    return rc == 0 || rc == 1 ? 0 : rc;
}

int RenderPreviewer::fit(const RenderPreviewRequest& r, CAMERA* camera) {
    if (!view_) return kBadArgument;
    // Picks and bounds work in the viewport's own parallel view.
    ViewProjection& vp = view_->projection;
    const ViewProjection keep = vp;
    vp = saved_;
    buffer* picked = nullptr;
    double eye_z = 0, focal = 0;
    int pick = 0, found = 0;
    try {
        buffer* objects = nullptr;
        if (r.selected_only) {
            objects = view_->selection;
        } else if (saved_.scale > 0) {
            PickWindow win;
            win.flags = kPickCrossing | kPickClass;
            win.filter_class = &MESH3::rtc_class;
            win.p1 = {float(saved_.origin_x), float(saved_.origin_y), -FLT_MAX};
            win.p2 = {float(saved_.origin_x + width_ / saved_.scale),
                      float(saved_.origin_y + height_ / saved_.scale), FLT_MAX};
            // A pick cut short (out of memory) fits no camera to the part it found.
            picked = buffer_new();
            pick = picked ? pick_objects_region(view_, picked, &win, 1) : kOutOfMemory;
            objects = picked;
        }
        if (pick == 0)
            found = render_depth_bounds(&saved_, objects, width_, height_, r.perspective_value, &eye_z, &focal);
    } catch (const std::bad_alloc&) {
        pick = kOutOfMemory;  // the walk of the drawing ran out of memory part way
    }
    if (picked) buffer_free(&picked);
    vp = keep;
    if (pick != 0) return pick;
    // With nothing found the bounds are those of an empty scene at depth 0.
    if (found != 0 && found != 1) return found;
    const int rc = render_fit_camera(&saved_, width_, height_, eye_z, focal, camera);
    return rc != 0 ? rc : found;
}

bool RenderPreviewer::show(const RenderPreviewRequest& r) {
    MODEL* model = view_ ? view_drawing(view_) : nullptr;
    if (!model) return false;
    const std::string name = r.camera_name ? r.camera_name : "";
    if (shown_ && !r.force && name == last_name_ && r.perspective == last_.perspective &&
        r.perspective_value == last_.perspective_value && r.selected_only == last_.selected_only &&
        r.frame == last_.frame)
        return false;
    shown_ = true;
    fitted_ = false;
    last_ = r;
    last_name_ = name;
    const int32_t frame = r.frame >= 0 && r.frame < model->frame_count ? r.frame : -1;
    const bool frame_changed = model->current_frame != frame;
    model->current_frame = frame;

    CAMERA* named = name.empty() ? nullptr
                                 : rtc_cast<CAMERA>(model_find_named(model, name.c_str(), &CAMERA::rtc_class));
    bool look = false;  // through the sheet camera
    if (named) {
        if (!sheet_) sheet_ = rtc_make<CAMERA>();
        if (sheet_) {
            if (frame >= 0 && obj_apply_frame(named)) camera_apply_frame(sheet_.get(), named, frame);
            else camera_apply_frame(sheet_.get(), named, -1);
            look = true;
        }
    } else if (r.perspective) {
        look = fit_viewport(r);
    }
    ViewProjection& vp = view_->projection;
    ViewProjection next = saved_;
    next.line = vp.line, next.triangle = vp.triangle, next.pen = vp.pen, next.context = vp.context;
    if (look && view_projection_from_camera(*sheet_, width_, height_, &next) != 0) {
        next = saved_;
        next.line = vp.line, next.triangle = vp.triangle, next.pen = vp.pen, next.context = vp.context;
        look = false;
    }
    const bool projection_changed = r.force || std::memcmp(&vp, &next, sizeof next) != 0;
    vp = next;
    changed_ = look;
    return projection_changed || frame_changed;
}
