// Applying chosen fields of a material to the objects of a buffer: which field each
// mask bit carries, what an image-map slot copies of its mapping, which objects take
// the material, and out-of-memory reporting.
#include <gtest/gtest.h>

#include <string>

#include "model/db/solid.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "tests/model/undo_support.h"

namespace {

class BufferMaterial : public UndoTest {
  protected:
    void SetUp() override {
        UndoTest::SetUp();
        image_ = rtc_make<MATRPATT>();
        float colour[4] = {0.1f, 0.2f, 0.3f, 0.4f};
        std::copy(colour, colour + 4, src_.colour);
        src_.self_illumination = 0.5f;
        src_.transparency = 0.6f;
        src_.shininess = 0.7f;
        src_.specular_exponent = 50;
        src_.randomness = 0.3f;
        src_.reflection_level = 0.9f;
        src_.refraction = 1.5f;
        src_.diffuse = 0.2f;
        src_.flags = kMaterialMappingType | kMaterialColourHighlight | kMaterialSmoothByAngle;
        src_.smoothing_angle = 1.0f;
        TextureSlot& t = src_.slots[kSlotTexture];
        t.kind = kTextureImage;
        texture_mapping_init(&t.mapping);
        t.mapping.u_scale = 2;
        t.mapping.angle = 30;
        t.mapping.u_offset = 0.25f;
        t.mapping.flags = kMappingDecal;
        t.mapping.image = image_.get();
        TextureSlot& bump = src_.slots[kSlotBump];
        bump.kind = 5;
        pattern_params_init(&bump.pattern);
        bump.pattern.frequency = 3;
    }
    void TearDown() override {
        image_.reset();
        UndoTest::TearDown();
    }

    // The fields of `m` that differ from a fresh material, by name.
    static std::string changed(const MaterialRecord& m, const MATRPATT* image) {
        const MaterialRecord fresh;
        std::string s;
        auto note = [&s](bool differs, const char* name) {
            if (!differs) return;
            if (!s.empty()) s += ' ';
            s += name;
        };
        const TextureSlot& t = m.slots[kSlotTexture];
        const bool image_map = t.kind == kTextureImage;
        note(m.colour[0] != fresh.colour[0], "colour");
        note(m.self_illumination != fresh.self_illumination, "self");
        note(m.transparency != fresh.transparency, "transp");
        note(m.shininess != fresh.shininess, "shin");
        note(m.specular_exponent != fresh.specular_exponent, "specular");
        note(m.randomness != fresh.randomness, "rand");
        note(m.reflection_level != fresh.reflection_level, "refl");
        note(m.refraction != fresh.refraction, "refr");
        note((m.flags ^ fresh.flags) & kMaterialMappingType, "map");
        note((m.flags ^ fresh.flags) & kMaterialColourHighlight, "hl");
        note((m.flags ^ fresh.flags) & (kMaterialSmoothAlways | kMaterialSmoothByAngle), "smooth");
        note(m.smoothing_angle != fresh.smoothing_angle, "angle");
        note(t.kind != kTextureNone, "t0");
        note(image_map && t.mapping.image == image, "img");
        note(image_map && t.mapping.u_scale == 2, "uscale");
        note(image_map && t.mapping.angle == 30, "rot");
        note(image_map && (t.mapping.flags & kMappingDecal), "decal");
        note(image_map && t.mapping.u_offset == 0.25f, "uoff");
        note(m.slots[kSlotBump].kind == 5 && m.slots[kSlotBump].pattern.frequency == 3, "t1");
        note(m.diffuse != fresh.diffuse, "diffuse");
        return s;
    }

    std::unique_ptr<MATRPATT> image_;
    MaterialRecord src_;
};

TEST_F(BufferMaterial, EachMaskBitCarriesItsFields) {
    const struct {
        int32_t mask;
        const char* want;
    } rows[] = {
        {kMatApplyColour, "colour"},
        {kMatApplySelfIllumination, "self"},
        {kMatApplyTransparency, "transp"},
        {kMatApplyShininess, "shin"},
        {kMatApplySpecularExponent, "specular"},
        {kMatApplyRandomness, "rand"},
        {kMatApplyReflectionLevel, "refl"},
        {kMatApplyRefraction, "refr"},
        {kMatApplyMappingType, "map"},
        {kMatApplyColourHighlight, "hl"},
        {kMatApplySmoothing, "smooth angle"},
        {kMatApplyTexture, "t0 img"},
        {kMatApplyTexture | kMatApplyMapScale, "t0 img uscale"},
        {kMatApplyTexture | kMatApplyMapAngle, "t0 img rot"},
        {kMatApplyTexture | kMatApplyMapDecal, "t0 img decal"},
        {kMatApplyBumpReflection, "t1"},
        {kMatApplyAll,
         "colour self transp shin specular rand refl refr map hl smooth angle t0 img uscale rot decal "
         "uoff t1 diffuse"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mask);
        auto mesh = rtc_make<MESH3>();
        buffer* sel = buffer_create();
        EXPECT_EQ(buffer_add(sel, mesh.get()), 0);
        EXPECT_EQ(buffer_set_material(sel, &src_, row.mask), 0);
        EXPECT_EQ(changed(*mesh->material, image_.get()), row.want);
        buffer_free(&sel);
    }
}

TEST_F(BufferMaterial, WhoTakesTheMaterial) {
    auto* mesh = static_cast<MESH3*>(rtc_new("mesh", &MESH3::rtc_class).release());
    auto* cam = static_cast<CAMERA*>(rtc_new("cam", &CAMERA::rtc_class).release());
    auto* deep = static_cast<MESH3*>(rtc_new("deep", &MESH3::rtc_class).release());
    auto* light = static_cast<LIGHT*>(rtc_new("light", &LIGHT::rtc_class).release());
    auto* alone = static_cast<MESH3*>(rtc_new("alone", &MESH3::rtc_class).release());
    ZOBJ* g = make("G");
    ZOBJ* inner = make("H");
    EXPECT_EQ(container_insert(layer_, g), 0);
    EXPECT_EQ(container_insert(layer_, light), 0);
    EXPECT_EQ(container_insert(layer_, alone), 0);
    EXPECT_EQ(container_insert(static_cast<CONTAINER*>(g), mesh), 0);
    EXPECT_EQ(container_insert(static_cast<CONTAINER*>(g), cam), 0);
    EXPECT_EQ(container_insert(static_cast<CONTAINER*>(g), inner), 0);
    EXPECT_EQ(container_insert(static_cast<CONTAINER*>(inner), deep), 0);
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, g), 0);
    EXPECT_EQ(buffer_add(sel, light), 0);
    EXPECT_EQ(buffer_set_material(sel, &src_, kMatApplyColour), 0);
    EXPECT_EQ(changed(*mesh->material, nullptr), "colour");
    EXPECT_EQ(changed(*cam->material, nullptr), "colour");
    EXPECT_EQ(changed(*deep->material, nullptr), "");  // only direct children
    EXPECT_EQ(changed(*alone->material, nullptr), "");
    EXPECT_EQ(light->light_colour[3], 0.4f);
    EXPECT_EQ(buffer_set_material(sel, nullptr, kMatApplyColour), kBadArgument);
    buffer_free(&sel);
}

TEST_F(BufferMaterial, OutOfMemoryIsReported) {
    ASSERT_EQ(colour_ramp_new(&src_.slots[kSlotTexture].ramp, 2), 0);
    auto mesh = rtc_make<MESH3>();
    buffer* sel = buffer_create();
    EXPECT_EQ(buffer_add(sel, mesh.get()), 0);
    material_fail_allocation_after(1);
    EXPECT_EQ(buffer_set_material(sel, &src_, kMatApplyTexture), kOutOfMemory);
    material_fail_allocation_after(0);
    EXPECT_EQ(buffer_set_material(sel, &src_, kMatApplyTexture), 0);
    ASSERT_NE(mesh->material->slots[kSlotTexture].ramp, nullptr);
    EXPECT_NE(mesh->material->slots[kSlotTexture].ramp, src_.slots[kSlotTexture].ramp);
    EXPECT_EQ(mesh->material->slots[kSlotTexture].ramp->count, 2);
    buffer_free(&sel);
}

}  // namespace
