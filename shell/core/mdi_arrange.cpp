// Cascade and tile arrangements of the windows in the main window's area.
#include "shell/core/mdi_arrange.h"

#include <algorithm>
#include <cmath>

std::vector<PlacementRect> mdi_cascade(int count, int area_width, int area_height, int step) {
    std::vector<PlacementRect> out;
    if (count <= 0) return out;
    step = std::max(step, 1);
    const int min_w = area_width * 2 / 3, min_h = area_height * 2 / 3;
    // 64-bit: a huge count must not overflow the offsets.
    long long run = count;
    while (run > 1 && (area_width - (run - 1) * step < min_w || area_height - (run - 1) * step < min_h)) --run;
    const int w = std::max<int>(int(area_width - (run - 1) * step), 1);
    const int h = std::max<int>(int(area_height - (run - 1) * step), 1);
    out.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const int off = int(i % run) * step;
        out.push_back({off, off, off + w, off + h});
    }
    return out;
}

std::vector<PlacementRect> mdi_tile(int count, int area_width, int area_height, bool horizontal) {
    std::vector<PlacementRect> out;
    if (count <= 0) return out;
    out.reserve(size_t(count));
    // Worked out for rows (horizontal); vertical swaps the axes.
    const int along = horizontal ? area_height : area_width;   // across the bands
    const int across = horizontal ? area_width : area_height;  // along a band
    const int bands = count <= 3 ? count : int(std::ceil(std::sqrt(double(count))));
    const int base = count / bands, extra = count % bands;
    for (int b = 0; b < bands; ++b) {
        const int b0 = int((long long)along * b / bands), b1 = int((long long)along * (b + 1) / bands);
        // The last `extra` bands hold one window more.
        const int n = base + (b >= bands - extra ? 1 : 0);
        for (int k = 0; k < n; ++k) {
            const int k0 = int((long long)across * k / n), k1 = int((long long)across * (k + 1) / n);
            PlacementRect r = horizontal ? PlacementRect{k0, b0, k1, b1} : PlacementRect{b0, k0, b1, k1};
            r.right = std::max(r.right, r.left + 1);
            r.bottom = std::max(r.bottom, r.top + 1);
            out.push_back(r);
        }
    }
    return out;
}
