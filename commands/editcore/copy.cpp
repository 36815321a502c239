// Rebinding the named styles of copied objects to the drawing they now belong to.
#include "commands/editcore/copy.h"

#include <string>
#include <unordered_map>

#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/material/material.h"

namespace {

template <class T>
T* same_name_in(MODEL* model, const ZOBJ* style) {
    return static_cast<T*>(model_find_patt(model, style->name(), &T::rtc_class));
}

void rebind_material(MaterialRecord* m, MODEL* model) {
    if (!m) return;
    for (TextureSlot& s : m->slots) texture_slot_rebind(&s, model);
}

// One object's own styles (a group has none: rebind walks its members).
void rebind_one(object* obj, MODEL* model) {
    if (auto* wire = rtc_cast<WIRE>(obj)) {
        if (wire->line_style) wire->line_style = same_name_in<LINEPATT>(model, wire->line_style);
    }
    if (auto* text = rtc_cast<TEXT2>(obj)) {
        if (text->font) text->font = same_name_in<FONTPATT>(model, text->font);
    } else if (auto* hatch = rtc_cast<HATCH>(obj)) {
        if (hatch->pattern) hatch->pattern = same_name_in<HATCHPATT>(model, hatch->pattern);
    } else if (auto* cam = rtc_cast<CAMERA>(obj)) {
        rebind_material(cam->material, model);
    } else if (auto* mesh = rtc_cast<MESH3>(obj)) {
        rebind_material(mesh->material, model);
    }
}

// The object and everything below it, in pre-order without recursion.
void rebind(object* obj, MODEL* model) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj)) {
        if (auto* o = rtc_cast<object>(z)) rebind_one(o, model);
    }
}

}  // namespace

void texture_slot_rebind(TextureSlot* slot, MODEL* model) {
    if (!slot || slot->kind != kTextureImage || !slot->mapping.image) return;
    slot->mapping.image = static_cast<MATRPATT*>(
        model_find_patt(model, slot->mapping.image->name(), &MATRPATT::rtc_class));
}

void object_patterns_rebind(object* obj) {
    MODEL* model = obj_model(obj);
    if (!obj || !model) return;
    rebind(obj, model);
}

void object_tracks_rebind(object* src, object* copy) {
    if (!src || !copy) return;
    MODEL* model = obj_model(copy);
    // A fresh clone has the shape of its source: walking both trees in step pairs each
    // object with its copy.
    std::unordered_map<const object*, object*> copies;
    bool any_tracks = false;
    for (ZOBJ *s = src, *c = copy; s && c; s = tree_next(s, src), c = tree_next(c, copy)) {
        auto* so = rtc_cast<object>(s);
        auto* co = rtc_cast<object>(c);
        if (so && co) {
            copies.emplace(so, co);
            any_tracks = any_tracks || co->tracks;
        }
    }
    if (!any_tracks) return;
    auto rebound = [&](object* target, object* holder) -> object* {
        if (!target) return nullptr;
        if (auto it = copies.find(target); it != copies.end()) return it->second;
        return obj_model(target) == model ? target : holder;
    };
    for (const auto& pair : copies) {
        object* to = pair.second;
        for (KeyframeTrack* t = to->tracks; t; t = t->next_track) {
            for (ObjectKey& k : t->objects.keys) k.target = rebound(k.target, to);
            // Blend objects are derived from the keys at the next evaluation.
            t->blend_a = t->blend_b = nullptr;
            track_invalidate(t);
        }
    }
}

int objects_unique_names(object* obj) {
    if (!obj) return 0;
    // A named object is named uniquely; an unnamed group passes the question on to its
    // members (pre-order, without recursion: groups nest as deep as a file may hold).
    MODEL* model = obj_model(obj);
    for (ZOBJ* z = obj; z;) {
        auto* o = rtc_cast<object>(z);
        if (o && !o->strings[0].empty()) {
            const std::string name = o->name();
            if (int rc = obj_default_name(model, o, 0, name.c_str())) return rc;
            z = tree_next_sibling(z, obj);
        } else if (o) {
            z = tree_next(z, obj);
        } else {
            z = tree_next_sibling(z, obj);
        }
    }
    return 0;
}
