// The layer routines of the drawing view.
#include "shell/view_rules.h"

#include <cstring>
#include <vector>

#include "exchange/file_type.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/zobj.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

// A layer entry being deleted (marked in every view until the deletion is done).
constexpr int32_t kFlagDying = 0x8000;

template <class F>
void for_each_view(MODEL* model, F f) {
    ZDLIST* head = model ? model->views : nullptr;
    if (!head) return;
    ZDLIST* n = head;
    do {
        ZDLIST* next = n->next;
        if (auto* v = rtc_cast<VIEW>(n)) f(v);
        n = next;
    } while (n && n != head);
}

bool layer_has_objects(const LAYER* layer) { return layer->children != nullptr; }

}  // namespace

int layer_index_of(const MODEL* model, const LAYER* layer) {
    ZDLIST* head = model ? model->children : nullptr;
    if (!head || !layer) return -1;
    int i = 0;
    ZDLIST* n = head;
    do {
        if (rtc_is<LAYER>(n)) {
            if (n == layer) return i;
            ++i;
        }
        n = n->next;
    } while (n && n != head);
    return -1;
}

LAYER* layer_find(MODEL* model, const char* name) {
    ZDLIST* head = model ? model->children : nullptr;
    if (!head || !name) return nullptr;
    ZDLIST* n = head;
    do {
        if (auto* l = rtc_cast<LAYER>(n); l && std::strcmp(l->name(), name) == 0) return l;
        n = n->next;
    } while (n && n != head);
    return nullptr;
}

int layer_new(VIEW* view, const char* name) {
    MODEL* model = view_drawing(view);
    if (!model || !name) return 0;
    if (layer_find(model, name)) {
        // The existing layer and its objects stay as they are.
        msgbox_ids(kStrIdError, IDS_LAYER_EXISTS);
        return 0;
    }
    std::unique_ptr<LAYER> layer = rtc_make<LAYER>();
    if (!layer) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return 0;
    }
    AddLayerHook add = g_hook_add_layer ? g_hook_add_layer : &model_hook_add_layer_default;
    const int r = add(model, layer.get(), name);
    if (r != 0) {
        // Only the new layer goes; it never joined the drawing.
        msgbox_ids(kStrIdError, r == kBadArgument ? IDS_LAYER_EXISTS : IDS_NO_MEMORY);
        return 0;
    }
    LAYER* added = layer.release();
    // The add-layer hook installed at start-up gives every view its flag for the new
    // layer and refills the layer lists; a view left without one (the model's bare
    // default hook) gets it here.
    const size_t count = size_t(layer_index_of(model, added) + 1);
    bool pushed = false;
    for_each_view(model, [&](VIEW* v) {
        if (v->layer_state.flags.size() + 1 == count && view_push_layer_flag(v, 1) == 0) pushed = true;
    });
    if (ViewHost* h = pushed ? view_host() : nullptr) h->fill_layer_lists(view);
    return 1;
}

LayerDeleteResult layer_delete_allowed(VIEW* view, const char* name, bool ask, VIEW** holder) {
    if (holder) *holder = nullptr;
    MODEL* model = view_drawing(view);
    LAYER* layer = layer_find(model, name);
    if (!layer) return kLayerNotFound;
    VIEW* current = nullptr;
    for_each_view(model, [&](VIEW* v) {
        if (!current && v->current_layer == layer) current = v;
    });
    if (current) {
        if (holder) *holder = current;
        return kLayerIsCurrent;
    }
    if (ask && layer_has_objects(layer) &&
        !msgbox_yes_no("%s \"%s\" %s", res_load_string(IDS_THE_LAYER).c_str(), name,
                       res_load_string(IDS_HOLDS_OBJECTS).c_str()))
        return kLayerKept;
    return kLayerDeleted;
}

LayerDeleteResult layer_delete_by_name(VIEW* view, const char* name, bool ask, VIEW** holder) {
    if (const LayerDeleteResult r = layer_delete_allowed(view, name, ask, holder); r != kLayerDeleted) return r;
    MODEL* model = view_drawing(view);
    LAYER* layer = layer_find(model, name);
    const int index = layer_index_of(model, layer);
    // Each view keeps the layer's flag aside for the undo that brings it back; a layer
    // destroyed at once (undo off) takes it along.
    for_each_view(model, [&](VIEW* v) {
        view_park_layer_flag(v, layer, view_layer_flag(v, index));
        auto& f = v->layer_state.flags;
        if (index >= 0 && size_t(index) < f.size()) f[index] |= kFlagDying;
    });
    const int r = model_delete_object(layer, undo_depth_from_prefs(), 1);
    for_each_view(model, [&](VIEW* v) {
        if (r != 0) std::erase_if(v->layer_state.parked, [layer](const auto& e) { return e.first == layer; });
        auto& f = v->layer_state.flags;
        if (index < 0 || size_t(index) >= f.size()) return;
        if (r == 0)
            f.erase(f.begin() + index);
        else
            f[index] &= ~kFlagDying;
    });
    if (r != 0) return kLayerDeleteFailed;
    if (ViewHost* h = view_host()) {
        h->fill_layer_lists(view);
        h->doc_update_all(view);
    }
    return kLayerDeleted;
}

int layer_set_state(VIEW* view, const char* name, bool select, bool visible) {
    MODEL* model = view_drawing(view);
    LAYER* layer = layer_find(model, name);
    if (select) visible = true;
    if (!layer) return 0;
    const int index = layer_index_of(model, layer);
    auto& f = view->layer_state.flags;
    int changed = 0;
    if (index >= 0) {
        if (size_t(index) >= f.size()) f.resize(size_t(index) + 1, 1);
        const int32_t word = visible ? 1 : 0;
        changed = (f[index] != 0) != visible;
        f[index] = word;
    }
    if (select) view->current_layer = layer;
    return changed;
}
