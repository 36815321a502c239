// The built-in texture preset tables and the routines that apply and recognise them.
#include "render/surface/presets.h"

#include "model/stream/matchunk.h"
#include "resources/string_ids.h"

namespace {

// Key arrays of the colour presets (position, red, green, blue, fourth component).
ColourRampKey kKeys0[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 0.0f}, {1.01, 0.5f, 0.5f, 0.5f, 0.0f}};
ColourRampKey kKeys1[] = {{0.4, 1.0f, 1.0f, 1.0f, 0.0f}, {0.4, 0.0f, 1.0f, 0.0f, 0.0f}, {0.6, 0.0f, 1.0f, 0.0f, 0.0f}, {0.6, 0.0f, 0.0f, 1.0f, 0.0f}, {0.8, 0.0f, 0.0f, 1.0f, 0.0f}, {0.8, 1.0f, 0.0f, 0.0f, 0.0f}};
ColourRampKey kKeys2[] = {{0.0, 0.21f, 0.1f, 0.1f, 0.0f}, {0.5, 0.25f, 0.25f, 0.01f, 0.0f}, {0.6, 0.3f, 0.1f, 0.1f, 0.0f}, {0.6, 0.15f, 0.1f, 0.1f, 0.0f}, {1.01, 0.15f, 0.1f, 0.1f, 0.0f}};
ColourRampKey kKeys3[] = {{0.0, 0.89f, 0.51f, 0.28f, 0.0f}, {0.4, 0.7f, 0.13f, 0.0f, 0.0f}, {0.5, 0.69f, 0.41f, 0.08f, 0.0f}, {0.6, 0.49f, 0.31f, 0.28f, 0.0f}, {1.01, 0.89f, 0.51f, 0.28f, 0.0f}};
ColourRampKey kKeys4[] = {{0.0, 0.93f, 0.71f, 0.532f, 0.0f}, {0.6, 0.98f, 0.81f, 0.6f, 0.0f}, {0.6, 0.5f, 0.3f, 0.2f, 0.0f}, {0.65, 0.5f, 0.3f, 0.2f, 0.0f}, {0.65, 0.8f, 0.53f, 0.46f, 0.0f}, {1.01, 0.85f, 0.75f, 0.35f, 0.0f}};
ColourRampKey kKeys5[] = {{0.0, 0.1f, 0.6f, 0.1f, 0.0f}, {0.8, 0.1f, 0.6f, 0.1f, 0.0f}, {1.01, 0.0f, 0.2f, 0.0f, 0.0f}};
ColourRampKey kKeys6[] = {{0.0, 0.8f, 0.8f, 0.6f, 0.0f}, {0.8, 0.8f, 0.4f, 0.4f, 0.0f}, {1.01, 0.8f, 0.2f, 0.2f, 0.0f}};
ColourRampKey kKeys7[] = {{0.0, 0.9f, 0.9f, 0.9f, 0.0f}, {0.8, 0.5f, 0.5f, 0.5f, 0.0f}, {1.01, 0.2f, 0.2f, 0.2f, 0.0f}};
ColourRampKey kKeys8[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.8, 0.0f, 0.6f, 0.6f, 0.0f}, {0.9, 0.3f, 0.0f, 0.0f, 0.0f}, {1.01, 0.3f, 0.0f, 0.0f, 0.0f}};
ColourRampKey kKeys9[] = {{0.0, 0.3f, 0.3f, 0.5f, 0.0f}, {0.5, 0.3f, 0.3f, 0.5f, 0.0f}, {0.55, 0.2f, 0.2f, 0.3f, 0.0f}, {0.6, 0.25f, 0.25f, 0.35f, 0.0f}, {0.7, 0.15f, 0.15f, 0.26f, 0.0f}, {0.8, 0.1f, 0.1f, 0.2f, 0.0f}, {0.9, 0.3f, 0.3f, 0.5f, 0.0f}, {1.01, 0.1f, 0.1f, 0.2f, 0.0f}};
ColourRampKey kKeys10[] = {{0.0, 0.0f, 0.0f, 0.9f, 0.0f}, {0.3, 0.0f, 0.0f, 0.8f, 0.0f}, {1.01, 0.0f, 0.0f, 0.4f, 0.0f}};
ColourRampKey kKeys11[] = {{0.0, 1.0f, 1.0f, 1.0f, 0.0f}, {0.5, 0.9f, 0.7f, 0.6f, 0.0f}, {0.6, 0.9f, 0.7f, 0.4f, 0.0f}, {1.01, 0.7f, 0.4f, 0.2f, 0.0f}};
ColourRampKey kKeys12[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.4, 0.85f, 0.85f, 0.95f, 0.0f}, {0.45, 0.85f, 0.85f, 0.95f, 0.0f}, {0.5, 0.75f, 0.75f, 0.75f, 0.0f}, {0.55, 0.82f, 0.57f, 0.46f, 0.0f}, {0.8, 0.82f, 0.57f, 0.46f, 0.0f}, {1.01, 1.0f, 0.5f, 0.0f, 0.0f}};
ColourRampKey kKeys13[] = {{0.6, 0.666f, 0.312f, 0.2f, 0.0f}, {0.6, 0.4f, 0.1333f, 0.066f, 0.0f}};
ColourRampKey kKeys14[] = {{0.0, 0.666f, 0.312f, 0.2f, 0.0f}, {0.8, 0.4f, 0.133f, 0.066f, 0.0f}, {1.01, 0.2f, 0.065f, 0.033f, 0.0f}};
ColourRampKey kKeys15[] = {{0.0, 1.0f, 0.7188f, 0.25f, 0.0f}, {0.8, 1.0f, 0.7188f, 0.25f, 0.0f}, {0.8, 0.5f, 0.5f, 0.066f, 0.0f}, {1.01, 0.4f, 0.4f, 0.033f, 0.0f}};
ColourRampKey kKeys16[] = {{0.0, 0.4286f, 0.2381f, 0.0476f, 0.0f}, {0.8, 0.4286f, 0.2381f, 0.0476f, 0.0f}, {0.8, 0.4f, 0.333f, 0.066f, 0.0f}, {1.01, 0.2f, 0.033f, 0.033f, 0.0f}};
ColourRampKey kKeys17[] = {{0.0, 0.888f, 0.6f, 0.3f, 0.0f}, {0.8, 0.888f, 0.6f, 0.3f, 0.0f}, {0.8, 0.6f, 0.4f, 0.2f, 0.0f}, {1.01, 0.4f, 0.3f, 0.2f, 0.0f}};
ColourRampKey kKeys18[] = {{0.0, 0.93f, 0.71f, 0.532f, 0.0f}, {0.8, 0.98f, 0.81f, 0.6f, 0.0f}, {0.8, 0.6f, 0.333f, 0.266f, 0.0f}, {1.01, 0.7f, 0.6f, 0.23f, 0.0f}};
ColourRampKey kKeys19[] = {{0.0, 0.7f, 0.3f, 0.0f, 0.0f}, {0.8, 0.5f, 0.2f, 0.0f, 0.0f}, {1.01, 0.4f, 0.1f, 0.0f, 0.0f}};
ColourRampKey kKeys20[] = {{0.0, 0.42f, 0.26f, 0.15f, 0.0f}, {0.1, 0.42f, 0.26f, 0.15f, 0.0f}, {0.9, 0.52f, 0.37f, 0.26f, 0.0f}, {1.01, 0.52f, 0.37f, 0.26f, 0.0f}};
ColourRampKey kKeys21[] = {{0.0, 0.6f, 0.3f, 0.18f, 0.0f}, {0.1, 0.6f, 0.3f, 0.18f, 0.0f}, {0.9, 0.3f, 0.15f, 0.09f, 0.0f}, {1.01, 0.3f, 0.15f, 0.09f, 0.0f}};
ColourRampKey kKeys22[] = {{0.0, 0.3f, 0.25f, 0.5f, 0.0f}, {0.5, 0.25f, 0.25f, 0.5f, 0.0f}, {0.6, 0.7f, 0.7f, 0.7f, 0.0f}, {1.01, 0.3f, 0.3f, 0.3f, 0.0f}};
ColourRampKey kKeys23[] = {{0.0, 0.5f, 0.5f, 1.0f, 0.0f}, {0.5, 0.5f, 0.5f, 1.0f, 0.0f}, {0.6, 1.0f, 1.0f, 1.0f, 0.0f}, {1.01, 0.5f, 0.5f, 0.5f, 0.0f}};
ColourRampKey kKeys24[] = {{0.0, 0.0f, 0.0f, 1.0f, 0.0f}, {0.3, 0.0f, 0.0f, 1.0f, 0.0f}, {1.01, 1.0f, 1.0f, 1.0f, 0.0f}};
ColourRampKey kKeys25[] = {{0.0, 0.0f, 0.0f, 1.0f, 0.0f}, {0.3, 0.0f, 0.0f, 1.0f, 0.0f}, {1.01, 1.0f, 1.0f, 1.0f, 0.0f}};
ColourRampKey kKeys26[] = {{0.0, 0.9f, 0.7f, 0.0f, 0.0f}, {0.5, 0.3f, 0.2f, 0.0f, 0.0f}, {0.5, 0.6f, 0.025f, 0.0f, 0.0f}, {0.6, 0.9f, 0.7f, 0.0f, 0.0f}, {0.6, 0.6f, 0.025f, 0.0f, 0.0f}, {1.01, 0.6f, 0.025f, 0.0f, 0.0f}};
ColourRampKey kKeys27[] = {{0.0, 0.8f, 0.0f, 0.0f, 0.0f}, {0.4, 0.4f, 0.0f, 0.4f, 0.0f}, {0.6, 0.0f, 0.0f, 0.2f, 0.0f}, {1.01, 0.0f, 0.0f, 0.0f, 0.0f}};
ColourRampKey kKeys28[] = {{0.0, 0.8f, 0.8f, 0.8f, 0.0f}, {0.1, 0.8f, 0.8f, 0.8f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 1.0f}, {1.01, 1.0f, 1.0f, 1.0f, 1.0f}};
ColourRampKey kKeys29[] = {{0.0, 0.2f, 0.3f, 0.0f, 0.0f}, {0.4, 0.2f, 0.3f, 0.0f, 0.0f}, {0.4, 0.1f, 0.4f, 0.0f, 0.0f}, {0.6, 0.1f, 0.4f, 0.0f, 0.0f}, {0.6, 0.0f, 0.5f, 0.0f, 0.0f}};
ColourRampKey kKeys30[] = {{0.0, 0.3f, 0.2f, 0.0f, 0.0f}, {0.4, 0.3f, 0.2f, 0.0f, 0.0f}, {0.4, 0.4f, 0.3f, 0.0f, 0.0f}, {0.6, 0.4f, 0.3f, 0.0f, 0.0f}, {0.6, 0.5f, 0.4f, 0.0f, 0.0f}};
ColourRampKey kKeys31[] = {{0.0, 0.4f, 0.4f, 0.6f, 0.0f}, {0.4, 0.4f, 0.4f, 0.6f, 0.0f}, {0.4, 0.6f, 0.6f, 0.6f, 0.0f}, {0.6, 0.6f, 0.6f, 0.6f, 0.0f}, {0.6, 0.9f, 0.9f, 0.9f, 0.0f}};
ColourRampKey kKeys32[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 0.0f}};
ColourRampKey kKeys33[] = {{0.0, 0.3f, 0.3f, 0.3f, 0.0f}, {0.5, 0.196f, 0.784f, 0.196f, 0.0f}};
ColourRampKey kKeys34[] = {{0.0, 0.5f, 0.5f, 0.5f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 0.0f}};
ColourRampKey kKeys35[] = {{0.0, 1.0f, 1.0f, 1.0f, 0.0f}, {0.5, 0.5f, 0.5f, 0.5f, 0.0f}};
ColourRampKey kKeys36[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 0.0f}, {1.01, 0.5f, 0.5f, 0.5f, 0.0f}};
ColourRampKey kKeys37[] = {{0.0, 0.3f, 0.3f, 0.3f, 0.0f}, {0.5, 0.196f, 0.784f, 0.196f, 0.0f}, {1.01, 0.784f, 0.196f, 0.196f, 0.0f}};
ColourRampKey kKeys38[] = {{0.0, 1.0f, 0.0f, 0.0f, 0.0f}, {0.5, 0.0f, 1.0f, 0.0f, 0.0f}, {1.01, 0.0f, 0.0f, 1.0f, 0.0f}};
ColourRampKey kKeys39[] = {{0.0, 1.0f, 1.0f, 1.0f, 0.0f}, {0.5, 0.5f, 0.5f, 0.5f, 0.0f}, {1.01, 0.0f, 0.0f, 0.0f, 0.0f}};
ColourRampKey kKeys40[] = {{0.0, 0.0f, 0.0f, 0.0f, 0.0f}, {0.5, 1.0f, 1.0f, 1.0f, 0.0f}};
ColourRampKey kKeys41[] = {{0.0, 0.3f, 0.3f, 0.3f, 0.0f}, {0.5, 0.196f, 0.784f, 0.196f, 0.0f}};
ColourRampKey kKeys42[] = {{0.0, 1.0f, 0.0f, 0.0f, 0.0f}, {0.5, 0.0f, 1.0f, 0.0f, 0.0f}};
ColourRampKey kKeys43[] = {{0.0, 1.0f, 1.0f, 1.0f, 0.0f}, {0.5, 0.5f, 0.5f, 0.5f, 0.0f}};

// base, reference size, kind, octaves, 0, frequency, turbulence, ramp.
TexturePreset kColourRows[44] = {
    {25, 150, 8, 1, 0, 1, 0.0f, {3, -39, kKeys0}},  // Spotted
    {10, 150, 8, 1, 0, 1, 0.04f, {6, -1, kKeys1}},  // Bozo
    {10, 150, 9, 2, 0, 1, 0.08f, {5, -2, kKeys2}},  // Rusty Iron
    {5, 150, 8, 2, 0, 1, 1.0f, {5, -3, kKeys3}},  // Rust
    {7, 150, 10, 1, 0, 1, 0.0f, {6, -4, kKeys4}},  // Cork
    {20, 250, 11, 3, 0, 1, 1.8f, {3, -5, kKeys5}},  // Jade
    {30, 150, 11, 3, 0, 1, 1.0f, {3, -6, kKeys6}},  // Marble: Red
    {30, 150, 11, 3, 0, 1, 1.0f, {3, -7, kKeys7}},  // Marble: White
    {30, 150, 11, 3, 0, 1, 2.3f, {4, -8, kKeys8}},  // Marble: Blood
    {30, 100, 9, 3, 0, 1, 1.0f, {8, -9, kKeys9}},  // Agate: Blue
    {25, 100, 9, 3, 0, 1, 1.0f, {3, -10, kKeys10}},  // Agate: Sapphire
    {25, 100, 9, 3, 0, 1, 1.0f, {4, -11, kKeys11}},  // Agate: Brown
    {20, 200, 10, 1, 0, 1, 0.0f, {7, -12, kKeys12}},  // Granite: Pink
    {5, 700, 12, 2, 0, 1, 0.04f, {2, -13, kKeys13}},  // Wood
    {15, 700, 12, 2, 0, 1, 0.3f, {3, -14, kKeys14}},  // Wood: Cherry
    {10, 700, 12, 2, 0, 1, 0.2f, {4, -15, kKeys15}},  // Wood: Pine
    {10, 700, 12, 2, 0, 1, 0.2f, {4, -16, kKeys16}},  // Wood: Dark
    {5, 700, 12, 2, 0, 1, 0.1f, {4, -17, kKeys17}},  // Wood: Tan
    {25, 700, 12, 2, 0, 1, 0.6f, {4, -18, kKeys18}},  // Wood: White
    {25, 700, 12, 2, 0, 1, 0.31f, {3, -19, kKeys19}},  // Wood: Tom
    {12, 700, 12, 2, 0, 1, 0.05f, {4, -20, kKeys20}},  // Wood: Spruce
    {12, 700, 12, 2, 0, 1, 0.04f, {4, -21, kKeys21}},  // Wood: DarkOak
    {50, 200, 8, 6, 0, 1, 0.3f, {4, -22, kKeys22}},  // Sky: Blue I
    {50, 200, 8, 4, 0, 1, 0.56f, {4, -23, kKeys23}},  // Sky: Blue II
    {50, 150, 9, 4, 0, 1, 1.0f, {3, -24, kKeys24}},  // Sky: Blue III
    {50, 50, 10, 4, 0, 1, 0.1f, {3, -25, kKeys25}},  // Sky: Blue IV
    {30, 200, 8, 6, 0, 1, 0.5f, {6, -26, kKeys26}},  // Sky: Blood
    {25, 200, 8, 6, 0, 1, 1.0f, {4, -27, kKeys27}},  // Sky: Apocalypse
    {25, 200, 8, 6, 0, 1, 1.0f, {4, -28, kKeys28}},  // Clouds
    {25, 250, 8, 1, 0, 1, 0.0f, {5, -29, kKeys29}},  // Camouflage I
    {25, 250, 8, 1, 0, 1, 0.0f, {5, -30, kKeys30}},  // Camouflage II
    {25, 250, 8, 1, 0, 1, 0.0f, {5, -40, kKeys31}},  // Camouflage III
    {50, 150, 4, 1, 0, 4, 0.0f, {2, -31, kKeys32}},  // Brick I
    {50, 150, 4, 1, 0, 4, 0.0f, {2, -32, kKeys33}},  // Brick II
    {50, 150, 4, 1, 0, 4, 0.0f, {2, -33, kKeys34}},  // Brick III
    {50, 150, 4, 1, 0, 4, 0.0f, {2, -34, kKeys35}},  // Brick IV
    {25, 300, 2, 1, 0, 1, 0.0f, {3, -35, kKeys36}},  // Hexagon I
    {25, 300, 2, 1, 0, 1, 0.0f, {3, -36, kKeys37}},  // Hexagon II
    {25, 300, 2, 1, 0, 1, 0.0f, {3, -37, kKeys38}},  // Hexagon III
    {25, 300, 2, 1, 0, 1, 0.0f, {3, -38, kKeys39}},  // Hexagon IV
    {25, 100, 3, 1, 0, 1, 0.0f, {2, -41, kKeys40}},  // Checker I
    {25, 100, 3, 1, 0, 1, 0.0f, {2, -42, kKeys41}},  // Checker II
    {25, 100, 3, 1, 0, 1, 0.0f, {2, -43, kKeys42}},  // Checker III
    {25, 100, 3, 1, 0, 1, 0.0f, {2, -44, kKeys43}},  // Checker IV
};

// The five bump presets share one ramp shape but each has its own record.
ColourRampKey kBumpKeys[5][2] = {
    {{0.0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}}, {{0.0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}},
    {{0.0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}}, {{0.0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}},
    {{0.0, 0, 0, 0, 0}, {0.5, 1, 1, 1, 0}}};

TexturePreset kBumpRows[5] = {
    {25, 8, 2, 1, 0, 1, 0.0f, {2, -1, kBumpKeys[0]}},   // Bumps
    {25, 10, 3, 1, 0, 1, 0.0f, {2, -2, kBumpKeys[1]}},  // Dents
    {25, 8, 4, 1, 0, 1, 0.0f, {2, -3, kBumpKeys[2]}},   // Wrinkles
    {25, 5, 5, 1, 0, 1, 0.0f, {2, -4, kBumpKeys[3]}},   // Ripples
    {20, 99, 6, 1, 0, 1, 0.0f, {2, -5, kBumpKeys[4]}},  // Waves
};

TextureSlot* slot_of(MaterialRecord* m, const TexturePresetTable* t) {
    if (!m || !t || t->slot < 0 || t->slot >= kMaterialSlotCount) return nullptr;
    return &m->slots[t->slot];
}

}  // namespace

const TexturePresetTable kPresetsTexture = {44, kColourRows, kSlotTexture, IDS_SPOTTED};
const TexturePresetTable kPresetsReflection = {44, kColourRows, kSlotReflection, IDS_SPOTTED};
const TexturePresetTable kPresetsBump = {5, kBumpRows, kSlotBump, IDS_BUMPS};

int texture_preset_apply(MaterialRecord* m, const TexturePresetTable* table, int32_t row) {
    TextureSlot* s = slot_of(m, table);
    if (!s || row < 0 || row >= table->count) return -1;
    TexturePreset& r = table->rows[row];
    colour_ramp_release(&s->ramp);
    s->kind = r.kind;
    s->ramp = &r.ramp;
    s->pattern.frequency = r.frequency;
    s->pattern.phase = 0.0f;
    s->pattern.turbulence_on = r.turbulence != 0.0f ? 1 : 0;
    for (float& t : s->pattern.turbulence) t = r.turbulence;
    s->pattern.octaves = r.octaves;
    s->pattern.noise_amount = 0.05f;
    return s->pattern.turbulence_on;
}

int32_t texture_preset_find_row(const TextureSlot* s, const TexturePresetTable* table) {
    if (!s || !table || !s->ramp || table->count <= 0) return -1;
    for (int32_t i = 0; i < table->count; ++i) {
        const TexturePreset& r = table->rows[i];
        if (r.kind != s->kind || r.ramp.refcount != s->ramp->refcount ||
            float(r.frequency) != s->pattern.frequency || s->pattern.phase != 0.0f)
            continue;
        const float* t = s->pattern.turbulence;
        if (t[0] != r.turbulence || t[1] != r.turbulence || t[2] != r.turbulence) continue;
        return i;
    }
    return -1;
}

int32_t texture_preset_match(MaterialRecord* m, const TexturePresetTable* table) {
    TextureSlot* s = slot_of(m, table);
    const int32_t i = texture_preset_find_row(s, table);
    if (i >= 0) s->pattern.octaves = table->rows[i].octaves;
    return i;
}

int32_t texture_preset_ref_size(const TexturePresetTable* table, const MaterialRecord* m) {
    if (!m || !table || table->slot < 0 || table->slot >= kMaterialSlotCount) return 1;
    const int32_t i = texture_preset_find_row(&m->slots[table->slot], table);
    return i < 0 ? 1 : table->rows[i].ref_size;
}

double texture_preset_base_value(const TexturePresetTable* table, int32_t i) {
    if (!table || i < 0 || i >= table->count) return 0.0;
    return table->rows[i].base_value;
}

ColourRamp* texture_preset_find_ramp(const TexturePresetTable* table, int32_t id) {
    if (!table) return nullptr;
    for (int32_t i = 0; i < table->count; ++i)
        if (table->rows[i].ramp.refcount == id) return &table->rows[i].ramp;
    return nullptr;
}

ColourRamp* texture_preset_ramp_for_file(int table, int32_t id) {
    return texture_preset_find_ramp(table == 1 ? &kPresetsBump : &kPresetsTexture, id);
}

void texture_presets_install() {
    io_set_preset_ramp_finder(&texture_preset_ramp_for_file);
}
