// The preview's mirror of a drawing's meshes and its view points.
#include "glpreview/scene.h"

#include <cmath>
#include <new>

#include "commands/boolean/mesh_reduce.h"
#include "commands/edit/edit.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track_eval.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/math/vec.h"

namespace {

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 sub(const V3& a, const V3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 unit(const V3& a) {
    const double l = std::sqrt(dot(a, a));
    return l > 0 && std::isfinite(l) ? V3{a.x / l, a.y / l, a.z / l} : V3{0, 0, 1};
}

V3 moved(const MeshVertex& v, const Matrix43* m) {
    if (!m) return {v.x, v.y, v.z};
    const double* a = m->m;
    return {v.x * a[0] + v.y * a[3] + v.z * a[6] + a[9], v.x * a[1] + v.y * a[4] + v.z * a[7] + a[10],
            v.x * a[2] + v.y * a[5] + v.z * a[8] + a[11]};
}

bool layer_shown(const std::vector<int32_t>* flags, int index) {
    return !flags || index < 0 || size_t(index) >= flags->size() || (*flags)[size_t(index)] != 0;
}

}  // namespace

int scene_mesh_build(const MESH3* mesh, const Matrix43* move, SceneMesh* out) {
    out->key = mesh;
    out->xyz.clear();
    out->normals.clear();
    const MaterialRecord* mat = mesh->material;
    if (mat)
        for (int i = 0; i < 3; ++i) out->rgb[i] = std::isfinite(mat->colour[i]) ? std::clamp(mat->colour[i], 0.0f, 1.0f) : 0.7f;
    const uint32_t flags = mat ? mat->flags : kMaterialSmoothAlways;
    const bool by_angle = flags & kMaterialSmoothByAngle;
    const bool always = !by_angle && (flags & kMaterialSmoothAlways);
    const bool groups = !by_angle && !always && (flags & kMaterialSmoothGroups);
    const double cos_limit = std::cos(mat && std::isfinite(mat->smoothing_angle) ? mat->smoothing_angle : 0.5236);
    try {
        for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) {
            const int32_t nv = int32_t(b->vertices.size()), ne = int32_t(b->edges.size());
            std::vector<V3> pos(static_cast<size_t>(nv));
            for (int32_t i = 0; i < nv; ++i) pos[size_t(i)] = moved(b->vertices[size_t(i)], move);
            struct Tri {
                int32_t v[3];
                V3 n;
                int32_t mask;
            };
            std::vector<Tri> tris;
            tris.reserve(b->faces.size());
            for (const MeshFace& f : b->faces) {
                if (f.e[0] < 0 || f.e[0] >= ne || f.e[1] < 0 || f.e[1] >= ne) continue;
                int32_t i0, i1, i2;
                edge_pair_vertices(b->edges[size_t(f.e[0])], b->edges[size_t(f.e[1])], &i0, &i1, &i2);
                if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= nv || i1 >= nv || i2 >= nv) continue;
                const V3 n = cross(sub(pos[size_t(i1)], pos[size_t(i0)]), sub(pos[size_t(i2)], pos[size_t(i0)]));
                const double len = std::sqrt(dot(n, n));
                if (!(len > 0) || !std::isfinite(len)) continue;
                tris.push_back({{i0, i1, i2}, {n.x / len, n.y / len, n.z / len}, f.word});
            }
            // The faces at each vertex, for the averaged normals.
            std::vector<int32_t> start(static_cast<size_t>(nv) + 1, 0), at;
            const bool smooth = always || groups || by_angle;
            if (smooth) {
                for (const Tri& t : tris)
                    for (int32_t v : t.v) ++start[size_t(v) + 1];
                for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
                at.resize(size_t(start.back()));
                std::vector<int32_t> fill(start.begin(), start.end() - 1);
                for (size_t t = 0; t < tris.size(); ++t)
                    for (int32_t v : tris[t].v) at[size_t(fill[size_t(v)]++)] = int32_t(t);
            }
            out->xyz.reserve(out->xyz.size() + tris.size() * 9);
            out->normals.reserve(out->normals.size() + tris.size() * 9);
            for (const Tri& t : tris) {
                for (int32_t v : t.v) {
                    const V3& p = pos[size_t(v)];
                    out->xyz.insert(out->xyz.end(), {float(p.x), float(p.y), float(p.z)});
                    V3 n = t.n;
                    if (smooth) {
                        V3 s{0, 0, 0};
                        for (int32_t k = start[size_t(v)]; k < start[size_t(v) + 1]; ++k) {
                            const Tri& o = tris[size_t(at[size_t(k)])];
                            const bool joins = always || (groups ? (o.mask & t.mask) != 0 || &o == &t
                                                                 : dot(o.n, t.n) >= cos_limit);
                            if (joins) s = {s.x + o.n.x, s.y + o.n.y, s.z + o.n.z};
                        }
                        n = unit(s);
                    }
                    out->normals.insert(out->normals.end(), {float(n.x), float(n.y), float(n.z)});
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

void GlimpseScene::set_detail(double percent) {
    if (!std::isfinite(percent)) percent = 100;
    detail_ = std::clamp(percent, 1.0, 100.0);
}

int GlimpseScene::mirror_mesh(MESH3* mesh, SceneEntry* entry, bool animate) {
    // A lighter copy when less detail is asked for (the mesh itself otherwise).
    MESH3* use = detail_ < 100 ? mesh_reduce(mesh, detail_) : mesh;
    if (!use) use = mesh;
    auto release = [&] {
        if (use != mesh) rtc_destroy(use);
    };
    // One form of the mesh, moved by `move` (none: where it stands); false when out of memory.
    auto add_form = [&](const Matrix43* move) {
        SceneMesh sm;
        if (scene_mesh_build(use, move, &sm) != 0) return false;
        sm.key = mesh;
        if (use != mesh && mesh->material)
            for (int i = 0; i < 3; ++i) sm.rgb[i] = std::clamp(mesh->material->colour[i], 0.0f, 1.0f);
        entry->meshes.push_back(std::move(sm));
        return true;
    };
    try {
        if (animate && mesh->tracks && obj_apply_frame(mesh) == 1) {
            // One moved form per track, as the renderers draw it.
            for (const KeyframeTrack* t = mesh->tracks; t; t = t->next_track) {
                if (!add_form(&t->evaluated.fwd)) {
                    release();
                    return kOutOfMemory;
                }
            }
        } else if (!add_form(nullptr)) {
            release();
            return kOutOfMemory;
        }
    } catch (const std::bad_alloc&) {
        release();
        return kOutOfMemory;
    }
    release();
    return 0;
}

int GlimpseScene::mirror(ZOBJ* obj, SceneEntry* entry, bool animate) {
    for (ZOBJ* z = obj; z; z = tree_next(z, obj))
        if (auto* m = rtc_cast<MESH3>(z))
            if (int rc = mirror_mesh(m, entry, animate)) return rc;
    return 0;
}

int GlimpseScene::add(ZOBJ* obj) {
    if (!obj || !(rtc_is<MESH3>(obj) || rtc_is<CONTAINER>(obj)) || rtc_is<LAYER>(obj) || rtc_is<MODEL>(obj)) return 0;
    remove(obj);
    SceneEntry e;
    e.key = obj;
    if (int rc = mirror(obj, &e, false)) return rc;
    try {
        entries_.push_back(std::move(e));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    ++version_;
    return 0;
}

void GlimpseScene::remove(const void* obj) {
    bool changed = false;
    for (size_t i = entries_.size(); i-- > 0;) {
        SceneEntry& e = entries_[i];
        if (e.key == obj) {
            entries_.erase(entries_.begin() + long(i));
            changed = true;
            continue;
        }
        const size_t before = e.meshes.size();
        std::erase_if(e.meshes, [obj](const SceneMesh& m) { return m.key == obj; });
        changed |= e.meshes.size() != before;
    }
    if (changed) ++version_;
}

void GlimpseScene::clear() {
    entries_.clear();
    ++version_;
}

namespace {

// Calls fn for every drawable child of every shown layer.
template <class Fn>
int for_shown_objects(MODEL* model, const std::vector<int32_t>* flags, Fn&& fn) {
    if (!model || !model->children) return 0;
    int index = 0;
    ZDLIST* c = model->children;
    do {
        if (auto* layer = rtc_cast<LAYER>(c)) {
            if (layer_shown(flags, index) && layer->children) {
                ZDLIST* z = layer->children;
                do {
                    if (int rc = fn(static_cast<ZOBJ*>(z))) return rc;
                    z = z->next;
                } while (z != layer->children);
            }
            ++index;
        }
        c = c->next;
    } while (c != model->children);
    return 0;
}

}  // namespace

int GlimpseScene::mirror_shown(MODEL* model, const std::vector<int32_t>* layer_flags, bool animate) {
    return for_shown_objects(model, layer_flags, [this, animate](ZOBJ* z) {
        if (!rtc_is<MESH3>(z) && !rtc_is<CONTAINER>(z)) return 0;
        SceneEntry e;
        e.key = z;
        if (int rc = mirror(z, &e, animate)) return rc;
        entries_.push_back(std::move(e));
        return 0;
    });
}

int GlimpseScene::rebuild(MODEL* model, const std::vector<int32_t>* layer_flags) {
    entries_.clear();
    ++version_;
    const int rc = mirror_shown(model, layer_flags, false);
    if (rc != 0) entries_.clear();
    return rc;
}

int GlimpseScene::build_frame(MODEL* copy, int32_t frame, const std::vector<int32_t>* layer_flags) {
    entries_.clear();
    ++version_;
    if (!copy) return 0;
    copy->current_frame = frame;
    return mirror_shown(copy, layer_flags, true);
}

size_t GlimpseScene::triangle_count() const {
    size_t n = 0;
    for (const SceneEntry& e : entries_)
        for (const SceneMesh& m : e.meshes) n += m.triangles();
    return n;
}

BBox GlimpseScene::bounds() const {
    BBox b = kEmptyBBox;
    for (const SceneEntry& e : entries_)
        for (const SceneMesh& m : e.meshes)
            for (size_t i = 0; i + 2 < m.xyz.size(); i += 3) {
                b.min.x = std::min(b.min.x, m.xyz[i]), b.max.x = std::max(b.max.x, m.xyz[i]);
                b.min.y = std::min(b.min.y, m.xyz[i + 1]), b.max.y = std::max(b.max.y, m.xyz[i + 1]);
                b.min.z = std::min(b.min.z, m.xyz[i + 2]), b.max.z = std::max(b.max.z, m.xyz[i + 2]);
            }
    return b;
}

int preview_copy_drawing(MODEL* model, std::unique_ptr<RTC>* out) {
    out->reset();
    if (!model) return kBadArgument;
    if (rtc_clone(out, model) != 0 || !*out) {
        out->reset();
        return kOutOfMemory;
    }
    auto* copy = static_cast<MODEL*>(out->get());
    copy->frame_count = model->frame_count;
    copy->current_frame = model->current_frame.load();
    return 0;
}

// ---- View points

std::vector<std::string> preview_view_points(MODEL* model) {
    std::vector<std::string> names;
    if (!model) return names;
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
        if (rtc_is<CAMERA>(z)) names.emplace_back(z->name());
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
        if (rtc_is<VPORT>(z)) names.emplace_back(z->name());
    return names;
}

namespace {

bool from_camera(const CAMERA* c, PreviewCamera* out) {
    if (!vec3_finite(c->position) || !vec3_finite(c->target)) return false;
    out->perspective = true;
    out->eye = {c->position.x, c->position.y, c->position.z};
    out->target = {c->target.x, c->target.y, c->target.z};
    const bool up_ok = vec3_finite(c->up) && (c->up.x != 0 || c->up.y != 0 || c->up.z != 0);
    out->up = up_ok ? Vec3d{c->up.x, c->up.y, c->up.z} : Vec3d{0, 0, 1};
    out->lens = std::isfinite(c->lens) && c->lens > 0.05 ? c->lens : 1.0;
    return true;
}

}  // namespace

bool preview_camera_of(MODEL* model, const std::string& name, PreviewCamera* out) {
    if (!model) return false;
    if (auto* c = rtc_cast<CAMERA>(model_find_named(model, name.c_str(), &CAMERA::rtc_class))) return from_camera(c, out);
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model)) {
        auto* p = rtc_cast<VPORT>(z);
        if (!p || name != p->name()) continue;
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(p->params[i])) return false;
        Matrix43 inv;
        out->perspective = false;
        mat_rotate_xyz(&out->view, &inv, p->params[0], p->params[1], p->params[2]);
        return true;
    }
    return false;
}

bool preview_camera_at_frame(MODEL* copy, const std::string& name, int32_t frame, PreviewCamera* out) {
    auto* c = copy ? rtc_cast<CAMERA>(model_find_named(copy, name.c_str(), &CAMERA::rtc_class)) : nullptr;
    if (!c) return false;
    copy->current_frame = frame;
    if (obj_apply_frame(c) == 1) camera_apply_frame(c, c, frame);
    return from_camera(c, out);
}

// ---- Camera commands

namespace {

bool place_ok(const PreviewCamera& at) {
    return vec3_finite_d(at.eye) && vec3_finite_d(at.target) && std::isfinite(at.lens) && at.lens > 0 &&
           (at.eye.x != at.target.x || at.eye.y != at.target.y || at.eye.z != at.target.z);
}

void put(CAMERA* c, const PreviewCamera& at) {
    c->position = {float(at.eye.x), float(at.eye.y), float(at.eye.z)};
    c->target = {float(at.target.x), float(at.target.y), float(at.target.z)};
    c->lens = at.lens;
    camera_apply_frame(c, c, -1);  // up and side from the line of sight and the roll
}

}  // namespace

int camera_commit_new(MODEL* model, const PreviewCamera& at, std::string* name) {
    if (!model || !place_ok(at)) return kBadArgument;
    auto cam = rtc_make<CAMERA>();
    if (!cam) return kOutOfMemory;
    if (int rc = obj_default_name(model, cam.get(), 0, nullptr)) return rc;
    put(cam.get(), at);
    CONTAINER* layer = rtc_cast<LAYER>(model->first_child());
    if (!layer) return kBadArgument;
    if (int rc = model_add_object(layer, cam.get(), edit_record_depth(), 1)) return rc;
    if (name) *name = cam->name();
    cam.release();
    edit_trim_undo(model);
    return 0;
}

int camera_commit_changed(MODEL* model, const std::string& name, const PreviewCamera& at) {
    auto* old = model ? rtc_cast<CAMERA>(model_find_named(model, name.c_str(), &CAMERA::rtc_class)) : nullptr;
    if (!old || !place_ok(at)) return kBadArgument;
    auto* home = rtc_cast<CONTAINER>(old->parent);
    if (!home) return kBadArgument;
    std::unique_ptr<RTC> copy;
    if (rtc_clone(&copy, old) != 0 || !copy) return kOutOfMemory;
    auto* cam = static_cast<CAMERA*>(copy.get());
    put(cam, at);
    // The old camera leaves and its moved copy comes in, in one undo level.
    if (int rc = model_delete_object(old, edit_record_depth(), 1)) return rc;
    if (int rc = model_add_object(home, cam, edit_record_depth(), 0)) {
        model_rollback(model);
        return rc;
    }
    copy.release();
    edit_trim_undo(model);
    return 0;
}
