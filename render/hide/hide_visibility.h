// Visibility of the stored edges: each edge is clipped against the triangles whose
// projected bounds meet it; the part of a segment that lies inside a triangle's
// projection and behind its plane is hidden, the rest goes on to the next
// triangle. Visible and hidden runs of each edge are merged and written out as
// two-point lines on the result drawing's layers.
#pragma once

#include <cstdint>
#include <vector>

#include "render/hide/hide_store.h"

// A uniform grid over the triangles' projected bounds: the candidates of a box come
// out as the triangles whose bounds meet it (closed intervals), in creation order,
// exactly as a scan of every triangle gives them.
class HideGrid {
  public:
    explicit HideGrid(const std::vector<HideTriangle*>& triangles);
    // Candidates of the box (min x, min y, max x, max y) into `out` (replaced).
    void query(const double box[4], std::vector<const HideTriangle*>* out);

  private:
    const std::vector<HideTriangle*>& tris_;
    double x0_ = 0, y0_ = 0, cw_ = 1, ch_ = 1;
    int32_t n_ = 1;
    std::vector<std::vector<int32_t>> cells_;
    std::vector<int32_t> big_;  // triangles covering too many cells: tested always
    std::vector<uint32_t> stamp_;
    uint32_t mark_ = 0;
};

// The scan the grid must equal.
void hide_candidates_scan(const std::vector<HideTriangle*>& triangles, const double box[4],
                          std::vector<const HideTriangle*>* out);

// A run of an edge: parameters 0 (edge's a) to 1 (edge's b).
struct HideRun {
    double t0, t1;
};

// Clips one edge: its visible and hidden runs, merged and in order. `tested` counts
// the triangles looked at.
void hide_edge_runs(HideContext* ctx, const HideEdge* e, std::vector<HideRun>* visible,
                    std::vector<HideRun>* hidden, int64_t* tested);

// The whole visibility pass: lines into the job's layers. Throws HideOutOfMemory.
void hide_visibility(HideContext* ctx);
