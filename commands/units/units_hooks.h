// Installs the length and coordinate text of this library into the number format
// of dialogs and prompts and into the Enter Coordinate dialog.
//
// The application calls units_install_hooks() once at start-up, among the module
// initialisers and before the first dialog opens; tests call it too. Until then
// lengths are plain decimals and typed coordinates plain numbers.
#pragma once

#include <string>

// Sets number_set_length_hooks (units_length_format, units_length_parse) and
// coord_dialog_set_converter (typed_point_convert). Calling it again is harmless.
void units_install_hooks();

// The hooks themselves. The dialogs' length unit kinds 0, 1 and 2 (decimal, feet
// and decimal inches, feet and inches with fractions) are the formatter's modes 0,
// 1 and 5; any other kind is written as a decimal. `precision` is the number of
// decimals, `denominator` the finest fraction of an inch.
std::string units_length_format(int kind, double mm, int denominator, int precision);
// length_parse: feet and inches (a plain number counts as inches), in millimetres.
bool units_length_parse(const char* text, double* mm);
