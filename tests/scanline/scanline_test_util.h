// Scenes for the scan-line renderer's tests: a drawing with meshes in its first
// layer, a parallel view, a 24-bit target and pixel access.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/raster/raster.h"
#include "graphics/view/projection.h"
#include "model/db/buffer.h"
#include "model/db/solid.h"
#include "model/db/zobj.h"
#include "model/math/types.h"
#include "render/scanline/render_scene.h"

struct Image24 {
    RasterImage* image = nullptr;
    ImageDC* dc = nullptr;
    Image24(int w, int h);
    // The same over buffer segments of at most segment_bytes each.
    Image24(int w, int h, size_t segment_bytes);
    ~Image24();
    Image24(const Image24&) = delete;
    Image24& operator=(const Image24&) = delete;
    // Red, green, blue of pixel (x, y), row 0 at the top.
    void rgb(int x, int y, uint8_t out[3]) const;
    // Every pixel as r, g, b bytes row by row.
    std::vector<uint8_t> bytes() const;
    int width() const { return image->width; }
    int height() const { return image->height; }
};

struct TestScene {
    std::unique_ptr<MODEL> model;
    LAYER* layer = nullptr;
    buffer* objects = nullptr;  // every mesh added
    RenderSettings settings;
    ViewProjection view;  // identity view, origin 0, scale 1
    TestScene();
    ~TestScene();
    // A mesh of triangles (three points each) with a white material of the given
    // flags, self-illumination and diffuse, added to the layer and the buffer.
    MESH3* add_mesh(const std::vector<Vec3>& tri_points, uint32_t material_flags = 0,
                    float self_illumination = 0.0f, float diffuse = 1.0f);
    // An axis-aligned box as 12 triangles.
    MESH3* add_box(Vec3 lo, Vec3 hi, uint32_t material_flags = 0, float self_illumination = 0.0f);
    // A UV sphere grid mesh (smooth material).
    MESH3* add_sphere(Vec3 centre, float radius, int rows, int columns);
    LIGHT* add_light(Vec3 position, float r, float g, float b);
    // A camera at `position` looking at `target` with the given lens and up direction,
    // added to the layer.
    CAMERA* add_camera(Vec3 position, Vec3 target, double lens = 1.0, Vec3 up = {0, 0, 1});
    int render(Image24& img, const CAMERA* camera = nullptr, RenderProgressFn progress = nullptr,
               RenderRowDoneFn rows = nullptr, void* context = nullptr,
               const RenderLayerFilter* filter = nullptr);
};

// (golden_support.cpp, in the scan-line suite only.) Compares rgb bytes (w x h) with tests/data/render/<name>.ppm: at most 0.2% of the
// pixels may differ by more than 2 in a channel. ZELO_GOLDEN_OUT names a folder to
// write the images made now; a missing reference writes a candidate and fails.
void golden_compare(const char* name, int w, int h, const std::vector<uint8_t>& got);
// Renders the scene into a w x h image and compares it.
void golden_check(const char* name, TestScene& s, int w, int h, const CAMERA* cam = nullptr);

// Reads or writes a binary PPM (P6).
bool read_ppm(const std::string& path, int* w, int* h, std::vector<uint8_t>* rgb);
bool write_ppm(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb);
