// The preview notifier: a registry of listener callbacks per drawing and the three
// reports the drawing model sends through it.
#include "model/db/glimpse_notify.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/math/result.h"

namespace {

struct Listener {
    MODEL* model;
    GlimpseCallback callback;
    void* user;
    bool live;  // cleared by an unsubscribe during a report; compacted afterwards
};

struct Registry {
    std::recursive_mutex lock;
    std::vector<Listener> listeners;
    int dispatching = 0;             // nesting depth of running reports
    std::atomic<int> live_count{0};  // lets a report with no listener return at once
};

Registry& registry() {
    static Registry r;
    return r;
}

// Drops the entries marked dead; only when no report is walking the vector.
void compact(Registry& r) {
    if (r.dispatching > 0) return;
    std::erase_if(r.listeners, [](const Listener& l) { return !l.live; });
}

void dispatch(MODEL* model, GlimpseEvent event, ZOBJ* obj) {
    Registry& r = registry();
    if (!model || r.live_count.load(std::memory_order_relaxed) == 0) return;
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    ++r.dispatching;
    // Listeners added by a callback land beyond `end` and hear the next report; the
    // vector may grow, so entries are read by index each time.
    const size_t end = r.listeners.size();
    for (size_t i = 0; i < end; ++i) {
        const Listener l = r.listeners[i];
        if (l.live && l.model == model) l.callback(l.user, model, event, obj);
    }
    --r.dispatching;
    compact(r);
}

bool reported_class(const ZOBJ* obj) {
    return rtc_is<MESH3>(obj) || rtc_is<CONTAINER>(obj);
}

}  // namespace

int glimpse_subscribe(MODEL* model, GlimpseCallback callback, void* user) {
    if (!model || !callback) return kBadArgument;
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    for (const Listener& l : r.listeners) {
        if (l.live && l.model == model && l.callback == callback && l.user == user) return 0;
    }
    try {
        r.listeners.push_back({model, callback, user, true});
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    r.live_count.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void glimpse_unsubscribe(MODEL* model, GlimpseCallback callback, void* user) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    for (Listener& l : r.listeners) {
        if (l.live && l.model == model && l.callback == callback && l.user == user) {
            l.live = false;
            r.live_count.fetch_sub(1, std::memory_order_relaxed);
        }
    }
    compact(r);
}

void glimpse_unsubscribe_model(MODEL* model) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    for (Listener& l : r.listeners) {
        if (l.live && l.model == model) {
            l.live = false;
            r.live_count.fetch_sub(1, std::memory_order_relaxed);
        }
    }
    compact(r);
}

bool glimpse_is_subscribed(const MODEL* model, GlimpseCallback callback, const void* user) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    return std::any_of(r.listeners.begin(), r.listeners.end(), [&](const Listener& l) {
        return l.live && l.model == model && l.callback == callback && l.user == user;
    });
}

int glimpse_listener_count(const MODEL* model) {
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    return static_cast<int>(
        std::count_if(r.listeners.begin(), r.listeners.end(),
                      [model](const Listener& l) { return l.live && l.model == model; }));
}

int glimpse_notify_object_added(MODEL* model, ZOBJ* obj) {
    if (reported_class(obj)) dispatch(model, GlimpseEvent::kObjectAdded, obj);
    return 0;
}

void glimpse_notify_object_removed(MODEL* model, ZOBJ* obj) {
    if (reported_class(obj)) dispatch(model, GlimpseEvent::kObjectRemoved, obj);
}

namespace {
bool g_drawing_muted = false;
}  // namespace

bool glimpse_mute_drawing(bool muted) {
    bool was = g_drawing_muted;
    g_drawing_muted = muted;
    return was;
}

bool glimpse_drawing_muted() { return g_drawing_muted; }

void glimpse_notify_camera(MODEL* model, ZOBJ* camera) {
    if (camera) dispatch(model, GlimpseEvent::kCameraChanged, camera);
}

void glimpse_notify_viewport(MODEL* model) { dispatch(model, GlimpseEvent::kViewportChanged, nullptr); }

void glimpse_notify_drawing(MODEL* model) {
    if (g_drawing_muted) return;
    dispatch(model, GlimpseEvent::kDrawingChanged, nullptr);
}

namespace {
GlimpseViewHook g_view_hook = nullptr;
}  // namespace

void glimpse_set_view_hook(GlimpseViewHook hook) { g_view_hook = hook; }

void glimpse_activate_viewport(const VIEW* view) {
    if (view && g_view_hook) g_view_hook(view);
}
