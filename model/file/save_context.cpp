// The context of one save: the objects and tracks written, and the deepest nesting.
#include "model/file/save_context.h"

#include <unordered_map>

#include "model/db/find.h"
#include "model/db/track.h"
#include "model/db/zobj.h"
#include "model/stream/iostream.h"

namespace {

thread_local SaveContext* g_current = nullptr;

}  // namespace

void save_number_one(ZOBJ* obj, SaveNumbering* numbering) {
    obj->file_id = numbering->object_id++;
    if (auto* o = rtc_cast<object>(obj)) {
        for (KeyframeTrack* t = o->tracks; t; t = t->next_track) t->id = numbering->track_id++;
    }
}

void save_context_add(SaveContext* ctx, ZOBJ* top, SaveNumbering* numbering) {
    if (!ctx || !top) return;
    ctx->tops.push_back(top);
    // Depths of the containers met so far; a child is one deeper than its parent.
    // Siblings follow each other in the walk, so the last parent's depth is kept at hand.
    std::unordered_map<const ZOBJ*, int> depth_of;
    const ZOBJ* last_parent = nullptr;
    int last_depth = 1;
    for (ZOBJ* z = top; z; z = tree_next(z, top)) {
        int depth = 1;
        if (z != top) {
            if (z->parent != last_parent) {
                auto it = depth_of.find(z->parent);
                last_parent = z->parent;
                last_depth = it == depth_of.end() ? 1 : it->second + 1;
            }
            depth = last_depth;
        }
        if (rtc_is<CONTAINER>(z)) depth_of[z] = depth;
        if (depth > ctx->deepest) ctx->deepest = depth;
        if (numbering) save_number_one(z, numbering);
    }
}

namespace {

void fill(SaveContext* ctx) {
    if (ctx->filled) return;
    ctx->filled = true;
    for (ZOBJ* top : ctx->tops) {
        for (ZOBJ* z = top; z; z = tree_next(z, top)) {
            ctx->objects.insert(z);
            if (auto* o = rtc_cast<object>(z)) {
                for (const KeyframeTrack* t = o->tracks; t; t = t->next_track) ctx->tracks.insert(t);
            }
        }
    }
}

}  // namespace

SaveContext* save_context() {
    return g_current;
}

void save_write_enter(IOstream* s, ZOBJ* obj, int depth) {
    SaveContext* ctx = g_current;
    if (!ctx || !ctx->number_while_writing) return;
    if (depth > ctx->deepest) {
        ctx->deepest = depth;
        if (depth > kMaxRecordNesting) {
            ctx->too_deep = true;
            io_raise(s, kBadArgument);
        }
    }
    save_number_one(obj, &ctx->numbering);
}

SaveScope::SaveScope() : outer_(g_current) {
    g_current = &context;
}

SaveScope::~SaveScope() {
    g_current = outer_;
}

int32_t save_object_ref(const ZOBJ* obj) {
    if (!obj) return -1;
    if (g_current) {
        fill(g_current);
        if (!g_current->objects.count(obj)) return -1;
    }
    return obj->file_id;
}

int32_t save_track_ref(const KeyframeTrack* track) {
    if (!track) return -1;
    if (g_current) {
        fill(g_current);
        if (!g_current->tracks.count(track)) return -1;
    }
    return track->id;
}
