// Moved forms of the drawing's meshes and lights at its current frame, on private
// evaluated copies; the layer walk of both renderers.
#include "render/scanline/render_objects.h"

#include <algorithm>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/patt.h"
#include "model/db/zobj.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "render/scanline/render_context.h"
#include "render/scanline/render_scene.h"

namespace {

// Private parents for the tracks of a copy: each track of `copy` whose drawing twin in
// `original` has a parent gets a chain of copies of that twin's ancestors (cut where
// the chain repeats itself or grows deeper than the evaluation follows), so that the
// hierarchy is evaluated without writing into the drawing's tracks. The copies made
// are freed when this goes out of scope (the evaluation done), the links cleared first.
class PrivateParents {
  public:
    explicit PrivateParents(object* copy) : copy_(copy) {}
    ~PrivateParents() {
        for (KeyframeTrack* t = copy_->tracks; t; t = t->next_track) t->parent = nullptr;
        for (KeyframeTrack* t : made_) track_delete(t);
    }
    PrivateParents(const PrivateParents&) = delete;
    PrivateParents& operator=(const PrivateParents&) = delete;

    // 0, or 8 when out of memory.
    int link(const object* original) {
        constexpr size_t kMaxAncestors = 1023;  // with the track itself, 1024
        const KeyframeTrack* s = original->tracks;
        for (KeyframeTrack* c = copy_->tracks; s && c; s = s->next_track, c = c->next_track) {
            std::vector<const KeyframeTrack*> seen{s};
            KeyframeTrack* below = c;
            for (const KeyframeTrack* a = s->parent; a && seen.size() <= kMaxAncestors;
                 a = a->parent) {
                if (std::find(seen.begin(), seen.end(), a) != seen.end()) break;
                seen.push_back(a);
                KeyframeTrack* d = track_duplicate(a, a->owner);
                if (!d) return kOutOfMemory;
                made_.push_back(d);
                below->parent = d;
                below = d;
            }
        }
        return 0;
    }

  private:
    object* copy_;
    std::vector<KeyframeTrack*> made_;
};

// A private copy of an animated object, evaluated at the drawing's frame without
// touching the drawing's own tracks (nor those of its parents in the hierarchy).
// Null when the object is not animated now.
template <class T>
T* evaluated_copy(RenderContext* ctx, T* obj, int* rc) {
    *rc = 0;
    if (!obj->tracks) return nullptr;
    std::unique_ptr<RTC> copy;
    const int c = rtc_clone(&copy, obj);
    if (c != 0) {
        *rc = kOutOfMemory;
        return nullptr;
    }
    T* t = static_cast<T*>(copy.get());
    int applied;
    {
        PrivateParents parents(t);
        if (parents.link(obj) != 0) {
            *rc = kOutOfMemory;
            return nullptr;
        }
        // The copy reads the drawing's frame through its parent link; it is not put
        // into the container, so the drawing does not change.
        t->parent = obj->parent;
        if constexpr (std::is_base_of_v<LIGHT, T>)
            applied = light_apply_frame(t);
        else
            applied = obj_apply_frame(t);
        t->parent = nullptr;
    }
    if (applied != 1) return nullptr;
    try {
        ctx->copies.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        *rc = kOutOfMemory;
        return nullptr;
    }
    return t;
}

bool layer_visible(const RenderLayerFilter* f, size_t index) {
    if (!f || !f->flags || index >= f->count) return true;
    return f->flags[index] != 0;
}

}  // namespace

int render_for_kept_layers(MODEL* drawing, const RenderLayerFilter* filter,
                           const std::function<int(LAYER*)>& fn) {
    if (!drawing || !drawing->children) return 0;
    size_t index = 0;
    ZDLIST* c = drawing->children;
    do {
        if (rtc_is<LAYER>(c)) {
            if (layer_visible(filter, index) && static_cast<CONTAINER*>(c)->first_child())
                if (int rc = fn(static_cast<LAYER*>(c))) return rc;
            ++index;
        }
        c = c->next;
    } while (c && c != drawing->children);
    return 0;
}

int render_mesh_from_object(RenderContext* ctx, MESH3* mesh, const MeshFormFn& fn) {
    int rc = 0;
    MESH3* copy = evaluated_copy(ctx, mesh, &rc);
    if (rc) return rc;
    if (!copy) {
        for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next)
            if (int r = fn(MeshForm{b, mesh->material, nullptr, nullptr, nullptr, 0.0})) return r;
        return 0;
    }
    // One moved form per track (the copy's evaluated tracks; key meshes blended).
    for (const KeyframeTrack* t = copy->tracks; t; t = t->next_track) {
        const auto* ka = rtc_cast<MESH3>(t->blend_a);
        const auto* kb = rtc_cast<MESH3>(t->blend_b);
        const MeshFaceBlock* ba = ka ? ka->blocks : nullptr;
        const MeshFaceBlock* bb = kb ? kb->blocks : nullptr;
        for (const MeshFaceBlock* b = copy->blocks; b; b = b->next) {
            if (int r = fn(MeshForm{b, copy->material, &t->evaluated.fwd, ba, bb, t->blend})) return r;
            if (ba) ba = ba->next;
            if (bb) bb = bb->next;
        }
    }
    return 0;
}

LIGHT* render_light_from_object(RenderContext* ctx, LIGHT* light, int* rc) {
    LIGHT* copy = evaluated_copy(ctx, light, rc);
    if (*rc) return nullptr;
    return copy ? copy : light;
}

int render_load_images(RenderContext* ctx, const MaterialRecord* m) {
    if (!m) return 0;
    for (const TextureSlot& slot : m->slots) {
        if (slot.kind != kTextureImage || !slot.mapping.image) continue;
        MATRPATT* image = slot.mapping.image;
        if (std::find(ctx->held_images.begin(), ctx->held_images.end(), image) ==
            ctx->held_images.end()) {
            // Decoded once for this render, then held until it ends so that no later
            // request (another mesh, the material editor) replaces the pixels being
            // sampled. Ready and held in one step: a decode on another thread cannot
            // come between. Listed first, so the end of the render lets go of it
            // whatever happens.
            ctx->held_images.push_back(image);
            const int rc = image->make_image_ready_and_hold();
            if (rc == kOutOfMemory) return kOutOfMemory;
            if (rc != 0) log_message(LogLevel::debug, "render: texture image not decoded (%d)", rc);
        }
    }
    return 0;
}
