// Test scenes, targets and PPM files for the scan-line renderer's tests.
#include "scanline_test_util.h"

#include <cmath>
#include <cstdio>

#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"

Image24::Image24(int w, int h) {
    image = image_create(w, h, 1, 24, nullptr);
    dc = image_dc_create(image);
}

Image24::Image24(int w, int h, size_t segment_bytes) {
    image = image_create_segmented(w, h, 1, 24, nullptr, segment_bytes);
    dc = image_dc_create(image);
}

Image24::~Image24() {
    image_dc_free(dc);
    image_free(image);
}

void Image24::rgb(int x, int y, uint8_t out[3]) const {
    uint32_t p = 0;
    dc->read_row(dc, x, y, 1, &p, 4, 3);
    out[0] = static_cast<uint8_t>(p >> 16);
    out[1] = static_cast<uint8_t>(p >> 8);
    out[2] = static_cast<uint8_t>(p);
}

std::vector<uint8_t> Image24::bytes() const {
    std::vector<uint8_t> v;
    std::vector<uint32_t> row(static_cast<size_t>(image->width));
    for (int y = 0; y < image->height; ++y) {
        dc->read_row(dc, 0, y, image->width, row.data(), row.size() * 4, 3);
        for (uint32_t p : row) {
            v.push_back(static_cast<uint8_t>(p >> 16));
            v.push_back(static_cast<uint8_t>(p >> 8));
            v.push_back(static_cast<uint8_t>(p));
        }
    }
    return v;
}

TestScene::TestScene() {
    rtc_register_all();
    model = rtc_make<MODEL>();
    layer = static_cast<LAYER*>(static_cast<CONTAINER*>(model.get())->first_child());
    objects = buffer_create();
    settings.objects = objects;
    settings.flags = kRenderGouraud;
}

TestScene::~TestScene() {
    buffer_free(&objects);
}

MESH3* TestScene::add_mesh(const std::vector<Vec3>& pts, uint32_t flags, float self, float diffuse) {
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* b = mesh_face_block(m.get(), 0);
    for (size_t i = 0; i + 2 < pts.size(); i += 3) {
        const auto base = static_cast<int32_t>(b->vertices.size());
        for (int k = 0; k < 3; ++k)
            b->vertices.push_back(MeshVertex{pts[i + k].x, pts[i + k].y, pts[i + k].z, {}});
        (void)mesh_add_triangle(b, base, base + 1, base + 2);
    }
    for (int i = 0; i < 4; ++i) m->material->colour[i] = i < 3 ? 1.0f : 0.0f;
    m->material->flags = flags;
    m->material->self_illumination = self;
    m->material->diffuse = diffuse;
    m->material->shininess = 0.0f;
    MESH3* raw = m.get();
    (void)container_insert(layer, m.release());
    (void)buffer_add(objects, raw);
    return raw;
}

MESH3* TestScene::add_box(Vec3 a, Vec3 b, uint32_t flags, float self) {
    const Vec3 c[8] = {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z},
                       {a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}};
    const int q[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                         {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    auto m = rtc_make<MESH3>();
    MeshFaceBlock* blk = mesh_face_block(m.get(), 0);
    for (const Vec3& p : c) blk->vertices.push_back(MeshVertex{p.x, p.y, p.z, {}});
    for (const auto& f : q) {
        (void)mesh_add_triangle(blk, f[0], f[1], f[2]);
        (void)mesh_add_triangle(blk, f[0], f[2], f[3]);
    }
    for (int i = 0; i < 4; ++i) m->material->colour[i] = i < 3 ? 1.0f : 0.0f;
    m->material->flags = flags;
    m->material->self_illumination = self;
    m->material->shininess = 0.0f;
    MESH3* raw = m.get();
    (void)container_insert(layer, m.release());
    (void)buffer_add(objects, raw);
    return raw;
}

MESH3* TestScene::add_sphere(Vec3 c, float r, int rows, int cols) {
    auto m = rtc_make<MESH3>();
    std::vector<Vec3d> pts;
    for (int i = 0; i <= rows; ++i) {
        const double phi = M_PI * i / rows;
        for (int j = 0; j < cols; ++j) {
            const double th = 2 * M_PI * j / cols;
            pts.push_back({c.x + r * std::sin(phi) * std::cos(th), c.y + r * std::sin(phi) * std::sin(th),
                           c.z + r * std::cos(phi)});
        }
    }
    (void)mesh_add_grid(m.get(), pts, cols, rows + 1, true, false);
    for (int i = 0; i < 4; ++i) m->material->colour[i] = i < 3 ? 0.9f : 0.0f;
    m->material->flags = kMaterialSmoothAlways;
    MESH3* raw = m.get();
    (void)container_insert(layer, m.release());
    (void)buffer_add(objects, raw);
    return raw;
}

LIGHT* TestScene::add_light(Vec3 p, float r, float g, float b) {
    auto l = rtc_make<LIGHT>();
    l->position = p;
    l->light_colour[0] = r;
    l->light_colour[1] = g;
    l->light_colour[2] = b;
    LIGHT* raw = l.get();
    (void)container_insert(layer, l.release());
    return raw;
}

CAMERA* TestScene::add_camera(Vec3 position, Vec3 target, double lens, Vec3 up) {
    auto c = rtc_make<CAMERA>();
    c->position = position;
    c->target = target;
    c->up = up;
    c->lens = lens;
    CAMERA* raw = c.get();
    (void)container_insert(layer, c.release());
    return raw;
}

int TestScene::render(Image24& img, const CAMERA* camera, RenderProgressFn progress,
                      RenderRowDoneFn rows, void* context, const RenderLayerFilter* filter) {
    return render_scene(img.dc, &settings, &view, model.get(), filter, camera, progress, rows,
                        context);
}

bool read_ppm(const std::string& path, int* w, int* h, std::vector<uint8_t>* rgb) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    int maxv = 0;
    const bool ok = std::fscanf(f, "P6 %d %d %d", w, h, &maxv) == 3 && maxv == 255 &&
                    std::fgetc(f) != EOF;
    if (ok) {
        rgb->resize(static_cast<size_t>(*w) * *h * 3);
        const size_t n = std::fread(rgb->data(), 1, rgb->size(), f);
        std::fclose(f);
        return n == rgb->size();
    }
    std::fclose(f);
    return false;
}

bool write_ppm(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::fwrite(rgb.data(), 1, rgb.size(), f);
    return std::fclose(f) == 0;
}
