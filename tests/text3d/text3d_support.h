// Shared pieces of the 3D text tests: a sink that keeps every glyph's arrays, and
// opening the tests' own font from memory.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "commands/model3d/text3d_solid.h"
#include "test_font.h"

struct KeepSink : Text3dSink {
    std::vector<GlyphMesh> meshes;
    int begun = 0, ended = 0, code = -1;
    int begin_glyph() override { return ++begun, 0; }
    int finish_glyph(GlyphMesh&& m) override {
        meshes.push_back(std::move(m));
        return 0;
    }
    void end(int c) override { ++ended, code = c; }
};

struct MemoryFont {
    std::vector<unsigned char> bytes;
    GlyphFont font;
    explicit MemoryFont(const TestFont& f) : bytes(f.bytes()) {
        EXPECT_EQ(glyph_font_open_memory(&font, bytes.data(), bytes.size(), 0), 0);
    }
};
