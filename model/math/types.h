// Plain numeric records shared by the whole engine: float and double vectors,
// the 4x3 affine matrix, the matrix-with-inverse Transform and the bounding box.
// Model coordinates are stored as Vec3 (float); geometry is computed in double.
#pragma once

#include <cfloat>

struct Vec3 {
    float x, y, z;
};

struct Vec3d {
    double x, y, z;
};

// m[0..8]: the 3x3 rotation and scale part, row by row; m[9..11]: the translation.
// Points are row vectors: x' = x*m0 + y*m3 + z*m6 + m9, and so on.
struct Matrix43 {
    double m[12];
};

// A matrix and its inverse, kept in step by every builder.
struct Transform {
    Matrix43 fwd;
    Matrix43 inv;
};

// Minimum corner, then maximum corner. Empty: +FLT_MAX minima, -FLT_MAX maxima.
struct BBox {
    Vec3 min;
    Vec3 max;
};

inline constexpr BBox kEmptyBBox = {{FLT_MAX, FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX, -FLT_MAX}};

inline bool bbox_is_empty(const BBox& b) {
    return b.min.x > b.max.x;
}
