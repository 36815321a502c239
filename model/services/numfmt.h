// The number format of dialogs and prompts, and locale-free reading and writing of
// reals.
//
// One format is shared by every dialog: significant digits, the length unit kind
// (0 decimal; other kinds are the imperial forms of the length formatter) with its
// finest fraction, and whether angles are shown in degrees. It is set from the
// active view before a dialog opens. Nothing here depends on the C locale: a
// desktop with a decimal comma still reads and writes "2.5".
// The format globals belong to the user-interface thread.
#pragma once

#include <cstddef>
#include <string>

struct NumberFormat {
    int degree_flag = 1;            // angles shown in degrees (0: radians)
    int length_unit_kind = 0;       // 0 decimal, else an imperial form
    int fraction_denominator = 64;  // finest fraction of an inch
    int precision = 4;              // significant digits ("%.*g"), decimals of lengths
};

extern NumberFormat g_number_format;

void set_number_format(int degree_flag, int length_unit_kind, int precision, int fraction_denominator);

// The length formatter and reader of the unit kinds (value in drawing units). The
// command layer installs them; until then every kind is written as a decimal
// ("%.*f") and read as a real.
using LengthFormatHook = std::string (*)(int kind, double value, int denominator, int precision);
using LengthParseHook = bool (*)(const char* text, double* value);
void number_set_length_hooks(LengthFormatHook format, LengthParseHook parse);

// Turns a typed coordinate into the point text handed to the command
// ("%.4lf %.4lf %.4lf"), in the view's axes when `user_axes` is set. Returns false
// when the text is not a coordinate. The command layer installs it; the Enter
// Coordinate dialog calls it. Setting returns the converter it replaces.
class VIEW;
using CoordConverter = bool (*)(const VIEW* view, const std::string& typed, bool user_axes, std::string* point);
CoordConverter coord_dialog_set_converter(CoordConverter converter);
CoordConverter coord_dialog_converter();

// "%.*g" of `value` with `precision` significant digits (the format's when negative),
// always with a '.' as decimal point; a value that shows as zero has no '-', so that
// the text reads back through real_parse.
std::string number_format_real(double value, int precision = -1);
// A length in the format's unit kind, fraction and precision (decimal without an
// installed formatter, a zero again without '-').
std::string number_format_length(double value);
// Reads a length typed in the format's unit kind: kind 0 by real_parse, other kinds
// by the installed length reader. False when the text is not a length.
bool number_parse_length(const char* text, double* value);

// Reads a real typed into a dialog: blanks and tabs may lead and trail, nothing
// else may follow the number; a zero is accepted only when the text (after the
// blanks) begins with '0' (so "-0" and ".0" are refused); infinities, NaN and
// numbers out of the double range are refused. Decimal ("2.5", "1e3") or
// hexadecimal ("0x1A"). True with *value set on success; *value is untouched
// otherwise.
bool real_parse(const char* text, double* value);
