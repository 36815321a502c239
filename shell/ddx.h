// Number exchange of dialogs: reals, angles and lengths between edit controls and
// variables in the current number format (model/services/numfmt.h), with range
// checks that name their bounds in the same units.
//
// Angles are held in radians and shown in degrees when the degree flag is set;
// lengths are held in drawing units and shown in the length unit kind. A text that
// does not read, or a value out of range, shows a message and takes the exchange's
// failure exit: the variable keeps its value and the dialog stays open with the
// focus on the control.
//
// While saving, a field whose text is still what its variable shows as (the user did
// not edit it) leaves the variable exactly as it was: the shown digits are rounded, and
// reading them back would change a value nobody touched. A non-finite variable is
// always read back from its text, so OK refuses it.
#pragma once

#include <string>

class CDataExchange;
class VIEW;

// The dialogs' own format: significant digits of reals and decimals of lengths, and
// the finest fraction of an inch. Every dialog exchange starts with it, in the units
// of the drawing in front (shell_install_services).
inline constexpr int kDialogDigits = 4;
inline constexpr int kDialogFraction = 64;

// Sets the number format: degree flag and length unit kind from `view` (degrees
// and decimal when null), with the given precision and fraction denominator
// (dialogs pass kDialogDigits and kDialogFraction, or digits of their own).
void set_number_format_from(const VIEW* view, int precision, int denominator);

// A typed value beyond the float range is refused like text that is not a number.
void DDX_Float(CDataExchange* dx, int id, float& value);
void DDX_Double(CDataExchange* dx, int id, double& value);
// `radians` shown in degrees or radians by the degree flag.
void DDX_Units(CDataExchange* dx, int id, double& radians);
void DDX_Length(CDataExchange* dx, int id, double& value);

// Inclusive bounds; a value that does not compare (NaN) fails.
void DDV_MinMaxFloat(CDataExchange* dx, float value, float min, float max);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double min, double max);
void DDV_MinMaxLength(CDataExchange* dx, double value, double min, double max);
// `radians` against bounds given in degrees.
void DDV_MinMaxUnits(CDataExchange* dx, double radians, double min_degrees, double max_degrees);

// Range failure of kind 0 (plain), 1 (length) or 2 (angle, bounds in radians):
// while saving, shows "Please enter a value between %1 and %2." with both bounds
// in the kind's units and takes the failure exit; while loading does nothing.
void ddv_range_fail(CDataExchange* dx, double min, double max, int kind);
// One bound as that message shows it.
std::string ddv_bound_text(double value, int kind);
