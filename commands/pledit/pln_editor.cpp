// The polyline editor tool: picking, undoable edits, vertex placement, the weld and
// the corner tools (see pln_editor.h).
#include "commands/pledit/pln_editor.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#include "commands/edit/edit.h"
#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/pledit/pln_ops.h"
#include "graphics/view/projection.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/arcgeom.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/mesh/chain.h"
#include "model/rtc/rtc.h"
#include "model/services/beep.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "resources/string_ids.h"

namespace {

constexpr uint32_t kPromptSelectVertex = IDS_SELECT_VERTEX_OF_THE, kPromptVertexLocation = IDS_NEW_LOCATION_OF_THE;
constexpr uint32_t kMsgCannotChamfer = IDS_CAN_NOT_CHAMFER_THESE;
PlnFrameFactory g_frame_factory = nullptr;

Vec3 at(const PointNode* n) { return {n->x, n->y, n->z}; }
void widen(BBox* into, const object* obj) {
    if (obj && !bbox_is_empty(obj->box)) bbox_union(obj->box, into);
}
PointNode* last_node(PointNode* list) {
    PointNode* n = list;
    while (n && n->next && n->next != list) n = n->next;
    return n;
}
// Copies the attributes a split-off part or corner object takes from its polyline.
void copy_attributes(WIRE* to, const XPLINE* from) {
    to->colour = from->colour;
    to->line_style = from->line_style;
    to->width = from->width;
    to->second = from->second;
}

}  // namespace

void pln_set_frame_factory(PlnFrameFactory factory) { g_frame_factory = factory; }

CCmdInput* pln_make_tool(uint32_t id) {
    if (id < kCmdMoveVertex || id > kCmdFillet) return nullptr;
    return new (std::nothrow) CPlnEditor(id);
}

CPlnEditor::CPlnEditor(uint32_t id) : CCmdInput(id) {
    prompt_id = kPromptSelectVertex;
    help_id = id + 0x10000;
    input_kind = kCmdInputPoint;
    text = buffer_;
    capacity = sizeof buffer_;
    two_vertex_ = id == kCmdDeleteVertex;
}

CPlnEditor::~CPlnEditor() = default;

object* CPlnEditor::pick(const Vec3& p, bool arcs, const object* exclude) const {
    object* hit = nullptr;
    while ((hit = pick_object_at(view, p, nullptr, hit)) != nullptr) {
        if (hit == exclude) continue;
        if (arcs && rtc_is_a(hit, &ELARC::rtc_class)) return hit;
        if (!rtc_is_a(hit, &XPLINE::rtc_class)) continue;
        const XPLINE* x = static_cast<const XPLINE*>(hit);
        if (x->kind == kXplineFilled) continue;
        if (two_vertex_ && plist_count(x->control) < 2) continue;
        return hit;
    }
    return nullptr;
}

// ---- Feedback and events

void CPlnEditor::DrawMark(VIEW* v, int x, int y) {
    if (!v) return;
    if (command_id == kCmdWeld && working) {
        cursor_draw_crosshair(v, x, y);
        if (working->control) {
            int px, py;
            world_to_pixel(&v->projection, at(working->control), &px, &py);
            view_gdi_line(v, px, py, x, y);
        }
        return;
    }
    if (moving_) {
        cursor_draw_crosshair(v, x, y);
        for (PointNode* n : {before_, after_}) {
            if (!n) continue;
            int px, py;
            world_to_pixel(&v->projection, at(n), &px, &py);
            view_gdi_line(v, px, py, x, y);
        }
        return;
    }
    cursor_draw_snap_box(v, x, y);
}

int CPlnEditor::OnKey(int key, int repeat, int flags) {
    if (key == 27) weld_count = 0;
    if (key == 13 && text_length > 0) {
        double p[3];
        if (std::sscanf(text, "%lg %lg %lg", &p[0], &p[1], &p[2]) == 3) {
            text_length = 0;
            text[0] = 0;
            // A point beyond the drawing's range is refused (the user is told) and the
            // tool keeps waiting for another.
            if (!input_typed_values_usable(p, 3)) return 1;
            const float f[3] = {float(p[0]), float(p[1]), float(p[2])};
            OnUpdateViews(kPointerPoint, 0, 0, 0, f);
            return 1;
        }
    }
    return CCmdInput::OnKey(key, repeat, flags);
}

void CPlnEditor::OnUpdateViews(int code, int flags, int x, int y, const float point[3]) {
    const Vec3 p{point[0], point[1], point[2]};
    switch (code) {
        case kPointerMove:
            if (moving_ && command_id != kCmdChamfer && command_id != kCmdFillet) move_to(p);
            break;
        case kPointerPoint:
            if (moving_) move_to(p);
            click(p);
            break;
        case kPointerLeftDown:
            click(p);
            break;
        case kPointerRightDown:
            command_post_code(command_id == kCmdWeld && weld_count >= 2 ? 0 : 1);
            return;
        default:
            break;
    }
    CCmdInput::OnUpdateViews(code, flags, x, y, point);
}

void CPlnEditor::move_to(const Vec3& p) {
    if (!moving_ || !view) return;
    Vec3 q = p;
    if (g_prefs.pled_keep_z) {
        Vec3 node_v, ptr_v;
        world_to_view(&view->projection, at(moving_), &node_v);
        world_to_view(&view->projection, p, &ptr_v);
        node_v.x = ptr_v.x, node_v.y = ptr_v.y;
        view_to_world(&view->projection, node_v, &q);
    }
    moving_->x = q.x, moving_->y = q.y, moving_->z = q.z;
}

void CPlnEditor::click(const Vec3& p) {
    if (!view) return;
    int code;
    if (command_id == kCmdWeld)
        code = weld_step(p);
    else if (!working)
        code = first_step(p);
    else
        code = second_step(p);
    if (code == kOutOfMemory) command_post_code(kOutOfMemory);
}

// ---- Edits

int CPlnEditor::begin_edit(XPLINE* picked) {
    std::unique_ptr<RTC> copy;
    if (rtc_clone(&copy, picked) != 0 || !copy) return kOutOfMemory;
    auto* clone = static_cast<XPLINE*>(copy.get());
    CONTAINER* home = picked->parent ? picked->parent : view->current_layer;
    const int depth = edit_record_depth();
    if (model_add_object(home, clone, depth, 1) != 0) return kOutOfMemory;
    copy.release();
    if (model_delete_object(picked, depth, 0) != 0) {
        model_rollback(view_drawing(view));
        return kOutOfMemory;
    }
    widen(&redraw, picked);
    working = clone;
    return 0;
}

void CPlnEditor::roll_back() {
    if (MODEL* m = view_drawing(view)) model_rollback(m);
    working = second = nullptr;
    before_ = moving_ = after_ = nullptr;
    waiting_line_ = false;
    prompt_id = kPromptSelectVertex;
    view_notify_all(view, &redraw, 1);
}

void CPlnEditor::finish() {
    for (XPLINE* x : {working, second}) {
        if (!x) continue;
        if (regen_object(x) != 0) {
            command_post_code(kOutOfMemory);
            return;
        }
        obj_update_bbox(x);
        widen(&redraw, x);
    }
    view_notify_all(view, &redraw, 1);
    view_set_modified(view, 1);
    prompt_id = kPromptSelectVertex;
    working = second = nullptr;
    before_ = moving_ = after_ = nullptr;
    waiting_line_ = false;
}

int CPlnEditor::first_step(const Vec3& p) {
    object* hit = pick(p, false, nullptr);
    if (!hit) return 0;
    int code = begin_edit(static_cast<XPLINE*>(hit));
    if (code) return code;
    const Matrix43& vm = view->projection.view;
    XPLINE* w = working;
    switch (command_id) {
        case kCmdMoveVertex:
            moving_ = pln_nearest_vertex(vm, w->control, p, &before_);
            after_ = moving_ ? moving_->next : nullptr;
            prompt_id = kPromptVertexLocation;
            return 0;
        case kCmdAddVertex:
        case kCmdScissors: {
            PointNode* start = nullptr;
            Vec3 on;
            if (!pln_nearest_segment(vm, w->control, p, &start, &on)) {
                roll_back();
                return 0;
            }
            if (command_id == kCmdScissors) {
                auto part = rtc_make<XPLINE>();
                if (!part || plist_add(&part->control, on) != 0) return kOutOfMemory;
                part->kind = w->kind;
                copy_attributes(part.get(), w);
                part->curve_step = w->curve_step;
                part->box = w->box;
                if (model_add_object(w->parent ? w->parent : view->current_layer, part.get(),
                                     edit_record_depth(), 0) != 0)
                    return kOutOfMemory;
                second = part.release();
            }
            moving_ = pln_insert_after(start, on);
            if (!moving_) return kOutOfMemory;
            before_ = start;
            after_ = moving_->next;
            prompt_id = kPromptVertexLocation;
            return 0;
        }
        case kCmdDeleteVertex: {
            PointNode* before = nullptr;
            PointNode* v = pln_nearest_vertex(vm, w->control, p, &before);
            pln_delete_node(&w->control, before, v);
            finish();
            return 0;
        }
        case kCmdSmooth:
        case kCmdDecurve: {
            const int want = command_id == kCmdSmooth ? 1 : 0;
            if (w->kind == want) {
                beep_sound(kBeepExclamation);
                roll_back();
                return 0;
            }
            w->kind = want;
            finish();
            return 0;
        }
        default: {  // chamfer and fillet
            w->control = pln_close_if_first(vm, w->control, p);
            PointNode *before = nullptr, *v = nullptr;
            const int where = pln_pick_vertex(vm, w->control, p, &before, &v);
            if (where == 0) return corner_at(before, nullptr);
            if (where == 2) {
                roll_back();
                return 0;
            }
            if (where == -1) w->control = list_reverse(w->control);
            waiting_line_ = true;
            return 0;
        }
    }
}

int CPlnEditor::second_step(const Vec3& p) {
    if (waiting_line_) return two_line_corner(p);
    if (command_id == kCmdScissors && second && moving_) {
        // The cut point starts the second part (its placeholder), the rest follows it.
        PointNode* placeholder = second->control;
        placeholder->x = moving_->x, placeholder->y = moving_->y, placeholder->z = moving_->z;
        pln_cut_after(&working->control, moving_, &second->control);
    }
    finish();
    return 0;
}

// The corner at the vertex after `before` of the working polyline; `other` the
// second line's clone of a two-line corner (its points are already joined on).
int CPlnEditor::corner_at(PointNode* before, XPLINE* other) {
    XPLINE* w = working;
    PointNode* v = before ? before->next : nullptr;
    if (!v || !v->next || v->next == v) return kPlnNoCorner;
    PointNode* n = v->next;
    const double* sizes = view->values3;
    PlnCorner corner;
    int code = pln_corner_points(at(before), at(v), at(n), chamfer(), sizes[kPlnFilletRadius], sizes[kPlnFirstTrim],
                                 sizes[kPlnSecondTrim], view->accuracy_angular, &corner);
    if (code == 0 && !separate) {
        pln_corner_replace(&w->control, before, &corner);
    } else if (code == 0) {
        // The corner as an object of its own, in the same undo level as the edit.
        std::unique_ptr<WIRE> piece;
        if (corner.arc) {
            auto arc = rtc_make<ELARC>();
            if (!arc) return kOutOfMemory;
            arc->centre = corner.centre, arc->axis1 = corner.axis1, arc->axis2 = corner.axis2;
            arc->start = corner.start, arc->end = corner.end;
            arc->flags = kElarcCircular;
            arc->curve_step = view->accuracy_angular;
            piece = std::move(arc);
        } else {
            auto line = rtc_make<XPLINE>();
            if (!line || plist_copy(&line->control, corner.points) != 0) return kOutOfMemory;
            line->curve_step = w->curve_step;
            piece = std::move(line);
        }
        copy_attributes(piece.get(), w);
        PointNode* rest = nullptr;
        if ((code = pln_corner_cut(&w->control, before, corner, &rest)) != 0) return code;
        CONTAINER* home = w->parent ? w->parent : view->current_layer;
        if (rest) {
            XPLINE* part = other;
            std::unique_ptr<XPLINE> made;
            if (!part) {
                made = rtc_make<XPLINE>();
                if (!made) {
                    list_free(&rest);
                    return kOutOfMemory;
                }
                part = made.get();
                part->kind = w->kind;
                part->curve_step = w->curve_step;
                copy_attributes(part, w);
            } else {
                list_free(&part->control);
            }
            part->control = rest;
            (void)regen_object(part);
            if (made) {
                if (model_add_object(home, made.get(), edit_record_depth(), 0) != 0)
                    return kOutOfMemory;
                made.release();
            }
            widen(&redraw, part);
            if (!other) second = part;
        }
        (void)regen_object(piece.get());
        if (model_add_object(home, piece.get(), edit_record_depth(), 0) != 0) return kOutOfMemory;
        widen(&redraw, piece.get());
        piece.release();
    }
    if (code == kPlnNoCorner) {
        msgbox_ids(0, kMsgCannotChamfer);
        roll_back();
        return 0;
    }
    if (code) return code;
    finish();
    return 0;
}

int CPlnEditor::two_line_corner(const Vec3& p) {
    object* hit = pick(p, false, nullptr);
    if (!hit) return 0;
    // The first line itself (its clone) cannot be the second.
    if (hit == working) {
        beep_sound(kBeepExclamation);
        return 0;
    }
    auto* line = static_cast<XPLINE*>(hit);
    const Matrix43& vm = view->projection.view;
    // The picked vertex must be an end; it is checked before anything is cloned.
    PointNode *before = nullptr, *v = nullptr;
    const int where = pln_pick_vertex(vm, line->control, p, &before, &v);
    if (where != -1 && where != 1) {
        beep_sound(kBeepExclamation);
        return 0;
    }
    PointNode* pts = nullptr;
    if (plist_copy(&pts, line->control) != 0) return kOutOfMemory;
    if (where == 1) pts = list_reverse(pts);
    PointNode* end = last_node(working->control);
    PointNode* end_before = working->control;
    while (end_before && end_before->next != end) end_before = end_before->next;
    if (!end_before || !pts || !pts->next) {
        list_free(&pts);
        beep_sound(kBeepExclamation);
        return 0;
    }
    const Vec3 a1 = at(end_before), a2 = at(end), b1 = at(pts), b2 = at(pts->next);
    Vec3 x;
    bool meet = false;
    if (line_intersect_2d(a1, a2, b2, b1, &x)) {
        auto d = [](const Vec3& u, const Vec3& w) { return std::hypot(double(u.x) - w.x, double(u.y) - w.y); };
        const bool on_a = d(a1, x) + d(x, a2) <= d(a1, a2) + 1e-6;
        const bool on_b = d(b1, x) + d(x, b2) <= d(b1, b2) + 1e-6;
        meet = (on_a && on_b) || (d(x, a1) > d(x, a2) && d(x, b2) > d(x, b1));
    }
    if (!meet) {  // parallel end segments, or lines that cross neither way
        list_free(&pts);
        beep_sound(kBeepExclamation);
        return 0;
    }
    // Join: the second line's first point becomes the crossing and replaces the
    // first line's end node.
    pts->x = x.x, pts->y = x.y, pts->z = x.z;
    end_before->next = pts;
    delete end;
    int code = 0;
    std::unique_ptr<XPLINE> other;
    if (separate) {
        other = rtc_make<XPLINE>();
        if (!other) code = kOutOfMemory;
        if (other) {
            other->kind = line->kind;
            other->curve_step = line->curve_step;
            copy_attributes(other.get(), line);
            if (model_add_object(working->parent ? working->parent : view->current_layer,
                                 other.get(), edit_record_depth(), 0) != 0)
                code = kOutOfMemory;
            else
                second = other.release();
        }
    }
    if (code == 0 && model_delete_object(line, edit_record_depth(), 0) != 0) code = kOutOfMemory;
    widen(&redraw, line);
    if (code) return code;
    return corner_at(end_before, second);
}

int CPlnEditor::weld_step(const Vec3& p) {
    object* hit = pick(p, true, working);
    if (!hit) return 0;
    const PointNode* chain = nullptr;
    if (rtc_is_a(hit, &ELARC::rtc_class)) {
        const ELARC* e = static_cast<const ELARC*>(hit);
        if (!(e->flags & kElarcWholeEllipse)) chain = e->points;
    } else {
        const XPLINE* x = static_cast<const XPLINE*>(hit);
        chain = x->points ? x->points : x->control;
    }
    if (!chain || plist_is_closed(chain)) return 0;
    // Oriented on a copy: the picked object's own list stays as it is for undo.
    PointNode* copy = nullptr;
    if (plist_copy(&copy, chain) != 0) return kOutOfMemory;
    chain_orient_to_point(&view->projection.view, &copy, p);
    const int depth = edit_record_depth();
    if (!working) {
        auto result = rtc_make<XPLINE>();
        if (!result) {
            list_free(&copy);
            return kOutOfMemory;
        }
        const WIRE* w = static_cast<const WIRE*>(hit);
        weld_style_ = w->line_style, weld_colour_ = w->colour, weld_width_ = w->width, weld_scale_ = w->second;
        weld_step_ = view->accuracy_linear;
        result->control = copy;
        result->colour = 0;
        (void)regen_object(result.get());
        if (model_add_object(view->current_layer, result.get(), depth, 1) != 0) return kOutOfMemory;
        working = result.release();
    } else {
        const int code = pln_append_chain(&working->control, copy);
        list_free(&copy);
        if (code) return code;
        (void)regen_object(working);
    }
    if (model_delete_object(hit, depth, 0) != 0) return kOutOfMemory;
    widen(&redraw, hit);
    obj_update_bbox(working);
    widen(&redraw, working);
    ++weld_count;
    view_notify_all(view, &redraw, 1);
    return 0;
}

// ---- Start and end

void CPlnEditor::close() {
    prof_put_int("PlnEditor", "Split", separate);
    // The weld result takes the attributes of the first object welded, also when it
    // was the only one.
    if (command_id == kCmdWeld && weld_count > 0 && working) {
        working->line_style = weld_style_;
        working->colour = weld_colour_;
        working->width = weld_width_;
        working->second = weld_scale_;
        working->curve_step = weld_step_;
        if (regen_object(working) == 0)
            view_set_modified(view, 1);
        else
            weld_count = 0;
    }
    working = second = nullptr;
    // Back to the undo depth the user chose (the edits recorded one level more).
    edit_trim_undo(view_drawing(view));
    view_notify_all(view, &redraw, 1);
    if (auto* f = dynamic_cast<PlnCornerFrame*>(tool_window)) f->show(false);
}

int CPlnEditor::OnNotify(InputNotice* n) {
    if (CCmdInput::OnNotify(n)) return 1;
    auto* frame = dynamic_cast<PlnCornerFrame*>(tool_window);
    switch (n->code) {
        case kNoticeStepGiven:
            close();
            n->result = 0;  // the tool ends
            break;
        case kNoticeStepEnded:
            if (n->result == kOutOfMemory) msgbox_ids(kStrIdWarning, IDS_NO_MEMORY);
            if (working || second) roll_back();
            close();
            n->result = 0;
            break;
        case kNoticeStart:
            separate = prof_get_int("PlnEditor", "Split", 0);
            if ((command_id == kCmdChamfer || command_id == kCmdFillet) && !tool_window && g_frame_factory) {
                tool_window = g_frame_factory(this);
                frame = dynamic_cast<PlnCornerFrame*>(tool_window);
            }
            redraw = kEmptyBBox;
            before_ = moving_ = after_ = nullptr;
            if (frame) frame->show(true), frame->update_controls();
            break;
        case kNoticeOtherView:
        case kNoticeViewInactive:
            if (frame) frame->show(true), frame->update_controls();
            break;
        case kNoticeOtherWindow:
            if (frame) frame->show(false);
            break;
        default:
            break;
    }
    return 0;
}
