// The scene store of the hidden-line removal: eye-coordinate vertices shared through a
// hash on single-precision coordinates, the feature edges of the drawing's line work
// (smooth inner edges between nearly coplanar triangles dropped), the triangles with
// their planes and projected bounds, and the iterator that walks a drawing into it.
//
// Eye coordinates: parallel projection uses the source view's matrix (the viewer
// looks down -z from +z, x and y are the picture); perspective uses the camera frame
// turned so that the eye sits at the origin looking along +z, and the picture is
// (x/z, y/z) scaled by the fit.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/db/iter.h"
#include "model/math/types.h"
#include "render/hide/hide_pool.h"

class VIEW;
class CAMERA;
class MODEL;
class LAYER;
class object;
struct HideEdge;

inline constexpr double kHideNearZ = 0.01;  // perspective: nearest depth kept

struct HideVertex {
    double x, y, z;
    HideVertex* bucket_next;
    HideEdge* edges;  // edges whose lower vertex this is
    int32_t id;       // creation order
};

struct HideTriangle;

struct HideEdge {
    HideVertex* a;  // lower id
    HideVertex* b;
    HideEdge* next;  // next edge of vertex a
    HideTriangle* tri[2];
    object* source;
    int32_t id;  // creation order; -1 once dropped
};

struct HideTriangle {
    double a, b, c, d;  // unit normal and offset: a x + b y + c z = d
    HideVertex* v[3];
    double min_x, min_y, max_x, max_y;  // projected bounds
    int32_t id;
};

struct HideCounts {
    int32_t vertices = 0, edges = 0, triangles = 0, skipped = 0;
    int32_t non_finite = 0;       // points skipped for a coordinate that is not finite
    int32_t wrong_triangles = 0;  // edges a triangle claimed without holding both ends
};

// What the worker reads of the Hide settings.
struct HideSettings {
    double width = 100.0, height = 100.0;  // perspective picture size
    double linear = 0.1;                   // shortest piece kept (picture units)
    double angular = 0.0;                  // radians; 0 keeps every edge
};

// Progress and questions of a run. The worker calls these; a window-side host posts
// them to its own thread.
class HideHost {
  public:
    virtual ~HideHost() = default;
    // Stage 0: status text (null: the run is over). Stage 1: a progress step, with a
    // text or null.
    virtual void progress(int stage, const char* text) = 0;
    // Only line work and no triangle: true to draw it all as visible.
    virtual bool continue_without_hiding() = 0;
};

// What a run ends with besides 0 (done) and 13 (kBadArgument, a camera without a
// usable frame).
inline constexpr int kHideNoMemory = 1;   // out of memory
inline constexpr int kHideNothing = 2;    // nothing to hide
inline constexpr int kHideDeclined = 3;   // only line work, and the host declined to go on
inline constexpr int kHideCancelled = 4;  // cancelled

// One run: owned by the caller, filled before the worker starts and read after it.
struct HideJob {
    const VIEW* source = nullptr;      // projection and layer flags
    MODEL* drawing = nullptr;          // walked (read only)
    MODEL* result_drawing = nullptr;   // receives the lines
    const CAMERA* camera = nullptr;    // perspective when set
    LAYER* visible_layer = nullptr;    // of `result`
    LAYER* hidden_layer = nullptr;     // of `result`, or null: hidden pieces dropped
    HideSettings settings;
    HideHost* host = nullptr;
    std::atomic<int> cancel{0};
    // Results: 0 done, 1 out of memory, 2 nothing to hide, 3 declined, 4 cancelled,
    // 13 a camera without a usable frame.
    int32_t result = 0;
    HideCounts counts;
    int64_t lines_visible = 0, lines_hidden = 0;
    int64_t candidates_tested = 0;  // triangle tests of the visibility pass
    double scale = 1.0, x_offset = 0.0, y_offset = 0.0;  // the perspective fit
    std::string status;             // the last status text
    int64_t work_cap = 0;           // when > 0: visits and triangle tests before a stop
    bool candidate_scan = false;    // measurement only: scan every triangle, no grid
};

class HideGrid;

// One run's store, on the worker's stack.
struct HideContext {
    explicit HideContext(HideJob* job);
    ~HideContext();

    HideJob* job;
    double coplanar;  // |n1 . n2| at least this: smooth edge (2.0 keeps all)
    double linear;
    bool perspective = false;
    HideCounts counts;
    std::vector<HideVertex*> vertices;    // creation order
    std::vector<HideEdge*> edges;         // creation order; null once dropped
    std::vector<HideTriangle*> triangles; // creation order
    std::vector<HideVertex*> buckets;
    double scale = 1.0, x_offset = 0.0, y_offset = 0.0;
    double min_xz, min_yz, max_xz, max_yz;  // perspective bounds of x/z and y/z
    HidePool vertex_pool, edge_pool, triangle_pool;
    std::unique_ptr<HideGrid> grid;
    int64_t work = 0;

    bool cancelled() const;
    // Projected picture point of an eye point (before the fit in perspective).
    void project(const Vec3d& p, double* x, double* y) const;
};

HideVertex* hide_vertex_get(HideContext* ctx, double x, double y, double z);
HideEdge* hide_edge_add(HideContext* ctx, HideVertex* a, HideVertex* b, object* source);
HideTriangle* hide_triangle_add(HideContext* ctx, const Vec3d& p0, const Vec3d& p1, const Vec3d& p2);
void hide_edge_attach(HideContext* ctx, HideTriangle* t, HideVertex* a, HideVertex* b);
// The perspective picture fit into width x height.
void hide_fit(HideContext* ctx);
// Counts, and turns every plane so the viewer is on its front side (n . p < d).
void hide_finish_store(HideContext* ctx);

// The two passes of a walk into the store: the bounds first, then the store itself.
enum HideWalkMode : int { kHideWalkBounds = 1, kHideWalkStore = 2 };

// Walks a drawing into the store, one pass (HideWalkMode) at a time.
class HIDEITER : public ZITER {
  public:
    static RtcClass rtc_class;
    HIDEITER(HideContext* ctx, const VIEW* view);
    HIDEITER() : HIDEITER(nullptr, nullptr) {}  // the class factory's; stops every walk

    // Drawing to eye coordinates: the view's matrix, or the camera frame with z
    // turned. 13 for a camera without a usable frame.
    [[nodiscard]] int set_projection(const CAMERA* camera);

    int visit(object* obj, int entering, int status) override;
    int move_to(double x, double y, double z, int dx, int dy) override;
    int line_to(double x, double y, double z, int dx, int dy) override;
    int triangle(const Vec3d& a, const Vec3d& b, const Vec3d& c) override;

    int mode = kHideWalkBounds;
    int32_t layer_index = 0;

  private:
    int point(double x, double y, double z, bool line);
    int step();
    Vec3d eye(double x, double y, double z) const;

    HideContext* ctx_;
    const VIEW* view_;
    object* current_ = nullptr;
    int depth_skipped_ = 0;
    int64_t progress_ = 0;
    Matrix43 m_{};
    bool has_prev_ = false;
    Vec3d prev_{};
    HideVertex* prev_vertex_ = nullptr;
};
