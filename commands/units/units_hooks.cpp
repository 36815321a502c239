// The hooks through which dialogs and the Enter Coordinate dialog reach the
// length and coordinate text.
#include "commands/units/units_hooks.h"

#include "commands/units/coord_text.h"
#include "commands/units/length_text.h"
#include "model/services/numfmt.h"

std::string units_length_format(int kind, double mm, int denominator, int precision) {
    int mode = kind == 1 ? kUnitFeetInches : kind == 2 ? kUnitFeetFraction : kUnitDecimal;
    return length_format(mode, mm, denominator, precision);
}

bool units_length_parse(const char* text, double* mm) {
    return length_parse(text, mm) == 1;
}

void units_install_hooks() {
    number_set_length_hooks(units_length_format, units_length_parse);
    coord_dialog_set_converter(typed_point_convert);
}
