// Glyph solids: tracing outlines into contours, rings, side bands and caps, the text
// walk and the outline preview (see text3d_solid.h).
#include "commands/model3d/text3d_solid.h"

#include <cmath>
#include <cstring>
#include <new>

#include "commands/model3d/triangulate.h"
#include "model/math/result.h"

namespace {

void vertex_io(void* vertices, int32_t index, double xyz[3], int mode) {
    Vec3d& v = (*static_cast<std::vector<Vec3d>*>(vertices))[static_cast<size_t>(index)];
    if (mode == 0) {
        xyz[0] = v.x, xyz[1] = v.y, xyz[2] = v.z;
    } else {
        v = {xyz[0], xyz[1], xyz[2]};
    }
}

void face_sink(void* context, int32_t, int32_t a, int32_t b, int32_t c, int bits) {
    static_cast<std::vector<GlyphFace>*>(context)->push_back({a, b, c, bits});
}

// Points a polygon traces into: per straight segment `line_steps`, per off-curve
// point `curve_steps`.
int32_t polygon_budget(const GlyphOutline& o, int32_t first, int32_t last, int line_steps, int curve_steps) {
    int32_t n = 0;
    const int32_t m = last - first + 1;
    for (int32_t i = 0; i < m; ++i) {
        const OutlinePoint& p = o.points[static_cast<size_t>(first + i)];
        const OutlinePoint& prev = o.points[static_cast<size_t>(first + (i + m - 1) % m)];
        if (!p.on)
            n += curve_steps;
        else if (prev.on)
            n += line_steps;
    }
    return n;
}

// Walks a polygon from its first on-curve point, emitting the start of every piece
// (t = i / steps, i < steps) through emit(x, y). Nothing without an on-curve point.
template <class Emit>
void trace_polygon(const GlyphOutline& o, int32_t first, int32_t last, int line_steps, int curve_steps,
                   Emit emit) {
    const int32_t m = last - first + 1;
    int32_t s = -1;
    for (int32_t i = 0; i < m && s < 0; ++i)
        if (o.points[static_cast<size_t>(first + i)].on) s = i;
    if (s < 0) return;
    auto pt = [&](int32_t k) -> const OutlinePoint& { return o.points[static_cast<size_t>(first + (s + k) % m)]; };
    double x0 = pt(0).x, y0 = pt(0).y;  // current on-curve (or implied) point
    for (int32_t k = 1; k <= m; ++k) {
        const OutlinePoint& q = pt(k);
        if (q.on) {
            for (int i = 0; i < line_steps; ++i) {
                const double t = static_cast<double>(i) / line_steps;
                emit(x0 + (q.x - x0) * t, y0 + (q.y - y0) * t);
            }
            x0 = q.x, y0 = q.y;
            continue;
        }
        const OutlinePoint& r = pt(k + 1);
        const double x2 = r.on ? r.x : (q.x + r.x) / 2, y2 = r.on ? r.y : (q.y + r.y) / 2;
        for (int i = 0; i < curve_steps; ++i) {
            const double t = static_cast<double>(i) / curve_steps, u = 1 - t;
            emit(u * u * x0 + 2 * t * u * q.x + t * t * x2, u * u * y0 + 2 * t * u * q.y + t * t * y2);
        }
        x0 = x2, y0 = y2;
        if (r.on) ++k;  // the end point is taken
    }
}

bool box_within(const ContourRecord& inner, const ContourRecord& outer) {
    return inner.box_min[0] >= outer.box_min[0] && inner.box_min[1] >= outer.box_min[1] &&
           inner.box_max[0] <= outer.box_max[0] && inner.box_max[1] <= outer.box_max[1];
}

double box_area(const ContourRecord& r) {
    return (r.box_max[0] - r.box_min[0]) * (r.box_max[1] - r.box_min[1]);
}

}  // namespace

Text3dParams text3d_params(double h, double d, double c) {
    Text3dParams p;
    p.scale_x = p.scale_y = h;
    p.ring_inset[0] = c, p.ring_inset[1] = 0, p.ring_inset[2] = 0, p.ring_inset[3] = c;
    p.ring_z_step[0] = 0, p.ring_z_step[1] = c, p.ring_z_step[2] = d - 2 * c, p.ring_z_step[3] = c;
    // Cross values grow with the square of the size: the threshold follows, so a
    // glyph is cut alike at every size.
    p.tolerance = 1e-6 * h * h;
    return p;
}

namespace {

int build_glyph(const GlyphOutline& o, Text3dParams* params, GlyphMesh* out) {
    const Text3dParams& P = *params;
    if (P.line_steps < 1 || P.curve_steps < 1 || P.line_steps > 64 || P.curve_steps > 64)
        return kBadArgument;
    for (int k = 0; k < 4; ++k)
        if (!std::isfinite(P.ring_inset[k]) || !std::isfinite(P.ring_z_step[k]) ||
            P.ring_z_step[k] < 0)
            return kContourInsetFolds;
    // Rings kept: 0, and the far ring of every section that has depth or a change of
    // inset.
    int rings[4] = {0, 0, 0, 0};
    int L = 1;
    for (int s = 0; s < 3; ++s)
        if (P.ring_z_step[s + 1] != 0 || P.ring_inset[s] != P.ring_inset[s + 1]) rings[L++] = s + 1;
    // Contours and their vertex shares.
    const size_t polys = o.ends.size();
    std::vector<int32_t> firsts(polys), budgets(polys);
    int64_t N = 0;
    int32_t first = 0;
    for (size_t p = 0; p < polys; ++p) {
        const int32_t last = o.ends[p];
        if (last < first || last >= static_cast<int32_t>(o.points.size())) return kBadArgument;
        firsts[p] = first;
        budgets[p] = polygon_budget(o, first, last, P.line_steps, P.curve_steps);
        N += budgets[p];
        first = last + 1;
    }
    if (N * L > (int64_t{1} << 24)) return kOutOfMemory;
    ContourSet contours;
    try {
        out->vertices.assign(static_cast<size_t>(N * L), Vec3d{0, 0, 0});
        contours.resize(polys);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    out->rings = L;
    out->ring_size = static_cast<int32_t>(N);
    std::vector<Vec3d>& V = out->vertices;
    // Tracing into ring 0, the black box's left edge at the pen.
    const double shift = P.pen_x - o.left;
    int32_t at = 0;
    for (size_t p = 0; p < polys; ++p) {
        const int32_t start = at;
        trace_polygon(o, firsts[p], o.ends[p], P.line_steps, P.curve_steps, [&](double x, double y) {
            if (at < start + budgets[p])
                V[static_cast<size_t>(at++)] = {(x + shift) * P.scale_x, (y + P.offset_y) * P.scale_y, 0};
        });
        at = start + budgets[p];
        out->contour_last.push_back(at - 1);
        ContourRecord& r = contours[p];
        if (contour_init_range(&r, vertex_io, &V, start, at - 1)) return kOutOfMemory;
        if (r.count < 3) {
            contour_free(&r);  // no area: neither faces nor sides
            r.clockwise = 0;
            r.last = r.first - 1;
            continue;
        }
        contour_update_box(&r, 0);
    }
    // The pen moves to the glyph's right edge (the gap is the caller's).
    params->pen_x = shift + o.right;
    // Contours that cross in the font itself (overlapping components, as in a
    // cedilla) are not the chamfer's doing.
    std::vector<char> crossed;
    try {
        crossed = contour_set_crossings(contours, 0);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (int k = 1; k < L; ++k)
        std::memcpy(&V[static_cast<size_t>(k * N)], &V[0], sizeof(Vec3d) * static_cast<size_t>(N));
    // Outer contours (clockwise), smallest box first, take the holes inside their box.
    std::vector<int> outer_of(polys, -1);
    for (;;) {
        int best = -1;
        for (size_t c = 0; c < polys; ++c)
            if (contours[c].clockwise == 1 && contours[c].count > 0 &&
                (best < 0 || box_area(contours[c]) < box_area(contours[static_cast<size_t>(best)]) * (1 - 1e-10)))
                best = static_cast<int>(c);
        if (best < 0) break;
        ContourRecord& outer = contours[static_cast<size_t>(best)];
        outer.clockwise = 2;
        for (size_t h = 0; h < polys; ++h) {
            ContourRecord& hole = contours[h];
            if (hole.clockwise != 0 || hole.count == 0 || !box_within(hole, outer)) continue;
            if (contour_bridge_hole(&outer, hole)) return kOutOfMemory;
            contour_free(&hole);
            outer_of[h] = best;
        }
    }
    // Sides between consecutive kept rings.
    try {
        for (int k = 1; k < L; ++k) {
            const int32_t p0 = static_cast<int32_t>((k - 1) * N), q0 = static_cast<int32_t>(k * N);
            for (const ContourRecord& r : contours) {
                if (r.last - r.first + 1 < 3) continue;
                for (int32_t i = r.first; i <= r.last; ++i) {
                    const int32_t j = i == r.first ? r.last : i - 1;
                    out->faces.push_back({p0 + i, p0 + j, q0 + i, 5});
                    out->faces.push_back({q0 + j, q0 + i, p0 + j, 5});
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    // Ring geometry: inset and depth of every kept ring.
    double z = 0;
    int ring_index = 0;
    for (int k = 0; k < 4; ++k) {
        z -= P.ring_z_step[k];
        if (ring_index >= L || rings[ring_index] != k) continue;
        const int32_t base = static_cast<int32_t>(ring_index * N);
        ++ring_index;
        if (const int e = contour_set_inset(&contours, base, P.ring_inset[k], z, &crossed))
            return e;
        // A hole grown past its outer without crossing it swallowed the letter.
        for (size_t h = 0; h < polys; ++h)
            if (outer_of[h] >= 0 &&
                !box_within(contours[h], contours[static_cast<size_t>(outer_of[h])]))
                return kContourInsetFolds;
    }
    // Caps: the front at ring 0, the back at the last ring.
    int32_t counter = 0;
    try {
        for (ContourRecord& r : contours) {
            if (r.clockwise == 0 || r.count < 3) continue;
            r.clockwise = 1;
            if (contour_triangulate(&out->faces, &counter, r, face_sink, 0, P.tolerance))
                return kOutOfMemory;
            if (L > 1 &&
                contour_triangulate(&out->faces, &counter, r, face_sink, static_cast<int32_t>((L - 1) * N),
                                    P.tolerance))
                return kOutOfMemory;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

}  // namespace

int glyph_solid_build(const GlyphOutline& o, Text3dParams* params, GlyphMesh* out) {
    *out = GlyphMesh{};
    try {
        return build_glyph(o, params, out);
    } catch (const std::bad_alloc&) {
        // Out of memory part way: nothing of the glyph is handed on.
        *out = GlyphMesh{};
        return kOutOfMemory;
    }
}

int text_solids_build_font(GlyphFont* font, const char* text, Text3dParams* params, Text3dSink* sink) {
    int code = 0;
    const char* p = text ? text : "";
    const char* end = p + std::strlen(p);
    while (p < end && code == 0) {
        const uint32_t cp = utf8_next(&p, end);
        GlyphOutline outline;
        const int r = glyph_outline_read(&outline, font, cp);
        if (r == 1) {
            params->pen_x += params->blank_advance;
            continue;
        }
        if (r != 0) {
            code = r;
            break;
        }
        code = sink->begin_glyph();
        if (code != 0) break;
        GlyphMesh mesh;
        code = glyph_solid_build(outline, params, &mesh);
        if (code == 0) code = sink->finish_glyph(std::move(mesh));
        if (code == 0) params->pen_x += params->glyph_gap;
    }
    sink->end(code);
    return code;
}

int text_solids_build(const TextFontRecord& record, const char* text, Text3dParams* params, Text3dSink* sink) {
    GlyphFont font;
    const int code = glyph_font_open(&font, record);
    if (code != 0) {
        sink->end(code);
        return code;
    }
    const int r = text_solids_build_font(&font, text, params, sink);
    glyph_font_close(&font);
    return r;
}

void glyph_preview_font(GlyphFont* font, const char* text, void* context, GlyphLineFn line) {
    double pen = 0;
    const char* p = text ? text : "";
    const char* end = p + std::strlen(p);
    std::vector<double> xy;
    while (p < end) {
        const uint32_t cp = utf8_next(&p, end);
        GlyphOutline o;
        if (glyph_outline_read(&o, font, cp) != 0) {
            pen += 0.3;
            continue;
        }
        const double shift = pen - o.left;
        int32_t first = 0;
        for (int32_t last : o.ends) {
            xy.clear();
            trace_polygon(o, first, last, 1, 4, [&](double x, double y) {
                xy.push_back(x + shift);
                xy.push_back(y);
            });
            const size_t n = xy.size() / 2;
            for (size_t i = 0; i < n; ++i) {
                const size_t j = (i + 1) % n;
                line(context, xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1]);
            }
            first = last + 1;
        }
        pen = shift + o.right + 0.1;
    }
}

void glyph_preview(const TextFontRecord& record, const char* text, void* context, GlyphLineFn line) {
    GlyphFont font;
    if (glyph_font_open(&font, record) != 0) return;
    glyph_preview_font(&font, text, context, line);
}
