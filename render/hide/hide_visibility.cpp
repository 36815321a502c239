// Visibility of the stored edges (declared in hide_visibility.h).
#include "render/hide/hide_visibility.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "model/db/patt.h"
#include "model/db/find.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/math/plist.h"

namespace {

constexpr double kTinyT = 1e-9;  // shortest run kept, in edge parameter

bool overlaps(const HideTriangle* t, const double b[4]) {
    return t->min_x <= b[2] && t->max_x >= b[0] && t->min_y <= b[3] && t->max_y >= b[1];
}

}  // namespace

// ---- candidate grid

HideGrid::HideGrid(const std::vector<HideTriangle*>& triangles) : tris_(triangles) {
    const size_t n = triangles.size();
    stamp_.assign(n, 0);
    if (n == 0) return;
    double x0 = triangles[0]->min_x, y0 = triangles[0]->min_y;
    double x1 = triangles[0]->max_x, y1 = triangles[0]->max_y;
    for (const HideTriangle* t : triangles) {
        x0 = std::min(x0, t->min_x), y0 = std::min(y0, t->min_y);
        x1 = std::max(x1, t->max_x), y1 = std::max(y1, t->max_y);
    }
    n_ = static_cast<int32_t>(std::clamp(std::sqrt(double(n) / 2.0), 1.0, 512.0));
    x0_ = x0, y0_ = y0;
    cw_ = (x1 - x0) / n_, ch_ = (y1 - y0) / n_;
    if (!(cw_ > 0) || !std::isfinite(cw_)) cw_ = 1.0;
    if (!(ch_ > 0) || !std::isfinite(ch_)) ch_ = 1.0;
    cells_.resize(static_cast<size_t>(n_) * n_);
    const int64_t big = std::max<int64_t>(64, int64_t(n_) * n_ / 8);
    for (const HideTriangle* t : triangles) {
        const double b[4] = {t->min_x, t->min_y, t->max_x, t->max_y};
        int32_t c[4];
        auto cell = [this](double v, double o, double w) {
            const double f = std::floor((v - o) / w);
            return static_cast<int32_t>(std::clamp(f, 0.0, double(n_ - 1)));
        };
        c[0] = cell(b[0], x0_, cw_), c[1] = cell(b[1], y0_, ch_);
        c[2] = cell(b[2], x0_, cw_), c[3] = cell(b[3], y0_, ch_);
        if (int64_t(c[2] - c[0] + 1) * (c[3] - c[1] + 1) > big) {
            big_.push_back(t->id);
            continue;
        }
        for (int32_t y = c[1]; y <= c[3]; ++y)
            for (int32_t x = c[0]; x <= c[2]; ++x) cells_[size_t(y) * n_ + x].push_back(t->id);
    }
}

void HideGrid::query(const double box[4], std::vector<const HideTriangle*>* out) {
    out->clear();
    if (tris_.empty()) return;
    if (++mark_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        mark_ = 1;
    }
    std::vector<int32_t> ids;
    auto take = [&](int32_t id) {
        if (stamp_[id] == mark_) return;
        stamp_[id] = mark_;
        if (overlaps(tris_[id], box)) ids.push_back(id);
    };
    for (int32_t id : big_) take(id);
    auto lo = [this](double v, double o, double w) {
        const double f = std::floor((v - o) / w);
        return static_cast<int32_t>(std::clamp(f, 0.0, double(n_ - 1)));
    };
    if (!(box[0] <= box[2] && box[1] <= box[3])) return;
    const int32_t cx0 = lo(box[0], x0_, cw_), cy0 = lo(box[1], y0_, ch_);
    const int32_t cx1 = lo(box[2], x0_, cw_), cy1 = lo(box[3], y0_, ch_);
    for (int32_t y = cy0; y <= cy1; ++y)
        for (int32_t x = cx0; x <= cx1; ++x)
            for (int32_t id : cells_[size_t(y) * n_ + x]) take(id);
    std::sort(ids.begin(), ids.end());
    out->reserve(ids.size());
    for (int32_t id : ids) out->push_back(tris_[id]);
}

void hide_candidates_scan(const std::vector<HideTriangle*>& triangles, const double box[4],
                          std::vector<const HideTriangle*>* out) {
    out->clear();
    for (const HideTriangle* t : triangles)
        if (overlaps(t, box)) out->push_back(t);
}

// ---- clipping

namespace {

struct Segment {
    Vec3d a, b;  // eye points of the edge's ends
    // Weighted, not a + (b - a) t: ends of very different size would cancel (an end
    // at depth 1e21 and one at 56 gave depth 0 at t = 1), while the weighted form gives
    // each end exactly and stays between the ends' depths.
    Vec3d at(double t) const {
        const double s = 1 - t;
        return {a.x * s + b.x * t, a.y * s + b.y * t, a.z * s + b.z * t};
    }
};

// Cuts [lo, hi] down to where the linear function f (f0 at t = 0, f1 at t = 1) is
// above `floor`. False when nothing of it is left.
bool keep_above(double f0, double f1, double floor, double* lo, double* hi) {
    const double h0 = f0 + (f1 - f0) * *lo - floor, h1 = f0 + (f1 - f0) * *hi - floor;
    if (h0 <= 0 && h1 <= 0) return false;
    if (h0 < 0 || h1 < 0) {
        const double root = *lo + (*hi - *lo) * (h0 / (h0 - h1));
        if (h0 < 0) *lo = root;
        else *hi = root;
    }
    return *hi - *lo > kTinyT;
}

// The part of [t0, t1] that the triangle hides: inside its projection and behind its
// plane (the viewer is on the front side, n . p < d). A segment piercing the plane is
// hidden only behind it.
bool hidden_part(const HideContext* ctx, const HideTriangle* t, const Segment& s, double t0, double t1,
                 double* lo, double* hi) {
    const double ga = t->a * s.a.x + t->b * s.a.y + t->c * s.a.z - t->d;
    const double gb = t->a * s.b.x + t->b * s.b.y + t->c * s.b.z - t->d;
    const double eps = std::fabs(t->d) * 1e-5 + 1e-5;
    *lo = t0, *hi = t1;
    if (!keep_above(ga, gb, eps, lo, hi)) return false;
    *lo = t0, *hi = t1;
    const double size = std::max(t->max_x - t->min_x, t->max_y - t->min_y);
    double tol = 1e-7 * size + 1e-12;
    if (ctx->perspective) tol *= std::max(s.a.z, s.b.z);
    for (int k = 0; k < 3; ++k) {
        const HideVertex* p = t->v[k];
        const HideVertex* q = t->v[(k + 1) % 3];
        const HideVertex* w = t->v[(k + 2) % 3];
        double fa, fb, fw;
        if (ctx->perspective) {
            // The plane through the eye and the triangle's edge.
            const double nx = p->y * q->z - p->z * q->y, ny = p->z * q->x - p->x * q->z,
                         nz = p->x * q->y - p->y * q->x;
            const double l = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (!(l > 0)) return false;
            fa = (nx * s.a.x + ny * s.a.y + nz * s.a.z) / l;
            fb = (nx * s.b.x + ny * s.b.y + nz * s.b.z) / l;
            fw = (nx * w->x + ny * w->y + nz * w->z) / l;
        } else {
            const double ex = q->x - p->x, ey = q->y - p->y;
            const double l = std::hypot(ex, ey);
            if (!(l > 0)) return false;
            fa = (ex * (s.a.y - p->y) - ey * (s.a.x - p->x)) / l;
            fb = (ex * (s.b.y - p->y) - ey * (s.b.x - p->x)) / l;
            fw = (ex * (w->y - p->y) - ey * (w->x - p->x)) / l;
        }
        if (std::fabs(fw) <= tol) return false;  // a sliver seen edge-on
        if (fw < 0) fa = -fa, fb = -fb;
        // The projection taken a hair wide, so that neighbouring triangles leave no gap.
        if (!keep_above(fa, fb, -tol, lo, hi)) return false;
    }
    // Inside the projection: hidden where behind the plane. A piece within the depth
    // tolerance of the plane lies on it; otherwise the cut is at the plane itself, so
    // an edge running into a corner of T is hidden right up to it.
    const double g_lo = ga + (gb - ga) * *lo, g_hi = ga + (gb - ga) * *hi;
    if (g_lo <= eps && g_hi <= eps) return false;
    return keep_above(ga, gb, 0.0, lo, hi);
}

void piece_box(const HideContext* ctx, const Segment& s, double t0, double t1, double box[4]) {
    double x0, y0, x1, y1;
    ctx->project(s.at(t0), &x0, &y0);
    ctx->project(s.at(t1), &x1, &y1);
    box[0] = std::min(x0, x1), box[1] = std::min(y0, y1);
    box[2] = std::max(x0, x1), box[3] = std::max(y0, y1);
}

void merge(std::vector<HideRun>* runs) {
    std::sort(runs->begin(), runs->end(), [](const HideRun& a, const HideRun& b) { return a.t0 < b.t0; });
    size_t out = 0;
    for (const HideRun& r : *runs) {
        if (out > 0 && r.t0 <= (*runs)[out - 1].t1 + kTinyT) {
            (*runs)[out - 1].t1 = std::max((*runs)[out - 1].t1, r.t1);
        } else {
            (*runs)[out++] = r;
        }
    }
    runs->resize(out);
}

}  // namespace

void hide_edge_runs(HideContext* ctx, const HideEdge* e, std::vector<HideRun>* visible, std::vector<HideRun>* hidden,
                    int64_t* tested) {
    visible->clear();
    hidden->clear();
    const Segment s{{e->a->x, e->a->y, e->a->z}, {e->b->x, e->b->y, e->b->z}};
    double box[4];
    piece_box(ctx, s, 0.0, 1.0, box);
    std::vector<const HideTriangle*> cands;
    if (ctx->grid) ctx->grid->query(box, &cands);
    else hide_candidates_scan(ctx->triangles, box, &cands);
    struct Pending {
        double t0, t1;
        size_t next;
    };
    std::vector<Pending> stack{{0.0, 1.0, 0}};
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        piece_box(ctx, s, p.t0, p.t1, box);
        bool split = false;
        for (size_t i = p.next; i < cands.size(); ++i) {
            const HideTriangle* t = cands[i];
            if (!overlaps(t, box)) continue;
            ++*tested;
            double lo, hi;
            if (!hidden_part(ctx, t, s, p.t0, p.t1, &lo, &hi)) continue;
            hidden->push_back({lo, hi});
            if (lo - p.t0 > kTinyT) stack.push_back({p.t0, lo, i + 1});
            if (p.t1 - hi > kTinyT) stack.push_back({hi, p.t1, i + 1});
            split = true;
            break;
        }
        if (!split) visible->push_back({p.t0, p.t1});
    }
    merge(visible);
    merge(hidden);
}

// ---- output

namespace {

// The line style of the source object as the result drawing holds it: bound by name,
// copied in when the result drawing has none of that name.
LINEPATT* result_style(MODEL* result, const object* source) {
    const auto* w = rtc_cast<WIRE>(const_cast<object*>(source));
    if (!w || !w->line_style || !result) return nullptr;
    const char* name = w->line_style->name();
    if (PATT* p = model_find_patt(result, name, &LINEPATT::rtc_class)) return static_cast<LINEPATT*>(p);
    std::unique_ptr<PATT> copy = patt_clone(w->line_style);
    if (!copy) throw HideOutOfMemory{};
    if (!model_insert_patt(result, copy.get())) return nullptr;
    return static_cast<LINEPATT*>(copy.release());
}

void output(HideContext* ctx, const HideEdge* e, const std::vector<HideRun>& runs, LAYER* layer, int64_t* count) {
    if (!layer) return;
    const Segment s{{e->a->x, e->a->y, e->a->z}, {e->b->x, e->b->y, e->b->z}};
    for (const HideRun& r : runs) {
        double x[2], y[2];
        for (int i = 0; i < 2; ++i) {
            ctx->project(s.at(i ? r.t1 : r.t0), &x[i], &y[i]);
            if (ctx->perspective) {
                x[i] = x[i] * ctx->scale + ctx->x_offset;
                y[i] = y[i] * ctx->scale + ctx->y_offset;
            }
        }
        const Vec3 p0{float(x[0]), float(y[0]), 0.0f}, p1{float(x[1]), float(y[1]), 0.0f};
        // A piece reaching beyond what a drawing's coordinates hold (a far end seen
        // close to the eye) is left out and counted like a non-finite point.
        if (!std::isfinite(p0.x) || !std::isfinite(p0.y) || !std::isfinite(p1.x) || !std::isfinite(p1.y)) {
            ++ctx->counts.non_finite;
            continue;
        }
        if (std::hypot(double(p1.x) - p0.x, double(p1.y) - p0.y) < ctx->linear || (p0.x == p1.x && p0.y == p1.y)) {
            ++ctx->counts.skipped;
            continue;
        }
        std::unique_ptr<XPLINE> line = rtc_make<XPLINE>();
        if (!line || plist_add(&line->control, p1) != 0 || plist_add(&line->control, p0) != 0)
            throw HideOutOfMemory{};
        if (e->source) line->colour = e->source->colour;
        if (!ctx->perspective && e->source) line->line_style = result_style(ctx->job->result_drawing, e->source);
        // Into the layer without the drawing's change hooks: the result drawing
        // belongs to no window while the worker fills it.
        XPLINE* l = line.release();
        ring_insert(&layer->children, l, false);
        l->parent = layer;
        obj_update_bbox(l);
        ++*count;
    }
}

void progress(HideContext* ctx, int stage, const std::string& text, bool with_text) {
    if (stage == 0) ctx->job->status = text;
    if (ctx->job->host) ctx->job->host->progress(stage, with_text ? text.c_str() : nullptr);
}

}  // namespace

void hide_visibility(HideContext* ctx) {
    HideJob* job = ctx->job;
    progress(ctx, 0, "", true);
    if (ctx->cancelled()) return;
    if (!ctx->grid && !job->candidate_scan) ctx->grid = std::make_unique<HideGrid>(ctx->triangles);
    std::vector<HideRun> visible, hidden;
    int32_t left = ctx->counts.edges;
    for (HideEdge* e : ctx->edges) {
        if (!e) continue;
        if (ctx->cancelled()) return;
        --left;
        if (left % 50 == 0) progress(ctx, 1, std::to_string(left), true);
        else if (left % 5 == 0) progress(ctx, 1, "", false);
        int64_t tested = 0;
        hide_edge_runs(ctx, e, &visible, &hidden, &tested);
        job->candidates_tested += tested;
        ctx->work += tested + 1;
        output(ctx, e, visible, job->visible_layer, &job->lines_visible);
        output(ctx, e, hidden, job->hidden_layer, &job->lines_hidden);
    }
}
