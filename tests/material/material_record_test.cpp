// Material record: defaults, deep copy (including self-copy, static preset ramps
// and failed copies) and release.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/material/material.h"
#include "model/math/result.h"

namespace {

ColourRampKey g_preset_keys[2] = {{0.0, 1, 0, 0, 0}, {1.0, 0, 0, 1, 0}};
ColourRamp g_preset = {2, -7, g_preset_keys};

std::unique_ptr<Transform> make_transform(double seed) {
    auto t = std::make_unique<Transform>();
    for (int i = 0; i < 12; ++i) {
        t->fwd.m[i] = seed + i;
        t->inv.m[i] = -seed - i;
    }
    return t;
}

ColourRamp* make_ramp(int n, double seed) {
    ColourRamp* r = nullptr;
    EXPECT_EQ(colour_ramp_new(&r, n), 0);
    for (int i = 0; i < n; ++i) {
        r->keys[i] = {static_cast<double>(i) / n, static_cast<float>(seed), 0.5f, 0.25f, 1.0f};
    }
    return r;
}

// A source record that uses every kind of slot content: an owned ramp with a
// transform, a static preset with a transform, an owned ramp without a transform.
MaterialRecord* make_source() {
    MaterialRecord* m = material_new();
    m->colour[0] = 0.5f;
    m->colour[3] = 0.125f;
    m->shininess = 0.9f;
    m->refraction = 2.5f;
    m->flags = kMaterialColourHighlight | kMaterialSmoothByAngle;
    m->smoothing_angle = 0.25f;

    TextureSlot& t = m->slots[kSlotTexture];
    t.kind = 3;
    t.amount = 0.75f;
    t.mapping_mode = kMappingModeCylindrical;
    t.transform = make_transform(10);
    t.ramp = make_ramp(3, 0.3);
    pattern_params_init(&t.pattern);
    t.pattern.frequency = 4.0f;

    TextureSlot& b = m->slots[kSlotBump];
    b.kind = 5;
    b.transform = make_transform(20);
    b.ramp = &g_preset;

    TextureSlot& r = m->slots[kSlotReflection];
    r.kind = kTextureImage;
    texture_mapping_init(&r.mapping);
    r.mapping.u_scale = 3.0f;
    r.ramp = make_ramp(2, 0.6);
    return m;
}

void expect_same_values(const MaterialRecord& a, const MaterialRecord& b) {
    EXPECT_EQ(0, std::memcmp(a.colour, b.colour, sizeof a.colour));
    EXPECT_EQ(a.self_illumination, b.self_illumination);
    EXPECT_EQ(a.transparency, b.transparency);
    EXPECT_EQ(a.diffuse, b.diffuse);
    EXPECT_EQ(a.diffuse_exponent, b.diffuse_exponent);
    EXPECT_EQ(a.second_highlight, b.second_highlight);
    EXPECT_EQ(a.second_highlight_exponent, b.second_highlight_exponent);
    EXPECT_EQ(a.shininess, b.shininess);
    EXPECT_EQ(a.specular_exponent, b.specular_exponent);
    EXPECT_EQ(a.randomness, b.randomness);
    EXPECT_EQ(a.reflection_level, b.reflection_level);
    EXPECT_EQ(a.refraction, b.refraction);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.smoothing_angle, b.smoothing_angle);
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        SCOPED_TRACE(i);
        const TextureSlot& x = a.slots[i];
        const TextureSlot& y = b.slots[i];
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.amount, y.amount);
        EXPECT_EQ(x.mapping_mode, y.mapping_mode);
        EXPECT_EQ(0, std::memcmp(&x.mapping, &y.mapping, kTextureParamsSize));
        ASSERT_EQ(x.transform == nullptr, y.transform == nullptr);
        if (x.transform) {
            EXPECT_EQ(0, std::memcmp(x.transform.get(), y.transform.get(), sizeof(Transform)));
        }
        ASSERT_EQ(x.ramp == nullptr, y.ramp == nullptr);
        if (x.ramp) {
            ASSERT_EQ(x.ramp->count, y.ramp->count);
            EXPECT_EQ(
                0, std::memcmp(x.ramp->keys, y.ramp->keys, sizeof(ColourRampKey) * x.ramp->count));
        }
    }
}

// d holds nothing that s owns: only static presets may be shared.
void expect_no_shared_pointers(const MaterialRecord& d, const MaterialRecord& s) {
    for (int i = 0; i < kMaterialSlotCount; ++i) {
        for (int j = 0; j < kMaterialSlotCount; ++j) {
            SCOPED_TRACE(testing::Message() << "slots " << i << ", " << j);
            if (d.slots[i].transform) {
                EXPECT_NE(d.slots[i].transform, s.slots[j].transform);
            }
            if (d.slots[i].ramp && d.slots[i].ramp->refcount >= 0) {
                EXPECT_NE(d.slots[i].ramp, s.slots[j].ramp);
                EXPECT_NE(d.slots[i].ramp->keys, s.slots[j].ramp ? s.slots[j].ramp->keys : nullptr);
            }
        }
    }
}

TEST(MaterialRecord, Defaults) {
    MaterialRecord* m = material_new();
    ASSERT_NE(m, nullptr);
    struct Row {
        const char* name;
        float value;
        float expected;
    } rows[] = {
        {"colour r", m->colour[0], 0.0f},
        {"colour a", m->colour[3], 0.0f},
        {"self_illumination", m->self_illumination, 0.0f},
        {"transparency", m->transparency, 0.0f},
        {"diffuse", m->diffuse, 1.0f},
        {"diffuse_exponent", m->diffuse_exponent, 1.0f},
        {"second_highlight", m->second_highlight, 0.0f},
        {"second_highlight_exponent", m->second_highlight_exponent, 20.0f},
        {"shininess", m->shininess, 0.4f},
        {"specular_exponent", m->specular_exponent, 40.0f},
        {"randomness", m->randomness, 0.0f},
        {"reflection_level", m->reflection_level, 0.25f},
        {"refraction", m->refraction, 1.0f},
        {"smoothing_angle", m->smoothing_angle, 0.5235988f},
    };
    for (const Row& r : rows) EXPECT_FLOAT_EQ(r.value, r.expected) << r.name;
    EXPECT_EQ(m->flags, kMaterialSmoothAlways);

    const unsigned char zero[kTextureParamsSize] = {};
    for (const TextureSlot& s : m->slots) {
        EXPECT_EQ(s.kind, kTextureNone);
        EXPECT_EQ(s.amount, 1.0f);
        EXPECT_EQ(s.mapping_mode, 0);
        EXPECT_EQ(s.transform, nullptr);
        EXPECT_EQ(s.ramp, nullptr);
        EXPECT_EQ(0, std::memcmp(&s.mapping, zero, kTextureParamsSize));
    }
    material_free(&m);
    EXPECT_EQ(m, nullptr);
    material_free(&m);  // a null record is accepted
}

TEST(MaterialRecord, InitResetsAUsedRecord) {
    MaterialRecord* m = make_source();
    material_init(m);
    MaterialRecord fresh;
    expect_same_values(*m, fresh);
    EXPECT_EQ(g_preset.refcount, -7);
    material_free(&m);
}

TEST(MaterialRecord, CopyIsDeepAndIndependent) {
    MaterialRecord* s = make_source();
    MaterialRecord* d = material_new();
    ASSERT_EQ(material_copy(d, s), 0);
    expect_same_values(*d, *s);
    expect_no_shared_pointers(*d, *s);
    EXPECT_EQ(d->slots[0].ramp->refcount, 0);

    d->slots[0].ramp->keys[1].r = 0.99f;
    d->slots[0].transform->fwd.m[9] = 1e6;
    EXPECT_FLOAT_EQ(s->slots[0].ramp->keys[1].r, 0.3f);
    EXPECT_EQ(s->slots[0].transform->fwd.m[9], 19.0);

    material_free(&s);  // d must stay whole without its source
    EXPECT_FLOAT_EQ(d->slots[2].ramp->keys[1].r, 0.6f);
    material_free(&d);
}

TEST(MaterialRecord, SameTellsACopyFromAnyEdit) {
    struct Edit {
        const char* what;
        void (*change)(MaterialRecord*);
    } edits[] = {
        {"colour", [](MaterialRecord* m) { m->colour[2] += 0.5f; }},
        {"slot amount", [](MaterialRecord* m) { m->slots[1].amount = 0.125f; }},
        {"slot kind", [](MaterialRecord* m) { m->slots[2].kind = 3; }},
        {"placement", [](MaterialRecord* m) { m->slots[0].transform->fwd.m[9] = 1e6; }},
        {"placement dropped", [](MaterialRecord* m) { m->slots[0].transform.reset(); }},
        {"ramp key", [](MaterialRecord* m) { m->slots[0].ramp->keys[1].g = 0.75f; }},
        {"parameters", [](MaterialRecord* m) { m->slots[0].mapping.angle = 45; }},
        {"last scalar", [](MaterialRecord* m) { m->smoothing_angle = 0.1f; }},
        {"flags", [](MaterialRecord* m) { m->flags ^= kMaterialSmoothByAngle; }},
    };
    MaterialRecord* s = make_source();
    for (const Edit& e : edits) {
        MaterialRecord* d = material_new();
        ASSERT_EQ(material_copy(d, s), 0);
        EXPECT_TRUE(material_same(*d, *s)) << e.what;  // ramps and placements copied, not shared
        e.change(d);
        EXPECT_FALSE(material_same(*d, *s)) << e.what;
        EXPECT_FALSE(material_same(*s, *d)) << e.what;
        material_free(&d);
    }
    material_free(&s);
}

TEST(MaterialRecord, StaticPresetRampIsSharedAndSurvivesFrees) {
    MaterialRecord* s = material_new();
    s->slots[0].kind = 2;
    s->slots[0].ramp = &g_preset;
    MaterialRecord* d = material_new();
    ASSERT_EQ(material_copy(d, s), 0);
    EXPECT_EQ(d->slots[0].ramp, &g_preset);
    material_free(&d);
    material_free(&s);
    EXPECT_EQ(g_preset.refcount, -7);
    EXPECT_EQ(g_preset.count, 2);
    EXPECT_EQ(g_preset.keys, g_preset_keys);
    EXPECT_EQ(g_preset_keys[1].b, 1.0f);
}

TEST(MaterialRecord, SelfCopyLeavesRecordValid) {
    MaterialRecord* m = make_source();
    MaterialRecord* before = material_new();
    ASSERT_EQ(material_copy(before, m), 0);
    const ColourRamp* ramp0 = m->slots[0].ramp;
    const Transform* xf0 = m->slots[0].transform.get();

    EXPECT_EQ(material_copy(m, m), 0);
    expect_same_values(*m, *before);
    EXPECT_EQ(m->slots[0].ramp, ramp0);
    EXPECT_EQ(m->slots[0].transform.get(), xf0);
    material_free(&m);
    material_free(&before);
}

TEST(MaterialRecord, CopyFreesTransformsTheSourceLacks) {
    MaterialRecord* d = make_source();
    for (TextureSlot& s : d->slots) {
        if (!s.transform) s.transform = make_transform(99);
    }
    MaterialRecord* s = material_new();
    s->slots[1].transform = make_transform(5);

    ASSERT_EQ(material_copy(d, s), 0);
    EXPECT_EQ(d->slots[0].transform, nullptr);
    EXPECT_EQ(d->slots[2].transform, nullptr);
    ASSERT_NE(d->slots[1].transform, nullptr);
    EXPECT_EQ(d->slots[1].transform->fwd.m[0], 5.0);
    for (const TextureSlot& slot : d->slots) EXPECT_EQ(slot.ramp, nullptr);
    // Leak checking catches transforms or ramps of d that were dropped, not freed.
    material_free(&d);
    material_free(&s);
}

TEST(MaterialRecord, CopyKeepsARampBothRecordsHold) {
    MaterialRecord* s = material_new();
    MaterialRecord* d = material_new();
    ColourRamp* shared = make_ramp(2, 0.4);
    shared->refcount = 1;  // two holders
    s->slots[0].ramp = shared;
    d->slots[0].ramp = shared;

    ASSERT_EQ(material_copy(d, s), 0);
    EXPECT_NE(d->slots[0].ramp, shared);
    EXPECT_EQ(shared->refcount, 0);  // d let go of its reference
    EXPECT_FLOAT_EQ(d->slots[0].ramp->keys[0].r, 0.4f);
    material_free(&d);
    material_free(&s);
}

TEST(MaterialRecord, FailedCopyNeverSharesWithSource) {
    MaterialRecord* s = make_source();
    int succeeded_after = 0;
    for (int fail_at = 1; fail_at < 20 && !succeeded_after; ++fail_at) {
        SCOPED_TRACE(fail_at);
        MaterialRecord* d = make_source();  // owns ramps and transforms of its own
        d->slots[0].transform.reset();      // so the copy has to make a buffer here
        d->slots[2].transform = make_transform(7);
        material_fail_allocation_after(fail_at);
        const int rc = material_copy(d, s);
        material_fail_allocation_after(0);
        if (rc == 0) {
            succeeded_after = fail_at;
            expect_same_values(*d, *s);
        } else {
            EXPECT_EQ(rc, kOutOfMemory);
            // Slots from the failing one on hold nothing; earlier ones are whole copies.
            bool failed = false;
            for (int i = 0; i < kMaterialSlotCount; ++i) {
                const TextureSlot& slot = d->slots[i];
                if (!failed && (slot.ramp == nullptr) != (s->slots[i].ramp == nullptr)) {
                    failed = true;
                }
                if (!failed && (slot.transform == nullptr) != (s->slots[i].transform == nullptr)) {
                    failed = true;
                }
                if (failed) {
                    EXPECT_EQ(slot.ramp, nullptr) << "slot " << i;
                    EXPECT_EQ(slot.transform, nullptr) << "slot " << i;
                }
            }
            EXPECT_TRUE(failed);
        }
        expect_no_shared_pointers(*d, *s);
        material_free(&d);
    }
    // Slot 0: ramp header, keys, transform buffer; slot 2: ramp header, keys.
    EXPECT_EQ(succeeded_after, 6);
    EXPECT_EQ(g_preset.refcount, -7);
    material_free(&s);
}

TEST(MaterialRecord, NewReturnsNullWhenOutOfMemory) {
    material_fail_allocation_after(1);
    MaterialRecord* m = material_new();
    material_fail_allocation_after(0);
    EXPECT_EQ(m, nullptr);
}

}  // namespace
