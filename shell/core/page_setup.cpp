// Page setup rules: proportions, full page, centring, typed fields.
#include "shell/core/page_setup.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTiny = 0.000001;
}

double PageSetupModel::field(int which) const {
    const double v[6] = {left, right, top, bottom, area_w(), area_h()};
    return page_units_from_internal(v[std::clamp(which, 0, 5)], units);
}

Margins PageSetupModel::margins() const {
    return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
            static_cast<int32_t>(bottom)};
}

void PageSetupModel::keep_proportions(bool horizontal_changed) {
    const double iw = image_w > kTiny ? image_w : 1, ih = image_h > kTiny ? image_h : 1;
    if (horizontal_changed) {
        // The width decides: the bottom margin follows, unless the height would not fit.
        const double h = std::max(0.0, area_w()) * ih / iw;
        const double b = paper_h - top - h;
        if (b >= minimum.bottom) {
            bottom = b;
            return;
        }
        bottom = minimum.bottom;
        right = paper_w - left - std::max(0.0, area_h()) * iw / ih;
    } else {
        const double w = std::max(0.0, area_h()) * iw / ih;
        const double r = paper_w - left - w;
        if (r >= minimum.right) {
            right = r;
            return;
        }
        right = minimum.right;
        bottom = paper_h - top - std::max(0.0, area_w()) * ih / iw;
    }
}

void PageSetupModel::apply_centre(int typed) {
    const double iw = image_w > kTiny ? image_w : 1, ih = image_h > kTiny ? image_h : 1;
    // The margin on each axis: the one typed (against the opposite minimum), else the
    // smaller of the two, never below either minimum.
    const double min_h = std::max(minimum.left, minimum.right), min_v = std::max(minimum.top, minimum.bottom);
    double mh = std::max(min_h, std::min(left, right)), mv = std::max(min_v, std::min(top, bottom));
    if (typed == 0) mh = std::max(left, double(minimum.right));
    if (typed == 1) mh = std::max(right, double(minimum.left));
    if (typed == 2) mv = std::max(top, double(minimum.bottom));
    if (typed == 3) mv = std::max(bottom, double(minimum.top));
    const double fw = std::max(0.0, paper_w - 2 * mh), fh = std::max(0.0, paper_h - 2 * mv);
    const double k = std::min(fw / iw, fh / ih);
    left = right = (paper_w - k * iw) / 2;
    top = bottom = (paper_h - k * ih) / 2;
}

void PageSetupModel::settle() {
    if (full_page) {
        left = minimum.left, top = minimum.top, right = minimum.right, bottom = minimum.bottom;
    } else {
        left = std::max(left, double(minimum.left)), right = std::max(right, double(minimum.right));
        top = std::max(top, double(minimum.top)), bottom = std::max(bottom, double(minimum.bottom));
    }
    if (centre) {
        apply_centre(-1);
        return;
    }
    // Fit the image into what the margins leave: the tighter side decides.
    const double iw = image_w > kTiny ? image_w : 1, ih = image_h > kTiny ? image_h : 1;
    const double aw = std::max(0.0, area_w()), ah = std::max(0.0, area_h());
    if (aw / iw <= ah / ih)
        keep_proportions(true);
    else
        keep_proportions(false);
}

void PageSetupModel::type(int which, double value) {
    if (!std::isfinite(value) || value < 0) value = 0;
    const double v = page_units_to_internal(value, units);
    switch (which) {
        case 0: left = std::clamp(v, double(minimum.left), std::max(double(minimum.left), paper_w - right)); break;
        case 1: right = std::clamp(v, double(minimum.right), std::max(double(minimum.right), paper_w - left)); break;
        case 2: top = std::clamp(v, double(minimum.top), std::max(double(minimum.top), paper_h - bottom)); break;
        case 3: bottom = std::clamp(v, double(minimum.bottom), std::max(double(minimum.bottom), paper_h - top)); break;
        case 4: {
            const double w = std::min(v, paper_w - minimum.left - minimum.right);
            right = std::max(double(minimum.right), paper_w - w - left);
            left = paper_w - w - right;
            break;
        }
        case 5: {
            const double h = std::min(v, paper_h - minimum.top - minimum.bottom);
            bottom = std::max(double(minimum.bottom), paper_h - h - top);
            top = paper_h - h - bottom;
            break;
        }
        default: return;
    }
    if (centre) {
        apply_centre(which);
        return;
    }
    keep_proportions(which == 0 || which == 1 || which == 4);
}

void PageSetupModel::set_paper(double w, double h) {
    if (w > 0 && h > 0) paper_w = w, paper_h = h;
    settle();
}

void print_layout_settle_margins(PrintLayout* l) {
    PageSetupModel page;
    page.paper_w = l->paper_w, page.paper_h = l->paper_h;
    page.left = l->margins.left, page.top = l->margins.top;
    page.right = l->margins.right, page.bottom = l->margins.bottom;
    page.minimum = l->minimum;
    page.image_w = l->printed_w, page.image_h = l->printed_h;
    page.full_page = l->full_page != 0;
    page.centre = l->centre != 0;
    page.settle();
    l->margins = page.margins();
}
