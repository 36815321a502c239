// Golden images of the wire-frame driver: a drawing with every kind of object drawn
// in a parallel and a perspective view into a small canvas of palette indices,
// compared with reviewed references in tests/data/view (8-bit PGM of palette
// indices). A missing or different reference leaves the candidate in the test's
// temporary folder for review.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/view/colours.h"
#include "graphics/view/driver.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/scalar.h"
#include "model/math/vec.h"
#include "model/mesh/mesh_block.h"
#include "view_test_util.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

// Palette indices, pixel (0, 0) at the bottom left as the engine counts.
struct Canvas {
    std::vector<uint8_t> px = std::vector<uint8_t>(kWidth * kHeight, 0);
    uint8_t colour = 15;

    void plot(int x, int y) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
        px[(kHeight - 1 - y) * kWidth + x] = colour;
    }
    void line(int x1, int y1, int x2, int y2) {
        // Segments far outside are clipped by the driver to +-16384: short enough here.
        const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
        const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(x1, y1);
            if (x1 == x2 && y1 == y2) break;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x1 += sx;
            if (e2 <= dx) err += dx, y1 += sy;
        }
    }
    void triangle(int x1, int y1, int x2, int y2, int x3, int y3) {
        const int lo_x = std::max(0, std::min({x1, x2, x3})),
                  hi_x = std::min(kWidth - 1, std::max({x1, x2, x3}));
        const int lo_y = std::max(0, std::min({y1, y2, y3})),
                  hi_y = std::min(kHeight - 1, std::max({y1, y2, y3}));
        auto edge = [](long ax, long ay, long bx, long by, long px, long py) {
            return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
        };
        const long area = edge(x1, y1, x2, y2, x3, y3);
        if (area == 0) return;
        for (int y = lo_y; y <= hi_y; ++y) {
            for (int x = lo_x; x <= hi_x; ++x) {
                long a = edge(x1, y1, x2, y2, x, y), b = edge(x2, y2, x3, y3, x, y),
                     c = edge(x3, y3, x1, y1, x, y);
                if (area < 0) a = -a, b = -b, c = -c;
                if (a >= 0 && b >= 0 && c >= 0) plot(x, y);
            }
        }
    }

    void attach(ViewProjection* vp) {
        vp->context = this;
        vp->line = [](void* c, int x1, int y1, int x2, int y2) {
            static_cast<Canvas*>(c)->line(x1, y1, x2, y2);
            return 0;
        };
        vp->triangle = [](void* c, int x1, int y1, int x2, int y2, int x3, int y3) {
            static_cast<Canvas*>(c)->triangle(x1, y1, x2, y2, x3, y3);
            return 0;
        };
        vp->pen = [](void* c, int colour, int, int) {
            static_cast<Canvas*>(c)->colour = static_cast<uint8_t>(colour_index_fix(colour));
            return 0;
        };
    }
};

bool write_pgm(const std::string& path, const std::vector<uint8_t>& px) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << kWidth << " " << kHeight << "\n255\n";
    out.write(reinterpret_cast<const char*>(px.data()), static_cast<std::streamsize>(px.size()));
    return static_cast<bool>(out);
}

bool read_pgm(const std::string& path, std::vector<uint8_t>* px) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    if (!(in >> magic >> w >> h >> max) || magic != "P5" || w != kWidth || h != kHeight)
        return false;
    in.get();
    px->assign(static_cast<size_t>(w) * h, 0);
    in.read(reinterpret_cast<char*>(px->data()), static_cast<std::streamsize>(px->size()));
    return static_cast<bool>(in);
}

template <class T>
T* add(CONTAINER* into, int colour) {
    auto o = rtc_make<T>();
    T* raw = o.get();
    raw->colour = colour;
    EXPECT_EQ(container_insert(into, o.release()), 0);
    return raw;
}

PtrNode* one_list(PointNode* l) {
    PtrNode* lists = nullptr;
    EXPECT_EQ(ptrlist_add(&lists, l), 0);
    return lists;
}

PointNode* closed(std::initializer_list<Vec3> pts) {
    return make_plist(pts, true);
}

// A drawing with every kind of object, in the square 0..100 of z = 0 (plus a mesh,
// a camera and lights above it).
void build_showcase(MODEL* m) {
    LAYER* layer = rtc_cast<LAYER>(m->first_child());
    auto dashed = rtc_make<LINEPATT>();
    dashed->set_string(0, "Dashed");
    dashed->dashes = {4, 2};
    LINEPATT* dash = dashed.get();
    model_insert_patt(m, dashed.release());
    auto hp = rtc_make<HATCHPATT>();
    hp->set_string(0, "Lines");
    HatchLine diagonal;
    diagonal.angle = 45;  // degrees
    diagonal.offset_y = 3;
    hp->lines = {diagonal};
    HATCHPATT* lines = hp.get();
    model_insert_patt(m, hp.release());

    XPLINE* poly = add<XPLINE>(layer, 15);
    poly->control = make_plist({{5, 5, 0}, {45, 5, 0}, {45, 25, 0}, {5, 25, 0}});
    poly->line_style = dash;
    XPLINE* spline = add<XPLINE>(layer, 2);
    spline->kind = 1;
    spline->curve_step = 1.0;
    spline->control = make_plist({{5, 35, 0}, {20, 50, 0}, {35, 35, 0}, {50, 50, 0}});
    XPLINE* fill = add<XPLINE>(layer, 4);
    fill->kind = 2;
    fill->control = make_plist({{60, 5, 0}, {70, 20, 0}, {80, 5, 0}});  // clockwise

    ELARC* circle = add<ELARC>(layer, 1);
    circle->flags = kElarcCircular;
    circle->centre = {20, 75, 0};
    circle->axis1 = {32, 75, 0};
    circle->axis2 = {20, 87, 0};
    circle->end = kTwoPi;
    ELARC* arc = add<ELARC>(layer, 3);
    arc->flags = kElarcCircular;
    arc->centre = {20, 75, 0};
    arc->axis1 = {26, 75, 0};
    arc->axis2 = {20, 81, 0};
    arc->start = 0.5;
    arc->end = 3.5;
    ELARC* ellipse = add<ELARC>(layer, 5);
    ellipse->flags = kElarcWholeEllipse;
    ellipse->centre = {60, 75, 0};
    ellipse->axis1 = {75, 80, 0};
    ellipse->axis2 = {58, 81, 0};
    ELARC* earc = add<ELARC>(layer, 6);
    earc->centre = {60, 75, 0};
    earc->axis1 = {68, 75, 0};
    earc->axis2 = {60, 79, 0};
    earc->start = 1.0;
    earc->end = 5.0;

    HATCH* hatch = add<HATCH>(layer, 9);
    hatch->pattern = lines;
    hatch->values[0] = 1.0;
    hatch->contours[0] = one_list(closed({{55, 30, 0}, {95, 30, 0}, {95, 55, 0}, {55, 55, 0}}));
    hatch->contours[1] = one_list(closed({{65, 38, 0}, {65, 47, 0}, {85, 47, 0}, {85, 38, 0}}));
    HATCH* solid = add<HATCH>(layer, 12);
    solid->values[0] = 1.0;
    solid->contours[0] = one_list(closed({{85, 5, 0}, {98, 5, 0}, {92, 20, 0}}));

    TEXT2* text = add<TEXT2>(layer, 14);
    text->text = "Zelo";
    text->font = static_cast<FONTPATT*>(model_find_patt(m, "DEFAULT", &FONTPATT::rtc_class));
    text->insert = {5, 92, 0};
    text->layout[kText2Width] = 5;
    text->layout[kText2Height] = 6;

    MESH3* box = add<MESH3>(layer, 11);
    const Vec3 c[8] = {{70, 62, 0},  {90, 62, 0},  {90, 72, 0},  {70, 72, 0},
                       {70, 62, 12}, {90, 62, 12}, {90, 72, 12}, {70, 72, 12}};
    const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& f : faces)
        EXPECT_EQ(mesh_add_face(box, &c[f[0]], &c[f[1]], &c[f[2]], &c[f[3]], 0), 0);

    CAMERA* cam = add<CAMERA>(layer, 7);
    cam->position = {50, -20, 20};
    cam->target = {50, 10, 0};
    cam->up = {0, 0.55f, 0.83f};
    cam->side = {1, 0, 0};
    cam->lens = 1.5;
    LIGHT* omni = add<LIGHT>(layer, 2);
    omni->position = {40, 95, 10};
    SPOTLITE* spot = add<SPOTLITE>(layer, 10);
    spot->position = {95, 95, 20};
    spot->target = {80, 80, 0};
    spot->cone_cos[0] = 0.95f;
    spot->cone_cos[1] = 0.9f;

    auto group = rtc_make<CONTAINER>();
    group->colour = 8;
    XPLINE* g1 = add<XPLINE>(group.get(), 13);
    g1->control = make_plist({{30, 55, 0}, {40, 65, 0}});
    XPLINE* g2 = add<XPLINE>(group.get(), 13);
    g2->control = make_plist({{30, 65, 0}, {40, 55, 0}});
    EXPECT_EQ(container_insert(layer, group.release()), 0);

    ASSERT_EQ(regen_object(m), 0);
    for (ZDLIST* n = layer->children; n;) {
        static_cast<object*>(n)->own_box();
        n = n->next == layer->children ? nullptr : n->next;
    }
    layer->own_box();
}

ViewProjection parallel_view() {
    ViewProjection vp;
    vp.scale = 2.2;
    vp.origin_x = -20;
    vp.origin_y = -5;
    return vp;
}

// Looking from the eye at the target, +Z up, the eye distance in pixels.
ViewProjection perspective_view(const Vec3d& eye, const Vec3d& target, double eye_distance) {
    ViewProjection vp;
    vp.mode = kProjPerspective;
    vp.eye_distance = eye_distance;
    vp.centre_x = kWidth / 2.0;
    vp.centre_y = kHeight / 2.0;
    Vec3d back = {eye.x - target.x, eye.y - target.y, eye.z - target.z};  // view +Z
    vec3_normalize_d(&back, &back);
    Vec3d up = {0, 0, 1}, x, y;
    vec3_cross_d(&x, &up, &back);
    vec3_normalize_d(&x, &x);
    vec3_cross_d(&y, &back, &x);
    Matrix43& m = vp.view;
    m = {{x.x, y.x, back.x, x.y, y.y, back.y, x.z, y.z, back.z, 0, 0, 0}};
    m.m[9] = -(eye.x * x.x + eye.y * x.y + eye.z * x.z);
    m.m[10] = -(eye.x * y.x + eye.y * y.y + eye.z * y.z);
    m.m[11] = -(eye.x * back.x + eye.y * back.y + eye.z * back.z);
    mat_invert(&vp.inverse, &vp.view);
    return vp;
}

void compare_with_reference(const std::vector<uint8_t>& got, const char* name) {
    const std::string ref = std::string(ZELO_TEST_DATA) + "/view/" + name + ".pgm";
    const std::string candidate = ::testing::TempDir() + "/" + name + ".pgm";
    std::vector<uint8_t> want;
    if (!read_pgm(ref, &want)) {
        write_pgm(candidate, got);
        FAIL() << "no reference " << ref << "; candidate written to " << candidate;
    }
    // A handful of pixels may move where a rounding differs between builds.
    size_t differ = 0;
    for (size_t i = 0; i < got.size(); ++i) differ += got[i] != want[i];
    if (differ > got.size() / 500) {
        write_pgm(candidate, got);
        FAIL() << differ << " pixels differ from " << ref << "; candidate written to " << candidate;
    }
}

class GoldenTest : public ::testing::Test {
  protected:
    void SetUp() override { rtc_register_all(); }
};

TEST_F(GoldenTest, EveryKindOfObjectInParallelAndPerspective) {
    auto model = rtc_make<MODEL>();
    build_showcase(model.get());
    if (HasFatalFailure()) return;
    int drawn_pixels[2] = {0, 0};
    const char* names[2] = {"wireframe_parallel", "wireframe_perspective"};
    for (int i = 0; i < 2; ++i) {
        ViewProjection vp =
            i == 0 ? parallel_view() : perspective_view({50, -60, 70}, {50, 50, 0}, 260);
        Canvas canvas;
        canvas.attach(&vp);
        viewiter_draw_object(&vp, model.get());
        for (uint8_t p : canvas.px) drawn_pixels[i] += p != 0;
        compare_with_reference(canvas.px, names[i]);
    }
    // Both views show a good part of the drawing.
    EXPECT_GT(drawn_pixels[0], 3000);
    EXPECT_GT(drawn_pixels[1], 3000);
}

}  // namespace
