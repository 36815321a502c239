// Materials and transforms in chunks: the exact bytes of a plain material, hundredths
// and whole numbers, a rich material that reads back equal and writes again
// byte-identical, and the reader's rules for old, partial and hostile slot chunks.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/math/matrix.h"
#include "model/stream/matchunk.h"
#include "model/material/image/matrpmmf.h"
#include "tests/stream/stream_support.h"

namespace {

Bytes le_double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Bytes b(8);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
    return b;
}

Bytes chunk(std::initializer_list<int> tag, const Bytes& content) {
    Bytes b;
    for (int t : tag) b.push_back(static_cast<uint8_t>(t));
    const auto n = static_cast<uint32_t>(content.size());
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(n >> (8 * i)));
    b.insert(b.end(), content.begin(), content.end());
    return b;
}

Bytes doubles(std::initializer_list<double> v) {
    Bytes b;
    for (double d : v) {
        const Bytes x = le_double(d);
        b.insert(b.end(), x.begin(), x.end());
    }
    return b;
}

class Materials : public StreamTest {
  protected:
    void SetUp() override {
        StreamTest::SetUp();
        MATRPMMF_register();
        model_ = rtc_make<MODEL>();
        ASSERT_NE(model_, nullptr);
        auto brick = rtc_make<MATRPATT>();
        brick->set_string(0, "brick");
        brick_ = brick.get();
        model_insert_patt(model_.get(), brick.release());
        auto gif = rtc_make<MATRPMMF>();
        gif->set_string(0, "tex.gif");
        gif_ = gif.get();
        model_insert_patt(model_.get(), gif.release());
        io_set_preset_ramp_finder(nullptr);
    }

    // Reads `b` (one material chunk) into `m`.
    int read_material(const Bytes& b, MaterialRecord* m, MODEL* model) {
        return read_bytes(b, [&](IOrec* s) {
            IoChunkReader c(s);
            io_get_material(s, model, m);
        });
    }

    Bytes write_material(const MaterialRecord* m) {
        return written([&](IOrec* s) { io_put_material(s, m, 1027); });
    }

    std::unique_ptr<MODEL> model_;
    MATRPATT* brick_ = nullptr;
    MATRPMMF* gif_ = nullptr;
};

TEST_F(Materials, PlainMaterialBytes) {
    MaterialRecord m;  // defaults: no active slot
    const Bytes attributes = concat({doubles({0, 0, 0, 0}),
                                     bytes({0x02,              // method word
                                            0x00, 0x00, 0x64,  // 0, 0, 1.00 in hundredths
                                            0x01,              // diffuse exponent 1
                                            0x00, 0x14,        // 0; exponent 20
                                            0x28, 0x28,        // shininess 0.40; exponent 40
                                            0x00, 0x19}),      // 0; reflection 0.25
                                     doubles({1.0})});
    const Bytes expect =
        chunk({0x83, 0x08}, concat({chunk({0x82, 0x08}, attributes),
                                    chunk({0x8B, 0x08}, doubles({kDefaultSmoothingAngle}))}));
    EXPECT_EQ(write_material(&m), expect);
}

TEST_F(Materials, HundredthsAndWholeNumbers) {
    const struct {
        double value;
        int32_t stored;
    } cases[] = {{0.4f, 40}, {0.257f, 25},      {0.29f, 29},        {-1.0f, -100},
                 {0.0, 0},   {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {NAN, 0}};
    for (const auto& c : cases) EXPECT_EQ(io_hundredths(c.value), c.stored) << c.value;

    MaterialRecord m;
    m.shininess = 0.257f;
    m.transparency = 0.29f;
    m.specular_exponent = 2.7f;  // a whole-number value loses its fraction
    m.refraction = 0.5f;         // below 1: read back as 1
    m.slots[0].kind = 3;
    m.slots[0].amount = -1.0f;
    EXPECT_EQ(colour_ramp_new(&m.slots[0].ramp, 1), 0);
    const Bytes b = write_material(&m);
    // The amount -1.0 is the five-byte varint of -100 right behind the kind.
    const Bytes amount = bytes({0x03, 0x9C, 0xFF, 0xFF, 0xFF, 0x0F});
    EXPECT_NE(std::search(b.begin(), b.end(), amount.begin(), amount.end()), b.end());
    // Shading values 2 to 8 in chunk 1026: 0.29 as 29, shininess 0.257 as 25, exponent 2.
    const Bytes coarse = bytes({0x1D, 0x64, 0x01, 0x00, 0x14, 0x19, 0x02});
    EXPECT_NE(std::search(b.begin(), b.end(), coarse.begin(), coarse.end()), b.end());
    MaterialRecord exact;  // the exact values follow in chunk 1038
    ASSERT_EQ(read_material(b, &exact, model_.get()), 0);
    EXPECT_EQ(exact.shininess, 0.257f);
    EXPECT_EQ(exact.specular_exponent, 2.7f);
    // Without chunk 1038 (the material chunk's last 46 bytes), as in older files, the
    // coarse values come back.
    Bytes old(b.begin(), b.end() - 46);
    uint32_t length;
    std::memcpy(&length, &old[2], 4);
    length -= 46;
    std::memcpy(&old[2], &length, 4);
    MaterialRecord back;
    ASSERT_EQ(read_material(old, &back, model_.get()), 0);
    EXPECT_FLOAT_EQ(back.shininess, 0.25f);
    EXPECT_FLOAT_EQ(back.transparency, 0.29f);
    EXPECT_EQ(back.specular_exponent, 2.0f);
    EXPECT_EQ(back.refraction, 1.0f);
    EXPECT_EQ(back.slots[0].kind, 3);
    EXPECT_FLOAT_EQ(back.slots[0].amount, -1.0f);
}

// A material using every kind of chunk.
void fill_rich(MaterialRecord* m, MATRPATT* brick, MATRPATT* gif) {
    const float colour[4] = {0.1f, 0.2f, 0.3f, 1.0f};
    std::memcpy(m->colour, colour, sizeof colour);
    m->flags = kMaterialSmoothByAngle | kMaterialColourHighlight;
    m->self_illumination = 0.1f;
    m->diffuse = 0.8f;
    m->diffuse_exponent = 3;
    m->second_highlight = 0.2f;
    m->second_highlight_exponent = 12;
    m->shininess = 0.6f;
    m->specular_exponent = 50;
    m->randomness = 0.05f;
    m->reflection_level = 0.3f;
    m->refraction = 1.33;
    m->smoothing_angle = 0.7f;

    TextureSlot& t = m->slots[kSlotTexture];
    t.kind = kTextureImage;
    t.amount = 0.75f;
    t.mapping_mode = kMappingModePlanar;
    t.transform = xform_new();
    xform_translate(t.transform.get(), 1, 2, 3);
    texture_mapping_init(&t.mapping);
    TextureMapping& map = t.mapping;
    map.interpolation = 3;
    map.flags = kMappingMirrorU | kMappingDecal | 2;
    map.u_scale = 2;
    map.v_scale = 3;
    map.u_offset = 0.25f;
    map.v_offset = 0.5f;
    map.angle = 30;
    map.spare = 1.5f;
    map.key_colour[0] = 0.5f;
    map.image = brick;
    texture_mapping_build_matrix(&map.matrix, 2, 3, 30, true, false, 0.25, 0.5);

    TextureSlot& bump = m->slots[kSlotBump];
    bump.kind = 5;
    bump.amount = 0.5f;
    pattern_params_init(&bump.pattern);
    bump.pattern.turbulence[0] = 1;
    bump.pattern.turbulence[1] = 2;
    bump.pattern.turbulence[2] = 3;
    bump.pattern.turbulence_on = 1;
    bump.pattern.frequency = 2;
    bump.pattern.phase = 0.5f;
    EXPECT_EQ(colour_ramp_new(&bump.ramp, 2), 0);
    bump.ramp->keys[0] = {0.0, 1, 0, 0, 1};
    bump.ramp->keys[1] = {1.0, 0, 0, 1, 1};

    TextureSlot& refl = m->slots[kSlotReflection];
    refl.kind = kTextureImage;
    texture_mapping_init(&refl.mapping);
    refl.mapping.image = gif;
    texture_mapping_build_matrix(&refl.mapping.matrix, 1, 1, 0, false, false, 0, 0);
}

TEST_F(Materials, RichMaterialRoundTrip) {
    MaterialRecord m;
    fill_rich(&m, brick_, gif_);
    const Bytes b = write_material(&m);
    // The image-file style is named in 1037; 1032 carries "<NONE>" for older readers.
    const std::string gif_name = "\x07tex.gif", none = "\x06<NONE>";
    EXPECT_NE(std::search(b.begin(), b.end(), gif_name.begin(), gif_name.end()), b.end());
    EXPECT_NE(std::search(b.begin(), b.end(), none.begin(), none.end()), b.end());

    MaterialRecord back;
    ASSERT_EQ(read_material(b, &back, model_.get()), 0);
    EXPECT_EQ(std::vector<float>(back.colour, back.colour + 4),
              std::vector<float>(m.colour, m.colour + 4));
    EXPECT_EQ(back.flags, m.flags);
    EXPECT_FLOAT_EQ(back.diffuse, 0.8f);
    EXPECT_EQ(back.second_highlight_exponent, 12);
    EXPECT_FLOAT_EQ(back.refraction, 1.33f);
    EXPECT_FLOAT_EQ(back.smoothing_angle, 0.7f);
    const TextureSlot& t = back.slots[kSlotTexture];
    EXPECT_EQ(t.kind, kTextureImage);
    EXPECT_EQ(t.mapping_mode, kMappingModePlanar);
    ASSERT_NE(t.transform, nullptr);
    EXPECT_EQ(t.transform->fwd.m[9], 1.0);
    EXPECT_EQ(t.transform->inv.m[11], -3.0);
    EXPECT_EQ(t.mapping.image, brick_);
    EXPECT_EQ(t.mapping.flags, m.slots[0].mapping.flags);  // bit 11 cleared again
    EXPECT_EQ(t.mapping.angle, 30.0f);
    EXPECT_EQ(t.mapping.interpolation, 3);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(t.mapping.matrix.m[i], m.slots[0].mapping.matrix.m[i], 1e-6);
    const TextureSlot& bump = back.slots[kSlotBump];
    EXPECT_EQ(bump.kind, 5);
    ASSERT_NE(bump.ramp, nullptr);
    EXPECT_EQ(bump.ramp->count, 2);
    EXPECT_EQ(bump.ramp->keys[1].b, 1.0f);
    EXPECT_EQ(bump.pattern.turbulence[2], 3.0f);
    EXPECT_EQ(bump.pattern.octaves, 4);
    EXPECT_FLOAT_EQ(bump.pattern.noise_amount, 0.2f);
    EXPECT_EQ(back.slots[kSlotReflection].mapping.image, gif_);
    // Written again: the same bytes.
    EXPECT_EQ(write_material(&back), b);
}

TEST_F(Materials, SlotReaderRules) {
    const Bytes header1 = chunk({0x85, 0x08}, bytes({0x01, 0x64, 0x01}));  // 1029: image map
    const Bytes mapping_old =
        chunk({0x87, 0x08},  // 1031 without bit 11
              concat({bytes({0x01, 0x02}), doubles({1, 1}),
                      doubles({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}), doubles({0, 0, 0, 0})}));
    const Bytes image_none = chunk({0x88, 0x08}, bytes({0x06, '<', 'N', 'O', 'N', 'E', '>'}));
    const Bytes image_gone = chunk({0x88, 0x08}, bytes({0x04, 'g', 'o', 'n', 'e'}));
    auto material = [](const Bytes& slot_content) {
        return chunk({0x83, 0x08}, chunk({0x83, 0x08}, slot_content));  // material { 1027 slot }
    };

    // An old mapping: quarter turns in the flags, no placement chunk.
    MaterialRecord a;
    ASSERT_EQ(read_material(material(concat({header1, mapping_old, image_none})), &a, model_.get()),
              0);
    EXPECT_EQ(a.slots[0].kind, kTextureImage);
    EXPECT_EQ(a.slots[0].mapping.angle, -180.0f);
    EXPECT_EQ(a.slots[0].mapping.image,
              model_find_patt(model_.get(), "<NONE>", &MATRPATT::rtc_class));

    // An image style the model does not have switches the slot off.
    MaterialRecord b;
    ASSERT_EQ(read_material(material(concat({header1, mapping_old, image_gone})), &b, model_.get()),
              0);
    EXPECT_EQ(b.slots[0].kind, kTextureNone);

    // An image name before any mapping is bad data.
    MaterialRecord c;
    EXPECT_EQ(read_material(material(concat({header1, image_none})), &c, model_.get()),
              kBadArgument);

    // A procedural slot without its ramp, and a kind this program does not know, read off.
    MaterialRecord d;
    ASSERT_EQ(
        read_material(material(chunk({0x85, 0x08}, bytes({0x05, 0x64, 0x00}))), &d, model_.get()),
        0);
    EXPECT_EQ(d.slots[0].kind, kTextureNone);
    MaterialRecord e;
    const Bytes ramp = chunk({0x86, 0x08}, concat({bytes({0x00, 0x01}), doubles({0, 1, 1, 1, 1})}));
    ASSERT_EQ(
        read_material(material(concat({chunk({0x85, 0x08}, bytes({0x28, 0x64, 0x00})), ramp})), &e,
                      model_.get()),
        0);
    EXPECT_EQ(e.slots[0].kind, kTextureNone);

    // A ramp claiming more keys than its chunk holds.
    MaterialRecord f;
    const Bytes huge_ramp =
        chunk({0x86, 0x08}, concat({bytes({0x00, 0xFF, 0xFF, 0xFF, 0x7F}), doubles({0})}));
    EXPECT_EQ(
        read_material(material(concat({chunk({0x85, 0x08}, bytes({0x05, 0x64, 0x00})), huge_ramp})),
                      &f, model_.get()),
        kBadArgument);

    // A preset ramp is found through the renderer's finder; without one the slot is off.
    static ColourRampKey preset_keys[1] = {{0.5, 1, 1, 1, 1}};
    static ColourRamp preset = {1, -7, preset_keys};
    const Bytes preset_slot =
        concat({chunk({0x85, 0x08}, bytes({0x05, 0x64, 0x00})),
                chunk({0x86, 0x08}, bytes({0xF9, 0xFF, 0xFF, 0xFF, 0x0F}))});  // -7
    MaterialRecord g;
    ASSERT_EQ(read_material(material(preset_slot), &g, model_.get()), 0);
    EXPECT_EQ(g.slots[0].kind, kTextureNone);
    io_set_preset_ramp_finder([](int table, int32_t id) -> ColourRamp* {
        return table == 0 && id == -7 ? &preset : nullptr;
    });
    MaterialRecord h;
    ASSERT_EQ(read_material(material(preset_slot), &h, model_.get()), 0);
    EXPECT_EQ(h.slots[0].kind, 5);
    EXPECT_EQ(h.slots[0].ramp, &preset);
    // Written again as its id only.
    const Bytes again = write_material(&h);
    const Bytes id_only = chunk({0x86, 0x08}, bytes({0xF9, 0xFF, 0xFF, 0xFF, 0x0F}));
    EXPECT_NE(std::search(again.begin(), again.end(), id_only.begin(), id_only.end()), again.end());
}

TEST_F(Materials, MaterialReaderRules) {
    // An empty material chunk keeps the caller's defaults.
    MaterialRecord a;
    ASSERT_EQ(read_material(chunk({0x83, 0x08}, {}), &a, model_.get()), 0);
    EXPECT_FLOAT_EQ(a.shininess, 0.4f);

    // Doubles beyond the float range are clamped, not converted out of range.
    MaterialRecord huge;
    const Bytes attributes = concat({doubles({1e300, -1e300, 0, 0}),
                                     bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), doubles({1e300})});
    ASSERT_EQ(
        read_material(chunk({0x83, 0x08}, chunk({0x82, 0x08}, attributes)), &huge, model_.get()),
        0);
    EXPECT_EQ(huge.colour[0], FLT_MAX);
    EXPECT_EQ(huge.colour[1], -FLT_MAX);
    EXPECT_EQ(huge.refraction, FLT_MAX);

    // A second chunk 1027 is ignored; 1028 goes to slot 2.
    MaterialRecord src;
    src.slots[0].kind = 2;
    EXPECT_EQ(colour_ramp_new(&src.slots[0].ramp, 1), 0);
    const Bytes first = written([&](IOrec* s) { io_put_texture_slot(s, &src.slots[0], 1027); });
    src.slots[0].kind = 4;
    const Bytes second = written([&](IOrec* s) { io_put_texture_slot(s, &src.slots[0], 1027); });
    const Bytes bump = written([&](IOrec* s) { io_put_texture_slot(s, &src.slots[0], 1028); });
    MaterialRecord b;
    ASSERT_EQ(read_material(chunk({0x83, 0x08}, concat({first, second, bump})), &b, model_.get()),
              0);
    EXPECT_EQ(b.slots[0].kind, 2);
    EXPECT_EQ(b.slots[1].kind, 4);
}

TEST_F(Materials, Transforms) {
    EXPECT_EQ(written([](IOrec* s) { io_put_transform(s, nullptr, 1025); }), Bytes{});
    auto t = xform_new();
    xform_scale(t.get(), 2, 4, 8);
    const Bytes b = written([&](IOrec* s) { io_put_transform(s, t.get(), 1025); });
    ASSERT_EQ(b.size(), 2u + 4 + 192);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), bytes({0x81, 0x08, 192, 0, 0, 0}));
    std::unique_ptr<Transform> back = xform_new();  // replaced, and freed, by the read
    ASSERT_EQ(read_bytes(b,
                         [&](IOrec* s) {
                             IoChunkReader c(s);
                             io_get_transform(s, back);
                         }),
              0);
    EXPECT_EQ(back->fwd.m[4], 4.0);
    EXPECT_EQ(back->inv.m[8], 0.125);
    // Cut short: the transport's code, and the old transform kept.
    const Bytes cut(b.begin(), b.begin() + 100);
    EXPECT_NE(read_bytes(cut,
                         [&](IOrec* s) {
                             ChunkMark m;
                             io_chunk_open(s, &m);
                             io_get_transform(s, back);
                         }),
              0);
    EXPECT_EQ(back->fwd.m[4], 4.0);
}

}  // namespace
