// The notifier through which changes of a drawing reach its preview scenes. The
// preview subscribes a callback per drawing (MODEL); the drawing model reports meshes
// and groups that enter or leave the drawing, and changes of its cameras. With no
// subscriber every report does nothing. No graphics here: the preview lives above.
//
// Threads: subscribing and reporting happen on the user-interface thread. The
// registry is guarded by a recursive lock, so a callback may subscribe or unsubscribe
// (itself or others) while a report runs; a listener removed during a report is not
// called again, one added during a report hears the next report.
#pragma once

class MODEL;
class VIEW;
class ZOBJ;

enum class GlimpseEvent {
    kObjectAdded,    // `obj` (a MESH3 or a CONTAINER) entered the drawing
    kObjectRemoved,  // `obj` (a MESH3 or a CONTAINER) left the drawing
    kDrawingChanged,  // the drawing's cameras changed; `obj` is null
    kCameraChanged,   // `obj` (a CAMERA) was altered in place
    kViewportChanged  // the scene of the drawing's views must be built again; `obj` is null
};

// A listener: `user` is the pointer given when subscribing.
using GlimpseCallback = void (*)(void* user, MODEL* model, GlimpseEvent event, ZOBJ* obj);

// Subscribes (callback, user) to the reports of `model`. Subscribing the same pair
// twice keeps one entry. 0; 13 for a null model or callback; 8 when out of memory.
[[nodiscard]] int glimpse_subscribe(MODEL* model, GlimpseCallback callback, void* user);
// Removes the pair from the listeners of `model`; nothing when it is not there.
void glimpse_unsubscribe(MODEL* model, GlimpseCallback callback, void* user);
// Removes every listener of `model` (the drawing is being closed).
void glimpse_unsubscribe_model(MODEL* model);
// True while (callback, user) listens to `model` (the drawing's destruction removes
// its listeners, so a listener learns this way that its drawing has gone; the model
// pointer is compared only).
bool glimpse_is_subscribed(const MODEL* model, GlimpseCallback callback, const void* user);
// Number of listeners of `model`.
int glimpse_listener_count(const MODEL* model);

// A MESH3 or a CONTAINER (any kind) entered the drawing; other classes are ignored.
// Always 0.
int glimpse_notify_object_added(MODEL* model, ZOBJ* obj);
// A MESH3 or a CONTAINER left the drawing; other classes are ignored.
void glimpse_notify_object_removed(MODEL* model, ZOBJ* obj);
// The drawing's cameras changed (one was added, removed or altered).
void glimpse_notify_drawing(MODEL* model);

// A camera of the drawing was altered (its settings, its material).
void glimpse_notify_camera(MODEL* model, ZOBJ* camera);
// The preview rebuilds its scene of the drawing (layers or many objects changed).
void glimpse_notify_viewport(MODEL* model);

// A preview is bound to the drawing view it was opened from (its layer flags and view
// direction). The view's window calls glimpse_activate_viewport while it is being
// destroyed: the hook, installed by the preview, lets every preview bound to that
// view go of it. The view is compared by address only, never read. Nothing without
// a hook.
using GlimpseViewHook = void (*)(const VIEW* view);
void glimpse_set_view_hook(GlimpseViewHook hook);
void glimpse_activate_viewport(const VIEW* view);

// While muted, glimpse_notify_drawing reports nothing (a command that changes many
// cameras tells the preview once at its end). Returns the previous state; callers
// restore it, so muting nests.
bool glimpse_mute_drawing(bool muted);
bool glimpse_drawing_muted();
