// Locale-free number texts of the dialogs: the shared format, real_parse and the
// hooks of the length formatter.
#include "model/services/numfmt.h"

#include <charconv>
#include <cmath>
#include <cstring>

NumberFormat g_number_format;

namespace {

LengthFormatHook g_length_format = nullptr;
LengthParseHook g_length_parse = nullptr;
CoordConverter g_coord_converter = nullptr;

std::string to_text(double value, std::chars_format fmt, int precision) {
    char buf[400];  // "%.*f" of the largest double with a few decimals fits
    auto r = std::to_chars(buf, buf + sizeof buf, value, fmt, precision);
    if (r.ec != std::errc()) return {};
    return std::string(buf, r.ptr);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A value that rounds to zero is shown without its sign: "-0" or "-0.0000" would
// not read back (real_parse refuses a zero that does not begin with '0').
std::string unsigned_zero(std::string text) {
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

}  // namespace

void set_number_format(int degree_flag, int length_unit_kind, int precision, int fraction_denominator) {
    g_number_format.degree_flag = degree_flag;
    g_number_format.length_unit_kind = length_unit_kind;
    g_number_format.precision = precision;
    g_number_format.fraction_denominator = fraction_denominator;
}

void number_set_length_hooks(LengthFormatHook format, LengthParseHook parse) {
    g_length_format = format;
    g_length_parse = parse;
}

CoordConverter coord_dialog_set_converter(CoordConverter converter) {
    CoordConverter old = g_coord_converter;
    g_coord_converter = converter;
    return old;
}

CoordConverter coord_dialog_converter() { return g_coord_converter; }

std::string number_format_real(double value, int precision) {
    if (precision < 0) precision = g_number_format.precision;
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    return unsigned_zero(to_text(value, std::chars_format::general, precision));
}

std::string number_format_length(double value) {
    const NumberFormat& f = g_number_format;
    if (g_length_format) return g_length_format(f.length_unit_kind, value, f.fraction_denominator, f.precision);
    if (!std::isfinite(value)) return number_format_real(value);
    return unsigned_zero(to_text(value, std::chars_format::fixed, f.precision < 0 ? 0 : f.precision));
}

bool number_parse_length(const char* text, double* value) {
    if (g_number_format.length_unit_kind == 0 || !g_length_parse) return real_parse(text, value);
    double v = 0;
    if (!text || !g_length_parse(text, &v) || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool real_parse(const char* text, double* value) {
    if (!text) return false;
    const char* p = text;
    while (is_blank(*p)) ++p;
    const char* end = p + std::strlen(p);
    while (end > p && is_blank(end[-1])) --end;
    if (p == end) return false;

    const char* q = p;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    double v = 0;
    std::from_chars_result r;
    if (q + 2 <= end && q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        r = std::from_chars(q + 2, end, v, std::chars_format::hex);
        if (r.ptr == q + 2) return false;
    } else {
        // from_chars takes no sign of its own beyond '-'; the sign is applied below.
        if (q < end && (*q == '+' || *q == '-')) return false;
        r = std::from_chars(q, end, v, std::chars_format::general);
    }
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return false;
    if (negative) v = -v;
    if (v == 0 && *p != '0') return false;
    *value = v;
    return true;
}
