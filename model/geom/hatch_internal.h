// Internal steps of the hatch fill shared by its files and tests: the line
// clipper over a contour set and the line builders. Everything works in the
// plane frame of the hatch (contours in x-y at a common z).
#pragma once

#include <cstddef>
#include <vector>

#include "model/geom/hatch.h"

class HATCHPATT;

// A crossing of a hatch line with a contour edge.
struct HatchCrossing {
    Vec3 point;
    int weight;   // +1 outer, -1 island; alternated per contour before the walk
    double dist;  // signed place along the line from its start, in x-y
    int contour;
};

// Clips hatch lines to the region inside the outer contours and outside the
// islands. Contours are copied at construction (rings or open lists, closed
// implicitly).
class HatchClipper {
  public:
    HatchClipper(const PtrNode* outer, const PtrNode* inner);
    // Prepends the inside pieces of the line S-E (two-point lists, z given) to
    // *segments. 0 or 8.
    [[nodiscard]] int clip(const Vec3& S, const Vec3& E, float z, PtrNode** segments);
    size_t edges() const { return edges_; }

  private:
    struct Contour {
        std::vector<Vec3> pts;
        int weight = 1;
    };
    void add_set(const PtrNode* set, int weight);
    std::vector<Contour> contours_;
    std::vector<HatchCrossing> crossings_;
    std::vector<int> parity_;
    size_t edges_ = 0;
};

// What one hatch may still spend on its pattern, shared by its families: lines,
// line-edge intersection tests and dashes. A family over the line or test budget
// is left out; one over the dash budget is drawn with continuous lines.
struct HatchBudget {
    double lines = kHatchMaxLines;
    double clip_work = 5e7;
    double dashes = kHatchMaxDashes;
};

// Lays out one family with a valid layout and prepends its runs to *runs.
// *drawn is incremented unless the family is left out for its density.
[[nodiscard]] int hatch_family(HatchClipper& clipper, const HATCHPATT* pattern, int family,
                               double scale, const HatchFamilyLayout& layout, float z,
                               HatchBudget* budget, PtrNode** runs, int* drawn);

// All families of the pattern over the outer contours' extent; *runs receives the
// line runs (overwritten), *drawn (optional) the number of families that could be
// drawn at all. 0 or 8.
[[nodiscard]] int hatch_lines(const PtrNode* outer, const PtrNode* inner, const HATCHPATT* pattern,
                              double scale, double angle, float z, PtrNode** runs,
                              int* drawn = nullptr);
