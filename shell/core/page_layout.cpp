// Page rules of printing: margins, units, image fit, drawing layout, crop marks,
// clipping.
#include "shell/core/page_layout.h"

#include <algorithm>
#include <cmath>

#include "model/math/result.h"

void margins_follow_orientation(Margins* m, int* stored, int orientation) {
    if (orientation == *stored) return;
    const Margins o = *m;
    if (*stored == kPortrait)
        *m = {o.top, o.right, o.bottom, o.left};
    else
        *m = {o.bottom, o.left, o.top, o.right};
    *stored = orientation;
}

double page_units_from_internal(double thousandths, int units) {
    return units == 0 ? thousandths * 0.0254 : thousandths * 0.001;
}

double page_units_to_internal(double value, int units) {
    return units == 0 ? value * 39.37007874015748 : value * 1000.0;
}

Margins printer_minimum_margins(const PrinterGeometry& g) {
    if (g.dpi_x <= 0 || g.dpi_y <= 0) return {};
    auto in_x = [&](int64_t v) { return static_cast<int32_t>(std::max<int64_t>(0, v) * 1000 / g.dpi_x); };
    auto in_y = [&](int64_t v) { return static_cast<int32_t>(std::max<int64_t>(0, v) * 1000 / g.dpi_y); };
    return {in_x(g.offset_x), in_y(g.offset_y), in_x(int64_t{g.physical_w} - g.offset_x - g.printable_w),
            in_y(int64_t{g.physical_h} - g.offset_y - g.printable_h)};
}

Margins printer_device_margins(const Margins& m, const Margins& min, const PrinterGeometry& g) {
    auto dev = [](int64_t margin, int64_t minimum, int dpi) {
        return static_cast<int32_t>(std::max<int64_t>(0, margin - minimum) * dpi / 1000);
    };
    return {dev(m.left, min.left, g.dpi_x), dev(m.top, min.top, g.dpi_y), dev(m.right, min.right, g.dpi_x),
            dev(m.bottom, min.bottom, g.dpi_y)};
}

bool image_print_rect(const PrinterGeometry& g, const Margins& dm, int image_w, int image_h, PrintRect* out) {
    const double aw = double(g.printable_w) - dm.right - dm.left;
    const double ah = double(g.printable_h) - dm.bottom - dm.top;
    if (aw <= 0 || ah <= 0 || image_w <= 0 || image_h <= 0 || g.dpi_x <= 0 || g.dpi_y <= 0) return false;
    const double kx = aw / (double(g.dpi_x) * image_w), ky = ah / (double(g.dpi_y) * image_h);
    double w = aw, h = ah;
    if (ky > kx)
        h = kx * g.dpi_y * image_h;
    else
        w = ky * g.dpi_x * image_w;
    out->x = dm.left;
    out->y = dm.top;
    out->w = static_cast<int>(w);
    out->h = static_cast<int>(h);
    return out->w > 0 && out->h > 0;
}

int print_layout_run(PrintLayout* l, double min_x, double min_y, double max_x, double max_y) {
    double aw = max_x - min_x, ah = max_y - min_y;
    if (!std::isfinite(aw) || aw <= 0) aw = 1, max_x = min_x + 1;
    if (!std::isfinite(ah) || ah <= 0) ah = 1, max_y = min_y + 1;
    double W = (double(l->paper_w) - l->margins.right - l->margins.left) * 0.0254;
    const double H = (double(l->paper_h) - l->margins.top - l->margins.bottom) * 0.0254;
    if (!(W > 0) || !(H > 0)) return kBadArgument;
    if (!l->tile) {
        l->origin_x = min_x;
        l->origin_y = min_y;
        l->printed_w = aw;
        l->printed_h = ah;
        if (aw / W <= ah / H) W = aw / (ah / H);
        l->scale = W / aw;
        l->x_offset = l->y_offset = 0;
        l->columns = l->rows = 1;
        return 0;
    }
    l->scale = std::clamp(std::isfinite(l->scale) ? l->scale : 1.0, 0.000001, 1000000.0);
    const double s = l->scale;
    const double L = l->margins.left * 0.0254, B = l->margins.bottom * 0.0254;
    const double ox = l->x_offset / s * 0.0254, oy = l->y_offset / s * 0.0254;
    const double sx = (min_x + ox) * s - L, sy = (min_y + oy) * s - B;
    const double ex = (max_x + ox) * s - L, ey = (max_y + oy) * s - B;
    const double c0 = sx < 0 ? std::ceil(-sx / W) : 0, r0 = sy < 0 ? std::ceil(-sy / H) : 0;
    l->origin_x = (L - c0 * W) / s - ox;
    l->origin_y = (B - r0 * H) / s - oy;
    const double cols = std::max(1.0, c0 + std::ceil(ex / W)), rows = std::max(1.0, r0 + std::ceil(ey / H));
    l->printed_w = ex - sx;
    l->printed_h = ey - sy;
    l->columns = static_cast<int32_t>(std::min(cols, 2147483647.0));
    l->rows = static_cast<int32_t>(std::min(rows, 2147483647.0));
    return cols * rows > double(kMaxPrintPages) ? kLayoutTooManyPages : 0;
}

int64_t print_layout_pages(const PrintLayout& l) {
    return int64_t{std::max(1, l.columns)} * int64_t{std::max(1, l.rows)};
}

void print_layout_page_cell(const PrintLayout& l, int64_t page, int64_t* column, int64_t* row) {
    const int64_t cols = std::max(1, l.columns);
    *column = (page - 1) % cols;
    *row = std::max(1, l.rows) - (page - 1) / cols - 1;
}

void print_crop_marks(double w, double h, double out[32]) {
    constexpr double kLen = 2000, kIn = 10;
    const double corners[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    for (int c = 0; c < 4; ++c) {
        const double x = corners[c][0], y = corners[c][1];
        const double dx = x == 0 ? 1 : -1, dy = y == 0 ? 1 : -1;
        double* seg = out + c * 8;
        // along the horizontal edge, then along the vertical edge
        seg[0] = x, seg[1] = y + dy * kIn, seg[2] = x + dx * kLen, seg[3] = y + dy * kIn;
        seg[4] = x + dx * kIn, seg[5] = y, seg[6] = x + dx * kIn, seg[7] = y + dy * kLen;
    }
}

bool print_clip_line(double w, double h, double* x0, double* y0, double* x1, double* y1) {
    const double dx = *x1 - *x0, dy = *y1 - *y0;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy}, q[4] = {*x0, w - *x0, *y0, h - *y0};
    for (int i = 0; i < 4; ++i) {
        if (std::fabs(p[i]) < 1e-12) {
            if (q[i] < 0) return false;  // parallel and outside
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ax = *x0, ay = *y0;
    *x0 = ax + t0 * dx, *y0 = ay + t0 * dy;
    *x1 = ax + t1 * dx, *y1 = ay + t1 * dy;
    return true;
}

int print_clip_triangle(double w, double h, const double tri[6], double out[18]) {
    double a[18], b[18];
    int n = 3;
    std::copy(tri, tri + 6, a);
    // Sutherland-Hodgman against x >= 0, x <= w, y >= 0, y <= h.
    for (int edge = 0; edge < 4; ++edge) {
        auto inside = [&](const double* p) {
            switch (edge) {
                case 0: return p[0] >= 0;
                case 1: return p[0] <= w;
                case 2: return p[1] >= 0;
                default: return p[1] <= h;
            }
        };
        auto cross = [&](const double* p, const double* q, double* r) {
            const double bound = edge == 0 || edge == 2 ? 0 : edge == 1 ? w : h;
            const int k = edge < 2 ? 0 : 1;
            const double t = (bound - p[k]) / (q[k] - p[k]);
            r[0] = p[0] + t * (q[0] - p[0]);
            r[1] = p[1] + t * (q[1] - p[1]);
            r[k] = bound;
        };
        int m = 0;
        for (int i = 0; i < n && m < 9; ++i) {
            const double* p = a + i * 2;
            const double* q = a + ((i + 1) % n) * 2;
            const bool pin = inside(p), qin = inside(q);
            if (pin) b[m * 2] = p[0], b[m * 2 + 1] = p[1], ++m;
            if (pin != qin && m < 9) cross(p, q, b + m * 2), ++m;
        }
        n = m;
        std::copy(b, b + n * 2, a);
        if (n == 0) return 0;
    }
    std::copy(a, a + n * 2, out);
    return n;
}
