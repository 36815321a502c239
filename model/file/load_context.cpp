// The map of one load: objects and tracks made by it, and the resolution of the
// references between their records after the load.
#include "model/file/load_context.h"

#include <algorithm>
#include <unordered_map>

#include "model/db/find.h"
#include "model/db/track.h"
#include "model/db/zobj.h"
#include "model/services/log.h"

namespace {
thread_local LoadContext* g_current = nullptr;
}  // namespace

LoadContext* load_context() {
    return g_current;
}

LoadScope::LoadScope() : outer_(g_current) {
    g_current = &context;
}

LoadScope::~LoadScope() {
    g_current = outer_;
}

void load_note_object(const RTC* obj) {
    if (g_current && obj) g_current->objects.insert(obj);
}

void load_note_skipped(const char* class_name) {
    log_message(LogLevel::warning, "drawing file: a %s that cannot be rebuilt was left out", class_name);
    if (g_current) ++g_current->skipped;
}

void load_note_track(const KeyframeTrack* track, TrackLinks links) {
    if (g_current && track) g_current->tracks.insert_or_assign(track, std::move(links));
}

ZOBJ* load_find_object(ZOBJ* root, int32_t id) {
    LoadContext* ctx = g_current;
    if (!ctx || id < 0) return nullptr;
    for (ZOBJ* z = root; z; z = tree_next(z, root)) {
        if (z->file_id == id && ctx->objects.count(z)) return z;
    }
    return nullptr;
}

int32_t tracks_resolve(ZOBJ* root, ZOBJ* obj, int32_t frame_count) {
    // Without a single track alive there is nothing to count or link: no walk.
    if (!obj || track_live_count() == 0) return frame_count;
    LoadContext* ctx = g_current;
    // Only tracks and objects that are alive in the tree now take part: anything this
    // load made and later dropped is never looked at again.
    std::vector<KeyframeTrack*> loaded;
    std::unordered_map<int32_t, KeyframeTrack*> by_number;
    bool keys = false;  // some track of this load names objects
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        auto* o = rtc_cast<object>(z);
        if (!o) continue;
        for (KeyframeTrack* t = o->tracks; t; t = t->next_track) {
            frame_count = std::max(frame_count, track_frame_count(t));
            if (!ctx) continue;
            auto it = ctx->tracks.find(t);
            if (it == ctx->tracks.end()) continue;
            loaded.push_back(t);
            by_number.emplace(it->second.id, t);
            keys = keys || !it->second.key_targets.empty();
        }
    }
    (void)root;
    if (!ctx || loaded.empty()) return frame_count;
    // The file ids of this load's objects, only when some key names one.
    std::unordered_map<int32_t, object*> by_id;
    if (keys) {
        for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
            auto* o = rtc_cast<object>(z);
            if (o && ctx->objects.count(o)) by_id.emplace(o->file_id, o);
        }
    }

    auto find_track = [&](int32_t n) -> KeyframeTrack* {
        if (n < 0) return nullptr;
        auto it = by_number.find(n);
        return it == by_number.end() ? nullptr : it->second;
    };

    // Children of each parent in their stored sibling order, starting at the stored
    // first child; a track the sibling chain does not reach goes at the end.
    std::unordered_map<const KeyframeTrack*, bool> linked;
    for (KeyframeTrack* p : loaded) {
        const TrackLinks& pl = ctx->tracks[p];
        KeyframeTrack* c = find_track(pl.child);
        for (size_t guard = 0; c && guard < loaded.size(); ++guard) {
            const TrackLinks& cl = ctx->tracks[c];
            if (linked[c] || cl.parent != pl.id) break;
            if (track_link_child(p, c) == 0) linked[c] = true;
            c = find_track(cl.next);
        }
    }
    for (KeyframeTrack* c : loaded) {
        if (linked[c]) continue;
        // A link that would make a loop stays empty.
        if (KeyframeTrack* p = find_track(ctx->tracks[c].parent)) (void)track_link_child(p, c);
    }
    for (KeyframeTrack* t : loaded) {
        const TrackLinks& tl = ctx->tracks[t];
        const size_t n = std::min(tl.key_targets.size(), t->objects.keys.size());
        for (size_t i = 0; i < n; ++i) {
            auto it = by_id.find(tl.key_targets[i]);
            t->objects.keys[i].target = it == by_id.end() ? nullptr : it->second;
        }
        track_invalidate(t);
    }
    for (KeyframeTrack* t : loaded) ctx->tracks.erase(t);
    return frame_count;
}
