// Putting what a file holds into the drawing: named styles replace their namesakes,
// layers merge by name, views join the model, and a loaded block is handed over to
// the caller's selection with its styles merged into the caller's drawing.
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/file/drawing_file.h"
#include "model/file/load_context.h"
#include "model/font/strokefont.h"
#include "model/material/image/matrpmmf.h"
#include "model/stream/iostream.h"

namespace {

// An image style is dropped when it has no image at all: size 0 or no pixels, unless
// (an image-map pattern) it keeps the file bytes it decodes them from. One showing the
// shared black pixel (a fresh style, or one written without an image) is kept, so the
// texture slots that use it stay on.
bool image_style_empty(const MATRPATT* p) {
    if (const auto* mmf = rtc_cast<MATRPMMF>(p); mmf && mmf->data && mmf->size) return false;
    return !p->pixels || p->width <= 0 || p->height <= 0;
}

void place_style(CONTAINER* container, std::unique_ptr<RTC> obj) {
    auto* style = static_cast<PATT*>(obj.get());
    if (auto* img = rtc_cast<MATRPATT>(style); img && image_style_empty(img)) return;
    if (!*style->name()) return;
    auto* model = rtc_cast<MODEL>(container);
    if (!model) return;
    ZDLIST* successor = nullptr;
    bool was_head = false;
    if (PATT* existing = model_find_patt(model, style->name(), style->klass())) {
        if (auto* f = rtc_cast<FONTPATT>(style); f && !f->font) return;  // keep the working font
        // Only a style of the namesake's own class (or below) can take over its users; a
        // more general one would leave them pointing at the style that goes.
        if (!rtc_is_a(style, existing->klass())) return;
        if (existing->next != existing) successor = existing->next;
        was_head = model->patterns == existing;
        model_remove_patt(existing, style);
        rtc_destroy(existing);
    }
    if (container_insert(model, style) != 0) return;
    obj.release();
    if (successor && successor != style) {
        // The replacement takes its namesake's place in the list of styles.
        ring_remove(&model->patterns, style);
        ZDLIST* before = successor;
        ring_insert(was_head ? &model->patterns : &before, style, was_head);
    }
}

void place_layer(IOstream* s, CONTAINER* container, std::unique_ptr<RTC> obj) {
    auto* layer = static_cast<LAYER*>(obj.get());
    int r = kBadArgument;
    // The layer's box grew with each member as it was placed: no walk of them again.
    FreshBoxScope fresh(layer);
    if (auto* model = rtc_cast<MODEL>(container)) {
        const std::string name = layer->name();
        r = g_hook_add_layer ? g_hook_add_layer(model, layer, name.c_str()) : kBadArgument;
        if (r == 0) {
            obj.release();  // the model holds it now
            return;
        }
    }
    if (r != kBadArgument) io_raise(s, r);
    auto* existing = rtc_cast<LAYER>(model_find_named(container, layer->name(), &LAYER::rtc_class));
    if (!existing || existing == layer) {
        // No namesake to merge with: keep the layer (and what it holds) where it was read.
        if (container_insert(container, layer) == 0) obj.release();
        return;
    }
    // The members keep their boxes; the namesake's grows by them.
    while (layer->children) {
        ZOBJ* child = layer->first_child();
        if (container_insert_boxed(existing, child) != 0) break;
    }
    if (existing->set_string(1, layer->str(1)) != 0) io_raise(s, kOutOfMemory);
}

}  // namespace

void load_place_object(IOstream* s, CONTAINER* container, std::unique_ptr<RTC> obj) {
    if (!obj || !container) return;
    if (rtc_is<PATT>(obj.get())) {
        place_style(container, std::move(obj));
    } else if (rtc_is<LAYER>(obj.get())) {
        place_layer(s, container, std::move(obj));
    } else if (auto* view = rtc_cast<ZSVIEW>(obj.get())) {
        // A bare view base carries no view of its own: nothing to attach.
        if (view->klass() == &ZSVIEW::rtc_class) return;
        auto* model = rtc_cast<MODEL>(container);
        if (!model) io_raise(s, kBadArgument);
        model_attach_view(model, view);
        obj.release();  // the document takes the attached views over
    } else if (rtc_is<CONTAINER>(obj.get())) {
        // A group read from the file: its members widened its box as they were placed.
        if (container_insert_boxed(container, static_cast<ZOBJ*>(obj.get())) == 0) obj.release();
    } else if (rtc_is<object>(obj.get()) || rtc_is<VPORT>(obj.get())) {
        // An object its reader regenerated has its box already.
        LoadContext* ctx = load_context();
        auto* z = static_cast<ZOBJ*>(obj.get());
        const bool boxed = ctx && ctx->boxed == z;
        if (ctx) ctx->boxed = nullptr;
        const int r = boxed ? container_insert_boxed(container, z) : container_insert(container, z);
        if (r == 0) obj.release();
    }
    // Anything else (a bare named thing) is no part of a drawing: dropped.
}

void block_merge(IOstream* s, MODEL* model, MODEL* temp, buffer* selection, int* new_level,
                 int undo_depth) {
    if (selection) {
        while (temp->children) {
            ZOBJ* child = temp->first_child();
            const int r = buffer_add(selection, child);
            if (r != 0) io_raise(s, r);
            obj_remove(child);
        }
    }
    auto redirect = [&](PATT* from, PATT* to) {
        if (!selection) return;
        for (RefNode* n = selection->refs; n; n = n->next) {
            if (n->ref) n->ref->replace_ref(from, to);
        }
    };
    while (temp->patterns) {
        auto* style = static_cast<PATT*>(temp->patterns);
        PATT* existing = model ? model_find_patt(model, style->name(), style->klass()) : nullptr;
        if (existing || !model) {
            // The drawing's own style stands in for the block's (none without a drawing).
            redirect(style, existing);
            rtc_destroy(style);
            continue;
        }
        obj_remove(style);
        std::unique_ptr<RTC> held(style);
        if (!new_level) {
            if (container_insert(model, style) != 0) {
                redirect(style, nullptr);
                continue;
            }
            held.release();
        } else {
            const int r = model_add_object(model, style, undo_depth, *new_level);
            if (r != 0) {
                redirect(style, nullptr);
                io_raise(s, r);
            }
            held.release();
            *new_level = 0;
        }
    }
}

int drawing_file_drop_views(MODEL* model) {
    int n = 0;
    while (model && model->views) {
        auto* v = static_cast<ZSVIEW*>(model->views);
        model_detach_view(v);
        rtc_destroy(v);
        ++n;
    }
    return n;
}
