// Golden pictures: the solid letters of "Zelo" (DejaVu Sans, depth and chamfer) drawn
// in a front and an isometric view, and the outline preview of the same text as the
// position step draws it, compared with reviewed references in tests/data/text3d. A
// missing or different reference leaves the candidate in the test's temporary folder.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>

#include "commands/model3d/text3d.h"
#include "commands/model3d/text3d_solid.h"
#include "graphics/view/canvas.h"
#include "graphics/view/projection.h"
#include "model/math/matrix.h"
#include "harness.h"
#include "pictures.h"
#include "scene.h"

namespace {

TextFontRecord dejavu() {
    TextFontRecord f;
    f.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    return f;
}

TEST(Text3dGolden, ZeloSolidsFrontAndIsometric) {
    Harness h;
    ASSERT_EQ(text3d_place(h.view(), {4, 6, 0}, dejavu(), "Zelo", 40, 12, 0.8), 0);
    LAYER* layer = scene_layer(h.model());
    ASSERT_NE(layer, nullptr);
    object* group = static_cast<object*>(layer->first_child());
    ASSERT_NE(group, nullptr);
    const struct {
        const char* name;
        double ax, ay, ox, oy;
    } shots[] = {{"zelo_front", 0, 0, -4, -4}, {"zelo_isometric", -0.6, 0.45, -22, -8}};
    for (const auto& s : shots) {
        SCOPED_TRACE(s.name);
        ViewProjection& vp = h.view()->projection;
        vp = ViewProjection{};
        mat_rotate_xyz(&vp.view, &vp.inverse, s.ax, s.ay, 0);
        vp.scale = 2.5;
        vp.origin_x = s.ox;
        vp.origin_y = s.oy;
        Canvas canvas;
        ASSERT_EQ(canvas.resize(320, 130, 0x000000), 0);
        canvas.draw_object(h.view(), group, 7);
        expect_picture(canvas, "text3d", s.name);
    }
}

struct PreviewCanvas {
    Canvas* canvas;
    int x, y;
    double k;
};

TEST(Text3dGolden, PreviewLines) {
    Canvas canvas;
    ASSERT_EQ(canvas.resize(170, 70, 0x000000), 0);
    canvas.set_pen(kDrawCopy, 0xFFFFFF);
    PreviewCanvas pc{&canvas, 10, 18, 60};
    glyph_preview(dejavu(), "Zelo", &pc, [](void* ctx, double x0, double y0, double x1, double y1) {
        auto* p = static_cast<PreviewCanvas*>(ctx);
        p->canvas->line(static_cast<int>(std::lround(p->x + x0 * p->k)), static_cast<int>(std::lround(p->y + y0 * p->k)),
                        static_cast<int>(std::lround(p->x + x1 * p->k)), static_cast<int>(std::lround(p->y + y1 * p->k)));
    });
    expect_picture(canvas, "text3d", "zelo_preview");
}

}  // namespace
