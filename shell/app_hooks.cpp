// The model hooks the application chains at start-up.
#include "shell/app_hooks.h"

#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "shell/drawing_doc.h"
#include "shell/sview.h"

namespace {

AddLayerHook g_prev_add_layer = nullptr;
ObjectChangedHook g_prev_object_changed = nullptr;
bool g_installed = false;

// Repaints every window of the drawing.
void refresh_drawing(MODEL* model) {
    if (CDoc* doc = CDoc::of(model)) doc->UpdateAllViews();
}

int add_layer_hook(MODEL* model, LAYER* layer, const char* name) {
    const int r = g_prev_add_layer(model, layer, name);
    if (r == 0) refresh_drawing(model);
    return r;
}

int object_changed_hook(ZOBJ* obj, int what) {
    refresh_drawing(obj_model(obj));
    return g_prev_object_changed(obj, what);
}

}  // namespace

void model_hooks_install() {
    if (g_installed) return;
    g_installed = true;
    g_prev_add_layer = g_hook_add_layer ? g_hook_add_layer : &model_hook_add_layer_default;
    g_prev_object_changed = g_hook_object_changed ? g_hook_object_changed : &model_hook_object_changed_default;
    g_hook_add_layer = &add_layer_hook;
    g_hook_object_changed = &object_changed_hook;
}
