// Picking objects in a view through the pick device.
#include "commands/editcore/picking.h"

#include "graphics/view/colours.h"
#include "graphics/view/pick.h"
#include "graphics/view/view.h"
#include "model/db/buffer.h"
#include "model/db/zobj.h"
#include "model/math/result.h"

namespace {

void use_view_layers(const VIEW* view, PickWindow* win) {
    win->word = view->layer_state.word;
    const auto& flags = view->layer_state.flags;
    win->layer_flags = flags.empty() ? nullptr : flags.data();
    win->layer_flag_count = flags.size();
}

PickWindow point_window(VIEW* view, const Vec3& point, const RtcClass* filter) {
    PickWindow win;
    win.flags = filter ? (kPickPoint | kPickClass) : kPickPoint;
    win.filter_class = filter;
    win.tolerance = 5.0 / view->projection.scale;
    world_to_view(&view->projection, point, &win.p1);
    win.p2 = win.p1;
    use_view_layers(view, &win);
    return win;
}

int walk_drawing(VIEW* view, PickWindow* win, PickContext* ctx) {
    MODEL* model = view_drawing(view);
    if (!model) return 0;
    return pick_object_in_window_ex(&view->projection, model, win, &pick_collect_cb, ctx);
}

struct UnhighlightContext {
    VIEW* view;
    buffer* buf;
};

int pick_unhighlight_cb(RefNode* node, void* context) {
    auto* ctx = static_cast<UnhighlightContext*>(context);
    if (auto* obj = rtc_cast<object>(node->ref)) view_gdi_object(ctx->view, obj, -1);
    buffer_drop_ref(ctx->buf, node);
    return 0;
}

}  // namespace

int pick_collect_cb(object* obj, void* context) {
    auto* ctx = static_cast<PickContext*>(context);
    if (ctx->active) {
        if (ctx->result) {
            *ctx->result = obj;
            return -1;
        }
        if (ctx->collect) {
            if (int rc = buffer_add(ctx->collect, obj)) return rc;
            if (ctx->view && ctx->collect == ctx->view->selection)
                view_gdi_object(ctx->view, obj, g_display.highlight_colour);
        }
    }
    if (obj == ctx->start_after) ctx->active = 1;
    return 0;
}

object* pick_object_at(VIEW* view, const Vec3& point, const RtcClass* filter, object* previous) {
    if (!view) return nullptr;
    PickWindow win = point_window(view, point, filter);
    object* found = nullptr;
    PickContext ctx;
    ctx.view = view;
    ctx.start_after = previous;
    ctx.result = &found;
    ctx.active = previous ? 0 : 1;
    walk_drawing(view, &win, &ctx);
    return found;
}

int pick_objects_at(VIEW* view, buffer* buf, const Vec3& point, const RtcClass* filter) {
    if (!view) return kBadArgument;
    PickWindow win = point_window(view, point, filter);
    PickContext ctx;
    ctx.view = view;
    ctx.collect = buf;
    const int rc = walk_drawing(view, &win, &ctx);
    return rc > 0 ? rc : 0;
}

int pick_objects_region(VIEW* view, buffer* buf, PickWindow* win, int select) {
    if (!view || !win) return kBadArgument;
    if (select) {
        if (!win->layer_flags) use_view_layers(view, win);
        PickContext ctx;
        ctx.view = view;
        ctx.collect = buf;
        const int rc = walk_drawing(view, win, &ctx);
        return rc > 0 ? rc : 0;
    }
    if (!buf) return 0;
    UnhighlightContext ctx{view, buf};
    pick_for_each_hit(&view->projection, buf, win, &pick_unhighlight_cb, &ctx);
    return 0;
}
