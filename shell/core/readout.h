// Values and texts of the coordinate readout: the cursor's position in the view's
// coordinate system (world, user origin or last point; cartesian or polar), its
// offsets from the last picked point, their distance and angle, the current colour
// and layer. Window-free: the readout bar (shell/readout_bar.h) shows the texts.
//
// Lengths are drawing units times the view's drawing-scale ratio; angles are radians
// in [0, 2 pi). Texts are UTF-8.
#pragma once

#include <array>
#include <string>

class VIEW;

// Pane ids of the readout bar, in the order of the bar.
inline constexpr std::array<int, 8> kReadoutPaneIds = {32793, 32794, 32795, 32796,
                                                       32797, 32798, 32800, 32799};
enum ReadoutPane { kPaneFirst, kPaneSecond, kPaneDx, kPaneDy, kPaneDistance, kPaneAngle,
                   kPaneColour, kPaneLayer };

enum class ReadoutFormat { kLength, kAngle };

// Direction of (x, y) in radians, 0 to 2 pi; (0, 0) gives 0.
double angle_of(double x, double y);
// The ratio between the view's two drawing scales (first / second); 1 when either is
// not a usable positive finite number.
double readout_scale_ratio(const VIEW* view);
// Distance of (x, y) from the reference of the view's coordinate type (type 0: the
// origin, 1: the user origin, 2: the last picked point; another type gives 0), in
// the coordinates the references are stored in.
double coord_distance(const VIEW* view, double x, double y);
// Angle of (x, y) about the same reference.
double coord_angle(const VIEW* view, double x, double y);
// The readout values. Mode 0 works in drawing coordinates; any other mode in view
// coordinates (the references projected into them).
void coord_values(const VIEW* view, int mode, double* first, double* second, double* dx, double* dy);

// A number with its prefix in the view's length or angle format (value_format_unit of
// commands/units: length unit 0 decimal, 1 feet and decimal inches, 2 feet and
// inches with fractions; degrees and minutes when the degree flag is set, else
// radians). The formatter's degree mark (byte 7) and a Latin-1 degree byte (176)
// both become U+00B0.
std::string readout_value_text(const char* prefix, double value, ReadoutFormat format,
                               const VIEW* view);
// Replaces byte 7 and every byte 176 that is not part of a UTF-8 sequence by U+00B0;
// any other byte outside a valid UTF-8 sequence becomes U+FFFD.
std::string readout_fix_degree(std::string text);
// " %03d " of the colour index.
std::string readout_colour_text(int colour);
// Layer:"name" (label from the string table); Layer:"" without a current layer.
std::string readout_layer_text(const VIEW* view);

// Recomputes the view's cursor from its cursor pixel and elevation, stores the mode
// as its readout mode and returns the eight pane texts in kReadoutPaneIds order. With
// input mode 0 every text is " " and the view is left alone.
std::array<std::string, 8> readout_texts(VIEW* view, int mode);
