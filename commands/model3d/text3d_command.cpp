// The 3D Text command: dialog, outline preview at the cursor, and placing the solid
// letters as one group turned to the view (text3d_place with its mesh sink).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "commands/editcore/transform.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/text3d.h"
#include "commands/model3d/text3d_solid.h"
#include "commands/model3d/triangulate.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/glimpse_notify.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/zobj.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"

TextFontRecord g_text3d_font;
Text3dDialogFn g_text3d_dialog = nullptr;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The mesh sink of the drawing: each glyph becomes a MESH3 added into the text group
// (the view's current layer while building). The mesh is the sink's until
// drawing_add_object takes it; the arrays are the mesh block's once handed over.
class DrawingMeshSink : public Text3dSink {
  public:
    explicit DrawingMeshSink(VIEW* view) : view_(view) {}

    int begin_glyph() override {
        mesh_ = rtc_make<MESH3>();
        if (!mesh_) return kOutOfMemory;
        block_ = mesh_face_block(mesh_.get(), 1);
        return block_ ? 0 : kOutOfMemory;
    }

    int finish_glyph(GlyphMesh&& g) override {
        if (!mesh_ || !block_) return kOutOfMemory;
        try {
            block_->vertices.resize(g.vertices.size());
            for (size_t i = 0; i < g.vertices.size(); ++i) {
                const Vec3d& v = g.vertices[i];
                block_->vertices[i] = {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z),
                                       {0, 0, 0, 0, 0, 0}};
            }
            block_->edges.reserve(g.faces.size() * 3 / 2 + 8);
            block_->faces.reserve(g.faces.size());
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        MeshEdgeHash hash;
        const auto buckets = static_cast<int32_t>(g.faces.size() * 3 / 2 + 1);
        if (mesh_edge_hash_init(&hash, block_, buckets) != 0) return kOutOfMemory;
        for (const GlyphFace& f : g.faces) {
            if (const int r = mesh_add_triangle(block_, f.a, f.b, f.c, &hash)) return r;
            const MeshFace& mf = block_->faces.back();
            // Bit 1 edge a-b, 2 b-c, 4 c-a: a cleared bit hides that edge.
            for (int k = 0; k < 3; ++k)
                if (!(f.bits & (1 << k))) block_->edges[static_cast<size_t>(mf.e[k])].flags |= kEdgeHidden;
        }
        g = GlyphMesh{};
        MESH3* raw = mesh_.get();
        block_ = nullptr;
        if (const int r = drawing_add_object(view_, std::move(mesh_), 1)) return r;
        if (raw->material) {
            raw->material->flags |= kMaterialSmoothByAngle;
            raw->material->smoothing_angle = static_cast<float>(kPi / 6);
        }
        ++meshes_;
        return 0;
    }

    void end(int code) override {
        mesh_.reset();  // a glyph begun but never handed to the drawing
        block_ = nullptr;
        code_ = code;
    }

    int meshes() const { return meshes_; }

  private:
    VIEW* view_;
    std::unique_ptr<MESH3> mesh_;
    MeshFaceBlock* block_ = nullptr;
    int meshes_ = 0;
    int code_ = 0;
};

void show_error(int code) {
    if (code == 0) return;
    msgbox_show(kStrIdError, text3d_error_text(code).c_str(), 0);
}

// Undo depth raised by one while building (when not negative), so that a failed
// build can be rolled back even with undo off; trimmed back at the end.
struct UndoRaise {
    int saved;
    MODEL* model;
    explicit UndoRaise(MODEL* m) : saved(g_prefs.undo_mode), model(m) {
        if (saved >= 0) g_prefs.undo_mode = saved + 1;
    }
    ~UndoRaise() {
        g_prefs.undo_mode = saved;
        if (model && saved >= 0) model_undo_trim(model, saved);
    }
};

// Preview state of the position step: the text's segments in em units, traced once.
struct PreviewState {
    std::vector<double> seg;  // x0, y0, x1, y1 per segment
    double k = 1;             // pixels per em
} g_preview;

void collect_segment(void* context, double x0, double y0, double x1, double y1) {
    auto* s = static_cast<std::vector<double>*>(context);
    s->insert(s->end(), {x0, y0, x1, y1});
}

void preview_move(VIEW* view, int x, int y) {
    cursor_draw_crosshair(view, x, y);
    const double k = g_preview.k;
    const std::vector<double>& s = g_preview.seg;
    for (size_t i = 0; i + 3 < s.size(); i += 4)
        view_gdi_line(view, static_cast<int>(std::lround(x + s[i] * k)), static_cast<int>(std::lround(y + s[i + 1] * k)),
                      static_cast<int>(std::lround(x + s[i + 2] * k)),
                      static_cast<int>(std::lround(y + s[i + 3] * k)));
}

int g_dialog_calls = 0;  // calls of text3d_dialog without a hook in this run
// The whole text last typed; the "3DText" setting keeps it cut to its buffer.
std::string g_text3d_text;

}  // namespace

std::string text3d_error_text(int code) {
    uint32_t id = 0;
    switch (code) {
        case 0:
            return {};
        case 5:
            id = kStrCantLoadFile;
            break;
        case kWrongKind:
            id = kStrNotTrueType;
            break;
        case kOutOfMemory:
            id = IDS_NO_MEMORY;
            break;
        case 11:
            id = kStrIllegalVersion;
            break;
        case kBadArgument:
            id = kStrCantOpenFile;
            break;
        case kGlyphUnknownFormat:
            id = kStrUnknownFormat;
            break;
        case kContourInsetFolds:
            id = kStrChamferTooLarge;
            break;
        case kGlyphNoCharMap:
            id = 202;
            break;
        default: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s #%d\n", res_load_string(kStrUnknownError).c_str(), code);
            return buf;
        }
    }
    return res_load_string(id);
}

bool text3d_dialog(VIEW* view, std::string* text, TextFontRecord* font, double* size, double* depth,
                   double* chamfer) {
    if (!text || !size || !depth || !chamfer || !font) return false;
    if (!g_text3d_dialog) return g_dialog_calls++ == 0;
    std::string t = *text;
    double s = *size, d = *depth, c = *chamfer;
    TextFontRecord f = *font;
    if (!g_text3d_dialog(view, &f, &t, &s, &d, &c)) return false;
    *text = std::move(t);
    *size = s, *depth = d, *chamfer = c;
    *font = f;
    return true;
}

bool text3d_dialog(VIEW* view, char* face_name, size_t face_size, char* text, size_t text_size,
                   TextFontRecord* font, double* size, double* depth, double* chamfer) {
    (void)face_name, (void)face_size;  // the stored face name is kept, not shown
    if (!text || text_size == 0) return false;
    std::string t(text, utf8_cut(text, text_size - 1));
    if (!text3d_dialog(view, &t, font, size, depth, chamfer)) return false;
    utf8_copy(text, text_size, t);
    return true;
}

std::string text3d_current_text() {
    const size_t kept = utf8_cut(g_text3d_text.data(), g_text3d_text.size(), sizeof g_draw3d.text - 1);
    if (std::string_view(g_text3d_text).substr(0, kept) == g_draw3d.text) return g_text3d_text;
    return g_draw3d.text;
}

int text3d_place(VIEW* view, const Vec3& position, const TextFontRecord& font, const char* text, double h, double d,
                 double c) {
    if (!text || !*text) return 0;
    if (!view) return kBadArgument;
    // The dialog lets no such size or depth through: a caller's error, not the user's.
    if (!(h > 0) || !std::isfinite(h) || !(d >= 0) || !std::isfinite(d)) return kBadArgument;
    if (!(c >= 0) || !(c <= d / 2)) {
        show_error(kContourInsetFolds);
        return kContourInsetFolds;
    }
    MODEL* model = view_drawing(view);
    if (!model) return kBadArgument;
    UndoRaise undo(model);
    auto group_made = rtc_make<CONTAINER>();
    if (!group_made) {
        show_error(kOutOfMemory);
        return kOutOfMemory;
    }
    CONTAINER* group = group_made.get();
    const bool own_level = view->current_layer && rtc_is_a(view->current_layer, &LAYER::rtc_class) &&
                           g_prefs.undo_mode != 0;
    const int levels_before = model->undo_levels;
    const uint64_t stamp_before = model_undo_stamp(model);
    if (const int r = drawing_add_object(view, std::move(group_made), 1)) {
        show_error(r);
        return r;  // the group was destroyed; nothing else happened
    }
    const bool recorded = own_level && (model->undo_levels != levels_before ||
                                        model_undo_stamp(model) != stamp_before);
    // The glyph meshes go into the group: the view's current layer field holds any
    // container while a group is current.
    LAYER* layer = view->current_layer;
    view->current_layer = reinterpret_cast<LAYER*>(group);
    Text3dParams params = text3d_params(h, d, c);
    DrawingMeshSink sink(view);
    int code = text_solids_build(font, text, &params, &sink);
    view->current_layer = layer;
    if (code == 0) {
        Transform t;
        t.fwd = view->projection.inverse;
        t.fwd.m[9] = position.x, t.fwd.m[10] = position.y, t.fwd.m[11] = position.z;
        if (mat_invert(&t.inv, &t.fwd) == 0.0) code = kBadArgument;
        if (code == 0) code = transform_object(t, group);
    }
    if (code != 0) {
        if (recorded) {
            model_rollback(model);
        } else {
            undo_forget_objects(model, reinterpret_cast<ZOBJ* const*>(&group), 1);
            obj_remove(group);
            rtc_destroy(group);
        }
        view_notify_all(view, nullptr, 1);
        show_error(code);
        return code;
    }
    obj_update_bbox(group);
    glimpse_notify_object_added(model, group);
    views_extend_extents(view, group);
    view_gdi_object_all(view, group);
    view_update_scrollbars_all(view);
    view_set_modified(view, 1);
    return 0;
}

int cmd_text3d(VIEW** view_ref) {
    if (!view_ref || !*view_ref) return kStepCancelled;
    g_dialog_calls = 0;
    for (;;) {
        double h = g_draw3d.font_height, d = g_draw3d.font_depth, c = g_draw3d.font_chamfer;
        std::string text = text3d_current_text();
        if (!text3d_dialog(*view_ref, &text, &g_text3d_font, &h, &d, &c)) return 0;
        g_draw3d.font_height = h, g_draw3d.font_depth = d, g_draw3d.font_chamfer = c;
        // The whole text is built; only the setting is cut to its buffer.
        g_text3d_text = text;
        draw3d_set_text(text.c_str());
        g_preview = PreviewState{};
        g_preview.k = (*view_ref)->projection.scale * h;
        glyph_preview(g_text3d_font, text.c_str(), &g_preview.seg, collect_segment);
        view_set_input_mode(*view_ref, kInputActive);
        Vec3 p;
        int code = input_point(view_ref, kPromptTextPosition, preview_move, nullptr, &p, kHelpText3D);
        if (code == 0 && *view_ref)
            code = text3d_place(*view_ref, p, g_text3d_font, text.c_str(), h, d, c);
        if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
        g_preview = PreviewState{};
        if (code == kStepRefused) continue;  // Esc at the position: the dialog again
        if (code != 0) return code;
        if (!*view_ref) return kStepCancelled;
    }
}
