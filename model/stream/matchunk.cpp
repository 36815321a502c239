// Materials, texture slots and transforms as chunks of the native drawing file.
// Floats are stored as doubles or as whole hundredths; a value the hundredths (or
// whole numbers) do not give back bit for bit is also kept exactly in a chunk 1038
// behind them. The readers take the sub-chunks they know in any order and skip the rest.
#include "model/stream/matchunk.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"

namespace {

std::atomic<PresetRampFinder> g_preset_finder{nullptr};

constexpr uint32_t kTagTransform = 1025;
constexpr uint32_t kTagAttributes = 1026;
constexpr uint32_t kTagSlot1 = 1027;
constexpr uint32_t kTagSlot2 = 1028;
constexpr uint32_t kTagSlotHeader = 1029;
constexpr uint32_t kTagRamp = 1030;
constexpr uint32_t kTagMapping = 1031;
constexpr uint32_t kTagImageName = 1032;
constexpr uint32_t kTagPattern = 1033;
constexpr uint32_t kTagSlot3 = 1034;
constexpr uint32_t kTagSmoothing = 1035;
constexpr uint32_t kTagPlacement = 1036;
constexpr uint32_t kTagImageFileName = 1037;
constexpr uint32_t kTagExact = 1038;  // in material and slot chunks

constexpr const char* kNoImageName = "<NONE>";

// A double from the file as a float; finite values beyond the float range are clamped.
inline float to_float(double v) {
    if (v > FLT_MAX && std::isfinite(v)) return FLT_MAX;
    if (v < -FLT_MAX && std::isfinite(v)) return -FLT_MAX;
    return static_cast<float>(v);
}

// A float as a whole number (truncated toward zero), clamped to int32.
inline int32_t truncated(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

inline void put_signed(IOstream* s, int32_t v) {
    io_put_varint(s, static_cast<uint32_t>(v));
}

// What a value stored as hundredths (or as a whole number) reads back as.
inline float from_stored(int32_t stored, bool whole) {
    return whole ? static_cast<float>(stored) : static_cast<float>(stored * 0.01);
}
inline int32_t to_stored(float v, bool whole) {
    return whole ? truncated(v) : io_hundredths(v);
}
inline float hundredths_back(IOstream* s) {
    return from_stored(io_get_varint_signed(s), false);
}

// Whether `v` stored coarsely reads back with other bits.
inline bool coarse_loses(float v, bool whole) {
    const float back = from_stored(to_stored(v, whole), whole);
    return std::memcmp(&back, &v, sizeof v) != 0;
}

// A float as its four bytes.
inline void put_bits(IOstream* s, float v) {
    int32_t bits;
    std::memcpy(&bits, &v, 4);
    io_put_long(s, bits);
}
inline float get_bits(IOstream* s) {
    const int32_t bits = io_get_long(s);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

}  // namespace

PresetRampFinder io_set_preset_ramp_finder(PresetRampFinder finder) {
    return g_preset_finder.exchange(finder);
}

int32_t io_hundredths(double value) {
    // A float such as 0.29 is 0.28999999...: its hundredths are 29, not 28. Values
    // within a ten-thousandth of a hundredth of a whole number count as that number.
    double h = value * 100.0;
    const double nearest = std::nearbyint(h);
    if (std::fabs(h - nearest) < 1e-4 * std::fmax(1.0, std::fabs(nearest))) h = nearest;
    return truncated(h);
}

// ---- Matrices, colours, transforms

void io_put_matrix(IOstream* s, const Matrix43* m) {
    for (double v : m->m) io_put_double(s, v);
}
void io_get_matrix(IOstream* s, Matrix43* m) {
    for (double& v : m->m) v = io_get_double(s);
}

void io_put_colour4(IOstream* s, const float* colour) {
    for (int i = 0; i < 4; ++i) io_put_double(s, colour[i]);
}
void io_get_colour4(IOstream* s, float* colour) {
    for (int i = 0; i < 4; ++i) colour[i] = to_float(io_get_double(s));
}

void io_put_transform(IOstream* s, const Transform* t, uint32_t tag) {
    if (!t) return;
    IoChunkWriter chunk(s, tag);
    io_put_matrix(s, &t->fwd);
    io_put_matrix(s, &t->inv);
}

void io_get_transform(IOstream* s, std::unique_ptr<Transform>& out) {
    std::unique_ptr<Transform> t = xform_new();
    if (!t) io_raise(s, kOutOfMemory);
    io_get_matrix(s, &t->fwd);
    io_get_matrix(s, &t->inv);
    out = std::move(t);
}

// ---- Texture slots

void io_put_texture_slot(IOstream* s, const TextureSlot* slot, uint32_t tag) {
    IoChunkWriter chunk(s, tag);
    {
        IoChunkWriter header(s, kTagSlotHeader);
        put_signed(s, slot->kind);
        put_signed(s, io_hundredths(slot->amount));
        put_signed(s, slot->mapping_mode);
    }
    io_put_transform(s, slot->transform.get(), kTagTransform);
    if (const ColourRamp* ramp = slot->ramp) {
        IoChunkWriter r(s, kTagRamp);
        put_signed(s, ramp->refcount);
        if (ramp->refcount >= 0) {
            const int32_t count = ramp->keys ? ramp->count : 0;
            put_signed(s, count < 0 ? 0 : count);
            for (int32_t i = 0; i < count; ++i) {
                const ColourRampKey& k = ramp->keys[i];
                io_put_double(s, k.position);
                const float colour[4] = {k.r, k.g, k.b, k.a};
                io_put_colour4(s, colour);
            }
        }
    }
    if (slot->kind == kTextureImage) {
        const TextureMapping& m = slot->mapping;
        {
            IoChunkWriter c(s, kTagMapping);
            put_signed(s, static_cast<int16_t>(m.interpolation));
            put_signed(s, static_cast<int16_t>(m.flags | kMappingCurrentWriter));
            io_put_double(s, m.u_scale);
            io_put_double(s, m.v_scale);
            io_put_matrix(s, &m.matrix);
            io_put_colour4(s, m.key_colour);
        }
        {
            IoChunkWriter c(s, kTagPlacement);
            io_put_double(s, m.u_offset);
            io_put_double(s, m.v_offset);
            io_put_double(s, m.angle);
            io_put_double(s, m.spare);
        }
        const MATRPATT* image = m.image;
        const bool plain_image = image && image->klass() == &MATRPATT::rtc_class;
        if (image && !plain_image) {
            IoChunkWriter c(s, kTagImageFileName);
            io_put_string(s, image->name());
        }
        IoChunkWriter c(s, kTagImageName);
        io_put_string(s, plain_image ? image->name() : kNoImageName);
    } else if (slot->kind >= kTexturePatternFirst && slot->kind <= kTexturePatternLast) {
        const PatternParams& p = slot->pattern;
        IoChunkWriter c(s, kTagPattern);
        for (float v : p.turbulence) io_put_double(s, v);
        io_put_double(s, p.frequency);
        io_put_double(s, p.phase);
        put_signed(s, io_hundredths(p.noise_amount));
        io_put_varint(s, p.octaves);
        io_put_varint(s, p.extra);
    }
    // The exact amount; for patterns also the exact noise amount and the turbulence
    // flag, which the reader of 1033 infers from the three turbulence values.
    const bool pattern = slot->kind >= kTexturePatternFirst && slot->kind <= kTexturePatternLast;
    const PatternParams& p = slot->pattern;
    const bool all_turbulent = p.turbulence[0] != 0 && p.turbulence[1] != 0 && p.turbulence[2] != 0;
    if (coarse_loses(slot->amount, false) ||
        (pattern && (coarse_loses(p.noise_amount, false) || p.turbulence_on != (all_turbulent ? 1 : 0)))) {
        IoChunkWriter c(s, kTagExact);
        put_bits(s, slot->amount);
        if (pattern) {
            put_bits(s, p.noise_amount);
            io_put_varint(s, p.turbulence_on);
        }
    }
}

void io_get_style_by_name(IOstream* s, MODEL* model, PATT** out, const RtcClass* cls) {
    const std::string name = io_get_string(s);
    *out = model ? model_find_patt(model, name.c_str(), cls) : nullptr;
}

namespace {

void read_ramp(IOstream* s, TextureSlot* slot, int ramp_table) {
    colour_ramp_release(&slot->ramp);
    slot->ramp = nullptr;
    const int32_t refcount = io_get_varint_signed(s);
    if (refcount < 0) {
        PresetRampFinder finder = g_preset_finder.load();
        slot->ramp = finder ? finder(ramp_table, refcount) : nullptr;
        return;
    }
    const int32_t count = io_get_varint_signed(s);
    io_check_count(s, count, 5 * 8);  // position and four colour doubles per key
    ColourRamp* ramp = nullptr;
    if (colour_ramp_new(&ramp, count) != 0) io_raise(s, kOutOfMemory);
    slot->ramp = ramp;  // owned by the slot from here on, also through a raise
    for (int32_t i = 0; ramp && i < count; ++i) {
        ColourRampKey& k = ramp->keys[i];
        k.position = io_get_double(s);
        float colour[4];
        io_get_colour4(s, colour);
        k.r = colour[0];
        k.g = colour[1];
        k.b = colour[2];
        k.a = colour[3];
    }
}

}  // namespace

void io_get_texture_slot(IOstream* s, TextureSlot* slot, MODEL* model, int ramp_table) {
    bool mapping_read = false;
    PATT* file_style = nullptr;
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        TextureMapping& m = slot->mapping;
        switch (sub.tag()) {
            case kTagTransform:
                io_get_transform(s, slot->transform);
                break;
            case kTagSlotHeader:
                slot->kind = io_get_varint_signed(s);
                slot->amount = hundredths_back(s);
                slot->mapping_mode = io_get_varint_signed(s);
                break;
            case kTagRamp:
                read_ramp(s, slot, ramp_table);
                break;
            case kTagMapping:
                m.interpolation = static_cast<uint16_t>(io_get_varint(s));
                m.flags = static_cast<uint16_t>(io_get_varint(s));
                m.u_scale = to_float(io_get_double(s));
                m.v_scale = to_float(io_get_double(s));
                io_get_matrix(s, &m.matrix);
                io_get_colour4(s, m.key_colour);
                mapping_read = true;
                break;
            case kTagPlacement:
                m.u_offset = to_float(io_get_double(s));
                m.v_offset = to_float(io_get_double(s));
                m.angle = to_float(io_get_double(s));
                m.spare = to_float(io_get_double(s));
                m.flags |= kMappingCurrentWriter;
                break;
            case kTagImageFileName:
                io_get_style_by_name(s, model, &file_style, &MATRPATT::rtc_class);
                break;
            case kTagImageName: {
                PATT* style = nullptr;
                io_get_style_by_name(s, model, &style, &MATRPATT::rtc_class);
                if (file_style) style = file_style;
                if (!mapping_read) io_raise(s, kBadArgument);
                if (style) {
                    m.image = static_cast<MATRPATT*>(style);
                } else {
                    slot->kind = kTextureNone;
                }
                break;
            }
            case kTagPattern: {
                PatternParams& p = slot->pattern;
                float scale[3];
                for (float& v : scale) v = to_float(io_get_double(s));
                std::memcpy(p.turbulence, scale, sizeof scale);
                if (scale[0] != 0 && scale[1] != 0 && scale[2] != 0) p.turbulence_on = 1;
                p.frequency = to_float(io_get_double(s));
                p.phase = to_float(io_get_double(s));
                p.noise_amount = hundredths_back(s);
                p.octaves = static_cast<uint8_t>(io_get_varint(s));
                p.extra = static_cast<uint8_t>(io_get_varint(s));
                break;
            }
            case kTagExact:
                slot->amount = get_bits(s);
                if (io_chunk_inside(s)) {
                    slot->pattern.noise_amount = get_bits(s);
                    slot->pattern.turbulence_on = static_cast<uint8_t>(io_get_varint(s));
                }
                break;
            default:
                break;
        }
    }
    // A kind this program does not know switches the slot off.
    if (slot->kind < kTextureNone || slot->kind > kTexturePatternLast) slot->kind = kTextureNone;
    if (slot->kind > kTextureImage && !slot->ramp) slot->kind = kTextureNone;
    if (slot->kind == kTextureImage) {
        TextureMapping& m = slot->mapping;
        if (m.flags & kMappingCurrentWriter) {
            m.flags &= static_cast<uint16_t>(~kMappingCurrentWriter);
        } else {
            // Older files keep the angle as quarter turns in the flags.
            m.angle = -static_cast<float>(m.flags & kMappingQuarterTurns) * 90.0f;
        }
        texture_mapping_build_matrix(&m.matrix, m.u_scale, m.v_scale, m.angle,
                                     (m.flags & kMappingMirrorU) != 0,
                                     (m.flags & kMappingMirrorV) != 0, m.u_offset, m.v_offset);
    }
}

// ---- Materials

namespace {

// Whether a slot holds anything beyond an empty slot's defaults. An empty slot can: the
// scene's fog is kept in the amounts of its texture and bump slots, which are usually
// empty.
bool slot_holds_values(const TextureSlot& t) {
    return t.kind != kTextureNone || t.amount != 1.0f || t.mapping_mode != kMappingModeSupplied ||
           t.transform || t.ramp;
}

// Shading values 1 to 10 in file order; the exponents are stored as whole numbers,
// the others as hundredths.
struct CoarseValue {
    float MaterialRecord::*field;
    bool whole;
};
constexpr CoarseValue kCoarseValues[] = {
    {&MaterialRecord::self_illumination, false}, {&MaterialRecord::transparency, false},
    {&MaterialRecord::diffuse, false},           {&MaterialRecord::diffuse_exponent, true},
    {&MaterialRecord::second_highlight, false},  {&MaterialRecord::second_highlight_exponent, true},
    {&MaterialRecord::shininess, false},         {&MaterialRecord::specular_exponent, true},
    {&MaterialRecord::randomness, false},        {&MaterialRecord::reflection_level, false}};

}  // namespace

void io_put_material(IOstream* s, const MaterialRecord* m, uint32_t tag) {
    IoChunkWriter chunk(s, tag);
    {
        IoChunkWriter a(s, kTagAttributes);
        io_put_colour4(s, m->colour);
        io_put_varint(s, m->flags);
        for (const CoarseValue& v : kCoarseValues) put_signed(s, to_stored(m->*v.field, v.whole));
        io_put_double(s, m->refraction);
    }
    const uint32_t slot_tags[kMaterialSlotCount] = {kTagSlot1, kTagSlot2, kTagSlot3};
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        if (slot_holds_values(m->slots[i])) io_put_texture_slot(s, &m->slots[i], slot_tags[i]);
    }
    {
        IoChunkWriter smoothing(s, kTagSmoothing);
        io_put_double(s, m->smoothing_angle);
    }
    const auto loses = [m](const CoarseValue& v) { return coarse_loses(m->*v.field, v.whole); };
    if (std::any_of(std::begin(kCoarseValues), std::end(kCoarseValues), loses)) {
        IoChunkWriter exact(s, kTagExact);
        for (const CoarseValue& v : kCoarseValues) put_bits(s, m->*v.field);
    }
}

void io_get_material(IOstream* s, MODEL* model, MaterialRecord* m) {
    bool slot_read[kMaterialSlotCount] = {false, false, false};
    while (io_chunk_inside(s)) {
        IoChunkReader sub(s);
        int slot = -1;
        switch (sub.tag()) {
            case kTagAttributes: {
                io_get_colour4(s, m->colour);
                m->flags = io_get_varint(s);
                for (const CoarseValue& v : kCoarseValues)
                    m->*v.field = from_stored(io_get_varint_signed(s), v.whole);
                const float refraction = to_float(io_get_double(s));
                m->refraction = refraction < 1.0f || std::isnan(refraction) ? 1.0f : refraction;
                break;
            }
            case kTagSlot1:
                slot = 0;
                break;
            case kTagSlot2:
                slot = 1;
                break;
            case kTagSlot3:
                slot = 2;
                break;
            case kTagSmoothing:
                m->smoothing_angle = to_float(io_get_double(s));
                break;
            case kTagExact:
                for (const CoarseValue& v : kCoarseValues) m->*v.field = get_bits(s);
                break;
            default:
                break;
        }
        if (slot >= 0 && !slot_read[slot]) {
            slot_read[slot] = true;
            io_get_texture_slot(s, &m->slots[slot], model, slot == 1 ? 1 : 0);
        }
    }
}
