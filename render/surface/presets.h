// The built-in texture presets: 44 colour presets (texture and reflection slots) and
// 5 bump presets, each a pattern kind with its parameters and a static colour ramp.
// The material editor, the importers and the ray tracer's scene set-up fill slots
// from them; drawing files store a preset ramp by its negative id only.
//
// The tables and their ramps are static and read-only: ramps are shared by pointer
// (their reference count is the preset's negative id) and never copied or freed.
#pragma once

#include <cstdint>

#include "model/material/material.h"

// One preset row.
struct TexturePreset {
    int16_t base_value;  // shown by the material editor
    int16_t ref_size;    // the renderers divide it by the smaller image side
    int16_t kind;        // texture kind (bump kind for the bump table)
    uint8_t octaves;
    uint8_t zero;
    int16_t frequency;
    float turbulence;
    ColourRamp ramp;  // static: refcount is the preset id
};

// A table: its rows and the material slot it fills. The two colour tables share
// their rows.
struct TexturePresetTable {
    int32_t count;
    TexturePreset* rows;
    int32_t slot;          // kSlotTexture, kSlotBump or kSlotReflection
    int32_t first_name;    // string id of row 0's name (rows follow in order)
};

extern const TexturePresetTable kPresetsTexture;     // slot 0
extern const TexturePresetTable kPresetsReflection;  // slot 2 (same rows)
extern const TexturePresetTable kPresetsBump;        // slot 1

// Fills the table's slot of m from row `row`: kind, shared ramp, frequency, phase 0,
// turbulence (all three components, on when not 0), octaves, noise_amount 0.05.
// Returns the turbulence flag (0 or 1), or -1 with nothing changed for a row outside
// the table or a null material.
int texture_preset_apply(MaterialRecord* m, const TexturePresetTable* table, int32_t row);
// The first row that the table's slot of m matches (kind, ramp id, frequency, phase 0
// and the three turbulence values); the row's octaves are copied into the slot. -1
// when the slot has no ramp or no row matches.
int32_t texture_preset_match(MaterialRecord* m, const TexturePresetTable* table);
// The row that a slot matches as texture_preset_match does, without writing the slot.
int32_t texture_preset_find_row(const TextureSlot* s, const TexturePresetTable* table);
// The matched row's reference size, 1 when no row matches. Reads m only.
int32_t texture_preset_ref_size(const TexturePresetTable* table, const MaterialRecord* m);
// Row i's base value, 0 outside the table.
double texture_preset_base_value(const TexturePresetTable* table, int32_t i);
// The static ramp of the first row with this id, or null.
ColourRamp* texture_preset_find_ramp(const TexturePresetTable* table, int32_t id);
// The same for the drawing file reader: table 0 the colour presets, 1 the bump presets.
ColourRamp* texture_preset_ramp_for_file(int table, int32_t id);
// Installs texture_preset_ramp_for_file as the file reader's preset finder (once at
// start-up; the renderer's one-time set-up calls it too).
void texture_presets_install();
