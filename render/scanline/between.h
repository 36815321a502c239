// Measures that stay sound near the image when a corner lies very far away: a point
// between two ends is taken from the end nearer to it, and a triangle's area from the
// corner between its two shorter sides, so that neither carries the far corner's
// rounding.
#pragma once

// Where a point lies between two ends: s from the first, s1 from the second
// (s + s1 = 1 but for rounding).
struct Between {
    double s, s1;
};

// The point where a coordinate running from a (first end) to b (second end) takes
// the value v; {0, 1} (the first end) when a and b are equal.
[[gnu::always_inline]] inline Between between_at(double a, double b, double v) {
    const double d = b - a;
    return d != 0.0 ? Between{(v - a) / d, (b - v) / d} : Between{0.0, 1.0};
}

// Turns screen fractions into fractions along the segment in space (perspective),
// given the depths at its two ends.
[[gnu::always_inline]] inline void perspective_between(Between* p, double za, double zb) {
    const double den = p->s1 * zb + p->s * za;
    if (den != 0.0) {
        p->s = p->s * za / den;
        p->s1 = p->s1 * zb / den;
    }
}

// The value at the point, running from a at the first end to b at the second, taken
// from the nearer end.
[[gnu::always_inline]] inline double value_between(double a, double b, const Between& p) {
    return p.s <= 0.5 ? a + (b - a) * p.s : b - (b - a) * p.s1;
}

// Twice the signed area of the triangle (x0, y0), (x1, y1), (x2, y2): positive when
// the corners run counter-clockwise with y up. Taken at the corner opposite the
// longest side: a cross product of two long sides to one far corner would lose the
// small area between them.
inline double twice_area(double x0, double y0, double x1, double y1, double x2, double y2) {
    const double x[3] = {x0, x1, x2}, y[3] = {y0, y1, y2};
    double longest = -1.0;
    int base = 0;
    for (int k = 0; k < 3; ++k) {  // side k joins the two corners other than k
        const double dx = x[(k + 2) % 3] - x[(k + 1) % 3], dy = y[(k + 2) % 3] - y[(k + 1) % 3];
        const double len = dx * dx + dy * dy;
        if (len > longest) {
            longest = len;
            base = k;
        }
    }
    const int b = (base + 1) % 3, c = (base + 2) % 3;
    return (x[b] - x[base]) * (y[c] - y[base]) - (y[b] - y[base]) * (x[c] - x[base]);
}
