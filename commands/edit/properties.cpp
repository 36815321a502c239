// The property changes: colour and material, line style, layer, hatch and text
// style, the label, and the camera and light settings. Each replaces the objects by
// clones in one new undo level first (Adjust Camera and Light: the picked object),
// then changes the clones, so that Undo brings the unchanged objects back and a
// cancelled dialog rolls the level back.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "commands/edit/edit.h"
#include "commands/editcore/picking.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/font/code_page.h"
#include "model/geom/query.h"
#include "model/geom/regen.h"
#include "model/material/material.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"

namespace {

// Tells the preview about changed objects, then draws them.
void announce(VIEW* view, buffer* objects, bool selected) {
    MODEL* model = view_drawing(view);
    for (RefNode* n = objects->refs; n; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj) continue;
        if (rtc_is<MESH3>(obj) || rtc_is<CONTAINER>(obj)) {
            glimpse_notify_object_removed(model, obj);
            glimpse_notify_object_added(model, obj);
        } else if (rtc_is<CAMERA>(obj)) {
            glimpse_notify_camera(model, obj);
        }
        view_gdi_object(view, obj, -1);
        if (selected) view_gdi_object(view, obj, 15);
    }
}

const MaterialRecord* material_of(const object* obj) {
    if (auto* m = rtc_cast<MESH3>(obj)) return m->material;
    if (auto* c = rtc_cast<CAMERA>(obj)) return c->material;
    return nullptr;
}

void count_sources(ZOBJ* obj, int* count, object** first) {
    if (!obj || rtc_is<MODEL>(obj)) return;
    // Groups are looked into, in pre-order without recursion, until two are found.
    for (ZOBJ* z = obj; z && *count < 2; z = tree_next(z, obj)) {
        if (rtc_is<CONTAINER>(z)) continue;
        auto* o = rtc_cast<object>(z);
        if (o && material_of(o)) {
            if (*count == 0) *first = o;
            ++*count;
        }
    }
}

object* first_object(const buffer* b) {
    for (const RefNode* n = b->refs; n; n = n->next)
        if (auto* o = rtc_cast<object>(n->ref)) return o;
    return nullptr;
}

int fail_box(int code) {
    if (code == kOutOfMemory)
        msgbox_printf(kTitleError, "%s", res_load_string(kTextNoMemory).c_str());
    else
        msgbox_printf(kTitleError, "%s", std::strerror(code));
    return code;
}

}  // namespace

bool material_source_count(const buffer* objects, object** first) {
    int count = 0;
    object* found = nullptr;
    if (objects) {
        for (const RefNode* n = objects->refs; n && count < 2; n = n->next) {
            if (first) {
                count_sources(n->ref, &count, &found);
            } else if (rtc_is<object>(n->ref)) {
                ++count;
            }
        }
    }
    if (first) *first = found;
    return count < 2;
}

LAYER* buffer_common_layer(const buffer* objects) {
    LAYER* common = nullptr;
    for (const RefNode* n = objects ? objects->refs : nullptr; n; n = n->next) {
        if (!n->ref) continue;
        auto* layer = rtc_cast<LAYER>(obj_find_ancestor(n->ref->parent, &LAYER::rtc_class));
        if (!common) common = layer;
        if (layer != common) return nullptr;
    }
    return common;
}

int objects_set_patt_params_list(PATT* pattern, const double v[6], buffer* objects) {
    for (RefNode* n = objects->refs; n; n = n->next) {
        auto* obj = rtc_cast<object>(n->ref);
        if (!obj) continue;
        if (int rc = objects_set_patt_params(obj, pattern, v[0], v[1], v[2], v[3], v[4], v[5])) return rc;
    }
    return 0;
}

int texts_set_string(buffer* objects, const char* text) {
    for (RefNode* n = objects->refs; n; n = n->next) {
        if (auto* t = rtc_cast<TEXT2>(n->ref)) {
            try {
                t->text = text;
            } catch (...) {
                return kOutOfMemory;
            }
        }
    }
    return 0;
}

// ---- Change Colour Material

SheetImages::~SheetImages() {
    for (PATT* p : patterns) rtc_destroy(p);
}

int edit_adopt_images(VIEW* view, const MaterialRecord& material, int32_t mask, SheetImages* images) {
    MODEL* model = view_drawing(view);
    auto& held = images->patterns;
    for (int slot = 0; slot < kMaterialSlotCount; ++slot) {
        const TextureSlot& s = material.slots[slot];
        if (!(mask & (slot == 0 ? kMatApplyTexture : kMatApplyBumpReflection))) continue;
        if (s.kind != kTextureImage || !s.mapping.image) continue;
        auto it = std::find(held.begin(), held.end(), static_cast<PATT*>(s.mapping.image));
        if (it == held.end()) continue;  // the drawing's already
        if (int rc = model_add_object(model, *it, edit_record_depth(), 0)) return rc;
        held.erase(it);
    }
    return 0;
}

int cmd_change_material(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    MaterialRecord work;
    const bool muted = glimpse_mute_drawing(true);
    if (!buffer_has_objects((*view_ref)->selection)) view_set_input_mode(*view_ref, kInputActive);
    buffer* objects = nullptr;
    int rc = 0;
    while (VIEW* view = edit_next_objects(view_ref, &objects, &rc)) {
        const bool from_selection = objects == view->selection;
        object* source = nullptr;
        const bool single = material_source_count(objects, &source);
        int32_t colour;
        if (single && source) {
            colour = source->colour;
            if (material_copy(&work, material_of(source))) rc = kOutOfMemory;
        } else {
            object* first = first_object(objects);
            if (!first) break;
            colour = first->colour;
            if (material_copy(&work, &view->material)) rc = kOutOfMemory;
            if (auto* light = rtc_cast<LIGHT>(first)) {
                std::memcpy(work.colour, light->light_colour, sizeof work.colour);
            } else {
                colour_index_rgb(work.colour, colour);
                work.colour[3] = 0.0f;
            }
        }
        if (rc != 0) break;
        const bool camera = single && rtc_is<CAMERA>(source);
        SheetImages images;  // enter the drawing with the change, in its undo level
        const bool ok =
            !edit_dialogs().material_sheet || edit_dialogs().material_sheet(view, &colour, &work, camera, &images);
        if (ok) {
            bool cloned = false;
            buffer* originals = nullptr;
            rc = edit_clone_step(view, objects, &cloned, &originals);
            if (rc != 0 || !cloned) break;
            int32_t mask = g_prefs.material ? kMatApplyAll : kMatApplyColour;
            bool go = true;
            if (g_prefs.material) {
                if (!single && edit_dialogs().change_what) go = edit_dialogs().change_what(view, &mask);
            } else if (from_selection) {
                go = msgbox_yes_no("%s", res_load_string(kPromptChangeColour).c_str());
            }
            if (!go) {
                edit_rollback_clones(view, objects, &originals);
            } else {
                view_set_modified(view, 1);
                if (mask & kMatApplyColour) buffer_set_color(objects, colour);
                rc = edit_adopt_images(view, work, mask, &images);
                if (rc == 0) rc = buffer_set_material(objects, &work, mask);
                if (rc != 0) edit_rollback_clones(view, objects, &originals);
                else announce(view, objects, from_selection);
            }
            buffer_free(&originals);
            edit_trim_undo(view_drawing(view));
            if (rc != 0) break;
        }
        if (from_selection) break;
        if (!buffer_has_objects(view->selection)) view_set_input_mode(view, kInputActive);
    }
    if (*view_ref) input_finish(*view_ref, objects);
    glimpse_mute_drawing(muted);
    return rc == kStepRefused ? 0 : rc;
}

// ---- Change Line style, Change Hatch, Change 2D Text

namespace {

// Adds the pattern to the drawing when it does not hold one of that class and name;
// *pattern becomes the drawing's. 0 or 8.
int adopt_pattern(VIEW* view, PATT** pattern) {
    if (!*pattern) return 0;
    MODEL* model = view_drawing(view);
    if (PATT* own = model_find_patt(model, (*pattern)->name(), (*pattern)->klass())) {
        *pattern = own;
        return 0;
    }
    std::unique_ptr<PATT> copy = patt_clone(*pattern);
    if (!copy || model_add_object(model, copy.get(), edit_record_depth(), 0) != 0)
        return kOutOfMemory;
    *pattern = copy.release();
    return 0;
}

// Changes the clones (the caller's buffer) with the drawing's own pattern: 0 or a code.
using StyleChange = std::function<int(buffer* clones, PATT* pattern)>;

// Clones the objects (the caller's buffer) and changes the clones: the shared tail of
// the three style commands.
int apply_style(VIEW* view, buffer* objects, PATT* pattern, const StyleChange& change) {
    bool cloned = false;
    buffer* originals = nullptr;
    int rc = edit_clone_step(view, objects, &cloned, &originals);
    if (rc != 0 || !cloned) return rc;
    if (adopt_pattern(view, &pattern) != 0) {
        edit_rollback_clones(view, objects, &originals);
        edit_trim_undo(view_drawing(view));
        return kOutOfMemory;
    }
    BBox box;
    buffer_get_bbox(objects, &box);
    view_gdi_list_all_cur(view, objects);
    view_set_modified(view, 1);
    rc = change(objects, pattern);
    if (rc != 0) {
        edit_rollback_clones(view, objects, &originals);
    } else {
        BBox after;
        buffer_get_bbox(objects, &after);
        bbox_union(after, &box);
    }
    buffer_free(&originals);
    edit_trim_undo(view_drawing(view));
    edit_redraw_box(view, box);
    return rc;
}

}  // namespace

int cmd_change_line_style(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    VIEW* view = *view_ref;
    StyleValues v;
    v.pattern = view->current_line_style;
    v.width = view->line_width;
    v.params[0] = view->accuracy_angular;
    v.params[1] = view->accuracy_linear;
    v.params[4] = view->line_style_scale;
    if (!buffer_has_objects(view->selection)) view_set_input_mode(view, kInputActive);
    buffer* objects = nullptr;
    int rc = 0;
    while ((view = edit_next_objects(view_ref, &objects, &rc))) {
        const bool from_selection = objects == view->selection;
        if (auto* w = rtc_cast<WIRE>(first_object(objects))) {
            v.width = w->width;
            v.params[4] = w->second;
            v.pattern = w->line_style;
            v.params[rtc_is<ELARC>(w) ? 0 : 1] = w->curve_step;
        }
        if (edit_dialogs().line_style && !edit_dialogs().line_style(view, &LINEPATT::rtc_class, &v)) break;
        int32_t mask = 31;
        size_t count = 0;
        for (RefNode* n = objects->refs; n; n = n->next) count += n->ref ? 1 : 0;
        if (count >= 2 && edit_dialogs().change_what_line &&
            (!edit_dialogs().change_what_line(view, &mask) || mask == 0))
            break;
        const double values[6] = {(mask & 1) ? v.width : -1.0, (mask & 4) ? v.params[0] : -1.0,
                                  (mask & 8) ? v.params[1] : -1.0, -1.0, -1.0, (mask & 16) ? v.params[4] : -1.0};
        rc = apply_style(view, objects, (mask & 2) ? v.pattern : nullptr, [&](buffer* clones, PATT* pattern) {
            return objects_set_patt_params_list(pattern, values, clones);
        });
        if (rc != 0 || from_selection) break;
    }
    if (*view_ref) input_finish(*view_ref, objects);
    return rc == kStepRefused ? 0 : rc;
}

namespace {

// Every object of the class in the selection, inside groups too; null when none.
// 0, or 8 when memory runs out.
int collect_class(ZOBJ* obj, const RtcClass* cls, buffer* into) {
    // Pre-order without recursion; an object of the class is not looked into.
    for (ZOBJ* z = obj; z;) {
        if (rtc_is_a(z, cls)) {
            if (int rc = buffer_add(into, z)) return rc;
            z = tree_next_sibling(z, obj);
        } else {
            z = tree_next(z, obj);
        }
    }
    return 0;
}

// Whether `upper` sits where a dimension puts its upper tolerance: one upper text
// height from the lower tolerance, across the text direction. A user's group of three
// lines of text seldom does, so its texts stay texts of their own.
bool tolerances_placed(const TEXT2& upper, const TEXT2& lower) {
    const Vec3& a = upper.insert;
    const Vec3& b = lower.insert;
    const double d = std::hypot(double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z);
    const double size = std::max({std::fabs(a.x), std::fabs(a.y), std::fabs(a.z), std::fabs(b.x), std::fabs(b.y),
                                  std::fabs(b.z)});
    const double h = upper.layout[kText2Height];
    // Slack for the float coordinates.
    return std::fabs(d - h) <= 1e-3 * std::fabs(h) + 4e-7 * size;
}

// The three texts of a dimension, in order the value, the upper and the lower
// tolerance, when `obj` is one: a group (not a layer) holding exactly three texts
// beside its other pieces, the tolerances placed as a dimension places them.
bool dimension_texts(ZOBJ* obj, TEXT2* out[3]) {
    auto* g = rtc_cast<CONTAINER>(obj);
    if (!g || rtc_is<LAYER>(g) || rtc_is<MODEL>(g) || !g->children) return false;
    int texts = 0, others = 0;
    ZDLIST* p = g->children;
    do {
        if (auto* t = rtc_cast<TEXT2>(p)) {
            if (texts == 3) return false;
            out[texts++] = t;
        } else {
            ++others;
        }
        p = p->next;
    } while (p != g->children);
    return texts == 3 && others > 0 && tolerances_placed(*out[1], *out[2]);
}

// What Change 2D Text edits: a text of a dimension stands for its whole dimension,
// which is cloned whole so that its texts keep their order; other texts stand alone.
// `found` lists the texts last first (buffer order); the units come first first.
std::vector<ZOBJ*> text_units(const buffer* found) {
    std::vector<ZOBJ*> units;
    for (const RefNode* n = found->refs; n; n = n->next) {
        TEXT2* dim[3];
        ZOBJ* unit = n->ref && dimension_texts(n->ref->parent, dim) ? n->ref->parent : n->ref;
        if (unit && std::find(units.begin(), units.end(), unit) == units.end()) units.push_back(unit);
    }
    std::reverse(units.begin(), units.end());
    return units;
}

// The text whose values the dialog starts from: a dimension's value, or the text.
TEXT2* unit_text(ZOBJ* unit) {
    TEXT2* dim[3];
    return dimension_texts(unit, dim) ? dim[0] : rtc_cast<TEXT2>(unit);
}

const StrokeFont* font_of(const TEXT2* t) { return t->font ? t->font->font : nullptr; }

// A text's string (bytes of its font's code page) as the dialog shows it: UTF-8.
void shown_text(char (&out)[256], const TEXT2* t) { utf8_copy(out, sizeof out, font_page_to_utf8(font_of(t), t->text)); }

void start_values(const TEXT2* t, StyleValues* v) {
    v->width = t->width;
    v->pattern = t->font;
    v->params[0] = t->layout[kText2Direction];
    v->params[1] = t->layout[kText2Slant];
    v->params[2] = t->layout[kText2Width];
    v->params[3] = t->layout[kText2Height];
    shown_text(v->text, t);
}

// Whether the dialog gave back the values it was shown.
bool same_values(const StyleValues& a, const StyleValues& b) {
    for (int k = 0; k < 5; ++k)
        if (a.params[k] != b.params[k] && !(std::isnan(a.params[k]) && std::isnan(b.params[k]))) return false;
    return a.pattern == b.pattern && a.width == b.width && std::strcmp(a.text, b.text) == 0 &&
           std::strcmp(a.upper, b.upper) == 0 && std::strcmp(a.lower, b.lower) == 0;
}

// Applies to the cloned units only what the dialog changed from `shown`: the string,
// font, width and layout to every lone text and dimension value, each tolerance to
// the dimensions' text of that tolerance. Sizes below 0 and angles that are not
// finite are left as they were.
int apply_text_edits(buffer* clones, PATT* pattern, const StyleValues& shown, const StyleValues& v) {
    const char* strings[3] = {v.text, v.upper, v.lower};
    const bool edited[3] = {std::strcmp(v.text, shown.text) != 0, std::strcmp(v.upper, shown.upper) != 0,
                            std::strcmp(v.lower, shown.lower) != 0};
    auto* font = v.pattern != shown.pattern ? rtc_cast<FONTPATT>(pattern) : nullptr;
    static constexpr int kLayout[4] = {kText2Direction, kText2Slant, kText2Width, kText2Height};
    for (RefNode* n = clones->refs; n; n = n->next) {
        TEXT2* texts[3] = {rtc_cast<TEXT2>(n->ref), nullptr, nullptr};
        const int count = dimension_texts(n->ref, texts) ? 3 : 1;
        for (int i = 0; i < count; ++i) {
            TEXT2* t = texts[i];
            if (!t) continue;
            try {
                // Written in the code page of the font that will draw it.
                if (edited[i]) t->text = font_page_from_utf8(font && i == 0 ? font->font : font_of(t), strings[i], t->text);
            } catch (...) {
                return kOutOfMemory;
            }
            if (i == 0) {
                if (font) t->font = font;
                if (v.width != shown.width && v.width >= 0) t->width = static_cast<float>(v.width);
                for (int k = 0; k < 4; ++k) {
                    const double x = v.params[k];
                    if (x != shown.params[k] && (k < 2 ? std::isfinite(x) : x >= 0)) t->layout[kLayout[k]] = x;
                }
            }
            if (int rc = regen_object(t)) return rc;
        }
    }
    return 0;
}

int change_style_command(VIEW** view_ref, int hatch) {
    const RtcClass* cls = hatch ? &HATCH::rtc_class : &TEXT2::rtc_class;
    const RtcClass* patt_cls = hatch ? &HATCHPATT::rtc_class : &FONTPATT::rtc_class;
    VIEW* view = *view_ref;
    buffer* found = buffer_new();
    if (!found) return kOutOfMemory;
    // A selection collected in part would change only some of its texts.
    for (RefNode* n = view->selection->refs; n; n = n->next)
        if (int rc = collect_class(n->ref, cls, found)) {
            buffer_free(&found);
            return rc;
        }
    const bool from_selection = buffer_has_objects(found) != 0;
    // The clone step takes the sources out of the selection; a failed pass puts them back.
    buffer* kept = from_selection ? buffer_copy_unringed(view->selection) : nullptr;
    if (from_selection && !kept) {
        buffer_free(&found);
        return kOutOfMemory;
    }
    if (!from_selection) view_set_input_mode(view, kInputActive);
    int rc = 0;
    for (;;) {
        if (!from_selection) {
            Vec3 p;
            rc = input_point(view_ref, hatch ? kPromptSelectHatch : kPromptSelectText, cursor_draw_snap_box, nullptr,
                             &p, hatch ? 40045 : 40046);
            if (rc != 0 || !*view_ref) break;
            object* obj = pick_object_at(*view_ref, p, cls, nullptr);
            if (!obj) continue;
            buffer_clear(found);
            if ((rc = buffer_add(found, obj)) != 0) break;
        }
        view = *view_ref;
        StyleValues v;
        if (hatch) {
            // Angles take any finite value, so every value starts from the object.
            if (auto* h = rtc_cast<HATCH>(first_object(found))) {
                v.width = h->width;
                v.pattern = h->pattern;
                v.params[0] = h->values[1];  // angle
                v.params[1] = h->values[0];  // scale
            }
        } else {
            // The dialog starts from the first text in drawing order; the units
            // replace the texts (a dimension's texts by their dimension).
            const std::vector<ZOBJ*> units = text_units(found);
            buffer_clear(found);
            for (auto it = units.rbegin(); it != units.rend() && rc == 0; ++it) rc = buffer_add(found, *it);
            if (rc != 0) break;
            if (TEXT2* t = units.empty() ? nullptr : unit_text(units.front())) start_values(t, &v);
            for (ZOBJ* u : units) {
                TEXT2* dim[3];
                if (v.tolerances || !dimension_texts(u, dim)) continue;
                v.tolerances = true;
                shown_text(v.upper, dim[1]);
                shown_text(v.lower, dim[2]);
            }
        }
        const StyleValues shown = v;
        // Cancel, or OK with nothing changed: the objects stay as they are.
        if ((edit_dialogs().line_style && !edit_dialogs().line_style(view, patt_cls, &v)) || same_values(v, shown)) {
            if (from_selection) break;
            continue;
        }
        const double values[6] = {v.width, v.params[0], v.params[1], v.params[2], v.params[3], -1.0};
        rc = apply_style(view, found, v.pattern, [&](buffer* clones, PATT* pattern) {
            return hatch ? objects_set_patt_params_list(pattern, values, clones)
                         : apply_text_edits(clones, pattern, shown, v);
        });
        if (rc != 0 && from_selection) edit_restore_refs(view->selection, kept);
        if (rc == 0 && from_selection) {
            buffer_clear(view->selection);
            for (RefNode* n = found->refs; n; n = n->next) {
                ZOBJ* o = n->ref;
                while (o && o->parent && rtc_is<CONTAINER>(o->parent) && !rtc_is<LAYER>(o->parent) &&
                       !rtc_is<MODEL>(o->parent))
                    o = o->parent;
                // The change stands; a selection left short is said (out of memory).
                if ((rc = buffer_add(view->selection, o)) != 0) break;
            }
        }
        if (rc != 0 || from_selection) break;
    }
    buffer_free(&found);
    buffer_free(&kept);
    if (*view_ref && !from_selection) view_set_input_mode(*view_ref, kInputIdle);
    return rc == kStepRefused || rc == kStepCancelled ? 0 : rc;
}

}  // namespace

int cmd_change_hatch(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return change_style_command(view_ref, 1);
}

int cmd_change_text(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return change_style_command(view_ref, 0);
}

// ---- Change Layer

int cmd_change_layer(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    if (!buffer_has_objects((*view_ref)->selection)) view_set_input_mode(*view_ref, kInputActive);
    buffer* objects = nullptr;
    Vec3 pick;
    int rc = input_object(view_ref, &objects, &pick);
    if (rc == 0 && *view_ref && objects) {
        VIEW* view = *view_ref;
        LAYER* layer = edit_dialogs().choose_layer ? edit_dialogs().choose_layer(view, buffer_common_layer(objects))
                                                   : nullptr;
        MODEL* model = view_drawing(view);
        if (layer) {
            view_set_modified(view, 1);
            bool cloned = false;
            buffer* originals = nullptr;
            rc = edit_clone_step(view, objects, &cloned, &originals);
            // The clones move in the clone level, so Undo and Redo carry them both ways.
            const int depth = edit_record_depth();
            for (RefNode* n = objects->refs; n && rc == 0 && cloned; n = n->next) {
                if (n->ref && n->ref->parent != layer) rc = model_add_object(layer, n->ref, depth, 0);
            }
            if (rc != 0 && cloned) edit_rollback_clones(view, objects, &originals);
            buffer_free(&originals);
            edit_trim_undo(model);
            if (rc == 0) buffer_clear(view->selection);
            view_doc_update_all(view);
            if (rc == 0) glimpse_notify_viewport(model);
        }
    }
    if (*view_ref) input_finish(*view_ref, objects);
    return rc == kStepRefused ? 0 : rc;
}

// ---- Change Label

namespace {

const char* skip_blanks(const char* s) {
    while (*s == ' ' || *s == '\t') ++s;
    return s;
}

}  // namespace

int cmd_change_label(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    VIEW* view = *view_ref;
    char text[256];
    if (buffer_has_objects(view->selection)) {
        text[0] = 0;
        if (!input_ask_string(kPromptLabelSelected, text, sizeof text, sizeof text - 1)) return 0;
        int rc = 0;
        for (RefNode* n = view->selection->refs; n && rc == 0; n = n->next)
            if (n->ref) rc = n->ref->set_string(1, skip_blanks(text));
        view_set_modified(view, 1);
        return rc ? fail_box(rc) : 0;
    }
    view_set_input_mode(view, kInputActive);
    int rc = 0;
    for (;;) {
        Vec3 p;
        rc = input_point(view_ref, kPromptSelectObject, cursor_draw_crosshair, nullptr, &p, 0);
        if (rc != 0 || !*view_ref) break;
        object* obj = pick_object_at(*view_ref, p, nullptr, nullptr);
        if (!obj) continue;
        utf8_copy(text, sizeof text, obj->str(1));
        const uint32_t prompt = rtc_is<CONTAINER>(obj) ? kPromptLabelGroup : kPromptLabelObject;
        if (!input_ask_string(prompt, text, sizeof text, sizeof text - 1)) continue;
        rc = obj->set_string(1, skip_blanks(text));
        if (rc != 0) {
            fail_box(rc);
            break;
        }
        view_set_modified(*view_ref, 1);
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    return rc == kStepRefused ? 0 : rc;
}

// ---- Adjust Camera, Adjust Light

namespace {

int adjust_object_command(VIEW** view_ref, const RtcClass* cls, uint32_t help) {
    const bool camera = cls == &CAMERA::rtc_class;
    const bool muted = camera ? glimpse_mute_drawing(true) : glimpse_drawing_muted();
    view_set_input_mode(*view_ref, kInputActive);
    int rc = 0;
    for (;;) {
        Vec3 p;
        rc = input_point(view_ref, camera ? kPromptSelectCamera : kPromptSelectLight, cursor_draw_snap_box, nullptr,
                         &p, help);
        if (rc != 0 || !*view_ref) break;
        VIEW* view = *view_ref;
        object* picked = pick_object_at(view, p, cls, nullptr);
        if (!picked) continue;
        MODEL* model = view_drawing(view);
        const int depth = edit_record_depth();
        std::unique_ptr<RTC> made;
        rc = rtc_clone(&made, picked);
        CONTAINER* home = picked->parent ? picked->parent : model;
        const BBox old_box = picked->box;
        if (rc == 0) rc = model_delete_object(picked, depth, 1);
        if (rc != 0) break;
        auto* clone = static_cast<object*>(made.get());
        rc = model_add_object(home, clone, depth, 0);
        if (rc != 0) {
            model_rollback(model);
            break;
        }
        made.release();
        const auto& dialog = camera ? edit_dialogs().camera_settings : edit_dialogs().light_settings;
        const bool ok = !dialog || dialog(view, clone);
        int regen = regen_object(clone);
        if (ok && regen == 0) {
            regen = obj_default_name(model, clone, 0, clone->name());
            if (camera) {
                glimpse_mute_drawing(muted);
                glimpse_notify_drawing(model);
                glimpse_mute_drawing(true);
            }
        }
        obj_update_bbox(clone);
        edit_redraw_box(view, clone->box);
        edit_redraw_box(view, old_box);
        if (!ok || regen != 0) model_rollback(model);
        else view_set_modified(view, 1);
        edit_trim_undo(model);
        if (regen != 0) {
            rc = regen;
            break;
        }
    }
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    if (camera) glimpse_mute_drawing(muted);
    return rc == kStepRefused || rc == kStepCancelled ? 0 : rc;
}

}  // namespace

int cmd_adjust_camera(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return adjust_object_command(view_ref, &CAMERA::rtc_class, 40043);
}

int cmd_adjust_light(void* arg) {
    auto** view_ref = static_cast<VIEW**>(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    return adjust_object_command(view_ref, &LIGHT::rtc_class, 40044);
}
