// Scenes for the hidden-line tests: boxes, plates, triangles and lines in a drawing, a
// parallel view or a camera looking from a direction, and a synchronous run that
// returns the result lines as 2D segments.
#pragma once

#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/mesh/mesh_block.h"
#include "model/rtc/rtc.h"
#include "render/hide/hide_job.h"
#include "render/scanline/scene_util.h"

namespace hide_test {

struct Seg {
    double x0, y0, x1, y1;
};

inline LAYER* first_layer(MODEL* m) {
    return static_cast<LAYER*>(model_find_named(m, "default", &LAYER::rtc_class));
}

inline MESH3* add_mesh(MODEL* m) {
    auto mesh = rtc_make<MESH3>();
    MESH3* p = mesh.get();
    EXPECT_EQ(container_insert(first_layer(m), mesh.release()), 0);
    return p;
}

// A box as six quadrilaterals (hidden diagonals), one mesh.
inline MESH3* add_box(MODEL* m, Vec3 lo, Vec3 hi) {
    MESH3* mesh = add_mesh(m);
    const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                       {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& q : f)
        EXPECT_EQ(mesh_add_face(mesh, &c[q[0]], &c[q[1]], &c[q[2]], &c[q[3]], 0), 0);
    mesh->own_box();
    return mesh;
}

inline MESH3* add_triangle(MODEL* m, Vec3 a, Vec3 b, Vec3 c) {
    MESH3* mesh = add_mesh(m);
    EXPECT_EQ(mesh_add_face(mesh, &a, &b, &c, nullptr, 0), 0);
    mesh->own_box();
    return mesh;
}

inline XPLINE* add_line(MODEL* m, Vec3 a, Vec3 b) {
    auto line = rtc_make<XPLINE>();
    EXPECT_EQ(plist_add(&line->control, b), 0);
    EXPECT_EQ(plist_add(&line->control, a), 0);
    XPLINE* p = line.get();
    EXPECT_EQ(container_insert(first_layer(m), line.release()), 0);
    p->own_box();
    return p;
}

// Drawing to view coordinates looking from direction `from` (the viewer at +z).
inline Matrix43 look_from(Vec3d from) {
    const double l = std::sqrt(from.x * from.x + from.y * from.y + from.z * from.z);
    const Vec3d back{from.x / l, from.y / l, from.z / l};
    Vec3d up = std::fabs(back.z) > 0.999 ? Vec3d{0, 1, 0} : Vec3d{0, 0, 1};
    Vec3d x{up.y * back.z - up.z * back.y, up.z * back.x - up.x * back.z, up.x * back.y - up.y * back.x};
    const double xl = std::sqrt(x.x * x.x + x.y * x.y + x.z * x.z);
    x = {x.x / xl, x.y / xl, x.z / xl};
    const Vec3d y{back.y * x.z - back.z * x.y, back.z * x.x - back.x * x.z, back.x * x.y - back.y * x.x};
    return {{x.x, y.x, back.x, x.y, y.y, back.y, x.z, y.z, back.z, 0, 0, 0}};
}

struct Scene {
    Scene() {
        rtc_register_all();
        model = rtc_make<MODEL>();
        view = rtc_make<VIEW>();
        model_attach_view(model.get(), view.get());
    }
    ~Scene() { view.reset(); }
    void look(Vec3d from) {
        view->projection.view = look_from(from);
        mat_invert(&view->projection.inverse, &view->projection.view);
    }
    // A camera at target + distance * from, looking at target, +z up.
    void camera_at(Vec3d target, Vec3d from, double distance) {
        camera = rtc_make<CAMERA>();
        const double l = std::sqrt(from.x * from.x + from.y * from.y + from.z * from.z);
        camera->position = {float(target.x + from.x / l * distance), float(target.y + from.y / l * distance),
                            float(target.z + from.z / l * distance)};
        camera->target = {float(target.x), float(target.y), float(target.z)};
        camera->up = {0, 0, 1};
        camera->lens = 1.0;
    }
    // Drawing point to the eye frame of the run (parallel: the view; camera: z forward).
    Vec3d eye(Vec3 p) const {
        Matrix43 m = view->projection.view, inv;
        if (camera) {
            EXPECT_EQ(camera_frame(*camera, &m, &inv), 0);
            for (int i : {2, 5, 8, 11}) m.m[i] = -m.m[i];
        }
        const Vec3d q{double(float(p.x)), double(float(p.y)), double(float(p.z))};
        Vec3d out;
        mat_xform_point_d(&out, &q, &m);
        return out;
    }
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::unique_ptr<CAMERA> camera;
};

// A host that answers the no-triangle question and can cancel at a chosen point.
struct TestHost : HideHost {
    bool answer = true;
    bool asked = false;
    HideJob* job = nullptr;
    int cancel_at_store_step = 0;  // cancel on this store-pass progress step (1 = first)
    int store_steps = 0;
    std::vector<std::string> statuses;
    bool closed = false;
    void progress(int stage, const char* text) override {
        if (stage == 0) {
            if (!text) closed = true;
            else statuses.push_back(text);
        } else if (text && *text && cancel_at_store_step && ++store_steps == cancel_at_store_step) {
            job->cancel.store(1);
        }
    }
    bool continue_without_hiding() override {
        asked = true;
        return answer;
    }
};

struct HideRunResult {
    int code = 0;
    std::vector<Seg> visible, hidden;
    HideCounts counts;
    std::unique_ptr<MODEL> result;
    std::vector<std::string> statuses;
    bool asked = false;
    double scale = 1, x_offset = 0, y_offset = 0;
    int64_t tested = 0;
};

inline std::vector<Seg> segments_of(LAYER* layer) {
    std::vector<Seg> out;
    if (!layer || !layer->children) return out;
    ZDLIST* c = layer->children;
    do {
        if (auto* l = rtc_cast<XPLINE>(c)) {
            const PointNode* a = l->control;
            const PointNode* b = a ? a->next : nullptr;
            if (a && b) out.push_back({a->x, a->y, b->x, b->y});
        }
        c = c->next;
    } while (c != layer->children);
    return out;
}

inline HideRunResult run_hide(Scene& s, bool keep_hidden = true, HideSettings settings = {}, TestHost* host = nullptr) {
    HideRunResult r;
    TestHost own;
    if (!host) host = &own;
    HideJob job;
    host->job = &job;
    r.result = rtc_make<MODEL>();
    job.source = s.view.get();
    job.drawing = s.model.get();
    job.result_drawing = r.result.get();
    job.camera = s.camera.get();
    job.settings = settings;
    job.host = host;
    EXPECT_EQ(hide_job_layers(&job, keep_hidden), 0);
    r.code = hlr_run(&job);
    r.counts = job.counts;
    r.visible = segments_of(job.visible_layer);
    r.hidden = segments_of(job.hidden_layer);
    r.statuses = host->statuses;
    r.asked = host->asked;
    r.scale = job.scale, r.x_offset = job.x_offset, r.y_offset = job.y_offset;
    r.tested = job.candidates_tested;
    return r;
}

// The picture point of a drawing point in a run (through the perspective fit).
inline void picture(const Scene& s, const HideRunResult& r, Vec3 p, double* x, double* y) {
    const Vec3d e = s.eye(p);
    if (s.camera) {
        *x = e.x / e.z * r.scale + r.x_offset;
        *y = e.y / e.z * r.scale + r.y_offset;
    } else {
        *x = e.x, *y = e.y;
    }
}

inline bool same_seg(const Seg& a, const Seg& b, double tol) {
    auto near = [tol](double x0, double y0, double x1, double y1) {
        return std::fabs(x0 - x1) <= tol && std::fabs(y0 - y1) <= tol;
    };
    return (near(a.x0, a.y0, b.x0, b.y0) && near(a.x1, a.y1, b.x1, b.y1)) ||
           (near(a.x0, a.y0, b.x1, b.y1) && near(a.x1, a.y1, b.x0, b.y0));
}

// Sorted text of segments, each written from its smaller end, to 1e-4.
inline std::string segment_text(std::vector<Seg> segs) {
    std::vector<std::string> lines;
    for (Seg s : segs) {
        if (std::make_pair(s.x1, s.y1) < std::make_pair(s.x0, s.y0)) std::swap(s.x0, s.x1), std::swap(s.y0, s.y1);
        char buf[128];
        auto r = [](double v) { return std::fabs(v) < 5e-5 ? 0.0 : v; };
        std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f %.4f", r(s.x0), r(s.y0), r(s.x1), r(s.y1));
        lines.push_back(buf);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

}  // namespace hide_test
