// Typed coordinates: reading the text of the Enter Coordinate dialog ("10,20",
// "@5<30", "100 <45 <30", or feet and inches in an imperial view) and turning it
// into a drawing point under the view's unit, scale and coordinate-system settings.
//
// Lengths come in the view's units: inches when its length unit is not 0, else
// drawing units; the view's two drawing-scale numbers a and b map typed values to
// drawing units by b / a. Angles are degrees when the view's degree flag is set,
// else radians. User-interface thread (reads the VIEW).
#pragma once

#include <cstdint>
#include <string>

#include "model/math/types.h"

class VIEW;

// What typed coordinates are measured from: the view's coordinate type (stored in
// drawings).
enum CoordinateType : int32_t {
    kCoordTypeWorld = 0,       // the drawing's origin
    kCoordTypeUserOrigin = 1,  // the user origin
    kCoordTypeLastPoint = 2,   // the last point given
};

// Marker flags of coords_parse.
inline constexpr int kCoordRelative = 1;     // '@' before the first field
inline constexpr int kCoordAngleSecond = 2;  // '<' before the second field
inline constexpr int kCoordAngleThird = 4;   // '<' before the third field

// Reads up to three fields separated by blanks and commas. A field that is not an
// angle is a length: with `imperial` set it is read in feet and inches and given in
// inches, otherwise it must be a plain number. Angle fields are plain numbers.
// Returns the number of values read (0 to 3) with *flags and v[0..count-1] set, or a
// negative number when a field is not a number: -(offset of the offending
// character in `text` + 1). A null text reads nothing.
int coords_parse(const char* text, bool imperial, int* flags, double v[3]);

// value * a / b and value * b / a, with a and b the view's drawing-scale numbers;
// the value unchanged when a equals b, or either is 0 or not finite.
double view_scale_ratio(const VIEW* view, double value);
double view_scale_ratio_inverse(const VIEW* view, double value);

// A typed point into drawing units: scaled by 25.4 in an inch view and by the
// inverse drawing scale; with the view's cartesian flag clear x is a radius and y
// an angle in radians; the user origin (kCoordTypeUserOrigin) or the last point
// (kCoordTypeLastPoint) is added. False, *out untouched, when a coordinate is not finite or its
// magnitude reaches FLT_MAX.
bool view_typed_to_world(const VIEW* view, double x, double y, double z, Vec3* out);

// The converter of the Enter Coordinate dialog: the typed text into the point text
// "%.4f %.4f %.4f" (drawing coordinates, '.' as decimal point). Two or three values
// are x, y[, z] (a missing z is the view's elevation, or 0 for '@' input); a '<' on
// the second field makes the first two a radius and an angle; '<' on the second and
// third of three values gives radius, plane angle and elevation angle. '@' makes
// the point relative to the view's last point. With `user_axes` the point is read
// in the view's axes and turned into drawing axes (only the direction of relative
// input). False for any other text, or a point whose magnitude reaches FLT_MAX.
bool typed_point_convert(const VIEW* view, const std::string& typed, bool user_axes,
                         std::string* point);
