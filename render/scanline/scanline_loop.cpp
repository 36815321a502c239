// Scan-line loop: projection, bucketing, band workers, sample lists, pixel resolve,
// light visibility, halos and the wire-edge pass.
#include "render/scanline/scanline_loop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

#include "graphics/raster/dither.h"
#include "graphics/raster/raster.h"
#include "graphics/view/colours.h"
#include "graphics/view/projection.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "render/scanline/between.h"
#include "render/scanline/render_hooks.h"
#include "render/scanline/render_scratch.h"
#include "render/scanline/shading.h"
#include "render/scanline/surface_detail.h"

namespace {

// Far beyond any image, yet well inside int: projected coordinates are held here
// when they become a sample line or column (the coordinates themselves are kept
// whole, so that an edge to a far corner keeps its direction).
constexpr double kCoordLimit = 1e7;

double clamp_coord(double v) {
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

// Edge k of a sorted triangle joins these two of its (top-first) vertices.
constexpr int kEdgeEnds[3][2] = {{0, 1}, {1, 2}, {0, 2}};

// One triangle ready for the loop: its vertices sorted by sample line. Left
// uninitialised on construction: the set-up writes every one.
struct ScanTri {
    ScanTri() {}
    const RenderMesh* mesh;
    const RenderTriangle* tri;
    double x[3], y[3], z[3];
    int32_t line[3];    // floor(y): the sample line each vertex lies on
    uint8_t corner[3];  // triangle corner of each sorted vertex
    uint8_t left_first;  // 1: edge 0 (or 1 after it) lies left of edge 2
};

struct Fragment {
    double depth;
    uint32_t tri;
    uint8_t edges;  // left edge | right edge << 2
};

// The fragments of a sample after its nearest one. Left uninitialised on construction.
struct MoreFragments {
    MoreFragments() {}
    Fragment at[kSampleFragments - 1];
};

// A sample's fragments, nearest first: the nearest one is held here, the rest in the
// sample's MoreFragments, so that the records of a row stay small in the cache.
struct SampleRecord {
    int32_t last = -1;
    Fragment first;
    MoreFragments* more = nullptr;
    Fragment& frag(int i) { return i == 0 ? first : more->at[i - 1]; }
    const Fragment& frag(int i) const { return i == 0 ? first : more->at[i - 1]; }
};

// A triangle in a band's active list.
struct Active {
    uint32_t tri;
    uint8_t state;  // 0: edges 0 and 2; 2: edges 1 and 2
};

struct Scene {
    Scene() = default;
    ~Scene() { RenderScratch<ScanTri>::give(std::move(tris)); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    RenderContext* ctx = nullptr;
    std::vector<ScanTri> tris;
    int32_t f = 1;       // samples per pixel side
    int32_t W = 0, H = 0;
    bool persp = false;
};

void project(const RenderContext* ctx, const Matrix43& m, const Vec3d& world, int32_t f,
             double* xs, double* ys, double* z) {
    Vec3d p;
    mat_xform_point_d(&p, &world, &m);
    double x = p.x, y = -p.y, d = -p.z;
    if (ctx->perspective) {
        double w = d / ctx->focal;
        if (w < 1e-6) w = 1e-6;
        x /= w;
        y /= w;
    }
    *xs = (ctx->width / 2.0 + x) * f - 0.5;
    *ys = (ctx->height / 2.0 + y) * f - 0.5;
    *z = d;
}

// Edge position at sample line y: x, depth and the parameter along the edge from its
// upper end and from its lower end (perspective-correct when projecting through the
// camera).
struct EdgeAt {
    double x, depth, t, t1;
};

[[gnu::always_inline]] inline EdgeAt edge_at(const ScanTri& t, int e, double y, bool persp) {
    const int a = kEdgeEnds[e][0], b = kEdgeEnds[e][1];
    Between p = between_at(t.y[a], t.y[b], y);
    EdgeAt r;
    r.x = value_between(t.x[a], t.x[b], p);
    if (persp) perspective_between(&p, t.z[a], t.z[b]);
    r.depth = value_between(t.z[a], t.z[b], p);
    r.t = p.s;
    r.t1 = p.s1;
    return r;
}

// The point at sample column xs between a line's two edge points L and R.
[[gnu::always_inline]] inline Between span_between(double lx, double rx, double span, double xs) {
    return span != 0.0 ? Between{(xs - lx) / span, (rx - xs) / span} : Between{1.0, 0.0};
}

uint8_t pair_of(const ScanTri& t, uint8_t state) {
    const int first = state == 0 ? 0 : 1;  // edge 0 or its follower edge 1
    return t.left_first ? static_cast<uint8_t>(first | (2 << 2))
                        : static_cast<uint8_t>(2 | (first << 2));
}

// Corner weights along one sample line between a fragment's two edges, L and R on
// that line: what does not change along the line is found once.
struct LineWeights {
    [[gnu::always_inline]] LineWeights(const ScanTri& t, uint8_t edges, const EdgeAt& L,
                                       const EdgeAt& R, bool persp)
        : lx(L.x), rx(R.x), span(R.x - L.x), ld(L.depth), rd(R.depth), lt(L.t),
          lt1(L.t1), rt(R.t), rt1(R.t1), has_span(R.x != L.x), persp(persp) {
        const int l = edges & 3, r = edges >> 2;
        slot[0] = kEdgeEnds[l][0];
        slot[1] = kEdgeEnds[l][1];
        slot[2] = kEdgeEnds[r][0];
        slot[3] = kEdgeEnds[r][1];
        for (int k = 0; k < 3; ++k) corner[k] = t.corner[k];
    }
    // The weights of the point at sample column xs, by triangle corner.
    [[gnu::always_inline]] void at(double xs, double w[3]) const {
        Between p = span_between(lx, rx, has_span ? span : 0.0, xs);
        if (persp) perspective_between(&p, ld, rd);
        double v[3] = {0, 0, 0};
        v[slot[0]] += lt1 * p.s1;
        v[slot[1]] += lt * p.s1;
        v[slot[2]] += rt1 * p.s;
        v[slot[3]] += rt * p.s;
        w[corner[0]] = v[0];
        w[corner[1]] = v[1];
        w[corner[2]] = v[2];
    }
    double lx, rx, span, ld, rd, lt, lt1, rt, rt1;
    bool has_span, persp;
    int slot[4], corner[3];
};

[[gnu::always_inline]] inline void weights_between(const ScanTri& t, uint8_t edges,
                                                   const EdgeAt& L, const EdgeAt& R, double xs,
                                                   bool persp, double w[3]) {
    LineWeights(t, edges, L, R, persp).at(xs, w);
}

// Corner weights of the point at sample (xs, ys) between the fragment's two edges.
void weights(const ScanTri& t, uint8_t edges, double xs, double ys, bool persp, double w[3]) {
    const EdgeAt L = edge_at(t, edges & 3, ys, persp), R = edge_at(t, edges >> 2, ys, persp);
    weights_between(t, edges, L, R, xs, persp, w);
}

bool insert(SampleRecord& rec, double depth, uint32_t tri, uint8_t edges) {
    if (rec.last < 0) {  // most samples take their first fragment: nothing to move
        rec.first = Fragment{depth, tri, edges};
        rec.last = 0;
        return true;
    }
    int i = 0;
    for (; i <= rec.last; ++i) {
        Fragment& fr = rec.frag(i);
        if (fr.depth == depth) {
            // Equal depth: the triangle that comes first in the scene stays.
            if (fr.tri > tri) {
                fr.tri = tri;
                fr.edges = edges;
            }
            return true;
        }
        if (fr.depth > depth) break;
    }
    if (i >= kSampleFragments) return false;
    const int keep = std::min(rec.last + 1, kSampleFragments - 1);  // a full list loses its deepest
    for (int k = keep; k > i; --k) rec.frag(k) = rec.frag(k - 1);
    rec.frag(i) = Fragment{depth, tri, edges};
    rec.last = keep;
    return true;
}

// The output word of a pixel's colour (gamma, grey, then 0xRRGGBB).
struct PixelWord {
    explicit PixelWord(const RenderContext* ctx)
        : gamma(ctx->gamma_exponent), grey((ctx->flags & kRenderGrey) != 0) {}
    [[gnu::always_inline]] uint32_t channel(double c) const {
        // A value that is not a number (a damaged material or light from a file) is
        // black: converting it to an integer would be undefined.
        c = c >= 0.0 ? std::min(c, 1.0) : 0.0;
        if (gamma != 1.0) c = std::pow(c, gamma);
        return static_cast<uint32_t>(c * 255.0);
    }
    [[gnu::always_inline]] uint32_t operator()(const float colour[3]) const {
        if (grey) {
            const uint32_t g = channel(0.299 * colour[0] + 0.587 * colour[1] + 0.114 * colour[2]);
            return g | (g << 8) | (g << 16);
        }
        return channel(colour[2]) | (channel(colour[1]) << 8) | (channel(colour[0]) << 16);
    }
    double gamma;
    bool grey;
};

// How much of what lies behind a fragment shows through it (transparency T).
struct Cover {
    Cover() = default;
    [[gnu::always_inline]] Cover(const ShadeResult& r, double T)
        : a(r.surface[3]), B(T * (1.0 - a)), through(a + B >= 0.003) {}
    // Channel c's share of `back`, the colour behind.
    [[gnu::always_inline]] double behind(const ShadeResult& r, int c, float back) const {
        return (r.surface[c] * B + a) * back;
    }
    // The fragment's lit colour with `shown` (by channel) of what lies behind.
    [[gnu::always_inline]] void over(const ShadeResult& r, const double shown[3],
                                     float colour[3]) const {
        for (int c = 0; c < 3; ++c) colour[c] = r.lit[c] * (1.0f - a);
        if (through)
            for (int c = 0; c < 3; ++c) colour[c] = static_cast<float>(colour[c] + shown[c]);
    }
    float a = 0.0f;
    double B = 0.0;
    bool through = false;
};

// A fragment's colour at `depth`, fogged beyond `ref` and clamped.
[[gnu::always_inline]] inline void fog_and_clamp(const RenderContext* ctx, bool fog_on,
                                                 double depth, double ref, float colour[3],
                                                 float out[3]) {
    const double d = depth - ref;
    if (d >= 0.0 && fog_on) fog_apply(&ctx->fog, d, colour);
    for (int c = 0; c < 3; ++c) out[c] = std::clamp(colour[c], 0.0f, 1.0f);
}

// The colour of fragment `r` (transparency T) at `depth`, over what lies behind it
// where that shows through (`behind` fills it), fogged beyond `ref` and clamped.
template <class Behind>
inline void fragment_colour(const RenderContext* ctx, const ShadeResult& r, double T,
                            double depth, double ref, Behind&& behind, float out[3]) {
    const Cover cover(r, T);
    double shown[3] = {0, 0, 0};
    if (cover.through) {
        float back[3];
        behind(back);
        for (int c = 0; c < 3; ++c) shown[c] = cover.behind(r, c, back[c]);
    }
    float colour[3];
    cover.over(r, shown, colour);
    fog_and_clamp(ctx, (ctx->fog.flags & kFogOn) != 0, depth, ref, colour, out);
}

double transparency_of(const ScanTri& t) {
    const MaterialRecord* m = t.mesh->material;
    return m ? m->transparency : 0.0;
}

struct CacheEntry {
    uint32_t tri;
    ShadeResult shade;
};

// A fragment's two edges on one sample line: neighbouring pixels of a row mostly show
// the same triangle, whose edges are then found once.
struct EdgePair {
    uint32_t tri = UINT32_MAX;
    uint8_t edges = 0;
    int32_t line = 0;
    EdgeAt left{}, right{};
};
constexpr uint32_t kEdgePairs = 16;  // direct-mapped by triangle and line

// Per-thread state of the band workers.
struct BandState {
    BandState() = default;
    ~BandState() {
        RenderScratch<SampleRecord>::give(std::move(records));
        RenderScratch<MoreFragments>::give(std::move(more));
    }
    BandState(const BandState&) = delete;
    BandState& operator=(const BandState&) = delete;
    std::vector<SampleRecord> records;
    std::vector<MoreFragments> more;  // one per record
    std::vector<uint32_t> order;       // triangles of the band by start line
    std::vector<int32_t> line_start;   // offsets into order per band line (+1)
    std::vector<Active> active;
    std::vector<uint32_t> row;
    std::vector<CacheEntry> cache;
    EdgePair pairs[kEdgePairs];
    const RenderMesh* shader_mesh = nullptr;  // whose material `shader` holds
    FlatShader shader;
};

class Bands {
  public:
    explicit Bands(Scene* s) : s_(s), ctx_(s->ctx) {}

    int run();

  private:
    void band(BandState& st, int32_t b, int32_t row0, int32_t row1);
    void bucket();
    void activate(BandState& st, uint32_t index, int32_t y);
    void resolve_row(BandState& st, int32_t py);
    void resolve_sample(BandState& st, const SampleRecord& rec, int i, double ref, double xs,
                        double ys, int32_t px, int32_t py, const float* background, float out[3]);
    int32_t single_fragment_runs(BandState& st, int32_t px, int32_t py,
                                 const float background[3]);
    const ShadeResult& shade(BandState& st, uint32_t tri, uint8_t edges, double xs, double ys,
                             int32_t px, int32_t py);
    void light_test(BandState& st, RenderLight* light, int32_t py);
    SampleRecord& record(BandState& st, int32_t xs, int32_t ys) {
        return s_->f == 1 ? st.records[xs] : st.records[xs * 3 + ys % 3];
    }

    Scene* s_;
    RenderContext* ctx_;
    std::atomic<int32_t> next_band_{0};
    int32_t band_rows_ = 0, band_count_ = 0;
    std::atomic<bool> no_memory_{false};
    // Per band: (first line in the band, triangle), in scene order; band b's entries
    // run from band_at_[b] to band_at_[b + 1].
    std::vector<std::pair<int32_t, uint32_t>> starts_;
    std::vector<size_t> band_at_;
    std::vector<RenderLight*> visible_;  // visible after the projection
};

void Bands::activate(BandState& st, uint32_t index, int32_t y) {
    const ScanTri& t = s_->tris[index];
    const int32_t f0 = t.line[0], f1 = t.line[1], f2 = t.line[2];
    if (f0 == f1 && f0 == f2) return;  // on one sample line: never drawn
    uint8_t state = f0 == f1 ? 2 : 0;  // a horizontal top edge gives way to edge 1
    // Edges that ended above the first line this band draws, as on line 0.
    if (state == 0 && f1 <= y - 1) state = 2;
    if (f2 <= y - 1) return;
    st.active.push_back(Active{index, state});
}

const ShadeResult& Bands::shade(BandState& st, uint32_t tri, uint8_t edges, double xs,
                                double ys, int32_t px, int32_t py) {
    for (const CacheEntry& c : st.cache)
        if (c.tri == tri) return c.shade;
    const ScanTri& t = s_->tris[tri];
    const auto line = static_cast<int32_t>(ys);
    EdgePair& p = st.pairs[(tri * 4u + static_cast<uint32_t>(line)) % kEdgePairs];
    if (p.tri != tri || p.edges != edges || p.line != line) {
        p.tri = tri;
        p.edges = edges;
        p.line = line;
        p.left = edge_at(t, edges & 3, ys, s_->persp);
        p.right = edge_at(t, edges >> 2, ys, s_->persp);
    }
    double w[3];
    weights_between(t, edges, p.left, p.right, xs, s_->persp, w);
    CacheEntry e;
    e.tri = tri;
    const uint32_t seed =
        ((static_cast<uint32_t>(py) * 65599u + static_cast<uint32_t>(px)) * 31u + tri) ^
        ctx_->noise_seed;
    if (ctx_->flags & kRenderPhong)
        render_shade_phong(ctx_, t.mesh, t.tri, w, seed, &e.shade);
    else
        render_shade_flat(ctx_, t.mesh, t.tri, w, seed, &e.shade);
    st.cache.push_back(e);
    return st.cache.back().shade;
}

void Bands::resolve_sample(BandState& st, const SampleRecord& rec, int i, double ref, double xs,
                           double ys, int32_t px, int32_t py, const float* background,
                           float out[3]) {
    if (i > rec.last) {
        for (int c = 0; c < 3; ++c) out[c] = background[c];
        return;
    }
    const Fragment& fr = rec.frag(i);
    const ShadeResult r = shade(st, fr.tri, fr.edges, xs, ys, px, py);  // the cache may grow
    fragment_colour(
        ctx_, r, transparency_of(s_->tris[fr.tri]), fr.depth, ref,
        [&](float behind[3]) {
            resolve_sample(st, rec, i + 1, fr.depth, xs, ys, px, py, background, behind);
        },
        out);
}

// Pixels of a row with one sample each, from px on, that each hold one fragment only:
// each run of them showing one triangle between the same edges is shaded with the
// triangle set up once, and what a mesh's material gives is set up once for its runs.
// Returns the first pixel not done (px when the first needs the general path).
int32_t Bands::single_fragment_runs(BandState& st, int32_t px, int32_t py,
                                    const float background[3]) {
    if (ctx_->flags & kRenderPhong) return px;
    const int32_t width = ctx_->width;
    const double ref = ctx_->fog_distance;
    const double ys = py;
    const PixelWord word(ctx_);
    const bool fog_on = (ctx_->fog.flags & kFogOn) != 0;
    const RenderMesh* mesh = nullptr;  // whose material fs, r.surface, cover and shown hold
    FlatShader fs{};
    ShadeResult r{};
    Cover cover;
    double shown[3] = {0, 0, 0};
    int32_t x = px;
    while (x < width && st.records[x].last == 0) {
        const uint32_t tri = st.records[x].first.tri;
        const uint8_t edges = st.records[x].first.edges;
        const ScanTri& t = s_->tris[tri];
        if (t.mesh != mesh) {
            if (t.mesh != st.shader_mesh) {
                render_flat_setup_mesh(ctx_, t.mesh, &st.shader);
                st.shader_mesh = t.mesh;
            }
            if (!st.shader.plain) break;
            mesh = t.mesh;
            fs = st.shader;
            for (int c = 0; c < 4; ++c) r.surface[c] = fs.surface[c];
            // The background shows through every pixel of the mesh alike.
            cover = Cover(r, transparency_of(t));
            if (cover.through)
                for (int c = 0; c < 3; ++c) shown[c] = cover.behind(r, c, background[c]);
        }
        render_flat_setup_corners(t.mesh, t.tri, &fs);
        const EdgeAt L = edge_at(t, edges & 3, ys, s_->persp);
        const EdgeAt R = edge_at(t, edges >> 2, ys, s_->persp);
        const LineWeights lw(t, edges, L, R, s_->persp);
        // The run's pixels; `common` holds when the case that most renders meet (smooth,
        // every corner lit, parallel view, opaque, no fog, gamma 1, colour) is fixed at
        // compile time, so that the same steps run without their branches.
        auto pixels = [&](auto common) {
            FlatShader f = fs;
            LineWeights l = lw;
            Cover cv = cover;
            PixelWord pw = word;
            bool fog = fog_on;
            if constexpr (decltype(common)::value) {
                f.smooth = f.has[0] = f.has[1] = f.has[2] = true;
                l.persp = false;
                cv.through = false;
                pw.gamma = 1.0;
                pw.grey = false;
                fog = false;
            }
            for (; x < width; ++x) {
                const SampleRecord& rec = st.records[x];
                if (rec.last != 0 || rec.first.tri != tri || rec.first.edges != edges) break;
                double w[3];
                l.at(x + 0.0, w);
                double d, h;
                render_flat_intensity(f, w, &d, &h);
                render_flat_lit(f, d, h, r.surface, r.lit);
                float colour[3];
                cv.over(r, shown, colour);
                // One sample a pixel: the pixel's colour is the sample's.
                fog_and_clamp(ctx_, fog, rec.first.depth, ref, colour, colour);
                st.row[x] = pw(colour);
            }
        };
        if (fs.smooth && fs.has[0] && fs.has[1] && fs.has[2] && !lw.persp && !cover.through &&
            !fog_on && word.gamma == 1.0 && !word.grey)
            pixels(std::true_type{});
        else
            pixels(std::false_type{});
    }
    return x;
}

void Bands::light_test(BandState& st, RenderLight* light, int32_t py) {
    const int32_t f = s_->f;
    const int32_t xs = light->screen_x * f + (f == 3 ? 1 : 0);
    const int32_t ys = py * f + (f == 3 ? 1 : 0);
    (void)st;
    const SampleRecord& rec = record(st, xs, ys);
    double pass[3] = {1, 1, 1};
    for (int i = 0; i <= rec.last && rec.frag(i).depth < light->screen_depth; ++i) {
        const Fragment& fr = rec.frag(i);
        const ScanTri& t = s_->tris[fr.tri];
        double w[3];
        weights(t, fr.edges, xs, ys, s_->persp, w);
        ShadeResult r;
        if (ctx_->flags & kRenderPhong)
            render_shade_phong(ctx_, t.mesh, t.tri, w, fr.tri ^ ctx_->noise_seed, &r);
        else
            render_shade_flat(ctx_, t.mesh, t.tri, w, fr.tri ^ ctx_->noise_seed, &r);
        const double a = r.surface[3];
        const double T = t.mesh->material ? t.mesh->material->transparency : 0.0;
        const double B = T * (1.0 - a);
        for (int c = 0; c < 3; ++c) pass[c] *= r.surface[c] * B + a;
    }
    float colour[3] = {static_cast<float>(pass[0]), static_cast<float>(pass[1]),
                       static_cast<float>(pass[2])};
    const double d = light->screen_depth - ctx_->fog_distance;
    if (d >= 0.0) fog_attenuate(&ctx_->fog, d, colour);
    float sum = 0.0f;
    for (int c = 0; c < 3; ++c) {
        light->screen_colour[c] = std::clamp(light->screen_colour[c] * colour[c], 0.0f, 1.0f);
        sum += light->screen_colour[c];
    }
    if (sum < 0.003f) light->visible = 0;
}

void Bands::resolve_row(BandState& st, int32_t py) {
    const int32_t f = s_->f;
    const int32_t width = ctx_->width;
    // Each light is tested (and written) only by the band holding its row.
    for (RenderLight* l : visible_)
        if (l->screen_y == py) light_test(st, l, py);
    const RenderSettings* settings = ctx_->settings;
    const float inv = 1.0f / static_cast<float>(f * f);
    const PixelWord word(ctx_);
    auto background_at = [&](int32_t px, float background[3]) {
        float base[4] = {0, 0, 0, 0};
        if (settings)
            for (int c = 0; c < 4; ++c) base[c] = settings->material.colour[c];
        const double at[3] = {px * ctx_->background_scale_u, py * ctx_->background_scale_v, 0.0};
        float tex[4];
        surface_background(settings ? &settings->material.slots[0] : nullptr, at, base, tex);
        for (int c = 0; c < 3; ++c) background[c] = tex[c];
        fog_far(&ctx_->fog, background);
    };
    // Without a background texture the background is the same at every pixel: it is
    // evaluated once for the row.
    const bool plain_background = !settings || settings->material.slots[0].kind == kTextureNone;
    float row_background[3];
    if (plain_background) background_at(0, row_background);
    for (int32_t px = 0; px < width;) {
        if (f == 1 && plain_background) {
            const int32_t next = single_fragment_runs(st, px, py, row_background);
            if (next != px) {
                px = next;
                continue;
            }
        }
        st.cache.clear();
        float background[3];
        if (plain_background)
            for (int c = 0; c < 3; ++c) background[c] = row_background[c];
        else
            background_at(px, background);
        float sum[3] = {0, 0, 0};
        for (int32_t sy = 0; sy < f; ++sy)
            for (int32_t sx = 0; sx < f; ++sx) {
                const int32_t xs = px * f + sx, ys = py * f + sy;
                float colour[3];
                resolve_sample(st, record(st, xs, ys), 0, ctx_->fog_distance, xs + 0.0, ys + 0.0,
                               px, py, background, colour);
                for (int c = 0; c < 3; ++c) sum[c] += colour[c] * inv;
            }
        st.row[px] = word(sum);
        ++px;
    }
    // The records of this row are done with.
    for (SampleRecord& r : st.records) r.last = -1;
}

// Every triangle goes to the band of its first sample line and to each later band it
// still reaches, starting there at the band's first line. Chunks of triangles are
// counted, then placed, over the render threads; each band's entries stay in scene
// order.
void Bands::bucket() {
    const int32_t f = s_->f, H = s_->H;
    const int32_t band_lines = band_rows_ * f;
    const auto n = static_cast<int64_t>(s_->tris.size());
    constexpr int64_t kChunk = 32768;
    const int64_t chunks = (n + kChunk - 1) / kChunk;
    const auto bands = static_cast<size_t>(band_count_);
    // Lines first..last of triangle i, false when it draws none.
    auto lines = [&](int64_t i, int32_t* first, int32_t* last) {
        const ScanTri& t = s_->tris[static_cast<size_t>(i)];
        const double top = std::ceil(t.y[0]);
        const double bottom = std::min(double(t.line[2]), double(H - 1));
        if (bottom < 0 || top >= H || top > bottom) return false;
        *first = static_cast<int32_t>(std::max(top, 0.0));
        *last = static_cast<int32_t>(bottom);
        return true;
    };
    // at[c * bands + b]: entries of chunk c in band b, then where they start.
    std::vector<size_t> at(static_cast<size_t>(chunks) * bands + 1, 0);
    render_parallel_for(ctx_->threads, chunks, [&](int64_t c) {
        size_t* count = &at[static_cast<size_t>(c) * bands];
        for (int64_t i = c * kChunk; i < std::min(n, (c + 1) * kChunk); ++i) {
            int32_t first, last;
            if (!lines(i, &first, &last)) continue;
            for (int32_t b = first / band_lines; b <= last / band_lines && b < band_count_; ++b)
                ++count[b];
        }
    });
    band_at_.assign(bands + 1, 0);
    size_t total = 0;
    for (size_t b = 0; b < bands; ++b) {
        band_at_[b] = total;
        for (int64_t c = 0; c < chunks; ++c) {
            const size_t k = at[static_cast<size_t>(c) * bands + b];
            at[static_cast<size_t>(c) * bands + b] = total;
            total += k;
        }
    }
    band_at_[bands] = total;
    starts_.resize(total);
    render_parallel_for(ctx_->threads, chunks, [&](int64_t c) {
        size_t* next = &at[static_cast<size_t>(c) * bands];
        for (int64_t i = c * kChunk; i < std::min(n, (c + 1) * kChunk); ++i) {
            int32_t first, last;
            if (!lines(i, &first, &last)) continue;
            for (int32_t b = first / band_lines; b <= last / band_lines && b < band_count_; ++b)
                starts_[next[b]++] = {std::max(first, b * band_lines), static_cast<uint32_t>(i)};
        }
    });
}

void Bands::band(BandState& st, int32_t b, int32_t row0, int32_t row1) {
    const int32_t f = s_->f, W = s_->W;
    const int32_t y0 = row0 * f, y1 = row1 * f;
    const auto lines = static_cast<size_t>(y1 - y0);
    // The band's triangles by their first line (counting sort, scene order kept).
    std::vector<int32_t>& count = st.line_start;
    count.assign(lines + 1, 0);
    const auto* list = starts_.data() + band_at_[static_cast<size_t>(b)];
    const size_t list_size = band_at_[static_cast<size_t>(b) + 1] - band_at_[static_cast<size_t>(b)];
    for (size_t k = 0; k < list_size; ++k) ++count[static_cast<size_t>(list[k].first - y0) + 1];
    for (size_t l = 0; l < lines; ++l) count[l + 1] += count[l];
    st.order.resize(list_size);
    {
        std::vector<int32_t> fill(count.begin(), count.end() - 1);
        for (size_t k = 0; k < list_size; ++k)
            st.order[fill[static_cast<size_t>(list[k].first - y0)]++] = list[k].second;
    }
    st.active.clear();
    for (int32_t y = y0; y < y1; ++y) {
        if (render_stopped(ctx_->progress)) return;
        for (int32_t k = count[y - y0]; k < count[y - y0 + 1]; ++k) activate(st, st.order[k], y);
        // Span fill. The line's records: sample x's is line_records[x * stride].
        const bool persp = s_->persp;
        SampleRecord* line_records = &record(st, 0, y);
        const int32_t stride = f == 1 ? 1 : 3;
        for (const Active& a : st.active) {
            const ScanTri& t = s_->tris[a.tri];
            const uint8_t edges = pair_of(t, a.state);
            const EdgeAt L = edge_at(t, edges & 3, y, persp);
            const EdgeAt R = edge_at(t, edges >> 2, y, persp);
            const double xl = std::ceil(clamp_coord(L.x));
            const double xr = std::ceil(clamp_coord(R.x));
            const int32_t x_end = static_cast<int32_t>(std::min(xr, double(W)));
            const double span = R.x - L.x;
            for (int32_t x = static_cast<int32_t>(std::max(xl, 0.0)); x < x_end; ++x) {
                Between p = span_between(L.x, R.x, span, x);
                if (persp) perspective_between(&p, L.depth, R.depth);
                const double depth = value_between(L.depth, R.depth, p);
                if (depth > 0.001) insert(line_records[x * stride], depth, a.tri, edges);
            }
        }
        if (y % f == f - 1) {
            const int32_t py = y / f;
            resolve_row(st, py);
            if (render_emit_row(ctx_, py, st.row.data()) != 0) return;
        }
        // Retire edges that end on this line.
        size_t keep = 0;
        for (size_t i = 0; i < st.active.size(); ++i) {
            Active a = st.active[i];
            const ScanTri& t = s_->tris[a.tri];
            if (a.state == 0 && t.line[1] <= y) a.state = 2;
            if (t.line[2] <= y) continue;
            st.active[keep++] = a;
        }
        st.active.resize(keep);
    }
}

int Bands::run() {
    const int32_t rows = ctx_->height;
    const int32_t threads = std::max(1, ctx_->threads);
    // One band per thread and a few more for balance; one band with one thread.
    band_count_ = threads == 1 ? 1 : std::min(rows, threads * 4);
    band_rows_ = (rows + band_count_ - 1) / band_count_;
    band_count_ = (rows + band_rows_ - 1) / band_rows_;
    try {
        bucket();
        for (RenderLight* l = ctx_->lights; l; l = l->next)
            if (l->visible) visible_.push_back(l);
    } catch (const std::bad_alloc&) {
        return kScanlineNoMemory;
    }
    auto worker = [&]() {
        BandState st;
        try {
            const size_t records = static_cast<size_t>(s_->W) * (s_->f == 1 ? 1 : 3);
            st.records = RenderScratch<SampleRecord>::take(records);
            st.records.resize(records);
            st.more = RenderScratch<MoreFragments>::take(records);
            st.more.resize(records);
            for (size_t k = 0; k < records; ++k) st.records[k].more = &st.more[k];
            st.row.resize(static_cast<size_t>(ctx_->width));
            st.cache.reserve(16);
        } catch (const std::bad_alloc&) {
            no_memory_ = true;
            return;
        }
        for (;;) {
            const int32_t b = next_band_.fetch_add(1);
            if (b >= band_count_ || render_stopped(ctx_->progress) || no_memory_) return;
            const int32_t r0 = b * band_rows_, r1 = std::min(rows, r0 + band_rows_);
            if (r0 >= r1) continue;
            try {
                band(st, b, r0, r1);
            } catch (const std::bad_alloc&) {
                no_memory_ = true;
                return;
            }
        }
    };
    render_parallel_for(std::min(threads, band_count_), std::min(threads, band_count_),
                        [&](int64_t) { worker(); });
    if (no_memory_) return kScanlineNoMemory;
    return render_stopped(ctx_->progress) ? -1 : 0;
}

int prepare_scene(Scene* s) {
    RenderContext* ctx = s->ctx;
    Matrix43 m = ctx->matrix;
    s->f = (ctx->flags & kRenderAntialias) ? 3 : 1;
    s->W = ctx->width * s->f;
    s->H = ctx->height * s->f;
    s->persp = ctx->perspective;
    // Lights: screen position, colour toward the eye, visibility.
    for (RenderLight* l = ctx->lights; l; l = l->next) {
        double xs, ys, z;
        project(ctx, m, {l->position.x, l->position.y, l->position.z}, s->f, &xs, &ys, &z);
        l->visible = 0;
        l->screen_depth = z;
        const bool inside = std::isfinite(xs) && std::isfinite(ys) && z > 1e-6 && xs >= 0 &&
                            xs < s->W && ys >= 0 && ys < s->H;
        if (!inside) continue;
        const auto ix = static_cast<int32_t>(xs), iy = static_cast<int32_t>(ys);
        double k = 1.0;
        if (l->spot) {
            Vec3d u = {ctx->eye.x - l->position.x, ctx->eye.y - l->position.y,
                       ctx->eye.z - l->position.z};
            if (!ctx->perspective) u = ctx->view_dir;
            const double len = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
            k = len > 0.0 ? render_spot_factor({u.x / len, u.y / len, u.z / len}, l) : 0.0;
        }
        float sum = 0.0f;
        for (int c = 0; c < 4; ++c) l->screen_colour[c] = static_cast<float>(l->colour[c] * k);
        for (int c = 0; c < 3; ++c) sum += l->screen_colour[c];
        if (sum < 0.003f) continue;
        l->visible = 1;
        l->screen_x = ix / s->f;
        l->screen_y = iy / s->f;
    }
    // Vertices, then triangles, in fixed chunks over the render threads.
    constexpr size_t kChunk = 8192;
    struct Chunk {
        RenderMesh* mesh;
        size_t begin, end;
    };
    std::vector<Chunk> vchunks, tchunks;
    size_t total = 0;
    for (RenderMesh* mesh = ctx->meshes; mesh; mesh = mesh->next) {
        mesh->first_triangle = static_cast<uint32_t>(total);
        total += mesh->triangles.size();
        for (size_t b = 0; b < mesh->vertices.size(); b += kChunk)
            vchunks.push_back({mesh, b, std::min(mesh->vertices.size(), b + kChunk)});
        for (size_t b = 0; b < mesh->triangles.size(); b += kChunk)
            tchunks.push_back({mesh, b, std::min(mesh->triangles.size(), b + kChunk)});
    }
    render_parallel_for(ctx->threads, static_cast<int64_t>(vchunks.size()), [&](int64_t i) {
        const Chunk& c = vchunks[i];
        if (render_work(ctx, static_cast<int64_t>(c.end - c.begin))) return;
        for (size_t k = c.begin; k < c.end; ++k) {
            RenderVertex& v = c.mesh->vertices[k];
            double xs, ys, z;
            project(ctx, m, v.world, s->f, &xs, &ys, &z);
            if (!v.finite || !std::isfinite(xs) || !std::isfinite(ys) || !std::isfinite(z)) {
                v.finite = 0;
                continue;
            }
            v.sx = xs;
            v.sy = ys;
            v.depth = z;
        }
    });
    if (render_stopped(ctx->progress)) return -1;
    s->tris = RenderScratch<ScanTri>::take(total);
    s->tris.resize(total);
    render_parallel_for(ctx->threads, static_cast<int64_t>(tchunks.size()), [&](int64_t i) {
        const RenderMesh* mesh = tchunks[i].mesh;
        if (render_work(ctx, static_cast<int64_t>(tchunks[i].end - tchunks[i].begin))) return;
        for (size_t k = tchunks[i].begin; k < tchunks[i].end; ++k) {
            const RenderTriangle& tri = mesh->triangles[k];
            const size_t idx = mesh->first_triangle + k;
            ScanTri& t = s->tris[idx];
            t.mesh = mesh;
            t.tri = &tri;
            // Triangles that cannot be drawn sit below every sample line.
            auto below = [&t] {
                for (int c = 0; c < 3; ++c) {
                    t.x[c] = 0;
                    t.y[c] = -kCoordLimit;
                    t.line[c] = static_cast<int32_t>(-kCoordLimit);
                    t.z[c] = 0;
                    t.corner[c] = 0;
                }
                t.left_first = 0;
            };
            if (!tri.drawable) {
                below();
                continue;
            }
            bool ok = true;
            int order[3] = {0, 1, 2};
            for (int c = 0; c < 3; ++c) {
                if (tri.corner[c] < 0 || static_cast<size_t>(tri.corner[c]) >= mesh->vertices.size() ||
                    !mesh->vertices[tri.corner[c]].finite)
                    ok = false;
            }
            if (!ok) {
                below();
                continue;
            }
            const RenderVertex* v[3] = {&mesh->vertices[tri.corner[0]],
                                        &mesh->vertices[tri.corner[1]],
                                        &mesh->vertices[tri.corner[2]]};
            // Stable by line (insertion: equal lines keep corner order).
            for (int i = 1; i < 3; ++i)
                for (int j = i; j > 0 && v[order[j]]->sy < v[order[j - 1]]->sy; --j)
                    std::swap(order[j], order[j - 1]);
            for (int c = 0; c < 3; ++c) {
                t.x[c] = v[order[c]]->sx;
                t.y[c] = v[order[c]]->sy;
                t.line[c] = static_cast<int32_t>(std::floor(clamp_coord(t.y[c])));
                t.z[c] = v[order[c]]->depth;
                t.corner[c] = static_cast<uint8_t>(order[c]);
            }
            t.left_first = twice_area(t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2]) < 0.0 ? 1 : 0;
        }
    });
    if (render_stopped(ctx->progress)) return -1;
    // Visible lights go first, in their order.
    RenderLight* vis = nullptr;
    RenderLight** vis_tail = &vis;
    RenderLight* rest = nullptr;
    RenderLight** rest_tail = &rest;
    for (RenderLight* l = ctx->lights; l;) {
        RenderLight* next = l->next;
        l->next = nullptr;
        if (l->visible) {
            *vis_tail = l;
            vis_tail = &l->next;
        } else {
            *rest_tail = l;
            rest_tail = &l->next;
        }
        l = next;
    }
    *vis_tail = rest;
    ctx->lights = vis;
    return 0;
}

void reorder_lights_after_rows(RenderContext* ctx) {
    RenderLight* vis = nullptr;
    RenderLight** vt = &vis;
    RenderLight* rest = nullptr;
    RenderLight** rt = &rest;
    for (RenderLight* l = ctx->lights; l;) {
        RenderLight* next = l->next;
        l->next = nullptr;
        if (l->visible) {
            *vt = l;
            vt = &l->next;
        } else {
            *rt = l;
            rt = &l->next;
        }
        l = next;
    }
    *vt = rest;
    ctx->lights = vis;
}

int halo_pass(RenderContext* ctx) {
    if (!(ctx->halo.intensity > 0.0f) || !ctx->lights || !ctx->lights->visible) return 0;
    ImageDC* dc = ctx->render_target;
    if (render_progress_set(ctx->progress, -1, ctx->height, 1) != 0) return -1;
    if (render_progress_rows(ctx->progress, -1, -1) != 0) return -1;
    std::vector<uint32_t> row(static_cast<size_t>(ctx->width));
    for (int32_t y = 0; y < ctx->height; ++y) {
        if (render_stopped(ctx->progress)) return -1;
        {
            std::lock_guard<std::recursive_mutex> lock(ctx->progress->lock);
            dc->read_row(dc, 0, y, ctx->width, row.data(), row.size() * 4, 3);
        }
        for (int32_t x = 0; x < ctx->width; ++x) {
            const uint32_t p = row[x];
            float c[3] = {((p >> 16) & 255) / 255.0f, ((p >> 8) & 255) / 255.0f, (p & 255) / 255.0f};
            for (const RenderLight* l = ctx->lights; l && l->visible; l = l->next)
                halo_add(&ctx->halo, x, y, l->screen_x, l->screen_y, l->screen_colour, c);
            uint32_t b[3];
            for (int k = 0; k < 3; ++k)
                b[k] = static_cast<uint32_t>((c[k] >= 0.0f ? std::min(c[k], 1.0f) : 0.0f) * 255.0f);
            // Pixels read back already carry the gamma: they are written as they are.
            row[x] = b[2] | (b[1] << 8) | (b[0] << 16);
        }
        if (render_emit_row(ctx, y, row.data()) != 0) return -1;
    }
    return 0;
}

int wire_pass(RenderContext* ctx, const Scene& s) {
    // The background first, then the edges over it; every row counts as done.
    std::vector<uint32_t> row(static_cast<size_t>(ctx->width));
    float bg[3] = {0, 0, 0};
    if (ctx->settings)
        for (int c = 0; c < 3; ++c) bg[c] = ctx->settings->material.colour[c];
    fog_far(&ctx->fog, bg);
    std::fill(row.begin(), row.end(), render_pixel_word(ctx, bg));
    {
        std::lock_guard<std::recursive_mutex> lock(ctx->progress->lock);
        for (int32_t y = 0; y < ctx->height; ++y)
            ctx->render_target->write_row(ctx->render_target, 0, y, ctx->width, row.data(),
                                          row.size() * 4, 3);
    }
    int64_t polled = 0;
    for (RenderMesh* mesh = ctx->meshes; mesh; mesh = mesh->next) {
        if (render_mesh_edges(mesh) != 0) return kScanlineNoMemory;
        for (const RenderEdge& e : mesh->edges) {
            if ((++polled & 511) == 0 && render_step(ctx, polled)) return -1;
            if (e.v[0] < 0 || e.v[1] < 0 || static_cast<size_t>(e.v[0]) >= mesh->vertices.size() ||
                static_cast<size_t>(e.v[1]) >= mesh->vertices.size())
                continue;
            const RenderVertex& a = mesh->vertices[e.v[0]];
            const RenderVertex& b = mesh->vertices[e.v[1]];
            if (!a.finite || !b.finite) continue;
            // Cut at the pixel range in double before going to integers: an end held
            // at the range on its own would turn the edge.
            auto px = [&](double v) { return (v + 0.5) / s.f - 0.5; };
            int c[4];
            if (view_clip_segment(px(a.sx), px(a.sy), px(b.sx), px(b.sy), c))
                render_line_hook(ctx, c[0], c[1], c[2], c[3], 7);
        }
    }
    for (int32_t y = 0; y < ctx->height; ++y) {
        std::lock_guard<std::recursive_mutex> lock(ctx->progress->lock);
        ctx->render_target->read_row(ctx->render_target, 0, y, ctx->width, row.data(),
                                     row.size() * 4, 3);
        if (render_emit_row(ctx, y, row.data()) != 0) return -1;
    }
    return 0;
}

}  // namespace

uint32_t render_pixel_word(const RenderContext* ctx, const float colour[3]) {
    return PixelWord(ctx)(colour);
}

int render_emit_row(RenderContext* ctx, int32_t row, const uint32_t* pixels) {
    RenderProgress* p = ctx->progress;
    std::lock_guard<std::recursive_mutex> lock(p->lock);
    ImageDC* rt = ctx->render_target;
    rt->write_row(rt, 0, row, ctx->width, pixels, static_cast<size_t>(ctx->width) * 4, 3);
    int32_t first = row, last = row;
    if (ctx->draft_image) {
        // Row r of the half image becomes target rows 2r and 2r + 1, as far as the
        // target reaches.
        first = row * 2;
        last = std::min(row * 2 + 1, ctx->full_height - 1);
        // The scaler fails only without memory for its rows: the render ends as out of
        // memory (the band's guard catches it) rather than leaving the rows out.
        if (first <= last && image_scale_rect(ctx->target, 0, first, ctx->full_width, last - first + 1, rt, 0,
                                              first, 0.0, 0.0, 2.0, 2.0, 3) != 0)
            throw std::bad_alloc();
    }
    if (render_progress_step(p) != 0) return 1;
    if (first > last) return 0;
    ctx->rows_done_max = std::max(ctx->rows_done_max, last);
    ctx->rows_reported.fetch_add(last - first + 1);
    return render_progress_rows(p, first, last);
}

int render_scanline(RenderContext* ctx) {
    Scene s;
    s.ctx = ctx;
    try {
        if (int rc = prepare_scene(&s)) return rc;
        if (ctx->flags & kRenderWireEdges) return wire_pass(ctx, s);
        if (render_progress_set(ctx->progress, -1, ctx->height, 1) != 0) return -1;
        if (render_progress_rows(ctx->progress, -1, -1) != 0) return -1;
        Bands bands(&s);
        const int rc = bands.run();
        if (rc != 0) return rc;
        reorder_lights_after_rows(ctx);
        return halo_pass(ctx);
    } catch (const std::bad_alloc&) {
        return kScanlineNoMemory;
    }
}
