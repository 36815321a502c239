// Builders of the pieces of a dimension: straight pieces, end marks of five kinds,
// text frames of four kinds, arcs, the value and tolerance texts, and the text
// direction. A dimension is a plain group (CONTAINER) of XPLINE, ELARC and TEXT2
// objects; every builder makes one piece from points of the dimension's flat local
// plane (x, y; z carried along), maps them to drawing coordinates with the build's
// matrix and inserts the piece into the group.
//
// Sizes come from the VIEW's dimension block (drawing units, millimetres), styles
// from dim_settings.h. Builders return 0, 8 (out of memory) or 13 (no group). A
// piece whose points would not be finite is not made: no dimension object ever
// holds a non-finite coordinate. One dimension is built at a time (user-interface
// thread only).
#pragma once

#include <string>

#include "model/math/types.h"

class VIEW;
class CONTAINER;
class MODEL;
struct StrokeFont;

// Fields of VIEW::dimension_values and VIEW::dimension_words.
inline constexpr int kDimTextHeight = 0;
inline constexpr int kDimTextWidth = 1;
inline constexpr int kDimTextSlant = 2;  // radians
inline constexpr int kDimReserved = 3;
inline constexpr int kDimLineWidth = 4;
inline constexpr int kDimArrowSize = 5;
inline constexpr int kDimTextGap = 6;
inline constexpr int kDimLineColour = 0;
inline constexpr int kDimTextColour = 1;
inline constexpr int kDimUpperTolerance = 2;
inline constexpr int kDimLowerTolerance = 3;

// Ratio of text width to text height and of text gap to text height set by the
// settings dialog.
inline constexpr double kDimWidthRatio = 0.6180469715698392;
inline constexpr double kDimGapRatio = 0.5;

// The dimension being built: where its pieces go and how they are placed.
struct DimBuild {
    VIEW* view = nullptr;        // sizes and colours
    CONTAINER* group = nullptr;  // receives every piece
    Matrix43 matrix{};           // local plane -> drawing coordinates
    MODEL* model = nullptr;      // its "DEFAULT" font pattern is given to texts (null: none)
};

// Shared state of the dimension being built: its three texts and the text direction.
struct DimState {
    std::string value, lower, upper;
    double angle = 0.0, cos = 1.0, sin = 0.0;  // text direction, radians
    int cos1024 = 1024, sin1024 = 0;           // for the rubber band
    int text_px = 0;                           // text width in pixels (rubber band)
};
DimState& dim_state();
// Empties the three texts.
void dim_clear_texts();

// Sets the text direction: reduced into (-pi/2, pi/2] so text never reads upside
// down. A non-finite angle gives 0.
void dim_set_text_angle(double angle);
// The direction of p seen from c when the text mode is 1, else 0 (set as above).
void dim_text_angle_for(const Vec3& c, const Vec3& p);
// Copies the three texts into the shared state and measures the text width in
// pixels with `font` (null: the pixel width is 0).
void dim_store_texts(const StrokeFont* font, const std::string& value, const std::string& lower,
                     const std::string& upper);
// Width of value plus half of the wider tolerance, measured with the font as sized.
int dim_text_width(const StrokeFont* font, const std::string& value, const std::string& lower,
                   const std::string& upper);
// Width of `text` written with the built-in font at a character width of `width`
// drawing units (not rounded to whole units).
double dim_measure(const std::string& text, double width);

// An XPLINE of subtype 0 from a to b.
[[nodiscard]] int dim_add_line(const DimBuild& b, const Vec3& from, const Vec3& to);
// The end mark of `kind` (0 arrowhead, 1 open arrowhead, 2 dot, 3 slash, 4 or any
// other value none) at `tip`, its open side toward `toward`. No mark when the two
// points coincide or the arrow size is not positive.
[[nodiscard]] int dim_add_arrow(const DimBuild& b, const Vec3& tip, const Vec3& toward, int kind);
// Two end marks of the "arrows" kind.
[[nodiscard]] int dim_add_arrow_pair(const DimBuild& b, const Vec3& tip1, const Vec3& toward1,
                                     const Vec3& tip2, const Vec3& toward2);
// A circular ELARC about `centre`, from angle a0 to a1 (radians, counter-clockwise).
[[nodiscard]] int dim_add_arc(const DimBuild& b, const Vec3& centre, double radius, double a0,
                              double a1);
// The frame of `kind` (0 none, 1 rectangle, 2 round ends, 3 circle) of a text box
// with its corner at `corner`, `width` long and `height` high along the text direction.
[[nodiscard]] int dim_add_frame(const DimBuild& b, const Vec3& corner, double width, double height,
                                int kind);
// The value and tolerance texts of the shared state centred on `at`, with their
// frame of `frame` kind: three TEXT2 objects (value, upper, lower tolerance), empty
// ones included; *box_width receives the width of the text box.
[[nodiscard]] int dim_add_texts(const DimBuild& b, const Vec3& at, double* box_width, int frame);
