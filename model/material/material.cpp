// The material record: defaults, deep copy and release of records, colour ramps,
// procedural pattern parameters and the image-mapping matrix.
#include "model/material/material.h"

#include "model/math/result.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "model/math/matrix.h"
#include "model/math/scalar.h"

static_assert(sizeof(TextureMapping) >= sizeof(PatternParams),
              "the slot parameters take the size of the image mapping");

namespace {

// Allocation-failure injection for tests: counts down to the allocation that fails.
thread_local int g_fail_countdown = 0;

bool allocation_fails() {
    if (g_fail_countdown <= 0) return false;
    return --g_fail_countdown == 0;
}

void free_ramp(ColourRamp* r) {
    delete[] r->keys;
    delete r;
}

// Copies src into the transform buffer dst, making the buffer when it is missing.
int copy_transform(std::unique_ptr<Transform>& dst, const Transform* src) {
    if (src && !dst && allocation_fails()) return 1;
    return xform_assign(dst, src);
}

// Clears a slot's owned pointers and resets it to the empty slot.
void slot_reset(TextureSlot& s) {
    colour_ramp_release(&s.ramp);
    s.ramp = nullptr;  // a static preset is left alone by the release
    s.transform.reset();
    s.kind = kTextureNone;
    s.amount = 1.0f;
    s.mapping_mode = kMappingModeSupplied;
    std::memset(static_cast<void*>(&s.mapping), 0, kTextureParamsSize);
}

void set_defaults(MaterialRecord* m) {
    for (float& c : m->colour) c = 0.0f;
    m->self_illumination = 0.0f;
    m->transparency = 0.0f;
    m->diffuse = 1.0f;
    m->diffuse_exponent = 1.0f;
    m->second_highlight = 0.0f;
    m->second_highlight_exponent = 20.0f;
    m->shininess = 0.4f;
    m->specular_exponent = 40.0f;
    m->randomness = 0.0f;
    m->reflection_level = 0.25f;
    m->refraction = 1.0f;
    m->flags = kMaterialSmoothAlways;
    m->smoothing_angle = kDefaultSmoothingAngle;
}

}  // namespace

void material_fail_allocation_after(int n) {
    g_fail_countdown = n > 0 ? n : 0;
}

// ---- Colour ramps -----------------------------------------------------------

int colour_ramp_alloc_keys(ColourRampKey** out, int32_t n) {
    *out = nullptr;
    if (n <= 0) return 0;
    if (allocation_fails()) return kOutOfMemory;
    *out = new (std::nothrow) ColourRampKey[static_cast<size_t>(n)]();
    return *out ? 0 : kOutOfMemory;
}

int colour_ramp_new(ColourRamp** out, int32_t n) {
    *out = nullptr;
    if (n <= 0) return 0;
    if (allocation_fails()) return kOutOfMemory;
    ColourRamp* r = new (std::nothrow) ColourRamp{n, 0, nullptr};
    if (!r) return kOutOfMemory;
    if (colour_ramp_alloc_keys(&r->keys, n) != 0) {
        delete r;
        return kOutOfMemory;
    }
    *out = r;
    return 0;
}

int colour_ramp_copy(ColourRamp** out, const ColourRamp* src) {
    *out = nullptr;
    if (!src) return 0;
    if (src->refcount < 0) {
        // Static presets are shared by pointer; no ramp routine ever writes to one.
        *out = const_cast<ColourRamp*>(src);
        return 0;
    }
    if (allocation_fails()) return kOutOfMemory;
    ColourRamp* r = new (std::nothrow) ColourRamp{src->count > 0 ? src->count : 0, 0, nullptr};
    if (!r) return kOutOfMemory;
    if (colour_ramp_alloc_keys(&r->keys, r->count) != 0) {
        delete r;
        return kOutOfMemory;
    }
    colour_ramp_copy_keys(r->keys, src->keys, r->count);
    *out = r;
    return 0;
}

void colour_ramp_copy_keys(ColourRampKey* dst, const ColourRampKey* src, int32_t n) {
    if (!dst || !src || n <= 0) return;
    std::memmove(dst, src, static_cast<size_t>(n) * sizeof(ColourRampKey));
}

void colour_ramp_release(ColourRamp** p) {
    if (!p || !*p || (*p)->refcount < 0) return;
    ColourRamp* r = *p;
    *p = nullptr;
    if (--r->refcount < 0) free_ramp(r);
}

// ---- Procedural pattern parameters -------------------------------------------

void pattern_params_init(PatternParams* p) {
    p->turbulence_on = 0;
    p->turbulence[0] = p->turbulence[1] = p->turbulence[2] = 0.0f;
    p->frequency = 1.0f;
    p->phase = 0.0f;
    p->noise_amount = 0.2f;
    p->octaves = 4;
    p->extra = 2;
}

void pattern_params_copy_masked(PatternParams* dst, const PatternParams* src, int32_t mask) {
    const uint32_t bits = static_cast<uint32_t>(mask);
    if (bits & kPatternCopyTurbulence) {
        for (int i = 0; i < 3; ++i) dst->turbulence[i] = src->turbulence[i];
        dst->turbulence_on =
            (dst->turbulence[0] != 0.0f || dst->turbulence[1] != 0.0f || dst->turbulence[2] != 0.0f)
                ? 1
                : 0;
    }
    if (bits & kPatternCopyFrequency) dst->frequency = src->frequency;
    if (bits & kPatternCopyPhase) dst->phase = src->phase;
    if (bits & kPatternCopyOctaves) dst->octaves = src->octaves;
    if (bits & kPatternCopyNoiseAmount) dst->noise_amount = src->noise_amount;
    if (bits & kPatternCopyExtra) dst->extra = src->extra;
}

// ---- Image mapping ------------------------------------------------------------

void texture_mapping_init(TextureMapping* m) {
    m->interpolation = kInterpolationDefault;
    m->flags = 0;
    m->u_scale = m->v_scale = 1.0f;
    m->u_offset = m->v_offset = 0.0f;
    m->angle = 0.0f;
    m->spare = 0.0f;
    mat_identity(&m->matrix);
    for (float& c : m->key_colour) c = 0.0f;
    m->image = nullptr;
}

void texture_mapping_build_matrix(Matrix43* m, double u_scale, double v_scale, double angle_deg,
                                  bool mirror_u, bool mirror_v, double u_offset, double v_offset) {
    Matrix43 step;
    auto translate = [&step](double x, double y) {
        mat_identity(&step);
        step.m[9] = x;
        step.m[10] = y;
    };

    // Shift by the offsets, then turn about the centre of the unit tile; v runs
    // downwards, so the centre is (0.5, -0.5).
    mat_identity(m);
    m->m[9] = -u_offset;
    m->m[10] = -v_offset;
    translate(-0.5, 0.5);
    mat_mul(m, m, &step);

    const double a = deg_to_rad(angle_deg);
    const double c = std::cos(a), s = std::sin(a);
    mat_identity(&step);
    step.m[0] = c;
    step.m[1] = s;
    step.m[3] = -s;
    step.m[4] = c;
    mat_mul(m, m, &step);

    translate(0.5, -0.5);
    mat_mul(m, m, &step);

    // Scaling the first two rows scales the incoming point before everything else.
    for (int i = 0; i < 3; ++i) {
        m->m[i] *= u_scale;
        m->m[3 + i] *= v_scale;
    }

    if (mirror_u) {
        translate(1.0, 0.0);
        step.m[0] = -1.0;
        mat_mul(m, m, &step);
    }
    if (mirror_v) {
        translate(0.0, 1.0);
        step.m[4] = -1.0;
        mat_mul(m, m, &step);
    }
}

// ---- Texture slots and the material record -----------------------------------

TextureSlot::TextureSlot()
    : kind(kTextureNone), amount(1.0f), mapping_mode(kMappingModeSupplied), ramp(nullptr) {
    std::memset(static_cast<void*>(&mapping), 0, kTextureParamsSize);
}

TextureSlot::~TextureSlot() {
    colour_ramp_release(&ramp);
}

MaterialRecord::MaterialRecord() {
    set_defaults(this);
}

void material_init(MaterialRecord* m) {
    if (!m) return;
    for (TextureSlot& s : m->slots) slot_reset(s);
    set_defaults(m);
}

MaterialRecord* material_new() {
    if (allocation_fails()) return nullptr;
    return new (std::nothrow) MaterialRecord();
}

int material_copy(MaterialRecord* d, const MaterialRecord* s) {
    if (!d || !s || d == s) return 0;

    std::memcpy(d->colour, s->colour, sizeof d->colour);
    d->self_illumination = s->self_illumination;
    d->transparency = s->transparency;
    d->diffuse = s->diffuse;
    d->diffuse_exponent = s->diffuse_exponent;
    d->second_highlight = s->second_highlight;
    d->second_highlight_exponent = s->second_highlight_exponent;
    d->shininess = s->shininess;
    d->specular_exponent = s->specular_exponent;
    d->randomness = s->randomness;
    d->reflection_level = s->reflection_level;
    d->refraction = s->refraction;
    d->flags = s->flags;
    d->smoothing_angle = s->smoothing_angle;

    for (int i = 0; i < kMaterialSlotCount; ++i) {
        TextureSlot& ds = d->slots[i];
        const TextureSlot& ss = s->slots[i];
        ds.kind = ss.kind;
        ds.amount = ss.amount;
        ds.mapping_mode = ss.mapping_mode;
        std::memcpy(static_cast<void*>(&ds.mapping), &ss.mapping, kTextureParamsSize);
        // d keeps its transform buffers for the slots where s has a transform.
        if (!ss.transform) ds.transform.reset();
    }

    for (int i = 0; i < kMaterialSlotCount; ++i) {
        TextureSlot& ds = d->slots[i];
        const TextureSlot& ss = s->slots[i];
        // The new ramp is made before the old one is released, so a ramp that d and
        // s both hold survives until it has been copied.
        ColourRamp* ramp = nullptr;
        int rc = colour_ramp_copy(&ramp, ss.ramp);
        if (rc == 0) rc = copy_transform(ds.transform, ss.transform.get());
        if (rc != 0) {
            colour_ramp_release(&ramp);
            for (int j = i; j < kMaterialSlotCount; ++j) {
                colour_ramp_release(&d->slots[j].ramp);
                d->slots[j].ramp = nullptr;
                d->slots[j].transform.reset();
            }
            return kOutOfMemory;
        }
        colour_ramp_release(&ds.ramp);
        ds.ramp = ramp;
    }
    return 0;
}

void material_swap(MaterialRecord* a, MaterialRecord* b) {
    if (!a || !b || a == b) return;
    std::swap(a->colour, b->colour);
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        TextureSlot& x = a->slots[i];
        TextureSlot& y = b->slots[i];
        std::swap(x.kind, y.kind);
        std::swap(x.amount, y.amount);
        std::swap(x.mapping_mode, y.mapping_mode);
        x.transform.swap(y.transform);
        std::swap(x.ramp, y.ramp);
        unsigned char params[kTextureParamsSize];
        std::memcpy(params, static_cast<const void*>(&x.mapping), kTextureParamsSize);
        std::memcpy(static_cast<void*>(&x.mapping), &y.mapping, kTextureParamsSize);
        std::memcpy(static_cast<void*>(&y.mapping), params, kTextureParamsSize);
    }
    std::swap(a->self_illumination, b->self_illumination);
    std::swap(a->transparency, b->transparency);
    std::swap(a->diffuse, b->diffuse);
    std::swap(a->diffuse_exponent, b->diffuse_exponent);
    std::swap(a->second_highlight, b->second_highlight);
    std::swap(a->second_highlight_exponent, b->second_highlight_exponent);
    std::swap(a->shininess, b->shininess);
    std::swap(a->specular_exponent, b->specular_exponent);
    std::swap(a->randomness, b->randomness);
    std::swap(a->reflection_level, b->reflection_level);
    std::swap(a->refraction, b->refraction);
    std::swap(a->flags, b->flags);
    std::swap(a->smoothing_angle, b->smoothing_angle);
}

namespace {

bool same_ramp(const ColourRamp* a, const ColourRamp* b) {
    if (a == b) return true;
    if (!a || !b || a->refcount < 0 || b->refcount < 0 || a->count != b->count) return false;
    return a->count <= 0 || std::memcmp(a->keys, b->keys, sizeof(ColourRampKey) * size_t(a->count)) == 0;
}

bool same_transform(const Transform* a, const Transform* b) {
    if (!a || !b) return a == b;
    return std::memcmp(&a->fwd, &b->fwd, sizeof a->fwd) == 0 && std::memcmp(&a->inv, &b->inv, sizeof a->inv) == 0;
}

}  // namespace

bool material_same(const MaterialRecord& a, const MaterialRecord& b) {
    if (std::memcmp(a.colour, b.colour, sizeof a.colour) != 0) return false;
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        const TextureSlot& x = a.slots[i];
        const TextureSlot& y = b.slots[i];
        if (x.kind != y.kind || std::memcmp(&x.amount, &y.amount, sizeof x.amount) != 0 ||
            x.mapping_mode != y.mapping_mode || !same_transform(x.transform.get(), y.transform.get()) ||
            !same_ramp(x.ramp, y.ramp) ||
            std::memcmp(static_cast<const void*>(&x.mapping), static_cast<const void*>(&y.mapping),
                        kTextureParamsSize) != 0)
            return false;
    }
    const auto scalars = [](const MaterialRecord& m) { return reinterpret_cast<const unsigned char*>(&m.self_illumination); };
    const size_t bytes = size_t(reinterpret_cast<const unsigned char*>(&a.smoothing_angle + 1) - scalars(a));
    return std::memcmp(scalars(a), scalars(b), bytes) == 0;
}

void material_free(MaterialRecord** m) {
    if (!m) return;
    delete *m;
    *m = nullptr;
}
