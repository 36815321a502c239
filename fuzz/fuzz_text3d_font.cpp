// Fuzz target for 3D text from font bytes: the input is opened as a font from memory
// through FreeType; a fixed set of characters is read (outline reader and point
// cleaning) and built as solids, flat and with depth and chamfer. Checks: results
// are the documented codes; outlines have ordered polygon ends of at least three
// points within the point array, finite coordinates; solids index only their own
// vertices, which are finite.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>

#include "commands/model3d/text3d_solid.h"
#include "model/font_outline/glyph_outline.h"

namespace {

// Aborts with the failed condition's line.
#define check(ok) ((ok) ? (void)0 : (std::fprintf(stderr, "check failed at line %d\n", __LINE__), std::abort()))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GlyphFont font;
    const int open = glyph_font_open_memory(&font, data, size, 0);
    check(open == 0 || open == 6 || open == 8 || open == 13 || open == 19 || open == 202);
    if (open != 0) return 0;
    static const uint32_t codes[] = {'A', 'O', 'C', 'D', 'R', 'L', ' ', '8', 0xE9, 0x20AC};
    for (uint32_t code : codes) {
        GlyphOutline o;
        const int r = glyph_outline_read(&o, &font, code);
        check(r == 0 || r == 1 || r == 6 || r == 8);
        if (r != 0) continue;
        int32_t first = 0;
        for (int32_t end : o.ends) {
            check(end - first + 1 >= 3 && end < static_cast<int32_t>(o.points.size()));
            first = end + 1;
        }
        check(first == static_cast<int32_t>(o.points.size()));
        for (const OutlinePoint& p : o.points) check(std::isfinite(p.x) && std::isfinite(p.y));
        const double cases[2][2] = {{0, 0}, {0.3, 0.02}};
        for (const auto& c : cases) {
            Text3dParams p = text3d_params(1, c[0], c[1]);
            GlyphMesh g;
            const int b = glyph_solid_build(o, &p, &g);
            check(b == 0 || b == 8 || b == 13 || b == 34);
            if (b != 0) continue;
            const int32_t n = static_cast<int32_t>(g.vertices.size());
            for (const GlyphFace& f : g.faces) check(f.a >= 0 && f.a < n && f.b >= 0 && f.b < n && f.c >= 0 && f.c < n);
            for (const Vec3d& v : g.vertices) check(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
        }
    }
    return 0;
}
