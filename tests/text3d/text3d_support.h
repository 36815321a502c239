// Shared pieces of the 3D text tests: a sink that keeps every glyph's arrays,
// opening the tests' own font from memory, and contour vertices kept in a vector.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "commands/model3d/text3d_solid.h"
#include "model/math/types.h"
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

// The vertex callback of the contour ranges over a std::vector<Vec3d> (`v`): mode 0
// reads vertex i into xyz, any other mode writes xyz back into it.
inline void vector_vertex_io(void* v, int32_t i, double xyz[3], int mode) {
    Vec3d& p = (*static_cast<std::vector<Vec3d>*>(v))[static_cast<size_t>(i)];
    if (mode == 0)
        xyz[0] = p.x, xyz[1] = p.y, xyz[2] = p.z;
    else
        p = {xyz[0], xyz[1], xyz[2]};
}
