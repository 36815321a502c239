// Layouts of the dimension kinds: which lines, arcs, end marks and texts a
// dimension is made of, from its points in the dimension's local plane (see
// dim_geometry.h). The texts are those of the shared state (dim_store_texts); the
// text direction is set by the caller (dim_set_text_angle) except where a layout
// turns the text itself. Each returns 0 or the first builder error.
#pragma once

#include "commands/dimension/dim_geometry.h"

// Dimension modes of the command table.
enum DimMode : int {
    kDimHorizontal = 0,
    kDimVertical = 1,
    kDimAligned = 2,
    kDimRadius1 = 3,
    kDimRadius2 = 4,
    kDimDiameter = 5,
    kDimAngleVectors = 6,
    kDimAngleVertex = 7,
    kDimArrowStart = 8,
    kDimArrowEnd = 9,
    kDimArrowBoth = 10,
};

// Horizontal (mode 0), vertical (1) or aligned (2) distance between p1 and p2 with
// its text at t.
[[nodiscard]] int dim_layout_linear(const DimBuild& b, int mode, const Vec3& p1, const Vec3& p2,
                                    const Vec3& t);
// Radius I (mode 3: the line from the centre) or radius II (4: across the circle)
// of the circle about c of radius r, text at t.
[[nodiscard]] int dim_layout_radius(const DimBuild& b, int mode, const Vec3& c, double r,
                                    const Vec3& t);
[[nodiscard]] int dim_layout_diameter(const DimBuild& b, const Vec3& c, double r, const Vec3& t);
// The angle at vertex c from the ray through p1 counter-clockwise to the ray through
// p2, its arc through t.
[[nodiscard]] int dim_layout_angular(const DimBuild& b, const Vec3& c, const Vec3& p1,
                                     const Vec3& p2, const Vec3& t);
// The arrow commands (modes 8 to 10): leader marks and the line from a to b.
[[nodiscard]] int dim_layout_arrows(const DimBuild& b, int mode, const Vec3& a, const Vec3& p);
