// Lengths and angles as text: reading typed lengths (decimal numbers, or feet and
// inches with fractions such as 5'3-1/2") and writing lengths and angles for the
// coordinate readout, dimension captions and dialogs.
//
// Every length is held in millimetres (drawing units); imperial text is converted
// with 25.4 mm to the inch on the way in and out. Nothing here depends on the C
// locale: "2.5" is read and written with a '.' whatever the desktop's language.
// Plain functions without state; safe on any thread.
#pragma once

#include <string>

// Unit modes of the formatter (the view's readout and dimension settings use the
// same codes).
inline constexpr int kUnitDecimal = 0;       // drawing units, decimals
inline constexpr int kUnitFeetInches = 1;    // feet and decimal inches: 5'3.50"
inline constexpr int kUnitAngleDegrees = 3;  // degrees and minutes (value_format_unit)
inline constexpr int kUnitAngleRadians = 4;  // radians (value_format_unit)
inline constexpr int kUnitFeetFraction = 5;  // feet and inches with fractions: 5'3-1/2"

// The degree sign of the stroke fonts, as value_format_unit writes it.
inline constexpr char kStrokeDegreeSign = 7;

// Parts of a feet-and-inch text, as bits of LengthReader::parts.
enum LengthPart : int {
    kPartFeet = 1,       // a number ended by '
    kPartWhole = 2,      // whole inches ended by '-' before a fraction
    kPartNumerator = 4,  // a number ended by '/'
    kPartInches = 8,     // inches (or the denominator after a numerator) ended by "
    kPartDecimal = 16,   // a number with a decimal point was used
};

// State of the feet-and-inch reader between parts.
struct LengthReader {
    double total_inches = 0;
    double numerator = 0;
    double denominator = 0;
    int parts = 0;  // LengthPart bits given so far
};

// Adds one finished number as `part` (a single LengthPart bit). 0, or 1 when the
// part is not allowed here (given twice, feet after inches, a decimal number in a
// fraction...).
int length_add_part(bool has_decimal_point, double value, int part, LengthReader* state);

// Reads the text [first, last) as a length: blanks and commas around it are
// skipped. 0 with *mm set, or -(offset of the offending character from `first`
// + 1) with *mm untouched. A value that is not finite is refused (at the end).
int length_parse_range(const char* first, const char* last, double* mm);

// 1 with *mm set when the whole text is a length in feet and inches (a plain
// number counts as inches), else 0 with *mm untouched. Null text gives 0.
int length_parse(const char* text, double* mm);

// Reads a distance typed during a command: a plain number (blanks around it
// allowed) is taken as it is, in drawing units, exactly as before; any other text
// is read by length_parse (3'6" gives 1066.8). True with *value set on success;
// false, *value untouched, for text that is neither (or not finite).
bool typed_distance_parse(const char* text, double* value);

// Reads a plain real over the whole of [first, last): an optional sign, digits
// with an optional '.' and exponent. Locale-free; false for anything else or a
// value that is not finite.
bool plain_real_parse(const char* first, const char* last, double* value);
// The same over the whole of `text` with blanks (spaces, tabs) around the number
// allowed. Null text gives false.
bool plain_real_parse_text(const char* text, double* value);

// "%.*f" of `value` with `decimals` clamped to 1..9; a value that shows as zero is
// written without a minus sign ("-0.0004" with 3 decimals gives "0.000").
std::string length_format_decimal(double value, int decimals);

// A length of `mm` millimetres in a unit mode. Mode 0 is length_format_decimal.
// Other modes write inches: feet with an apostrophe when there are any, then the
// rest: mode 1 in decimals with a double quote; any other mode as whole inches and
// a fraction of at most `denominator` parts (reduced; a denominator below 2 gives
// whole inches only), then a double quote. The value is rounded to what the text
// can show before it is split, so 71.99999 in is 6'0", never 5'12". Values that
// are not finite are written "inf", "-inf" or "nan".
std::string length_format(int mode, double mm, int denominator, int decimals);

// `caption` followed by the value in a unit mode: modes 0, 1 and 5 as lengths
// (denominator 1024, 2 decimals); mode 3 an angle in radians as whole degrees,
// the stroke-font degree sign (character 7), a blank, whole minutes and an
// apostrophe (rounded to the minute: pi/6 gives 30<7> 0'); mode 4 as "%.3f rad".
// Negative angles are taken modulo a full turn. Any other mode writes nothing
// (the result is empty, without the caption).
std::string value_format_unit(const char* caption, double value, int mode);
