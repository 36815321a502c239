// The Ruled surface command: contours picked one after another (a temporary polyline
// shows them and the guide through their start points while picking), then one loft
// through them, the last picked first. The temporary object holds copies of its own,
// is taken out of the drawing however the command ends, and never marks the drawing
// modified.
#include <algorithm>
#include <new>

#include "commands/input/zoom.h"
#include "commands/model3d/chains.h"
#include "commands/model3d/curve_pick.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/sweep_surface.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "model/services/log.h"

namespace {

int ruled_options(VIEW** r) { return model3d_options(r, g_draw3d_dialogs.ruled); }

// The picks shown in the drawing: a polyline in the current layer outside undo and
// the modified mark, with copies of the contours and the guide as its strokes.
class PickDisplay {
  public:
    explicit PickDisplay(VIEW* view) {
        layer_ = view ? view->current_layer : nullptr;
        model_ = view ? view_drawing(view) : nullptr;
        if (!layer_) return;
        obj_ = rtc_make<XPLINE>();
        if (!obj_) return;
        obj_->colour = -1;
        ring_insert(&layer_->children, obj_.get(), false);
        obj_->parent = layer_;
    }
    ~PickDisplay() {
        if (!obj_ || !obj_->parent) return;
        const BBox box = obj_->box;
        ring_remove(&layer_->children, obj_.get());
        obj_->parent = nullptr;
        // The views repaint where it was.
        if (model_) model_notify_views(model_, &box, 1);
    }
    PickDisplay(const PickDisplay&) = delete;
    PickDisplay& operator=(const PickDisplay&) = delete;

    const object* object_shown() const { return obj_.get(); }

    // Shows the contours and the guide; a copy that fails leaves the display as it was.
    void show(VIEW* view, const std::vector<std::vector<Vec3>>& contours, const std::vector<Vec3>& guide) {
        if (!obj_) return;
        PtrNode* strokes = nullptr;
        auto add = [&strokes](const std::vector<Vec3>& pts) {
            OwnedChain c;
            if (c.fill(pts) != 0 || ptrlist_add(&strokes, c.head) != 0) return false;
            c.head = nullptr;
            return true;
        };
        bool ok = guide.size() < 2 || add(guide);
        for (size_t i = 0; ok && i < contours.size(); ++i) ok = add(contours[i]);
        if (!ok) {
            plist_list_free(&strokes);
            return;
        }
        plist_list_free(&obj_->strokes);
        obj_->strokes = strokes;
        obj_update_bbox(obj_.get());
        if (!view) return;
        views_extend_extents(view, obj_.get());
        view_gdi_object_all(view, obj_.get());
    }

  private:
    LAYER* layer_ = nullptr;
    MODEL* model_ = nullptr;
    std::unique_ptr<XPLINE> obj_;
};

}  // namespace

int ruled_pick_contours(VIEW** view_ref, std::vector<std::vector<Vec3>>* contours) {
    contours->clear();
    PickDisplay display(*view_ref);
    std::vector<Vec3> guide;
    for (;;) {
        std::vector<Vec3> chain;
        object* obj = nullptr;
        const int code = curve_pick(view_ref, kPromptSelectTheContour, CurveKind::kLineWork, display.object_shown(),
                                    ruled_options, kHelpRuled, &chain, &obj);
        if (code == kStepRefused) break;  // the picking is done
        if (code == kCurveNoPoints) continue;  // a curve without points
        if (code != 0) return code;
        try {
            guide.push_back(chain.front());
            contours->push_back(std::move(chain));
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        display.show(*view_ref, *contours, guide);
    }
    std::reverse(contours->begin(), contours->end());
    return 0;
}

int cmd_ruled(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!model3d_start(view_ref, g_draw3d_dialogs.ruled)) return 0;
    std::vector<std::vector<Vec3>> contours;
    int code = ruled_pick_contours(view_ref, &contours);
    if (code == 0 && !*view_ref) code = kStepCancelled;
    if (code == 0 && contours.size() >= 2) {
        WaitCursor wait;
        std::unique_ptr<MESH3> mesh;
        code = ruled_mesh(std::move(contours), g_draw3d.faces_m, g_draw3d.smooth, g_draw3d.faces_n, &mesh);
        std::vector<std::unique_ptr<MESH3>> meshes;
        if (mesh) meshes.push_back(std::move(mesh));
        code = add_meshes(*view_ref, &meshes, code);
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return code;
}
