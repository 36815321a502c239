// The preset tables: apply then match for every row, refusals, ramps found by id and
// a preset ramp through the drawing file.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/stream/matchunk.h"
#include "render/surface/presets.h"
#include "tests/stream/stream_support.h"

TEST(Presets, ApplyThenMatchEveryRow) {
    const TexturePresetTable* tables[] = {&kPresetsTexture, &kPresetsReflection, &kPresetsBump};
    int rows = 0;
    for (const TexturePresetTable* t : tables) {
        for (int32_t row = 0; row < t->count; ++row) {
            MaterialRecord m;
            const int on = texture_preset_apply(&m, t, row);
            const TextureSlot& s = m.slots[t->slot];
            EXPECT_EQ(on, t->rows[row].turbulence != 0.0f ? 1 : 0);
            EXPECT_EQ(s.ramp, &t->rows[row].ramp);
            EXPECT_EQ(s.pattern.noise_amount, 0.05f);
            m.slots[t->slot].pattern.octaves = 99;
            // Rows with equal parameters share their first match's id only when the
            // ramps are the same; every row's id is unique, so match finds the row.
            EXPECT_EQ(texture_preset_match(&m, t), row) << t->first_name + row;
            EXPECT_EQ(s.pattern.octaves, t->rows[row].octaves);
            EXPECT_EQ(texture_preset_ref_size(t, &m), t->rows[row].ref_size);
            EXPECT_EQ(texture_preset_find_ramp(t, t->rows[row].ramp.refcount), &t->rows[row].ramp);
            if (t != &kPresetsReflection) ++rows;
        }
    }
    EXPECT_EQ(rows, 49);
    // Colour names run 40404.., bump names 40480..
    EXPECT_EQ(kPresetsTexture.first_name + 43, 40447);
    EXPECT_EQ(kPresetsBump.first_name + 4, 40484);
}

TEST(Presets, Refusals) {
    MaterialRecord m;
    m.slots[0].kind = 11;
    EXPECT_EQ(texture_preset_apply(&m, &kPresetsTexture, 44), -1);
    EXPECT_EQ(texture_preset_apply(&m, &kPresetsTexture, -1), -1);
    EXPECT_EQ(texture_preset_apply(nullptr, &kPresetsTexture, 0), -1);
    EXPECT_EQ(m.slots[0].kind, 11);
    EXPECT_EQ(texture_preset_match(&m, &kPresetsTexture), -1);  // no ramp
    EXPECT_EQ(texture_preset_ref_size(&kPresetsTexture, &m), 1);
    EXPECT_EQ(texture_preset_find_ramp(&kPresetsTexture, -45), nullptr);
    EXPECT_EQ(texture_preset_find_ramp(&kPresetsBump, -6), nullptr);
    EXPECT_EQ(texture_preset_base_value(&kPresetsTexture, 44), 0.0);
    EXPECT_EQ(texture_preset_base_value(&kPresetsTexture, 5), 20.0);
    // Changing a parameter stops the match.
    texture_preset_apply(&m, &kPresetsTexture, 6);
    m.slots[0].pattern.turbulence[2] = 0.5f;
    EXPECT_EQ(texture_preset_match(&m, &kPresetsTexture), -1);
}

class PresetFile : public StreamTest {};

TEST_F(PresetFile, PresetRampLoadsSharedAndSavesById) {
    texture_presets_install();
    MaterialRecord m;
    texture_preset_apply(&m, &kPresetsTexture, 13);  // "Wood", id -13
    ASSERT_EQ(write_file("m.bin", [&](IOrec* s) { io_put_material(s, &m, 1027); }), 0);
    const Bytes first = file_bytes(path("m.bin"));
    MaterialRecord back;
    ASSERT_EQ(read_bytes(first, [&](IOrec* s) {
                  IoChunkReader c(s);
                  io_get_material(s, nullptr, &back);
              }),
              0);
    EXPECT_EQ(back.slots[0].ramp, texture_preset_find_ramp(&kPresetsTexture, -13));
    EXPECT_EQ(back.slots[0].ramp->refcount, -13);
    ASSERT_EQ(write_file("n.bin", [&](IOrec* s) { io_put_material(s, &back, 1027); }), 0);
    EXPECT_EQ(file_bytes(path("n.bin")), first);
    // The bump table answers for the bump slot.
    EXPECT_EQ(texture_preset_ramp_for_file(1, -3), &kPresetsBump.rows[2].ramp);
    EXPECT_EQ(texture_preset_ramp_for_file(0, -3), &kPresetsTexture.rows[3].ramp);
}
