// Colour ramps: creation, copy, reference counting and release.
#include <gtest/gtest.h>

#include "model/material/material.h"
#include "model/math/result.h"

namespace {

TEST(ColourRamp, NewWithNoKeysIsNull) {
    ColourRamp dummy{};
    ColourRamp* r = &dummy;
    EXPECT_EQ(colour_ramp_new(&r, 0), 0);
    EXPECT_EQ(r, nullptr);
}

TEST(ColourRamp, NewHasZeroedKeysAndOneHolder) {
    ColourRamp* r = nullptr;
    ASSERT_EQ(colour_ramp_new(&r, 4), 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->count, 4);
    EXPECT_EQ(r->refcount, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r->keys[i].position, 0.0);
        EXPECT_EQ(r->keys[i].r + r->keys[i].g + r->keys[i].b + r->keys[i].a, 0.0f);
    }
    colour_ramp_release(&r);  // the only holder: freed (leak checking confirms)
    EXPECT_EQ(r, nullptr);
}

TEST(ColourRamp, SharedRampSurvivesOneRelease) {
    ColourRamp* a = nullptr;
    ASSERT_EQ(colour_ramp_new(&a, 2), 0);
    a->keys[1].g = 0.5f;
    a->refcount = 1;
    ColourRamp* b = a;

    colour_ramp_release(&a);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b->refcount, 0);
    EXPECT_EQ(b->keys[1].g, 0.5f);  // still alive for the other holder
    colour_ramp_release(&b);
    EXPECT_EQ(b, nullptr);
}

TEST(ColourRamp, CopyByKindOfSource) {
    ColourRamp* out = reinterpret_cast<ColourRamp*>(0x1);
    EXPECT_EQ(colour_ramp_copy(&out, nullptr), 0);
    EXPECT_EQ(out, nullptr);

    ColourRamp preset = {0, -12, nullptr};
    EXPECT_EQ(colour_ramp_copy(&out, &preset), 0);
    EXPECT_EQ(out, &preset);

    ColourRamp* src = nullptr;
    ASSERT_EQ(colour_ramp_new(&src, 3), 0);
    src->refcount = 2;
    for (int i = 0; i < 3; ++i) src->keys[i] = {i * 0.5, 0.1f * i, 0.2f, 0.3f, 0.4f};
    ASSERT_EQ(colour_ramp_copy(&out, src), 0);
    ASSERT_NE(out, src);
    EXPECT_NE(out->keys, src->keys);
    EXPECT_EQ(out->count, 3);
    EXPECT_EQ(out->refcount, 0);
    EXPECT_EQ(out->keys[2].position, 1.0);
    EXPECT_FLOAT_EQ(out->keys[2].r, 0.2f);
    colour_ramp_release(&out);
    src->refcount = 0;
    colour_ramp_release(&src);
}

TEST(ColourRamp, OutOfMemoryStoresNull) {
    for (int fail_at : {1, 2}) {  // the header, then the keys
        SCOPED_TRACE(fail_at);
        ColourRamp* r = nullptr;
        material_fail_allocation_after(fail_at);
        EXPECT_EQ(colour_ramp_new(&r, 3), kOutOfMemory);
        EXPECT_EQ(r, nullptr);

        ColourRamp* src = nullptr;
        material_fail_allocation_after(0);
        ASSERT_EQ(colour_ramp_new(&src, 3), 0);
        material_fail_allocation_after(fail_at);
        EXPECT_EQ(colour_ramp_copy(&r, src), kOutOfMemory);
        EXPECT_EQ(r, nullptr);
        material_fail_allocation_after(0);
        colour_ramp_release(&src);
    }
}

}  // namespace
