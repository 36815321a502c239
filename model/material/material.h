// The material record: base colour, three texture slots and the shading constants
// that the renderers read at every shaded point, with the reference-counted colour
// ramps of procedural textures and the placement matrix of image maps.
//
// Ownership: a MaterialRecord owns, per slot, its Transform and its colour ramp
// (unless the ramp is a static preset). It never owns the image pattern an image
// mapping points at; that lives in the drawing's pattern ring. Records are not
// copyable by C++ copy: every copy goes through material_copy, which gives the
// destination its own transforms and ramps.
//
// Results: 0 success, 1 out of memory (callers report it as result code 8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/math/types.h"

class MATRPATT;  // image pattern object; the class lives in the drawing model

// ---- Colour ramps -----------------------------------------------------------

// One key: position in 0..1 (keys are kept in ascending position), then red,
// green, blue in 0..1 and a fourth component.
struct ColourRampKey {
    double position;
    float r, g, b, a;
};

// refcount 0 means one holder; each further holder adds one. A negative refcount
// marks a static preset ramp (its value is the preset's negative id, -1 to -44):
// it is shared by pointer and never copied, counted or freed.
struct ColourRamp {
    int32_t count;
    int32_t refcount;
    ColourRampKey* keys;  // owned; count keys, null when count is 0
};

// Stores a new ramp with n zeroed keys and refcount 0 in *out. n <= 0 stores null
// and returns 0; out of memory stores null and returns 8.
[[nodiscard]] int colour_ramp_new(ColourRamp** out, int32_t n);

// Stores n zeroed keys in *out (null for n <= 0). 0, or 8 with null stored when out
// of memory. The keys are freed with delete[].
[[nodiscard]] int colour_ramp_alloc_keys(ColourRampKey** out, int32_t n);

// Stores in *out a ramp for a new holder of src: null for null, src itself for a
// static preset, otherwise a fresh copy with the same keys and refcount 0. What *out
// held before is overwritten, not released. 0, or 8 with null stored when out of
// memory.
[[nodiscard]] int colour_ramp_copy(ColourRamp** out, const ColourRamp* src);

// Copies n keys; does nothing when either pointer is null or n <= 0.
void colour_ramp_copy_keys(ColourRampKey* dst, const ColourRampKey* src, int32_t n);

// Drops the holder's reference to *p. A null pointer or a static preset is left
// alone. Otherwise the count goes down by one (the ramp is freed when it falls below
// 0) and *p is cleared, since the holder no longer has a reference.
void colour_ramp_release(ColourRamp** p);

// ---- Procedural pattern parameters -------------------------------------------

// Stored field by field in files (27 bytes, no padding); in memory it is naturally
// aligned.
struct PatternParams {
    uint8_t turbulence_on;  // 1 when turbulence differs from (0, 0, 0)
    float turbulence[3];    // per axis
    float frequency;        // ramp repetitions
    float phase;            // ramp phase
    float noise_amount;     // mortar width of the brick pattern
    uint8_t octaves;        // noise octaves summed
    uint8_t extra;          // kept and stored, not read by the evaluators
};

// Mask bits of pattern_params_copy_masked; -1 copies everything.
inline constexpr int32_t kPatternCopyTurbulence = 1;  // also recomputes turbulence_on
inline constexpr int32_t kPatternCopyFrequency = 2;
inline constexpr int32_t kPatternCopyPhase = 4;
inline constexpr int32_t kPatternCopyOctaves = 8;
inline constexpr int32_t kPatternCopyNoiseAmount = 16;
inline constexpr int32_t kPatternCopyExtra = 32;
inline constexpr int32_t kPatternCopyAll = -1;

// Defaults: no turbulence, frequency 1, phase 0, noise_amount 0.2, octaves 4, extra 2.
void pattern_params_init(PatternParams* p);

// Copies the fields that mask selects from src to dst.
void pattern_params_copy_masked(PatternParams* dst, const PatternParams* src, int32_t mask);

// ---- Image mapping ------------------------------------------------------------

// Bits of TextureMapping::flags.
inline constexpr uint16_t kMappingQuarterTurns = 3;  // old files: angle = -90 deg x count
inline constexpr uint16_t kMappingMirrorU = 4;
inline constexpr uint16_t kMappingMirrorV = 8;
inline constexpr uint16_t kMappingNoTiling = 16;         // map applies inside the unit tile only
inline constexpr uint16_t kMappingDecal = 32;            // keep the map's coverage component
inline constexpr uint16_t kMappingImageCoverage = 64;    // use the image's coverage; key colour
inline constexpr uint16_t kMappingRampInvert = 128;      // invert the value looked up in the ramp
inline constexpr uint16_t kMappingRampCoverage = 256;    // look the coverage up in the ramp
inline constexpr uint16_t kMappingRampLuminance = 512;   // look the luminance up in the ramp
inline constexpr uint16_t kMappingCurrentWriter = 2048;  // set by the current file writer

// Mask bits of texture_mapping_copy_masked.
inline constexpr int32_t kMappingCopyInterpolation = 1;
inline constexpr int32_t kMappingCopyAngle = 2;  // with flag bits 1, 2, 4, 8
inline constexpr int32_t kMappingCopyDecal = 4;
inline constexpr int32_t kMappingCopyVScale = 8;
inline constexpr int32_t kMappingCopyUScale = 16;
inline constexpr int32_t kMappingCopyImage = 32;
inline constexpr int32_t kMappingCopyVOffset = 64;
inline constexpr int32_t kMappingCopyUOffset = 128;

// Sampling kinds: the default of a mapping, and the reflection page's default.
inline constexpr uint16_t kInterpolationDefault = 1;
inline constexpr uint16_t kInterpolationReflectionDefault = 3;

// Placement of an image map. Texture space runs u 0..1 to the right and v 0..-1
// downwards.
struct TextureMapping {
    uint16_t interpolation;  // sampling kind
    uint16_t flags;          // kMapping* bits
    float u_scale, v_scale;  // tiling
    float u_offset, v_offset;
    float angle;          // degrees
    float spare;          // stored in files, not used by the matrix
    Matrix43 matrix;      // built by texture_mapping_build_matrix from the fields above
    float key_colour[4];  // first pixel of the image / 255 when kMappingImageCoverage
    MATRPATT* image;      // not owned
};

// Defaults: interpolation 1, no flags, scales 1, offsets, angle and spare 0,
// identity matrix, key colour 0, no image.
void texture_mapping_init(TextureMapping* m);

// Rebuilds the mapping matrix (row vectors, a point times the matrix): the point is
// scaled by (u_scale, v_scale), shifted by (-u_offset, -v_offset), turned by
// angle_deg about the centre (0.5, -0.5) of the unit tile (x' = x cos - y sin,
// y' = x sin + y cos), then mirrored: x -> 1 - x with mirror_u, y -> 1 - y with
// mirror_v. z passes through.
void texture_mapping_build_matrix(Matrix43* m, double u_scale, double v_scale, double angle_deg,
                                  bool mirror_u, bool mirror_v, double u_offset, double v_offset);

// ---- Texture slots ------------------------------------------------------------

// TextureSlot::kind.
inline constexpr int32_t kTextureNone = 0;
inline constexpr int32_t kTextureImage = 1;
inline constexpr int32_t kTexturePatternFirst = 2;
inline constexpr int32_t kTexturePatternLast = 16;
// Pattern kinds whose shape is drawn without turbulence.
inline constexpr int32_t kTextureAgate = 9;
inline constexpr int32_t kTextureStrips = 11;
inline constexpr int32_t kTextureWood = 12;

// TextureSlot::mapping_mode: projection from a surface point to texture coordinates.
inline constexpr int32_t kMappingModeSupplied = 0;  // coordinates given by the caller
inline constexpr int32_t kMappingModePoint = 1;     // the point as given, no slot transform
inline constexpr int32_t kMappingModePlanar = 2;
inline constexpr int32_t kMappingModeCylindrical = 3;
inline constexpr int32_t kMappingModeSpherical = 4;
// The mode a new image map of an object's texture or bump slot starts on: grid meshes
// made in the program get coordinates of their own, spanning each block once.
inline constexpr int32_t kMappingModeNewImage = kMappingModePoint;

// One texture slot. Kind 1 uses `mapping`, kinds 2..16 use `pattern`; both share the
// same bytes, which are all zero in an empty slot. Destroying a slot releases its ramp
// and frees its transform.
struct TextureSlot {
    int32_t kind;
    float amount;  // blend weight: texture x amount + base x (1 - amount)
    int32_t mapping_mode;
    std::unique_ptr<Transform> transform;  // texture placement on the object, or null
    ColourRamp* ramp;                      // owned unless a static preset; or null
    union {
        TextureMapping mapping;
        PatternParams pattern;
    };

    TextureSlot();
    ~TextureSlot();
    TextureSlot(const TextureSlot&) = delete;
    TextureSlot& operator=(const TextureSlot&) = delete;
};

// Size of the union in TextureSlot: the bytes copied when a slot's parameters are copied.
inline constexpr size_t kTextureParamsSize = sizeof(TextureMapping) > sizeof(PatternParams)
                                                 ? sizeof(TextureMapping)
                                                 : sizeof(PatternParams);

// ---- Material record ----------------------------------------------------------

// Bits of MaterialRecord::flags. Faceted shading is neither 2 nor 16.
inline constexpr uint32_t kMaterialColourHighlight = 1;  // highlights take the surface colour
inline constexpr uint32_t kMaterialSmoothAlways = 2;     // average normals over all faces
inline constexpr uint32_t kMaterialMappingType = 4;      // grid meshes' own mapping coordinates
inline constexpr uint32_t kMaterialSmoothGroups = 8;     // smoothing-group masks of imports
inline constexpr uint32_t kMaterialSmoothByAngle = 16;   // smoothing_angle applies

inline constexpr int kSlotTexture = 0;
inline constexpr int kSlotBump = 1;
inline constexpr int kSlotReflection = 2;
inline constexpr int kMaterialSlotCount = 3;

inline constexpr float kDefaultSmoothingAngle = 0.52359877559829887f;  // 30 degrees

struct MaterialRecord {
    float colour[4];                        // red, green, blue in 0..1, then a fourth component
    TextureSlot slots[kMaterialSlotCount];  // texture, bump, reflection
    float self_illumination;                // added to the ambient level
    float transparency;                     // 0..1
    float diffuse;                          // no diffuse term unless above 0
    float diffuse_exponent;                 // applied when not exactly 1
    float second_highlight;                 // no term when 0
    float second_highlight_exponent;        // applied when not exactly 1
    float shininess;                        // no highlight unless above 0
    float specular_exponent;                // applied when not exactly 1
    float randomness;                       // diffuse noise, when above 0
    float reflection_level;                 // weight of the reflected colour
    float refraction;                       // index of refraction, 1..3 in the editor
    uint32_t flags;                         // kMaterial* bits
    float smoothing_angle;                  // radians, for kMaterialSmoothByAngle

    MaterialRecord();  // the defaults of material_init
    MaterialRecord(const MaterialRecord&) = delete;
    MaterialRecord& operator=(const MaterialRecord&) = delete;
};

// Resets a record to its defaults: colour 0, three empty slots (kind 0, amount 1,
// mode 0, no transform, no ramp, parameters zero), diffuse 1, diffuse_exponent 1,
// second_highlight_exponent 20, shininess 0.4, specular_exponent 40,
// reflection_level 0.25, refraction 1, flags kMaterialSmoothAlways, smoothing angle
// 30 degrees, everything else 0. Ramps and transforms the record held are released.
void material_init(MaterialRecord* m);

// A heap record set to its defaults, or null when out of memory. Free it with
// material_free.
MaterialRecord* material_new();

// Deep copy of src into dst: dst gets its own slot transforms and ramps (static
// preset ramps are shared); image pattern pointers are shared. Copying a record onto
// itself changes nothing. 0, or 8 when out of memory: then the slots copied so far
// are complete and the others have neither ramp nor transform, so dst never shares a
// pointer with src except static ramps and images.
[[nodiscard]] int material_copy(MaterialRecord* dst, const MaterialRecord* src);

// Exchanges the whole contents of two records, slots with their ramps and transforms.
// Allocates nothing, so it cannot fail: a caller that must change a record only when a
// deep copy succeeded copies into a scratch record first and swaps it in.
void material_swap(MaterialRecord* a, MaterialRecord* b);

// Whether two records hold the same material: the same bytes in every field, slot
// parameters and placements, and ramps with the same keys (the same images and static
// ramps by pointer).
bool material_same(const MaterialRecord& a, const MaterialRecord& b);

// Frees *m with its ramps and transforms and clears the pointer. Null m or *m is a
// no-op.
void material_free(MaterialRecord** m);

// ---- Testing ------------------------------------------------------------------

// Makes the n-th allocation from now (1 = the next) by this module on the calling
// thread fail as if memory had run out; n <= 0 turns failure injection off.
void material_fail_allocation_after(int n);
